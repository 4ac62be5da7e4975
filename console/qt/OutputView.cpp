#include "OutputView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyleHints>

#include <algorithm>
#include <cmath>

namespace {

constexpr int Margin = 4;               // between the frame and the text, left and right
constexpr std::size_t CacheLines = 512; // rows kept for this many lines at most

// The primary selection, built only when another program asks for it: selecting a gigabyte costs nothing.
class SelectedText final : public QMimeData {
public:
    SelectedText(const OutputView* view, std::size_t from, std::size_t to)
        : view_(view), from_(from), to_(to) {}
    QStringList formats() const override { return {QStringLiteral("text/plain")}; }
    bool hasFormat(const QString& mimeType) const override {
        return mimeType == QStringLiteral("text/plain");
    }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType) const override {
        if (view_.isNull() || !hasFormat(mimeType)) {
            return {};
        }
        return view_->Text(from_, to_);
    }

private:
    QPointer<const OutputView> view_;
    std::size_t from_;
    std::size_t to_;
};

// What a screen reader sees: a read-only text box, read a character, a word or a line at a time.
class OutputAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit OutputAccessible(OutputView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TextInterface ? static_cast<QAccessibleTextInterface*>(this)
                                                  : QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Value ? View()->toPlainText() : QAccessibleWidget::text(t);
    }

    void selection(int index, int* startOffset, int* endOffset) const override {
        const auto [from, to] = View()->Selection();
        *startOffset = index == 0 && from != to ? Offset(from) : 0;
        *endOffset = index == 0 && from != to ? Offset(to) : 0;
    }
    int selectionCount() const override { return View()->Selection().first != View()->Selection().second; }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int) override { View()->Select(View()->Caret(), View()->Caret()); }
    void setSelection(int, int startOffset, int endOffset) override {
        View()->Select(Position(startOffset), Position(endOffset));
    }
    int cursorPosition() const override { return Offset(View()->Caret()); }
    void setCursorPosition(int position) override { View()->Select(Position(position), Position(position)); }
    QString text(int startOffset, int endOffset) const override {
        return View()->Text(Position(startOffset), Position(endOffset));
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* startOffset,
                         int* endOffset) const override {
        const std::size_t at = Position(offset);
        std::pair<std::size_t, std::size_t> span{at, std::min(at + 1, View()->CharacterCount())};
        if (boundary == QAccessible::WordBoundary) {
            span = View()->WordAt(at);
        } else if (boundary == QAccessible::NoBoundary) {
            span = {0, View()->CharacterCount()};
        } else if (boundary != QAccessible::CharBoundary) {
            span = View()->LineAt(at);
            span.second = std::min(span.second + 1, View()->CharacterCount()); // with its line break
        }
        *startOffset = Offset(span.first);
        *endOffset = Offset(span.second);
        return View()->Text(span.first, span.second);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int* startOffset,
                             int* endOffset) const override {
        int start = 0;
        int end = 0;
        textAtOffset(offset, boundary, &start, &end);
        if (start == 0) {
            *startOffset = *endOffset = 0;
            return {};
        }
        return textAtOffset(start - 1, boundary, startOffset, endOffset);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int* startOffset,
                            int* endOffset) const override {
        int start = 0;
        int end = 0;
        textAtOffset(offset, boundary, &start, &end);
        if (end >= characterCount()) {
            *startOffset = *endOffset = characterCount();
            return {};
        }
        return textAtOffset(end, boundary, startOffset, endOffset);
    }
    int characterCount() const override { return Offset(View()->CharacterCount()); }
    QRect characterRect(int offset) const override {
        const QRect rect = View()->CharacterRect(Position(offset));
        return rect.isEmpty() ? rect : QRect(View()->mapToGlobal(rect.topLeft()), rect.size());
    }
    int offsetAtPoint(const QPoint& point) const override {
        return Offset(View()->PositionAt(View()->mapFromGlobal(point)));
    }
    void scrollToSubstring(int startIndex, int endIndex) override {
        View()->Select(Position(endIndex), Position(startIndex));
    }
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset;
        return {};
    }

private:
    OutputView* View() const { return static_cast<OutputView*>(widget()); }
    // The interface counts in int: beyond 2 G characters a screen reader sees the start of the text.
    static int Offset(std::size_t position) {
        return static_cast<int>(std::min<std::size_t>(position, INT_MAX));
    }
    std::size_t Position(int offset) const {
        return std::min(static_cast<std::size_t>(std::max(offset, 0)), View()->CharacterCount());
    }
};

QAccessibleInterface* AccessibleFor(const QString& className, QObject* object) {
    if (className == QLatin1String("OutputView") && object != nullptr && object->isWidgetType()) {
        return new OutputAccessible(static_cast<OutputView*>(object));
    }
    return nullptr;
}

} // namespace

OutputView::OutputView(QWidget* parent) : QAbstractScrollArea(parent) {
    static const bool accessibleInstalled = [] {
        QAccessible::installFactory(&AccessibleFor);
        return true;
    }();
    (void)accessibleInstalled;
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &OutputView::OnScrollBarMoved);
    UpdateMetrics();
}

void OutputView::SetText(std::u16string_view text) {
    text_.Clear();
    console_.Reset();
    rowsOfLine_.clear();
    caret_ = anchor_ = 0;
    top_ = {};
    following_ = true;
    AppendText(text);
}

void OutputView::AppendText(std::u16string_view chunk) {
    // The last line may change; every line before it stays as it was laid out.
    rowsOfLine_.erase(rowsOfLine_.lower_bound(text_.LineCount() - 1), rowsOfLine_.end());
    console_.Feed(chunk);
    // Erasing within the last line may have shortened the text.
    caret_ = std::min(caret_, text_.Size());
    anchor_ = std::min(anchor_, text_.Size());
    changed_ = true;
}

void OutputView::Show(bool caretToEnd) {
    if (!changed_ && (!caretToEnd || (caret_ == text_.Size() && anchor_ == caret_ && following_))) {
        return; // as it is on screen
    }
    changed_ = false;
    if (caretToEnd) {
        caret_ = anchor_ = text_.Size();
        following_ = true;
        TellScreenReader();
    }
    if (following_) {
        top_ = EndTop();
    }
    UpdateScrollBar();
    // The window takes no events while a command runs, so what arrived is painted here and now.
    if (isVisible()) {
        viewport()->repaint();
        verticalScrollBar()->repaint();
    }
}

QString OutputView::Text(std::size_t from, std::size_t to) const {
    if (from > to) {
        std::swap(from, to);
    }
    to = std::min(to, text_.Size());
    from = std::min(from, to);
    QString text(static_cast<qsizetype>(to - from), Qt::Uninitialized);
    text_.CopyTo(from, to, reinterpret_cast<char16_t*>(text.data()));
    return text;
}

std::pair<std::size_t, std::size_t> OutputView::Selection() const {
    return std::minmax(anchor_, caret_);
}

void OutputView::Select(std::size_t anchor, std::size_t caret) {
    anchor_ = std::min(anchor, text_.Size());
    caret_ = std::min(caret, text_.Size());
    EnsureCaretVisible();
    TellScreenReader();
    viewport()->update();
}

void OutputView::SelectAll() {
    anchor_ = 0;
    caret_ = text_.Size();
    OfferPrimarySelection();
    TellScreenReader();
    viewport()->update();
}

void OutputView::Copy() const {
    const auto [from, to] = Selection();
    if (from != to) {
        QApplication::clipboard()->setText(Text(from, to));
    }
}

void OutputView::OfferPrimarySelection() const {
    QClipboard* clipboard = QApplication::clipboard();
    const auto [from, to] = Selection();
    if (from != to && clipboard->supportsSelection()) {
        clipboard->setMimeData(new SelectedText(this, from, to), QClipboard::Selection);
    }
}

// A screen reader follows the caret and the selection.
void OutputView::TellScreenReader() {
    if (!QAccessible::isActive()) {
        return;
    }
    const auto offset = [](std::size_t position) {
        return static_cast<int>(std::min<std::size_t>(position, INT_MAX));
    };
    QAccessibleTextCursorEvent caret(this, offset(caret_));
    QAccessible::updateAccessibility(&caret);
    const auto [from, to] = Selection();
    QAccessibleTextSelectionEvent selection(this, offset(from), offset(to));
    QAccessible::updateAccessibility(&selection);
}

// --- layout ---

void OutputView::UpdateMetrics() {
    rowFont_ = font();
    rowFont_.setKerning(false); // a row is exactly as wide as its characters together
    const QFontMetricsF metrics(rowFont_);
    for (int c = 0; c < 256; ++c) {
        latin1Advances_[c] = metrics.horizontalAdvance(QChar(c));
    }
    latin1Advances_[u'\t'] = 8 * metrics.horizontalAdvance(QLatin1Char(' '));
    otherAdvances_.clear();
    lineHeight_ = std::max(1, static_cast<int>(std::ceil(metrics.lineSpacing())));
    ascent_ = static_cast<int>(std::ceil(metrics.ascent()));
    rowsOfLine_.clear();
    const double average = std::max(1.0, metrics.averageCharWidth());
    text_.SetCharactersPerRow(
        static_cast<std::size_t>(std::max(1.0, (viewport()->width() - 2 * Margin) / average)));
}

double OutputView::Advance(char16_t c) const {
    if (c < 256) {
        return latin1Advances_[c];
    }
    if ((c & 0xFC00) == 0xDC00) {
        return 0; // a surrogate pair's width goes with its first half
    }
    auto found = otherAdvances_.constFind(c);
    if (found == otherAdvances_.constEnd()) {
        const QChar shown((c & 0xFC00) == 0xD800 ? char16_t{0xFFFD} : c);
        found = otherAdvances_.insert(c, QFontMetricsF(rowFont_).horizontalAdvance(shown));
    }
    return *found;
}

const std::vector<std::size_t>& OutputView::Rows(std::size_t line) const {
    auto found = rowsOfLine_.find(line);
    if (found != rowsOfLine_.end()) {
        return found->second;
    }
    if (rowsOfLine_.size() >= CacheLines) {
        rowsOfLine_.clear();
    }
    struct LineText {
        const OutputText& text;
        std::size_t start;
        std::size_t length;
        std::size_t size() const { return length; }
        char16_t operator[](std::size_t i) const { return text.At(start + i); }
    };
    const std::size_t start = text_.LineStart(line);
    const double width = std::max(1, viewport()->width() - 2 * Margin);
    return rowsOfLine_[line] = WrapRows(LineText{text_, start, text_.LineEnd(line) - start}, width,
                                        [this](char16_t c) { return Advance(c); });
}

std::pair<std::size_t, std::size_t> OutputView::RowSpan(Row row) const {
    const std::vector<std::size_t>& rows = Rows(row.line);
    const std::size_t start = text_.LineStart(row.line);
    return {start + rows[row.row],
            row.row + 1 < rows.size() ? start + rows[row.row + 1] : text_.LineEnd(row.line)};
}

OutputView::Row OutputView::RowOf(std::size_t position) const {
    const std::size_t line = text_.LineOf(position);
    const std::vector<std::size_t>& rows = Rows(line);
    const std::size_t offset = position - text_.LineStart(line);
    return {line,
            static_cast<std::size_t>(std::upper_bound(rows.begin(), rows.end(), offset) - rows.begin()) - 1};
}

OutputView::Row OutputView::MoveRows(Row from, long long rows) const {
    for (; rows < 0; ++rows) {
        if (from.row > 0) {
            --from.row;
        } else if (from.line > 0) {
            --from.line;
            from.row = Rows(from.line).size() - 1;
        } else {
            break;
        }
    }
    for (; rows > 0; --rows) {
        if (from.row + 1 < Rows(from.line).size()) {
            ++from.row;
        } else if (from.line + 1 < text_.LineCount()) {
            ++from.line;
            from.row = 0;
        } else {
            break;
        }
    }
    return from;
}

OutputView::Row OutputView::EndTop() const {
    const Row last{text_.LineCount() - 1, Rows(text_.LineCount() - 1).size() - 1};
    return MoveRows(last, 1 - VisibleRows());
}

int OutputView::VisibleRows() const {
    return std::max(1, viewport()->height() / lineHeight_);
}

double OutputView::X(std::size_t rowStart, std::size_t position) const {
    double x = Margin;
    for (std::size_t i = rowStart; i < position; ++i) {
        x += Advance(text_.At(i));
    }
    return x;
}

// --- scrolling ---

void OutputView::ScrollTo(Row top) {
    const Row end = EndTop();
    top_ = std::min(top, end);
    following_ = top_ == end;
    UpdateScrollBar();
    viewport()->update();
}

// The scroll bar counts estimated rows (see OutputText): exact enough near the view, and computed without
// laying out the text, so it stays put while output arrives below.
void OutputView::UpdateScrollBar() {
    const std::uint64_t total = text_.EstimatedTotalRows();
    const auto visible = static_cast<std::uint64_t>(VisibleRows());
    const auto maximum =
        static_cast<int>(std::min<std::uint64_t>(total > visible ? total - visible : 0, INT_MAX));
    const std::uint64_t estimated = text_.EstimatedRowsBefore(top_.line) +
                                    std::min<std::uint64_t>(top_.row, text_.EstimatedRows(top_.line) - 1);
    settingScrollBar_ = true;
    verticalScrollBar()->setRange(0, maximum);
    verticalScrollBar()->setPageStep(static_cast<int>(visible));
    verticalScrollBar()->setValue(following_ && top_ != Row{}
                                      ? maximum
                                      : static_cast<int>(std::min<std::uint64_t>(estimated, maximum)));
    settingScrollBar_ = false;
}

void OutputView::OnScrollBarMoved(int value) {
    if (settingScrollBar_) {
        return;
    }
    if (value >= verticalScrollBar()->maximum()) {
        top_ = EndTop();
        following_ = true;
    } else {
        const std::size_t line = text_.LineAtEstimatedRow(static_cast<std::uint64_t>(value));
        const std::uint64_t row = static_cast<std::uint64_t>(value) - text_.EstimatedRowsBefore(line);
        top_ = std::min(Row{line, std::min<std::size_t>(row, Rows(line).size() - 1)}, EndTop());
        following_ = false;
    }
    viewport()->update();
}

void OutputView::wheelEvent(QWheelEvent* event) {
    wheelRemainder_ += event->angleDelta().y();
    const int steps = wheelRemainder_ / 120;
    wheelRemainder_ %= 120;
    if (steps != 0) {
        ScrollTo(MoveRows(top_, -static_cast<long long>(steps) * QApplication::wheelScrollLines()));
    }
    event->accept();
}

void OutputView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateMetrics();
    top_.row = std::min(top_.row, Rows(top_.line).size() - 1);
    if (following_) {
        top_ = EndTop();
    }
    UpdateScrollBar();
}

void OutputView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateMetrics();
        top_.row = 0;
        UpdateScrollBar();
    }
}

// --- paint ---

void OutputView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setFont(rowFont_);
    const auto [selectionFrom, selectionTo] = Selection();
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    const QColor textColour = palette().color(group, QPalette::Text);
    const QColor highlight = palette().color(group, QPalette::Highlight);
    const QColor highlightedText = palette().color(group, QPalette::HighlightedText);
    const int rows = viewport()->height() / lineHeight_ + 1;
    Row row = top_;
    QString shown;
    for (int y = 0, i = 0; i < rows; ++i, y += lineHeight_) {
        const auto [from, to] = RowSpan(row);
        // The selection's background, a blank's width further where it takes in the line break.
        const std::size_t selectedFrom = std::clamp(selectionFrom, from, to);
        const std::size_t selectedTo = std::clamp(selectionTo, from, to);
        double x = Margin;
        const double selectionX = X(from, selectedFrom);
        double selectionEnd = X(from, selectedTo);
        if (selectionTo > to && to == text_.LineEnd(row.line) && selectionFrom <= to) {
            selectionEnd += latin1Advances_[u' '];
        }
        if (selectionEnd > selectionX) {
            painter.fillRect(QRectF(selectionX, y, selectionEnd - selectionX, lineHeight_), highlight);
        }
        // Runs between tabs and between the selection's ends, each at its own x.
        for (std::size_t start = from; start < to;) {
            std::size_t end = start;
            const bool selected = start >= selectedFrom && start < selectedTo;
            while (end < to && text_.At(end) != u'\t' &&
                   (end == start || (end != selectedFrom && end != selectedTo))) {
                ++end;
            }
            if (end == start) { // a tab
                x += Advance(u'\t');
                ++start;
                continue;
            }
            shown.resize(static_cast<qsizetype>(end - start));
            text_.CopyTo(start, end, reinterpret_cast<char16_t*>(shown.data()));
            painter.setPen(selected ? highlightedText : textColour);
            painter.drawText(QPointF(x, y + ascent_), shown);
            x += X(start, end) - Margin;
            start = end;
        }
        if (hasFocus() && caret_ >= from && (caret_ < to || (caret_ == to && RowOf(caret_) == row))) {
            const double caretX = X(from, caret_);
            painter.fillRect(QRectF(caretX, y, 1, lineHeight_), textColour);
        }
        const Row next = MoveRows(row, 1);
        if (next == row) {
            break;
        }
        row = next;
    }
}

QRect OutputView::CharacterRect(std::size_t position) const {
    const Row row = RowOf(std::min(position, text_.Size()));
    long long index = 0;
    for (Row r = top_; r != row; ++index) {
        if (index > VisibleRows() || row < r) {
            return {};
        }
        r = MoveRows(r, 1);
    }
    const std::size_t rowStart = RowSpan(row).first;
    const double x = X(rowStart, position);
    const double width = position < text_.Size() ? Advance(text_.At(position)) : 1;
    return QRectF(x, static_cast<double>(index * lineHeight_), std::max(1.0, width), lineHeight_)
        .toAlignedRect()
        .translated(viewport()->pos());
}

std::size_t OutputView::PositionAt(QPoint point) const {
    point -= viewport()->pos();
    const Row row =
        MoveRows(top_, static_cast<long long>(std::floor(static_cast<double>(point.y()) / lineHeight_)));
    return PositionInRow(row, point.x());
}

// The position nearest to `x` in `row`: a click or the caret lands before the character whose middle lies
// past it.
std::size_t OutputView::PositionInRow(Row row, double x) const {
    const auto [from, to] = RowSpan(row);
    double left = Margin;
    for (std::size_t i = from; i < to; ++i) {
        const double advance = Advance(text_.At(i));
        if (left + advance / 2 > x) {
            return i;
        }
        left += advance;
    }
    return to;
}

// --- keys and mouse ---

void OutputView::MoveCaret(std::size_t position, bool extend) {
    caret_ = std::min(position, text_.Size());
    if (!extend) {
        anchor_ = caret_;
    }
    EnsureCaretVisible();
    TellScreenReader();
    viewport()->update();
}

void OutputView::EnsureCaretVisible() {
    const Row row = RowOf(caret_);
    if (row < top_) {
        ScrollTo(row);
    } else if (MoveRows(top_, VisibleRows() - 1) < row) {
        ScrollTo(MoveRows(row, 1 - VisibleRows()));
    }
}

void OutputView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::SelectAll) {
        SelectAll();
        return;
    }
    if (event == QKeySequence::Copy) {
        Copy();
        return;
    }
    const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
    const bool control = (event->modifiers() & Qt::ControlModifier) != 0;
    const Row row = RowOf(caret_);
    const std::pair<std::size_t, std::size_t> span = RowSpan(row);
    const std::size_t rowFrom = span.first;
    const std::size_t rowTo = span.second;
    // Up, Down and the page keys keep the caret's x.
    const auto atRowsAway = [&](long long rows) {
        const Row target = MoveRows(row, rows);
        if (target == row) {
            return rows < 0 ? std::size_t{0} : text_.Size();
        }
        return PositionInRow(target, static_cast<int>(X(rowFrom, caret_)));
    };
    switch (event->key()) {
    case Qt::Key_Left:
        MoveCaret(control ? text_.WordAt(caret_ > 0 ? caret_ - 1 : 0).first : (caret_ > 0 ? caret_ - 1 : 0),
                  extend);
        break;
    case Qt::Key_Right:
        MoveCaret(control ? text_.WordAt(caret_).second : caret_ + 1, extend);
        break;
    case Qt::Key_Up:
        MoveCaret(atRowsAway(-1), extend);
        break;
    case Qt::Key_Down:
        MoveCaret(atRowsAway(1), extend);
        break;
    case Qt::Key_PageUp:
        ScrollTo(MoveRows(top_, 1 - VisibleRows()));
        MoveCaret(atRowsAway(1 - VisibleRows()), extend);
        break;
    case Qt::Key_PageDown:
        ScrollTo(MoveRows(top_, VisibleRows() - 1));
        MoveCaret(atRowsAway(VisibleRows() - 1), extend);
        break;
    case Qt::Key_Home:
        MoveCaret(control ? 0 : rowFrom, extend);
        break;
    case Qt::Key_End:
        MoveCaret(control ? text_.Size() : rowTo, extend);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if (extend) {
        OfferPrimarySelection();
    }
}

void OutputView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const std::size_t position = PositionAt(event->position().toPoint() + viewport()->pos());
    const bool tripleClick =
        lastDoubleClickMs_ >= 0 &&
        QDateTime::currentMSecsSinceEpoch() - lastDoubleClickMs_ < QApplication::doubleClickInterval() &&
        (event->position().toPoint() - lastDoubleClickAt_).manhattanLength() <
            QApplication::startDragDistance();
    lastDoubleClickMs_ = -1;
    if (tripleClick) {
        unit_ = Unit::Line;
        unitAnchor_ = text_.LineAt(position);
        anchor_ = unitAnchor_.first;
        MoveCaret(unitAnchor_.second, true);
    } else {
        unit_ = Unit::Character;
        MoveCaret(position, (event->modifiers() & Qt::ShiftModifier) != 0);
    }
}

void OutputView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    lastDoubleClickMs_ = QDateTime::currentMSecsSinceEpoch();
    lastDoubleClickAt_ = event->position().toPoint();
    unit_ = Unit::Word;
    unitAnchor_ = text_.WordAt(PositionAt(event->position().toPoint() + viewport()->pos()));
    anchor_ = unitAnchor_.first;
    MoveCaret(unitAnchor_.second, true);
}

void OutputView::ExtendSelection(std::size_t position) {
    if (unit_ == Unit::Character) {
        MoveCaret(position, true);
        return;
    }
    const auto span = unit_ == Unit::Word ? text_.WordAt(position) : text_.LineAt(position);
    if (position < unitAnchor_.first) {
        anchor_ = unitAnchor_.second;
        MoveCaret(span.first, true);
    } else {
        anchor_ = unitAnchor_.first;
        MoveCaret(std::max(span.second, unitAnchor_.second), true);
    }
}

void OutputView::mouseMoveEvent(QMouseEvent* event) {
    if ((event->buttons() & Qt::LeftButton) == 0) {
        return;
    }
    const QPoint at = event->position().toPoint();
    if (at.y() < 0) {
        ScrollTo(MoveRows(top_, -1));
    } else if (at.y() >= viewport()->height()) {
        ScrollTo(MoveRows(top_, 1));
    }
    ExtendSelection(PositionAt(at + viewport()->pos()));
}

void OutputView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OfferPrimarySelection();
    }
}

void OutputView::contextMenuEvent(QContextMenuEvent* event) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* copy = menu->addAction(tr("&Copy"), QKeySequence::Copy, this, &OutputView::Copy);
    copy->setEnabled(Selection().first != Selection().second);
    menu->addSeparator();
    menu->addAction(tr("Select All"), QKeySequence::SelectAll, this, &OutputView::SelectAll);
    menu->popup(event->globalPos());
}

void OutputView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update(); // the caret shows while the box has the focus
}

void OutputView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}
