// The verbs of the file list: renaming, the shell verbs, the context menu and the keys.

#include "shell/widgets/ShellListCommands.h"

#include "shell/namespace/FolderSupport.h"
#include "shell/namespace/ShellStrings.h"
#include "shell/widgets/FileJobRunner.h"
#include "shell/widgets/PTShellList.h"
#include "shell/widgets/PTShellListModel.h"
#include "shell/widgets/ShellListSupport.h"
#include "support/DesktopOpener.h"
#include "ui/MessageBox.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <algorithm>
#include <cerrno>

using namespace shelllist;

bool TShellListCommands::RenameItem(int index, const QString& newName)
{
    m_lastRenameError.clear();
    TPTShListData* data = m_list->m_model->Item(index);
    if (!data || !m_list->m_currentFolder || m_list->m_readOnly)
        return false;
    QString text = newName.trimmed();
    QString oldName = data->GetDisplayName();
    IdListPtr renamed;
    HResult hr;
    {
        WaitCursor cursor;
        hr = m_list->m_currentFolder->SetNameOf(data->GetRelativeIdList(), PathBytes(text),
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
            reason = DisplayName(ShellErrorMessage(hr));
        m_lastRenameError = QStringLiteral("Cannot rename \"%1\": %2").arg(oldName, reason);
        return false;
    }
    // The watcher's notice of this rename is the list's own; a rename to the same name changes
    // nothing on disk and brings no notice.
    if (!renamed || CompareIdListBytes(renamed.get(), data->GetRelativeIdList()) != 0)
        m_list->SetSkipNextNotification();
    if (renamed) {
        m_list->m_contents.Renamed(data->GetRelativeIdList(), renamed.get());
        data->SetData(std::move(renamed));
    } else
        data->Flush();
    m_list->m_model->ItemChanged(index);
    // The new caption may be longer than any the columns were sized for.
    m_list->m_views.UpdateItemSize(index);
    if (m_list->m_refreshPending) {
        m_list->m_refreshPending = false;
        m_list->RefreshItems();
    }
    return true;
}

// --- Editing captions in place

QString TShellListCommands::EditingName(int index) const
{
    TPTShListData* data = m_list->m_model->Item(index);
    if (!data || !m_list->m_currentFolder)
        return {};
    std::string name;
    if (Failed(m_list->m_currentFolder->GetDisplayNameOf(
            data->GetRelativeIdList(), shgdn::ForEditing | shgdn::InFolder, name)))
        return data->GetDisplayName();
    return DisplayName(name);
}

bool TShellListCommands::EditItemCaption(int index)
{
    TPTShListData* data = m_list->m_model->Item(index);
    if (!data || m_list->m_readOnly || m_list->IsEditing() || !data->GetEditable())
        return false;
    QAbstractItemView* view = m_list->View();
    QModelIndex item = m_list->m_model->index(index, 0);
    m_list->m_model->SetEditRow(index);
    m_list->SetFocusedItem(index);
    view->scrollTo(item);
    view->edit(item);
    if (!view->indexWidget(item)) {
        m_list->m_model->SetEditRow(-1);
        return false;
    }
    return true;
}

bool TShellListCommands::FinishEditing(int index, const QString& text)
{
    // An edit that changed nothing renames nothing: the text it started from may stand for a
    // name that is not UTF-8 or that starts with a blank, which trimming would change.
    if (text == EditingName(index))
        return false;
    QString name = text.trimmed();
    emit m_list->OnEdited(m_list, index, name);
    // An empty name leaves the item as it was, as cancelling the edit does.
    if (name.trimmed().isEmpty())
        return false;
    QString message;
    if (name.contains(QLatin1Char('/')))
        message = QStringLiteral("Cannot rename \"%1\": a name cannot contain \"/\".")
                      .arg(m_list->ItemCaption(index));
    else if (!RenameItem(index, name))
        message = m_lastRenameError;
    if (message.isEmpty())
        return true;
    // Reported once the editor is gone, not from inside its commit.
    QMetaObject::invokeMethod(
        m_list, [this, message] { m_list->ReportError(message); }, Qt::QueuedConnection);
    return false;
}

void TShellListCommands::EditorClosed()
{
    m_list->m_model->SetEditRow(-1);
    // What was asked for while the caption was edited runs now.
    QMetaObject::invokeMethod(
        m_list,
        [this] {
            if (m_list->m_refreshPending && !m_list->IsEditing()) {
                m_list->m_refreshPending = false;
                m_list->Guarded([this] { m_list->RefreshItems(); });
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

TShellInvokeContext TShellListCommands::MakeInvokeContext()
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
        return OpenWithDesktop(path);
    };
    return context;
}

void TShellListCommands::StartFileJob(std::unique_ptr<TFileOperation> job,
                                      std::function<void(TFileOperation&)> done)
{
    // A child of the list: should the list go first, the job is cancelled and waited for.
    auto* runner = new TFileJobRunner(std::move(job), m_list);
    runner->setParent(m_list);
    QObject::connect(runner, &TFileJobRunner::Finished, m_list,
                     [this, runner, done = std::move(done)] {
                         runner->deleteLater();
                         m_list->Guarded([&] {
                             if (done)
                                 done(runner->Job());
                             // What a cancelled job met on its way out is no news to the user who
                             // cancelled it; what a copy could not keep, or a move had to leave,
                             // is.
                             const TFileOperation& job = runner->Job();
                             std::string report = job.Cancelled() ? std::string() : job.ErrorText();
                             std::string warnings = job.WarningText();
                             if (!report.empty() && !warnings.empty())
                                 report += '\n';
                             report += warnings;
                             if (!report.empty())
                                 m_list->ReportError(DisplayName(report));
                             m_list->RefreshItems();
                         });
                     });
    runner->Start();
}

TFileOperation::DeleteAnswer TShellListCommands::ConfirmDeleteForGood(const std::string& path,
                                                                      bool more)
{
    QString name = DisplayName(std::string(portable::LastPathPart(path)));
    TMessageBoxData box;
    box.Icon = QMessageBox::Warning;
    box.Title = QApplication::applicationName();
    box.Text = QStringLiteral("Delete \"%1\" for good? It cannot be moved to the trash.").arg(name);
    box.Buttons = QMessageBox::Yes | QMessageBox::No;
    if (more)
        box.Buttons |= QMessageBox::YesToAll | QMessageBox::NoToAll;
    box.DefaultButton = QMessageBox::No;
    box.EscapeButton = QMessageBox::No;
    box.Parent = m_list->window();
    WaitCursor::Pause pause;
    switch (TMessageBox::Show(box)) {
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

std::unique_ptr<TShellContextMenu> TShellListCommands::MenuForRows(const std::vector<int>& rows)
{
    if (!m_list->m_currentFolder)
        return nullptr;
    std::vector<IdListPtr> items;
    for (int row : rows) {
        if (TPTShListData* data = m_list->m_model->Item(row))
            items.push_back(CopyIdListPtr(data->GetRelativeIdList()));
    }
    if (items.empty())
        return nullptr;
    return std::make_unique<TShellContextMenu>(m_list->m_currentFolder, std::move(items));
}

std::uint32_t TShellListCommands::MenuFlags()
{
    std::uint32_t flags = cmf::Explore;
    TPTShListData* focused = m_list->m_model->Item(m_list->FocusedItem());
    if (focused && !focused->GetPathNameBytes().empty() && !m_list->m_readOnly)
        flags |= cmf::CanRename;
    return flags;
}

bool TShellListCommands::RunVerb(TShellContextMenu& menu, const std::string& verb)
{
    std::vector<TShellMenuEntry> entries =
        menu.QueryContextMenu(1000, MenuFlags(), QGuiApplication::clipboard()->mimeData());
    const TShellMenuEntry* entry = FindVerb(entries, verb);
    if (!entry)
        return false;
    return RunMenuCommand(menu, entry->id - 1000);
}

bool TShellListCommands::RunMenuCommand(TShellContextMenu& menu, int offset)
{
    if (offset == cmdoffset::Rename) {
        EditItemCaption(m_list->FocusedItem());
        return true;
    }
    TShellInvokeContext context = MakeInvokeContext();
    {
        WaitCursor cursor;
        menu.InvokeCommand(offset, context);
    }
    if (!context.errors.empty())
        m_list->ReportError(DisplayName(context.errors));
    return true;
}

bool TShellListCommands::DoCommandForAllSelected(const std::string& verb)
{
    std::unique_ptr<TShellContextMenu> menu = MenuForRows(m_list->SelectedRows());
    return menu && RunVerb(*menu, verb);
}

bool TShellListCommands::DoCommandForItem(int index, const std::string& verb)
{
    std::unique_ptr<TShellContextMenu> menu = MenuForRows({index});
    return menu && RunVerb(*menu, verb);
}

bool TShellListCommands::DoCommandForFolder(const std::string& verb)
{
    TShellFolderPtr folder = m_list->m_currentFolder;
    if (!folder && Failed(ShellGetFolderFromIdList(m_list->m_folder.GetIdList(), folder)))
        return false;
    TShellContextMenu menu(folder, {});
    return RunVerb(menu, verb);
}

std::uint32_t TShellListCommands::GetDragDropAttributesForAllSelected()
{
    if (!m_list->m_currentFolder)
        return 0;
    std::vector<PCIdList> items;
    for (int row : m_list->SelectedRows()) {
        if (TPTShListData* data = m_list->m_model->Item(row))
            items.push_back(data->GetRelativeIdList());
    }
    if (items.empty())
        return 0;
    std::uint32_t attributes = sfgao::CanCopy | sfgao::CanMove | sfgao::CanLink;
    if (Failed(m_list->m_currentFolder->GetAttributesOf(items, attributes)))
        return 0;
    return attributes & (sfgao::CanCopy | sfgao::CanMove | sfgao::CanLink);
}

namespace {

void AddEntries(QMenu& menu, const std::vector<TShellMenuEntry>& entries, TPTCustomShellList* list)
{
    for (const TShellMenuEntry& entry : entries) {
        if (entry.separator) {
            menu.addSeparator();
            continue;
        }
        if (!entry.submenu.empty()) {
            QMenu* sub = menu.addMenu(entry.text);
            sub->setEnabled(entry.enabled);
            sub->menuAction()->setStatusTip(entry.help);
            AddEntries(*sub, entry.submenu, list);
            continue;
        }
        QAction* action = menu.addAction(entry.text);
        action->setData(entry.id);
        action->setEnabled(entry.enabled);
        action->setStatusTip(entry.help);
        if (entry.isDefault) {
            QFont font = action->font();
            font.setBold(true);
            action->setFont(font);
        }
    }
    QObject::connect(&menu, &QMenu::hovered, list, [list](QAction* action) {
        emit list->OnPopupHint(list, action->statusTip());
    });
}

} // namespace

void TShellListCommands::ContextMenuAt(const QPoint& position, bool keyboard)
{
    QAbstractItemView* view = m_list->View();
    QPoint point = keyboard ? QPoint(0, 0) : position;
    int item = -1;
    int focused = m_list->FocusedItem();
    if (focused >= 0 && m_list->IsItemSelected(focused)) {
        item = focused;
    } else if (focused >= 0) {
        std::vector<int> rows = m_list->SelectedRows();
        if (!rows.empty())
            item = rows.front();
    }
    if (item >= 0) {
        QRect rect = view->visualRect(m_list->m_model->index(item, 0));
        // The centre of the item's icon.
        point = QPoint(rect.left() + 2 + view->iconSize().width() / 2, rect.center().y());
    }
    QMenu* menu = nullptr;
    emit m_list->OnItemContextMenu(m_list, item, point, menu);
    if (item >= 0 && m_list->HasOption(ptsloContextMenus) && !m_list->m_busy) {
        ProcessMenuForAllSelected(point);
        return;
    }
    if (menu)
        menu->popup(view->viewport()->mapToGlobal(point));
}

int TShellListCommands::ProcessMenuForAllSelected(const QPoint& point)
{
    std::unique_ptr<TShellContextMenu> shellMenu = MenuForRows(m_list->SelectedRows());
    if (!shellMenu)
        return 0;
    std::vector<TShellMenuEntry> entries =
        shellMenu->QueryContextMenu(1000, MenuFlags(), QGuiApplication::clipboard()->mimeData());
    QMenu menu(m_list);
    AddEntries(menu, entries, m_list);
    QAction* chosen = menu.exec(m_list->View()->viewport()->mapToGlobal(point));
    int result = chosen ? chosen->data().toInt() : 0;
    if (result == 1000 + cmdoffset::Rename) {
        EditItemCaption(m_list->FocusedItem());
    } else if (result >= 1000) {
        int offset = result - 1000;
        if (offset == cmdoffset::Open)
            DoDefaultCommand(m_list->SelectedRows());
        else
            RunMenuCommand(*shellMenu, offset);
        if (offset == cmdoffset::Delete || offset == cmdoffset::Paste)
            m_list->RefreshItems();
    } else if (result >= 1) {
        ProcessSendTo(result - 1);
    }
    return result;
}

bool TShellListCommands::ProcessSendTo(int index)
{
    std::unique_ptr<TShellContextMenu> menu = MenuForRows(m_list->SelectedRows());
    if (!menu)
        return false;
    TShellInvokeContext context = MakeInvokeContext();
    bool ok;
    {
        WaitCursor cursor;
        ok = menu->InvokeSendTo(index, context);
    }
    if (!context.errors.empty())
        m_list->ReportError(DisplayName(context.errors));
    return ok;
}

// --- Keys and opening

bool TShellListCommands::KeyPress(QKeyEvent* key)
{
    // The menu key and Shift+F10 show the context menu, also without the default keys.
    if (!m_list->IsEditing() &&
        (key->key() == Qt::Key_Menu ||
         (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier))) {
        m_list->Guarded([this] { ContextMenuAt(QPoint(), true); });
        return true;
    }
    bool consumed = false;
    m_list->Guarded([&] { consumed = HandleKey(key); });
    // Selecting everything is the list's own command, off with the default keys; the view
    // must not do it behind the list's back.
    return consumed || key->matches(QKeySequence::SelectAll);
}

bool TShellListCommands::HandleKey(QKeyEvent* event)
{
    if (!m_list->HasOption(ptsloDefaultKeyHandling) || m_list->IsEditing())
        return false;
    Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        m_list->OpenSelectedItems();
        return true;
    }
    if (key == Qt::Key_Backspace && modifiers == Qt::NoModifier) {
        m_list->GoUp(1);
        return true;
    }
    enum Command
    {
        cmdSelectAll,
        cmdRefresh,
        cmdCopy,
        cmdCut,
        cmdPaste,
        cmdEdit,
        cmdDelete
    };
    static const std::pair<TPTResString, Command> table[] = {
        {TPTResString::SShKey_SelectAll, cmdSelectAll}, {TPTResString::SShKey_Refresh, cmdRefresh},
        {TPTResString::SShKey_Copy, cmdCopy},           {TPTResString::SShKey_Cut, cmdCut},
        {TPTResString::SShKey_Paste, cmdPaste},         {TPTResString::SShKey_Edit, cmdEdit},
        {TPTResString::SShKey_Delete, cmdDelete}};
    QKeyCombination pressed(modifiers, static_cast<Qt::Key>(key));
    for (int attempt = 0; attempt < 2; ++attempt) {
        for (const auto& [text, command] : table) {
            if (ShortCutFromText(PTLoadStr(text)) != pressed)
                continue;
            switch (command) {
            case cmdSelectAll:
                m_list->SelectAll();
                return true;
            case cmdRefresh:
                if (!m_list->LeaveGoneFolder(true))
                    m_list->FillItems();
                return true;
            case cmdCopy:
                DoCommandForAllSelected("copy");
                return true;
            case cmdCut:
                DoCommandForAllSelected("cut");
                return true;
            case cmdPaste:
                if (DoCommandForFolder("paste"))
                    m_list->RefreshItems();
                return true;
            case cmdEdit:
                EditItemCaption(m_list->FocusedItem());
                return true;
            case cmdDelete:
                if (DoCommandForAllSelected("delete"))
                    m_list->RefreshItems();
                return true;
            }
        }
        // Shift+Del deletes as Del does.
        if (pressed.key() != Qt::Key_Delete || !(modifiers & Qt::ShiftModifier))
            break;
        pressed = QKeyCombination(modifiers & ~Qt::ShiftModifier, Qt::Key_Delete);
    }
    return false;
}

void TShellListCommands::DoDefaultCommand(const std::vector<int>& rows)
{
    for (int row : rows) {
        TPTShListData* data = m_list->m_model->Item(row);
        if (!data)
            continue;
        std::string path = data->GetPathNameBytes();
        if (path.empty())
            continue;
        if (m_openHandler) {
            m_openHandler(path);
        } else {
            // The path's own bytes, so that a name that is no valid text still opens.
            OpenWithDesktop(path);
        }
    }
}
