#include "shell/namespace/ShellFolderContents.h"
#include "tests/common/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kAll = shcontf::Folders | shcontf::NonFolders | shcontf::IncludeHidden;
// A name that is no valid UTF-8: the comparison works on its bytes.
const std::string kBadName = "bad\xFF.htm";

std::string NameOf(const TFolderItem& item)
{
    return std::string(IdListItemData(item.Relative.get()));
}

std::set<std::string> Names(const std::vector<TFolderItem>& items)
{
    std::set<std::string> names;
    for (const TFolderItem& item : items)
        names.insert(NameOf(item));
    return names;
}

} // namespace

// A real folder read, changed on disk, and read again: whole, then by the names a watcher
// would report. Each read reports exactly what changed, by the keys the first read gave.
TEST(ShellFolderContents, ReportsWhatChangedOnDiskBetweenReads)
{
    testsupport::TempDir dir;
    for (const std::string& name :
         {std::string("a.htm"), std::string("b.htm"), std::string("c.txt"), kBadName})
        testsupport::WriteAll(dir.Path() / name, "");
    fs::create_directory(dir.Path() / "sub");
    IdListPtr idList;
    ASSERT_EQ(ShellGetIdListFromPath(dir.Path().string(), idList), kSOk);
    TShellFolderPtr folder;
    ASSERT_EQ(ShellGetFolderFromIdList(idList.get(), folder), kSOk);

    // Text files are left out; every item offered is recorded.
    std::multiset<std::string> offered;
    auto accept = [&](TShellFolder& owner, PCIdList relative, std::uint32_t& attributes) {
        std::string name(IdListItemData(relative));
        offered.insert(name);
        attributes = sfgao::Folder | sfgao::Link;
        EXPECT_EQ(owner.GetAttributesOf(std::span<const PCIdList>(&relative, 1), attributes), kSOk);
        return name.size() < 4 || name.substr(name.size() - 4) != ".txt";
    };
    TShellFolderContents contents(nullptr, AM_CHANGENOTIFY);
    TFolderChanges fill;
    ASSERT_EQ(contents.Fill(folder, kAll, accept, fill), kSOk);
    EXPECT_EQ(Names(fill.Added), (std::set<std::string>{"a.htm", "b.htm", kBadName, "sub"}));
    EXPECT_TRUE(fill.Removed.empty());
    EXPECT_EQ(contents.Count(), 4);
    std::map<std::string, std::uint64_t> keys;
    std::set<std::uint64_t> distinct;
    for (const TFolderItem& item : fill.Added) {
        keys[NameOf(item)] = item.Key;
        distinct.insert(item.Key);
        EXPECT_EQ(bool(item.Attributes & sfgao::Folder), NameOf(item) == "sub") << NameOf(item);
    }
    EXPECT_EQ(distinct.size(), 4u);

    // One gone, one new, a folder replaced by a file of the same name; the text file left out
    // before is offered again and left out again.
    fs::remove(dir.Path() / "b.htm");
    testsupport::WriteAll(dir.Path() / "d.htm", "");
    fs::remove(dir.Path() / "sub");
    testsupport::WriteAll(dir.Path() / "sub", "");
    offered.clear();
    TFolderChanges reread;
    ASSERT_TRUE(contents.Reread(folder, kAll, accept, reread));
    EXPECT_EQ(offered, (std::multiset<std::string>{"c.txt", "d.htm"}));
    EXPECT_EQ(Names(reread.Added), std::set<std::string>{"d.htm"});
    EXPECT_EQ(reread.Removed, std::vector<std::uint64_t>{keys["b.htm"]});
    ASSERT_EQ(reread.Changed.size(), 1u);
    EXPECT_EQ(reread.Changed[0].Key, keys["sub"]);
    EXPECT_EQ(NameOf(reread.Changed[0]), "sub");
    EXPECT_FALSE(reread.Changed[0].Attributes & sfgao::Folder);
    EXPECT_EQ(contents.Count(), 4);

    // Nothing changed: nothing reported, nothing offered.
    offered.clear();
    TFolderChanges same;
    ASSERT_TRUE(contents.Reread(folder, kAll, accept, same));
    EXPECT_TRUE(same.Added.empty() && same.Removed.empty() && same.Changed.empty());
    EXPECT_EQ(offered, std::multiset<std::string>{"c.txt"});

    // The watcher's names: only those are looked at, a name of nothing changes nothing, and a
    // hidden file stays out without hidden items.
    fs::remove(dir.Path() / kBadName);
    testsupport::WriteAll(dir.Path() / "e.htm", "");
    testsupport::WriteAll(dir.Path() / ".hidden.htm", "");
    fs::remove(dir.Path() / "a.htm");
    TFolderChanges named;
    contents.ReadNames(folder, {kBadName, "e.htm", ".hidden.htm", "never.htm", kBadName}, false,
                       accept, named);
    EXPECT_EQ(Names(named.Added), std::set<std::string>{"e.htm"});
    EXPECT_EQ(named.Removed, std::vector<std::uint64_t>{keys[kBadName]});
    EXPECT_TRUE(named.Changed.empty());
    EXPECT_EQ(contents.Count(), 4) << "a.htm was not named, so it is still listed";

    // A folder that can no longer be read takes everything with it.
    fs::remove_all(dir.Path());
    TFolderChanges gone;
    EXPECT_FALSE(contents.Reread(folder, kAll, accept, gone));
    EXPECT_EQ(gone.Removed.size(), 4u);
    EXPECT_EQ(contents.Count(), 0);
}
