#pragma once

// The context menu the namespace offers for items of one folder: Open, Cut, Copy, Paste,
// Delete (to the trash), Rename and Send To, each with its canonical verb. The menu is a list
// of entries that a control shows as it likes; invoking an entry runs the file operation jobs.
// Cut, copy and paste exchange the items with other programs as file URIs.

#include "shell/namespace/FileOperation.h"
#include "shell/namespace/IdList.h"
#include "shell/namespace/ShellNamespace.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QMimeData;

// Query flags.
namespace cmf {
constexpr std::uint32_t Explore = 0x4;
constexpr std::uint32_t CanRename = 0x10;
} // namespace cmf

// Command offsets of the entries, as the shell numbers them.
namespace cmdoffset {
constexpr int Open = 0;
constexpr int Delete = 17;
constexpr int Rename = 18;
constexpr int Cut = 24;
constexpr int Copy = 25;
constexpr int Paste = 26;
} // namespace cmdoffset

struct TShellMenuEntry
{
    int id = 0; // idCmdFirst + offset; Send To entries 1, 2, ...; 0 for a separator
    std::string verb;
    QString text;
    QString help;
    bool enabled = true;
    bool isDefault = false;
    bool separator = false;
    std::vector<TShellMenuEntry> submenu;
};

// What invoking a command needs from the program around it.
struct TShellInvokeContext
{
    std::function<const QMimeData*()> clipboard;
    // Takes ownership; null clears the clipboard.
    std::function<void(QMimeData*)> setClipboard;
    std::function<bool(const std::string& path)> open;
    // Whether an item that cannot go to the trash is deleted for good (see TFileOperation).
    std::function<TFileOperation::DeleteAnswer(const std::string& path, bool more)> confirmDelete;
    // Runs a copy, move or link job in the background and calls done when it has ended; the
    // caller reports the job's errors then. Without it such jobs run at once.
    std::function<void(std::unique_ptr<TFileOperation> job,
                       std::function<void(TFileOperation& job)> done)>
        startJob;
    // Filled with the failures of the command, one per line.
    std::string errors;
};

// File URIs of paths (byte for byte, percent-encoded) as text/uri-list and
// x-special/gnome-copied-files, with the cut flag file managers read.
QMimeData* MakeFileMimeData(const std::vector<std::string>& paths, bool cut);
// The local paths a clipboard or a drop offers, and whether they were cut.
bool ReadFileMimeData(const QMimeData* data, std::vector<std::string>& paths, bool& cut);

class TShellContextMenu
{
public:
    // Items of one folder; an empty list names the folder itself.
    TShellContextMenu(TShellFolderPtr folder, std::vector<IdListPtr> items);

    // The entries, ids from idCmdFirst; the clipboard decides whether Paste applies.
    std::vector<TShellMenuEntry> QueryContextMenu(int idCmdFirst, std::uint32_t flags,
                                                  const QMimeData* clipboard);
    // The verb of an offset; false when there is no such command.
    bool GetCommandString(int offset, std::string& verb) const;
    // Runs a command by offset; false when it failed (context.errors says why).
    bool InvokeCommand(int offset, TShellInvokeContext& context);
    // Sends the items to Send To entry index: a folder gets copies.
    bool InvokeSendTo(int index, TShellInvokeContext& context);

    // The paths of the items (the folder's own path when it names itself).
    const std::vector<std::string>& Paths() const { return m_paths; }

private:
    std::uint32_t Attributes();

    TShellFolderPtr m_folder;
    std::vector<IdListPtr> m_items;
    std::vector<std::string> m_paths;
    std::vector<std::string> m_sendTo;
    bool m_folderItself;
};

// The entries of the Send To folder, sorted by name (full paths).
std::vector<std::string> SendToEntries();
