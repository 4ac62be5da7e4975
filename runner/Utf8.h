// UTF-8 to and from the runner's 16-bit text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace spillways_detail {

// Decodes `bytes` into `out`. Each byte that cannot begin or continue a character, and each cut-short
// sequence, becomes one U+FFFD (one per maximal ill-formed subpart, so the result does not depend on where
// the input was split); NUL bytes are kept. Unless `atEnd`, an unfinished but so far valid sequence at the
// end is not decoded: the return value is how many bytes it holds (at most 3), for the caller to carry to the
// next call.
std::size_t DecodeUtf8(std::string_view bytes, std::u16string& out, bool atEnd);

// The same, for a caller that decodes one output a read at a time and carries `hostile` from call to call
// (false at first): whether the last bytes looked ill-formed rather than like text, which picks the faster
// way to decode the next ones. The result never depends on it.
std::size_t DecodeUtf8(std::string_view bytes, std::u16string& out, bool atEnd, bool& hostile);

// The whole of `bytes` decoded as DecodeUtf8 does at the end of its input.
std::u16string FromUtf8(std::string_view bytes);

// Sets `out` to `bytes` as they are when all of them are ASCII, and returns true; otherwise returns false,
// with `out` holding bytes.size() characters of no meaning. One pass both checks and widens, and `out` is
// only resized: a string that already has that size, as the runner's chunk has from read to read in a flood,
// is not filled first.
bool WidenAscii(std::string_view bytes, std::u16string& out);

// Appends the UTF-8 form of `text` to `out`; an unpaired surrogate becomes U+FFFD. Returns false if there was
// one.
bool AppendUtf8(std::u16string_view text, std::string& out);

// Like AppendUtf8, into a buffer that has room for text.size() * 3 bytes; returns the end of what was
// written.
char* EncodeUtf8(std::u16string_view text, char* out);

} // namespace spillways_detail
