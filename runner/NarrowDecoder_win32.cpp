// The Win32 half of NarrowDecoder: the child's bytes are in the system's narrow (ANSI) code page, which may
// be UTF-8, a single-byte or a double-byte one.
#include "NarrowDecoder.h"
#include "NarrowText_win32.h"
#include "Utf8.h"
#include "Win32Error.h"

#include <windows.h>

#include <climits>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace spillways_detail {

namespace {

unsigned ActualCodePage(unsigned codePage) {
    return codePage == CP_ACP ? ::GetACP() : codePage;
}

bool IsDoubleByte(unsigned codePage) {
    CPINFO info{};
    return ::GetCPInfo(codePage, &info) && info.MaxCharSize == 2;
}

// How many leading bytes of `bytes`, which starts on a character boundary, form whole double-byte-set
// characters. Trail bytes can look like lead bytes, so the walk has to start from the front.
std::size_t WholeDoubleByteCharacters(unsigned codePage, const char* bytes, std::size_t count) {
    std::size_t whole = 0;
    while (whole < count) {
        if (::IsDBCSLeadByteEx(codePage, static_cast<BYTE>(bytes[whole]))) {
            if (whole + 1 == count)
                break;
            whole += 2;
        } else {
            ++whole;
        }
    }
    return whole;
}

} // namespace

int ConversionLength(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX))
        throw std::length_error("text too long for the system's conversion");
    return static_cast<int>(size);
}

void AppendMultiByte(unsigned codePage, const char* bytes, std::size_t count, std::u16string& out) {
    if (count == 0)
        return;
    const int length = ConversionLength(count);
    const int needed = ::MultiByteToWideChar(codePage, 0, bytes, length, nullptr, 0);
    if (needed <= 0)
        ThrowLastError("MultiByteToWideChar");
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(needed));
    auto* wide = reinterpret_cast<wchar_t*>(out.data() + start);
    if (::MultiByteToWideChar(codePage, 0, bytes, length, wide, needed) != needed)
        ThrowLastError("MultiByteToWideChar");
}

std::size_t NarrowReadSize(unsigned codePage, std::size_t carriedCount, std::size_t maxCharacters) {
    // A double-byte pair, or a lead byte with whatever follows it, gives one character, so a carried lead
    // byte never pushes a full read past the limit. Carried UTF-8 bytes may, as each byte can end up as a
    // character of its own, so those reads ask for that much less.
    if (ActualCodePage(codePage) == CP_UTF8 && carriedCount < maxCharacters)
        return maxCharacters - carriedCount;
    return maxCharacters;
}

void DecodeNarrow(unsigned codePage, char (&carried)[4], std::size_t& carriedCount, bool& hostile,
                  const char* bytes, std::size_t count, std::u16string& out) {
    std::string joined;
    if (carriedCount > 0) {
        joined.reserve(carriedCount + count);
        joined.append(carried, carriedCount);
        joined.append(bytes, count);
        bytes = joined.data();
        count = joined.size();
        carriedCount = 0;
    }

    const unsigned actual = ActualCodePage(codePage);
    if (actual == CP_UTF8) {
        // The same decoder as the Linux build: a cut-short sequence is carried, ill-formed bytes become
        // U+FFFD.
        const std::size_t kept = DecodeUtf8(std::string_view(bytes, count), out, false, hostile);
        std::memcpy(carried, bytes + count - kept, kept);
        carriedCount = kept;
        return;
    }

    std::size_t whole = count;
    if (IsDoubleByte(actual))
        whole = WholeDoubleByteCharacters(codePage, bytes, count);
    AppendMultiByte(codePage, bytes, whole, out);
    std::memcpy(carried, bytes + whole, count - whole);
    carriedCount = count - whole;
}

bool FinishNarrow(unsigned codePage, char (&carried)[4], std::size_t& carriedCount, std::u16string& out) {
    if (carriedCount == 0)
        return false;
    const std::size_t count = std::exchange(carriedCount, 0);
    if (ActualCodePage(codePage) == CP_UTF8)
        DecodeUtf8(std::string_view(carried, count), out, true);
    else
        AppendMultiByte(codePage, carried, count, out);
    return true;
}

std::size_t NarrowDecoder::ReadSize(std::size_t maxCharacters) const {
    return NarrowReadSize(CP_ACP, carriedCount_, maxCharacters);
}

bool NarrowDecoder::DecodesUtf8() const {
    return ActualCodePage(CP_ACP) == CP_UTF8;
}

bool NarrowDecoder::Decode(const char* bytes, std::size_t count, std::u16string& out) {
    // Every narrow code page reads a run of bytes below 0x80 as ASCII.
    if (carriedCount_ == 0 && WidenAscii(std::string_view(bytes, count), out))
        return true;
    out.clear();
    DecodeNarrow(CP_ACP, carried_, carriedCount_, hostile_, bytes, count, out);
    return false;
}

bool NarrowDecoder::Finish(std::u16string& out) {
    return FinishNarrow(CP_ACP, carried_, carriedCount_, out);
}

} // namespace spillways_detail
