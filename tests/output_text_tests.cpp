// The output's store: carriage returns as a console shows them, the line index and row estimates, words.
#include "ConsoleOutput.h"
#include "OutputText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

// The output as a console shows it, wherever the chunks are cut, and the line index over it, also past a
// group of lines.
TEST(OutputText, CarriageReturnsLinesAndRowEstimates) {
    std::u16string lines;
    for (int i = 0; i < 4095; ++i)
        lines += u"abc\n";
    const auto repeated = [](std::u16string_view what, int times) {
        std::u16string out;
        for (int i = 0; i < times; ++i)
            out += what;
        return out;
    };
    const std::u16string breaks = repeated(u"\n", 37);
    const struct {
        std::vector<std::u16string> chunks;
        std::u16string shown;
    } cases[] = {
        {{u"a\r\nb\n"}, u"a\nb\n"},
        {{u"a\r", u"", u"\nb"}, u"a\nb"},
        {{u"\r\r\n\n\r"}, u"\n\n"},
        {{u"10%\r20%\r", u"100%\n"}, u"100%\n"},
        {{u"abcdef\rXY", u"Z\ndone"}, u"XYZdef\ndone"}, // the rest of the line stays, and so does the break
        {{u"ab\r", u"wxyz"}, u"wxyz"},
        {{u"x\n\rab\rc"}, u"x\ncb"},
        {{u"tab\there", u"\u00e9\u20ac\r\u00e8"}, u"\u00e8ab\there\u00e9\u20ac"},
        {{u"abc\ndefghijk\n"}, u"abc\ndefghijk\n"}, // line breaks in each half of eight characters
        {{u"abcdefg\nhijk\u0100lmnop"}, u"abcdefg\nhijk\u0100lmnop"},
        // Eight and the last few with the eight before them: a break where the two overlap, the widening
        // character among the last few or the first eight.
        {{u"abcdef\nhijk\n"}, u"abcdef\nhijk\n"},
        {{u"abcdefgh\u0100i\nj"}, u"abcdefgh\u0100i\nj"},
        {{u"ab\u0100cdefgh\nij"}, u"ab\u0100cdefgh\nij"},
        // Sixteen at a time: line breaks at both ends of sixteen, and the widening character last of sixteen.
        {{u"\nabcdefghijklmn\n\nopqrstuvwxyzABC\u0100\nD"}, u"\nabcdefghijklmn\n\nopqrstuvwxyzABC\u0100\nD"},
        {{lines}, lines},                            // a group of lines filled exactly
        {{lines, u"abc\nend"}, lines + u"abc\nend"}, // two groups
        // Floods of empty lines, taken sixteen or more at a time: after a long line, across a group, ending
        // a vector short or at the block's end, and CR LF pairs joined into them, cut apart by the chunks.
        {{u"abcde" + breaks + u"fghijklm\n"}, u"abcde" + breaks + u"fghijklm\n"},
        {{u"x\n" + breaks + breaks + breaks + u"\u0100"}, u"x\n" + breaks + breaks + breaks + u"\u0100"},
        {{lines.substr(40) + u"abcde", breaks + breaks + u"z"},
         lines.substr(40) + u"abcde" + breaks + breaks + u"z"},
        {{u"abc" + repeated(u"\r\n", 40) + u"d\r", u"\n" + repeated(u"\r\n", 20) + u"\r"},
         u"abc" + repeated(u"\n", 40) + u"d" + repeated(u"\n", 21)},
        {{u"\r\n\r\nab\r\n\r\n\rc" + repeated(u"\r\n", 9) + u"\r\n\r\r\n\n"},
         u"\n\nab\n\nc" + repeated(u"\n", 12)},
    };
    OutputText text;
    ConsoleOutput returns(text);
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        text.Clear();
        returns.Reset();
        text.SetCharactersPerRow(2); // counted as lines end, then counted again at another width
        // Text without returns goes straight in, line breaks and all.
        const bool returnsIn = std::any_of(c.chunks.begin(), c.chunks.end(), [](const std::u16string& chunk) {
            return chunk.find(u'\r') != std::u16string::npos;
        });
        for (const auto& chunk : c.chunks) {
            if (returnsIn)
                returns.Feed(chunk);
            else
                text.Append(chunk);
        }
        ASSERT_EQ(text.Text(text.Size(), 0), c.shown);
        ASSERT_EQ(text.LineCount(), std::count(c.shown.begin(), c.shown.end(), u'\n') + 1);
        for (std::size_t line = 1, at = 0; line < text.LineCount(); ++line) {
            at = c.shown.find(u'\n', at) + 1;
            ASSERT_EQ(text.LineStart(line), at) << line;
        }
        std::uint64_t rows = 0;
        for (std::size_t line = 0; line < text.LineCount(); ++line)
            rows += text.EstimatedRows(line);
        ASSERT_EQ(text.EstimatedTotalRows(), rows);
        // Each line's place and estimated rows: the fuzz target output_text_fuzz; here across 4096 lines.
        text.SetCharactersPerRow(1);
        const std::size_t last = text.LineCount() - 1;
        ASSERT_EQ(text.LineAtEstimatedRow(text.EstimatedTotalRows() - 1), last);
        ASSERT_EQ(text.LineAt(text.Size()), std::pair(text.LineStart(last), text.Size()));
    }
}

// What a double click takes: a word, a run of blanks or of other signs, within its line; at a line's end the
// last character's.
TEST(OutputText, WordAtAPosition) {
    OutputText text;
    text.Append(u"\u00e9t\u00e9  x+=1\n\nab\na\u00a0\u3000b"); // no-break and ideographic spaces part words
    const std::pair<std::size_t, std::u16string> cases[] = {
        {0, u"\u00e9t\u00e9"},
        {2, u"\u00e9t\u00e9"},
        {3, u"  "},
        {6, u"+="},
        {9, u"1"},
        {10, u""},
        {13, u"ab"},
        {14, u"a"},
        {15, u"\u00a0\u3000"},
    };
    for (const auto& [at, word] : cases) {
        const auto [from, to] = text.WordAt(at);
        EXPECT_EQ(text.Text(from, to), word) << at;
    }
}

// Line starts more than an offset holds past their group's first (4 Gi characters in the box), with one-byte
// offsets: a group that spills, then one that stays narrow with a position far past its last start.
TEST(LineStarts, HoldStartsPastWhatAnOffsetHolds) {
    std::vector<std::size_t> added;
    for (std::size_t line = 0; line < LineStarts<std::uint8_t>::GroupLines; ++line)
        added.push_back(line * 3);
    added.insert(added.end(), {20000, 20100});
    LineStarts<std::uint8_t> starts;
    for (const std::size_t start : added)
        starts.Add(start);
    for (std::size_t line = 0; line < added.size(); ++line) {
        ASSERT_EQ(starts.Start(line), added[line]);
        ASSERT_EQ(std::pair(starts.LineOf(added[line]), starts.LineOf(added[line] + 2)),
                  std::pair(line, line));
    }
    EXPECT_EQ(starts.LineOf(20300), added.size() - 1);
}
