// The portable shell namespace: the desktop and Computer as virtual folders, everything below
// them the file system. Item data is the file name's bytes; virtual items carry a tag that
// starts with a zero byte, which no file name can hold.

#include "shell/namespace/ShellNamespace.h"
#include "shell/namespace/ShellStrings.h"

#include <QChar>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QStorageInfo>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#if defined(__linux__)
#include <sys/syscall.h>
#endif

namespace {

const std::string_view kHomeTag("\0H", 2);
const std::string_view kComputerTag("\0C", 2);
const std::string_view kVolumePrefix("\0V", 2);

std::string FoldForCompare(std::string_view name);
int CompareFoldedNatural(std::string_view a, std::string_view b);

bool IsVolumeTag(std::string_view data)
{
    return data.substr(0, 2) == kVolumePrefix;
}

std::string ToBytes(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}
QString FromBytes(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

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
    return ToBytes(QDir::homePath());
}

bool IsDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The user's Desktop directory, when there is one of its own.
std::string DesktopDirectory()
{
    std::string path = ToBytes(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    if (path.empty() || !IsDirectory(path))
        return {};
    if (ToBytes(QDir(FromBytes(path)).canonicalPath()) ==
        ToBytes(QDir(QDir::homePath()).canonicalPath()))
        return {};
    return path;
}

// --- Volumes shown in Computer

struct Volume
{
    std::string root;
    std::string name;
    bool removable = false;
};

int g_flushLock = 0;
bool g_volumesValid = false;
std::vector<Volume> g_volumes;

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

const std::vector<Volume>& Volumes()
{
    if (g_volumesValid)
        return g_volumes;
    g_volumes.clear();
    std::string homeRoot = ToBytes(QStorageInfo(QDir::homePath()).rootPath());
    Volume rootVolume{"/", "File System", false};
    g_volumes.push_back(rootVolume);
    std::vector<Volume> others;
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
        if (!info.isValid() || !info.isReady())
            continue;
        std::string root = ToBytes(info.rootPath());
        if (root == "/")
            continue;
        bool removable = info.device().startsWith("/dev/") &&
                         (StartsWith(root, "/media/") || StartsWith(root, "/run/media/") ||
                          StartsWith(root, "/mnt/"));
        if (!removable && root != homeRoot)
            continue;
        std::string name = ToBytes(info.name());
        if (name.empty())
            name = ToBytes(QFileInfo(info.rootPath()).fileName());
        if (std::none_of(others.begin(), others.end(),
                         [&](const Volume& v) { return v.root == root; }))
            others.push_back({root, name, removable});
    }
    std::sort(others.begin(), others.end(),
              [](const Volume& a, const Volume& b) { return a.root < b.root; });
    g_volumes.insert(g_volumes.end(), others.begin(), others.end());
    g_volumesValid = true;
    return g_volumes;
}

const Volume* FindVolume(std::string_view root)
{
    for (const Volume& volume : Volumes()) {
        if (volume.root == root)
            return &volume;
    }
    return nullptr;
}

// --- Item kinds of the file system, from readdir's type where it has one

enum Kind : std::uint8_t
{
    kindMissing,
    kindFile,
    kindDir,
    kindLinkFile,
    kindLinkDir,
    kindLinkBroken
};

bool IsFolderKind(Kind kind)
{
    return kind == kindDir || kind == kindLinkDir;
}
bool IsLinkKind(Kind kind)
{
    return kind >= kindLinkFile;
}

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

int CompareBytes(std::string_view a, std::string_view b)
{
    int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

HResult FolderFromPath(const std::string& path, IdListPtr absolute, TShellFolderPtr& result);

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

// --- Enumeration of a prepared list

class ListEnum : public TShellEnumIdList
{
public:
    explicit ListEnum(std::vector<IdListPtr> items) : m_items(std::move(items)) {}
    HResult Next(IdListPtr& item) override
    {
        if (m_next >= m_items.size())
            return kSFalse;
        item = std::move(m_items[m_next++]);
        return kSOk;
    }

private:
    std::vector<IdListPtr> m_items;
    std::size_t m_next = 0;
};

// --- A directory of the file system

class FileSystemFolder : public TShellFolder, public std::enable_shared_from_this<FileSystemFolder>
{
public:
    FileSystemFolder(std::string path, IdListPtr absolute)
        : m_path(std::move(path)), m_absolute(std::move(absolute))
    {
    }

    PCIdList AbsoluteIdList() const override { return m_absolute.get(); }
    std::string FileSystemPath() const override { return m_path; }

    HResult EnumObjects(std::uint32_t flags, std::unique_ptr<TShellEnumIdList>& result) override
    {
        DIR* dir = ::opendir(m_path.c_str());
        if (!dir)
            return HResultFromErrno(errno);
        int dirFd = ::dirfd(dir);
        m_kinds.clear();
        std::vector<IdListPtr> items;
        items.reserve(500);
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
            m_kinds.emplace(std::string(data), kind);
            items.push_back(MakeSingleIdList(data));
        }
        ::closedir(dir);
        result = std::make_unique<ListEnum>(std::move(items));
        return kSOk;
    }

    HResult BindToObject(PCIdList relative, TShellFolderPtr& result) override
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

    Kind KindOf(std::string_view name, bool fresh)
    {
        if (!fresh) {
            auto it = m_kinds.find(name);
            if (it != m_kinds.end())
                return static_cast<Kind>(it->second);
        }
        Kind kind = KindOfPath(JoinPath(m_path, name));
        if (kind == kindMissing)
            m_kinds.erase(std::string(name));
        else
            m_kinds[std::string(name)] = kind;
        return kind;
    }

    HResult CompareIDs(int column, PCIdList a, PCIdList b) override
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
            IdListPtr absA = ConcatIdListPtr(m_absolute.get(), a);
            IdListPtr absB = ConcatIdListPtr(m_absolute.get(), b);
            order = CompareNamesNatural(ShellGetTypeName(absA.get()), ShellGetTypeName(absB.get()));
        }
        if (order == 0)
            order = CompareNamesNatural(nameA, nameB);
        if (order == 0)
            order = CompareBytes(nameA, nameB);
        return MakeCompareResult(order);
    }

    void SortIdLists(int column, std::vector<PCIdList>& items) override
    {
        if (column != 0) {
            TShellFolder::SortIdLists(column, items);
            return;
        }
        struct Key
        {
            PCIdList idList;
            std::string_view name;
            std::string folded;
            bool folder;
        };
        std::vector<Key> keys;
        keys.reserve(items.size());
        for (PCIdList item : items) {
            std::string_view name = IdListItemData(item);
            keys.push_back({item, name, FoldForCompare(name), IsFolderKind(KindOf(name, false))});
        }
        std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
            if (a.folder != b.folder)
                return a.folder;
            int order = CompareFoldedNatural(a.folded, b.folded);
            if (order == 0)
                order = CompareBytes(a.name, b.name);
            return order < 0;
        });
        for (std::size_t i = 0; i < keys.size(); ++i)
            items[i] = keys[i].idList;
    }

    HResult GetAttributesOf(std::span<const PCIdList> items, std::uint32_t& attributes) override
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

    static bool HasSubfolder(const std::string& path)
    {
        DIR* dir = ::opendir(path.c_str());
        if (!dir)
            return false;
        bool found = false;
        while (dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            if (entry->d_type == DT_DIR ||
                ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
                 IsFolderKind(KindAt(::dirfd(dir), entry->d_name)))) {
                found = true;
                break;
            }
        }
        ::closedir(dir);
        return found;
    }

    HResult GetDisplayNameOf(PCIdList item, std::uint32_t flags, std::string& name) override
    {
        if (!item || IdListLen(item) <= 2) {
            if ((flags & shgdn::ForParsing) && !(flags & shgdn::InFolder))
                name = m_path;
            else
                name = ToBytes(QFileInfo(FromBytes(m_path)).fileName());
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

    HResult ParseDisplayName(const std::string& name, IdListPtr& result) override
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

    HResult SetNameOf(PCIdList item, const std::string& newName, std::uint32_t,
                      IdListPtr* newItem) override
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
        if (RenameNoReplace(from, to) != 0)
            return HResultFromErrno(errno);
        m_kinds.erase(std::string(oldName));
        if (newItem)
            *newItem = MakeSingleIdList(newName);
        return kSOk;
    }

    std::shared_ptr<TShellDetails> GetDetails() override;

private:
    // Renaming must never replace another item of the same name.
    static int RenameNoReplace(const std::string& from, const std::string& to)
    {
#if defined(__linux__) && defined(SYS_renameat2)
        long rc = ::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 1u);
        if (rc == 0 || (errno != ENOSYS && errno != EINVAL))
            return static_cast<int>(rc);
#endif
        struct stat st;
        if (::lstat(to.c_str(), &st) == 0) {
            errno = EEXIST;
            return -1;
        }
        return ::rename(from.c_str(), to.c_str());
    }

    struct NameHash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const
        {
            return std::hash<std::string_view>()(name);
        }
    };

    std::string m_path;
    IdListPtr m_absolute;
    std::unordered_map<std::string, std::uint8_t, NameHash, std::equal_to<>> m_kinds;
};

// Name, Size, Type and Modified of file-system items, the same texts the list builds itself.
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

std::shared_ptr<TShellDetails> FileSystemFolder::GetDetails()
{
    return std::make_shared<FileSystemDetails>(shared_from_this());
}

// --- Computer: one item per volume

class ComputerFolder : public TShellFolder
{
public:
    ComputerFolder() : m_absolute(MakeSingleIdList(kComputerTag)) {}

    PCIdList AbsoluteIdList() const override { return m_absolute.get(); }
    std::string FileSystemPath() const override { return {}; }

    static std::string VolumeTag(const std::string& root)
    {
        return std::string(kVolumePrefix) + root;
    }

    HResult EnumObjects(std::uint32_t flags, std::unique_ptr<TShellEnumIdList>& result) override
    {
        std::vector<IdListPtr> items;
        if (flags & shcontf::Folders) {
            for (const Volume& volume : Volumes())
                items.push_back(MakeSingleIdList(VolumeTag(volume.root)));
        }
        result = std::make_unique<ListEnum>(std::move(items));
        return kSOk;
    }

    static const Volume* VolumeOf(PCIdList item)
    {
        std::string_view data = IdListItemData(item);
        if (!IsVolumeTag(data))
            return nullptr;
        return FindVolume(data.substr(kVolumePrefix.size()));
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
            if (data.substr(kVolumePrefix.size()) == volumes[i].root && IsVolumeTag(data))
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
        result = MakeSingleIdList(VolumeTag(name));
        return kSOk;
    }

    HResult SetNameOf(PCIdList, const std::string&, std::uint32_t, IdListPtr*) override
    {
        return kEAccessDenied;
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
        if (data == kHomeTag)
            return 0;
        if (data == kComputerTag)
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
            items.push_back(MakeSingleIdList(kHomeTag));
            items.push_back(MakeSingleIdList(kComputerTag));
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
        if (data == kHomeTag) {
            HResult hr = FolderFromPath(HomeDirectory(), MakeSingleIdList(kHomeTag), child);
            if (Failed(hr))
                return hr;
        } else if (data == kComputerTag) {
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
                if (data == kComputerTag || data == kHomeTag) {
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
            } else if (data == kHomeTag) {
                a = sfgao::FileSystem | sfgao::Folder | sfgao::FileSysAncestor |
                    sfgao::HasSubfolder | sfgao::CanLink | sfgao::CanCopy;
            } else if (data == kComputerTag) {
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
        if (data == kHomeTag) {
            name = (flags & shgdn::ForParsing) ? HomeDirectory() : "Home";
            return kSOk;
        }
        if (data == kComputerTag) {
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
            result = MakeSingleIdList(kComputerTag);
            return kSOk;
        }
        if (name.empty() || name[0] != '/')
            return kEInvalidArg;
        std::string path = ToBytes(QDir::cleanPath(FromBytes(name)));
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
        std::string tag = ComputerFolder::VolumeTag(best->root);
        std::vector<std::string_view> parts{kComputerTag, tag};
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

private:
    IdListPtr m_absolute = MakeIdList({});
    std::shared_ptr<FileSystemFolder> m_directory;
};

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

std::string SizeOfPath(const std::string& path);
std::string ModifiedOfPath(const std::string& path);

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
    std::string name(IdListItemData(item));
    std::string path = JoinPath(m_folder->FileSystemPath(), name);
    switch (column) {
    case 0:
        info.text = name;
        break;
    case 1:
        if (!IsFolderKind(m_folder->KindOf(name, false)))
            info.text = SizeOfPath(path);
        break;
    case 2: {
        IdListPtr absolute = ConcatIdListPtr(m_folder->AbsoluteIdList(), item);
        info.text = ShellGetTypeName(absolute.get());
        break;
    }
    case 3:
        info.text = ModifiedOfPath(path);
        break;
    }
    return kSOk;
}

} // namespace

namespace {
std::string SizeOfPath(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return {};
    return ShellSizeText(static_cast<std::uint64_t>(st.st_size));
}

std::string ModifiedOfPath(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 && ::lstat(path.c_str(), &st) != 0)
        return {};
    return ShellModifiedText(st.st_mtime ? st.st_mtime : st.st_ctime);
}
} // namespace

void TShellFolder::SortIdLists(int column, std::vector<PCIdList>& items)
{
    std::stable_sort(items.begin(), items.end(), [this, column](PCIdList a, PCIdList b) {
        HResult hr = CompareIDs(column, a, b);
        return Succeeded(hr) && CompareResultCode(hr) < 0;
    });
}

HResult HResultFromErrno(int error)
{
    switch (error) {
    case 0:
        return kSOk;
    case ENOENT:
        return kEFileNotFound;
    case ENOTDIR:
        return kEPathNotFound;
    case EACCES:
    case EPERM:
        return kEAccessDenied;
    case EEXIST:
    case ENOTEMPTY:
        return kEAlreadyExists;
    case EINVAL:
        return kEInvalidArg;
    default:
        return static_cast<HResult>(0xA0070000u | (static_cast<unsigned>(error) & 0xFFFF));
    }
}

std::string ShellErrorMessage(HResult hr)
{
    switch (static_cast<std::uint32_t>(hr)) {
    case 0x80070002u:
        return "The system cannot find the file specified.";
    case 0x80070003u:
        return "The system cannot find the path specified.";
    case 0x80070005u:
        return "Access is denied.";
    case 0x80070057u:
        return "The parameter is incorrect.";
    case 0x80070103u:
        return "No more data is available.";
    case 0x800700B7u:
        return "Cannot create a file when that file already exists.";
    case 0x80004001u:
        return "Not implemented";
    case 0x80004005u:
        return "Unspecified error";
    default:
        break;
    }
    if ((static_cast<std::uint32_t>(hr) & 0xFFFF0000u) == 0xA0070000u)
        return std::strerror(static_cast<int>(hr & 0xFFFF));
    char text[40];
    std::snprintf(text, sizeof text, "Error 0x%08X", static_cast<unsigned>(hr));
    return text;
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
    static TShellFolderPtr desktop = std::make_shared<DesktopFolder>();
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
    if (first == kHomeTag) {
        path = HomeDirectory();
    } else if (first == kComputerTag) {
        if (!rest)
            return {};
        std::string_view volume = IdListItemData(rest);
        if (!IsVolumeTag(volume))
            return {};
        path = std::string(volume.substr(kVolumePrefix.size()));
        rest = IdListNext(rest);
    } else if (!first.empty() && first[0] != 0) {
        std::string desktop = DesktopDirectory();
        if (desktop.empty())
            return {};
        path = JoinPath(desktop, first);
    } else {
        return {};
    }
    for (; rest; rest = IdListNext(rest)) {
        std::string_view part = IdListItemData(rest);
        if (part.empty() || part[0] == 0)
            return {};
        path = JoinPath(path, part);
    }
    return path;
}

namespace {
std::string SpecialFolderLocation(TCSIDL csidl)
{
    auto location = [](QStandardPaths::StandardLocation which) {
        return ToBytes(QStandardPaths::writableLocation(which));
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
        idList = MakeSingleIdList(kComputerTag);
        return kSOk;
    case csidlPersonal:
        idList = MakeSingleIdList(kHomeTag);
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

void FlushDriveInfoCache()
{
    if (g_flushLock > 0)
        return;
    g_volumesValid = false;
}

void LockFlushDriveInfoCache()
{
    ++g_flushLock;
}
void UnlockFlushDriveInfoCache()
{
    if (g_flushLock > 0)
        --g_flushLock;
}

std::string ShellGetTypeName(PCIdList absolute)
{
    TShellFolderPtr desktop = ShellGetDesktopFolder();
    std::uint32_t attributes = sfgao::FileSystem | sfgao::Folder;
    if (!absolute || IdListLen(absolute) <= 2 ||
        Failed(desktop->GetAttributesOf(std::span<const PCIdList>(&absolute, 1), attributes)) ||
        !(attributes & sfgao::FileSystem))
        return "System Folder";
    static QMimeDatabase mimeDatabase;
    if (attributes & sfgao::Folder) {
        QString comment = mimeDatabase.mimeTypeForName("inode/directory").comment();
        if (comment.isEmpty())
            return "Folder";
        comment[0] = comment[0].toUpper();
        return comment.toStdString();
    }
    std::string path = ShellGetPathFromIdList(absolute);
    QMimeType type = mimeDatabase.mimeTypeForFile(FromBytes(path), QMimeDatabase::MatchExtension);
    if (type.isDefault()) {
        QString suffix = QFileInfo(FromBytes(path)).suffix();
        return suffix.isEmpty() ? "File" : (suffix.toUpper() + " File").toStdString();
    }
    return type.comment().toStdString();
}

std::string EnsureTrailingChar(const std::string& text, char ch)
{
    if (text.empty() || text.back() == ch)
        return text;
    return text + ch;
}

namespace {

// Decodes one UTF-8 character; invalid bytes stand for themselves.
char32_t NextChar(std::string_view text, std::size_t& pos)
{
    unsigned char c = static_cast<unsigned char>(text[pos]);
    if (c < 0x80) {
        ++pos;
        return c;
    }
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra == 0 || pos + static_cast<std::size_t>(extra) >= text.size()) {
        ++pos;
        return 0xDC00 + c;
    }
    char32_t value = c & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        unsigned char next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return 0xDC00 + c;
        }
        value = (value << 6) | (next & 0x3F);
    }
    pos += static_cast<std::size_t>(extra) + 1;
    return value;
}

char32_t Fold(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

// The letter without its accents, so that names sort as a file manager shows them: "Über"
// beside "uber", not after "z".
char32_t BaseLetter(char32_t c)
{
    while (c >= 0xC0 && QChar::decompositionTag(c) == QChar::Canonical) {
        QString parts = QChar::decomposition(c);
        if (parts.isEmpty())
            break;
        char32_t base = parts.at(0).isHighSurrogate() && parts.size() > 1
                            ? QChar::surrogateToUcs4(parts.at(0), parts.at(1))
                            : parts.at(0).unicode();
        if (base == c)
            break;
        c = base;
    }
    return c;
}

bool IsAscii(std::string_view text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// '*' and '?' wildcards with backtracking to the last '*'; same() compares two characters.
template <typename Seq, typename Same> bool MatchSeq(const Seq& pattern, const Seq& name, Same same)
{
    std::size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || (pattern[p] != '*' && same(pattern[p], name[n])))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::u32string Folded(std::string_view text)
{
    std::u32string result;
    for (std::size_t pos = 0; pos < text.size();)
        result.push_back(Fold(NextChar(text, pos)));
    return result;
}

} // namespace

namespace {

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

std::string FoldForCompare(std::string_view name)
{
    std::string folded;
    folded.reserve(name.size());
    for (std::size_t pos = 0; pos < name.size();) {
        if (static_cast<unsigned char>(name[pos]) < 0x80) {
            folded += AsciiLower(name[pos++]);
            continue;
        }
        char32_t c = Fold(BaseLetter(NextChar(name, pos)));
        // Back to UTF-8, so that folded texts compare in character order.
        if (c < 0x80) {
            folded += static_cast<char>(c);
            continue;
        }
        if (c < 0x800) {
            folded += static_cast<char>(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            folded += static_cast<char>(0xE0 | (c >> 12));
            folded += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        } else {
            folded += static_cast<char>(0xF0 | (c >> 18));
            folded += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            folded += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        folded += static_cast<char>(0x80 | (c & 0x3F));
    }
    return folded;
}

// Natural order of two folded names: runs of digits compare by their value.
int CompareFoldedNatural(std::string_view a, std::string_view b)
{
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t si = i, sj = j;
            while (si < a.size() && a[si] == '0')
                ++si;
            while (sj < b.size() && b[sj] == '0')
                ++sj;
            std::size_t ei = si, ej = sj;
            while (ei < a.size() && isDigit(a[ei]))
                ++ei;
            while (ej < b.size() && isDigit(b[ej]))
                ++ej;
            if (ei - si != ej - sj)
                return ei - si < ej - sj ? -1 : 1;
            int order = a.substr(si, ei - si).compare(b.substr(sj, ej - sj));
            if (order != 0)
                return order < 0 ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

} // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name)
{
    // As the file system matches: a final ".*" also takes a name without an extension, so that
    // "*.*" is every name.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos)
        return WildcardMatch(pattern.substr(0, pattern.size() - 2), name);
    if (IsAscii(pattern) && IsAscii(name))
        return MatchSeq(pattern, name,
                        [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
    return MatchSeq(Folded(pattern), Folded(name), std::equal_to<>());
}

int CompareNamesNatural(std::string_view a, std::string_view b)
{
    return CompareFoldedNatural(FoldForCompare(a), FoldForCompare(b));
}
