// The narrow-text decoding behind NarrowDecoder on Windows, for any code page, so that a double-byte code
// page can be exercised whatever the system's own (ANSI) one is.
#pragma once

#include <cstddef>
#include <string>

namespace spillways_detail {

// `size` as the int the system's conversions take; throws std::length_error when it does not fit.
int ConversionLength(std::size_t size);

// Appends the text of `count` bytes in `codePage` to `out`; throws the system's error when it cannot convert.
void AppendMultiByte(unsigned codePage, const char* bytes, std::size_t count, std::u16string& out);

// How many bytes the next read may ask for so that its text stays within `maxCharacters` characters, with
// `carriedCount` bytes of an unfinished character still carried from the last read.
std::size_t NarrowReadSize(unsigned codePage, std::size_t carriedCount, std::size_t maxCharacters);

// Appends to `out` the text of the carried bytes followed by `bytes`. The start of a character that the end
// of `bytes` cuts short (a double-byte lead byte, or an unfinished UTF-8 sequence) is kept back in `carried`;
// `hostile` is the UTF-8 decoder's, carried as DecodeUtf8 asks.
void DecodeNarrow(unsigned codePage, char (&carried)[4], std::size_t& carriedCount, bool& hostile,
                  const char* bytes, std::size_t count, std::u16string& out);

// At the end of the output: true if bytes were still carried, with what they decode to on their own appended.
bool FinishNarrow(unsigned codePage, char (&carried)[4], std::size_t& carriedCount, std::u16string& out);

} // namespace spillways_detail
