#include "OutputText.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned BlockShift = 20; // a block holds a million characters: 1 MB, or 2 MB once it needs 16 bits
constexpr std::size_t BlockSize = std::size_t{1} << BlockShift;
constexpr std::size_t GroupLines = 4096;

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
    std::unique_ptr<unsigned char[]> narrow; // while every character is Latin-1
    std::unique_ptr<char16_t[]> wide;
};

struct OutputText::LineGroup {
    std::uint64_t base;                       // where its first line starts
    std::uint64_t rows = 0;                   // estimated rows of its lines that have ended
    std::unique_ptr<std::uint32_t[]> offsets; // line starts from base
};

OutputText::OutputText() {
    Clear();
}

OutputText::~OutputText() = default;

void OutputText::Clear() {
    blocks_.clear();
    groups_.clear();
    size_ = 0;
    lineCount_ = 0;
    StartLine(0);
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
    const LineGroup& group = groups_[line / GroupLines];
    return static_cast<std::size_t>(group.base + group.offsets[line % GroupLines]);
}

std::size_t OutputText::LineEnd(std::size_t line) const {
    return line + 1 < lineCount_ ? LineStart(line + 1) - 1 : size_;
}

std::size_t OutputText::LineOf(std::size_t position) const {
    const auto group = std::upper_bound(groups_.begin(), groups_.end(), position,
                                        [](std::size_t p, const LineGroup& g) { return p < g.base; }) -
                       1;
    const std::size_t first = static_cast<std::size_t>(group - groups_.begin()) * GroupLines;
    const std::size_t count = std::min(GroupLines, lineCount_ - first);
    const auto offset = static_cast<std::uint32_t>(position - group->base);
    const std::uint32_t* offsets = group->offsets.get();
    return first + static_cast<std::size_t>(std::upper_bound(offsets, offsets + count, offset) - offsets) - 1;
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

void OutputText::SetCharactersPerRow(std::size_t characters) {
    characters = std::max<std::size_t>(characters, 1);
    if (characters == charactersPerRow_) {
        return;
    }
    charactersPerRow_ = characters;
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        groups_[g].rows = 0;
        const std::size_t end = std::min((g + 1) * GroupLines, lineCount_ - 1);
        for (std::size_t line = g * GroupLines; line < end; ++line) {
            groups_[g].rows += EstimatedRows(line);
        }
    }
}

std::uint64_t OutputText::EstimatedRows(std::size_t line) const {
    const std::size_t length = LineEnd(line) - LineStart(line);
    return std::max<std::uint64_t>(1, (length + charactersPerRow_ - 1) / charactersPerRow_);
}

std::uint64_t OutputText::EstimatedRowsBefore(std::size_t line) const {
    std::uint64_t rows = 0;
    for (std::size_t g = 0; g < line / GroupLines; ++g) {
        rows += groups_[g].rows;
    }
    for (std::size_t l = line / GroupLines * GroupLines; l < line; ++l) {
        rows += EstimatedRows(l);
    }
    return rows;
}

std::size_t OutputText::LineAtEstimatedRow(std::uint64_t row) const {
    std::size_t line = 0;
    for (const LineGroup& group : groups_) {
        if (line + GroupLines >= lineCount_ || row < group.rows) {
            break;
        }
        row -= group.rows;
        line += GroupLines;
    }
    for (; line + 1 < lineCount_; ++line) {
        const std::uint64_t rows = EstimatedRows(line);
        if (row < rows) {
            break;
        }
        row -= rows;
    }
    return line;
}

void OutputText::Append(std::u16string_view text) {
    while (!text.empty()) {
        const std::size_t end = text.find(u'\n');
        if (end == std::u16string_view::npos) {
            AppendRun(text);
            return;
        }
        AppendRun(text.substr(0, end + 1));
        StartLine(size_);
        text.remove_prefix(end + 1);
    }
}

void OutputText::Overwrite(std::size_t column, std::u16string_view text) {
    const std::size_t start = LineStart(lineCount_ - 1) + column;
    const std::size_t over = std::min(text.size(), size_ - std::min(start, size_));
    for (std::size_t i = 0; i < over; ++i) {
        Put(start + i, text[i]);
    }
    AppendRun(text.substr(over));
}

void OutputText::Truncate(std::size_t column) {
    size_ = std::min(size_, LineStart(lineCount_ - 1) + column);
    blocks_.resize((size_ + BlockSize - 1) / BlockSize); // the last block is the one appended to
}

void OutputText::AppendRun(std::u16string_view text) {
    while (!text.empty()) {
        if (size_ == blocks_.size() * BlockSize) {
            blocks_.emplace_back().narrow = std::make_unique_for_overwrite<unsigned char[]>(BlockSize);
        }
        Block& block = blocks_.back();
        const std::size_t i = size_ & (BlockSize - 1);
        const std::size_t n = std::min(text.size(), BlockSize - i);
        std::size_t done = 0;
        if (!block.wide) {
            for (; done < n && text[done] <= 0xFF; ++done) {
                block.narrow[i + done] = static_cast<unsigned char>(text[done]);
            }
        }
        size_ += done;
        for (; done < n; ++done) {
            Put(size_++, text[done]);
        }
        text.remove_prefix(n);
    }
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
    block.wide = std::make_unique_for_overwrite<char16_t[]>(BlockSize);
    std::copy_n(block.narrow.get(), used, block.wide.get());
    block.narrow.reset();
    block.wide[i] = c;
}

void OutputText::StartLine(std::size_t start) {
    if (lineCount_ > 0) {
        const std::size_t ended = lineCount_ - 1;
        groups_[ended / GroupLines].rows += std::max<std::uint64_t>(
            1, (start - 1 - LineStart(ended) + charactersPerRow_ - 1) / charactersPerRow_);
    }
    if (lineCount_ % GroupLines == 0) {
        groups_.push_back({start, 0, std::make_unique_for_overwrite<std::uint32_t[]>(GroupLines)});
    }
    LineGroup& group = groups_.back();
    group.offsets[lineCount_ % GroupLines] = static_cast<std::uint32_t>(start - group.base);
    ++lineCount_;
}
