// Drag and drop: dragging the selection out of the list as file URIs, and the list as a target
// for files dropped on its folder or on a folder item.

#include "shell/widgets/ShellListDragDrop.h"

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

QListView* TShellListDragDrop::NewListView(TPTCustomShellList* list)
{
    return new TDragSourceView<QListView>(list);
}

QTreeView* TShellListDragDrop::NewReportView(TPTCustomShellList* list)
{
    return new TDragSourceView<QTreeView>(list);
}

void TShellListDragDrop::Apply(QAbstractItemView* view)
{
    view->setDragEnabled(m_list->HasOption(ptsloOleDrag));
    view->viewport()->setAcceptDrops(m_list->HasOption(ptsloOleDrop));
    // A drag over the list scrolls it at the list's own pace.
    view->setAutoScroll(false);
    if (!m_list->HasOption(ptsloOleDrop))
        EndDragOver();
}

// --- The list as a drag source

QMimeData* TShellListDragDrop::DragMimeData()
{
    std::unique_ptr<TShellContextMenu> menu =
        m_list->m_commands.MenuForRows(m_list->SelectedRows());
    if (!menu || menu->Paths().empty())
        return nullptr;
    return MakeFileMimeData(menu->Paths(), false);
}

Qt::DropActions TShellListDragDrop::DragActions()
{
    std::uint32_t attributes = m_list->GetDragDropAttributesForAllSelected();
    return Qt::DropActions(FromAttributes(attributes, sfgao::CanCopy, Qt::CopyAction)) |
           FromAttributes(attributes, sfgao::CanMove, Qt::MoveAction) |
           FromAttributes(attributes, sfgao::CanLink, Qt::LinkAction);
}

Qt::DropAction TShellListDragDrop::BeginDrag(Qt::MouseButton)
{
    if (!m_list->HasOption(ptsloOleDrag) || m_list->m_busy || m_list->IsEditing())
        return Qt::IgnoreAction;
    Qt::DropActions actions;
    std::unique_ptr<QMimeData> data;
    m_list->Guarded([&] {
        actions = DragActions();
        data.reset(DragMimeData());
    });
    if (!data || actions == Qt::IgnoreAction)
        return Qt::IgnoreAction;

    QAbstractItemView* view = m_list->View();
    QPointer<QDrag> drag = new QDrag(view);
    drag->setMimeData(data.release());
    QModelIndex current = m_list->m_selection->currentIndex();
    if (!current.isValid() || !m_list->IsItemSelected(current.row()))
        current = m_list->m_model->index(m_list->SelectedRows().front(), 0);
    QIcon icon = m_list->m_model->data(current, Qt::DecorationRole).value<QIcon>();
    if (!icon.isNull())
        drag->setPixmap(icon.pixmap(view->iconSize()));

    QPointer<TPTCustomShellList> self(m_list);
    m_list->m_busy = true;
    m_dragActive = true;
    Qt::DropAction result = Qt::IgnoreAction;
    try {
        Qt::DropAction preferred = (actions & Qt::MoveAction) ? Qt::MoveAction : Qt::CopyAction;
        result = m_dragRunner ? m_dragRunner(*drag, actions) : drag->exec(actions, preferred);
    } catch (const std::exception& error) {
        if (self)
            m_list->ReportError(QString::fromStdString(error.what()));
    }
    if (drag)
        drag->deleteLater();
    if (!self)
        return result;
    m_dragActive = false;
    m_list->m_busy = false;
    bool pending = m_list->m_refreshPending;
    m_list->m_refreshPending = false;
    // Items may have gone or come, here or wherever they were dropped.
    m_list->Guarded([&] {
        m_list->RefreshItems();
        if (result != Qt::IgnoreAction || pending)
            m_list->SortList();
    });
    return result;
}

// --- The list as a drop target

bool TShellListDragDrop::DropTargetEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
        m_list->Guarded([&] { DragEnter(static_cast<QDropEvent*>(event)); });
        return true;
    case QEvent::DragMove:
        m_list->Guarded([&] { DragOver(static_cast<QDropEvent*>(event)); });
        return true;
    case QEvent::DragLeave:
        EndDragOver();
        return true;
    case QEvent::Drop:
        m_list->Guarded([&] { Drop(static_cast<QDropEvent*>(event)); });
        return true;
    default:
        return false;
    }
}

void TShellListDragDrop::ReadDropSources(const QMimeData* data)
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

TShellListDragDrop::TDropPlan TShellListDragDrop::PlanDrop(const QPoint& position,
                                                           Qt::KeyboardModifiers modifiers,
                                                           Qt::DropActions offered)
{
    TDropPlan plan;
    if (!m_list->HasOption(ptsloOleDrop) || m_dropSources.empty())
        return plan;
    QAbstractItemView* view = m_list->View();
    QModelIndex index = view->indexAt(position);
    TPTShListData* item = index.isValid() ? m_list->m_model->Item(index.row()) : nullptr;
    std::string folder;
    if (item && item->IsFolder())
        folder = item->GetPathNameBytes();
    if (!folder.empty()) {
        plan.row = index.row();
    } else {
        // This list's own items dropped beside themselves would go where they already are.
        if (m_dragActive)
            return plan;
        folder =
            m_list->m_currentFolder ? m_list->m_currentFolder->FileSystemPath() : std::string();
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

void TShellListDragDrop::SetDropHighlight(int row)
{
    m_list->m_model->SetDropItem(m_list->m_model->Item(row));
}

void TShellListDragDrop::DragEnter(QDropEvent* event)
{
    m_lastAutoScroll.reset();
    ReadDropSources(event->mimeData());
    if (!m_list->HasOption(ptsloOleDrop) || m_dropSources.empty()) {
        event->ignore();
        return;
    }
    // Taken even where nothing can be dropped yet, so that the moves over the list come.
    DragOver(event);
    event->accept();
}

void TShellListDragDrop::DragOver(QDropEvent* event)
{
    if (event->mimeData() != m_dropData)
        ReadDropSources(event->mimeData());
    m_dragPosition = event->position().toPoint();
    m_dragModifiers = event->modifiers();
    m_dragOffered = event->possibleActions();
    TDropPlan plan = PlanDrop(m_dragPosition, m_dragModifiers, m_dragOffered);
    SetDropHighlight(plan.action != Qt::IgnoreAction ? plan.row : -1);
    if (m_list->HasOption(ptsloOleDrop) && !m_dropSources.empty())
        AutoScroll(m_dragPosition);
    event->setDropAction(plan.action);
    if (plan.action != Qt::IgnoreAction)
        event->accept();
    else
        event->ignore();
}

void TShellListDragDrop::EndDragOver()
{
    if (m_autoScrollTimer)
        m_autoScrollTimer->stop();
    m_lastAutoScroll.reset();
    m_dropData = nullptr;
    m_dropSources.clear();
    SetDropHighlight(-1);
}

void TShellListDragDrop::Drop(QDropEvent* event)
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
        m_list->m_commands.StartFileJob(
            std::make_unique<TFileOperation>(kind, std::move(sources), plan.folder));
    }
    m_list->RefreshItems();
}

// --- Scrolling while a drag hovers near an edge

void TShellListDragDrop::AutoScroll(const QPoint& position)
{
    QAbstractItemView* view = m_list->View();
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
        m_autoScrollTimer = new QTimer(m_list);
        m_autoScrollTimer->setInterval(PTSH_AUTOSCROLL_MINDELAY_MS);
        QObject::connect(m_autoScrollTimer, &QTimer::timeout, m_list, [this] {
            m_list->Guarded([this] {
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
