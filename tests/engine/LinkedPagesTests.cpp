// Splits with the options that make pages work like one document: links between pages, page
// titles, head links, a missing end of body, an output folder and a manifest.

#include "engine/SplitRun.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/FakeHost.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using testsupport::Exists;
using testsupport::ReadAll;
using testsupport::TempDir;
using testsupport::WriteAll;

namespace {

const std::string kHead = "<HTML><HEAD><TITLE>Guide</TITLE></HEAD>\r\n<BODY>";

// Three pages at H1: anchors as heading ids, <a name> inside a heading and in the first
// section; links every way between them.
const std::string kLinked =
    kHead +
    "intro <a href=\"#c\">to C</a> <A HREF='#b'>to B</A> <a href=#same>same</a>"
    "<a name=same></a> <a href=\"#nowhere\">gone</a> <a href=\"other.html#c\">other</a>"
    "<H1 id=\"a\">A</H1>a <a href=\"doc.html#c\">C again</a> <a href=\"#a\">top</a>"
    "<H1><a name=\"b\">B</a></H1>b <a Href=\"#a\">back</a> <a href=\"#c\" href=\"#a\">first</a>"
    "<H1 ID=c>C &amp; D <i>x</i></H1>end <a href=\"#A\">case</a></BODY>";

class LinkedPagesTest : public testing::Test
{
protected:
    SplitOutcome Split(const std::string& text, const std::string& name = "doc.html")
    {
        m_source = m_dir / name;
        WriteAll(m_source, text);
        return SplitFile(m_source, m_host);
    }
    std::string Out(const std::string& name) const { return ReadAll(m_dir / name); }
    bool Has(const std::string& name) const { return Exists(m_dir / name); }
    // Everything of the folder but the source, by name.
    std::map<std::string, std::string> Outputs(const fs::path& folder) const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().string() != m_source)
                files[entry.path().filename().string()] = ReadAll(entry.path());
        return files;
    }

    TempDir m_dir;
    FakeHost m_host;
    std::string m_source;
};

std::string Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos ? part : "missing: " + part + "\nin: " + text;
}
#define EXPECT_HAS(text, part) EXPECT_EQ(Contains(text, part), part)
#define EXPECT_LACKS(text, part) EXPECT_EQ((text).find(part), std::string::npos) << (part)

TEST_F(LinkedPagesTest, LinksToAnchorsOnOtherPagesLeadThere)
{
    m_host.settings.BreakOn = 1;
    m_host.settings.FixLinks = true;
    ASSERT_EQ(Split(kLinked), SplitOutcome::Split) << m_host.LastLine();
    EXPECT_HAS(m_host.lines[3], "Anchors collected. 4 anchors on 3 pages.");

    const std::string one = Out("doc001.html");
    EXPECT_HAS(one, "intro <a href=\"doc003.html#c\">to C</a> <A HREF='doc002.html#b'>to B</A>");
    EXPECT_HAS(one, "<a href=#same>same</a>");        // same page
    EXPECT_HAS(one, "<a href=\"#nowhere\">gone</a>"); // unknown anchor
    EXPECT_HAS(one, "<a href=\"other.html#c\">");     // another document
    EXPECT_HAS(one, "<a href=\"doc003.html#c\">C again</a> <a href=\"#a\">top</a>");
    const std::string two = Out("doc002.html");
    EXPECT_HAS(two, "<a Href=\"doc001.html#a\">back</a>");
    EXPECT_HAS(two, "<a href=\"doc003.html#c\" href=\"#a\">first</a>"); // the first href counts
    EXPECT_HAS(Out("doc003.html"), "<a href=\"#A\">case</a>");          // anchors keep their case

    // The index goes straight to headings that carry an id.
    const std::string index = Out("doc000.html");
    EXPECT_HAS(index, "HREF=\"doc001.html#a\">A</a>");
    EXPECT_HAS(index, "HREF=\"doc002.html\"><a name=\"b\">B</a></a>");
    EXPECT_HAS(index, "HREF=\"doc003.html#c\">C &amp; D <i>x</i></a>");
}

TEST_F(LinkedPagesTest, WithNothingToFixThePagesAreThoseOfAPlainSplit)
{
    const std::string text = kHead + "x<H1 id=a>A</H1><a href=#a>a</a><H2>B</H2>"
                                     "<a href=\"#b\">b</a><a name=b></a></BODY>";
    m_host.settings.AddLinks = true;
    m_host.settings.Breadcrumbs = true;
    ASSERT_EQ(Split(text), SplitOutcome::Split);
    const auto plain = Outputs(m_dir.Path());
    const auto plainLines = m_host.lines;
    m_host.lines.clear();
    m_host.settings.FixLinks = true;
    ASSERT_EQ(Split(text), SplitOutcome::Split);
    auto fixed = Outputs(m_dir.Path());
    // Only the index entry of the heading with an id changes.
    EXPECT_HAS(fixed["doc000.html"], "HREF=\"doc001.html#a\">A</a>");
    fixed["doc000.html"] = plain.at("doc000.html");
    EXPECT_EQ(fixed, plain);
    auto lines = m_host.lines;
    lines.erase(lines.begin() + 3); // the anchors line
    EXPECT_EQ(lines, plainLines);
}

TEST_F(LinkedPagesTest, ALinkReadAcrossTheReadersBufferEdgeIsRewrittenToo)
{
    m_host.settings.BreakOn = 1;
    m_host.settings.FixLinks = true;
    // The reader takes 256 KiB at a time; somewhere in this range the tag straddles the edge.
    const std::string link = "<a class=\"x\" href=\"#far\">far</a>";
    for (std::size_t at = 256 * 1024 - 40; at < 256 * 1024 + 8; ++at) {
        std::string text = kHead + "<H1>A</H1>";
        text += std::string(at - text.size(), 'x') + link + "<H1 id=far>B</H1>b</BODY>";
        ASSERT_EQ(Split(text), SplitOutcome::Split) << m_host.LastLine();
        const std::string one = Out("doc001.html");
        ASSERT_NE(one.find("<a class=\"x\" href=\"doc002.html#far\">far</a>"), std::string::npos)
            << "link at " << at;
    }
}

TEST_F(LinkedPagesTest, AnchorsInHeadingsAndTrailsAtDeeperLevels)
{
    // Split at H2: an <a name> inside a heading, a link inside a heading, a heading link that
    // the breadcrumb trail copies onto the next page.
    m_host.settings.BreakOn = 2;
    m_host.settings.Breadcrumbs = true;
    m_host.settings.BreadcrumbsText = "Here:";
    m_host.settings.FixLinks = true;
    const std::string text =
        kHead + "<h1>Top <a href=\"#deep\">see deep</a></h1>t<H2><A NAME=\"mid\">Mid</A></H2>m"
                "<h3 id=deep>Deep</h3>d<H2>Last</H2><a href='#mid'>mid</a></BODY>";
    ASSERT_EQ(Split(text), SplitOutcome::Split) << m_host.LastLine();
    // Page 1 holds the H1 and the first H2; "deep" stays on page 2 with its H3.
    EXPECT_HAS(Out("doc001.html"), "<h1>Top <a href=\"doc002.html#deep\">see deep</a></h1>");
    const std::string two = Out("doc002.html");
    EXPECT_HAS(two, "<A NAME=\"mid\">Mid</A>");
    // The trail on page 2 copies the H1, whose link now stays on its target's own page.
    EXPECT_HAS(two, "Here: <A class=\"quirefold_breadcrumb_a\" HREF=\"doc001.html\">Top <a "
                    "href=\"#deep\">see deep</a></A>");
    EXPECT_HAS(Out("doc003.html"), "<a href='doc002.html#mid'>mid</a>");
}

TEST_F(LinkedPagesTest, PageTitlesAndHeadLinks)
{
    m_host.settings.BreakOn = 1;
    m_host.settings.PageTitles = true;
    m_host.settings.HeadLinks = true;
    ASSERT_EQ(
        Split(kHead + "<H1>First <b>one</b>\r\n  &amp;  more</H1>a<H1>Two</H1>b<H1></H1>c</BODY>"),
        SplitOutcome::Split);
    const std::string links1 = "<link rel=\"next\" href=\"doc002.html\">\r\n"
                               "<link rel=\"index\" href=\"doc000.html\">\r\n";
    EXPECT_TRUE(Out("doc001.html")
                    .starts_with("<HTML><HEAD><TITLE>First one &amp; more - Guide</TITLE>" +
                                 links1 + "</HEAD>\r\n<BODY>"))
        << Out("doc001.html");
    const std::string two = Out("doc002.html");
    EXPECT_HAS(two, "<TITLE>Two - Guide</TITLE><link rel=\"prev\" href=\"doc001.html\">\r\n"
                    "<link rel=\"next\" href=\"doc003.html\">\r\n"
                    "<link rel=\"index\" href=\"doc000.html\">\r\n</HEAD>");
    const std::string three = Out("doc003.html");
    EXPECT_HAS(three, "<TITLE>Guide</TITLE>"); // an empty heading keeps the document's title
    EXPECT_LACKS(three, "rel=\"next\"");       // the last page
    EXPECT_HAS(Out("doc000.html"), "<TITLE>Guide</TITLE></HEAD>");

    // No title, no </head>: none added; the links go before the body tag.
    ASSERT_EQ(Split("<html><head><meta charset=utf-8>\n<body class=x><h1>Only</h1>z</body>"),
              SplitOutcome::Split);
    EXPECT_TRUE(Out("doc001.html")
                    .starts_with("<html><head><meta charset=utf-8>\n<link rel=\"index\" "
                                 "href=\"doc000.html\">\r\n<body class=x>"))
        << Out("doc001.html");
}

TEST_F(LinkedPagesTest, MissingEndOfBody)
{
    const std::string text = kHead + "<H1>A</H1>a<H1>B</H1>b";
    m_host.settings.BreakOn = 1;
    m_host.settings.AddLinks = true;
    EXPECT_EQ(Split(text), SplitOutcome::Failed);
    EXPECT_EQ(m_host.LastLine(), "   Exception encountered: End of body tag not found");

    m_host.lines.clear();
    m_host.settings.TolerateMissingBodyEnd = true;
    ASSERT_EQ(Split(text), SplitOutcome::Split);
    EXPECT_EQ(std::count(m_host.lines.begin(), m_host.lines.end(),
                         "      End of body tag not found; the document ends here."),
              1);
    const std::string last = Out("doc002.html");
    // The bottom bar, without Next, and the trailer, as if </BODY> had been there.
    EXPECT_TRUE(last.ends_with("b<BR>\r\n<p class=\"quirefold_link_p\" align=\"center\">\r\n"
                               "<A class=\"quirefold_link_a\" HREF=\"doc001.html\">Previous</A>"
                               "&nbsp;<A class=\"quirefold_link_a\" HREF=\"doc000.html\">Home</A>"
                               "&nbsp;</p><br>\r\n</BODY>\r\n</HTML>\r\n"))
        << last;
    EXPECT_TRUE(Out("doc000.html").ends_with("</BODY>\r\n</HTML>\r\n"));
}

TEST_F(LinkedPagesTest, OutputFolderLeavesTheSourceFolderUntouched)
{
    const fs::path source = m_dir.Path() / "src";
    fs::create_directory(source);
    m_source = (source / "doc.html").string();
    WriteAll(m_source, kHead + "<H1>A</H1>a<H1>B</H1>b</BODY>");
    m_host.settings.BreakOn = 1;
    m_host.settings.Navigation = true;
    m_host.settings.Manifest = true;
    m_host.settings.OutputFolder = (m_dir.Path() / "out" / "deeper").string();
#ifndef _WIN32
    ASSERT_EQ(::chmod(source.c_str(), 0555), 0);
#endif
    const auto before = fs::last_write_time(source);
    EXPECT_EQ(SplitFile(m_source, m_host), SplitOutcome::Split) << m_host.LastLine();
#ifndef _WIN32
    ::chmod(source.c_str(), 0755);
#endif
    EXPECT_EQ(std::distance(fs::directory_iterator(source), fs::directory_iterator()), 1);
    EXPECT_EQ(fs::last_write_time(source), before);
    const fs::path out = m_dir.Path() / "out" / "deeper";
    for (const char* name :
         {"doc000.html", "doc001.html", "doc002.html", "docfs.html", "docpages.json"})
        EXPECT_TRUE(Exists(out / name)) << name;
    EXPECT_EQ(m_host.opened, std::vector<std::string>{(out / "docfs.html").string()});

    // A relative folder is taken from the document's folder; a file in its way is an error.
    m_host.settings.OutputFolder = "pages";
    WriteAll(source / "pages", "in the way");
    EXPECT_EQ(SplitFile(m_source, m_host), SplitOutcome::Failed);
    EXPECT_EQ(m_host.LastLine(), "   Exception encountered: Output folder is not a folder");
    EXPECT_EQ(ReadAll(source / "pages"), "in the way");
}

// The manifest without white space outside strings, to compare with an expected text.
std::string Compact(const std::string& json)
{
    std::string out;
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString && c == '\\') {
            out += json.substr(i++, 2);
            continue;
        }
        if (c == '"')
            inString = !inString;
        if (inString || (c != ' ' && c != '\n' && c != '\r' && c != '\t'))
            out += c;
    }
    return out;
}

TEST_F(LinkedPagesTest, ManifestListsThePagesWritten)
{
    m_host.settings.BreakOn = 2;
    m_host.settings.Manifest = true;
    const std::string text = kHead + "pre <a name=top></a><H1 id=one>One &amp; <b>1</b></H1>x"
                                     "<H2><a name=\"two\">Two</a></H2><p id=p2>y</p>"
                                     "<H1>Caf\xC3\xA9 \"q\"</H1><div id=\"z&amp;w\">z</div></BODY>";
    ASSERT_EQ(Split(text), SplitOutcome::Split) << m_host.LastLine();
    EXPECT_EQ(Compact(Out("docpages.json")),
              "{\"source\":\"doc.html\",\"index\":\"doc000.html\",\"pages\":["
              "{\"file\":\"doc001.html\",\"level\":1,\"heading\":\"One & 1\","
              "\"anchors\":[\"top\",\"one\"]},"
              "{\"file\":\"doc002.html\",\"level\":2,\"heading\":\"Two\","
              "\"anchors\":[\"two\",\"p2\"]},"
              "{\"file\":\"doc003.html\",\"level\":1,\"heading\":\"Caf\xC3\xA9 \\\"q\\\"\","
              "\"anchors\":[\"z&w\"]}]}");
    EXPECT_FALSE(Has("docpages.json.partial"));

    // A failed run writes none and takes away the one that listed the pages it replaced.
    EXPECT_EQ(Split(kHead + "<H1>A</H1>a<H1>B</H1>"), SplitOutcome::Failed);
    EXPECT_FALSE(Has("docpages.json"));
    // A folder under the manifest's name is no manifest of ours: it stays, and the run fails.
    fs::create_directory(m_dir.Path() / "docpages.json");
    EXPECT_EQ(Split(kHead + "<H1>A</H1>a</BODY>"), SplitOutcome::Failed);
    EXPECT_EQ(m_host.LastLine(), "   Exception encountered: File could not be written");
    EXPECT_TRUE(fs::is_directory(m_dir.Path() / "docpages.json"));
    EXPECT_FALSE(Has("docpages.json.partial"));
    fs::remove(m_dir.Path() / "docpages.json");
    // A document without split headings: one page without a heading.
    ASSERT_EQ(Split(kHead + "plain <span id=s>text</span></BODY>"), SplitOutcome::Split);
    EXPECT_EQ(Compact(Out("docpages.json")),
              "{\"source\":\"doc.html\",\"index\":\"doc000.html\",\"pages\":["
              "{\"file\":\"doc001.html\",\"level\":null,\"heading\":null,\"anchors\":[\"s\"]}]}");
}

TEST_F(LinkedPagesTest, StopDuringTheAnchorPassWritesNoPage)
{
    m_host.settings.FixLinks = true;
    m_host.settings.Manifest = true;
    m_host.settings.Sidebar = true;
    m_host.onPump = [](FakeHost& host) {
        if (host.pumps == 3)
            host.busy = false;
    };
    EXPECT_EQ(Split(kLinked), SplitOutcome::Stopped);
    EXPECT_FALSE(Has("doc001.html"));
    EXPECT_FALSE(Has("docpages.json"));
    EXPECT_FALSE(Has("docquirefold.css"));
}

} // namespace
