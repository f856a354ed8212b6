#pragma once

// The shell namespace as the browsing controls see it: folders that enumerate their items,
// report attributes and names, compare, bind to subfolders, parse paths and rename. The
// portable implementation (FileSystemFolder, VirtualFolders) puts the file system behind it; a
// Windows build can put IShellFolder behind the same classes.

#include "shell/namespace/IdList.h"
#include "shell/namespace/ShellItemInfo.h"
#include "shell/namespace/ShellResult.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

// Item attributes.
namespace sfgao {
constexpr std::uint32_t CanCopy = 0x1;
constexpr std::uint32_t CanMove = 0x2;
constexpr std::uint32_t CanLink = 0x4;
constexpr std::uint32_t CanRename = 0x10;
constexpr std::uint32_t CanDelete = 0x20;
constexpr std::uint32_t Link = 0x10000;
constexpr std::uint32_t Share = 0x20000;
constexpr std::uint32_t ReadOnly = 0x40000;
constexpr std::uint32_t Ghosted = 0x80000;
constexpr std::uint32_t Validate = 0x01000000;
constexpr std::uint32_t Removable = 0x02000000;
constexpr std::uint32_t FileSysAncestor = 0x10000000;
constexpr std::uint32_t Folder = 0x20000000;
constexpr std::uint32_t FileSystem = 0x40000000;
constexpr std::uint32_t HasSubfolder = 0x80000000;
} // namespace sfgao

// Enumeration flags.
namespace shcontf {
constexpr std::uint32_t Folders = 0x20;
constexpr std::uint32_t NonFolders = 0x40;
constexpr std::uint32_t IncludeHidden = 0x80;
} // namespace shcontf

// Display-name flags.
namespace shgdn {
constexpr std::uint32_t Normal = 0;
constexpr std::uint32_t InFolder = 0x1;
constexpr std::uint32_t ForEditing = 0x1000;
constexpr std::uint32_t ForAddressBar = 0x4000;
constexpr std::uint32_t ForParsing = 0x8000;
} // namespace shgdn

enum TPTFriendlyNameFlags
{
    ptfnNormal,
    ptfnInFolder,
    ptfnForParsing,
    ptfnForEditing
};
std::uint32_t FriendlyNameFlagsToShgdn(TPTFriendlyNameFlags flags);

// Special folders; the values are the Windows CSIDL numbers.
enum TCSIDL
{
    csidlDesktop,
    csidl_None1,
    csidlPrograms,
    csidlControls,
    csidlPrinters,
    csidlPersonal,
    csidlFavorites,
    csidlStartup,
    csidlRecent,
    csidlSendTo,
    csidlBitBucket,
    csidlStartMenu,
    csidl_None2,
    csidl_None3,
    csidl_None4,
    csidl_None5,
    csidlDesktopDirectory,
    csidlDrives,
    csidlNetwork,
    csidlNethood,
    csidlFonts,
    csidlTemplates,
    csidlCommonStartMenu,
    csidlCommonPrograms,
    csidlCommonStartup,
    csidlCommonDesktopDirectory,
    csidlAppData,
    csidlPrintHood,
    csidlLocalAppData,
    csidlAltStartup,
    csidlCommonAltStartup,
    csidlCommonFavorites,
    csidlInternetCache,
    csidlCookies,
    csidlHistory,
    csidlCommonAppData,
    csidlWindows,
    csidlSystem,
    csidlProgramFiles,
    csidlMyPictures,
    csidlProfile,
    csidlSystemX86,
    csidlProgramFilesX86,
    csidlProgramFilesCommon,
    csidlProgramFilesCommonX86,
    csidlCommonTemplates,
    csidlCommonDocuments,
    csidlCommonAdminTools,
    csidlAdminTools,
    csidlConnections,
    csidlNone
};

// One column of a folder's details: the caption (no item) or an item's text.
struct TShellDetailsInfo
{
    enum Format
    {
        fmtLeft = 0,
        fmtRight = 1,
        fmtCenter = 2
    };
    std::string text;
    Format format = fmtLeft;
    int charWidth = 0;
};

class TShellEnumIdList
{
public:
    virtual ~TShellEnumIdList() = default;
    // kSOk with one relative id list, kSFalse at the end.
    virtual HResult Next(IdListPtr& item) = 0;
};

class TShellDetails
{
public:
    virtual ~TShellDetails() = default;
    // A null item asks for the column's caption; fails past the last column.
    virtual HResult GetDetailsOf(PCIdList item, int column, TShellDetailsInfo& info) = 0;
};

class TShellFolder
{
public:
    virtual ~TShellFolder() = default;

    virtual HResult EnumObjects(std::uint32_t flags, std::unique_ptr<TShellEnumIdList>& result) = 0;
    // Binds to the folder named by a relative id list (one or more items).
    virtual HResult BindToObject(PCIdList relative, std::shared_ptr<TShellFolder>& result) = 0;
    // Order of two relative id lists by a column, in the low 16 bits of a success code.
    virtual HResult CompareIDs(int column, PCIdList a, PCIdList b) = 0;
    // In: the attributes asked for; out: those that all items have.
    virtual HResult GetAttributesOf(std::span<const PCIdList> items, std::uint32_t& attributes) = 0;
    // A null or empty item names the folder itself.
    virtual HResult GetDisplayNameOf(PCIdList item, std::uint32_t flags, std::string& name) = 0;
    virtual HResult ParseDisplayName(const std::string& name, IdListPtr& result) = 0;
    virtual HResult SetNameOf(PCIdList item, const std::string& newName, std::uint32_t flags,
                              IdListPtr* newItem) = 0;
    // The column texts of the folder, or none.
    virtual std::shared_ptr<TShellDetails> GetDetails() { return nullptr; }
    // Size, type and modified texts of an item (a relative id list of one or more items). The
    // default knows only the type, from the item's attributes and name.
    virtual HResult GetItemDetails(PCIdList item, TShellItemDetails& details);

    // Sorts relative id lists in CompareIDs order; folders may do it faster than pair by pair.
    virtual void SortIdLists(int column, std::vector<PCIdList>& items);

    // The folder's own absolute id list and file-system path (empty for a virtual folder).
    virtual PCIdList AbsoluteIdList() const = 0;
    virtual std::string FileSystemPath() const = 0;
};

using TShellFolderPtr = std::shared_ptr<TShellFolder>;

TShellFolderPtr ShellGetDesktopFolder();
HResult ShellGetFolderFromIdList(PCIdList idList, TShellFolderPtr& folder);
HResult ShellGetIdListFromPath(const std::string& path, IdListPtr& idList);
std::string ShellGetPathFromIdList(PCIdList idList);
HResult ShellGetSpecialFolderIdList(TCSIDL csidl, IdListPtr& idList);
std::string ShellGetSpecialFolderPath(TCSIDL csidl);
TCSIDL ShellFindCSIDLFromIdList(PCIdList idList);
bool ShellCSIDLEqualsIdList(PCIdList idList, TCSIDL csidl);
std::string ShellGetFriendlyNameFromIdList(TShellFolder* folder, PCIdList relative,
                                           TPTFriendlyNameFlags flags);
std::string ShellGetFriendlyNameForLastIdListElement(PCIdList absolute);
// The friendly name of a folder; one gone with the folder above it is named from its path.
std::string ShellGetFolderName(PCIdList absolute);
// The nearest folder above one that is there (the desktop at the latest); null when none is.
IdListPtr ShellGetNearestFolderAbove(PCIdList absolute);
// Splits an absolute id list into its parent's id list and its last item.
void ShellSplitIdList(PCIdList absolute, IdListPtr& parent, IdListPtr& last);

// Drive information: dropped on demand so that the next look at Computer sees new volumes.
void FlushDriveInfoCache();
void LockFlushDriveInfoCache();
void UnlockFlushDriveInfoCache();
