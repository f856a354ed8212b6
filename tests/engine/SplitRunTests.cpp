#include "engine/PageMarkup.h"
#include "engine/PathNames.h"
#include "engine/SplitRun.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/FakeHost.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using testsupport::Exists;
using testsupport::ReadAll;
using testsupport::TempDir;
using testsupport::WriteAll;

namespace {

const std::string kHeader = "<HTML><HEAD><TITLE>t</TITLE></HEAD>\r\n<BODY bgcolor=white>";
const std::string kTrailer = "</BODY>\r\n</HTML>\r\n";
const std::string kBarStart = "<p class=\"quirefold_link_p\" align=\"center\">\r\n";
const std::string kBarEnd = "</p><br>\r\n";

std::string Link(const std::string& target, const std::string& text)
{
    return "<A class=\"quirefold_link_a\" HREF=\"" + target + "\">" + text + "</A>";
}

std::string Crumb(const std::string& target, const std::string& text)
{
    return "<A class=\"quirefold_breadcrumb_a\" HREF=\"" + target + "\">" + text + "</A>";
}

std::string Trail(const std::string& label, const std::string& items)
{
    return "<p class=\"quirefold_breadcrumb_p\">\r\n" + label + " " + items + "\r\n</p>\r\n";
}

class SplitTest : public testing::Test
{
protected:
    // Writes name (header + body) into the test folder and splits it.
    void Split(const std::string& body, const std::string& name = "doc.html")
    {
        m_source = m_dir / name;
        WriteAll(m_source, kHeader + body);
        SplitFile(m_source, m_host);
    }
    std::string Out(const std::string& name) const { return ReadAll(m_dir / name); }
    bool Has(const std::string& name) const { return Exists(m_dir / name); }
    std::string Path(const std::string& name) const { return m_dir / name; }

    TempDir m_dir;
    FakeHost m_host;
    std::string m_source;
};

TEST_F(SplitTest, ThreePagesWithLinkBarsIndexAndLog)
{
    m_host.settings.AddLinks = true;
    Split("text<H1>A</H1>more<H2>A1</H2>x<h1 id=b>B</h1>y</BODY>ignored");

    const std::string home = Link("doc000.html", "Home") + "&nbsp;";
    const std::string bar1 = kBarStart + home + Link("doc002.html", "Next") + kBarEnd;
    const std::string bar2 = kBarStart + Link("doc001.html", "Previous") + "&nbsp;" + home +
                             Link("doc003.html", "Next") + kBarEnd;
    const std::string bar3 =
        kBarStart + Link("doc002.html", "Previous") + "&nbsp;" + home + kBarEnd;
    EXPECT_EQ(Out("doc001.html"),
              kHeader + bar1 + "text<H1>A</H1>more" + "<BR>\r\n" + bar1 + kTrailer);
    EXPECT_EQ(Out("doc002.html"), kHeader + bar2 + "<H2>A1</H2>x" + "<BR>\r\n" + bar2 + kTrailer);
    EXPECT_EQ(Out("doc003.html"),
              kHeader + bar3 + "<h1 id=b>B</h1>y" + "<BR>\r\n" + bar3 + kTrailer);
    EXPECT_EQ(
        Out("doc000.html"),
        kHeader + "<a class=\"quirefold_index_a\" HREF=\"doc001.html\">A</a><br>\r\n" +
            "&nbsp&nbsp&nbsp<a class=\"quirefold_index_a\" HREF=\"doc002.html\">A1</a><br>\r\n" +
            "<a class=\"quirefold_index_a\" HREF=\"doc003.html\">B</a><br>\r\n" + kTrailer);
    EXPECT_FALSE(Has("doc004.html"));
    EXPECT_FALSE(Has("doc001temp.html"));
    EXPECT_FALSE(Has("docfs.html"));

    const std::string d = (m_dir.Path() / "").string(); // ends with the separator
    const std::vector<std::string> log = {
        "Splitting " + d + "doc.html.",
        "   Source file " + d + "doc.html opened successfully.",
        "   Header read. " + std::to_string(kHeader.size()) + " bytes.",
        "   Index file " + d + "doc000.html created.",
        "      Target file " + d + "doc001.html created.",
        "      Header written to " + d + "doc001.html.",
        "         Heading read. 6 bytes.",
        "         Heading: A",
        "      Target file " + d + "doc001.html closed.",
        "      Target file " + d + "doc002.html created.",
        "      Header written to " + d + "doc002.html.",
        "         Heading read. 7 bytes.",
        "         Heading: A1",
        "      Target file " + d + "doc002.html closed.",
        "      Target file " + d + "doc003.html created.",
        "      Header written to " + d + "doc003.html.",
        "         Heading read. 6 bytes.",
        "         Heading: B",
        "      Target file " + d + "doc003.html closed.",
        "   Index file " + d + "doc000.html closed.",
        "   Source file " + d + "doc.html closed.",
        "Splitting is complete. 3 files and 1 index file created.",
    };
    EXPECT_EQ(m_host.lines, log);
    EXPECT_EQ(m_host.opened, std::vector<std::string>{d + "doc000.html"});
    EXPECT_EQ(m_host.remembered, std::vector<std::string>{"/shown/folder"});
}

TEST_F(SplitTest, NoNavigationMarkupWhenEverythingIsOff)
{
    Split("text<H1>A</H1>more<H2>A1</H2>x<H3>deep</H3>z</BODY>");
    EXPECT_EQ(Out("doc001.html"), kHeader + "text<H1>A</H1>more<BR>\r\n" + kTrailer);
    // An H3 at break level 2 stays inside its page and gets no index entry.
    EXPECT_EQ(Out("doc002.html"), kHeader + "<H2>A1</H2>x<H3>deep</H3>z<BR>\r\n" + kTrailer);
    EXPECT_EQ(Out("doc000.html").find("deep"), std::string::npos);
    EXPECT_EQ(m_host.LastLine(), "Splitting is complete. 2 files and 1 index file created.");
}

TEST_F(SplitTest, BreadcrumbTrailsFollowTheHeadings)
{
    m_host.settings.Breadcrumbs = true;
    m_host.settings.BreadcrumbsText = "You are here:";
    m_host.settings.BreakOn = 3;
    Split("<H1>A</H1>a<H2>A1</H2>b<H3>A1x</H3>c<H1>B</H1>d<H3>B1</H3>e</BODY>");
    EXPECT_EQ(Out("doc001.html"),
              kHeader + Trail("You are here:", "A") + "<H1>A</H1>a<BR>\r\n" + kTrailer);
    EXPECT_EQ(Out("doc002.html"),
              kHeader + Trail("You are here:", Crumb("doc001.html", "A") + " &gt; A1") +
                  "<H2>A1</H2>b<BR>\r\n" + kTrailer);
    EXPECT_EQ(Out("doc003.html"),
              kHeader +
                  Trail("You are here:", Crumb("doc001.html", "A") + " &gt; " +
                                             Crumb("doc002.html", "A1") + " &gt; A1x") +
                  "<H3>A1x</H3>c<BR>\r\n" + kTrailer);
    // A new H1 empties the lower levels.
    EXPECT_EQ(Out("doc004.html"),
              kHeader + Trail("You are here:", "B") + "<H1>B</H1>d<BR>\r\n" + kTrailer);
    EXPECT_EQ(Out("doc005.html"),
              kHeader + Trail("You are here:", "B &gt; B1") + "<H3>B1</H3>e<BR>\r\n" + kTrailer);
}

TEST_F(SplitTest, DocumentStartingWithAnH2GetsHomeInItsTrail)
{
    m_host.settings.Breadcrumbs = true;
    m_host.settings.BreadcrumbsText = "Here:";
    Split("intro<H2>First</H2>x<H2>Second</H2>y</BODY>");
    EXPECT_EQ(Out("doc001.html"), kHeader +
                                      Trail("Here:", Crumb("doc001.html", "Home") + " &gt; First") +
                                      "intro<H2>First</H2>x<BR>\r\n" + kTrailer);
    EXPECT_EQ(Out("doc002.html"),
              kHeader + Trail("Here:", Crumb("doc001.html", "Home") + " &gt; Second") +
                  "<H2>Second</H2>y<BR>\r\n" + kTrailer);

    // An H3 first at level 3: both upper levels are Home, both linked to page 1.
    m_host.settings.BreakOn = 3;
    Split("<H3>Deep</H3>z</BODY>", "deep.html");
    EXPECT_EQ(Out("deep001.html"),
              kHeader +
                  Trail("Here:", Crumb("deep001.html", "Home") + " &gt; " +
                                     Crumb("deep001.html", "Home") + " &gt; Deep") +
                  "<H3>Deep</H3>z<BR>\r\n" + kTrailer);
}

TEST_F(SplitTest, NavigationWritesFramesetAndTargetsTheMainFrame)
{
    m_host.settings.Navigation = true;
    Split("<H1><A NAME=\"x\">Intro</A></H1>a<H2>Use <B>it</B></H2>b</BODY>");
    EXPECT_EQ(
        Out("doc000.html"),
        kHeader +
            "<a class=\"quirefold_index_a\" HREF=\"doc001.html\" target=\"main\"><A NAME=\"x\">"
            "Intro</A></a><br>\r\n"
            "&nbsp&nbsp&nbsp<a class=\"quirefold_index_a\" HREF=\"doc002.html\" "
            "target=\"main\">Use <B>it</B></a><br>\r\n" +
            kTrailer);
    EXPECT_NE(Out("docfs.html").find("<frame src=\"doc001.html\" name=\"main\">"),
              std::string::npos);
    const auto& l = m_host.lines;
    ASSERT_GE(l.size(), 2u);
    EXPECT_EQ(l[l.size() - 2], "Created frameset.");
    EXPECT_EQ(l.back(),
              "Splitting is complete. 2 files, 1 frameset file and 1 index file created.");
    EXPECT_EQ(m_host.opened, std::vector<std::string>{Path("docfs.html")});
}

TEST_F(SplitTest, DocumentWithoutSplitHeadingIsOnePage)
{
    m_host.settings.AddLinks = true;
    Split("just <b>text</b><H3>small</H3></BODY>");
    const std::string bar = kBarStart + Link("doc000.html", "Home") + "&nbsp;" + kBarEnd;
    EXPECT_EQ(Out("doc001.html"),
              kHeader + bar + "just <b>text</b><H3>small</H3><BR>\r\n" + bar + kTrailer);
    EXPECT_EQ(Out("doc000.html"), kHeader + kTrailer);
    EXPECT_EQ(m_host.LastLine(), "Splitting is complete. 1 files and 1 index file created.");
}

TEST_F(SplitTest, ImageModeCopiesTheImagesBesideThePages)
{
    WriteAll(m_dir / "prev.gif", "P");
    std::filesystem::create_directory(m_dir.Path() / "img");
    WriteAll(m_dir / "img/next.gif", "N");
    m_host.settings.AddLinks = true;
    m_host.settings.UseImages = true;
    m_host.settings.PrevLinkImage = Path("prev.gif"); // already where the pages go
    m_host.settings.HomeLinkImage = "";
    m_host.settings.NextLinkImage = Path("img/next.gif");
    Split("<H1>A</H1>a<H1>B</H1>b</BODY>");
    EXPECT_EQ(Out("prev.gif"), "P");
    EXPECT_EQ(Out("next.gif"), "N");
    EXPECT_NE(Out("doc002.html").find("<IMG SRC=\"prev.gif\" ALT=\"Previous\" BORDER=\"0\">"),
              std::string::npos);
    EXPECT_NE(Out("doc002.html").find("<IMG SRC=\"\" ALT=\"Home\" BORDER=\"0\">"),
              std::string::npos);
}

TEST_F(SplitTest, AnImageNamedLikeTheDocumentOrAPageIsNotCopiedOverIt)
{
    // Images from another folder whose names are those of the source and of page 2.
    std::filesystem::create_directory(m_dir.Path() / "img");
    WriteAll(m_dir / "img/doc.html", "GIF89a-prev");
    WriteAll(m_dir / "img/doc002.html", "GIF89a-next");
    m_host.settings.AddLinks = true;
    m_host.settings.UseImages = true;
    m_host.settings.PrevLinkImage = Path("img/doc.html");
    m_host.settings.HomeLinkImage = "";
    m_host.settings.NextLinkImage = Path("img/doc002.html");
    const std::string body = "<H1>A</H1>a<H1>B</H1>b</BODY>";
    Split(body);
    EXPECT_EQ(m_host.LastLine(), "Splitting is complete. 2 files and 1 index file created.");
    EXPECT_EQ(Out("doc.html"), kHeader + body);
    EXPECT_EQ(Out("doc002.html").substr(0, kHeader.size()), kHeader);
}

TEST_F(SplitTest, OutputNamesForOddPaths)
{
    std::filesystem::create_directory(m_dir.Path() / "v1.2");
    Split("<H1>A</H1>a<H1>B</H1>b</BODY>", "v1.2/README");
    EXPECT_TRUE(Has("v1.2/README000"));
    EXPECT_TRUE(Has("v1.2/README001"));
    EXPECT_TRUE(Has("v1.2/README002"));
    EXPECT_NE(Out("v1.2/README000").find("HREF=\"README002\""), std::string::npos);

    Split("<H1>A</H1>a</BODY>", "v1.2/page.xhtml5");
    EXPECT_TRUE(Has("v1.2/page001.xhtml5"));
}

TEST_F(SplitTest, PageNumbersGrowPastThreeDigits)
{
    m_host.settings.AddLinks = true;
    std::string body;
    for (int i = 1; i <= 1001; ++i)
        body += "<H1>S" + std::to_string(i) + "</H1>x";
    Split(body + "</BODY>");
    EXPECT_TRUE(Has("doc999.html"));
    EXPECT_TRUE(Has("doc1001.html"));
    EXPECT_FALSE(Has("doc1002.html"));
    const std::string page = Out("doc1000.html");
    EXPECT_NE(page.find(Link("doc999.html", "Previous")), std::string::npos);
    EXPECT_NE(page.find(Link("doc1001.html", "Next")), std::string::npos);
    EXPECT_NE(Out("doc000.html").find("HREF=\"doc1001.html\">S1001</a>"), std::string::npos);
    EXPECT_EQ(m_host.LastLine(), "Splitting is complete. 1001 files and 1 index file created.");
}

TEST_F(SplitTest, ExistingPagesAreReplaced)
{
    WriteAll(m_dir / "doc001.html", std::string(100000, 'o'));
    Split("<H1>A</H1>a</BODY>");
    EXPECT_EQ(Out("doc001.html"), kHeader + "<H1>A</H1>a<BR>\r\n" + kTrailer);
}

TEST_F(SplitTest, MissingBodyEndFailsAndLeavesTheFilesWritten)
{
    Split("<H1>A</H1>a<H2>B</H2>unfinished");
    EXPECT_EQ(m_host.LastLine(), "   Exception encountered: End of body tag not found");
    EXPECT_TRUE(m_host.opened.empty());
    EXPECT_EQ(Out("doc001.html"), kHeader + "<H1>A</H1>a<BR>\r\n" + kTrailer);
    EXPECT_EQ(Out("doc002.html"), kHeader); // the partly written page
    EXPECT_FALSE(Has("doc002temp.html"));   // scratch space, not a result
    // The index keeps its entries but gets no trailer.
    EXPECT_EQ(
        Out("doc000.html"),
        kHeader +
            "<a class=\"quirefold_index_a\" HREF=\"doc001.html\">A</a><br>\r\n"
            "&nbsp&nbsp&nbsp<a class=\"quirefold_index_a\" HREF=\"doc002.html\">B</a><br>\r\n");
}

TEST_F(SplitTest, TemporaryFilesAreReplacedRemovedOrLeftAsOnAnyFailure)
{
    // Whatever stood under a temporary file's name is replaced and gone afterwards.
    WriteAll(m_dir / "doc002temp.html", "stale");
    Split("<H1>A</H1>a<H1>B</H1>b</BODY>");
    EXPECT_FALSE(Has("doc002temp.html"));
    EXPECT_EQ(Out("doc002.html"), kHeader + "<H1>B</H1>b<BR>\r\n" + kTrailer);

    // A name that cannot be written is a failure at the start of that page.
    std::filesystem::create_directory(m_dir.Path() / "doc002temp.html");
    Split("<H1>A</H1>a<H1>B</H1>b</BODY>");
    EXPECT_EQ(m_host.LastLine(), "   Exception encountered: File could not be created");
    EXPECT_EQ(Out("doc002.html"), kHeader);

    // A failure removes the temporary file, also one with nothing scanned yet.
    Split("", "empty.html");
    EXPECT_EQ(m_host.LastLine(), "   Exception encountered: End of body tag not found");
    EXPECT_FALSE(Has("empty001temp.html"));
    EXPECT_EQ(Out("empty001.html"), kHeader);
}

TEST_F(SplitTest, LargeSectionsPassThroughTheirTemporaryFile)
{
    // Sections far larger than any buffer, with tags on both sides of buffer edges.
    std::string big;
    while (big.size() < 5 * 1024 * 1024)
        big += "<p class=x>" + std::to_string(big.size()) + " words and <i>more</i></p>\n";
    Split("<H1>A</H1>" + big + "<H1>B</H1>" + big + "</BODY>");
    EXPECT_EQ(Out("doc001.html"), kHeader + "<H1>A</H1>" + big + "<BR>\r\n" + kTrailer);
    EXPECT_EQ(Out("doc002.html"), kHeader + "<H1>B</H1>" + big + "<BR>\r\n" + kTrailer);
    EXPECT_FALSE(Has("doc002temp.html"));

    // Failing inside such a section removes its temporary file, which had reached the disk.
    Split("<H1>A</H1>" + big, "cut.html");
    EXPECT_EQ(m_host.LastLine(), "   Exception encountered: End of body tag not found");
    EXPECT_FALSE(Has("cut001temp.html"));
    EXPECT_EQ(Out("cut001.html"), kHeader);
}

TEST_F(SplitTest, EveryScannerFailureEndsTheRunWithItsMessage)
{
    const std::pair<std::string, std::string> cases[] = {
        {"<H1>A</H1>a<H2 unclosed", "End of tag not found"},
        {"<H2>Intro</H3>a", "</H2> tag not found"},
        {"<H1>" + std::string(5000, 'h') + "</H1></BODY>", "Heading too long"},
        {"<H1>" + std::string(4995, 'h') + "</H1></BODY>", "Tag too long"},
        {"<p " + std::string(500000, 'a') + "></BODY>", "Tag too long"},
    };
    for (const auto& [body, message] : cases) {
        m_host.lines.clear();
        Split(body);
        EXPECT_EQ(m_host.LastLine(), "   Exception encountered: " + message) << message;
    }
    // The edges that still fit.
    m_host.lines.clear();
    Split("<H1>" + std::string(4994, 'h') + "</H1><p " + std::string(499999 - 4, 'a') + "></BODY>");
    EXPECT_EQ(m_host.LastLine(), "Splitting is complete. 1 files and 1 index file created.");

    m_host.lines.clear();
    WriteAll(m_dir / "nobody.html", "<HTML>no body here");
    SplitFile(Path("nobody.html"), m_host);
    EXPECT_EQ(m_host.lines.back(), "   Exception encountered: <BODY> tag not found");
    EXPECT_FALSE(Has("nobody000.html"));

    m_host.lines.clear();
    SplitFile(Path("missing.html"), m_host);
    EXPECT_EQ(m_host.lines,
              (std::vector<std::string>{"Splitting " + Path("missing.html") + ".",
                                        "   Exception encountered: File could not be opened"}));
}

#ifndef _WIN32
// A file size limit (setrlimit) in a child process is the POSIX way to make writes fail.
TEST_F(SplitTest, FailingWriteIsReportedNeverCompleted)
{
    // A file size limit makes the writes of the pages fail part way.
    const std::string source = Path("big.html");
    WriteAll(source, kHeader + "<H1>A</H1>" + std::string(300000, 'x') + "</BODY>");
    const std::string logPath = Path("log.txt");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{200000, 200000};
        setrlimit(RLIMIT_FSIZE, &limit);
        FakeHost host;
        SplitFile(source, host);
        std::string all;
        for (const auto& line : host.lines)
            all += line + "\n";
        limit = {RLIM_INFINITY, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
        WriteAll(logPath, all);
        _exit(host.opened.empty() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a result was opened after a failed write";
    const std::string log = ReadAll(logPath);
    EXPECT_NE(log.find("   Exception encountered: File could not be written\n"), std::string::npos)
        << log;
    EXPECT_EQ(log.find("Splitting is complete."), std::string::npos) << log;
}
#endif

TEST_F(SplitTest, StopFinishesTheCurrentPageAndTheIndex)
{
    m_host.settings.AddLinks = true;
    // Pumps run at each tag the scan meets: <H1>A, <H1>B, <H1>C, then the <b> on page 3.
    m_host.onPump = [](FakeHost& h) {
        if (h.pumps == 4)
            h.busy = false;
    };
    Split("<H1>A</H1>a<H1>B</H1>b<H1>C</H1>c<b>bold</b>rest<H1>D</H1>d</BODY>");
    EXPECT_EQ(std::count(m_host.lines.begin(), m_host.lines.end(), "Operation cancelled."), 1);
    // The tag at which the Stop was noticed is still read and written; no bottom block.
    const std::string bar3 = kBarStart + Link("doc002.html", "Previous") + "&nbsp;" +
                             Link("doc000.html", "Home") + "&nbsp;" + Link("doc004.html", "Next") +
                             kBarEnd;
    EXPECT_EQ(Out("doc003.html"), kHeader + bar3 + "<H1>C</H1>c<b>");
    EXPECT_FALSE(Has("doc004.html"));
    EXPECT_FALSE(Has("doc003temp.html"));
    EXPECT_EQ(Out("doc000.html").substr(Out("doc000.html").size() - kTrailer.size()), kTrailer);
    EXPECT_EQ(m_host.LastLine(), "Splitting is complete. 3 files and 1 index file created.");
    EXPECT_EQ(m_host.opened.size(), 1u);
}

TEST_F(SplitTest, StartedWithoutBusyWritesOnlyTheIndex)
{
    m_host.busy = false;
    Split("<H1>A</H1>a</BODY>");
    EXPECT_EQ(Out("doc000.html"), kHeader + kTrailer);
    EXPECT_FALSE(Has("doc001.html"));
    EXPECT_EQ(m_host.LastLine(), "Splitting is complete. 0 files and 1 index file created.");
    EXPECT_EQ(m_host.remembered.size(), 1u);
}

TEST_F(SplitTest, SettingsChangedDuringTheRunApplyFromTheirNextUse)
{
    // The user switches link bars on while page 2 is scanned.
    m_host.onPump = [](FakeHost& h) {
        if (h.pumps == 4)
            h.settings.AddLinks = true;
    };
    Split("<H1>A</H1>a<H1>B</H1>b<i>i</i><H1>C</H1>c</BODY>");
    EXPECT_EQ(Out("doc001.html").find("quirefold_link_p"), std::string::npos);
    EXPECT_NE(Out("doc002.html").find(Link("doc001.html", "Previous")), std::string::npos);
    EXPECT_NE(Out("doc003.html").find(Link("doc000.html", "Home")), std::string::npos);
}

TEST_F(SplitTest, OutcomeTellsHowTheRunEnded)
{
    const std::string body = "intro<H1>A</H1>a<b>x</b></BODY>"; // pumps: <H1>, <b>, </b>, </BODY>
    auto run = [&](std::function<void(FakeHost&)> onPump, std::function<void(FakeHost&)> onOpen) {
        FakeHost host;
        host.onPump = std::move(onPump);
        host.onOpen = std::move(onOpen);
        WriteAll(m_dir / "doc.html", kHeader + body);
        const SplitOutcome outcome = SplitFile(Path("doc.html"), host);
        return std::make_pair(outcome, host.lines);
    };
    auto stopAtPump = [](int n) {
        return [n](FakeHost& h) {
            if (h.pumps == n)
                h.busy = false;
        };
    };
    EXPECT_EQ(run(nullptr, nullptr).first, SplitOutcome::Split);
    EXPECT_EQ(run(stopAtPump(2), nullptr).first, SplitOutcome::Stopped);
    // Stopped at the body's end tag: every page is whole, but the run saw the Stop and said so.
    const auto [lastPump, lines] = run(stopAtPump(4), nullptr);
    EXPECT_EQ(lastPump, SplitOutcome::Stopped);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Operation cancelled."), 1);
    // Once the last page's scan is over, a Stop no longer changes this document.
    EXPECT_EQ(run(nullptr, [](FakeHost& h) { h.busy = false; }).first, SplitOutcome::Split);
    // A Stop stays in force for the rest of the run even if the flag is set again.
    {
        FakeHost host;
        host.onPump = stopAtPump(2);
        host.onLine = [](FakeHost& h, const std::string& line) {
            if (line == "Operation cancelled.")
                h.busy = true;
        };
        WriteAll(m_dir / "doc.html", kHeader + "<H1>A</H1>a<b>x</b><H1>B</H1>b</BODY>");
        EXPECT_EQ(SplitFile(Path("doc.html"), host), SplitOutcome::Stopped);
        EXPECT_EQ(Out("doc001.html"), kHeader + "<H1>A</H1>a<b>");
        EXPECT_FALSE(Has("doc002.html"));
    }

    m_host.busy = false;
    WriteAll(m_dir / "doc.html", kHeader + body);
    EXPECT_EQ(SplitFile(Path("doc.html"), m_host), SplitOutcome::Stopped);
    m_host.busy = true;
    EXPECT_EQ(SplitFile(Path("missing.html"), m_host), SplitOutcome::Failed);
    WriteAll(m_dir / "cut.html", kHeader + "no end");
    EXPECT_EQ(SplitFile(Path("cut.html"), m_host), SplitOutcome::Failed);
}

TEST_F(SplitTest, OnlyRegularFilesAreSplit)
{
    std::filesystem::create_directory(m_dir.Path() / "folder.html");
#ifdef _WIN32
    const std::string device = "NUL";
#else
    const std::string device = "/dev/null";
#endif
    for (const std::string& path : {Path("folder.html"), device}) {
        m_host.lines.clear();
        EXPECT_EQ(SplitFile(path, m_host), SplitOutcome::Failed);
        EXPECT_EQ(m_host.lines,
                  (std::vector<std::string>{"Splitting " + path + ".",
                                            "   Exception encountered: Not a regular file"}));
    }
    EXPECT_FALSE(Has("folder000.html"));
}

TEST_F(SplitTest, OutputNamesThatAreTheSourceAreRefused)
{
    const std::string source = kHeader + "<H1>A</H1>a<H1>B</H1>b</BODY>";
    WriteAll(m_dir / "doc.html", source);
    namespace fs = std::filesystem;
    const std::pair<std::string, bool> links[] = {
        {"doc000.html", true}, {"doc002.html", false}, {"doc001temp.html", false},
        {"docfs.html", true},  {"doc1000.html", true},
    };
    for (auto [name, symbolic] : links) {
        SCOPED_TRACE(name);
#ifdef _WIN32
        // Symbolic links need a privilege on Windows; a hard link is the same file too.
        symbolic = false;
#endif
        if (symbolic)
            fs::create_symlink("doc.html", m_dir.Path() / name);
        else
            fs::create_hard_link(m_dir.Path() / "doc.html", m_dir.Path() / name);
        m_host.lines.clear();
        EXPECT_EQ(SplitFile(Path("doc.html"), m_host), SplitOutcome::Failed);
        EXPECT_EQ(m_host.LastLine(),
                  "   Exception encountered: Output file would overwrite the source");
        EXPECT_EQ(m_host.lines.size(), 3u); // nothing was written before the refusal
        EXPECT_EQ(Out("doc.html"), source);
        EXPECT_FALSE(Has("doc001.html"));
        fs::remove(m_dir.Path() / name);
    }

    // Links under names the run never writes are left alone.
    for (const char* name : {"doc0001.html", "doc01.html", "doc000temp.html", "doc002.htm"})
        fs::create_hard_link(m_dir.Path() / "doc.html", m_dir.Path() / name);
    EXPECT_EQ(SplitFile(Path("doc.html"), m_host), SplitOutcome::Split);
    EXPECT_EQ(Out("doc.html"), source);
    EXPECT_EQ(Out("doc0001.html"), source);
    EXPECT_TRUE(Has("doc002.html"));
}

TEST(OutputNameTest, NamesTheRunWrites)
{
    const PathNames names = SplitSourcePath("/d/doc.html");
    for (const char* name : {"doc000.html", "doc001.html", "doc999.html", "doc1000.html",
                             "doc001temp.html", "doc1234temp.html", "docfs.html"})
        EXPECT_TRUE(IsOutputName(name, names)) << name;
    for (const char* name :
         {"doc.html", "doc0001.html", "doc01.html", "doc000temp.html", "doctemp.html", "doc001.htm",
          "xdoc001.html", "doc001.html.bak", "doc0fs.html"})
        EXPECT_FALSE(IsOutputName(name, names)) << name;
#ifdef _WIN32
    // Windows file names do not tell letter case apart: these are the same files.
    for (const char* name : {"docFS.html", "DOC001.HTML", "doc001TEMP.html"})
        EXPECT_TRUE(IsOutputName(name, names)) << name;
#else
    for (const char* name : {"docFS.html", "DOC001.HTML", "doc001TEMP.html"})
        EXPECT_FALSE(IsOutputName(name, names)) << name;
#endif
    const PathNames bare = SplitSourcePath("/d/README");
    EXPECT_TRUE(IsOutputName("README001", bare));
    EXPECT_TRUE(IsOutputName("READMEfs", bare));
    EXPECT_FALSE(IsOutputName("README", bare));
}

TEST(SplitHeadingTest, BreakLevels)
{
    EXPECT_TRUE(IsSplitHeading(tkH1, 1));
    EXPECT_FALSE(IsSplitHeading(tkH2, 1));
    EXPECT_TRUE(IsSplitHeading(tkH2, 2));
    EXPECT_FALSE(IsSplitHeading(tkH3, 2));
    EXPECT_TRUE(IsSplitHeading(tkH3, 3));
    EXPECT_TRUE(IsSplitHeading(tkH3, 0));
    EXPECT_FALSE(IsSplitHeading(tkH1End, 0));
    EXPECT_FALSE(IsSplitHeading(tkBody, 3));
}

} // namespace
