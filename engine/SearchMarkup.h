#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// How the search index reads markup in running text: the class of each ASCII byte, which tags
// leave a word whole, and the tags and references its fast loop passes over by itself. Inline:
// they run for nearly every byte and tag of a document.
namespace searchmarkup {

constexpr std::size_t kTagRoom = 256; // bytes of a tag kept to read its name and id

// How the text loop takes each ASCII byte.
enum : unsigned char
{
    kOther,  // ends a word
    kLetter, // a letter or digit
    kMarkup, // '<' or '&'
    kHigh,   // not ASCII
};

inline constexpr auto kAsciiClass = [] {
    std::array<unsigned char, 256> table{};
    for (int b = 0; b < 256; ++b) {
        const bool alnum =
            (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
        table[b] = b >= 0x80 ? kHigh : alnum ? kLetter : b == '<' || b == '&' ? kMarkup : kOther;
    }
    return table;
}();

// A name of up to eight bytes as one number, its first byte lowest, as eight bytes of memory
// read on a little-endian machine hold it.
constexpr std::uint64_t PackName(std::string_view name)
{
    std::uint64_t packed = 0;
    for (std::size_t i = 0; i < name.size() && i < 8; ++i)
        packed |= std::uint64_t{static_cast<unsigned char>(name[i])} << (8 * i);
    return packed;
}

// What a tag without attributes does to the text around it.
enum class TagKind : unsigned char
{
    Break,   // ends a word, as a space
    Inline,  // leaves a word whole: "<b>bold</b>ly"
    Special, // a heading, a script or a style: only TagDone knows
};

// The tags other than breaks, by their packed lower-case names, in a table asked at every tag.
class TagKinds
{
public:
    constexpr TagKinds()
    {
        const std::string_view inlines[] = {
            "a",      "abbr", "acronym", "b",    "bdi",  "bdo",   "big",  "cite",
            "code",   "data", "del",     "dfn",  "em",   "font",  "i",    "ins",
            "kbd",    "mark", "q",       "s",    "samp", "small", "span", "strike",
            "strong", "sub",  "sup",     "time", "tt",   "u",     "var",  "wbr"};
        for (const std::string_view name : inlines)
            Add(name, TagKind::Inline);
        for (const std::string_view name : {"h1", "h2", "h3", "h4", "h5", "h6", "script", "style"})
            Add(name, TagKind::Special);
    }
    constexpr TagKind Of(std::uint64_t name) const
    {
        for (std::size_t i = SlotOf(name);; i = (i + 1) % kSize) {
            if (m_names[i] == name)
                return m_kinds[i];
            if (m_names[i] == 0)
                return TagKind::Break;
        }
    }

private:
    static constexpr std::size_t kSize = 128;
    static constexpr std::size_t SlotOf(std::uint64_t name)
    {
        return static_cast<std::size_t>((name * 0x9E3779B97F4A7C15ull) >> 57);
    }
    constexpr void Add(std::string_view text, TagKind kind)
    {
        const std::uint64_t name = PackName(text);
        std::size_t i = SlotOf(name);
        while (m_names[i] != 0)
            i = (i + 1) % kSize;
        m_names[i] = name;
        m_kinds[i] = kind;
    }

    std::array<std::uint64_t, kSize> m_names{};
    std::array<TagKind, kSize> m_kinds{};
};
inline constexpr TagKinds kTagKinds;

inline TagKind KindOfTag(std::string_view lowerName)
{
    return lowerName.empty() || lowerName.size() > 8 ? TagKind::Break
                                                     : kTagKinds.Of(PackName(lowerName));
}

struct Masks
{
    std::uint64_t Letters = 0; // ASCII letters and digits
    std::uint64_t Stops = 0;   // '<', '&' and bytes that are not ASCII
};

#if defined(__SSE2__)
// 0xFF for each byte in [low, low + count): byte - low - 128 is below count - 128 as a signed byte.
inline __m128i BytesIn(__m128i x, char low, char count)
{
    return _mm_cmplt_epi8(_mm_sub_epi8(x, _mm_set1_epi8(static_cast<char>(low + 128))),
                          _mm_set1_epi8(static_cast<char>(count - 128)));
}

inline __m128i AlnumBytes(__m128i x)
{
    return _mm_or_si128(BytesIn(_mm_or_si128(x, _mm_set1_epi8(0x20)), 'a', 26),
                        BytesIn(x, '0', 10));
}
#endif

// Reads 64 bytes.
inline Masks Classify64(const unsigned char* p)
{
    Masks masks;
#if defined(__SSE2__)
    for (int i = 0; i < 4; ++i) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        const __m128i markup = _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('<')),
                                            _mm_cmpeq_epi8(x, _mm_set1_epi8('&')));
        const auto bits = [](__m128i m) {
            return static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(m)));
        };
        masks.Letters |= bits(AlnumBytes(x)) << (16 * i);
        masks.Stops |= (bits(markup) | bits(x)) << (16 * i);
    }
#else
    for (int i = 0; i < 64; ++i) {
        const unsigned char kind = kAsciiClass[p[i]];
        masks.Letters |= static_cast<std::uint64_t>(kind == kLetter) << i;
        masks.Stops |= static_cast<std::uint64_t>(kind == kMarkup || kind == kHigh) << i;
    }
#endif
    return masks;
}

inline bool IsAsciiAlnum(unsigned char b)
{
    return (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
}

// The tag that starts at q ('<'), from '<' to '>', when its end is within reach of a tag's
// first bytes; empty otherwise, for the states to read.
inline std::string_view TagAt(const unsigned char* q, const unsigned char* end)
{
    const unsigned char* p = q + 1;
    if (p >= end || !(*p == '/' || *p == '?' || IsAsciiAlnum(*p)))
        return {};
    const auto* gt = static_cast<const unsigned char*>(
        std::memchr(p, '>', std::min(static_cast<std::size_t>(end - p), kTagRoom)));
    if (!gt)
        return {};
    return {reinterpret_cast<const char*>(q), static_cast<std::size_t>(gt + 1 - q)};
}

struct TagName
{
    bool End = false;
    char Lower[8] = {};
    std::size_t Length = 0; // 0 for a name longer than any looked for
    std::string_view View() const { return {Lower, Length}; }
};

// The name in lower case; a name longer than any we look for is left out.
inline TagName ReadTagName(std::string_view tag)
{
    TagName name;
    name.End = tag.size() > 1 && tag[1] == '/';
    const std::size_t start = name.End ? 2 : 1;
    std::size_t stop = start;
    while (stop < tag.size() && IsAsciiAlnum(static_cast<unsigned char>(tag[stop])))
        ++stop;
    if (stop - start > sizeof name.Lower)
        return name;
    for (std::size_t i = start; i < stop; ++i) {
        const char c = tag[i];
        name.Lower[i - start] = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    }
    name.Length = stop - start;
    return name;
}

// "<name>" or "</name>" with a name of one to eight ASCII letters and digits, nearly every tag
// of a long document, read from the sixteen bytes at q ('<'): the name folded to lower case
// and packed, and the tag's size; size 0 for any other tag.
struct SimpleTag
{
    std::uint64_t Name = 0;
    std::size_t Size = 0;
};

// The name packed as a little-endian machine reads it.
inline SimpleTag ReadSimpleTag(const unsigned char* q)
{
    const std::size_t start = q[1] == '/' ? 2 : 1;
#if defined(__SSE2__)
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    const auto alnum = static_cast<std::uint64_t>(_mm_movemask_epi8(AlnumBytes(x)));
    const auto length = static_cast<std::size_t>(std::countr_zero(~(alnum >> start)));
#else
    std::size_t length = 0;
    while (length < 9 && IsAsciiAlnum(q[start + length]))
        ++length;
#endif
    if (length == 0 || length > 8 || q[start + length] != '>')
        return {};
    // Letters and digits fold by setting 0x20; the bytes past the name are masked off.
    std::uint64_t name = 0;
    std::memcpy(&name, q + start, 8);
    const std::uint64_t mask = length == 8 ? ~0ull : (1ull << (8 * length)) - 1;
    return {(name | 0x2020202020202020ull) & mask, start + length + 1};
}

// A reference to a character that is neither letter nor digit, which in running text only
// ends a word: its size at q ('&', with eight bytes to read), or 0 for any other.
inline std::size_t PunctuationReference(const unsigned char* q)
{
    static constexpr std::string_view kReferences[] = {"&amp;", "&lt;",   "&gt;",  "&quot;",
                                                       "&#39;", "&apos;", "&nbsp;"};
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < 8; ++i)
        bytes |= std::uint64_t{q[i]} << (8 * i);
    for (const std::string_view reference : kReferences) {
        const std::uint64_t mask = (1ull << (8 * reference.size())) - 1;
        if ((bytes & mask) == PackName(reference))
            return reference.size();
    }
    return 0;
}

// Whether a word may go on past an inline tag that ends at after ("<b>bold</b>ly"): the text
// that follows is not at hand, or is not a plain ASCII separator.
inline bool WordGoesOnAfter(const unsigned char* after, const unsigned char* end)
{
    return after == end || kAsciiClass[*after] != kOther;
}

inline bool IsSpace(char32_t cp)
{
    return cp == ' ' || cp == '\t' || cp == '\n' || cp == '\r' || cp == '\f' || cp == 0xA0;
}

} // namespace searchmarkup
