#include "shell/widgets/ShellIcons.h"

#include "shell/namespace/ShellItemInfo.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace {

QFileIconProvider& Provider()
{
    static QFileIconProvider provider;
    return provider;
}

// Without a desktop session there is no theme; the one most systems have does well.
void EnsureIconTheme()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
        if (QIcon::fallbackThemeName().isEmpty() ||
            QIcon::fallbackThemeName() == QLatin1String("hicolor"))
            QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    }
}

QIcon Themed(const QString& name, const QIcon& fallback)
{
    QIcon icon = QIcon::fromTheme(name);
    return icon.isNull() ? fallback : icon;
}

QIcon ShortcutArrow(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    int box = size / 2;
    QRectF frame(0.5, size - box - 0.5, box, box);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(frame);
    QPainterPath arrow;
    arrow.moveTo(frame.left() + box * 0.25, frame.bottom() - box * 0.2);
    arrow.quadTo(frame.left() + box * 0.25, frame.top() + box * 0.35, frame.right() - box * 0.25,
                 frame.top() + box * 0.35);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, qMax(1.0, box / 6.0)));
    painter.drawPath(arrow);
    QPointF tip(frame.right() - box * 0.2, frame.top() + box * 0.35);
    painter.drawLine(tip, tip + QPointF(-box * 0.25, -box * 0.2));
    painter.drawLine(tip, tip + QPointF(-box * 0.25, box * 0.2));
    return QIcon(pixmap);
}

} // namespace

TPTSystemImageList::TPTSystemImageList(QSize size) : m_size(size)
{
    EnsureIconTheme();
    // Index 0: the plain document, what every failed lookup shows.
    m_icons.push_back(Provider().icon(QFileIconProvider::File));
    m_indexes.insert(QStringLiteral("file"), 0);
}

QIcon TPTSystemImageList::Icon(int index, int overlay)
{
    if (index < 0 || index >= Count())
        index = 0;
    if (overlay < 0)
        return m_icons[static_cast<std::size_t>(index)];
    qint64 key = (static_cast<qint64>(index) << 8) | overlay;
    auto it = m_overlaid.constFind(key);
    if (it != m_overlaid.constEnd())
        return it.value();
    QIcon combined;
    for (int size : {16, 22, 32, 48}) {
        QPixmap pixmap = m_icons[static_cast<std::size_t>(index)].pixmap(size, size);
        if (pixmap.isNull())
            continue;
        QPainter painter(&pixmap);
        if (overlay == kOverlayShortcut)
            painter.drawPixmap(0, 0, ShortcutArrow(size).pixmap(size, size));
        painter.end();
        combined.addPixmap(pixmap);
    }
    m_overlaid.insert(key, combined);
    return combined;
}

TPTSystemImageList* ShellGetSystemImageList(TPTShellIconSize size)
{
    // One set of icons; the small list is the one the controls draw from.
    static TPTSystemImageList* shared = new TPTSystemImageList(QSize(16, 16));
    static TPTSystemImageList* large = nullptr;
    if (size == ptsizSmall)
        return shared;
    if (!large)
        large = shared; // the same icons drawn at 32 x 32
    return large;
}

int ShellGetIconIndex(PCIdList absolute, std::uint32_t flags)
{
    TPTSystemImageList* list = ShellGetSystemImageList(ptsizSmall);
    TShellIconInfo info = ShellGetIconInfo(absolute, flags & shgfi::OpenIcon);
    switch (info.kind) {
    case TShellIconKind::Document:
        return 0;
    case TShellIconKind::Desktop:
        return list->IndexOf(QStringLiteral("desktop"), [] {
            return Themed(QStringLiteral("user-desktop"),
                          Provider().icon(QFileIconProvider::Desktop));
        });
    case TShellIconKind::Computer:
        return list->IndexOf(QStringLiteral("computer"), [] {
            return Themed(QStringLiteral("computer"), Provider().icon(QFileIconProvider::Computer));
        });
    case TShellIconKind::Home:
        return list->IndexOf(QStringLiteral("home"), [] {
            return Themed(QStringLiteral("user-home"), Provider().icon(QFileIconProvider::Folder));
        });
    case TShellIconKind::Drive:
    case TShellIconKind::RemovableDrive: {
        bool removable = info.kind == TShellIconKind::RemovableDrive;
        return list->IndexOf(
            removable ? QStringLiteral("drive-removable") : QStringLiteral("drive"), [removable] {
                return Themed(removable ? QStringLiteral("drive-removable-media")
                                        : QStringLiteral("drive-harddisk"),
                              Provider().icon(QFileIconProvider::Drive));
            });
    }
    case TShellIconKind::OpenFolder:
        return list->IndexOf(QStringLiteral("folder-open"), [] {
            return Themed(QStringLiteral("folder-open"),
                          Provider().icon(QFileIconProvider::Folder));
        });
    case TShellIconKind::Folder:
        return list->IndexOf(QStringLiteral("folder"), [] {
            return Themed(QStringLiteral("folder"), Provider().icon(QFileIconProvider::Folder));
        });
    case TShellIconKind::FileType:
        return list->IndexOf(QStringLiteral("mime:") + QString::fromStdString(info.typeName),
                             [&info] {
                                 return Themed(QString::fromStdString(info.iconName),
                                               Themed(QString::fromStdString(info.genericIconName),
                                                      Provider().icon(QFileIconProvider::File)));
                             });
    }
    return 0;
}
