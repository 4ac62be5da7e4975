// The decoder against a reference decoder written from the Unicode rule it follows ("maximal subpart": each
// longest start of a valid sequence that cannot be completed becomes one U+FFFD), whole and in random reads
// with the unfinished bytes and the way of decoding carried over as the runner carries them; ASCII taken as
// it is; and back to UTF-8.
#include "FuzzBytes.h"
#include "Utf8.h"

#include <algorithm>
#include <string>

namespace {

std::u16string Reference(std::string_view text) {
    std::u16string out;
    const auto* b = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = b[i];
        const int length = lead < 0x80   ? 1
                           : lead < 0xC2 ? 0
                           : lead < 0xE0 ? 2
                           : lead < 0xF0 ? 3
                           : lead < 0xF5 ? 4
                                         : 0;
        // The second byte's range keeps out overlong forms, surrogates and code points past U+10FFFF.
        const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        int n = 1;
        for (; n < length && i + n < text.size(); ++n) {
            const unsigned char next = b[i + n];
            if (next < (n == 1 ? low : 0x80) || next > (n == 1 ? high : 0xBF)) {
                break;
            }
            c = c << 6 | (next & 0x3F);
        }
        if (length == 0 || n < length) {
            out.push_back(0xFFFD);
        } else if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += static_cast<std::size_t>(n);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzBytes input(data, size);
    const std::size_t seed = input.Byte();
    const std::string_view text = input.Rest();
    const std::u16string expected = Reference(text);
    std::u16string whole;
    spillways_detail::DecodeUtf8(text, whole, true);
    Agree(whole == expected);
    std::u16string ascii(seed, u'?'); // taken as it is only when it is all ASCII, over what was there
    const bool plain = spillways_detail::WidenAscii(text, ascii);
    Agree(plain == (whole.size() == text.size() &&
                    std::all_of(whole.begin(), whole.end(), [](char16_t c) { return c < 0x80; })));
    Agree(!plain || ascii == whole);
    std::string encoded(whole.size() * 3, '\0'); // and back, where nothing was replaced
    encoded.resize(
        static_cast<std::size_t>(spillways_detail::EncodeUtf8(whole, encoded.data()) - encoded.data()));
    Agree(encoded == text || whole.find(u'\uFFFD') != std::u16string::npos);

    std::u16string chunked;
    std::string pending;
    bool hostile = (seed & 1) != 0; // carried as the runner carries it; either start gives the same text
    const std::size_t longest = (seed & 2) != 0 ? 300 : 11; // reads long enough for the quick ways, or not
    for (std::size_t at = 0, k = 0; at < text.size(); ++k) {
        const std::size_t read = std::min(text.size() - at, 1 + (seed * (k + 7) + k * k) % longest);
        pending.append(text.substr(at, read));
        at += read;
        const std::size_t carried = spillways_detail::DecodeUtf8(pending, chunked, false, hostile);
        Agree(carried <= 3 && carried <= pending.size());
        pending.erase(0, pending.size() - carried);
    }
    spillways_detail::DecodeUtf8(pending, chunked, true, hostile);
    Agree(chunked == expected);
    return 0;
}
