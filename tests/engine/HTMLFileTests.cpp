#include "engine/HTMLFile.h"
#include "engine/SplitError.h"
#include "tests/common/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using testsupport::ReadAll;
using testsupport::TempDir;
using testsupport::WriteAll;

namespace {

// The message of the SplitError that fn throws, or "" when it throws none.
template <typename Fn> std::string ErrorOf(Fn fn)
{
    try {
        fn();
    } catch (const SplitError& e) {
        return e.what();
    }
    return "";
}

class ScannerTest : public testing::Test
{
protected:
    // Opens a source holding exactly bytes.
    HTMLFile& Source(const std::string& bytes)
    {
        // Close the earlier source first: Windows keeps an open file from being rewritten.
        m_file.reset();
        WriteAll(m_dir / "source.htm", bytes);
        m_file.emplace(m_dir / "source.htm", true);
        return *m_file;
    }
    // Reads up to and including the next '<' and returns the text before it.
    std::string SkipToTag(HTMLFile& file)
    {
        std::string text;
        char c;
        while (file.Read(&c, 1) == 1 && c != '<')
            text += c;
        return text;
    }
    std::string Heading(const std::string& bytes, TTagKind kind, std::size_t limit = kHeadingRoom)
    {
        HTMLFile& file = Source(bytes);
        std::string buffer(limit + 1, '\0');
        std::size_t n = file.ReadHeading(buffer.data(), limit, kind);
        EXPECT_EQ(buffer[n], '\0');
        return buffer.substr(0, n);
    }

    TempDir m_dir;
    std::optional<HTMLFile> m_file;
};

TEST(TagKindTest, LeadingCharactersDecideIgnoringCase)
{
    EXPECT_EQ(ClassifyTag("<body bgcolor=white>"), tkBody);
    EXPECT_EQ(ClassifyTag("<BODY>"), tkBody);
    EXPECT_EQ(ClassifyTag("<Body onload=x()>"), tkBody);
    EXPECT_EQ(ClassifyTag("<BODYX>"), tkBody);
    EXPECT_EQ(ClassifyTag("</body>"), tkBodyEnd);
    EXPECT_EQ(ClassifyTag("<H1 class=a>"), tkH1);
    EXPECT_EQ(ClassifyTag("</h1>"), tkH1End);
    EXPECT_EQ(ClassifyTag("<h2>"), tkH2);
    EXPECT_EQ(ClassifyTag("</H2 >"), tkH2End);
    EXPECT_EQ(ClassifyTag("<h3>"), tkH3);
    EXPECT_EQ(ClassifyTag("</h3>"), tkH3End);
    EXPECT_EQ(ClassifyTag("<H10>"), tkH1); // only a prefix is compared
    EXPECT_EQ(ClassifyTag("<HR>"), tkOther);
    EXPECT_EQ(ClassifyTag("<HEAD>"), tkOther);
    EXPECT_EQ(ClassifyTag("<H>"), tkOther);
    EXPECT_EQ(ClassifyTag("<!-- <BODY> -->"), tkOther);
}

TEST_F(ScannerTest, HeaderEndsWithTheFirstBodyTag)
{
    HTMLFile& file = Source("<!DOCTYPE html><HTML><HEAD><TITLE>x</TITLE></HEAD>\r\n"
                            "<body class=\"a>b\">rest<H1>");
    EXPECT_EQ(file.ReadHeader(), 67u);
    EXPECT_EQ(file.Header(),
              "<!DOCTYPE html><HTML><HEAD><TITLE>x</TITLE></HEAD>\r\n<body class=\"a>");
    char c;
    ASSERT_EQ(file.Read(&c, 1), 1u);
    EXPECT_EQ(c, 'b'); // a '>' inside a quoted value ends the tag
}

TEST_F(ScannerTest, CommentsHideABodyTagOnlyUpToTheirFirstGreaterThan)
{
    HTMLFile& hidden = Source("<!-- <BODY> -->text<body>");
    hidden.ReadHeader();
    EXPECT_EQ(hidden.Header(), "<!-- <BODY> -->text<body>");

    HTMLFile& visible = Source("<!-- a > <BODY> -->");
    visible.ReadHeader();
    EXPECT_EQ(visible.Header(), "<!-- a > <BODY>");
}

TEST_F(ScannerTest, HeaderFailures)
{
    EXPECT_EQ(ErrorOf([&] { Source("<html><head></head>no body").ReadHeader(); }),
              "<BODY> tag not found");
    EXPECT_EQ(ErrorOf([&] { Source("<html><head></head><body class=x").ReadHeader(); }),
              "End of tag not found");
    EXPECT_EQ(ErrorOf([&] { Source("").ReadHeader(); }), "<BODY> tag not found");
}

TEST_F(ScannerTest, BodyTagRoomEndsAtHalfAMillionBytes)
{
    // 499,999 bytes in all is the longest tag accepted.
    std::string longest = "<BODY " + std::string(499999 - 7, 'a') + ">";
    ASSERT_EQ(longest.size(), 499999u);
    HTMLFile& ok = Source("<HTML>" + longest + "text");
    EXPECT_EQ(ok.ReadHeader(), 6u + 499999u);

    std::string tooLong = "<BODY " + std::string(500000 - 7, 'a') + ">";
    ASSERT_EQ(tooLong.size(), 500000u);
    EXPECT_EQ(ErrorOf([&] { Source("<HTML>" + tooLong).ReadHeader(); }), "Tag too long");
}

TEST_F(ScannerTest, LongPlainTextHeaderIsKeptWholeUpToItsLimit)
{
    // Far more than any fixed header buffer would hold.
    std::string head = "<HTML><HEAD><STYLE>" + std::string(300000, 'x') + "</STYLE></HEAD>";
    HTMLFile& file = Source(head + "<BODY>after");
    EXPECT_EQ(file.ReadHeader(), head.size() + 6);
    EXPECT_EQ(file.Header(), head + "<BODY>");

    std::string huge(kMaxHeaderLength + 1, 'y');
    EXPECT_EQ(ErrorOf([&] { Source(huge + "<BODY>").ReadHeader(); }), "Header too long");
}

TEST_F(ScannerTest, HeadingContentUpToItsOwnClosingTag)
{
    EXPECT_EQ(Heading("A <B>bold</B> title</H1>rest", tkH1), "A <B>bold</B> title</H1>");
    EXPECT_EQ(Heading("x</H2></h3>", tkH3), "x</H2></h3>");
    EXPECT_EQ(Heading("x</H3>", tkOther), "x</H3>"); // any other kind waits for </H3>
    EXPECT_EQ(ErrorOf([&] { Heading("Intro</H3>", tkH2); }), "</H2> tag not found");
    EXPECT_EQ(ErrorOf([&] { Heading("Intro", tkH1); }), "</H1> tag not found");
    EXPECT_EQ(ErrorOf([&] { Heading("Intro", tkH3); }), "</H3> tag not found");
    EXPECT_EQ(ErrorOf([&] { Heading("Intro <b", tkH1); }), "End of tag not found");
}

TEST_F(ScannerTest, HeadingRoomEdges)
{
    // 4,999 bytes including the closing tag is the most a heading may hold.
    std::string fits = std::string(4999 - 5, 'a') + "</H1>";
    EXPECT_EQ(Heading(fits + "more", tkH1), fits);
    // Plain text reaching the room.
    EXPECT_EQ(ErrorOf([&] { Heading(std::string(5000, 'a') + "</H1>", tkH1); }),
              "Heading too long");
    // The closing tag no longer fits into what is left.
    EXPECT_EQ(ErrorOf([&] { Heading(std::string(4995, 'a') + "</H1>", tkH1); }), "Tag too long");
}

TEST_F(ScannerTest, ReadTagNeedsTheLessThanJustRead)
{
    HTMLFile& file = Source("ab<c>");
    char c;
    file.Read(&c, 1);
    std::string buffer(16, '\0');
    std::size_t n = 0;
    EXPECT_EQ(ErrorOf([&] { file.ReadTag(buffer.data(), 10, n); }), "Begin of tag not found");
}

TEST_F(ScannerTest, TagsAcrossReadBufferBoundariesAreReadWhole)
{
    // Put the '<' of tags at many offsets around the internal buffer size.
    for (std::size_t before : {262142u, 262143u, 262144u, 262145u, 524287u, 524288u}) {
        HTMLFile& file = Source(std::string(before, 't') + "<H2 id=x>tail");
        EXPECT_EQ(SkipToTag(file).size(), before);
        std::string buffer(kTagRoom + 1, '\0');
        std::size_t n = 0;
        EXPECT_EQ(file.ReadTag(buffer.data(), kTagRoom, n), tkH2) << before;
        EXPECT_EQ(buffer.substr(0, n), "<H2 id=x>") << before;
        char rest[8] = {};
        EXPECT_EQ(file.Read(rest, 4), 4u);
        EXPECT_EQ(std::string(rest), "tail");
    }
}

TEST_F(ScannerTest, OpenCreateAndReadFailures)
{
    EXPECT_EQ(ErrorOf([&] { HTMLFile f(m_dir / "missing.htm", true); }),
              "File could not be opened");
    EXPECT_EQ(ErrorOf([&] { HTMLFile f(m_dir / "no/such/folder/page.htm", false); }),
              "File could not be created");
#ifndef _WIN32
    // A regular file that fails when read: a failure, not an empty document. (Windows has no
    // such file to hand.)
    EXPECT_EQ(ErrorOf([&] {
                  HTMLFile f("/proc/self/mem", true);
                  f.ReadHeader();
              }),
              "File could not be read");
#endif
}

#ifndef _WIN32
// FIFOs, symbolic links and a child process to catch a blocking open are POSIX; the Windows
// case of a folder is in the test below.
TEST_F(ScannerTest, OnlyRegularFilesAreRead)
{
    std::filesystem::create_directory(m_dir.Path() / "folder.htm");
    ASSERT_EQ(mkfifo((m_dir / "pipe.htm").c_str(), 0600), 0);
    std::filesystem::create_symlink("pipe.htm", m_dir.Path() / "link-to-pipe.htm");
    WriteAll(m_dir / "real.htm", "<BODY>");
    std::filesystem::create_symlink("real.htm", m_dir.Path() / "link.htm");

    // In a child with an alarm, so that an open that blocks on the pipe fails the test
    // instead of hanging it.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(60);
        bool ok = true;
        for (const char* name : {"folder.htm", "pipe.htm", "link-to-pipe.htm", "/dev/null"}) {
            const std::string path = name[0] == '/' ? name : m_dir / name;
            ok = ok && ErrorOf([&] { HTMLFile f(path, true); }) == "Not a regular file";
        }
        HTMLFile linked(m_dir / "link.htm", true);
        ok = ok && linked.ReadHeader() == 6;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the child was killed: an open blocked";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

TEST_F(ScannerTest, FoldersAndDevicesAreNoDocuments)
{
    std::filesystem::create_directory(m_dir.Path() / "folder.htm");
#ifdef _WIN32
    const std::string device = "NUL";
#else
    const std::string device = "/dev/null";
#endif
    EXPECT_EQ(ErrorOf([&] { HTMLFile f(m_dir / "folder.htm", true); }), "Not a regular file");
    EXPECT_EQ(ErrorOf([&] { HTMLFile f(device, true); }), "Not a regular file");
}

TEST_F(ScannerTest, WriterReplacesAndAppends)
{
    WriteAll(m_dir / "out.htm", "old content that is longer");
    WriteAll(m_dir / "part.htm", std::string(200000, 'p'));
    {
        HTMLFile out(m_dir / "out.htm", false);
        out.WriteText("head|");
        HTMLFile part(m_dir / "part.htm", true);
        out.AppendFrom(part);
        out.WriteText("|tail");
        out.Close();
    }
    EXPECT_EQ(ReadAll(m_dir / "out.htm"), "head|" + std::string(200000, 'p') + "|tail");
}

#ifndef _WIN32
// A file size limit (setrlimit) is the POSIX way to make a write fail part way.
TEST_F(ScannerTest, WriteBeyondAFileSizeLimitIsReported)
{
    const std::string path = m_dir / "limited.htm";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100000, 100000};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string message = ErrorOf([&] {
            HTMLFile out(path, false);
            out.WriteText(std::string(150000, 'w'));
            out.Close();
        });
        _exit(message == "File could not be written" ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

} // namespace
