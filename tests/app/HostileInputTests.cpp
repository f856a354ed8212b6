// quirefold-split given what no document should be: folders, pipes, devices, unreadable or
// vanishing files, link loops, text in other encodings, empty and huge documents, and names
// with blanks, line breaks, stray bytes and leading dashes. Each run is a real process with a
// time limit: it ends with one clear line and the documented exit status (0 split, 1 failed or
// stopped, 2 usage error), and writes nothing outside the document's folder.

#include "tests/common/TestSupport.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testsupport::ReadAll;
using testsupport::TempDir;
using testsupport::WriteAll;

namespace {

const std::string kFailure = "   Exception encountered: ";
const std::string kDoc = "<HTML><HEAD><TITLE>d</TITLE></HEAD><BODY>\r\n"
                         "<H1>A</H1>a<H1>B</H1>b</BODY>\r\n</HTML>\r\n";

// One run of quirefold-split.
struct Result
{
    bool Finished = false; // false: still running at the time limit, killed
    int ExitStatus = -1;   // -1 when it did not exit normally
    std::string Out;
    std::string Err;
};

// What a test does with the running splitter before reading the rest of its output.
struct Control
{
    std::string WaitFor;                // read standard output until this text
    std::function<void(pid_t)> OnReady; // then do this
    uid_t RunAs = 0;                    // a user to run as (when the test runs as root)
    fs::path Program = QUIREFOLD_SPLIT_PATH;
    bool NoThreads = false; // the user's processes limited to one: no thread can be made
};

// Child set-up failures, apart from the program's own statuses (0, 1, 2).
constexpr int kCannotBecomeUser = 125;
constexpr int kCannotRun = 127;

Result RunSplit(const fs::path& workingDir, const std::vector<std::string>& args,
                const Control& control = {}, int seconds = 60)
{
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0)
        throw std::runtime_error("pipe");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        for (int fd : {out[0], out[1], err[0], err[1]})
            ::close(fd);
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, STDIN_FILENO);
        if (::chdir(workingDir.c_str()) != 0)
            ::_exit(126);
        if (control.RunAs != 0 && (::setgroups(0, nullptr) != 0 || ::setgid(control.RunAs) != 0 ||
                                   ::setuid(control.RunAs) != 0))
            ::_exit(kCannotBecomeUser);
        if (control.NoThreads) {
            // A sanitizer's leak check at exit runs on a thread of its own: here it could only
            // fail.
            const char* asan = ::getenv("ASAN_OPTIONS");
            ::setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":detect_leaks=0").c_str(),
                     1);
            const rlimit one{1, 1};
            if (::setrlimit(RLIMIT_NPROC, &one) != 0)
                ::_exit(kCannotBecomeUser);
        }
        std::vector<char*> argv{const_cast<char*>(control.Program.c_str())};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(kCannotRun);
    }
    ::close(out[1]);
    ::close(err[1]);

    Result result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    bool outOpen = true, errOpen = true, ready = control.WaitFor.empty();
    while (outOpen || errOpen) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fds[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
        if (left.count() <= 0 || ::poll(fds, 2, static_cast<int>(left.count())) <= 0)
            break;
        for (int i = 0; i < 2; ++i) {
            if (!fds[i].revents)
                continue;
            char chunk[65536];
            const ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
            if (n <= 0)
                (i == 0 ? outOpen : errOpen) = false;
            else
                (i == 0 ? result.Out : result.Err).append(chunk, static_cast<std::size_t>(n));
        }
        if (!ready && result.Out.find(control.WaitFor) != std::string::npos) {
            ready = true;
            control.OnReady(pid);
        }
    }
    int status = 0;
    if (outOpen || errOpen) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    } else {
        ::waitpid(pid, &status, 0);
        result.Finished = true;
        result.ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ::close(out[0]);
    ::close(err[0]);
    return result;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

std::string LastLine(const std::string& text)
{
    const auto lines = Lines(text);
    return lines.empty() ? std::string() : lines.back();
}

// Every entry below root, by path, except those under the skipped folders.
std::set<std::string> Tree(const fs::path& root, const std::vector<fs::path>& skipped)
{
    std::set<std::string> entries;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::end(it); ++it) {
        if (std::find(skipped.begin(), skipped.end(), it->path()) != skipped.end()) {
            it.disable_recursion_pending();
            continue;
        }
        entries.insert(it->path().string());
    }
    return entries;
}

// A folder under /tmp that every user may enter and read, removed with the object. The test
// folders lie below TMPDIR, which may be private, and the build folder may lie under a home
// that no other user can enter.
class OpenFolder
{
public:
    OpenFolder()
    {
        std::string name = "/tmp/quirefold-open-XXXXXX";
        if (!::mkdtemp(name.data()))
            return;
        if (::chmod(name.c_str(), 0755) == 0)
            m_path = name;
        else
            ::rmdir(name.c_str());
    }
    ~OpenFolder()
    {
        std::error_code ec;
        if (!m_path.empty())
            fs::remove_all(m_path, ec);
    }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    const fs::path& Path() const { return m_path; } // empty when it could not be made

private:
    fs::path m_path;
};

class HostileInputTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ::setenv("XDG_CONFIG_HOME", (m_dir.Path() / "config").c_str(), 1);
        ::signal(SIGPIPE, SIG_IGN);
        fs::create_directory(m_docs);
        fs::create_directory(m_work);
        m_outside = Tree(m_dir.Path(), {m_docs, m_dir.Path() / "config"});
    }

    // Nothing was written outside the documents' folder (the settings folder aside).
    void TearDown() override
    {
        EXPECT_EQ(Tree(m_dir.Path(), {m_docs, m_dir.Path() / "config"}), m_outside);
    }

    Result Split(const std::vector<std::string>& args, const Control& control = {})
    {
        std::vector<std::string> all{"--defaults"};
        all.insert(all.end(), args.begin(), args.end());
        return RunSplit(m_work, all, control);
    }
    std::string Doc(const std::string& name) const { return (m_docs / name).string(); }

    // Root reads any file and makes any number of threads, so such a run is made by a user
    // without rights, in a folder that user can reach, with a copy of the program there. The
    // folder for the documents; empty when none can be made.
    fs::path AsOtherUser(Control& control, std::optional<OpenFolder>& shared)
    {
        if (::geteuid() != 0)
            return m_docs;
        shared.emplace();
        if (shared->Path().empty())
            return {};
        control.RunAs = 65534;
        control.Program = shared->Path() / "quirefold-split";
        fs::copy_file(QUIREFOLD_SPLIT_PATH, control.Program);
        fs::permissions(control.Program, fs::perms::owner_all | fs::perms::group_read |
                                             fs::perms::group_exec | fs::perms::others_read |
                                             fs::perms::others_exec);
        const fs::path docs = shared->Path() / "docs";
        fs::create_directory(docs);
        fs::permissions(docs, fs::perms::all);
        return docs;
    }

    // The run ended with exactly this failure line and status 1; with a stem, it wrote no page.
    void ExpectFailure(const Result& r, const std::string& message, const std::string& stem = {})
    {
        ASSERT_TRUE(r.Finished) << "still running at the time limit";
        EXPECT_EQ(r.ExitStatus, 1);
        EXPECT_TRUE(r.Out.ends_with("\n"));
        EXPECT_EQ(LastLine(r.Out), kFailure + message);
        EXPECT_EQ(r.Err, "");
        if (stem.empty())
            return;
        for (const char* middle : {"000", "001", "fs", "001temp"})
            EXPECT_FALSE(fs::exists(fs::symlink_status(stem + middle + ".htm"))) << middle;
    }

    TempDir m_dir;
    fs::path m_docs = m_dir.Path() / "docs";
    fs::path m_work = m_dir.Path() / "work";
    std::set<std::string> m_outside;
};

TEST_F(HostileInputTest, FoldersPipesAndDevicesFailAtOnce)
{
    fs::create_directory(Doc("folder.htm"));
    ASSERT_EQ(::mkfifo(Doc("fifo.htm").c_str(), 0600), 0);
    for (const std::string& path : {Doc("folder.htm"), Doc("fifo.htm")}) {
        SCOPED_TRACE(path);
        const Result r = Split({path});
        ExpectFailure(r, "Not a regular file", path.substr(0, path.size() - 4));
        EXPECT_EQ(Lines(r.Out).size(), 2u); // "Splitting ..." and the failure
    }
    // A device: nothing is written beside it either.
    const Result zero = Split({"/dev/zero"});
    ASSERT_TRUE(zero.Finished);
    EXPECT_EQ(zero.ExitStatus, 1);
    EXPECT_EQ(LastLine(zero.Out), kFailure + "Not a regular file");
    EXPECT_FALSE(fs::exists("/dev/zero000"));
}

TEST_F(HostileInputTest, MissingUnreadableAndLoopingNamesFailToOpen)
{
    ExpectFailure(Split({Doc("none.htm")}), "File could not be opened", Doc("none"));

    fs::create_symlink("loop2.htm", Doc("loop1.htm"));
    fs::create_symlink("loop1.htm", Doc("loop2.htm"));
    ExpectFailure(Split({Doc("loop1.htm")}), "File could not be opened", Doc("loop1"));

    Control control;
    std::optional<OpenFolder> shared;
    const fs::path docs = AsOtherUser(control, shared);
    if (docs.empty())
        GTEST_SKIP() << "no folder under /tmp for another user to reach";
    WriteAll(docs / "readable.htm", kDoc);
    WriteAll(docs / "secret.htm", kDoc);
    fs::permissions(docs / "secret.htm", fs::perms::none);
    const Result readable = Split({(docs / "readable.htm").string()}, control);
    if (readable.ExitStatus == kCannotBecomeUser)
        GTEST_SKIP() << "cannot run as user " << control.RunAs << " here";
    if (readable.ExitStatus == kCannotRun)
        GTEST_SKIP() << "user " << control.RunAs << " cannot run " << control.Program
                     << " (is /tmp mounted noexec?)";
    EXPECT_EQ(readable.ExitStatus, 0) << readable.Out << readable.Err; // the setup is sound
    EXPECT_TRUE(fs::exists(docs / "readable000.htm"));
    ExpectFailure(Split({(docs / "secret.htm").string()}, control), "File could not be opened",
                  (docs / "secret").string());
}

// Where no thread can be made (a limit on the user's processes), the source is read and the
// search index built on the split's own thread: the same pages and index, not a failure.
TEST_F(HostileInputTest, WithoutThreadsTheSplitAndItsSearchIndexAreTheSame)
{
    Control control;
    std::optional<OpenFolder> shared;
    const fs::path docs = AsOtherUser(control, shared);
    if (docs.empty())
        GTEST_SKIP() << "no folder under /tmp for another user to reach";
    std::string doc = "<html><head><title>Guide</title></head><body>\r\n";
    for (int i = 0; i < 300; ++i) {
        doc += "<h1>Part " + std::to_string(i) + "</h1>\r\n<p>Words of part " + std::to_string(i) +
               ", with <b>more</b> text &amp; a w" + std::to_string(i * 7) + " here.</p>\r\n";
    }
    doc += "</body></html>\r\n";
    const auto run = [&](const char* folder) {
        fs::create_directory(docs / folder);
        fs::permissions(docs / folder, fs::perms::all);
        WriteAll(docs / folder / "doc.htm", doc);
        return Split({"--search", "--sidebar", "-q", (docs / folder / "doc.htm").string()},
                     control);
    };
    const Result threads = run("threads");
    if (threads.ExitStatus == kCannotBecomeUser)
        GTEST_SKIP() << "cannot run as user " << control.RunAs << " here";
    if (threads.ExitStatus == kCannotRun)
        GTEST_SKIP() << "user " << control.RunAs << " cannot run " << control.Program;
    ASSERT_EQ(threads.ExitStatus, 0) << threads.Out << threads.Err;
    control.NoThreads = true;
    const Result none = run("none");
    EXPECT_EQ(none.ExitStatus, 0) << none.Out << none.Err;

    const auto names = [&](const char* folder) {
        std::set<std::string> found;
        for (const auto& entry : fs::directory_iterator(docs / folder))
            found.insert(entry.path().filename().string());
        return found;
    };
    const std::set<std::string> written = names("threads");
    EXPECT_TRUE(written.count("docsearch.js"));
    EXPECT_GT(written.size(), 300u);
    ASSERT_EQ(names("none"), written);
    for (const std::string& name : written)
        EXPECT_EQ(ReadAll(docs / "none" / name), ReadAll(docs / "threads" / name)) << name;
}

TEST_F(HostileInputTest, EmptyNulAndOtherEncodingsHaveNoBodyTag)
{
    WriteAll(Doc("empty.htm"), "");
    WriteAll(Doc("nul.htm"), std::string(1 << 20, '\0'));
    // "<html><body>" in UTF-16 with its byte order mark: no byte sequence "<BODY" in it.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("<html><body><h1>A</h1>a</body></html>")) {
        utf16 += c;
        utf16 += '\0';
    }
    WriteAll(Doc("utf16.htm"), utf16);
    for (const char* name : {"empty", "nul", "utf16"}) {
        SCOPED_TRACE(name);
        ExpectFailure(Split({Doc(std::string(name) + ".htm")}), "<BODY> tag not found", Doc(name));
    }
}

TEST_F(HostileInputTest, ASparseTwoGigabyteDocumentFailsQuickly)
{
    // All NUL bytes: the header may not pass 64 MiB, so the run stops long before the end.
    {
        std::ofstream sparse(Doc("sparse.htm"), std::ios::binary);
    }
    fs::resize_file(Doc("sparse.htm"), 2ull << 30);
    ExpectFailure(Split({Doc("sparse.htm")}), "Header too long", Doc("sparse"));
    EXPECT_EQ(fs::file_size(Doc("sparse.htm")), 2ull << 30);
}

TEST_F(HostileInputTest, AMillionHeadings)
{
    // At a level that does not split, a million headings make one page.
    std::string body;
    body.reserve(16 << 20);
    for (int i = 0; i < 1000000; ++i)
        body += "<H2>h</H2>";
    WriteAll(Doc("flat.htm"), "<HTML><BODY>" + body + "</BODY>");
    const Result flat = Split({"-q", "--break-on=1", Doc("flat.htm")});
    ASSERT_TRUE(flat.Finished);
    EXPECT_EQ(flat.ExitStatus, 0);
    EXPECT_EQ(flat.Out, "");
    EXPECT_FALSE(fs::exists(Doc("flat002.htm")));

    // As split headings they would make a million pages: Ctrl+C ends the run in good order.
    std::string pages;
    pages.reserve(16 << 20);
    for (int i = 0; i < 1000000; ++i)
        pages += "<H1>h</H1>";
    WriteAll(Doc("deep.htm"), "<HTML><BODY>" + pages + "</BODY>");
    Control control;
    control.WaitFor = "deep100.htm closed.";
    control.OnReady = [](pid_t pid) { ::kill(pid, SIGINT); };
    const Result deep = Split({Doc("deep.htm")}, control);
    ASSERT_TRUE(deep.Finished);
    EXPECT_EQ(deep.ExitStatus, 1);
    EXPECT_NE(deep.Out.find("\nOperation cancelled.\n"), std::string::npos);
    EXPECT_TRUE(LastLine(deep.Out).starts_with("Splitting is complete. ")) << LastLine(deep.Out);
    EXPECT_FALSE(fs::exists(Doc("deep999999.htm")));
}

TEST_F(HostileInputTest, ADocumentRemovedOrCutShortDuringTheRun)
{
    // Enough pages that the splitter's output fills its pipe: it waits for the test to read
    // while its document is removed or cut short. The document is four times what the
    // splitter reads ahead of its scan (2 MiB), so the cut comes before it has read it all.
    std::string body;
    for (int i = 0; i < 1000; ++i)
        body += "<H1>Section " + std::to_string(i) + "</H1>" + std::string(8000, 'w');
    const std::string doc = "<HTML><BODY>" + body + "</BODY>\r\n</HTML>\r\n";
    WriteAll(Doc("removed.htm"), doc);
    WriteAll(Doc("cut.htm"), doc);

    // A removed document is still read whole through the open file.
    Control remove;
    remove.WaitFor = "Header written to";
    remove.OnReady = [&](pid_t) { fs::remove(Doc("removed.htm")); };
    const Result removed = Split({"--no-links", Doc("removed.htm")}, remove);
    ASSERT_TRUE(removed.Finished);
    EXPECT_EQ(removed.ExitStatus, 0) << LastLine(removed.Out);
    EXPECT_EQ(LastLine(removed.Out), "Splitting is complete. 1000 files and 1 index file created.");

    // A document cut short ends before its body's end.
    Control cut;
    cut.WaitFor = "Header written to";
    cut.OnReady = [&](pid_t) { fs::resize_file(Doc("cut.htm"), 0); };
    ExpectFailure(Split({"--no-links", Doc("cut.htm")}, cut), "End of body tag not found");
    EXPECT_FALSE(fs::exists(Doc("cut1000.htm")));
}

TEST_F(HostileInputTest, NamesWithBlanksLineBreaksStrayBytesAndDashes)
{
    for (const std::string name : {"my doc", "new\nline", "caf\xE9", "-dash", "--help"}) {
        SCOPED_TRACE(name);
        WriteAll(Doc(name + ".htm"), kDoc);
        // Relative, so that a leading dash is the argument's first character.
        const Result r = RunSplit(m_docs, {"--defaults", "--", name + ".htm"});
        ASSERT_TRUE(r.Finished);
        EXPECT_EQ(r.ExitStatus, 0) << r.Out << r.Err;
        EXPECT_EQ(ReadAll(Doc(name + ".htm")), kDoc);
        EXPECT_TRUE(fs::exists(Doc(name + "002.htm")));
        // One status line per line of output: a line break in a name is shown as \n.
        const auto lines = Lines(r.Out);
        EXPECT_EQ(lines.size(), 17u);
        for (const std::string& line : lines)
            EXPECT_TRUE(line.starts_with("Splitting") || line.starts_with("   ")) << line;
    }
    const Result escaped = Split({"-q", Doc("missing\nname.htm")});
    EXPECT_EQ(escaped.Out, kFailure + "File could not be opened\n");
    const Result shown = Split({Doc("new\nline.htm")});
    EXPECT_NE(shown.Out.find("Splitting " + Doc("new") + "\\nline.htm.\n"), std::string::npos);

    // Without "--" a name with a leading dash is an option: a usage error, nothing split.
    const Result usage = RunSplit(m_docs, {"--defaults", "-dash.htm"});
    ASSERT_TRUE(usage.Finished);
    EXPECT_EQ(usage.ExitStatus, 2);
    EXPECT_EQ(usage.Out, "");
    EXPECT_EQ(Lines(usage.Err).front(), "quirefold-split: unknown option '-dash.htm'");
    const Result broken = RunSplit(m_docs, {"--defaults", "--x\ny"});
    EXPECT_EQ(broken.ExitStatus, 2);
    EXPECT_EQ(Lines(broken.Err).front(), "quirefold-split: unknown option '--x\\ny'");
}

} // namespace
