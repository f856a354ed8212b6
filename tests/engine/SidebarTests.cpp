// Splits with the contents beside every page, and the head's own links fixed.

#include "engine/PageHead.h"
#include "engine/PageSidebar.h"
#include "engine/SplitRun.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/FakeHost.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <regex>

using testsupport::Exists;
using testsupport::ReadAll;
using testsupport::TempDir;
using testsupport::WriteAll;

namespace {

std::string PageName(int page)
{
    char name[32];
    std::snprintf(name, sizeof name, "doc%03d.html", page);
    return name;
}

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::string NavOf(const std::string& page)
{
    const std::size_t start = page.find("<nav class=\"quirefold_sidebar\"");
    const std::size_t end = page.find("</nav>\r\n", start);
    return start == std::string::npos || end == std::string::npos
               ? std::string()
               : page.substr(start, end + 8 - start);
}

class SidebarTest : public testing::Test
{
protected:
    SplitOutcome Split(const std::string& text, bool sidebar, const TempDir& dir)
    {
        WriteAll(dir / "doc.html", text);
        m_host.settings.Sidebar = sidebar;
        return SplitFile(dir / "doc.html", m_host);
    }

    FakeHost m_host;
};

const std::string kStyledHead = "<html><head><meta charset=\"utf-8\"><title>Guide</title>\r\n"
                                "<style>p { margin: 0 }</style></head>\r\n<body>";

TEST_F(SidebarTest, EveryPageCarriesTheWholeTreeAndOtherwiseStaysAsWithout)
{
    // Split at H1 and H2; the H3 stays inside its page and out of the contents.
    const std::string doc = kStyledHead +
                            "intro<H1 id=\"a\">A &amp; <i>B</i></H1>a<h2>A.1</h2>x<h3>deep</h3>y"
                            "<h2 id=a2>A.2</h2>z<h1>C</h1>c<h2>C.1</h2>end</body></html>";
    m_host.settings.BreakOn = 2;
    m_host.settings.AddLinks = true;
    m_host.settings.FixLinks = true;
    m_host.settings.Manifest = true;
    TempDir with;
    TempDir without;
    ASSERT_EQ(Split(doc, true, with), SplitOutcome::Split) << m_host.LastLine();
    ASSERT_EQ(Split(doc, false, without), SplitOutcome::Split) << m_host.LastLine();

    // Only the current entry's branch is open; texts as the index shows them, without tags.
    EXPECT_EQ(NavOf(ReadAll(with / PageName(2))),
              "<nav class=\"quirefold_sidebar\" aria-label=\"Contents\">\r\n"
              "<details class=\"quirefold_sidebar_box\" open><summary>Contents</summary>\r\n"
              "<ul>\r\n"
              "<li><details open><summary><a href=\"doc001.html#a\">A &amp; B</a></summary>\r\n"
              "<ul>\r\n"
              "<li><a href=\"doc002.html\" aria-current=\"page\">A.1</a></li>\r\n"
              "<li><a href=\"doc003.html#a2\">A.2</a></li>\r\n"
              "</ul>\r\n</details></li>\r\n"
              "<li><details><summary><a href=\"doc004.html\">C</a></summary>\r\n"
              "<ul>\r\n"
              "<li><a href=\"doc005.html\">C.1</a></li>\r\n"
              "</ul>\r\n</details></li>\r\n"
              "</ul>\r\n</details>\r\n</nav>\r\n");

    const std::string link = "<link rel=\"stylesheet\" href=\"docquirefold.css\">\r\n";
    for (int page = 1; page <= 5; ++page) {
        std::string text = ReadAll(with / PageName(page));
        const std::string nav = NavOf(text);
        ASSERT_FALSE(nav.empty()) << page;
        EXPECT_EQ(Count(nav, "aria-current"), 1u) << page;
        EXPECT_TRUE(std::regex_search(
            nav, std::regex("href=\"" + PageName(page) + "(#[a-z0-9]+)?\" aria-current=")))
            << page;
        // Ahead of the document's own style, after its encoding.
        EXPECT_NE(text.find("</title>\r\n" + link + "<style>"), std::string::npos) << page;
        // Without the two additions the page is the one a split without the sidebar writes.
        text.erase(text.find(nav), nav.size());
        text.erase(text.find(link), link.size());
        EXPECT_EQ(text, ReadAll(without / PageName(page))) << page;
    }
    EXPECT_FALSE(Exists(with / PageName(6)));
    EXPECT_EQ(ReadAll(with / "doc000.html"), ReadAll(without / "doc000.html"));
    EXPECT_EQ(ReadAll(with / "docquirefold.css"), PageSidebar::StyleSheet());
    EXPECT_NE(ReadAll(with / "docpages.json").find("\"files\": [\"docquirefold.css\"]"),
              std::string::npos);
    EXPECT_EQ(ReadAll(without / "docpages.json").find("\"files\""), std::string::npos);
    EXPECT_FALSE(Exists(without / "docquirefold.css"));
}

TEST_F(SidebarTest, SearchAddsItsFilesAndBoxAndChangesNothingElse)
{
    const std::string doc = kStyledHead + "intro<h1 id=a>Alpha</h1>one<h1>Beta</h1>two"
                                          "</body></html>";
    m_host.settings.BreakOn = 1;
    m_host.settings.Manifest = true;
    m_host.settings.Search = true;
    TempDir with;
    TempDir without;
    ASSERT_EQ(Split(doc, true, with), SplitOutcome::Split) << m_host.LastLine();
    m_host.settings.Search = false;
    ASSERT_EQ(Split(doc, true, without), SplitOutcome::Split) << m_host.LastLine();

    const std::string script = "<script src=\"docsearch-ui.js\" charset=\"utf-8\" defer>"
                               "</script>\r\n";
    for (int page = 1; page <= 2; ++page) {
        std::string text = ReadAll(with / PageName(page));
        const std::size_t form = text.find("<form class=\"quirefold_search\"");
        ASSERT_NE(form, std::string::npos) << page;
        EXPECT_LT(text.find("<nav class=\"quirefold_sidebar\""), form);
        EXPECT_NE(text.find("data-index=\"docsearch.js\""), std::string::npos);
        text.erase(form, text.find("</form>\r\n", form) + 9 - form);
        ASSERT_NE(text.find(script), std::string::npos) << page;
        text.erase(text.find(script), script.size());
        EXPECT_EQ(text, ReadAll(without / PageName(page))) << page;
    }
    EXPECT_EQ(ReadAll(with / "doc000.html"), ReadAll(without / "doc000.html"));
    EXPECT_NE(ReadAll(with / "docsearch.js").find("[\"doc002.html\", \"Beta\", \"two\"]"),
              std::string::npos);
    EXPECT_FALSE(Exists(with / "docsearch.html"));
    EXPECT_NE(ReadAll(with / "docpages.json")
                  .find("\"files\": [\"docquirefold.css\", \"docsearch.js\", "
                        "\"docsearch-ui.js\"]"),
              std::string::npos);

    // Without the sidebar: a search page, linked from the index page; the pages stay as they are.
    TempDir alone;
    TempDir plain;
    m_host.settings.Search = true;
    ASSERT_EQ(Split(doc, false, alone), SplitOutcome::Split) << m_host.LastLine();
    m_host.settings.Search = false;
    ASSERT_EQ(Split(doc, false, plain), SplitOutcome::Split) << m_host.LastLine();
    EXPECT_EQ(ReadAll(alone / PageName(1)), ReadAll(plain / PageName(1)));
    EXPECT_NE(ReadAll(alone / "doc000.html").find("<a href=\"docsearch.html\">Search</a>"),
              std::string::npos);
    EXPECT_NE(ReadAll(alone / "docsearch.html").find("<form class=\"quirefold_search\""),
              std::string::npos);

    // A run stopped before the end writes no index of half the document, and leaves none of
    // other pages.
    TempDir stopped;
    WriteAll(stopped / "docsearch.js", "quirefoldSearchIndex({});");
    m_host.settings.Search = true;
    m_host.onPump = [start = m_host.pumps](FakeHost& host) {
        if (host.pumps == start + 2)
            host.busy = false;
    };
    EXPECT_EQ(
        Split(kStyledHead + "<h1>A</h1><p>a</p><p>b</p><h1>B</h1><p>c</p></body>", false, stopped),
        SplitOutcome::Stopped);
    EXPECT_FALSE(Exists(stopped / "docsearch.js"));
}

TEST_F(SidebarTest, BeyondThreeHundredEntriesAPageShowsItsSurroundingsWithinTheBound)
{
    std::string doc = kStyledHead;
    const std::string words(150, 'w');
    for (int i = 1; i <= 400; ++i)
        doc += "<h1>Part " + std::to_string(i) + " " + words + "</h1>text\r\n";
    // A long title is cut at a space, never inside a word or a character reference.
    doc += "<h1>Last" + std::string(40, ' ') + std::string(300, 'x') + " &amp;</h1>end";
    doc += "</body></html>";
    m_host.settings.BreakOn = 1;
    TempDir with;
    TempDir without;
    ASSERT_EQ(Split(doc, true, with), SplitOutcome::Split) << m_host.LastLine();
    ASSERT_EQ(Split(doc, false, without), SplitOutcome::Split) << m_host.LastLine();

    for (int page : {1, 200, 400, 401}) {
        const std::string nav = NavOf(ReadAll(with / PageName(page)));
        EXPECT_LE(nav.size(), PageSidebar::kMaxBytes) << page;
        EXPECT_EQ(Count(nav, "aria-current"), 1u) << page;
        EXPECT_NE(nav.find("href=\"" + PageName(page) + "\" aria-current"), std::string::npos);
        // The rest is one step away, in the index.
        EXPECT_NE(nav.find("<a href=\"doc000.html\">More in the index</a>"), std::string::npos);
    }
    // Twenty entries either side of the page's own.
    const std::string middle = NavOf(ReadAll(with / PageName(200)));
    EXPECT_EQ(Count(middle, "<li><a href=\"doc"), 41u);
    EXPECT_NE(middle.find(PageName(180)), std::string::npos);
    EXPECT_EQ(middle.find(PageName(179)), std::string::npos);
    EXPECT_NE(middle.find(PageName(220)), std::string::npos);
    EXPECT_EQ(middle.find(PageName(221)), std::string::npos);
    EXPECT_EQ(Count(middle, "More in the index"), 2u);
    EXPECT_NE(NavOf(ReadAll(with / PageName(401))).find(">Last &hellip;</a>"), std::string::npos);
}

TEST_F(SidebarTest, TheHeadsOwnLinksLeadToTheirPagesAndAreNotDoubled)
{
    const std::string doc = "<html><head><title>T</title><link rel=\"Next\" href=\"#b\">"
                            "<link rel=\"contents\" href=\"doc.html#c\"></head><body>"
                            "one<h1 id=a>A</h1>a<h1 id=b>B</h1>b<h1 id=c>C</h1>c</body></html>";
    m_host.settings.BreakOn = 1;
    m_host.settings.FixLinks = true;
    m_host.settings.HeadLinks = true;
    TempDir dir;
    ASSERT_EQ(Split(doc, false, dir), SplitOutcome::Split) << m_host.LastLine();

    const std::string one = ReadAll(dir / "doc001.html");
    EXPECT_NE(one.find("<link rel=\"Next\" href=\"doc002.html#b\">"), std::string::npos) << one;
    EXPECT_NE(one.find("<link rel=\"contents\" href=\"doc003.html#c\">"), std::string::npos);
    const std::string two = ReadAll(dir / "doc002.html");
    EXPECT_NE(two.find("<link rel=\"Next\" href=\"#b\">"), std::string::npos) << two;
    EXPECT_NE(two.find("<link rel=\"prev\" href=\"doc001.html\">"), std::string::npos);
    EXPECT_NE(two.find("<link rel=\"index\" href=\"doc000.html\">"), std::string::npos);
    for (const std::string& page : {one, two})
        EXPECT_EQ(Count(page, "rel=\"next\""), 0u) << page;
    EXPECT_NE(ReadAll(dir / "doc000.html").find("<link rel=\"Next\" href=\"doc002.html#b\">"),
              std::string::npos);
    EXPECT_TRUE(HeaderHasLinkRel("<link rel='a  PREVIOUS'>", "previous"));
    EXPECT_FALSE(HeaderHasLinkRel("<!-- <link rel=prev> --><a rel=prev>", "prev"));
}

} // namespace
