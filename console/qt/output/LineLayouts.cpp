#include "LineLayouts.h"

#include <QGlyphRun>
#include <QRawFont>

#include <algorithm>
#include <climits>

std::pair<std::size_t, std::size_t> LineLayouts::RowSpan(TextRow row) const {
    const QTextLine textLine = cache_.Layout(row.line, row.piece)->lineAt(row.row);
    const std::size_t from =
        cache_.PieceSpan(row.line, row.piece).first + static_cast<std::size_t>(textLine.textStart());
    return {from, from + static_cast<std::size_t>(textLine.textLength())};
}

TextRow LineLayouts::RowOf(std::size_t position) const {
    position = std::min(position, text_.Size());
    const std::size_t line = text_.LineOf(position);
    const std::size_t piece = cache_.PieceOf(line, position);
    const auto offset = static_cast<int>(position - cache_.PieceSpan(line, piece).first);
    return {line, piece, std::max(0, cache_.Layout(line, piece)->lineForTextPosition(offset).lineNumber())};
}

TextRow LineLayouts::MoveRows(TextRow from, long long rows) const {
    for (; rows < 0; ++rows) {
        if (from.row > 0) {
            --from.row;
        } else if (from.piece > 0) {
            --from.piece;
            from.row = cache_.Layout(from.line, from.piece)->lineCount() - 1;
        } else if (from.line > 0) {
            --from.line;
            from.piece = cache_.PieceCount(from.line) - 1;
            from.row = cache_.Layout(from.line, from.piece)->lineCount() - 1;
        } else {
            break;
        }
    }
    for (; rows > 0; --rows) {
        if (from.row + 1 < cache_.Layout(from.line, from.piece)->lineCount()) {
            ++from.row;
        } else if (from.piece + 1 < cache_.PieceCount(from.line)) {
            from = {from.line, from.piece + 1, 0};
        } else if (from.line + 1 < text_.LineCount()) {
            from = {from.line + 1, 0, 0};
        } else {
            break;
        }
    }
    return from;
}

TextRow LineLayouts::LastRow() const {
    const std::size_t line = text_.LineCount() - 1;
    const std::size_t piece = cache_.PieceCount(line) - 1;
    return {line, piece, cache_.Layout(line, piece)->lineCount() - 1};
}

TextRow LineLayouts::Clamp(TextRow row) const {
    if (row.line >= text_.LineCount()) {
        return LastRow();
    }
    const std::size_t pieces = cache_.PieceCount(row.line);
    if (row.piece >= pieces) {
        row = {row.line, pieces - 1, INT_MAX};
    }
    row.row = std::min(row.row, cache_.Layout(row.line, row.piece)->lineCount() - 1);
    return row;
}

double LineLayouts::X(TextRow row, std::size_t position) const {
    const std::size_t from = cache_.PieceSpan(row.line, row.piece).first;
    return cache_.Layout(row.line, row.piece)->lineAt(row.row).cursorToX(static_cast<int>(position - from));
}

std::size_t LineLayouts::PositionInRow(TextRow row, double x) const {
    const std::size_t from = cache_.PieceSpan(row.line, row.piece).first;
    const QTextLine textLine = cache_.Layout(row.line, row.piece)->lineAt(row.row);
    return from + static_cast<std::size_t>(textLine.xToCursor(x, QTextLine::CursorBetweenCharacters));
}

// A cluster's extent, wherever the bidirectional order put it; a line's end is as wide as the caret.
std::pair<double, double> LineLayouts::CharacterSpan(std::size_t position) const {
    const std::size_t start = ClusterStart(std::min(position, text_.Size()));
    const TextRow row = RowOf(start);
    const std::size_t from = cache_.PieceSpan(row.line, row.piece).first;
    const QTextLine textLine = cache_.Layout(row.line, row.piece)->lineAt(row.row);
    const double leading = textLine.cursorToX(static_cast<int>(start - from), QTextLine::Leading);
    if (start == text_.LineEnd(row.line)) {
        return {leading, leading + 1};
    }
    // The engine puts a position where the direction changes at the end of the run before it, as a caret;
    // a right-to-left cluster's extent comes from its glyphs instead.
    const QChar::Direction direction = QChar::direction(text_.At(start));
    if (direction == QChar::DirR || direction == QChar::DirAL) {
        const std::size_t end = NextCluster(start);
        double left = textLine.x() + textLine.naturalTextWidth();
        double right = textLine.x();
        for (const QGlyphRun& run :
             cache_.Layout(row.line, row.piece)
                 ->glyphRuns(static_cast<int>(start - from), static_cast<int>(end - start))) {
            const QList<QPointF> positions = run.positions();
            const QList<QPointF> advances = run.rawFont().advancesForGlyphIndexes(run.glyphIndexes());
            for (qsizetype i = 0; i < positions.size(); ++i) {
                left = std::min(left, positions[i].x());
                right = std::max(right, positions[i].x() + advances[i].x());
            }
        }
        if (left < right) {
            return {left, right};
        }
    }
    const double trailing = textLine.cursorToX(static_cast<int>(start - from), QTextLine::Trailing);
    return std::minmax(leading, trailing);
}

std::size_t LineLayouts::NextCluster(std::size_t position) const {
    if (position >= text_.Size()) {
        return text_.Size();
    }
    const std::size_t line = text_.LineOf(position);
    if (position == text_.LineEnd(line)) {
        return position + 1;
    }
    const std::size_t piece = cache_.PieceOf(line, position);
    const std::size_t from = cache_.PieceSpan(line, piece).first;
    return from + static_cast<std::size_t>(
                      cache_.Layout(line, piece)->nextCursorPosition(static_cast<int>(position - from)));
}

std::size_t LineLayouts::PreviousCluster(std::size_t position) const {
    position = std::min(position, text_.Size());
    if (position == 0) {
        return 0;
    }
    const std::size_t line = text_.LineOf(position);
    if (position == text_.LineStart(line)) {
        return position - 1;
    }
    const std::size_t piece = cache_.PieceOf(line, position - 1);
    const std::size_t from = cache_.PieceSpan(line, piece).first;
    return from + static_cast<std::size_t>(
                      cache_.Layout(line, piece)->previousCursorPosition(static_cast<int>(position - from)));
}

std::size_t LineLayouts::ClusterStart(std::size_t position) const {
    position = std::min(position, text_.Size());
    const std::size_t line = text_.LineOf(position);
    const std::size_t piece = cache_.PieceOf(line, position);
    const std::size_t from = cache_.PieceSpan(line, piece).first;
    const auto offset = static_cast<int>(position - from);
    const std::shared_ptr<const QTextLayout> layout = cache_.Layout(line, piece);
    return layout->isValidCursorPosition(offset)
               ? position
               : from + static_cast<std::size_t>(layout->previousCursorPosition(offset));
}

std::size_t LineLayouts::ClusterEnd(std::size_t position) const {
    const std::size_t start = ClusterStart(position);
    return start == std::min(position, text_.Size()) ? start : NextCluster(start);
}
