// The decoding of a child's output: its bytes in the system's narrow encoding (UTF-8 on Linux, the narrow
// code page on Windows) to the runner's 16-bit text, a read at a time. Each platform's half lives in its own
// file.
#pragma once

#include <cstddef>
#include <string>

namespace spillways_detail {

// Turns the child's narrow-encoded bytes into text. A character cut by the end of one read is carried and
// comes out whole with the next, so a chunk never holds half a character.
class NarrowDecoder {
public:
    // How many bytes the next read may ask for so that its text stays within `maxCharacters` characters.
    std::size_t ReadSize(std::size_t maxCharacters) const;

    // Sets `out` to the text of the carried bytes followed by `bytes`, keeping an unfinished character back.
    // True when nothing was carried and `bytes` are all ASCII: their text is then the bytes themselves.
    bool Decode(const char* bytes, std::size_t count, std::u16string& out);

    // True when the text is the bytes' UTF-8 decoding (always on Linux), so that the bytes read, kept as they
    // are, stand for it.
    bool DecodesUtf8() const;

    // How many bytes of an unfinished character are carried to the next read.
    std::size_t Carried() const { return carriedCount_; }

    // At the end of the output: true if bytes were still carried, with their replacement appended to `out`.
    bool Finish(std::u16string& out);

private:
    char carried_[4] = {};
    std::size_t carriedCount_ = 0;
    bool hostile_ = false; // the UTF-8 decoder's pick of its way, from read to read
};

} // namespace spillways_detail
