// Decoding and keeping the child's text: exact results, and results that do not depend on where reads split.
#include "OutputStore.h"
#include "Utf8.h"

#include <gtest/gtest.h>

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
         "A"},                         // cut short, then ASCII: one replacement
        {"\xF0\x9F\x98", u"\uFFFD"},   // cut short by the end
        {"\x80\x80", u"\uFFFD\uFFFD"}, // stray continuation bytes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(DecodeWhole(c.bytes), c.text);
        for (std::size_t cut = 1; cut <= 4; ++cut)
            EXPECT_EQ(DecodeInPieces(c.bytes, cut), c.text) << "cut every " << cut;
    }
}

TEST(Utf8, EncodingRoundTripsAndReplacesLoneSurrogates) {
    std::string bytes;
    const std::u16string text = u"é\u07FF\u0800€😀😀 ok";
    EXPECT_TRUE(AppendUtf8(text, bytes));
    EXPECT_EQ(bytes, "\xC3\xA9\xDF\xBF\xE0\xA0\x80\xE2\x82\xAC\xF0\x9F\x98\x80\xF0\x9F\x98\x80 ok");
    EXPECT_EQ(DecodeWhole(bytes), text);

    bytes.clear();
    EXPECT_FALSE(AppendUtf8(u"a\xD800"
                            "b\xDC00",
                            bytes));
    EXPECT_EQ(DecodeWhole(bytes), u"a\uFFFD"
                                  "b\uFFFD");
}

TEST(OutputStore, KeepsExactlyWhatWasAppendedAcrossBlocks) {
    OutputStore store;
    std::u16string expected;
    const std::u16string pieces[] = {u"line of text\n", u"é€", u"😀", u"", std::u16string(1, u'\0')};
    // Enough to fill several of the store's blocks.
    for (int i = 0; i < 200000; ++i) {
        const std::u16string& piece = pieces[i % 5];
        store.Append(piece);
        expected += piece;
    }
    EXPECT_EQ(store.Text(), expected);

    store.Clear();
    EXPECT_EQ(store.Text(), u"");
    store.Append(std::u16string(3'000'000, u'x')); // one piece larger than a block
    EXPECT_EQ(store.Text(), std::u16string(3'000'000, u'x'));
}

} // namespace
