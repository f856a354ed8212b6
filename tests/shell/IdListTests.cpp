#include "shell/namespace/IdList.h"
#include "shell/namespace/PTShellLocator.h"
#include "shell/namespace/ShellNamespace.h"
#include "tests/common/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

std::string Bytes(PCIdList idList)
{
    return std::string(reinterpret_cast<const char*>(idList), IdListLen(idList));
}

IdListPtr Parse(const std::string& path)
{
    IdListPtr idList;
    EXPECT_EQ(ShellGetIdListFromPath(path, idList), kSOk) << path;
    return idList;
}

} // namespace

TEST(IdList, LengthCopyAndConcatenation)
{
    EXPECT_EQ(IdListLen(nullptr), 0u);
    IdListPtr empty = MakeIdList({});
    EXPECT_EQ(IdListLen(empty.get()), 2u);
    IdListPtr one = MakeIdList({"abc"});
    EXPECT_EQ(Bytes(one.get()), std::string("\x05\x00"
                                            "abc"
                                            "\x00\x00",
                                            7));
    IdListPtr two = MakeIdList({"abc", "de"});
    EXPECT_EQ(IdListLen(two.get()), 11u);
    EXPECT_EQ(IdListCount(two.get()), 2);

    IdListPtr copyOfNull(CopyIdList(nullptr, nullptr));
    EXPECT_EQ(IdListLen(copyOfNull.get()), 2u);
    IdListPtr copy(CopyIdList(ShellIMalloc(), two.get()));
    EXPECT_EQ(Bytes(copy.get()), Bytes(two.get()));

    IdListPtr bothNull(ConcatIdLists(nullptr, nullptr, nullptr));
    EXPECT_EQ(IdListLen(bothNull.get()), 2u);
    IdListPtr joined(ConcatIdLists(nullptr, one.get(), MakeIdList({"de"}).get()));
    EXPECT_EQ(Bytes(joined.get()), Bytes(two.get()));
    IdListPtr withNull(ConcatIdLists(nullptr, nullptr, one.get()));
    EXPECT_EQ(Bytes(withNull.get()), Bytes(one.get()));

    // A size field of 1 could never advance: it ends the list instead of looping.
    const std::uint8_t broken[] = {3, 0, 'x', 1, 0, 0, 0};
    EXPECT_EQ(IdListLen(broken), 5u);
    EXPECT_EQ(IdListCount(broken), 1);
}

TEST(IdList, CompareAbsIdListsSpecialValues)
{
    IdListPtr empty = MakeIdList({});
    IdListPtr otherEmpty = MakeIdList({});
    EXPECT_EQ(CompareAbsIdLists(nullptr, nullptr), 0);
    EXPECT_EQ(CompareAbsIdLists(empty.get(), otherEmpty.get()), 0);
    EXPECT_EQ(CompareAbsIdLists(nullptr, empty.get()), -1);
    EXPECT_EQ(CompareAbsIdLists(empty.get(), nullptr), -1);

    testsupport::TempDir dir;
    fs::create_directory(dir.Path() / "a");
    fs::create_directory(dir.Path() / "b");
    IdListPtr a = Parse(dir / "a");
    IdListPtr a2 = Parse(dir / "a");
    IdListPtr b = Parse(dir / "b");
    IdListPtr parent = Parse(dir.Path().string());
    EXPECT_EQ(CompareAbsIdLists(a.get(), a2.get()), 0);
    EXPECT_EQ(CompareAbsIdLists(a.get(), b.get()), -1);
    EXPECT_EQ(CompareAbsIdLists(b.get(), a.get()), 1);
    EXPECT_EQ(CompareAbsIdLists(parent.get(), a.get()), -1);
    EXPECT_EQ(CompareAbsIdLists(empty.get(), a.get()), -1);
}

TEST(IdList, ArrayItemsAndGoUp)
{
    IdListPtr two = MakeIdList({"one", "two"});
    TPTIdListArray array(two.get());
    ASSERT_EQ(array.GetCount(), 2);
    EXPECT_EQ(Bytes(array.GetItem(1)), Bytes(MakeIdList({"two"}).get()));
    EXPECT_EQ(array.GetItem(2), nullptr);
    EXPECT_EQ(array.GetItem(-1), nullptr);
    EXPECT_EQ(Bytes(array.GoUp(1)), Bytes(MakeIdList({"one"}).get()));
    EXPECT_EQ(Bytes(array.GoUp(2)), Bytes(MakeIdList({}).get()));
    EXPECT_EQ(array.GoUp(3), nullptr);
    EXPECT_EQ(Bytes(array.GoUp(0)), Bytes(two.get()));

    TPTIdListArray none(nullptr);
    EXPECT_EQ(none.GetCount(), 0);
    EXPECT_EQ(none.GoUp(0), nullptr);
    EXPECT_EQ(none.GetItem(0), nullptr);
}

namespace {
class CountingAllocator : public TShellAllocator
{
public:
    void* Alloc(std::size_t size) override { return ShellIMalloc()->Alloc(size); }
    void* Realloc(void* block, std::size_t size) override
    {
        return ShellIMalloc()->Realloc(block, size);
    }
    void Free(void* block) override
    {
        ++freed;
        ShellIMalloc()->Free(block);
    }
    int freed = 0;
};
} // namespace

TEST(IdList, PidlListSortedSearchDuplicatesAndOwnership)
{
    CountingAllocator allocator;
    {
        TPTPidlList list;
        list.SetAllocator(&allocator);
        list.SetSorted(true);
        for (const char* name : {"m", "c", "x", "a", "p"})
            list.Add(IdListPtr(CopyIdList(&allocator, MakeIdList({name}).get())).release());
        ASSERT_EQ(list.GetCount(), 5);
        std::string order;
        for (int i = 0; i < list.GetCount(); ++i)
            order += IdListItemData(list.GetPIDL(i));
        EXPECT_EQ(order, "acmpx");
        EXPECT_EQ(list.IndexOf(MakeIdList({"p"}).get()), 3);
        EXPECT_EQ(list.IndexOf(MakeIdList({"q"}).get()), -1);
        int at = -1;
        EXPECT_FALSE(list.BinarySearch(MakeIdList({"n"}).get(), at));
        EXPECT_EQ(at, 3);

        IdListPtr duplicate = MakeIdList({"c"});
        try {
            list.Add(duplicate.get());
            FAIL() << "a duplicate was accepted";
        } catch (const TPTPidlListError& error) {
            EXPECT_STREQ(error.what(), "TPTPidlList: Duplicate PIDL");
        }
        list.SetDuplicates(TPTDuplicates::dupIgnore);
        EXPECT_EQ(list.Add(duplicate.get()), 1);
        EXPECT_EQ(list.GetCount(), 5);
        list.SetDuplicates(TPTDuplicates::dupAccept);
        list.Add(duplicate.release());
        EXPECT_EQ(list.GetCount(), 6);

        list.Delete(0);
        EXPECT_EQ(allocator.freed, 1);
    }
    EXPECT_EQ(allocator.freed, 6);

    // Unsorted lists append and search linearly; a list without allocator frees nothing.
    IdListPtr b = MakeIdList({"b"});
    IdListPtr a = MakeIdList({"a"});
    TPTPidlList plain;
    plain.Add(b.get());
    plain.AddObject(a.get(), &allocator);
    EXPECT_EQ(plain.IndexOf(a.get()), 1);
    EXPECT_EQ(plain.GetObject(1), &allocator);
    plain.SetSorted(true);
    EXPECT_EQ(plain.GetPIDL(0), a.get());
    plain.Clear();
    EXPECT_EQ(allocator.freed, 6);
}

TEST(IdList, PidlListComparesThroughFolder)
{
    testsupport::TempDir dir;
    fs::create_directory(dir.Path() / "zeta");
    testsupport::WriteAll(dir.Path() / "ab", "");
    TShellFolderPtr folder;
    ASSERT_EQ(ShellGetFolderFromIdList(Parse(dir.Path().string()).get(), folder), kSOk);
    IdListPtr file = MakeIdList({"ab"});
    IdListPtr sub = MakeIdList({"zeta"});
    TPTPidlList byBytes;
    byBytes.SetSorted(true);
    byBytes.Add(sub.get());
    byBytes.Add(file.get());
    EXPECT_EQ(byBytes.GetPIDL(0), file.get()) << "the shorter size field sorts first";
    TPTPidlList byFolder;
    byFolder.SetCompareFolder(folder);
    byFolder.SetSorted(true);
    byFolder.Add(file.get());
    byFolder.Add(sub.get());
    EXPECT_EQ(byFolder.GetPIDL(0), sub.get()) << "folders come first";
}

TEST(ShellLocator, SetPathIdListAndChangeCallback)
{
    testsupport::TempDir dir;
    fs::create_directory(dir.Path() / "docs");
    TPTShellLocator locator;
    int changes = 0;
    locator.SetOnChange([&] { ++changes; });
    EXPECT_EQ(locator.GetIdList(), nullptr);

    // A missing folder selects the desktop, which it already was: no change.
    locator.SetPathName(dir / "missing");
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(locator.GetIdList(), nullptr);

    locator.SetPathName(dir / "docs");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(locator.GetPathName(), dir / "docs");
    locator.SetPathName(dir / "docs");
    EXPECT_EQ(changes, 1);

    locator.SetPathName(dir / "missing");
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(locator.GetIdList(), nullptr);
    IdListPtr empty = MakeIdList({});
    locator.SetIdList(empty.get());
    EXPECT_EQ(changes, 2);

    locator.SetCSIDL(csidlDrives);
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(locator.GetKind(), TPTShellLocator::kindCSIDL);
    EXPECT_TRUE(ShellCSIDLEqualsIdList(locator.GetIdList(), csidlDrives));
    EXPECT_EQ(locator.GetPathName(), "");
    locator.SetCSIDL(csidlDrives);
    EXPECT_EQ(changes, 3);
    locator.SetIdList(locator.GetIdList());
    EXPECT_EQ(changes, 4) << "leaving the special-folder kind is a change";
    EXPECT_EQ(locator.GetCSIDL(), csidlNone);
    locator.Clear();
    EXPECT_EQ(changes, 5);
}

TEST(ShellLocator, OneAndTwoItemIdListsBelowVirtualFolders)
{
    // Home is one item below the desktop; a folder in it two.
    fs::path home = getenv("HOME");
    fs::create_directories(home / "docs");
    IdListPtr one = MakeSingleIdList(std::string_view("\0H", 2));
    IdListPtr two = MakeIdList({std::string_view("\0H", 2), "docs"});
    TPTShellLocator locator;
    locator.SetIdList(one.get());
    EXPECT_EQ(fs::path(locator.GetPathName()), home);
    locator.SetIdList(two.get());
    EXPECT_EQ(fs::path(locator.GetPathName()), home / "docs");
    EXPECT_EQ(ShellGetFriendlyNameForLastIdListElement(locator.GetIdList()), "docs");
    EXPECT_EQ(ShellGetFriendlyNameForLastIdListElement(one.get()), "Home");
    TPTIdListArray array(locator.GetIdList());
    EXPECT_EQ(CompareAbsIdLists(array.GoUp(1), one.get()), 0);
    EXPECT_EQ(IdListLen(array.GoUp(2)), 2u) << "the desktop";
    EXPECT_EQ(array.GoUp(3), nullptr) << "nothing above the desktop";
    EXPECT_EQ(ShellFindCSIDLFromIdList(one.get()), csidlPersonal);
}

TEST(ShellLocator, EqualityAssignAndStoredForm)
{
    testsupport::TempDir dir;
    TPTShellLocator a, b;
    int changes = 0;
    b.SetOnChange([&] { ++changes; });
    a.SetPathName(dir.Path().string());
    EXPECT_FALSE(a.IsEqual(&b));
    b.Assign(&a);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(a.IsEqual(&b));
    b.Assign(&a);
    EXPECT_EQ(changes, 1);
    b.Assign(nullptr);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(b.GetIdList(), nullptr);

    EXPECT_TRUE(a.HasStoredForm());
    TPTShellLocator c;
    EXPECT_FALSE(c.HasStoredForm());
    ASSERT_TRUE(c.ReadStoredForm(a.WriteStoredForm()));
    EXPECT_TRUE(c.IsEqual(&a));

    TPTShellLocator special;
    special.SetCSIDL(csidlPersonal);
    EXPECT_EQ(special.WriteStoredForm(), std::string("\x01\x05", 2));

    // Kinds differ even where the folder is the same; Assign takes the kind over.
    TPTShellLocator byIdList;
    byIdList.SetIdList(special.GetIdList());
    EXPECT_FALSE(byIdList.IsEqual(&special));
    b.Assign(&special);
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(b.GetKind(), TPTShellLocator::kindCSIDL);
    EXPECT_EQ(b.GetCSIDL(), csidlPersonal);
    EXPECT_TRUE(b.IsEqual(&special));
    TPTShellLocator zero;
    ASSERT_TRUE(zero.ReadStoredForm(std::string("\0\0\0\0\0", 5)));
    EXPECT_EQ(zero.GetKind(), TPTShellLocator::kindCSIDL);
    EXPECT_EQ(zero.GetCSIDL(), csidlDesktop);

    // Records that claim more bytes than they hold, or lack the terminator, are refused.
    TPTShellLocator broken;
    EXPECT_FALSE(broken.ReadStoredForm(std::string("\0\x09\0\0\0\x05\0ab", 9)));
    EXPECT_FALSE(broken.ReadStoredForm(std::string("\0\x04\0\0\0\x05\0ab", 9)));
    EXPECT_FALSE(broken.ReadStoredForm(std::string("\x01\x63", 2)));
    EXPECT_EQ(broken.GetIdList(), nullptr);
}
