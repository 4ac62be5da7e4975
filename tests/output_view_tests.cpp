// The output view against Qt's own engine as the oracle: rows, character rectangles, hit tests and cluster
// steps of a multilingual corpus as a reference layout of the same text, font and width gives them; the keys
// as a table; what it draws, grabbed.
#include "OutputView.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QTest>
#include <QTextBoundaryFinder>
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr int Margin = OutputView::Margin;

// A view `rows` rows high in Noto Sans.
std::unique_ptr<OutputView> ViewOf(const QString& text, int rows = 10) {
    auto view = std::make_unique<OutputView>();
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

TEST(OutputView, LaysOutMeasuresAndHitsAsTheEngine) {
    const QString words[] = {
        QStringLiteral("AVAWAY ﬁle Привет мир Γειά σου κόσμε"),
        QStringLiteral("你好世界 こんにちは 한국어 नमस्ते दुनिया สวัสดีชาวโลก"),
        QStringLiteral("مرحبا بالعالم abc 123 שלום עולם"),
        QStringLiteral("😀 👍🏽 👨‍👩‍👧 🇫🇷 e\u0301 a\u0308 name\tsize\talpha\t1"),
        QString(60, u'w')}; // the last wider than the view
    for (const QString& sample : words) {
        SCOPED_TRACE(sample.toStdString());
        const QString text = (sample + u' ').repeated(4);
        const auto view = ViewOf(text);
        QTextLayout reference(text, view->font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        option.setTextDirection(Qt::LeftToRight);
        option.setTabStopDistance(8 * QFontMetricsF(view->font()).averageCharWidth());
        reference.setTextOption(option);
        reference.beginLayout();
        for (QTextLine line = reference.createLine(); line.isValid(); line = reference.createLine())
            line.setLineWidth(view->viewport()->width() - 2 * Margin);
        reference.endLayout();
        ASSERT_GE(reference.lineCount(), 2);
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
                 {QStringLiteral("a😀b"), 1, {{Qt::Key_Right, S}}, 3, 1},
                 {QStringLiteral("!\u0301a"), 0, {{Qt::Key_Right, C}}, 2, 2},
                 {QStringLiteral("a😀b"), 3, {{Qt::Key_Left, S}}, 1, 3},
                 {pieces, 4095, {{Qt::Key_Right, {}}}, 4097, 4097},
                 {lines, 0, {{Qt::Key_PageDown, {}}}, 5 * 17, 5 * 17}};
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const auto view = ViewOf(c.text, 18);
        view->Select(c.start, c.start);
        for (const auto& [key, modifiers] : c.keys)
            QTest::keyClick(view.get(), key, modifiers);
        EXPECT_EQ(view->Caret(), c.caret);
        EXPECT_EQ(view->Selection(), std::minmax({c.caret, c.anchor}));
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
    view->activateWindow();
    view->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    const auto caret = columns(qRgb(255, 255, 255), 22, 23);
    EXPECT_EQ(caret.first.second, caret.second.first) << "the caret, last";
    view->clearFocus();
    EXPECT_LT(columns(qRgb(255, 255, 255), 22, 23).first.second, caret.second.first)
        << "no caret without the focus";
}

// A drag held below the view keeps scrolling and selecting.
TEST(OutputView, DragHeldBeyondTheEdgeScrolls) {
    const auto view = ViewOf(QStringLiteral("line\n").repeated(200));
    view->Select(0, 0);
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(10, 5));
    QTest::mouseMove(view->viewport(), QPoint(10, view->viewport()->height() + 40));
    EXPECT_TRUE(QTest::qWaitFor([&view] { return view->Selection().second > 5 * 40; }, 5000));
}

} // namespace
