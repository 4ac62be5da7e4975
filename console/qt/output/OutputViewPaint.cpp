// What the output view draws, and where: every row from its own layout, so the drawn text, its highlights,
// the caret, the character rectangles and the hit tests all agree.
#include "OutputView.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// `range` [from, to) of the text as a format range of the piece that starts at `pieceFrom` and ends at
// `pieceTo`; empty when they do not meet.
QTextLayout::FormatRange InPiece(std::pair<std::size_t, std::size_t> range, std::size_t pieceFrom,
                                 std::size_t pieceTo, const QTextCharFormat& format) {
    const std::size_t from = std::clamp(range.first, pieceFrom, pieceTo);
    const std::size_t to = std::clamp(range.second, pieceFrom, pieceTo);
    return {static_cast<int>(from - pieceFrom), static_cast<int>(to - from), format};
}

} // namespace

std::pair<std::size_t, std::size_t> OutputView::VisibleSpan() const {
    const TextRow bottom = layouts_.MoveRows(top_, viewport()->height() / layouts_.LineHeight());
    return {layouts_.RowSpan(top_).first, layouts_.RowSpan(bottom).second};
}

void OutputView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    const QColor textColour = palette().color(group, QPalette::Text);
    QTextCharFormat selected;
    selected.setBackground(palette().color(group, QPalette::Highlight));
    selected.setForeground(palette().color(group, QPalette::HighlightedText));
    QTextCharFormat found;
    found.setBackground(QColor(0x80, 0x68, 0x00));
    found.setForeground(textColour); // over coloured text too, as the selection's colours are
    const std::pair<std::size_t, std::size_t> selection = Selection();
    std::vector<std::pair<std::size_t, std::size_t>> extra;
    if (extraHighlights) {
        const auto [shownFrom, shownTo] = VisibleSpan();
        extra = extraHighlights(shownFrom, shownTo);
    }
    painter.setPen(textColour);

    const int lineHeight = layouts_.LineHeight();
    const int rows = viewport()->height() / lineHeight + 1;
    TextRow row = top_;
    for (int shown = 0; shown < rows;) {
        // The rows of one piece that are on screen, drawn at once.
        TextRow last = row;
        int count = 1;
        for (TextRow next = layouts_.MoveRows(last, 1);
             shown + count < rows && next != last && next.line == row.line && next.piece == row.piece;
             next = layouts_.MoveRows(last, 1)) {
            last = next;
            ++count;
        }
        const std::shared_ptr<const QTextLayout> layout = layouts_.Layout(row.line, row.piece);
        const auto [pieceFrom, pieceTo] = layouts_.PieceSpan(row.line, row.piece);
        QList<QTextLayout::FormatRange> highlights;
        for (const auto& range : extra) {
            highlights.append(InPiece(range, pieceFrom, pieceTo, found));
        }
        highlights.append(InPiece(selection, pieceFrom, pieceTo, selected));
        const double y = shown * lineHeight - row.row * lineHeight;
        layout->draw(&painter, QPointF(Margin, y), highlights,
                     QRectF(0, shown * lineHeight, viewport()->width(), count * lineHeight));

        // A selected line break shows as a blank's width after the line.
        const std::size_t lineEnd = text_.LineEnd(row.line);
        if (pieceTo == lineEnd && layout->lineCount() == last.row + 1 && selection.first <= lineEnd &&
            selection.second > lineEnd) {
            const QTextLine textLine = layout->lineAt(last.row);
            const double end = std::max(textLine.naturalTextWidth(),
                                        textLine.cursorToX(static_cast<int>(lineEnd - pieceFrom)));
            painter.fillRect(
                QRectF(Margin + end, (shown + count - 1) * lineHeight, layouts_.BlankWidth(), lineHeight),
                selected.background());
        }
        shown += count;
        const TextRow next = layouts_.MoveRows(last, 1);
        if (next == last) {
            break;
        }
        row = next;
    }

    const TextRow caretRow = layouts_.RowOf(caret_);
    const long long caretIndex = ScreenRow(caretRow);
    if (hasFocus() && caretIndex >= 0) {
        const auto x = static_cast<int>(std::floor(Margin + layouts_.X(caretRow, caret_)));
        painter.fillRect(QRect(x, static_cast<int>(caretIndex) * lineHeight, 1, lineHeight), textColour);
    }
}

long long OutputView::ScreenRow(TextRow row) const {
    if (row < top_) {
        return -1;
    }
    long long index = 0;
    for (TextRow r = top_; r != row; ++index) {
        const TextRow next = layouts_.MoveRows(r, 1);
        if (index > VisibleRows() || next == r) {
            return -1;
        }
        r = next;
    }
    return index;
}

QRect OutputView::CharacterRect(std::size_t position) const {
    position = std::min(position, text_.Size());
    const long long index = ScreenRow(layouts_.RowOf(layouts_.ClusterStart(position)));
    if (index < 0) {
        return {};
    }
    const auto [left, right] = layouts_.CharacterSpan(position);
    const int lineHeight = layouts_.LineHeight();
    return QRectF(Margin + left, static_cast<double>(index * lineHeight), std::max(1.0, right - left),
                  lineHeight)
        .toAlignedRect()
        .translated(viewport()->pos());
}

std::size_t OutputView::PositionAt(QPoint point) const {
    point -= viewport()->pos();
    const auto rows =
        static_cast<long long>(std::floor(static_cast<double>(point.y()) / layouts_.LineHeight()));
    return layouts_.PositionInRow(layouts_.MoveRows(top_, rows), point.x() - Margin);
}
