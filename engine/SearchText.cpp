#include "engine/SearchText.h"

#include "engine/LinkMarkup.h"

#include <cstdint>
#include <iterator>
#include <string>

namespace searchtext {

namespace {

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsAsciiAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The Latin-1 names, for U+00A0 to U+00FF in order.
constexpr std::string_view kLatin1Names[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

struct OtherName
{
    std::string_view Name;
    char32_t CodePoint;
};
constexpr OtherName kOtherNames[] = {
    {"amp", '&'},      {"lt", '<'},        {"gt", '>'},        {"quot", '"'},     {"apos", '\''},
    {"ndash", 0x2013}, {"mdash", 0x2014},  {"lsquo", 0x2018},  {"rsquo", 0x2019}, {"ldquo", 0x201C},
    {"rdquo", 0x201D}, {"hellip", 0x2026}, {"euro", 0x20AC},   {"trade", 0x2122}, {"bull", 0x2022},
    {"OElig", 0x152},  {"oelig", 0x153},   {"Scaron", 0x160},  {"scaron", 0x161}, {"Yuml", 0x178},
    {"zwnj", 0x200C},  {"zwj", 0x200D},    {"thinsp", 0x2009}, {"ensp", 0x2002},  {"emsp", 0x2003},
    {"rarr", 0x2192},  {"larr", 0x2190},
};

// The value of charset=... in a tag, lower case, or empty.
std::string CharsetIn(std::string_view tag)
{
    std::string lower(tag);
    for (char& c : lower)
        c = LowerAscii(c);
    const std::size_t at = lower.find("charset");
    if (at == std::string::npos)
        return {};
    std::size_t i = at + 7;
    while (i < lower.size() && (lower[i] == ' ' || lower[i] == '\t'))
        ++i;
    if (i >= lower.size() || lower[i] != '=')
        return {};
    ++i;
    while (i < lower.size() && (lower[i] == ' ' || lower[i] == '"' || lower[i] == '\''))
        ++i;
    std::size_t end = i;
    while (end < lower.size() && (IsAsciiAlnum(lower[end]) || lower[end] == '-' ||
                                  lower[end] == '_' || lower[end] == ':' || lower[end] == '.'))
        ++end;
    return lower.substr(i, end - i);
}

} // namespace

bool IsWordCodePoint(char32_t cp)
{
    if (cp < 0x80)
        return (cp >= '0' && cp <= '9') || (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z');
    if (cp < 0xC0)
        return cp == 0xAA || cp == 0xB5 || cp == 0xBA;
    if (cp == 0xD7 || cp == 0xF7)
        return false;
    if ((cp >= 0x2000 && cp <= 0x2BFF) || (cp >= 0x3000 && cp <= 0x303F) ||
        (cp >= 0xFE00 && cp <= 0xFE0F) || cp == 0xFEFF || (cp >= 0xFFF0 && cp <= 0xFFFF) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return false;
    return true;
}

char32_t FoldCodePoint(char32_t cp)
{
    if (cp >= 'A' && cp <= 'Z')
        return cp + 32;
    if (cp < 0xC0)
        return cp;
    if (cp <= 0xDE)
        return cp == 0xD7 ? cp : cp + 32;
    // Latin Extended-A pairs each capital with the small letter next to it.
    if (cp >= 0x100 && cp <= 0x137)
        return cp % 2 == 0 ? cp + 1 : cp;
    if (cp >= 0x139 && cp <= 0x148)
        return cp % 2 == 1 ? cp + 1 : cp;
    if (cp >= 0x14A && cp <= 0x177)
        return cp % 2 == 0 ? cp + 1 : cp;
    if (cp == 0x178)
        return 0xFF;
    if (cp >= 0x179 && cp <= 0x17E)
        return cp % 2 == 1 ? cp + 1 : cp;
    if (cp >= 0x391 && cp <= 0x3A9)
        return cp == 0x3A2 ? cp : cp + 32;
    if (cp == 0x3C2)
        return 0x3C3;
    if (cp >= 0x410 && cp <= 0x42F)
        return cp + 32;
    if (cp >= 0x400 && cp <= 0x40F)
        return cp + 80;
    return cp;
}

Encoding DetectEncoding(std::string_view header)
{
    if (header.starts_with("\xEF\xBB\xBF"))
        return Encoding::Utf8;
    if (header.starts_with("\xFF\xFE") || header.starts_with("\xFE\xFF"))
        return Encoding::Other;
    for (std::size_t pos = header.find('<'); pos != std::string_view::npos;
         pos = header.find('<', pos + 1)) {
        if (header.compare(pos, 4, "<!--") == 0) {
            pos = header.find("-->", pos + 4);
            if (pos == std::string_view::npos)
                break;
            continue;
        }
        if (pos + 5 > header.size() || LowerAscii(header[pos + 1]) != 'm' ||
            LowerAscii(header[pos + 2]) != 'e' || LowerAscii(header[pos + 3]) != 't' ||
            LowerAscii(header[pos + 4]) != 'a')
            continue;
        const std::size_t end = header.find('>', pos);
        const std::string charset = CharsetIn(header.substr(pos, end - pos));
        if (charset.empty())
            continue;
        if (charset == "utf-8" || charset == "utf8" || charset == "unicode-1-1-utf-8")
            return Encoding::Utf8;
        if (charset == "windows-1252" || charset == "iso-8859-1" || charset == "latin1" ||
            charset == "iso_8859-1" || charset == "l1" || charset == "cp1252" ||
            charset == "us-ascii" || charset == "ascii" || charset == "x-cp1252")
            return Encoding::Latin1;
        return Encoding::Other;
    }
    return Encoding::Utf8;
}

std::size_t CharacterReferenceAt(std::string_view text, std::size_t pos, char32_t& cp)
{
    const std::size_t size = text.size();
    const std::size_t i = pos + 1;
    if (i < size && text[i] == '#')
        return NumericReferenceAt(text, pos, cp);
    std::size_t end = i;
    while (end < size && end - i < 8 && IsAsciiAlnum(text[end]))
        ++end;
    if (end == i || end >= size || text[end] != ';')
        return 0;
    const std::string_view name = text.substr(i, end - i);
    for (std::size_t k = 0; k < std::size(kLatin1Names); ++k) {
        if (kLatin1Names[k] == name) {
            cp = static_cast<char32_t>(0xA0 + k);
            return end + 1 - pos;
        }
    }
    for (const OtherName& other : kOtherNames) {
        if (other.Name == name) {
            cp = other.CodePoint;
            return end + 1 - pos;
        }
    }
    return 0;
}

} // namespace searchtext
