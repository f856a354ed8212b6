#include "engine/SplitRun.h"

#include "engine/AnchorPass.h"
#include "engine/FileCalls.h"
#include "engine/LinkMarkup.h"
#include "engine/PageHead.h"
#include "engine/PageManifest.h"
#include "engine/PageMarkup.h"
#include "engine/PageSidebar.h"
#include "engine/PathNames.h"
#include "engine/SearchIndexer.h"
#include "engine/SearchScript.h"
#include "engine/SearchUiScript.h"
#include "engine/SectionWriter.h"
#include "engine/SplitError.h"
#include "engine/SplitHost.h"
#include "engine/SplitSettings.h"
#include "engine/TagPump.h"

#include <array>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

bool IsSplitHeading(TTagKind kind, int breakOn)
{
    switch (breakOn) {
    case 1:
        return kind == tkH1;
    case 2:
        return kind == tkH1 || kind == tkH2;
    default:
        return kind == tkH1 || kind == tkH2 || kind == tkH3;
    }
}

void AppendFile(const std::string& fileName, HTMLFile& target)
{
    HTMLFile source(fileName, true);
    target.AppendFrom(source);
}

namespace {

// The source is read into a ring of this size, and a page's section is written from there, so
// a section up to about this size goes to its page without another copy and without its
// temporary file.
constexpr std::size_t kSectionMemory = 2 * 1024 * 1024;

// An output name that is the source itself under another name (a hard or symbolic link)
// would destroy the source when written. Checked before anything is written.
void RefuseOutputOverSource(const std::string& sourcePath, const std::string& folder,
                            const PathNames& names)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder),
                              fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code ignored;
        if (IsOutputName(it->path().filename().string(), names) &&
            fs::equivalent(it->path(), sourcePath, ignored))
            throw SplitError(kWouldOverwriteSource);
    }
}

// Removes a file of the run's own naming; a folder that happens to have the name stays.
void RemoveFileNamed(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (!ec && fs::exists(status) && !fs::is_directory(status))
        fs::remove(path, ec);
}

class SplitRun final
{
public:
    SplitRun(const std::string& sourcePath, SplitHost& host)
        : m_sourcePath(sourcePath), m_host(host), m_pump(host), m_tag(new char[kTagRoom + 1]),
          m_heading(new char[kHeadingRoom + 1])
    {
    }

    SplitOutcome Run();
    // After a failure: the page's temporary file is scratch space of the run, not a result.
    void RemoveTemporary();

    // What the body scan asks at each tag.
    void BeforeTag() { m_pump.AtTag(); }
    bool EndsSection(TTagKind kind)
    {
        return kind == tkBodyEnd || IsSplitHeading(kind, Settings().BreakOn);
    }
    bool StopRequested() { return m_pump.Stopped(); }
    // With links fixed or a manifest kept, every tag passes through here as well.
    const std::string* PassTag(std::string_view tag);

private:
    // The run as a body-scan sink: ordinary tags may pass it by the dozen.
    struct PlainWatch
    {
        SplitRun& Run;
        void BeforeTag() { Run.BeforeTag(); }
        bool EndsSection(TTagKind kind) { return Run.EndsSection(kind); }
        bool StopRequested() { return Run.StopRequested(); }
        std::size_t QuietTags() const { return Run.m_pump.QuietTags(); }
        void PassedQuietly(std::size_t n) { Run.m_pump.PassedQuietly(n); }
    };
    // The run as a body-scan sink that also sees every tag holding an attribute value: anchors
    // for the manifest and links to fix are read from values only (TagAnchors,
    // RewriteTagLink).
    struct TagWatch : PlainWatch
    {
        static constexpr bool kWatchesValuesOnly = true;
        const std::string* PassTag(std::string_view tag) { return Run.PassTag(tag); }
    };

    // Once the run has seen a Stop it stays stopped, whatever the flag does afterwards.
    bool Busy() { return m_pump.Busy(); }
    void Log(const std::string& line) { m_host.AddStatusLine(line); }
    const SplitSettings& Settings() const { return m_host.Settings(); }
    std::string OutputPath(const std::string& middle) const
    {
        return m_names.Stem + middle + m_names.Extension;
    }
    void WritePage();
    std::string StartSection(TTagKind kind);
    bool WatchesTags() const { return m_fixLinks || m_manifest; }
    void PrepareOutputFolder();
    void CollectAnchors();
    std::string PageHeader(bool isLastPage) const;
    std::string PageHead(int page) const;
    void WriteStyleSheet();
    std::string SearchForm(bool focused = false) const;
    void WriteSearchFiles();
    void WriteOwnFile(const std::string& name, std::string_view text)
    {
        WriteOwnFile(name, &text, 1);
    }
    void WriteOwnFile(const std::string& name, const std::string_view* parts, std::size_t count);
    TrailState TrailForPage() const;
    void WriteManifest();

    std::string m_sourcePath;
    SplitHost& m_host;
    TagPump m_pump;
    PathNames m_names;
    std::string m_pageFolder;
    std::optional<HTMLFile> m_source;
    // Every output is checked against it as it is created, also one that no listing of the
    // folder could show beforehand.
    FileIdentity m_sourceIdentity;
    std::optional<HTMLFile> m_index;
    // Declared after the source, whose ring it refers to.
    std::unique_ptr<SectionWriter> m_section;
    std::unique_ptr<char[]> m_tag;
    std::size_t m_tagLength = 0;
    std::unique_ptr<char[]> m_heading;
    TrailState m_trail;
    int m_pageNumber = 1;
    int m_splitHeadingsSeen = 0;
    TTagKind m_lastKind = tkOther;
    int m_pagesWritten = 0;

    // The options beyond the basics hold for the whole run: the first pass depends on them.
    bool m_fixLinks = false;
    bool m_pageTitles = false;
    bool m_headLinks = false;
    bool m_tolerateMissingEnd = false;
    bool m_manifest = false;
    bool m_sidebar = false;
    bool m_searchOn = false;
    std::string m_outputFolder;
    std::string m_sourceFolder;
    AnchorMap m_anchors;
    PageLinkNames m_linkNames;
    std::string m_rewritten;
    std::string m_pageHeading; // the page's split heading as title text
    std::vector<ManifestPage> m_manifestPages;
    // The head every page starts from (with the sidebar's style sheet), and whether the
    // document's own head already links its neighbours.
    std::string m_pageHead;
    bool m_headHasPrev = false;
    bool m_headHasNext = false;
    std::optional<PageSidebar> m_contents;
    std::optional<SearchIndexer> m_search;
    std::vector<std::string> m_extraFiles; // written beside the pages, for the manifest
};

const std::string* SplitRun::PassTag(std::string_view tag)
{
    if (m_manifest)
        TagAnchors(tag, m_manifestPages.back().Anchors);
    if (m_fixLinks) {
        m_rewritten.clear();
        if (RewriteTagLink(tag, m_pageNumber, m_anchors, m_linkNames, m_rewritten))
            return &m_rewritten;
    }
    return nullptr;
}

void SplitRun::PrepareOutputFolder()
{
    namespace fs = std::filesystem;
    // A relative folder is taken from the document's folder, where the pages would go.
    fs::path folder(m_outputFolder);
    if (folder.is_relative())
        folder = fs::path(m_sourceFolder.empty() ? std::string(".") : m_sourceFolder) / folder;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        if (fs::exists(fs::symlink_status(folder, ec)))
            throw SplitError("Output folder is not a folder");
        if (!fs::create_directories(folder, ec) || ec)
            throw SplitError("Output folder could not be created");
        Log("   Output folder " + folder.string() + " created.");
    }
    m_pageFolder = folder.string();
    if (!m_pageFolder.empty() && m_pageFolder.back() != '/' &&
        m_pageFolder.back() != fs::path::preferred_separator)
        m_pageFolder += static_cast<char>(fs::path::preferred_separator);
    m_names.Stem = m_pageFolder + m_names.BaseName;
}

void SplitRun::CollectAnchors()
{
    m_source->Rewind();
    m_source->ReadHeader();
    AnchorPass pass(*m_source, Settings().BreakOn, m_tag.get(), m_heading.get(), m_pump);
    AnchorPass::HeadingSeen seen;
    if (m_sidebar) {
        m_contents.emplace(PageHref(m_linkNames, 0));
        if (m_searchOn)
            m_contents->SetSearchForm(SearchForm());
        seen = [this](int page, TTagKind kind, std::string_view tag, std::string_view content) {
            std::string href = PageHref(m_linkNames, page);
            if (m_fixLinks) {
                const std::string id = TagId(tag);
                if (!id.empty())
                    href += "#" + FragmentHref(id);
            }
            const std::string_view text = content.substr(0, content.rfind('<'));
            m_contents->Add(kind == tkH1   ? 1
                            : kind == tkH2 ? 2
                                           : 3,
                            page, std::move(href), HeadingText(text));
        };
    }
    if (!pass.Run(m_fixLinks ? &m_anchors : nullptr, seen))
        return;
    m_source->Rewind();
    m_source->ReadHeader();
    if (m_fixLinks)
        Log("   Anchors collected. " + std::to_string(m_anchors.Size()) + " anchors on " +
            std::to_string(pass.Pages()) + " pages.");
    if (m_sidebar)
        Log("   Contents collected. " + std::to_string(m_contents->Size()) + " headings on " +
            std::to_string(pass.Pages()) + " pages.");
}

std::string SplitRun::PageHead(int page) const
{
    // Links of the head that lead to anchors on other pages are fixed like those of the body.
    return m_fixLinks ? RewriteMarkupLinks(m_pageHead, page, m_anchors, m_linkNames) : m_pageHead;
}

std::string SplitRun::PageHeader(bool isLastPage) const
{
    std::string header = PageHead(m_pageNumber);
    if (m_pageTitles)
        header = HeaderWithPageTitle(header, m_pageHeading);
    if (m_headLinks) {
        // A head that links its neighbours itself keeps its own links.
        const std::string prev =
            m_pageNumber > 1 && !m_headHasPrev ? PageHref(m_linkNames, m_pageNumber - 1) : "";
        const std::string next =
            isLastPage || m_headHasNext ? "" : PageHref(m_linkNames, m_pageNumber + 1);
        header = HeaderWithHeadLinks(header, HeadLinksMarkup(prev, next, PageHref(m_linkNames, 0)));
    }
    return header;
}

TrailState SplitRun::TrailForPage() const
{
    TrailState trail = m_trail;
    // Headings copied into the trail keep working links from the page they land on.
    if (m_fixLinks) {
        for (std::string* text : {&trail.H1, &trail.H2, &trail.H3})
            *text = RewriteMarkupLinks(*text, m_pageNumber, m_anchors, m_linkNames);
    }
    return trail;
}

void SplitRun::WriteOwnFile(const std::string& name, const std::string_view* parts,
                            std::size_t count)
{
    const std::string path = m_pageFolder + name;
    HTMLFile file(path, false, &m_sourceIdentity);
    file.WriteParts(parts, count);
    file.Close();
    m_extraFiles.push_back(name);
}

void SplitRun::WriteStyleSheet()
{
    const std::string name = m_names.BaseName + "quirefold.css";
    WriteOwnFile(name, PageSidebar::StyleSheet());
    Log("   Style sheet " + m_pageFolder + name + " written.");
    if (!m_sidebar)
        return;
    std::string head = "<link rel=\"stylesheet\" href=\"" + FileHref(name) + "\">\r\n";
    if (m_searchOn) {
        head += "<script src=\"" + FileHref(m_names.BaseName + "search-ui.js") +
                "\" charset=\"utf-8\" defer></script>\r\n";
    }
    m_pageHead = HeaderWithStyleSheet(m_pageHead, head);
}

std::string SplitRun::SearchForm(bool focused) const
{
    return "<form class=\"quirefold_search\" role=\"search\" action=\"" +
           FileHref(m_names.BaseName + "search.html") + "\" data-index=\"" +
           FileHref(m_names.BaseName + "search.js") +
           "\">\r\n<input type=\"search\" name=\"q\" placeholder=\"Search\" "
           "aria-label=\"Search this document\" autocomplete=\"off\"" +
           std::string(focused ? " autofocus" : "") +
           ">\r\n"
           "<div class=\"quirefold_search_status\" role=\"status\" aria-live=\"polite\"></div>\r\n"
           "<ul class=\"quirefold_results\"></ul>\r\n</form>\r\n";
}

void SplitRun::WriteSearchFiles()
{
    const std::string index = m_names.BaseName + "search.js";
    // Finished, the index has ended its last page. Its parts go out as they are, not joined.
    SearchIndex& search = m_search->Finish();
    const std::array<std::string, 4> parts = SearchScript(search).Parts();
    const std::string_view views[] = {parts[0], parts[1], parts[2], parts[3]};
    WriteOwnFile(index, views, std::size(views));
    WriteOwnFile(m_names.BaseName + "search-ui.js", kSearchUiScript);
    if (!m_sidebar) {
        // Without the sidebar the search has a page of its own, linked from the index page.
        std::string title;
        for (const char c : search.Title()) {
            if (c == '&')
                title += "&amp;";
            else if (c == '<')
                title += "&lt;";
            else
                title += c;
        }
        std::string page =
            "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n"
            "<title>Search";
        if (!title.empty())
            page += " - " + title;
        page += "</title>\r\n<link rel=\"stylesheet\" href=\"" +
                FileHref(m_names.BaseName + "quirefold.css") + "\">\r\n<script src=\"" +
                FileHref(m_names.BaseName + "search-ui.js") +
                "\" charset=\"utf-8\" defer></script>\r\n</head>\r\n"
                "<body class=\"quirefold_search_page\">\r\n<p><a href=\"" +
                PageHref(m_linkNames, 0) + "\">Contents</a></p>\r\n<h1>Search</h1>\r\n" +
                SearchForm(true) + "</body>\r\n</html>\r\n";
        WriteOwnFile(m_names.BaseName + "search.html", page);
        Log("   Search page " + m_pageFolder + m_names.BaseName + "search.html written.");
    }
    Log("   Search index " + m_pageFolder + index + " written. " +
        std::to_string(search.Sections()) + " sections, " + std::to_string(search.Words()) +
        " words.");
}

void SplitRun::WriteManifest()
{
    const std::string path = m_names.Stem + "pages.json";
    const std::string partial = path + ".partial";
    // Written whole under another name first, so the manifest is either the old one or the new.
    RemoveFileNamed(partial);
    try {
        HTMLFile file(partial, false, &m_sourceIdentity);
        file.WriteText(ManifestJson(FileNamePart(m_sourcePath), FileNamePart(OutputPath("000")),
                                    m_manifestPages, m_extraFiles));
        file.Close();
        if (filecalls::Rename(partial.c_str(), path.c_str()) != 0)
            throw SplitError("File could not be written");
    } catch (...) {
        RemoveFileNamed(partial);
        throw;
    }
    Log("   Manifest file " + path + " written.");
}

std::string SplitRun::StartSection(TTagKind kind)
{
    const std::string_view tag(m_tag.get(), m_tagLength);
    const std::string* tagReplacement = WatchesTags() ? PassTag(tag) : nullptr;
    m_section->WriteText(tagReplacement ? std::string_view(*tagReplacement) : tag);
    const std::size_t length = m_source->ReadHeading(m_heading.get(), kHeadingRoom, kind);
    Log("         Heading read. " + std::to_string(length) + " bytes.");
    const std::string_view content(m_heading.get(), length);
    if (m_fixLinks)
        m_section->WriteText(RewriteMarkupLinks(content, m_pageNumber, m_anchors, m_linkNames));
    else
        m_section->WriteText(content);
    const std::string_view text = content.substr(0, content.rfind('<')); // drop the closing tag
    if (m_fixLinks) {
        // The index links straight to the heading when it carries an id.
        const std::string id = TagId(tag);
        m_index->WriteText(BuildIndexEntry(Settings(), m_names.BaseName, m_pageNumber,
                                           m_names.Extension,
                                           RewriteMarkupLinks(text, 0, m_anchors, m_linkNames),
                                           kind, id.empty() ? std::string() : FragmentHref(id)));
    } else {
        m_index->WriteText(BuildIndexEntry(Settings(), m_names.BaseName, m_pageNumber,
                                           m_names.Extension, text, kind));
    }
    Log("         Heading: " + std::string(text));
    if (m_pageTitles || m_manifest)
        m_pageHeading = HeadingText(text);
    if (m_manifest) {
        ManifestPage& page = m_manifestPages.back();
        MarkupAnchors(content, page.Anchors);
        page.Level = kind == tkH1 ? 1 : kind == tkH2 ? 2 : 3;
        page.Heading = DecodeEntities(m_pageHeading);
    }
    return std::string(text);
}

void SplitRun::WritePage()
{
    const std::string pagePath = OutputPath(PageNumberText(m_pageNumber));
    HTMLFile page(pagePath, false, &m_sourceIdentity);
    Log("      Target file " + pagePath + " created.");
    // A head that names the page's heading or its neighbours waits until the page is read.
    const bool headerLater = m_pageTitles || m_headLinks;
    if (!headerLater) {
        if (m_fixLinks)
            page.WriteText(PageHead(m_pageNumber));
        else
            page.WriteText(m_pageHead);
        Log("      Header written to " + pagePath + ".");
        m_host.ScrollStatus();
    }
    m_pageHeading.clear();
    if (m_manifest)
        m_manifestPages.push_back({std::string(FileNamePart(pagePath)), 0, {}, {}});

    const std::string tempPath = OutputPath(PageNumberText(m_pageNumber) + "temp");
    m_section = std::make_unique<SectionWriter>(tempPath, m_source->Ring(), &m_sourceIdentity);
    m_source->SetKeeper(m_section.get());
    if (m_search) {
        m_search->StartPage(PageHref(m_linkNames, m_pageNumber));
        m_section->SetIndex(&*m_search);
    }

    if (m_pageNumber > 1) {
        std::string heading = StartSection(m_lastKind);
        switch (m_lastKind) {
        case tkH1:
            m_trail.H1 = std::move(heading);
            m_trail.H2.clear();
            m_trail.H3.clear();
            m_trail.H1Page = m_pageNumber;
            break;
        case tkH2:
            m_trail.H2 = std::move(heading);
            m_trail.H3.clear();
            m_trail.H2Page = m_pageNumber;
            break;
        default:
            m_trail.H3 = std::move(heading);
            break;
        }
    }

    m_lastKind = tkOther;
    bool endOfFile = false;
    while ((m_splitHeadingsSeen < 2 || !IsSplitHeading(m_lastKind, Settings().BreakOn)) &&
           m_lastKind != tkBodyEnd && Busy()) {
        TagWatch watch{{*this}};
        PlainWatch plain{*this};
        const ScanEnd end = WatchesTags() ? m_source->ScanBody(*m_section, m_tag.get(), kTagRoom,
                                                               m_tagLength, m_lastKind, watch)
                                          : m_source->ScanBody(*m_section, m_tag.get(), kTagRoom,
                                                               m_tagLength, m_lastKind, plain);
        if (end == ScanEnd::EndOfFile) {
            endOfFile = true;
            break;
        }
        if (end == ScanEnd::SectionTag && m_lastKind != tkBodyEnd) {
            if (m_splitHeadingsSeen == 0) {
                // The first split heading belongs to page 1; levels above it are "Home".
                std::string heading = StartSection(m_lastKind);
                m_trail.H1Page = m_pageNumber;
                switch (m_lastKind) {
                case tkH1:
                    m_trail.H1 = std::move(heading);
                    break;
                case tkH2:
                    m_trail.H1 = "Home";
                    m_trail.H2 = std::move(heading);
                    m_trail.H2Page = m_pageNumber;
                    break;
                default:
                    m_trail.H1 = "Home";
                    m_trail.H2 = "Home";
                    m_trail.H3 = std::move(heading);
                    m_trail.H2Page = m_pageNumber;
                    break;
                }
            }
            ++m_splitHeadingsSeen;
        }
    }
    if (endOfFile) {
        if (!m_tolerateMissingEnd)
            throw SplitError("End of body tag not found");
        // The body ends with the file: the page is finished as if </BODY> stood there.
        Log("      End of body tag not found; the document ends here.");
        m_lastKind = tkBodyEnd;
    }
    if (!Busy()) {
        Log("Operation cancelled.");
        m_host.ScrollStatus();
    }

    // The section is still in memory unless it outgrew it; then it is read back from disk.
    const bool inMemory = !m_section->Spilled();
    if (!inMemory)
        m_section->CloseTemporary();
    const bool isLastPage = m_lastKind == tkBodyEnd;
    if (headerLater) {
        page.WriteText(PageHeader(isLastPage));
        Log("      Header written to " + pagePath + ".");
        m_host.ScrollStatus();
    }
    const TrailState trail = TrailForPage();
    page.WriteText(BuildNavBlock(Settings(), m_pageNumber, m_names.BaseName, m_names.Extension,
                                 isLastPage, true, trail, m_pageFolder, m_sourceFolder));
    if (m_contents)
        page.WriteText(m_contents->For(m_pageNumber));
    // The page's end, unless the scan was cut short.
    std::string end;
    if (m_lastKind == tkBodyEnd || IsSplitHeading(m_lastKind, Settings().BreakOn)) {
        end = kPageSeparator;
        end += BuildNavBlock(Settings(), m_pageNumber, m_names.BaseName, m_names.Extension,
                             isLastPage, false, trail, m_pageFolder, m_sourceFolder);
        end += kTrailer;
    }
    if (inMemory) {
        // Head, section and end in one write where they do not fit the page's buffer.
        std::vector<std::string_view> parts;
        m_section->Parts(parts);
        parts.push_back(end);
        page.WriteParts(parts.data(), parts.size());
    } else {
        AppendFile(tempPath, page);
        page.WriteText(end);
    }
    Log("      Target file " + pagePath + " closed.");
    ++m_pagesWritten;
    m_source->SetKeeper(nullptr);
    m_section->RemoveTemporary();
    m_section.reset();
    page.Close();
    ++m_pageNumber;
}

SplitOutcome SplitRun::Run()
{
    m_host.RememberFolder(m_host.CurrentFolder());
    Log("Splitting " + m_sourcePath + ".");
    m_source.emplace(m_sourcePath, true, nullptr, kSectionMemory);
    m_sourceIdentity = m_source->Identity();
    Log("   Source file " + m_sourcePath + " opened successfully.");
    const SplitSettings& settings = Settings();
    m_fixLinks = settings.FixLinks;
    m_pageTitles = settings.PageTitles;
    m_headLinks = settings.HeadLinks;
    m_tolerateMissingEnd = settings.TolerateMissingBodyEnd;
    m_manifest = settings.Manifest;
    m_sidebar = settings.Sidebar;
    m_searchOn = settings.Search;
    m_outputFolder = settings.OutputFolder;
    m_names = SplitSourcePath(m_sourcePath);
    m_sourceFolder = std::string(FolderPart(m_sourcePath));
    m_pageFolder = m_sourceFolder;
    m_linkNames = {m_names.BaseName, m_names.Extension, std::string(FileNamePart(m_sourcePath))};
    if (m_outputFolder.empty())
        RefuseOutputOverSource(m_sourcePath, m_pageFolder, m_names);
    const std::size_t headerLength = m_source->ReadHeader();
    Log("   Header read. " + std::to_string(headerLength) + " bytes.");
    m_pageHead = m_source->Header();
    m_headHasPrev =
        HeaderHasLinkRel(m_pageHead, "prev") || HeaderHasLinkRel(m_pageHead, "previous");
    m_headHasNext = HeaderHasLinkRel(m_pageHead, "next");
    if (m_searchOn) {
        m_search.emplace(searchtext::DetectEncoding(m_pageHead), HeaderTitle(m_pageHead));
    }
    if (m_fixLinks || m_sidebar)
        CollectAnchors();
    if (!m_outputFolder.empty()) {
        // Nothing is made for a document that cannot be split at all.
        PrepareOutputFolder();
        RefuseOutputOverSource(m_sourcePath, m_pageFolder, m_names);
    }

    const std::string indexPath = OutputPath("000");
    m_index.emplace(indexPath, false, &m_sourceIdentity);
    Log("   Index file " + indexPath + " created.");
    m_index->WriteText(m_fixLinks
                           ? RewriteMarkupLinks(m_source->Header(), 0, m_anchors, m_linkNames)
                           : m_source->Header());
    // From here on the pages an earlier manifest lists are being replaced.
    if (m_manifest)
        RemoveFileNamed(m_names.Stem + "pages.json");
    // Likewise an earlier index: a run that stops leaves none rather than one of other pages.
    if (m_searchOn)
        RemoveFileNamed(m_names.Stem + "search.js");
    // A run stopped in its first pass makes no page, so nothing for a style sheet to serve.
    if ((m_sidebar || m_searchOn) && Busy())
        WriteStyleSheet();
    if (m_searchOn && !m_sidebar) {
        m_index->WriteText("<p class=\"quirefold_search_link\"><a href=\"" +
                           FileHref(m_names.BaseName + "search.html") + "\">Search</a></p>\r\n");
    }

    while (m_lastKind != tkBodyEnd && Busy())
        WritePage();
    // The outcome is settled here. A Stop that comes after the last page's scan (while that
    // page, the index or the frameset is finished, or the result opened) finds the whole body
    // split, so the document counts as split; the caller still finds Busy clear and starts no
    // further document.
    const SplitOutcome outcome = m_pump.Stopped() ? SplitOutcome::Stopped : SplitOutcome::Split;

    m_index->WriteText(kTrailer);
    m_index->Close();
    m_index.reset();
    Log("   Index file " + indexPath + " closed.");
    m_source.reset();
    Log("   Source file " + m_sourcePath + " closed.");
    // The index covers the whole document or is not written.
    if (m_search && outcome == SplitOutcome::Split)
        WriteSearchFiles();
    m_search.reset();
    if (m_manifest && outcome == SplitOutcome::Split)
        WriteManifest();

    std::string result = indexPath;
    if (Settings().Navigation) {
        result = OutputPath("fs");
        WriteFrameset(result, m_names.BaseName, m_names.Extension, &m_sourceIdentity);
        Log("Created frameset.");
        Log("Splitting is complete. " + std::to_string(m_pagesWritten) +
            " files, 1 frameset file and 1 index file created.");
    } else {
        Log("Splitting is complete. " + std::to_string(m_pagesWritten) +
            " files and 1 index file created.");
    }
    m_host.OpenResult(result);
    return outcome;
}

void SplitRun::RemoveTemporary()
{
    if (!m_section)
        return;
    if (m_source)
        m_source->SetKeeper(nullptr);
    m_section->RemoveTemporary();
    m_section.reset();
}

} // namespace

SplitOutcome SplitFile(const std::string& sourcePath, SplitHost& host)
{
    SplitOutcome outcome = SplitOutcome::Failed;
    try {
        SplitRun run(sourcePath, host);
        try {
            outcome = run.Run();
        } catch (const std::exception& e) {
            run.RemoveTemporary();
            host.AddStatusLine(std::string("   Exception encountered: ") + e.what());
        }
    } catch (const std::exception& e) {
        // Only the run's own buffers can fail here; report it like any other failure.
        host.AddStatusLine(std::string("   Exception encountered: ") + e.what());
    }
    host.ScrollStatus();
    return outcome;
}
