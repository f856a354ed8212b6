#include "shell/namespace/TreeCopier.h"

#include "shell/namespace/FolderSupport.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <string_view>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using portable::CleanPath;
using portable::JoinPath;
using portable::ParentPath;

namespace {

// Large enough that the system calls cost nothing next to the bytes, small enough that Cancel
// and the progress keep up.
constexpr std::size_t blockSize = std::size_t(4) << 20;
constexpr std::string_view partPrefix = ".quirefold-part-";

class FdCloser
{
public:
    explicit FdCloser(int fd) : m_fd(fd) {}
    ~FdCloser()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    // Closes now, for the error a file system may report only then.
    int Close()
    {
        int rc = ::close(m_fd);
        m_fd = -1;
        return rc;
    }

private:
    int m_fd;
};

// The item's absolute path with its folder's links resolved, as the kernel reads the item's
// relative links from there.
std::string AbsoluteItemPath(const std::string& source)
{
    std::string folder = ParentPath(source);
    std::string name = source.substr(
        source.find_last_of('/') == std::string::npos ? 0 : source.find_last_of('/') + 1);
    if (char* resolved = ::realpath(folder.c_str(), nullptr)) {
        folder = resolved;
        std::free(resolved);
    } else if (folder.empty() || folder.front() != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd))
            folder = JoinPath(cwd, folder);
    }
    return CleanPath(JoinPath(folder, name));
}

bool Unsupported(int error)
{
    return error == ENOTSUP || error == EOPNOTSUPP;
}

bool SameTime(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool WriteAllAt(int fd, const char* data, std::size_t size, off_t offset)
{
    while (size > 0) {
        ssize_t written = ::pwrite(fd, data, size, offset);
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
        offset += written;
    }
    return true;
}

// Which machine and process namespace a part-file's process id belongs to: a folder shared
// over the network may hold parts of live jobs on other machines.
const std::string& HostTag()
{
    static const std::string tag = [] {
        std::uint32_t hash = 2166136261u;
        auto mix = [&](std::string_view bytes) {
            for (unsigned char c : bytes) {
                hash ^= c;
                hash *= 16777619u;
            }
        };
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        mix(host);
        struct stat ns;
        if (::stat("/proc/self/ns/pid", &ns) == 0)
            mix(std::to_string(ns.st_ino));
        char text[9];
        std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(hash));
        return std::string(text);
    }();
    return tag;
}

std::vector<std::string> NamesIn(int fd, int& error)
{
    std::vector<std::string> names;
    error = 0;
    int listFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    DIR* dir = listFd < 0 ? nullptr : ::fdopendir(listFd);
    if (!dir) {
        error = errno;
        if (listFd >= 0)
            ::close(listFd);
        return names;
    }
    errno = 0;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view name(entry->d_name);
        if (name != "." && name != "..")
            names.emplace_back(name);
        errno = 0;
    }
    error = errno;
    ::closedir(dir);
    return names;
}

bool RemoveCopyAt(const std::string& path, dev_t device, bool top)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    if (!top && st.st_dev != device)
        return false; // something mounted itself inside; leave it be
    if (!S_ISDIR(st.st_mode))
        return ::unlink(path.c_str()) == 0 || errno == ENOENT;
    // A copy that failed late may carry its final, read-only modes already.
    if ((st.st_mode & S_IRWXU) != S_IRWXU)
        ::chmod(path.c_str(), (st.st_mode & 07777) | S_IRWXU);
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        int error = 0;
        std::vector<std::string> names = NamesIn(fd, error);
        ::close(fd);
        for (const std::string& name : names)
            RemoveCopyAt(JoinPath(path, name), st.st_dev, false);
    }
    return ::rmdir(path.c_str()) == 0 || errno == ENOENT;
}

std::uint64_t BytesAt(int folder, const char* name, const std::atomic<bool>& cancelled)
{
    struct stat st;
    if (cancelled || ::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return 0;
    if (S_ISREG(st.st_mode))
        return static_cast<std::uint64_t>(st.st_size);
    if (!S_ISDIR(st.st_mode))
        return 0;
    // Measuring must not stamp the folders' access times before the copy reads them.
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(folder, name, flags | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = ::openat(folder, name, flags);
    if (fd < 0)
        return 0;
    int error = 0;
    std::uint64_t bytes = 0;
    for (const std::string& entry : NamesIn(fd, error))
        bytes += BytesAt(fd, entry.c_str(), cancelled);
    ::close(fd);
    return bytes;
}

} // namespace

namespace fileop {

std::string PartPath(const std::string& folder)
{
    thread_local std::mt19937_64 random{std::random_device{}()};
    static const char digits[] = "0123456789abcdef";
    std::string name(partPrefix);
    name += std::to_string(::getpid()) + "-" + HostTag();
    std::uint64_t value = random();
    for (int i = 0; i < 12; ++i, value >>= 4)
        name += digits[value & 0xF];
    return JoinPath(folder, name);
}

void SweepDeadParts(const std::string& folder)
{
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    int error = 0;
    std::vector<std::string> names = NamesIn(fd, error);
    ::close(fd);
    for (const std::string& name : names) {
        std::string_view rest(name);
        if (rest.substr(0, partPrefix.size()) != partPrefix)
            continue;
        rest.remove_prefix(partPrefix.size());
        long pid = 0;
        auto [end, parseError] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
        if (parseError != std::errc() || pid <= 0 || end == rest.data() + rest.size() ||
            *end != '-')
            continue;
        std::string_view tag = rest.substr(static_cast<std::size_t>(end - rest.data()) + 1);
        if (tag.substr(0, HostTag().size()) != HostTag())
            continue;
        // A live process, also one of another user (EPERM), still builds its copy.
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            RemoveCopy(JoinPath(folder, name));
    }
}

bool RemoveCopy(const std::string& path)
{
    return RemoveCopyAt(path, 0, true);
}

std::uint64_t ItemBytes(const std::string& path, const std::atomic<bool>& cancelled)
{
    return BytesAt(AT_FDCWD, path.c_str(), cancelled);
}

} // namespace fileop

TTreeCopier::TTreeCopier(const std::atomic<bool>& cancelled, TJobProgress& progress, Step step)
    : m_cancelled(cancelled), m_progress(progress), m_step(std::move(step))
{
}

bool TTreeCopier::Copy(const std::string& source, const std::string& target)
{
    m_failure = {};
    m_losses.clear();
    m_folders.clear();
    m_linked.clear();
    m_source = source;
    m_madeTarget = false;
    m_root = AbsoluteItemPath(source);
    struct stat folder;
    m_parentDevice = ::stat(ParentPath(m_root).c_str(), &folder) == 0 ? folder.st_dev : 0;
    // Entries made in a folder with a default ACL inherit it; a source without ACLs must not.
    m_withoutInheritedAcls =
        ::getxattr(ParentPath(target).c_str(), "system.posix_acl_default", nullptr, 0) > 0;
    struct stat st;
    if (::lstat(source.c_str(), &st) != 0)
        return Fail(source, errno);
    m_rootDevice = st.st_dev;
    bool ok =
        CopyEntry(AT_FDCWD, AT_FDCWD, source, target, source, target, TMoveRecord::noParent) &&
        !m_cancelled && FinishFolders();
    if (ok)
        return true;
    if (m_madeTarget)
        fileop::RemoveCopy(target);
    if (m_cancelled)
        m_failure = {};
    return false;
}

bool TTreeCopier::Fail(const std::string& path, int error)
{
    return Fail(path, std::strerror(error));
}

bool TTreeCopier::Fail(const std::string& path, const std::string& message)
{
    if (m_failure.message.empty())
        m_failure = {path, message};
    return false;
}

std::string TTreeCopier::ChangedText() const
{
    return m_record ? "It changed while it was moved; it was kept."
                    : "It changed while it was copied; copy it again once it is no longer "
                      "being written.";
}

void TTreeCopier::NoteLosses(const std::string& from, std::vector<TItemMetadata::Dropped> dropped)
{
    if (!dropped.empty())
        m_losses.push_back({from, std::move(dropped)});
}

bool TTreeCopier::CopyEntry(int fromDir, int toDir, const std::string& fromName,
                            const std::string& toName, const std::string& from,
                            const std::string& to, std::size_t parent)
{
    if (m_cancelled)
        return false;
    m_progress.SetItem(from);
    if (m_step)
        m_step(from, 0);
    if (m_cancelled)
        return false;
    struct stat st;
    if (::fstatat(fromDir, fromName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Fail(from, errno);
    const bool linked = !S_ISDIR(st.st_mode) && st.st_nlink > 1;
    if (linked) {
        auto first = m_linked.find({st.st_dev, st.st_ino});
        // Where the copy cannot take another name (too many, no hard links), it is copied again.
        if (first != m_linked.end() &&
            ::linkat(AT_FDCWD, first->second.c_str(), toDir, toName.c_str(), 0) == 0) {
            if (m_record)
                m_record->Add(from, st, parent);
            if (S_ISREG(st.st_mode))
                m_progress.AddDone(static_cast<std::uint64_t>(st.st_size));
            return true;
        }
    }
    bool ok = false;
    if (S_ISREG(st.st_mode))
        ok = CopyFile(fromDir, toDir, fromName, toName, from, to, parent);
    else if (S_ISLNK(st.st_mode))
        ok = CopyLink(fromDir, toDir, fromName, toName, from, to, st, parent);
    else if (S_ISDIR(st.st_mode))
        ok = CopyFolder(fromDir, toDir, fromName, toName, from, to, parent);
    else
        return Fail(from, "It is not a file, a folder or a link, and cannot be copied.");
    if (ok && linked)
        m_linked.emplace(std::make_pair(st.st_dev, st.st_ino), to);
    return ok;
}

bool TTreeCopier::CopyFile(int fromDir, int toDir, const std::string& fromName,
                           const std::string& toName, const std::string& from,
                           const std::string& to, std::size_t parent)
{
    int in = ::openat(fromDir, fromName.c_str(),
                      O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0)
        return Fail(from, errno);
    FdCloser closeIn(in);
    struct stat before;
    if (::fstat(in, &before) != 0)
        return Fail(from, errno);
    if (!S_ISREG(before.st_mode))
        return Fail(from, ChangedText());
    int out = ::openat(toDir, toName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       S_IRUSR | S_IWUSR);
    if (out < 0)
        return Fail(from, errno);
    if (parent == TMoveRecord::noParent)
        m_madeTarget = true;
    FdCloser closeOut(out);
    if (!CopyContents(in, out, before, from))
        return false;
    TItemMetadata metadata;
    metadata.Read(before, in, from);
    std::vector<TItemMetadata::Dropped> dropped;
    metadata.ApplyTo(out, to, m_withoutInheritedAcls, dropped);
    // The copy holds the file as it was when it was opened, or it is torn.
    struct stat after;
    if (::fstat(in, &after) != 0)
        return Fail(from, errno);
    if (after.st_dev != before.st_dev || after.st_ino != before.st_ino ||
        after.st_size != before.st_size || !SameTime(after.st_mtim, before.st_mtim) ||
        !SameTime(after.st_ctim, before.st_ctim))
        return Fail(from, ChangedText());
    if (closeOut.Close() != 0)
        return Fail(from, errno);
    NoteLosses(from, std::move(dropped));
    if (m_record)
        m_record->Add(from, before, parent);
    return true;
}

bool TTreeCopier::CopyContents(int in, int out, const struct stat& st, const std::string& from)
{
    const auto size = static_cast<std::uint64_t>(st.st_size);
    // Only a file with fewer blocks than bytes can have holes worth looking for.
    bool sparse = static_cast<std::uint64_t>(st.st_blocks) * 512 < size;
    std::uint64_t fileDone = 0;
    std::uint64_t position = 0;
    while (position < size) {
        std::uint64_t dataStart = position;
        std::uint64_t dataEnd = size;
        if (sparse) {
            off_t data = ::lseek(in, static_cast<off_t>(position), SEEK_DATA);
            if (data < 0 && errno == ENXIO) {
                data = static_cast<off_t>(size); // only a hole is left
            } else if (data < 0 && (errno == EINVAL || Unsupported(errno))) {
                sparse = false;
                data = static_cast<off_t>(position);
            } else if (data < 0) {
                return Fail(from, errno);
            }
            dataStart = std::min<std::uint64_t>(static_cast<std::uint64_t>(data), size);
            if (sparse && dataStart < size) {
                off_t hole = ::lseek(in, data, SEEK_HOLE);
                dataEnd = hole < 0
                              ? size
                              : std::min<std::uint64_t>(static_cast<std::uint64_t>(hole), size);
            }
        }
        m_progress.AddDone(dataStart - position);
        fileDone += dataStart - position;
        if (dataEnd > dataStart &&
            !CopyRange(in, out, dataStart, dataEnd - dataStart, from, fileDone))
            return false;
        position = std::max(dataEnd, dataStart);
    }
    // A hole at the end has no data to write that would set the size.
    if (sparse && ::ftruncate(out, static_cast<off_t>(size)) != 0)
        return Fail(from, errno);
    return true;
}

bool TTreeCopier::CopyRange(int in, int out, std::uint64_t offset, std::uint64_t length,
                            const std::string& from, std::uint64_t& fileDone)
{
    bool inKernel = m_copyRange;
    while (length > 0) {
        if (m_cancelled)
            return false;
        std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(length, blockSize));
        ssize_t copied;
        if (inKernel) {
            off64_t inOffset = static_cast<off64_t>(offset);
            off64_t outOffset = static_cast<off64_t>(offset);
            copied = ::copy_file_range(in, &inOffset, out, &outOffset, chunk, 0);
            if (copied < 0 && errno == EINTR)
                continue;
            if (copied < 0 &&
                (errno == EXDEV || errno == ENOSYS || errno == EINVAL || Unsupported(errno))) {
                // Between these file systems the bytes pass through here.
                m_copyRange = inKernel = false;
                continue;
            }
            if (copied == 0) {
                // Some file systems copy nothing in the kernel; reading tells whether it ended.
                inKernel = false;
                continue;
            }
        } else {
            if (!m_buffer)
                m_buffer = std::make_unique<char[]>(blockSize);
            copied = ::pread(in, m_buffer.get(), chunk, static_cast<off_t>(offset));
            if (copied < 0 && errno == EINTR)
                continue;
            if (copied > 0 && !WriteAllAt(out, m_buffer.get(), static_cast<std::size_t>(copied),
                                          static_cast<off_t>(offset)))
                return Fail(from, errno);
        }
        if (copied < 0)
            return Fail(from, errno);
        if (copied == 0)
            return Fail(from, ChangedText()); // it ended early: it was cut short
        offset += static_cast<std::uint64_t>(copied);
        length -= static_cast<std::uint64_t>(copied);
        fileDone += static_cast<std::uint64_t>(copied);
        m_progress.AddDone(static_cast<std::uint64_t>(copied));
        if (m_step)
            m_step(from, fileDone);
    }
    return true;
}

std::string TTreeCopier::LinkTarget(const std::string& from, std::string target) const
{
    if (m_keepLinks || target.empty() || target.front() == '/')
        return target;
    // The link's folder, as the kernel reads it, with the item's folder free of links.
    std::string link = m_root + from.substr(std::min(from.size(), m_source.size()));
    std::string leadsTo = CleanPath(JoinPath(ParentPath(link), target));
    bool inside = leadsTo == m_root ||
                  (leadsTo.size() > m_root.size() &&
                   leadsTo.compare(0, m_root.size(), m_root) == 0 && leadsTo[m_root.size()] == '/');
    // A link within the item leads to the copy; one that leaves it must still find its file.
    return inside ? target : leadsTo;
}

bool TTreeCopier::CopyLink(int fromDir, int toDir, const std::string& fromName,
                           const std::string& toName, const std::string& from,
                           const std::string& to, const struct stat& st, std::size_t parent)
{
    std::string target(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : PATH_MAX, '\0');
    for (;;) {
        ssize_t length = ::readlinkat(fromDir, fromName.c_str(), target.data(), target.size());
        if (length < 0)
            return Fail(from, errno);
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            break;
        }
        target.resize(target.size() * 2); // it grew since it was looked at
    }
    if (::symlinkat(LinkTarget(from, target).c_str(), toDir, toName.c_str()) != 0)
        return Fail(from, errno);
    if (parent == TMoveRecord::noParent)
        m_madeTarget = true;
    TItemMetadata metadata;
    metadata.Read(st, -1, from);
    std::vector<TItemMetadata::Dropped> dropped;
    metadata.ApplyTo(-1, to, m_withoutInheritedAcls, dropped);
    NoteLosses(from, std::move(dropped));
    if (m_record)
        m_record->Add(from, st, parent);
    return true;
}

bool TTreeCopier::IsMountedVolume(int fd, const struct stat& st, bool top) const
{
    if (st.st_dev != (top ? m_parentDevice : m_rootDevice))
        return true;
    struct statx details;
    return ::statx(fd, "", AT_EMPTY_PATH, 0, &details) == 0 &&
           (details.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
           (details.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
}

bool TTreeCopier::CopyFolder(int fromDir, int toDir, const std::string& fromName,
                             const std::string& toName, const std::string& from,
                             const std::string& to, std::size_t parent)
{
    const bool top = parent == TMoveRecord::noParent;
    int in = ::openat(fromDir, fromName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0)
        return Fail(from, errno);
    FdCloser closeIn(in);
    struct stat st;
    if (::fstat(in, &st) != 0)
        return Fail(from, errno);
    // Its copy would leave a volume's contents behind, or the move would empty it.
    if (m_record && IsMountedVolume(in, st, top))
        return Fail(from, top ? "It is a mounted volume; it cannot be moved to another file "
                                "system."
                              : "It is a mounted volume; the folder holding it cannot be moved "
                                "to another file system.");
    TItemMetadata metadata;
    metadata.Read(st, in, from);
    // Recorded before its entries are read: an entry added after that changes it.
    std::size_t index = m_record ? m_record->Add(from, st, parent) : TMoveRecord::noParent;
    // Private and writable until the whole item is in.
    if (::mkdirat(toDir, toName.c_str(), S_IRWXU) != 0)
        return Fail(from, errno);
    if (top)
        m_madeTarget = true;
    int out = ::openat(toDir, toName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (out < 0)
        return Fail(from, errno);
    FdCloser closeOut(out);
    int error = 0;
    std::vector<std::string> names = NamesIn(in, error);
    if (error != 0)
        return Fail(from, error);
    for (const std::string& entry : names) {
        if (!CopyEntry(in, out, entry, entry, JoinPath(from, entry), JoinPath(to, entry), index))
            return false;
    }
    m_folders.push_back({from, to, std::move(metadata)});
    return true;
}

bool TTreeCopier::FinishFolders()
{
    // Innermost first, so that a folder made read-only still lets its subfolders be reached.
    for (const Folder& folder : m_folders) {
        int fd = ::open(folder.target.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return Fail(folder.source, errno);
        std::vector<TItemMetadata::Dropped> dropped;
        folder.metadata.ApplyTo(fd, folder.target, m_withoutInheritedAcls, dropped);
        ::close(fd);
        NoteLosses(folder.source, std::move(dropped));
    }
    return true;
}
