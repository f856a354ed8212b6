#include "shell/namespace/NameKindTable.h"

#include <algorithm>
#include <functional>

namespace portable {

void NameKindTable::Clear()
{
    // Keep the capacity: the next enumeration of the folder needs about as much.
    std::fill(m_slots.begin(), m_slots.end(), Slot{});
    m_entries.clear();
    m_names.clear();
    m_live = m_used = m_next = 0;
}

void NameKindTable::Reserve(std::size_t count, std::size_t bytes)
{
    // With room to spare: the first name set after an enumeration (a new file the watcher
    // reports) would otherwise copy every entry and every name to a new block.
    m_entries.reserve(m_entries.size() + count + count / 8 + 16);
    m_names.reserve(m_names.size() + bytes + bytes / 8 + 256);
    if ((m_live + count + 1) * 2 > m_slots.size())
        Grow(m_live + count);
}

std::uint32_t NameKindTable::HashOf(std::string_view name)
{
    const std::size_t full = std::hash<std::string_view>()(name);
    return static_cast<std::uint32_t>(full ^ (full >> 32));
}

std::string_view NameKindTable::NameOf(const Entry& entry) const
{
    return std::string_view(m_names).substr(entry.offset, entry.length);
}

std::size_t NameKindTable::Probe(std::string_view name, std::uint32_t hash, bool& found) const
{
    const std::size_t mask = m_slots.size() - 1;
    std::size_t index = hash & mask;
    std::size_t firstErased = m_slots.size();
    for (;;) {
        const Slot& slot = m_slots[index];
        if (slot.entry == kEmpty) {
            found = false;
            return firstErased < m_slots.size() ? firstErased : index;
        }
        if (slot.entry == kErased) {
            if (firstErased == m_slots.size())
                firstErased = index;
        } else if (slot.hash == hash && NameOf(m_entries[slot.entry]) == name) {
            found = true;
            return index;
        }
        index = (index + 1) & mask;
    }
}

void NameKindTable::Index(std::uint32_t hash, std::uint32_t entry)
{
    const std::size_t mask = m_slots.size() - 1;
    std::size_t index = hash & mask;
    while (m_slots[index].entry != kEmpty)
        index = (index + 1) & mask;
    m_slots[index] = Slot{hash, entry};
}

void NameKindTable::Grow(std::size_t names)
{
    std::vector<Slot> old = std::move(m_slots);
    std::size_t size = 16;
    while (size < (names + 1) * 2)
        size *= 2;
    m_slots.assign(size, Slot{});
    for (const Slot& slot : old)
        if (slot.entry != kEmpty && slot.entry != kErased)
            Index(slot.hash, slot.entry);
    m_used = m_live;
}

void NameKindTable::Compact()
{
    std::vector<Entry> entries;
    entries.reserve(m_live + 1);
    std::string names;
    for (const Entry& entry : m_entries) {
        if (!entry.live)
            continue;
        entries.push_back({names.size(), entry.length, entry.kind, true});
        names.append(NameOf(entry));
    }
    m_entries = std::move(entries);
    m_names = std::move(names);
    m_next = 0;
    std::fill(m_slots.begin(), m_slots.end(), Slot{});
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        Index(HashOf(NameOf(m_entries[i])), static_cast<std::uint32_t>(i));
    m_used = m_live;
}

void NameKindTable::Set(std::string_view name, std::uint8_t kind)
{
    // At most half the slots in use, and erased entries dropped once they are the majority.
    if (m_entries.size() > 64 + 2 * m_live)
        Compact();
    if ((m_used + 1) * 2 > m_slots.size())
        Grow(m_live + 1);
    const std::uint32_t hash = HashOf(name);
    bool found = false;
    Slot& slot = m_slots[Probe(name, hash, found)];
    if (found) {
        m_entries[slot.entry].kind = kind;
        return;
    }
    if (slot.entry == kEmpty)
        ++m_used;
    slot = Slot{hash, static_cast<std::uint32_t>(m_entries.size())};
    m_entries.push_back({m_names.size(), static_cast<std::uint32_t>(name.size()), kind, true});
    m_names.append(name);
    ++m_live;
}

std::optional<std::uint8_t> NameKindTable::Find(std::string_view name) const
{
    if (m_live == 0)
        return std::nullopt;
    // Callers mostly walk the names in the order they were set, some of them skipped (those
    // a filter left out): look a few entries ahead before probing.
    const std::size_t end = std::min(m_entries.size(), m_next + 8);
    for (std::size_t i = m_next; i < end; ++i) {
        const Entry& entry = m_entries[i];
        if (entry.live && NameOf(entry) == name) {
            m_next = i + 1;
            return entry.kind;
        }
    }
    bool found = false;
    const Slot& slot = m_slots[Probe(name, HashOf(name), found)];
    if (!found)
        return std::nullopt;
    m_next = slot.entry + 1;
    return m_entries[slot.entry].kind;
}

void NameKindTable::Erase(std::string_view name)
{
    if (m_live == 0)
        return;
    bool found = false;
    Slot& slot = m_slots[Probe(name, HashOf(name), found)];
    if (!found)
        return;
    m_entries[slot.entry].live = false;
    slot.entry = kErased;
    --m_live;
}

} // namespace portable
