#include "shell/namespace/FileOperation.h"

#include "shell/namespace/FolderSupport.h"
#include "shell/namespace/TreeCopier.h"
#include "shell/trash/Trash.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#if defined(__linux__)
#include <sys/syscall.h>
#endif

using portable::JoinPath;
using portable::ParentPath;

namespace fileop {

int RenameNoReplace(const std::string& from, const std::string& to)
{
#if defined(__linux__) && defined(SYS_renameat2)
    long rc = ::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 1u);
    if (rc == 0 || (errno != ENOSYS && errno != EINVAL))
        return static_cast<int>(rc);
#endif
    return RenameNoReplaceFallback(from, to);
}

int RenameNoReplaceFallback(const std::string& from, const std::string& to)
{
    // A hard link fails on a taken name by itself; the old name goes once the new one holds, and
    // where it cannot go, the new one goes again.
    if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0) == 0) {
        if (::unlink(from.c_str()) == 0)
            return 0;
        int error = errno;
        ::unlink(to.c_str());
        errno = error;
        return -1;
    }
    if (errno == EEXIST || errno == EXDEV || errno == ENOENT)
        return -1;
    // Folders and file systems without hard links: an empty placeholder of the same kind takes
    // the name first, and the rename replaces nothing but that.
    struct stat st;
    if (::lstat(from.c_str(), &st) != 0)
        return -1;
    bool folder = S_ISDIR(st.st_mode);
    if (folder ? ::mkdir(to.c_str(), S_IRWXU) != 0 : ::mknod(to.c_str(), S_IFREG | S_IRUSR, 0) != 0)
        return -1;
    if (::rename(from.c_str(), to.c_str()) == 0)
        return 0;
    int error = errno;
    if (folder)
        ::rmdir(to.c_str());
    else
        ::unlink(to.c_str());
    errno = error == ENOTEMPTY ? EEXIST : error;
    return -1;
}

namespace {

// Cuts text to at most size bytes, never inside a UTF-8 character.
std::string_view CutToFit(std::string_view text, std::size_t size)
{
    if (text.size() <= size)
        return text;
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80)
        --size;
    return text.substr(0, size);
}

// A name with a suffix before its extension, the stem shortened so that all fits maxBytes.
std::string NameWithSuffix(std::string_view prefix, std::string_view name, std::string_view suffix,
                           bool folder, std::size_t maxBytes)
{
    std::size_t dot = folder ? std::string_view::npos : name.rfind('.');
    // A leading dot names a hidden item; it starts no extension.
    if (dot == 0)
        dot = std::string_view::npos;
    std::string_view stem = name.substr(0, dot);
    std::string_view extension =
        dot == std::string_view::npos ? std::string_view() : name.substr(dot);
    std::size_t fixed = prefix.size() + suffix.size() + extension.size();
    // An extension that leaves the stem no room is cut as part of it.
    if (!extension.empty() && fixed >= maxBytes) {
        stem = name;
        extension = {};
        fixed = prefix.size() + suffix.size();
    }
    if (fixed < maxBytes)
        stem = CutToFit(stem, maxBytes - fixed);
    std::string result(prefix);
    result.append(stem);
    result.append(suffix);
    result.append(extension);
    return result;
}

} // namespace

std::string CopyName(std::string_view name, int attempt, bool folder, std::size_t maxBytes)
{
    if (attempt <= 0)
        return std::string(name);
    return NameWithSuffix({}, name,
                          attempt == 1 ? " (copy)" : " (copy " + std::to_string(attempt) + ")",
                          folder, maxBytes);
}

std::string LinkName(std::string_view name, int attempt, bool folder, std::size_t maxBytes)
{
    if (attempt <= 0)
        return std::string(name);
    return NameWithSuffix("Link to ", name,
                          attempt == 1 ? std::string() : " (" + std::to_string(attempt) + ")",
                          folder, maxBytes);
}

bool IsValidItemName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::string ItemPath(std::string_view path)
{
    std::string result = !path.empty() && path.front() == '/' ? "/" : "";
    while (!path.empty()) {
        std::size_t slash = path.find('/');
        std::string_view part = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (!result.empty() && result.back() != '/')
            result += '/';
        result.append(part);
    }
    return result.empty() ? "." : result;
}

namespace {

std::string RealPathOf(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return portable::CleanPath(path);
    std::string result(resolved);
    std::free(resolved);
    return result;
}

} // namespace

bool IsSameOrInside(const std::string& path, const std::string& folder)
{
    std::string inner = RealPathOf(path);
    std::string outer = RealPathOf(folder);
    if (outer == "/" || inner == outer)
        return true;
    return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
           inner[outer.size()] == '/';
}

} // namespace fileop

namespace {

std::string NameOf(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return std::string(portable::LastPathPart(path));
}

bool SameDirectory(const std::string& a, const std::string& b)
{
    struct stat stA, stB;
    return ::stat(a.c_str(), &stA) == 0 && ::stat(b.c_str(), &stB) == 0 &&
           stA.st_dev == stB.st_dev && stA.st_ino == stB.st_ino;
}

void SyncDirectory(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The longest name the folder's file system takes.
std::size_t NameMaxOf(const std::string& folder)
{
    long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return max > 0 ? static_cast<std::size_t>(max) : 255;
}

} // namespace

TFileOperation::TFileOperation(Kind kind, std::vector<std::string> sources, std::string destination)
    : m_kind(kind), m_sources(std::move(sources)), m_destination(std::move(destination))
{
    // Where a source came from a URI or a drop, a trailing slash must not change what it names.
    for (std::string& source : m_sources)
        source = fileop::ItemPath(source);
}

bool TFileOperation::Run()
{
    bool ok = true;
    for (std::size_t i = 0; i < m_sources.size(); ++i) {
        const std::string& source = m_sources[i];
        m_moreItems = i + 1 < m_sources.size();
        if (m_cancelled)
            break;
        if (m_progress)
            m_progress(source);
        if (m_cancelled)
            break;
        m_current = source;
        ok = RunItem(source) && ok;
    }
    // Moves whose copies are complete finish also after a cancel: only their sources are left.
    ok = FinishMoves() && ok;
    return ok && !m_cancelled;
}

std::string TFileOperation::DisplayName(const std::string& path) const
{
    // Something inside an item is named from the item on, so that it can be found.
    for (const std::string& source : m_sources) {
        if (path.size() > source.size() && path.compare(0, source.size(), source) == 0 &&
            path[source.size()] == '/')
            return NameOf(source) + path.substr(source.size());
    }
    return NameOf(path);
}

std::string TFileOperation::ErrorText() const
{
    std::string text;
    for (const Error& error : m_errors) {
        if (!text.empty())
            text += '\n';
        text += DisplayName(error.path) + ": " + error.message;
    }
    return text;
}

std::string TFileOperation::WarningText() const
{
    std::string text;
    for (const Error& warning : m_warnings) {
        if (!text.empty())
            text += '\n';
        text += DisplayName(warning.path) + ": " + warning.message;
    }
    return text;
}

bool TFileOperation::Fail(const std::string& path, int error)
{
    return Fail(path, std::strerror(error));
}

bool TFileOperation::Fail(const std::string& path, const std::string& message)
{
    m_errors.push_back({path, message});
    return false;
}

bool TFileOperation::RunItem(const std::string& source)
{
    struct stat st;
    if (::lstat(source.c_str(), &st) != 0)
        return Fail(source, errno);
    std::string name = NameOf(source);
    if (!fileop::IsValidItemName(name))
        return Fail(source, "It cannot be named by that path.");
    switch (m_kind) {
    case foCopy:
        return CopyOrMove(source, false);
    case foMove:
        return CopyOrMove(source, true);
    case foTrash:
        return TrashItem(source);
    case foRename: {
        if (!fileop::IsValidItemName(m_destination))
            return Fail(source, "The name is not valid.");
        if (m_destination == name) {
            m_results.push_back(source);
            return true;
        }
        std::string target = JoinPath(ParentPath(source), m_destination);
        if (fileop::RenameNoReplace(source, target) != 0) {
            if (errno == EEXIST || errno == ENOTEMPTY)
                return Fail(source, "An item named \"" + m_destination + "\" already exists.");
            if (errno == EACCES || errno == EPERM || errno == EROFS)
                return Fail(source, "The folder is read-only.");
            return Fail(source, errno);
        }
        m_results.push_back(target);
        return true;
    }
    case foLink: {
        const std::size_t nameMax = NameMaxOf(m_destination);
        for (int attempt = 0; attempt < 10000; ++attempt) {
            std::string target = JoinPath(
                m_destination, fileop::LinkName(name, attempt, S_ISDIR(st.st_mode), nameMax));
            if (::symlink(source.c_str(), target.c_str()) == 0) {
                m_results.push_back(target);
                return true;
            }
            if (errno != EEXIST)
                return Fail(source, errno);
        }
        return Fail(source, EEXIST);
    }
    }
    return false;
}

bool TFileOperation::CopyOrMove(const std::string& source, bool move)
{
    struct stat st;
    if (::lstat(source.c_str(), &st) != 0)
        return Fail(source, errno);
    if (!portable::IsDirectory(m_destination))
        return Fail(source, "The destination folder does not exist.");
    std::string name = NameOf(source);
    bool folder = S_ISDIR(st.st_mode);
    if (folder && fileop::IsSameOrInside(m_destination, source))
        return Fail(source, "The destination folder is inside the source folder.");
    const bool sameFolder = SameDirectory(ParentPath(source), m_destination);
    if (move) {
        // Moving an item to where it is does nothing.
        if (sameFolder) {
            m_results.push_back(source);
            return true;
        }
        const std::size_t nameMax = NameMaxOf(m_destination);
        for (int attempt = 0; attempt < 10000; ++attempt) {
            std::string target =
                JoinPath(m_destination, fileop::CopyName(name, attempt, folder, nameMax));
            if (fileop::RenameNoReplace(source, target) == 0) {
                SyncDirectory(m_destination);
                m_results.push_back(target);
                return true;
            }
            if (errno == EXDEV)
                break;
            if (errno != EEXIST && errno != ENOTEMPTY)
                return Fail(source, errno);
        }
        // A copy whose source cannot go afterwards would leave the item twice.
        if (::access(ParentPath(source).c_str(), W_OK | X_OK) != 0)
            return Fail(source, std::string("It cannot be removed from its folder, so it was not "
                                            "moved: ") +
                                    std::strerror(errno) + ".");
    }
    if (!m_swept) {
        fileop::SweepDeadParts(m_destination);
        m_swept = true;
    }
    // A copy is made under a hidden name and takes its own name only when complete, so that a
    // half copy is never taken for the item.
    m_jobProgress.AddTotal(fileop::ItemBytes(source, m_cancelled));
    std::string temp = fileop::PartPath(m_destination);
    auto record = move ? std::make_unique<TMoveRecord>() : nullptr;
    TTreeCopier copier(m_cancelled, m_jobProgress, m_copyProgress);
    copier.RecordInto(record.get());
    copier.KeepLinksAsTheyAre(sameFolder);
    if (!copier.Copy(source, temp)) {
        if (!copier.Failure().message.empty())
            Fail(copier.Failure().path, copier.Failure().message);
        return false;
    }
    std::string placed;
    if (m_cancelled || !Place(temp, name, folder, placed)) {
        fileop::RemoveCopy(temp);
        return false;
    }
    m_results.push_back(placed);
    for (const TTreeCopier::Loss& loss : copier.Losses()) {
        // Grouped by reason: "without user.a, user.b (Operation not supported)".
        std::vector<std::pair<std::string, std::string>> reasons;
        for (const TItemMetadata::Dropped& dropped : loss.dropped) {
            auto same = std::find_if(reasons.begin(), reasons.end(), [&](const auto& reason) {
                return reason.second == dropped.why;
            });
            if (same == reasons.end())
                reasons.emplace_back(dropped.what, dropped.why);
            else
                same->first += ", " + dropped.what;
        }
        std::string message = "It was copied without ";
        for (std::size_t i = 0; i < reasons.size(); ++i)
            message += (i == 0                    ? ""
                        : i + 1 == reasons.size() ? " and "
                                                  : ", ") +
                       reasons[i].first + " (" + reasons[i].second + ")";
        m_warnings.push_back({loss.path, message + "."});
    }
    if (move) {
        // The destination could not hold all of it: the original stays, nothing is lost.
        if (!copier.Losses().empty()) {
            m_warnings.push_back({source, "It was copied, not moved, as the copy lacks some of its "
                                          "metadata; the original was kept."});
            m_keptSources.push_back(source);
            return true;
        }
        m_pendingMoves.push_back({source, std::move(record)});
    }
    return true;
}

bool TFileOperation::FinishMoves()
{
    if (m_pendingMoves.empty())
        return true;
    std::vector<PendingMove> moves;
    moves.swap(m_pendingMoves);
    // The copies must be on disk before any source goes; one syncfs serves them all.
    int fd = ::open(m_destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int synced = fd < 0 ? -1 : ::syncfs(fd);
    int error = errno;
    if (fd >= 0)
        ::close(fd);
    bool ok = true;
    for (PendingMove& move : moves) {
        if (synced != 0) {
            m_keptSources.push_back(move.source);
            ok = Fail(move.source, std::string("Its copy could not be written to disk, so it was "
                                               "kept: ") +
                                       std::strerror(error) + ".");
            continue;
        }
        m_jobProgress.SetItem(move.source);
        std::vector<TMoveRecord::Kept> kept = move.record->RemoveUnchanged();
        if (kept.empty())
            continue;
        m_keptSources.push_back(move.source);
        for (const TMoveRecord::Kept& item : kept)
            ok = Fail(item.path, item.reason);
    }
    return ok;
}

bool TFileOperation::Place(const std::string& temp, std::string_view name, bool folder,
                           std::string& placed)
{
    const std::size_t nameMax = NameMaxOf(m_destination);
    for (int attempt = 0; attempt < 10000; ++attempt) {
        std::string target =
            JoinPath(m_destination, fileop::CopyName(name, attempt, folder, nameMax));
        // (No sync: a move syncs before its sources go; a copy promises no more than cp.)
        if (fileop::RenameNoReplace(temp, target) == 0) {
            placed = target;
            return true;
        }
        if (errno != EEXIST && errno != ENOTEMPTY)
            return Fail(m_current, errno);
    }
    return Fail(m_current, EEXIST);
}

namespace {

// Removes an item for good: a link as a link, a folder with everything in it, but never what is
// mounted below it. Goes on past what it cannot remove and keeps the first such path and why.
void RemoveForGood(const std::string& path, dev_t device, std::string& failed, int& error)
{
    auto keep = [&](int why) {
        if (failed.empty()) {
            failed = path;
            error = why;
        }
    };
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT)
            keep(errno);
        return;
    }
    if (st.st_dev != device)
        return keep(EXDEV);
    if (!S_ISDIR(st.st_mode)) {
        if (::unlink(path.c_str()) != 0)
            keep(errno);
        return;
    }
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return keep(errno);
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view name(entry->d_name);
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : names)
        RemoveForGood(JoinPath(path, name), device, failed, error);
    if (::rmdir(path.c_str()) != 0)
        keep(errno);
}

} // namespace

bool TFileOperation::TrashItem(const std::string& source)
{
    trash::TResult trashed = trash::MoveToTrash(source);
    if (trashed.outcome == trash::TOutcome::Trashed)
        return true;
    if (trashed.outcome == trash::TOutcome::Failed)
        return Fail(source, trashed.message);
    // No trash on this volume: never delete for good without the user's word for this item.
    DeleteAnswer answer = m_deleteToAll;
    if (answer == DeleteAnswer::No) {
        if (!m_confirmDelete)
            return Fail(source, "It cannot be moved to the trash.");
        answer = m_confirmDelete(source, m_moreItems);
        if (answer == DeleteAnswer::NoToAll || answer == DeleteAnswer::YesToAll)
            m_deleteToAll = answer;
    }
    if (answer == DeleteAnswer::No || answer == DeleteAnswer::NoToAll)
        return false;
    struct stat st;
    if (::lstat(source.c_str(), &st) != 0)
        return Fail(source, errno);
    std::string failed;
    int error = 0;
    RemoveForGood(source, st.st_dev, failed, error);
    if (failed.empty())
        return true;
    if (error == EXDEV)
        return Fail(source, "\"" + failed +
                                "\" is a mounted volume; it and the folders holding it were kept.");
    if (failed == source)
        return Fail(source, error);
    return Fail(source, "\"" + failed + "\" could not be deleted: " + std::strerror(error));
}
