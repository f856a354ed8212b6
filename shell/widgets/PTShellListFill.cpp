// Filling the list from its folder: columns, the inclusion test and the file filter, sorting.

#include "shell/namespace/ShellNames.h"
#include "shell/namespace/ShellStrings.h"
#include "shell/widgets/PTShellList.h"
#include "shell/widgets/PTShellListModel.h"
#include "shell/widgets/ShellListSupport.h"

#include <QItemSelectionModel>
#include <QMetaMethod>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <functional>
#include <utility>

using namespace shelllist;

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
    m_compareAllNext = false;
    ++m_fillCount;
    {
        WaitCursor cursor;
        ClearItems();
        TShellFolderPtr folder;
        HResult hr = ShellGetFolderFromIdList(m_folder.GetIdList(), folder);
        if (Failed(hr)) {
            // The old folder is no longer shown: its changes must not bring refreshes (and
            // with them this error) again and again.
            StopWatching();
            throw TPTShellError(ShellErrorMessage(hr));
        }
        // Watch before reading the folder, so that no change made meanwhile is missed.
        if (HasOption(ptsloDynamicRefresh)) {
            m_currentFolder = folder;
            m_currentFolderIdList = CopyIdListPtr(m_folder.GetIdList());
            InstallChangeHandler();
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
        StopWatching();
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
