// How a typed line becomes a program and its arguments when no shell is involved.
#include "CommandLineSplit.h"

#include <gtest/gtest.h>

using spillways_detail::SplitCommandLine;
using Words = std::optional<std::vector<std::string>>;

// Words, quotes and escapes as a shell splits them, nothing else; no words at all when a line names no
// program.
TEST(CommandLineSplit, WordsQuotesAndEscapes) {
    const struct {
        std::string line;
        Words words;
    } cases[] = {
        {"ls", {{"ls"}}},
        {"  ls \t -l\n/tmp  ", {{"ls", "-l", "/tmp"}}},
        {"echo '' \"\" x", {{"echo", "", "", "x"}}},
        {R"(echo 'no \escape "here"')", {{"echo", R"(no \escape "here")"}}},
        {R"(echo "\$ \` \" \\ \n \a")", {{"echo", R"($ ` " \ \n \a)"}}},
        {R"(echo a\ b \'c \" \\)", {{"echo", "a b", "'c", "\"", "\\"}}},
        {"echo $HOME * ~ | > ; & # x", {{"echo", "$HOME", "*", "~", "|", ">", ";", "&", "#", "x"}}},
        {"echo \xC3\xA9t\xC3\xA9", {{"echo", "\xC3\xA9t\xC3\xA9"}}},
        {"", std::nullopt},
        {" \t\n ", std::nullopt},
        {"echo 'open", std::nullopt},
        {"echo \"open", std::nullopt},
        {"echo \"open\\\"", std::nullopt},
        {"echo trailing\\", std::nullopt},
        {std::string("echo a\0b", 8), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(SplitCommandLine(c.line), c.words);
    }
}
