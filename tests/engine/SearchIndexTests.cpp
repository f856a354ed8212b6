// The search index: words as a browser shows the text, sections at headings, any encoding a
// document declares, and the same index however the bytes arrive.

#include "engine/SearchIndex.h"
#include "engine/SearchIndexer.h"
#include "engine/SearchText.h"

#include <gtest/gtest.h>
#include <random>

using searchtext::Encoding;

namespace {

std::string IndexOf(Encoding encoding, const std::vector<std::string>& pages, std::size_t piece = 0,
                    std::string_view title = "Guide")
{
    SearchIndex index(encoding, title);
    int number = 1;
    for (const std::string& page : pages) {
        index.StartPage("doc00" + std::to_string(number++) + ".html");
        if (piece == 0) {
            index.Feed(page.data(), page.size());
        } else {
            for (std::size_t at = 0; at < page.size(); at += piece)
                index.Feed(page.data() + at, std::min(piece, page.size() - at));
        }
    }
    return index.Script();
}

std::string Between(const std::string& text, const std::string& from, const std::string& to)
{
    const std::size_t start = text.find(from);
    if (start == std::string::npos)
        return "missing: " + from;
    const std::size_t end = text.find(to, start + from.size());
    return text.substr(start + from.size(), end - start - from.size());
}

const std::vector<std::string> kPages = {
    "<p>Before &amp; <b>bold</b>ly<br>x&lt;y a < b</p><!-- hidden words --><h1 id=\"in\">"
    "Install&shy;ing <i>Caf&eacute;</i></h1><p>Run caf\xc3\xa9 now.</p>"
    "<script>var hiddenScript = '</p>';</script><STYLE>p { hiddenStyle: 1 }</STYLE>",
    "<h2>Usage</h2><p>run it \xe2\x80\x9cquoted\xe2\x80\x9d and r\xc3\xa9sum\xc3\xa9 "
    "\xC3\x89"
    "COLE</p><h3 id='deep one'>Deep &#x49;nstall</h3>bad\xff\xfe"
    "bytes",
};

TEST(SearchIndexTest, WordsAndSectionsAsTheReaderSeesThem)
{
    const std::string script = IndexOf(Encoding::Utf8, kPages);
    EXPECT_EQ(script.rfind("quirefoldSearchIndex({\"v\": 1, \"asciiOnly\": false,", 0), 0u);
    // A section per heading, and one for a page's text before its first.
    EXPECT_EQ(Between(script, "\"sections\": [\n", "\n],"),
              "[\"doc001.html\", \"Guide\", \"Before & boldly x<y a < b\"],\n"
              "[\"doc001.html#in\", \"Installing Café\", \"Run café now.\"],\n"
              "[\"doc002.html\", \"Usage\", \"run it “quoted” and résumé ÉCOLE\"],\n"
              "[\"doc002.html#deep%20one\", \"Deep Install\", \"badÿþbytes\"]");
    const std::string words = Between(script, "\"words\": {\n", "},\n\"headingWords\"");
    for (const char* word :
         {"\"before\": \"0\"", "\"boldly\": \"0\"", "\"x\": \"0\"", "\"y\": \"0\"",
          "\"installing\": \"1\"", "\"café\": \"1\"", "\"run\": \"1,1\"", "\"résumé\": \"2\"",
          "\"école\": \"2\"", "\"install\": \"3\"", "\"badÿþbytes\": \"3\""})
        EXPECT_NE(words.find(word), std::string::npos) << word << " in " << words;
    for (const char* hidden : {"hidden", "hiddenscript", "hiddenstyle", "p\"", "quoted\": \"0"})
        EXPECT_EQ(words.find(std::string("\"") + hidden), std::string::npos) << hidden;
    EXPECT_EQ(Between(script, "\"headingWords\": {\n", "\n}});"),
              "\"café\": \"1\",\n\"deep\": \"3\",\n\"install\": \"3\",\n\"installing\": \"1\",\n"
              "\"usage\": \"2\"");
}

TEST(SearchIndexTest, HeadingsTakeTheAnchorsJustBeforeOrAtTheirStartAndLongTextIsCut)
{
    const std::string script =
        IndexOf(Encoding::Utf8,
                {"<span id=\"before\"></span>\n<h2>One</h2>a<div id=far>text</div><h2>Two</h2>b"
                 "<h3><a name=\"inside\"></a>Three <a id=late></a>x</h3>" +
                 std::string(200, 'w') + " " + std::string(300, 'z')});
    EXPECT_EQ(Between(script, "\"sections\": [\n", "\n],"),
              "[\"doc001.html#before\", \"One\", \"a text\"],\n"
              "[\"doc001.html\", \"Two\", \"b\"],\n"
              "[\"doc001.html#inside\", \"Three x\", \"" +
                  std::string(160, 'w') + " \u2026\"]");
}

TEST(SearchIndexTest, TheSameIndexHoweverTheBytesArrive)
{
    const std::string whole = IndexOf(Encoding::Utf8, kPages);
    for (const std::size_t piece : {1, 2, 3, 7, 64})
        EXPECT_EQ(IndexOf(Encoding::Utf8, kPages, piece), whole) << piece;
    std::mt19937 random(7);
    std::string soup;
    // Text with rare markup, so that sections outgrow their excerpts: whole, it is read by the
    // fast paths for plain text; a byte at a time, by the states alone.
    const char* text[] = {" ",    "word",  "Word. ", "x4",     "<B>",    "</i>",
                          "<P>",  "<br/>", "amp;",   "&nbsp;", "&#39;",  "&lt;",
                          "&gt;", ">",     "\n",     "<a>",    "</span>"};
    const char* rare[] = {"\xc3", "\xa9",      "\xe2\x80",  "<!--",    "-->",      "<script>",
                          "<",    "</script>", "<h2 id=a>", "</h2>",   "<H3>",     "</h3>",
                          "&",    "&ampx;",    "<Code",     "<style>", "<b id=x>", "</style>"};
    for (int i = 0; i < 20000; ++i) {
        soup += random() % 40 == 0 ? rare[random() % std::size(rare)]
                                   : text[random() % std::size(text)];
        // Words met once, so that words cut or joined in the wrong place show.
        if (soup.back() == 'd')
            soup += std::to_string(i);
    }
    // And any bytes at all, in every encoding.
    for (int i = 0; i < 2000; ++i)
        soup += static_cast<char>(random() % 256);
    for (const Encoding encoding : {Encoding::Utf8, Encoding::Latin1, Encoding::Other}) {
        const std::string soupWhole = IndexOf(encoding, {soup, soup});
        for (const std::size_t piece : {1, 5, 13})
            EXPECT_EQ(IndexOf(encoding, {soup, soup}, piece), soupWhole) << piece;
    }
}

TEST(SearchIndexTest, TheIndexBuiltOnItsOwnThreadIsTheSame)
{
    // Pages of every size: many short ones share a piece handed to the thread, a long one
    // spans several, and the bytes come in pieces of any size.
    std::mt19937 random(11);
    std::vector<std::string> pages;
    for (int i = 0; i < 2000; ++i) {
        std::string page = "<h2 id=p" + std::to_string(i) + ">Page " + std::to_string(i) + "</h2>";
        for (int words = random() % 40; words > 0; --words)
            page += kPages[random() % 2].substr(0, random() % 60) + " w" +
                    std::to_string(random() % 500);
        pages.push_back(page);
    }
    std::string longPage;
    while (longPage.size() < 3 * 1024 * 1024)
        longPage += "<p>long text of <b>one</b> page " + std::to_string(longPage.size()) + "</p>";
    pages.insert(pages.begin() + 1000, longPage);

    // Runs of pages go to each thread in turn; the parts joined are the index of one reader.
    const std::string direct = IndexOf(Encoding::Utf8, pages);
    for (const unsigned threads : {SearchIndexer::kCallersThread, 1u, 2u, 3u}) {
        SearchIndexer indexer(Encoding::Utf8, "Guide", threads);
        int number = 1;
        for (const std::string& page : pages) {
            indexer.StartPage("doc00" + std::to_string(number++) + ".html");
            for (std::size_t at = 0; at < page.size();) {
                const std::size_t piece =
                    std::min<std::size_t>(page.size() - at, 1 + random() % 5000);
                indexer.Feed(page.data() + at, piece);
                at += piece;
            }
        }
        EXPECT_EQ(indexer.Finish().Script(), direct) << threads;
    }

    // Left unfinished (a split that stops), it stops with the rest unread.
    SearchIndexer stopped(Encoding::Utf8, "Guide");
    stopped.StartPage("doc001.html");
    for (int i = 0; i < 8; ++i)
        stopped.Feed(longPage.data(), longPage.size());
}

TEST(SearchIndexTest, TheDeclaredEncodingDecidesHowBytesBecomeWords)
{
    EXPECT_EQ(searchtext::DetectEncoding("<head><meta charset=\"ISO-8859-1\">"), Encoding::Latin1);
    EXPECT_EQ(searchtext::DetectEncoding("<META http-equiv=Content-Type content='text/html; "
                                         "charset=windows-1252'>"),
              Encoding::Latin1);
    EXPECT_EQ(searchtext::DetectEncoding("<!-- <meta charset=latin1> --><meta charset=utf-8>"),
              Encoding::Utf8);
    EXPECT_EQ(searchtext::DetectEncoding("<meta charset=shift_jis>"), Encoding::Other);
    EXPECT_EQ(searchtext::DetectEncoding("\xEF\xBB\xBF<meta charset=shift_jis>"), Encoding::Utf8);
    EXPECT_EQ(searchtext::DetectEncoding("<title>none</title>"), Encoding::Utf8);

    // windows-1252: é, the curly quotes are no letters, Œ is one.
    const std::string latin = IndexOf(Encoding::Latin1, {"<p>\xe9t\xe9 \x93\x8c\x75vre\x94</p>"});
    EXPECT_NE(latin.find("\"été\": \"0\""), std::string::npos) << latin;
    EXPECT_NE(latin.find("\"œuvre\": \"0\""), std::string::npos) << latin;
    // Another encoding: ASCII words only, and the script is told so.
    const std::string other = IndexOf(Encoding::Other, {"<p>abc\x82\xa0xyz def</p>"});
    EXPECT_NE(other.find("\"asciiOnly\": true"), std::string::npos);
    EXPECT_NE(other.find("\"abc\": \"0\""), std::string::npos) << other;
    EXPECT_NE(other.find("\"xyz\": \"0\""), std::string::npos) << other;
}

} // namespace
