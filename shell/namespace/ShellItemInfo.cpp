#include "shell/namespace/ShellItemInfo.h"

#include "shell/namespace/FolderSupport.h"
#include "shell/namespace/ItemTags.h"
#include "shell/namespace/NameBytes.h"
#include "shell/namespace/ShellNamespace.h"
#include "shell/namespace/ShellStrings.h"

#include <QFileInfo>
#include <QMimeDatabase>

namespace {

QMimeDatabase& MimeDatabase()
{
    static QMimeDatabase database;
    return database;
}

// Files are known by their names alone, so that no file is opened to show a list.
QMimeType TypeOfName(std::string_view fileName)
{
    return MimeDatabase().mimeTypeForFile(PathText(std::string(fileName)),
                                          QMimeDatabase::MatchExtension);
}

} // namespace

std::string ShellTypeNameOf(bool folder, std::string_view fileName)
{
    if (folder) {
        QString comment = MimeDatabase().mimeTypeForName("inode/directory").comment();
        if (comment.isEmpty())
            return "Folder";
        comment[0] = comment[0].toUpper();
        return comment.toStdString();
    }
    QMimeType type = TypeOfName(fileName);
    if (type.isDefault()) {
        QString suffix = QFileInfo(PathText(std::string(fileName))).suffix();
        return suffix.isEmpty() ? "File" : (suffix.toUpper() + " File").toStdString();
    }
    return type.comment().toStdString();
}

std::string ShellGetTypeName(PCIdList absolute)
{
    TShellFolderPtr desktop = ShellGetDesktopFolder();
    std::uint32_t attributes = sfgao::FileSystem | sfgao::Folder;
    if (!absolute || IdListLen(absolute) <= 2 ||
        Failed(desktop->GetAttributesOf(std::span<const PCIdList>(&absolute, 1), attributes)) ||
        !(attributes & sfgao::FileSystem))
        return PTLoadStr(TPTResString::SSystemFolder).toStdString();
    std::string path = ShellGetPathFromIdList(absolute);
    return ShellTypeNameOf(attributes & sfgao::Folder, portable::LastPathPart(path));
}

HResult TShellFolder::GetItemDetails(PCIdList item, TShellItemDetails& details)
{
    details = TShellItemDetails();
    std::uint32_t attributes = sfgao::FileSystem | sfgao::Folder;
    HResult hr = GetAttributesOf(std::span<const PCIdList>(&item, 1), attributes);
    if (Failed(hr))
        return hr;
    if (!(attributes & sfgao::FileSystem)) {
        details.typeText = PTLoadStr(TPTResString::SSystemFolder).toStdString();
        return kSOk;
    }
    std::string name;
    GetDisplayNameOf(item, shgdn::ForParsing, name);
    details.typeText = ShellTypeNameOf(attributes & sfgao::Folder, portable::LastPathPart(name));
    return kSOk;
}

TShellIconInfo ShellGetIconInfo(PCIdList absolute, bool open)
{
    TShellIconInfo info;
    if (IdListLen(absolute) <= 2) {
        info.kind = TShellIconKind::Desktop;
        return info;
    }
    std::uint32_t attributes = sfgao::Folder | sfgao::FileSystem | sfgao::Removable;
    TShellFolderPtr desktop = ShellGetDesktopFolder();
    if (Failed(desktop->GetAttributesOf(std::span<const PCIdList>(&absolute, 1), attributes)))
        return info;
    int count = IdListCount(absolute);
    std::string_view first = IdListItemData(absolute);
    if (count == 1 && first == itemtag::kComputer) {
        info.kind = TShellIconKind::Computer;
    } else if (count == 1 && first == itemtag::kHome) {
        info.kind = TShellIconKind::Home;
    } else if (count == 2 && first == itemtag::kComputer) {
        info.kind = (attributes & sfgao::Removable) ? TShellIconKind::RemovableDrive
                                                    : TShellIconKind::Drive;
    } else if (attributes & sfgao::Folder) {
        info.kind = open ? TShellIconKind::OpenFolder : TShellIconKind::Folder;
    } else {
        std::string path = ShellGetPathFromIdList(absolute);
        QMimeType type = TypeOfName(portable::LastPathPart(path));
        if (type.isValid() && !type.isDefault()) {
            info.kind = TShellIconKind::FileType;
            info.typeName = type.name().toStdString();
            info.iconName = type.iconName().toStdString();
            info.genericIconName = type.genericIconName().toStdString();
        }
    }
    return info;
}
