#include "shell/widgets/PTShellList.h"

#include "shell/namespace/PTDeviceChangeHandler.h"
#include "shell/namespace/ShellNames.h"
#include "shell/namespace/ShellStrings.h"
#include "shell/namespace/ThreadHandOff.h"
#include "shell/widgets/PTShellListModel.h"
#include "shell/widgets/ShellListSupport.h"
#include "ui/ErrorBox.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMetaMethod>
#include <QTreeView>
#include <algorithm>
#include <functional>
#include <utility>

using namespace shelllist;

TPTCustomShellList::TPTCustomShellList(QWidget* parent) : QWidget(parent)
{
    m_folder.SetOnChange([this] { m_navigator.FolderChanged(); });
    m_model = new TPTShellListModel(this);
    m_selection = new QItemSelectionModel(m_model, this);
    connect(m_selection, &QItemSelectionModel::selectionChanged, this,
            &TPTCustomShellList::SelectionChanged);

    m_views.Create();

    SetMultiSelect(false);
    m_views.ApplyViewStyle();
    PTDeviceChangeHandler()->Add(this,
                                 [this](TPTDeviceChangeHandler*, const TDeviceChangeMessage& m) {
                                     m_refresher.DeviceChanged(m);
                                 });
}

TPTCustomShellList::~TPTCustomShellList()
{
    // Every item is announced as it goes, as a list view does when it is destroyed.
    try {
        NotifyDeleteAll();
    } catch (...) {
    }
    if (TPTDeviceChangeHandler* handler = PTDeviceChangeHandler())
        handler->Remove(this);
    if (m_linkedCombo)
        m_linkedCombo->ShellListDestroyed(this);
    if (m_linkedTree)
        m_linkedTree->ShellListDestroyed(this);
    m_contents.StopWatching();
    m_folder.SetOnChange(nullptr);
    disconnect(m_selection, nullptr, this, nullptr);
    m_views.Destroy();
    m_model->BeginReset();
    m_model->Items().clear();
    m_model->EndReset();
}

void TPTCustomShellList::ReportError(const QString& message)
{
    static const QMetaMethod signal = QMetaMethod::fromSignal(&TPTCustomShellList::OnError);
    if (isSignalConnected(signal)) {
        emit OnError(this, message);
        return;
    }
    ShowErrorBox(window(), message);
}

void TPTCustomShellList::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    HandleNeeded();
}

void TPTCustomShellList::ShareAccessibleTexts()
{
    m_views.ShareAccessibleTexts();
}

void TPTCustomShellList::HandleNeeded()
{
    if (m_handleAllocated)
        return;
    m_handleAllocated = true;
    ShareAccessibleTexts();
    if (HasOption(ptsloAutoFill) && ItemCount() == 0)
        QCoreApplication::postEvent(this, new TShellMessageEvent(AM_DEFERREDFILL, 0, 0));
}

bool TPTCustomShellList::event(QEvent* event)
{
    // The change watcher's thread posts its notices here.
    TakeOverPostedEvent(event);
    if (event->type() == TShellMessageEvent::EventType()) {
        auto* message = static_cast<TShellMessageEvent*>(event);
        if (message->Message() == AM_CHANGENOTIFY)
            m_refresher.ChangeNotify();
        else if (message->Message() == AM_DEFERREDFILL)
            Guarded([this] { DeferredFill(); });
        return true;
    }
    return QWidget::event(event);
}

void TPTCustomShellList::DeferredFill()
{
    if (ItemCount() == 0)
        FillItems();
}

// --- Properties

void TPTCustomShellList::SetOptions(TPTShellListOptions options)
{
    TPTShellListOptions changed = options ^ m_options;
    m_options = options;
    if (changed & (PtsloFlag(ptsloOleDrag) | PtsloFlag(ptsloOleDrop))) {
        m_views.ApplyDragDrop();
    }
    if (!m_handleAllocated)
        return;
    if (changed & PtsloFlag(ptsloDynamicRefresh)) {
        if (HasOption(ptsloDynamicRefresh)) {
            m_refresher.Watch();
            // What changed while nothing was watched is known by no name.
            m_refresher.SetCompareAllNext(true);
        } else {
            m_refresher.StopWatching();
        }
    }
    if (changed & (PtsloFlag(ptsloHideFoldersWhenLinkedToTree) | PtsloFlag(ptsloShowHidden)))
        RefreshItems();
}

void TPTCustomShellList::SetFileFilter(const QString& filter)
{
    if (filter == m_fileFilter) {
        if (filter.isEmpty())
            m_nameFilter.SetText({});
        return;
    }
    m_fileFilter = filter;
    m_nameFilter.SetText(filter);
    if (HasOption(ptsloAutoFill))
        FillItems();
}

void TPTCustomShellList::SetMultiSelect(bool multiSelect)
{
    m_multiSelect = multiSelect;
    m_views.SetSelectionMode(multiSelect);
}

void TPTCustomShellList::SetBusy(bool busy)
{
    m_busy = busy;
    if (!busy && m_refreshPending) {
        m_refreshPending = false;
        RefreshItems();
    }
}

// --- Items

int TPTCustomShellList::ItemCount() const
{
    return m_model->rowCount();
}

bool TPTCustomShellList::IsItemSelected(int index) const
{
    return m_selection->isRowSelected(index, {});
}

void TPTCustomShellList::SetItemSelected(int index, bool selected)
{
    if (index < 0 || index >= ItemCount())
        return;
    m_selection->select(m_model->index(index, 0),
                        (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                            QItemSelectionModel::Rows);
}

int TPTCustomShellList::FocusedItem() const
{
    QModelIndex current = m_selection->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TPTCustomShellList::SetFocusedItem(int index)
{
    if (index >= 0 && index < ItemCount())
        m_selection->setCurrentIndex(m_model->index(index, 0), QItemSelectionModel::NoUpdate);
}

QString TPTCustomShellList::ItemCaption(int index) const
{
    TPTShListData* data = m_model->Item(index);
    return data ? data->GetDisplayName() : QString();
}

QAbstractItemView* TPTCustomShellList::View() const
{
    return m_views.Current();
}

TPTShListData* TPTCustomShellList::GetShListData(int index) const
{
    return m_model->Item(index);
}

TPTShListData* TPTCustomShellList::GetSelectedItem() const
{
    const QModelIndexList rows = m_selection->selectedRows();
    int first = -1;
    for (const QModelIndex& index : rows)
        first = first < 0 ? index.row() : std::min(first, index.row());
    return m_model->Item(first);
}

int TPTCustomShellList::ShellSelCount() const
{
    int count = 0;
    for (const QItemSelectionRange& range : m_selection->selection())
        count += range.height();
    return count;
}

void TPTCustomShellList::SelectAll()
{
    if (ItemCount() == 0 || !m_multiSelect)
        return;
    QItemSelection all(m_model->index(0, 0), m_model->index(ItemCount() - 1, 0));
    m_selection->select(all, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TPTCustomShellList::SelectionChanged(const QItemSelection& selected,
                                          const QItemSelection& deselected)
{
    static const QMetaMethod signal = QMetaMethod::fromSignal(&TPTCustomShellList::OnSelectItem);
    if (!isSignalConnected(signal))
        return;
    // One notice per item, as a list view sends them; ranges cover every column of a row.
    auto notify = [this](const QItemSelection& selection, bool state) {
        std::vector<int> rows;
        for (const QItemSelectionRange& range : selection) {
            if (range.left() != 0)
                continue;
            for (int row = range.top(); row <= range.bottom(); ++row)
                rows.push_back(row);
        }
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        for (int row : rows)
            emit OnSelectItem(this, row, state);
    };
    notify(deselected, false);
    notify(selected, true);
}

std::vector<int> TPTCustomShellList::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_selection->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int TPTCustomShellList::DropHighlightItem() const
{
    return m_model->RowOf(m_model->DropItem());
}

// --- Keyboard and mouse: the keys are the commands', drags the drag and drop's

bool TPTCustomShellList::eventFilter(QObject* watched, QEvent* event)
{
    bool onView = m_views.IsView(watched);
    bool onViewport = m_views.IsViewport(watched);
    if (onView && event->type() == QEvent::KeyPress)
        return m_commands.KeyPress(static_cast<QKeyEvent*>(event));
    if (onViewport && m_dragDrop.DropTargetEvent(event))
        return true;
    if (onViewport && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Guarded([this] { OpenSelectedItems(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TPTCustomShellList::SetViewStyle(TViewStyle style)
{
    if (style == m_viewStyle)
        return;
    m_viewStyle = style;
    m_views.ApplyViewStyle();
}

void TPTCustomShellList::SetHeaderSortDisplayMode(TPTHeaderSortDisplayMode mode)
{
    m_headerSortDisplayMode = mode;
    m_views.ApplyHeaderSort();
}

// --- Filling the list from its folder: columns, the inclusion test and the file filter

void TPTCustomShellList::ClearItems()
{
    m_selection->clearSelection();
    NotifyDeleteAll();
    m_contents.Clear();
    m_model->BeginReset();
    m_model->Items().clear();
    m_model->EndReset();
}

void TPTCustomShellList::NotifyDeleteAll()
{
    static const QMetaMethod signal = QMetaMethod::fromSignal(&TPTCustomShellList::OnDeleteItem);
    if (!isSignalConnected(signal))
        return;
    for (int row = ItemCount() - 1; row >= 0; --row)
        emit OnDeleteItem(this, row, m_model->Item(row));
}

bool TPTCustomShellList::IsEditing() const
{
    // A caption editor is a child of the view's viewport holding the focus.
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus != View()->viewport() && View()->viewport()->isAncestorOf(focus))
        return true;
    int row = m_model->EditRow();
    return row >= 0 && View()->indexWidget(m_model->index(row, 0)) != nullptr;
}

bool TPTCustomShellList::IsFocused() const
{
    return View()->hasFocus() ||
           (QApplication::focusWidget() && isAncestorOf(QApplication::focusWidget()));
}

void TPTCustomShellList::FillItems()
{
    if (!m_handleAllocated)
        return;
    if (m_busy || IsEditing()) {
        m_refreshPending = true;
        return;
    }
    m_refreshPending = false;
    m_refresher.SetCompareAllNext(false);
    ++m_fillCount;
    {
        WaitCursor cursor;
        ClearItems();
        TShellFolderPtr folder;
        HResult hr = ShellGetFolderFromIdList(m_folder.GetIdList(), folder);
        if (Failed(hr)) {
            // The old folder is no longer shown: its changes must not bring refreshes (and
            // with them this error) again and again.
            m_refresher.StopWatching();
            throw TPTShellError(ShellErrorMessage(hr));
        }
        // Watch before reading the folder, so that no change made meanwhile is missed.
        if (HasOption(ptsloDynamicRefresh)) {
            m_currentFolder = folder;
            m_currentFolderIdList = CopyIdListPtr(m_folder.GetIdList());
            m_refresher.Watch();
        }
        FilterPreApply();
        try {
            FillList(folder, m_folder.GetIdList());
        } catch (...) {
            FilterPostApply();
            throw;
        }
        FilterPostApply();
    }
    SortList();
    m_views.UpdateItemSize();
    if (ItemCount() > 0)
        SetFocusedItem(0);
    if (m_viewStyle == vsIcon || m_viewStyle == vsSmallIcon)
        View()->scrollToTop();
    if (!HasOption(ptsloDynamicRefresh))
        m_refresher.StopWatching();
}

void TPTCustomShellList::FillList(const TShellFolderPtr& folder, PCIdList folderIdList)
{
    emit OnFillStart(this);
    IdListPtr previousIdList = std::move(m_currentFolderIdList);
    TShellFolderPtr previousFolder = m_currentFolder;
    m_currentFolderIdList = CopyIdListPtr(folderIdList);
    m_currentFolder = folder;
    m_details.reset();
    m_detailsFetched = false;
    auto restore = [&] {
        m_currentFolderIdList = std::move(previousIdList);
        m_currentFolder = previousFolder;
    };

    std::uint32_t flags = shcontf::Folders | shcontf::NonFolders;
    if (HasOption(ptsloShowHidden))
        flags |= shcontf::IncludeHidden;
    TFolderChanges changes;
    m_model->BeginReset();
    // However the fill ends, also by an exception from a handler, the reset ends with the new
    // folder's columns (also when it cannot be read) and the items accepted so far.
    ScopeExit endUpdate([this, &changes] {
        auto& items = m_model->Items();
        items.reserve(changes.Added.size());
        for (TFolderItem& item : changes.Added)
            items.push_back(std::make_unique<TPTShListData>(this, std::move(item.Relative),
                                                            item.Attributes, item.Key));
        m_model->EndReset();
        m_views.ApplyColumnWidths();
    });
    m_views.SetupColumns();
    HResult hr = m_contents.Fill(
        folder, flags,
        [this](TShellFolder& folder, PCIdList relative, std::uint32_t& attributes) {
            return ShouldInclude(folder, relative, attributes);
        },
        changes);
    if (hr != kSOk) {
        restore();
        throw TPTShellError(ShellErrorMessage(hr));
    }
    endUpdate.Run();
    emit OnFillComplete(this);
}

std::shared_ptr<TShellDetails> TPTCustomShellList::GetCurrentFolderIShellDetails()
{
    if (!m_detailsFetched && m_currentFolder) {
        m_details = m_currentFolder->GetDetails();
        m_detailsFetched = true;
    }
    return m_details;
}

bool TPTCustomShellList::ShouldInclude(TShellFolder& folder, PCIdList relative,
                                       std::uint32_t& attributes)
{
    attributes = 0x720B0000;
    if (Failed(folder.GetAttributesOf(std::span<const PCIdList>(&relative, 1), attributes)))
        return false;
    bool candidate = HasOption(ptsloNonFilesystemAncestors) ||
                     (attributes & (sfgao::FileSystem | sfgao::FileSysAncestor));
    if (candidate && HasOption(ptsloHideFoldersWhenLinkedToTree) && m_linkedTree &&
        (attributes & sfgao::Folder) && (attributes & sfgao::FileSystem))
        candidate = false;
    return candidate && CanAdd(folder, relative, attributes);
}

bool TPTCustomShellList::CanAdd(TShellFolder& folder, PCIdList relative, std::uint32_t attributes)
{
    if (m_filterActive && !(attributes & sfgao::Folder)) {
        std::string name;
        if (Failed(folder.GetDisplayNameOf(relative, shgdn::ForParsing | shgdn::InFolder, name)))
            return false;
        std::size_t slash = name.find_last_of('/');
        std::string_view fileName = slash == std::string::npos
                                        ? std::string_view(name)
                                        : std::string_view(name).substr(slash + 1);
        if (!m_nameFilter.Matches(fileName))
            return false;
    }
    static const QMetaMethod signal = QMetaMethod::fromSignal(&TPTCustomShellList::OnAddItem);
    if (isSignalConnected(signal)) {
        bool allow = true;
        emit OnAddItem(this, &folder, m_currentFolderIdList.get(), relative, attributes, allow);
        return allow;
    }
    return true;
}

void TPTCustomShellList::FilterPreApply()
{
    m_filterActive = false;
    if (!m_currentFolder && !m_folder.GetIdList())
        return;
    std::string path = ShellGetPathFromIdList(m_folder.GetIdList());
    m_filterActive = !path.empty() && m_nameFilter.Narrows();
}

void TPTCustomShellList::FilterPostApply()
{
    m_filterActive = false;
}

// --- Sorting

void TPTCustomShellList::SortList()
{
    if (m_sortColumn == 0 || !m_currentFolder || ItemCount() < 2)
        return;
    int count = ItemCount();
    std::vector<PCIdList> order;
    order.reserve(static_cast<std::size_t>(count));
    // Each id list's row, found again by halving: a hash map would allocate once an item.
    std::vector<std::pair<PCIdList, int>> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row) {
        PCIdList relative = m_model->Item(row)->GetRelativeIdList();
        order.push_back(relative);
        rows.emplace_back(relative, row);
    }
    // std::less orders any pointers, also of different allocations.
    auto byPointer = [](const std::pair<PCIdList, int>& a, const std::pair<PCIdList, int>& b) {
        return std::less<PCIdList>()(a.first, b.first);
    };
    std::sort(rows.begin(), rows.end(), byPointer);
    m_currentFolder->SortIdLists(std::abs(m_sortColumn) - 1, order);
    if (m_sortColumn < 0)
        std::reverse(order.begin(), order.end());
    std::vector<int> newToOld;
    newToOld.reserve(order.size());
    bool changed = false;
    for (PCIdList relative : order) {
        auto found = std::lower_bound(rows.begin(), rows.end(), std::pair(relative, -1), byPointer);
        newToOld.push_back(found->second);
        changed |= newToOld.back() != static_cast<int>(newToOld.size()) - 1;
    }
    if (changed)
        m_model->Reorder(newToOld);
}

void TPTCustomShellList::SetSortColumn(int column)
{
    m_sortColumn = column;
    m_views.ApplyHeaderSort();
    SortList();
}

void TPTCustomShellList::ColumnClicked(int column)
{
    int before = m_sortColumn;
    emit OnColumnClick(this, column);
    if (m_sortColumn != before)
        return;
    if (std::abs(m_sortColumn) == column + 1)
        SetSortColumn(-m_sortColumn);
    else
        SetSortColumn(column + 1);
}
