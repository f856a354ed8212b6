#pragma once

// Drag and drop for the file list: dragging the selection out as file URIs, and the list as a
// target for files dropped on its folder or on a folder item, with the auto-scroll near the
// edges. Owned by the list.

#include <QPoint>
#include <Qt>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QAbstractItemView;
class QDrag;
class QDropEvent;
class QEvent;
class QListView;
class QMimeData;
class QTimer;
class QTreeView;
class TPTCustomShellList;

// A drag over the list scrolls it when the cursor is this close to an edge, in pixels, one
// step at a time with at least this many milliseconds between steps.
constexpr int PTSH_AUTOSCROLL_THRESHOLD_X = 26;
constexpr int PTSH_AUTOSCROLL_THRESHOLD_Y = 20;
constexpr int PTSH_AUTOSCROLL_MINDELAY_MS = 100;

class TShellListDragDrop
{
public:
    using TDragClock = std::function<std::chrono::steady_clock::time_point()>;
    // Runs a drag with the actions it allows and returns the action taken; QDrag::exec unless
    // replaced.
    using TDragRunner = std::function<Qt::DropAction(QDrag& drag, Qt::DropActions actions)>;

    explicit TShellListDragDrop(TPTCustomShellList* list) : m_list(list) {}
    TShellListDragDrop(const TShellListDragDrop&) = delete;
    TShellListDragDrop& operator=(const TShellListDragDrop&) = delete;

    // The views of the list: drags they start are the list's.
    static QListView* NewListView(TPTCustomShellList* list);
    static QTreeView* NewReportView(TPTCustomShellList* list);
    // The view drags and takes drops as the list's options say.
    void Apply(QAbstractItemView* view);

    QMimeData* DragMimeData();
    Qt::DropActions DragActions();
    Qt::DropAction BeginDrag(Qt::MouseButton button);
    void SetDragRunner(TDragRunner runner) { m_dragRunner = std::move(runner); }
    void SetDragClock(TDragClock clock) { m_dragClock = std::move(clock); }
    bool DragActive() const { return m_dragActive; }

    // A drag event on a view's viewport; false for any other event.
    bool DropTargetEvent(QEvent* event);

private:
    // An item a drag over the list carries, read once when the drag enters.
    struct TDropSource
    {
        std::string path;
        std::string realPath;   // links resolved
        std::string realParent; // the folder it is in, links resolved
        unsigned long long device = 0;
    };
    struct TDropPlan
    {
        std::string folder; // where the items would go; empty when nowhere
        int row = -1;       // the folder item under the cursor, -1 for the list's own folder
        Qt::DropAction action = Qt::IgnoreAction;
    };

    void DragEnter(QDropEvent* event);
    void DragOver(QDropEvent* event);
    void Drop(QDropEvent* event);
    TDropPlan PlanDrop(const QPoint& position, Qt::KeyboardModifiers modifiers,
                       Qt::DropActions offered);
    void ReadDropSources(const QMimeData* data);
    void SetDropHighlight(int row);
    void AutoScroll(const QPoint& position);
    void EndDragOver();

    TPTCustomShellList* m_list;
    bool m_dragActive = false;
    TDragRunner m_dragRunner;
    TDragClock m_dragClock;
    std::optional<std::chrono::steady_clock::time_point> m_lastAutoScroll;
    QTimer* m_autoScrollTimer = nullptr;
    QPoint m_dragPosition;
    Qt::KeyboardModifiers m_dragModifiers;
    Qt::DropActions m_dragOffered;
    const QMimeData* m_dropData = nullptr;
    std::vector<TDropSource> m_dropSources;
};
