#include "controls/VersionResource.h"

#include <cstdio>
#include <utility>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <cstring>
#include <windows.h>
#include <winver.h>
#else
#include "settings/VersionInfo.h"
#endif

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::function<std::optional<VersionResource>()>& Reader()
{
    static std::function<std::optional<VersionResource>()> reader;
    return reader;
}

#ifdef _WIN32

// The standard names of a string table; the platform cannot list a table's entries.
constexpr const char* kStringNames[] = {
    "Comments",     "CompanyName",    "FileDescription", "FileVersion",
    "InternalName", "LegalCopyright", "LegalTrademarks", "OriginalFilename",
    "PrivateBuild", "ProductName",    "ProductVersion",  "SpecialBuild",
};

std::string ModulePath()
{
    std::string buffer(MAX_PATH, '\0');
    while (true) {
        DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        // A full buffer means the path was cut; try again with more room.
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        if (buffer.size() >= 32768)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<VersionResource> PlatformVersionResource()
{
    const std::string path = ModulePath();
    if (path.empty())
        return std::nullopt;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0)
        return std::nullopt;
    std::vector<char> block(static_cast<std::size_t>(size) + 1);
    if (!GetFileVersionInfoA(path.c_str(), 0, size + 1, block.data()))
        return std::nullopt;

    VersionResource resource;
    void* table = nullptr;
    UINT tableSize = 0;
    if (VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &table, &tableSize) && table) {
        resource.Translations.resize(tableSize / sizeof(DWORD));
        std::memcpy(resource.Translations.data(), table,
                    resource.Translations.size() * sizeof(DWORD));
    }
    // Strings are copied out while the block is still alive.
    for (std::uint32_t translation : resource.Translations) {
        const std::string blockName = TranslationBlockName(translation);
        for (const char* name : kStringNames) {
            const std::string query = "\\StringFileInfo\\" + blockName + "\\" + name;
            void* value = nullptr;
            UINT chars = 0;
            if (!VerQueryValueA(block.data(), query.c_str(), &value, &chars) || !value)
                continue;
            const char* text = static_cast<const char*>(value);
            resource.StringTables[blockName][name] = std::string(text, strnlen(text, chars));
        }
    }
    return resource;
}

#else

// Without a version resource the strings are compiled in; they stand as one US English table
// in the Windows ANSI code page, the translation a resource script usually carries.
std::optional<VersionResource> PlatformVersionResource()
{
    std::optional<VersionInfo> info = ProgramVersionInfo();
    if (!info)
        return std::nullopt;
    const std::uint32_t translation = MakeTranslation(0x0409, 0x04E4);
    VersionResource resource;
    resource.Translations.push_back(translation);
    auto& table = resource.StringTables[TranslationBlockName(translation)];
    table["CompanyName"] = info->CompanyName;
    table["ProductName"] = info->ProductName;
    table["FileVersion"] = info->FileVersion;
    return resource;
}

#endif

} // namespace

const std::string* VersionResource::FindString(std::string_view block, std::string_view name) const
{
    for (const auto& [blockName, table] : StringTables) {
        if (!SameIgnoringCase(blockName, block))
            continue;
        for (const auto& [entryName, value] : table) {
            if (SameIgnoringCase(entryName, name))
                return &value;
        }
    }
    return nullptr;
}

std::string TranslationBlockName(std::uint32_t translation)
{
    char name[9];
    std::snprintf(name, sizeof name, "%04x%04x", static_cast<unsigned>(translation & 0xFFFFu),
                  static_cast<unsigned>(translation >> 16));
    return name;
}

std::optional<VersionResource> ReadProgramVersionResource()
{
    if (const auto& reader = Reader())
        return reader();
    return PlatformVersionResource();
}

void SetVersionResourceReader(std::function<std::optional<VersionResource>()> reader)
{
    Reader() = std::move(reader);
}

void ResetVersionResourceReader()
{
    Reader() = nullptr;
}
