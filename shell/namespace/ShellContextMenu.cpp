#include "shell/namespace/ShellContextMenu.h"

#include "shell/namespace/FileOperation.h"
#include "shell/namespace/FolderSupport.h"
#include "shell/namespace/NameBytes.h"

#include <QByteArray>
#include <QDir>
#include <QMimeData>
#include <QSysInfo>
#include <QUrl>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kGnomeCopiedFiles = "x-special/gnome-copied-files";
const char* const kKdeCutSelection = "application/x-kde-cutselection";
const char* const kUriList = "text/uri-list";

QByteArray FileUri(const std::string& path)
{
    return "file://" + QUrl::toPercentEncoding(QByteArray::fromStdString(path), "/");
}

// The local path of a file URI, byte for byte; empty for anything else.
std::string PathOfUri(QByteArray uri)
{
    uri = uri.trimmed();
    if (!uri.startsWith("file://"))
        return {};
    QByteArray rest = uri.mid(7);
    qsizetype slash = rest.indexOf('/');
    if (slash < 0)
        return {};
    QByteArray host = rest.left(slash);
    if (!host.isEmpty() && host != "localhost" &&
        QString::fromUtf8(host).compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) != 0)
        return {};
    // "file:///a/sub/" names the folder sub, as "file:///a/sub" does.
    return fileop::ItemPath(QByteArray::fromPercentEncoding(rest.mid(slash)).toStdString());
}

bool IsWritableFolder(const std::string& path)
{
    return portable::IsDirectory(path) && ::access(path.c_str(), W_OK) == 0;
}

} // namespace

QMimeData* MakeFileMimeData(const std::vector<std::string>& paths, bool cut)
{
    QByteArray uriList;
    QByteArray gnome = cut ? "cut" : "copy";
    QByteArray text;
    for (const std::string& path : paths) {
        QByteArray uri = FileUri(path);
        uriList += uri + "\r\n";
        gnome += "\n" + uri;
        if (!text.isEmpty())
            text += '\n';
        text += QByteArray::fromStdString(path);
    }
    auto* data = new QMimeData;
    data->setData(kUriList, uriList);
    data->setData(kGnomeCopiedFiles, gnome);
    data->setData(kKdeCutSelection, cut ? "1" : "0");
    data->setText(DisplayName(text.toStdString()));
    return data;
}

bool ReadFileMimeData(const QMimeData* data, std::vector<std::string>& paths, bool& cut)
{
    paths.clear();
    cut = false;
    if (!data)
        return false;
    QList<QByteArray> lines;
    if (data->hasFormat(kGnomeCopiedFiles)) {
        lines = data->data(kGnomeCopiedFiles).split('\n');
        if (!lines.isEmpty()) {
            cut = lines.front().trimmed() == "cut";
            lines.removeFirst();
        }
    } else if (data->hasFormat(kUriList)) {
        lines = data->data(kUriList).split('\n');
        cut = data->data(kKdeCutSelection).trimmed() == "1";
    }
    for (const QByteArray& line : lines) {
        if (line.startsWith('#'))
            continue;
        std::string path = PathOfUri(line);
        if (!path.empty())
            paths.push_back(std::move(path));
    }
    return !paths.empty();
}

std::vector<std::string> SendToEntries()
{
    std::vector<std::string> entries;
    std::string folder = ShellGetSpecialFolderPath(csidlSendTo);
    if (folder.empty() || !portable::IsDirectory(folder))
        return entries;
    QDir dir(PathText(folder));
    const QStringList names = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names)
        entries.push_back(portable::JoinPath(folder, PathBytes(name)));
    return entries;
}

TShellContextMenu::TShellContextMenu(TShellFolderPtr folder, std::vector<IdListPtr> items)
    : m_folder(std::move(folder)), m_items(std::move(items)), m_folderItself(m_items.empty())
{
    if (!m_folder)
        return;
    if (m_folderItself) {
        std::string path = m_folder->FileSystemPath();
        if (!path.empty())
            m_paths.push_back(path);
        return;
    }
    for (const IdListPtr& item : m_items) {
        std::string path;
        if (Succeeded(m_folder->GetDisplayNameOf(item.get(), shgdn::ForParsing, path)) &&
            !path.empty() && path.front() == '/')
            m_paths.push_back(path);
    }
    // Items without a path of their own (virtual items) offer no file commands.
    if (m_paths.size() != m_items.size())
        m_paths.clear();
}

std::uint32_t TShellContextMenu::Attributes()
{
    if (!m_folder || m_paths.empty())
        return 0;
    if (m_folderItself)
        return sfgao::Folder | sfgao::FileSystem | sfgao::CanCopy;
    std::vector<PCIdList> items;
    for (const IdListPtr& item : m_items)
        items.push_back(item.get());
    std::uint32_t attributes = sfgao::CanCopy | sfgao::CanMove | sfgao::CanRename |
                               sfgao::CanDelete | sfgao::Folder | sfgao::FileSystem;
    if (Failed(m_folder->GetAttributesOf(items, attributes)))
        return 0;
    return attributes;
}

std::vector<TShellMenuEntry>
TShellContextMenu::QueryContextMenu(int idCmdFirst, std::uint32_t flags, const QMimeData* clipboard)
{
    std::uint32_t attributes = Attributes();
    bool files = !m_paths.empty();
    bool one = m_paths.size() == 1;
    std::vector<std::string> clipped;
    bool cut = false;
    bool canPaste = one && (attributes & sfgao::Folder) && IsWritableFolder(m_paths.front()) &&
                    ReadFileMimeData(clipboard, clipped, cut);
    auto entry = [&](int offset, const char* verb, const char* text, const char* help,
                     bool enabled) {
        TShellMenuEntry e;
        e.id = idCmdFirst + offset;
        e.verb = verb;
        e.text = QString::fromUtf8(text);
        e.help = QString::fromUtf8(help);
        e.enabled = enabled;
        return e;
    };
    auto separator = [] {
        TShellMenuEntry e;
        e.separator = true;
        return e;
    };
    std::vector<TShellMenuEntry> menu;
    if (!m_folderItself) {
        menu.push_back(entry(cmdoffset::Open, "open", "&Open", "Opens the selected items.",
                             files || !m_items.empty()));
        menu.back().isDefault = true;
        m_sendTo = SendToEntries();
        if (!m_sendTo.empty()) {
            TShellMenuEntry sendTo;
            sendTo.text = QStringLiteral("Se&nd To");
            sendTo.help = QStringLiteral("Sends the selected items to a destination.");
            sendTo.enabled = files;
            for (std::size_t i = 0; i < m_sendTo.size(); ++i) {
                TShellMenuEntry target;
                target.id = static_cast<int>(i) + 1;
                target.text = DisplayName(portable::LastPathPart(m_sendTo[i]));
                target.help = QStringLiteral("Sends the selected items to %1.").arg(target.text);
                sendTo.submenu.push_back(std::move(target));
            }
            menu.push_back(separator());
            menu.push_back(std::move(sendTo));
        }
        menu.push_back(separator());
        menu.push_back(entry(cmdoffset::Cut, "cut", "Cu&t",
                             "Removes the selected items and copies them onto the clipboard.",
                             files && (attributes & sfgao::CanMove)));
        menu.push_back(entry(cmdoffset::Copy, "copy", "&Copy",
                             "Copies the selected items onto the clipboard.",
                             files && (attributes & sfgao::CanCopy)));
    }
    menu.push_back(entry(cmdoffset::Paste, "paste", "&Paste",
                         "Inserts the items you have copied or cut into this folder.", canPaste));
    if (!m_folderItself) {
        menu.push_back(separator());
        menu.push_back(entry(cmdoffset::Delete, "delete", "&Delete",
                             "Moves the selected items to the trash.",
                             files && (attributes & sfgao::CanDelete)));
        menu.push_back(entry(cmdoffset::Rename, "rename", "Rena&me", "Renames the selected item.",
                             one && (flags & cmf::CanRename) && (attributes & sfgao::CanRename)));
    }
    return menu;
}

bool TShellContextMenu::GetCommandString(int offset, std::string& verb) const
{
    switch (offset) {
    case cmdoffset::Open:
        verb = "open";
        return true;
    case cmdoffset::Cut:
        verb = "cut";
        return true;
    case cmdoffset::Copy:
        verb = "copy";
        return true;
    case cmdoffset::Paste:
        verb = "paste";
        return true;
    case cmdoffset::Delete:
        verb = "delete";
        return true;
    case cmdoffset::Rename:
        verb = "rename";
        return true;
    default:
        return false;
    }
}

namespace {

// Starts a copy, move or link through the context, or runs it here when it has no way to.
bool Launch(std::unique_ptr<TFileOperation> job, TShellInvokeContext& context,
            std::function<void(TFileOperation&)> done = {})
{
    if (context.startJob) {
        context.startJob(std::move(job), std::move(done));
        return true;
    }
    job->Run();
    if (done)
        done(*job);
    context.errors = job->ErrorText();
    std::string warnings = job->WarningText();
    if (!context.errors.empty() && !warnings.empty())
        context.errors += '\n';
    context.errors += warnings;
    return job->Errors().empty() && !job->Cancelled();
}

} // namespace

bool TShellContextMenu::InvokeCommand(int offset, TShellInvokeContext& context)
{
    switch (offset) {
    case cmdoffset::Open: {
        bool ok = !m_paths.empty();
        for (const std::string& path : m_paths)
            ok = context.open && context.open(path) && ok;
        return ok;
    }
    case cmdoffset::Cut:
    case cmdoffset::Copy:
        if (m_paths.empty() || !context.setClipboard)
            return false;
        context.setClipboard(MakeFileMimeData(m_paths, offset == cmdoffset::Cut));
        return true;
    case cmdoffset::Paste: {
        std::vector<std::string> sources;
        bool cut = false;
        if (m_paths.size() != 1 || !context.clipboard ||
            !ReadFileMimeData(context.clipboard(), sources, cut))
            return false;
        auto job = std::make_unique<TFileOperation>(
            cut ? TFileOperation::foMove : TFileOperation::foCopy, sources, m_paths.front());
        std::function<void(TFileOperation&)> done;
        // Cut items are where they were put now: pasting them again would find nothing.
        if (cut && context.setClipboard) {
            done = [setClipboard = context.setClipboard](TFileOperation& finished) {
                if (finished.Errors().empty() && !finished.Cancelled())
                    setClipboard(nullptr);
            };
        }
        return Launch(std::move(job), context, std::move(done));
    }
    case cmdoffset::Delete: {
        if (m_paths.empty() || m_folderItself)
            return false;
        // The trash is a rename: it stays on this thread, where the user can be asked.
        TFileOperation job(TFileOperation::foTrash, m_paths);
        if (context.confirmDelete)
            job.SetConfirmDelete(context.confirmDelete);
        bool ok = job.Run();
        context.errors = job.ErrorText();
        return ok;
    }
    default:
        return false;
    }
}

bool TShellContextMenu::InvokeSendTo(int index, TShellInvokeContext& context)
{
    if (m_sendTo.empty())
        m_sendTo = SendToEntries();
    if (index < 0 || index >= static_cast<int>(m_sendTo.size()) || m_paths.empty())
        return false;
    const std::string& target = m_sendTo[static_cast<std::size_t>(index)];
    if (!portable::IsDirectory(target)) {
        context.errors = "Only folders can receive items sent to them.";
        return false;
    }
    return Launch(std::make_unique<TFileOperation>(TFileOperation::foCopy, m_paths, target),
                  context);
}
