#pragma once

#include <cstddef>

#ifndef _WIN32
struct iovec;
#endif

// The plain file calls of the engine and the settings store, each passing the fault point
// (engine/FileFaults.h) first and retrying when a signal interrupts it. They fail as the
// system calls do: -1 (or false) with errno set.
namespace filecalls {

#ifndef _WIN32
int Open(const char* path, int flags, unsigned mode = 0666);
// Creates a new file from a "...XXXXXX" pattern, as mkstemp does.
int MakeTemporary(char* pattern);
long long Read(int fd, void* data, std::size_t count);
// A read in two halves, for a file read ahead on another thread: the fault point, passed where
// the bytes are taken (true, errno set, where it fails the read), and the system call.
bool ReadFails(int fd);
long long ReadUnchecked(int fd, void* data, std::size_t count);
long long Write(int fd, const void* data, std::size_t count);
// One write of several pieces in order, as writev: the bytes written of them all together.
long long WriteParts(int fd, const ::iovec* parts, int count);
// Writes everything, or fails.
bool WriteAll(int fd, const void* data, std::size_t count);
// Flushes a written file to the disk.
int Sync(int fd);
// Closes fd even when it reports a failure.
int Close(int fd);
// One step of copying in the kernel; 0 at the end of from.
long long CopyRange(int from, int to, std::size_t count);
#endif

// Gives from the name to, replacing whatever had that name.
int Rename(const char* from, const char* to);

// Copies the file from to a new file to: a file already under that name is removed first
// and never written through, so a link of that name to any other file leaves it alone.
// On failure nothing is left under to.
bool CopyWholeFile(const char* from, const char* to);

} // namespace filecalls
