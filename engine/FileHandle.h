#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Which file an open handle is (device and file number), whatever name it was opened by.
struct FileIdentity
{
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    bool Known = false;
    bool operator==(const FileIdentity&) const = default;
};

// The platform's file calls under HTMLFile: one handle (a descriptor, or a HANDLE on Windows),
// plain reads and writes, each passing the fault point (engine/FileFaults.h) as it always has.
namespace filehandle {

// Only regular files are read: a pipe or a device could block the run or never end, and a
// folder is no document.
inline constexpr std::intptr_t kNotRegular = -2;
// An output name that is the source itself under another name.
inline constexpr std::intptr_t kIsSource = -3;

// Opens an existing regular file without blocking: the handle, kNotRegular for a folder, pipe
// or device, -1 on failure.
std::intptr_t OpenForReading(const std::string& name);
// Which file handle is; not Known when it is not open or cannot be asked.
FileIdentity IdentityOf(std::intptr_t handle);
// Creates name, or empties the regular file already under it: the handle, kIsSource (nothing
// changed) where that file is keepOff, -1 on failure or for a name that is no regular file.
std::intptr_t CreateForWriting(const std::string& name, const FileIdentity* keepOff);
// Whether the fault point fails this read.
bool ReadFails(std::intptr_t handle);
// The read itself, past the fault point: the bytes read, 0 at end of file, -1 on failure.
long long ReadUnchecked(std::intptr_t handle, char* data, std::size_t count);
// ReadFails and ReadUnchecked in one: the bytes read, 0 at end of file, -1 on failure.
long long ReadSome(std::intptr_t handle, char* data, std::size_t count);
// One write: the bytes written, maybe fewer than count; -1 on failure.
long long WriteSome(std::intptr_t handle, const char* data, std::size_t count);
#ifndef _WIN32
// One gathered write of first and the parts after it; the bytes written of them all together.
long long WriteSomeParts(std::intptr_t handle, std::string_view first,
                         const std::string_view* parts, std::size_t count);
#endif
// Back to the first byte; false when the file cannot be positioned.
bool SeekToStart(std::intptr_t handle);
// Closes the handle even when the call fails; false when it failed.
bool CloseFile(std::intptr_t handle);
// Whether nothing at all, not even a dangling link, stands under name.
bool NameIsFree(const std::string& name);
#ifndef _WIN32
// Copies the rest of from onto the end of to in the kernel: false when nothing was copied as
// the call is not supported here; throws SplitError "File could not be written" on failure.
bool CopyInKernel(int from, int to);
#endif

} // namespace filehandle
