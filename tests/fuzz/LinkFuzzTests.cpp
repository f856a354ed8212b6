#include "fuzz/checks/LinkCheck.h"
#include "tests/fuzz/FuzzInputs.h"

#include <gtest/gtest.h>

using fuzzinputs::Text;

namespace {

// An input for CheckLinks; see its header for the layout. Anchors "top" on page 1 and "sec 5"
// (a name) on page 5.
std::string Input(char piece, char currentPage, const std::string& extra,
                  const std::string& subject, const std::string& base = "manual")
{
    std::string input{piece, currentPage};
    input += Text(base) + Text(".htm") + '\x02' + '\x01' + Text("top") + '\x85' + Text("sec 5") +
             Text(extra);
    return input + subject;
}

TEST(LinkFuzzTest, EverySavedInputKeepsTheRules)
{
    const auto inputs = fuzzinputs::Inputs("links");
    ASSERT_FALSE(inputs.empty());
    for (const auto& file : inputs)
        EXPECT_EQ(fuzzcheck::CheckLinks(fuzzinputs::Read(file)), "") << file;
}

TEST(LinkFuzzTest, LinksInAnyQuotingKeepTheRulesOnEveryPage)
{
    for (const char* tag :
         {"a href=\"#top\"", "A HREF='#sec%205' id=x", "a name=n href=#sec&#32;5 title=t",
          "a href=manual.htm#top", "a href=./manual.htm&#35;top", "x < y <a href=\"#sec 5\"",
          "a href=#top\"q", "base href=#top", "/a href=#top", "a href='#nowhere'"}) {
        for (char page : {'\0', '\1', '\5', '\7'}) {
            EXPECT_EQ(fuzzcheck::CheckLinks(Input(0, page, "", tag)), "") << tag;
            // A page name that reads as a URL scheme must still lead to the page.
            EXPECT_EQ(fuzzcheck::CheckLinks(Input(0, page, "", tag, "c:man?")), "") << tag;
        }
        EXPECT_EQ(fuzzcheck::CheckLinks(Input(1, 1, "", std::string("text <") + tag + "> & <b>")),
                  "")
            << tag;
    }
}

TEST(LinkFuzzTest, TitlesHeadLinksReferencesAndManifestsKeepTheRules)
{
    const std::string head = "<html><!-- <title>no</title> --><HEAD><Title lang=en>\r\n The "
                             " Manual </TITLE><meta x='<'></head><body>";
    for (const std::string extra : {"", " A <b>bold</b>\t step ", "&amp; \xff\xfe"}) {
        EXPECT_EQ(fuzzcheck::CheckLinks(Input(3, 0, extra, head)), "") << extra;
        EXPECT_EQ(fuzzcheck::CheckLinks(Input(3, 0, extra, "<title></title><body>")), "");
        EXPECT_EQ(fuzzcheck::CheckLinks(Input(4, 0, extra, head)), "") << extra;
        EXPECT_EQ(fuzzcheck::CheckLinks(Input(4, 0, extra, "no tag at all")), "") << extra;
        EXPECT_EQ(fuzzcheck::CheckLinks(Input(5, 0, extra, "\x01\"\\\xed\xa0\x80\xc3")), "");
    }
    EXPECT_EQ(fuzzcheck::CheckLinks(Input(2, 0, "", "&#0;&#x110000;&#128&#xD800;&nbsp;&amp")), "");
}

TEST(LinkFuzzTest, TheJsonReaderRefusesWhatIsNoUtf8Json)
{
    EXPECT_EQ(fuzzcheck::JsonFault("{\"a\": [1, -0.5e3, null, \"\\ud83d\\ude00\xc3\xa9\"]}\n"), "");
    for (const std::string bad :
         {"", "{\"a\": 1,}", "[\"\xff\"]", "[\"\xed\xa0\x80\"]", "[\"\xc0\xaf\"]", "[\"\\ud800\"]",
          "[\"a\nb\"]", "[01]", "{\"a\" 1}", "[1] [2]", "[\"\\x\"]"})
        EXPECT_NE(fuzzcheck::JsonFault(bad), "") << bad;
}

} // namespace
