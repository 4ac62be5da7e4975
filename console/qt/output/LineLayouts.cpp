#include "LineLayouts.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr std::size_t PieceCharacters = 4096; // a line longer than this is laid out in pieces
constexpr std::size_t KeptLayouts = 64;       // beyond this, layouts far from the one asked for go
constexpr std::size_t FarLines = 64;
constexpr std::size_t FarCharacters = 32768;

QString TextOf(const OutputText& text, std::size_t from, std::size_t to) {
    QString copy(static_cast<qsizetype>(to - from), Qt::Uninitialized);
    text.CopyTo(from, to, reinterpret_cast<char16_t*>(copy.data()));
    return copy;
}

} // namespace

void LineLayouts::SetFont(const QFont& font) {
    font_ = font;
    const QFontMetricsF metrics(font_);
    lineHeight_ = std::max(1, static_cast<int>(std::ceil(metrics.lineSpacing())));
    ascent_ = static_cast<int>(std::ceil(metrics.ascent()));
    blankWidth_ = metrics.horizontalAdvance(QLatin1Char(' '));
    // A console's tab stops: every 8 columns of the font's average character, or of its cell where every
    // character has the same width. Lines run left to right as a console's do; right-to-left runs within
    // them are ordered by the bidirectional algorithm.
    option_ = QTextOption();
    option_.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option_.setTextDirection(Qt::LeftToRight);
    const bool cells =
        metrics.horizontalAdvance(QLatin1Char('i')) == metrics.horizontalAdvance(QLatin1Char('W'));
    option_.setTabStopDistance(8 * (cells ? blankWidth_ : metrics.averageCharWidth()));
    Clear();
}

void LineLayouts::SetWidth(double width, std::size_t charactersPerRow) {
    charactersPerRow_ = std::max<std::size_t>(charactersPerRow, 1);
    if (width != width_) {
        width_ = width;
        Clear();
    }
}

void LineLayouts::Clear() {
    ++changes_;
    layouts_.clear();
    pieces_.clear();
}

void LineLayouts::LineChanged(std::size_t line) {
    ++changes_;
    layouts_.erase(layouts_.lower_bound(Key{line, 0}), layouts_.end());
    pieces_.erase(pieces_.lower_bound(line), pieces_.end());
}

// --- pieces ---

// Where the piece from `from` ends: after the last blank in its second half, else at a cluster boundary.
std::size_t LineLayouts::CutAt(std::size_t from, std::size_t end) const {
    if (end - from <= PieceCharacters) {
        return end;
    }
    const std::size_t limit = from + PieceCharacters;
    for (std::size_t i = limit; i > from + PieceCharacters / 2; --i) {
        const char16_t c = text_.At(i - 1);
        if (c == u' ' || c == u'\t') {
            return i;
        }
    }
    constexpr std::size_t Around = 32;
    const QString window = TextOf(text_, limit - Around, std::min(limit + Around, end));
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, window);
    clusters.setPosition(static_cast<qsizetype>(Around));
    const qsizetype cut =
        clusters.isAtBoundary() ? static_cast<qsizetype>(Around) : clusters.toPreviousBoundary();
    return cut > 0 ? limit - Around + static_cast<std::size_t>(cut) : limit;
}

const std::vector<std::size_t>& LineLayouts::Pieces(std::size_t line) const {
    auto found = pieces_.find(line);
    if (found != pieces_.end()) {
        return found->second;
    }
    if (pieces_.size() >= 16) {
        pieces_.clear();
    }
    const std::size_t start = text_.LineStart(line);
    const std::size_t end = text_.LineEnd(line);
    std::vector<std::size_t> starts{0};
    for (std::size_t from = start; (from = CutAt(from, end)) < end;) {
        starts.push_back(from - start);
    }
    return pieces_[line] = std::move(starts);
}

std::size_t LineLayouts::PieceCount(std::size_t line) const {
    const bool longLine = text_.LineEnd(line) - text_.LineStart(line) > PieceCharacters;
    return longLine ? Pieces(line).size() : 1;
}

std::pair<std::size_t, std::size_t> LineLayouts::PieceSpan(std::size_t line, std::size_t piece) const {
    const std::size_t start = text_.LineStart(line);
    const std::size_t end = text_.LineEnd(line);
    if (end - start <= PieceCharacters) {
        return {start, end};
    }
    const std::vector<std::size_t>& starts = Pieces(line);
    return {start + starts[piece], piece + 1 < starts.size() ? start + starts[piece + 1] : end};
}

std::size_t LineLayouts::PieceOf(std::size_t line, std::size_t position) const {
    const std::size_t start = text_.LineStart(line);
    if (text_.LineEnd(line) - start <= PieceCharacters) {
        return 0;
    }
    const std::vector<std::size_t>& starts = Pieces(line);
    return static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), position - start) -
                                    starts.begin()) -
           1;
}

// --- layouts ---

std::shared_ptr<const QTextLayout> LineLayouts::Layout(std::size_t line, std::size_t piece) const {
    const Key key{line, piece};
    auto found = layouts_.find(key);
    if (found != layouts_.end()) {
        return found->second;
    }
    const auto [from, to] = PieceSpan(line, piece);
    if (layouts_.size() >= KeptLayouts) {
        for (auto kept = layouts_.begin(); kept != layouts_.end();) {
            const auto [keptFrom, keptTo] = PieceSpan(kept->first.line, kept->first.piece);
            const bool far = std::max(line, kept->first.line) - std::min(line, kept->first.line) > FarLines ||
                             std::max(from, keptFrom) - std::min(from, keptFrom) > FarCharacters;
            kept = far ? layouts_.erase(kept) : std::next(kept);
        }
    }
    auto layout = std::make_shared<QTextLayout>(TextOf(text_, from, to), font_);
    layout->setTextOption(option_);
    layout->setCacheEnabled(true);
    if (formats && from != to) {
        const std::size_t lineStart = text_.LineStart(line);
        QList<QTextLayout::FormatRange> ranges = formats(lineStart, text_.LineEnd(line));
        const auto shift = static_cast<qsizetype>(from - lineStart);
        const auto length = static_cast<qsizetype>(to - from);
        QList<QTextLayout::FormatRange> inPiece;
        for (QTextLayout::FormatRange range : ranges) {
            const qsizetype start = std::max<qsizetype>(range.start - shift, 0);
            const qsizetype end = std::min<qsizetype>(range.start + range.length - shift, length);
            if (start < end) {
                range.start = static_cast<int>(start);
                range.length = static_cast<int>(end - start);
                inPiece.append(range);
            }
        }
        layout->setFormats(inPiece);
    }
    // Rows on a grid of the font's line height, every baseline where the view's font puts it.
    layout->beginLayout();
    for (int row = 0;; ++row) {
        QTextLine textLine = layout->createLine();
        if (!textLine.isValid()) {
            break;
        }
        textLine.setLineWidth(width_);
        textLine.setPosition(QPointF(0, row * lineHeight_ + ascent_ - textLine.ascent()));
    }
    layout->endLayout();
    layouts_[key] = layout;
    return layout;
}

// --- rows ---

std::pair<std::size_t, std::size_t> LineLayouts::RowSpan(TextRow row) const {
    const QTextLine textLine = Layout(row.line, row.piece)->lineAt(row.row);
    const std::size_t from =
        PieceSpan(row.line, row.piece).first + static_cast<std::size_t>(textLine.textStart());
    return {from, from + static_cast<std::size_t>(textLine.textLength())};
}

TextRow LineLayouts::RowOf(std::size_t position) const {
    position = std::min(position, text_.Size());
    const std::size_t line = text_.LineOf(position);
    const std::size_t piece = PieceOf(line, position);
    const auto offset = static_cast<int>(position - PieceSpan(line, piece).first);
    return {line, piece, std::max(0, Layout(line, piece)->lineForTextPosition(offset).lineNumber())};
}

TextRow LineLayouts::MoveRows(TextRow from, long long rows) const {
    for (; rows < 0; ++rows) {
        if (from.row > 0) {
            --from.row;
        } else if (from.piece > 0) {
            --from.piece;
            from.row = Layout(from.line, from.piece)->lineCount() - 1;
        } else if (from.line > 0) {
            --from.line;
            from.piece = PieceCount(from.line) - 1;
            from.row = Layout(from.line, from.piece)->lineCount() - 1;
        } else {
            break;
        }
    }
    for (; rows > 0; --rows) {
        if (from.row + 1 < Layout(from.line, from.piece)->lineCount()) {
            ++from.row;
        } else if (from.piece + 1 < PieceCount(from.line)) {
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
    const std::size_t piece = PieceCount(line) - 1;
    return {line, piece, Layout(line, piece)->lineCount() - 1};
}

TextRow LineLayouts::Clamp(TextRow row) const {
    if (row.line >= text_.LineCount()) {
        return LastRow();
    }
    const std::size_t pieces = PieceCount(row.line);
    if (row.piece >= pieces) {
        row = {row.line, pieces - 1, INT_MAX};
    }
    row.row = std::min(row.row, Layout(row.line, row.piece)->lineCount() - 1);
    return row;
}

double LineLayouts::X(TextRow row, std::size_t position) const {
    const std::size_t from = PieceSpan(row.line, row.piece).first;
    return Layout(row.line, row.piece)->lineAt(row.row).cursorToX(static_cast<int>(position - from));
}

std::size_t LineLayouts::PositionInRow(TextRow row, double x) const {
    const std::size_t from = PieceSpan(row.line, row.piece).first;
    const QTextLine textLine = Layout(row.line, row.piece)->lineAt(row.row);
    return from + static_cast<std::size_t>(textLine.xToCursor(x, QTextLine::CursorBetweenCharacters));
}

// A cluster's extent, wherever the bidirectional order put it; a line's end is as wide as the caret.
std::pair<double, double> LineLayouts::CharacterSpan(std::size_t position) const {
    const std::size_t start = ClusterStart(std::min(position, text_.Size()));
    const TextRow row = RowOf(start);
    const std::size_t from = PieceSpan(row.line, row.piece).first;
    const QTextLine textLine = Layout(row.line, row.piece)->lineAt(row.row);
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
             Layout(row.line, row.piece)
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

// --- clusters ---

std::size_t LineLayouts::NextCluster(std::size_t position) const {
    if (position >= text_.Size()) {
        return text_.Size();
    }
    const std::size_t line = text_.LineOf(position);
    if (position == text_.LineEnd(line)) {
        return position + 1;
    }
    const std::size_t piece = PieceOf(line, position);
    const std::size_t from = PieceSpan(line, piece).first;
    return from + static_cast<std::size_t>(
                      Layout(line, piece)->nextCursorPosition(static_cast<int>(position - from)));
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
    const std::size_t piece = PieceOf(line, position - 1);
    const std::size_t from = PieceSpan(line, piece).first;
    return from + static_cast<std::size_t>(
                      Layout(line, piece)->previousCursorPosition(static_cast<int>(position - from)));
}

std::size_t LineLayouts::ClusterStart(std::size_t position) const {
    position = std::min(position, text_.Size());
    const std::size_t line = text_.LineOf(position);
    const std::size_t piece = PieceOf(line, position);
    const std::size_t from = PieceSpan(line, piece).first;
    const auto offset = static_cast<int>(position - from);
    const std::shared_ptr<const QTextLayout> layout = Layout(line, piece);
    return layout->isValidCursorPosition(offset)
               ? position
               : from + static_cast<std::size_t>(layout->previousCursorPosition(offset));
}

std::size_t LineLayouts::ClusterEnd(std::size_t position) const {
    const std::size_t start = ClusterStart(position);
    return start == std::min(position, text_.Size()) ? start : NextCluster(start);
}

// --- the scroll bar's estimate ---

std::uint64_t LineLayouts::EstimatedRowInLine(TextRow row) const {
    const std::size_t before = PieceSpan(row.line, row.piece).first - text_.LineStart(row.line);
    return before / charactersPerRow_ + static_cast<std::uint64_t>(row.row);
}

TextRow LineLayouts::RowAtEstimate(std::size_t line, std::uint64_t row) const {
    const std::size_t start = text_.LineStart(line);
    const std::size_t length = text_.LineEnd(line) - start;
    const std::size_t piece = PieceOf(line, start + std::min<std::uint64_t>(row * charactersPerRow_, length));
    const std::uint64_t before = (PieceSpan(line, piece).first - start) / charactersPerRow_;
    const auto rows = static_cast<std::uint64_t>(Layout(line, piece)->lineCount());
    return {line, piece, static_cast<int>(std::min(row > before ? row - before : 0, rows - 1))};
}
