#pragma once

// What a move across file systems copied: each source entry as it was when it was copied, so
// that the move removes exactly those entries, and only while they are still as they were.

#include <cstddef>
#include <ctime>
#include <string>
#include <sys/types.h>
#include <vector>

struct stat;

class TMoveRecord
{
public:
    static constexpr std::size_t noParent = static_cast<std::size_t>(-1);

    struct Kept
    {
        std::string path;
        std::string reason;
    };

    // Records an entry as copied, a folder before what it holds (parent: the folder's index).
    // Returns the entry's index.
    std::size_t Add(const std::string& path, const struct stat& st, std::size_t parent);
    std::size_t Size() const { return m_entries.size(); }

    // Removes every recorded entry that is still what was copied (device, inode, size, mtime
    // and ctime, by lstat), what a folder holds before the folder. Never reads a folder: what
    // was added stays, and so do the folders holding it or anything else that stays. Returns
    // what stayed and why; entries that are gone by now are not counted.
    std::vector<Kept> RemoveUnchanged();

private:
    struct Entry
    {
        std::string path;
        dev_t device;
        ino_t inode;
        off_t size;
        struct timespec mtime;
        struct timespec ctime;
        mode_t mode;
        bool linked; // a file with more than one name
        std::size_t parent;
    };
    enum class Check
    {
        Same,
        Gone,
        Changed,
        Failed
    };

    Check Compare(const Entry& entry, int& error) const;

    std::vector<Entry> m_entries;
};
