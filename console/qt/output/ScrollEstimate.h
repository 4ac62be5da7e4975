// The scroll bar's rows: OutputText's estimate from line lengths (one characters-per-row, set there) mapped
// to and from the view's rows, so the scroll bar never lays out the text and stays put while output arrives
// below. Exact enough near the view; a line's real rows may be more or fewer than its estimated ones.
#pragma once

#include "LayoutCache.h"
#include "LineLayouts.h"
#include "OutputText.h"

#include <cstddef>
#include <cstdint>

class ScrollEstimate {
public:
    ScrollEstimate(const OutputText& text, const LayoutCache& cache) : text_(text), cache_(cache) {}

    std::uint64_t Total() const { return text_.EstimatedTotalRows(); }
    // A view row's estimated row: within its line's estimated rows, however many rows it really has.
    std::uint64_t RowOf(TextRow row) const;
    // A row of the line that estimated row falls in (see RowInLineAt).
    TextRow RowAt(std::uint64_t estimated) const;

    // Within a line, counted from its start. RowInLineAt gives a row of `line`: in the piece that holds the
    // estimated row's first column, as far into it as the estimate reaches, at most its last row. The view
    // keeps its place this way when the layouts are rebuilt at another width or in another font.
    std::uint64_t RowInLine(TextRow row) const;
    TextRow RowInLineAt(std::size_t line, std::uint64_t row) const;

private:
    const OutputText& text_;
    const LayoutCache& cache_;
};
