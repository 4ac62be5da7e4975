// The output view against Qt's own engine as the oracle: rows, character rectangles, hit tests and cluster
// steps of a multilingual corpus as a reference layout of the same text, font and width gives them; the keys
// as a table; what it draws, grabbed.
#include "FindField.h"
#include "LayoutCache.h"
#include "OutputText.h"
#include "OutputView.h"
#include "StyleFormats.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRawFont>
#include <QScrollBar>
#include <QTest>
#include <QTextBoundaryFinder>
#include <QTextCharFormat>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int Margin = OutputView::Margin;

// A view `rows` rows high in Noto Sans, with time enough to lay out every row in full unless told otherwise.
std::unique_ptr<OutputView> ViewOf(const QString& text, int rows = 10,
                                   std::chrono::milliseconds layoutBudget = std::chrono::hours(1)) {
    auto view = std::make_unique<OutputView>();
    view->SetLayoutBudget(layoutBudget);
    const QFont font(QStringLiteral("Noto Sans"), 8);
    view->setFont(font);
    view->resize(300, rows * static_cast<int>(std::ceil(QFontMetricsF(font).lineSpacing())) +
                          2 * view->frameWidth());
    view->setStyleSheet(
        QStringLiteral("* { background: black; color: white; selection-background-color: blue }"));
    view->show();
    view->SetText(text.toStdU16String());
    view->Show(false);
    return view;
}

// The text laid out as the view's own engine lays it out: the oracle.
std::unique_ptr<QTextLayout> ReferenceOf(const QString& text, const OutputView& view) {
    auto reference = std::make_unique<QTextLayout>(text, view.font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTextDirection(Qt::LeftToRight);
    option.setTabStopDistance(8 * QFontMetricsF(view.font()).averageCharWidth());
    reference->setTextOption(option);
    reference->beginLayout();
    for (QTextLine line = reference->createLine(); line.isValid(); line = reference->createLine())
        line.setLineWidth(view.viewport()->width() - 2 * Margin);
    reference->endLayout();
    return reference;
}

TEST(OutputView, LaysOutMeasuresAndHitsAsTheEngine) {
    const QString words[] = {
        QStringLiteral("AVAWAY ﬁle Привет мир Γειά σου κόσμε"),
        QStringLiteral("你好世界 こんにちは 한국어 नमस्ते दुनिया สวัสดีชาวโลก"),
        QStringLiteral("مرحبا بالعالم abc 123 שלום עולם"),
        QStringLiteral("😀 👍🏽 👨‍👩‍👧 🇫🇷 e\u0301 a\u0308 name\tsize\talpha\t1"),
        QStringLiteral("a\u0378b \uE000\uE001 c\U000F0000 \u0378\u0378 de"), // characters no font has
        // Characters one family alone draws: at a piece's edges, beside replacement characters and other
        // such families, with marks, right to left, after a character of the planes above
        QStringLiteral("ⰀⰁⰂ\uFFFDⲀⲂⲄ ᱚᱛᱜ,ᨀᨁᨂ\u0378ܐ\u0741ܒ ꚠꚡ\U0001F600ꚢ Ⰰ ܓ\u0308ܕ"),
        QString(60, u'w')}; // the last wider than the view
    for (const QString& sample : words) {
        SCOPED_TRACE(sample.toStdString());
        const QString text = (sample + u' ').repeated(4);
        const auto view = ViewOf(text);
        const auto referenceLayout = ReferenceOf(text, *view);
        const QTextLayout& reference = *referenceLayout;
        ASSERT_GE(reference.lineCount(), 2);
        // Laid out first as drafts, with no time for layouts at all, then refined: the same places.
        const auto drafted = ViewOf(text, 10, std::chrono::milliseconds(0));
        ASSERT_TRUE(drafted->HasDrafts());
        ASSERT_TRUE(QTest::qWaitFor([&drafted] { return !drafted->HasDrafts(); }));
        // Not while text keeps coming after the showing that left them (a flood), but once it stops.
        const auto flooded = ViewOf(text + u'\n', 10, std::chrono::milliseconds(0));
        flooded->AppendText(u"x");
        ASSERT_FALSE(QTest::qWaitFor([&flooded] { return !flooded->HasDrafts(); }, 200));
        flooded->Show(false);
        ASSERT_TRUE(QTest::qWaitFor([&flooded] { return !flooded->HasDrafts(); }));
        for (std::size_t at = 0; at <= static_cast<std::size_t>(text.size()); ++at)
            ASSERT_EQ(drafted->CharacterRect(at), view->CharacterRect(at)) << at;
        const int height = static_cast<int>(std::ceil(QFontMetricsF(view->font()).lineSpacing()));
        const QPoint origin = view->viewport()->pos() + QPoint(Margin, 0);

        for (int row = 0; row < reference.lineCount(); ++row)
            for (int x = -Margin; x < view->viewport()->width(); x += 3)
                ASSERT_EQ(view->PositionAt(origin + QPoint(x, row * height + height / 2)),
                          reference.lineAt(row).xToCursor(x));
        // Shift+Right a cluster at a time: what it copies holds whole clusters only.
        QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text);
        QAccessibleTextInterface* accessible =
            QAccessible::queryAccessibleInterface(view.get())->textInterface();
        view->Select(0, 0);
        for (int start = 0, end = 0; (end = static_cast<int>(clusters.toNextBoundary())) > 0; start = end) {
            QTest::keyClick(view.get(), Qt::Key_Right, Qt::ShiftModifier);
            ASSERT_EQ(view->Caret(), end);
            view->Copy();
            ASSERT_EQ(QApplication::clipboard()->text(), text.left(end));
            int from = 0, to = 0; // and a screen reader reads it whole
            ASSERT_EQ(accessible->textAtOffset(end - 1, QAccessible::CharBoundary, &from, &to),
                      text.mid(start, end - start));
            const QTextLine line = reference.lineForTextPosition(start);
            const auto [left, right] = std::minmax(
                {line.cursorToX(start, QTextLine::Leading), line.cursorToX(start, QTextLine::Trailing)});
            const QRect expected =
                QRectF(left, line.lineNumber() * height, std::max(1.0, right - left), height)
                    .toAlignedRect()
                    .translated(origin);
            if (right - left > 0.5) { // else a run's edge, where the engine gives a caret's place (see below)
                ASSERT_EQ(std::pair(view->CharacterRect(start), view->CharacterRect(end - 1)),
                          std::pair(expected, expected));
            }
        }
    }
}

TEST(OutputView, KeysMoveByClusterWordRowAndPage) {
    const QString words = QStringLiteral("abc def\nghi\n\njkl");
    const QString lines = QStringLiteral("line\n").repeated(100); // Page Down: 18 rows shown, one kept
    const QString pieces = QStringLiteral("😀a").repeated(3000);   // laid out in pieces
    const QString wrapped = QStringLiteral("word ").repeated(40);
    const auto wrappedLayout = ReferenceOf(wrapped, *ViewOf(wrapped, 18));
    const auto rowFrom = static_cast<std::size_t>(wrappedLayout->lineAt(1).textStart()); // the second row
    const std::size_t rowTo = rowFrom + static_cast<std::size_t>(wrappedLayout->lineAt(1).textLength());
    const auto C = Qt::ControlModifier;
    const auto S = Qt::ShiftModifier;
    const struct {
        QString text;
        std::size_t start;
        std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys;
        std::size_t caret, anchor;
    } cases[] = {{words, 0, {7, {Qt::Key_Right, C}}, 13, 13},
                 {words, 16, {7, {Qt::Key_Left, C}}, 3, 3},
                 {words, 1, {{Qt::Key_Down, {}}, {Qt::Key_End, S}}, 11, 9},
                 {words, 13, {{Qt::Key_Up, {}}, {Qt::Key_Left, S}}, 11, 12},
                 {words, 9, {{Qt::Key_Home, {}}, {Qt::Key_End, C | S}}, 16, 8},
                 {words, 1, {{Qt::Key_Up, {}}}, 0, 0},
                 {words, 14, {{Qt::Key_Down, S}}, 16, 14},
                 {words, 7, {{Qt::Key_Right, {}}}, 8, 8},
                 {wrapped, rowFrom + 2, {{Qt::Key_Home, {}}}, rowFrom, rowFrom},
                 {wrapped, rowFrom + 2, {{Qt::Key_End, S}}, rowTo - 1, rowFrom + 2},
                 {QStringLiteral("a😀b"), 1, {{Qt::Key_Right, S}}, 3, 1},
                 {QStringLiteral("!\u0301a"), 0, {{Qt::Key_Right, C}}, 2, 2},
                 {QStringLiteral("a😀b"), 3, {{Qt::Key_Left, S}}, 1, 3},
                 {pieces, 4095, {{Qt::Key_Right, {}}}, 4097, 4097},
                 {pieces, 4095, {{Qt::Key_Left, {}}}, 4094, 4094},
                 {lines, 0, {{Qt::Key_PageDown, {}}}, 5 * 17, 5 * 17},
                 {lines, 5 * 40, {{Qt::Key_PageUp, {}}}, 5 * 23, 5 * 23},
                 {lines, 0, {18, {Qt::Key_Down, {}}}, 5 * 18, 5 * 18}};
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const auto view = ViewOf(c.text, 18);
        view->Select(c.start, c.start);
        for (const auto& [key, modifiers] : c.keys)
            QTest::keyClick(view.get(), key, modifiers);
        EXPECT_EQ(view->Caret(), c.caret);
        EXPECT_EQ(view->Selection(), std::minmax({c.caret, c.anchor}));
        EXPECT_TRUE(view->viewport()->geometry().contains(view->CharacterRect(view->Caret())));
    }
}

// The selection's highlight covers exactly its logical range (in right-to-left text too); the caret shows
// only with the focus; find matches show behind the text; nothing is drawn past the text.
TEST(OutputView, DrawsWhatItMeasures) {
    const auto view = ViewOf(QStringLiteral("\nabc مرحبا بالعالم def"), 3); // on the second row
    view->extraHighlights = [](std::size_t, std::size_t) {
        return std::vector<std::pair<std::size_t, std::size_t>>{{19, 21}};
    };
    // The first and last column that show the colour, and those of the characters' rectangles.
    const auto columns = [&view](QRgb colour, std::size_t from, std::size_t to) {
        const QImage image = view->viewport()->grab().toImage();
        std::pair<int, int> drawn{-1, -1};
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                drawn = image.pixel(x, y) == colour ? std::pair(drawn.first < 0 ? x : drawn.first, x) : drawn;
        QRect rects;
        for (std::size_t at = from; at < to; ++at)
            rects |= view->CharacterRect(at).translated(-view->viewport()->pos());
        return std::pair(drawn, std::pair(rects.left(), rects.right()));
    };
    view->Select(5, 10);
    const auto selected = columns(qRgb(0, 0, 255), 5, 10);
    EXPECT_EQ(selected.first, selected.second) << "the first Arabic word only";
    const auto found = columns(qRgb(0x80, 0x68, 0), 19, 21);
    EXPECT_EQ(found.first, found.second);
    view->Select(22, 22);
    EXPECT_EQ(columns(qRgb(0, 0, 255), 22, 22).first, std::pair(-1, -1)) << "nothing drawn selected";
    view->activateWindow();
    view->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    const auto caret = columns(qRgb(255, 255, 255), 22, 23);
    EXPECT_EQ(caret.first.second, caret.second.first) << "the caret, last";
    view->clearFocus();
    EXPECT_LT(columns(qRgb(255, 255, 255), 22, 23).first.second, caret.second.first)
        << "no caret without the focus";

    // A row cut by the bottom edge is drawn as far as it shows.
    const int height = view->viewport()->height() / 3;
    view->resize(view->width(), view->height() - height - height / 2);
    view->Select(0, 0);
    const QImage image = view->viewport()->grab().toImage();
    int drawn = 0;
    for (int x = 0; x < image.width(); ++x)
        for (int y = height; y < image.height(); ++y)
            drawn += image.pixel(x, y) != qRgb(0, 0, 0) ? 1 : 0;
    EXPECT_GT(drawn, 0);
}

// A drag after a double click selects whole words and keeps the first one; held beyond an edge, a drag keeps
// scrolling and selecting, up or down.
TEST(OutputView, DragsByWordsAndScrollsBeyondTheEdges) {
    const auto view = ViewOf(QStringLiteral("line\n").repeated(200));
    const auto at = [&view](std::size_t position) {
        const QRect rect = view->CharacterRect(position).translated(-view->viewport()->pos());
        return rect.topLeft() + QPoint(rect.width() / 4, rect.height() / 2);
    };
    const auto drag = [&view](QPoint point) {
        QMouseEvent move(QEvent::MouseMove, point, view->viewport()->mapToGlobal(point), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &move);
    };
    using Span = std::pair<std::size_t, std::size_t>;
    view->Select(0, 0);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at(5 * 5 + 1));
    drag(at(5 * 3 + 2));
    EXPECT_EQ(view->Selection(), Span(15, 29));
    drag(at(5 * 7 + 2));
    EXPECT_EQ(view->Selection(), Span(25, 39));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at(5 * 7 + 2));

    view->Select(5 * 100, 5 * 100);
    for (const int beyond : {-40, view->viewport()->height() + 40}) {
        const std::size_t from = view->Selection().first;
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(10, 5));
        drag(QPoint(10, beyond));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return beyond < 0 ? view->Selection().first + 5 * 30 < from
                                  : view->Selection().second > from + 5 * 40;
            },
            5000));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(10, beyond));
    }
}

// What a screen reader reads at each offset: the cluster, the line with its break, the lines before and
// after, any span widened to whole clusters; each character's rectangle on the screen, and back.
TEST(OutputView, ScreenReadersReadClustersLinesAndRectangles) {
    const QString text = QStringLiteral("abc de\u0301f\n\n😀 gh\nlast");
    const auto view = ViewOf(text);
    view->move(120, 80); // the screen's coordinates are not the view's
    QAccessibleTextInterface* accessible = QAccessible::queryAccessibleInterface(view.get())->textInterface();
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text);
    const auto cluster = [&clusters](int offset, bool end) {
        clusters.setPosition(offset);
        return clusters.isAtBoundary()
                   ? offset
                   : static_cast<int>(end ? clusters.toNextBoundary() : clusters.toPreviousBoundary());
    };
    for (int offset = 0; offset < text.size(); ++offset) {
        SCOPED_TRACE(offset);
        const int lineFrom = offset == 0 ? 0 : static_cast<int>(text.lastIndexOf(u'\n', offset - 1)) + 1;
        const int lineBreak = static_cast<int>(text.indexOf(u'\n', offset));
        const int lineTo = lineBreak < 0 ? static_cast<int>(text.size()) : lineBreak + 1;
        int from = 0, to = 0;
        EXPECT_EQ(accessible->textAtOffset(offset, QAccessible::LineBoundary, &from, &to),
                  text.mid(lineFrom, lineTo - lineFrom));
        EXPECT_EQ(std::pair(from, to), std::pair(lineFrom, lineTo));
        accessible->textBeforeOffset(offset, QAccessible::LineBoundary, &from, &to);
        EXPECT_EQ(to, lineFrom);
        accessible->textAfterOffset(offset, QAccessible::LineBoundary, &from, &to);
        EXPECT_EQ(from, lineTo);
        EXPECT_EQ(accessible->text(offset, offset + 1),
                  text.mid(cluster(offset, false), cluster(offset + 1, true) - cluster(offset, false)));
        const QRect rect = accessible->characterRect(offset);
        EXPECT_TRUE(QRect(view->mapToGlobal(QPoint()), view->size()).contains(rect));
        EXPECT_EQ(accessible->offsetAtPoint(rect.topLeft() + QPoint(rect.width() / 4, rect.height() / 2)),
                  cluster(offset, false));
    }
}

void Wheel(OutputView& view, int notches) {
    const QPoint at(10, 10);
    QWheelEvent wheel(at, view.viewport()->mapToGlobal(at), {}, {0, 120 * notches}, Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel);
}

// Output that rewrites or shortens the line the view is scrolled into during a run: the view keeps to what
// is left and draws it, the end in view once the rest fits.
TEST(OutputView, KeepsToALineThatAnEraseShortened) {
    const QString xs(6000, u'x');
    const struct {
        QString before;
        int notches;
        std::u16string after;
        QString shown;
        bool endShown;
    } cases[] = {
        {xs, 2, u"\r\033[K done", QStringLiteral(" done"), true},
        {xs, 2, u"\r\033[2K", QString(), true},
        {xs, 30, u"\r\033[K", QString(), true},
        {QString(10000, u'x'), 2, u"\033[4000D\033[K", QString(6000, u'x'), true}, // three pieces, then two
        {xs, 2, std::u16string(5000, u'\b') + u"\033[K", QString(1000, u'x'), true},
        {xs, 2, u"\r\033[4000C\033[D\033[K", QString(3999, u'x'), true},
        {QStringLiteral("a b ").repeated(1500), 2, u"\r" + std::u16string(6000, u'y'), QString(6000, u'y'),
         false},
        {xs, 2, u"\r" + std::u16string(3000, u'世') + u"\033[K", QString(3000, u'世'), true},
        {QStringLiteral("line\n").repeated(40) + xs, 1, u"\r\033[Kend\n",
         "line\n"
         "end\n",
         true},
        {xs, 2, u"\r\033[1K", QString(1, u' ') + QString(5999, u'x'), false},
        {QString(6000, u'W'), 2, u"\r" + std::u16string(6000, u'i'), QString(6000, u'i'),
         true}}; // fewer rows
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const auto view = ViewOf(c.before);
        Wheel(*view, c.notches);
        view->Select(3000, 5500);
        view->AppendText(c.after); // within the run: a new one would follow the end again
        view->viewport()->grab();  // paints before the batch is shown, as an uncovered window does
        view->Show(false);
        view->viewport()->grab();
        EXPECT_TRUE(view->toPlainText().endsWith(c.shown));
        const QRect end = view->CharacterRect(view->CharacterCount());
        EXPECT_EQ(!end.isEmpty(), c.endShown);
        const auto [from, to] = view->VisibleSpan();
        EXPECT_TRUE(from <= to && to <= view->CharacterCount());
        EXPECT_TRUE(!c.endShown || from == 0 ||
                    end.bottom() + end.height() > view->viewport()->geometry().bottom())
            << "the view full, the end at its bottom";
    }
}

// At the edges: a wheel notch scrolls the configured lines; a view that is not a whole number of rows high
// shows the last row whole; Page Up keeps the top row in view; a hit test or a drag just beyond the view
// takes the row beyond; Up from below a wrapped line or a piece keeps the caret's x; a screen reader's
// scroll-to-substring shows the substring's start.
TEST(OutputView, ScrollsHitsAndMovesAtTheEdges) {
    const auto view = ViewOf(QStringLiteral("line\n").repeated(100), 10);
    const auto topLine = [&view] { return view->Store().LineOf(view->VisibleSpan().first); };
    const int height = view->viewport()->height() / 10;
    QApplication::setWheelScrollLines(5);
    Wheel(*view, 1);
    EXPECT_EQ(topLine(), 86u);
    view->Select(5 * 86, 5 * 86);
    QTest::keyClick(view.get(), Qt::Key_PageUp);
    EXPECT_EQ(topLine(), 77u);
    EXPECT_EQ(view->Store().LineOf(view->PositionAt(view->viewport()->pos() + QPoint(9, -1))), 76u);
    QMouseEvent move(QEvent::MouseMove, QPoint(9, view->viewport()->height()), QPointF(), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(view->viewport(), &move);
    EXPECT_EQ(topLine(), 80u) << "a drag at the bottom edge scrolls at once, and selects the row beyond";
    QTest::mouseRelease(view->viewport(), Qt::LeftButton);
    QAccessible::queryAccessibleInterface(view.get())->textInterface()->scrollToSubstring(5 * 10, 5 * 60);
    EXPECT_FALSE(view->CharacterRect(5 * 10).isEmpty());
    view->resize(view->width(), view->height() + height / 2);
    QTest::keyClick(view.get(), Qt::Key_End, Qt::ControlModifier);
    const QRect end = view->CharacterRect(view->CharacterCount()).translated(-view->viewport()->pos());
    EXPECT_TRUE(view->viewport()->rect().contains(end));

    // Pieces start at 4095 (after a blank) and 6001 + 4096; a short line follows.
    const auto wrapped = ViewOf(QStringLiteral("abcd ").repeated(1200) + u'\n' + QString(6000, u'x') +
                                QStringLiteral("\nxxxxxxxx"));
    for (const std::size_t at : {4095u, 10097u, 12002u}) {
        wrapped->Select(at + 2, at + 2);
        const QRect before = wrapped->CharacterRect(at + 2);
        QTest::keyClick(wrapped.get(), Qt::Key_Up);
        EXPECT_TRUE(wrapped->Caret() < at && wrapped->Caret() + 100 > at) << at;
        EXPECT_NEAR(wrapped->CharacterRect(wrapped->Caret()).left(), before.left(), 8) << at;
    }
    wrapped->Select(4096, 4096);
    EXPECT_EQ(wrapped->CharacterRect(4096).top(), wrapped->CharacterRect(4095).top())
        << "pieces break between words";
}

// Colours past a long line's first piece and the cube's levels; which links open.
TEST(OutputView, ColoursPastTheFirstPieceAndLinks) {
    const auto view = ViewOf(QString());
    view->AppendText(std::u16string(5000, u'x') + u"\x1b[48;5;196m  \x1b[m");
    view->Show(true);
    const QRect red = view->CharacterRect(5000).translated(-view->viewport()->pos());
    EXPECT_EQ(view->viewport()->grab().toImage().pixel(red.center()), qRgb(255, 0, 0));
    // Emoji and CJK rows, taller in their fonts, stay on the grid: four rows reach as far below the last one
    // as a single row does below itself.
    const auto inkBelowLastRow = [&view](int pairs) {
        view->SetText(QStringLiteral("😀世").repeated(pairs).toStdU16String());
        view->Show(false);
        const QImage image = view->viewport()->grab().toImage();
        int ink = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ink = image.pixel(x, y) != qRgb(0, 0, 0) ? y : ink;
        return ink -
               view->CharacterRect(view->CharacterCount() - 1).translated(-view->viewport()->pos()).bottom();
    };
    EXPECT_EQ(inkBelowLastRow(40), inkBelowLastRow(2));
    EXPECT_EQ(PaletteColour(16 + 36 * 1 + 6 * 3 + 5), QColor(95, 175, 255));
    EXPECT_TRUE(LinkToolTip(QStringLiteral("file:///tmp/a")).endsWith(QStringLiteral("Ctrl+click to open")));
    EXPECT_EQ(LinkToolTip(QStringLiteral("ftp://x/")), QStringLiteral("ftp://x/"));
}

// Characters that one family alone draws are named in its font, to spare the engine its search: they are
// drawn with the same glyphs, faces and advances as the engine's own fallback gives them, two such families
// in one script (marks after a Latin letter) and bold and italic rows among them.
TEST(OutputView, NamesFamiliesAsTheEngineWouldFallBack) {
    const QString text =
        QStringLiteral("ab x\u0746 x\u07AE \uA000\uA001 \u2C00\u2C01 \u1C5A\u1C5B "
                       "\uA6A0\uA6A1 \u0710\u0741\u0712 y\u0746 x\u07AE z \uA000 x\u07AE \u2C00 \u1C5A "
                       "q\u0097r\u0085\u0097 \u009B\u2C00");
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat italic;
    italic.setFontItalic(true);
    const QList<QTextLayout::FormatRange> styled{{25, 5, italic}, {33, 10, bold}};
    const QFont font(QStringLiteral("Noto Sans"), 8);

    OutputText output;
    output.Append(text.toStdU16String());
    LayoutCache cache(output);
    cache.SetFont(font);
    cache.SetWidth(10000);
    cache.formats = [&styled](std::size_t, std::size_t) { return styled; };
    QTextLayout reference(text, font);
    reference.setFormats(styled);
    reference.beginLayout();
    reference.createLine().setLineWidth(10000);
    reference.endLayout();

    // Each glyph with its face and place, in any order.
    const auto drawn = [](const QTextLayout& layout) {
        std::vector<std::string> glyphs;
        for (const QGlyphRun& run : layout.glyphRuns()) {
            const QString face = run.rawFont().familyName() + u' ' + run.rawFont().styleName() + u' ' +
                                 QString::number(run.rawFont().weight());
            const QList<quint32> indexes = run.glyphIndexes();
            const QList<QPointF> places = run.positions();
            for (qsizetype i = 0; i < indexes.size(); ++i)
                glyphs.push_back(QStringLiteral("%1 %2@%3")
                                     .arg(face)
                                     .arg(indexes[i])
                                     .arg(places[i].x(), 0, 'f', 2)
                                     .toStdString());
        }
        std::sort(glyphs.begin(), glyphs.end());
        return glyphs;
    };
    EXPECT_EQ(drawn(*cache.Layout(0, 0)), drawn(reference));
}

// Find from where the selection starts; Ctrl+C in the field with nothing selected there copies the match.
TEST(OutputView, FindsFromTheSelectionAndCopiesFromTheField) {
    const auto view = ViewOf(QStringLiteral("beta beta beta"));
    FindField find(view.get(), view.get());
    view->Select(5, 9);
    find.Open();
    QTest::keyClicks(find.Pattern(), QStringLiteral("beta"));
    EXPECT_EQ(view->Selection(), std::pair(std::size_t{5}, std::size_t{9}));
    QApplication::clipboard()->clear();
    QTest::keyClick(find.Pattern(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("beta"));
}

} // namespace

// The fixed pitch lines columns up, a cell a character and tab stops every 8 cells, at the box's size; the
// keys and Ctrl+wheel zoom by whole points and the rows follow; Ctrl+0 goes back to the size, pitch kept.
TEST(OutputView, FixedPitchAndZoomLayTheRowsOutAgain) {
    const auto view = ViewOf(QStringLiteral("iiii\tx\nWWWW\tx\n"));
    const auto x = [&view](std::size_t at) { return view->CharacterRect(at).left(); };
    QTest::keyClick(view.get(), Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
    const double size = view->font().pointSizeF();
    EXPECT_EQ(view->TextFont().pointSizeF(), size);
    const double cell = QFontMetricsF(view->TextFont()).horizontalAdvance(u' ');
    ASSERT_EQ(QFontMetricsF(view->TextFont()).horizontalAdvance(u'W'), cell);
    for (const std::size_t line : {0, 7}) {
        EXPECT_NEAR(x(line + 4) - x(line), 4 * cell, 1);
        EXPECT_NEAR(x(line + 5) - x(line), 8 * cell, 1);
    }
    const int secondRow = view->CharacterRect(7).top();
    QTest::keyClick(view.get(), Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(view.get(), Qt::Key_Equal, Qt::ControlModifier);
    QTest::keyClick(view.get(), Qt::Key_Minus, Qt::ControlModifier);
    QWheelEvent notch(QPointF(5, 5), view->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &notch);
    EXPECT_EQ(view->TextFont().pointSizeF(), size + 2);
    EXPECT_GT(view->CharacterRect(7).top(), secondRow);
    EXPECT_NEAR(x(12) - x(7), 8 * QFontMetricsF(view->TextFont()).horizontalAdvance(u' '), 1);
    QTest::keyClick(view.get(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(view->TextFont().pointSizeF(), size);
    EXPECT_TRUE(view->FixedPitch());
}
