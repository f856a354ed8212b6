// The keyboard, the mouse and the context menu.

#include "shell/namespace/ShellStrings.h"
#include "shell/widgets/PTShellList.h"
#include "shell/widgets/PTShellListModel.h"
#include "shell/widgets/ShellListSupport.h"

#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QTreeView>

using namespace shelllist;

// --- Keyboard, mouse and menus

bool TPTCustomShellList::HandleKey(QKeyEvent* event)
{
    if (!HasOption(ptsloDefaultKeyHandling) || IsEditing())
        return false;
    Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        OpenSelectedItems();
        return true;
    }
    if (key == Qt::Key_Backspace && modifiers == Qt::NoModifier) {
        GoUp(1);
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
                SelectAll();
                return true;
            case cmdRefresh:
                if (!LeaveGoneFolder(true))
                    FillItems();
                return true;
            case cmdCopy:
                DoCommandForAllSelected("copy");
                return true;
            case cmdCut:
                DoCommandForAllSelected("cut");
                return true;
            case cmdPaste:
                if (DoCommandForFolder("paste"))
                    RefreshItems();
                return true;
            case cmdEdit:
                EditItemCaption(FocusedItem());
                return true;
            case cmdDelete:
                if (DoCommandForAllSelected("delete"))
                    RefreshItems();
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

bool TPTCustomShellList::eventFilter(QObject* watched, QEvent* event)
{
    bool onView = watched == m_listView || watched == m_reportView;
    bool onViewport =
        watched == m_listView->viewport() || (m_reportView && watched == m_reportView->viewport());
    if (onView && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // The menu key and Shift+F10 show the context menu, also without the default keys.
        if (!IsEditing() &&
            (key->key() == Qt::Key_Menu ||
             (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier))) {
            Guarded([this] { ContextMenuAt(QPoint(), true); });
            return true;
        }
        bool consumed = false;
        Guarded([&] { consumed = HandleKey(key); });
        // Selecting everything is the list's own command, off with the default keys; the
        // view must not do it behind the list's back.
        return consumed || key->matches(QKeySequence::SelectAll);
    }
    if (onViewport && DropTargetEvent(event))
        return true;
    if (onViewport && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Guarded([this] { OpenSelectedItems(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
