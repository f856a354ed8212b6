#include "engine/LinkMarkup.h"

#include "engine/PathNames.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

bool IsSpace(char c)
{
    // The tokenizer's white space; CR counts because browsers turn it into LF first.
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int HexValue(char c)
{
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// lowerName must be lower case.
bool NameIs(std::string_view name, std::string_view lowerName)
{
    if (name.size() != lowerName.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (LowerAscii(name[i]) != lowerName[i])
            return false;
    return true;
}

// Numeric references to C1 controls mean the windows-1252 characters to browsers.
constexpr char32_t kWindows1252[32] = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

struct NamedReference
{
    std::string_view Name; // without '&' and ';'
    char32_t CodePoint;
};

constexpr NamedReference kNamedReferences[] = {{"amp", '&'},  {"lt", '<'},    {"gt", '>'},
                                               {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0}};

// The character reference at text[pos] (a '&'): its length and code point, or 0 when the
// text there is no reference we decode.
std::size_t ReferenceAt(std::string_view text, std::size_t pos, char32_t& cp)
{
    if (pos + 1 < text.size() && text[pos + 1] == '#')
        return NumericReferenceAt(text, pos, cp);
    const std::size_t size = text.size();
    const std::size_t i = pos + 1;
    for (const NamedReference& ref : kNamedReferences) {
        const std::size_t end = i + ref.Name.size();
        if (end < size && text[end] == ';' && text.substr(i, ref.Name.size()) == ref.Name) {
            cp = ref.CodePoint;
            return end + 1 - pos;
        }
    }
    return 0;
}

// Letters, digits and "-._~!$'()*+,;=:@/" go into an href as they are.
bool IsHrefSafe(unsigned char c)
{
    if (IsAsciiLetter(static_cast<char>(c)) || IsDigit(static_cast<char>(c)))
        return true;
    return c != 0 && std::strchr("-._~!$'()*+,;=:@/", c) != nullptr;
}

void AppendPercentEncoded(std::string& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsHrefSafe(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
}

std::string PercentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

struct Attribute
{
    std::string_view Name;
    std::string_view Value;     // as written, between its quotes
    std::size_t ValueStart = 0; // offset of Value in the tag
    char Quote = 0;             // '"', '\'' or 0 for a bare (or missing) value
};

// Walks the attributes of a start tag as the HTML tokenizer splits them, without copying.
class TagReader
{
public:
    // False for end tags, comments, <!...>, <?...> and a '<' that starts no tag.
    bool Open(std::string_view tag)
    {
        if (tag.size() < 2 || tag[0] != '<' || !IsAsciiLetter(tag[1]))
            return false;
        m_tag = tag;
        m_end = std::min(tag.find('>'), tag.size());
        m_pos = 1;
        while (m_pos < m_end && !IsSpace(m_tag[m_pos]) && m_tag[m_pos] != '/')
            ++m_pos;
        m_name = m_tag.substr(1, m_pos - 1);
        return true;
    }

    std::string_view Name() const { return m_name; }

    bool Next(Attribute& attr)
    {
        // A '/' between attributes is ignored.
        while (m_pos < m_end && (IsSpace(m_tag[m_pos]) || m_tag[m_pos] == '/'))
            ++m_pos;
        if (m_pos >= m_end)
            return false;
        const std::size_t nameStart = m_pos++; // a leading '=' belongs to the name
        while (m_pos < m_end && !IsSpace(m_tag[m_pos]) && m_tag[m_pos] != '/' &&
               m_tag[m_pos] != '=')
            ++m_pos;
        attr.Name = m_tag.substr(nameStart, m_pos - nameStart);
        attr.Value = {};
        attr.ValueStart = m_pos;
        attr.Quote = 0;
        std::size_t p = m_pos;
        while (p < m_end && IsSpace(m_tag[p]))
            ++p;
        if (p >= m_end || m_tag[p] != '=')
            return true; // no value; the next attribute starts at p
        ++p;
        while (p < m_end && IsSpace(m_tag[p]))
            ++p;
        if (p < m_end && (m_tag[p] == '"' || m_tag[p] == '\'')) {
            attr.Quote = m_tag[p];
            const std::size_t start = p + 1;
            // An unclosed quote runs to the end of the tag as it was read.
            std::size_t close = m_tag.find(attr.Quote, start);
            if (close == std::string_view::npos || close > m_end)
                close = m_end;
            attr.ValueStart = start;
            attr.Value = m_tag.substr(start, close - start);
            m_pos = close < m_end ? close + 1 : m_end;
        } else {
            const std::size_t start = p;
            while (p < m_end && !IsSpace(m_tag[p]))
                ++p;
            attr.ValueStart = start;
            attr.Value = m_tag.substr(start, p - start);
            m_pos = p;
        }
        return true;
    }

private:
    std::string_view m_tag;
    std::string_view m_name;
    std::size_t m_end = 0;
    std::size_t m_pos = 0;
};

bool StartsMarkup(char c)
{
    return IsAsciiLetter(c) || c == '/' || c == '!' || c == '?';
}

// A '<' followed by anything else is text to browsers ("a < b <i id=x>"): the tag is at the
// next '<'. Empty when there is none.
std::string_view BrowserTag(std::string_view tag)
{
    while (tag.size() >= 2 && !StartsMarkup(tag[1])) {
        const std::size_t next = tag.find('<', 1);
        if (next == std::string_view::npos)
            return {};
        tag.remove_prefix(next);
    }
    return tag;
}

bool EndsWithName(std::string_view text, std::size_t end, std::string_view lowerName)
{
    if (end < lowerName.size() + 1 ||
        !NameIs(text.substr(end - lowerName.size(), lowerName.size()), lowerName))
        return false;
    const char before = text[end - lowerName.size() - 1];
    return IsSpace(before) || before == '/' || before == '"' || before == '\'';
}

// Whether some '=' in a start tag follows an attribute name that may be lowerA or lowerB. A
// plain loop: tags are short, and a library call per '=' costs more than it saves.
bool ScanForAttribute(std::string_view tag, std::string_view lowerA, std::string_view lowerB)
{
    for (std::size_t i = 2; i < tag.size(); ++i) {
        if (tag[i] != '=')
            continue;
        std::size_t nameEnd = i;
        while (nameEnd > 0 && IsSpace(tag[nameEnd - 1]))
            --nameEnd;
        if (EndsWithName(tag, nameEnd, lowerA) || EndsWithName(tag, nameEnd, lowerB))
            return true;
    }
    return false;
}

// Whether the tag may be a start tag with an attribute named lowerA or lowerB that has a value.
// Much cheaper than reading the attributes, and the test most tags fail; a '=' inside a value
// can only make it say yes wrongly, never no.
inline bool MayHaveAttribute(std::string_view tag, std::string_view lowerA, std::string_view lowerB)
{
    // Shorter than "<a id=x" (or "<a href=#x"): most tags of a document end here.
    return tag.size() >= 5 + std::min(lowerA.size(), lowerB.size()) && tag[0] == '<' &&
           tag[1] != '/' && tag[1] != '!' && ScanForAttribute(tag, lowerA, lowerB);
}

// The value decoded, without the white space and controls browsers strip from URLs.
std::string_view CleanUrlPart(std::string_view raw, bool trimFront, bool trimBack,
                              std::string& storage)
{
    std::string_view text = raw;
    if (raw.find('&') != std::string_view::npos) {
        storage = DecodeEntities(raw);
        text = storage;
    }
    auto isStripped = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (trimFront && !text.empty() && isStripped(text.front()))
        text.remove_prefix(1);
    while (trimBack && !text.empty() && isStripped(text.back()))
        text.remove_suffix(1);
    if (text.find_first_of("\t\n\r") != std::string_view::npos) {
        std::string kept;
        for (const char c : text)
            if (c != '\t' && c != '\n' && c != '\r')
                kept += c;
        storage = std::move(kept);
        text = storage;
    }
    return text;
}

// Whether the part of an href before '#' names the source document itself.
bool IsSourceDocument(std::string_view prefix, const PageLinkNames& names)
{
    if (prefix.empty())
        return true;
    while (prefix.size() >= 2 && prefix[0] == '.' && prefix[1] == '/')
        prefix.remove_prefix(2);
    // A query, a scheme, another folder: not a plain name beside the document.
    if (prefix.empty() || prefix.find_first_of("?/\\:") != std::string_view::npos ||
        names.SourceFileName.empty())
        return false;
    return SameFileName(PercentDecode(prefix), names.SourceFileName);
}

bool NeedsQuotes(std::string_view value)
{
    if (value.empty())
        return true;
    for (const char c : value)
        if (IsSpace(c) || c == '"' || c == '\'' || c == '=' || c == '<' || c == '>' || c == '`')
            return true;
    return false;
}

void AppendReplacing(std::string& out, std::string_view text, char from, std::string_view to)
{
    for (const char c : text) {
        if (c == from)
            out += to;
        else
            out += c;
    }
}

template <typename Visit> void ForEachTag(std::string_view markup, Visit visit)
{
    std::size_t pos = 0;
    while (pos < markup.size()) {
        const std::size_t open = markup.find('<', pos);
        if (open == std::string_view::npos)
            break;
        const std::size_t close = markup.find('>', open);
        const std::size_t end = close == std::string_view::npos ? markup.size() : close + 1;
        visit(markup.substr(pos, open - pos), markup.substr(open, end - open));
        pos = end;
    }
    if (pos < markup.size())
        visit(markup.substr(pos), std::string_view{});
}

} // namespace

char32_t Windows1252(unsigned char byte)
{
    return byte >= 0x80 && byte <= 0x9F ? kWindows1252[byte - 0x80] : byte;
}

std::size_t NumericReferenceAt(std::string_view text, std::size_t pos, char32_t& cp)
{
    const std::size_t size = text.size();
    std::size_t i = pos + 2;
    const bool hex = i < size && (text[i] == 'x' || text[i] == 'X');
    if (hex)
        ++i;
    const std::size_t digitsStart = i;
    std::uint32_t value = 0;
    for (; i < size; ++i) {
        const int digit = hex ? HexValue(text[i]) : (IsDigit(text[i]) ? text[i] - '0' : -1);
        if (digit < 0)
            break;
        // Saturate: anything past the last code point is out of range anyway.
        value = value > 0x10FFFF ? value : value * (hex ? 16 : 10) + digit;
    }
    if (i == digitsStart)
        return 0;
    if (i < size && text[i] == ';')
        ++i;
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        cp = 0xFFFD;
    else if (value >= 0x80 && value <= 0x9F)
        cp = kWindows1252[value - 0x80];
    else
        cp = value;
    return i - pos;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string DecodeEntities(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t amp = text.find('&', pos);
        if (amp == std::string_view::npos)
            break;
        out.append(text, pos, amp - pos);
        char32_t cp = 0;
        const std::size_t length = ReferenceAt(text, amp, cp);
        if (length == 0) {
            out += '&';
            pos = amp + 1;
        } else {
            AppendUtf8(out, cp);
            pos = amp + length;
        }
    }
    out.append(text, pos);
    return out;
}

std::string PageHref(const PageLinkNames& names, int page)
{
    return FileHref(names.BaseName + PageNumberText(page) + names.Extension);
}

std::string FileHref(std::string_view fileName)
{
    std::string href;
    AppendPercentEncoded(href, fileName);
    // A page name is a relative path of one segment; a ':' in it would read as a scheme
    // ("c:doc001.htm"), so it is escaped like any other byte that could mislead.
    for (std::size_t colon = href.find(':'); colon != std::string::npos;
         colon = href.find(':', colon))
        href.replace(colon, 1, "%3A");
    return href;
}

std::string FragmentHref(std::string_view anchor)
{
    std::string href;
    AppendPercentEncoded(href, anchor);
    return href;
}

namespace {

// A tag's id and, for an <a>, its name, as written (empty: none). False when it has neither.
bool ReadAnchorValues(std::string_view tag, std::string_view& id, std::string_view& name)
{
    TagReader reader;
    if (!MayHaveAttribute(tag, "id", "name") || !reader.Open(BrowserTag(tag)))
        return false;
    bool seenId = false;
    bool seenName = !NameIs(reader.Name(), "a");
    Attribute attr;
    while ((!seenId || !seenName) && reader.Next(attr)) {
        if (!seenId && NameIs(attr.Name, "id")) {
            seenId = true;
            id = attr.Value;
        } else if (!seenName && NameIs(attr.Name, "name")) {
            seenName = true;
            name = attr.Value;
        }
    }
    return !id.empty() || !name.empty();
}

} // namespace

int TagAnchors(std::string_view tag, std::vector<std::string>& out)
{
    std::string_view id;
    std::string_view name;
    if (!ReadAnchorValues(tag, id, name))
        return 0;
    int added = 0;
    const std::string decodedId = DecodeEntities(id);
    if (!decodedId.empty()) {
        out.push_back(decodedId);
        ++added;
    }
    std::string decodedName = DecodeEntities(name);
    // The same anchor twice adds nothing.
    if (!decodedName.empty() && (added == 0 || decodedName != decodedId)) {
        out.push_back(std::move(decodedName));
        ++added;
    }
    return added;
}

bool TagHasRel(std::string_view tag, std::string_view lowerToken)
{
    TagReader reader;
    if (!reader.Open(BrowserTag(tag)))
        return false;
    Attribute attr;
    while (reader.Next(attr)) {
        if (!NameIs(attr.Name, "rel"))
            continue;
        // rel is a set of space-separated keywords, compared without regard to case.
        const std::string_view value = attr.Value;
        std::size_t pos = 0;
        while (pos < value.size()) {
            while (pos < value.size() && IsSpace(value[pos]))
                ++pos;
            std::size_t end = pos;
            while (end < value.size() && !IsSpace(value[end]))
                ++end;
            if (end > pos && NameIs(value.substr(pos, end - pos), lowerToken))
                return true;
            pos = end;
        }
        return false; // only the first rel counts, as in a browser
    }
    return false;
}

std::string TagId(std::string_view tag)
{
    std::string_view id;
    std::string_view name;
    return ReadAnchorValues(tag, id, name) ? DecodeEntities(id) : std::string();
}

void AnchorMap::AddTag(std::string_view tag, int page)
{
    std::string_view id;
    std::string_view name;
    if (!ReadAnchorValues(tag, id, name))
        return;
    AddId(DecodeEntities(id), page);
    AddName(DecodeEntities(name), page);
}

void AnchorMap::AddMarkup(std::string_view markup, int page)
{
    ForEachTag(markup, [&](std::string_view, std::string_view tag) {
        if (!tag.empty())
            AddTag(tag, page);
    });
}

void AnchorMap::AddId(std::string_view id, int page)
{
    if (!id.empty())
        m_ids.emplace(std::string(id), page);
}

void AnchorMap::AddName(std::string_view name, int page)
{
    if (!name.empty())
        m_names.emplace(std::string(name), page);
}

int AnchorMap::PageOf(std::string_view fragment) const
{
    if (fragment.empty())
        return 0;
    auto find = [this](const std::string& key) {
        if (const auto it = m_ids.find(key); it != m_ids.end())
            return it->second;
        if (const auto it = m_names.find(key); it != m_names.end())
            return it->second;
        return 0;
    };
    const int page = find(std::string(fragment));
    if (page != 0 || fragment.find('%') == std::string_view::npos)
        return page;
    return find(PercentDecode(fragment));
}

bool RewriteTagLink(std::string_view tag, int currentPage, const AnchorMap& anchors,
                    const PageLinkNames& names, std::string& out)
{
    TagReader reader;
    // Only a link with a fragment changes, and its '#' shows even when written &#35;.
    if (!MayHaveAttribute(tag, "href", "href") || tag.find('#') == std::string_view::npos)
        return false;
    const std::string_view inner = BrowserTag(tag);
    if (!reader.Open(inner) || NameIs(reader.Name(), "base"))
        return false;
    Attribute attr;
    bool found = false;
    while (!found && reader.Next(attr))
        found = NameIs(attr.Name, "href");
    const std::string_view raw = attr.Value;
    if (!found || raw.find('#') == std::string_view::npos)
        return false;

    // Where the fragment starts: at the first '#', which may itself be written &#35;.
    std::size_t mark = 0;
    std::size_t fragStart = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '#') {
            mark = i;
            fragStart = i + 1;
            break;
        }
        if (raw[i] == '&') {
            char32_t cp = 0;
            const std::size_t length = ReferenceAt(raw, i, cp);
            if (cp == '#' && length > 0) {
                mark = i;
                fragStart = i + length;
                break;
            }
            if (length > 0)
                i += length - 1;
        }
    }
    if (fragStart == 0)
        return false;
    const std::string_view fragRaw = raw.substr(fragStart);

    std::string prefixStorage;
    std::string fragStorage;
    const std::string_view prefix = CleanUrlPart(raw.substr(0, mark), true, false, prefixStorage);
    const std::string_view fragment = CleanUrlPart(fragRaw, false, true, fragStorage);
    if (fragment.empty() || !IsSourceDocument(prefix, names))
        return false;
    const int page = anchors.PageOf(fragment);
    if (page == 0 || page == currentPage)
        return false;

    const std::string href = PageHref(names, page);
    char quote = attr.Quote;
    std::string value = href;
    value += '#';
    value += fragRaw;
    // The fragment as written already sits in this value; only the page name can spoil it.
    if (quote == 0 && NeedsQuotes(href))
        quote = '"';

    const std::size_t valueStart =
        static_cast<std::size_t>(inner.data() - tag.data()) + attr.ValueStart;
    out.append(tag.substr(0, valueStart));
    if (attr.Quote == 0 && quote != 0)
        out += quote;
    if (quote == '\'') {
        // The page name may hold a "'"; as a reference it keeps the value's own quotes.
        AppendReplacing(out, href, '\'', "&#39;");
        out += '#';
        out.append(fragRaw);
    } else if (quote == '"' && attr.Quote == 0) {
        // A bare value may hold '"', which the new quotes cannot.
        AppendReplacing(out, value, '"', "&quot;");
    } else {
        out += value;
    }
    if (attr.Quote == 0 && quote != 0)
        out += quote;
    out.append(tag.substr(valueStart + raw.size()));
    return true;
}

std::string RewriteMarkupLinks(std::string_view markup, int currentPage, const AnchorMap& anchors,
                               const PageLinkNames& names)
{
    std::string out;
    out.reserve(markup.size());
    ForEachTag(markup, [&](std::string_view text, std::string_view tag) {
        out.append(text);
        if (!tag.empty() && !RewriteTagLink(tag, currentPage, anchors, names, out))
            out.append(tag);
    });
    return out;
}

void MarkupAnchors(std::string_view markup, std::vector<std::string>& out)
{
    ForEachTag(markup, [&](std::string_view, std::string_view tag) {
        if (!tag.empty())
            TagAnchors(tag, out);
    });
}
