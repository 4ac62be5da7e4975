// The output box's text as plain C++: a store that holds gigabytes in a few bytes per character with its last
// line open to overwriting, word wrapping over any text and font, and the spans a selection picks.
#pragma once

#include "LineStarts.h"

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
    virtual void Append(std::u16string_view text) = 0; // may hold '\n'
    // Writes `text` (no '\n') over the last line from `column` on, extending the line where it runs past.
    virtual void Overwrite(std::size_t column, std::u16string_view text) = 0;
    // Cuts the last line to `column` characters (none when it is not longer).
    virtual void Truncate(std::size_t column) = 0;
    virtual std::size_t Size() const = 0; // of all the text held
};

// The shown text, append-only but for the last line, in UTF-16 positions. Text sits in blocks of a fixed
// size, each kept one byte per character while it holds Latin-1 only; line starts take four bytes a line
// (LineStarts.h). Appending costs time in proportion to what is appended; nothing stored moves.
class OutputText final : public OutputLines {
public:
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

    // The wrapped height as estimated from line lengths alone (a line of n characters takes n divided by the
    // characters a row holds, at least one row), kept per group of lines so that a scroll bar can map its
    // value to a line without laying out the text. Exact heights are only ever needed near the view.
    void SetCharactersPerRow(std::size_t characters);
    std::uint64_t EstimatedRows(std::size_t line) const;
    std::uint64_t EstimatedRowsBefore(std::size_t line) const;
    std::uint64_t EstimatedTotalRows() const {
        return EstimatedRowsBefore(LineCount() - 1) + EstimatedRows(LineCount() - 1);
    }
    std::size_t LineAtEstimatedRow(std::uint64_t row) const; // the line that estimated row falls in

    // OutputLines
    std::size_t LastLineLength() const override { return size_ - lastStart_; }
    void Append(std::u16string_view text) override;
    void Overwrite(std::size_t column, std::u16string_view text) override;
    void Truncate(std::size_t column) override;

private:
    struct Block;
    static constexpr std::size_t GroupLines = LineStarts<std::uint32_t>::GroupLines;
    void Put(std::size_t position, char16_t c);
    void StartLine(std::size_t start);

    std::vector<Block> blocks_;
    LineStarts<std::uint32_t> lines_;
    std::vector<std::uint64_t> groupRows_; // estimated rows of each group's lines that have ended
    std::size_t size_ = 0;
    std::size_t lastStart_ = 0; // of the last line
    std::size_t charactersPerRow_ = 80;
};

// Where a line breaks into rows `width` wide, `advance(c)` being a character's width: at word boundaries
// (after blanks, which may hang past the edge), and a word wider than a row at the edge, for that word alone.
// Returns each row's first position (the first is 0). `text` needs size() and operator[].
template <typename Text, typename Advance>
std::vector<std::size_t> WrapRows(const Text& text, double width, Advance advance) {
    std::vector<std::size_t> rows{0};
    std::size_t rowStart = 0;
    std::size_t wordStart = 0; // the last break opportunity in this row, or rowStart
    double x = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u' ' || c == u'\t') {
            x += advance(c);
            wordStart = i + 1;
            continue;
        }
        const double w = advance(c);
        while (x + w > width && i > rowStart) {
            std::size_t next = wordStart > rowStart ? wordStart : i;
            if (next == i && (c & 0xFC00) == 0xDC00 && next - 1 > rowStart) {
                --next; // a surrogate pair stays together
            }
            rows.push_back(next);
            rowStart = next;
            wordStart = next;
            x = 0;
            for (std::size_t j = next; j < i; ++j) {
                x += advance(text[j]);
            }
        }
        x += w;
    }
    return rows;
}
