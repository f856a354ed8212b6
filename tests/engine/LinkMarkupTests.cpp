#include "engine/LinkMarkup.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Anchors(std::string_view tag)
{
    std::vector<std::string> out;
    TagAnchors(tag, out);
    return out;
}

using Strings = std::vector<std::string>;

class LinkMarkupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        anchors.AddId("sec", 3);
        anchors.AddId("here", 1);
        anchors.AddId("a b", 4);
        anchors.AddId("x&y", 5);
        anchors.AddName("old", 2);
        anchors.AddName("n", 2);
        anchors.AddId("both", 6);
        anchors.AddName("both", 2);
        anchors.AddName("dup", 7);
        anchors.AddId("dup", 8); // an id beats a name added before it
        anchors.AddId("sec", 9); // the first id wins
    }

    // The tag as written on page 1, "" when it is left alone.
    std::string Rewrite(std::string_view tag, int page = 1) const
    {
        std::string out = "kept:";
        if (!RewriteTagLink(tag, page, anchors, names, out)) {
            EXPECT_EQ(out, "kept:") << tag;
            return "";
        }
        return out.substr(5);
    }

    AnchorMap anchors;
    PageLinkNames names{"doc", ".htm", "doc.htm"};
};

TEST(LinkMarkupEntities, DecodesKnownReferencesOnly)
{
    EXPECT_EQ(DecodeEntities("a&amp;b&lt;&gt;&quot;&apos;"), "a&b<>\"'");
    EXPECT_EQ(DecodeEntities("&nbsp;&#233;&#xE9;&#X263a;"), "\xC2\xA0\xC3\xA9\xC3\xA9\xE2\x98\xBA");
    EXPECT_EQ(DecodeEntities("&#35sec &#x23;"), "#sec #");
    EXPECT_EQ(DecodeEntities("&#150;&#0;&#99999999;"), "\xE2\x80\x93\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(DecodeEntities("&copy; &amp &# &#x; & x"), "&copy; &amp &# &#x; & x");
}

TEST(LinkMarkupHrefs, PercentEncodesUnsafeBytes)
{
    PageLinkNames odd{"my doc'=", ".htm", ""};
    EXPECT_EQ(PageHref(odd, 12), "my%20doc'=012.htm");
    EXPECT_EQ(FragmentHref("a b\"<>%&#?\xC3\xA9-._~"), "a%20b%22%3C%3E%25%26%23%3F%C3%A9-._~");
}

TEST(LinkMarkupAnchors, AttributesAsBrowsersReadThem)
{
    EXPECT_EQ(Anchors("<div id=\"one\">"), Strings{"one"});
    EXPECT_EQ(Anchors("<DIV ID='two' class=x>"), Strings{"two"});
    EXPECT_EQ(Anchors("<p Id = three>"), Strings{"three"});
    EXPECT_EQ(Anchors("<A NAME=four>"), Strings{"four"});
    EXPECT_EQ(Anchors("<b id=x>"), Strings{"x"}); // the shortest, and one cut off at the end
    EXPECT_EQ(Anchors("<a id=y"), Strings{"y"});
    EXPECT_EQ(Anchors("<a/name=five/>"), Strings{"five/"});
    EXPECT_EQ(Anchors("<a id=\"i\" name=\"n\">"), (Strings{"i", "n"}));
    EXPECT_EQ(Anchors("<a id=same name=same>"), Strings{"same"});
    // The first of two counts, also when it is empty.
    EXPECT_EQ(Anchors("<p id=first id=second>"), Strings{"first"});
    EXPECT_EQ(Anchors("<p id id=second>"), Strings{});
    EXPECT_EQ(Anchors("<p id=\"\">"), Strings{});
    EXPECT_EQ(Anchors("<p data-id=x xid=y>"), Strings{});
    EXPECT_EQ(Anchors("<p title='id=x'>"), Strings{});
    EXPECT_EQ(Anchors("<p id=\"a&amp;b&#32;c\">"), Strings{"a&b c"});
    // name is an anchor on <a> only.
    EXPECT_EQ(Anchors("<div name=x>"), Strings{});
    EXPECT_EQ(Anchors("<abbr name=x>"), Strings{});
    EXPECT_EQ(Anchors("</a id=x>"), Strings{});
    EXPECT_EQ(Anchors("<!-- <a id=x>"), Strings{});
    EXPECT_EQ(Anchors("<!DOCTYPE id=x>"), Strings{});
    EXPECT_EQ(Anchors("<?xml id=x>"), Strings{});
    EXPECT_EQ(TagId("<h2 class=c ID='s&#49;'>"), "s1");
    EXPECT_EQ(TagId("<h2 class=c>"), "");

    Strings all;
    MarkupAnchors("<h1 id=t>Title <a name=n>x</a> a < b <span id='s'></span></h1>", all);
    EXPECT_EQ(all, (Strings{"t", "n", "s"}));
}

TEST_F(LinkMarkupTest, AnchorMapPrefersIdsAndDecodesPercents)
{
    EXPECT_EQ(anchors.PageOf("sec"), 3);
    EXPECT_EQ(anchors.PageOf("old"), 2);
    EXPECT_EQ(anchors.PageOf("both"), 6);
    EXPECT_EQ(anchors.PageOf("dup"), 8);
    EXPECT_EQ(anchors.PageOf("a%20b"), 4);
    EXPECT_EQ(anchors.PageOf("%73ec"), 3);
    EXPECT_EQ(anchors.PageOf("SEC"), 0);
    EXPECT_EQ(anchors.PageOf(""), 0);
    EXPECT_EQ(anchors.PageOf("nowhere%"), 0);
}

TEST_F(LinkMarkupTest, RewritesLinksToAnchorsOnOtherPages)
{
    EXPECT_EQ(Rewrite("<a class=x HREF='#sec'>"), "<a class=x HREF='doc003.htm#sec'>");
    EXPECT_EQ(Rewrite("<a href=\"#sec\" title=t>"), "<a href=\"doc003.htm#sec\" title=t>");
    EXPECT_EQ(Rewrite("<a href=#sec>"), "<a href=doc003.htm#sec>");
    EXPECT_EQ(Rewrite("<a href=#n>"), "<a href=doc002.htm#n>");
    EXPECT_EQ(Rewrite("<A Href = #sec>"), "<A Href = doc003.htm#sec>");
    EXPECT_EQ(Rewrite("<area href=#old />"), "<area href=doc002.htm#old />");
    EXPECT_EQ(Rewrite("< <a href=#sec>"), "< <a href=doc003.htm#sec>");
    EXPECT_EQ(Rewrite("<a href=#sec href=#old>"), "<a href=doc003.htm#sec href=#old>");
    // The fragment stays as written; percent escapes and references are looked up decoded.
    EXPECT_EQ(Rewrite("<a href='#a%20b'>"), "<a href='doc004.htm#a%20b'>");
    EXPECT_EQ(Rewrite("<a href=\"#x&amp;y\">"), "<a href=\"doc005.htm#x&amp;y\">");
    EXPECT_EQ(Rewrite("<a href=\"&#35;sec\">"), "<a href=\"doc003.htm#sec\">");
    // The document's own name before '#'.
    EXPECT_EQ(Rewrite("<a href=\"doc.htm#sec\">"), "<a href=\"doc003.htm#sec\">");
    EXPECT_EQ(Rewrite("<a href=\"./doc.htm#sec\">"), "<a href=\"doc003.htm#sec\">");
    EXPECT_EQ(Rewrite("<a href=\"d%6Fc.htm#sec\">"), "<a href=\"doc003.htm#sec\">");
}

TEST_F(LinkMarkupTest, LeavesOtherLinksAlone)
{
    EXPECT_EQ(Rewrite("<a href='#here'>"), "");   // on its own page
    EXPECT_EQ(Rewrite("<a href='#sec'>", 3), ""); // on its own page
    EXPECT_EQ(Rewrite("<a href='#nothing'>"), "");
    EXPECT_EQ(Rewrite("<a href='#SEC'>"), "");
    EXPECT_EQ(Rewrite("<a href='#'>"), "");
    EXPECT_EQ(Rewrite("<a href='other.htm#sec'>"), "");
    EXPECT_EQ(Rewrite("<a href='doc.htm?a#sec'>"), "");
    EXPECT_EQ(Rewrite("<a href='sub/doc.htm#sec'>"), "");
    EXPECT_EQ(Rewrite("<a href='http://x/doc.htm#sec'>"), "");
    EXPECT_EQ(Rewrite("<a href='file:doc.htm#sec'>"), "");
    EXPECT_EQ(Rewrite("<base href='#sec'>"), "");
    EXPECT_EQ(Rewrite("</a href='#sec'>"), "");
    EXPECT_EQ(Rewrite("<!-- <a href='#sec'>"), "");
    EXPECT_EQ(Rewrite("<a title='href=#sec'>"), "");
    EXPECT_EQ(Rewrite("<a href>"), "");
    EXPECT_EQ(Rewrite("<p>"), "");
}

TEST_F(LinkMarkupTest, QuotesValuesThatNeedThem)
{
    names = PageLinkNames{"it's", ".htm", "it's.htm"};
    EXPECT_EQ(Rewrite("<a href=#sec>"), "<a href=\"it's003.htm#sec\">");
    EXPECT_EQ(Rewrite("<a href='#sec'>"), "<a href='it&#39;s003.htm#sec'>");
    EXPECT_EQ(Rewrite("<a href=\"#sec\">"), "<a href=\"it's003.htm#sec\">");
    names = PageLinkNames{"doc", ".htm", "doc.htm"};
    anchors.AddId("q\"", 4);
    EXPECT_EQ(Rewrite("<a href=#q\" x>"), "<a href=doc004.htm#q\" x>");
    names.BaseName = "a=b";
    EXPECT_EQ(Rewrite("<a href=#q\">"), "<a href=\"a=b004.htm#q&quot;\">");

    EXPECT_EQ(RewriteMarkupLinks("See <a href=#sec>this</a> & <b>that</b> < 3", 1, anchors,
                                 PageLinkNames{"doc", ".htm", "doc.htm"}),
              "See <a href=doc003.htm#sec>this</a> & <b>that</b> < 3");
}

// The split scan spares the link and anchor readers every tag without a '=' (HTMLFile's
// ValueWatcher): such a tag must define no anchor and change no link, however it is written.
TEST_F(LinkMarkupTest, TagsWithoutAValueDefineNoAnchorAndKeepTheirLinks)
{
    const char* tags[] = {
        "<a href #sec>", "<a name>",         "<p id>",   "<a href>",        "<a #sec>",
        "<A NAME sec>",  "<a href\"#sec\">", "< <a id>", "<a id:x name:y>",
    };
    for (const char* written : tags) {
        const std::string_view tag = written;
        SCOPED_TRACE(tag);
        EXPECT_TRUE(Anchors(tag).empty());
        EXPECT_EQ(Rewrite(tag), "");
        AnchorMap map;
        map.AddTag(tag, 1);
        EXPECT_EQ(map.Size(), 0u);
    }
    // Every byte but '=' in every place of a short tag.
    std::string tag = "<a xx>";
    for (std::size_t at = 1; at + 1 < tag.size(); ++at) {
        for (int c = 0; c < 256; ++c) {
            if (c == '=')
                continue;
            std::string t = tag;
            t[at] = static_cast<char>(c);
            for (const std::string& u : {t, "<a id" + t.substr(2), "<a href #sec" + t.substr(2)}) {
                EXPECT_TRUE(Anchors(u).empty()) << u;
                EXPECT_EQ(Rewrite(u), "") << u;
            }
        }
    }
}

} // namespace
