// Drag and drop: dragging the selection out of the list as file URIs, and the list as a target
// for files dropped on its folder or on a folder item.

#include "shell/namespace/FileOperation.h"
#include "shell/namespace/ShellContextMenu.h"
#include "shell/widgets/PTShellList.h"
#include "shell/widgets/PTShellListModel.h"
#include "shell/widgets/ShellListSupport.h"

#include <QDrag>
#include <QDropEvent>
#include <QListView>
#include <QMimeData>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

using namespace shelllist;

struct TPTCustomShellList::TDropPlan
{
    std::string folder; // where the items would go; empty when nowhere
    int row = -1;       // the folder item under the cursor, -1 for the list's own folder
    Qt::DropAction action = Qt::IgnoreAction;
};

namespace {

// A view whose drags are the list's: the selection as files, not the model's rows.
template <typename View> class TDragSourceView : public View
{
public:
    explicit TDragSourceView(TPTCustomShellList* list) : View(list), m_list(list) {}

protected:
    void startDrag(Qt::DropActions) override { m_list->OleBeginDrag(Qt::LeftButton); }

private:
    TPTCustomShellList* m_list;
};

std::string RealPath(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

std::string ParentPath(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsSameOrBelow(const std::string& inner, const std::string& outer)
{
    if (outer == "/" || inner == outer)
        return true;
    return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
           inner[outer.size()] == '/';
}

Qt::DropAction FromAttributes(std::uint32_t attributes, std::uint32_t bit, Qt::DropAction action)
{
    return (attributes & bit) ? action : Qt::IgnoreAction;
}

} // namespace

QListView* shelllist::NewShellListView(TPTCustomShellList* list)
{
    return new TDragSourceView<QListView>(list);
}

QTreeView* shelllist::NewShellReportView(TPTCustomShellList* list)
{
    return new TDragSourceView<QTreeView>(list);
}

void TPTCustomShellList::ApplyDragDrop(QAbstractItemView* view)
{
    view->setDragEnabled(HasOption(ptsloOleDrag));
    view->viewport()->setAcceptDrops(HasOption(ptsloOleDrop));
    // A drag over the list scrolls it at the list's own pace.
    view->setAutoScroll(false);
    if (!HasOption(ptsloOleDrop))
        EndDragOver();
}

int TPTCustomShellList::DropHighlightItem() const
{
    return m_model->RowOf(m_model->DropItem());
}

// --- The list as a drag source

QMimeData* TPTCustomShellList::DragMimeData()
{
    std::unique_ptr<TShellContextMenu> menu = MenuForRows(SelectedRows());
    if (!menu || menu->Paths().empty())
        return nullptr;
    return MakeFileMimeData(menu->Paths(), false);
}

Qt::DropActions TPTCustomShellList::DragActions()
{
    std::uint32_t attributes = GetDragDropAttributesForAllSelected();
    return Qt::DropActions(FromAttributes(attributes, sfgao::CanCopy, Qt::CopyAction)) |
           FromAttributes(attributes, sfgao::CanMove, Qt::MoveAction) |
           FromAttributes(attributes, sfgao::CanLink, Qt::LinkAction);
}

Qt::DropAction TPTCustomShellList::OleBeginDrag(Qt::MouseButton)
{
    if (!HasOption(ptsloOleDrag) || m_busy || IsEditing())
        return Qt::IgnoreAction;
    Qt::DropActions actions;
    std::unique_ptr<QMimeData> data;
    Guarded([&] {
        actions = DragActions();
        data.reset(DragMimeData());
    });
    if (!data || actions == Qt::IgnoreAction)
        return Qt::IgnoreAction;

    QAbstractItemView* view = View();
    QPointer<QDrag> drag = new QDrag(view);
    drag->setMimeData(data.release());
    QModelIndex current = m_selection->currentIndex();
    if (!current.isValid() || !IsItemSelected(current.row()))
        current = m_model->index(SelectedRows().front(), 0);
    QIcon icon = m_model->data(current, Qt::DecorationRole).value<QIcon>();
    if (!icon.isNull())
        drag->setPixmap(icon.pixmap(view->iconSize()));

    QPointer<TPTCustomShellList> self(this);
    m_busy = true;
    m_dragActive = true;
    Qt::DropAction result = Qt::IgnoreAction;
    try {
        Qt::DropAction preferred = (actions & Qt::MoveAction) ? Qt::MoveAction : Qt::CopyAction;
        result = m_dragRunner ? m_dragRunner(*drag, actions) : drag->exec(actions, preferred);
    } catch (const std::exception& error) {
        if (self)
            ReportError(QString::fromStdString(error.what()));
    }
    if (drag)
        drag->deleteLater();
    if (!self)
        return result;
    m_dragActive = false;
    m_busy = false;
    bool pending = m_refreshPending;
    m_refreshPending = false;
    // Items may have gone or come, here or wherever they were dropped.
    Guarded([&] {
        RefreshItems();
        if (result != Qt::IgnoreAction || pending)
            SortList();
    });
    return result;
}

// --- The list as a drop target

bool TPTCustomShellList::DropTargetEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
        Guarded([&] { OnDropTarget_DragEnter(static_cast<QDropEvent*>(event)); });
        return true;
    case QEvent::DragMove:
        Guarded([&] { OnDropTarget_DragOver(static_cast<QDropEvent*>(event)); });
        return true;
    case QEvent::DragLeave:
        OnDropTarget_DragLeave();
        return true;
    case QEvent::Drop:
        Guarded([&] { OnDropTarget_Drop(static_cast<QDropEvent*>(event)); });
        return true;
    default:
        return false;
    }
}

void TPTCustomShellList::ReadDropSources(const QMimeData* data)
{
    m_dropData = data;
    m_dropSources.clear();
    std::vector<std::string> paths;
    bool cut = false;
    if (!ReadFileMimeData(data, paths, cut))
        return;
    for (std::string& path : paths) {
        TDropSource source;
        source.realPath = RealPath(path);
        // A link is moved or copied as the link, so it is in the folder its name is in.
        source.realParent = RealPath(ParentPath(path));
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0)
            source.device = static_cast<unsigned long long>(st.st_dev);
        source.path = std::move(path);
        m_dropSources.push_back(std::move(source));
    }
}

TPTCustomShellList::TDropPlan TPTCustomShellList::PlanDrop(const QPoint& position,
                                                           Qt::KeyboardModifiers modifiers,
                                                           Qt::DropActions offered)
{
    TDropPlan plan;
    if (!HasOption(ptsloOleDrop) || m_dropSources.empty())
        return plan;
    QAbstractItemView* view = View();
    QModelIndex index = view->indexAt(position);
    TPTShListData* item = index.isValid() ? m_model->Item(index.row()) : nullptr;
    std::string folder;
    if (item && item->IsFolder())
        folder = item->GetPathNameBytes();
    if (!folder.empty()) {
        plan.row = index.row();
    } else {
        // This list's own items dropped beside themselves would go where they already are.
        if (m_dragActive)
            return plan;
        folder = m_currentFolder ? m_currentFolder->FileSystemPath() : std::string();
    }
    struct stat folderStat;
    if (folder.empty() || ::stat(folder.c_str(), &folderStat) != 0 ||
        !S_ISDIR(folderStat.st_mode) || ::access(folder.c_str(), W_OK | X_OK) != 0)
        return plan;
    std::string realFolder = RealPath(folder);
    bool sameDevice = true;
    bool allInFolder = true;
    for (const TDropSource& source : m_dropSources) {
        // Never into itself or anything inside it.
        if (IsSameOrBelow(realFolder, source.realPath))
            return plan;
        sameDevice =
            sameDevice && source.device == static_cast<unsigned long long>(folderStat.st_dev);
        allInFolder = allInFolder && source.realParent == realFolder;
    }

    Qt::DropAction wanted;
    bool ctrl = modifiers & Qt::ControlModifier;
    bool shift = modifiers & Qt::ShiftModifier;
    if (ctrl && shift)
        wanted = Qt::LinkAction;
    else if (ctrl)
        wanted = Qt::CopyAction;
    else if (shift)
        wanted = Qt::MoveAction;
    else
        wanted = sameDevice ? Qt::MoveAction : Qt::CopyAction;
    if (!(offered & wanted)) {
        // A key asks for one action; without one, the next the source offers will do.
        if (ctrl || shift)
            return plan;
        wanted = (offered & Qt::CopyAction)   ? Qt::CopyAction
                 : (offered & Qt::MoveAction) ? Qt::MoveAction
                 : (offered & Qt::LinkAction) ? Qt::LinkAction
                                              : Qt::IgnoreAction;
        if (wanted == Qt::IgnoreAction)
            return plan;
    }
    // Moving items to the folder they are in changes nothing.
    if (wanted == Qt::MoveAction && allInFolder)
        return plan;
    plan.folder = std::move(folder);
    plan.action = wanted;
    return plan;
}

void TPTCustomShellList::SetDropHighlight(int row)
{
    m_model->SetDropItem(m_model->Item(row));
}

void TPTCustomShellList::OnDropTarget_DragEnter(QDropEvent* event)
{
    m_lastAutoScroll.reset();
    ReadDropSources(event->mimeData());
    if (!HasOption(ptsloOleDrop) || m_dropSources.empty()) {
        event->ignore();
        return;
    }
    // Taken even where nothing can be dropped yet, so that the moves over the list come.
    OnDropTarget_DragOver(event);
    event->accept();
}

void TPTCustomShellList::OnDropTarget_DragOver(QDropEvent* event)
{
    if (event->mimeData() != m_dropData)
        ReadDropSources(event->mimeData());
    m_dragPosition = event->position().toPoint();
    m_dragModifiers = event->modifiers();
    m_dragOffered = event->possibleActions();
    TDropPlan plan = PlanDrop(m_dragPosition, m_dragModifiers, m_dragOffered);
    SetDropHighlight(plan.action != Qt::IgnoreAction ? plan.row : -1);
    if (HasOption(ptsloOleDrop) && !m_dropSources.empty())
        AutoScroll(m_dragPosition);
    event->setDropAction(plan.action);
    if (plan.action != Qt::IgnoreAction)
        event->accept();
    else
        event->ignore();
}

void TPTCustomShellList::OnDropTarget_DragLeave()
{
    EndDragOver();
}

void TPTCustomShellList::EndDragOver()
{
    if (m_autoScrollTimer)
        m_autoScrollTimer->stop();
    m_lastAutoScroll.reset();
    m_dropData = nullptr;
    m_dropSources.clear();
    SetDropHighlight(-1);
}

void TPTCustomShellList::OnDropTarget_Drop(QDropEvent* event)
{
    if (event->mimeData() != m_dropData)
        ReadDropSources(event->mimeData());
    TDropPlan plan =
        PlanDrop(event->position().toPoint(), event->modifiers(), event->possibleActions());
    std::vector<std::string> sources;
    for (const TDropSource& source : m_dropSources)
        sources.push_back(source.path);
    EndDragOver();
    event->setDropAction(Qt::IgnoreAction);
    event->ignore();
    if (plan.action != Qt::IgnoreAction) {
        TFileOperation::Kind kind = plan.action == Qt::MoveAction   ? TFileOperation::foMove
                                    : plan.action == Qt::LinkAction ? TFileOperation::foLink
                                                                    : TFileOperation::foCopy;
        // The job runs after the drop is over. Until a move has happened the source is told
        // Copy, so that it never removes what may not have arrived; the move removes what it
        // moved itself.
        event->setDropAction(plan.action == Qt::LinkAction ? Qt::LinkAction : Qt::CopyAction);
        event->accept();
        StartFileJob(std::make_unique<TFileOperation>(kind, std::move(sources), plan.folder));
    }
    RefreshItems();
}

// --- Scrolling while a drag hovers near an edge

void TPTCustomShellList::AutoScroll(const QPoint& position)
{
    QAbstractItemView* view = View();
    QSize size = view->viewport()->size();
    int dx = position.x() < PTSH_AUTOSCROLL_THRESHOLD_X                   ? -1
             : position.x() >= size.width() - PTSH_AUTOSCROLL_THRESHOLD_X ? 1
                                                                          : 0;
    int dy = position.y() < PTSH_AUTOSCROLL_THRESHOLD_Y                    ? -1
             : position.y() >= size.height() - PTSH_AUTOSCROLL_THRESHOLD_Y ? 1
                                                                           : 0;
    if (dx == 0 && dy == 0) {
        if (m_autoScrollTimer)
            m_autoScrollTimer->stop();
        return;
    }
    // The cursor may rest near the edge: no moves come then, the timer keeps scrolling.
    if (!m_autoScrollTimer) {
        m_autoScrollTimer = new QTimer(this);
        m_autoScrollTimer->setInterval(PTSH_AUTOSCROLL_MINDELAY_MS);
        connect(m_autoScrollTimer, &QTimer::timeout, this, [this] {
            Guarded([this] {
                AutoScroll(m_dragPosition);
                TDropPlan plan = PlanDrop(m_dragPosition, m_dragModifiers, m_dragOffered);
                SetDropHighlight(plan.action != Qt::IgnoreAction ? plan.row : -1);
            });
        });
    }
    if (!m_autoScrollTimer->isActive())
        m_autoScrollTimer->start();
    auto now = m_dragClock ? m_dragClock() : std::chrono::steady_clock::now();
    if (m_lastAutoScroll &&
        now - *m_lastAutoScroll < std::chrono::milliseconds(PTSH_AUTOSCROLL_MINDELAY_MS))
        return;
    m_lastAutoScroll = now;
    auto step = [](QScrollBar* bar, int direction) {
        if (direction != 0)
            bar->triggerAction(direction < 0 ? QAbstractSlider::SliderSingleStepSub
                                             : QAbstractSlider::SliderSingleStepAdd);
    };
    step(view->horizontalScrollBar(), dx);
    step(view->verticalScrollBar(), dy);
}
