// How a typed line becomes a program and its arguments when no shell is involved.
#include "CommandLineSplit.h"

#include <gtest/gtest.h>

using spillways_detail::SplitCommandLine;
using Words = std::vector<std::string>;

TEST(CommandLineSplit, WordsQuotesAndEscapes) {
    const struct {
        std::string line;
        Words words;
    } cases[] = {
        {"ls", {"ls"}},
        {"  ls \t -l\n/tmp  ", {"ls", "-l", "/tmp"}},
        {"echo 'a  b' \"c  d\"", {"echo", "a  b", "c  d"}},
        {"echo 'it''s'", {"echo", "its"}},
        {"echo '' \"\" x", {"echo", "", "", "x"}},
        {"echo a''b", {"echo", "ab"}},
        {R"(echo 'no \escape "here"')", {"echo", R"(no \escape "here")"}},
        {R"(echo "\$ \` \" \\ \n \a")", {"echo", R"($ ` " \ \n \a)"}},
        {R"(echo a\ b \'c \" \\)", {"echo", "a b", "'c", "\"", "\\"}},
        {"echo $HOME * ~ | > ; & # x", {"echo", "$HOME", "*", "~", "|", ">", ";", "&", "#", "x"}},
        {"echo \"multi\nline\"", {"echo", "multi\nline"}},
        {"echo \xC3\xA9t\xC3\xA9", {"echo", "\xC3\xA9t\xC3\xA9"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const auto words = SplitCommandLine(c.line);
        ASSERT_TRUE(words.has_value());
        EXPECT_EQ(*words, c.words);
    }
}

TEST(CommandLineSplit, LinesThatNameNoProgram) {
    const std::string bad[] = {
        "",
        " \t\n ",
        "echo 'open",
        "echo \"open",
        "echo \"open\\\"",
        "echo trailing\\",
        std::string("echo a\0b", 8),
    };
    for (const auto& line : bad) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(SplitCommandLine(line).has_value());
    }
}
