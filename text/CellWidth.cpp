#include "CellWidth.h"

#include <algorithm>
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

} // namespace

CellWidth CellWidthOf(char32_t c) {
    if (c < 0xA9) {
        return {}; // ASCII and most of Latin-1, the bulk of any output, without a search
    }
    const auto* run = std::upper_bound(std::begin(WidthRuns), std::end(WidthRuns), c,
                                       [](char32_t value, const WidthRun& r) { return value < r.first; });
    if (run == std::begin(WidthRuns) || c > std::prev(run)->last) {
        return {};
    }
    return {std::prev(run)->cells, std::prev(run)->pictograph};
}
