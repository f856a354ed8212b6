// Opening items and moving between folders.

#include "shell/namespace/ShellShortcut.h"
#include "shell/widgets/PTShellList.h"
#include "shell/widgets/PTShellListModel.h"
#include "shell/widgets/ShellListSupport.h"

#include <QItemSelectionModel>
#include <algorithm>

using namespace shelllist;

// --- Opening and navigating

bool TPTCustomShellList::DblClickOpen()
{
    bool handled = false;
    emit OnDblClickOpen(this, handled);
    return handled;
}

void TPTCustomShellList::OpenSelectedItems()
{
    Synchronize(true);
    std::vector<int> rows;
    for (const QModelIndex& index : m_selection->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    if (rows.size() > 1) {
        if (!DblClickOpen())
            m_commands.DoDefaultCommand(rows);
    } else if (rows.size() == 1) {
        OpenItem(rows.front());
    }
}

void TPTCustomShellList::OpenItem(int index)
{
    Synchronize(true);
    TPTShListData* data = m_model->Item(index);
    if (!data) {
        DblClickOpen();
        return;
    }
    IdListPtr target;
    {
        WaitCursor cursor;
        std::uint32_t attributes = sfgao::Folder | sfgao::Link | sfgao::Validate;
        PCIdList item = data->GetRelativeIdList();
        if (m_currentFolder &&
            Succeeded(m_currentFolder->GetAttributesOf(std::span<const PCIdList>(&item, 1),
                                                       attributes)) &&
            (attributes & sfgao::Folder)) {
            // A link to a folder leads to the folder it points at.
            TLinkData link;
            std::string path = data->GetPathNameBytes();
            if ((attributes & sfgao::Link) && Succeeded(ResolveShortcut(path, link, true)) &&
                link.idList)
                target = std::move(link.idList);
            else
                target = CopyIdListPtr(data->GetAbsoluteIdList());
        } else if (data->IsLnkShortcut()) {
            TLinkData link;
            std::string path = data->GetPathNameBytes();
            if (Succeeded(ResolveShortcut(path, link, true)) &&
                (link.findData.attributes & FILE_ATTRIBUTE_DIRECTORY) && link.idList)
                target = std::move(link.idList);
        }
    }
    if (target) {
        NavigateTo(target.get());
        return;
    }
    if (!DblClickOpen())
        m_commands.DoDefaultCommand({index});
}

void TPTCustomShellList::NavigateTo(PCIdList absolute)
{
    if (HasOption(ptsloDontChangeFolder))
        return;
    IdListPtr target = CopyIdListPtr(absolute);
    int fills = m_fillCount;
    ClearItems();
    if (m_linkedTree)
        m_linkedTree->ShellListFolderChanged(target.get());
    else if (m_linkedCombo)
        m_linkedCombo->ShellListFolderChanged(target.get());
    else
        m_folder.SetIdList(target.get());
    // The folder did not change (a link back to itself): show it again rather than nothing.
    if (m_fillCount == fills)
        FillItems();
}

bool TPTCustomShellList::LeaveGoneFolder(bool asked)
{
    // Not while a drag or a caption edit holds the items: their refresh comes after.
    if (m_busy || IsEditing())
        return false;
    IdListPtr shown = CopyIdListPtr(m_folder.GetIdList());
    // Only a folder the list has shown can have gone; one that never opened keeps its error.
    if (!m_currentFolderIdList || CompareAbsIdLists(m_currentFolderIdList.get(), shown.get()) != 0)
        return false;
    TShellFolderPtr folder;
    HResult hr = ShellGetFolderFromIdList(shown.get(), folder);
    // Unreadable is not gone: it shows empty, as it does when opened.
    if (hr != kEFileNotFound && hr != kEPathNotFound)
        return false;
    QString name = DisplayName(ShellGetFolderName(shown.get()));
    if (HasOption(ptsloDontChangeFolder)) {
        if (!asked)
            return false;
        ClearItems();
        ReportError(QStringLiteral("The folder \"%1\" no longer exists.").arg(name));
        return true;
    }
    IdListPtr above = ShellGetNearestFolderAbove(shown.get());
    if (!above)
        return false;
    NavigateTo(above.get());
    // Told after the move, so that the message stands over the folder now shown.
    ReportError(QStringLiteral("The folder \"%1\" no longer exists; showing \"%2\".")
                    .arg(name, DisplayName(ShellGetFolderName(above.get()))));
    return true;
}

void TPTCustomShellList::GoUp(int levels)
{
    if (HasOption(ptsloDontChangeFolder) || levels <= 0)
        return;
    if (m_linkedTree) {
        m_linkedTree->ShellListGoUp(levels);
        return;
    }
    if (m_linkedCombo) {
        m_linkedCombo->ShellListGoUp(levels);
        return;
    }
    TPTIdListArray array(m_folder.GetIdList());
    if (array.GetCount() == 0)
        return;
    m_folder.SetIdList(array.GoUp(std::min(levels, array.GetCount())));
}

void TPTCustomShellList::HandleOnFolderChanged()
{
    if (m_folderChangeNesting == 0) {
        ++m_folderChangeNesting;
        // A folder that cannot be shown is reported here: whoever set the folder (start-up,
        // the combo, a double-click) goes on with an empty list.
        try {
            Guarded([this] {
                PCIdList idList = m_folder.GetIdList();
                if (m_linkedTree)
                    m_linkedTree->ShellListFolderChanged(idList);
                else if (m_linkedCombo)
                    m_linkedCombo->ShellListFolderChanged(idList);
                FillItems();
            });
        } catch (...) {
            --m_folderChangeNesting;
            throw;
        }
        --m_folderChangeNesting;
    }
    emit OnFolderChanged(this);
}
