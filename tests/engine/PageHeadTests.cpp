#include "engine/PageHead.h"
#include "engine/PageManifest.h"

#include <gtest/gtest.h>

namespace {

TEST(PageHeadTest, HeadingTextDropsTagsAndCollapsesSpace)
{
    EXPECT_EQ(HeadingText(" <a name=x></a>1.2\r\n  Disk&nbsp;<i>space</i>\t&amp; <br>more "),
              "1.2 Disk&nbsp;space &amp; more");
    EXPECT_EQ(HeadingText("a < b <!-- c -->d"), "a < b d");
    EXPECT_EQ(HeadingText("<b></b>"), "");
}

TEST(PageHeadTest, TitleReplacedWhereThereIsOne)
{
    EXPECT_EQ(HeaderWithPageTitle("<head><title>My\r\n Manual </title></head><body>", "Setup"),
              "<head><title>Setup - My Manual</title></head><body>");
    EXPECT_EQ(HeaderWithPageTitle("<HEAD><TITLE lang=en>Doc</Title ></HEAD>", "A &amp; B"),
              "<HEAD><TITLE lang=en>A &amp; B - Doc</Title ></HEAD>");
    EXPECT_EQ(HeaderWithPageTitle("<title></title>", "Setup"), "<title>Setup</title>");
    // Only a title tag counts, the first one, and not inside a comment.
    EXPECT_EQ(HeaderWithPageTitle("<!-- <title>x</title> --><titles><title>T</title><title>U"
                                  "</title>",
                                  "S"),
              "<!-- <title>x</title> --><titles><title>S - T</title><title>U</title>");
    for (const char* header : {"<head></head><body>", "<title>Doc</head><body>", "<title"})
        EXPECT_EQ(HeaderWithPageTitle(header, "Setup"), header);
    EXPECT_EQ(HeaderWithPageTitle("<title>Doc</title>", ""), "<title>Doc</title>");
}

TEST(PageHeadTest, StyleSheetGoesAheadOfTheDocumentsOwnButAfterItsEncoding)
{
    const std::string link = "<L>";
    EXPECT_EQ(HeaderWithStyleSheet("<head><title>T</title><LINK rel=icon><style></style>", link),
              "<head><title>T</title><L><LINK rel=icon><style></style>");
    // An encoding named after the first style sheet must stay ahead of what is inserted.
    EXPECT_EQ(HeaderWithStyleSheet("<head><style></style><META CharSet=utf-8><title>", link),
              "<head><style></style><META CharSet=utf-8><L><title>");
    // Neither in the head (a comment does not count): where the head links go.
    EXPECT_EQ(HeaderWithStyleSheet("<head><!-- <style> --></head><body><style>", link),
              "<head><!-- <style> --><L></head><body><style>");
}

TEST(PageHeadTest, HeadLinksGoBeforeTheHeadEndOrTheBodyTag)
{
    const std::string links = HeadLinksMarkup("d001.htm", "", "d000.htm");
    EXPECT_EQ(links, "<link rel=\"prev\" href=\"d001.htm\">\r\n"
                     "<link rel=\"index\" href=\"d000.htm\">\r\n");
    EXPECT_EQ(HeadLinksMarkup("", "", ""), "");
    EXPECT_EQ(HeaderWithHeadLinks("<html><head><!-- </head> --><title>T</title></HEAD >\r\n"
                                  "<body>",
                                  "L"),
              "<html><head><!-- </head> --><title>T</title>L</HEAD >\r\n<body>");
    EXPECT_EQ(HeaderWithHeadLinks("<html><title>T</title>\r\n<body onload=\"a<b\">", "L"),
              "<html><title>T</title>\r\nL<body onload=\"a<b\">");
    EXPECT_EQ(HeaderWithHeadLinks("<html><header></header><BODY>", "L"),
              "<html><header></header>L<BODY>");
}

TEST(ManifestTest, JsonOfPages)
{
    std::vector<ManifestPage> pages{{"d001.htm", 1, "Intro", {"a", "b"}}, {"d002.htm", 0, "", {}}};
    EXPECT_EQ(ManifestJson("d.htm", "d000.htm", pages),
              "{\n  \"source\": \"d.htm\",\n  \"index\": \"d000.htm\",\n  \"pages\": [\n"
              "    {\"file\": \"d001.htm\", \"level\": 1, \"heading\": \"Intro\", \"anchors\": "
              "[\"a\", \"b\"]},\n"
              "    {\"file\": \"d002.htm\", \"level\": null, \"heading\": null, \"anchors\": []}\n"
              "  ]\n}\n");
    EXPECT_EQ(ManifestJson("d.htm", "d000.htm", {}),
              "{\n  \"source\": \"d.htm\",\n  \"index\": \"d000.htm\",\n  \"pages\": []\n}\n");
}

TEST(ManifestTest, StringsAreEscapedValidUtf8)
{
    const std::string odd = "q\"b\\s/\n\t\r\x01\x7F"
                            "\xC3\xA9"                  // valid: kept
                            "\xE9"                      // Latin-1 e acute
                            "\xC0\xAF"                  // overlong '/'
                            "\xED\xA0\x80"              // surrogate
                            "\xF0\x9F\x98\x80"          // valid four bytes
                            "\xF4\x90\x80\x80\xE2\x82"; // past U+10FFFF, cut short
    const std::string json = ManifestJson(odd, "", {{"f", 2, odd, {odd}}});
    const std::string expected = "\"q\\\"b\\\\s/\\n\\t\\r\\u0001\x7F"
                                 "\xC3\xA9"
                                 "\xC3\xA9"
                                 "\xC3\x80\xC2\xAF"
                                 "\xC3\xAD\xC2\xA0\xC2\x80"
                                 "\xF0\x9F\x98\x80"
                                 "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80\xC3\xA2\xC2\x82\"";
    EXPECT_EQ(json,
              "{\n  \"source\": " + expected +
                  ",\n  \"index\": \"\",\n  \"pages\": [\n    {\"file\": \"f\", \"level\": 2, "
                  "\"heading\": " +
                  expected + ", \"anchors\": [" + expected + "]}\n  ]\n}\n");
}

} // namespace
