#include "fuzz/checks/LinkCheck.h"

#include "engine/LinkMarkup.h"
#include "engine/PageHead.h"
#include "engine/PageManifest.h"
#include "engine/PathNames.h"
#include "fuzz/checks/ByteReader.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

namespace fuzzcheck {

namespace {

constexpr std::size_t kMaxAnchors = 32;
constexpr std::size_t kMaxSubject = 4096;

// ---- a small JSON reader, strict about UTF-8, for the manifest

struct Json
{
    enum Kind
    {
        Null,
        Number,
        String,
        Array,
        Object
    } Type = Null;
    std::string Text; // a number as written, or a string decoded
    std::vector<Json> Items;
    std::vector<std::string> Keys; // an object's member names, in order
    std::vector<Json> Values;      // and their values

    const Json* Member(std::string_view name) const
    {
        for (std::size_t i = 0; i < Keys.size(); ++i)
            if (Keys[i] == name)
                return &Values[i];
        return nullptr;
    }
};

// Length of the well-formed UTF-8 sequence at text[pos], 0 when there is none.
std::size_t Utf8Length(std::string_view text, std::size_t pos)
{
    const auto at = [&](std::size_t i) {
        return pos + i < text.size() ? static_cast<unsigned char>(text[pos + i]) : 0u;
    };
    const unsigned lead = at(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    std::uint32_t cp = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        cp = lead & 0x07;
    } else {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((at(i) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (at(i) & 0x3F);
    }
    constexpr std::uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kShortest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

bool IsValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8Length(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

class JsonReader
{
public:
    explicit JsonReader(std::string_view text) : m_text(text) {}

    // The whole text as one value; fault() tells why it is none.
    bool Document(Json& value)
    {
        if (!Value(value, 0))
            return false;
        Space();
        return m_pos == m_text.size() || Fail("text after the value");
    }
    const std::string& Fault() const { return m_fault; }

private:
    bool Fail(const std::string& why)
    {
        if (m_fault.empty())
            m_fault = why + " at byte " + std::to_string(m_pos);
        return false;
    }
    void Space()
    {
        while (m_pos < m_text.size() &&
               std::string_view(" \t\r\n").find(m_text[m_pos]) != std::string_view::npos)
            ++m_pos;
    }
    bool Take(char c)
    {
        Space();
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word)
    {
        if (m_text.substr(m_pos, word.size()) != word)
            return Fail("unknown word");
        m_pos += word.size();
        return true;
    }
    bool Hex4(std::uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i, ++m_pos) {
            if (m_pos >= m_text.size())
                return Fail("cut \\u escape");
            const char c = m_text[m_pos];
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0)
                return Fail("bad \\u escape");
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        return true;
    }
    bool String(std::string& out)
    {
        ++m_pos; // the opening quote
        for (;;) {
            if (m_pos >= m_text.size())
                return Fail("unterminated string");
            const auto c = static_cast<unsigned char>(m_text[m_pos]);
            if (c == '"') {
                ++m_pos;
                return true;
            }
            if (c < 0x20)
                return Fail("raw control character in a string");
            if (c >= 0x80) {
                const std::size_t n = Utf8Length(m_text, m_pos);
                if (n == 0)
                    return Fail("invalid UTF-8 in a string");
                out.append(m_text, m_pos, n);
                m_pos += n;
                continue;
            }
            ++m_pos;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (m_pos >= m_text.size())
                return Fail("cut escape");
            const char e = m_text[m_pos++];
            const std::string_view simple = "\"\\/bfnrt";
            const std::string_view meant = "\"\\/\b\f\n\r\t";
            if (const auto k = simple.find(e); k != std::string_view::npos) {
                out += meant[k];
                continue;
            }
            if (e != 'u')
                return Fail("unknown escape");
            std::uint32_t cp = 0;
            if (!Hex4(cp))
                return false;
            if (cp >= 0xDC00 && cp <= 0xDFFF)
                return Fail("lone low surrogate");
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                std::uint32_t low = 0;
                if (!Word("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF)
                    return Fail("lone high surrogate");
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            }
            AppendUtf8(out, static_cast<char32_t>(cp));
        }
    }
    bool Number(std::string& out)
    {
        const std::size_t start = m_pos;
        auto digits = [&] {
            const std::size_t from = m_pos;
            while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9')
                ++m_pos;
            return m_pos - from;
        };
        if (m_text[m_pos] == '-')
            ++m_pos;
        const std::size_t intStart = m_pos;
        const std::size_t intDigits = digits();
        if (intDigits == 0 || (intDigits > 1 && m_text[intStart] == '0'))
            return Fail("bad number");
        if (m_pos < m_text.size() && m_text[m_pos] == '.') {
            ++m_pos;
            if (digits() == 0)
                return Fail("bad fraction");
        }
        if (m_pos < m_text.size() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
            ++m_pos;
            if (m_pos < m_text.size() && (m_text[m_pos] == '+' || m_text[m_pos] == '-'))
                ++m_pos;
            if (digits() == 0)
                return Fail("bad exponent");
        }
        out.assign(m_text, start, m_pos - start);
        return true;
    }
    bool Value(Json& value, int depth)
    {
        if (depth > 64)
            return Fail("nested too deep");
        Space();
        if (m_pos >= m_text.size())
            return Fail("missing value");
        const char c = m_text[m_pos];
        if (c == '"') {
            value.Type = Json::String;
            return String(value.Text);
        }
        if (c == '-' || (c >= '0' && c <= '9')) {
            value.Type = Json::Number;
            return Number(value.Text);
        }
        if (c == 'n')
            return Word("null");
        if (c == 't' || c == 'f')
            return Fail("unexpected boolean");
        if (c != '[' && c != '{')
            return Fail("unexpected byte");
        ++m_pos;
        const bool isArray = c == '[';
        value.Type = isArray ? Json::Array : Json::Object;
        const char close = isArray ? ']' : '}';
        if (Take(close))
            return true;
        do {
            if (isArray) {
                value.Items.emplace_back();
                if (!Value(value.Items.back(), depth + 1))
                    return false;
                continue;
            }
            Space();
            std::string key;
            if (m_pos >= m_text.size() || m_text[m_pos] != '"' || !String(key))
                return Fail("bad member name");
            if (!Take(':'))
                return Fail("missing ':'");
            value.Keys.push_back(std::move(key));
            value.Values.emplace_back();
            if (!Value(value.Values.back(), depth + 1))
                return false;
        } while (Take(','));
        return Take(close) || Fail("missing end of array or object");
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::string m_fault;
};

// ---- helpers of the checks

std::string AsciiOnly(std::string_view text)
{
    std::string out;
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x80)
            out += c;
    return out;
}

bool IsWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether text at pos holds name (lower case, text in any case) where a tag name ends.
bool NameAt(std::string_view text, std::size_t pos, std::string_view name)
{
    if (pos + name.size() > text.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (Lower(text[pos + i]) != name[i])
            return false;
    const std::size_t after = pos + name.size();
    return after == text.size() || IsWhite(text[after]) || text[after] == '>' || text[after] == '/';
}

std::size_t CountOf(std::string_view text, char c)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

std::string CleanName(std::string text)
{
    std::erase_if(text, [](char c) { return c == '/'; });
    return text;
}

struct Input
{
    int Piece = 0;
    int CurrentPage = 0;
    PageLinkNames Names;
    AnchorMap Anchors;
    std::set<int> Pages{0};
    std::vector<std::pair<std::uint8_t, std::string>> AnchorList;
    std::string Extra;
    std::string Subject;
};

Input Read(std::string_view bytes)
{
    ByteReader in(bytes);
    Input input;
    input.Piece = in.Byte() % 6;
    input.CurrentPage = in.Byte();
    input.Names.BaseName = CleanName(in.Text());
    input.Names.Extension = CleanName(in.Text());
    // As the engine names them: the document's own name gives the pages theirs.
    input.Names.SourceFileName = input.Names.BaseName + input.Names.Extension;
    const std::size_t anchors = std::min<std::size_t>(in.Byte(), kMaxAnchors);
    for (std::size_t i = 0; i < anchors; ++i) {
        const std::uint8_t choice = in.Byte();
        std::string text = in.Text();
        const int page = std::max(1, choice & 0x7f);
        if (choice & 0x80)
            input.Anchors.AddName(text, page);
        else
            input.Anchors.AddId(text, page);
        input.Pages.insert(page);
        input.AnchorList.emplace_back(choice, std::move(text));
    }
    input.Extra = in.Text();
    input.Subject = in.Take(kMaxSubject);
    return input;
}

PageLinkNames NamesOfPage(const PageLinkNames& names, int page)
{
    // Links into that page read as links into "the document" for a second split.
    return {"other", ".x", names.BaseName + PageNumberText(page) + names.Extension};
}

std::string CheckTag(const Input& in)
{
    // The tag as the engine reads it: from its '<' to its first '>'.
    const std::string tag = "<" + in.Subject.substr(0, in.Subject.find('>')) + ">";
    std::vector<std::string> anchorsBefore;
    TagAnchors(tag, anchorsBefore);

    // The link changes on every page but one, the page of its anchor, and alike on each.
    std::string rewritten;
    std::vector<int> keptOn;
    bool changed = false;
    for (const int page : in.Pages) {
        std::string out = "kept";
        if (!RewriteTagLink(tag, page, in.Anchors, in.Names, out)) {
            if (out != "kept")
                return "a tag left alone still wrote to the output";
            keptOn.push_back(page);
            continue;
        }
        if (out.compare(0, 4, "kept") != 0)
            return "a rewritten tag replaced what the output held";
        out.erase(0, 4);
        if (changed && out != rewritten)
            return "the rewritten tag depends on the page it is on";
        rewritten = std::move(out);
        changed = true;
    }
    if (!changed)
        return {};
    if (keptOn.size() != 1 || keptOn.front() == 0)
        return "a link was rewritten on its own page or left on another";
    const int target = keptOn.front();

    if (rewritten.front() != '<' || rewritten.back() != '>' || CountOf(rewritten, '>') != 1)
        return "the rewritten tag is no longer one tag: " + rewritten;
    if (const std::size_t eq = tag.find('=');
        eq == std::string::npos || rewritten.compare(0, eq + 1, tag, 0, eq + 1) != 0)
        return "the rewritten tag changed bytes before its first attribute value";
    std::vector<std::string> anchorsAfter;
    TagAnchors(rewritten, anchorsAfter);
    if (anchorsAfter != anchorsBefore)
        return "the rewritten tag defines other anchors: " + rewritten;
    std::string again;
    for (const int page : in.Pages)
        if (RewriteTagLink(rewritten, page, in.Anchors, in.Names, again))
            return "a rewritten link was rewritten again: " + again;
    // Read as a browser would, the new link leads into the anchor's page, to the same anchor.
    if (!RewriteTagLink(rewritten, 0, in.Anchors, NamesOfPage(in.Names, target), again))
        return "the rewritten link does not lead to page " + std::to_string(target) + ": " +
               rewritten;
    return {};
}

std::string CheckMarkup(const Input& in)
{
    const std::string out = RewriteMarkupLinks(in.Subject, in.CurrentPage, in.Anchors, in.Names);
    if (CountOf(out, '<') != CountOf(in.Subject, '<') ||
        CountOf(out, '>') != CountOf(in.Subject, '>'))
        return "rewriting links added or removed tags";
    if (in.Subject.find('#') == std::string::npos && out != in.Subject)
        return "markup without a fragment changed";
    std::vector<std::string> before;
    std::vector<std::string> after;
    MarkupAnchors(in.Subject, before);
    MarkupAnchors(out, after);
    if (before != after)
        return "rewriting links changed the anchors of the markup";
    if (RewriteMarkupLinks(out, in.CurrentPage, in.Anchors, in.Names) != out)
        return "rewriting rewritten markup changed it again";
    return {};
}

std::string CheckEntities(const Input& in)
{
    const std::string& text = in.Subject;
    const std::string decoded = DecodeEntities(text);
    if (decoded.size() > text.size())
        return "decoding made the text longer";
    if (text.find('&') == std::string::npos && decoded != text)
        return "a text without references changed";
    if (IsValidUtf8(text) && !IsValidUtf8(decoded))
        return "decoding valid UTF-8 gave invalid UTF-8";
    // Every '&' written as a reference decodes back to the text itself.
    std::string escaped;
    for (const char c : text)
        escaped += c == '&' ? std::string_view("&amp;") : std::string_view(&c, 1);
    if (DecodeEntities(escaped) != text)
        return "an escaped '&' did not decode back to the text";
    return {};
}

// The header's own text collapsed the way titles are: runs of white space one space, none at
// the ends.
std::string Collapse(std::string_view text)
{
    std::string out;
    bool space = false;
    for (const char c : text) {
        if (IsWhite(c)) {
            space = !out.empty();
            continue;
        }
        if (space)
            out += ' ';
        space = false;
        out += c;
    }
    return out;
}

std::string CheckTitle(const Input& in)
{
    const std::string& header = in.Subject;
    const std::string heading = HeadingText(in.Extra);
    for (std::size_t i = 0; i < heading.size(); ++i) {
        if (heading[i] != ' ' && IsWhite(heading[i]))
            return "a heading text keeps a line break or tab";
        if (heading[i] == ' ' && (i == 0 || i + 1 == heading.size() || heading[i + 1] == ' '))
            return "a heading text keeps a space at an end or two in a row";
    }
    const std::string titled = HeaderWithPageTitle(header, heading);
    if (titled == header)
        return {};
    if (heading.empty())
        return "an empty heading changed the title";
    // Some <title ...> start tag ends at i and some </title starts at j; between them only the
    // title text changed, to the heading, " - " and its own text.
    std::size_t same = 0;
    while (same < header.size() && same < titled.size() && header[same] == titled[same])
        ++same;
    for (std::size_t start = 0; (start = header.find('<', start)) < same; ++start) {
        if (!NameAt(header, start + 1, "title"))
            continue;
        const std::size_t close = header.find('>', start);
        if (close == std::string::npos || close >= same)
            break;
        const std::size_t i = close + 1;
        for (std::size_t j = header.find("</", i); j != std::string::npos;
             j = header.find("</", j + 1)) {
            if (!NameAt(header, j + 2, "title"))
                continue;
            const std::string own = Collapse(std::string_view(header).substr(i, j - i));
            const std::string expected =
                header.substr(0, i) + heading + (own.empty() ? "" : " - " + own) + header.substr(j);
            if (expected == titled)
                return {};
            break;
        }
    }
    return "the page title changed more than the title's text";
}

std::string CheckHeadLinks(const Input& in)
{
    const std::string& header = in.Subject;
    const std::string& markup = in.Extra;
    const std::string out = HeaderWithHeadLinks(header, markup);
    if (out.size() != header.size() + markup.size())
        return "head links changed the length of the head";
    // Where the markup went: before it and after it, the header's own bytes.
    std::size_t prefix = 0;
    while (prefix < header.size() && out[prefix] == header[prefix])
        ++prefix;
    const bool hasTag = header.find('<') != std::string::npos;
    bool fits = false;
    for (std::size_t at = prefix + 1; at-- > 0;) {
        if (out.compare(at, markup.size(), markup) != 0 ||
            out.compare(at + markup.size(), std::string::npos, header, at) != 0)
            continue;
        fits = true;
        // Several places may give the same bytes; one of them must be before a tag.
        if (at < header.size() ? header[at] == '<' : !hasTag)
            return {};
    }
    return fits ? "head links went somewhere else than before a tag"
                : "head links changed bytes of the head";
}

std::string CheckManifest(const Input& in)
{
    std::vector<ManifestPage> pages;
    for (const auto& [choice, text] : in.AnchorList) {
        ManifestPage page;
        page.File = text;
        page.Level = static_cast<std::int8_t>(choice);
        page.Heading = in.Extra;
        for (const auto& [unused, anchor] : in.AnchorList)
            page.Anchors.push_back(anchor);
        page.Anchors.resize(pages.size());
        pages.push_back(std::move(page));
    }
    const std::string source = in.Names.BaseName + in.Subject;
    const std::string index = in.Names.Extension;
    const std::string json = ManifestJson(source, index, pages);
    if (json.empty() || json.back() != '\n')
        return "the manifest does not end with a line feed";
    Json doc;
    JsonReader reader(json);
    if (!reader.Document(doc))
        return "the manifest is no valid JSON: " + reader.Fault();

    auto same = [](const Json* value, const std::string& text) {
        return value && value->Type == Json::String && SameAsWritten(value->Text, text);
    };
    if (doc.Type != Json::Object || !same(doc.Member("source"), source) ||
        !same(doc.Member("index"), index))
        return "the manifest's source or index is not the one given";
    const Json* list = doc.Member("pages");
    if (!list || list->Type != Json::Array || list->Items.size() != pages.size())
        return "the manifest does not list every page";
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const Json& page = list->Items[i];
        if (!same(page.Member("file"), pages[i].File))
            return "page " + std::to_string(i) + " has another file name";
        const Json* level = page.Member("level");
        const Json* heading = page.Member("heading");
        if (!level || !heading)
            return "page " + std::to_string(i) + " lacks its level or heading";
        if (pages[i].Level > 0) {
            if (level->Type != Json::Number || level->Text != std::to_string(pages[i].Level) ||
                !same(heading, pages[i].Heading))
                return "page " + std::to_string(i) + " has another level or heading";
        } else if (level->Type != Json::Null || heading->Type != Json::Null) {
            return "page " + std::to_string(i) + " without a heading shows one";
        }
        const Json* anchors = page.Member("anchors");
        if (!anchors || anchors->Type != Json::Array ||
            anchors->Items.size() != pages[i].Anchors.size())
            return "page " + std::to_string(i) + " lists other anchors";
        for (std::size_t a = 0; a < pages[i].Anchors.size(); ++a)
            if (!same(&anchors->Items[a], pages[i].Anchors[a]))
                return "page " + std::to_string(i) + " changed an anchor";
    }
    return {};
}

} // namespace

bool SameAsWritten(std::string_view read, std::string_view written)
{
    return IsValidUtf8(written)
               ? read == written
               : AsciiOnly(read) == AsciiOnly(written) && read.size() >= written.size();
}

std::vector<std::string> ManifestFiles(std::string_view json, std::string& fault)
{
    Json doc;
    JsonReader reader(json);
    if (!reader.Document(doc)) {
        fault = "no valid JSON: " + reader.Fault();
        return {};
    }
    const Json* pages = doc.Member("pages");
    if (!pages || pages->Type != Json::Array) {
        fault = "no list of pages";
        return {};
    }
    std::vector<std::string> files;
    for (const Json& page : pages->Items) {
        const Json* file = page.Member("file");
        if (!file || file->Type != Json::String) {
            fault = "a page without a file name";
            return {};
        }
        files.push_back(file->Text);
    }
    return files;
}

std::string JsonFault(std::string_view json)
{
    Json doc;
    JsonReader reader(json);
    return reader.Document(doc) ? std::string() : reader.Fault();
}

std::string CheckLinks(std::string_view bytes)
{
    const Input in = Read(bytes);
    switch (in.Piece) {
    case 0:
        return CheckTag(in);
    case 1:
        return CheckMarkup(in);
    case 2:
        return CheckEntities(in);
    case 3:
        return CheckTitle(in);
    case 4:
        return CheckHeadLinks(in);
    default:
        return CheckManifest(in);
    }
}

} // namespace fuzzcheck
