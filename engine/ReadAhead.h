#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Reads a file on a thread of its own a few chunks ahead of its reader, so that the system's
// copy of the next chunk overlaps the work on this one: for a document in memory that copy was
// a third of a split. The chunks stay small, so each is still in the processor's cache when
// the reader takes it.
class ReadAhead
{
public:
    // read: one read of up to count bytes into data from where the last one ended; the bytes
    // read, 0 at the end, negative for a failure. chunk: the most one read asks for.
    ReadAhead(std::function<long long(char* data, std::size_t count)> read, std::size_t chunk);
    // Stops the thread: a read under way ends first.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Copies up to room bytes of what comes next into to: the bytes copied, 0 at the end of the
    // file; negative where a read failed (and on every call after).
    long long Next(char* to, std::size_t room);

private:
    static constexpr std::size_t kSlots = 8;
    // The reading thread, once the slots are full, starts again when this many are left.
    static constexpr std::size_t kRefillAt = kSlots / 2;
    struct Slot
    {
        std::unique_ptr<char[]> Bytes;
        long long Length = 0; // 0: the end; negative: a failed read
    };

    void Run();

    std::function<long long(char*, std::size_t)> m_read;
    std::size_t m_chunk;
    std::array<Slot, kSlots> m_slots;
    std::size_t m_filled = 0; // slots read, ever
    std::size_t m_taken = 0;  // slots handed over whole, ever; only the reader's side moves it
    std::size_t m_offset = 0; // bytes of the slot being taken that were handed over
    bool m_stopping = false;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::thread m_thread; // last: starts once the rest is made
};
