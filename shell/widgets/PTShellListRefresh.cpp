// Keeping the list in step with its folder: refreshes, the change watcher and its timer, the
// busy state and volume changes.

#include "shell/namespace/PTDeviceChangeHandler.h"
#include "shell/widgets/PTShellList.h"
#include "shell/widgets/PTShellListModel.h"
#include "shell/widgets/ShellListSupport.h"

#include <QMetaMethod>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <unordered_set>

using namespace shelllist;

void TPTCustomShellList::RefreshItems()
{
    if (m_busy || IsEditing()) {
        m_refreshPending = true;
        return;
    }
    if (LeaveGoneFolder(false))
        return;
    if (ItemCount() == 0) {
        FillItems();
        return;
    }
    RefreshAll();
}

void TPTCustomShellList::AddNewShellItem(TShellFolder& folder, IdListPtr relative)
{
    try {
        std::uint32_t attributes = 0;
        if (!ShouldInclude(folder, relative.get(), attributes))
            return;
        std::vector<std::unique_ptr<TPTShListData>> items;
        items.push_back(std::make_unique<TPTShListData>(this, std::move(relative), attributes));
        m_model->Append(std::move(items));
    } catch (const std::exception&) {
        ReportError(QStringLiteral("Exception in AddNewShellItem"));
        throw;
    }
}

void TPTCustomShellList::RemoveRows(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    static const QMetaMethod signal = QMetaMethod::fromSignal(&TPTCustomShellList::OnDeleteItem);
    bool notify = isSignalConnected(signal);
    // From the end, a run of neighbours at a time.
    for (int i = static_cast<int>(rows.size()) - 1; i >= 0;) {
        int last = rows[static_cast<std::size_t>(i)];
        int first = last;
        while (i > 0 && rows[static_cast<std::size_t>(i - 1)] == first - 1) {
            --first;
            --i;
        }
        --i;
        if (notify) {
            for (int row = last; row >= first; --row)
                emit OnDeleteItem(this, row, m_model->Item(row));
        }
        m_model->RemoveRange(first, last);
    }
}

// Compares the folder's items with the list's, keeping what is unchanged.
void TPTCustomShellList::RefreshAll()
{
    m_compareAllNext = false;
    WaitCursor cursor;
    emit OnFillStart(this);
    TShellFolderPtr folder = m_currentFolder;
    if (!folder) {
        emit OnFillComplete(this);
        return;
    }
    FilterPreApply();
    bool virtualFolder = folder->FileSystemPath().empty();
    TPTPidlList present;
    int count = ItemCount();
    present.SetCapacity(count);
    for (int row = 0; row < count; ++row) {
        TPTShListData* data = m_model->Item(row);
        present.AddObject(const_cast<PIdList>(data->GetRelativeIdList()), data);
    }
    if (virtualFolder)
        present.SetCompareFolder(folder);
    present.Sort();

    TPTPidlList found;
    found.SetAllocator(ShellIMalloc());
    if (virtualFolder)
        found.SetCompareFolder(folder);
    std::uint32_t flags = shcontf::Folders | shcontf::NonFolders;
    if (HasOption(ptsloShowHidden))
        flags |= shcontf::IncludeHidden;
    std::unique_ptr<TShellEnumIdList> enumerator;
    if (Failed(folder->EnumObjects(flags, enumerator)) || !enumerator) {
        // The folder went away or can no longer be read: nothing shown may stay, as after a
        // fill that cannot read it.
        present.Clear();
        std::vector<int> all(static_cast<std::size_t>(count));
        for (int row = 0; row < count; ++row)
            all[static_cast<std::size_t>(row)] = row;
        RemoveRows(std::move(all));
        FilterPostApply();
        emit OnFillComplete(this);
        return;
    }
    IdListPtr item;
    while (enumerator->Next(item) == kSOk)
        found.Add(item.release());
    found.Sort();

    // Both lists sorted the same way: one walk pairs up the items present in both.
    std::vector<char> keep(static_cast<std::size_t>(present.GetCount()), 0);
    std::vector<char> known(static_cast<std::size_t>(found.GetCount()), 0);
    for (int i = 0, j = 0; i < present.GetCount() && j < found.GetCount();) {
        int order = present.Compare(present.GetPIDL(i), found.GetPIDL(j));
        if (order == 0) {
            keep[static_cast<std::size_t>(i++)] = 1;
            known[static_cast<std::size_t>(j++)] = 1;
        } else if (order < 0) {
            ++i;
        } else {
            ++j;
        }
    }
    std::vector<int> gone;
    for (int i = 0; i < present.GetCount(); ++i) {
        if (!keep[static_cast<std::size_t>(i)])
            gone.push_back(m_model->RowOf(static_cast<TPTShListData*>(present.GetObject(i))));
    }
    present.Clear();
    if (!gone.empty())
        RemoveRows(std::move(gone));
    TPTShellListModel::TAppendBatch newRows(*m_model);
    for (int j = 0; j < found.GetCount(); ++j) {
        if (known[static_cast<std::size_t>(j)])
            continue;
        IdListPtr relative(found.Extract(j));
        AddNewShellItem(*folder, std::move(relative));
    }
    newRows.End();
    FilterPostApply();
    UpdateItemSize();
    emit OnFillComplete(this);
}

// The watcher named what changed: only those names are looked at.
void TPTCustomShellList::RefreshNames(const std::vector<std::string>& names)
{
    WaitCursor cursor;
    emit OnFillStart(this);
    TShellFolderPtr folder = m_currentFolder;
    FilterPreApply();
    std::unordered_set<std::string> unique(names.begin(), names.end());
    std::vector<int> gone;
    std::vector<IdListPtr> added;
    for (const std::string& name : unique) {
        if (name.empty())
            continue;
        IdListPtr relative = MakeSingleIdList(name);
        int row = -1;
        std::size_t length = IdListLen(relative.get());
        for (int i = 0; i < ItemCount() && row < 0; ++i) {
            PCIdList present = m_model->Item(i)->GetRelativeIdList();
            // The first two bytes are the item's size: most names differ there already.
            if (present[0] == relative.get()[0] && present[1] == relative.get()[1] &&
                std::memcmp(present, relative.get(), length) == 0)
                row = i;
        }
        std::uint32_t attributes = sfgao::Validate | sfgao::Ghosted;
        PCIdList item = relative.get();
        bool exists =
            Succeeded(folder->GetAttributesOf(std::span<const PCIdList>(&item, 1), attributes));
        // The list shows what an enumeration would have given.
        if (exists && (attributes & sfgao::Ghosted) && !HasOption(ptsloShowHidden))
            exists = false;
        if (!exists && row >= 0)
            gone.push_back(row);
        else if (exists && row < 0)
            added.push_back(std::move(relative));
    }
    if (!gone.empty())
        RemoveRows(std::move(gone));
    TPTShellListModel::TAppendBatch newRows(*m_model);
    for (IdListPtr& relative : added)
        AddNewShellItem(*folder, std::move(relative));
    newRows.End();
    FilterPostApply();
    if (!added.empty())
        UpdateItemSize(ItemCount() - static_cast<int>(added.size()));
    emit OnFillComplete(this);
}

void TPTCustomShellList::SetSkipNextNotification()
{
    m_skipNextNotification = m_changeWatcher && m_watchSlot >= 0;
}

void TPTCustomShellList::StopWatching()
{
    m_changeTimer->stop();
    if (m_changeWatcher)
        m_changeWatcher->RemoveAllWatches();
    m_watchSlot = -1;
    m_skipNextNotification = false;
}

void TPTCustomShellList::InstallChangeHandler()
{
    m_changeTimer->stop();
    // A notice still to be skipped belonged to the watch that ends here.
    m_skipNextNotification = false;
    if (m_changeWatcher)
        m_changeWatcher->RemoveAllWatches();
    else
        m_changeWatcher = std::make_unique<TChangeHandlerThread>(this, AM_CHANGENOTIFY);
    m_watchSlot = -1;
    std::string path = ShellGetPathFromIdList(m_folder.GetIdList());
    if (path.empty())
        return;
    int slot = -1;
    if (m_changeWatcher->AddWatch(path, filenotify::FileName | filenotify::DirName, false, &slot))
        m_watchSlot = slot;
}

void TPTCustomShellList::ChangeNotify()
{
    if (m_skipNextNotification) {
        m_skipNextNotification = false;
        return;
    }
    if (m_busy)
        return;
    m_changeTimer->start(IsFocused() ? PTSH_CHANGE_NOTIFY_FASTDELAY : PTSH_CHANGE_NOTIFY_DELAY);
}

bool TPTCustomShellList::ChangeRefreshPending() const
{
    return m_changeTimer->isActive();
}

void TPTCustomShellList::TimerElapsed()
{
    m_changeTimer->stop();
    ++m_folderChangeNesting;
    try {
        if (m_linkedTree)
            m_linkedTree->ShellListSynchronize();
        if (m_linkedCombo)
            m_linkedCombo->ShellListSynchronize();
    } catch (...) {
        --m_folderChangeNesting;
        throw;
    }
    --m_folderChangeNesting;
    if (LeaveGoneFolder(false))
        return;
    std::vector<std::string> names;
    bool known =
        m_changeWatcher && m_watchSlot >= 0 && m_changeWatcher->TakeChanges(m_watchSlot, names);
    // The folder is gone, the list already empty and not leaving it (it may not move): nothing
    // to show until a folder is there again, which the watch reports.
    TShellFolderPtr folder;
    if (ItemCount() == 0 && Failed(ShellGetFolderFromIdList(m_folder.GetIdList(), folder)))
        return;
    if (known && !m_compareAllNext && !m_busy && !IsEditing() && ItemCount() > 0 && m_currentFolder)
        RefreshNames(names);
    else
        RefreshItems();
}

void TPTCustomShellList::Synchronize(bool linked)
{
    if (linked) {
        if (m_linkedTree)
            m_linkedTree->ShellListSynchronize();
        if (m_linkedCombo)
            m_linkedCombo->ShellListSynchronize();
    }
    if (m_changeTimer->isActive())
        TimerElapsed();
}

void TPTCustomShellList::SetBusy(bool busy)
{
    m_busy = busy;
    if (!busy && m_refreshPending) {
        m_refreshPending = false;
        RefreshItems();
    }
}

void TPTCustomShellList::DeviceChanged(const TDeviceChangeMessage& message)
{
    if (message.wParam != DBT_DEVICEARRIVAL && message.wParam != DBT_DEVICEREMOVECOMPLETE)
        return;
    FlushDriveInfoCache();
    if (!ShellCSIDLEqualsIdList(m_folder.GetIdList(), csidlDrives))
        return;
    LockFlushDriveInfoCache();
    Guarded([this] { FillItems(); });
    UnlockFlushDriveInfoCache();
}
