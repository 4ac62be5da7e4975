// How many cells of a terminal's line a character takes, from the Unicode data (CellWidthTable.inc, made by
// scripts/make_cell_widths.pl): programs line their output up by these counts.
#pragma once

#include <cstdint>

struct CellWidth {
    std::uint8_t cells = 1;  // 0 for marks and format characters, 2 for East Asian wide ones
    bool pictograph = false; // joins an emoji after a zero-width joiner; two cells before U+FE0F
};

CellWidth CellWidthOfOther(char32_t c); // from U+00A9 on: a table for the BMP, a search past it
// That table, a byte a character of the BMP: the cells, plus 4 for a pictograph. From U+00A9 on it is
// what CellWidthOfOther says; for a loop over many characters, which looks it up once.
const std::uint8_t* BasicPlaneWidthBytes();

// ASCII and most of Latin-1, the bulk of any output, at the call.
inline CellWidth CellWidthOf(char32_t c) {
    return c < 0xA9 ? CellWidth{} : CellWidthOfOther(c);
}
