#pragma once

#include "engine/HTMLFile.h"

#include <string>
#include <string_view>

struct SplitSettings;

// The enclosing headings of the page being written, for its breadcrumb trail.
struct TrailState
{
    std::string H1;
    std::string H2;
    std::string H3;
    int H1Page = 0;
    int H2Page = 0;
};

inline constexpr std::string_view kPageSeparator = "<BR>\r\n";
inline constexpr std::string_view kTrailer = "</BODY>\r\n</HTML>\r\n";

// The block at the top (breadcrumb trail and link bar) or bottom (link bar) of a page; empty
// when neither is enabled. While page 1 is built in image mode, the link images are copied
// into pageFolder, where the pages are written; an image named by a relative path is taken
// from imageFolder (pageFolder when empty).
std::string BuildNavBlock(const SplitSettings& settings, int pageNumber, std::string_view baseName,
                          std::string_view extension, bool isLastPage, bool isTop,
                          const TrailState& trail, const std::string& pageFolder,
                          const std::string& imageFolder = {});

// One line of the index page, indented by the heading's level. A fragment (made safe for an
// href) leads to that anchor of the page.
std::string BuildIndexEntry(const SplitSettings& settings, std::string_view baseName,
                            int pageNumber, std::string_view extension,
                            std::string_view headingText, TTagKind kind,
                            std::string_view fragment = {});

// Creates and writes the frameset page, and closes it. keepOff: see HTMLFile.
void WriteFrameset(const std::string& framesetPath, std::string_view baseName,
                   std::string_view extension, const FileIdentity* keepOff = nullptr);

// Copies a link image into folder under its file name. A relative source is taken relative
// to sourceFolder (folder when empty); a source that is already the destination is left
// alone. Returns false when the copy failed (callers ignore that).
bool CopyLinkImage(const std::string& imagePath, const std::string& folder,
                   const std::string& sourceFolder = {});
