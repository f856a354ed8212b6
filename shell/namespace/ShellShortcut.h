#pragma once

// Shortcuts: a symbolic link stands in for a shortcut file.

#include "shell/namespace/IdList.h"
#include "shell/namespace/ShellNamespace.h"

#include <cstdint>
#include <string>

constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x1;
constexpr std::uint32_t FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;

// What the file system says of a file, as a directory search reports it.
struct TFindData
{
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;
    std::int64_t creationTime = 0; // seconds since 1970
    std::int64_t lastAccessTime = 0;
    std::int64_t lastWriteTime = 0;
    std::string fileName;
};

enum TLinkDataOption : std::uint32_t
{
    ldoUseDesc = 0x1,
    ldoUseArgs = 0x2,
    ldoUseIcon = 0x4,
    ldoUseWorkDir = 0x8,
    ldoUseHotKey = 0x10,
    ldoUseShowCmd = 0x20
};
using TLinkDataOptions = std::uint32_t;

struct TLinkData
{
    std::string pathName;
    std::string description;
    std::string workingDirectory;
    std::string arguments;
    std::string iconLocation;
    int iconIndex = 0;
    std::uint16_t hotKey = 0;
    int showCommand = 0;
    TFindData findData;
    IdListPtr idList;
    TLinkDataOptions options = 0;
};

// Resolves the link at path to its target (made absolute); fails for anything that is not a
// link and for a link whose target does not exist.
HResult ResolveShortcut(const std::string& path, TLinkData& data, bool withIdList);
