// The namespace from its root: the desktop folder, id lists from and to paths, special folders
// and display names.

#include "shell/namespace/ShellNamespace.h"

#include "shell/namespace/FolderSupport.h"
#include "shell/namespace/ItemTags.h"
#include "shell/namespace/NameBytes.h"
#include "shell/namespace/VirtualFolders.h"

#include <QStandardPaths>
#include <algorithm>

using namespace portable;
using itemtag::kComputer;
using itemtag::kHome;

void TShellFolder::SortIdLists(int column, std::vector<PCIdList>& items)
{
    std::stable_sort(items.begin(), items.end(), [this, column](PCIdList a, PCIdList b) {
        HResult hr = CompareIDs(column, a, b);
        return Succeeded(hr) && CompareResultCode(hr) < 0;
    });
}

std::uint32_t FriendlyNameFlagsToShgdn(TPTFriendlyNameFlags flags)
{
    switch (flags) {
    case ptfnNormal:
        return shgdn::Normal;
    case ptfnInFolder:
        return shgdn::InFolder;
    case ptfnForParsing:
        return shgdn::ForParsing;
    case ptfnForEditing:
        return shgdn::ForEditing | shgdn::InFolder;
    }
    return shgdn::Normal;
}

TShellFolderPtr ShellGetDesktopFolder()
{
    static TShellFolderPtr desktop = NewDesktopFolder();
    return desktop;
}

HResult ShellGetFolderFromIdList(PCIdList idList, TShellFolderPtr& folder)
{
    if (!idList || IdListLen(idList) <= 2) {
        folder = ShellGetDesktopFolder();
        return kSOk;
    }
    return ShellGetDesktopFolder()->BindToObject(idList, folder);
}

HResult ShellGetIdListFromPath(const std::string& path, IdListPtr& idList)
{
    return ShellGetDesktopFolder()->ParseDisplayName(path, idList);
}

std::string ShellGetPathFromIdList(PCIdList idList)
{
    if (!idList || IdListLen(idList) <= 2)
        return DesktopDirectory();
    std::string_view first = IdListItemData(idList);
    PCIdList rest = IdListNext(idList);
    std::string path;
    if (first == kHome) {
        path = HomeDirectory();
    } else if (first == kComputer) {
        if (!rest)
            return {};
        std::string_view volume = IdListItemData(rest);
        if (!itemtag::IsVolume(volume))
            return {};
        path = std::string(itemtag::VolumeRoot(volume));
        rest = IdListNext(rest);
    } else if (itemtag::IsFileName(first)) {
        std::string desktop = DesktopDirectory();
        if (desktop.empty())
            return {};
        path = JoinPath(desktop, first);
    } else {
        return {};
    }
    for (; rest; rest = IdListNext(rest)) {
        std::string_view part = IdListItemData(rest);
        if (!itemtag::IsFileName(part))
            return {};
        path = JoinPath(path, part);
    }
    return path;
}

namespace {
std::string SpecialFolderLocation(TCSIDL csidl)
{
    auto location = [](QStandardPaths::StandardLocation which) {
        return PathBytes(QStandardPaths::writableLocation(which));
    };
    std::string home = HomeDirectory();
    switch (csidl) {
    case csidlDesktopDirectory:
        return DesktopDirectory();
    case csidlProfile:
        return home;
    case csidlAppData:
        return location(QStandardPaths::GenericConfigLocation);
    case csidlLocalAppData:
        return location(QStandardPaths::GenericDataLocation);
    case csidlInternetCache:
        return location(QStandardPaths::GenericCacheLocation);
    case csidlMyPictures:
        return location(QStandardPaths::PicturesLocation);
    case csidlFonts:
        return location(QStandardPaths::FontsLocation);
    case csidlPrograms:
    case csidlStartMenu:
        return location(QStandardPaths::ApplicationsLocation);
    case csidlStartup:
        return JoinPath(location(QStandardPaths::GenericConfigLocation), "autostart");
    case csidlTemplates:
        return JoinPath(home, "Templates");
    case csidlSendTo:
        return JoinPath(location(QStandardPaths::GenericDataLocation), "Quirefold/SendTo");
    default:
        return {};
    }
}
} // namespace

HResult ShellGetSpecialFolderIdList(TCSIDL csidl, IdListPtr& idList)
{
    switch (csidl) {
    case csidlDesktop:
        idList = MakeIdList({});
        return kSOk;
    case csidlDrives:
        idList = MakeSingleIdList(kComputer);
        return kSOk;
    case csidlPersonal:
        idList = MakeSingleIdList(kHome);
        return kSOk;
    default:
        break;
    }
    std::string path = SpecialFolderLocation(csidl);
    if (path.empty() || !IsDirectory(path))
        return kEFileNotFound;
    return ShellGetIdListFromPath(path, idList);
}

std::string ShellGetSpecialFolderPath(TCSIDL csidl)
{
    IdListPtr idList;
    if (Failed(ShellGetSpecialFolderIdList(csidl, idList)))
        return {};
    return ShellGetPathFromIdList(idList.get());
}

TCSIDL ShellFindCSIDLFromIdList(PCIdList idList)
{
    for (int value = csidlDesktop; value < csidlNone; ++value) {
        if (ShellCSIDLEqualsIdList(idList, static_cast<TCSIDL>(value)))
            return static_cast<TCSIDL>(value);
    }
    return csidlNone;
}

bool ShellCSIDLEqualsIdList(PCIdList idList, TCSIDL csidl)
{
    IdListPtr special;
    if (Failed(ShellGetSpecialFolderIdList(csidl, special)))
        return false;
    IdListPtr empty = MakeIdList({});
    return CompareAbsIdLists(special.get(), idList ? idList : empty.get()) == 0;
}

std::string ShellGetFriendlyNameFromIdList(TShellFolder* folder, PCIdList relative,
                                           TPTFriendlyNameFlags flags)
{
    TShellFolderPtr desktop;
    if (!folder) {
        desktop = ShellGetDesktopFolder();
        folder = desktop.get();
    }
    std::string name;
    if (Failed(folder->GetDisplayNameOf(relative, FriendlyNameFlagsToShgdn(flags), name)))
        return {};
    return name;
}

void ShellSplitIdList(PCIdList absolute, IdListPtr& parent, IdListPtr& last)
{
    TPTIdListArray array(absolute);
    int count = array.GetCount();
    if (count == 0) {
        parent = MakeIdList({});
        last = MakeIdList({});
        return;
    }
    last = CopyIdListPtr(array.GetItem(count - 1));
    parent = CopyIdListPtr(array.GoUp(1));
}

std::string ShellGetFriendlyNameForLastIdListElement(PCIdList absolute)
{
    if (IdListCount(absolute) <= 1)
        return ShellGetFriendlyNameFromIdList(nullptr, absolute, ptfnInFolder);
    IdListPtr parent;
    IdListPtr last;
    ShellSplitIdList(absolute, parent, last);
    TShellFolderPtr folder;
    if (Failed(ShellGetFolderFromIdList(parent.get(), folder)))
        return {};
    return ShellGetFriendlyNameFromIdList(folder.get(), last.get(), ptfnInFolder);
}

std::string ShellGetFolderName(PCIdList absolute)
{
    std::string name = ShellGetFriendlyNameForLastIdListElement(absolute);
    if (!name.empty())
        return name;
    std::string path = ShellGetPathFromIdList(absolute);
    std::size_t end = path.find_last_not_of('/');
    if (end == std::string::npos)
        return name;
    std::size_t slash = path.find_last_of('/', end);
    std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(start, end + 1 - start);
}

IdListPtr ShellGetNearestFolderAbove(PCIdList absolute)
{
    TPTIdListArray path(absolute);
    TShellFolderPtr folder;
    for (int levels = 1; levels <= path.GetCount(); ++levels) {
        IdListPtr candidate = CopyIdListPtr(path.GoUp(levels));
        if (Succeeded(ShellGetFolderFromIdList(candidate.get(), folder)))
            return candidate;
    }
    return nullptr;
}
