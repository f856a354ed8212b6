// The context menu protocol of the list and the namespace's menu of the selection.

#include "shell/widgets/PTShellList.h"
#include "shell/widgets/PTShellListModel.h"
#include "shell/widgets/ShellListSupport.h"

#include <QAbstractItemView>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

using namespace shelllist;

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

void TPTCustomShellList::ShowContextMenu(const QPoint& position)
{
    ContextMenuAt(position, false);
}

void TPTCustomShellList::ContextMenuAt(const QPoint& position, bool keyboard)
{
    QAbstractItemView* view = View();
    QPoint point = keyboard ? QPoint(0, 0) : position;
    int item = -1;
    int focused = FocusedItem();
    if (focused >= 0 && IsItemSelected(focused)) {
        item = focused;
    } else if (focused >= 0) {
        std::vector<int> rows = SelectedRows();
        if (!rows.empty())
            item = rows.front();
    }
    if (item >= 0) {
        QRect rect = view->visualRect(m_model->index(item, 0));
        // The centre of the item's icon.
        point = QPoint(rect.left() + 2 + view->iconSize().width() / 2, rect.center().y());
    }
    QMenu* menu = nullptr;
    emit OnItemContextMenu(this, item, point, menu);
    if (item >= 0 && HasOption(ptsloContextMenus) && !m_busy) {
        ProcessMenuForAllSelected(point);
        return;
    }
    if (menu)
        menu->popup(view->viewport()->mapToGlobal(point));
}

int TPTCustomShellList::ProcessMenuForAllSelected(const QPoint& point)
{
    std::unique_ptr<TShellContextMenu> shellMenu = MenuForRows(SelectedRows());
    if (!shellMenu)
        return 0;
    std::vector<TShellMenuEntry> entries =
        shellMenu->QueryContextMenu(1000, MenuFlags(), QGuiApplication::clipboard()->mimeData());
    QMenu menu(this);
    AddEntries(menu, entries, this);
    QAction* chosen = menu.exec(View()->viewport()->mapToGlobal(point));
    int result = chosen ? chosen->data().toInt() : 0;
    if (result == 1000 + cmdoffset::Rename) {
        EditItemCaption(FocusedItem());
    } else if (result >= 1000) {
        int offset = result - 1000;
        if (offset == cmdoffset::Open)
            DoDefaultCommand(SelectedRows());
        else
            RunMenuCommand(*shellMenu, offset);
        if (offset == cmdoffset::Delete || offset == cmdoffset::Paste)
            RefreshItems();
    } else if (result >= 1) {
        ProcessSendTo(result - 1);
    }
    return result;
}

bool TPTCustomShellList::ProcessSendTo(int index)
{
    std::unique_ptr<TShellContextMenu> menu = MenuForRows(SelectedRows());
    if (!menu)
        return false;
    TShellInvokeContext context = MakeInvokeContext();
    bool ok;
    {
        WaitCursor cursor;
        ok = menu->InvokeSendTo(index, context);
    }
    if (!context.errors.empty())
        ReportError(FromBytes(context.errors));
    return ok;
}
