#include "app/desktop/StartFile.h"

#include <cstddef>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// The walk only reaches backslashes within this many characters of the start.
constexpr std::size_t kMaxComponentEnd = 255;

#ifdef _WIN32
// The longest path StartFile may hold (MAX_PATH without the terminator).
constexpr std::size_t kMaxStartFile = MAX_PATH - 1;

std::optional<std::string> FindLongName(const std::string& path)
{
    // A wildcard would pick whichever entry happens to match first.
    if (path.find_first_of("*?") != std::string::npos)
        return std::nullopt;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(path.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return std::nullopt;
    FindClose(search);
    return std::string(data.cFileName);
}
#endif

} // namespace

std::optional<std::string> ExpandLongPath(const std::string& text, const LongNameLookup& lookup)
{
    std::size_t separator = text.find('\\');
    if (separator == std::string::npos)
        return std::nullopt;

    std::string result = text.substr(0, separator);
    for (;;) {
        const std::size_t next = text.find('\\', separator + 1);
        const std::size_t end = next == std::string::npos ? text.size() : next;
        if (next != std::string::npos && next > kMaxComponentEnd)
            break;
        const std::optional<std::string> name = lookup(text.substr(0, end));
        if (!name)
            break;
        result += '\\';
        result += *name;
        if (next == std::string::npos)
            return result;
        separator = next;
    }
    // The rest stays as typed.
    result += text.substr(separator);
    return result;
}

std::string StartFileFromArgument(const std::string& argument)
{
    if (argument.empty())
        return {};
#ifdef _WIN32
    const std::optional<std::string> expanded = ExpandLongPath(argument, FindLongName);
    if (!expanded)
        return {};
    // The short form still names the file when the long one does not fit.
    return expanded->size() <= kMaxStartFile ? *expanded : argument;
#else
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(argument, error);
    return error ? argument : absolute.string();
#endif
}
