#pragma once

// How far a file job has come, written by the job's thread and read by any other (a progress
// dialog polls it): the entry being worked on and the bytes copied of those known so far.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

class TJobProgress
{
public:
    void SetItem(const std::string& path)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_item = path;
    }
    std::string Item() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_item;
    }

    // A hole skipped in a sparse file counts as done, so that done reaches the total.
    void AddDone(std::uint64_t bytes) { m_done.fetch_add(bytes, std::memory_order_relaxed); }
    // The total grows as each item is measured before it is copied.
    void AddTotal(std::uint64_t bytes) { m_total.fetch_add(bytes, std::memory_order_relaxed); }
    std::uint64_t BytesDone() const { return m_done.load(std::memory_order_relaxed); }
    std::uint64_t BytesTotal() const { return m_total.load(std::memory_order_relaxed); }

private:
    mutable std::mutex m_mutex;
    std::string m_item;
    std::atomic<std::uint64_t> m_done{0};
    std::atomic<std::uint64_t> m_total{0};
};
