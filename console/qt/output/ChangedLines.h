// The output box's text as the console writes it, noting where the writes began: most chunks of a flood only
// add to the end, and the view need not look again at what it has laid out of the line before them.
#pragma once

#include "OutputText.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

class ChangedLines final : public OutputLines {
public:
    static constexpr std::size_t None = std::numeric_limits<std::size_t>::max();

    explicit ChangedLines(OutputText& text) : text_(text) {}

    std::size_t LastLineLength() const override { return text_.LastLineLength(); }
    std::u16string LastLine() const override { return text_.LastLine(); }
    void CopyLastLine(std::u16string& line) const override { text_.CopyLastLine(line); }
    void CopyLastLineFrom(std::size_t column, std::u16string& tail) const override {
        text_.CopyLastLineFrom(column, tail);
    }
    std::size_t Size() const override { return text_.Size(); }
    void Append(std::u16string_view text) override {
        Changed(text_.Size());
        text_.Append(text);
    }
    void Overwrite(std::size_t column, std::u16string_view text) override {
        Changed(LastStart() + column);
        text_.Overwrite(column, text);
    }
    void Truncate(std::size_t column) override {
        Changed(LastStart() + column);
        text_.Truncate(column);
    }

    // The first position written since the last call; None when nothing was.
    std::size_t TakeFirstChange() { return std::exchange(first_, None); }

private:
    std::size_t LastStart() const { return text_.Size() - text_.LastLineLength(); }
    void Changed(std::size_t position) { first_ = std::min(first_, position); }

    OutputText& text_;
    std::size_t first_ = None;
};
