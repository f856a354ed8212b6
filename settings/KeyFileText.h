#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Registry value types, with the numbers the registry itself uses.
namespace RegType {
constexpr std::uint32_t None = 0;
constexpr std::uint32_t Sz = 1;
constexpr std::uint32_t ExpandSz = 2;
constexpr std::uint32_t Binary = 3;
constexpr std::uint32_t Dword = 4;
constexpr std::uint32_t DwordBigEndian = 5;
constexpr std::uint32_t MultiSz = 7;
constexpr std::uint32_t Qword = 11;
} // namespace RegType

// One value as the registry holds it: a type and the raw data bytes (a REG_SZ includes its
// terminating NUL, a REG_DWORD is four little-endian bytes).
struct RegistryValue
{
    std::uint32_t Type = RegType::None;
    std::string Data;

    static RegistryValue String(const std::string& text);
    static RegistryValue Dword(std::uint32_t value);

    bool operator==(const RegistryValue&) const = default;
};

// The text of a key file in the registry's REGEDIT4 export format, parsed so that values of one
// key can be read and replaced while every other line (comments, other keys, lines it does not
// understand) is written back byte for byte.
class KeyFileText
{
public:
    static constexpr const char* Header = "REGEDIT4";

    KeyFileText() = default;
    static KeyFileText Parse(const std::string& text);
    std::string Text() const;

    // Key names are compared without regard to ASCII letter case, as the registry does; so are
    // value names. A value that appears more than once counts by its last occurrence.
    bool HasKey(const std::string& key) const;
    // Appends an empty key section (and the header when the text is empty).
    void AddKey(const std::string& key);
    std::optional<RegistryValue> Find(const std::string& key, const std::string& name) const;
    // Replaces the value where it stands, or appends it to the key's last section (creating the
    // section when missing). Earlier duplicates of the value are dropped.
    void Set(const std::string& key, const std::string& name, const RegistryValue& value);

    // The line (or lines) that store one value, without the final line break.
    static std::string FormatValue(const std::string& name, const RegistryValue& value);

private:
    struct Line
    {
        std::string Raw;       // exact text, continuation lines included, without the final '\n'
        int Section = -1;      // index into m_sections, -1 before the first section
        bool IsHeader = false; // the "[...]" line of its section
        bool HasValue = false;
        std::string Name;
        RegistryValue Value;
    };

    static Line TextLine(std::string raw, int section);
    int LastSectionOf(const std::string& key) const;
    void CloseUnfinishedData();
    std::string InFileStyle(std::string lines) const;
    std::vector<std::size_t> ValueLines(const std::string& key, const std::string& name) const;

    std::vector<Line> m_lines;
    std::vector<std::string> m_sections; // key name of each section, in file order
    bool m_endsWithNewline = true;
    bool m_crlf = false; // lines end in CR LF, as files written on Windows do
};
