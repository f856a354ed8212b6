#pragma once

// The items of one shell folder as a list shows them: read, watched, and compared with what was
// read before. Each read reports the items added, removed and changed; the list only applies
// those to its rows. The contents keep their own copy of every listed item's id list, so the
// comparison never reaches into the list's data.

#include "shell/namespace/ChangeHandlerThread.h"
#include "shell/namespace/IdList.h"
#include "shell/namespace/ShellNamespace.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// The message the watcher posts to the list for a change in its folder (WM_USER + 101).
constexpr int AM_CHANGENOTIFY = 1125;

// One item as a read reports it.
struct TFolderItem
{
    std::uint64_t Key = 0; // the contents' own id of the item while it is listed
    IdListPtr Relative;    // the item inside the folder, the receiver's to keep
    std::uint32_t Attributes = 0;
};

struct TFolderChanges
{
    std::vector<TFolderItem> Added;
    std::vector<std::uint64_t> Removed;
    // Still there, but it became another kind (a file where a folder was, a link).
    std::vector<TFolderItem> Changed;
};

class TShellFolderContents
{
public:
    // Decides whether a new item is listed; it may fill in the attributes. It may throw: what
    // was decided before stays listed and reported.
    using TAccept =
        std::function<bool(TShellFolder& folder, PCIdList relative, std::uint32_t& attributes)>;

    // The watcher posts message to target for every change in the folder watched.
    TShellFolderContents(QObject* target, int message);
    ~TShellFolderContents();
    TShellFolderContents(const TShellFolderContents&) = delete;
    TShellFolderContents& operator=(const TShellFolderContents&) = delete;

    // Nothing is listed any more.
    void Clear();
    int Count() const { return static_cast<int>(m_items.size()); }

    // Reads the folder from scratch: every item accepted is added, in the folder's own order.
    // A folder that cannot be read reads as empty; an enumeration that breaks off with an
    // error returns it, with nothing listed.
    HResult Fill(const TShellFolderPtr& folder, std::uint32_t flags, const TAccept& accept,
                 TFolderChanges& changes);
    // Reads the folder again and compares: items gone are removed, new ones offered to accept
    // and added in the folder's sorting order. A folder that cannot be read removes everything
    // and returns false.
    bool Reread(const TShellFolderPtr& folder, std::uint32_t flags, const TAccept& accept,
                TFolderChanges& changes);
    // Looks only at the named items (the watcher's names): each is added, removed or left.
    void ReadNames(const TShellFolderPtr& folder, const std::vector<std::string>& names,
                   bool showHidden, const TAccept& accept, TFolderChanges& changes);
    // A listed item took a new id list (a rename), keeping its key.
    void Renamed(PCIdList before, PCIdList after);

    // Watching the folder at path; a watch already set ends first. False when it cannot be
    // watched (no path, not a folder).
    bool Watch(const std::string& path);
    void StopWatching();
    bool Watching() const { return m_watcher && m_slot >= 0; }
    // The names that changed since the last call; false when they are not known.
    bool TakeChanges(std::vector<std::string>& names);
    // The next notice is the owner's own doing and is dropped. Only a watched folder sends one:
    // elsewhere nothing is set, so that no later notice is lost.
    void SkipNextNotice() { m_skipNext = Watching(); }
    // True (once) when the notice that came is to be dropped.
    bool TakeSkip() { return std::exchange(m_skipNext, false); }

private:
    struct TListed
    {
        std::uint64_t Key;
        std::uint32_t Attributes;
    };
    struct TBytesHash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view bytes) const
        {
            return std::hash<std::string_view>()(bytes);
        }
    };
    // Keyed by the id list's bytes; looked up by a view of them, without a copy.
    using TItems = std::unordered_map<std::string, TListed, TBytesHash, std::equal_to<>>;

    void SetFolder(const TShellFolderPtr& folder);
    void Add(TShellFolder& folder, IdListPtr relative, const TAccept& accept,
             TFolderChanges& changes);
    // The listed item the folder counts as this one, or end.
    TItems::iterator Find(PCIdList relative);

    QObject* m_target;
    int m_message;
    TShellFolderPtr m_folder;
    bool m_virtual = false;
    TItems m_items;
    std::uint64_t m_nextKey = 1;
    std::unique_ptr<TChangeHandlerThread> m_watcher;
    int m_slot = -1;
    bool m_skipNext = false;
};
