#include "engine/PathNames.h"

#include <cstdio>

namespace {
#ifdef _WIN32
constexpr std::string_view kSeparators = "\\/:";
#else
constexpr std::string_view kSeparators = "/";
#endif

std::size_t FileNameStart(std::string_view path)
{
    const std::size_t sep = path.find_last_of(kSeparators);
    return sep == std::string_view::npos ? 0 : sep + 1;
}
} // namespace

std::string_view FileNamePart(std::string_view path)
{
    return path.substr(FileNameStart(path));
}

std::string_view FolderPart(std::string_view path)
{
    return path.substr(0, FileNameStart(path));
}

PathNames SplitSourcePath(std::string_view path)
{
    const std::size_t nameStart = FileNameStart(path);
    std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < nameStart)
        dot = path.size();
    PathNames names;
    names.Stem = std::string(path.substr(0, dot));
    names.Extension = std::string(path.substr(dot));
    names.BaseName = std::string(path.substr(nameStart, dot - nameStart));
    return names;
}

std::string PageNumberText(int pageNumber)
{
    char text[16];
    std::snprintf(text, sizeof text, "%03d", pageNumber);
    return text;
}
