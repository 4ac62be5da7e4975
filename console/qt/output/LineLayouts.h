// The output view's layouts: Qt's text engine lays out the lines near the view, and the same layouts give
// the rows, the x of every position, hit tests, cluster steps and what is drawn, so what is shown and what is
// measured never disagree. Lines far from the view are never laid out.
#pragma once

#include "OutputText.h"

#include <QFont>
#include <QList>
#include <QTextLayout>
#include <QTextOption>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

// A screen row: the row'th row of a piece of a line. A line longer than a piece is laid out a piece at a
// time, cut at a break opportunity, so a megabyte line costs only the pieces shown; most lines are one piece.
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
    using Formats =
        std::function<QList<QTextLayout::FormatRange>(std::size_t lineStart, std::size_t lineEnd)>;

    explicit LineLayouts(const OutputText& text) : text_(text) {}

    // Each drops every layout. `width` is a row's, `charactersPerRow` what the scroll bar's estimate takes.
    void SetFont(const QFont& font);
    void SetWidth(double width, std::size_t charactersPerRow);
    void Clear();
    void LineChanged(std::size_t line); // that line and the ones after it changed
    Formats formats;                    // a line's colours and weights, applied to the layouts built after
    std::uint64_t Changes() const { return changes_; } // counts the calls above

    int LineHeight() const { return lineHeight_; }
    double BlankWidth() const { return blankWidth_; }
    std::shared_ptr<const QTextLayout> Layout(std::size_t line, std::size_t piece) const;
    std::pair<std::size_t, std::size_t> PieceSpan(std::size_t line, std::size_t piece) const;
    std::size_t PieceCount(std::size_t line) const;

    std::pair<std::size_t, std::size_t> RowSpan(TextRow row) const; // text positions
    TextRow RowOf(std::size_t position) const;            // a position between two rows starts the second
    TextRow MoveRows(TextRow from, long long rows) const; // within the text
    TextRow LastRow() const;
    TextRow Clamp(TextRow row) const; // the nearest row the text still has, after an erase shortened it
    double X(TextRow row, std::size_t position) const; // from the row's left
    std::size_t PositionInRow(TextRow row, double x) const;
    std::pair<double, double> CharacterSpan(std::size_t position) const; // left and right in its row

    // Grapheme clusters: a line break is a cluster of its own.
    std::size_t NextCluster(std::size_t position) const;
    std::size_t PreviousCluster(std::size_t position) const;
    std::size_t ClusterStart(std::size_t position) const; // the start of the cluster holding it
    std::size_t ClusterEnd(std::size_t position) const;   // position itself when it starts a cluster

    // The scroll bar counts estimated rows (see OutputText).
    std::uint64_t EstimatedRowInLine(TextRow row) const;
    TextRow RowAtEstimate(std::size_t line, std::uint64_t row) const;

private:
    struct Key {
        std::size_t line;
        std::size_t piece;
        bool operator<(const Key& other) const {
            return std::tie(line, piece) < std::tie(other.line, other.piece);
        }
    };
    const std::vector<std::size_t>& Pieces(std::size_t line) const; // starts of a long line's pieces
    std::size_t PieceOf(std::size_t line, std::size_t position) const;
    std::size_t CutAt(std::size_t from, std::size_t end) const;

    const OutputText& text_;
    QFont font_;
    QTextOption option_;
    double width_ = 1;
    std::size_t charactersPerRow_ = 80;
    int lineHeight_ = 1;
    int ascent_ = 0;
    double blankWidth_ = 1;
    std::uint64_t changes_ = 0;
    mutable std::map<Key, std::shared_ptr<QTextLayout>> layouts_;
    mutable std::map<std::size_t, std::vector<std::size_t>> pieces_;
};
