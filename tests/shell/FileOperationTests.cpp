// File operation jobs on real folders: every byte of every copy is checked, and every failure
// must leave the sources as they were.

#include "shell/namespace/FileOperation.h"
#include "tests/common/TestSupport.h"

#include <QStandardPaths>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testsupport::Exists;
using testsupport::ReadAll;
using testsupport::WriteAll;

// Contents no copy gets right by accident: every byte value, and more than one block.
std::string Bytes(std::size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + seed * 17 + i / 251) & 0xFF);
    return bytes;
}

// A tree of files, a subfolder, an empty folder and a link.
void MakeTree(const fs::path& root)
{
    fs::create_directories(root / "sub" / "deeper");
    fs::create_directories(root / "empty");
    WriteAll(root / "one.html", Bytes(3000, 1));
    WriteAll(root / "sub" / "two.bin", Bytes((1 << 20) + 77, 2));
    WriteAll(root / "sub" / "deeper" / "three.txt", Bytes(0, 3));
    fs::create_symlink("one.html", root / "link.html");
}

void ExpectSameTree(const fs::path& expected, const fs::path& actual)
{
    ASSERT_TRUE(fs::is_directory(actual)) << actual;
    std::size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(expected)) {
        ++count;
        fs::path other = actual / entry.path().lexically_relative(expected);
        if (entry.is_symlink()) {
            ASSERT_TRUE(fs::is_symlink(other)) << other;
            EXPECT_EQ(fs::read_symlink(other), fs::read_symlink(entry.path()));
        } else if (entry.is_directory()) {
            EXPECT_TRUE(fs::is_directory(other)) << other;
        } else {
            ASSERT_TRUE(fs::is_regular_file(other)) << other;
            EXPECT_TRUE(ReadAll(other) == ReadAll(entry.path())) << other;
        }
    }
    std::size_t actualCount = 0;
    for ([[maybe_unused]] const auto& entry : fs::recursive_directory_iterator(actual))
        ++actualCount;
    EXPECT_EQ(actualCount, count) << actual;
}

std::size_t EntryCount(const fs::path& folder)
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++count;
    return count;
}

TEST(FileOperation, CopyNamesAndNameRules)
{
    using fileop::CopyName;
    EXPECT_EQ(CopyName("name.html", 0, false), "name.html");
    EXPECT_EQ(CopyName("name.html", 1, false), "name (copy).html");
    EXPECT_EQ(CopyName("name.html", 2, false), "name (copy 2).html");
    EXPECT_EQ(CopyName(".profile", 1, false), ".profile (copy)");
    EXPECT_EQ(CopyName("README", 3, false), "README (copy 3)");
    EXPECT_EQ(CopyName("pages.v2", 1, true), "pages.v2 (copy)");
    // Shortened before the suffix, never inside a character, to fit the file system.
    EXPECT_EQ(CopyName("abcdef.html", 1, false, 16), "abcd (copy).html");
    EXPECT_EQ(CopyName("ab\xc3\xa9\xc3\xa9.html", 2, false, 19), "ab\xc3\xa9 (copy 2).html");
    EXPECT_EQ(CopyName("x.verylongextension", 1, false, 12), "x.ver (copy)");
    EXPECT_EQ(fileop::LinkName("c.html", 1, false), "Link to c.html");
    EXPECT_EQ(fileop::LinkName("c.html", 3, false), "Link to c (3).html");
    EXPECT_EQ(fileop::LinkName("pages.v2", 2, true), "Link to pages.v2 (2)");

    EXPECT_TRUE(fileop::IsValidItemName("a b.html"));
    for (const char* name : {"", ".", "..", "a/b", "/"})
        EXPECT_FALSE(fileop::IsValidItemName(name)) << name;

    testsupport::TempDir dir;
    fs::create_directories(dir.Path() / "a" / "b");
    EXPECT_TRUE(fileop::IsSameOrInside(dir / "a/b", dir / "a"));
    EXPECT_TRUE(fileop::IsSameOrInside(dir / "a", dir / "a"));
    EXPECT_FALSE(fileop::IsSameOrInside(dir / "a", dir / "a/b"));
    fs::create_directories(dir.Path() / "ab");
    EXPECT_FALSE(fileop::IsSameOrInside(dir / "ab", dir / "a"));
}

TEST(FileOperation, ALongestNameIsCopiedWhereItIsTaken)
{
    testsupport::TempDir dir;
    // 255 bytes, most of them two-byte characters.
    std::string name = "a";
    while (name.size() < 255)
        name += "\xc3\xa9";
    fs::create_directories(dir.Path() / "target");
    WriteAll(dir.Path() / name, "source");
    WriteAll(dir.Path() / "target" / name, "taken");
    TFileOperation copy(TFileOperation::foCopy, {dir / name, dir / name},
                        (dir.Path() / "target").string());
    ASSERT_TRUE(copy.Run()) << copy.ErrorText();
    ASSERT_EQ(copy.Results().size(), 2u);
    for (const std::string& result : copy.Results()) {
        std::string placed = fs::path(result).filename().string();
        EXPECT_LE(placed.size(), 255u);
        EXPECT_NE(placed.find(" (copy"), std::string::npos) << placed;
        // Cut between characters: what is left of the name is still whole characters.
        EXPECT_EQ(placed.substr(0, placed.find(" (copy")).size() % 2, 1u) << placed;
        EXPECT_EQ(ReadAll(result), "source");
    }
    EXPECT_EQ(ReadAll(dir.Path() / "target" / name), "taken");
}

TEST(FileOperation, RenameNoReplaceNeverReplaces)
{
    testsupport::TempDir dir;
    WriteAll(dir.Path() / "a", "first");
    WriteAll(dir.Path() / "b", "second");
    EXPECT_NE(fileop::RenameNoReplace(dir / "a", dir / "b"), 0);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(ReadAll(dir.Path() / "a"), "first");
    EXPECT_EQ(ReadAll(dir.Path() / "b"), "second");
    EXPECT_EQ(fileop::RenameNoReplace(dir / "a", dir / "c"), 0);
    EXPECT_FALSE(Exists(dir.Path() / "a"));
    EXPECT_EQ(ReadAll(dir.Path() / "c"), "first");
}

TEST(FileOperation, CopyKeepsEveryByteAndNeverOverwrites)
{
    testsupport::TempDir dir;
    fs::path source = dir.Path() / "source";
    fs::path target = dir.Path() / "target";
    MakeTree(source);
    fs::create_directories(target);
    WriteAll(target / "one.html", "already here");

    TFileOperation copy(TFileOperation::foCopy,
                        {(source / "one.html").string(), (source / "sub").string(),
                         (source / "link.html").string(), (source / "empty").string()},
                        target.string());
    ASSERT_TRUE(copy.Run()) << copy.ErrorText();
    EXPECT_EQ(ReadAll(target / "one.html"), "already here");
    EXPECT_TRUE(ReadAll(target / "one (copy).html") == ReadAll(source / "one.html"));
    ExpectSameTree(source / "sub", target / "sub");
    EXPECT_TRUE(fs::is_symlink(target / "link.html"));
    EXPECT_TRUE(fs::is_directory(target / "empty"));
    EXPECT_EQ(copy.Results().front(), (target / "one (copy).html").string());
    // Nothing half made is left behind, and the sources are untouched.
    EXPECT_EQ(EntryCount(target), 5u);
    testsupport::TempDir fresh;
    MakeTree(fresh.Path());
    ExpectSameTree(fresh.Path(), source);

    // Copies into the same folder take the next free names.
    TFileOperation again(
        TFileOperation::foCopy,
        {(source / "one.html").string(), (source / "one.html").string(), (source / "sub").string()},
        source.string());
    ASSERT_TRUE(again.Run()) << again.ErrorText();
    EXPECT_TRUE(ReadAll(source / "one (copy).html") == Bytes(3000, 1));
    EXPECT_TRUE(ReadAll(source / "one (copy 2).html") == Bytes(3000, 1));
    ExpectSameTree(fresh.Path() / "sub", source / "sub (copy)");
}

TEST(FileOperation, MoveWithinAFileSystemRenamesWithoutReplacing)
{
    testsupport::TempDir dir;
    fs::path source = dir.Path() / "source";
    fs::path target = dir.Path() / "target";
    MakeTree(source);
    fs::create_directories(target / "sub");
    WriteAll(target / "sub" / "mine.txt", "keep");

    TFileOperation move(TFileOperation::foMove,
                        {(source / "one.html").string(), (source / "sub").string()},
                        target.string());
    ASSERT_TRUE(move.Run()) << move.ErrorText();
    EXPECT_FALSE(Exists(source / "one.html"));
    EXPECT_FALSE(Exists(source / "sub"));
    EXPECT_TRUE(ReadAll(target / "one.html") == Bytes(3000, 1));
    // The folder of the same name is left alone; the moved one takes a new name.
    EXPECT_EQ(ReadAll(target / "sub" / "mine.txt"), "keep");
    EXPECT_EQ(EntryCount(target / "sub"), 1u);
    EXPECT_TRUE(ReadAll(target / "sub (copy)" / "two.bin") == Bytes((1 << 20) + 77, 2));

    // Moving an item to where it is does nothing; a folder never goes into itself.
    TFileOperation stay(TFileOperation::foMove, {(target / "one.html").string()}, target.string());
    EXPECT_TRUE(stay.Run());
    EXPECT_TRUE(ReadAll(target / "one.html") == Bytes(3000, 1));
    TFileOperation inside(TFileOperation::foMove, {(target / "sub (copy)").string()},
                          (target / "sub (copy)" / "deeper").string());
    EXPECT_FALSE(inside.Run());
    ASSERT_EQ(inside.Errors().size(), 1u);
    EXPECT_NE(inside.ErrorText().find("inside the source folder"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(target / "sub (copy)" / "deeper"));
    TFileOperation copyInside(TFileOperation::foCopy, {(target / "sub (copy)").string()},
                              (target / "sub (copy)").string());
    EXPECT_FALSE(copyInside.Run());
    EXPECT_EQ(EntryCount(target / "sub (copy)"), 2u);
}

TEST(FileOperation, MoveAcrossFileSystemsCopiesCompletelyBeforeRemoving)
{
    testsupport::OtherFileSystemDir otherDir;
    const fs::path& other = otherDir.Path();
    if (other.empty())
        GTEST_SKIP() << "no second file system to move across";
    testsupport::TempDir dir;
    fs::path source = dir.Path() / "source";
    MakeTree(source);
    testsupport::TempDir expected;
    MakeTree(expected.Path());
    WriteAll(other / "one.html", "taken");

    TFileOperation move(TFileOperation::foMove,
                        {(source / "one.html").string(), (source / "sub").string()},
                        other.string());
    bool ok = move.Run();
    EXPECT_TRUE(ok) << move.ErrorText();
    EXPECT_FALSE(Exists(source / "one.html"));
    EXPECT_FALSE(Exists(source / "sub"));
    EXPECT_EQ(ReadAll(other / "one.html"), "taken");
    EXPECT_TRUE(ReadAll(other / "one (copy).html") == Bytes(3000, 1));
    ExpectSameTree(expected.Path() / "sub", other / "sub");

    // A folder that cannot be copied whole is not moved at all: nothing of it is lost.
    fs::create_directories(source / "odd");
    WriteAll(source / "odd" / "a.txt", Bytes(5000, 4));
    ASSERT_EQ(::mkfifo((source / "odd" / "pipe").c_str(), 0600), 0);
    TFileOperation odd(TFileOperation::foMove, {(source / "odd").string()}, other.string());
    EXPECT_FALSE(odd.Run());
    EXPECT_TRUE(ReadAll(source / "odd" / "a.txt") == Bytes(5000, 4));
    EXPECT_TRUE(Exists(source / "odd" / "pipe"));
    EXPECT_EQ(EntryCount(other), 3u); // one.html, one (copy).html, sub
}

TEST(FileOperation, FailuresAndCancelLeaveSourcesWhole)
{
    testsupport::TempDir dir;
    fs::path source = dir.Path() / "source";
    fs::path target = dir.Path() / "target";
    MakeTree(source);
    fs::create_directories(target);
    ASSERT_EQ(::mkfifo((source / "sub" / "pipe").c_str(), 0600), 0);

    // A copy that fails part way removes what it made and goes on with the next item.
    TFileOperation copy(
        TFileOperation::foCopy,
        {(source / "sub").string(), (source / "missing").string(), (source / "one.html").string()},
        target.string());
    EXPECT_FALSE(copy.Run());
    EXPECT_EQ(copy.Errors().size(), 2u);
    EXPECT_EQ(EntryCount(target), 1u);
    EXPECT_TRUE(ReadAll(target / "one.html") == Bytes(3000, 1));
    EXPECT_TRUE(ReadAll(source / "sub" / "two.bin") == Bytes((1 << 20) + 77, 2));

    TFileOperation nowhere(TFileOperation::foMove, {(source / "one.html").string()},
                           (dir.Path() / "gone").string());
    EXPECT_FALSE(nowhere.Run());
    EXPECT_TRUE(ReadAll(source / "one.html") == Bytes(3000, 1));

    // Cancelled after the first item: the rest stays where it is.
    fs::path second = dir.Path() / "second";
    fs::create_directories(second);
    TFileOperation cancelled(TFileOperation::foMove,
                             {(source / "one.html").string(), (source / "empty").string()},
                             second.string());
    int seen = 0;
    cancelled.SetProgress([&](const std::string&) {
        if (++seen == 2)
            cancelled.Cancel();
    });
    EXPECT_FALSE(cancelled.Run());
    EXPECT_TRUE(cancelled.Cancelled());
    EXPECT_TRUE(ReadAll(second / "one.html") == Bytes(3000, 1));
    EXPECT_TRUE(fs::is_directory(source / "empty"));
    EXPECT_EQ(EntryCount(second), 1u);
}

TEST(FileOperation, RenameTrashAndLink)
{
    testsupport::TempDir dir;
    WriteAll(dir.Path() / "a.html", "aaa");
    WriteAll(dir.Path() / "b.html", "bbb");

    TFileOperation clash(TFileOperation::foRename, {dir / "a.html"}, "b.html");
    EXPECT_FALSE(clash.Run());
    EXPECT_NE(clash.ErrorText().find("already exists"), std::string::npos);
    EXPECT_EQ(ReadAll(dir.Path() / "a.html"), "aaa");
    EXPECT_EQ(ReadAll(dir.Path() / "b.html"), "bbb");
    for (const char* bad : {"", "x/y", ".."}) {
        TFileOperation refused(TFileOperation::foRename, {dir / "a.html"}, bad);
        EXPECT_FALSE(refused.Run()) << bad;
    }
    TFileOperation rename(TFileOperation::foRename, {dir / "a.html"}, "c.html");
    ASSERT_TRUE(rename.Run());
    EXPECT_EQ(rename.Results(), std::vector<std::string>{dir / "c.html"});
    EXPECT_EQ(ReadAll(dir.Path() / "c.html"), "aaa");

    TFileOperation link(TFileOperation::foLink, {dir / "c.html", dir / "c.html"},
                        dir.Path().string());
    ASSERT_TRUE(link.Run());
    EXPECT_EQ(fs::read_symlink(dir.Path() / "Link to c.html"), dir.Path() / "c.html");
    EXPECT_EQ(fs::read_symlink(dir.Path() / "Link to c (2).html"), dir.Path() / "c.html");

    // The trash keeps the contents; the test environment's data folder holds it.
    TFileOperation trash(TFileOperation::foTrash, {dir / "c.html", dir / "b.html"});
    ASSERT_TRUE(trash.Run()) << trash.ErrorText();
    EXPECT_FALSE(Exists(dir.Path() / "c.html"));
    EXPECT_FALSE(Exists(dir.Path() / "b.html"));
    fs::path trashFiles =
        fs::path(
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString()) /
        "Trash" / "files";
    EXPECT_EQ(ReadAll(trashFiles / "c.html"), "aaa");
    EXPECT_EQ(ReadAll(trashFiles / "b.html"), "bbb");
    TFileOperation missing(TFileOperation::foTrash, {dir / "nothing.html"});
    EXPECT_FALSE(missing.Run());
}

} // namespace
