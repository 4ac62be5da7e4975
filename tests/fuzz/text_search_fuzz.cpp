// Finding text against a naive search with a folding table of its own, over letters whose cases fold in
// ways worth checking (the Kelvin sign, long s, final sigma, sharp s, the micro sign, cases in alternation, a
// supplementary letter), marks, a joiner and an emoji with a modifier: forward and backward from a position,
// round the end, and the matches within a span. The fuzz build's small blocks, some of them Latin-1 and some
// 16-bit, put matches across block boundaries.
#include "FuzzBytes.h"
#include "TextSearch.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Letter {
    std::u16string_view text;
    std::u16string_view folded;
};
constexpr Letter Letters[] = {
    {u"a", u"a"},       {u"A", u"a"},           {u"k", u"k"},           {u"K", u"k"},
    {u"\u212A", u"k"},  {u"s", u"s"},           {u"S", u"s"},           {u"ſ", u"s"},
    {u"σ", u"σ"},       {u"Σ", u"σ"},           {u"ς", u"σ"},           {u"ß", u"ß"},
    {u"ẞ", u"ß"},       {u"é", u"é"},           {u"É", u"é"},           {u"𐐀", u"𐐨"},
    {u"𐐨", u"𐐨"},       {u"\u0301", u"\u0301"}, {u"\u200D", u"\u200D"}, {u"😀", u"😀"},
    {u"🏽", u"🏽"}, {u"\uFE0F", u"\uFE0F"}, {u" ", u" "},           {u"\n", u"\n"},
    {u"µ", u"μ"},       {u"Μ", u"μ"},           {u"Ź", u"ź"},           {u"ź", u"ź"},
    {u"Ω", u"ω"},       {u"x", u"x"},
};
constexpr std::size_t LetterCount = sizeof Letters / sizeof Letters[0];

// The text's characters and their folded forms, unit for unit.
void Add(std::uint8_t b, std::u16string& text, std::u16string& folded) {
    const Letter& letter = Letters[b % LetterCount];
    text += letter.text;
    folded += letter.folded;
}

// Whether a match may start or end at `i`: not inside a pair, before a mark, a selector or a modifier, nor
// beside a joiner.
bool Boundary(const std::u16string& t, std::size_t i) {
    if (i == 0 || i >= t.size()) {
        return true;
    }
    const bool insidePair = (t[i] & 0xFC00) == 0xDC00;
    const bool modifier = t[i] == 0xD83C && i + 1 < t.size() && t[i + 1] == 0xDFFD;
    return !insidePair && !modifier && t[i] != 0x0301 && t[i] != 0xFE0F && t[i] != 0x200D &&
           t[i - 1] != 0x200D;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzBytes input(data, size);
    const bool matchCase = input.Byte() % 2 == 0;
    std::u16string pattern, foldedPattern, text, folded;
    for (std::uint8_t n = input.Byte() % 4 + 1; n > 0; --n) {
        Add(input.Byte(), pattern, foldedPattern);
    }
    const std::size_t from = input.Byte();
    const std::size_t span = input.Byte() % 64;
    while (!input.Empty()) {
        Add(input.Byte(), text, folded);
    }
    const std::u16string& p = matchCase ? pattern : foldedPattern;
    const std::u16string& t = matchCase ? text : folded;
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + p.size() <= t.size(); ++i) {
        if (t.compare(i, p.size(), p) == 0 && Boundary(text, i) && Boundary(text, i + p.size())) {
            starts.push_back(i);
        }
    }

    OutputText stored;
    stored.Append(text);
    const SearchedOutput searched(stored);
    const TextSearch search(pattern, matchCase);
    const std::size_t at = std::min(from, text.size());
    // Forward finds the first match from `at` on, backward the one before it; else each goes round the end.
    const auto next = std::lower_bound(starts.begin(), starts.end(), at);
    for (const bool forward : {true, false}) {
        const auto match = search.Find(
            searched, from, forward ? TextSearch::Direction::Forward : TextSearch::Direction::Backward);
        Agree(match.has_value() == !starts.empty());
        if (!match) {
            continue;
        }
        const bool wrapped = forward ? next == starts.end() : next == starts.begin();
        const std::size_t expected =
            forward ? (wrapped ? starts.front() : *next) : (wrapped ? starts.back() : next[-1]);
        Agree(match->from == expected && match->wrapped == wrapped && match->to == expected + p.size());
    }

    // On screen: the matches within a span, taken from the left and not overlapping.
    const std::size_t to = at + span;
    std::vector<std::pair<std::size_t, std::size_t>> within;
    for (const std::size_t s : starts) {
        if (s >= at && s + p.size() <= to && (within.empty() || s >= within.back().second)) {
            within.emplace_back(s, s + p.size());
        }
    }
    Agree(search.MatchesWithin(searched, at, to) == within);
    return 0;
}
