#include "settings/SettingsStore.h"
#include "tests/common/TestSupport.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using testsupport::Exists;
using testsupport::ReadAll;
using testsupport::TempDir;
using testsupport::WriteAll;

namespace {

// quirefold-split started as a real process, with its standard output on a pipe. With room
// given, the pipe starts so full that the splitter's writes of more than room bytes wait
// until the test reads: the test decides where the splitter is held.
class SplitProcess
{
public:
    static constexpr std::size_t kAnyRoom = static_cast<std::size_t>(-1);

    SplitProcess(const std::string& workingDir, const std::vector<std::string>& args,
                 std::size_t room = kAnyRoom)
    {
        int out[2];
        if (pipe(out) != 0)
            throw std::runtime_error("pipe");
        if (room != kAnyRoom)
            m_filler = Fill(out[1], room);
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
            waitpid(m_pid, nullptr, 0);
        }
        close(m_out);
    }

    // Reads standard output until it holds text; false at its end or after a minute of
    // silence (a splitter that hangs).
    bool ReadUntil(const std::string& text)
    {
        while (Output().find(text) == std::string::npos) {
            if (ReadSome() != Read::Data)
                return false;
        }
        return true;
    }
    // Reads all output and returns the wait status; a splitter that hangs is killed.
    int Wait()
    {
        Read read;
        while ((read = ReadSome()) == Read::Data) {
        }
        if (read == Read::Silent)
            kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return status;
    }
    void Signal(int sig) { kill(m_pid, sig); }
    // The output without the bytes the test put into the pipe.
    std::string Output() const { return m_output.substr(std::min(m_filler, m_output.size())); }

    // What the kernel reports about the process.
    bool CatchesInterrupt() const { return SignalMask("SigCgt:") & InterruptBit(); }
    bool InterruptPending() const
    {
        return (SignalMask("SigPnd:") | SignalMask("ShdPnd:")) & InterruptBit();
    }
    // Whether it waits in a write to the full pipe.
    bool HeldOnFullPipe() const
    {
        int bytes = 0;
        ioctl(m_out, FIONREAD, &bytes);
        std::ifstream wchan("/proc/" + std::to_string(m_pid) + "/wchan");
        std::string where;
        wchan >> where;
        return bytes == fcntl(m_out, F_GETPIPE_SZ) && where.find("pipe_write") != std::string::npos;
    }

private:
    enum class Read
    {
        Data,
        End,
        Silent
    };
    Read ReadSome()
    {
        pollfd ready{m_out, POLLIN, 0};
        if (poll(&ready, 1, 60000) != 1)
            return Read::Silent;
        char chunk[4096];
        const ssize_t n = read(m_out, chunk, sizeof chunk);
        if (n <= 0)
            return Read::End;
        m_output.append(chunk, static_cast<std::size_t>(n));
        return Read::Data;
    }

    // Fills the pipe up to room free bytes at the end of its last page; pipes take a write
    // into the free end of their last page, or into a free page.
    static std::size_t Fill(int fd, std::size_t room)
    {
        const std::size_t capacity = static_cast<std::size_t>(fcntl(fd, F_GETPIPE_SZ));
        const std::size_t page = 4096;
        const std::size_t filler = capacity - room;
        const std::string chunk(page, '#');
        for (std::size_t written = 0; written < filler;) {
            const std::size_t n = std::min(page, filler - written);
            if (write(fd, chunk.data(), n) != static_cast<ssize_t>(n))
                throw std::runtime_error("filling the pipe");
            written += n;
        }
        return filler;
    }
    static unsigned long long InterruptBit() { return 1ull << (SIGINT - 1); }
    unsigned long long SignalMask(const std::string& field) const
    {
        std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.starts_with(field))
                return std::stoull(line.substr(field.size()), nullptr, 16);
        }
        return 0;
    }

    pid_t m_pid = -1;
    int m_out = -1;
    std::size_t m_filler = 0;
    std::string m_output;
};

// Waits (up to a minute) until condition holds.
bool WaitFor(const std::function<bool()>& condition)
{
    for (int i = 0; i < 60000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

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

TEST_F(SplitProcessTest, OpenedPagesGoToTheBrowserWhenTheDesktopWouldGiveThemBackToUs)
{
    for (const char* tool : {"xdg-mime", "xdg-open", "gio", "file"}) {
        if (std::system(("command -v " + std::string(tool) + " >/dev/null").c_str()) != 0)
            GTEST_SKIP() << tool << " is not installed";
    }
    // A desktop of desktop entries that note what they were given, this program the handler
    // for pages among them.
    const std::filesystem::path apps = m_dir.Path() / "data" / "applications";
    std::filesystem::create_directories(apps);
    std::filesystem::create_directories(m_dir.Path() / "none");
    const std::string opened = m_dir / "opened.txt";
    const std::string recorder = m_dir / "record.sh";
    WriteAll(recorder, "#!/bin/sh\necho \"$@\" >> " + opened + "\n");
    std::filesystem::permissions(recorder, std::filesystem::perms::owner_all);
    for (const auto& [name, mime] :
         {std::pair("example.brisendale.Quirefold", "text/html"),
          std::pair("browser", "x-scheme-handler/http"), std::pair("viewer", "text/html")}) {
        WriteAll(apps / (std::string(name) + ".desktop"),
                 "[Desktop Entry]\nType=Application\nName=" + std::string(name) +
                     "\nExec=" + recorder + " " + name + " %f\nMimeType=" + mime + ";\n");
    }
    const auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return std::optional<std::string>(value ? std::optional<std::string>(value) : std::nullopt);
    };
    const auto dataHome = variable("XDG_DATA_HOME");
    const auto dataDirs = variable("XDG_DATA_DIRS");
    const auto display = variable("DISPLAY");
    testsupport::SetEnv("XDG_DATA_HOME", (m_dir.Path() / "data").string());
    testsupport::SetEnv("XDG_DATA_DIRS", (m_dir.Path() / "none").string());
    unsetenv("XDG_CURRENT_DESKTOP");
    // xdg-open asks the desktop's defaults only where it sees a display; nothing connects to it.
    testsupport::SetEnv("DISPLAY", ":99");
    WriteAll(m_dir / "a.htm", "<!DOCTYPE html><html><head><title>A</title></head><body><h1>T</h1>x"
                              "</body></html>");
    const auto openedWith = [&](const std::string& pagesHandler) {
        std::filesystem::create_directories(m_dir.Path() / "config");
        WriteAll(m_dir / "config/mimeapps.list",
                 "[Default Applications]\ntext/html=" + pagesHandler +
                     "\nx-scheme-handler/http=browser.desktop\n");
        std::filesystem::remove(opened);
        SplitProcess split(m_dir.Path().string(), {"--defaults", "--open", "-q", "a.htm"});
        EXPECT_EQ(WEXITSTATUS(split.Wait()), 0);
        const auto noted = [&] { return Exists(opened) ? ReadAll(opened) : std::string(); };
        WaitFor([&] { return noted().find('\n') != std::string::npos; });
        // Whatever else would come has come by then.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return noted();
    };
    const std::string index = m_dir / "a000.htm";
    EXPECT_EQ(openedWith("example.brisendale.Quirefold.desktop"), "browser " + index + "\n");
    EXPECT_EQ(openedWith("viewer.desktop"), "viewer " + index + "\n");
    for (const auto& [name, value] :
         {std::pair("XDG_DATA_HOME", dataHome), std::pair("XDG_DATA_DIRS", dataDirs)}) {
        if (value)
            testsupport::SetEnv(name, *value);
        else
            unsetenv(name);
    }
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

TEST_F(SplitProcessTest, RelativeOutputFolderIsStoredAgainstTheWorkingFolder)
{
    SplitProcess save(m_dir.Path().string(), {"-o", "out", "--manifest", "--save"});
    EXPECT_EQ(WEXITSTATUS(save.Wait()), 0);
    EXPECT_EQ(SettingsStore().ReadString("OutputFolder"), m_dir / "out");
    EXPECT_EQ(SettingsStore().ReadInteger("Manifest"), 1);
}

TEST_F(SplitProcessTest, ReadOnlySourceFolderWithAnOutputFolder)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    const std::filesystem::path source = m_dir.Path() / "ro";
    std::filesystem::create_directory(source);
    WriteAll((source / "a.htm").string(), "<HTML><BODY><H1>T</H1>x<H1>U</H1>y</BODY>");
    chmod(source.c_str(), 0555);
    SplitProcess split(m_dir.Path().string(), {"--defaults", "-q", "--links", "--images",
                                               "--manifest", "-o", "out", "ro/a.htm"});
    const int status = split.Wait();
    chmod(source.c_str(), 0755);
    EXPECT_EQ(WEXITSTATUS(status), 0) << split.Output();
    for (const char* name : {"a000.htm", "a002.htm", "apages.json", "next1.gif"})
        EXPECT_TRUE(Exists(m_dir / ("out/" + std::string(name)))) << name;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(source),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(SplitProcessTest, MissingEndOfBodyFailsUnlessTolerated)
{
    WriteAll(m_dir / "a.htm", "<HTML><BODY><H1>T</H1>x<H1>U</H1>y");
    SplitProcess strict(m_dir.Path().string(), {"--defaults", "a.htm"});
    EXPECT_EQ(WEXITSTATUS(strict.Wait()), 1);
    EXPECT_TRUE(strict.Output().ends_with("End of body tag not found\n")) << strict.Output();

    SplitProcess tolerant(m_dir.Path().string(),
                          {"--defaults", "--tolerate-missing-body-end", "a.htm"});
    EXPECT_EQ(WEXITSTATUS(tolerant.Wait()), 0) << tolerant.Output();
    EXPECT_TRUE(
        tolerant.Output().ends_with("Splitting is complete. 2 files and 1 index file created.\n"))
        << tolerant.Output();
    EXPECT_EQ(ReadAll(m_dir / "a002.htm").rfind("<HTML><BODY><H1>U</H1>y", 0), 0u);
}

// Ctrl+C arrives while the splitter is held at a known point by its full output pipe.
class InterruptTest : public SplitProcessTest
{
protected:
    void SetUp() override
    {
        SplitProcessTest::SetUp();
        WriteAll(m_dir / "a.htm", "<HTML><BODY>intro text<b>bold</b>more<H1>B</H1>b</BODY>");
        WriteAll(m_dir / "next.htm", "<HTML><BODY>x</BODY>");
    }
    std::string Dir() const { return m_dir.Path().string() + "/"; }
    // Interrupts split once its handler is in place, and waits until it was delivered.
    static void Interrupt(SplitProcess& split)
    {
        ASSERT_TRUE(WaitFor([&] { return split.CatchesInterrupt(); }));
        split.Signal(SIGINT);
        ASSERT_TRUE(WaitFor([&] { return !split.InterruptPending(); }));
    }
};

TEST_F(InterruptTest, CtrlCStopsTheRunAndTheBatch)
{
    // No room at all: the first status lines wait, before the first tag of the body is met.
    SplitProcess split(m_dir.Path().string(), {"--defaults", "a.htm", "next.htm"}, 0);
    Interrupt(split);
    const int status = split.Wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(split.Output().find("      Header written to " + Dir() +
                                  "a001.htm.\n"
                                  "User pressed Stop button. Cancelling operation...\n"
                                  "Operation cancelled.\n"),
              std::string::npos)
        << split.Output();
    EXPECT_NE(split.Output().find("Splitting is complete. 1 files and 1 index file created."),
              std::string::npos);
    EXPECT_EQ(ReadAll(m_dir / "a001.htm"), "<HTML><BODY>intro text<b>");
    EXPECT_FALSE(Exists(m_dir / "next000.htm"));
}

TEST_F(InterruptTest, CtrlCAfterTheLastTagStillEndsTheBatch)
{
    // Room for exactly the lines up to the first page's header: the next write, once the
    // document is done and its result handed on, waits.
    const std::string d = Dir();
    const std::string firstLines = "Splitting " + d + "a.htm.\n   Source file " + d +
                                   "a.htm opened successfully.\n   Header read. 12 bytes.\n"
                                   "   Index file " +
                                   d + "a000.htm created.\n      Target file " + d +
                                   "a001.htm created.\n      Header written to " + d +
                                   "a001.htm.\n";
    SplitProcess split(m_dir.Path().string(), {"--defaults", "a.htm", "next.htm"},
                       firstLines.size());
    ASSERT_TRUE(WaitFor([&] { return split.HeldOnFullPipe(); }));
    Interrupt(split);
    const int status = split.Wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(split.Output().rfind(firstLines, 0), 0u) << split.Output();
    // The document was complete; the Stop was seen only before the next one.
    EXPECT_EQ(split.Output().find("Operation cancelled."), std::string::npos);
    EXPECT_TRUE(
        split.Output().ends_with("Splitting is complete. 1 files and 1 index file created.\n"
                                 "User pressed Stop button. Cancelling operation...\n"))
        << split.Output();
    EXPECT_FALSE(Exists(m_dir / "next000.htm"));
}

TEST_F(InterruptTest, SecondCtrlCEndsAtOnce)
{
    SplitProcess split(m_dir.Path().string(), {"--defaults", "a.htm"}, 0);
    Interrupt(split);
    split.Signal(SIGINT);
    const int status = split.Wait();
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGINT);
}

TEST_F(SplitProcessTest, PipesDevicesAndFoldersFailAtOnce)
{
    ASSERT_EQ(mkfifo((m_dir / "fifo.htm").c_str(), 0600), 0);
    std::filesystem::create_directory(m_dir.Path() / "folder.htm");
    WriteAll(m_dir / "a.htm", "<HTML><BODY>x</BODY>");
    // Nobody ever writes to the pipe: a splitter that opened it would wait for ever.
    SplitProcess split(m_dir.Path().string(),
                       {"--defaults", "-q", "fifo.htm", "/dev/null", "folder.htm", "a.htm"});
    const int status = split.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << "killed while waiting";
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string failure = "   Exception encountered: Not a regular file\n";
    EXPECT_EQ(split.Output(), failure + failure + failure);
    EXPECT_TRUE(Exists(m_dir / "a001.htm"));
}

} // namespace
