#include "settings/VersionInfo.h"

#include "VersionStrings.h"

#include <cstdio>
#include <filesystem>
#include <mutex>

#ifdef _WIN32
#include <cstring>
#include <windows.h>
#include <winver.h>
#else
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>
#ifdef __APPLE__
#include <mach-o/dyld.h>
#endif
#endif

namespace {

struct Replacement
{
    std::mutex Mutex;
    bool Active = false;
    std::optional<VersionInfo> Info;
};

Replacement& TestReplacement()
{
    static Replacement replacement;
    return replacement;
}

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

// The strings as one US English table in the Windows ANSI code page, the translation a
// resource script usually carries.
VersionResource OneTable(const VersionInfo& info)
{
    const std::uint32_t translation = MakeTranslation(0x0409, 0x04E4);
    VersionResource resource;
    resource.Translations.push_back(translation);
    auto& table = resource.StringTables[TranslationBlockName(translation)];
    table["CompanyName"] = info.CompanyName;
    table["ProductName"] = info.ProductName;
    table["FileVersion"] = info.FileVersion;
    return resource;
}

// Only the first translation counts; a string it lacks reads as empty.
std::optional<VersionInfo> FirstTranslation(const VersionResource& resource)
{
    if (resource.Translations.empty())
        return std::nullopt;
    const std::string block = TranslationBlockName(resource.Translations.front());
    auto text = [&](std::string_view name) {
        const std::string* value = resource.FindString(block, name);
        return value ? *value : std::string();
    };
    return VersionInfo{text("CompanyName"), text("ProductName"), text("FileVersion")};
}

#ifdef _WIN32

// The standard names of a string table; the platform cannot list a table's entries.
constexpr const char* kStringNames[] = {
    "Comments",     "CompanyName",    "FileDescription", "FileVersion",
    "InternalName", "LegalCopyright", "LegalTrademarks", "OriginalFilename",
    "PrivateBuild", "ProductName",    "ProductVersion",  "SpecialBuild",
};

std::string ExecutablePath()
{
    std::vector<char> buffer(MAX_PATH);
    while (true) {
        DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        // A full buffer means the path was cut; try again with more room.
        if (length < buffer.size())
            return std::string(buffer.data(), length);
        if (buffer.size() >= 32768)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<VersionResource> PlatformVersionResource()
{
    const std::string path = ExecutablePath();
    if (path.empty())
        return std::nullopt;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0)
        return std::nullopt;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data()))
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

std::string ExecutableFolder()
{
    std::string path = ExecutablePath();
    std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

#else

// Without a version resource the strings are compiled in.
std::optional<VersionResource> PlatformVersionResource()
{
    return OneTable(
        VersionInfo{QUIREFOLD_COMPANY_NAME, QUIREFOLD_PRODUCT_NAME, QUIREFOLD_FILE_VERSION});
}

std::string ExecutablePath()
{
#if defined(__linux__)
    std::vector<char> buffer(PATH_MAX);
    while (true) {
        ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return {};
        // readlink does not say when it cut the link; a full buffer may have been cut.
        if (static_cast<std::size_t>(length) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        if (buffer.size() >= 1024 * 1024)
            return {};
        buffer.resize(buffer.size() * 2);
    }
#elif defined(__APPLE__)
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1);
    if (_NSGetExecutablePath(buffer.data(), &size) != 0)
        return {};
    char* resolved = ::realpath(buffer.data(), nullptr);
    if (!resolved)
        return std::string(buffer.data());
    std::string path(resolved);
    std::free(resolved);
    return path;
#else
    return {};
#endif
}

std::string ExecutableFolder()
{
    std::string path = ExecutablePath();
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
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

std::optional<VersionInfo> ProgramVersionInfo()
{
    {
        Replacement& replacement = TestReplacement();
        std::lock_guard<std::mutex> guard(replacement.Mutex);
        if (replacement.Active)
            return replacement.Info;
    }
    std::optional<VersionResource> resource = PlatformVersionResource();
    return resource ? FirstTranslation(*resource) : std::nullopt;
}

std::optional<VersionResource> ProgramVersionResource()
{
    {
        Replacement& replacement = TestReplacement();
        std::lock_guard<std::mutex> guard(replacement.Mutex);
        if (replacement.Active)
            return replacement.Info ? std::optional(OneTable(*replacement.Info)) : std::nullopt;
    }
    return PlatformVersionResource();
}

void SetProgramVersionInfo(std::optional<VersionInfo> info)
{
    Replacement& replacement = TestReplacement();
    std::lock_guard<std::mutex> guard(replacement.Mutex);
    replacement.Active = true;
    replacement.Info = std::move(info);
}

void ResetProgramVersionInfo()
{
    Replacement& replacement = TestReplacement();
    std::lock_guard<std::mutex> guard(replacement.Mutex);
    replacement.Active = false;
    replacement.Info.reset();
}

std::string ProgramFolder()
{
    return ExecutableFolder();
}

std::string LinkImageFolder()
{
    // The program does not move while it runs: looked for once, not at every preview.
    static const std::string folder = LinkImageFolderFor(ProgramFolder());
    return folder;
}

std::string LinkImageFolderFor(const std::string& programFolder)
{
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::path(programFolder + "prev1.gif"), error))
        return programFolder;
    std::string installed = std::filesystem::path(programFolder + QUIREFOLD_IMAGES_FROM_PROGRAM)
                                .lexically_normal()
                                .string();
    if (!installed.empty() && installed.back() != programFolder.back())
        installed += programFolder.back();
    return installed;
}
