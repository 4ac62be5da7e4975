// The text of the last run, kept compactly: command output is mostly ASCII, so it is stored as UTF-8 (one
// byte a character instead of two) in large blocks (LargeBlock.h) that are never copied as the output grows,
// and widened to 16-bit text only when someone asks for it. Where the child's bytes are UTF-8 they are kept
// as read, ill-formed or not: the text is their decoding, which does not depend on how they were split.
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
    // be ASCII or UTF-8 is then kept where it is by KeepAscii or KeepUtf8, with no copy. Anything else
    // appended writes over it.
    char* Room(std::size_t bytes);
    void KeepAscii(std::size_t bytes); // that many bytes of the room, all below 0x80
    // That many bytes of the room, as read, which bring `characters` more characters of text. The last
    // `unfinished` bytes kept (carried by the decoder) are the start of a character that no read has finished
    // yet: they are not part of the text until a later call says so, with its characters, or the end of the
    // output does, with KeepUtf8(0, its replacement's characters, 0).
    void KeepUtf8(std::size_t bytes, std::size_t characters, std::size_t unfinished);
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
    std::size_t unfinished_ = 0; // bytes at the end of the last block that are not text yet
};

} // namespace spillways_detail
