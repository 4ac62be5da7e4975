// The rows of the output view's layouts (LayoutCache): the same layouts give the rows, the x of every
// position, hit tests, cluster steps and what is drawn, so what is shown and what is measured never disagree.
#pragma once

#include "LayoutCache.h"
#include "OutputText.h"

#include <cstddef>
#include <tuple>
#include <utility>

// A screen row: the row'th row of a piece of a line (see LayoutCache).
struct TextRow {
    std::size_t line = 0;
    std::size_t piece = 0;
    int row = 0;
    bool operator==(const TextRow&) const = default;
    bool operator<(const TextRow& other) const {
        return std::tie(line, piece, row) < std::tie(other.line, other.piece, other.row);
    }
};

class LineLayouts {
public:
    LineLayouts(const OutputText& text, const LayoutCache& cache) : text_(text), cache_(cache) {}

    std::pair<std::size_t, std::size_t> RowSpan(TextRow row) const; // text positions
    TextRow RowOf(std::size_t position) const;            // a position between two rows starts the second
    TextRow MoveRows(TextRow from, long long rows) const; // within the text
    TextRow LastRow() const;
    TextRow Clamp(TextRow row) const; // the nearest row the text still has, after an erase shortened it
    double X(TextRow row, std::size_t position) const; // from the row's left
    std::size_t PositionInRow(TextRow row, double x) const;
    std::pair<double, double> CharacterSpan(std::size_t position) const; // left and right in its row

    // Grapheme clusters, as the layouts place the caret (QtClusters.h): a line break is a cluster of its own.
    std::size_t NextCluster(std::size_t position) const;
    std::size_t PreviousCluster(std::size_t position) const;
    std::size_t ClusterStart(std::size_t position) const; // the start of the cluster holding it
    std::size_t ClusterEnd(std::size_t position) const;   // position itself when it starts a cluster

private:
    const OutputText& text_;
    const LayoutCache& cache_;
};
