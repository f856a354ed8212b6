#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Reads a file, on a thread of its own, a few chunks ahead of its reader into a ring of chunk
// slots in memory lent by the caller, so that the system's copy of the next chunk overlaps the
// work on this one: for a document in memory that copy was a third of a split. The reader scans
// each chunk where it was read and may keep its bytes there until it has written them out; a
// slot is read into again only once the reader has given it up. (An earlier version read into
// slots of its own and copied each chunk into the reader's ring: that copy of the whole document
// was 7% of a split's samples in a profile.)
class ReadAhead
{
public:
    // Where the chunks go: slot i's bytes start at First + i * Stride. Each chunk is followed
    // by Padding zero bytes (the vector scans read past a chunk's end), and a slot's byte before
    // its first belongs to the reader.
    struct Layout
    {
        char* First = nullptr;
        std::size_t Chunk = 0; // the most one read asks for
        std::size_t Stride = 0;
        std::size_t Slots = 0;
        std::size_t Padding = 0;
    };
    // A chunk handed over: its bytes; Length 0 at the end of the file, negative for a failure.
    struct Chunk
    {
        char* Data;
        long long Length;
    };

    // read: one read of up to count bytes into data from where the last one ended; the bytes
    // read, 0 at the end, negative for a failure. Where no thread can be had, the reads are
    // made by Next itself.
    ReadAhead(std::function<long long(char* data, std::size_t count)> read, Layout layout);
    // Stops the thread: a read under way ends first.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Hands over the next chunk (the end and a failure stay where they are, for every later
    // call). The chunks numbered keepFrom and on, counting from 0, stay as they are; earlier
    // ones may be read over. keepFrom is at most Taken(), and more than Taken() - Slots().
    Chunk Next(std::size_t keepFrom);
    // Chunks handed over so far: the next one's number.
    std::size_t Taken() const { return m_taken; }
    std::size_t Slots() const { return m_layout.Slots; }
    // The number of the chunk, one of the last Slots() handed over, whose slot holds at.
    std::size_t ChunkAt(const char* at) const;

private:
    // The reading thread, once every slot is read or kept, starts again when this many are free
    // (or the reader is about to run out): a wake-up costs the reader a system call (more in a
    // virtual machine) and one per chunk was a tenth of a split in memory.
    static constexpr std::size_t kRefillAt = 4;

    void Run();
    long long ReadInto(std::size_t number);
    char* SlotData(std::size_t number) const
    {
        return m_layout.First + number % m_layout.Slots * m_layout.Stride;
    }
    std::size_t Free() const { return m_released + m_layout.Slots - m_filled; }
    bool Refill() const { return Free() >= kRefillAt || (Free() > 0 && m_filled - m_taken <= 1); }

    std::function<long long(char*, std::size_t)> m_read;
    Layout m_layout;
    std::vector<long long> m_lengths; // by slot: what its last read gave
    std::size_t m_filled = 0;         // chunks read, ever
    std::size_t m_taken = 0;          // chunks handed over, ever; only the reader's side moves it
    std::size_t m_released = 0;       // chunks before this one are free to be read over
    bool m_stopping = false;
    bool m_sleeping = false; // the thread waits for free slots
    bool m_waiting = false;  // the reader waits for a chunk
    std::mutex m_mutex;
    std::condition_variable m_readerWake;
    std::condition_variable m_threadWake;
    std::thread m_thread; // last: starts once the rest is made
};
