#pragma once

// The shell file list: one folder of the shell namespace shown through a file filter, kept in
// step with the folder by a change watcher, with folders opened in place and the open request
// for files handed to the program.

#include "shell/namespace/ChangeHandlerThread.h"
#include "shell/namespace/IdList.h"
#include "shell/namespace/PTShellLocator.h"
#include "shell/namespace/ShellContextMenu.h"
#include "shell/namespace/ShellNamespace.h"
#include "shell/widgets/PTShListData.h"

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

class QAbstractItemView;
class QDrag;
class QDropEvent;
class QMimeData;
class QItemSelection;
class QItemSelectionModel;
class QListView;
class QMenu;
class QTimer;
class QTreeView;
class TPTCustomShellList;
class TPTShellListModel;
class TPTDeviceChangeHandler;
struct TDeviceChangeMessage;

enum TPTShellListOption
{
    ptsloAutoFill,
    ptsloNonFilesystemAncestors,
    ptsloDesignInteractive,
    ptsloDefaultKeyHandling,
    ptsloContextMenus,
    ptsloDontChangeFolder,
    ptsloDontGoBelowBase,
    ptsloDynamicRefresh,
    ptsloHideFoldersWhenLinkedToTree,
    ptsloOleDrag,
    ptsloOleDrop,
    ptsloFolderContextMenu,
    ptsloShowHidden
};
using TPTShellListOptions = std::uint32_t;
constexpr TPTShellListOptions PtsloFlag(TPTShellListOption option)
{
    return 1u << option;
}
constexpr TPTShellListOptions kDefaultShellListOptions = 7835;

enum TViewStyle
{
    vsIcon,
    vsSmallIcon,
    vsList,
    vsReport
};

enum TPTHeaderSortDisplayMode
{
    ptlvNone,
    ptlvLeftAlign,
    ptlvRightOfText,
    ptlvRightAlign
};

// Timing of the change refresh, in milliseconds.
constexpr int PTSH_CHANGE_NOTIFY_DELAY = 2000;
constexpr int PTSH_CHANGE_NOTIFY_FASTDELAY = 400;
// Messages the list posts to itself.
constexpr int AM_CHANGENOTIFY = 1125; // WM_USER + 101
constexpr int AM_DEFERREDFILL = 1127; // WM_USER + 103
// A drag over the list scrolls it when the cursor is this close to an edge, in pixels, one
// step at a time with at least this many milliseconds between steps.
constexpr int PTSH_AUTOSCROLL_THRESHOLD_X = 26;
constexpr int PTSH_AUTOSCROLL_THRESHOLD_Y = 20;
constexpr int PTSH_AUTOSCROLL_MINDELAY_MS = 100;

// A failure to show a folder, with the system's text for it.
class TPTShellError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// What a folder combo or tree linked to the list offers it.
class TPTShellListLink
{
public:
    virtual ~TPTShellListLink() = default;
    // The list shows another folder (or asks to): the linked control selects it and, if it
    // differs from what it shows, gives it back to the list's Folder.
    virtual void ShellListFolderChanged(PCIdList absolute) = 0;
    virtual void ShellListGoUp(int levels) = 0;
    // Run a pending change refresh now.
    virtual void ShellListSynchronize() = 0;
    virtual void ShellListDestroyed(TPTCustomShellList* list) = 0;
};

class TPTCustomShellList : public QWidget
{
    Q_OBJECT
public:
    explicit TPTCustomShellList(QWidget* parent = nullptr);
    ~TPTCustomShellList() override;

    // --- The folder and how it is shown
    TPTShellLocator& Folder() { return m_folder; }
    TPTShellListOptions Options() const { return m_options; }
    void SetOptions(TPTShellListOptions options);
    bool HasOption(TPTShellListOption option) const { return m_options & PtsloFlag(option); }
    QString FileFilter() const { return m_fileFilter; }
    void SetFileFilter(const QString& filter);
    TViewStyle ViewStyle() const { return m_viewStyle; }
    void SetViewStyle(TViewStyle style);
    bool MultiSelect() const { return m_multiSelect; }
    void SetMultiSelect(bool multiSelect);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    TPTHeaderSortDisplayMode HeaderSortDisplayMode() const { return m_headerSortDisplayMode; }
    void SetHeaderSortDisplayMode(TPTHeaderSortDisplayMode mode);
    int SortColumn() const { return m_sortColumn; }
    void SetSortColumn(int column);
    QStringList ColumnCaptions() const;

    // The window exists: fills become possible. Showing the list calls it.
    void HandleNeeded();
    void ShareAccessibleTexts();
    bool HandleAllocated() const { return m_handleAllocated; }

    // --- Operations
    void FillItems();
    void RefreshItems();
    void GoUp(int levels);
    void OpenItem(int index);
    void OpenSelectedItems();
    void SelectAll();
    int ShellSelCount() const;
    TPTShListData* GetShListData(int index) const;
    TPTShListData* GetSelectedItem() const;
    void Synchronize(bool linked);
    void SortList();
    void InstallChangeHandler();
    // Renames an item as finishing its caption edit does; false when the name was refused.
    bool RenameItem(int index, const QString& newName);
    // Why the last RenameItem failed, as a message; empty after a success.
    QString LastRenameError() const { return m_lastRenameError; }
    // Starts editing an item's caption in place (rename); false when the item cannot be
    // renamed here (no CANRENAME, ReadOnly, no such item).
    bool EditItemCaption(int index);
    // A caption is being edited.
    bool EditingCaption() const { return IsEditing(); }
    // The name an item's caption editor starts with.
    QString EditingName(int index) const;
    // The editor's text is taken: trimmed, offered to OnEdited, then the item is renamed. A
    // refused or failed rename keeps the old caption and reports why.
    bool FinishEditing(int index, const QString& text);

    // Shell verbs on the selection, an item or the folder; false when the verb is not offered.
    bool DoCommandForAllSelected(const std::string& verb);
    bool DoCommandForItem(int index, const std::string& verb);
    bool DoCommandForFolder(const std::string& verb);
    // Shows the namespace's context menu of the selection at a client point of the view and
    // runs the chosen entry; the chosen id (1000 + command offset, 1.. for Send To), 0 for
    // none.
    int ProcessMenuForAllSelected(const QPoint& point);
    // Sends the selection to entry index of the Send To menu.
    bool ProcessSendTo(int index);
    // AND of CANCOPY, CANMOVE and CANLINK over the selection; 0 when nothing is selected.
    std::uint32_t GetDragDropAttributesForAllSelected();

    // --- Drag and drop
    using TDragClock = std::function<std::chrono::steady_clock::time_point()>;
    // Runs a drag with the actions it allows and returns the action taken; QDrag::exec unless
    // replaced.
    using TDragRunner = std::function<Qt::DropAction(QDrag& drag, Qt::DropActions actions)>;
    // What a drag of the selection carries: the items as file URIs, as Copy puts them on the
    // clipboard. Null when a selected item has no path of its own. The caller owns it.
    QMimeData* DragMimeData();
    // The actions a drag of the selection allows, from the items' attributes.
    Qt::DropActions DragActions();
    // Drags the selection out of the list. The list is busy until the drag ends, then it is
    // refreshed.
    Qt::DropAction OleBeginDrag(Qt::MouseButton button);
    void SetDragRunner(TDragRunner runner) { m_dragRunner = std::move(runner); }
    // The clock that paces the auto-scroll of a drag over the list; the steady clock unless
    // replaced.
    void SetDragClock(TDragClock clock) { m_dragClock = std::move(clock); }
    // A drag of this list's own items is running.
    bool DragActive() const { return m_dragActive; }
    // The item shown as the target of a drop, -1 for none.
    int DropHighlightItem() const;

    // --- Items
    int ItemCount() const;
    bool IsItemSelected(int index) const;
    void SetItemSelected(int index, bool selected);
    int FocusedItem() const;
    void SetFocusedItem(int index);
    QString ItemCaption(int index) const;
    QAbstractItemView* View() const;

    // --- Links and state
    void SetLinkedCombo(TPTShellListLink* combo) { m_linkedCombo = combo; }
    TPTShellListLink* LinkedCombo() const { return m_linkedCombo; }
    void SetLinkedTree(TPTShellListLink* tree) { m_linkedTree = tree; }
    TPTShellListLink* LinkedTree() const { return m_linkedTree; }
    // Set while a drag runs from the list; fills and refreshes asked for meanwhile wait.
    void SetBusy(bool busy);
    bool Busy() const { return m_busy; }
    bool RefreshPending() const { return m_refreshPending; }
    // The next change notice is the list's own doing and is dropped. Only a watched folder
    // sends one: elsewhere nothing is set, so that no later notice is lost.
    void SetSkipNextNotification();
    bool ChangeRefreshPending() const;
    TShellFolderPtr CurrentFolder() const { return m_currentFolder; }
    PCIdList CurrentFolderIdList() const { return m_currentFolderIdList.get(); }
    std::shared_ptr<TShellDetails> GetCurrentFolderIShellDetails();

    // How the default command opens an item (given its path's bytes); the desktop's handler
    // unless replaced.
    void SetOpenHandler(std::function<bool(const std::string& path)> handler)
    {
        m_openHandler = std::move(handler);
    }

signals:
    void OnDblClickOpen(TPTCustomShellList* sender, bool& afHandled);
    void OnAddItem(TPTCustomShellList* sender, TShellFolder* aParentIShf, PCIdList aParentAbsIdList,
                   PCIdList aItemRelIdList, std::uint32_t aAttribs, bool& afAllowAdd);
    void OnDeleteItem(TPTCustomShellList* sender, int aNode, TPTShListData* aShListData);
    void OnFillStart(TPTCustomShellList* sender);
    void OnFillComplete(TPTCustomShellList* sender);
    void OnFolderChanged(TPTCustomShellList* sender);
    void OnSelectItem(TPTCustomShellList* sender, int item, bool selected);
    void OnPopupHint(TPTCustomShellList* sender, const QString& hint);
    void OnItemContextMenu(TPTCustomShellList* sender, int aItem, QPoint& aPos, QMenu*& aMenu);
    void OnColumnClick(TPTCustomShellList* sender, int column);
    void OnGetImageIndex(TPTCustomShellList* sender, int item, int& imageIndex);
    // A caption edit ends with text; the handler may change it.
    void OnEdited(TPTCustomShellList* sender, int item, QString& text);
    // A failure met while the list handled an event of its own; unconnected, a message box.
    void OnError(TPTCustomShellList* sender, const QString& message);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    friend class TPTShListData;
    friend class TPTShellListModel;

    void HandleOnFolderChanged();
    void ClearItems();
    void NotifyDeleteAll();
    void FillList(const TShellFolderPtr& folder, PCIdList folderIdList);
    void SetupColumns();
    bool ShouldInclude(TShellFolder& folder, PCIdList relative, std::uint32_t& attributes);
    bool CanAdd(TShellFolder& folder, PCIdList relative, std::uint32_t attributes);
    void FilterPreApply();
    bool FilterApply(std::string_view name, std::uint32_t attributes) const;
    void FilterPostApply();
    void AddNewShellItem(TShellFolder& folder, IdListPtr relative);
    void RefreshAll();
    void RefreshNames(const std::vector<std::string>& names);
    void RemoveRows(std::vector<int> rows);
    void TimerElapsed();
    void ChangeNotify();
    void StopWatching();
    void DeferredFill();
    void DeviceChanged(const TDeviceChangeMessage& message);
    void NavigateTo(PCIdList absolute);
    // The folder shown is no longer there: the list goes to the nearest folder above it that is
    // and says so. With asked (F5), a list that may not move says so too. False when the folder
    // is there or was never shown.
    bool LeaveGoneFolder(bool asked);
    bool DblClickOpen();
    void DoDefaultCommand(const std::vector<int>& rows);
    bool HandleKey(QKeyEvent* event);
    void ShowContextMenu(const QPoint& position);
    void ContextMenuAt(const QPoint& position, bool keyboard);
    void ColumnClicked(int column);
    void SelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void UpdateItemSize(int firstNewRow = 0);
    void ApplyViewStyle();
    QTreeView* ReportView();
    bool IsEditing() const;
    void EditorClosed();
    TShellInvokeContext MakeInvokeContext();
    TFileOperation::DeleteAnswer ConfirmDeleteForGood(const std::string& path, bool more);
    // Copies, moves and links run in the background; the list refreshes when each ends.
    void StartFileJob(std::unique_ptr<TFileOperation> job,
                      std::function<void(TFileOperation&)> done = {});
    std::unique_ptr<TShellContextMenu> MenuForRows(const std::vector<int>& rows);
    std::vector<int> SelectedRows() const;
    std::uint32_t MenuFlags();
    bool RunVerb(TShellContextMenu& menu, const std::string& verb);
    bool RunMenuCommand(TShellContextMenu& menu, int offset);
    bool IsFocused() const;
    void ApplyDragDrop(QAbstractItemView* view);
    bool DropTargetEvent(QEvent* event);
    void OnDropTarget_DragEnter(QDropEvent* event);
    void OnDropTarget_DragOver(QDropEvent* event);
    void OnDropTarget_DragLeave();
    void OnDropTarget_Drop(QDropEvent* event);
    struct TDropPlan;
    TDropPlan PlanDrop(const QPoint& position, Qt::KeyboardModifiers modifiers,
                       Qt::DropActions offered);
    void ReadDropSources(const QMimeData* data);
    void SetDropHighlight(int row);
    void AutoScroll(const QPoint& position);
    void EndDragOver();
    void ReportError(const QString& message);
    template <typename F> void Guarded(F&& action);

    TPTShellLocator m_folder;
    TShellFolderPtr m_currentFolder;
    IdListPtr m_currentFolderIdList;
    std::shared_ptr<TShellDetails> m_details;
    bool m_detailsFetched = false;
    TPTShellListOptions m_options = kDefaultShellListOptions;
    QString m_fileFilter;
    std::vector<std::string> m_patterns;
    bool m_hasPatterns = false;
    bool m_filterActive = false;
    int m_sortColumn = 1;
    TPTShellListLink* m_linkedCombo = nullptr;
    TPTShellListLink* m_linkedTree = nullptr;
    QTimer* m_changeTimer = nullptr;
    std::unique_ptr<TChangeHandlerThread> m_changeWatcher;
    int m_watchSlot = -1;
    bool m_busy = false;
    bool m_refreshPending = false;
    bool m_skipNextNotification = false;
    bool m_compareAllNext = false;
    int m_folderChangeNesting = 0;
    int m_fillCount = 0;
    bool m_handleAllocated = false;
    bool m_multiSelect = false;
    bool m_readOnly = false;
    TViewStyle m_viewStyle = vsIcon;
    TPTHeaderSortDisplayMode m_headerSortDisplayMode = ptlvRightOfText;
    std::function<bool(const std::string&)> m_openHandler;
    QString m_lastRenameError;

    // Drag and drop
    // An item a drag over the list carries, read once when the drag enters.
    struct TDropSource
    {
        std::string path;
        std::string realPath;   // links resolved
        std::string realParent; // the folder it is in, links resolved
        unsigned long long device = 0;
    };
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

    TPTShellListModel* m_model = nullptr;
    QItemSelectionModel* m_selection = nullptr;
    QListView* m_listView = nullptr;
    QTreeView* m_reportView = nullptr;
};

// The list as the forms use it.
class TPTShellList : public TPTCustomShellList
{
    Q_OBJECT
public:
    using TPTCustomShellList::TPTCustomShellList;
};
