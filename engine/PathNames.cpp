#include "engine/PathNames.h"

#include <algorithm>
#include <cctype>
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

bool SameNamePart(std::string_view a, std::string_view b)
{
#ifdef _WIN32
    // File names differ only in letter case on Windows.
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
#else
    return a == b;
#endif
}

// "%03d" of a page number >= 0: three digits, or more without a leading zero.
bool IsPageNumberText(std::string_view text)
{
    const bool digits = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
    return digits && (text.size() == 3 || (text.size() > 3 && text[0] != '0'));
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

bool IsOutputName(std::string_view fileName, const PathNames& names)
{
    const std::size_t base = names.BaseName.size();
    const std::size_t ext = names.Extension.size();
    if (fileName.size() <= base + ext || !SameNamePart(fileName.substr(0, base), names.BaseName) ||
        !SameNamePart(fileName.substr(fileName.size() - ext), names.Extension))
        return false;
    std::string_view middle = fileName.substr(base, fileName.size() - base - ext);
    if (SameNamePart(middle, "fs"))
        return true;
    if (middle.size() > 4 && SameNamePart(middle.substr(middle.size() - 4), "temp")) {
        middle.remove_suffix(4);
        return IsPageNumberText(middle) && middle != "000"; // pages start at 1
    }
    return IsPageNumberText(middle);
}

bool SameFileName(std::string_view a, std::string_view b)
{
    return SameNamePart(a, b);
}
