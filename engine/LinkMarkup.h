#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Reading and rewriting the anchors and links of single tags, the way browsers read them:
// attribute names in any letter case, values double-quoted, single-quoted or bare, the first
// of two equal attributes counting, character references decoded. A tag is the text from its
// '<' to its first '>', as the split engine reads it; a '<' followed by anything but a letter,
// '/', '!' or '?' is text to browsers, so the tag then starts at the next '<' inside it.

// How the pages of one split are named, for links between them.
struct PageLinkNames
{
    std::string BaseName; // page n is BaseName + PageNumberText(n) + Extension (0: index)
    std::string Extension;
    std::string SourceFileName; // the document's own file name: "NAME#x" links lead into it
};

// Decodes the character references of an attribute value or text: &amp; &lt; &gt; &quot;
// &apos; &nbsp; (as UTF-8), and &#N; &#xH; (as UTF-8; the semicolon may be missing before a
// character that cannot continue the number). Anything else stays as written.
std::string DecodeEntities(std::string_view text);

// A numeric character reference at text[pos] ("&#...", "&#x..."): its length and code point
// as browsers read it (C1 controls as windows-1252, nothing valid as U+FFFD), or 0 when no
// digit follows.
std::size_t NumericReferenceAt(std::string_view text, std::size_t pos, char32_t& cp);

// The character a windows-1252 byte stands for.
char32_t Windows1252(unsigned char byte);

// Appends the code point cp (below 0x110000) as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// The page file name as an href: bytes outside letters, digits and "-._~!$'()*+,;=@/" as %XX
// (a ':' too, which would read as a scheme).
std::string PageHref(const PageLinkNames& names, int page);
// Any file name of the folder as an href, made safe as PageHref makes a page's.
std::string FileHref(std::string_view fileName);

// A fragment (an anchor's decoded name) as it goes after '#' in an href written between
// double quotes: bytes outside the characters above (and '&', '"', '<', '>', '%', space,
// anything non-ASCII) as %XX, which browsers decode when they look the anchor up.
std::string FragmentHref(std::string_view anchor);

// The anchors a tag defines, entity-decoded: its id attribute (any element) and the name
// attribute of an <a>, the id first. End tags, comments, <!...> and <?...> define none. Returns
// how many were appended to out (0, 1 or 2); an empty value is no anchor, and a name equal to
// the id is not appended again.
int TagAnchors(std::string_view tag, std::vector<std::string>& out);

// Whether a start tag's rel attribute holds the keyword lowerToken (any letter case).
bool TagHasRel(std::string_view tag, std::string_view lowerToken);

// The decoded id attribute of a tag, or empty.
std::string TagId(std::string_view tag);

// Every anchor of a document's body and the page it lands on. Memory grows with the number
// of anchors, not with the document.
class AnchorMap
{
public:
    // The first element with an id wins; a name counts only where no element has that id.
    void AddId(std::string_view id, int page);
    void AddName(std::string_view name, int page);
    // The anchors one tag defines (see TagAnchors), or every tag of markup defines, on page.
    void AddTag(std::string_view tag, int page);
    void AddMarkup(std::string_view markup, int page);
    // The page the fragment of an href (after '#', entities decoded) leads to, 0 when no anchor
    // has it (so anchors belong on pages 1 and up). Tried as written, then percent-decoded, as
    // browsers do.
    int PageOf(std::string_view fragment) const;
    std::size_t Size() const { return m_ids.size() + m_names.size(); }

private:
    std::unordered_map<std::string, int> m_ids;
    std::unordered_map<std::string, int> m_names;
};

// When the tag's href is "#x", or the source's own file name followed by "#x" (also written
// "./NAME", percent-encoded, or with letter case differing on Windows), and x is an anchor on
// a page other than currentPage (0: the index page), appends the tag to out with only that
// href value replaced by PageHref(page) + "#x" (x as written) and returns true. The value
// keeps its quotes (a "'" of the page name is written &#39; between single quotes); a bare value
// that would no longer be one gets double quotes, a '"' in it written &quot;. Any other
// tag, including <base>, end tags and comments: returns false and leaves out alone.
bool RewriteTagLink(std::string_view tag, int currentPage, const AnchorMap& anchors,
                    const PageLinkNames& names, std::string& out);

// Markup (text and whole tags, such as a heading's content) with every tag's link rewritten
// as RewriteTagLink does for a tag on currentPage; text passes through unchanged.
std::string RewriteMarkupLinks(std::string_view markup, int currentPage, const AnchorMap& anchors,
                               const PageLinkNames& names);

// The anchors of every tag of markup, in order, appended to out.
void MarkupAnchors(std::string_view markup, std::vector<std::string>& out);
