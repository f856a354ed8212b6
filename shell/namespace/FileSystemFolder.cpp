#include "shell/namespace/FileSystemFolder.h"

#include "shell/namespace/FileOperation.h"
#include "shell/namespace/FolderSupport.h"
#include "shell/namespace/ItemTags.h"
#include "shell/namespace/ShellNames.h"
#include "shell/namespace/ShellStrings.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace portable {

namespace {

class FileSystemDetails : public TShellDetails
{
public:
    // The details keep their folder alive: a list may hold them past the folder's last use.
    explicit FileSystemDetails(std::shared_ptr<FileSystemFolder> folder)
        : m_folder(std::move(folder))
    {
    }
    HResult GetDetailsOf(PCIdList item, int column, TShellDetailsInfo& info) override;

private:
    std::shared_ptr<FileSystemFolder> m_folder;
};

} // namespace

Kind KindAt(int dirFd, const char* name)
{
    struct stat st;
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return kindMissing;
    if (!S_ISLNK(st.st_mode))
        return S_ISDIR(st.st_mode) ? kindDir : kindFile;
    if (::fstatat(dirFd, name, &st, 0) != 0)
        return kindLinkBroken;
    return S_ISDIR(st.st_mode) ? kindLinkDir : kindLinkFile;
}

Kind KindOfPath(const std::string& path)
{
    return KindAt(AT_FDCWD, path.c_str());
}

FileSystemFolder::FileSystemFolder(std::string path, IdListPtr absolute)
    : m_path(std::move(path)), m_absolute(std::move(absolute))
{
}

HResult FileSystemFolder::EnumObjects(std::uint32_t flags,
                                      std::unique_ptr<TShellEnumIdList>& result)
{
    DIR* dir = ::opendir(m_path.c_str());
    if (!dir)
        return HResultFromErrno(errno);
    int dirFd = ::dirfd(dir);
    m_kinds.Clear();
    std::vector<IdListPtr> items;
    std::vector<std::uint8_t> kinds;
    std::size_t nameBytes = 0;
    items.reserve(500);
    kinds.reserve(500);
    bool hidden = flags & shcontf::IncludeHidden;
    bool folders = flags & shcontf::Folders;
    bool nonFolders = flags & shcontf::NonFolders;
    while (dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        if (name[0] == '.' && !hidden)
            continue;
        Kind kind;
        switch (entry->d_type) {
        case DT_DIR:
            kind = kindDir;
            break;
        case DT_REG:
        case DT_FIFO:
        case DT_CHR:
        case DT_BLK:
        case DT_SOCK:
            kind = kindFile;
            break;
        default:
            kind = KindAt(dirFd, name);
            break;
        }
        if (kind == kindMissing)
            continue;
        if (IsFolderKind(kind) ? !folders : !nonFolders)
            continue;
        std::string_view data(name);
        items.push_back(MakeSingleIdList(data));
        kinds.push_back(kind);
        nameBytes += data.size();
    }
    ::closedir(dir);
    // Known only now, the count sizes the table once instead of growing it step by step.
    m_kinds.Reserve(items.size(), nameBytes);
    for (std::size_t i = 0; i < items.size(); ++i)
        m_kinds.Set(IdListItemData(items[i].get()), kinds[i]);
    result = std::make_unique<ListEnum>(std::move(items));
    return kSOk;
}

HResult FileSystemFolder::BindToObject(PCIdList relative, TShellFolderPtr& result)
{
    std::string_view name = IdListItemData(relative);
    if (name.empty() || name.find('/') != std::string_view::npos || name[0] == 0)
        return kEInvalidArg;
    std::string path = JoinPath(m_path, name);
    IdListPtr first = MakeSingleIdList(name);
    TShellFolderPtr child;
    HResult hr = FolderFromPath(path, ConcatIdListPtr(m_absolute.get(), first.get()), child);
    if (Failed(hr))
        return hr;
    if (PCIdList rest = IdListNext(relative))
        return child->BindToObject(rest, result);
    result = std::move(child);
    return kSOk;
}

Kind FileSystemFolder::KindOf(std::string_view name, bool fresh)
{
    if (!fresh) {
        if (std::optional<std::uint8_t> known = m_kinds.Find(name))
            return static_cast<Kind>(*known);
    }
    Kind kind = KindOfPath(JoinPath(m_path, name));
    if (kind == kindMissing)
        m_kinds.Erase(name);
    else
        m_kinds.Set(name, kind);
    return kind;
}

HResult FileSystemFolder::CompareIDs(int column, PCIdList a, PCIdList b)
{
    std::string_view nameA = IdListItemData(a);
    std::string_view nameB = IdListItemData(b);
    if (nameA == nameB)
        return CompareRest(*this, column, a, b);
    bool folderA = IsFolderKind(KindOf(nameA, false));
    bool folderB = IsFolderKind(KindOf(nameB, false));
    if (folderA != folderB)
        return MakeCompareResult(folderA ? -1 : 1);
    int order = 0;
    if (column == 1 || column == 3) {
        struct stat stA
        {
        }, stB{};
        ::stat(JoinPath(m_path, nameA).c_str(), &stA);
        ::stat(JoinPath(m_path, nameB).c_str(), &stB);
        if (column == 1 && !folderA)
            order = stA.st_size < stB.st_size ? -1 : (stA.st_size > stB.st_size ? 1 : 0);
        else if (column == 3)
            order = stA.st_mtime < stB.st_mtime ? -1 : (stA.st_mtime > stB.st_mtime ? 1 : 0);
    } else if (column == 2 && !folderA) {
        order = CompareNamesNatural(ShellTypeNameOf(false, nameA), ShellTypeNameOf(false, nameB));
    }
    if (order == 0)
        order = CompareNamesNatural(nameA, nameB);
    if (order == 0)
        order = CompareBytes(nameA, nameB);
    return MakeCompareResult(order);
}

void FileSystemFolder::SortIdLists(int column, std::vector<PCIdList>& items)
{
    bool singleItems = std::none_of(items.begin(), items.end(),
                                    [](PCIdList item) { return IdListNext(item) != nullptr; });
    if (!singleItems) {
        TShellFolder::SortIdLists(column, items);
        return;
    }
    // Each item's keys are worked out once, in the order CompareIDs uses them, rather than
    // twice per comparison.
    struct Key
    {
        PCIdList idList;
        std::string_view name;
        std::string folded;
        bool folder;
        std::int64_t value = 0; // size or time
        std::string type;       // folded type text
    };
    std::vector<Key> keys;
    keys.reserve(items.size());
    for (PCIdList item : items) {
        std::string_view name = IdListItemData(item);
        Key key{item, name, FoldForCompare(name), IsFolderKind(KindOf(name, false)), 0, {}};
        if (column == 1 || column == 3) {
            struct stat st
            {
            };
            ::stat(JoinPath(m_path, name).c_str(), &st);
            key.value = column == 1 ? static_cast<std::int64_t>(st.st_size)
                                    : static_cast<std::int64_t>(st.st_mtime);
        } else if (column == 2 && !key.folder) {
            key.type = FoldForCompare(ShellTypeNameOf(false, name));
        }
        keys.push_back(std::move(key));
    }
    std::sort(keys.begin(), keys.end(), [column](const Key& a, const Key& b) {
        if (a.folder != b.folder)
            return a.folder;
        int order = 0;
        if ((column == 1 && !a.folder) || column == 3)
            order = a.value < b.value ? -1 : (a.value > b.value ? 1 : 0);
        else if (column == 2 && !a.folder)
            order = CompareFoldedNatural(a.type, b.type);
        if (order == 0)
            order = CompareFoldedNatural(a.folded, b.folded);
        if (order == 0)
            order = CompareBytes(a.name, b.name);
        return order < 0;
    });
    for (std::size_t i = 0; i < keys.size(); ++i)
        items[i] = keys[i].idList;
}

HResult FileSystemFolder::GetAttributesOf(std::span<const PCIdList> items,
                                          std::uint32_t& attributes)
{
    std::uint32_t asked = attributes;
    std::uint32_t common = ~0u;
    bool fresh = asked & sfgao::Validate;
    for (PCIdList item : items) {
        if (IdListNext(item)) {
            std::uint32_t inner = asked;
            HResult hr = AttributesBelow(*this, item, inner);
            if (Failed(hr))
                return hr;
            common &= inner;
            continue;
        }
        std::string_view name = IdListItemData(item);
        Kind kind = KindOf(name, fresh);
        if (kind == kindMissing)
            return kEFileNotFound;
        std::uint32_t a = sfgao::FileSystem | sfgao::CanCopy | sfgao::CanLink;
        if (IsFolderKind(kind))
            a |= sfgao::Folder | sfgao::FileSysAncestor;
        if (IsLinkKind(kind))
            a |= sfgao::Link;
        if (!name.empty() && name[0] == '.')
            a |= sfgao::Ghosted;
        if ((asked & (sfgao::CanRename | sfgao::CanDelete | sfgao::CanMove)) &&
            ::access(m_path.c_str(), W_OK) == 0)
            a |= sfgao::CanRename | sfgao::CanDelete | sfgao::CanMove;
        std::string path;
        if (asked & (sfgao::ReadOnly | sfgao::HasSubfolder))
            path = JoinPath(m_path, name);
        if ((asked & sfgao::ReadOnly) && ::access(path.c_str(), W_OK) != 0 && errno == EACCES)
            a |= sfgao::ReadOnly;
        if ((asked & sfgao::HasSubfolder) && IsFolderKind(kind) && HasSubfolder(path))
            a |= sfgao::HasSubfolder;
        common &= a;
    }
    attributes = asked & common & ~sfgao::Validate;
    return kSOk;
}

bool FileSystemFolder::HasSubfolder(const std::string& path)
{
    // Where the file system counts a folder's subfolders in its link count (2 for none), the
    // count answers without reading a folder that may hold tens of thousands of entries; a
    // link to a folder is not a subfolder of it. Elsewhere the link count is 1: read it.
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if (st.st_nlink >= 2)
        return st.st_nlink > 2;
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return false;
    bool found = false;
    while (dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        if (entry->d_type == DT_DIR || ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
                                        IsFolderKind(KindAt(::dirfd(dir), entry->d_name)))) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

HResult FileSystemFolder::GetDisplayNameOf(PCIdList item, std::uint32_t flags, std::string& name)
{
    if (!item || IdListLen(item) <= 2) {
        if ((flags & shgdn::ForParsing) && !(flags & shgdn::InFolder))
            name = m_path;
        else
            name = LastPathPart(m_path);
        if (name.empty())
            name = m_path;
        return kSOk;
    }
    if (IdListNext(item))
        return DisplayNameBelow(*this, item, flags, name);
    std::string_view data = IdListItemData(item);
    if ((flags & shgdn::ForParsing) && !(flags & shgdn::InFolder))
        name = JoinPath(m_path, data);
    else
        name.assign(data);
    return kSOk;
}

HResult FileSystemFolder::ParseDisplayName(const std::string& name, IdListPtr& result)
{
    std::vector<std::string_view> parts;
    std::string_view rest(name);
    std::string path = m_path;
    while (!rest.empty()) {
        std::size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..")
            return kEInvalidArg;
        path = JoinPath(path, part);
        parts.push_back(part);
    }
    if (parts.empty())
        return kEInvalidArg;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return HResultFromErrno(errno);
    result = MakeIdList(parts);
    return kSOk;
}

HResult FileSystemFolder::SetNameOf(PCIdList item, const std::string& newName, std::uint32_t,
                                    IdListPtr* newItem)
{
    std::string_view oldName = IdListItemData(item);
    if (oldName.empty() || IdListNext(item))
        return kEInvalidArg;
    if (newName.empty() || newName == "." || newName == ".." ||
        newName.find('/') != std::string::npos || newName.find('\0') != std::string::npos)
        return kEInvalidArg;
    if (newName == oldName) {
        if (newItem)
            *newItem = MakeSingleIdList(newName);
        return kSOk;
    }
    std::string from = JoinPath(m_path, oldName);
    std::string to = JoinPath(m_path, newName);
    if (fileop::RenameNoReplace(from, to) != 0)
        return HResultFromErrno(errno);
    m_kinds.Erase(oldName);
    if (newItem)
        *newItem = MakeSingleIdList(newName);
    return kSOk;
}

std::shared_ptr<TShellDetails> FileSystemFolder::GetDetails()
{
    return std::make_shared<FileSystemDetails>(shared_from_this());
}

HResult FileSystemDetails::GetDetailsOf(PCIdList item, int column, TShellDetailsInfo& info)
{
    static const char* const captions[] = {"Name", "Size", "Type", "Modified"};
    static const int widths[] = {28, 9, 14, 17};
    if (column < 0 || column > 3)
        return kEInvalidArg;
    info = TShellDetailsInfo();
    info.format = column == 1 ? TShellDetailsInfo::fmtRight : TShellDetailsInfo::fmtLeft;
    info.charWidth = widths[column];
    if (!item) {
        info.text = captions[column];
        return kSOk;
    }
    if (column == 0) {
        info.text = IdListItemData(item);
        return kSOk;
    }
    TShellItemDetails details;
    HResult hr = m_folder->GetItemDetails(item, details);
    if (Failed(hr))
        return hr;
    info.text = column == 1   ? details.sizeText
                : column == 2 ? details.typeText
                              : details.modifiedText;
    return kSOk;
}

HResult FileSystemFolder::GetItemDetails(PCIdList item, TShellItemDetails& details)
{
    details = TShellItemDetails();
    if (IdListNext(item))
        return DetailsBelow(*this, item, details);
    std::string_view name = IdListItemData(item);
    if (!itemtag::IsFileName(name))
        return kEInvalidArg;
    return DetailsOfPath(JoinPath(m_path, name), details);
}

HResult DetailsOfPath(const std::string& path, TShellItemDetails& details)
{
    details = TShellItemDetails();
    struct stat st;
    bool found = ::stat(path.c_str(), &st) == 0;
    // A link whose target is gone has nothing to read but its own date.
    if (!found && ::lstat(path.c_str(), &st) != 0)
        return HResultFromErrno(errno);
    bool folder = found && S_ISDIR(st.st_mode);
    // Only a regular file has contents to read: a FIFO or a device would block whoever reads
    // it, so it gets no size, and the split batch passes it by.
    if (found && S_ISREG(st.st_mode))
        details.sizeText = ShellSizeText(static_cast<std::uint64_t>(st.st_size));
    details.modifiedText = ShellModifiedText(st.st_mtime ? st.st_mtime : st.st_ctime);
    details.typeText = ShellTypeNameOf(folder, LastPathPart(path));
    return kSOk;
}

HResult FolderFromPath(const std::string& path, IdListPtr absolute, TShellFolderPtr& result)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return HResultFromErrno(errno);
    if (!S_ISDIR(st.st_mode))
        return kEPathNotFound;
    result = std::make_shared<FileSystemFolder>(path, std::move(absolute));
    return kSOk;
}

} // namespace portable
