#include "settings/VersionInfo.h"

#include <mutex>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <cstdio>
#include <cstring>
#include <windows.h>
#include <winver.h>
#else
#include "VersionStrings.h"

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

#ifdef _WIN32

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

std::optional<VersionInfo> BuiltInVersionInfo()
{
    std::string path = ExecutablePath();
    if (path.empty())
        return std::nullopt;
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0)
        return std::nullopt;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data()))
        return std::nullopt;

    void* translation = nullptr;
    UINT translationSize = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &translation,
                        &translationSize) ||
        !translation || translationSize < sizeof(DWORD))
        return std::nullopt;
    // The entry holds the language in its low half and the code page in its high half; the
    // string table is named language first.
    DWORD entry = 0;
    std::memcpy(&entry, translation, sizeof entry);
    DWORD table = (entry << 16) | (entry >> 16);

    auto query = [&](const char* name) -> std::string {
        char subBlock[64];
        std::snprintf(subBlock, sizeof subBlock, "\\StringFileInfo\\%08lx\\%s",
                      static_cast<unsigned long>(table), name);
        void* value = nullptr;
        UINT chars = 0;
        if (!VerQueryValueA(block.data(), subBlock, &value, &chars) || !value)
            return {};
        const char* text = static_cast<const char*>(value);
        return std::string(text, strnlen(text, chars));
    };
    return VersionInfo{query("CompanyName"), query("ProductName"), query("FileVersion")};
}

std::string ExecutableFolder()
{
    std::string path = ExecutablePath();
    std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

#else

std::optional<VersionInfo> BuiltInVersionInfo()
{
    return VersionInfo{QUIREFOLD_COMPANY_NAME, QUIREFOLD_PRODUCT_NAME, QUIREFOLD_FILE_VERSION};
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

std::optional<VersionInfo> ProgramVersionInfo()
{
    {
        Replacement& replacement = TestReplacement();
        std::lock_guard<std::mutex> guard(replacement.Mutex);
        if (replacement.Active)
            return replacement.Info;
    }
    return BuiltInVersionInfo();
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
