// Finding text in the output box's store, as the user sees the text.
#include "ConsoleOutput.h"
#include "TextSearch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Direction = TextSearch::Direction;
constexpr std::size_t None = SIZE_MAX;

struct Shown {
    explicit Shown(const std::vector<std::u16string>& chunks) {
        for (const std::u16string& chunk : chunks)
            output.Feed(chunk);
    }
    OutputText text;
    ConsoleOutput output{text};
    SearchedOutput searched{text};
};

// Forward and backward from a position, round the end, case folded or not, whole clusters only, over text a
// carriage return overwrote and over the boundary between two storage blocks (1 M characters each; the first
// of them once in 16-bit form).
TEST(TextSearch, FindsTheNextOrPreviousMatchAsShown) {
    const std::u16string filler(1048571, u'x');
    struct Case {
        std::vector<std::u16string> chunks;
        std::u16string pattern;
        bool matchCase;
        std::size_t from;
        Direction direction;
        std::size_t at;
        bool wrapped;
    } const cases[] = {
        {{u"one two one"}, u"one", false, 1, Direction::Forward, 8, false},
        {{u"one two one"}, u"one", false, 8, Direction::Backward, 0, false},
        {{u"one two one"}, u"one", false, 9, Direction::Forward, 0, true},
        {{u"one two one"}, u"one", false, 0, Direction::Backward, 8, true},
        {{u"one two one"}, u"three", false, 0, Direction::Forward, None, false},
        {{u"xx abc xx ABC xx abc xx"}, u"abc", false, 23, Direction::Backward, 17, false},
        {{u"xx abc xx ABC xx abc xx"}, u"abc", false, 17, Direction::Backward, 10, false},
        {{u"xx abc xx ABC xx abc xx"}, u"ABC", true, 11, Direction::Forward, 10, true},
        {{u"xxxxxabcabcxxxxxxxxxxx"}, u"abc", false, None, Direction::Backward, 8, false},
        {{u"Caf\u00e9 \u00c9T\u00c9"}, u"\u00e9t\u00e9", false, 0, Direction::Forward, 5, false},
        {{u"Caf\u00e9 \u00c9T\u00c9"}, u"\u00e9t\u00e9", true, 0, Direction::Forward, None, false},
        {{u"5 \u00b5s"}, u"\u039cS", false, 0, Direction::Forward, 2, false}, // micro sign, capital mu
        {{u"\u03a9 Abc abc"}, u"abc", true, 0, Direction::Forward, 6, false},
        {{u"\u03a9 Abc abc"}, u"ABC", false, 5, Direction::Backward, 2, false},
        {{u"\U00010400"}, u"\U00010428", false, 0, Direction::Forward, 0, false}, // Deseret's two cases
        {{u"\u0179 \u017a"}, u"\u017a", false, 0, Direction::Forward, 0, false},  // cases in alternation
        {{u"e\u0301 e"}, u"e", false, 0, Direction::Forward, 3, false},
        {{u"\U0001F469\u200D\U0001F4BB \U0001F469"}, u"\U0001F469", false, 0, Direction::Forward, 6, false},
        {{u"\U0001F600"}, u"\xD83D", false, 0, Direction::Forward, None, false},
        {{u"50%\r100% do", u"ne\rXY"}, u"100", false, 0, Direction::Forward, None, false},
        {{u"50%\r100% do", u"ne\rXY"}, u"xy0% DONE", false, 0, Direction::Forward, 0, false},
        {{u"a\x1b[31", u"mb\x1b]8;;http://x\ac"}, u"abc", true, 0, Direction::Forward, 0, false}, // hidden
        {{filler, u"needle"}, u"NEEDLE", false, 0, Direction::Forward, 1048571, false},
        {{filler, u"needle"}, u"needle", true, None, Direction::Backward, 1048571, false},
        {{filler + u"xxxx", u"needle"}, u"needle", false, 0, Direction::Forward, 1048575, false},
        {{u"\u03a9" + filler, u"needle"}, u"needle", false, 0, Direction::Forward, 1048572, false},
        {{u"\u03a9" + filler, u"needle"}, u"needle", false, None, Direction::Backward, 1048572, false},
    };
    for (const Case& c : cases) {
        const Shown shown(c.chunks);
        const auto match = TextSearch(c.pattern, c.matchCase).Find(shown.searched, c.from, c.direction);
        const std::string label = "pattern of " + std::to_string(c.pattern.size()) + " from " +
                                  std::to_string(c.from) + " in " + std::to_string(shown.text.Size());
        ASSERT_EQ(match ? match->from : None, c.at) << label;
        if (match) {
            EXPECT_EQ(match->to, c.at + c.pattern.size()) << label;
            EXPECT_EQ(match->wrapped, c.wrapped) << label;
        }
    }
}

// Each search reads the text as it is now; the matches on screen are listed apart.
TEST(TextSearch, SeesTextAppendedSinceAndListsTheMatchesWithinASpan) {
    Shown shown({u"xx abc xx ABC xx abc xx"});
    const TextSearch search(u"abc", false);
    EXPECT_EQ(search.MatchesWithin(shown.searched, 3, 19),
              (std::vector<std::pair<std::size_t, std::size_t>>{{3, 6}, {10, 13}}));
    EXPECT_EQ(search.MatchesWithin(shown.searched, 3, 20).size(), 3u);
    const TextSearch later(u"later", false);
    EXPECT_FALSE(later.Find(shown.searched, 0, Direction::Forward));
    shown.output.Feed(u"\nlater");
    EXPECT_EQ(later.Find(shown.searched, 0, Direction::Forward)->from, 24u);
}

} // namespace
