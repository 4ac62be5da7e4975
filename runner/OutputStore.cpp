#include "OutputStore.h"

#include "Utf8.h"

#include <algorithm>
#include <string_view>

namespace spillways_detail {

void OutputStore::Clear() {
    blocks_.clear();
    length_ = 0;
}

char* OutputStore::Room(std::size_t bytes) {
    // A whole piece goes into one block, so no character is ever cut between two blocks.
    if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < bytes) {
        const std::size_t capacity =
            (bytes + large_block::BlockBytes - 1) / large_block::BlockBytes * large_block::BlockBytes;
        blocks_.push_back(Block{large_block::Make<char>(capacity), 0, capacity});
    }
    return blocks_.back().bytes.get() + blocks_.back().used;
}

void OutputStore::KeepAscii(std::size_t bytes) {
    blocks_.back().used += bytes;
    length_ += bytes;
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
    std::u16string text;
    text.reserve(length_);
    for (const Block& block : blocks_)
        DecodeUtf8(std::string_view(block.bytes.get(), block.used), text, true);
    return text;
}

} // namespace spillways_detail
