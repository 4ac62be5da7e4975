// The text of the last run, kept compactly: command output is mostly ASCII, so it is stored as UTF-8 (one
// byte a character instead of two) in large blocks (LargeBlock.h) that are never copied as the output grows,
// and widened to 16-bit text only when someone asks for it.
#pragma once

#include "LargeBlock.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace spillways_detail {

class OutputStore {
public:
    void Clear();
    void Append(std::u16string_view text);
    // Room for `bytes` more bytes at the end, in one block, for a read to land in: output that turns out to
    // be ASCII is then kept where it is by KeepAscii, with no copy. Anything else appended writes over it.
    char* Room(std::size_t bytes);
    void KeepAscii(std::size_t bytes); // that many bytes of the room, all below 0x80
    std::u16string Text() const;
    std::size_t size() const { return length_; } // in 16-bit characters

private:
    struct Block {
        large_block::Ptr<char> bytes; // left uninitialised: the pages are only touched as they fill
        std::size_t used = 0;
        std::size_t capacity = 0;
    };
    std::vector<Block> blocks_;
    std::size_t length_ = 0;
};

} // namespace spillways_detail
