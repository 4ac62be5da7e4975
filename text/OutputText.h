// The output box's text as plain C++: a store that holds gigabytes in a few bytes per character with its last
// line open to overwriting, and the spans a selection picks.
#pragma once

#include "LargeBlock.h"
#include "LineStarts.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The current last line of some text, which a carriage return lets later output overwrite.
class OutputLines {
public:
    virtual ~OutputLines() = default;
    virtual std::size_t LastLineLength() const = 0;
    virtual std::u16string LastLine() const = 0;
    // The same into `line`, which keeps its room for the next time: a line rewritten after each carriage
    // return is copied out without an allocation.
    virtual void CopyLastLine(std::u16string& line) const { line = LastLine(); }
    // The last line from `column` on (none past its end), the same way.
    virtual void CopyLastLineFrom(std::size_t column, std::u16string& tail) const {
        const std::u16string line = LastLine();
        tail.assign(line, std::min(column, line.size()));
    }
    virtual void Append(std::u16string_view text) = 0; // may hold '\n'
    // Writes `text` (no '\n') over the last line from `column` on, extending the line where it runs past.
    virtual void Overwrite(std::size_t column, std::u16string_view text) = 0;
    // Cuts the last line to `column` characters (none when it is not longer).
    virtual void Truncate(std::size_t column) = 0;
    // How many characters are held, the last line among them: all the text for the store, only the tail
    // not yet passed on for a holder that passes the rest on (the Win32 box's). Style positions count
    // within it.
    virtual std::size_t Size() const = 0;
};

// The fuzz build stores a few characters a block, so that its short inputs cross block boundaries.
#ifndef OMBREL_TEXT_BLOCK_SHIFT
#define OMBREL_TEXT_BLOCK_SHIFT 21
#endif

// The shown text, append-only but for the last line, in UTF-16 positions. Text sits in large blocks of a
// fixed size (LargeBlock.h), each kept one byte per character while it holds Latin-1 only; line starts take
// four bytes a line, or next to nothing where lines run all of one length (LineStarts.h). Appending costs
// time in proportion to what is appended; nothing stored moves.
class OutputText final : public OutputLines {
public:
    // A block holds 2 Mi characters: 2 MB, or 4 MB once it needs 16 bits.
    static constexpr unsigned BlockShift = OMBREL_TEXT_BLOCK_SHIFT;
    static constexpr std::size_t BlockCharacters = std::size_t{1} << BlockShift;
    OutputText();
    OutputText(const OutputText&) = delete;
    OutputText& operator=(const OutputText&) = delete;
    ~OutputText() override;

    void Clear();
    std::size_t Size() const override { return size_; }
    char16_t At(std::size_t position) const;
    void CopyTo(std::size_t from, std::size_t to, char16_t* out) const; // [from, to) into out
    std::u16string Text(std::size_t from, std::size_t to) const;        // either order

    // The stored block that holds `position` (< Size()), for reading long stretches at memory speed: its
    // first position, how many characters it holds, and those, one byte each (while Latin-1) or two. Valid
    // until the text changes.
    struct Run {
        std::size_t start = 0;
        std::size_t size = 0;
        const unsigned char* narrow = nullptr; // one of the two
        const char16_t* wide = nullptr;
    };
    Run RunAt(std::size_t position) const;

    std::size_t LineCount() const { return lines_.Count(); }
    std::size_t LineStart(std::size_t line) const;
    std::size_t LineEnd(std::size_t line) const; // before its line break
    std::size_t LineOf(std::size_t position) const;

    // What a double click and a triple click select around `position`: a run of word characters, of blanks
    // or of other signs; the line without its break.
    std::pair<std::size_t, std::size_t> WordAt(std::size_t position) const;
    std::pair<std::size_t, std::size_t> LineAt(std::size_t position) const;

    // The scroll bar's estimate of the wrapped height, from line lengths alone, so that a scroll bar maps its
    // value to a line without laying out the text; exact heights are only ever needed near the view. One rule
    // at one number of characters a row (SetCharactersPerRow, at least 1): a line of n characters takes n
    // divided by it, rounded up, and at least one row, and the character `column` characters into a line lies
    // in the line's estimated row `column` divided by it. Rows are summed per group of lines as lines end, so
    // no call costs more than a group's lines. It is not the laid-out height: wide characters, tabs and where
    // rows break make that differ. Promised: EstimatedRowsBefore(l + 1) is EstimatedRowsBefore(l) plus
    // EstimatedRows(l), and LineAtEstimatedRow(r) is the line whose estimated rows hold r (the last line for
    // any r past the total).
    void SetCharactersPerRow(std::size_t characters);
    std::uint64_t EstimatedRows(std::size_t line) const;
    std::uint64_t EstimatedRowsBefore(std::size_t line) const;
    std::uint64_t EstimatedTotalRows() const {
        return EstimatedRowsBefore(LineCount() - 1) + EstimatedRows(LineCount() - 1);
    }
    std::uint64_t EstimatedRowOfColumn(std::size_t column) const { return column / charactersPerRow_; }
    std::uint64_t FirstColumnOfEstimatedRow(std::uint64_t row) const { return row * charactersPerRow_; }
    std::size_t LineAtEstimatedRow(std::uint64_t row) const; // the line that estimated row falls in

    // OutputLines
    std::size_t LastLineLength() const override { return size_ - lastStart_; }
    std::u16string LastLine() const override { return Text(lastStart_, size_); }
    void CopyLastLine(std::u16string& line) const override {
        line.resize(size_ - lastStart_);
        CopyTo(lastStart_, size_, line.data());
    }
    void CopyLastLineFrom(std::size_t column, std::u16string& tail) const override {
        const std::size_t from = std::min(lastStart_ + column, size_);
        tail.resize(size_ - from);
        CopyTo(from, size_, tail.data());
    }
    void Append(std::u16string_view text) override;
    void Overwrite(std::size_t column, std::u16string_view text) override;
    void Truncate(std::size_t column) override;

private:
    struct Block;
    static constexpr std::size_t GroupLines = LineStarts<std::uint32_t>::GroupLines;
    std::size_t AppendNarrow(const char16_t* from, std::size_t n, unsigned char* out);
    std::size_t AppendWide(const char16_t* from, std::size_t n, char16_t* out);
    void Put(std::size_t position, char16_t c);
    // A line that fits a row (an empty one above all) costs its start in the index and no more.
    void StartLine(std::size_t start) {
        if (const std::size_t length = start - 1 - lastStart_; length > charactersPerRow_) {
            AddRows(LineCount() - 1, (length - 1) / charactersPerRow_);
        }
        lines_.Add(start);
        lastStart_ = start;
    }
    // Lines starting at `start` and at each of the `count - 1` positions after it: all but the first empty.
    [[gnu::noinline]] void StartEmptyLines(std::size_t start, std::size_t count) {
        StartLine(start);
        lines_.AddConsecutive(start + 1, count - 1);
        lastStart_ = start + count - 1;
    }
    void AddRows(std::size_t line, std::uint64_t rows); // beyond the one of each line
    std::uint64_t GroupRows(std::size_t group) const;   // of a group whose lines have all ended

    std::vector<Block> blocks_;
    LineStarts<std::uint32_t> lines_;
    std::vector<std::uint64_t> groupRows_; // rows beyond one a line of each group's lines that have ended
    std::size_t size_ = 0;
    std::size_t lastStart_ = 0; // of the last line
    std::size_t charactersPerRow_ = 80;
};
