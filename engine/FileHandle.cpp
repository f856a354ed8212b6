#include "engine/FileHandle.h"

#include "engine/FileCalls.h"
#include "engine/FileFaults.h"
#include "engine/SplitError.h"

#include <algorithm>
#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#endif

namespace filehandle {

#ifdef _WIN32
namespace {
// Fails the call as the system would, when the fault point says so.
bool Faulted(FileCall kind, const char* path = nullptr, bool writing = false)
{
    if (const int error = filefaults::Check(kind, -1, path, writing)) {
        SetLastError(error == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED);
        return true;
    }
    return false;
}
} // namespace

std::intptr_t OpenForReading(const std::string& name)
{
    if (Faulted(FileCall::Open, name.c_str()))
        return -1;
    const DWORD attributes = GetFileAttributesA(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return kNotRegular;
    HANDLE h = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return kNotRegular;
    }
    return reinterpret_cast<std::intptr_t>(h);
}

FileIdentity IdentityOf(std::intptr_t handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (handle < 0 || !GetFileInformationByHandle(reinterpret_cast<HANDLE>(handle), &info))
        return {};
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, true};
}

std::intptr_t CreateForWriting(const std::string& name, const FileIdentity* keepOff)
{
    if (Faulted(FileCall::Open, name.c_str(), true))
        return -1;
    // Opened without truncating, so a name that is the source (a hard link to it) is found
    // before a byte of it is lost.
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    const auto handle = reinterpret_cast<std::intptr_t>(h);
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return -1;
    }
    if (keepOff && keepOff->Known && IdentityOf(handle) == *keepOff) {
        CloseHandle(h);
        return kIsSource;
    }
    if (!SetEndOfFile(h)) {
        CloseHandle(h);
        return -1;
    }
    return handle;
}

// Whether the fault point fails this read.
bool ReadFails(std::intptr_t)
{
    return Faulted(FileCall::Read);
}

// The read itself, past the fault point: the bytes read, 0 at end of file, -1 on failure.
long long ReadUnchecked(std::intptr_t handle, char* data, std::size_t count)
{
    DWORD done = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle), data, static_cast<DWORD>(count), &done,
                  nullptr))
        return -1;
    return done;
}

long long ReadSome(std::intptr_t handle, char* data, std::size_t count)
{
    return ReadFails(handle) ? -1 : ReadUnchecked(handle, data, count);
}

long long WriteSome(std::intptr_t handle, const char* data, std::size_t count)
{
    if (Faulted(FileCall::Write))
        return -1;
    DWORD done = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(handle), data, static_cast<DWORD>(count), &done,
                   nullptr))
        return -1;
    return done;
}

bool SeekToStart(std::intptr_t handle)
{
    LARGE_INTEGER zero{};
    return SetFilePointerEx(reinterpret_cast<HANDLE>(handle), zero, nullptr, FILE_BEGIN) != 0;
}

bool CloseFile(std::intptr_t handle)
{
    const bool faulted = Faulted(FileCall::Close);
    return CloseHandle(reinterpret_cast<HANDLE>(handle)) != 0 && !faulted;
}

bool NameIsFree(const std::string& name)
{
    return GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES &&
           GetLastError() == ERROR_FILE_NOT_FOUND;
}
#else
std::intptr_t OpenForReading(const std::string& name)
{
    // Looked at before opening too, as merely opening some devices has effects.
    struct stat info;
    if (::stat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return kNotRegular;
    // Non-blocking, so that a pipe without a writer cannot hold the run in open(). The flag
    // changes nothing for the regular file it turns out to be, so it stays.
    const int fd = filecalls::Open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        filecalls::Close(fd);
        return kNotRegular;
    }
    return fd;
}

std::intptr_t CreateForWriting(const std::string& name, const FileIdentity* keepOff)
{
    // Where nothing stands under the name (the usual case) the file is made new: a file that
    // did not exist is empty and regular, and can be neither the source nor a pipe, so there is
    // nothing more to look at. O_EXCL also refuses a symbolic link, even a dangling one.
    int fd =
        filecalls::Open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0 || errno != EEXIST)
        return fd;
    // Something is there. Opened without truncating, so a name that turns out to be the source
    // (a hard or symbolic link to it) is found before a byte of it is lost; non-blocking, so a
    // pipe planted under an output name cannot hold the run in open(). The flag changes nothing
    // for the regular file it must turn out to be, so it stays.
    fd =
        filecalls::Open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0)
        return -1;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        filecalls::Close(fd);
        return -1;
    }
    if (keepOff && keepOff->Known && keepOff->Device == static_cast<std::uint64_t>(info.st_dev) &&
        keepOff->Inode == static_cast<std::uint64_t>(info.st_ino)) {
        filecalls::Close(fd);
        return kIsSource;
    }
    if (::ftruncate(fd, 0) != 0) {
        filecalls::Close(fd);
        return -1;
    }
    return fd;
}

FileIdentity IdentityOf(std::intptr_t handle)
{
    struct stat info;
    if (handle < 0 || ::fstat(static_cast<int>(handle), &info) != 0)
        return {};
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino), true};
}

long long ReadSome(std::intptr_t handle, char* data, std::size_t count)
{
    return filecalls::Read(static_cast<int>(handle), data, count);
}

bool ReadFails(std::intptr_t handle)
{
    return filecalls::ReadFails(static_cast<int>(handle));
}

long long ReadUnchecked(std::intptr_t handle, char* data, std::size_t count)
{
    return filecalls::ReadUnchecked(static_cast<int>(handle), data, count);
}

long long WriteSome(std::intptr_t handle, const char* data, std::size_t count)
{
    return filecalls::Write(static_cast<int>(handle), data, count);
}

// One write of first and then as many of the further parts as one call takes, in order; the
// bytes written of them all together.
long long WriteSomeParts(std::intptr_t handle, std::string_view first,
                         const std::string_view* parts, std::size_t count)
{
    constexpr std::size_t kMaxParts = 64;
    struct iovec vectors[kMaxParts];
    vectors[0] = {const_cast<char*>(first.data()), first.size()};
    const std::size_t used = std::min(count, kMaxParts - 1);
    for (std::size_t i = 0; i < used; ++i)
        vectors[i + 1] = {const_cast<char*>(parts[i].data()), parts[i].size()};
    return filecalls::WriteParts(static_cast<int>(handle), vectors, static_cast<int>(used + 1));
}

bool SeekToStart(std::intptr_t handle)
{
    return ::lseek(static_cast<int>(handle), 0, SEEK_SET) == 0;
}

bool CloseFile(std::intptr_t handle)
{
    return filecalls::Close(static_cast<int>(handle)) == 0;
}

bool NameIsFree(const std::string& name)
{
    struct stat info;
    return ::lstat(name.c_str(), &info) != 0 && errno == ENOENT;
}

// Copies the rest of one file onto the end of another inside the kernel where the system
// can. Returns false when nothing was copied because the call is not supported here.
bool CopyInKernel(int from, int to)
{
    bool copiedAny = false;
    for (;;) {
        const long long n = filecalls::CopyRange(from, to, 1u << 30);
        if (n > 0) {
            copiedAny = true;
            continue;
        }
        if (n == 0)
            return true;
        if (!copiedAny && (errno == ENOSYS || errno == EXDEV || errno == EINVAL ||
                           errno == EOPNOTSUPP || errno == EBADF))
            return false;
        throw SplitError("File could not be written");
    }
}
#endif

} // namespace filehandle
