// The output's hot loops over 16-bit text, sixteen or eight characters a step: finding where a run of plain
// text ends or where the last line starts, and storing a run of Latin-1 text one byte a character while
// finding its line breaks. With SSE2 (every x86-64) they take a vector at a time; elsewhere the same results
// come a character at a time.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace text_scan {

// Whether `c` ends a run of text: a C0 control or DEL, except LF and TAB where `breaks` lets them go on.
inline bool EndsRun(char16_t c, bool breaks) {
    return c >= 0x20 ? c == 0x7F : !(breaks && (c == u'\n' || c == u'\t'));
}

// How many characters of [p, end) come before the first one that ends a run.
inline std::size_t RunLength(const char16_t* p, const char16_t* end, bool breaks) {
    const char16_t* const start = p;
#if defined(__SSE2__)
    const __m128i bias = _mm_set1_epi16(static_cast<short>(0x8000));
    const __m128i space = _mm_set1_epi16(static_cast<short>(0x8020)); // ' ' with the bias
    const __m128i del = _mm_set1_epi16(0x7F);
    const __m128i lf = _mm_set1_epi16(breaks ? u'\n' : 0x7F);
    const __m128i tab = _mm_set1_epi16(breaks ? u'\t' : 0x7F);
    const auto stops = [&](const char16_t* at) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        // Unsigned x < 0x20, as a signed comparison of both sides shifted by 0x8000.
        const __m128i control = _mm_cmplt_epi16(_mm_xor_si128(x, bias), space);
        const __m128i allowed = _mm_or_si128(_mm_cmpeq_epi16(x, lf), _mm_cmpeq_epi16(x, tab));
        return _mm_or_si128(_mm_andnot_si128(allowed, control), _mm_cmpeq_epi16(x, del));
    };
    // Sixteen a step, both halves' answers packed into one mask of a bit a character.
    for (; end - p >= 16; p += 16) {
        if (const int mask = _mm_movemask_epi8(_mm_packs_epi16(stops(p), stops(p + 8))); mask != 0)
            return static_cast<std::size_t>(p - start) +
                   static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(mask)));
    }
    if (end - p >= 8) {
        if (const int mask = _mm_movemask_epi8(stops(p)); mask != 0)
            return static_cast<std::size_t>(p - start) +
                   static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(mask))) / 2;
        p += 8;
    }
#endif
    while (p != end && !EndsRun(*p, breaks))
        ++p;
    return static_cast<std::size_t>(p - start);
}

// How many times `c` comes one after the other from `p` on, within [p, end).
inline std::size_t RepeatLength(const char16_t* p, const char16_t* end, char16_t c) {
    const char16_t* const start = p;
#if defined(__SSE2__)
    const __m128i repeated = _mm_set1_epi16(static_cast<short>(c));
    for (; end - p >= 8; p += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(x, repeated)); mask != 0xFFFF)
            return static_cast<std::size_t>(p - start) +
                   static_cast<std::size_t>(std::countr_one(static_cast<unsigned>(mask))) / 2;
    }
#endif
    while (p != end && *p == c)
        ++p;
    return static_cast<std::size_t>(p - start);
}

// Where the last line of [begin, end) starts: past its last '\n', or at `begin` when it holds none. Eight
// characters a step from the end: a meter's reading, dropped at each tick, is a step or two.
inline const char16_t* LastLineStart(const char16_t* begin, const char16_t* end) {
    if (end != begin && end[-1] == u'\n')
        return end; // a coloured log's erase at the start of each line
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi16(u'\n');
    for (; end - begin >= 8; end -= 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 8));
        if (const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(x, lf)); mask != 0)
            return end - 8 + (31 - std::countl_zero(static_cast<unsigned>(mask))) / 2 + 1;
    }
#endif
    while (end != begin && end[-1] != u'\n')
        --end;
    return end;
}

// How many CR LF pairs follow one another from `p` on, within [p, end): four a step where it can.
inline std::size_t LineEndPairs(const char16_t* p, const char16_t* end) {
    const char16_t* const start = p;
#if defined(__SSE2__)
    const __m128i pairs = _mm_set1_epi32(0x000A000D); // '\r' then '\n', little-endian
    for (; end - p >= 8; p += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (const int mask = _mm_movemask_epi8(_mm_cmpeq_epi32(x, pairs)); mask != 0xFFFF)
            return static_cast<std::size_t>(p - start) / 2 +
                   static_cast<std::size_t>(std::countr_one(static_cast<unsigned>(mask))) / 4;
    }
#endif
    while (end - p >= 2 && p[0] == u'\r' && p[1] == u'\n')
        p += 2;
    return static_cast<std::size_t>(p - start) / 2;
}

// How many characters of [p, end) come before the first that is not Latin-1 nor U+FFFD, or is a tab, U+00A9,
// U+00AD or U+00AE: in the cell widths' terms the rest of them are each a cluster of one cell on its own
// (after a cluster of some cells), which is what a line of random bytes mostly holds.
inline std::size_t LatinOneCellLength(const char16_t* p, const char16_t* end) {
    const char16_t* const start = p;
#if defined(__SSE2__)
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF00));
    const __m128i replacement = _mm_set1_epi16(static_cast<short>(0xFFFD));
    for (; end - p >= 8; p += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i latin = _mm_or_si128(_mm_cmpeq_epi16(_mm_and_si128(x, high), _mm_setzero_si128()),
                                           _mm_cmpeq_epi16(x, replacement));
        const __m128i other = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(x, _mm_set1_epi16(u'\t')), _mm_cmpeq_epi16(x, _mm_set1_epi16(0xA9))),
            _mm_or_si128(_mm_cmpeq_epi16(x, _mm_set1_epi16(0xAD)), _mm_cmpeq_epi16(x, _mm_set1_epi16(0xAE))));
        if (const int mask = _mm_movemask_epi8(_mm_andnot_si128(other, latin)); mask != 0xFFFF)
            return static_cast<std::size_t>(p - start) +
                   static_cast<std::size_t>(std::countr_one(static_cast<unsigned>(mask))) / 2;
    }
#endif
    while (p != end && (*p <= 0xFF || *p == 0xFFFD) && *p != u'\t' && *p != 0xA9 && *p != 0xAD && *p != 0xAE)
        ++p;
    return static_cast<std::size_t>(p - start);
}

// Stores the 16 characters at `in` one byte each at `out` when all of them are Latin-1, and sets bit i of
// `lineBreaks` for each '\n' among them; false, with nothing stored, otherwise.
inline bool NarrowSixteen(const char16_t* in, unsigned char* out, std::uint32_t& lineBreaks) {
#if defined(__SSE2__)
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8));
    const __m128i high = _mm_and_si128(_mm_or_si128(a, b), _mm_set1_epi16(static_cast<short>(0xFF00)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) != 0xFFFF)
        return false;
    const __m128i narrow = _mm_packus_epi16(a, b); // exact: every lane is below 0x100
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), narrow);
    lineBreaks = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(narrow, _mm_set1_epi8('\n'))));
    return true;
#else
    char16_t any = 0;
    for (int k = 0; k < 16; ++k)
        any |= in[k];
    if (any > 0xFF)
        return false;
    lineBreaks = 0;
    for (int k = 0; k < 16; ++k) {
        out[k] = static_cast<unsigned char>(in[k]);
        lineBreaks |= static_cast<std::uint32_t>(in[k] == u'\n') << k;
    }
    return true;
#endif
}

// The same for the 8 characters at `in`: short runs of text between sequences (a coloured log's pieces) are
// stored without a step a character.
inline bool NarrowEight(const char16_t* in, unsigned char* out, std::uint32_t& lineBreaks) {
#if defined(__SSE2__)
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(a, _mm_set1_epi16(static_cast<short>(0xFF00))),
                                          _mm_setzero_si128())) != 0xFFFF)
        return false;
    const __m128i narrow = _mm_packus_epi16(a, a);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), narrow);
    lineBreaks =
        static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(narrow, _mm_set1_epi8('\n')))) & 0xFF;
    return true;
#else
    char16_t any = 0;
    for (int k = 0; k < 8; ++k)
        any |= in[k];
    if (any > 0xFF)
        return false;
    lineBreaks = 0;
    for (int k = 0; k < 8; ++k) {
        out[k] = static_cast<unsigned char>(in[k]);
        lineBreaks |= static_cast<std::uint32_t>(in[k] == u'\n') << k;
    }
    return true;
#endif
}

// Copies the 8 characters at `in` to `out` and returns a bit i for each '\n' among them: text beyond Latin-1
// is stored a vector at a time too.
inline std::uint32_t WideEight(const char16_t* in, char16_t* out) {
#if defined(__SSE2__)
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), a);
    const __m128i breaks = _mm_cmpeq_epi16(a, _mm_set1_epi16(u'\n'));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(breaks, _mm_setzero_si128())));
#else
    std::uint32_t lineBreaks = 0;
    for (int k = 0; k < 8; ++k) {
        out[k] = in[k];
        lineBreaks |= static_cast<std::uint32_t>(in[k] == u'\n') << k;
    }
    return lineBreaks;
#endif
}

} // namespace text_scan
