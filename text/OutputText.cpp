#include "OutputText.h"

#include "TextScan.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr unsigned BlockShift = OutputText::BlockShift;
constexpr std::size_t BlockSize = OutputText::BlockCharacters;

// What a double click takes together: 0 blanks, 1 word characters, 2 other signs.
int CharacterClass(char16_t c) {
    if (c == u' ' || c == u'\t') {
        return 0;
    }
    const bool word = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                      c == u'_' || (c >= 0x80 && c != 0xA0 && c != 0x3000);
    return word ? 1 : 2;
}

} // namespace

struct OutputText::Block {
    large_block::Ptr<unsigned char> narrow; // while every character is Latin-1
    large_block::Ptr<char16_t> wide;
};

OutputText::OutputText() {
    Clear();
}

OutputText::~OutputText() = default;

void OutputText::Clear() {
    blocks_.clear();
    lines_.Clear();
    groupRows_.clear();
    size_ = 0;
    lastStart_ = 0;
    lines_.Add(0);
}

char16_t OutputText::At(std::size_t position) const {
    const Block& block = blocks_[position >> BlockShift];
    const std::size_t i = position & (BlockSize - 1);
    return block.wide ? block.wide[i] : block.narrow[i];
}

void OutputText::CopyTo(std::size_t from, std::size_t to, char16_t* out) const {
    while (from < to) {
        const Block& block = blocks_[from >> BlockShift];
        const std::size_t i = from & (BlockSize - 1);
        const std::size_t n = std::min(to - from, BlockSize - i);
        if (block.wide) {
            std::memcpy(out, block.wide.get() + i, n * sizeof(char16_t));
        } else {
            std::copy_n(block.narrow.get() + i, n, out);
        }
        out += n;
        from += n;
    }
}

std::u16string OutputText::Text(std::size_t from, std::size_t to) const {
    if (from > to) {
        std::swap(from, to);
    }
    to = std::min(to, size_);
    from = std::min(from, to);
    std::u16string text(to - from, u'\0');
    CopyTo(from, to, text.data());
    return text;
}

std::size_t OutputText::LineStart(std::size_t line) const {
    return lines_.Start(line);
}

std::size_t OutputText::LineEnd(std::size_t line) const {
    return line + 1 < LineCount() ? LineStart(line + 1) - 1 : size_;
}

std::size_t OutputText::LineOf(std::size_t position) const {
    return lines_.LineOf(position);
}

std::pair<std::size_t, std::size_t> OutputText::WordAt(std::size_t position) const {
    const std::size_t line = LineOf(std::min(position, size_));
    const std::size_t start = LineStart(line);
    const std::size_t end = LineEnd(line);
    if (start == end) {
        return {start, start};
    }
    position = std::clamp(position, start, end - 1);
    const int kind = CharacterClass(At(position));
    std::size_t from = position;
    std::size_t to = position + 1;
    while (from > start && CharacterClass(At(from - 1)) == kind) {
        --from;
    }
    while (to < end && CharacterClass(At(to)) == kind) {
        ++to;
    }
    return {from, to};
}

std::pair<std::size_t, std::size_t> OutputText::LineAt(std::size_t position) const {
    const std::size_t line = LineOf(std::min(position, size_));
    return {LineStart(line), LineEnd(line)};
}

// Rows are counted as one a line, and beyond that what each group's longer lines add (groupRows_, an entry
// only up to the last group where a line had more), so that a line that fits a row costs nothing here.
void OutputText::SetCharactersPerRow(std::size_t characters) {
    characters = std::max<std::size_t>(characters, 1);
    if (characters == charactersPerRow_) {
        return;
    }
    charactersPerRow_ = characters;
    groupRows_.clear();
    for (std::size_t line = 0; line + 1 < LineCount(); ++line) {
        AddRows(line, EstimatedRows(line) - 1);
    }
}

void OutputText::AddRows(std::size_t line, std::uint64_t rows) {
    if (rows == 0) {
        return;
    }
    const std::size_t group = line / GroupLines;
    if (groupRows_.size() <= group) {
        groupRows_.resize(group + 1);
    }
    groupRows_[group] += rows;
}

std::uint64_t OutputText::GroupRows(std::size_t group) const {
    return GroupLines + (group < groupRows_.size() ? groupRows_[group] : 0);
}

std::uint64_t OutputText::EstimatedRows(std::size_t line) const {
    const std::size_t length = LineEnd(line) - LineStart(line);
    return std::max<std::uint64_t>(1, (length + charactersPerRow_ - 1) / charactersPerRow_);
}

std::uint64_t OutputText::EstimatedRowsBefore(std::size_t line) const {
    std::uint64_t rows = 0;
    for (std::size_t g = 0; g < line / GroupLines; ++g) {
        rows += GroupRows(g);
    }
    for (std::size_t l = line / GroupLines * GroupLines; l < line; ++l) {
        rows += EstimatedRows(l);
    }
    return rows;
}

std::size_t OutputText::LineAtEstimatedRow(std::uint64_t row) const {
    std::size_t line = 0;
    for (std::size_t g = 0; line + GroupLines < LineCount(); ++g) {
        const std::uint64_t groupRows = GroupRows(g);
        if (row < groupRows) {
            break;
        }
        row -= groupRows;
        line += GroupLines;
    }
    for (; line + 1 < LineCount(); ++line) {
        const std::uint64_t rows = EstimatedRows(line);
        if (row < rows) {
            break;
        }
        row -= rows;
    }
    return line;
}

// One pass over the text: each character is stored and each line break starts a line, with no search ahead.
void OutputText::Append(std::u16string_view text) {
    const char16_t* from = text.data();
    const char16_t* const end = from + text.size();
    while (from != end) {
        if ((size_ >> BlockShift) == blocks_.size()) {
            blocks_.emplace_back().narrow = large_block::Make<unsigned char>(BlockSize);
        }
        Block& block = blocks_[size_ >> BlockShift];
        const std::size_t i = size_ & (BlockSize - 1);
        const std::size_t n = std::min(static_cast<std::size_t>(end - from), BlockSize - i);
        const std::size_t done = block.wide ? AppendWide(from, n, block.wide.get() + i)
                                            : AppendNarrow(from, n, block.narrow.get() + i);
        size_ += done;
        from += done;
    }
}

// Eight at a time where there are as many, the line breaks among them found with them.
std::size_t OutputText::AppendWide(const char16_t* from, std::size_t n, char16_t* out) {
    std::size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        for (std::uint32_t breaks = text_scan::WideEight(from + k, out + k); breaks != 0;
             breaks &= breaks - 1) {
            StartLine(size_ + k + static_cast<std::size_t>(std::countr_zero(breaks)) + 1);
        }
    }
    for (; k < n; ++k) {
        out[k] = from[k];
        if (from[k] == u'\n') {
            StartLine(size_ + k + 1);
        }
    }
    return n;
}

// Stores Latin-1 text a byte a character, sixteen or eight at a time where it can (the last few with the
// eight before them, stored again as they were), the rest one at a time; stops after the first character
// beyond Latin-1, which widens the block.
std::size_t OutputText::AppendNarrow(const char16_t* from, std::size_t n, unsigned char* out) {
    std::size_t done = 0;
    const auto startLines = [this](std::uint32_t breaks, std::size_t at) {
        for (; breaks != 0; breaks &= breaks - 1) {
            StartLine(size_ + at + static_cast<std::size_t>(std::countr_zero(breaks)) + 1);
        }
    };
    std::uint32_t breaks = 0;
    for (; done + 16 <= n && text_scan::NarrowSixteen(from + done, out + done, breaks); done += 16) {
        if (breaks == 0) [[likely]] {
            continue;
        }
        if (breaks != 0xFFFF) {
            startLines(breaks, done);
            continue;
        }
        // Sixteen line breaks: a flood of empty lines, taken whole with the breaks that follow.
        const std::size_t more = text_scan::RepeatLength(from + done + 16, from + n, u'\n');
        std::memset(out + done + 16, '\n', more);
        StartEmptyLines(size_ + done + 1, 16 + more);
        done += more;
    }
    if (n - done >= 8 && text_scan::NarrowEight(from + done, out + done, breaks)) {
        startLines(breaks, done);
        done += 8;
    }
    if (done < n && n >= 8 && n - done < 8 && text_scan::NarrowEight(from + n - 8, out + n - 8, breaks)) {
        startLines(breaks & ~0U << (8 - (n - done)), n - 8);
        return n;
    }
    // Fewer than eight, or a character beyond Latin-1 among the next sixteen.
    for (; done < n; ++done) {
        const char16_t c = from[done];
        if (c > 0xFF) {
            Put(size_ + done, c); // the block's first character beyond Latin-1
            return done + 1;
        }
        out[done] = static_cast<unsigned char>(c);
        if (c == u'\n') {
            StartLine(size_ + done + 1);
        }
    }
    return done;
}

void OutputText::Overwrite(std::size_t column, std::u16string_view text) {
    const std::size_t start = lastStart_ + column;
    const std::size_t over = std::min(text.size(), size_ - std::min(start, size_));
    // Block by block: Latin-1 over a narrow block is stored a byte a character, up to the first character
    // that widens it.
    for (std::size_t i = 0; i < over;) {
        Block& block = blocks_[(start + i) >> BlockShift];
        const std::size_t at = (start + i) & (BlockSize - 1);
        const std::size_t n = std::min(over - i, BlockSize - at);
        if (block.wide) {
            std::copy_n(text.data() + i, n, block.wide.get() + at);
            i += n;
            continue;
        }
        std::size_t k = 0;
        for (; k < n && text[i + k] <= 0xFF; ++k) {
            block.narrow[at + k] = static_cast<unsigned char>(text[i + k]);
        }
        if (k < n) {
            Put(start + i + k, text[i + k]);
            ++k;
        }
        i += k;
    }
    Append(text.substr(over));
}

void OutputText::Truncate(std::size_t column) {
    size_ = std::min(size_, lastStart_ + column);
    // The block appended to next stays mapped, so that a meter cutting its line back to a block's start
    // costs no more than appending does.
    blocks_.resize(std::min(blocks_.size(), (size_ >> BlockShift) + 1));
}

void OutputText::Put(std::size_t position, char16_t c) {
    Block& block = blocks_[position >> BlockShift];
    const std::size_t i = position & (BlockSize - 1);
    if (block.wide) {
        block.wide[i] = c;
        return;
    }
    if (c <= 0xFF) {
        block.narrow[i] = static_cast<unsigned char>(c);
        return;
    }
    // The block's first character beyond Latin-1: from here on it keeps 16 bits a character.
    const std::size_t used =
        std::min(BlockSize, std::max(size_, position + 1) - (position & ~(BlockSize - 1)));
    block.wide = large_block::Make<char16_t>(BlockSize);
    std::copy_n(block.narrow.get(), used, block.wide.get());
    block.narrow.reset();
    block.wide[i] = c;
}

OutputText::Run OutputText::RunAt(std::size_t position) const {
    const Block& block = blocks_[position >> BlockShift];
    const std::size_t start = position & ~(BlockSize - 1);
    return {start, std::min(BlockSize, size_ - start), block.narrow.get(), block.wide.get()};
}
