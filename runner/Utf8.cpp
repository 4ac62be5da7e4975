#include "Utf8.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace spillways_detail {
namespace {

constexpr char16_t Replacement = 0xFFFD;

// What a byte says as the first of a sequence. The range its second byte must fall in depends on it, which is
// how overlong forms, surrogates and code points past U+10FFFF are refused as soon as they can be told apart.
struct Lead {
    unsigned char need;        // bytes that must follow it: 0 for ASCII, 1 for a byte that starts nothing
    unsigned char secondLow;   // the lowest second byte
    unsigned char secondCount; // how many second bytes from there on fit; 0 when it starts nothing
    unsigned char mask;        // its own bits of the code point
    unsigned char shift;       // 6 * (3 - need): from four bytes' bits to the code point
};

constexpr Lead LeadFor(unsigned lead) {
    const auto starts = [](unsigned char need, unsigned char low, unsigned char high) {
        return Lead{need, low, static_cast<unsigned char>(high - low + 1),
                    static_cast<unsigned char>(0x3F >> need), static_cast<unsigned char>(6 * (3 - need))};
    };
    if (lead < 0x80)
        return {0, 0, 0, 0x7F, 18};
    if (lead >= 0xC2 && lead <= 0xDF)
        return starts(1, 0x80, 0xBF);
    if (lead == 0xE0)
        return starts(2, 0xA0, 0xBF);
    if (lead == 0xED)
        return starts(2, 0x80, 0x9F);
    if (lead >= 0xE1 && lead <= 0xEF)
        return starts(2, 0x80, 0xBF);
    if (lead == 0xF0)
        return starts(3, 0x90, 0xBF);
    if (lead >= 0xF1 && lead <= 0xF3)
        return starts(3, 0x80, 0xBF);
    if (lead == 0xF4)
        return starts(3, 0x80, 0x8F);
    return {1, 0, 0, 0, 0};
}

struct LeadTable {
    Lead leads[256];
    constexpr LeadTable() : leads{} {
        for (unsigned b = 0; b < 256; ++b)
            leads[b] = LeadFor(b);
    }
};
constexpr LeadTable Leads;

// Decodes the character or ill-formed subpart that starts at `s`, which has four bytes to look at, into `to`,
// which has room for two characters; returns how many bytes it took. Hostile output mixes every kind of byte
// at random, so there is no branch on what they are: every case is worked out and the right one picked.
inline std::size_t Step(const unsigned char* s, char16_t*& to) {
    const Lead lead = Leads.leads[s[0]];
    const unsigned second = static_cast<unsigned char>(s[1] - lead.secondLow) < lead.secondCount;
    const unsigned third = second & ((s[2] & 0xC0) == 0x80);
    const unsigned fourth = third & ((s[3] & 0xC0) == 0x80);
    const unsigned fitting = second + third + fourth;
    const unsigned taken = std::min<unsigned>(fitting, lead.need);
    const char32_t bits = static_cast<char32_t>(s[0] & lead.mask) << 18 |
                          static_cast<char32_t>(s[1] & 0x3F) << 12 | static_cast<char32_t>(s[2] & 0x3F) << 6 |
                          static_cast<char32_t>(s[3] & 0x3F);
    // One U+FFFD for a lead byte and what fitted after it, when that falls short of a character. Picked by
    // masks, as a branch here would be guessed wrong half the time.
    const char32_t whole = 0u - static_cast<char32_t>(fitting >= lead.need);
    const char32_t c = ((bits >> lead.shift) & whole) | (Replacement & ~whole);
    // Past U+FFFF both halves of the surrogate pair are written; the second counts only then.
    const char32_t pair = 0u - static_cast<char32_t>(c >= 0x10000);
    to[0] = static_cast<char16_t>(((0xD7C0 + (c >> 10)) & pair) | (c & ~pair));
    to[1] = static_cast<char16_t>(0xDC00 | (c & 0x3FF));
    to += 1 + (pair & 1);
    return 1 + taken;
}

// Like Step, with whole two- and three-byte characters, which most text past ASCII is made of, taken the
// quick way first: in such text these branches are seldom guessed wrong, and in hostile bytes seldom taken.
// Each test is worked out whole from the lead byte and the two after it, into one number, so that it is one
// branch to guess. A byte that starts nothing is left alone: the return value is then 0.
inline std::size_t Character(const unsigned char* s, char16_t*& to) {
    const std::uint32_t bytes =
        static_cast<std::uint32_t>(s[0]) << 16 | static_cast<std::uint32_t>(s[1]) << 8 | s[2];
    const Lead lead = Leads.leads[s[0]];
    const std::uint32_t second = static_cast<unsigned char>(s[1] - lead.secondLow) < lead.secondCount;
    // 110xxxxx and 1110xxxx, each with a second byte in the lead's range (there is none for C0 and C1), and
    // for the second a third byte 10xxxxxx.
    const std::uint32_t two = ((bytes & 0xE00000) ^ 0xC00000) | (second ^ 1u);
    const std::uint32_t three = ((bytes & 0xF000C0) ^ 0xE00080) | (second ^ 1u);
    if (two == 0) {
        *to++ = static_cast<char16_t>((s[0] & 0x1F) << 6 | (s[1] & 0x3F));
        return 2;
    }
    if (three == 0) {
        *to++ = static_cast<char16_t>((s[0] & 0x0F) << 12 | (s[1] & 0x3F) << 6 | (s[2] & 0x3F));
        return 3;
    }
    if (lead.secondCount == 0)
        return 0;
    return Step(s, to);
}

#if !defined(__SSE2__)
bool HasNonAscii(const unsigned char* eight) {
    std::uint64_t word = 0;
    std::memcpy(&word, eight, sizeof word);
    return (word & 0x8080808080808080ULL) != 0;
}

void Widen(const unsigned char* from, std::size_t count, char16_t* to) {
    for (std::size_t k = 0; k < count; ++k)
        to[k] = from[k];
}
#endif

bool HasNonAscii(const char16_t* four) {
    std::uint64_t word = 0;
    std::memcpy(&word, four, sizeof word);
    return (word & 0xFF80FF80FF80FF80ULL) != 0;
}

struct Decoded {
    std::size_t read;
    std::size_t written;
};

#if defined(__SSE2__)
// Text, sixteen bytes a step: their top bits say how many of them are ASCII, and interleaved with zeros those
// are the characters. All sixteen are stored and the first non-ASCII character, if any, overwrites the rest,
// so text that mixes ASCII and other bytes costs no guess about which comes next. Returns true at a byte that
// starts nothing, which never comes first in valid text; false when fewer than nineteen bytes are left.
bool QuickRun(const unsigned char* s, std::size_t n, std::size_t& i, char16_t*& to) {
    const __m128i zero = _mm_setzero_si128();
    while (i + 16 + 3 <= n) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_unpacklo_epi8(x, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 8), _mm_unpackhi_epi8(x, zero));
        const unsigned nonAscii = static_cast<unsigned>(_mm_movemask_epi8(x));
        if (nonAscii == 0) {
            i += 16;
            to += 16;
            continue;
        }
        const auto ascii = static_cast<std::size_t>(std::countr_zero(nonAscii));
        i += ascii;
        to += ascii;
        const std::size_t taken = Character(s + i, to);
        if (taken == 0)
            return true;
        i += taken;
    }
    return false;
}

struct Alone {
    unsigned count; // bytes before the first that may start a sequence, 16 if none
    bool ascii;     // all sixteen were ASCII
};

// Hostile bytes are mostly ASCII and bytes past it that stand alone: those that start nothing (continuation
// bytes, C0, C1, F5 to FF) and lead bytes (C2 to F4) not followed by a byte that could continue them. No byte
// before the first lead byte so followed continues another, so each byte past ASCII there is a subpart of its
// own: a U+FFFD. Widens the sixteen bytes at `s`, which has seventeen to look at, into `to` so, and says how
// many of them that is right for.
inline Alone WidenAlone(const unsigned char* s, char16_t* to) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 1));
    const __m128i high = _mm_cmplt_epi8(x, zero);
    const __m128i leadBytes = _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(static_cast<char>(0xC1))),
                                            _mm_cmplt_epi8(x, _mm_set1_epi8(static_cast<char>(0xF5))));
    // 80 to BF are the lowest bytes when taken as signed.
    const __m128i continuing = _mm_cmplt_epi8(next, _mm_set1_epi8(static_cast<char>(0xC0)));
    const __m128i replacementLow = _mm_set1_epi8(static_cast<char>(Replacement & 0xFF));
    const __m128i low = _mm_or_si128(_mm_andnot_si128(high, x), _mm_and_si128(high, replacementLow));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_unpacklo_epi8(low, high));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 8), _mm_unpackhi_epi8(low, high));
    const auto starts = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(leadBytes, continuing)));
    return {static_cast<unsigned>(std::countr_zero(starts | 0x10000u)), _mm_movemask_epi8(x) == 0};
}

// Hostile bytes sixteen at a time up to each lead byte that may start a sequence, which is then seldom
// whole, so it goes the branch-free way; so does the byte after sixteen that stand alone, whatever it is, as
// a branch on whether there was a lead byte would be guessed wrong half the time. Returns true after sixteen
// ASCII bytes in a row, which more likely begin text again; false when fewer than twenty bytes are left.
bool HostileRun(const unsigned char* s, std::size_t n, std::size_t& i, char16_t*& to) {
    while (i + 16 + 4 <= n) {
        const Alone alone = WidenAlone(s + i, to);
        i += alone.count;
        to += alone.count;
        i += Step(s + i, to);
        if (alone.ascii)
            return true;
    }
    return false;
}

// The same for the last bytes, fewer than twenty, through a copy padded with continuation bytes: a lead
// byte among the last three is then never taken as standing alone, and is left to the caller with the bytes
// after it. `to` has room for sixteen characters past the end.
void HostileTail(const unsigned char* s, std::size_t n, std::size_t& i, char16_t*& to) {
    unsigned char padded[19 + 17]; // a step may begin at the last byte and look at seventeen
    std::memset(padded, 0x80, sizeof padded);
    const std::size_t start = i;
    std::memcpy(padded, s + start, n - start);
    while (i < n) {
        const std::size_t alone = std::min<std::size_t>(WidenAlone(padded + (i - start), to).count, n - i);
        i += alone;
        to += alone;
        if (i + 4 > n)
            return;
        i += Step(s + i, to);
    }
}
#endif

// DecodeUtf8 into `out`, which has room for n + 16 characters (a byte never yields more than one). Without
// SSE2 there is one way for all bytes, and `hostile` is left as it is.
Decoded DecodeInto(const unsigned char* s, std::size_t n, char16_t* out, bool atEnd,
                   [[maybe_unused]] bool& hostile) {
    char16_t* to = out;
    std::size_t i = 0;
#if defined(__SSE2__)
    // Each way runs until the bytes look like the other's, or up to the last bytes.
    while (hostile ? HostileRun(s, n, i, to) : QuickRun(s, n, i, to))
        hostile = !hostile;
    if (hostile)
        HostileTail(s, n, i, to);
#else
    while (i + 8 + 3 <= n) {
        if (!HasNonAscii(s + i)) {
            Widen(s + i, 8, to);
            i += 8;
            to += 8;
            continue;
        }
        const std::size_t taken = Character(s + i, to);
        i += taken != 0 ? taken : Step(s + i, to);
    }
#endif
    while (i + 4 <= n)
        i += Step(s + i, to);
    // The last bytes, through a copy padded with bytes that continue nothing: a sequence they cut short is
    // replaced at the end, or left for the next call.
    while (i < n) {
        unsigned char last[4] = {};
        std::memcpy(last, s + i, n - i);
        char16_t wide[2];
        char16_t* end = wide;
        const std::size_t taken = Step(last, end);
        if (!atEnd && Leads.leads[last[0]].secondCount > 0 && i + taken == n &&
            taken <= Leads.leads[last[0]].need)
            break;
        for (const char16_t* c = wide; c != end; ++c)
            *to++ = *c;
        i += taken;
    }
    return {i, static_cast<std::size_t>(to - out)};
}

} // namespace

bool WidenAscii(std::string_view bytes, std::u16string& out) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    out.resize(n);
    char16_t* to = out.data();
    std::size_t i = 0;
#if defined(__SSE2__)
    // Thirty-two bytes a step: their top bits say whether any is past ASCII, and interleaved with zeros they
    // are the characters.
    const __m128i zero = _mm_setzero_si128();
    for (; i + 32 <= n; i += 32) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 16));
        if (_mm_movemask_epi8(_mm_or_si128(x, y)) != 0)
            return false;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_unpacklo_epi8(x, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 8), _mm_unpackhi_epi8(x, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 16), _mm_unpacklo_epi8(y, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 24), _mm_unpackhi_epi8(y, zero));
    }
#else
    for (; i + 8 <= n; i += 8) {
        if (HasNonAscii(s + i))
            return false;
        Widen(s + i, 8, to + i);
    }
#endif
    for (; i < n; ++i) {
        if (s[i] >= 0x80)
            return false;
        to[i] = s[i];
    }
    return true;
}

std::size_t DecodeUtf8(std::string_view bytes, std::u16string& out, bool atEnd, bool& hostile) {
    // Through a buffer on the stack, a piece at a time: growing `out` by resize would zero-fill it before it
    // is written. A piece that is not the last carries its unfinished end into the next.
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    constexpr std::size_t PieceSize = 4096;
    char16_t wide[PieceSize + 16];
    std::size_t i = 0;
    for (;;) {
        const std::size_t count = std::min(n - i, PieceSize);
        const bool last = i + count == n;
        const Decoded piece = DecodeInto(s + i, count, wide, last && atEnd, hostile);
        out.append(wide, piece.written);
        i += piece.read;
        if (last)
            return n - i;
    }
}

std::size_t DecodeUtf8(std::string_view bytes, std::u16string& out, bool atEnd) {
    bool hostile = false;
    return DecodeUtf8(bytes, out, atEnd, hostile);
}

std::u16string FromUtf8(std::string_view bytes) {
    std::u16string text;
    DecodeUtf8(bytes, text, true);
    return text;
}

char* EncodeUtf8(std::u16string_view text, char* out) {
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        // Runs of ASCII are narrowed four characters at a time.
        while (i + 4 <= n && !HasNonAscii(text.data() + i)) {
            for (int k = 0; k < 4; ++k)
                out[k] = static_cast<char>(text[i + k]);
            out += 4;
            i += 4;
        }
        while (i < n && text[i] < 0x80)
            *out++ = static_cast<char>(text[i++]);
        if (i == n)
            break;
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDFFF) {
            const bool paired = c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
            if (paired) {
                c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
            } else {
                c = Replacement;
            }
        }
        if (c < 0x800) {
            *out++ = static_cast<char>(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            *out++ = static_cast<char>(0xE0 | (c >> 12));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        } else {
            *out++ = static_cast<char>(0xF0 | (c >> 18));
            *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

bool AppendUtf8(std::u16string_view text, std::string& out) {
    bool wellFormed = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            ++i;
        else if (c >= 0xD800 && c <= 0xDFFF)
            wellFormed = false;
    }
    const std::size_t start = out.size();
    out.resize(start + text.size() * 3);
    char* end = EncodeUtf8(text, out.data() + start);
    out.resize(static_cast<std::size_t>(end - out.data()));
    return wellFormed;
}

} // namespace spillways_detail
