// Finding a string in the output text as shown: the next or the previous match from a position, going round
// the end, with or without regard to case, never starting or ending inside a grapheme cluster. It reads the
// text where it is stored, a block at a time, and keeps no copy of it: a gigabyte is searched at memory
// speed.
#pragma once

#include "OutputText.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Text as a search reads it: runs of stored characters, one byte each (Latin-1) or two.
class SearchedText {
public:
    virtual ~SearchedText() = default;
    virtual std::size_t Size() const = 0;
    virtual OutputText::Run RunAt(std::size_t position) const = 0; // the run that holds position < Size()
    char16_t At(std::size_t position) const;
};

// The output box's store, searched where it lies.
class SearchedOutput final : public SearchedText {
public:
    explicit SearchedOutput(const OutputText& text) : text_(text) {}
    std::size_t Size() const override { return text_.Size(); }
    OutputText::Run RunAt(std::size_t position) const override { return text_.RunAt(position); }

private:
    const OutputText& text_;
};

// One stretch of 16-bit characters, such as a text box's own buffer.
class SearchedCharacters final : public SearchedText {
public:
    explicit SearchedCharacters(std::u16string_view text) : text_(text) {}
    std::size_t Size() const override { return text_.size(); }
    OutputText::Run RunAt(std::size_t) const override { return {0, text_.size(), nullptr, text_.data()}; }

private:
    std::u16string_view text_;
};

// Whether a match may begin or end at `position` of the text (its start and end always may).
using ClusterBoundary = std::function<bool(const SearchedText& text, std::size_t position)>;

// A rule of thumb where no text engine is at hand: no boundary within a surrogate pair, before a combining
// mark, a variation selector, an emoji modifier or a tag character, nor on either side of a zero-width
// joiner.
bool SimpleClusterBoundary(const SearchedText& text, std::size_t position);

struct TextMatch {
    std::size_t from = 0;
    std::size_t to = 0;
    bool wrapped = false; // went round the end (forward) or the start (backward) to find it
};

class TextSearch {
public:
    enum class Direction { Forward, Backward };

    // Without regard to case unless `matchCase`, by simple case folding.
    TextSearch(std::u16string_view pattern, bool matchCase, ClusterBoundary boundary = SimpleClusterBoundary);

    bool Empty() const { return pattern_.empty(); }

    // Forward: the first match that starts at `from` or later, else the first in the text. Backward: the last
    // match that starts before `from`, else the last in the text. None for an empty pattern.
    std::optional<TextMatch> Find(const SearchedText& text, std::size_t from, Direction direction) const;

    // The matches that lie wholly within [from, to), in order and not overlapping, at most `limit` of them.
    std::vector<std::pair<std::size_t, std::size_t>>
    MatchesWithin(const SearchedText& text, std::size_t from, std::size_t to, std::size_t limit = 4096) const;

private:
    std::optional<std::size_t> Scan(const SearchedText& text, std::size_t from, std::size_t to,
                                    bool forward) const; // a match's start within [from, to)
    std::optional<std::size_t> ScanRun(const SearchedText& text, const OutputText::Run& run, std::size_t from,
                                       std::size_t to, bool forward) const; // matches wholly within the run
    bool MatchesAt(const SearchedText& text, std::size_t position) const;   // anywhere, run by run
    bool MatchesWithinRun(const OutputText::Run& run, std::size_t index) const;
    bool OnBoundaries(const SearchedText& text, std::size_t position) const;
    char16_t Fold(char16_t previous, char16_t c) const;

    std::u16string pattern_; // folded unless case matters
    bool matchCase_;
    ClusterBoundary boundary_;
    const char16_t* folding_;
    // Candidates are the starts where two of the pattern's characters, the rarest in output text, are found
    // at their places. Latin-1 blocks: whether the pattern can occur there at all, and a byte for each of the
    // two, compared with 0x20 set where case does not matter (a letter's two cases differ in that bit).
    std::size_t firstOffset_ = 0;
    std::size_t secondOffset_ = 0;
    bool narrowPossible_ = true;
    unsigned char firstByte_ = 0;
    unsigned char secondByte_ = 0;
    unsigned char caseBit_ = 0;
    // 16-bit blocks: the characters that fold to each of the two (at most four; more, and each start is
    // folded and compared by itself).
    char16_t firstUnits_[4] = {};
    char16_t secondUnits_[4] = {};
    int firstUnitCount_ = 0;
    int secondUnitCount_ = 0;
};
