#pragma once

// The verbs of the file list: renaming and editing captions, the shell verbs (copy, cut, paste,
// delete, open, Send To) on the selection or the folder, the context menu and the command keys.
// Owned by the list; the file jobs it starts are the list's children.

#include "shell/namespace/FileOperation.h"
#include "shell/namespace/ShellContextMenu.h"

#include <QPoint>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QKeyEvent;
class TPTCustomShellList;

class TShellListCommands
{
public:
    explicit TShellListCommands(TPTCustomShellList* list) : m_list(list) {}
    TShellListCommands(const TShellListCommands&) = delete;
    TShellListCommands& operator=(const TShellListCommands&) = delete;

    bool RenameItem(int index, const QString& newName);
    QString LastRenameError() const { return m_lastRenameError; }
    bool EditItemCaption(int index);
    QString EditingName(int index) const;
    bool FinishEditing(int index, const QString& text);
    // A caption editor closed: what waited for it runs.
    void EditorClosed();

    bool DoCommandForAllSelected(const std::string& verb);
    bool DoCommandForItem(int index, const std::string& verb);
    bool DoCommandForFolder(const std::string& verb);
    int ProcessMenuForAllSelected(const QPoint& point);
    bool ProcessSendTo(int index);
    std::uint32_t GetDragDropAttributesForAllSelected();
    // Opens the items with the desktop's handler (or the one set).
    void DoDefaultCommand(const std::vector<int>& rows);
    void SetOpenHandler(std::function<bool(const std::string&)> handler)
    {
        m_openHandler = std::move(handler);
    }

    // The list's context menu at a point of the view, or for the keyboard at the focused item.
    void ContextMenuAt(const QPoint& position, bool keyboard);
    // A key pressed in a view; false when the view is to handle it.
    bool KeyPress(QKeyEvent* event);
    // A command key; false when it is none.
    bool HandleKey(QKeyEvent* event);

    // Copies, moves and links run in the background; the list refreshes when each ends.
    void StartFileJob(std::unique_ptr<TFileOperation> job,
                      std::function<void(TFileOperation&)> done = {});
    // The namespace's menu of some rows of the list; null when there is nothing to act on.
    std::unique_ptr<TShellContextMenu> MenuForRows(const std::vector<int>& rows);

private:
    TShellInvokeContext MakeInvokeContext();
    TFileOperation::DeleteAnswer ConfirmDeleteForGood(const std::string& path, bool more);
    std::uint32_t MenuFlags();
    bool RunVerb(TShellContextMenu& menu, const std::string& verb);
    bool RunMenuCommand(TShellContextMenu& menu, int offset);

    TPTCustomShellList* m_list;
    std::function<bool(const std::string&)> m_openHandler;
    QString m_lastRenameError;
};
