// The source is never written: not through a link under an output name that was there before
// the run, nor through one that appears while it runs, nor through a link image's partial copy.

#include "engine/SplitRun.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/FakeHost.h"
#include "tests/engine/FaultTestSupport.h"

#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace fs = std::filesystem;
using testsupport::Exists;
using testsupport::ReadAll;
using testsupport::TempDir;
using testsupport::WriteAll;

namespace {

const std::string kSource = "<HTML><HEAD><TITLE>s</TITLE></HEAD><BODY>\r\n"
                            "<H1>A</H1>a<H1>B</H1>b<H1>C</H1>c<H1>D</H1>d</BODY>\r\n</HTML>\r\n";
const std::string kRefused = "   Exception encountered: Output file would overwrite the source";

class SourceProtectionTest : public testing::Test
{
protected:
    void SetUp() override { WriteAll(Path("doc.html"), kSource); }

    std::string Path(const std::string& name) const { return m_dir / name; }

    SplitOutcome Split(const std::string& name = "doc.html")
    {
        m_host.lines.clear();
        return SplitFile(Path(name), m_host);
    }

    // At the first tag of the body, while the pages are being written, plant makes a link.
    void PlantDuringRun(std::function<void()> plant)
    {
        m_host.onPump = [plant, done = false](FakeHost&) mutable {
            if (!done)
                plant();
            done = true;
        };
    }

    TempDir m_dir;
    FakeHost m_host;
};

TEST_F(SourceProtectionTest, LinksAppearingDuringTheRunAreRefusedWhenTheirFileIsCreated)
{
    // Hard links under a page's, a temporary file's and the frameset page's name, and a
    // symbolic link, each made after the run looked at the folder.
    const std::pair<std::string, bool> links[] = {
        {"doc003.html", false},    {"doc003.html", true}, {"doc002temp.html", false},
        {"doc004temp.html", true}, {"docfs.html", false},
    };
    m_host.settings.Navigation = true;
    for (const auto& [name, symbolic] : links) {
        SCOPED_TRACE(name + (symbolic ? " (symbolic)" : " (hard)"));
        PlantDuringRun([&, name = name, symbolic = symbolic] {
            if (symbolic)
                fs::create_symlink("doc.html", Path(name));
            else
                fs::create_hard_link(Path("doc.html"), Path(name));
        });
        const std::size_t descriptors = faulttest::OpenDescriptors();
        EXPECT_EQ(Split(), SplitOutcome::Failed);
        EXPECT_EQ(m_host.LastLine(), kRefused);
        EXPECT_EQ(ReadAll(Path("doc.html")), kSource);
        EXPECT_EQ(faulttest::OpenDescriptors(), descriptors);
        // The link itself stays what it was: the source.
        EXPECT_EQ(ReadAll(Path(name)), kSource);
        fs::remove(Path(name));
    }
}

TEST_F(SourceProtectionTest, ALinkThroughAnotherFolderIsTheSourceToo)
{
    // The document is split under a symbolic link's name in another folder; a hard link to
    // the real file stands under an output name there.
    fs::create_directory(m_dir.Path() / "other");
    fs::create_symlink(Path("doc.html"), Path("other/link.html"));
    fs::create_hard_link(Path("doc.html"), Path("other/link002.html"));
    EXPECT_EQ(Split("other/link.html"), SplitOutcome::Failed);
    EXPECT_EQ(m_host.LastLine(), kRefused);
    EXPECT_EQ(m_host.lines.size(), 3u); // refused before anything was written
    EXPECT_FALSE(Exists(Path("other/link000.html")));
    EXPECT_EQ(ReadAll(Path("doc.html")), kSource);
}

TEST_F(SourceProtectionTest, PartialImageCopyNeverWritesThroughALink)
{
    fs::create_directory(m_dir.Path() / "images");
    WriteAll(Path("images/home.gif"), "GIF89a-home");
    m_host.settings.AddLinks = true;
    m_host.settings.UseImages = true;
    m_host.settings.HomeLinkImage = Path("images/home.gif");
    // Whatever stands under the copy's partial or final name is replaced, not written into.
    fs::create_hard_link(Path("doc.html"), Path("home.gif.partial"));
    EXPECT_EQ(Split(), SplitOutcome::Split);
    EXPECT_EQ(ReadAll(Path("doc.html")), kSource);
    EXPECT_EQ(ReadAll(Path("home.gif")), "GIF89a-home");
    EXPECT_FALSE(Exists(Path("home.gif.partial")));

    fs::remove(Path("home.gif"));
    fs::create_hard_link(Path("doc.html"), Path("home.gif"));
    EXPECT_EQ(Split(), SplitOutcome::Split);
    EXPECT_EQ(ReadAll(Path("doc.html")), kSource);
    EXPECT_EQ(ReadAll(Path("home.gif")), "GIF89a-home");
}

TEST_F(SourceProtectionTest, OutputNamesThatAreNoRegularFileFailWithoutBlocking)
{
    // A pipe nobody reads under a page's name would hold the run in open() or write().
    ASSERT_EQ(::mkfifo(Path("doc002.html").c_str(), 0600), 0);
    EXPECT_EQ(Split(), SplitOutcome::Failed);
    EXPECT_EQ(m_host.LastLine(), "   Exception encountered: File could not be created");
    fs::remove(Path("doc002.html"));

    fs::remove(Path("doc000.html"));
    fs::remove(Path("doc001.html"));
    fs::create_directory(Path("doc000.html"));
    EXPECT_EQ(Split(), SplitOutcome::Failed);
    EXPECT_EQ(m_host.LastLine(), "   Exception encountered: File could not be created");
    EXPECT_FALSE(Exists(Path("doc001.html")));
    EXPECT_EQ(ReadAll(Path("doc.html")), kSource);
}

TEST_F(SourceProtectionTest, NamesTakenBeforeTheRunAreOpenedTheCarefulWay)
{
    // A page's name taken by a stale page is replaced; a pipe under a temporary file's name
    // fails the run at that page without blocking, and stays a pipe.
    WriteAll(Path("doc001.html"),
             "stale page, longer than the page that replaces it" + std::string(1000, 's'));
    ASSERT_EQ(::mkfifo(Path("doc003temp.html").c_str(), 0600), 0);
    const std::size_t descriptors = faulttest::OpenDescriptors();
    EXPECT_EQ(Split(), SplitOutcome::Failed);
    EXPECT_EQ(m_host.LastLine(), "   Exception encountered: File could not be created");
    EXPECT_EQ(faulttest::OpenDescriptors(), descriptors);
    EXPECT_EQ(ReadAll(Path("doc.html")), kSource);
    EXPECT_EQ(ReadAll(Path("doc001.html")).find("stale"), std::string::npos);
    EXPECT_NE(ReadAll(Path("doc002.html")).find("<H1>B</H1>b"), std::string::npos);
    EXPECT_TRUE(fs::is_fifo(Path("doc003temp.html")));
    fs::remove(Path("doc003temp.html"));

    // The same names again, now all taken by the pages of the run before: replaced alike.
    std::map<std::string, std::string> before;
    EXPECT_EQ(Split(), SplitOutcome::Split);
    for (const auto& entry : fs::directory_iterator(m_dir.Path()))
        before[entry.path().filename().string()] = ReadAll(entry.path());
    EXPECT_EQ(Split(), SplitOutcome::Split);
    for (const auto& [name, bytes] : before)
        EXPECT_EQ(ReadAll(Path(name)), bytes) << name;
    EXPECT_FALSE(Exists(Path("doc003temp.html")));
}

TEST_F(SourceProtectionTest, ASourceNamedLikeAPageSplitsBesideItself)
{
    // Output names always add to the source's name, so they never name the source itself.
    WriteAll(Path("doc001.html"), kSource);
    EXPECT_EQ(Split("doc001.html"), SplitOutcome::Split);
    EXPECT_EQ(ReadAll(Path("doc001.html")), kSource);
    for (const char* name : {"doc001000.html", "doc001001.html", "doc001004.html"})
        EXPECT_TRUE(Exists(Path(name))) << name;
    EXPECT_FALSE(Exists(Path("doc001005.html")));
}

} // namespace
