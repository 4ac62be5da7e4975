#include "OutputView.h"

#include "OutputAccessible.h"
#include "StyleFormats.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QMimeData>
#include <QPointer>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

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

} // namespace

OutputView::OutputView(QWidget* parent) : QAbstractScrollArea(parent) {
    static const bool accessibleInstalled = [] {
        QAccessible::installFactory(&OutputAccessibleFor);
        return true;
    }();
    (void)accessibleInstalled;
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setMouseTracking(true); // a pointing hand over links while Ctrl is held
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &OutputView::OnScrollBarMoved);
    connect(&autoScroll_, &QTimer::timeout, this, &OutputView::AutoScroll);
    refine_.setSingleShot(true);
    connect(&refine_, &QTimer::timeout, this, &OutputView::RefineDrafts);
    // The output's colours over the box's own, which may change with the palette.
    lineFormats = [this](std::size_t lineStart, std::size_t lineEnd) {
        return LineFormats(styles_, lineStart, lineEnd, palette().color(QPalette::Text),
                           palette().color(QPalette::Base));
    };
    cache_.formats = [this](std::size_t lineStart, std::size_t lineEnd) {
        return lineFormats ? lineFormats(lineStart, lineEnd) : QList<QTextLayout::FormatRange>();
    };
    ApplyTextFont();
}

void OutputView::SetText(std::u16string_view text) {
    text_.Clear();
    console_.Reset();
    cache_.Clear();
    caret_ = anchor_ = 0;
    top_ = {};
    following_ = true;
    announced_ = 0;
    AppendText(text);
}

void OutputView::AppendText(std::u16string_view chunk) {
    // The last line may change; every line before it stays as it was laid out.
    const std::size_t lastLine = text_.LineCount() - 1;
    const std::size_t before = text_.Size();
    cache_.LineChanged(lastLine);
    console_.Feed(chunk);
    const bool rewritten = lines_.TakeFirstChange() < before;
    // A carriage return or an erase may have rewritten or shortened that line: whatever the view remembers
    // of it keeps to what is left, before anything paints or measures it. Text only added to it leaves every
    // row there was, and one long line flooding in is not laid out again with every chunk. Laid out as
    // drafts: a flood may rewrite the line with every chunk; the next showing refines them.
    if (top_.line >= lastLine && rewritten) {
        cache_.SetDeadline(LayoutCache::Clock::time_point{});
        top_ = std::min(layouts_.Clamp(top_), EndTop());
        cache_.SetDeadline(std::nullopt);
    }
    const std::size_t size = text_.Size();
    unitAnchor_ = {std::min(unitAnchor_.first, size), std::min(unitAnchor_.second, size)};
    announced_ = std::min(announced_, size);
    if (caret_ > size || anchor_ > size) {
        caret_ = std::min(caret_, size);
        anchor_ = std::min(anchor_, size);
        TellScreenReader();
    }
    changed_ = true;
}

void OutputView::StartRun() {
    console_.StartRun();
    following_ = true;
    keepSelection_ = false;
}

void OutputView::Show(bool caretToEnd) {
    const bool caretMoves = caretToEnd && following_ && !keepSelection_;
    if (!changed_ && (!caretMoves || (caret_ == text_.Size() && anchor_ == caret_))) {
        return; // as it is on screen
    }
    changed_ = false;
    AnnounceNewText();
    if (caretMoves) {
        caret_ = anchor_ = text_.Size();
        TellScreenReader();
    }
    // New rows are laid out within the budget, the rest as drafts; what time is left refines the drafts.
    const LayoutCache::Clock::time_point deadline = LayoutCache::Clock::now() + layoutBudget_;
    cache_.SetDeadline(deadline);
    if (following_) {
        top_ = EndTop();
    }
    if (LayoutCache::Clock::now() < deadline) {
        Refine(deadline);
    }
    UpdateScrollBar();
    // The window takes no events while a command runs, so what arrived is painted here and now.
    if (isVisible()) {
        viewport()->repaint();
        verticalScrollBar()->repaint();
    }
    cache_.SetDeadline(std::nullopt);
    if (cache_.HasDrafts()) {
        refine_.start(0);
    }
}

void OutputView::RefineDrafts() {
    // Text came after the showing that left these drafts: a flood is on, and its events are handled now only
    // to keep the window alive. Its rows will be laid out again by the next showing, which then asks again;
    // refining them here would load fonts for rows that are about to scroll away. Once the text stops
    // coming, the last showing's drafts are refined.
    if (changed_) {
        return;
    }
    const LayoutCache::Clock::time_point deadline = LayoutCache::Clock::now() + layoutBudget_;
    cache_.SetDeadline(deadline);
    if (Refine(deadline)) {
        UpdateScrollBar();
        viewport()->repaint();
    }
    cache_.SetDeadline(std::nullopt);
    if (cache_.HasDrafts()) {
        refine_.start(0);
    }
}

// A refined row may wrap otherwise than its draft: the view keeps the text it had at its top, or the end
// where it showed the end.
bool OutputView::Refine(LayoutCache::Clock::time_point deadline) {
    const bool atEnd = following_ || top_ == EndTop();
    const std::size_t topPosition = layouts_.RowSpan(top_).first;
    if (!cache_.RefineDrafts(top_.line, deadline)) {
        return false;
    }
    top_ = atEnd ? EndTop() : std::min(layouts_.RowOf(topPosition), EndTop());
    return true;
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

std::pair<std::size_t, std::size_t> OutputView::ClusterAt(std::size_t position) const {
    const std::size_t start = layouts_.ClusterStart(position);
    return {start, layouts_.NextCluster(start)};
}

std::pair<std::size_t, std::size_t> OutputView::WordAt(std::size_t position) const {
    const auto [from, to] = text_.WordAt(position);
    return {layouts_.ClusterStart(from), layouts_.ClusterEnd(to)};
}

void OutputView::InvalidateLayouts() {
    cache_.Clear();
    top_ = estimate_.RowInLineAt(top_.line, estimate_.RowInLine(top_));
    if (following_) {
        top_ = EndTop();
    }
    viewport()->update();
}

void OutputView::SelectAll() {
    anchor_ = 0;
    caret_ = text_.Size();
    keepSelection_ = caret_ != 0;
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

// Output that has grown since the last batch is read out as inserted text. What only overwrote shown text
// (a progress meter) is not, so a meter does not flood the reader.
void OutputView::AnnounceNewText() {
    const std::size_t size = text_.Size();
    if (size > announced_ && QAccessible::isActive()) {
        QAccessibleTextInsertEvent inserted(
            this, static_cast<int>(std::min<std::size_t>(announced_, INT_MAX)), Text(announced_, size));
        QAccessible::updateAccessibility(&inserted);
    }
    announced_ = size;
}

// --- layout ---

void OutputView::SetFixedPitch(bool on) {
    fixedPitch_ = on;
    ApplyTextFont();
}

void OutputView::Zoom(int points) {
    zoom_ = points == 0 ? 0 : zoom_ + points;
    ApplyTextFont();
}

// The box's font, or the system's fixed-pitch one at its size, zoomed; the layouts and rows follow.
void OutputView::ApplyTextFont() {
    QFont text = font();
    if (fixedPitch_) {
        text = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        text.setPointSizeF(font().pointSizeF());
    }
    const double size = font().pointSizeF();
    if (size <= 0) { // a font sized in pixels: shown as it is
        zoom_ = 0;
        textFont_ = text;
    } else {
        const double zoomed =
            std::clamp(size + zoom_, std::min(size, MinimumPointSize), std::max(size, MaximumPointSize));
        zoom_ = static_cast<int>(std::lround(zoomed - size)); // no further than the bounds
        text.setPointSizeF(zoomed);
        textFont_ = text;
    }
    const std::uint64_t row = estimate_.RowInLine(top_);
    cache_.SetFont(textFont_);
    UpdateMetrics();
    top_ = following_ ? EndTop() : estimate_.RowInLineAt(top_.line, row);
    UpdateScrollBar();
    viewport()->update();
}

void OutputView::UpdateMetrics() {
    const double width = std::max(1, viewport()->width() - 2 * Margin);
    const double average = std::max(1.0, QFontMetricsF(textFont_).averageCharWidth());
    const auto perRow = static_cast<std::size_t>(std::max(1.0, width / average));
    text_.SetCharactersPerRow(perRow);
    cache_.SetWidth(width);
}

TextRow OutputView::EndTop() const {
    if (endTopChanges_ != cache_.Changes() || endTopRows_ != VisibleRows()) {
        endTop_ = layouts_.MoveRows(layouts_.LastRow(), 1 - VisibleRows());
        endTopChanges_ = cache_.Changes();
        endTopRows_ = VisibleRows();
    }
    return endTop_;
}

int OutputView::VisibleRows() const {
    return std::max(1, viewport()->height() / cache_.LineHeight());
}

// --- scrolling ---

void OutputView::ScrollTo(TextRow top) {
    const TextRow end = EndTop();
    top_ = std::min(top, end);
    following_ = top_ == end;
    UpdateScrollBar();
    viewport()->update();
}

// The scroll bar counts estimated rows (ScrollEstimate).
void OutputView::UpdateScrollBar() {
    const std::uint64_t total = estimate_.Total();
    const auto visible = static_cast<std::uint64_t>(VisibleRows());
    const auto maximum =
        static_cast<int>(std::min<std::uint64_t>(total > visible ? total - visible : 0, INT_MAX));
    const std::uint64_t estimated = estimate_.RowOf(top_);
    settingScrollBar_ = true;
    verticalScrollBar()->setRange(0, maximum);
    verticalScrollBar()->setPageStep(static_cast<int>(visible));
    verticalScrollBar()->setValue(following_ && top_ != TextRow{}
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
        top_ = std::min(estimate_.RowAt(static_cast<std::uint64_t>(value)), EndTop());
        following_ = false;
    }
    viewport()->update();
}

// Ctrl+wheel zooms a point a notch; the wheel alone scrolls.
void OutputView::wheelEvent(QWheelEvent* event) {
    wheelRemainder_ += event->angleDelta().y();
    const int steps = wheelRemainder_ / 120;
    wheelRemainder_ %= 120;
    if (steps != 0 && (event->modifiers() & Qt::ControlModifier) != 0) {
        Zoom(steps);
    } else if (steps != 0) {
        ScrollTo(layouts_.MoveRows(top_, -static_cast<long long>(steps) * QApplication::wheelScrollLines()));
    }
    event->accept();
}

void OutputView::RevealBelow(std::size_t position, int pixels) {
    const TextRow row = layouts_.RowOf(position);
    const int rows = (pixels + cache_.LineHeight() - 1) / cache_.LineHeight();
    const long long screenRow = ScreenRow(row);
    if (screenRow >= 0 && screenRow < rows) {
        ScrollTo(layouts_.MoveRows(row, -rows));
    }
}

void OutputView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    const std::uint64_t row = estimate_.RowInLine(top_);
    UpdateMetrics();
    top_ = estimate_.RowInLineAt(top_.line, row);
    if (following_) {
        top_ = EndTop();
    }
    UpdateScrollBar();
}

void OutputView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        ApplyTextFont();
    } else if (event->type() == QEvent::PaletteChange) {
        InvalidateLayouts();
    }
}
