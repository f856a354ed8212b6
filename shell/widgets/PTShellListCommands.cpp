// Commands on the items: renaming and the shell verbs.

#include "shell/widgets/PTShellList.h"
#include "shell/widgets/PTShellListModel.h"
#include "shell/widgets/ShellListSupport.h"

#include <QAbstractItemView>
#include <QFile>
#include <cerrno>

using namespace shelllist;

bool TPTCustomShellList::RenameItem(int index, const QString& newName)
{
    m_lastRenameError.clear();
    TPTShListData* data = m_model->Item(index);
    if (!data || !m_currentFolder || m_readOnly)
        return false;
    QString text = newName.trimmed();
    QString oldName = data->GetDisplayName();
    IdListPtr renamed;
    HResult hr;
    {
        WaitCursor cursor;
        hr = m_currentFolder->SetNameOf(data->GetRelativeIdList(),
                                        QFile::encodeName(text).toStdString(),
                                        shgdn::InFolder | 0x20, &renamed);
    }
    if (Failed(hr)) {
        QString reason;
        if (hr == kEAlreadyExists)
            reason = QStringLiteral("an item named \"%1\" already exists.").arg(text);
        else if (hr == kEAccessDenied || hr == HResultFromErrno(EROFS))
            reason = QStringLiteral("the folder is read-only.");
        else if (hr == kEInvalidArg)
            reason = QStringLiteral("\"%1\" is not a valid name.").arg(text);
        else
            reason = FromBytes(ShellErrorMessage(hr));
        m_lastRenameError = QStringLiteral("Cannot rename \"%1\": %2").arg(oldName, reason);
        return false;
    }
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

// --- Editing captions in place

QString TPTCustomShellList::EditingName(int index) const
{
    TPTShListData* data = m_model->Item(index);
    if (!data || !m_currentFolder)
        return {};
    std::string name;
    if (Failed(m_currentFolder->GetDisplayNameOf(data->GetRelativeIdList(),
                                                 shgdn::ForEditing | shgdn::InFolder, name)))
        return data->GetDisplayName();
    return FromBytes(name);
}

bool TPTCustomShellList::EditItemCaption(int index)
{
    TPTShListData* data = m_model->Item(index);
    if (!data || m_readOnly || IsEditing() || !data->GetEditable())
        return false;
    QAbstractItemView* view = View();
    QModelIndex item = m_model->index(index, 0);
    m_model->SetEditRow(index);
    SetFocusedItem(index);
    view->scrollTo(item);
    view->edit(item);
    if (!view->indexWidget(item)) {
        m_model->SetEditRow(-1);
        return false;
    }
    return true;
}

bool TPTCustomShellList::FinishEditing(int index, const QString& text)
{
    QString name = text.trimmed();
    emit OnEdited(this, index, name);
    // An empty name leaves the item as it was, as cancelling the edit does.
    if (name.trimmed().isEmpty())
        return false;
    QString message;
    if (name.contains(QLatin1Char('/')))
        message = QStringLiteral("Cannot rename \"%1\": a name cannot contain \"/\".")
                      .arg(ItemCaption(index));
    else if (!RenameItem(index, name))
        message = m_lastRenameError;
    if (message.isEmpty())
        return true;
    // Reported once the editor is gone, not from inside its commit.
    QMetaObject::invokeMethod(
        this, [this, message] { ReportError(message); }, Qt::QueuedConnection);
    return false;
}

void TPTCustomShellList::EditorClosed()
{
    m_model->SetEditRow(-1);
    // What was asked for while the caption was edited runs now.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_refreshPending && !IsEditing()) {
                m_refreshPending = false;
                Guarded([this] { RefreshItems(); });
            }
        },
        Qt::QueuedConnection);
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
