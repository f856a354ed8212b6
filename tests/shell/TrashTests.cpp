// Delete to the trash on real file systems: the very item named, by its bytes, into the trash
// the freedesktop rules name, and never deleted for good without the user's word.

#include "shell/namespace/FileOperation.h"
#include "tests/common/TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::Exists;
using testsupport::ReadAll;
using testsupport::WriteAll;

fs::path DataHome()
{
    return fs::path(std::getenv("XDG_DATA_HOME"));
}

// What another trash implementation reads from an info file: the Path key, %XX decoded.
std::string TrashedPath(const fs::path& info)
{
    std::string text = ReadAll(info);
    std::size_t start = text.find("\nPath=");
    EXPECT_NE(start, std::string::npos) << text;
    if (start == std::string::npos)
        return {};
    start += 6;
    std::string value = text.substr(start, text.find('\n', start) - start);
    std::string path;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size()) {
            path += static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            EXPECT_TRUE(static_cast<unsigned char>(value[i]) > 0x20 &&
                        static_cast<unsigned char>(value[i]) < 0x7F)
                << "unescaped byte in " << value;
            path += value[i];
        }
    }
    return path;
}

// The trashed items of a trash folder: original path (as its info file gives it) to contents.
std::vector<std::pair<std::string, std::string>> TrashContents(const fs::path& trash)
{
    std::vector<std::pair<std::string, std::string>> items;
    if (!fs::is_directory(trash / "info"))
        return items;
    for (const auto& entry : fs::directory_iterator(trash / "info")) {
        std::string name = entry.path().filename().string();
        fs::path file = trash / "files" / name.substr(0, name.size() - 10); // ".trashinfo"
        std::string contents = fs::is_symlink(file)        ? "-> " + fs::read_symlink(file).string()
                               : fs::is_regular_file(file) ? ReadAll(file)
                                                           : "(folder)";
        items.emplace_back(TrashedPath(entry.path()), contents);
    }
    std::sort(items.begin(), items.end());
    return items;
}

bool Trash(const std::vector<std::string>& paths, std::string* errors = nullptr)
{
    TFileOperation job(TFileOperation::foTrash, paths);
    bool ok = job.Run();
    if (errors)
        *errors = job.ErrorText();
    return ok;
}

// A small ext4 volume of its own, mounted for the test (root only).
class ScratchVolume
{
public:
    ScratchVolume()
    {
        if (::geteuid() != 0)
            return;
        std::string image = m_dir / "volume.img";
        std::string mount = m_dir / "mnt";
        fs::create_directories(mount);
        std::string make = "truncate -s 8M '" + image + "' && mkfs.ext4 -q -F '" + image +
                           "' >/dev/null 2>&1 && mount -o loop '" + image + "' '" + mount +
                           "' 2>/dev/null";
        if (std::system(make.c_str()) == 0)
            m_mount = mount;
    }
    ~ScratchVolume()
    {
        if (!m_mount.empty())
            ::umount2(m_mount.c_str(), MNT_DETACH);
    }
    ScratchVolume(const ScratchVolume&) = delete;
    ScratchVolume& operator=(const ScratchVolume&) = delete;

    // Empty when no volume could be mounted here.
    const fs::path& Path() const { return m_mount; }

private:
    testsupport::TempDir m_dir;
    fs::path m_mount;
};

TEST(Trash, TrashesTheVeryItemByItsBytesWithInfoOtherTrashesRead)
{
    testsupport::TempDir dir;
    const std::string latin1 = "caf\xe9.htm";
    const std::string twin = "caf\xef\xbf\xbd.htm"; // what latin1 becomes decoded as UTF-8
    const std::string odd = "new\nline 100%25.htm";
    WriteAll(dir.Path() / latin1, "latin-1");
    WriteAll(dir.Path() / twin, "twin");
    WriteAll(dir.Path() / odd, "odd");
    // Links go as links, never what they point to, even when that is gone or elsewhere.
    fs::create_symlink(dir.Path() / "gone", dir.Path() / "dangling");
    // /dev/shm is a tmpfs, where no trash can be.
    testsupport::OtherFileSystemDir memory;
    const fs::path& elsewhere = memory.Path();
    if (!elsewhere.empty())
        fs::create_symlink(elsewhere, dir.Path() / "to-other-volume");
    // With no data folder yet, the trash is made there, not in the working folder.
    fs::remove_all(DataHome());
    testsupport::TempDir work;
    fs::path before = fs::current_path();
    fs::current_path(work.Path());

    std::vector<std::string> paths = {dir / latin1, dir / odd, dir / "dangling"};
    if (!elsewhere.empty())
        paths.push_back(dir / "to-other-volume");
    std::string errors;
    EXPECT_TRUE(Trash(paths, &errors)) << errors;
    fs::current_path(before);

    EXPECT_TRUE(fs::is_empty(work.Path()));
    EXPECT_FALSE(Exists(dir.Path() / latin1));
    EXPECT_EQ(ReadAll(dir.Path() / twin), "twin");
    std::vector<std::pair<std::string, std::string>> expected = {
        {dir / latin1, "latin-1"}, {dir / odd, "odd"}, {dir / "dangling", "-> " + dir / "gone"}};
    if (!elsewhere.empty()) {
        expected.emplace_back(dir / "to-other-volume", "-> " + elsewhere.string());
        EXPECT_TRUE(fs::is_directory(elsewhere));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(TrashContents(DataHome() / "Trash"), expected);
    EXPECT_EQ(fs::directory_iterator(dir.Path())->path().filename(), twin);
}

TEST(Trash, WhereNoTrashCanBeOnlyTheUsersWordDeletesForGood)
{
    testsupport::OtherFileSystemDir memory;
    const fs::path& folder = memory.Path();
    if (folder.empty())
        GTEST_SKIP() << "no tmpfs apart from the home folder's file system";
    fs::create_directories(folder / "sub" / "deeper");
    WriteAll(folder / "sub" / "deeper" / "x.htm", "x");
    WriteAll(folder / "a.htm", "a");
    WriteAll(folder / "b.htm", "b");
    WriteAll(folder / "c.htm", "c");

    // Without anyone to ask, nothing goes.
    std::string errors;
    EXPECT_FALSE(Trash({folder / "a.htm"}, &errors));
    EXPECT_EQ(errors, "a.htm: It cannot be moved to the trash.");
    EXPECT_EQ(ReadAll(folder / "a.htm"), "a");

    std::vector<std::pair<std::string, bool>> asked;
    std::vector<TFileOperation::DeleteAnswer> answers = {TFileOperation::DeleteAnswer::No,
                                                         TFileOperation::DeleteAnswer::YesToAll};
    TFileOperation job(TFileOperation::foTrash,
                       {folder / "a.htm", folder / "sub/", folder / "b.htm"});
    job.SetConfirmDelete([&](const std::string& path, bool more) {
        asked.emplace_back(path, more);
        TFileOperation::DeleteAnswer answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    });
    EXPECT_FALSE(job.Run());
    EXPECT_EQ(job.ErrorText(), "");
    EXPECT_EQ(asked, (std::vector<std::pair<std::string, bool>>{{folder / "a.htm", true},
                                                                {folder / "sub", true}}));
    EXPECT_EQ(ReadAll(folder / "a.htm"), "a");
    EXPECT_FALSE(Exists(folder / "sub"));
    EXPECT_FALSE(Exists(folder / "b.htm"));
    EXPECT_EQ(ReadAll(folder / "c.htm"), "c");
    EXPECT_FALSE(Exists(DataHome() / "Trash" / "files" / "b.htm"));
}

TEST(Trash, AVolumeKeepsItsOwnTrashWithRelativePathsOrAsksWhenItHasNone)
{
    ScratchVolume volume;
    if (volume.Path().empty())
        GTEST_SKIP() << "no volume of its own can be mounted here (needs root and loop devices)";
    const fs::path& top = volume.Path();
    fs::create_directories(top / "docs");
    WriteAll(top / "docs" / "a%20b.htm", "on the volume");
    EXPECT_TRUE(Trash({top / "docs" / "a%20b.htm"}));
    fs::path trash = top / (".Trash-" + std::to_string(::getuid()));
    ASSERT_TRUE(fs::is_directory(trash / "files"));
    // The path in a volume's trash is relative to the volume's top, so the volume may move.
    EXPECT_NE(ReadAll(trash / "info" / "a%20b.htm.trashinfo").find("\nPath=docs/a%2520b.htm\n"),
              std::string::npos)
        << ReadAll(trash / "info" / "a%20b.htm.trashinfo");
    EXPECT_EQ(ReadAll(trash / "files" / "a%20b.htm"), "on the volume");
    EXPECT_FALSE(Exists(DataHome() / "Trash" / "files" / "a%20b.htm"));

    // A volume where its trash cannot be made: the user is asked, and No keeps the file.
    fs::remove_all(trash);
    WriteAll(trash, "not a folder");
    WriteAll(top / "docs" / "c.htm", "c");
    int asked = 0;
    TFileOperation job(TFileOperation::foTrash, {top / "docs" / "c.htm"});
    job.SetConfirmDelete([&](const std::string&, bool more) {
        ++asked;
        EXPECT_FALSE(more);
        return TFileOperation::DeleteAnswer::No;
    });
    EXPECT_FALSE(job.Run());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ReadAll(top / "docs" / "c.htm"), "c");
    EXPECT_EQ(ReadAll(trash), "not a folder");
}

} // namespace
