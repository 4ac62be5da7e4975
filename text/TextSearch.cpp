#include "TextSearch.h"

#include "CaseFolding.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

bool IsHighSurrogate(char16_t c) {
    return (c & 0xFC00) == 0xD800;
}

bool IsLowSurrogate(char16_t c) {
    return (c & 0xFC00) == 0xDC00;
}

// Marks and joiners that attach to the character before them. Common scripts' ranges, not the whole table.
bool ExtendsCluster(char32_t c) {
    struct Range {
        char32_t first;
        char32_t last;
    };
    static constexpr Range Ranges[] = {
        {0x0300, 0x036F},   {0x0483, 0x0489},   {0x0591, 0x05BD},   {0x05BF, 0x05C7}, {0x0610, 0x061A},
        {0x064B, 0x065F},   {0x0670, 0x0670},   {0x06D6, 0x06ED},   {0x0900, 0x0903}, {0x093A, 0x094F},
        {0x0951, 0x0957},   {0x0962, 0x0963},   {0x0981, 0x0983},   {0x09BC, 0x09D7}, {0x0E31, 0x0E31},
        {0x0E34, 0x0E3A},   {0x0E47, 0x0E4E},   {0x1AB0, 0x1AFF},   {0x1DC0, 0x1DFF}, {0x200C, 0x200D},
        {0x20D0, 0x20FF},   {0x302A, 0x302F},   {0x3099, 0x309A},   {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F},
        {0x1F3FB, 0x1F3FF}, {0xE0020, 0xE007F}, {0xE0100, 0xE01EF},
    };
    return std::any_of(std::begin(Ranges), std::end(Ranges),
                       [c](const Range& range) { return c >= range.first && c <= range.last; });
}

// Sixteen bytes compared at once (SSE2 or NEON where there is one, plain code elsewhere).
using Bytes16 = unsigned char __attribute__((vector_size(16)));

// Eight 16-bit characters compared at once.
using Units8 = std::uint16_t __attribute__((vector_size(16)));

// Vectors go by reference: where the target has no vector registers, passing them by value changes the ABI.
template <typename Vector, typename Element>
void Load(Vector& vector, const Element* elements) {
    std::memcpy(&vector, elements, sizeof(vector));
}

template <typename Vector, typename Element>
void Splat(Vector& vector, Element element) {
    Element elements[sizeof(Vector) / sizeof(Element)];
    std::fill(std::begin(elements), std::end(elements), element);
    std::memcpy(&vector, elements, sizeof(vector));
}

constexpr std::uint64_t TopBits = 0x8080808080808080;
constexpr std::uint64_t TopBitsOfUnits = 0x8000800080008000;

// Up to four characters that fold to `c`, into `units`; the count, or 5 when there are more.
int UnitsFoldingTo(const char16_t* folding, char16_t c, bool matchCase, char16_t* units) {
    units[0] = c;
    if (matchCase) {
        return 1;
    }
    int count = 0;
    for (char32_t u = 0; u < 0x10000 && count <= 4; ++u) {
        if (folding[u] == c) {
            if (count < 4) {
                units[count] = static_cast<char16_t>(u);
            }
            ++count;
        }
    }
    return count;
}

// How common a character is in command output, roughly (higher is more common): blanks, letters by their
// frequency in English, digits, then punctuation; anything else counts as rare.
int Commonness(char16_t c) {
    constexpr std::u16string_view ByFrequency = u"zqjxkvbywgpfm9876543210ucdlhrsnioate ";
    if (c >= u'A' && c <= u'Z') {
        c = static_cast<char16_t>(c + 0x20);
    }
    const std::size_t rank = ByFrequency.find(c);
    if (rank != std::u16string_view::npos) {
        return 10 + static_cast<int>(rank);
    }
    return c > u' ' && c < 0x7F ? 5 : 0;
}

// A byte whose folded form is `c`, if there is one.
std::optional<unsigned char> ByteFoldingTo(const char16_t* folding, char16_t c, bool matchCase) {
    for (unsigned b = 0; b < 256; ++b) {
        if ((matchCase ? b : folding[b]) == c) {
            return static_cast<unsigned char>(b);
        }
    }
    return std::nullopt;
}

} // namespace

char16_t SearchedText::At(std::size_t position) const {
    const OutputText::Run run = RunAt(position);
    const std::size_t i = position - run.start;
    return run.wide != nullptr ? run.wide[i] : run.narrow[i];
}

bool SimpleClusterBoundary(const SearchedText& text, std::size_t position) {
    if (position == 0 || position >= text.Size()) {
        return true;
    }
    const char16_t c = text.At(position);
    const char16_t previous = text.At(position - 1);
    if (previous == 0x200D || (IsLowSurrogate(c) && IsHighSurrogate(previous))) {
        return false;
    }
    char32_t next = c;
    if (IsHighSurrogate(c) && position + 1 < text.Size() && IsLowSurrogate(text.At(position + 1))) {
        next = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text.At(position + 1) - 0xDC00);
    }
    return !ExtendsCluster(next);
}

TextSearch::TextSearch(std::u16string_view pattern, bool matchCase, ClusterBoundary boundary)
    : pattern_(pattern), matchCase_(matchCase), boundary_(std::move(boundary)), folding_(CaseFoldingTable()) {
    for (std::size_t i = 0; i < pattern_.size(); ++i) {
        pattern_[i] = Fold(i > 0 ? pattern[i - 1] : u'\0', pattern[i]);
        narrowPossible_ = narrowPossible_ && ByteFoldingTo(folding_, pattern_[i], matchCase_).has_value();
    }
    // The two rarest characters decide the candidates (not a supplementary character's second half, which
    // folds by the first).
    const auto rarest = [this](std::size_t other) {
        std::size_t best = other == 0 && pattern_.size() > 1 ? 1 : 0;
        for (std::size_t i = 0; i < pattern_.size(); ++i) {
            if (i != other && !IsLowSurrogate(pattern_[i]) &&
                Commonness(pattern_[i]) < Commonness(pattern_[best])) {
                best = i;
            }
        }
        return best;
    };
    firstOffset_ = rarest(pattern_.size());
    secondOffset_ = pattern_.size() > 1 ? rarest(firstOffset_) : firstOffset_;
    if (IsLowSurrogate(pattern_[secondOffset_])) {
        secondOffset_ = firstOffset_;
    }
    if (!pattern_.empty()) {
        firstUnitCount_ = UnitsFoldingTo(folding_, pattern_[firstOffset_], matchCase_, firstUnits_);
        secondUnitCount_ = UnitsFoldingTo(folding_, pattern_[secondOffset_], matchCase_, secondUnits_);
    }
    if (!pattern_.empty() && narrowPossible_) {
        firstByte_ = *ByteFoldingTo(folding_, pattern_[firstOffset_], matchCase_);
        secondByte_ = *ByteFoldingTo(folding_, pattern_[secondOffset_], matchCase_);
        caseBit_ = matchCase_ ? 0 : 0x20;
    }
}

char16_t TextSearch::Fold(char16_t previous, char16_t c) const {
    if (matchCase_) {
        return c;
    }
    return IsLowSurrogate(c) && IsHighSurrogate(previous) ? FoldLowSurrogate(previous, c) : folding_[c];
}

std::optional<TextMatch> TextSearch::Find(const SearchedText& text, std::size_t from,
                                          Direction direction) const {
    if (pattern_.empty()) {
        return std::nullopt;
    }
    from = std::min(from, text.Size());
    const bool forward = direction == Direction::Forward;
    // Forward: from `from` to the end, then from the top; backward: before `from`, then from the end.
    using Span = std::pair<std::size_t, std::size_t>;
    const Span first = forward ? Span{from, text.Size()} : Span{0, from};
    const Span second = forward ? Span{0, from} : Span{from, text.Size()};
    if (const auto at = Scan(text, first.first, first.second, forward)) {
        return TextMatch{*at, *at + pattern_.size(), false};
    }
    if (const auto at = Scan(text, second.first, second.second, forward)) {
        return TextMatch{*at, *at + pattern_.size(), true};
    }
    return std::nullopt;
}

std::vector<std::pair<std::size_t, std::size_t>> TextSearch::MatchesWithin(const SearchedText& text,
                                                                           std::size_t from, std::size_t to,
                                                                           std::size_t limit) const {
    std::vector<std::pair<std::size_t, std::size_t>> matches;
    to = std::min(to, text.Size());
    const std::size_t m = pattern_.size();
    while (m > 0 && from + m <= to && matches.size() < limit) {
        const auto at = Scan(text, from, to - m + 1, true);
        if (!at) {
            break;
        }
        matches.emplace_back(*at, *at + m);
        from = *at + m;
    }
    return matches;
}

// Run by run: the starts whose match lies within the run are scanned on the stored characters; the few whose
// match reaches into the next run are compared one by one.
std::optional<std::size_t> TextSearch::Scan(const SearchedText& text, std::size_t from, std::size_t to,
                                            bool forward) const {
    const std::size_t m = pattern_.size();
    if (text.Size() < m) {
        return std::nullopt;
    }
    to = std::min(to, text.Size() - m + 1);
    if (forward) {
        for (std::size_t p = from; p < to;) {
            const OutputText::Run run = text.RunAt(p);
            const std::size_t runEnd = run.start + run.size;
            const std::size_t starts = std::min(to, runEnd);
            const std::size_t within = runEnd >= p + m ? std::min(starts, runEnd - m + 1) : p;
            if (const auto at = ScanRun(text, run, p, within, true)) {
                return at;
            }
            for (std::size_t q = within; q < starts; ++q) {
                if (MatchesAt(text, q)) {
                    return q;
                }
            }
            p = starts;
        }
        return std::nullopt;
    }
    for (std::size_t p = to; p > from;) {
        const OutputText::Run run = text.RunAt(p - 1);
        const std::size_t runEnd = run.start + run.size;
        const std::size_t first = std::max(from, run.start);
        const std::size_t within = runEnd >= first + m ? std::min(p, runEnd - m + 1) : first;
        for (std::size_t q = p; q > within;) {
            if (MatchesAt(text, --q)) {
                return q;
            }
        }
        if (const auto at = ScanRun(text, run, first, within, false)) {
            return at;
        }
        p = first;
    }
    return std::nullopt;
}

std::optional<std::size_t> TextSearch::ScanRun(const SearchedText& text, const OutputText::Run& run,
                                               std::size_t from, std::size_t to, bool forward) const {
    std::size_t a = from - run.start;
    std::size_t b = to - run.start;
    const auto check = [&](std::size_t i) {
        return MatchesWithinRun(run, i) && OnBoundaries(text, run.start + i);
    };
    // Several starts at a time, where both characters are at their places. Each hit is the top bit of a
    // start's byte (or 16-bit character) in one of two words: the first half of the starts, and the second.
    std::uint64_t hits[2] = {};
    const auto checkHits = [&](std::size_t i, std::size_t starts) -> std::optional<std::size_t> {
        const int shift = starts == 16 ? 3 : 4;
        const std::uint64_t topBits = starts == 16 ? TopBits : TopBitsOfUnits;
        for (std::size_t half = 0; half < 2; ++half) {
            const std::size_t word = forward ? half : 1 - half;
            for (std::uint64_t h = hits[word] & topBits; h != 0;) {
                const int bit = forward ? std::countr_zero(h) : 63 - std::countl_zero(h);
                const std::size_t at = i + starts / 2 * word + static_cast<std::size_t>(bit >> shift);
                if (check(at)) {
                    return run.start + at;
                }
                h &= ~(std::uint64_t{1} << bit);
            }
        }
        return std::nullopt;
    };
    const auto sweep = [&](std::size_t starts, const auto& candidates) -> std::optional<std::size_t> {
        if (forward) {
            for (; a + starts <= b; a += starts) {
                if (candidates(a)) {
                    if (const auto found = checkHits(a, starts)) {
                        return found;
                    }
                }
            }
        } else {
            while (b >= a + starts) {
                b -= starts;
                if (candidates(b)) {
                    if (const auto found = checkHits(b, starts)) {
                        return found;
                    }
                }
            }
        }
        return std::nullopt;
    };
    if (run.narrow != nullptr) {
        if (!narrowPossible_) {
            return std::nullopt;
        }
        const unsigned char* s = run.narrow;
        Bytes16 caseBits;
        Bytes16 firsts;
        Bytes16 seconds;
        Splat(caseBits, caseBit_);
        Splat(firsts, static_cast<unsigned char>(firstByte_ | caseBit_));
        Splat(seconds, static_cast<unsigned char>(secondByte_ | caseBit_));
        if (const auto found = sweep(16, [&](std::size_t i) {
                Bytes16 first;
                Bytes16 second;
                Load(first, s + i + firstOffset_);
                Load(second, s + i + secondOffset_);
                const auto both = ((first | caseBits) == firsts) & ((second | caseBits) == seconds);
                std::memcpy(hits, &both, sizeof(hits));
                return ((hits[0] | hits[1]) & TopBits) != 0;
            })) {
            return found;
        }
    } else if (firstUnitCount_ <= 4 && secondUnitCount_ <= 4) {
        Units8 firsts[4] = {};
        Units8 seconds[4] = {};
        for (int k = 0; k < 4; ++k) {
            Splat(firsts[k], static_cast<std::uint16_t>(firstUnits_[std::min(k, firstUnitCount_ - 1)]));
            Splat(seconds[k], static_cast<std::uint16_t>(secondUnits_[std::min(k, secondUnitCount_ - 1)]));
        }
        const char16_t* w = run.wide;
        if (const auto found = sweep(8, [&](std::size_t i) {
                Units8 first;
                Units8 second;
                Load(first, w + i + firstOffset_);
                Load(second, w + i + secondOffset_);
                const auto both = ((first == firsts[0]) | (first == firsts[1]) | (first == firsts[2]) |
                                   (first == firsts[3])) &
                                  ((second == seconds[0]) | (second == seconds[1]) | (second == seconds[2]) |
                                   (second == seconds[3]));
                std::memcpy(hits, &both, sizeof(hits));
                return ((hits[0] | hits[1]) & TopBitsOfUnits) != 0;
            })) {
            return found;
        }
    }
    // The rest one start at a time, the same two characters first.
    const auto at = [&run](std::size_t i) -> char16_t {
        return run.wide != nullptr ? run.wide[i] : run.narrow[i];
    };
    const auto likely = [&](std::size_t i) {
        return Fold(u'\0', at(i + firstOffset_)) == pattern_[firstOffset_] &&
               Fold(u'\0', at(i + secondOffset_)) == pattern_[secondOffset_];
    };
    if (forward) {
        for (std::size_t i = a; i < b; ++i) {
            if (likely(i) && check(i)) {
                return run.start + i;
            }
        }
    } else {
        for (std::size_t i = b; i > a;) {
            --i;
            if (likely(i) && check(i)) {
                return run.start + i;
            }
        }
    }
    return std::nullopt;
}

bool TextSearch::MatchesWithinRun(const OutputText::Run& run, std::size_t index) const {
    if (run.narrow != nullptr) {
        const unsigned char* s = run.narrow + index;
        for (std::size_t k = 0; k < pattern_.size(); ++k) {
            if ((matchCase_ ? s[k] : folding_[s[k]]) != pattern_[k]) {
                return false;
            }
        }
        return true;
    }
    const char16_t* s = run.wide + index;
    for (std::size_t k = 0; k < pattern_.size(); ++k) {
        if (Fold(k > 0 ? s[k - 1] : u'\0', s[k]) != pattern_[k]) {
            return false;
        }
    }
    return true;
}

bool TextSearch::MatchesAt(const SearchedText& text, std::size_t position) const {
    char16_t previous = u'\0';
    for (std::size_t k = 0; k < pattern_.size(); ++k) {
        const char16_t c = text.At(position + k);
        if (Fold(previous, c) != pattern_[k]) {
            return false;
        }
        previous = c;
    }
    return OnBoundaries(text, position);
}

bool TextSearch::OnBoundaries(const SearchedText& text, std::size_t position) const {
    return boundary_(text, position) && boundary_(text, position + pattern_.size());
}
