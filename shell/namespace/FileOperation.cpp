#include "shell/namespace/FileOperation.h"

#include "shell/namespace/FolderSupport.h"
#include "shell/trash/Trash.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#if defined(__linux__)
#include <sys/syscall.h>
#endif

using portable::JoinPath;

namespace fileop {

int RenameNoReplace(const std::string& from, const std::string& to)
{
#if defined(__linux__) && defined(SYS_renameat2)
    long rc = ::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 1u);
    if (rc == 0 || (errno != ENOSYS && errno != EINVAL))
        return static_cast<int>(rc);
#endif
    // Without an atomic rename that refuses to replace: a hard link fails on an existing
    // name by itself; folders and file systems without links take the checked rename.
    if (::link(from.c_str(), to.c_str()) == 0)
        return ::unlink(from.c_str());
    if (errno == EEXIST || errno == EXDEV || errno == ENOENT)
        return -1;
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from.c_str(), to.c_str());
}

std::string CopyName(std::string_view name, int attempt, bool folder)
{
    if (attempt <= 0)
        return std::string(name);
    std::size_t dot = folder ? std::string_view::npos : name.rfind('.');
    // A leading dot names a hidden item; it starts no extension.
    if (dot == 0)
        dot = std::string_view::npos;
    std::string_view stem = name.substr(0, dot);
    std::string_view extension =
        dot == std::string_view::npos ? std::string_view() : name.substr(dot);
    std::string result(stem);
    result += attempt == 1 ? " (copy)" : " (copy " + std::to_string(attempt) + ")";
    result += extension;
    return result;
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

std::string ParentOf(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

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

// Removes a file, a link (never what it points to) or a folder with everything in it.
bool RemoveTree(const std::string& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return ::unlink(path.c_str()) == 0;
    if (DIR* dir = ::opendir(path.c_str())) {
        std::vector<std::string> names;
        while (dirent* entry = ::readdir(dir)) {
            std::string_view name(entry->d_name);
            if (name != "." && name != "..")
                names.emplace_back(name);
        }
        ::closedir(dir);
        bool ok = true;
        for (const std::string& name : names)
            ok = RemoveTree(JoinPath(path, name)) && ok;
        if (!ok)
            return false;
    }
    return ::rmdir(path.c_str()) == 0;
}

std::string TempNameIn(const std::string& folder)
{
    static std::mt19937_64 random{std::random_device{}()};
    static const char digits[] = "0123456789abcdef";
    std::string name = ".quirefold-part-";
    std::uint64_t value = random();
    for (int i = 0; i < 12; ++i, value >>= 4)
        name += digits[value & 0xF];
    return JoinPath(folder, name);
}

bool WriteAllTo(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
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
            return false;
        if (m_progress)
            m_progress(source);
        if (m_cancelled)
            return false;
        m_current = source;
        ok = RunItem(source) && ok;
    }
    return ok && !m_cancelled;
}

std::string TFileOperation::ErrorText() const
{
    std::string text;
    for (const Error& error : m_errors) {
        if (!text.empty())
            text += '\n';
        text += NameOf(error.path) + ": " + error.message;
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
        std::string target = JoinPath(ParentOf(source), m_destination);
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
    case foLink:
        for (int attempt = 0; attempt < 10000; ++attempt) {
            std::string target = JoinPath(m_destination, fileop::CopyName(name, attempt, false));
            if (::symlink(source.c_str(), target.c_str()) == 0) {
                m_results.push_back(target);
                return true;
            }
            if (errno != EEXIST)
                return Fail(source, errno);
        }
        return Fail(source, EEXIST);
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
    if (move) {
        // Moving an item to where it is does nothing.
        if (SameDirectory(ParentOf(source), m_destination)) {
            m_results.push_back(source);
            return true;
        }
        for (int attempt = 0; attempt < 10000; ++attempt) {
            std::string target = JoinPath(m_destination, fileop::CopyName(name, attempt, folder));
            if (fileop::RenameNoReplace(source, target) == 0) {
                SyncDirectory(m_destination);
                m_results.push_back(target);
                return true;
            }
            if (errno == EXDEV)
                break;
            if (errno != EEXIST)
                return Fail(source, errno);
        }
    }
    // A copy is made under a hidden name and takes its own name only when complete, so that a
    // half copy is never taken for the item.
    std::string temp = TempNameIn(m_destination);
    std::string placed;
    if (!CopyTree(source, temp, true) || m_cancelled || !Place(temp, name, folder, placed)) {
        RemoveTree(temp);
        return false;
    }
    if (move && !RemoveTree(source))
        return Fail(source, std::string("It was copied to \"") + placed +
                                "\" but could not be removed: " + std::strerror(errno));
    m_results.push_back(placed);
    return true;
}

bool TFileOperation::Place(const std::string& temp, std::string_view name, bool folder,
                           std::string& placed)
{
    for (int attempt = 0; attempt < 10000; ++attempt) {
        std::string target = JoinPath(m_destination, fileop::CopyName(name, attempt, folder));
        if (fileop::RenameNoReplace(temp, target) == 0) {
            SyncDirectory(m_destination);
            placed = target;
            return true;
        }
        if (errno != EEXIST && errno != ENOTEMPTY)
            return Fail(m_current, errno);
    }
    return Fail(m_current, EEXIST);
}

bool TFileOperation::CopyTree(const std::string& from, const std::string& to, bool top)
{
    if (m_cancelled)
        return false;
    struct stat st;
    if (::lstat(from.c_str(), &st) != 0)
        return Fail(from, errno);
    if (S_ISLNK(st.st_mode)) {
        std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) +
                                 1);
        ssize_t length = ::readlink(from.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) >= target.size())
            return Fail(from, length < 0 ? errno : ENAMETOOLONG);
        target[static_cast<std::size_t>(length)] = 0;
        if (::symlink(target.data(), to.c_str()) != 0)
            return Fail(from, errno);
        return true;
    }
    if (S_ISREG(st.st_mode))
        return CopyFile(from, to, st);
    if (!S_ISDIR(st.st_mode))
        return Fail(from, "It is not a file, a folder or a link, and cannot be copied.");
    // The copy stays writable until its contents are in.
    if (::mkdir(to.c_str(), 0700) != 0)
        return Fail(top ? m_current : from, errno);
    DIR* dir = ::opendir(from.c_str());
    if (!dir)
        return Fail(from, errno);
    std::vector<std::string> names;
    errno = 0;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view name(entry->d_name);
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    int readError = errno;
    ::closedir(dir);
    if (readError != 0)
        return Fail(from, readError);
    for (const std::string& name : names) {
        if (!CopyTree(JoinPath(from, name), JoinPath(to, name), false))
            return false;
    }
    ::chmod(to.c_str(), st.st_mode & 07777);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW);
    return true;
}

bool TFileOperation::CopyFile(const std::string& from, const std::string& to, const struct stat& st)
{
    int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0)
        return Fail(from, errno);
    struct stat inSt;
    if (::fstat(in, &inSt) != 0 || !S_ISREG(inSt.st_mode)) {
        int error = errno ? errno : EINVAL;
        ::close(in);
        return Fail(from, error);
    }
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        int error = errno;
        ::close(in);
        return Fail(from, error);
    }
    auto fail = [&](int error) {
        ::close(in);
        ::close(out);
        return Fail(from, error);
    };
    std::vector<char> buffer(1 << 20);
    std::uint64_t total = 0;
    for (;;) {
        if (m_cancelled)
            return fail(ECANCELED);
        ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        if (got == 0)
            break;
        if (!WriteAllTo(out, buffer.data(), static_cast<std::size_t>(got)))
            return fail(errno);
        total += static_cast<std::uint64_t>(got);
    }
    if (::fsync(out) != 0)
        return fail(errno);
    struct stat outSt;
    if (::fstat(out, &outSt) != 0)
        return fail(errno);
    // The copy must hold exactly what the source held when it was opened.
    if (static_cast<std::uint64_t>(outSt.st_size) != total ||
        total != static_cast<std::uint64_t>(inSt.st_size)) {
        ::close(in);
        ::close(out);
        return Fail(from, "It changed while it was copied.");
    }
    ::fchmod(out, st.st_mode & 07777);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);
    ::close(in);
    if (::close(out) != 0)
        return Fail(from, errno);
    return true;
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
