// How many cells of a terminal's line a character takes, from the Unicode data (CellWidthTable.inc, made by
// scripts/make_cell_widths.pl): programs line their output up by these counts.
#pragma once

#include <cstdint>

struct CellWidth {
    std::uint8_t cells = 1;  // 0 for marks and format characters, 2 for East Asian wide ones
    bool pictograph = false; // joins an emoji after a zero-width joiner; two cells before U+FE0F
};

CellWidth CellWidthOf(char32_t c);
