// Commands on the items: renaming and the shell verbs.

#include "shell/namespace/FolderSupport.h"
#include "shell/widgets/FileJobRunner.h"
#include "shell/widgets/PTShellList.h"
#include "shell/widgets/PTShellListModel.h"
#include "shell/widgets/ShellListSupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
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
    // The new caption may be longer than any the columns were sized for.
    UpdateItemSize(index);
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
    // An edit that changed nothing renames nothing: the text it started from may stand for a
    // name that is not UTF-8 or that starts with a blank, which trimming would change.
    if (text == EditingName(index))
        return false;
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

// --- Shell verbs

namespace {

const TShellMenuEntry* FindVerb(const std::vector<TShellMenuEntry>& entries,
                                const std::string& verb)
{
    for (const TShellMenuEntry& entry : entries) {
        if (entry.enabled && entry.id >= 1000 &&
            QString::fromStdString(entry.verb)
                    .compare(QString::fromStdString(verb), Qt::CaseInsensitive) == 0)
            return &entry;
    }
    return nullptr;
}

} // namespace

TShellInvokeContext TPTCustomShellList::MakeInvokeContext()
{
    TShellInvokeContext context;
    context.clipboard = [] { return QGuiApplication::clipboard()->mimeData(); };
    context.setClipboard = [](QMimeData* data) {
        if (data)
            QGuiApplication::clipboard()->setMimeData(data);
        else
            QGuiApplication::clipboard()->clear();
    };
    context.startJob = [this](std::unique_ptr<TFileOperation> job,
                              std::function<void(TFileOperation&)> done) {
        StartFileJob(std::move(job), std::move(done));
    };
    context.confirmDelete = [this](const std::string& path, bool more) {
        return ConfirmDeleteForGood(path, more);
    };
    context.open = [this](const std::string& path) {
        if (m_openHandler)
            return m_openHandler(path);
        QByteArray encoded = QUrl::toPercentEncoding(QByteArray::fromStdString(path), "/");
        return QDesktopServices::openUrl(QUrl::fromEncoded("file://" + encoded));
    };
    return context;
}

void TPTCustomShellList::StartFileJob(std::unique_ptr<TFileOperation> job,
                                      std::function<void(TFileOperation&)> done)
{
    // A child of the list: should the list go first, the job is cancelled and waited for.
    auto* runner = new TFileJobRunner(std::move(job), this);
    runner->setParent(this);
    connect(runner, &TFileJobRunner::Finished, this, [this, runner, done = std::move(done)] {
        runner->deleteLater();
        Guarded([&] {
            if (done)
                done(runner->Job());
            // What a cancelled job met on its way out is no news to the user who cancelled it;
            // what a copy could not keep, or a move had to leave, is.
            const TFileOperation& job = runner->Job();
            std::string report = job.Cancelled() ? std::string() : job.ErrorText();
            std::string warnings = job.WarningText();
            if (!report.empty() && !warnings.empty())
                report += '\n';
            report += warnings;
            if (!report.empty())
                ReportError(FromBytes(report));
            RefreshItems();
        });
    });
    runner->Start();
}

TFileOperation::DeleteAnswer TPTCustomShellList::ConfirmDeleteForGood(const std::string& path,
                                                                      bool more)
{
    QString name = FromBytes(std::string(portable::LastPathPart(path)));
    QMessageBox box(
        QMessageBox::Warning, QApplication::applicationName(),
        QStringLiteral("Delete \"%1\" for good? It cannot be moved to the trash.").arg(name),
        QMessageBox::Yes | QMessageBox::No, window());
    if (more)
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No |
                               QMessageBox::NoToAll);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    WaitCursor::Pause pause;
    switch (box.exec()) {
    case QMessageBox::Yes:
        return TFileOperation::DeleteAnswer::Yes;
    case QMessageBox::YesToAll:
        return TFileOperation::DeleteAnswer::YesToAll;
    case QMessageBox::NoToAll:
        return TFileOperation::DeleteAnswer::NoToAll;
    default:
        return TFileOperation::DeleteAnswer::No;
    }
}

std::unique_ptr<TShellContextMenu> TPTCustomShellList::MenuForRows(const std::vector<int>& rows)
{
    if (!m_currentFolder)
        return nullptr;
    std::vector<IdListPtr> items;
    for (int row : rows) {
        if (TPTShListData* data = m_model->Item(row))
            items.push_back(CopyIdListPtr(data->GetRelativeIdList()));
    }
    if (items.empty())
        return nullptr;
    return std::make_unique<TShellContextMenu>(m_currentFolder, std::move(items));
}

std::vector<int> TPTCustomShellList::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_selection->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::uint32_t TPTCustomShellList::MenuFlags()
{
    std::uint32_t flags = cmf::Explore;
    TPTShListData* focused = m_model->Item(FocusedItem());
    if (focused && !focused->GetPathNameBytes().empty() && !m_readOnly)
        flags |= cmf::CanRename;
    return flags;
}

bool TPTCustomShellList::RunVerb(TShellContextMenu& menu, const std::string& verb)
{
    std::vector<TShellMenuEntry> entries =
        menu.QueryContextMenu(1000, MenuFlags(), QGuiApplication::clipboard()->mimeData());
    const TShellMenuEntry* entry = FindVerb(entries, verb);
    if (!entry)
        return false;
    return RunMenuCommand(menu, entry->id - 1000);
}

bool TPTCustomShellList::RunMenuCommand(TShellContextMenu& menu, int offset)
{
    if (offset == cmdoffset::Rename) {
        EditItemCaption(FocusedItem());
        return true;
    }
    TShellInvokeContext context = MakeInvokeContext();
    {
        WaitCursor cursor;
        menu.InvokeCommand(offset, context);
    }
    if (!context.errors.empty())
        ReportError(FromBytes(context.errors));
    return true;
}

bool TPTCustomShellList::DoCommandForAllSelected(const std::string& verb)
{
    std::unique_ptr<TShellContextMenu> menu = MenuForRows(SelectedRows());
    return menu && RunVerb(*menu, verb);
}

bool TPTCustomShellList::DoCommandForItem(int index, const std::string& verb)
{
    std::unique_ptr<TShellContextMenu> menu = MenuForRows({index});
    return menu && RunVerb(*menu, verb);
}

bool TPTCustomShellList::DoCommandForFolder(const std::string& verb)
{
    TShellFolderPtr folder = m_currentFolder;
    if (!folder && Failed(ShellGetFolderFromIdList(m_folder.GetIdList(), folder)))
        return false;
    TShellContextMenu menu(folder, {});
    return RunVerb(menu, verb);
}

std::uint32_t TPTCustomShellList::GetDragDropAttributesForAllSelected()
{
    if (!m_currentFolder)
        return 0;
    std::vector<PCIdList> items;
    for (int row : SelectedRows()) {
        if (TPTShListData* data = m_model->Item(row))
            items.push_back(data->GetRelativeIdList());
    }
    if (items.empty())
        return 0;
    std::uint32_t attributes = sfgao::CanCopy | sfgao::CanMove | sfgao::CanLink;
    if (Failed(m_currentFolder->GetAttributesOf(items, attributes)))
        return 0;
    return attributes & (sfgao::CanCopy | sfgao::CanMove | sfgao::CanLink);
}
