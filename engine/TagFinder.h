#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QUIREFOLD_TAGFINDER_SSE2 1
#endif
// Where the compiler can build code for later processors than the one it targets, the scan
// has further forms for processors with AVX2 and with AVX-512, chosen when the program runs.
#if defined(QUIREFOLD_TAGFINDER_SSE2) && defined(__GNUC__) && defined(__x86_64__) &&               \
    !defined(_WIN32)
#include <immintrin.h>
#define QUIREFOLD_TAGFINDER_WIDE 1
#define QUIREFOLD_TARGET_AVX2 __attribute__((target("avx2,popcnt,bmi,bmi2")))
#define QUIREFOLD_TARGET_AVX512                                                                    \
    __attribute__((target("avx512f,avx512bw,avx512vl,avx2,popcnt,bmi,bmi2")))
#endif

// A buffer is scanned 64 bytes at a time, a block, with one bit per byte. Tags in real
// documents are a few dozen bytes apart, too close for a memchr per search to pay off, and
// most of them are of no interest to the splitter: their bits are passed over by the dozen.
namespace tagfinder {

// A buffer scanned this way must be readable (and should be initialised) this many bytes past
// its length: a block is read whole, and its Known bits look three bytes further.
inline constexpr std::size_t kPadding = 80;

// Whether the tag at tag (its '<' first) may be of a kind ClassifyTag (engine/HTMLFile.h) tells
// apart, judged by its second and third bytes, or for a closing tag its third and fourth: "bo"
// or "h1".."h3". Bit 5 folds ASCII case, and lets a few other bytes through; ClassifyTag has
// the last word. Reads four bytes, which may lie past a short tag's '>'.
inline bool MayBeKnown(const char* tag)
{
    const unsigned b1 = static_cast<unsigned char>(tag[1]) | 0x20u;
    const unsigned b2 = static_cast<unsigned char>(tag[2]) | 0x20u;
    const unsigned b3 = static_cast<unsigned char>(tag[3]) | 0x20u;
    const bool closing = b1 == '/';
    const unsigned first = closing ? b2 : b1;
    const unsigned second = closing ? b3 : b2;
    return (first == 'b' && second == 'o') | (first == 'h' && second - '1' < 3u);
}

// The '<' and '>' of one block.
struct Masks
{
    std::uint64_t Open = 0;  // '<'
    std::uint64_t Close = 0; // '>'
};

struct Tags
{
    std::uint64_t Starts = 0; // the '<' that begin a tag
    std::uint64_t Ends = 0;   // the '>' that end one
    bool InsideAfter = false; // the block ends inside a tag
};

// Where the tags of a block begin and end, from bit from on, for a scan inside a tag there or
// not. Inside a tag a '<' is part of it, and outside one a '>' is text: a '<' begins a tag
// when the last '<' or '>' before it is a '>', a '>' ends one when the last is a '<'. An
// addition finds those: a carry put in just after each '>' (or each '<') runs over the plain
// bytes and lands on the next '<' or '>'; one more is put in at from for the state there. The
// block ends inside a tag when its last '<' or '>' is a '<', which as a number is then the
// larger mask.
inline Tags TagsIn(const Masks& m, std::size_t from, bool inside)
{
    const std::uint64_t valid = ~std::uint64_t{0} << from;
    const std::uint64_t open = m.Open & valid;
    const std::uint64_t close = m.Close & valid;
    const std::uint64_t plain = ~(open | close); // also every byte before from
    const std::uint64_t in = inside ? 1 : 0;
    // Without a branch: a block with no '<' or '>' (open and close 0) keeps the state.
    return {(plain + (close << 1) + (in ^ 1)) & open, (plain + (open << 1) + in) & close,
            static_cast<bool>((open > close) | ((open | close) == 0 && inside))};
}

// The bits of a block, one form per instruction set. Known(p) has bit i set where MayBeKnown
// holds for a tag at p + i (whether p[i] is a '<' or not).
struct Sse2Blocks
{
    static Masks Find(const char* p)
    {
        Masks m;
#ifdef QUIREFOLD_TAGFINDER_SSE2
        const __m128i lt = _mm_set1_epi8('<');
        const __m128i gt = _mm_set1_epi8('>');
        for (int i = 0; i < 4; ++i) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
            m.Open |=
                std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lt)))}
                << (16 * i);
            m.Close |=
                std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, gt)))}
                << (16 * i);
        }
#else
        for (int i = 0; i < 64; ++i) {
            m.Open |= std::uint64_t{p[i] == '<'} << i;
            m.Close |= std::uint64_t{p[i] == '>'} << i;
        }
#endif
        return m;
    }

    static std::uint64_t Known(const char* p)
    {
        std::uint64_t known = 0;
#ifdef QUIREFOLD_TAGFINDER_SSE2
        for (int i = 0; i < 4; ++i)
            known |= std::uint64_t{Known16(p + 16 * i)} << (16 * i);
#else
        for (int i = 0; i < 64; ++i)
            known |= std::uint64_t{MayBeKnown(p + i)} << i;
#endif
        return known;
    }

    // The '=' of a block.
    static std::uint64_t Equals(const char* p)
    {
        std::uint64_t equals = 0;
#ifdef QUIREFOLD_TAGFINDER_SSE2
        const __m128i eq = _mm_set1_epi8('=');
        for (int i = 0; i < 4; ++i) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
            equals |=
                std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, eq)))}
                << (16 * i);
        }
#else
        for (int i = 0; i < 64; ++i)
            equals |= std::uint64_t{p[i] == '='} << i;
#endif
        return equals;
    }

    // Without a population count instruction to rely on.
    static unsigned Count(std::uint64_t x)
    {
        x = x - ((x >> 1) & 0x5555555555555555u);
        x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
        x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
        return static_cast<unsigned>((x * 0x0101010101010101u) >> 56);
    }

#ifdef QUIREFOLD_TAGFINDER_SSE2
private:
    static std::uint16_t Known16(const char* p)
    {
        const __m128i fold = _mm_set1_epi8(0x20);
        const __m128i b1 =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1)), fold);
        const __m128i b2 =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2)), fold);
        const __m128i b3 =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 3)), fold);
        const __m128i closing = _mm_cmpeq_epi8(b1, _mm_set1_epi8('/'));
        const __m128i first =
            _mm_or_si128(_mm_and_si128(closing, b2), _mm_andnot_si128(closing, b1));
        const __m128i second =
            _mm_or_si128(_mm_and_si128(closing, b3), _mm_andnot_si128(closing, b2));
        const __m128i body = _mm_and_si128(_mm_cmpeq_epi8(first, _mm_set1_epi8('b')),
                                           _mm_cmpeq_epi8(second, _mm_set1_epi8('o')));
        // '1'..'3': second - '1' is at most 2 as an unsigned byte.
        const __m128i level = _mm_sub_epi8(second, _mm_set1_epi8('1'));
        const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(level, _mm_set1_epi8(2)), level);
        const __m128i heading = _mm_and_si128(_mm_cmpeq_epi8(first, _mm_set1_epi8('h')), digit);
        return static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_or_si128(body, heading)));
    }
#endif
};

#ifdef QUIREFOLD_TAGFINDER_WIDE
struct Avx2Blocks
{
    QUIREFOLD_TARGET_AVX2 static Masks Find(const char* p)
    {
        const __m256i lt = _mm256_set1_epi8('<');
        const __m256i gt = _mm256_set1_epi8('>');
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        return {Bits(_mm256_cmpeq_epi8(low, lt), _mm256_cmpeq_epi8(high, lt)),
                Bits(_mm256_cmpeq_epi8(low, gt), _mm256_cmpeq_epi8(high, gt))};
    }

    QUIREFOLD_TARGET_AVX2 static std::uint64_t Known(const char* p)
    {
        return Bits(Known32(p), Known32(p + 32));
    }

    QUIREFOLD_TARGET_AVX2 static std::uint64_t Equals(const char* p)
    {
        const __m256i eq = _mm256_set1_epi8('=');
        return Bits(
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), eq),
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), eq));
    }

    QUIREFOLD_TARGET_AVX2 static unsigned Count(std::uint64_t x)
    {
        return static_cast<unsigned>(__builtin_popcountll(x));
    }

private:
    QUIREFOLD_TARGET_AVX2 static std::uint64_t Bits(__m256i low, __m256i high)
    {
        return std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(low))} |
               std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(high))} << 32;
    }

    QUIREFOLD_TARGET_AVX2 static __m256i Known32(const char* p)
    {
        const __m256i fold = _mm256_set1_epi8(0x20);
        const __m256i b1 =
            _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1)), fold);
        const __m256i b2 =
            _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 2)), fold);
        const __m256i b3 =
            _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 3)), fold);
        const __m256i closing = _mm256_cmpeq_epi8(b1, _mm256_set1_epi8('/'));
        const __m256i first = _mm256_blendv_epi8(b1, b2, closing);
        const __m256i second = _mm256_blendv_epi8(b2, b3, closing);
        const __m256i body = _mm256_and_si256(_mm256_cmpeq_epi8(first, _mm256_set1_epi8('b')),
                                              _mm256_cmpeq_epi8(second, _mm256_set1_epi8('o')));
        const __m256i level = _mm256_sub_epi8(second, _mm256_set1_epi8('1'));
        const __m256i digit = _mm256_cmpeq_epi8(_mm256_min_epu8(level, _mm256_set1_epi8(2)), level);
        const __m256i heading =
            _mm256_and_si256(_mm256_cmpeq_epi8(first, _mm256_set1_epi8('h')), digit);
        return _mm256_or_si256(body, heading);
    }
};

// With AVX-512's byte instructions a block is one register, and a comparison gives its 64 bits
// at once.
struct Avx512Blocks
{
    QUIREFOLD_TARGET_AVX512 static Masks Find(const char* p)
    {
        const __m512i v = _mm512_loadu_si512(p);
        return {_mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('<')),
                _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('>'))};
    }

    QUIREFOLD_TARGET_AVX512 static std::uint64_t Known(const char* p)
    {
        const __m512i fold = _mm512_set1_epi8(0x20);
        const __m512i b1 = _mm512_or_si512(_mm512_loadu_si512(p + 1), fold);
        const __m512i b2 = _mm512_or_si512(_mm512_loadu_si512(p + 2), fold);
        const __m512i b3 = _mm512_or_si512(_mm512_loadu_si512(p + 3), fold);
        const __mmask64 closing = _mm512_cmpeq_epi8_mask(b1, _mm512_set1_epi8('/'));
        const __m512i first = _mm512_mask_blend_epi8(closing, b1, b2);
        const __m512i second = _mm512_mask_blend_epi8(closing, b2, b3);
        const __mmask64 body = _mm512_mask_cmpeq_epi8_mask(
            _mm512_cmpeq_epi8_mask(first, _mm512_set1_epi8('b')), second, _mm512_set1_epi8('o'));
        // '1'..'3': second - '1' is below 3 as an unsigned byte.
        const __mmask64 heading = _mm512_mask_cmplt_epu8_mask(
            _mm512_cmpeq_epi8_mask(first, _mm512_set1_epi8('h')),
            _mm512_sub_epi8(second, _mm512_set1_epi8('1')), _mm512_set1_epi8(3));
        return body | heading;
    }

    QUIREFOLD_TARGET_AVX512 static std::uint64_t Equals(const char* p)
    {
        return _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p), _mm512_set1_epi8('='));
    }

    QUIREFOLD_TARGET_AVX512 static unsigned Count(std::uint64_t x)
    {
        return static_cast<unsigned>(__builtin_popcountll(x));
    }
};
#endif

// The forms of the scan, each for processors with more than the one before.
enum class Form
{
    Baseline, // any processor the program runs on
    Avx2,
    Avx512,
};

// The widest form this processor runs; asked once.
inline Form WidestForm()
{
#ifdef QUIREFOLD_TAGFINDER_WIDE
    static const Form widest = [] {
        const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
                          __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
        if (avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
            __builtin_cpu_supports("avx512vl"))
            return Form::Avx512;
        return avx2 ? Form::Avx2 : Form::Baseline;
    }();
    return widest;
#else
    return Form::Baseline;
#endif
}

// For tests: the widest form a scan may take, so that every form this processor runs is
// tried.
inline Form g_formLimit = Form::Avx512;

} // namespace tagfinder
