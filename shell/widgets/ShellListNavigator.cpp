#include "shell/widgets/ShellListNavigator.h"

#include "shell/namespace/ShellShortcut.h"
#include "shell/widgets/PTShellList.h"
#include "shell/widgets/PTShellListModel.h"
#include "shell/widgets/ShellListSupport.h"

#include <algorithm>

using namespace shelllist;

bool TShellListNavigator::DblClickOpen()
{
    bool handled = false;
    emit m_list->OnDblClickOpen(m_list, handled);
    return handled;
}

void TShellListNavigator::OpenSelectedItems()
{
    m_list->Synchronize(true);
    std::vector<int> rows = m_list->SelectedRows();
    if (rows.size() > 1) {
        if (!DblClickOpen())
            m_list->m_commands.DoDefaultCommand(rows);
    } else if (rows.size() == 1) {
        OpenItem(rows.front());
    }
}

void TShellListNavigator::OpenItem(int index)
{
    m_list->Synchronize(true);
    TPTShListData* data = m_list->m_model->Item(index);
    if (!data) {
        DblClickOpen();
        return;
    }
    IdListPtr target;
    {
        WaitCursor cursor;
        std::uint32_t attributes = sfgao::Folder | sfgao::Link | sfgao::Validate;
        PCIdList item = data->GetRelativeIdList();
        const TShellFolderPtr& folder = m_list->m_currentFolder;
        if (folder &&
            Succeeded(folder->GetAttributesOf(std::span<const PCIdList>(&item, 1), attributes)) &&
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
        m_list->m_commands.DoDefaultCommand({index});
}

void TShellListNavigator::NavigateTo(PCIdList absolute)
{
    if (m_list->HasOption(ptsloDontChangeFolder))
        return;
    IdListPtr target = CopyIdListPtr(absolute);
    int fills = m_list->m_fillCount;
    m_list->ClearItems();
    if (m_list->m_linkedTree)
        m_list->m_linkedTree->ShellListFolderChanged(target.get());
    else if (m_list->m_linkedCombo)
        m_list->m_linkedCombo->ShellListFolderChanged(target.get());
    else
        m_list->m_folder.SetIdList(target.get());
    // The folder did not change (a link back to itself): show it again rather than nothing.
    if (m_list->m_fillCount == fills)
        m_list->FillItems();
}

bool TShellListNavigator::LeaveGoneFolder(bool asked)
{
    // Not while a drag or a caption edit holds the items: their refresh comes after.
    if (m_list->m_busy || m_list->IsEditing())
        return false;
    IdListPtr shown = CopyIdListPtr(m_list->m_folder.GetIdList());
    // Only a folder the list has shown can have gone; one that never opened keeps its error.
    PCIdList current = m_list->m_currentFolderIdList.get();
    if (!current || CompareAbsIdLists(current, shown.get()) != 0)
        return false;
    TShellFolderPtr folder;
    HResult hr = ShellGetFolderFromIdList(shown.get(), folder);
    // Unreadable is not gone: it shows empty, as it does when opened.
    if (hr != kEFileNotFound && hr != kEPathNotFound)
        return false;
    QString name = DisplayName(ShellGetFolderName(shown.get()));
    if (m_list->HasOption(ptsloDontChangeFolder)) {
        if (!asked)
            return false;
        m_list->ClearItems();
        m_list->ReportError(QStringLiteral("The folder \"%1\" no longer exists.").arg(name));
        return true;
    }
    IdListPtr above = ShellGetNearestFolderAbove(shown.get());
    if (!above)
        return false;
    NavigateTo(above.get());
    // Told after the move, so that the message stands over the folder now shown.
    m_list->ReportError(QStringLiteral("The folder \"%1\" no longer exists; showing \"%2\".")
                            .arg(name, DisplayName(ShellGetFolderName(above.get()))));
    return true;
}

void TShellListNavigator::GoUp(int levels)
{
    if (m_list->HasOption(ptsloDontChangeFolder) || levels <= 0)
        return;
    if (m_list->m_linkedTree) {
        m_list->m_linkedTree->ShellListGoUp(levels);
        return;
    }
    if (m_list->m_linkedCombo) {
        m_list->m_linkedCombo->ShellListGoUp(levels);
        return;
    }
    TPTIdListArray array(m_list->m_folder.GetIdList());
    if (array.GetCount() == 0)
        return;
    m_list->m_folder.SetIdList(array.GoUp(std::min(levels, array.GetCount())));
}

void TShellListNavigator::FolderChanged()
{
    if (m_folderChangeNesting == 0) {
        ++m_folderChangeNesting;
        // A folder that cannot be shown is reported here: whoever set the folder (start-up,
        // the combo, a double-click) goes on with an empty list.
        try {
            m_list->Guarded([this] {
                PCIdList idList = m_list->m_folder.GetIdList();
                if (m_list->m_linkedTree)
                    m_list->m_linkedTree->ShellListFolderChanged(idList);
                else if (m_list->m_linkedCombo)
                    m_list->m_linkedCombo->ShellListFolderChanged(idList);
                m_list->FillItems();
            });
        } catch (...) {
            --m_folderChangeNesting;
            throw;
        }
        --m_folderChangeNesting;
    }
    emit m_list->OnFolderChanged(m_list);
}

void TShellListNavigator::SynchronizeLinked()
{
    ++m_folderChangeNesting;
    try {
        if (m_list->m_linkedTree)
            m_list->m_linkedTree->ShellListSynchronize();
        if (m_list->m_linkedCombo)
            m_list->m_linkedCombo->ShellListSynchronize();
    } catch (...) {
        --m_folderChangeNesting;
        throw;
    }
    --m_folderChangeNesting;
}
