// The virtual folders: the desktop (the Desktop directory's entries, then Home and Computer)
// and Computer (one item per volume).

#include "shell/namespace/VirtualFolders.h"

#include "shell/namespace/FileSystemFolder.h"
#include "shell/namespace/FolderSupport.h"
#include "shell/namespace/ItemTags.h"
#include "shell/namespace/ShellStrings.h"
#include "shell/namespace/Volumes.h"

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace portable {

namespace {

using itemtag::kComputer;
using itemtag::kHome;

// --- Computer: one item per volume

class ComputerFolder : public TShellFolder
{
public:
    ComputerFolder() : m_absolute(MakeSingleIdList(kComputer)) {}

    PCIdList AbsoluteIdList() const override { return m_absolute.get(); }
    std::string FileSystemPath() const override { return {}; }

    HResult EnumObjects(std::uint32_t flags, std::unique_ptr<TShellEnumIdList>& result) override
    {
        std::vector<IdListPtr> items;
        if (flags & shcontf::Folders) {
            for (const Volume& volume : Volumes())
                items.push_back(MakeSingleIdList(itemtag::Volume(volume.root)));
        }
        result = std::make_unique<ListEnum>(std::move(items));
        return kSOk;
    }

    static const Volume* VolumeOf(PCIdList item)
    {
        std::string_view data = IdListItemData(item);
        if (!itemtag::IsVolume(data))
            return nullptr;
        return FindVolume(itemtag::VolumeRoot(data));
    }

    HResult BindToObject(PCIdList relative, TShellFolderPtr& result) override
    {
        const Volume* volume = VolumeOf(relative);
        if (!volume)
            return kEFileNotFound;
        IdListPtr first = MakeSingleIdList(IdListItemData(relative));
        TShellFolderPtr child;
        HResult hr =
            FolderFromPath(volume->root, ConcatIdListPtr(m_absolute.get(), first.get()), child);
        if (Failed(hr))
            return hr;
        if (PCIdList rest = IdListNext(relative))
            return child->BindToObject(rest, result);
        result = std::move(child);
        return kSOk;
    }

    static int Rank(PCIdList item)
    {
        std::string_view data = IdListItemData(item);
        const std::vector<Volume>& volumes = Volumes();
        for (std::size_t i = 0; i < volumes.size(); ++i) {
            if (itemtag::IsVolume(data) && itemtag::VolumeRoot(data) == volumes[i].root)
                return static_cast<int>(i);
        }
        return INT_MAX;
    }

    HResult CompareIDs(int column, PCIdList a, PCIdList b) override
    {
        std::string_view dataA = IdListItemData(a);
        std::string_view dataB = IdListItemData(b);
        if (dataA == dataB)
            return CompareRest(*this, column, a, b);
        int rankA = Rank(a);
        int rankB = Rank(b);
        if (rankA != rankB)
            return MakeCompareResult(rankA < rankB ? -1 : 1);
        return MakeCompareResult(CompareBytes(dataA, dataB));
    }

    HResult GetAttributesOf(std::span<const PCIdList> items, std::uint32_t& attributes) override
    {
        std::uint32_t asked = attributes;
        if (items.empty() && (asked & sfgao::Validate))
            FlushDriveInfoCache();
        std::uint32_t common = ~0u;
        for (PCIdList item : items) {
            const Volume* volume = VolumeOf(item);
            if (!volume)
                return kEFileNotFound;
            if (IdListNext(item)) {
                std::uint32_t inner = asked;
                HResult hr = AttributesBelow(*this, item, inner);
                if (Failed(hr))
                    return hr;
                common &= inner;
                continue;
            }
            std::uint32_t a = sfgao::FileSystem | sfgao::Folder | sfgao::FileSysAncestor |
                              sfgao::HasSubfolder | sfgao::CanLink;
            if (volume->removable)
                a |= sfgao::Removable;
            if (::access(volume->root.c_str(), W_OK) != 0)
                a |= sfgao::ReadOnly;
            common &= a;
        }
        attributes = asked & common & ~sfgao::Validate;
        return kSOk;
    }

    HResult GetDisplayNameOf(PCIdList item, std::uint32_t flags, std::string& name) override
    {
        if (!item || IdListLen(item) <= 2) {
            name = (flags & shgdn::ForParsing) && !(flags & shgdn::InFolder) ? "::Computer"
                                                                             : "Computer";
            return kSOk;
        }
        if (IdListNext(item))
            return DisplayNameBelow(*this, item, flags, name);
        const Volume* volume = VolumeOf(item);
        if (!volume)
            return kEFileNotFound;
        name = (flags & shgdn::ForParsing) ? volume->root : volume->name;
        return kSOk;
    }

    HResult ParseDisplayName(const std::string& name, IdListPtr& result) override
    {
        if (!FindVolume(name))
            return kEFileNotFound;
        result = MakeSingleIdList(itemtag::Volume(name));
        return kSOk;
    }

    HResult SetNameOf(PCIdList, const std::string&, std::uint32_t, IdListPtr*) override
    {
        return kEAccessDenied;
    }

    // A volume is a folder with no size or date of its own.
    HResult GetItemDetails(PCIdList item, TShellItemDetails& details) override
    {
        details = TShellItemDetails();
        if (!VolumeOf(item))
            return kEFileNotFound;
        if (IdListNext(item))
            return DetailsBelow(*this, item, details);
        details.typeText = ShellTypeNameOf(true, {});
        return kSOk;
    }

private:
    IdListPtr m_absolute;
};

// --- The desktop: the Desktop directory's entries, then Home and Computer

class DesktopFolder : public TShellFolder
{
public:
    PCIdList AbsoluteIdList() const override { return m_absolute.get(); }
    std::string FileSystemPath() const override { return DesktopDirectory(); }

    // The Desktop directory as a folder whose items are the desktop's file items.
    std::shared_ptr<FileSystemFolder> DirectoryFolder()
    {
        std::string path = DesktopDirectory();
        if (path.empty())
            return nullptr;
        if (!m_directory || m_directory->FileSystemPath() != path)
            m_directory = std::make_shared<FileSystemFolder>(path, MakeIdList({}));
        return m_directory;
    }

    static int Rank(std::string_view data)
    {
        if (data == kHome)
            return 0;
        if (data == kComputer)
            return 1;
        return 2;
    }

    HResult EnumObjects(std::uint32_t flags, std::unique_ptr<TShellEnumIdList>& result) override
    {
        std::vector<IdListPtr> items;
        if (auto directory = DirectoryFolder()) {
            std::unique_ptr<TShellEnumIdList> inner;
            if (Succeeded(directory->EnumObjects(flags, inner))) {
                IdListPtr item;
                while (inner->Next(item) == kSOk)
                    items.push_back(std::move(item));
            }
        }
        if (flags & shcontf::Folders) {
            items.push_back(MakeSingleIdList(kHome));
            items.push_back(MakeSingleIdList(kComputer));
        }
        result = std::make_unique<ListEnum>(std::move(items));
        return kSOk;
    }

    HResult BindToObject(PCIdList relative, TShellFolderPtr& result) override
    {
        std::string_view data = IdListItemData(relative);
        if (data.empty())
            return kEInvalidArg;
        TShellFolderPtr child;
        PCIdList rest = IdListNext(relative);
        if (data == kHome) {
            HResult hr = FolderFromPath(HomeDirectory(), MakeSingleIdList(kHome), child);
            if (Failed(hr))
                return hr;
        } else if (data == kComputer) {
            child = std::make_shared<ComputerFolder>();
        } else {
            auto directory = DirectoryFolder();
            if (!directory || data[0] == 0)
                return kEFileNotFound;
            HResult hr = FolderFromPath(JoinPath(directory->FileSystemPath(), data),
                                        MakeSingleIdList(data), child);
            if (Failed(hr))
                return hr;
        }
        if (rest)
            return child->BindToObject(rest, result);
        result = std::move(child);
        return kSOk;
    }

    HResult CompareIDs(int column, PCIdList a, PCIdList b) override
    {
        std::string_view dataA = IdListItemData(a);
        std::string_view dataB = IdListItemData(b);
        if (dataA == dataB)
            return CompareRest(*this, column, a, b);
        int rankA = Rank(dataA);
        int rankB = Rank(dataB);
        if (rankA != rankB)
            return MakeCompareResult(rankA < rankB ? -1 : 1);
        if (auto directory = DirectoryFolder()) {
            IdListPtr firstA = MakeSingleIdList(dataA);
            IdListPtr firstB = MakeSingleIdList(dataB);
            return directory->CompareIDs(column, firstA.get(), firstB.get());
        }
        return MakeCompareResult(CompareBytes(dataA, dataB));
    }

    HResult GetAttributesOf(std::span<const PCIdList> items, std::uint32_t& attributes) override
    {
        std::uint32_t asked = attributes;
        std::uint32_t common = ~0u;
        for (PCIdList item : items) {
            std::string_view data = IdListItemData(item);
            std::uint32_t a = 0;
            if (IdListNext(item) || (!data.empty() && data[0] != 0)) {
                if (data == kComputer || data == kHome) {
                    a = asked;
                    HResult hr = AttributesBelow(*this, item, a);
                    if (Failed(hr))
                        return hr;
                } else {
                    auto directory = DirectoryFolder();
                    if (!directory)
                        return kEFileNotFound;
                    a = asked;
                    HResult hr = directory->GetAttributesOf(std::span<const PCIdList>(&item, 1), a);
                    if (Failed(hr))
                        return hr;
                }
            } else if (data == kHome) {
                a = sfgao::FileSystem | sfgao::Folder | sfgao::FileSysAncestor |
                    sfgao::HasSubfolder | sfgao::CanLink | sfgao::CanCopy;
            } else if (data == kComputer) {
                a = sfgao::Folder | sfgao::FileSysAncestor | sfgao::HasSubfolder | sfgao::CanLink;
            } else {
                return kEFileNotFound;
            }
            common &= a;
        }
        attributes = asked & common & ~sfgao::Validate;
        return kSOk;
    }

    HResult GetDisplayNameOf(PCIdList item, std::uint32_t flags, std::string& name) override
    {
        bool parsing = (flags & shgdn::ForParsing) && !(flags & shgdn::InFolder);
        if (!item || IdListLen(item) <= 2) {
            name = parsing ? DesktopDirectory() : "Desktop";
            if (name.empty())
                name = "Desktop";
            return kSOk;
        }
        std::string_view data = IdListItemData(item);
        if (IdListNext(item))
            return DisplayNameBelow(*this, item, flags, name);
        if (data == kHome) {
            name = (flags & shgdn::ForParsing) ? HomeDirectory() : "Home";
            return kSOk;
        }
        if (data == kComputer) {
            name = parsing ? "::Computer" : "Computer";
            return kSOk;
        }
        auto directory = DirectoryFolder();
        if (!directory)
            return kEFileNotFound;
        return directory->GetDisplayNameOf(item, flags, name);
    }

    HResult ParseDisplayName(const std::string& name, IdListPtr& result) override
    {
        if (name == "::Computer") {
            result = MakeSingleIdList(kComputer);
            return kSOk;
        }
        if (name.empty() || name[0] != '/')
            return kEInvalidArg;
        std::string path = CleanPath(name);
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0)
            return HResultFromErrno(errno);
        // The volume is the deepest mount point shown in Computer that holds the path.
        const Volume* best = nullptr;
        for (const Volume& volume : Volumes()) {
            bool inside =
                volume.root == "/" || path == volume.root || StartsWith(path, volume.root + "/");
            if (inside && (!best || volume.root.size() > best->root.size()))
                best = &volume;
        }
        if (!best)
            return kEFileNotFound;
        std::string tag = itemtag::Volume(best->root);
        std::vector<std::string_view> parts{kComputer, tag};
        std::string_view rest = std::string_view(path).substr(best->root.size());
        while (!rest.empty()) {
            std::size_t slash = rest.find('/');
            std::string_view part = rest.substr(0, slash);
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
            if (!part.empty())
                parts.push_back(part);
        }
        result = MakeIdList(parts);
        return kSOk;
    }

    HResult SetNameOf(PCIdList item, const std::string& newName, std::uint32_t flags,
                      IdListPtr* newItem) override
    {
        std::string_view data = IdListItemData(item);
        if (data.empty() || data[0] == 0 || IdListNext(item))
            return kEAccessDenied;
        auto directory = DirectoryFolder();
        if (!directory)
            return kEFileNotFound;
        return directory->SetNameOf(item, newName, flags, newItem);
    }

    HResult GetItemDetails(PCIdList item, TShellItemDetails& details) override
    {
        details = TShellItemDetails();
        std::string_view data = IdListItemData(item);
        if (data.empty())
            return kEInvalidArg;
        if (data == kComputer || data == kHome) {
            if (IdListNext(item))
                return DetailsBelow(*this, item, details);
            if (data == kHome)
                return DetailsOfPath(HomeDirectory(), details);
            details.typeText = PTLoadStr(TPTResString::SSystemFolder).toStdString();
            return kSOk;
        }
        auto directory = DirectoryFolder();
        if (!directory || !itemtag::IsFileName(data))
            return kEFileNotFound;
        return directory->GetItemDetails(item, details);
    }

private:
    IdListPtr m_absolute = MakeIdList({});
    std::shared_ptr<FileSystemFolder> m_directory;
};
} // namespace

TShellFolderPtr NewDesktopFolder()
{
    return std::make_shared<DesktopFolder>();
}

} // namespace portable
