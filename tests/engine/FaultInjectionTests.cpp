// Every file call of a split made to fail in turn, as a full disk or a broken device would.
//
// After a failure the folder holds exactly what the run had created before it: the pages it
// completed (closed) byte for byte as a clean run writes them, and the files it still had open,
// each a beginning of its clean content: the index page (open for the whole run) and the page
// or frameset page it was writing. A page's section goes through a temporary file first; that
// file is scratch space and is gone after a failure, as are partial link images.

#include "engine/FileFaults.h"
#include "engine/PathNames.h"
#include "engine/SplitRun.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/FakeHost.h"
#include "tests/engine/FaultTestSupport.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <set>

namespace fs = std::filesystem;
using filefaults::CallRecord;
using testsupport::TempDir;
using testsupport::WriteAll;

namespace {

// Links as images, breadcrumbs, the frameset page, pages at H1 and H2, and one section too
// large for memory, so that every kind of file call takes part.
std::string Document()
{
    std::string big;
    const std::string words(400, 'w');
    while (big.size() < 2200 * 1024)
        big += "<P>" + std::to_string(big.size()) + words + "</P>\r\n";
    return "<HTML><HEAD><TITLE>Walk</TITLE></HEAD>\r\n<BODY bgcolor=white>\r\n<P>intro</P>\r\n"
           "<H1>One</H1><P>a</P><H2>One.1</H2>" +
           big + "<H2>One.2</H2><P>b</P><H1>Two</H1><P>c</P><H2>Two.1</H2>d</BODY>\r\n</HTML>\r\n";
}

struct RunResult
{
    SplitOutcome Outcome = SplitOutcome::Failed;
    std::vector<std::string> Lines;
    std::vector<CallRecord> Calls;
    std::map<std::string, std::string> Files;
    bool Fired = false;
    std::size_t Descriptors = 0;
};

class FaultWalkTest : public testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directory(m_images);
        WriteAll(m_images / "prev.gif", "GIF89a-previous");
        WriteAll(m_images / "home.gif", "GIF89a-home");
        WriteAll(m_images / "next.gif", std::string(100000, 'n'));
    }

    SplitSettings Settings() const
    {
        SplitSettings s;
        s.AddLinks = true;
        s.UseImages = true;
        s.PrevLinkImage = (m_images / "prev.gif").string();
        s.HomeLinkImage = (m_images / "home.gif").string();
        s.NextLinkImage = (m_images / "next.gif").string();
        s.Navigation = true;
        s.Breadcrumbs = true;
        s.BreadcrumbsText = "Here:";
        s.BreakOn = 2;
        if (m_extras) {
            s.FixLinks = true;
            s.PageTitles = true;
            s.HeadLinks = true;
            s.Manifest = true;
        }
        return s;
    }

    void WalkEveryCall();

    // Splits the document in a fresh folder with the n-th call of kind failing.
    RunResult Run(FileCall kind, long long n, int error)
    {
        const fs::path folder = m_dir.Path() / "run";
        fs::remove_all(folder);
        fs::create_directory(folder);
        WriteAll(folder / "doc.html", m_document);
        for (const auto& [name, bytes] : m_previous)
            WriteAll(folder / name, bytes);
        FakeHost host;
        host.settings = Settings();
        host.folder = folder.string();
        RunResult result;
        {
            filefaults::ScopedFault fault(kind, n, error);
            result.Outcome = SplitFile((folder / "doc.html").string(), host);
            result.Calls = filefaults::Calls();
            result.Fired = filefaults::Fired();
        }
        result.Descriptors = faulttest::OpenDescriptors();
        result.Lines = host.lines;
        result.Files = faulttest::FolderFiles(folder);
        fs::remove_all(folder);
        return result;
    }

    TempDir m_dir;
    fs::path m_images = m_dir.Path() / "images";
    std::string m_document = Document();
    bool m_extras = false; // links fixed in a first pass, titles, head links, a manifest
    // Outputs of an earlier run put in the folder before each run, as when a document is split
    // again: every output name is taken, and each is opened the careful way.
    std::map<std::string, std::string> m_previous;
};

std::string NameOf(const CallRecord& call)
{
    return std::string(FileNamePart(call.Path));
}

// The position in calls of the n-th call of kind (from 1).
std::size_t PositionOf(const std::vector<CallRecord>& calls, FileCall kind, long long n)
{
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].Kind == kind && --n == 0)
            return i;
    }
    return calls.size();
}

// What the folder holds after a run failed at calls[failed]: the source, every output created
// before (scratch files aside) and every link image put in place before.
std::set<std::string> ExpectedNames(const std::vector<CallRecord>& calls, std::size_t failed)
{
    std::set<std::string> names{"doc.html"};
    for (std::size_t i = 0; i < failed; ++i) {
        const std::string name = NameOf(calls[i]);
        if ((calls[i].Kind == FileCall::Open && calls[i].Writing) ||
            calls[i].Kind == FileCall::Rename)
            names.insert(name);
    }
    std::erase_if(names, [](const std::string& name) { return faulttest::IsScratchName(name); });
    return names;
}

// Outputs whose writing was finished (closed) before calls[failed].
std::set<std::string> CompletedNames(const std::vector<CallRecord>& calls, std::size_t failed)
{
    std::set<std::string> names;
    for (std::size_t i = 0; i < failed; ++i) {
        if ((calls[i].Kind == FileCall::Close && calls[i].Writing) ||
            calls[i].Kind == FileCall::Rename)
            names.insert(NameOf(calls[i]));
    }
    return names;
}

// The link image a failure at calls[failed] keeps from being put in place: none when the call
// only closed an image it had read, or when another copy of it (page 1 copies its images for
// the top and for the bottom bar) puts it in place.
std::set<std::string> MissingImages(const std::vector<CallRecord>& calls, std::size_t failed)
{
    const CallRecord& call = calls[failed];
    if (call.Kind == FileCall::Close && !call.Writing)
        return {};
    std::string name = NameOf(call);
    if (name.ends_with(".partial"))
        name.resize(name.size() - std::string(".partial").size());
    // Each copy ends in a rename; the failed copy's is the first one from the failure on.
    int others = 0;
    bool failedCopySkipped = false;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].Kind != FileCall::Rename || NameOf(calls[i]) != name)
            continue;
        if (i >= failed && !failedCopySkipped)
            failedCopySkipped = true;
        else
            ++others;
    }
    return others == 0 ? std::set<std::string>{name} : std::set<std::string>{};
}

std::set<std::string> Names(const std::map<std::string, std::string>& files)
{
    std::set<std::string> names;
    for (const auto& [name, bytes] : files)
        names.insert(name);
    return names;
}

void FaultWalkTest::WalkEveryCall()
{
    const RunResult clean = Run(FileCall::Open, 0, 0);
    ASSERT_EQ(clean.Outcome, SplitOutcome::Split) << clean.Lines.back();
    const std::size_t descriptors = clean.Descriptors;
    const bool again = !m_previous.empty();

    // A page is made new in one open where its name is free, and opened once more, the careful
    // way, where an earlier run left one there.
    for (const char* name : {"doc000.html", "doc001.html", "doc005.html", "docfs.html"}) {
        EXPECT_EQ(std::count_if(clean.Calls.begin(), clean.Calls.end(),
                                [name](const CallRecord& c) {
                                    return c.Kind == FileCall::Open && NameOf(c) == name;
                                }),
                  again ? 2 : 1)
            << name;
    }

    // The walk covers what it claims: every kind of call, the temporary file on disk, the
    // images and the frameset page.
    long long counts[kFileCallKinds] = {};
    for (const CallRecord& call : clean.Calls)
        ++counts[static_cast<int>(call.Kind)];
    for (int kind = 0; kind < kFileCallKinds; ++kind)
        EXPECT_GT(counts[kind], 0) << filefaults::KindName(static_cast<FileCall>(kind));
    const std::set<std::string> written = ExpectedNames(clean.Calls, clean.Calls.size());
    for (const char* name : {"doc000.html", "doc001.html", "doc005.html", "docfs.html", "prev.gif",
                             "home.gif", "next.gif"})
        EXPECT_TRUE(written.contains(name)) << name;
    EXPECT_EQ(written.contains("docpages.json"), m_extras);
    EXPECT_TRUE(std::any_of(clean.Calls.begin(), clean.Calls.end(), [](const CallRecord& c) {
        return c.Kind == FileCall::Open && NameOf(c) == "doc002temp.html";
    }));
    EXPECT_EQ(Names(clean.Files), written);

    const int errors[] = {ENOSPC, EIO, EACCES};
    for (int kindIndex = 0; kindIndex < kFileCallKinds; ++kindIndex) {
        const auto kind = static_cast<FileCall>(kindIndex);
        for (long long n = 1; n <= counts[kindIndex]; ++n) {
            const std::size_t at = PositionOf(clean.Calls, kind, n);
            const CallRecord& failing = clean.Calls[at];
            SCOPED_TRACE(std::string(filefaults::KindName(kind)) + " #" + std::to_string(n) +
                         " of " + NameOf(failing));
            const RunResult r = Run(kind, n, errors[n % 3]);

            ASSERT_TRUE(r.Fired);
            // The run went the same way up to the failure.
            ASSERT_GT(r.Calls.size(), at);
            EXPECT_EQ(NameOf(r.Calls[at]), NameOf(failing));
            EXPECT_EQ(r.Descriptors, descriptors);
            ASSERT_TRUE(r.Files.contains("doc.html"));
            EXPECT_TRUE(r.Files.at("doc.html") == m_document) << "the source changed";
            for (const auto& [name, bytes] : r.Files)
                EXPECT_FALSE(faulttest::IsScratchName(name)) << name << " left behind";

            const std::optional<std::string> message = faulttest::FailureMessage(failing, m_images);
            if (!message) {
                // Passed over: the split completes; at most the one image is missing.
                EXPECT_EQ(r.Outcome, SplitOutcome::Split);
                EXPECT_EQ(r.Lines.back(), clean.Lines.back());
                std::set<std::string> missing;
                for (const auto& [name, bytes] : clean.Files) {
                    if (!r.Files.contains(name))
                        missing.insert(name);
                    else
                        EXPECT_TRUE(r.Files.at(name) == bytes) << name << " differs";
                }
                // An image an earlier run left stays where its new copy failed.
                EXPECT_EQ(missing,
                          again ? std::set<std::string>{} : MissingImages(clean.Calls, at));
                continue;
            }

            EXPECT_EQ(r.Outcome, SplitOutcome::Failed);
            EXPECT_EQ(r.Lines.back(), "   Exception encountered: " + *message);
            EXPECT_EQ(std::count_if(r.Lines.begin(), r.Lines.end(),
                                    [](const std::string& line) {
                                        return line.starts_with("Splitting is complete");
                                    }),
                      0);
            // The earlier run's outputs are all still there, replaced or not yet.
            EXPECT_EQ(Names(r.Files), again ? Names(clean.Files) : ExpectedNames(clean.Calls, at));
            const std::set<std::string> completed = CompletedNames(clean.Calls, at);
            for (const auto& [name, bytes] : r.Files) {
                if (name == "doc.html")
                    continue;
                ASSERT_TRUE(clean.Files.contains(name)) << name;
                if (completed.contains(name))
                    EXPECT_TRUE(bytes == clean.Files.at(name)) << name << " is not complete";
                else
                    EXPECT_TRUE(faulttest::IsPrefixOf(bytes, clean.Files.at(name)))
                        << name << " is not a beginning of its content";
            }
        }
    }
}

TEST_F(FaultWalkTest, EveryFileCallOfASplitFailsCleanly)
{
    WalkEveryCall();
}

// The first pass reads the whole document once more and the manifest is renamed into place.
TEST_F(FaultWalkTest, EveryFileCallOfASplitWithLinksFixedAndAManifestFailsCleanly)
{
    m_extras = true;
    m_document.insert(m_document.find("<P>intro"), "<a href=\"#last\">last</a>");
    m_document.insert(m_document.find("d</BODY>"), "<a name=last></a>");
    WalkEveryCall();
}

// Split again over the pages of an earlier split: the outputs are there, so every one of them is
// opened the careful way, and each file call of that way fails in turn too.
TEST_F(FaultWalkTest, EveryFileCallOfASplitOverEarlierPagesFailsCleanly)
{
    const RunResult earlier = Run(FileCall::Open, 0, 0);
    ASSERT_EQ(earlier.Outcome, SplitOutcome::Split) << earlier.Lines.back();
    m_previous = earlier.Files;
    m_previous.erase("doc.html");
    WalkEveryCall();
}

TEST_F(FaultWalkTest, UnreachedOrDisarmedFaultsChangeNothing)
{
    const RunResult beyond = Run(FileCall::Write, 1000000, EIO);
    EXPECT_FALSE(beyond.Fired);
    EXPECT_EQ(beyond.Outcome, SplitOutcome::Split);
    const std::size_t recorded = filefaults::Calls().size();
    ASSERT_GT(recorded, 0u);

    // Disarmed, a run records nothing.
    FakeHost host;
    host.settings = Settings();
    const fs::path folder = m_dir.Path() / "plain";
    fs::create_directory(folder);
    WriteAll(folder / "doc.html", m_document);
    EXPECT_EQ(SplitFile((folder / "doc.html").string(), host), SplitOutcome::Split);
    EXPECT_EQ(filefaults::Calls().size(), recorded);
    EXPECT_EQ(Names(faulttest::FolderFiles(folder)),
              ExpectedNames(beyond.Calls, beyond.Calls.size()));
}

} // namespace
