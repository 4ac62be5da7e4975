// Splitting a command line: words quoted in any of the ways the rules allow, joined by any blanks, come back
// as they were; and any line that splits splits the same once its words are quoted again.
#include "CommandLineSplit.h"
#include "FuzzBytes.h"

#include <string>
#include <vector>

namespace {

std::string Quoted(const std::string& word, std::uint8_t how) {
    std::string quoted;
    if (word.empty() || how % 3 == 0) { // '...', a quote itself as '\''
        quoted = "'";
        for (const char c : word) {
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        return quoted + "'";
    }
    for (const char c : word) {
        const bool special = c == '$' || c == '`' || c == '"' || c == '\\';
        quoted += how % 3 == 1 ? std::string(special ? "\\" : "") + c : std::string("\\") + c;
    }
    return how % 3 == 1 ? "\"" + quoted + "\"" : quoted;
}

std::string Line(const std::vector<std::string>& words, FuzzBytes& input) {
    static const char* const Blanks[] = {" ", "\t", "\n", "  \t"};
    std::string line = Blanks[input.Byte() % 4];
    for (const std::string& word : words) {
        line += Quoted(word, input.Byte()) + Blanks[input.Byte() % 4];
    }
    return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzBytes input(data, size);
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    if (const auto words = spillways_detail::SplitCommandLine(line)) {
        Agree(spillways_detail::SplitCommandLine(Line(*words, input)) == words);
    }
    // Words of the input's bytes, cut at NUL, which no word can hold.
    std::vector<std::string> words{""};
    for (const char c : line) {
        if (c == '\0') {
            words.emplace_back();
        } else {
            words.back().push_back(c);
        }
    }
    Agree(spillways_detail::SplitCommandLine(Line(words, input)) == words);
    return 0;
}
