#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace portable {

// A folder's entry names mapped to a one-byte kind. Filled once per enumeration with tens of
// thousands of names, then looked up several times per name, mostly in the order the names
// were set: entries are kept in that order beside an open-addressing index, so neither an
// insert nor a lookup allocates per name, and a lookup in order touches memory in order.
class NameKindTable
{
public:
    void Clear();
    // Room for count names of names bytes in all and some more, so that setting them, and a
    // few names after them, grows nothing.
    void Reserve(std::size_t count, std::size_t bytes);
    void Set(std::string_view name, std::uint8_t kind);
    std::optional<std::uint8_t> Find(std::string_view name) const;
    void Erase(std::string_view name);
    std::size_t Size() const { return m_live; }

private:
    struct Entry
    {
        std::size_t offset;
        std::uint32_t length;
        std::uint8_t kind;
        bool live;
    };
    struct Slot
    {
        std::uint32_t hash = 0;
        std::uint32_t entry = kEmpty; // index into m_entries, or a marker
    };
    static constexpr std::uint32_t kEmpty = 0xffffffff;
    static constexpr std::uint32_t kErased = 0xfffffffe;

    static std::uint32_t HashOf(std::string_view name);
    // The slot holding name, or the first free one on its probe path.
    std::size_t Probe(std::string_view name, std::uint32_t hash, bool& found) const;
    std::string_view NameOf(const Entry& entry) const;
    // Twice as many slots as the live names need; Compact drops erased names first.
    void Grow(std::size_t names);
    void Compact();
    void Index(std::uint32_t hash, std::uint32_t entry);

    std::vector<Slot> m_slots;
    std::vector<Entry> m_entries;
    std::string m_names;
    std::size_t m_live = 0;
    std::size_t m_used = 0;         // slots live or erased
    mutable std::size_t m_next = 0; // the entry an in-order lookup asks for next
};

} // namespace portable
