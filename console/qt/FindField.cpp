#include "FindField.h"

#include "OutputView.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

const QString NoMatches = QStringLiteral("No matches");
const QString WrappedToTop = QStringLiteral("Wrapped to the top");
const QString WrappedToBottom = QStringLiteral("Wrapped to the bottom");

// Grapheme clusters as Qt's text engine sees them, asked of the few characters around the position.
bool QtClusterBoundary(const SearchedText& text, std::size_t position) {
    constexpr std::size_t Around = 32;
    if (position == 0 || position >= text.Size()) {
        return true;
    }
    const std::size_t from = position > Around ? position - Around : 0;
    const std::size_t to = std::min(text.Size(), position + Around);
    QString nearby(static_cast<qsizetype>(to - from), Qt::Uninitialized);
    for (std::size_t i = from; i < to; ++i) {
        nearby[static_cast<qsizetype>(i - from)] = QChar(text.At(i));
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, nearby);
    finder.setPosition(static_cast<qsizetype>(position - from));
    return finder.isAtBoundary();
}

} // namespace

FindField::FindField(OutputView* view, QWidget* parent)
    : QFrame(parent), view_(view), pattern_(new QLineEdit(this)), matchCase_(new QCheckBox(this)),
      status_(new QLabel(this)) {
    setObjectName(QStringLiteral("findField"));
    setFrameShape(QFrame::StyledPanel);
    // The system's colours, not the window's black: each role set, so that none is taken from the window.
    QPalette system = QApplication::palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            const auto r = static_cast<QPalette::ColorRole>(role);
            system.setBrush(group, r, system.brush(group, r));
        }
    }
    setPalette(system);
    setAutoFillBackground(true);
    pattern_->setObjectName(QStringLiteral("findPattern"));
    pattern_->setPlaceholderText(QStringLiteral("Find"));
    pattern_->setAccessibleName(QStringLiteral("Find"));
    pattern_->setClearButtonEnabled(false);
    matchCase_->setObjectName(QStringLiteral("findMatchCase"));
    // Alt+C toggles it from the pattern too, where the focus stays (a mnemonic would move it).
    matchCase_->setText(QStringLiteral("Match case"));
    matchCase_->setToolTip(QStringLiteral("Match case (Alt+C)"));
    matchCase_->setAccessibleDescription(QStringLiteral("Alt+C"));
    status_->setObjectName(QStringLiteral("findStatus"));
    status_->setMinimumWidth(QFontMetrics(status_->font()).horizontalAdvance(WrappedToBottom) + 4);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(pattern_, 1);
    layout->addWidget(matchCase_);
    layout->addWidget(status_);
    setTabOrder(pattern_, matchCase_);

    pattern_->installEventFilter(this);
    matchCase_->installEventFilter(this);
    connect(pattern_, &QLineEdit::textChanged, this, [this] { PatternChanged(); });
    connect(matchCase_, &QCheckBox::toggled, this, [this] { PatternChanged(); });
    hide();
}

QWidget* FindField::LastInTabOrder() const {
    return matchCase_;
}

QString FindField::Status() const {
    return status_->text();
}

void FindField::PlaceOverTheView(bool atTheBottom) {
    const int width = std::min(view_->width() * 2 / 3, sizeHint().width());
    const int height = sizeHint().height();
    const int scrollBar = view_->verticalScrollBar()->isVisible()
                              ? view_->verticalScrollBar()->width()
                              : style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QRect box = view_->geometry();
    setGeometry(box.right() + 1 - view_->frameWidth() - scrollBar - width,
                atTheBottom ? box.bottom() + 1 - view_->frameWidth() - height
                            : box.top() + view_->frameWidth(),
                width, height);
    raise();
}

bool FindField::Covers(std::size_t from, std::size_t to) const {
    const auto [last, end] = view_->ClusterAt(to > from ? to - 1 : from);
    const QRect match = view_->CharacterRect(from).united(view_->CharacterRect(last));
    return !match.isEmpty() &&
           QRect(view_->mapTo(parentWidget(), match.topLeft()), match.size()).intersects(geometry());
}

// A match beneath the field is scrolled down from under it; at the top of the text, where nothing can scroll,
// the field moves to the box's bottom corner instead.
void FindField::Uncover(std::size_t from, std::size_t to) {
    PlaceOverTheView(false);
    if (!Covers(from, to)) {
        return;
    }
    const int viewportTop = view_->geometry().top() + view_->viewport()->y();
    view_->RevealBelow(from, geometry().bottom() + 1 - viewportTop);
    if (Covers(from, to)) {
        PlaceOverTheView(true);
    }
}

void FindField::Open() {
    if (!IsOpen()) {
        QWidget* focus = QApplication::focusWidget();
        focusBefore_ = focus != nullptr && !isAncestorOf(focus) ? focus : nullptr;
        const auto [from, to] = view_->Selection();
        origin_ = from != to ? from : view_->Caret();
        PlaceOverTheView(false);
        show();
    }
    pattern_->setFocus(Qt::ShortcutFocusReason);
    pattern_->selectAll();
    view_->viewport()->update();
}

void FindField::Close(bool giveFocusBack) {
    if (!IsOpen()) {
        return;
    }
    const bool hadFocus = isAncestorOf(QApplication::focusWidget());
    hide();
    if (giveFocusBack && hadFocus && focusBefore_ != nullptr) {
        focusBefore_->setFocus(Qt::OtherFocusReason);
    }
    view_->viewport()->update();
}

void FindField::PatternChanged() {
    search_ = TextSearch(pattern_->text().toStdU16String(), matchCase_->isChecked(), QtClusterBoundary);
    if (search_.Empty()) {
        SetStatus({});
    } else {
        Find(origin_, TextSearch::Direction::Forward);
    }
    view_->viewport()->update();
}

void FindField::FindAgain(TextSearch::Direction direction) {
    if (!IsOpen()) {
        Open(); // so that what comes of it can be seen
    }
    if (search_.Empty()) {
        return;
    }
    const auto [from, to] = view_->Selection();
    const std::size_t caret = view_->Caret();
    Find(direction == TextSearch::Direction::Forward ? (from != to ? to : caret)
                                                     : (from != to ? from : caret),
         direction);
    origin_ = view_->Selection().first; // typing on searches from this match
}

void FindField::Find(std::size_t from, TextSearch::Direction direction) {
    const SearchedOutput text(view_->Store());
    const auto match = search_.Find(text, from, direction);
    if (!match) {
        SetStatus(NoMatches);
        return;
    }
    view_->Select(match->from, match->to);
    Uncover(match->from, match->to);
    SetStatus(!match->wrapped                               ? QString()
              : direction == TextSearch::Direction::Forward ? WrappedToTop
                                                            : WrappedToBottom);
}

void FindField::SetStatus(const QString& status) {
    status_->setText(status);
    // A screen reader reading the field hears how the search went.
    pattern_->setAccessibleDescription(status);
}

std::vector<std::pair<std::size_t, std::size_t>> FindField::MatchesWithin(std::size_t from,
                                                                          std::size_t to) const {
    if (!IsOpen() || search_.Empty()) {
        return {};
    }
    return search_.MatchesWithin(SearchedOutput(view_->Store()), from, to);
}

bool FindField::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QFrame::eventFilter(watched, event);
    }
    const auto* key = static_cast<const QKeyEvent*>(event);
    const bool shift = (key->modifiers() & Qt::ShiftModifier) != 0;
    switch (key->key()) {
    case Qt::Key_Escape:
        Close(true);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F3:
        FindAgain(shift ? TextSearch::Direction::Backward : TextSearch::Direction::Forward);
        return true;
    case Qt::Key_C:
        if (key->modifiers() == Qt::AltModifier) {
            matchCase_->toggle();
            return true;
        }
        // Ctrl+C with nothing selected in the field copies the match.
        if ((key->modifiers() & Qt::ControlModifier) != 0 && watched == pattern_ &&
            !pattern_->hasSelectedText()) {
            view_->Copy();
            return true;
        }
        break;
    default:
        break;
    }
    return QFrame::eventFilter(watched, event);
}
