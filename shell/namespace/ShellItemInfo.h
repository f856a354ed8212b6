#pragma once

// What the controls show of an item beside its name: the texts of the Size, Type and Modified
// columns, and which icon stands for it. The namespace works them out; the controls only show
// them, so that every control shows the same.

#include "shell/namespace/IdList.h"

#include <cstdint>
#include <string>

struct TShellItemDetails
{
    // "%sKB" for files whose contents can be read (a regular file or a link to one); empty for
    // folders, virtual items and everything else. The split batch takes exactly the items
    // with a size text.
    std::string sizeText;
    // "Folder", "HTML document", "System Folder", ...
    std::string typeText;
    // The last change, in the locale's short date and time; empty when not known.
    std::string modifiedText;
};

// The icon an item is shown with. Files carry the names of the icon of their type, from the
// icon theme's naming; the controls turn the kind into an icon.
enum class TShellIconKind
{
    Document, // a file of no known type, and whatever cannot be looked at
    Desktop,
    Computer,
    Home,
    Drive,
    RemovableDrive,
    Folder,
    OpenFolder,
    FileType
};

struct TShellIconInfo
{
    TShellIconKind kind = TShellIconKind::Document;
    // For FileType: the type's name (one icon per type), its icon and its generic icon.
    std::string typeName;
    std::string iconName;
    std::string genericIconName;
};

// The icon of the item at an absolute id list (null is the desktop); open asks for the icon of
// an open folder.
TShellIconInfo ShellGetIconInfo(PCIdList absolute, bool open);

// The type text of a file-system item by its name, as the file manager shows it.
std::string ShellTypeNameOf(bool folder, std::string_view fileName);
// The type text of the item at an absolute id list; "System Folder" for virtual items.
std::string ShellGetTypeName(PCIdList absolute);
