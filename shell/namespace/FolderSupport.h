#pragma once

// What the portable folders share: paths as bytes, the home and Desktop directories, and the
// ways a folder answers for items below its first level.

#include "shell/namespace/ShellNamespace.h"

#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace portable {

// File names and paths are bytes (shell/namespace/NameBytes.h has the rule).
std::string JoinPath(const std::string& folder, std::string_view name);
// An absolute path without empty, "." and ".." parts, byte for byte.
std::string CleanPath(std::string_view path);
// The last part of a path.
std::string_view LastPathPart(std::string_view path);
// The folder part of a path: "." for a bare name, "/" for an item of the root.
std::string ParentPath(const std::string& path);
bool StartsWith(std::string_view text, std::string_view prefix);
int CompareBytes(std::string_view a, std::string_view b);

std::string HomeDirectory();
bool IsDirectory(const std::string& path);
// The user's Desktop directory, when there is one of its own (empty otherwise).
std::string DesktopDirectory();

// Compares what follows two equal first items by binding to that item.
HResult CompareRest(TShellFolder& folder, int column, PCIdList a, PCIdList b);
// Items below a folder's first level are asked of the folder their first item stands for.
HResult AttributesBelow(TShellFolder& folder, PCIdList item, std::uint32_t& attributes);
HResult DisplayNameBelow(TShellFolder& folder, PCIdList item, std::uint32_t flags,
                         std::string& name);
HResult DetailsBelow(TShellFolder& folder, PCIdList item, TShellItemDetails& details);

// Enumeration of a prepared list.
class ListEnum : public TShellEnumIdList
{
public:
    explicit ListEnum(std::vector<IdListPtr> items) : m_items(std::move(items)) {}
    HResult Next(IdListPtr& item) override;

private:
    std::vector<IdListPtr> m_items;
    std::size_t m_next = 0;
};

} // namespace portable
