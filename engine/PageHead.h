#pragma once

#include <string>
#include <string_view>

// A page's head, changed for the page it is written to.

// Heading markup as a title: tags removed, character references kept as written, every run
// of white space (space, tab, CR, LF, FF) one space, none at either end.
std::string HeadingText(std::string_view headingMarkup);

// The header with the text of its first <title> element replaced by headingText, " - " and the
// element's own text (white space collapsed as above; without " - " when that is empty).
// Unchanged when the header has no <title>...</title> or headingText is empty. Tag names in any
// letter case; a <title> inside a comment does not count.
std::string HeaderWithPageTitle(std::string_view header, std::string_view headingText);

// The text of the header's first <title> element, white space collapsed as above; empty when
// it has none.
std::string HeaderTitle(std::string_view header);

// The header with markup inserted just before its first </head> tag, or before its final tag
// (the body tag) when it has none; at the end when it has no tag at all. Comments are skipped.
std::string HeaderWithHeadLinks(std::string_view header, std::string_view markup);

// The header with markup inserted ahead of the document's own style sheets: before its first
// <link> or <style> tag, but after a <meta> tag that names the encoding (which must stay near
// the start); where it has neither, as HeaderWithHeadLinks does. Comments are skipped.
std::string HeaderWithStyleSheet(std::string_view header, std::string_view markup);

// Whether the header has a <link> tag whose rel holds the keyword lowerRel.
bool HeaderHasLinkRel(std::string_view header, std::string_view lowerRel);

// '<link rel="prev" href="...">' and so on, each followed by CR LF, for the hrefs given;
// an empty href gives no link. Hrefs go in as they are (already made safe for a URL).
std::string HeadLinksMarkup(std::string_view prevHref, std::string_view nextHref,
                            std::string_view indexHref);
