#include "CellWidth.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace {

struct WidthRun {
    char32_t first;
    char32_t last;
    std::uint8_t cells;
    bool pictograph;
};

constexpr WidthRun WidthRuns[] = {
#include "CellWidthTable.inc"
};

// The BMP's widths, a byte each (cells, and 4 for a pictograph), filled from the runs once: random or
// binary output meets all of it.
const std::array<std::uint8_t, 0x10000>& BasicPlaneWidths() {
    static const auto widths = [] {
        std::array<std::uint8_t, 0x10000> table{};
        table.fill(1);
        for (const WidthRun& run : WidthRuns) {
            for (char32_t c = run.first; c <= run.last && c < table.size(); ++c) {
                table[c] = static_cast<std::uint8_t>(run.cells | (run.pictograph ? 4 : 0));
            }
        }
        return table;
    }();
    return widths;
}

} // namespace

const std::uint8_t* BasicPlaneWidthBytes() {
    return BasicPlaneWidths().data();
}

CellWidth CellWidthOfOther(char32_t c) {
    if (c < 0x10000) {
        const std::uint8_t width = BasicPlaneWidths()[c];
        return {static_cast<std::uint8_t>(width & 3), (width & 4) != 0};
    }
    const auto* run = std::upper_bound(std::begin(WidthRuns), std::end(WidthRuns), c,
                                       [](char32_t value, const WidthRun& r) { return value < r.first; });
    if (run == std::begin(WidthRuns) || c > std::prev(run)->last) {
        return {};
    }
    return {std::prev(run)->cells, std::prev(run)->pictograph};
}
