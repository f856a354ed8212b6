#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The version strings the program names itself by (the settings key, --version, the dialogs):
// those of the program file's first translation.
struct VersionInfo
{
    std::string CompanyName;
    std::string ProductName;
    std::string FileVersion;
};

// All that the program file's version information holds (on Windows its VERSIONINFO
// resource; elsewhere the strings compiled in from the build): the translation table and the
// string tables. Texts are 8-bit, as the platform returns them.
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

// The program's version information, or nothing when the program file carries none.
std::optional<VersionInfo> ProgramVersionInfo();
// The same in full, or nothing when the program file carries none.
std::optional<VersionResource> ProgramVersionResource();

// Tests replace the program's version information: ProgramVersionInfo() returns info, and
// ProgramVersionResource() holds it as the one table of US English in the Windows ANSI code
// page; std::nullopt stands for "none". ResetProgramVersionInfo() goes back to the real one.
void SetProgramVersionInfo(std::optional<VersionInfo> info);
void ResetProgramVersionInfo();

// Folder of the running executable, ending with a path separator.
std::string ProgramFolder();
// Folder of the link images shipped with the program, ending with a path separator: the
// program's own folder when they are there (the build tree, Windows), otherwise where an
// installation puts them (share/quirefold/ beside bin/).
std::string LinkImageFolder();
// The same for a program in programFolder.
std::string LinkImageFolderFor(const std::string& programFolder);
