#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

// Every file call of the engine and of the settings store passes this point, so that a test
// can make the n-th call of a kind fail as a full disk or a broken device would. Disarmed, a
// call costs one relaxed atomic load.
enum class FileCall
{
    Open,   // opening or creating a file (also a temporary one)
    Read,   // one read of an open file
    Write,  // one write, or flushing a written file to the disk
    Close,  // closing a file; the file is closed even when the call fails
    Copy,   // copying one file to another as a whole
    Rename, // giving a file its final name
};
inline constexpr int kFileCallKinds = 6;

namespace filefaults {

// What one call was about, as recorded while counting.
struct CallRecord
{
    FileCall Kind;
    std::string Path;     // the file's name; for reads, writes and closes the name it was opened by
    bool Writing = false; // the file was opened for writing
};

namespace detail {
extern std::atomic<bool> g_armed;
int CheckArmed(FileCall kind, int fd, const char* path, bool writing);
} // namespace detail

// 0 when the call may go ahead, otherwise the error number it must fail with. fd and path
// describe the call for the record (an open passes the path, the other calls the descriptor).
inline int Check(FileCall kind, int fd = -1, const char* path = nullptr, bool writing = false)
{
    if (!detail::g_armed.load(std::memory_order_relaxed))
        return 0;
    return detail::CheckArmed(kind, fd, path, writing);
}

namespace detail {
void RecordOpened(int fd, const char* path, bool writing);
} // namespace detail

// Tells the record which name a descriptor just returned by an open belongs to.
inline void Opened(int fd, const char* path, bool writing)
{
    if (fd >= 0 && detail::g_armed.load(std::memory_order_relaxed))
        detail::RecordOpened(fd, path, writing);
}

// Counts and records every call from now on; the n-th call (from 1) of kind fails with error.
// n = 0 fails nothing.
void Arm(FileCall kind, long long n, int error);
// Stops counting and failing.
void Disarm();
// The calls recorded since the last Arm, in order.
std::vector<CallRecord> Calls();
// Whether the armed failure has happened.
bool Fired();

// RAII: armed for its lifetime.
class ScopedFault
{
public:
    ScopedFault(FileCall kind, long long n, int error) { Arm(kind, n, error); }
    ~ScopedFault() { Disarm(); }
    ScopedFault(const ScopedFault&) = delete;
    ScopedFault& operator=(const ScopedFault&) = delete;
};

const char* KindName(FileCall kind);

} // namespace filefaults
