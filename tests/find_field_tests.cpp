// The Qt window's find field over the output box: opening, stepping through matches, closing.
#include "FindField.h"
#include "QtWindowFixture.h"
#include "RunnerTestSupport.h"

#include <QCheckBox>
#include <QClipboard>

#include <cstddef>
#include <utility>
#include <vector>

// Find: Ctrl+F opens the field over the box's top right corner, nothing else moving; typing selects the first
// match from the caret on (here round the end), Enter and F3 the next (never part of an accented letter),
// Shift+F3 the previous, each saying when it went round; Alt+C matches case; Escape gives the focus back, the
// match selected for Ctrl+C. The field closes when a run starts.
TEST_F(QtWindow, FindsInTheOutputBetweenRuns) {
    Open();
    window->Form().objDOS_ReceiveOutputs(u"alpha Beta\nbeta gamma beta\u0301\n"); // the last one accented
    window->ShowOutputsNow();
    const auto at = static_cast<std::size_t>(Banner.size());
    FindField* find = window->Find();
    QLineEdit* pattern = find->Pattern();
    const auto step = [&](Qt::Key key, Qt::KeyboardModifiers modifiers, std::size_t from,
                          const QString& status) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        EXPECT_EQ(outputs->Selection(), std::make_pair(at + from, at + from + 4)) << key;
        EXPECT_EQ(find->Status(), status) << key;
    };
    QTest::keyClick(outputs, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(find->isVisible());
    EXPECT_EQ(Focus(), QStringLiteral("findPattern"));
    EXPECT_EQ(pattern->accessibleName(), QStringLiteral("Find"));
    EXPECT_TRUE(outputs->geometry().contains(find->geometry()));
    EXPECT_LT(find->geometry().top(), 4);
    EXPECT_GT(find->geometry().right(), outputs->width() - 40);
    EXPECT_EQ(command->geometry(), QRect(0, 376, 609, 27));
    QTest::keyClicks(pattern, QStringLiteral("beta"));
    EXPECT_EQ(find->Status(), QStringLiteral("Wrapped to the top"));
    EXPECT_EQ(find->MatchesWithin(0, outputs->CharacterCount()),
              (std::vector<std::pair<std::size_t, std::size_t>>{{at + 6, at + 10}, {at + 11, at + 15}}));
    step(Qt::Key_Return, {}, 11, {});
    step(Qt::Key_F3, {}, 6, QStringLiteral("Wrapped to the top"));
    step(Qt::Key_F3, Qt::ShiftModifier, 11, QStringLiteral("Wrapped to the bottom"));
    step(Qt::Key_C, Qt::AltModifier, 11, {});
    EXPECT_TRUE(find->findChild<QCheckBox*>()->isChecked());
    step(Qt::Key_Return, Qt::ShiftModifier, 11, QStringLiteral("Wrapped to the bottom"));
    step(Qt::Key_X, {}, 11, QStringLiteral("No matches"));
    step(Qt::Key_Backspace, {}, 11, {});
    Key(Qt::Key_Tab);
    EXPECT_EQ(Focus(), QStringLiteral("findMatchCase"));
    step(Qt::Key_Escape, {}, 11, {});
    EXPECT_FALSE(find->isVisible());
    EXPECT_TRUE(find->MatchesWithin(0, outputs->CharacterCount()).empty()) << "none drawn once closed";
    EXPECT_EQ(Focus(), QStringLiteral("txtOutputs"));
    QTest::keyClick(outputs, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("beta"));

    Key(Qt::Key_Tab);
    QTest::keyClick(command, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(find->isVisible());
    command->setFocus();
    QTest::keyClicks(command, Q(ChildCommand("hi")));
    Key(Qt::Key_Return);
    EXPECT_FALSE(find->isVisible()) << "closed as the run started";

    // A match the field would cover on the top row is scrolled from under it; at the text's top, where
    // nothing scrolls, the field moves to the bottom corner.
    const QString needle = QString(70, u'x') + QStringLiteral(" needle\n");
    for (const QString& text :
         {QString(100, u'\n') + needle + QString(100, u'\n'), needle + QString(100, u'\n')}) {
        window->SetOutputsText(text.toStdU16String());
        QTest::keyClick(outputs, Qt::Key_F, Qt::ControlModifier);
        QTest::keyClicks(pattern, QStringLiteral("needle"));
        const auto [from, to] = outputs->Selection();
        const QRect match = outputs->CharacterRect(from).united(outputs->CharacterRect(to - 1));
        EXPECT_EQ(to - from, 6);
        EXPECT_FALSE(match.translated(outputs->pos()).intersects(find->geometry())) << from;
        find->Close(false);
    }
}
