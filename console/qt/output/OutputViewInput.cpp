// The output view's keys and mouse: the caret moves a grapheme cluster, a word, a row or a page at a time,
// and a drag selects the logical range between the two places it hit, scrolling while held beyond an edge.
#include "OutputView.h"
#include "StyleFormats.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QToolTip>

#include <algorithm>

void OutputView::MoveCaret(std::size_t position, bool extend) {
    caret_ = std::min(position, text_.Size());
    if (!extend) {
        anchor_ = caret_;
    }
    keepSelection_ = anchor_ != caret_;
    EnsureCaretVisible();
    TellScreenReader();
    viewport()->update();
}

void OutputView::EnsureCaretVisible() {
    const TextRow row = layouts_.RowOf(caret_);
    if (row < top_) {
        ScrollTo(row);
    } else if (layouts_.MoveRows(top_, VisibleRows() - 1) < row) {
        ScrollTo(layouts_.MoveRows(row, 1 - VisibleRows()));
    }
}

std::size_t OutputView::AtRowsAway(long long rows) const {
    const TextRow row = layouts_.RowOf(caret_);
    const TextRow target = layouts_.MoveRows(row, rows);
    if (target == row) {
        return rows < 0 ? std::size_t{0} : text_.Size();
    }
    return layouts_.PositionInRow(target, layouts_.X(row, caret_));
}

// To the end of the run of word characters, blanks or signs at the position; from a line's end to the next
// line's start.
std::size_t OutputView::WordRight(std::size_t position) const {
    if (position == text_.LineEnd(text_.LineOf(position))) {
        return std::min(position + 1, text_.Size());
    }
    return layouts_.ClusterEnd(text_.WordAt(position).second);
}

std::size_t OutputView::WordLeft(std::size_t position) const {
    if (position == text_.LineStart(text_.LineOf(position))) {
        return position > 0 ? position - 1 : 0;
    }
    return layouts_.ClusterStart(text_.WordAt(position - 1).first);
}

bool OutputView::FontKey(const QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == (Qt::ControlModifier | Qt::ShiftModifier) && event->key() == Qt::Key_M) {
        SetFixedPitch(!fixedPitch_);
        return true;
    }
    // Plus is often Shift+= on the keyboard, so Shift is not asked about.
    if ((modifiers & ~Qt::ShiftModifier) != Qt::ControlModifier) {
        return false;
    }
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        Zoom(1);
        return true;
    case Qt::Key_Minus:
        Zoom(-1);
        return true;
    case Qt::Key_0:
        Zoom(0);
        return true;
    default:
        return false;
    }
}

void OutputView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::SelectAll) {
        SelectAll();
        return;
    }
    // Ctrl+Insert wherever the platform's Copy is only Ctrl+C: during a run Ctrl+C stops the command.
    if (event == QKeySequence::Copy ||
        (event->key() == Qt::Key_Insert && event->modifiers() == Qt::ControlModifier)) {
        Copy();
        return;
    }
    if (FontKey(event)) {
        return;
    }
    const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
    const bool control = (event->modifiers() & Qt::ControlModifier) != 0;
    const auto [rowFrom, rowTo] = layouts_.RowSpan(layouts_.RowOf(caret_));
    // A wrapped row's End stays before the row's last cluster, on that row.
    const std::size_t rowEnd =
        rowTo < text_.LineEnd(text_.LineOf(rowFrom)) ? layouts_.PreviousCluster(rowTo) : rowTo;
    switch (event->key()) {
    case Qt::Key_Left:
        MoveCaret(control ? WordLeft(caret_) : layouts_.PreviousCluster(caret_), extend);
        break;
    case Qt::Key_Right:
        MoveCaret(control ? WordRight(caret_) : layouts_.NextCluster(caret_), extend);
        break;
    case Qt::Key_Up:
        MoveCaret(AtRowsAway(-1), extend);
        break;
    case Qt::Key_Down:
        MoveCaret(AtRowsAway(1), extend);
        break;
    case Qt::Key_PageUp: {
        const std::size_t target = AtRowsAway(1 - VisibleRows());
        ScrollTo(layouts_.MoveRows(top_, 1 - VisibleRows()));
        MoveCaret(target, extend);
        break;
    }
    case Qt::Key_PageDown: {
        const std::size_t target = AtRowsAway(VisibleRows() - 1);
        ScrollTo(layouts_.MoveRows(top_, VisibleRows() - 1));
        MoveCaret(target, extend);
        break;
    }
    case Qt::Key_Home:
        MoveCaret(control ? 0 : rowFrom, extend);
        break;
    case Qt::Key_End:
        MoveCaret(control ? text_.Size() : std::max(rowEnd, rowFrom), extend);
        break;
    case Qt::Key_Control:
        ShowLinkCursor(mapFromGlobal(QCursor::pos()), Qt::ControlModifier);
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if (extend) {
        OfferPrimarySelection();
    }
}

// The link over the character under the point: the character's own rectangle, not the nearest caret place,
// so the blank past a line's end is no link.
QString OutputView::LinkUnder(QPoint point) const {
    const std::size_t position = PositionAt(point);
    for (const std::size_t at : {position, layouts_.PreviousCluster(position)}) {
        if (at < text_.Size() && at != text_.LineEnd(text_.LineOf(at)) && CharacterRect(at).contains(point)) {
            return LinkAt(styles_, at);
        }
    }
    return {};
}

void OutputView::ShowLinkCursor(QPoint point, Qt::KeyboardModifiers modifiers) {
    const bool onLink = (modifiers & Qt::ControlModifier) != 0 && !LinkUnder(point).isEmpty();
    viewport()->setCursor(onLink ? Qt::PointingHandCursor : Qt::IBeamCursor);
}

bool OutputView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString link = LinkUnder(help->pos() + viewport()->pos());
        if (link.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), LinkToolTip(link), viewport());
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void OutputView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    // Ctrl+click is for links: it opens an http, https or file one and selects nothing.
    if ((event->modifiers() & Qt::ControlModifier) != 0) {
        const QString link = LinkUnder(event->position().toPoint() + viewport()->pos());
        if (!link.isEmpty()) {
            OpenLink(link);
            return;
        }
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

void OutputView::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Control) {
        ShowLinkCursor(mapFromGlobal(QCursor::pos()), {});
    }
    QAbstractScrollArea::keyReleaseEvent(event);
}

void OutputView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    lastDoubleClickMs_ = QDateTime::currentMSecsSinceEpoch();
    lastDoubleClickAt_ = event->position().toPoint();
    unit_ = Unit::Word;
    unitAnchor_ = WordAt(PositionAt(event->position().toPoint() + viewport()->pos()));
    anchor_ = unitAnchor_.first;
    MoveCaret(unitAnchor_.second, true);
}

void OutputView::ExtendSelection(std::size_t position) {
    if (unit_ == Unit::Character) {
        MoveCaret(position, true);
        return;
    }
    const auto span = unit_ == Unit::Word ? WordAt(position) : text_.LineAt(position);
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
        ShowLinkCursor(event->position().toPoint() + viewport()->pos(), event->modifiers());
        return;
    }
    dragAt_ = event->position().toPoint();
    const bool beyondEdge = dragAt_.y() < 0 || dragAt_.y() >= viewport()->height();
    if (beyondEdge && !autoScroll_.isActive()) {
        AutoScroll();
        autoScroll_.start(50);
    } else if (!beyondEdge) {
        autoScroll_.stop();
    }
    ExtendSelection(PositionAt(dragAt_ + viewport()->pos()));
}

// A row for every line height the mouse is beyond the edge, and one more, each tick.
void OutputView::AutoScroll() {
    const int beyond = dragAt_.y() < 0 ? dragAt_.y() : std::max(0, dragAt_.y() - viewport()->height() + 1);
    if (beyond == 0) {
        autoScroll_.stop();
        return;
    }
    const int rows = 1 + std::abs(beyond) / layouts_.LineHeight();
    ScrollTo(layouts_.MoveRows(top_, beyond < 0 ? -rows : rows));
    ExtendSelection(PositionAt(dragAt_ + viewport()->pos()));
}

void OutputView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        autoScroll_.stop();
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
    menu->addSeparator();
    QAction* fixedPitch =
        menu->addAction(tr("Fixed-pitch font"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M), this,
                        [this](bool on) { SetFixedPitch(on); });
    fixedPitch->setCheckable(true);
    fixedPitch->setChecked(fixedPitch_);
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
