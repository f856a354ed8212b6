#include "engine/ReadAhead.h"

#include <algorithm>
#include <cstring>
#include <system_error>

ReadAhead::ReadAhead(std::function<long long(char* data, std::size_t count)> read, Layout layout)
    : m_read(std::move(read)), m_layout(layout), m_lengths(layout.Slots, 0)
{
    try {
        m_thread = std::thread(&ReadAhead::Run, this);
    } catch (const std::system_error&) {
        // No thread to be had: Next reads.
    }
}

ReadAhead::~ReadAhead()
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_threadWake.notify_all();
    m_thread.join();
}

long long ReadAhead::ReadInto(std::size_t number)
{
    char* data = SlotData(number);
    const long long length = m_read(data, m_layout.Chunk);
    // Whatever a short read left behind reads as zeros to a scan running past the end.
    std::memset(data + std::max(length, 0LL), 0, m_layout.Padding);
    return length;
}

void ReadAhead::Run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (Free() == 0) {
            m_sleeping = true;
            m_threadWake.wait(lock, [this] { return m_stopping || Refill(); });
            m_sleeping = false;
        }
        if (m_stopping)
            return;
        // The reader touches no slot from m_released + Slots on, so this one is free.
        const std::size_t number = m_filled;
        lock.unlock();
        const long long length = ReadInto(number);
        lock.lock();
        m_lengths[number % m_layout.Slots] = length;
        ++m_filled;
        if (m_waiting)
            m_readerWake.notify_all();
        // After the end or a failure there is nothing more to read.
        if (length <= 0)
            return;
    }
}

ReadAhead::Chunk ReadAhead::Next(std::size_t keepFrom)
{
    std::unique_lock lock(m_mutex);
    m_released = std::max(m_released, keepFrom);
    if (m_filled == m_taken) {
        if (!m_thread.joinable()) {
            lock.unlock();
            const long long length = ReadInto(m_filled);
            lock.lock();
            m_lengths[m_filled % m_layout.Slots] = length;
            ++m_filled;
        } else {
            m_waiting = true;
            if (m_sleeping)
                m_threadWake.notify_all();
            m_readerWake.wait(lock, [this] { return m_filled > m_taken; });
            m_waiting = false;
        }
    }
    const std::size_t number = m_taken;
    const long long length = m_lengths[number % m_layout.Slots];
    // The end and a failure are not passed: they are handed over again.
    if (length > 0)
        ++m_taken;
    if (m_sleeping && Refill())
        m_threadWake.notify_all();
    return {SlotData(number), length};
}

std::size_t ReadAhead::ChunkAt(const char* at) const
{
    const auto slot = static_cast<std::size_t>(at - m_layout.First) / m_layout.Stride;
    const std::size_t last = m_taken - 1;
    const std::size_t back = (last % m_layout.Slots + m_layout.Slots - slot) % m_layout.Slots;
    return last - back;
}
