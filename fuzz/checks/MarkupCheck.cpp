#include "fuzz/checks/MarkupCheck.h"

#include "engine/PageMarkup.h"
#include "engine/SplitSettings.h"
#include "fuzz/checks/ByteReader.h"

#include <system_error>

namespace fs = std::filesystem;

namespace fuzzcheck {

namespace {

std::size_t L(std::string_view literal)
{
    return literal.size();
}

// The file name of an image path: what follows its last separator.
std::size_t FileNameLength(const std::string& path)
{
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("\\/:");
#else
    const std::size_t slash = path.rfind('/');
#endif
    return slash == std::string::npos ? path.size() : path.size() - slash - 1;
}

struct Texts
{
    std::string Base, Extension;
};

std::size_t PageLinkLength(std::string_view opening, const Texts& t, long page)
{
    return L(opening) + t.Base.size() + PageDigits(page) + t.Extension.size() + L("\">");
}

std::size_t ExpectedNavBlock(const SplitSettings& s, const Texts& t, long page, bool last, bool top,
                             const TrailState& trail)
{
    std::size_t n = 0;
    if (top && s.Breadcrumbs && s.BreakOn > 1) {
        auto trailLink = [&](long target, const std::string& text) {
            return PageLinkLength("<A class=\"quirefold_breadcrumb_a\" HREF=\"", t, target) +
                   text.size() + L("</A>");
        };
        n += L("<p class=\"quirefold_breadcrumb_p\">\r\n") + s.BreadcrumbsText.size() + 1;
        if (!trail.H1.empty())
            n += trail.H2.empty() ? trail.H1.size() : trailLink(trail.H1Page, trail.H1);
        if (!trail.H2.empty())
            n += L(" &gt; ") +
                 (trail.H3.empty() ? trail.H2.size() : trailLink(trail.H2Page, trail.H2));
        if (!trail.H3.empty())
            n += L(" &gt; ") + trail.H3.size();
        n += L("\r\n</p>\r\n");
    }
    if (!s.AddLinks)
        return n;
    auto face = [&](const std::string& image, const std::string& text) {
        if (!s.UseImages)
            return text.size();
        return L("<IMG SRC=\"") + FileNameLength(image) + L("\" ALT=\"") + text.size() +
               L("\" BORDER=\"0\">");
    };
    const std::string_view linkOpening = "<A class=\"quirefold_link_a\" HREF=\"";
    n += L("<p class=\"quirefold_link_p\" align=\"center\">\r\n");
    if (page != 1)
        n += PageLinkLength(linkOpening, t, page - 1) + face(s.PrevLinkImage, s.PreviousLinkText) +
             L("</A>&nbsp;");
    n +=
        PageLinkLength(linkOpening, t, 0) + face(s.HomeLinkImage, s.HomeLinkText) + L("</A>&nbsp;");
    if (!last)
        n += PageLinkLength(linkOpening, t, page + 1) + face(s.NextLinkImage, s.NextLinkText) +
             L("</A>");
    return n + L("</p><br>\r\n");
}

std::size_t ExpectedIndexEntry(const SplitSettings& s, const Texts& t, long page,
                               const std::string& heading, TTagKind kind)
{
    const std::size_t indent = kind == tkH2 ? 3 * L("&nbsp") : kind == tkH3 ? 6 * L("&nbsp") : 0;
    return indent + PageLinkLength("<a class=\"quirefold_index_a\" HREF=\"", t, page) - 1 +
           (s.Navigation ? L(" target=\"main\"") : 0) + L(">") + heading.size() + L("</a><br>\r\n");
}

std::size_t ExpectedFrameset(const Texts& t)
{
    return L("<html>\r\n<head><title>") + t.Base.size() + L("</title>\r\n</head>\r\n") +
           L("<frameset cols=\"200,*\" frameborder=\"NO\" border=\"0\" framespacing=\"0\">\r\n") +
           2 * (L("<frame src=\"") + t.Base.size() + 3 + t.Extension.size()) +
           L("\" name=\"left\">\r\n") + L("\" name=\"main\">\r\n") +
           L("</frameset>\r\n<noframes>\r\n<body>\r\n</body>\r\n</noframes>\r\n</html>");
}

void Empty(const fs::path& folder)
{
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        std::error_code removeEc;
        fs::remove_all(it->path(), removeEc);
    }
}

} // namespace

std::size_t PageDigits(long pageNumber)
{
    std::size_t digits = 1;
    for (long rest = pageNumber / 10; rest > 0; rest /= 10)
        ++digits;
    return digits < 3 ? 3 : digits;
}

MarkupWorkspace::MarkupWorkspace(fs::path root) : m_root(std::move(root)), m_folder(m_root / "work")
{
    fs::create_directories(m_folder);
}

std::string MarkupWorkspace::Check(std::string_view input)
{
    Empty(m_folder);
    ByteReader in(input);
    const int piece = in.Byte() % 3;
    const std::uint8_t flags = in.Byte();
    const long page = in.Word() + 1L;
    TrailState trail;
    trail.H1Page = in.Word() + 1;
    trail.H2Page = in.Word() + 1;

    SplitSettings s;
    s.AddLinks = flags & 1;
    s.UseImages = flags & 2;
    s.Navigation = flags & 4;
    s.Breadcrumbs = flags & 8;
    const bool last = flags & 16;
    const bool top = flags & 32;
    s.BreakOn = (flags >> 6) + 0; // 0..3
    Texts t;
    t.Base = in.Text();
    t.Extension = in.Text();
    s.PreviousLinkText = in.Text();
    s.HomeLinkText = in.Text();
    s.NextLinkText = in.Text();
    s.BreadcrumbsText = in.Text();
    s.PrevLinkImage = in.Text();
    s.HomeLinkImage = in.Text();
    s.NextLinkImage = in.Text();
    trail.H1 = in.Text();
    trail.H2 = in.Text();
    trail.H3 = in.Text();
    const TTagKind kind = static_cast<TTagKind>(tkH1 + 2 * (in.Byte() % 3));
    const std::string heading = in.Rest();

    switch (piece) {
    case 0: {
        const std::string block = BuildNavBlock(s, static_cast<int>(page), t.Base, t.Extension,
                                                last, top, trail, m_folder.string() + "/");
        const std::size_t expected = ExpectedNavBlock(s, t, page, last, top, trail);
        if (block.size() != expected)
            return "navigation block of " + std::to_string(block.size()) + " bytes, expected " +
                   std::to_string(expected);
        if (s.AddLinks && !block.ends_with("</p><br>\r\n"))
            return "a link bar that does not end its paragraph";
        break;
    }
    case 1: {
        const std::string entry =
            BuildIndexEntry(s, t.Base, static_cast<int>(page), t.Extension, heading, kind);
        const std::size_t expected = ExpectedIndexEntry(s, t, page, heading, kind);
        if (entry.size() != expected)
            return "index entry of " + std::to_string(entry.size()) + " bytes, expected " +
                   std::to_string(expected);
        if (!entry.ends_with("</a><br>\r\n"))
            return "an index entry that does not end its line";
        break;
    }
    default: {
        const fs::path framesetPath = m_folder / "framesetfs.html";
        WriteFrameset(framesetPath.string(), t.Base, t.Extension);
        std::error_code ec;
        const auto size = fs::file_size(framesetPath, ec);
        if (ec || size != ExpectedFrameset(t))
            return "frameset page of the wrong length";
        break;
    }
    }

    std::error_code ec;
    std::size_t entries = 0;
    for (fs::directory_iterator it(m_root, ec); !ec && it != fs::directory_iterator();
         it.increment(ec))
        ++entries;
    if (entries != 1)
        return "a file appeared beside the page folder";
    return {};
}

} // namespace fuzzcheck
