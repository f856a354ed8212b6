#include "engine/PageMarkup.h"

#include "engine/FileCalls.h"
#include "engine/PathNames.h"
#include "engine/SplitSettings.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string PageName(std::string_view baseName, int pageNumber, std::string_view extension)
{
    std::string name(baseName);
    name += PageNumberText(pageNumber);
    name += extension;
    return name;
}

void AppendLinkFace(std::string& out, const SplitSettings& settings, std::string_view imagePath,
                    const std::string& text)
{
    if (settings.UseImages) {
        out += "<IMG SRC=\"";
        out += FileNamePart(imagePath);
        out += "\" ALT=\"";
        out += text;
        out += "\" BORDER=\"0\">";
    } else {
        out += text;
    }
}

void AppendLink(std::string& out, std::string_view baseName, int pageNumber,
                std::string_view extension)
{
    out += "<A class=\"quirefold_link_a\" HREF=\"";
    out += PageName(baseName, pageNumber, extension);
    out += "\">";
}

void AppendTrail(std::string& out, const SplitSettings& settings, std::string_view baseName,
                 std::string_view extension, const TrailState& trail)
{
    auto appendTrailLink = [&](int page, const std::string& text) {
        out += "<A class=\"quirefold_breadcrumb_a\" HREF=\"";
        out += PageName(baseName, page, extension);
        out += "\">";
        out += text;
        out += "</A>";
    };
    out += "<p class=\"quirefold_breadcrumb_p\">\r\n";
    out += settings.BreadcrumbsText;
    out += ' ';
    if (!trail.H1.empty()) {
        if (!trail.H2.empty())
            appendTrailLink(trail.H1Page, trail.H1);
        else
            out += trail.H1;
    }
    if (!trail.H2.empty()) {
        out += " &gt; ";
        if (!trail.H3.empty())
            appendTrailLink(trail.H2Page, trail.H2);
        else
            out += trail.H2;
    }
    if (!trail.H3.empty()) {
        out += " &gt; ";
        out += trail.H3;
    }
    out += "\r\n</p>\r\n";
}

// The pages are written beside the source, so an image of the source's own name, or of a
// page's, would replace the document or a page of this very run.
bool WouldReplaceDocument(std::string_view imageName, std::string_view baseName,
                          std::string_view extension)
{
    const PathNames names{{}, std::string(baseName), std::string(extension)};
    return IsOutputName(imageName, names) ||
           SameFileName(imageName, std::string(baseName) + std::string(extension));
}

} // namespace

bool CopyLinkImage(const std::string& imagePath, const std::string& folder,
                   const std::string& sourceFolder)
{
    std::error_code ec;
    fs::path source(imagePath);
    if (source.is_relative())
        source = fs::path(sourceFolder.empty() ? folder : sourceFolder) / source;
    const fs::path target = fs::path(folder) / std::string(FileNamePart(imagePath));
    // Copying a file onto itself would truncate it.
    if (fs::equivalent(source, target, ec))
        return true;
    // Copy beside the target first, so a failed copy never leaves a broken image behind.
    fs::path partial = target;
    partial += ".partial";
    if (!filecalls::CopyWholeFile(source.string().c_str(), partial.string().c_str()))
        return false;
    if (filecalls::Rename(partial.string().c_str(), target.string().c_str()) != 0) {
        fs::remove(partial, ec);
        return false;
    }
    return true;
}

std::string BuildNavBlock(const SplitSettings& settings, int pageNumber, std::string_view baseName,
                          std::string_view extension, bool isLastPage, bool isTop,
                          const TrailState& trail, const std::string& pageFolder,
                          const std::string& imageFolder)
{
    std::string out;
    if (isTop && settings.Breadcrumbs && settings.BreakOn > 1)
        AppendTrail(out, settings, baseName, extension, trail);

    if (!settings.AddLinks)
        return out;
    if (settings.UseImages && pageNumber == 1) {
        for (const std::string* image :
             {&settings.PrevLinkImage, &settings.HomeLinkImage, &settings.NextLinkImage}) {
            if (!FileNamePart(*image).empty() &&
                !WouldReplaceDocument(FileNamePart(*image), baseName, extension))
                CopyLinkImage(*image, pageFolder, imageFolder);
        }
    }
    out += "<p class=\"quirefold_link_p\" align=\"center\">\r\n";
    if (pageNumber != 1) {
        AppendLink(out, baseName, pageNumber - 1, extension);
        AppendLinkFace(out, settings, settings.PrevLinkImage, settings.PreviousLinkText);
        out += "</A>&nbsp;";
    }
    out += "<A class=\"quirefold_link_a\" HREF=\"";
    out += baseName;
    out += "000";
    out += extension;
    out += "\">";
    AppendLinkFace(out, settings, settings.HomeLinkImage, settings.HomeLinkText);
    out += "</A>&nbsp;";
    if (!isLastPage) {
        AppendLink(out, baseName, pageNumber + 1, extension);
        AppendLinkFace(out, settings, settings.NextLinkImage, settings.NextLinkText);
        out += "</A>";
    }
    out += "</p><br>\r\n";
    return out;
}

std::string BuildIndexEntry(const SplitSettings& settings, std::string_view baseName,
                            int pageNumber, std::string_view extension,
                            std::string_view headingText, TTagKind kind, std::string_view fragment)
{
    std::string out;
    if (kind == tkH2)
        out += "&nbsp&nbsp&nbsp";
    else if (kind == tkH3)
        out += "&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp";
    out += "<a class=\"quirefold_index_a\" HREF=\"";
    out += PageName(baseName, pageNumber, extension);
    if (!fragment.empty()) {
        out += '#';
        out += fragment;
    }
    out += '"';
    if (settings.Navigation)
        out += " target=\"main\"";
    out += '>';
    out += headingText;
    out += "</a><br>\r\n";
    return out;
}

void WriteFrameset(const std::string& framesetPath, std::string_view baseName,
                   std::string_view extension, const FileIdentity* keepOff)
{
    HTMLFile file(framesetPath, false, keepOff);
    std::string text = "<html>\r\n<head><title>";
    text += baseName;
    text += "</title>\r\n</head>\r\n";
    text += "<frameset cols=\"200,*\" frameborder=\"NO\" border=\"0\" framespacing=\"0\">\r\n";
    text += "<frame src=\"";
    text += baseName;
    text += "000";
    text += extension;
    text += "\" name=\"left\">\r\n";
    text += "<frame src=\"";
    text += PageName(baseName, 1, extension);
    text += "\" name=\"main\">\r\n";
    text += "</frameset>\r\n<noframes>\r\n<body>\r\n</body>\r\n</noframes>\r\n</html>";
    file.WriteText(text);
    file.Close();
}
