#pragma once

// Icons of shell items, gathered in one process-wide image list so that items of the same
// kind share one icon and are known by an index.

#include "shell/namespace/IdList.h"

#include <QHash>
#include <QIcon>
#include <QString>
#include <cstdint>
#include <vector>

enum TPTShellIconSize
{
    ptsizSmall,
    ptsizLarge
};

namespace shgfi {
constexpr std::uint32_t SmallIcon = 0x1;
constexpr std::uint32_t OpenIcon = 0x2;
} // namespace shgfi

// Overlays drawn over an item's icon.
constexpr int kOverlayShare = 0;
constexpr int kOverlayShortcut = 1;

class TPTSystemImageList
{
public:
    int Count() const { return static_cast<int>(m_icons.size()); }
    // The icon at index, with an overlay when one is given (-1 for none).
    QIcon Icon(int index, int overlay = -1);
    // The index of the icon known by key, made with the loader on first request.
    template <typename Loader> int IndexOf(const QString& key, Loader loader)
    {
        auto it = m_indexes.constFind(key);
        if (it != m_indexes.constEnd())
            return it.value();
        m_icons.push_back(loader());
        int index = static_cast<int>(m_icons.size()) - 1;
        m_indexes.insert(key, index);
        return index;
    }
    QSize IconSize() const { return m_size; }

private:
    friend TPTSystemImageList* ShellGetSystemImageList(TPTShellIconSize size);
    explicit TPTSystemImageList(QSize size);

    QSize m_size;
    std::vector<QIcon> m_icons;
    QHash<QString, int> m_indexes;
    QHash<qint64, QIcon> m_overlaid;
};

// Both lists share the same icons; they differ in the size they are drawn at.
TPTSystemImageList* ShellGetSystemImageList(TPTShellIconSize size);
// The image list index of an item's icon; 0 (a plain document) when nothing better is known.
int ShellGetIconIndex(PCIdList absolute, std::uint32_t flags);
