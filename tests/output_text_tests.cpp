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
        // Beyond Latin-1, eight at a time: two breaks in one eight, one at either end, the last few alone.
        {{u"\u0100\n\u0101\n\u0102\u0103\u0104\u0105\u0106\u0107\u0108\n\u0109\u010A\n"},
         u"\u0100\n\u0101\n\u0102\u0103\u0104\u0105\u0106\u0107\u0108\n\u0109\u010A\n"},
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

// Line starts as added, one by one or as runs of empty lines, read back by line and by position, with
// one-byte offsets: groups whose lines are all of one length until some line is not (at its second line,
// within, at its last), runs of empty lines that begin, end or break such a group, and starts more than an
// offset holds past their group's first (4 Gi characters in the box): a group that spills, one that is even
// far past it, one that stays narrow with a position far past its last start.
TEST(LineStarts, ReadBackAsAdded) {
    using Starts = LineStarts<std::uint8_t>;
    constexpr std::size_t Group = Starts::GroupLines;
    struct Added {
        std::size_t start;
        std::size_t count = 1; // more than one: consecutive starts, as AddConsecutive adds them
    };
    const auto even = [](std::size_t from, std::size_t lines, std::size_t length) {
        std::vector<Added> run;
        for (std::size_t line = 0; line < lines; ++line)
            run.push_back({from + line * length});
        return run;
    };
    const auto join = [](std::initializer_list<std::vector<Added>> parts) {
        std::vector<Added> all;
        for (const auto& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    const std::vector<std::vector<Added>> cases{
        even(0, Group * 2 + 3, 3),
        join({even(0, 1, 0), {{5}, {6}}, even(9, Group, 3)}),
        even(4, 3, 0),
        join({even(0, 3, 3), even(7, 2, 3)}),
        join({even(0, Group - 1, 2), {{Group * 2 - 1}}, even(Group * 2 + 4, Group, 7)}),
        join({even(0, Group / 2, 4), {{Group * 2 + 1}}, even(Group * 2 + 5, Group, 1)}),
        join({{{0, Group / 2 + 1}}, {{Group, Group + 5}}, even(Group * 3, 3, 2), {{Group * 4, Group}}}),
        join({{{7, 2}}, {{10, 3}}, {{20}}, {{21, Group * 2}}}),
        join({even(0, Group, 3), {{20000}, {20100}}, even(30000, Group + 1, 100)}),
        join({even(0, Group - 1, 3), {{(Group - 1) * 3 + 400}}, {{20000}, {20001}, {20003}}}),
    };
    for (std::size_t c = 0; c < cases.size(); ++c) {
        Starts starts;
        std::vector<std::size_t> expected;
        for (const Added& added : cases[c]) {
            if (added.count == 1)
                starts.Add(added.start);
            else
                starts.AddConsecutive(added.start, added.count);
            for (std::size_t i = 0; i < added.count; ++i)
                expected.push_back(added.start + i);
        }
        ASSERT_EQ(starts.Count(), expected.size()) << c;
        for (std::size_t line = 0; line < expected.size(); ++line) {
            ASSERT_EQ(starts.Start(line), expected[line]) << c << ' ' << line;
            const bool empty = line + 1 < expected.size() && expected[line + 1] == expected[line];
            if (!empty) {
                ASSERT_EQ(starts.LineOf(expected[line]), line) << c << ' ' << line;
            }
            if (line + 1 < expected.size() && expected[line + 1] > expected[line] + 1) {
                ASSERT_EQ(starts.LineOf(expected[line + 1] - 1), line) << c << ' ' << line;
            }
        }
        EXPECT_EQ(starts.LineOf(expected.back() + 300), expected.size() - 1) << c;
    }
}
