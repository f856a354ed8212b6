#include "shell/namespace/NameKindTable.h"
#include "shell/namespace/ShellNames.h"
#include "shell/namespace/ShellNamespace.h"
#include "shell/namespace/ShellStrings.h"
#include "tests/common/TestSupport.h"

#include <QLocale>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>

namespace fs = std::filesystem;

namespace {

IdListPtr Parse(const std::string& path)
{
    IdListPtr idList;
    EXPECT_EQ(ShellGetIdListFromPath(path, idList), kSOk) << path;
    return idList;
}

TShellFolderPtr Bind(const std::string& path)
{
    TShellFolderPtr folder;
    EXPECT_EQ(ShellGetFolderFromIdList(Parse(path).get(), folder), kSOk) << path;
    return folder;
}

std::vector<std::string> Enumerate(TShellFolder& folder, std::uint32_t flags)
{
    std::unique_ptr<TShellEnumIdList> items;
    EXPECT_EQ(folder.EnumObjects(flags, items), kSOk);
    std::vector<std::string> names;
    IdListPtr item;
    while (items && items->Next(item) == kSOk)
        names.emplace_back(IdListItemData(item.get()));
    std::sort(names.begin(), names.end());
    return names;
}

std::uint32_t Attributes(TShellFolder& folder, const std::string& name, std::uint32_t asked)
{
    IdListPtr item = MakeSingleIdList(name);
    PCIdList items[] = {item.get()};
    EXPECT_EQ(folder.GetAttributesOf(items, asked), kSOk) << name;
    return asked;
}

const std::uint32_t kListMask = 0x700F0037;

} // namespace

TEST(Namespace, EnumeratesFoldersFilesHiddenAndLinks)
{
    testsupport::TempDir dir;
    fs::create_directory(dir.Path() / "sub");
    testsupport::WriteAll(dir.Path() / "page.html", "x");
    testsupport::WriteAll(dir.Path() / ".hidden", "");
    fs::create_directory_symlink(dir.Path() / "sub", dir.Path() / "to sub");
    fs::create_symlink(dir.Path() / "gone", dir.Path() / "dangling");
    TShellFolderPtr folder = Bind(dir.Path().string());

    using V = std::vector<std::string>;
    EXPECT_EQ(Enumerate(*folder, shcontf::Folders | shcontf::NonFolders),
              (V{"dangling", "page.html", "sub", "to sub"}));
    EXPECT_EQ(Enumerate(*folder, shcontf::Folders), (V{"sub", "to sub"}));
    EXPECT_EQ(Enumerate(*folder, shcontf::NonFolders | shcontf::IncludeHidden),
              (V{".hidden", "dangling", "page.html"}));

    using namespace sfgao;
    EXPECT_EQ(Attributes(*folder, "sub", kListMask) & (Folder | FileSystem | Link | Ghosted),
              Folder | FileSystem);
    EXPECT_EQ(Attributes(*folder, "to sub", kListMask) & (Folder | Link), Folder | Link);
    EXPECT_EQ(Attributes(*folder, ".hidden", kListMask) & (Folder | Ghosted), Ghosted);
    EXPECT_EQ(Attributes(*folder, "page.html", kListMask) & (Folder | CanRename | ReadOnly),
              CanRename);
    EXPECT_EQ(Attributes(*folder, "sub", HasSubfolder), 0u);
    fs::create_directories(dir.Path() / "deep" / "inner");
    EXPECT_EQ(Attributes(*folder, "deep", HasSubfolder), HasSubfolder);

    IdListPtr missing = MakeSingleIdList("nothing here");
    PCIdList items[] = {missing.get()};
    std::uint32_t asked = Validate;
    EXPECT_TRUE(Failed(folder->GetAttributesOf(items, asked)));
}

TEST(Namespace, NamesPathsAndParsingRoundTrip)
{
    testsupport::TempDir dir;
    std::string odd = "Ordner mit Leerzeichen und \xC3\xBC\xC3\x9F";
    fs::create_directories(dir.Path() / odd / "inner");
    std::string inner = dir / (odd + "/inner");
    IdListPtr idList = Parse(inner);
    EXPECT_EQ(ShellGetPathFromIdList(idList.get()), inner);
    EXPECT_EQ(ShellGetFriendlyNameForLastIdListElement(idList.get()), "inner");
    // A trailing slash and "." parts name the same folder.
    IdListPtr again = Parse(dir / (odd + "/./inner/"));
    EXPECT_EQ(CompareAbsIdLists(idList.get(), again.get()), 0);
    IdListPtr viaParent = Parse(dir / (odd + "/inner/../inner"));
    EXPECT_EQ(CompareAbsIdLists(idList.get(), viaParent.get()), 0);
    // Names that are no valid text are parsed byte for byte.
    fs::create_directory(dir.Path() / "\xFF\xFE");
    IdListPtr binaryName = Parse(dir / "./\xFF\xFE/");
    EXPECT_EQ(ShellGetPathFromIdList(binaryName.get()), dir / "\xFF\xFE");

    TShellFolderPtr folder = Bind(dir / odd);
    IdListPtr item = MakeSingleIdList("inner");
    EXPECT_EQ(ShellGetFriendlyNameFromIdList(folder.get(), item.get(), ptfnForParsing), inner);
    EXPECT_EQ(ShellGetFriendlyNameFromIdList(folder.get(), item.get(), ptfnInFolder), "inner");
    EXPECT_EQ(ShellGetFriendlyNameFromIdList(folder.get(), item.get(), ptfnForEditing), "inner");

    IdListPtr none;
    EXPECT_EQ(ShellGetIdListFromPath(dir / "missing", none), kEFileNotFound);
    EXPECT_TRUE(Failed(ShellGetIdListFromPath("relative/path", none)));
    testsupport::WriteAll(dir.Path() / "file.txt", "");
    TShellFolderPtr notAFolder;
    EXPECT_TRUE(Failed(ShellGetFolderFromIdList(Parse(dir / "file.txt").get(), notAFolder)));
#ifdef _WIN32
    EXPECT_EQ(ShellErrorMessage(kEFileNotFound), "The system cannot find the file specified.");
#else
    EXPECT_EQ(ShellErrorMessage(kEFileNotFound), std::strerror(ENOENT));
#endif
}

TEST(Namespace, ComparesFoldersFirstThenNaturalOrder)
{
    testsupport::TempDir dir;
    for (const char* name : {"file10.htm", "File2.htm", "file1.htm", "b.htm"})
        testsupport::WriteAll(dir.Path() / name, "");
    fs::create_directory(dir.Path() / "zz");
    TShellFolderPtr folder = Bind(dir.Path().string());
    std::vector<IdListPtr> owned;
    std::vector<PCIdList> items;
    for (const std::string& name : Enumerate(*folder, shcontf::Folders | shcontf::NonFolders)) {
        owned.push_back(MakeSingleIdList(name));
        items.push_back(owned.back().get());
    }
    folder->SortIdLists(0, items);
    std::vector<std::string> names;
    for (PCIdList item : items)
        names.emplace_back(IdListItemData(item));
    EXPECT_EQ(names,
              (std::vector<std::string>{"zz", "b.htm", "file1.htm", "File2.htm", "file10.htm"}));
    // The pairwise comparison agrees with the sort.
    for (std::size_t i = 0; i + 1 < items.size(); ++i)
        EXPECT_EQ(CompareResultCode(folder->CompareIDs(0, items[i], items[i + 1])), -1);
    EXPECT_EQ(CompareNamesNatural("a\xC3\x84", "A\xC3\xA4"), 0);
    // Accented letters sort beside their base letter, not after "z".
    EXPECT_LT(CompareNamesNatural("\xC3\x9C"
                                  "ber",
                                  "unten"),
              0);
    EXPECT_LT(CompareNamesNatural("\xC3\x89"
                                  "cole",
                                  "Ferien"),
              0);
    EXPECT_GT(CompareNamesNatural("zebra", "\xC3\xA9tude"), 0);
    EXPECT_LT(CompareNamesNatural("\xC3\xA9tude2", "\xC3\xA9tude10"), 0);
}

TEST(Namespace, SortsByEveryColumnAsItComparesPairs)
{
    testsupport::TempDir dir;
    const auto now = fs::file_time_type::clock::now();
    struct Entry
    {
        const char* name;
        std::size_t size; // folders: none
        int minutesAgo;
    };
    const Entry entries[] = {{"b.htm", 3000, 100}, {"a.txt", 10, 300}, {"c.png", 2000, 200},
                             {"d.html", 10, 50},   {"e.HTM", 5, 60},   {"zdir", 0, 400},
                             {"adir", 0, 10}};
    for (const Entry& entry : entries) {
        fs::path path = dir.Path() / entry.name;
        if (std::string(entry.name).ends_with("dir"))
            fs::create_directory(path);
        else
            testsupport::WriteAll(path, std::string(entry.size, 'x'));
        fs::last_write_time(path, now - std::chrono::minutes(entry.minutesAgo));
    }
    TShellFolderPtr folder = Bind(dir.Path().string());
    std::vector<IdListPtr> owned;
    std::vector<PCIdList> items;
    for (const std::string& name : Enumerate(*folder, shcontf::Folders | shcontf::NonFolders)) {
        owned.push_back(MakeSingleIdList(name));
        items.push_back(owned.back().get());
    }
    auto names = [](const std::vector<PCIdList>& order) {
        std::vector<std::string> result;
        for (PCIdList item : order)
            result.emplace_back(IdListItemData(item));
        return result;
    };
    using V = std::vector<std::string>;
    std::map<int, V> sorted;
    for (int column = 0; column < 4; ++column) {
        std::vector<PCIdList> fast = items;
        folder->SortIdLists(column, fast);
        // The same order as sorting pair by pair with CompareIDs.
        std::vector<PCIdList> pairwise = items;
        std::stable_sort(pairwise.begin(), pairwise.end(), [&](PCIdList a, PCIdList b) {
            return CompareResultCode(folder->CompareIDs(column, a, b)) < 0;
        });
        EXPECT_EQ(names(fast), names(pairwise)) << column;
        sorted[column] = names(fast);
    }
    EXPECT_EQ(sorted[0], (V{"adir", "zdir", "a.txt", "b.htm", "c.png", "d.html", "e.HTM"}));
    // Folders first, by name; then by size, equal sizes by name.
    EXPECT_EQ(sorted[1], (V{"adir", "zdir", "e.HTM", "a.txt", "d.html", "c.png", "b.htm"}));
    // Folders first, oldest first; then the files, oldest first.
    EXPECT_EQ(sorted[3], (V{"zdir", "adir", "a.txt", "c.png", "b.htm", "e.HTM", "d.html"}));
    // Files of one type stand together, by name within it.
    V byType = sorted[2];
    auto html = std::find(byType.begin(), byType.end(), "b.htm");
    ASSERT_LE(html + 3, byType.end());
    EXPECT_EQ(V(html, html + 3), (V{"b.htm", "d.html", "e.HTM"}));
    EXPECT_EQ(V(byType.begin(), byType.begin() + 2), (V{"adir", "zdir"}));
}

TEST(Namespace, RenameKeepsOtherItems)
{
    testsupport::TempDir dir;
    testsupport::WriteAll(dir.Path() / "old.htm", "old");
    testsupport::WriteAll(dir.Path() / "taken.htm", "keep me");
    TShellFolderPtr folder = Bind(dir.Path().string());
    IdListPtr item = MakeSingleIdList("old.htm");
    IdListPtr renamed;
    EXPECT_EQ(folder->SetNameOf(item.get(), "taken.htm", 0, &renamed), kEAlreadyExists);
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "taken.htm"), "keep me");
    EXPECT_EQ(folder->SetNameOf(item.get(), "a/b", 0, &renamed), kEInvalidArg);
    EXPECT_EQ(folder->SetNameOf(item.get(), "new name.htm", 0, &renamed), kSOk);
    EXPECT_EQ(IdListItemData(renamed.get()), "new name.htm");
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "new name.htm"), "old");
    EXPECT_FALSE(testsupport::Exists(dir.Path() / "old.htm"));
}

TEST(Namespace, DesktopComputerAndSpecialFolders)
{
    TShellFolderPtr desktop = ShellGetDesktopFolder();
    std::vector<std::string> items = Enumerate(*desktop, shcontf::Folders | shcontf::NonFolders);
    EXPECT_TRUE(std::count(items.begin(), items.end(), std::string("\0H", 2)));
    EXPECT_TRUE(std::count(items.begin(), items.end(), std::string("\0C", 2)));
    EXPECT_EQ(ShellGetFriendlyNameForLastIdListElement(MakeIdList({}).get()), "Desktop");

    IdListPtr computer;
    ASSERT_EQ(ShellGetSpecialFolderIdList(csidlDrives, computer), kSOk);
    EXPECT_EQ(ShellGetPathFromIdList(computer.get()), "");
    EXPECT_EQ(ShellGetFriendlyNameForLastIdListElement(computer.get()), "Computer");
    EXPECT_EQ(ShellGetTypeName(computer.get()), "System Folder");
    TShellFolderPtr drives;
    ASSERT_EQ(ShellGetFolderFromIdList(computer.get(), drives), kSOk);
    std::vector<std::string> volumes = Enumerate(*drives, shcontf::Folders);
    EXPECT_TRUE(std::count(volumes.begin(), volumes.end(), std::string("\0V/", 3)));
    EXPECT_EQ(ShellFindCSIDLFromIdList(computer.get()), csidlDrives);
    EXPECT_EQ(ShellFindCSIDLFromIdList(nullptr), csidlDesktop);

    // Home stands for the documents folder and is the (isolated) home directory.
    EXPECT_EQ(fs::path(ShellGetSpecialFolderPath(csidlPersonal)), fs::path(getenv("HOME")));
    EXPECT_EQ(fs::path(ShellGetSpecialFolderPath(csidlProfile)), fs::path(getenv("HOME")));
    IdListPtr none;
    EXPECT_TRUE(Failed(ShellGetSpecialFolderIdList(csidlWindows, none)));
    EXPECT_EQ(ShellGetSpecialFolderPath(csidlPrinters), "");

    // Going up from a folder reaches Computer, then the desktop.
    IdListPtr tmp = Parse(fs::temp_directory_path().string());
    TPTIdListArray array(tmp.get());
    EXPECT_EQ(CompareAbsIdLists(array.GoUp(array.GetCount() - 1), computer.get()), 0);
}

TEST(Namespace, WildcardsSizeTextsAndShortcuts)
{
    EXPECT_TRUE(WildcardMatch("*.htm", "A.HTM"));
    EXPECT_FALSE(WildcardMatch("*.htm", "a.html"));
    EXPECT_TRUE(WildcardMatch("*.html", "b.Html"));
    EXPECT_TRUE(WildcardMatch("?.txt", "c.txt"));
    EXPECT_TRUE(WildcardMatch("*.*", "README"));
    EXPECT_TRUE(WildcardMatch("read*.*", "README"));
    EXPECT_FALSE(WildcardMatch("*.htm", "htm"));
    EXPECT_FALSE(WildcardMatch("?.txt", "cc.txt"));
    EXPECT_TRUE(WildcardMatch("\xC3\x84*", "\xC3\xA4rger.htm"));
    // A star in a name beyond ASCII is a character like any other; in the pattern a wildcard.
    EXPECT_TRUE(WildcardMatch("\xC3\xA4*x", "\xC3\x84*yx"));
    EXPECT_TRUE(WildcardMatch("*\xC3\xA4", "**\xC3\xA4"));
    EXPECT_FALSE(WildcardMatch(" *.htm", "a.htm"));
    EXPECT_TRUE(WildcardMatch(" *.htm", " a.htm"));

    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(ShellSizeText(0), "0KB");
    EXPECT_EQ(ShellSizeText(1024), "1KB");
    EXPECT_EQ(ShellSizeText(1025), "2KB");
    EXPECT_EQ(ShellSizeText(1263616), "1,234KB");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(ShellSizeText(1263616), "1.234KB");
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(ShellModifiedText(0).find(":00:"), std::string::npos) << "no seconds";

    EXPECT_EQ(ShortCutFromText("Ctrl+A"), QKeyCombination(Qt::ControlModifier, Qt::Key_A));
    EXPECT_EQ(ShortCutFromText("Del"), QKeyCombination(Qt::Key_Delete));
    EXPECT_EQ(ShortCutFromText("Shift+Ctrl+F5"),
              QKeyCombination(Qt::ShiftModifier | Qt::ControlModifier, Qt::Key_F5));
    EXPECT_EQ(ShortCutFromText("Ctrl+Nonsense"), QKeyCombination());
}

// The kinds table against a std::map under a random mix of sets, erases, lookups and clears,
// with names that collide in few bits, erased names set again, and bytes no text allows.
TEST(NameKindTable, AgreesWithAMapUnderRandomChanges)
{
    std::mt19937 random(12345);
    portable::NameKindTable table;
    std::map<std::string, std::uint8_t> reference;
    auto nameOf = [](unsigned n) {
        std::string name = "page" + std::to_string(n % 3000) + ".html";
        if (n % 7 == 0)
            name += std::string("\xff\xfe", 2);
        return name;
    };
    for (int step = 0; step < 200000; ++step) {
        const unsigned pick = random();
        const std::string name = nameOf(pick >> 4);
        switch (pick % 16) {
        case 0:
        case 1:
            table.Erase(name);
            reference.erase(name);
            break;
        case 2:
            if (random() % 5000 == 0) {
                table.Clear();
                reference.clear();
            }
            break;
        case 3:
        case 4:
        case 5:
        case 6:
        case 7: {
            const auto kind = static_cast<std::uint8_t>(random() % 6);
            table.Set(name, kind);
            reference[name] = kind;
            break;
        }
        default: {
            const std::optional<std::uint8_t> found = table.Find(name);
            const auto it = reference.find(name);
            ASSERT_EQ(found.has_value(), it != reference.end()) << name << " at step " << step;
            if (found) {
                ASSERT_EQ(*found, it->second) << name;
            }
        }
        }
        ASSERT_EQ(table.Size(), reference.size());
    }
    for (const auto& [name, kind] : reference)
        EXPECT_EQ(table.Find(name), std::optional<std::uint8_t>(kind)) << name;
    // Looked up in the order they were set, as a fill does, after updates and erases.
    table.Clear();
    reference.clear();
    table.Reserve(2500, 2500 * 12);
    for (unsigned n = 0; n < 5000; ++n) {
        table.Set(nameOf(n), static_cast<std::uint8_t>(n % 5));
        reference[nameOf(n)] = static_cast<std::uint8_t>(n % 5);
    }
    for (unsigned n = 0; n < 5000; n += 3) {
        table.Erase(nameOf(n));
        reference.erase(nameOf(n));
    }
    for (unsigned n = 1; n < 5000; n += 6) {
        table.Set(nameOf(n), 5);
        reference[nameOf(n)] = 5;
    }
    for (unsigned n = 0; n < 5000; ++n) {
        const auto it = reference.find(nameOf(n));
        const std::optional<std::uint8_t> expected =
            it == reference.end() ? std::nullopt : std::optional<std::uint8_t>(it->second);
        ASSERT_EQ(table.Find(nameOf(n)), expected) << nameOf(n);
    }
    EXPECT_FALSE(table.Find("").has_value());
    table.Set("", 3);
    EXPECT_EQ(table.Find(""), std::optional<std::uint8_t>(3));
}
