#include "shell/namespace/ShellNames.h"

#include <QChar>
#include <QString>
#include <functional>

std::string EnsureTrailingChar(const std::string& text, char ch)
{
    if (text.empty() || text.back() == ch)
        return text;
    return text + ch;
}

namespace {

// Decodes one UTF-8 character; invalid bytes stand for themselves.
char32_t NextChar(std::string_view text, std::size_t& pos)
{
    unsigned char c = static_cast<unsigned char>(text[pos]);
    if (c < 0x80) {
        ++pos;
        return c;
    }
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra == 0 || pos + static_cast<std::size_t>(extra) >= text.size()) {
        ++pos;
        return 0xDC00 + c;
    }
    char32_t value = c & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        unsigned char next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return 0xDC00 + c;
        }
        value = (value << 6) | (next & 0x3F);
    }
    pos += static_cast<std::size_t>(extra) + 1;
    return value;
}

char32_t Fold(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

// The letter without its accents, so that names sort as a file manager shows them: "Über"
// beside "uber", not after "z".
char32_t BaseLetter(char32_t c)
{
    while (c >= 0xC0 && QChar::decompositionTag(c) == QChar::Canonical) {
        QString parts = QChar::decomposition(c);
        if (parts.isEmpty())
            break;
        char32_t base = parts.at(0).isHighSurrogate() && parts.size() > 1
                            ? QChar::surrogateToUcs4(parts.at(0), parts.at(1))
                            : parts.at(0).unicode();
        if (base == c)
            break;
        c = base;
    }
    return c;
}

bool IsAscii(std::string_view text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// '*' and '?' wildcards with backtracking to the last '*'; same() compares two characters.
template <typename Seq, typename Same> bool MatchSeq(const Seq& pattern, const Seq& name, Same same)
{
    std::size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || (pattern[p] != '*' && same(pattern[p], name[n])))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::u32string Folded(std::string_view text)
{
    std::u32string result;
    for (std::size_t pos = 0; pos < text.size();)
        result.push_back(Fold(NextChar(text, pos)));
    return result;
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

} // namespace

std::string FoldForCompare(std::string_view name)
{
    std::string folded;
    folded.reserve(name.size());
    for (std::size_t pos = 0; pos < name.size();) {
        if (static_cast<unsigned char>(name[pos]) < 0x80) {
            folded += AsciiLower(name[pos++]);
            continue;
        }
        char32_t c = Fold(BaseLetter(NextChar(name, pos)));
        // Back to UTF-8, so that folded texts compare in character order.
        if (c < 0x80) {
            folded += static_cast<char>(c);
            continue;
        }
        if (c < 0x800) {
            folded += static_cast<char>(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            folded += static_cast<char>(0xE0 | (c >> 12));
            folded += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        } else {
            folded += static_cast<char>(0xF0 | (c >> 18));
            folded += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            folded += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        folded += static_cast<char>(0x80 | (c & 0x3F));
    }
    return folded;
}

// Natural order of two folded names: runs of digits compare by their value.
int CompareFoldedNatural(std::string_view a, std::string_view b)
{
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t si = i, sj = j;
            while (si < a.size() && a[si] == '0')
                ++si;
            while (sj < b.size() && b[sj] == '0')
                ++sj;
            std::size_t ei = si, ej = sj;
            while (ei < a.size() && isDigit(a[ei]))
                ++ei;
            while (ej < b.size() && isDigit(b[ej]))
                ++ej;
            if (ei - si != ej - sj)
                return ei - si < ej - sj ? -1 : 1;
            int order = a.substr(si, ei - si).compare(b.substr(sj, ej - sj));
            if (order != 0)
                return order < 0 ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

bool WildcardMatch(std::string_view pattern, std::string_view name)
{
    // As the file system matches: a final ".*" also takes a name without an extension, so that
    // "*.*" is every name.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos)
        return WildcardMatch(pattern.substr(0, pattern.size() - 2), name);
    if (IsAscii(pattern) && IsAscii(name))
        return MatchSeq(pattern, name,
                        [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
    return MatchSeq(Folded(pattern), Folded(name), std::equal_to<>());
}

int CompareNamesNatural(std::string_view a, std::string_view b)
{
    return CompareFoldedNatural(FoldForCompare(a), FoldForCompare(b));
}
