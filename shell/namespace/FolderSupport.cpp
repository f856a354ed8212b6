#include "shell/namespace/FolderSupport.h"

#include "shell/namespace/NameBytes.h"

#include <QDir>
#include <QStandardPaths>
#include <sys/stat.h>

namespace portable {

std::string JoinPath(const std::string& folder, std::string_view name)
{
    std::string result = folder;
    if (result.empty() || result.back() != '/')
        result += '/';
    result.append(name);
    return result;
}

std::string HomeDirectory()
{
    return PathBytes(QDir::homePath());
}

bool IsDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The user's Desktop directory, when there is one of its own.
std::string DesktopDirectory()
{
    std::string path = PathBytes(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    if (path.empty() || !IsDirectory(path))
        return {};
    if (PathBytes(QDir(PathText(path)).canonicalPath()) ==
        PathBytes(QDir(QDir::homePath()).canonicalPath()))
        return {};
    return path;
}

std::string CleanPath(std::string_view path)
{
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        std::size_t slash = path.find('/');
        std::string_view part = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string result;
    for (std::string_view part : parts) {
        result += '/';
        result.append(part);
    }
    return result.empty() ? "/" : result;
}

std::string ParentPath(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string_view LastPathPart(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    std::size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos || path.size() == 1 ? path : path.substr(slash + 1);
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

int CompareBytes(std::string_view a, std::string_view b)
{
    int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

// Compares what follows two equal first items by binding to that item.
HResult CompareRest(TShellFolder& folder, int column, PCIdList a, PCIdList b)
{
    PCIdList restA = IdListNext(a);
    PCIdList restB = IdListNext(b);
    if (!restA && !restB)
        return MakeCompareResult(0);
    if (!restA || !restB)
        return MakeCompareResult(restA ? 1 : -1);
    IdListPtr first = MakeSingleIdList(IdListItemData(a));
    TShellFolderPtr child;
    if (Failed(folder.BindToObject(first.get(), child)))
        return MakeCompareResult(CompareIdListBytes(restA, restB));
    return child->CompareIDs(column, restA, restB);
}

// Items below a folder's first level are asked of the folder their first item stands for.
HResult AttributesBelow(TShellFolder& folder, PCIdList item, std::uint32_t& attributes)
{
    TShellFolderPtr child;
    HResult hr = folder.BindToObject(MakeSingleIdList(IdListItemData(item)).get(), child);
    if (Failed(hr))
        return hr;
    PCIdList rest = IdListNext(item);
    return child->GetAttributesOf(std::span<const PCIdList>(&rest, 1), attributes);
}

HResult DisplayNameBelow(TShellFolder& folder, PCIdList item, std::uint32_t flags,
                         std::string& name)
{
    TShellFolderPtr child;
    HResult hr = folder.BindToObject(MakeSingleIdList(IdListItemData(item)).get(), child);
    if (Failed(hr))
        return hr;
    return child->GetDisplayNameOf(IdListNext(item), flags, name);
}

HResult DetailsBelow(TShellFolder& folder, PCIdList item, TShellItemDetails& details)
{
    TShellFolderPtr child;
    HResult hr = folder.BindToObject(MakeSingleIdList(IdListItemData(item)).get(), child);
    if (Failed(hr))
        return hr;
    return child->GetItemDetails(IdListNext(item), details);
}

HResult ListEnum::Next(IdListPtr& item)
{
    if (m_next >= m_items.size())
        return kSFalse;
    item = std::move(m_items[m_next++]);
    return kSOk;
}

} // namespace portable
