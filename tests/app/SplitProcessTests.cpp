#include "tests/common/TestSupport.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using testsupport::Exists;
using testsupport::ReadAll;
using testsupport::TempDir;
using testsupport::WriteAll;

namespace {

// quirefold-split started as a real process, with its standard output on a pipe.
class SplitProcess
{
public:
    SplitProcess(const std::string& workingDir, const std::vector<std::string>& args)
    {
        int out[2];
        if (pipe(out) != 0)
            throw std::runtime_error("pipe");
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            const int err =
                open((workingDir + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(err, STDERR_FILENO);
            close(out[0]);
            close(out[1]);
            if (chdir(workingDir.c_str()) != 0)
                _exit(126);
            std::vector<char*> argv{const_cast<char*>(QUIREFOLD_SPLIT_PATH)};
            for (const auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        m_out = out[0];
    }
    ~SplitProcess()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            Wait();
        }
        close(m_out);
    }

    // Reads standard output until it holds text; false at end of output.
    bool ReadUntil(const std::string& text)
    {
        char chunk[4096];
        while (m_output.find(text) == std::string::npos) {
            ssize_t n = read(m_out, chunk, sizeof chunk);
            if (n <= 0)
                return false;
            m_output.append(chunk, static_cast<std::size_t>(n));
        }
        return true;
    }
    int Wait()
    {
        ReadUntil("\x01never\x01");
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return status;
    }
    void Signal(int sig) { kill(m_pid, sig); }
    const std::string& Output() const { return m_output; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_output;
};

class SplitProcessTest : public testing::Test
{
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        // A splitter that ends early must fail the test, not kill it.
        signal(SIGPIPE, SIG_IGN);
    }
    TempDir m_dir;
};

TEST_F(SplitProcessTest, RelativePathsStatusLinesAndExitCodes)
{
    std::filesystem::create_directory(m_dir.Path() / "docs");
    WriteAll(m_dir / "docs/a.htm", "<HTML><BODY><H1>T</H1>x</BODY>");
    std::filesystem::create_symlink("docs", m_dir.Path() / "link");

    SplitProcess ok(m_dir.Path().string(), {"--defaults", "link/a.htm"});
    EXPECT_EQ(WEXITSTATUS(ok.Wait()), 0);
    // The path is made absolute against the working folder; the symbolic link is kept.
    const std::string d = m_dir.Path().string() + "/link/";
    EXPECT_EQ(ok.Output(), "Splitting " + d +
                               "a.htm.\n"
                               "   Source file " +
                               d +
                               "a.htm opened successfully.\n"
                               "   Header read. 12 bytes.\n"
                               "   Index file " +
                               d +
                               "a000.htm created.\n"
                               "      Target file " +
                               d +
                               "a001.htm created.\n"
                               "      Header written to " +
                               d +
                               "a001.htm.\n"
                               "         Heading read. 6 bytes.\n"
                               "         Heading: T\n"
                               "      Target file " +
                               d +
                               "a001.htm closed.\n"
                               "   Index file " +
                               d +
                               "a000.htm closed.\n"
                               "   Source file " +
                               d +
                               "a.htm closed.\n"
                               "Splitting is complete. 1 files and 1 index file created.\n");
    EXPECT_EQ(ReadAll(m_dir / "docs/a001.htm"),
              "<HTML><BODY><H1>T</H1>x<BR>\r\n</BODY>\r\n</HTML>\r\n");

    SplitProcess failed(m_dir.Path().string(), {"--defaults", "docs/none.htm"});
    EXPECT_EQ(WEXITSTATUS(failed.Wait()), 1);

    SplitProcess usage(m_dir.Path().string(), {"--break-on=9", "docs/a.htm"});
    EXPECT_EQ(WEXITSTATUS(usage.Wait()), 2);
    EXPECT_EQ(usage.Output(), "");
    EXPECT_EQ(ReadAll(m_dir / "stderr.txt"),
              "quirefold-split: invalid value '9' for --break-on (expected 1, 2 or 3)\n"
              "Try 'quirefold-split --help' for more information.\n");
}

TEST_F(SplitProcessTest, SaveThenRunWithoutOptions)
{
    WriteAll(m_dir / "a.htm", "<HTML><BODY><H1>T</H1>x<H1>U</H1>y</BODY>");
    SplitProcess save(m_dir.Path().string(), {"--links", "--navigation", "--save", "a.htm"});
    EXPECT_EQ(WEXITSTATUS(save.Wait()), 0);
    std::filesystem::remove(m_dir / "afs.htm");

    SplitProcess plain(m_dir.Path().string(), {"-q", "a.htm"});
    EXPECT_EQ(WEXITSTATUS(plain.Wait()), 0);
    EXPECT_EQ(plain.Output(), "");
    EXPECT_TRUE(Exists(m_dir / "afs.htm"));
    EXPECT_NE(ReadAll(m_dir / "a002.htm").find("quirefold_link_p"), std::string::npos);
}

// The source is a FIFO, so the test decides when the splitter sees each part of it.
class InterruptTest : public SplitProcessTest
{
protected:
    void SetUp() override
    {
        SplitProcessTest::SetUp();
        ASSERT_EQ(mkfifo((m_dir / "fifo.htm").c_str(), 0600), 0);
        WriteAll(m_dir / "next.htm", "<HTML><BODY>x</BODY>");
    }
    int OpenFifo() { return open((m_dir / "fifo.htm").c_str(), O_WRONLY); }
    static void Send(int fd, const std::string& s)
    {
        ASSERT_EQ(write(fd, s.data(), s.size()), static_cast<ssize_t>(s.size()));
    }
};

TEST_F(InterruptTest, CtrlCStopsTheRunAndTheBatch)
{
    SplitProcess split(m_dir.Path().string(), {"--defaults", "fifo.htm", "next.htm"});
    const int fifo = OpenFifo();
    // No tag yet after the body tag, so nothing can notice the interrupt before the rest.
    Send(fifo, "<HTML><BODY>intro text");
    ASSERT_TRUE(split.ReadUntil("Header written to"));
    split.Signal(SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Send(fifo, "<b>bold</b>more<H1>B</H1>b</BODY>");
    close(fifo);
    const int status = split.Wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(split.Output().find("Operation cancelled.\n"), std::string::npos);
    EXPECT_NE(split.Output().find("Splitting is complete. 1 files and 1 index file created."),
              std::string::npos);
    EXPECT_EQ(ReadAll(m_dir / "fifo001.htm"), "<HTML><BODY>intro text<b>");
    EXPECT_FALSE(Exists(m_dir / "next000.htm"));
}

TEST_F(InterruptTest, SecondCtrlCEndsAtOnce)
{
    SplitProcess split(m_dir.Path().string(), {"--defaults", "fifo.htm"});
    const int fifo = OpenFifo();
    Send(fifo, "<HTML><BODY>intro");
    ASSERT_TRUE(split.ReadUntil("Header written to"));
    split.Signal(SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    split.Signal(SIGINT);
    const int status = split.Wait();
    close(fifo);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGINT);
}

} // namespace
