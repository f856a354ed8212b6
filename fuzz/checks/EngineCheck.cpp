#include "fuzz/checks/EngineCheck.h"

#include "engine/SplitHost.h"
#include "engine/SplitRun.h"
#include "engine/SplitSettings.h"
#include "fuzz/checks/ByteReader.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace fuzzcheck {

namespace {

constexpr std::size_t kMaxDocument = 64 * 1024;
constexpr std::string_view kOutsideName = "outside.gif";
constexpr std::string_view kInsideName = "inside.gif";
constexpr std::string_view kImageBytes = "GIF89a\x01\x00\x01\x00 image bytes";
constexpr std::string_view kExceptionPrefix = "   Exception encountered: ";
constexpr std::string_view kCompletePrefix = "Splitting is complete. ";

// How a source is named; the parts are what its output names are made of.
struct SourceName
{
    const char* Path; // relative to the working folder
    const char* Folder;
    const char* Base;
    const char* Extension;
};

const SourceName kSources[] = {
    {"doc.html", "", "doc", ".html"},
    {"doc", "", "doc", ""},
    {".html", "", "", ".html"},
    {"d.o.c.htm", "", "d.o.c", ".htm"},
    {"dir.x/doc", "dir.x/", "doc", ""},
    {"Doc Page.HTML", "", "Doc Page", ".HTML"},
    {"page001.html", "", "page001", ".html"},
#ifdef _WIN32
    {"sub/\xe9t\xe9.x", "sub/", "\xe9t\xe9", ".x"},
#else
    {"sub/ünï\xff.x", "sub/", "ünï\xff", ".x"}, // not even UTF-8
#endif
};

enum Trap
{
    NoTrap,
    HardLinkAsPage,
    SymlinkAsIndex,
    StalePage,
    FolderAsPage2,
    SourceIsSymlink,
    SourceIsPipe,
    SourceIsFolder,
};

class RecordingHost : public SplitHost
{
public:
    SplitSettings settings;
    std::vector<std::string> lines;
    std::vector<std::string> opened;
    std::string folder;
    int stopAt = 0;
    int pumps = 0;
    bool busy = true;

    void AddStatusLine(const std::string& line) override { lines.push_back(line); }
    void ScrollStatus() override {}
    bool Busy() const override { return busy; }
    void ProcessMessages() override
    {
        if (++pumps == stopAt)
            busy = false;
    }
    std::string CurrentFolder() const override { return folder; }
    // Never stored: a fuzzing run must not reach the user's settings.
    void RememberFolder(const std::string&) override {}
    void OpenResult(const std::string& path) override { opened.push_back(path); }
    const SplitSettings& Settings() const override { return settings; }
};

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::set<std::string> Listing(const fs::path& folder)
{
    std::set<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec))
        names.insert(it->path().filename().string());
    return names;
}

// Every entry below folder with its size, for "nothing was written" checks.
std::set<std::string> Tree(const fs::path& folder)
{
    std::set<std::string> entries;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        std::error_code sizeEc;
        const auto size = it->is_regular_file(sizeEc) ? fs::file_size(it->path(), sizeEc) : 0;
        entries.insert(it->path().string() + ":" + std::to_string(size));
    }
    return entries;
}

std::string PageText(int number)
{
    std::string digits = std::to_string(number);
    while (digits.size() < 3)
        digits.insert(digits.begin(), '0');
    return digits;
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// The number in a log line such as "   Header read. 12 bytes." after prefix; -1 when absent.
long NumberAfter(const std::string& line, std::string_view prefix)
{
    if (!StartsWith(line, prefix))
        return -1;
    long value = 0;
    std::size_t pos = prefix.size();
    if (pos >= line.size() || line[pos] < '0' || line[pos] > '9')
        return -1;
    for (; pos < line.size() && line[pos] >= '0' && line[pos] <= '9'; ++pos)
        value = value * 10 + (line[pos] - '0');
    return value;
}

} // namespace

EngineWorkspace::EngineWorkspace(fs::path root)
    : m_root(std::move(root)), m_folder(m_root / "work"),
      m_outsideImage((m_root / kOutsideName).string())
{
    fs::create_directories(m_folder);
    WriteFile(m_outsideImage, kImageBytes);
}

void EngineWorkspace::ResetFolder()
{
    std::error_code ec;
    for (const std::string& name : Listing(m_folder)) {
        const fs::path entry = m_folder / name;
        fs::permissions(entry, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(entry, ec);
    }
}

std::string EngineWorkspace::Check(std::string_view input)
{
    ResetFolder();
    ByteReader in(input);
    const std::uint8_t flags = in.Byte();
    const std::uint8_t images01 = in.Byte();
    const std::uint8_t images2Source = in.Byte();
    const Trap trap = static_cast<Trap>(in.Byte() % 8);

    RecordingHost host;
    host.stopAt = in.Byte();
    SplitSettings& s = host.settings;
    s.AddLinks = flags & 1;
    s.UseImages = flags & 2;
    s.Navigation = flags & 4;
    s.Breadcrumbs = flags & 8;
    s.BreakOn = ((flags >> 4) & 7) % 5 - 1;
    s.PreviousLinkText = in.Text(64);
    s.HomeLinkText = in.Text(64);
    s.NextLinkText = in.Text(64);
    s.BreadcrumbsText = in.Text(64);

    const SourceName& source = kSources[(images2Source >> 4) % std::size(kSources)];
    const fs::path pageFolder = m_folder / source.Folder;
    const fs::path sourcePath = m_folder / source.Path;
    auto outputName = [&](const std::string& middle) {
        return std::string(source.Base) + middle + source.Extension;
    };

    // Image paths that reach outside the folder, name the source or a page, or name a folder.
    auto imagePath = [&](int choice) -> std::string {
        switch (choice) {
        case 0:
            return "";
        case 1:
            return std::string(kOutsideName);
        case 2:
            return "../" + std::string(kOutsideName);
        case 3:
            return m_outsideImage;
        case 4:
            return "..";
        case 5:
            return "x/..";
        case 6:
            return ".";
        case 7:
            return "/";
        case 8:
            return fs::path(source.Path).filename().string();
        case 9:
            return sourcePath.string();
        case 10:
            return outputName("001");
        case 11:
            return (pageFolder / outputName("000")).string();
        case 12:
            return "sub/../../" + std::string(kOutsideName);
        case 13:
            return pageFolder.string() + "/";
        case 14:
            return std::string(kInsideName);
        default:
            return in.Text(64);
        }
    };
    s.PrevLinkImage = imagePath(images01 & 15);
    s.HomeLinkImage = imagePath(images01 >> 4);
    s.NextLinkImage = imagePath(images2Source & 15);
    std::string document = in.Rest();
    if (document.size() > kMaxDocument)
        document.resize(kMaxDocument);

    std::error_code ec;
    fs::create_directories(pageFolder, ec);
    host.folder = pageFolder.string();
    WriteFile(pageFolder / kInsideName, kImageBytes);
    fs::path realSource = sourcePath;
    switch (trap) {
    case SourceIsSymlink:
        realSource = pageFolder / "real.source";
        WriteFile(realSource, document);
        fs::create_symlink(realSource, sourcePath, ec);
        break;
#ifndef _WIN32
    case SourceIsPipe:
        ::mkfifo(sourcePath.c_str(), 0600);
        break;
#endif
    case SourceIsFolder:
        fs::create_directory(sourcePath, ec);
        break;
    default:
        WriteFile(sourcePath, document);
        break;
    }
    // Links may be refused (on Windows without the right); then there is nothing to expect.
    bool linked = false;
    switch (trap) {
    case HardLinkAsPage:
        fs::create_hard_link(sourcePath, pageFolder / outputName("001"), ec);
        linked = !ec;
        break;
    case SymlinkAsIndex:
        fs::create_symlink(sourcePath, pageFolder / outputName("000"), ec);
        linked = !ec;
        break;
    case StalePage:
        WriteFile(pageFolder / outputName("001"), "stale page");
        break;
    case FolderAsPage2:
        fs::create_directory(pageFolder / outputName("002"), ec);
        break;
    default:
        break;
    }
    const std::set<std::string> treeBefore = Tree(m_folder);

    const SplitOutcome outcome = SplitFile(sourcePath.string(), host);

    // What may never happen, however the run ended.
    if (Listing(m_root) != std::set<std::string>{"work", std::string(kOutsideName)})
        return "a file beside the working folder was created or removed";
    if (ReadFile(m_outsideImage) != kImageBytes)
        return "the image outside the working folder was changed";
    if (ReadFile(pageFolder / kInsideName) != kImageBytes)
        return "the image in the page folder was changed";
    const bool pipe = trap == SourceIsPipe && fs::is_fifo(sourcePath, ec);
    const bool regularSource = !pipe && trap != SourceIsFolder;
    if (regularSource && ReadFile(realSource) != document)
        return "the source document was changed";
    if (host.lines.empty())
        return "the run logged nothing";

    const auto exceptions = std::count_if(host.lines.begin(), host.lines.end(), [](const auto& l) {
        return StartsWith(l, kExceptionPrefix);
    });
    const auto completions = std::count_if(host.lines.begin(), host.lines.end(), [](const auto& l) {
        return StartsWith(l, kCompletePrefix);
    });
    const std::string& last = host.lines.back();
    if (outcome == SplitOutcome::Failed) {
        if (exceptions != 1 || !StartsWith(last, kExceptionPrefix))
            return "a failed run does not end with exactly one exception line";
        if (completions != 0 || !host.opened.empty())
            return "a failed run reported completion or opened a result";
    } else {
        if (exceptions != 0 || completions != 1 || !StartsWith(last, kCompletePrefix))
            return "a finished run does not end with its completion line";
        if (host.opened.size() != 1)
            return "a finished run did not open exactly one result";
    }
    if (host.busy && outcome == SplitOutcome::Stopped)
        return "the run reports a stop nobody asked for";

    // An output name that is the source itself must stop the run before anything is written.
    if (linked) {
        if (outcome != SplitOutcome::Failed)
            return "the run went on although an output name is the source";
        if (Tree(m_folder) != treeBefore)
            return "the run wrote files although an output name is the source";
    }
    if ((pipe || trap == SourceIsFolder) && outcome != SplitOutcome::Failed)
        return "a source that is no regular file was split";
    if (outcome == SplitOutcome::Failed)
        return {};

    // A finished run: the pages it reports are there, each starting with the header.
    long headerLength = -1;
    long pagesClosed = 0;
    for (const std::string& line : host.lines) {
        if (long n = NumberAfter(line, "   Header read. "); n >= 0)
            headerLength = n;
        if (StartsWith(line, "      Target file ") && line.ends_with(" closed."))
            ++pagesClosed;
    }
    const long pagesReported = NumberAfter(last, kCompletePrefix);
    if (headerLength < 0 || static_cast<std::size_t>(headerLength) > document.size())
        return "the header length logged does not fit the document";
    if (pagesReported != pagesClosed)
        return "the completion line counts other pages than were closed";
    const std::string_view header = std::string_view(document).substr(0, headerLength);
    const std::string indexPath = (pageFolder / outputName("000")).string();
    const std::string index = ReadFile(indexPath);
    if (!StartsWith(index, header) || !index.ends_with("</BODY>\r\n</HTML>\r\n"))
        return "the index page lacks the header or its trailer";
    for (long page = 1; page <= pagesReported; ++page) {
        const fs::path pagePath = pageFolder / outputName(PageText(static_cast<int>(page)));
        if (!StartsWith(ReadFile(pagePath), header))
            return "page " + std::to_string(page) + " is missing or lacks the header";
    }
    for (long page = 1; page <= pagesReported + 1; ++page) {
        if (fs::exists(pageFolder / outputName(PageText(static_cast<int>(page)) + "temp"), ec))
            return "a temporary file was left behind";
    }
    const std::string expectedResult =
        s.Navigation ? (pageFolder / outputName("fs")).string() : indexPath;
    if (host.opened.front() != expectedResult || !fs::is_regular_file(expectedResult, ec))
        return "the result opened is not the finished index or frameset page";
    return {};
}

} // namespace fuzzcheck
