// Grapheme clusters where no text engine is at hand: search's rule by default, and so the Win32 window's
// (where Qt is present, the view and Find use Qt's rule instead). A rule of thumb, not the whole Unicode
// table: no boundary within a surrogate pair, before a combining mark, a variation selector, an emoji
// modifier or a tag character, nor on either side of a zero-width joiner.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>

inline bool IsHighSurrogate(char16_t c) {
    return (c & 0xFC00) == 0xD800;
}

inline bool IsLowSurrogate(char16_t c) {
    return (c & 0xFC00) == 0xDC00;
}

// Marks and joiners that attach to the character before them. Common scripts' ranges, not the whole table.
inline bool ExtendsCluster(char32_t c) {
    struct Range {
        char32_t first;
        char32_t last;
    };
    static constexpr Range Ranges[] = {
        {0x0300, 0x036F},   {0x0483, 0x0489},   {0x0591, 0x05BD},   {0x05BF, 0x05C7}, {0x0610, 0x061A},
        {0x064B, 0x065F},   {0x0670, 0x0670},   {0x06D6, 0x06ED},   {0x0900, 0x0903}, {0x093A, 0x094F},
        {0x0951, 0x0957},   {0x0962, 0x0963},   {0x0981, 0x0983},   {0x09BC, 0x09D7}, {0x0E31, 0x0E31},
        {0x0E34, 0x0E3A},   {0x0E47, 0x0E4E},   {0x1AB0, 0x1AFF},   {0x1DC0, 0x1DFF}, {0x200C, 0x200D},
        {0x20D0, 0x20FF},   {0x302A, 0x302F},   {0x3099, 0x309A},   {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F},
        {0x1F3FB, 0x1F3FF}, {0xE0020, 0xE007F}, {0xE0100, 0xE01EF},
    };
    return std::any_of(std::begin(Ranges), std::end(Ranges),
                       [c](const Range& range) { return c >= range.first && c <= range.last; });
}

// Whether a cluster boundary lies at `position` of `size` characters, each read by `at(i)`; the start and the
// end always are boundaries.
template <typename CharacterAt>
bool IsSimpleClusterBoundary(std::size_t size, std::size_t position, const CharacterAt& at) {
    if (position == 0 || position >= size) {
        return true;
    }
    const char16_t c = at(position);
    const char16_t previous = at(position - 1);
    if (previous == 0x200D || (IsLowSurrogate(c) && IsHighSurrogate(previous))) {
        return false;
    }
    char32_t next = c;
    if (IsHighSurrogate(c) && position + 1 < size && IsLowSurrogate(at(position + 1))) {
        next = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (at(position + 1) - 0xDC00);
    }
    return !ExtendsCluster(next);
}
