// Keeping the list in step with its folder: refreshes, the change watcher and its timer, the
// busy state and volume changes.

#include "shell/namespace/PTDeviceChangeHandler.h"
#include "shell/widgets/PTShellList.h"
#include "shell/widgets/PTShellListModel.h"
#include "shell/widgets/ShellListSupport.h"

#include <QMetaMethod>
#include <QTimer>
#include <algorithm>
#include <unordered_map>
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

// What a read of the folder found, applied to the rows. Also when a handler threw on the way:
// the rows stay in step with the contents.
void TPTCustomShellList::ApplyChanges(TFolderChanges& changes)
{
    if (!changes.Removed.empty() || !changes.Changed.empty()) {
        // One walk over the rows; the changes are few, the rows may be tens of thousands.
        std::unordered_set<std::uint64_t> removed(changes.Removed.begin(), changes.Removed.end());
        std::unordered_map<std::uint64_t, TFolderItem*> changed;
        for (TFolderItem& item : changes.Changed)
            changed.emplace(item.Key, &item);
        std::vector<int> gone;
        for (int row = 0; row < ItemCount(); ++row) {
            TPTShListData* data = m_model->Item(row);
            if (removed.count(data->Key())) {
                gone.push_back(row);
            } else if (auto found = changed.find(data->Key()); found != changed.end()) {
                data->Changed(std::move(found->second->Relative), found->second->Attributes);
                m_model->ItemChanged(row);
            }
        }
        if (!gone.empty())
            RemoveRows(std::move(gone));
    }
    if (changes.Added.empty())
        return;
    std::vector<std::unique_ptr<TPTShListData>> items;
    items.reserve(changes.Added.size());
    for (TFolderItem& item : changes.Added)
        items.push_back(std::make_unique<TPTShListData>(this, std::move(item.Relative),
                                                        item.Attributes, item.Key));
    // One insertion for all of them.
    m_model->Append(std::move(items));
}

TShellFolderContents::TAccept TPTCustomShellList::RefreshAccept()
{
    return [this](TShellFolder& folder, PCIdList relative, std::uint32_t& attributes) {
        try {
            return ShouldInclude(folder, relative, attributes);
        } catch (const std::exception&) {
            ReportError(QStringLiteral("Exception in AddNewShellItem"));
            throw;
        }
    };
}

// Compares the folder's items with what was read before, keeping what is unchanged.
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
    std::uint32_t flags = shcontf::Folders | shcontf::NonFolders;
    if (HasOption(ptsloShowHidden))
        flags |= shcontf::IncludeHidden;
    TFolderChanges changes;
    bool read;
    try {
        read = m_contents.Reread(folder, flags, RefreshAccept(), changes);
    } catch (...) {
        ApplyChanges(changes);
        throw;
    }
    ApplyChanges(changes);
    FilterPostApply();
    if (read)
        m_views.UpdateItemSize();
    emit OnFillComplete(this);
}

// The watcher named what changed: only those names are looked at.
void TPTCustomShellList::RefreshNames(const std::vector<std::string>& names)
{
    WaitCursor cursor;
    emit OnFillStart(this);
    FilterPreApply();
    TFolderChanges changes;
    try {
        m_contents.ReadNames(m_currentFolder, names, HasOption(ptsloShowHidden), RefreshAccept(),
                             changes);
    } catch (...) {
        ApplyChanges(changes);
        throw;
    }
    ApplyChanges(changes);
    FilterPostApply();
    if (!changes.Added.empty())
        m_views.UpdateItemSize(ItemCount() - static_cast<int>(changes.Added.size()));
    emit OnFillComplete(this);
}

void TPTCustomShellList::StopWatching()
{
    m_changeTimer->stop();
    m_contents.StopWatching();
}

void TPTCustomShellList::InstallChangeHandler()
{
    m_changeTimer->stop();
    m_contents.Watch(ShellGetPathFromIdList(m_folder.GetIdList()));
}

void TPTCustomShellList::ChangeNotify()
{
    if (m_contents.TakeSkip())
        return;
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
    bool known = m_contents.TakeChanges(names);
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
