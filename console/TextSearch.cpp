#include "TextSearch.h"

#include "CaseFolding.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

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

std::uint64_t Load8(const unsigned char* bytes) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof(word));
    return word;
}

constexpr std::uint64_t EveryByte = 0x0101010101010101;
constexpr std::uint64_t Low7Bits = 0x7F7F7F7F7F7F7F7F;

// The top bit of each byte of `word` that is zero, exactly (no carry crosses a byte).
std::uint64_t ZeroBytes(std::uint64_t word) {
    return ~(((word & Low7Bits) + Low7Bits) | word | Low7Bits);
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
    if (!pattern_.empty() && narrowPossible_) {
        firstByte_ = *ByteFoldingTo(folding_, pattern_.front(), matchCase_);
        lastByte_ = *ByteFoldingTo(folding_, pattern_.back(), matchCase_);
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
    const std::size_t last = pattern_.size() - 1;
    std::size_t a = from - run.start;
    std::size_t b = to - run.start;
    const auto check = [&](std::size_t i) {
        return MatchesWithinRun(run, i) && OnBoundaries(text, run.start + i);
    };
    if (run.narrow != nullptr) {
        if (!narrowPossible_) {
            return std::nullopt;
        }
        // Eight starts at a time: bytes like the first character where bytes like the last follow at the
        // right distance.
        const unsigned char* s = run.narrow;
        const std::uint64_t caseBits = caseBit_ * EveryByte;
        const std::uint64_t firsts = (firstByte_ | caseBit_) * EveryByte;
        const std::uint64_t lasts = (lastByte_ | caseBit_) * EveryByte;
        const auto candidates = [&](std::size_t i) {
            return ZeroBytes((Load8(s + i) | caseBits) ^ firsts) &
                   ZeroBytes((Load8(s + i + last) | caseBits) ^ lasts);
        };
        if (forward) {
            for (; a + 8 <= b; a += 8) {
                for (std::uint64_t hits = candidates(a); hits != 0; hits &= hits - 1) {
                    const std::size_t i = a + static_cast<std::size_t>(std::countr_zero(hits)) / 8;
                    if (check(i)) {
                        return run.start + i;
                    }
                }
            }
        } else {
            for (; b >= a + 8;) {
                b -= 8;
                for (std::uint64_t hits = candidates(b); hits != 0;) {
                    const int bit = 63 - std::countl_zero(hits);
                    if (check(b + static_cast<std::size_t>(bit) / 8)) {
                        return run.start + b + static_cast<std::size_t>(bit) / 8;
                    }
                    hits &= ~(std::uint64_t{1} << bit);
                }
            }
        }
    }
    // The rest one start at a time, checking the first and the last character before the others.
    const char16_t first = pattern_.front();
    const char16_t lastCharacter = pattern_.back();
    const bool lastDecides = !IsLowSurrogate(lastCharacter); // else it folds by the one before it
    const auto at = [&run](std::size_t i) -> char16_t {
        return run.wide != nullptr ? run.wide[i] : run.narrow[i];
    };
    const auto likely = [&](std::size_t i) {
        return Fold(u'\0', at(i)) == first && (!lastDecides || Fold(u'\0', at(i + last)) == lastCharacter);
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
