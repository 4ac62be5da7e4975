#include "OutputStore.h"

#include "Utf8.h"

#include <algorithm>
#include <string_view>

namespace spillways_detail {

void OutputStore::Clear() {
    blocks_.clear();
    length_ = 0;
    unfinished_ = 0;
}

char* OutputStore::Room(std::size_t bytes) {
    // A whole piece goes into one block, so no character is ever cut between two blocks: the start of one
    // that a read left unfinished moves into the new block, ahead of the read that finishes it.
    if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < bytes) {
        const std::size_t needed = bytes + unfinished_;
        const std::size_t capacity =
            (needed + large_block::BlockBytes - 1) / large_block::BlockBytes * large_block::BlockBytes;
        Block block{large_block::Make<char>(capacity), unfinished_, capacity};
        if (unfinished_ > 0) {
            Block& last = blocks_.back();
            last.used -= unfinished_;
            std::copy_n(last.bytes.get() + last.used, unfinished_, block.bytes.get());
        }
        blocks_.push_back(std::move(block));
    }
    return blocks_.back().bytes.get() + blocks_.back().used;
}

void OutputStore::KeepAscii(std::size_t bytes) {
    blocks_.back().used += bytes;
    length_ += bytes;
}

void OutputStore::KeepUtf8(std::size_t bytes, std::size_t characters, std::size_t unfinished) {
    if (!blocks_.empty())
        blocks_.back().used += bytes;
    length_ += characters;
    unfinished_ = unfinished;
}

void OutputStore::Append(std::u16string_view text) {
    if (text.empty())
        return;
    char* end = EncodeUtf8(text, Room(text.size() * 3));
    Block& block = blocks_.back();
    block.used = static_cast<std::size_t>(end - block.bytes.get());
    length_ += text.size();
}

std::u16string OutputStore::Text() const {
    // Every block but the last ends between characters, and the last is decoded up to its unfinished bytes.
    std::u16string text;
    text.reserve(length_);
    for (const Block& block : blocks_) {
        const std::size_t end = &block == &blocks_.back() ? block.used - unfinished_ : block.used;
        DecodeUtf8(std::string_view(block.bytes.get(), end), text, true);
    }
    return text;
}

} // namespace spillways_detail
