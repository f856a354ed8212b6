// Copies and moves as a hostile world meets them: sparse files, hard links, attributes, other
// users' setuid files, links that leave the item, writers racing the copy, mounted volumes,
// destinations that cannot hold everything, killed jobs. Real files on real file systems; what
// needs root or a second file system is skipped without them.

#include "shell/namespace/FileOperation.h"
#include "tests/common/TestSupport.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testsupport::Exists;
using testsupport::ReadAll;
using testsupport::WriteAll;

constexpr uid_t nobody = 65534;
constexpr std::size_t mib = std::size_t(1) << 20;

std::string Bytes(std::size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + seed * 17 + i / 251) & 0xFF);
    return bytes;
}

bool IsRoot()
{
    return ::geteuid() == 0;
}

std::map<std::string, std::string> Attributes(const fs::path& path)
{
    std::map<std::string, std::string> attributes;
    char names[4096];
    ssize_t size = ::llistxattr(path.c_str(), names, sizeof names);
    for (ssize_t start = 0; start < size;
         start += static_cast<ssize_t>(std::strlen(names + start)) + 1) {
        char value[4096];
        ssize_t length = ::lgetxattr(path.c_str(), names + start, value, sizeof value);
        attributes[names + start] =
            std::string(value, static_cast<std::size_t>(std::max<ssize_t>(length, 0)));
    }
    return attributes;
}

bool SetAttribute(const fs::path& path, const char* name, const std::string& value)
{
    return ::lsetxattr(path.c_str(), name, value.data(), value.size(), 0) == 0;
}

// A POSIX ACL as the kernel stores it: version 2, then (tag, permissions, id) for the owner, a
// named user, the group, the mask and others.
std::string Acl(std::uint32_t namedUser)
{
    const std::uint32_t none = 0xFFFFFFFF, values[] = {1,    6,  none, 2,    4,  namedUser, 4,   4,
                                                       none, 16, 4,    none, 32, 0,         none};
    std::string acl("\2\0\0\0", 4);
    for (std::size_t i = 0; i < std::size(values); ++i)
        for (int byte = 0; byte < (i % 3 == 2 ? 4 : 2); ++byte)
            acl += static_cast<char>((values[i] >> (8 * byte)) & 0xFF);
    return acl;
}

struct stat StatOf(const fs::path& path)
{
    struct stat st
    {
    };
    ::lstat(path.c_str(), &st);
    return st;
}

bool SameTime(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::vector<std::string> PartsIn(const fs::path& folder)
{
    std::vector<std::string> parts;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name.rfind(".quirefold-part-", 0) == 0)
            parts.push_back(name);
    }
    return parts;
}

using OtherFolder = testsupport::OtherFileSystemDir;

// A file system of its own, mounted for one test (root only) and always unmounted.
class Mount
{
public:
    Mount(const fs::path& at, const char* type, const char* options) : m_at(at)
    {
        fs::create_directories(at);
        m_mounted = IsRoot() && ::mount(type, at.c_str(), type, 0, options) == 0;
    }
    ~Mount()
    {
        if (m_mounted)
            ::umount2(m_at.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return m_mounted; }

private:
    fs::path m_at;
    bool m_mounted = false;
};

// Runs body in a child process as an unprivileged user (nobody when the tests run as root).
// Returns what body found wrong; empty when all was well.
std::string AsNormalUser(const std::function<std::string()>& body)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return "no pipe";
    pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        std::string result;
        if (IsRoot() && (::setgroups(0, nullptr) != 0 || ::setresgid(nobody, nobody, nobody) != 0 ||
                         ::setresuid(nobody, nobody, nobody) != 0))
            result = "could not become an unprivileged user";
        else
            result = body();
        [[maybe_unused]] ssize_t written = ::write(pipeFds[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string result;
    char buffer[512];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status))
        result += "the child process died";
    return result;
}

// Checks inside a child process: the failures as text.
struct ChildChecks
{
    std::string failures;
    void operator()(bool ok, const std::string& what)
    {
        if (!ok)
            failures += what + "\n";
    }
};

TEST(FileCopy, KeepsHolesHardLinksAttributesAndTimes)
{
    testsupport::TempDir dir;
    OtherFolder other;
    const fs::path source = dir.Path() / "item";
    fs::create_directories(source / "sub");
    fs::create_directories(dir.Path() / "outside");
    // 200 MiB of which 4 KiB hold data.
    const std::uint64_t sparseSize = 200 * mib;
    const std::string data = Bytes(4096, 9);
    {
        int fd = ::open((source / "sparse.bin").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, data.data(), data.size(), 100 * mib), 4096);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(sparseSize)), 0);
        ::close(fd);
    }
    WriteAll(source / "a.txt", Bytes(5000, 1));
    fs::create_hard_link(source / "a.txt", source / "sub" / "b.txt");
    WriteAll(source / "c.txt", Bytes(700, 2));
    fs::create_hard_link(source / "c.txt", dir.Path() / "outside" / "c.txt");
    fs::create_symlink("a.txt", source / "link");
    fs::permissions(source / "a.txt", fs::perms(0640));
    fs::permissions(source / "sub", fs::perms(0750));
    ASSERT_TRUE(SetAttribute(source / "a.txt", "user.note", std::string("n\0te", 4)));
    ASSERT_TRUE(SetAttribute(source / "sub", "user.tag", "folder"));
    const bool acls = SetAttribute(source / "c.txt", "system.posix_acl_access", Acl(4242)) &&
                      SetAttribute(source / "sub", "system.posix_acl_default", Acl(4343));
    const struct timespec atime
    {
        1000000000, 123456789
    }, mtime{1100000000, 987654321};
    const struct timespec times[2] = {atime, mtime};

    std::vector<fs::path> targets{dir.Path() / "same"};
    if (other.Usable())
        targets.push_back(other.Path());
    for (const fs::path& target : targets) {
        SCOPED_TRACE(target.string());
        fs::create_directories(target);
        // (Reading the source sets its access times anew.)
        for (const char* name : {"a.txt", "link", "sub", ""})
            ASSERT_EQ(::utimensat(AT_FDCWD, (source / name).c_str(), times, AT_SYMLINK_NOFOLLOW),
                      0);
        TFileOperation copy(TFileOperation::foCopy, {source.string()}, target.string());
        ASSERT_TRUE(copy.Run()) << copy.ErrorText();
        EXPECT_EQ(copy.WarningText(), "");
        const fs::path item = target / "item";
        // (Before anything reads the copies.)
        for (const char* name : {"a.txt", "link", "sub", ""}) {
            EXPECT_TRUE(SameTime(StatOf(item / name).st_mtim, mtime)) << name;
            EXPECT_TRUE(SameTime(StatOf(item / name).st_atim, atime)) << name;
        }

        struct stat sparse = StatOf(item / "sparse.bin");
        EXPECT_EQ(static_cast<std::uint64_t>(sparse.st_size), sparseSize);
        EXPECT_LE(sparse.st_blocks * 512, 1 << 20) << "the holes were filled";
        std::string read(4096, 'x');
        int fd = ::open((item / "sparse.bin").c_str(), O_RDONLY);
        EXPECT_EQ(::pread(fd, read.data(), read.size(), 100 * mib), 4096);
        EXPECT_TRUE(read == data);
        ::close(fd);
        EXPECT_EQ(copy.Progress().BytesDone(), copy.Progress().BytesTotal());
        EXPECT_EQ(copy.Progress().BytesTotal(), sparseSize + 5000 * 2 + 700);

        // Names of one file within the item stay one file; a name outside does not count.
        EXPECT_EQ(StatOf(item / "a.txt").st_ino, StatOf(item / "sub" / "b.txt").st_ino);
        EXPECT_EQ(StatOf(item / "a.txt").st_nlink, 2u);
        EXPECT_EQ(StatOf(item / "c.txt").st_nlink, 1u);
        EXPECT_TRUE(ReadAll(item / "sub" / "b.txt") == Bytes(5000, 1));

        // (Older kernels keep no user attributes in memory.)
        const bool userAttributes = SetAttribute(target, "user.probe", "1");
        for (const char* name : {"a.txt", "c.txt", "link", "sub", ""}) {
            struct stat was = StatOf(source / name), is = StatOf(item / name);
            EXPECT_EQ(is.st_mode, was.st_mode) << name;
            EXPECT_EQ(is.st_uid, was.st_uid) << name;
            EXPECT_EQ(is.st_gid, was.st_gid) << name;
            if (userAttributes) {
                EXPECT_EQ(Attributes(item / name), Attributes(source / name)) << name;
            }
        }
        EXPECT_EQ(Attributes(item / "c.txt").count("system.posix_acl_access"), acls ? 1u : 0u);
    }
}

TEST(FileCopy, SetIdBitsGoWithTheOwnerOnly)
{
    if (!IsRoot())
        GTEST_SKIP() << "needs root to own files of another user";
    OtherFolder shared;
    if (!shared.Usable())
        GTEST_SKIP() << "no folder that an unprivileged user can reach";
    const fs::path source = shared.Path() / "source";
    const fs::path byRoot = shared.Path() / "by-root";
    const fs::path byUser = shared.Path() / "by-user";
    for (const fs::path& folder : {source / "shared", byRoot, byUser})
        fs::create_directories(folder);
    fs::permissions(shared.Path(), fs::perms(0755));
    for (const char* name : {"tool", "roottool", "groupTool"})
        WriteAll(source / name, "#!/bin/sh\n");
    for (const fs::path& path : {source / "tool", source / "shared", byUser})
        ASSERT_EQ(::chown(path.c_str(), nobody, nobody), 0);
    for (auto [name, mode] :
         {std::pair{"tool", 04755}, {"shared", 02775}, {"roottool", 04755}, {"groupTool", 02755}})
        ASSERT_EQ(::chmod((source / name).c_str(), static_cast<mode_t>(mode)), 0);

    // Root keeps the owner, and with it the bits: never a set-user-ID file of root's own.
    TFileOperation copy(TFileOperation::foCopy,
                        {(source / "tool").string(), (source / "shared").string()},
                        byRoot.string());
    ASSERT_TRUE(copy.Run()) << copy.ErrorText();
    for (const char* name : {"tool", "shared"}) {
        struct stat st = StatOf(byRoot / name);
        EXPECT_EQ(st.st_uid, nobody) << name;
        EXPECT_EQ(st.st_gid, nobody) << name;
    }
    EXPECT_EQ(StatOf(byRoot / "tool").st_mode & 07777, 04755u);
    EXPECT_EQ(StatOf(byRoot / "shared").st_mode & 07777, 02775u);

    // A user cannot keep root as the owner: the copy is the user's, without the bits.
    std::string failures = AsNormalUser([&] {
        ChildChecks check;
        TFileOperation job(TFileOperation::foCopy,
                           {(source / "roottool").string(), (source / "groupTool").string()},
                           byUser.string());
        check(job.Run(), "the copy failed: " + job.ErrorText());
        for (const char* name : {"roottool", "groupTool"}) {
            struct stat st = StatOf(byUser / name);
            check(st.st_uid == nobody, std::string(name) + " is not the user's");
            check((st.st_mode & 07777) == 0755, std::string(name) + " kept a set-ID bit");
        }
        check(job.WarningText().find("set-user-ID") != std::string::npos &&
                  job.WarningText().find("set-group-ID") != std::string::npos,
              "no word of the dropped bits: " + job.WarningText());
        return check.failures;
    });
    EXPECT_EQ(failures, "");
}

TEST(FileCopy, RelativeLinksLeavingTheItemStillLeadThere)
{
    testsupport::TempDir dir;
    const fs::path source = dir.Path() / "source";
    const fs::path target = dir.Path() / "target";
    fs::create_directories(source / "tree" / "sub");
    fs::create_directories(target);
    WriteAll(source / "outside.txt", "outside");
    WriteAll(source / "tree" / "sub" / "f", "inside");
    fs::create_symlink("sub/f", source / "tree" / "in");
    fs::create_symlink("../outside.txt", source / "tree" / "up");
    fs::create_symlink("/nowhere/at/all", source / "tree" / "absolute");
    fs::create_symlink("../../outside.txt", source / "tree" / "sub" / "deep");
    fs::create_symlink("tree/sub/f", source / "toplink");
    const std::string real = fs::canonical(source).string();

    TFileOperation copy(TFileOperation::foCopy,
                        {(source / "tree").string(), (source / "toplink").string()},
                        target.string());
    ASSERT_TRUE(copy.Run()) << copy.ErrorText();
    const fs::path tree = target / "tree";
    EXPECT_EQ(fs::read_symlink(tree / "in"), "sub/f");
    EXPECT_EQ(fs::read_symlink(tree / "absolute"), "/nowhere/at/all");
    EXPECT_EQ(fs::read_symlink(tree / "up"), real + "/outside.txt");
    EXPECT_EQ(fs::read_symlink(tree / "sub" / "deep"), real + "/outside.txt");
    EXPECT_EQ(fs::read_symlink(target / "toplink"), real + "/tree/sub/f");
    EXPECT_EQ(ReadAll(tree / "up"), "outside");

    // A copy beside the link leads where the link does as it is.
    TFileOperation beside(TFileOperation::foCopy, {(source / "toplink").string()}, source.string());
    ASSERT_TRUE(beside.Run()) << beside.ErrorText();
    EXPECT_EQ(fs::read_symlink(source / "toplink (copy)"), "tree/sub/f");
}

TEST(FileMove, AcrossFileSystemsRemovesOnlyWhatItCopied)
{
    testsupport::TempDir dir;
    OtherFolder other;
    if (!other.Usable())
        GTEST_SKIP() << "no second file system to move across";
    const fs::path folder = dir.Path() / "folder";
    fs::create_directories(folder / "sub");
    fs::create_directories(folder / "meta");
    WriteAll(folder / "a.txt", Bytes(3000, 1));
    // (Removing one name of a file changes the other's ctime: both still go.)
    fs::create_hard_link(folder / "a.txt", folder / "a2.txt");
    WriteAll(folder / "sub" / "c.txt", Bytes(100, 2));
    WriteAll(folder / "sub" / "d.txt", Bytes(200, 3));
    WriteAll(folder / "meta" / "e.txt", Bytes(300, 4));
    WriteAll(dir.Path() / "single.txt", Bytes(400, 5));

    // While the copy is under way: a file appears in a folder already read, another folder
    // changes its mode, and a file whose move is complete but whose source has not gone yet
    // is written to.
    TFileOperation move(TFileOperation::foMove,
                        {(dir.Path() / "single.txt").string(), folder.string()},
                        other.Path().string());
    move.SetCopyProgress([&](const std::string& path, std::uint64_t) {
        if (path == (folder / "sub" / "c.txt").string())
            WriteAll(folder / "sub" / "new.txt", "arrived during the move");
        if (path == (folder / "meta" / "e.txt").string())
            fs::permissions(folder / "meta", fs::perms(0700));
        if (path == folder.string()) {
            WriteAll(dir.Path() / "single.txt", Bytes(400, 6));
            struct timespec later[2] = {{0, UTIME_OMIT}, {2000000000, 0}};
            ::utimensat(AT_FDCWD, (dir.Path() / "single.txt").c_str(), later, 0);
        }
    });
    EXPECT_FALSE(move.Run());
    // Exactly what stayed, and why.
    EXPECT_EQ(ReadAll(folder / "sub" / "new.txt"), "arrived during the move");
    EXPECT_TRUE(ReadAll(dir.Path() / "single.txt") == Bytes(400, 6));
    EXPECT_FALSE(Exists(folder / "a.txt"));
    EXPECT_FALSE(Exists(folder / "a2.txt"));
    EXPECT_FALSE(Exists(folder / "sub" / "c.txt"));
    EXPECT_FALSE(Exists(folder / "sub" / "d.txt"));
    EXPECT_FALSE(Exists(folder / "meta" / "e.txt"));
    EXPECT_TRUE(fs::is_directory(folder / "meta"));
    const std::string errors = move.ErrorText();
    EXPECT_NE(errors.find("single.txt: It changed while it was moved; it was kept."),
              std::string::npos)
        << errors;
    EXPECT_NE(errors.find("folder/sub: "), std::string::npos) << errors;
    EXPECT_NE(errors.find("folder/meta: "), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 2) << errors;
    EXPECT_EQ(move.KeptSources().size(), 2u);
    // The copies are whole, as they were when copied.
    EXPECT_TRUE(ReadAll(other.Path() / "single.txt") == Bytes(400, 5));
    EXPECT_TRUE(ReadAll(other.Path() / "folder" / "sub" / "d.txt") == Bytes(200, 3));
    EXPECT_FALSE(Exists(other.Path() / "folder" / "sub" / "new.txt"));
    EXPECT_TRUE(PartsIn(other.Path()).empty());
}

TEST(FileMove, AFileRewrittenWhileCopiedIsNeitherTornNorLost)
{
    testsupport::TempDir dir;
    OtherFolder other;
    const fs::path folder = dir.Path() / "folder";
    fs::create_directories(folder);
    const std::size_t size = 9 * mib;
    WriteAll(folder / "big.bin", Bytes(size, 1));
    WriteAll(folder / "small.txt", "small");
    const std::string rewritten = Bytes(size, 2);

    // Rewritten in place, the same size, once the first block is in the copy.
    auto rewriteOnce = [&](TFileOperation& job) {
        auto done = std::make_shared<bool>(false);
        job.SetCopyProgress([&, done](const std::string& path, std::uint64_t copied) {
            if (*done || copied == 0 || path != (folder / "big.bin").string())
                return;
            *done = true;
            int fd = ::open(path.c_str(), O_WRONLY);
            ASSERT_EQ(::pwrite(fd, rewritten.data(), rewritten.size(), 0),
                      static_cast<ssize_t>(size));
            // As an editor stamps it, whatever the clock's grain.
            struct timespec later[2] = {{0, UTIME_OMIT}, {2000000000, 0}};
            ::futimens(fd, later);
            ::close(fd);
        });
    };
    // A copy beside it, and where there is another file system a copy and a move there.
    std::vector<std::pair<fs::path, TFileOperation::Kind>> jobs{
        {dir.Path() / "target", TFileOperation::foCopy}};
    fs::create_directories(dir.Path() / "target");
    if (other.Usable()) {
        jobs.emplace_back(other.Path(), TFileOperation::foCopy);
        jobs.emplace_back(other.Path(), TFileOperation::foMove);
    }
    for (const auto& [target, kind] : jobs) {
        SCOPED_TRACE(target.string() + (kind == TFileOperation::foMove ? " move" : " copy"));
        WriteAll(folder / "big.bin", Bytes(size, 1));
        TFileOperation job(kind, {folder.string()}, target.string());
        rewriteOnce(job);
        EXPECT_FALSE(job.Run());
        EXPECT_NE(job.ErrorText().find("folder/big.bin: It changed while it was"),
                  std::string::npos)
            << job.ErrorText();
        EXPECT_TRUE(ReadAll(folder / "big.bin") == rewritten);
        EXPECT_EQ(ReadAll(folder / "small.txt"), "small");
        EXPECT_FALSE(Exists(target / "folder"));
        EXPECT_TRUE(PartsIn(target).empty());
    }
}

TEST(FileMove, MountedVolumesAreNeverMovedAcross)
{
    testsupport::TempDir dir;
    const fs::path tree = dir.Path() / "tree";
    fs::create_directories(tree / "inner");
    WriteAll(tree / "a.txt", "a");
    Mount volume(tree / "inner" / "volume", "tmpfs", "size=1m");
    Mount destination(dir.Path() / "destination", "tmpfs", "size=4m");
    if (!volume.Mounted() || !destination.Mounted())
        GTEST_SKIP() << "needs root to mount file systems of its own";
    WriteAll(tree / "inner" / "volume" / "data.txt", "on the volume");

    for (const fs::path& item : {tree, tree / "inner" / "volume"}) {
        TFileOperation move(TFileOperation::foMove, {item.string()},
                            (dir.Path() / "destination").string());
        EXPECT_FALSE(move.Run());
        EXPECT_NE(move.ErrorText().find("mounted volume"), std::string::npos) << move.ErrorText();
    }
    EXPECT_EQ(ReadAll(tree / "inner" / "volume" / "data.txt"), "on the volume");
    EXPECT_EQ(ReadAll(tree / "a.txt"), "a");
    EXPECT_TRUE(fs::is_empty(dir.Path() / "destination"));

    // A copy takes the volume's contents along, as cp -a does.
    TFileOperation copy(TFileOperation::foCopy, {tree.string()},
                        (dir.Path() / "destination").string());
    ASSERT_TRUE(copy.Run()) << copy.ErrorText();
    EXPECT_EQ(ReadAll(dir.Path() / "destination" / "tree" / "inner" / "volume" / "data.txt"),
              "on the volume");
}

TEST(FileMove, WhatTheDestinationCannotHoldKeepsTheSource)
{
    testsupport::TempDir dir;
    Mount plain(dir.Path() / "plain", "ramfs", "");
    Mount full(dir.Path() / "full", "tmpfs", "size=1m");
    if (!plain.Mounted() || !full.Mounted())
        GTEST_SKIP() << "needs root to mount file systems of its own";
    const fs::path noted = dir.Path() / "noted.txt";
    WriteAll(noted, Bytes(2000, 1));
    ASSERT_TRUE(SetAttribute(noted, "user.origin", "camera"));
    ASSERT_TRUE(SetAttribute(noted, "user.rating", "5"));

    // This file system keeps no extended attributes: the copy goes without, and says so.
    TFileOperation copy(TFileOperation::foCopy, {noted.string()}, (dir.Path() / "plain").string());
    EXPECT_TRUE(copy.Run()) << copy.ErrorText();
    EXPECT_TRUE(ReadAll(dir.Path() / "plain" / "noted.txt") == Bytes(2000, 1));
    EXPECT_EQ(copy.WarningText().find("noted.txt: It was copied without "), 0u)
        << copy.WarningText();
    EXPECT_NE(copy.WarningText().find("user.origin"), std::string::npos);
    EXPECT_NE(copy.WarningText().find("user.rating"), std::string::npos);
    TFileOperation move(TFileOperation::foMove, {noted.string()}, (dir.Path() / "plain").string());
    EXPECT_TRUE(move.Run()) << move.ErrorText();
    EXPECT_TRUE(ReadAll(dir.Path() / "plain" / "noted (copy).txt") == Bytes(2000, 1));
    EXPECT_EQ(Attributes(noted).size(), 2u);
    EXPECT_EQ(move.KeptSources(), std::vector<std::string>{noted.string()});
    EXPECT_NE(move.WarningText().find("the original was kept"), std::string::npos);

    // A full file system: the item fails, nothing of it stays there, the source stays whole.
    const fs::path large = dir.Path() / "large.bin";
    WriteAll(large, Bytes(3 * mib, 2));
    for (auto kind : {TFileOperation::foCopy, TFileOperation::foMove}) {
        TFileOperation job(kind, {large.string()}, (dir.Path() / "full").string());
        EXPECT_FALSE(job.Run());
        EXPECT_NE(job.ErrorText().find(std::strerror(ENOSPC)), std::string::npos)
            << job.ErrorText();
        EXPECT_TRUE(fs::is_empty(dir.Path() / "full"));
        EXPECT_TRUE(ReadAll(large) == Bytes(3 * mib, 2));
    }
}

TEST(FileOperation, NoPartFileOutlivesItsJob)
{
    OtherFolder shared;
    if (!shared.Usable())
        GTEST_SKIP() << "no folder that an unprivileged user can reach";
    const fs::path root = shared.Path();
    fs::permissions(root, fs::perms(0777));

    // A user's failed copy of read-only folders removes all of it: modes come last.
    std::string failures = AsNormalUser([&] {
        ChildChecks check;
        // The pipe between the folders, so that one of them is done before the pipe fails,
        // whichever way the folder lists them.
        fs::create_directories(root / "tree" / "ro1");
        WriteAll(root / "tree" / "ro1" / "f", "1");
        check(::mkfifo((root / "tree" / "pipe").c_str(), 0600) == 0, "no pipe");
        fs::create_directories(root / "tree" / "ro2");
        WriteAll(root / "tree" / "ro2" / "f", "2");
        fs::create_directories(root / "target");
        fs::permissions(root / "tree" / "ro1", fs::perms(0555));
        fs::permissions(root / "tree" / "ro2", fs::perms(0555));
        TFileOperation copy(TFileOperation::foCopy, {(root / "tree").string()},
                            (root / "target").string());
        // Until the whole tree is in, every folder of the copy stays the user's alone.
        copy.SetCopyProgress([&](const std::string& path, std::uint64_t) {
            if (path != (root / "tree" / "pipe").string())
                return;
            for (const std::string& part : PartsIn(root / "target")) {
                for (const auto& entry : fs::recursive_directory_iterator(root / "target" / part))
                    check(!entry.is_directory() || (StatOf(entry.path()).st_mode & 07777) == 0700,
                          entry.path().string() + " has its final mode early");
            }
        });
        check(!copy.Run(), "a pipe was copied");
        check(fs::is_empty(root / "target"), "the failed copy left something behind");
        return check.failures;
    });
    EXPECT_EQ(failures, "");

    // Jobs killed or stopped in the middle of a file.
    const fs::path source = root / "big.bin";
    const fs::path target = root / "killed";
    fs::create_directories(target);
    WriteAll(source, Bytes(9 * mib, 3));
    auto startJob = [&](int signal) {
        pid_t child = ::fork();
        if (child == 0) {
            TFileOperation job(TFileOperation::foCopy, {source.string()}, target.string());
            job.SetCopyProgress([signal](const std::string&, std::uint64_t done) {
                if (done > 0)
                    ::raise(signal);
            });
            job.Run();
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, WUNTRACED);
        return child;
    };
    pid_t stopped = startJob(SIGSTOP);
    std::shared_ptr<void> endStopped(nullptr, [stopped](void*) {
        ::kill(stopped, SIGKILL);
        ::waitpid(stopped, nullptr, 0);
    });
    ASSERT_EQ(PartsIn(target).size(), 1u);
    const std::string live = PartsIn(target).front();
    startJob(SIGKILL);
    ASSERT_EQ(PartsIn(target).size(), 2u);

    // The next job in that folder sweeps the dead job's part and leaves the live one's.
    TFileOperation next(TFileOperation::foCopy, {source.string()}, target.string());
    EXPECT_TRUE(next.Run()) << next.ErrorText();
    EXPECT_EQ(PartsIn(target), std::vector<std::string>{live});
    EXPECT_NE(live.find("-" + std::to_string(stopped) + "-"), std::string::npos);
    endStopped.reset();
    TFileOperation last(TFileOperation::foCopy, {source.string()}, target.string());
    EXPECT_TRUE(last.Run());
    EXPECT_TRUE(PartsIn(target).empty());

    // Cancel in the middle of a file: no part, the source whole, the progress part way.
    testsupport::TempDir disk;
    const fs::path cancelled = disk.Path();
    TFileOperation move(TFileOperation::foMove, {source.string()}, cancelled.string());
    move.SetCopyProgress([&](const std::string&, std::uint64_t done) {
        if (done > 0)
            move.Cancel();
    });
    EXPECT_FALSE(move.Run());
    EXPECT_TRUE(move.Cancelled());
    EXPECT_TRUE(fs::is_empty(cancelled));
    EXPECT_TRUE(ReadAll(source) == Bytes(9 * mib, 3));
    EXPECT_GT(move.Progress().BytesDone(), 0u);
    EXPECT_LT(move.Progress().BytesDone(), move.Progress().BytesTotal());
}

TEST(FileOperation, RenameFallbackNeverLeavesTwoNames)
{
    OtherFolder shared;
    if (!shared.Usable())
        GTEST_SKIP() << "no folder that an unprivileged user can reach";
    const fs::path root = shared.Path();
    fs::permissions(root, fs::perms(0777));
    std::string failures = AsNormalUser([&] {
        ChildChecks check;
        using fileop::RenameNoReplaceFallback;
        fs::create_directories(root / "locked");
        fs::create_directories(root / "open");
        fs::create_directories(root / "folder" / "inside");
        WriteAll(root / "locked" / "f", "f");
        fs::permissions(root / "locked", fs::perms(0555));

        // The new name would hold, the old one cannot go: the item keeps its one name.
        errno = 0;
        check(RenameNoReplaceFallback(root / "locked" / "f", root / "open" / "f") != 0 &&
                  errno == EACCES,
              "the file left a read-only folder");
        check(Exists(root / "locked" / "f") && !Exists(root / "open" / "f"),
              "the file has two names");
        // Folders take a placeholder of their own kind, which only the rename replaces.
        fs::create_directories(root / "open" / "full" / "x");
        check(RenameNoReplaceFallback(root / "folder", root / "open" / "full") != 0 &&
                  errno == EEXIST && Exists(root / "open" / "full" / "x"),
              "a folder replaced a folder");
        check(RenameNoReplaceFallback(root / "folder", root / "open" / "moved") == 0 &&
                  fs::is_directory(root / "open" / "moved" / "inside") && !Exists(root / "folder"),
              "a folder did not move to a free name");
        fs::permissions(root / "locked", fs::perms(0755));
        return check.failures;
    });
    EXPECT_EQ(failures, "");
}

} // namespace
