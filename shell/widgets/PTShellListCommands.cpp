// Commands on the items: renaming and the shell verbs.

#include "shell/widgets/PTShellList.h"
#include "shell/widgets/PTShellListModel.h"
#include "shell/widgets/ShellListSupport.h"

#include <QFile>

using namespace shelllist;

bool TPTCustomShellList::RenameItem(int index, const QString& newName)
{
    TPTShListData* data = m_model->Item(index);
    if (!data || !m_currentFolder || m_readOnly)
        return false;
    QString text = newName.trimmed();
    IdListPtr renamed;
    HResult hr;
    {
        WaitCursor cursor;
        hr = m_currentFolder->SetNameOf(data->GetRelativeIdList(),
                                        QFile::encodeName(text).toStdString(),
                                        shgdn::InFolder | 0x20, &renamed);
    }
    if (Failed(hr))
        return false;
    // The watcher's notice of this rename is the list's own; a rename to the same name changes
    // nothing on disk and brings no notice.
    if (!renamed || CompareIdListBytes(renamed.get(), data->GetRelativeIdList()) != 0)
        SetSkipNextNotification();
    if (renamed)
        data->SetData(std::move(renamed));
    else
        data->Flush();
    m_model->ItemChanged(index);
    if (m_refreshPending) {
        m_refreshPending = false;
        RefreshItems();
    }
    return true;
}

// --- Shell verbs: this build offers none of its own yet, so every lookup finds nothing and
// nothing is done, which is the safe answer for a verb an item does not offer.

bool TPTCustomShellList::DoCommandForAllSelected(const std::string&)
{
    return false;
}
bool TPTCustomShellList::DoCommandForItem(int, const std::string&)
{
    return false;
}
bool TPTCustomShellList::DoCommandForFolder(const std::string&)
{
    return false;
}
