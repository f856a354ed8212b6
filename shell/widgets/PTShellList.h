#pragma once

// The shell file list: one folder of the shell namespace shown through a file filter, kept in
// step with the folder by a change watcher, with folders opened in place and the open request
// for files handed to the program.

#include "shell/namespace/IdList.h"
#include "shell/namespace/NameFilter.h"
#include "shell/namespace/PTShellLocator.h"
#include "shell/namespace/ShellContextMenu.h"
#include "shell/namespace/ShellFolderContents.h"
#include "shell/namespace/ShellNamespace.h"
#include "shell/widgets/PTShListData.h"
#include "shell/widgets/ShellListCommands.h"
#include "shell/widgets/ShellListDragDrop.h"
#include "shell/widgets/ShellListNavigator.h"
#include "shell/widgets/ShellListRefresher.h"
#include "shell/widgets/ShellListViews.h"

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class QAbstractItemView;
class QItemSelection;
class QItemSelectionModel;
class QMenu;
class TPTCustomShellList;
class TPTShellListModel;

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
// Messages the list posts to itself; the watcher's AM_CHANGENOTIFY comes from
// shell/namespace/ShellFolderContents.h.
constexpr int AM_DEFERREDFILL = 1127; // WM_USER + 103

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
    QStringList ColumnCaptions() const { return m_views.ColumnCaptions(); }

    // The window exists: fills become possible. Showing the list calls it.
    void HandleNeeded();
    void ShareAccessibleTexts();
    bool HandleAllocated() const { return m_handleAllocated; }

    // --- Operations
    void FillItems();
    void RefreshItems() { m_refresher.RefreshItems(); }
    void GoUp(int levels) { m_navigator.GoUp(levels); }
    void OpenItem(int index) { m_navigator.OpenItem(index); }
    void OpenSelectedItems() { m_navigator.OpenSelectedItems(); }
    void SelectAll();
    int ShellSelCount() const;
    TPTShListData* GetShListData(int index) const;
    TPTShListData* GetSelectedItem() const;
    void Synchronize(bool linked) { m_refresher.Synchronize(linked); }
    void SortList();
    void InstallChangeHandler() { m_refresher.Watch(); }

    // --- Verbs (TShellListCommands)
    // Renames an item as finishing its caption edit does; false when the name was refused.
    bool RenameItem(int index, const QString& name) { return m_commands.RenameItem(index, name); }
    // Why the last RenameItem failed, as a message; empty after a success.
    QString LastRenameError() const { return m_commands.LastRenameError(); }
    // Starts editing an item's caption in place (rename); false when the item cannot be
    // renamed here (no CANRENAME, ReadOnly, no such item).
    bool EditItemCaption(int index) { return m_commands.EditItemCaption(index); }
    // A caption is being edited.
    bool EditingCaption() const { return IsEditing(); }
    // The name an item's caption editor starts with.
    QString EditingName(int index) const { return m_commands.EditingName(index); }
    // The editor's text is taken: trimmed, offered to OnEdited, then the item is renamed. A
    // refused or failed rename keeps the old caption and reports why.
    bool FinishEditing(int index, const QString& text)
    {
        return m_commands.FinishEditing(index, text);
    }
    // Shell verbs on the selection, an item or the folder; false when the verb is not offered.
    bool DoCommandForAllSelected(const std::string& verb)
    {
        return m_commands.DoCommandForAllSelected(verb);
    }
    bool DoCommandForItem(int index, const std::string& verb)
    {
        return m_commands.DoCommandForItem(index, verb);
    }
    bool DoCommandForFolder(const std::string& verb) { return m_commands.DoCommandForFolder(verb); }
    // Shows the namespace's context menu of the selection at a client point of the view and
    // runs the chosen entry; the chosen id (1000 + command offset, 1.. for Send To), 0 for
    // none.
    int ProcessMenuForAllSelected(const QPoint& point)
    {
        return m_commands.ProcessMenuForAllSelected(point);
    }
    // Sends the selection to entry index of the Send To menu.
    bool ProcessSendTo(int index) { return m_commands.ProcessSendTo(index); }
    // AND of CANCOPY, CANMOVE and CANLINK over the selection; 0 when nothing is selected.
    std::uint32_t GetDragDropAttributesForAllSelected()
    {
        return m_commands.GetDragDropAttributesForAllSelected();
    }

    // --- Drag and drop (TShellListDragDrop)
    using TDragClock = TShellListDragDrop::TDragClock;
    using TDragRunner = TShellListDragDrop::TDragRunner;
    // What a drag of the selection carries: the items as file URIs, as Copy puts them on the
    // clipboard. Null when a selected item has no path of its own. The caller owns it.
    QMimeData* DragMimeData() { return m_dragDrop.DragMimeData(); }
    // The actions a drag of the selection allows, from the items' attributes.
    Qt::DropActions DragActions() { return m_dragDrop.DragActions(); }
    // Drags the selection out of the list. The list is busy until the drag ends, then it is
    // refreshed.
    Qt::DropAction OleBeginDrag(Qt::MouseButton button) { return m_dragDrop.BeginDrag(button); }
    void SetDragRunner(TDragRunner runner) { m_dragDrop.SetDragRunner(std::move(runner)); }
    // The clock that paces the auto-scroll of a drag over the list; the steady clock unless
    // replaced.
    void SetDragClock(TDragClock clock) { m_dragDrop.SetDragClock(std::move(clock)); }
    // A drag of this list's own items is running.
    bool DragActive() const { return m_dragDrop.DragActive(); }
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
    void SetSkipNextNotification() { m_contents.SkipNextNotice(); }
    bool ChangeRefreshPending() const { return m_refresher.ChangeRefreshPending(); }
    TShellFolderPtr CurrentFolder() const { return m_currentFolder; }
    PCIdList CurrentFolderIdList() const { return m_currentFolderIdList.get(); }
    std::shared_ptr<TShellDetails> GetCurrentFolderIShellDetails();

    // How the default command opens an item (given its path's bytes); the desktop's handler
    // unless replaced.
    void SetOpenHandler(std::function<bool(const std::string& path)> handler)
    {
        m_commands.SetOpenHandler(std::move(handler));
    }

    // The signals that hand an answer back through a reference parameter are read as soon as
    // the emit returns: each needs Qt::DirectConnection (queued, the handler would answer into
    // a variable long gone). A connect with a context object passes it; one without is direct.
signals:
    // needs Qt::DirectConnection
    void OnDblClickOpen(TPTCustomShellList* sender, bool& afHandled);
    // needs Qt::DirectConnection
    void OnAddItem(TPTCustomShellList* sender, TShellFolder* aParentIShf, PCIdList aParentAbsIdList,
                   PCIdList aItemRelIdList, std::uint32_t aAttribs, bool& afAllowAdd);
    void OnDeleteItem(TPTCustomShellList* sender, int aNode, TPTShListData* aShListData);
    void OnFillStart(TPTCustomShellList* sender);
    void OnFillComplete(TPTCustomShellList* sender);
    void OnFolderChanged(TPTCustomShellList* sender);
    void OnSelectItem(TPTCustomShellList* sender, int item, bool selected);
    void OnPopupHint(TPTCustomShellList* sender, const QString& hint);
    // needs Qt::DirectConnection
    void OnItemContextMenu(TPTCustomShellList* sender, int aItem, QPoint& aPos, QMenu*& aMenu);
    void OnColumnClick(TPTCustomShellList* sender, int column);
    // needs Qt::DirectConnection
    void OnGetImageIndex(TPTCustomShellList* sender, int item, int& imageIndex);
    // A caption edit ends with text; the handler may change it. Needs Qt::DirectConnection.
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
    friend class TShellListCommands;
    friend class TShellListDragDrop;
    friend class TShellListNavigator;
    friend class TShellListRefresher;
    friend class TShellListViews;

    void ClearItems();
    void NotifyDeleteAll();
    void FillList(const TShellFolderPtr& folder, PCIdList folderIdList);
    bool ShouldInclude(TShellFolder& folder, PCIdList relative, std::uint32_t& attributes);
    bool CanAdd(TShellFolder& folder, PCIdList relative, std::uint32_t attributes);
    void FilterPreApply();
    void FilterPostApply();
    void DeferredFill();
    bool LeaveGoneFolder(bool asked) { return m_navigator.LeaveGoneFolder(asked); }
    void ColumnClicked(int column);
    void SelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    bool IsEditing() const;
    std::vector<int> SelectedRows() const;
    bool IsFocused() const;
    void ReportError(const QString& message);
    template <typename F> void Guarded(F&& action);

    TPTShellLocator m_folder;
    TShellFolderPtr m_currentFolder;
    IdListPtr m_currentFolderIdList;
    TShellFolderContents m_contents{this, AM_CHANGENOTIFY};
    std::shared_ptr<TShellDetails> m_details;
    bool m_detailsFetched = false;
    TPTShellListOptions m_options = kDefaultShellListOptions;
    QString m_fileFilter;
    TNameFilter m_nameFilter;
    bool m_filterActive = false;
    int m_sortColumn = 1;
    TPTShellListLink* m_linkedCombo = nullptr;
    TPTShellListLink* m_linkedTree = nullptr;
    bool m_busy = false;
    bool m_refreshPending = false;
    int m_fillCount = 0;
    bool m_handleAllocated = false;
    bool m_multiSelect = false;
    bool m_readOnly = false;
    TViewStyle m_viewStyle = vsIcon;
    TPTHeaderSortDisplayMode m_headerSortDisplayMode = ptlvRightOfText;

    TPTShellListModel* m_model = nullptr;
    QItemSelectionModel* m_selection = nullptr;
    TShellListViews m_views{this};
    TShellListCommands m_commands{this};
    TShellListDragDrop m_dragDrop{this};
    TShellListRefresher m_refresher{this};
    TShellListNavigator m_navigator{this};
};

// The list as the forms use it.
class TPTShellList : public TPTCustomShellList
{
    Q_OBJECT
public:
    using TPTCustomShellList::TPTCustomShellList;
};
