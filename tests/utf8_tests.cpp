// Decoding the child's text: exact results, and results that do not depend on where reads split.
#include "Utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace spillways_detail;

namespace {

std::u16string DecodeWhole(std::string_view bytes) {
    std::u16string out;
    DecodeUtf8(bytes, out, true);
    return out;
}

// Decodes in pieces, carrying unfinished bytes the way the runner does between reads.
std::u16string DecodeInPieces(std::string_view bytes, std::size_t cut) {
    std::u16string out;
    std::string pending;
    for (std::size_t start = 0; start < bytes.size(); start += cut) {
        pending += bytes.substr(start, cut);
        const std::size_t carried = DecodeUtf8(pending, out, false);
        pending.erase(0, pending.size() - carried);
    }
    DecodeUtf8(pending, out, true);
    return out;
}

TEST(Utf8, DecodesValidTextAndReplacesEachIllFormedPartOnce) {
    const struct {
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"plain ascii", u"plain ascii"},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)}, // NUL is text like any other
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", u"é€😀"},
        {"\xEF\xBF\xBF\xF0\x90\x80\x80", u"\uFFFF\U00010000"}, // the last and first of their lengths
        {"12345678\xC3\xA9 \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", u"12345678é Привет"},
        {"\xFF"
         "a",
         u"\uFFFD"
         "a"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                     // overlong: both bytes are refused
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},           // overlong three-byte form
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},           // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // past U+10FFFF
        {"\xE2\x82"
         "A",
         u"\uFFFD"
         "A"},                       // cut short, then ASCII: one replacement
        {"\xF0\x9F\x98", u"\uFFFD"}, // cut short by the end
        {"abc\xC3", u"abc\uFFFD"},
        {"\x80\x80", u"\uFFFD\uFFFD"}, // stray continuation bytes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(DecodeWhole(c.bytes), c.text);
        std::u16string ascii;
        EXPECT_EQ(AppendAscii(c.bytes, ascii),
                  std::ranges::all_of(c.bytes, [](char b) { return static_cast<unsigned char>(b) < 0x80; }));
        if (c.text.find(u'\uFFFD') == std::u16string::npos) { // and back
            std::string encoded(c.text.size() * 3, '\0');
            encoded.resize(static_cast<std::size_t>(EncodeUtf8(c.text, encoded.data()) - encoded.data()));
            EXPECT_EQ(encoded, c.bytes);
        }
        for (std::size_t cut = 1; cut <= 4; ++cut)
            EXPECT_EQ(DecodeInPieces(c.bytes, cut), c.text) << "cut every " << cut;
    }
}

} // namespace
