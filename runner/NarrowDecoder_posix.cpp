// The POSIX half of NarrowDecoder: the child's bytes are UTF-8.
#include "NarrowDecoder.h"
#include "Utf8.h"

#include <algorithm>
#include <string_view>

namespace spillways_detail {

std::size_t NarrowDecoder::ReadSize(std::size_t maxCharacters) const {
    // A UTF-8 sequence never yields more 16-bit characters than it has bytes, so carried bytes plus the read
    // stay within the limit.
    return maxCharacters - carriedCount_;
}

bool NarrowDecoder::DecodesUtf8() const {
    return true;
}

bool NarrowDecoder::Decode(const char* bytes, std::size_t count, std::u16string& out) {
    std::string_view input(bytes, count);
    if (carriedCount_ == 0 && WidenAscii(input, out))
        return true;
    out.clear();
    // The carried bytes go in front, on the stack for a chunk's worth.
    char joined[sizeof carried_ + 256];
    std::string longer;
    if (carriedCount_ > 0) {
        char* to = joined;
        if (carriedCount_ + count > sizeof joined) {
            longer.resize(carriedCount_ + count);
            to = longer.data();
        }
        std::copy_n(carried_, carriedCount_, to);
        std::copy_n(bytes, count, to + carriedCount_);
        input = std::string_view(to, carriedCount_ + count);
    }
    const std::size_t unfinished = DecodeUtf8(input, out, false, hostile_);
    std::copy(input.end() - static_cast<std::ptrdiff_t>(unfinished), input.end(), carried_);
    carriedCount_ = unfinished;
    return false;
}

bool NarrowDecoder::Finish(std::u16string& out) {
    if (carriedCount_ == 0)
        return false;
    DecodeUtf8(std::string_view(carried_, carriedCount_), out, true);
    carriedCount_ = 0;
    return true;
}

} // namespace spillways_detail
