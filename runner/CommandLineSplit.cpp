#include "CommandLineSplit.h"

namespace spillways_detail {
namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}
bool EscapableInDoubleQuotes(char c) {
    return c == '$' || c == '`' || c == '"' || c == '\\' || c == '\n';
}
} // namespace

std::optional<std::vector<std::string>> SplitCommandLine(std::string_view line, SplitFailure* failure) {
    const auto fail = [failure](SplitFailure::Kind kind, std::size_t at) {
        if (failure != nullptr)
            *failure = {kind, at};
        return std::nullopt;
    };
    if (const std::size_t nul = line.find('\0'); nul != std::string_view::npos)
        return fail(SplitFailure::Kind::NulCharacter, nul);

    std::vector<std::string> words;
    std::string word;
    bool inWord = false; // a word has begun, possibly an empty one from ''
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n) {
        const char c = line[i];
        if (IsBlank(c)) {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
            ++i;
            continue;
        }
        inWord = true;
        if (c == '\'') {
            const std::size_t close = line.find('\'', i + 1);
            if (close == std::string_view::npos)
                return fail(SplitFailure::Kind::UnmatchedQuote, i);
            word.append(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (c == '"') {
            const std::size_t open = i++;
            for (;;) {
                if (i >= n)
                    return fail(SplitFailure::Kind::UnmatchedQuote, open);
                const char d = line[i];
                if (d == '"') {
                    ++i;
                    break;
                }
                if (d == '\\' && i + 1 < n && EscapableInDoubleQuotes(line[i + 1])) {
                    word.push_back(line[i + 1]);
                    i += 2;
                } else {
                    word.push_back(d);
                    ++i;
                }
            }
        } else if (c == '\\') {
            if (i + 1 >= n)
                return fail(SplitFailure::Kind::LoneBackslash, i);
            word.push_back(line[i + 1]);
            i += 2;
        } else {
            word.push_back(c);
            ++i;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    if (words.empty())
        return fail(SplitFailure::Kind::NoWord, n);
    return words;
}

} // namespace spillways_detail
