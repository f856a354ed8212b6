#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QUIREFOLD_TAGFINDER_SSE2 1
#endif

// Finds the '<' and '>' of a buffer, looking at 64 bytes at a time. Tags in real documents are
// a few dozen bytes apart, too close for a memchr per search to pay off. The buffer must be
// readable (and should be initialised) for kPadding bytes past its length.
class TagFinder
{
public:
    static constexpr std::size_t kPadding = 64;

    TagFinder(const char* data, std::size_t length) : m_data(data), m_length(length) {}

    // Index of the first '<' (or '>') at or after from; the length when there is none.
    std::size_t FindOpen(std::size_t from) { return Find(from, true); }
    std::size_t FindClose(std::size_t from) { return Find(from, false); }

private:
    std::size_t Find(std::size_t from, bool open)
    {
        std::size_t block = from / 64;
        std::uint64_t mask = Mask(block, open) & (~std::uint64_t{0} << (from % 64));
        while (mask == 0) {
            if (++block * 64 >= m_length)
                return m_length;
            mask = Mask(block, open);
        }
        const std::size_t pos = block * 64 + static_cast<std::size_t>(std::countr_zero(mask));
        return pos < m_length ? pos : m_length;
    }

    std::uint64_t Mask(std::size_t block, bool open)
    {
        if (block != m_block) {
            m_block = block;
            Compute(m_data + block * 64);
        }
        return open ? m_open : m_close;
    }

    void Compute(const char* p)
    {
#ifdef QUIREFOLD_TAGFINDER_SSE2
        const __m128i lt = _mm_set1_epi8('<');
        const __m128i gt = _mm_set1_epi8('>');
        std::uint64_t open = 0;
        std::uint64_t close = 0;
        for (int i = 0; i < 4; ++i) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
            open |=
                std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lt)))}
                << (16 * i);
            close |=
                std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, gt)))}
                << (16 * i);
        }
        m_open = open;
        m_close = close;
#else
        m_open = m_close = 0;
        for (int i = 0; i < 64; ++i) {
            m_open |= std::uint64_t{p[i] == '<'} << i;
            m_close |= std::uint64_t{p[i] == '>'} << i;
        }
#endif
    }

    const char* m_data;
    std::size_t m_length;
    std::size_t m_block = ~std::size_t{0};
    std::uint64_t m_open = 0;
    std::uint64_t m_close = 0;
};
