#include "shell/widgets/ShellListRefresher.h"

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

TShellListRefresher::TShellListRefresher(TPTCustomShellList* list)
    : m_list(list), m_timer(new QTimer(list))
{
    m_timer->setSingleShot(true);
    QObject::connect(m_timer, &QTimer::timeout, m_list,
                     [this] { m_list->Guarded([this] { TimerElapsed(); }); });
}

void TShellListRefresher::RefreshItems()
{
    if (m_list->m_busy || m_list->IsEditing()) {
        m_list->m_refreshPending = true;
        return;
    }
    if (m_list->LeaveGoneFolder(false))
        return;
    if (m_list->ItemCount() == 0) {
        m_list->FillItems();
        return;
    }
    RefreshAll();
}

void TShellListRefresher::RemoveRows(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    static const QMetaMethod signal = QMetaMethod::fromSignal(&TPTCustomShellList::OnDeleteItem);
    bool notify = m_list->isSignalConnected(signal);
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
                emit m_list->OnDeleteItem(m_list, row, m_list->m_model->Item(row));
        }
        m_list->m_model->RemoveRange(first, last);
    }
}

// What a read of the folder found, applied to the rows. Also when a handler threw on the way:
// the rows stay in step with the contents.
void TShellListRefresher::ApplyChanges(TFolderChanges& changes)
{
    TPTShellListModel* model = m_list->m_model;
    if (!changes.Removed.empty() || !changes.Changed.empty()) {
        // One walk over the rows; the changes are few, the rows may be tens of thousands.
        std::unordered_set<std::uint64_t> removed(changes.Removed.begin(), changes.Removed.end());
        std::unordered_map<std::uint64_t, TFolderItem*> changed;
        for (TFolderItem& item : changes.Changed)
            changed.emplace(item.Key, &item);
        std::vector<int> gone;
        for (int row = 0; row < m_list->ItemCount(); ++row) {
            TPTShListData* data = model->Item(row);
            if (removed.count(data->Key())) {
                gone.push_back(row);
            } else if (auto found = changed.find(data->Key()); found != changed.end()) {
                data->Changed(std::move(found->second->Relative), found->second->Attributes);
                model->ItemChanged(row);
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
        items.push_back(std::make_unique<TPTShListData>(m_list, std::move(item.Relative),
                                                        item.Attributes, item.Key));
    // One insertion for all of them.
    model->Append(std::move(items));
}

TShellFolderContents::TAccept TShellListRefresher::RefreshAccept()
{
    return [this](TShellFolder& folder, PCIdList relative, std::uint32_t& attributes) {
        try {
            return m_list->ShouldInclude(folder, relative, attributes);
        } catch (const std::exception&) {
            m_list->ReportError(QStringLiteral("Exception in AddNewShellItem"));
            throw;
        }
    };
}

// Compares the folder's items with what was read before, keeping what is unchanged.
void TShellListRefresher::RefreshAll()
{
    m_compareAllNext = false;
    WaitCursor cursor;
    emit m_list->OnFillStart(m_list);
    TShellFolderPtr folder = m_list->m_currentFolder;
    if (!folder) {
        emit m_list->OnFillComplete(m_list);
        return;
    }
    m_list->FilterPreApply();
    std::uint32_t flags = shcontf::Folders | shcontf::NonFolders;
    if (m_list->HasOption(ptsloShowHidden))
        flags |= shcontf::IncludeHidden;
    TFolderChanges changes;
    bool read;
    try {
        read = m_list->m_contents.Reread(folder, flags, RefreshAccept(), changes);
    } catch (...) {
        ApplyChanges(changes);
        throw;
    }
    ApplyChanges(changes);
    m_list->FilterPostApply();
    if (read)
        m_list->m_views.UpdateItemSize();
    emit m_list->OnFillComplete(m_list);
}

// The watcher named what changed: only those names are looked at.
void TShellListRefresher::RefreshNames(const std::vector<std::string>& names)
{
    WaitCursor cursor;
    emit m_list->OnFillStart(m_list);
    m_list->FilterPreApply();
    TFolderChanges changes;
    try {
        m_list->m_contents.ReadNames(m_list->m_currentFolder, names,
                                     m_list->HasOption(ptsloShowHidden), RefreshAccept(), changes);
    } catch (...) {
        ApplyChanges(changes);
        throw;
    }
    ApplyChanges(changes);
    m_list->FilterPostApply();
    if (!changes.Added.empty())
        m_list->m_views.UpdateItemSize(m_list->ItemCount() -
                                       static_cast<int>(changes.Added.size()));
    emit m_list->OnFillComplete(m_list);
}

void TShellListRefresher::StopWatching()
{
    m_timer->stop();
    m_list->m_contents.StopWatching();
}

void TShellListRefresher::Watch()
{
    m_timer->stop();
    m_list->m_contents.Watch(ShellGetPathFromIdList(m_list->m_folder.GetIdList()));
}

void TShellListRefresher::ChangeNotify()
{
    if (m_list->m_contents.TakeSkip())
        return;
    if (m_list->m_busy)
        return;
    m_timer->start(m_list->IsFocused() ? PTSH_CHANGE_NOTIFY_FASTDELAY : PTSH_CHANGE_NOTIFY_DELAY);
}

bool TShellListRefresher::ChangeRefreshPending() const
{
    return m_timer->isActive();
}

void TShellListRefresher::TimerElapsed()
{
    m_timer->stop();
    m_list->m_navigator.SynchronizeLinked();
    if (m_list->LeaveGoneFolder(false))
        return;
    std::vector<std::string> names;
    bool known = m_list->m_contents.TakeChanges(names);
    // The folder is gone, the list already empty and not leaving it (it may not move): nothing
    // to show until a folder is there again, which the watch reports.
    TShellFolderPtr folder;
    if (m_list->ItemCount() == 0 &&
        Failed(ShellGetFolderFromIdList(m_list->m_folder.GetIdList(), folder)))
        return;
    if (known && !m_compareAllNext && !m_list->m_busy && !m_list->IsEditing() &&
        m_list->ItemCount() > 0 && m_list->m_currentFolder)
        RefreshNames(names);
    else
        RefreshItems();
}

void TShellListRefresher::Synchronize(bool linked)
{
    if (linked) {
        if (m_list->m_linkedTree)
            m_list->m_linkedTree->ShellListSynchronize();
        if (m_list->m_linkedCombo)
            m_list->m_linkedCombo->ShellListSynchronize();
    }
    if (m_timer->isActive())
        TimerElapsed();
}

void TShellListRefresher::DeviceChanged(const TDeviceChangeMessage& message)
{
    if (message.wParam != DBT_DEVICEARRIVAL && message.wParam != DBT_DEVICEREMOVECOMPLETE)
        return;
    FlushDriveInfoCache();
    if (!ShellCSIDLEqualsIdList(m_list->m_folder.GetIdList(), csidlDrives))
        return;
    LockFlushDriveInfoCache();
    m_list->Guarded([this] { m_list->FillItems(); });
    UnlockFlushDriveInfoCache();
}
