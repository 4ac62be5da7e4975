#include "Utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace spillways_detail {
namespace {

constexpr char16_t Replacement = 0xFFFD;

// The range the second byte of a sequence must fall in; it depends on the lead byte, which is how overlong
// forms, surrogates and code points past U+10FFFF are refused as soon as they can be told apart.
struct LeadInfo {
    int length; // 0: the byte cannot start a character
    unsigned char secondLow;
    unsigned char secondHigh;
};

constexpr LeadInfo InfoFor(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF)
        return {2, 0x80, 0xBF};
    if (lead == 0xE0)
        return {3, 0xA0, 0xBF};
    if (lead == 0xED)
        return {3, 0x80, 0x9F};
    if (lead >= 0xE1 && lead <= 0xEF)
        return {3, 0x80, 0xBF};
    if (lead == 0xF0)
        return {4, 0x90, 0xBF};
    if (lead >= 0xF1 && lead <= 0xF3)
        return {4, 0x80, 0xBF};
    if (lead == 0xF4)
        return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

bool HasNonAscii(const unsigned char* eight) {
    std::uint64_t word = 0;
    std::memcpy(&word, eight, sizeof word);
    return (word & 0x8080808080808080ULL) != 0;
}

bool HasNonAscii(const char16_t* four) {
    std::uint64_t word = 0;
    std::memcpy(&word, four, sizeof word);
    return (word & 0xFF80FF80FF80FF80ULL) != 0;
}

void Widen(const unsigned char* from, std::size_t count, char16_t* to) {
    for (std::size_t k = 0; k < count; ++k)
        to[k] = from[k];
}

void AppendCodePoint(char32_t c, std::u16string& out) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
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

std::size_t DecodeUtf8(std::string_view bytes, std::u16string& out, bool atEnd) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char lead = s[i];
        if (lead < 0x80) {
            // Command output is mostly ASCII: widen whole runs of it at once, eight bytes at a time.
            std::size_t j = i + 1;
            while (j + 8 <= n && !HasNonAscii(s + j))
                j += 8;
            while (j < n && s[j] < 0x80)
                ++j;
            // Through a small buffer: growing `out` by resize would zero-fill it before it is written.
            char16_t wide[1024];
            while (i < j) {
                const std::size_t count = std::min(j - i, std::size(wide));
                Widen(s + i, count, wide);
                out.append(wide, count);
                i += count;
            }
            continue;
        }
        const LeadInfo info = InfoFor(lead);
        if (info.length == 0) {
            out.push_back(Replacement);
            ++i;
            continue;
        }
        char32_t c = lead & (0xFF >> (info.length + 1));
        int k = 1;
        for (; k < info.length; ++k) {
            if (i + k >= n)
                break;
            const unsigned char b = s[i + k];
            const unsigned char low = k == 1 ? info.secondLow : 0x80;
            const unsigned char high = k == 1 ? info.secondHigh : 0xBF;
            if (b < low || b > high)
                break;
            c = (c << 6) | (b & 0x3F);
        }
        if (k == info.length) {
            AppendCodePoint(c, out);
            i += k;
        } else if (i + k >= n && !atEnd) {
            return n - i; // unfinished: the rest may come with the next read
        } else {
            out.push_back(Replacement);
            i += k;
        }
    }
    return 0;
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
