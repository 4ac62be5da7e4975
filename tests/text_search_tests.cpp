// Find over text as shown: folded case, matches kept to whole clusters under the rule used where no text
// engine is at hand, and the way round the end in both directions.
#include "TextSearch.h"

#include <gtest/gtest.h>

TEST(TextSearch, FindsWholeClustersFoldedAndGoesRoundTheEnd) {
    using Direction = TextSearch::Direction;
    const struct {
        std::u16string_view text, pattern;
        bool matchCase;
        std::size_t from;
        Direction direction;
        std::optional<std::pair<std::size_t, bool>> found; // start, and whether it went round
    } cases[] = {
        {u"abc ABC", u"abc", false, 1, Direction::Forward, {{4, false}}},
        {u"abc ABC", u"abc", true, 1, Direction::Forward, {{0, true}}},
        {u"abc ABC", u"ABC", false, 4, Direction::Backward, {{0, false}}},
        {u"abc ABC", u"abc", false, 0, Direction::Backward, {{4, true}}},
        {u"\u00c9t\u00e9", u"\u00e9", false, 1, Direction::Forward, {{2, false}}},
        {u"e\u0301 e", u"e", false, 0, Direction::Forward, {{3, false}}}, // not before its accent
        {u"a\u200d\u2764 \u2764", u"\u2764", true, 0, Direction::Forward, {{4, false}}}, // not after a joiner
        {u"\U0001F600x\U0001F600", u"\U0001F600", true, 1, Direction::Forward, {{3, false}}},
        {u"\U0001F44D\U0001F3FD \U0001F44D", u"\U0001F44D", true, 0, Direction::Forward, {{5, false}}},
        {u"x\U0001F600", std::u16string_view(u"\U0001F600").substr(1), true, 0, Direction::Forward,
         std::nullopt},
        {u"abc", u"x", false, 0, Direction::Forward, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const SearchedCharacters text(c.text);
        const auto match = TextSearch(c.pattern, c.matchCase).Find(text, c.from, c.direction);
        ASSERT_EQ(match.has_value(), c.found.has_value());
        if (match) {
            EXPECT_EQ(std::pair(match->from, match->wrapped), *c.found);
            EXPECT_EQ(match->to - match->from, c.pattern.size());
        }
    }
}
