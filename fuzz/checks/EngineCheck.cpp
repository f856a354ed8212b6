#include "fuzz/checks/EngineCheck.h"

#include "engine/SplitHost.h"
#include "engine/SplitRun.h"
#include "engine/SplitSettings.h"
#include "fuzz/checks/ByteReader.h"
#include "fuzz/checks/LinkCheck.h"

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

bool IsPageName(const std::string& name, const SourceName& source)
{
    const std::string_view base(source.Base);
    const std::string_view extension(source.Extension);
    if (name.size() < base.size() + 3 + extension.size() || !name.starts_with(base) ||
        !name.ends_with(extension))
        return false;
    const std::string digits =
        name.substr(base.size(), name.size() - base.size() - extension.size());
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const long number = std::stol(digits);
    return number > 0 && PageText(static_cast<int>(number)) == digits;
}

} // namespace

// The split runs of one input: the same document, settings and traps each time.
struct EngineWorkspace::Plan
{
    SplitSettings Settings;
    int StopAt = 0;
    int TrapKind = 0;    // a Trap
    int SourceName = 0;  // an index into kSources
    int OutputForm = -1; // -1: beside the source; see EngineWorkspace's header
    std::string Document;
};

// How one run ended, for comparing runs of the same input.
struct EngineWorkspace::Ending
{
    SplitOutcome Outcome = SplitOutcome::Failed;
    std::string LastLine;
    long PagesClosed = 0;
    bool ToleratedEnd = false;
};

EngineWorkspace::EngineWorkspace(fs::path root)
    : m_root(std::move(root)), m_folder(m_root / "work"), m_output(m_root / "out"),
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
    fs::remove_all(m_output, ec);
}

std::string EngineWorkspace::Check(std::string_view input)
{
    ByteReader in(input);
    const std::uint8_t flags = in.Byte();
    const std::uint8_t images01 = in.Byte();
    const std::uint8_t images2Source = in.Byte();
    const std::uint8_t trapAndOptions = in.Byte();

    Plan plan;
    plan.TrapKind = trapAndOptions % 8;
    plan.StopAt = in.Byte();
    SplitSettings& s = plan.Settings;
    s.AddLinks = flags & 1;
    s.UseImages = flags & 2;
    s.Navigation = flags & 4;
    s.Breadcrumbs = flags & 8;
    s.BreakOn = ((flags >> 4) & 7) % 5 - 1;
    s.FixLinks = trapAndOptions & 8;
    s.PageTitles = trapAndOptions & 16;
    s.HeadLinks = trapAndOptions & 32;
    s.TolerateMissingBodyEnd = trapAndOptions & 64;
    s.Manifest = trapAndOptions & 128;
    s.PreviousLinkText = in.Text(64);
    s.HomeLinkText = in.Text(64);
    s.NextLinkText = in.Text(64);
    s.BreadcrumbsText = in.Text(64);

    plan.SourceName = static_cast<int>((images2Source >> 4) % std::size(kSources));
    const SourceName& source = kSources[plan.SourceName];
    const fs::path sourceFolder = m_folder / source.Folder;
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
            return (sourceFolder / outputName("000")).string();
        case 12:
            return "sub/../../" + std::string(kOutsideName);
        case 13:
            return sourceFolder.string() + "/";
        case 14:
            return std::string(kInsideName);
        default:
            return in.Text(64);
        }
    };
    s.PrevLinkImage = imagePath(images01 & 15);
    s.HomeLinkImage = imagePath(images01 >> 4);
    s.NextLinkImage = imagePath(images2Source & 15);
    if (flags & 128) {
        plan.OutputForm = in.Byte() % 4;
        switch (plan.OutputForm) {
        case 1: // relative: taken from the document's folder
            s.OutputFolder = std::string(source.Folder).empty() ? "../out" : "../../out";
            break;
        case 2:
            s.OutputFolder = (m_output / "new" / "deeper").string();
            break;
        default:
            s.OutputFolder = m_output.string();
            break;
        }
    }
    plan.Document = in.Rest();
    if (plan.Document.size() > kMaxDocument)
        plan.Document.resize(kMaxDocument);

    Ending ending;
    if (std::string problem = Run(plan, ending); !problem.empty())
        return problem;

    // Links fixed, pages titled, head links and a tolerated end change pages, never how a
    // run ends. The first pass pumps messages too, so a Stop lands elsewhere with links fixed.
    if (!s.FixLinks && !s.PageTitles && !s.HeadLinks && !s.TolerateMissingBodyEnd)
        return {};
    if (s.FixLinks && plan.StopAt != 0)
        return {};
    Plan plain = plan;
    plain.Settings.FixLinks = false;
    plain.Settings.PageTitles = false;
    plain.Settings.HeadLinks = false;
    plain.Settings.TolerateMissingBodyEnd = false;
    Ending plainEnding;
    if (std::string problem = Run(plain, plainEnding); !problem.empty())
        return "without the page options: " + problem;
    if (s.TolerateMissingBodyEnd &&
        plainEnding.LastLine == std::string(kExceptionPrefix) + "End of body tag not found") {
        if (ending.Outcome != SplitOutcome::Split || !ending.ToleratedEnd ||
            ending.PagesClosed != plainEnding.PagesClosed + 1)
            return "a document without an end of body did not split with it tolerated";
        return {};
    }
    if (ending.Outcome != plainEnding.Outcome)
        return "the page options changed the outcome of the run";
    if (ending.Outcome == SplitOutcome::Failed) {
        // The first pass reads the whole body before anything is made, so with links fixed a
        // fault of the document comes before a page or output folder that cannot be made.
        if (s.FixLinks)
            return {};
        if (ending.LastLine != plainEnding.LastLine)
            return "the page options changed why the run failed: " + ending.LastLine +
                   " (without them: " + plainEnding.LastLine + ")";
    }
    if (ending.PagesClosed != plainEnding.PagesClosed)
        return "the page options changed the number of pages written";
    return {};
}

std::string EngineWorkspace::Run(const Plan& plan, Ending& ending)
{
    ResetFolder();
    const SourceName& source = kSources[plan.SourceName];
    const SplitSettings& s = plan.Settings;
    RecordingHost host;
    host.settings = s;
    host.stopAt = plan.StopAt;
    const std::string& document = plan.Document;
    const Trap trap = static_cast<Trap>(plan.TrapKind);
    const bool elsewhere = plan.OutputForm >= 0;
    const fs::path sourceFolder = m_folder / source.Folder;
    const fs::path sourcePath = m_folder / source.Path;
    const fs::path pageFolder = !elsewhere             ? sourceFolder
                                : plan.OutputForm == 2 ? m_output / "new" / "deeper"
                                                       : m_output;
    auto outputName = [&](const std::string& middle) {
        return std::string(source.Base) + middle + source.Extension;
    };

    std::error_code ec;
    fs::create_directories(sourceFolder, ec);
    host.folder = sourceFolder.string();
    WriteFile(sourceFolder / kInsideName, kImageBytes);
    fs::path realSource = sourcePath;
    switch (trap) {
    case SourceIsSymlink:
        realSource = sourceFolder / "real.source";
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
    // A file where the output folder should be; otherwise the traps go where the pages go.
    const bool outputIsFile = plan.OutputForm == 3;
    if (outputIsFile)
        WriteFile(m_output, "not a folder");
    else if (elsewhere && trap >= HardLinkAsPage && trap <= FolderAsPage2)
        fs::create_directories(pageFolder, ec);
    // Links may be refused (on Windows without the right); then there is nothing to expect.
    bool linked = false;
    switch (outputIsFile ? NoTrap : trap) {
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
    // A manifest an earlier run left: replaced when this one splits, gone once pages change.
    const fs::path manifestPath = pageFolder / (std::string(source.Base) + "pages.json");
    const bool staleManifest = s.Manifest && fs::is_directory(pageFolder, ec);
    if (staleManifest)
        WriteFile(manifestPath, "stale");
    const std::set<std::string> treeBefore = Tree(m_root);
    const std::set<std::string> sourceTreeBefore = Tree(m_folder);

    const SplitOutcome outcome = SplitFile(sourcePath.string(), host);

    // What may never happen, however the run ended.
    std::set<std::string> beside = Listing(m_root);
    if (elsewhere)
        beside.erase("out"); // made by the run, unless it failed first
    if (beside != std::set<std::string>{"work", std::string(kOutsideName)})
        return "a file beside the working folder was created or removed";
    if (ReadFile(m_outsideImage) != kImageBytes)
        return "the image outside the working folder was changed";
    if (ReadFile(sourceFolder / kInsideName) != kImageBytes)
        return "the image in the page folder was changed";
    const bool pipe = trap == SourceIsPipe && fs::is_fifo(sourcePath, ec);
    const bool regularSource = !pipe && trap != SourceIsFolder;
    if (regularSource && ReadFile(realSource) != document)
        return "the source document was changed";
    if (elsewhere && Tree(m_folder) != sourceTreeBefore)
        return "a run with an output folder wrote into the document's folder";
    if (outputIsFile && ReadFile(m_output) != "not a folder")
        return "the file in the output folder's place was changed";
    if (host.lines.empty())
        return "the run logged nothing";

    const auto exceptions = std::count_if(host.lines.begin(), host.lines.end(), [](const auto& l) {
        return StartsWith(l, kExceptionPrefix);
    });
    const auto completions = std::count_if(host.lines.begin(), host.lines.end(), [](const auto& l) {
        return StartsWith(l, kCompletePrefix);
    });
    const std::string& last = host.lines.back();
    ending.Outcome = outcome;
    ending.LastLine = last;
    bool indexCreated = false;
    for (const std::string& line : host.lines) {
        if (StartsWith(line, "      Target file ") && line.ends_with(" closed."))
            ++ending.PagesClosed;
        if (line == "      End of body tag not found; the document ends here.")
            ending.ToleratedEnd = true;
        if (StartsWith(line, "   Index file ") && line.ends_with(" created."))
            indexCreated = true;
    }
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
    if (s.TolerateMissingBodyEnd &&
        last == std::string(kExceptionPrefix) + "End of body tag not found")
        return "a missing end of body failed the run although it is tolerated";
    if (ending.ToleratedEnd && !s.TolerateMissingBodyEnd)
        return "a missing end of body was tolerated without the option";

    // An output name that is the source itself must stop the run before anything is written.
    if (linked) {
        if (outcome != SplitOutcome::Failed)
            return "the run went on although an output name is the source";
        if (Tree(m_root) != treeBefore)
            return "the run wrote files although an output name is the source";
    }
    if ((pipe || trap == SourceIsFolder) && outcome != SplitOutcome::Failed)
        return "a source that is no regular file was split";
    if (outputIsFile && (outcome != SplitOutcome::Failed || Tree(m_root) != treeBefore))
        return "a file in the output folder's place did not fail the run before it wrote";

    if (s.Manifest) {
        if (fs::exists(manifestPath.string() + ".partial", ec))
            return "the manifest's temporary file was left behind";
        const bool exists = fs::exists(manifestPath, ec);
        if (outcome != SplitOutcome::Split && indexCreated && exists)
            return "a run that did not split left a manifest";
        if (!indexCreated && exists != staleManifest)
            return "a run that replaced no page changed the earlier manifest";
        if (outcome == SplitOutcome::Split) {
            std::string fault;
            const std::vector<std::string> files = ManifestFiles(ReadFile(manifestPath), fault);
            if (!fault.empty())
                return "the manifest is broken: " + fault;
            std::set<std::string> onDisk;
            for (const std::string& name : Listing(pageFolder))
                if (IsPageName(name, source) && fs::is_regular_file(pageFolder / name, ec))
                    onDisk.insert(name);
            if (files.size() != onDisk.size())
                return "the manifest lists " + std::to_string(files.size()) + " pages, " +
                       std::to_string(onDisk.size()) + " are on disk";
            for (std::size_t i = 0; i < files.size(); ++i)
                if (!SameAsWritten(files[i], outputName(PageText(static_cast<int>(i + 1)))))
                    return "the manifest lists page " + std::to_string(i + 1) + " as " + files[i];
        }
    }
    if (outcome == SplitOutcome::Failed)
        return {};

    // A finished run: the pages it reports are there, each starting with the header unless
    // its head is changed for it.
    long headerLength = -1;
    for (const std::string& line : host.lines)
        if (long n = NumberAfter(line, "   Header read. "); n >= 0)
            headerLength = n;
    const long pagesReported = NumberAfter(last, kCompletePrefix);
    if (headerLength < 0 || static_cast<std::size_t>(headerLength) > document.size())
        return "the header length logged does not fit the document";
    if (pagesReported != ending.PagesClosed)
        return "the completion line counts other pages than were closed";
    const std::string_view header = std::string_view(document).substr(0, headerLength);
    const std::string indexPath = (pageFolder / outputName("000")).string();
    const std::string index = ReadFile(indexPath);
    // Fixed links change the head's links on every page, the index page's too.
    const bool ownHead = s.PageTitles || s.HeadLinks || s.FixLinks;
    if ((!s.FixLinks && !StartsWith(index, header)) || !index.ends_with("</BODY>\r\n</HTML>\r\n"))
        return "the index page lacks the header or its trailer";
    for (long page = 1; page <= pagesReported; ++page) {
        const fs::path pagePath = pageFolder / outputName(PageText(static_cast<int>(page)));
        const std::string text = ReadFile(pagePath);
        if (!fs::is_regular_file(pagePath, ec) || (!ownHead && !StartsWith(text, header)))
            return "page " + std::to_string(page) + " is missing or lacks the header";
    }
    for (long page = 1; page <= pagesReported + 1; ++page) {
        if (fs::exists(pageFolder / outputName(PageText(static_cast<int>(page)) + "temp"), ec))
            return "a temporary file was left behind";
    }
    const std::string expectedResult =
        s.Navigation ? (pageFolder / outputName("fs")).string() : indexPath;
    // A relative output folder may show in the path as written, "../out" and all.
    if (!fs::is_regular_file(expectedResult, ec) ||
        !fs::equivalent(host.opened.front(), expectedResult, ec))
        return "the result opened is not the finished index or frameset page";
    return {};
}

} // namespace fuzzcheck
