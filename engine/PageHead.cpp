#include "engine/PageHead.h"

#include "engine/LinkMarkup.h"

#include <algorithm>
#include <utility>

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether text at pos is "<" + lowerName (any case) ending where a tag name ends.
bool TagNameAt(std::string_view text, std::size_t pos, std::string_view lowerName)
{
    if (pos + 1 + lowerName.size() > text.size())
        return false;
    for (std::size_t i = 0; i < lowerName.size(); ++i) {
        char c = text[pos + 1 + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != lowerName[i])
            return false;
    }
    const std::size_t after = pos + 1 + lowerName.size();
    return after == text.size() || IsSpace(text[after]) || text[after] == '>' || text[after] == '/';
}

// The tags of a header, read as the splitter reads them ('<' to the first '>'), except that a
// comment is skipped whole so that markup inside it never counts.
template <typename Visit> void ForEachHeaderTag(std::string_view header, Visit visit)
{
    std::size_t pos = 0;
    while ((pos = header.find('<', pos)) != std::string_view::npos) {
        std::size_t end;
        if (header.compare(pos, 4, "<!--") == 0) {
            end = header.find("-->", pos + 4);
            end = end == std::string_view::npos ? header.size() : end + 3;
        } else {
            end = header.find('>', pos);
            end = end == std::string_view::npos ? header.size() : end + 1;
        }
        if (!visit(pos, end))
            return;
        pos = end;
    }
}

void AppendCollapsed(std::string& out, std::string_view text, bool& pendingSpace)
{
    for (const char c : text) {
        if (IsSpace(c)) {
            pendingSpace = !out.empty();
        } else {
            if (pendingSpace)
                out += ' ';
            pendingSpace = false;
            out += c;
        }
    }
}

std::string Collapsed(std::string_view text)
{
    std::string out;
    bool pendingSpace = false;
    AppendCollapsed(out, text, pendingSpace);
    return out;
}

} // namespace

std::string HeadingText(std::string_view headingMarkup)
{
    std::string out;
    bool pendingSpace = false;
    std::size_t pos = 0;
    while (pos < headingMarkup.size()) {
        std::size_t open = headingMarkup.find('<', pos);
        // A '<' that starts no tag ("a < b") is text.
        while (open != std::string_view::npos && open + 1 < headingMarkup.size() &&
               !IsAsciiLetter(headingMarkup[open + 1]) &&
               std::string_view("/!?").find(headingMarkup[open + 1]) == std::string_view::npos)
            open = headingMarkup.find('<', open + 1);
        if (open == std::string_view::npos || open + 1 == headingMarkup.size()) {
            AppendCollapsed(out, headingMarkup.substr(pos), pendingSpace);
            break;
        }
        AppendCollapsed(out, headingMarkup.substr(pos, open - pos), pendingSpace);
        // A tag separates words only where the text has white space.
        const std::size_t close = headingMarkup.find('>', open);
        if (close == std::string_view::npos)
            break;
        pos = close + 1;
    }
    return out;
}

namespace {

// Where the text of the header's first <title> element starts and ends; npos when it has none.
std::pair<std::size_t, std::size_t> TitleText(std::string_view header)
{
    std::size_t textStart = std::string_view::npos;
    std::size_t textEnd = std::string_view::npos;
    ForEachHeaderTag(header, [&](std::size_t start, std::size_t end) {
        if (!TagNameAt(header, start, "title"))
            return true;
        textStart = end;
        return false;
    });
    // The title's text is raw: only its end tag ends it, whatever else looks like a tag.
    if (textStart == std::string_view::npos || textStart >= header.size())
        return {std::string_view::npos, std::string_view::npos};
    for (std::size_t pos = header.find('<', textStart); pos != std::string_view::npos;
         pos = header.find('<', pos + 1)) {
        if (pos + 1 < header.size() && header[pos + 1] == '/' &&
            TagNameAt(header.substr(pos + 1), 0, "title")) {
            textEnd = pos;
            break;
        }
    }
    if (textEnd == std::string_view::npos)
        return {std::string_view::npos, std::string_view::npos};
    return {textStart, textEnd};
}

} // namespace

std::string HeaderTitle(std::string_view header)
{
    const auto [textStart, textEnd] = TitleText(header);
    if (textStart == std::string_view::npos)
        return {};
    return Collapsed(header.substr(textStart, textEnd - textStart));
}

std::string HeaderWithPageTitle(std::string_view header, std::string_view headingText)
{
    if (headingText.empty())
        return std::string(header);
    const auto [textStart, textEnd] = TitleText(header);
    if (textStart == std::string_view::npos)
        return std::string(header);

    std::string out(header.substr(0, textStart));
    out += headingText;
    const std::string own = Collapsed(header.substr(textStart, textEnd - textStart));
    if (!own.empty()) {
        out += " - ";
        out += own;
    }
    out.append(header.substr(textEnd));
    return out;
}

namespace {

// The header with markup inserted at offset at.
std::string InsertedAt(std::string_view header, std::size_t at, std::string_view markup)
{
    std::string out;
    out.reserve(header.size() + markup.size());
    out.append(header.substr(0, at));
    out.append(markup);
    out.append(header.substr(at));
    return out;
}

} // namespace

std::string HeaderWithHeadLinks(std::string_view header, std::string_view markup)
{
    std::size_t at = std::string_view::npos;
    std::size_t lastTag = std::string_view::npos;
    ForEachHeaderTag(header, [&](std::size_t start, std::size_t) {
        if (header.compare(start, 2, "</") == 0 && TagNameAt(header.substr(start + 1), 0, "head")) {
            at = start;
            return false;
        }
        lastTag = start;
        return true;
    });
    if (at == std::string_view::npos)
        at = lastTag == std::string_view::npos ? header.size() : lastTag;
    return InsertedAt(header, at, markup);
}

std::string HeaderWithStyleSheet(std::string_view header, std::string_view markup)
{
    std::size_t at = std::string_view::npos;
    std::size_t afterCharset = 0;
    ForEachHeaderTag(header, [&](std::size_t start, std::size_t end) {
        const std::string_view tag = header.substr(start, end - start);
        if (TagNameAt(header, start, "meta")) {
            std::string lower(tag);
            for (char& c : lower)
                c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            if (lower.find("charset") != std::string::npos)
                afterCharset = end;
        } else if (at == std::string_view::npos &&
                   (TagNameAt(header, start, "link") || TagNameAt(header, start, "style"))) {
            at = start;
        } else if (header.compare(start, 2, "</") == 0 &&
                   TagNameAt(header.substr(start + 1), 0, "head")) {
            return false;
        }
        return true;
    });
    if (at == std::string_view::npos)
        return HeaderWithHeadLinks(header, markup);
    at = std::max(at, afterCharset);
    return InsertedAt(header, at, markup);
}

bool HeaderHasLinkRel(std::string_view header, std::string_view lowerRel)
{
    bool found = false;
    ForEachHeaderTag(header, [&](std::size_t start, std::size_t end) {
        found = TagNameAt(header, start, "link") &&
                TagHasRel(header.substr(start, end - start), lowerRel);
        return !found;
    });
    return found;
}

std::string HeadLinksMarkup(std::string_view prevHref, std::string_view nextHref,
                            std::string_view indexHref)
{
    std::string out;
    auto add = [&out](std::string_view rel, std::string_view href) {
        if (href.empty())
            return;
        out += "<link rel=\"";
        out += rel;
        out += "\" href=\"";
        out += href;
        out += "\">\r\n";
    };
    add("prev", prevHref);
    add("next", nextHref);
    add("index", indexHref);
    return out;
}
