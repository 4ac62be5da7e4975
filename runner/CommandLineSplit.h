// Splits a command line into a program and its arguments the way a user who knows a POSIX shell expects,
// without running one: quotes and backslashes group and escape, and nothing else has any meaning.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace spillways_detail {

// Words are separated by blanks (space, tab, newline). '...' is taken literally; inside "..." a backslash
// escapes only $ ` " \ and newline and is kept before anything else; outside quotes a backslash escapes the
// next character. Empty quotes make an empty word. $, *, ~, |, >, ;, &, # are ordinary characters. Returns
// nothing for an unmatched quote, a trailing lone backslash, a NUL character or a line without a word, and
// says which in `failure` when given.
struct SplitFailure {
    enum class Kind { UnmatchedQuote, LoneBackslash, NulCharacter, NoWord };
    Kind kind = Kind::NoWord;
    std::size_t at = 0; // the byte offset of the quote, backslash or NUL
};
std::optional<std::vector<std::string>> SplitCommandLine(std::string_view line,
                                                         SplitFailure* failure = nullptr);

} // namespace spillways_detail
