// A split on a small real file system that fills up during the run. Mounting needs root (or
// CAP_SYS_ADMIN); the test mounts in a mount namespace of its own, so nothing outside the test
// process sees the file system, and skips itself where that is not allowed.

#include "engine/PathNames.h"
#include "engine/SplitRun.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/FakeHost.h"
#include "tests/engine/FaultTestSupport.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testsupport::TempDir;
using testsupport::WriteAll;

namespace {

// Some pages, one section too large for memory (so its temporary file reaches the disk),
// and links, breadcrumbs and the frameset page.
std::string LargeDocument()
{
    const std::string words(300, 'x');
    auto section = [&](std::size_t bytes) {
        std::string text;
        while (text.size() < bytes)
            text += "<P>" + std::to_string(text.size()) + words + "</P>\r\n";
        return text;
    };
    std::string doc = "<HTML><HEAD><TITLE>Full</TITLE></HEAD>\r\n<BODY>\r\n";
    for (int i = 1; i <= 6; ++i) {
        doc += "<H1>Chapter " + std::to_string(i) + "</H1>" + section(300 * 1024);
        doc += "<H2>Part " + std::to_string(i) + ".1</H2>" + section(i == 3 ? 2600 * 1024 : 20000);
    }
    return doc + "</BODY>\r\n</HTML>\r\n";
}

std::string PageName(std::size_t page)
{
    return "big" + PageNumberText(static_cast<int>(page)) + ".htm";
}

SplitSettings Settings()
{
    SplitSettings s;
    s.AddLinks = true;
    s.Breadcrumbs = true;
    s.BreadcrumbsText = "Here:";
    s.Navigation = true;
    s.BreakOn = 2;
    return s;
}

class FullDiskTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "mounting a small file system needs root: run the tests as root "
                            "(or with CAP_SYS_ADMIN) to include the full-disk test";
        if (::unshare(CLONE_NEWNS) != 0)
            GTEST_SKIP() << "no mount namespace of our own: " << std::strerror(errno);
        // Mounts made from here on stay in this process.
        if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            GTEST_SKIP() << "cannot make the mounts private: " << std::strerror(errno);
        fs::create_directory(m_disk);
    }

    void TearDown() override { Unmount(); }

    bool Mount(std::size_t bytes)
    {
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
        m_mounted = ::mount("quirefold-full", m_disk.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                            options.c_str()) == 0;
        return m_mounted;
    }

    void Unmount()
    {
        if (m_mounted)
            ::umount2(m_disk.c_str(), MNT_DETACH);
        m_mounted = false;
    }

    // Splits the document in folder and returns the files it leaves there.
    std::map<std::string, std::string> Split(const fs::path& folder, FakeHost& host,
                                             SplitOutcome& outcome)
    {
        host.settings = Settings();
        host.folder = folder.string();
        outcome = SplitFile((folder / "big.htm").string(), host);
        return faulttest::FolderFiles(folder);
    }

    TempDir m_dir;
    fs::path m_disk = m_dir.Path() / "disk";
    bool m_mounted = false;
};

TEST_F(FullDiskTest, ASplitThatFillsTheDiskFailsCleanlyWhereverItStops)
{
    const std::string document = LargeDocument();
    const fs::path plain = m_dir.Path() / "plain";
    fs::create_directory(plain);
    WriteAll(plain / "big.htm", document);
    FakeHost reference;
    SplitOutcome outcome;
    const auto complete = Split(plain, reference, outcome);
    ASSERT_EQ(outcome, SplitOutcome::Split);
    fs::remove_all(plain);
    std::size_t outputBytes = 0;
    for (const auto& [name, bytes] : complete)
        outputBytes += bytes.size();
    const std::size_t pages = complete.size() - 3; // less the source, index and frameset

    const std::size_t descriptors = faulttest::OpenDescriptors();
    int failures = 0;
    // From room for little more than the source to room for everything.
    const std::size_t step = 384 * 1024;
    for (std::size_t room = document.size() + 64 * 1024; room < outputBytes + 4 * 1024 * 1024;
         room += step) {
        SCOPED_TRACE("file system of " + std::to_string(room) + " bytes");
        ASSERT_TRUE(Mount(room)) << std::strerror(errno);
        WriteAll(m_disk / "big.htm", document);
        FakeHost host;
        const auto files = Split(m_disk, host, outcome);
        Unmount();

        EXPECT_EQ(faulttest::OpenDescriptors(), descriptors);
        ASSERT_TRUE(files.contains("big.htm"));
        EXPECT_TRUE(files.at("big.htm") == document) << "the source changed";
        if (outcome == SplitOutcome::Split) {
            EXPECT_TRUE(files == complete);
            continue;
        }
        ++failures;
        ASSERT_EQ(outcome, SplitOutcome::Failed);
        const std::string last = host.LastLine();
        EXPECT_TRUE(last == "   Exception encountered: File could not be written" ||
                    last == "   Exception encountered: File could not be created")
            << last;
        // Pages are written one after another: those before the last one present are
        // complete, the last one (the page being written) and the index a beginning of theirs.
        std::size_t lastPage = 0;
        for (std::size_t page = 1; page <= pages; ++page) {
            if (files.contains(PageName(page)))
                lastPage = page;
        }
        for (const auto& [name, bytes] : files) {
            SCOPED_TRACE(name);
            EXPECT_FALSE(faulttest::IsScratchName(name)) << "left behind";
            ASSERT_TRUE(complete.contains(name));
            const std::string& full = complete.at(name);
            const bool open =
                name == "big000.htm" || name == "bigfs.htm" || name == PageName(lastPage);
            if (open)
                EXPECT_TRUE(faulttest::IsPrefixOf(bytes, full)) << "not a beginning";
            else
                EXPECT_TRUE(bytes == full) << "incomplete";
        }
        for (std::size_t page = 1; page < lastPage; ++page)
            EXPECT_TRUE(files.contains(PageName(page))) << "page " << page << " missing";
    }
    // The sizes tried reach from failing early to finishing.
    EXPECT_GT(failures, 3);
    EXPECT_EQ(outcome, SplitOutcome::Split);
}

} // namespace
