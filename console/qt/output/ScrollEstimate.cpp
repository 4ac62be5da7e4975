#include "ScrollEstimate.h"

#include <algorithm>

std::uint64_t ScrollEstimate::RowOf(TextRow row) const {
    return text_.EstimatedRowsBefore(row.line) +
           std::min<std::uint64_t>(RowInLine(row), text_.EstimatedRows(row.line) - 1);
}

TextRow ScrollEstimate::RowAt(std::uint64_t estimated) const {
    const std::size_t line = text_.LineAtEstimatedRow(estimated);
    return RowInLineAt(line, estimated - text_.EstimatedRowsBefore(line));
}

std::uint64_t ScrollEstimate::RowInLine(TextRow row) const {
    const std::size_t before = cache_.PieceSpan(row.line, row.piece).first - text_.LineStart(row.line);
    return text_.EstimatedRowOfColumn(before) + static_cast<std::uint64_t>(row.row);
}

TextRow ScrollEstimate::RowInLineAt(std::size_t line, std::uint64_t row) const {
    const std::size_t start = text_.LineStart(line);
    const std::size_t length = text_.LineEnd(line) - start;
    const auto column =
        static_cast<std::size_t>(std::min<std::uint64_t>(text_.FirstColumnOfEstimatedRow(row), length));
    const std::size_t piece = cache_.PieceOf(line, start + column);
    const std::uint64_t before = text_.EstimatedRowOfColumn(cache_.PieceSpan(line, piece).first - start);
    const auto rows = static_cast<std::uint64_t>(cache_.Layout(line, piece)->lineCount());
    return {line, piece, static_cast<int>(std::min(row > before ? row - before : 0, rows - 1))};
}
