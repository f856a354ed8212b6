#include "engine/PageMarkup.h"
#include "engine/PathNames.h"
#include "engine/SplitSettings.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

using testsupport::ReadAll;
using testsupport::TempDir;
using testsupport::WriteAll;

namespace {

const std::string kBarStart = "<p class=\"quirefold_link_p\" align=\"center\">\r\n";
const std::string kBarEnd = "</p><br>\r\n";

SplitSettings Links()
{
    SplitSettings s;
    s.AddLinks = true;
    return s;
}

std::string Block(const SplitSettings& s, int page, bool last, bool top,
                  const TrailState& trail = {})
{
    return BuildNavBlock(s, page, "manual", ".htm", last, top, trail, "/nowhere/");
}

TEST(NavBlockTest, TextLinkBarsOfThreePages)
{
    const SplitSettings s = Links();
    EXPECT_EQ(Block(s, 1, false, true),
              kBarStart +
                  "<A class=\"quirefold_link_a\" HREF=\"manual000.htm\">Home</A>&nbsp;"
                  "<A class=\"quirefold_link_a\" HREF=\"manual002.htm\">Next</A>" +
                  kBarEnd);
    EXPECT_EQ(Block(s, 2, false, false),
              kBarStart +
                  "<A class=\"quirefold_link_a\" HREF=\"manual001.htm\">Previous</A>&nbsp;"
                  "<A class=\"quirefold_link_a\" HREF=\"manual000.htm\">Home</A>&nbsp;"
                  "<A class=\"quirefold_link_a\" HREF=\"manual003.htm\">Next</A>" +
                  kBarEnd);
    EXPECT_EQ(Block(s, 3, true, true),
              kBarStart +
                  "<A class=\"quirefold_link_a\" HREF=\"manual002.htm\">Previous</A>&nbsp;"
                  "<A class=\"quirefold_link_a\" HREF=\"manual000.htm\">Home</A>&nbsp;" +
                  kBarEnd);
    // A single page shows Home alone.
    EXPECT_EQ(Block(s, 1, true, false),
              kBarStart + "<A class=\"quirefold_link_a\" HREF=\"manual000.htm\">Home</A>&nbsp;" +
                  kBarEnd);
    // Numbers grow past three digits.
    EXPECT_NE(Block(s, 1000, false, true).find("HREF=\"manual999.htm\""), std::string::npos);
    EXPECT_NE(Block(s, 1000, false, true).find("HREF=\"manual1001.htm\""), std::string::npos);
}

TEST(NavBlockTest, BreadcrumbTrails)
{
    SplitSettings s;
    s.Breadcrumbs = true;
    s.BreadcrumbsText = "You are here:";
    const std::string start = "<p class=\"quirefold_breadcrumb_p\">\r\nYou are here: ";
    const std::string end = "\r\n</p>\r\n";

    TrailState h1{"Intro", "", "", 4, 0};
    EXPECT_EQ(Block(s, 4, false, true, h1), start + "Intro" + end);

    TrailState h2{"Intro", "Setup", "", 4, 5};
    EXPECT_EQ(Block(s, 5, false, true, h2),
              start +
                  "<A class=\"quirefold_breadcrumb_a\" HREF=\"manual004.htm\">Intro</A>"
                  " &gt; Setup" +
                  end);

    s.BreakOn = 3;
    TrailState h3{"Intro", "Setup", "Disks", 4, 5};
    EXPECT_EQ(Block(s, 6, false, true, h3),
              start +
                  "<A class=\"quirefold_breadcrumb_a\" HREF=\"manual004.htm\">Intro</A>"
                  " &gt; <A class=\"quirefold_breadcrumb_a\" HREF=\"manual005.htm\">Setup</A>"
                  " &gt; Disks" +
                  end);
    // An H3 right below an H1: no link at all.
    TrailState skip{"Intro", "", "Disks", 4, 0};
    EXPECT_EQ(Block(s, 6, false, true, skip), start + "Intro &gt; Disks" + end);
    // Nothing known yet: only the label.
    EXPECT_EQ(Block(s, 1, false, true, {}), start + end);
    // Never at the bottom, never at break level 1 or 0.
    EXPECT_EQ(Block(s, 6, false, false, h3), "");
    s.BreakOn = 1;
    EXPECT_EQ(Block(s, 6, false, true, h3), "");
    s.BreakOn = 0;
    EXPECT_EQ(Block(s, 6, false, true, h3), "");
}

TEST(NavBlockTest, TrailComesBeforeTheBarAndNothingIsCut)
{
    SplitSettings s = Links();
    s.Breadcrumbs = true;
    s.BreadcrumbsText = "At:";
    s.NextLinkText = std::string(3000, 'n');
    const std::string heading(4000, 'h');
    const std::string block = Block(s, 2, false, true, {heading, "", "", 2, 0});
    EXPECT_EQ(block, "<p class=\"quirefold_breadcrumb_p\">\r\nAt: " + heading + "\r\n</p>\r\n" +
                         kBarStart +
                         "<A class=\"quirefold_link_a\" HREF=\"manual001.htm\">Previous</A>&nbsp;"
                         "<A class=\"quirefold_link_a\" HREF=\"manual000.htm\">Home</A>&nbsp;"
                         "<A class=\"quirefold_link_a\" HREF=\"manual003.htm\">" +
                         std::string(3000, 'n') + "</A>" + kBarEnd);
}

TEST(NavBlockTest, ImageModeUsesFileNamesAndCopiesImagesOnPageOne)
{
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / "art");
    WriteAll(dir / "art/p.gif", "PREV");
    WriteAll(dir / "art/n.gif", "NEXT");
    SplitSettings s = Links();
    s.UseImages = true;
    s.PrevLinkImage = dir / "art/p.gif";
    s.HomeLinkImage = "";
    s.NextLinkImage = "art/n.gif"; // relative to the folder of the pages
    std::filesystem::create_directory(dir.Path() / "pages");
    const std::string pages = dir / "pages/";

    EXPECT_EQ(BuildNavBlock(s, 2, "m", ".htm", false, true, {}, pages),
              kBarStart +
                  "<A class=\"quirefold_link_a\" HREF=\"m001.htm\"><IMG SRC=\"p.gif\" "
                  "ALT=\"Previous\" BORDER=\"0\"></A>&nbsp;"
                  "<A class=\"quirefold_link_a\" HREF=\"m000.htm\"><IMG SRC=\"\" "
                  "ALT=\"Home\" BORDER=\"0\"></A>&nbsp;"
                  "<A class=\"quirefold_link_a\" HREF=\"m003.htm\"><IMG SRC=\"n.gif\" "
                  "ALT=\"Next\" BORDER=\"0\"></A>" +
                  kBarEnd);
    EXPECT_FALSE(testsupport::Exists(dir / "pages/p.gif")); // only page 1 copies

    BuildNavBlock(s, 1, "m", ".htm", false, true, {}, pages);
    EXPECT_EQ(ReadAll(dir / "pages/p.gif"), "PREV");
    EXPECT_FALSE(testsupport::Exists(dir / "pages/n.gif")); // pages/art/n.gif does not exist

    // Relative to the pages' folder, and an image already there is left intact.
    BuildNavBlock(s, 1, "m", ".htm", false, true, {}, dir / "art/");
    EXPECT_EQ(ReadAll(dir / "art/n.gif"), "NEXT");
    s.NextLinkImage = dir / "art/n.gif";
    BuildNavBlock(s, 1, "m", ".htm", true, false, {}, dir / "art/");
    EXPECT_EQ(ReadAll(dir / "art/n.gif"), "NEXT");
}

TEST(IndexEntryTest, ThreeLevelsWithAndWithoutNavigation)
{
    SplitSettings s;
    EXPECT_EQ(BuildIndexEntry(s, "m", 1, ".htm", "One", tkH1),
              "<a class=\"quirefold_index_a\" HREF=\"m001.htm\">One</a><br>\r\n");
    EXPECT_EQ(BuildIndexEntry(s, "m", 12, ".htm", "<A NAME=\"x\">Two</A>", tkH2),
              "&nbsp&nbsp&nbsp<a class=\"quirefold_index_a\" HREF=\"m012.htm\">"
              "<A NAME=\"x\">Two</A></a><br>\r\n");
    s.Navigation = true;
    EXPECT_EQ(BuildIndexEntry(s, "m", 1234, "", "Three", tkH3),
              "&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp<a class=\"quirefold_index_a\" HREF=\"m1234\" "
              "target=\"main\">Three</a><br>\r\n");
}

TEST(FramesetTest, WholePage)
{
    TempDir dir;
    WriteFrameset(dir / "bookfs.html", "book", ".html");
    EXPECT_EQ(ReadAll(dir / "bookfs.html"),
              "<html>\r\n<head><title>book</title>\r\n</head>\r\n"
              "<frameset cols=\"200,*\" frameborder=\"NO\" border=\"0\" framespacing=\"0\">\r\n"
              "<frame src=\"book000.html\" name=\"left\">\r\n"
              "<frame src=\"book001.html\" name=\"main\">\r\n"
              "</frameset>\r\n<noframes>\r\n<body>\r\n</body>\r\n</noframes>\r\n</html>");
}

TEST(PathNamesTest, NamesComeFromTheFileNamePart)
{
    PathNames n = SplitSourcePath("/docs/v1.2/manual.htm");
    EXPECT_EQ(n.Stem, "/docs/v1.2/manual");
    EXPECT_EQ(n.BaseName, "manual");
    EXPECT_EQ(n.Extension, ".htm");

    n = SplitSourcePath("/docs/v1.2/README");
    EXPECT_EQ(n.Stem, "/docs/v1.2/README");
    EXPECT_EQ(n.BaseName, "README");
    EXPECT_EQ(n.Extension, "");

    n = SplitSourcePath("/d/archive.tar.longextension");
    EXPECT_EQ(n.Stem, "/d/archive.tar");
    EXPECT_EQ(n.Extension, ".longextension");
    EXPECT_EQ(PageNumberText(7), "007");
    EXPECT_EQ(PageNumberText(1000), "1000");
}

TEST(PathNamesTest, BackslashSeparatesFoldersOnlyOnWindows)
{
#ifdef _WIN32
    PathNames n = SplitSourcePath("C:\\docs\\v1.2\\manual.htm");
    EXPECT_EQ(n.Stem, "C:\\docs\\v1.2\\manual");
    EXPECT_EQ(n.BaseName, "manual");
    EXPECT_EQ(n.Extension, ".htm");
    // Both separators, and the drive's colon, end a folder part.
    n = SplitSourcePath("C:\\docs.old/v1.2\\README");
    EXPECT_EQ(n.BaseName, "README");
    EXPECT_EQ(n.Extension, "");
    n = SplitSourcePath("D:guide.html");
    EXPECT_EQ(n.Stem, "D:guide");
    EXPECT_EQ(n.BaseName, "guide");
    EXPECT_EQ(FolderPart("C:\\docs\\manual.htm"), "C:\\docs\\");
    EXPECT_EQ(FileNamePart("\\\\server\\share\\a.html"), "a.html");
    EXPECT_TRUE(SameFileName("Manual.HTM", "manual.htm"));
#else
    // A backslash is an ordinary character of a POSIX file name.
    PathNames n = SplitSourcePath("/d/docs\\v1.2\\manual");
    EXPECT_EQ(n.BaseName, "docs\\v1");
    EXPECT_EQ(n.Extension, ".2\\manual");
    EXPECT_EQ(FolderPart("/d/a\\b.htm"), "/d/");
    EXPECT_FALSE(SameFileName("Manual.HTM", "manual.htm"));
#endif
}

} // namespace
