#pragma once

// A directory of the file system as a shell folder: its items are its entries, their data the
// entries' names.

#include "shell/namespace/NameKindTable.h"
#include "shell/namespace/ShellNamespace.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace portable {

// Item kinds of the file system, from readdir's type where it has one.
enum Kind : std::uint8_t
{
    kindMissing,
    kindFile,
    kindDir,
    kindLinkFile,
    kindLinkDir,
    kindLinkBroken
};

inline bool IsFolderKind(Kind kind)
{
    return kind == kindDir || kind == kindLinkDir;
}
inline bool IsLinkKind(Kind kind)
{
    return kind >= kindLinkFile;
}
Kind KindAt(int dirFd, const char* name);
Kind KindOfPath(const std::string& path);

class FileSystemFolder : public TShellFolder, public std::enable_shared_from_this<FileSystemFolder>
{
public:
    FileSystemFolder(std::string path, IdListPtr absolute);

    PCIdList AbsoluteIdList() const override { return m_absolute.get(); }
    std::string FileSystemPath() const override { return m_path; }

    HResult EnumObjects(std::uint32_t flags, std::unique_ptr<TShellEnumIdList>& result) override;
    HResult BindToObject(PCIdList relative, TShellFolderPtr& result) override;
    HResult CompareIDs(int column, PCIdList a, PCIdList b) override;
    void SortIdLists(int column, std::vector<PCIdList>& items) override;
    HResult GetAttributesOf(std::span<const PCIdList> items, std::uint32_t& attributes) override;
    HResult GetDisplayNameOf(PCIdList item, std::uint32_t flags, std::string& name) override;
    HResult ParseDisplayName(const std::string& name, IdListPtr& result) override;
    HResult SetNameOf(PCIdList item, const std::string& newName, std::uint32_t flags,
                      IdListPtr* newItem) override;
    std::shared_ptr<TShellDetails> GetDetails() override;
    HResult GetItemDetails(PCIdList item, TShellItemDetails& details) override;

    // The kind of an entry, as the last enumeration saw it unless fresh is asked for.
    Kind KindOf(std::string_view name, bool fresh);

private:
    static bool HasSubfolder(const std::string& path);

    std::string m_path;
    IdListPtr m_absolute;
    NameKindTable m_kinds;
};

// The details of the file-system entry at a path.
HResult DetailsOfPath(const std::string& path, TShellItemDetails& details);

// The folder of a directory path; fails for anything that is not a directory.
HResult FolderFromPath(const std::string& path, IdListPtr absolute, TShellFolderPtr& result);

} // namespace portable
