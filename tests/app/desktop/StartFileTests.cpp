#include "app/desktop/StartFile.h"
#include "tests/common/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace fs = std::filesystem;

namespace {

// A file system that knows a few paths and their long names.
LongNameLookup FakeFileSystem(std::map<std::string, std::string> entries,
                              std::vector<std::string>* asked = nullptr)
{
    return [entries = std::move(entries),
            asked](const std::string& path) -> std::optional<std::string> {
        if (asked)
            asked->push_back(path);
        auto it = entries.find(path);
        if (it == entries.end())
            return std::nullopt;
        return it->second;
    };
}

TEST(ExpandLongPath, EachComponentTakesItsLongName)
{
    std::vector<std::string> asked;
    auto lookup = FakeFileSystem({{"C:\\PROGRA~1", "Program Files"},
                                  {"C:\\PROGRA~1\\DOCS", "Docs"},
                                  {"C:\\PROGRA~1\\DOCS\\MANUAL~1.HTM", "Manual Page.htm"}},
                                 &asked);
    EXPECT_EQ(ExpandLongPath("C:\\PROGRA~1\\DOCS\\MANUAL~1.HTM", lookup),
              "C:\\Program Files\\Docs\\Manual Page.htm");
    // The part before the first backslash is never looked up.
    EXPECT_EQ(asked, (std::vector<std::string>{"C:\\PROGRA~1", "C:\\PROGRA~1\\DOCS",
                                               "C:\\PROGRA~1\\DOCS\\MANUAL~1.HTM"}));
}

TEST(ExpandLongPath, NoBackslashGivesNothing)
{
    auto lookup = FakeFileSystem({{"report.htm", "Report.htm"}});
    EXPECT_EQ(ExpandLongPath("report.htm", lookup), std::nullopt);
    EXPECT_EQ(ExpandLongPath("", lookup), std::nullopt);
}

TEST(ExpandLongPath, MissingComponentKeepsTheRestAsTyped)
{
    auto lookup = FakeFileSystem({{"C:\\DOCS", "Docs"}});
    EXPECT_EQ(ExpandLongPath("C:\\DOCS\\GONE~1\\A.HTM", lookup), "C:\\Docs\\GONE~1\\A.HTM");
    // Quotes stay part of the text, so nothing is found and nothing is changed.
    EXPECT_EQ(ExpandLongPath("\"C:\\DOCS\\A.HTM\"", lookup), "\"C:\\DOCS\\A.HTM\"");
}

TEST(ExpandLongPath, ComponentsBeyondTheWalkStayAsTypedNeverCut)
{
    const std::string deep(300, 'x');
    const std::string text = "C:\\D\\" + deep + "\\E\\F.HTM";
    auto lookup = FakeFileSystem({{"C:\\D", "Docs"}});
    // The backslash after the long component lies beyond the reach of the walk: the rest
    // is kept, so the result still names the typed file rather than a cut-off folder.
    EXPECT_EQ(ExpandLongPath(text, lookup), "C:\\Docs\\" + deep + "\\E\\F.HTM");

    // A backslash at character 255 is still reached.
    const std::string name(255 - 5, 'n');
    const std::string reachable = "C:\\D\\" + name + "\\F.HTM";
    ASSERT_EQ(reachable.find('\\', 5), 255u);
    auto all =
        FakeFileSystem({{"C:\\D", "D"}, {"C:\\D\\" + name, "Long"}, {reachable, "File.htm"}});
    EXPECT_EQ(ExpandLongPath(reachable, all), "C:\\D\\Long\\File.htm");
}

#ifndef _WIN32
TEST(StartFileFromArgument, RelativePathsBecomeAbsoluteLinksKept)
{
    testsupport::TempDir dir;
    testsupport::WriteAll(dir.Path() / "doc.html", "<BODY></BODY>");
    fs::create_directory_symlink(dir.Path(), dir.Path() / "link");
    const fs::path before = fs::current_path();
    fs::current_path(dir.Path());

    EXPECT_EQ(StartFileFromArgument("doc.html"), (dir.Path() / "doc.html").string());
    EXPECT_EQ(StartFileFromArgument("link/doc.html"), (dir.Path() / "link/doc.html").string());
    // Names need not be UTF-8; the bytes are kept.
    EXPECT_EQ(StartFileFromArgument("caf\xE9.html"), (dir.Path() / "caf\xE9.html").string());
    EXPECT_EQ(StartFileFromArgument("/abs/path/x.htm"), "/abs/path/x.htm");
    EXPECT_EQ(StartFileFromArgument(""), "");
    fs::current_path(before);
}
#endif

} // namespace
