#include "engine/FileCalls.h"

#include "engine/FileFaults.h"

#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#endif

namespace filecalls {

namespace {
// Fails the call as the system would, when the fault point says so.
bool Faulted(FileCall kind, int fd, const char* path = nullptr, bool writing = false)
{
    if (const int error = filefaults::Check(kind, fd, path, writing)) {
        errno = error;
        return true;
    }
    return false;
}
} // namespace

#ifndef _WIN32
int Open(const char* path, int flags, unsigned mode)
{
    const bool writing = (flags & (O_WRONLY | O_RDWR)) != 0;
    if (Faulted(FileCall::Open, -1, path, writing))
        return -1;
    int fd;
    do
        fd = ::open(path, flags, static_cast<mode_t>(mode));
    while (fd < 0 && errno == EINTR);
    filefaults::Opened(fd, path, writing);
    return fd;
}

int MakeTemporary(char* pattern)
{
    if (Faulted(FileCall::Open, -1, pattern, true))
        return -1;
    const int fd = ::mkstemp(pattern);
    if (fd >= 0)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    filefaults::Opened(fd, pattern, true);
    return fd;
}

long long Read(int fd, void* data, std::size_t count)
{
    return ReadFails(fd) ? -1 : ReadUnchecked(fd, data, count);
}

bool ReadFails(int fd)
{
    return Faulted(FileCall::Read, fd);
}

long long ReadUnchecked(int fd, void* data, std::size_t count)
{
    ssize_t n;
    do
        n = ::read(fd, data, count);
    while (n < 0 && errno == EINTR);
    return n;
}

long long Write(int fd, const void* data, std::size_t count)
{
    if (Faulted(FileCall::Write, fd))
        return -1;
    ssize_t n;
    do
        n = ::write(fd, data, count);
    while (n < 0 && errno == EINTR);
    return n;
}

long long WriteParts(int fd, const ::iovec* parts, int count)
{
    if (Faulted(FileCall::Write, fd))
        return -1;
    ssize_t n;
    do
        n = ::writev(fd, parts, count);
    while (n < 0 && errno == EINTR);
    return n;
}

bool WriteAll(int fd, const void* data, std::size_t count)
{
    const char* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < count) {
        const long long n = Write(fd, bytes + done, count - done);
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

int Sync(int fd)
{
    if (Faulted(FileCall::Write, fd))
        return -1;
    int rc;
    do
        rc = ::fsync(fd);
    while (rc != 0 && errno == EINTR);
    return rc;
}

int Close(int fd)
{
    const int error = filefaults::Check(FileCall::Close, fd);
    // A failed close still releases the descriptor; retrying could close someone else's.
    const int rc = ::close(fd);
    if (error) {
        errno = error;
        return -1;
    }
    return rc == 0 || errno == EINTR ? 0 : -1;
}

long long CopyRange(int from, int to, std::size_t count)
{
    if (Faulted(FileCall::Copy, to))
        return -1;
#ifdef __linux__
    ssize_t n;
    do
        n = ::copy_file_range(from, nullptr, to, nullptr, count, 0);
    while (n < 0 && errno == EINTR);
    return n;
#else
    (void)from;
    (void)count;
    errno = ENOSYS;
    return -1;
#endif
}

int Rename(const char* from, const char* to)
{
    if (Faulted(FileCall::Rename, -1, to, true))
        return -1;
    return ::rename(from, to);
}

bool CopyWholeFile(const char* from, const char* to)
{
    if (Faulted(FileCall::Copy, -1, to, true))
        return false;
    const int in = Open(from, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (in < 0)
        return false;
    struct stat info;
    if (::fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
        Close(in);
        return false;
    }
    // O_EXCL: a name that reappears meanwhile (a link planted there) is not written through.
    ::unlink(to);
    const int out = Open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) {
        Close(in);
        return false;
    }
    char buffer[64 * 1024];
    bool ok = true;
    for (;;) {
        const long long n = Read(in, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0 || !WriteAll(out, buffer, static_cast<std::size_t>(n))) {
            ok = false;
            break;
        }
    }
    Close(in);
    if (Close(out) != 0)
        ok = false;
    if (!ok)
        ::unlink(to);
    return ok;
}
#else
int Rename(const char* from, const char* to)
{
    if (Faulted(FileCall::Rename, -1, to, true))
        return -1;
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) ? 0 : -1;
}

bool CopyWholeFile(const char* from, const char* to)
{
    if (Faulted(FileCall::Copy, -1, to, true))
        return false;
    DeleteFileA(to);
    // bFailIfExists: never through a name that reappeared meanwhile.
    if (CopyFileA(from, to, TRUE))
        return true;
    DeleteFileA(to);
    return false;
}
#endif

} // namespace filecalls
