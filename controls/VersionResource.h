#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a program file's version resource holds, as far as the controls read it: the
// translation table and the string tables. Texts are 8-bit, as the platform returns them.
struct VersionResource
{
    // "\VarFileInfo\Translation": each entry has the language in its low 16 bits and the code
    // page in its high 16 bits.
    std::vector<std::uint32_t> Translations;
    // "\StringFileInfo\<block>\<name>": block name (such as "040904e4") -> name -> value.
    std::map<std::string, std::map<std::string, std::string>> StringTables;

    // The string stored under block and name, or nullptr. Names are matched regardless of
    // ASCII letter case, as the platform's own lookup does.
    const std::string* FindString(std::string_view block, std::string_view name) const;
};

// A translation entry from its two halves.
constexpr std::uint32_t MakeTranslation(std::uint16_t language, std::uint16_t codePage)
{
    return static_cast<std::uint32_t>(language) | (static_cast<std::uint32_t>(codePage) << 16);
}

// The string block of a translation: language then code page, four lower-case hex digits each.
std::string TranslationBlockName(std::uint32_t translation);

// The running program's version resource, or std::nullopt when its file carries none.
std::optional<VersionResource> ReadProgramVersionResource();

// Tests replace the reader; an empty function (or the reset) goes back to the real one.
void SetVersionResourceReader(std::function<std::optional<VersionResource>()> reader);
void ResetVersionResourceReader();
