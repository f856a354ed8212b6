#include "engine/ReadAhead.h"

#include <algorithm>
#include <cstring>

ReadAhead::ReadAhead(std::function<long long(char* data, std::size_t count)> read,
                     std::size_t chunk)
    : m_read(std::move(read)), m_chunk(chunk)
{
    for (Slot& slot : m_slots)
        slot.Bytes = std::make_unique_for_overwrite<char[]>(chunk);
    m_thread = std::thread(&ReadAhead::Run, this);
}

ReadAhead::~ReadAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void ReadAhead::Run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        // Once the slots are full this thread sleeps until half of them are free, then fills
        // them all: a wake-up costs the reader a system call (more in a virtual machine) and
        // one per chunk was a tenth of a split in memory.
        if (m_filled - m_taken == kSlots)
            m_changed.wait(lock, [this] { return m_stopping || m_filled - m_taken <= kRefillAt; });
        if (m_stopping)
            return;
        // The reader never touches a slot that is not handed over whole, so this one is free.
        Slot& slot = m_slots[m_filled % kSlots];
        lock.unlock();
        const long long length = m_read(slot.Bytes.get(), m_chunk);
        lock.lock();
        slot.Length = length;
        ++m_filled;
        m_changed.notify_all();
        // After the end or a failure there is nothing more to read.
        if (length <= 0)
            return;
    }
}

long long ReadAhead::Next(char* to, std::size_t room)
{
    Slot* slot = nullptr;
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_filled > m_taken; });
        slot = &m_slots[m_taken % kSlots];
    }
    // The end and a failure stay where they are, for every later call.
    if (slot->Length <= 0 || room == 0)
        return slot->Length <= 0 ? slot->Length : 0;
    const auto length = static_cast<std::size_t>(slot->Length);
    const std::size_t count = std::min(room, length - m_offset);
    std::memcpy(to, slot->Bytes.get() + m_offset, count);
    m_offset += count;
    if (m_offset == length) {
        m_offset = 0;
        bool wake = false;
        {
            const std::lock_guard lock(m_mutex);
            ++m_taken;
            wake = m_filled - m_taken == kRefillAt;
        }
        if (wake)
            m_changed.notify_all();
    }
    return static_cast<long long>(count);
}
