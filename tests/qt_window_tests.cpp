// The real Qt window, under the offscreen platform: its controls, keys, focus rules, message boxes and
// output.
#include "OutputView.h"
#include "RunnerTestSupport.h"
#include "SpillwayWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <vector>

// Readable failure messages.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString Banner = QStringLiteral("Quarn's Command Prompt\nDeveloper: Halvesk\n"
                                      "System Path: /opt/ombrel\\Ombrel.exe\n\n"
                                      "C:\\Documents and Settings\\quarn\nType Help for Command List\n\n\n");

SpillwaySystem FakeSystem() {
    SpillwaySystem system;
    system.UserName = [] { return std::u16string(u"quarn"); };
    system.ApplicationFolder = [] { return std::u16string(u"/opt/ombrel"); };
    return system;
}

QString Q(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

struct SeenMessageBox {
    QString text;
    QString title;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QString commandBoxMeanwhile;
};

class QtWindow : public testing::Test {
protected:
    void Open(SpillwaySystem system = FakeSystem()) {
        window = std::make_unique<SpillwayWindow>(std::move(system), [this] { ++programEnded; });
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        outputs = window->findChild<OutputView*>(QStringLiteral("txtOutputs"));
        command = window->findChild<QLineEdit*>(QStringLiteral("txtCommand"));
        execute = window->findChild<QPushButton*>(QStringLiteral("cmdExecute"));
        exit = window->findChild<QPushButton*>(QStringLiteral("cmdExit"));
        ASSERT_TRUE(outputs && command && execute && exit);
        // Reads and dismisses every message box that comes up while the test waits on one.
        QObject::connect(&answerer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible())
                return;
            seen.push_back(
                {box->text(), box->windowTitle(), box->icon(), box->standardButtons(), command->text()});
            box->button(QMessageBox::Ok)->click();
        });
        answerer.start(5);
    }

    // A key for whatever has the focus, once the window is active again after a message box.
    void Key(Qt::Key key) {
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(QApplication::focusWidget(), key);
    }

    void TypeIntoCommandBox(const QString& text) {
        command->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(command->text(), QString());
        QTest::keyClicks(command, text);
    }

    // A message box as the window shows them: one OK button, titled with the time of day with seconds.
    static void ExpectBox(const SeenMessageBox& box, const QString& text, QMessageBox::Icon icon) {
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.icon, icon);
        EXPECT_EQ(box.buttons, QMessageBox::Ok);
        EXPECT_TRUE(box.title.contains(QRegularExpression(QStringLiteral("\\d+\\D\\d\\d\\D\\d\\d"))))
            << box.title.toStdString();
    }

    bool CaretAtEnd() const { return outputs->Caret() == outputs->CharacterCount(); }
    QString Shown() const { return outputs->property("plainText").toString(); }

    std::unique_ptr<SpillwayWindow> window;
    OutputView* outputs = nullptr;
    QLineEdit* command = nullptr;
    QPushButton* execute = nullptr;
    QPushButton* exit = nullptr;
    int programEnded = 0;
    QTimer answerer;
    std::vector<SeenMessageBox> seen;
};

TEST_F(QtWindow, ControlsCarryTheirNamesPlacesAndLook) {
    Open();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quarn's Command Prompt"));
    EXPECT_EQ(window->size(), QSize(605, 402));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "fixed size";
    EXPECT_FALSE(window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(window->windowIcon().isNull());

    EXPECT_EQ(outputs->geometry(), QRect(0, 0, 605, 377));
    EXPECT_EQ(command->geometry(), QRect(0, 376, 609, 27));
    EXPECT_EQ(execute->geometry(), QRect(736, 344, 125, 25));
    EXPECT_EQ(exit->geometry(), QRect(656, 272, 125, 25));
    const auto* label = window->findChild<QLabel*>(QStringLiteral("lblCommand"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Command:"));
    EXPECT_EQ(label->geometry(), QRect(8, 8, 63, 16));
    EXPECT_EQ(execute->text(), QStringLiteral("Execute"));
    EXPECT_EQ(exit->text(), QStringLiteral("Exit"));

    for (const QWidget* control :
         std::initializer_list<const QWidget*>{outputs, command, execute, exit, label}) {
        EXPECT_EQ(control->font().family(), QStringLiteral("Tahoma"));
        EXPECT_DOUBLE_EQ(control->font().pointSizeF(), 9.75);
        if (QFile::exists(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"))) {
            EXPECT_EQ(QFontInfo(control->font()).family(), QStringLiteral("Tahoma")) << "the face is loaded";
        }
    }

    EXPECT_EQ(outputs->palette().color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(outputs->palette().color(QPalette::Text), QColor(Qt::white));
    EXPECT_EQ(outputs->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(outputs->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    EXPECT_EQ(Shown(), Banner);
    EXPECT_TRUE(CaretAtEnd());
    EXPECT_EQ(command->text(), QStringLiteral("(Enter Keyword Here)"));
    EXPECT_TRUE(command->placeholderText().isEmpty()) << "the placeholder is real text";
}

// Tab follows the control order and the command box's text follows its focus; Escape does nothing; Space on
// the focused Exit button releases the runner and ends the program, after which no event of the window runs.
TEST_F(QtWindow, FocusTabEscapeAndExit) {
    Open();
    EXPECT_EQ(QApplication::focusWidget(), outputs);
    Key(Qt::Key_Escape);

    Key(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), command);
    EXPECT_EQ(command->text(), QString()) << "the placeholder gives way";
    QTest::keyClicks(command, QStringLiteral("typed"));
    Key(Qt::Key_Escape);
    EXPECT_EQ(command->text(), QStringLiteral("typed"));

    Key(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), execute);
    EXPECT_EQ(command->text(), QStringLiteral("(Enter Keyword Here)")) << "typed text is lost";
    Key(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), exit);
    Key(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), outputs);
    Key(Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), exit);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Shown(), Banner);
    EXPECT_TRUE(seen.empty());

    EXPECT_EQ(programEnded, 0);
    Key(Qt::Key_Space);
    EXPECT_EQ(programEnded, 1);
    EXPECT_EQ(window->Form().objDOS(), nullptr);
    Key(Qt::Key_Space);
    EXPECT_EQ(programEnded, 1) << "no further event of the window runs";
}

// Enter in the command box runs the typed line. Enter in the output box, or Space or Enter on the focused
// Execute button, runs the box's text as it is: the placeholder, or nothing after a run has emptied the box.
TEST_F(QtWindow, EnterRunsTheCommandBoxsText) {
    Open();
    Key(Qt::Key_Return); // in the output box
    Key(Qt::Key_Tab);
    QTest::keyClicks(command, Q(ChildCommand("args hello world")));
    Key(Qt::Key_Return);
    EXPECT_EQ(Shown(), Banner + QStringLiteral("[hello]\n[world]\n"));
    EXPECT_TRUE(CaretAtEnd());
    EXPECT_EQ(command->text(), QString());
    EXPECT_EQ(QApplication::focusWidget(), command);
    QTest::keyClicks(command, Q(ChildCommand("args again")));
    Key(Qt::Key_Enter); // the keypad's Enter too
    EXPECT_EQ(Shown(), Banner + QStringLiteral("[hello]\n[world]\n[again]\n"));
    Key(Qt::Key_Up);
    EXPECT_EQ(command->text(), Q(ChildCommand("args again"))) << "Up recalls the line";
    Key(Qt::Key_Down);
    EXPECT_EQ(command->text(), QString());

    Key(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), execute);
    Key(Qt::Key_Space);
    Key(Qt::Key_Return);
    ASSERT_EQ(seen.size(), 3u);
    ExpectBox(seen[0], QStringLiteral("Invalid Command pattern!"), QMessageBox::Critical);
    ExpectBox(seen[1], QStringLiteral("Invalid Command pattern!"), QMessageBox::Critical);
    ExpectBox(seen[2], QStringLiteral("Command Line empty"), QMessageBox::Critical);
    EXPECT_EQ(command->text(), QString()) << "emptied after the failed start";
    EXPECT_EQ(Shown(), Banner + QStringLiteral("[hello]\n[world]\n[again]\n"));
}

// The runner could not be created: Enter shows the warning, and neither the message box nor a switch to
// another window touches the command box.
TEST_F(QtWindow, WarningLeavesTheCommandBoxAsItWas) {
    SpillwaySystem system = FakeSystem();
    system.CreateRunner = [](Spillways::ShowStopMessage) { return std::unique_ptr<Spillways>(); };
    Open(std::move(system));
    TypeIntoCommandBox(QStringLiteral("keep me"));
    Key(Qt::Key_Return);

    ASSERT_EQ(seen.size(), 1u);
    ExpectBox(seen[0], QStringLiteral("Object variable or With block variable not set - Ombrel - 91"),
              QMessageBox::Warning);
    EXPECT_EQ(seen[0].commandBoxMeanwhile, QStringLiteral("keep me"));
    EXPECT_EQ(command->text(), QStringLiteral("keep me"));
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(QApplication::focusWidget(), command);

    // The command box's own context menu coming and going.
    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                command->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(command, &menuEvent);
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    QTest::qWait(20);
    EXPECT_EQ(command->text(), QStringLiteral("keep me"));
    menu->close();
    window->activateWindow();
    EXPECT_EQ(window->focusWidget(), command);
    EXPECT_EQ(command->text(), QStringLiteral("keep me"));

    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(QApplication::focusWidget(), command);
    EXPECT_EQ(command->text(), QStringLiteral("keep me"));
}

// One walk of the output box: a console's carriage returns, wrapping at words (a word wider than the box
// breaks at its edge, for itself alone), selecting and copying by mouse, keys and menu, what a screen reader
// reads, and the caret and view at the end after each batch.
TEST_F(QtWindow, OutputShowsAsAConsoleAndSelectsAsATextBox) {
    Open();
    frmSpillway& form = window->Form();
    for (const char16_t* chunk : {u"one\r", u"\ntwo\n", u"50%\r", u"100%\r", u"\n", u"abcdef\rXY\nw"})
        form.objDOS_ReceiveOutputs(chunk);
    window->ShowOutputsNow();
    EXPECT_EQ(Shown(), Banner + QStringLiteral("one\ntwo\n100%\nXYcdef\nw"));
    EXPECT_TRUE(CaretAtEnd());

    QString words;
    for (int i = 0; i < 100; ++i)
        words += QStringLiteral("word%1 ").arg(i);
    const QString longWord(300, u'x');
    const QString wrapped = words + longWord + u' ' + words + u'\n';
    form.objDOS_ReceiveOutputs(wrapped.toStdU16String());
    window->ShowOutputsNow();
    const std::size_t start = outputs->CharacterCount() - wrapped.size();
    int rows = 1;
    for (std::size_t i = start + 1; i + 1 < outputs->CharacterCount(); ++i) {
        const QRect here = outputs->CharacterRect(i);
        ASSERT_FALSE(here.isEmpty()) << "in view at the end";
        EXPECT_LE(here.right(), outputs->viewport()->geometry().right());
        if (here.y() == outputs->CharacterRect(i - 1).y())
            continue;
        ++rows;
        const std::size_t at = i - start;
        const bool inLongWord = at > words.size() && at < words.size() + longWord.size();
        EXPECT_TRUE(inLongWord || wrapped[at - 1] == u' ') << "row starting at " << at;
    }
    EXPECT_GE(rows, 6);

    // A double click takes a word, Shift+click extends to a character, Shift+Right one more; a triple click
    // the line. Ctrl+C copies, and so does the menu's Copy.
    const auto click = [this](std::size_t at, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(outputs->viewport(), Qt::LeftButton, modifiers,
                          outputs->CharacterRect(at).topLeft() + QPoint(1, 2) - outputs->viewport()->pos());
    };
    const std::size_t word7 = start + words.indexOf(QStringLiteral("word7"));
    QTest::mouseDClick(outputs->viewport(), Qt::LeftButton, {},
                       outputs->CharacterRect(word7 + 2).center() - outputs->viewport()->pos());
    QTest::keyClick(outputs, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("word7"));
    click(word7 + 11, Qt::ShiftModifier);
    QTest::keyClick(outputs, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(outputs, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("word7 word8 "));
    QTest::mouseDClick(outputs->viewport(), Qt::LeftButton, {},
                       outputs->CharacterRect(word7).center() - outputs->viewport()->pos());
    click(word7);
    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                outputs->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(outputs->viewport(), &menuEvent);
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_TRUE(menu && menu->actions().size() == 3);
    EXPECT_EQ(menu->actions()[2]->text(), QStringLiteral("Select All"));
    menu->actions()[0]->trigger();
    menu->close();
    window->activateWindow();
    EXPECT_EQ(QApplication::clipboard()->text(), u'w' + wrapped.chopped(1));

    // Keys: Ctrl+Home, then Shift with End, Down and Page Down; Ctrl+A.
    QTest::keyClick(outputs, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(outputs, Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(outputs, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(outputs, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              QStringLiteral("Quarn's Command Prompt\nDeveloper: Halvesk"));
    EXPECT_EQ(outputs->verticalScrollBar()->value(), 0);
    QTest::keyClick(outputs, Qt::Key_PageDown, Qt::ShiftModifier);
    EXPECT_GT(outputs->verticalScrollBar()->value(), 0);
    QTest::keyClick(outputs, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(outputs, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), Shown());

    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(outputs);
    ASSERT_TRUE(accessible && accessible->textInterface());
    QAccessibleTextInterface* text = accessible->textInterface();
    EXPECT_EQ(text->characterCount(), Shown().size());
    EXPECT_EQ(text->text(8, 15), QStringLiteral("Command"));
    int from = 0;
    int to = 0;
    text->selection(0, &from, &to);
    EXPECT_EQ(std::pair(from, to), std::pair(0, static_cast<int>(Shown().size())));
    EXPECT_EQ(text->textAtOffset(30, QAccessible::LineBoundary, &from, &to),
              QStringLiteral("Developer: Halvesk\n"));

    // A long run: everything arrives in order; the caret and the view are at the end.
    TypeIntoCommandBox(Q(ChildCommand("write 300000")));
    Key(Qt::Key_Return);
    const QString line = QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_\n");
    QString expected = Banner + QStringLiteral("one\ntwo\n100%\nXYcdef\nw") + wrapped;
    for (int written = 0; written < 300000; written += 64)
        expected += line.left(300000 - written);
    EXPECT_EQ(Shown(), expected);
    EXPECT_TRUE(CaretAtEnd());
    EXPECT_EQ(text->cursorPosition(), expected.size());
    EXPECT_EQ(outputs->verticalScrollBar()->value(), outputs->verticalScrollBar()->maximum());
    EXPECT_FALSE(outputs->CharacterRect(expected.size() - 1).isEmpty());
}

// Whether any process of the group is still running (one that has exited but not been collected does not
// count), once it has had a moment to end.
bool GroupLeftRunning(int group) {
    return !QTest::qWaitFor(
        [group] {
            for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
                std::ifstream stat(entry.path() / "stat");
                std::string line;
                std::getline(stat, line);
                char state = 0;
                int parent = 0;
                int processGroup = 0;
                const auto close = line.rfind(')'); // the command's name may hold anything
                if (close != std::string::npos &&
                    std::sscanf(line.c_str() + close + 1, " %c %d %d", &state, &parent, &processGroup) == 3 &&
                    processGroup == group && state != 'Z')
                    return false;
            }
            return true;
        },
        2000);
}

// During a run the window paints what it is asked to paint, drops keys, and stops the command on Ctrl+C:
// the interrupt reaches the whole group (the shell's trap reports it), and what ignores it (the background
// sleep) is killed 3 s later. The output stays; the run ends as any run. Closing the window during a run
// hangs the command up and ends the program once the run has unwound. Timers run only while the window
// handles its events, so each step below happens inside a run.
TEST_F(QtWindow, DuringARunPaintsDropsKeysAndStopsOnCtrlCOrClosing) {
    Open();
    bool paintedDuringRun = false;
    bool asked = false;
    struct PaintWatcher : QObject {
        std::function<void()> onPaint;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                onPaint();
            return false;
        }
    } watcher;
    watcher.onPaint = [&] { paintedDuringRun = paintedDuringRun || (asked && window->Form().Running()); };
    outputs->viewport()->installEventFilter(&watcher);
    const auto pid = [this] {
        return Shown().mid(Banner.size()).section(u'\n', 0, 0).toInt();
    };

    QTimer during;
    QObject::connect(&during, &QTimer::timeout, [&] {
        if (!window->Form().Running() || asked || pid() == 0)
            return; // the first line is not shown yet
        asked = true;
        outputs->viewport()->update();
        QTest::keyClicks(command, QStringLiteral("typed"));
        QTest::keyClick(command, Qt::Key_Return);
        QTest::keyClick(command, Qt::Key_C, Qt::ControlModifier);
    });
    during.start(5);
    TypeIntoCommandBox(
        QStringLiteral("sh -c 'echo $$; trap \"echo interrupted\" INT; sleep 6 & wait; wait'"));
    Key(Qt::Key_Return);
    EXPECT_TRUE(paintedDuringRun);
    EXPECT_EQ(Shown(), Banner + QString::number(pid()) + QStringLiteral("\ninterrupted\n"));
    EXPECT_FALSE(GroupLeftRunning(pid()));
    QTest::qWait(20);
    EXPECT_EQ(command->text(), QString());
    EXPECT_TRUE(seen.empty()) << "no second run";

    QObject::disconnect(&during, nullptr, nullptr, nullptr);
    QObject::connect(&during, &QTimer::timeout, [&] {
        if (window->Form().Running() && Shown().endsWith(QStringLiteral("closing\n")))
            window->close();
    });
    QTest::keyClicks(command, QStringLiteral("sh -c 'echo $$; echo closing; sleep 6; echo never'"));
    Key(Qt::Key_Return);
    const int closed = Shown().section(u'\n', -3, -3).toInt();
    EXPECT_EQ(programEnded, 1);
    EXPECT_EQ(window->Form().objDOS(), nullptr);
    EXPECT_FALSE(GroupLeftRunning(closed));
}

TEST(TimeTitle, KeepsTheSecondsAndDropsTheTimeZone) {
    for (const char* name : {"C", "en_US", "de_DE", "fr_FR", "ja_JP", "ar_EG"}) {
        const QString format = TimeFormatWithSeconds(QLocale(QString::fromLatin1(name)));
        EXPECT_TRUE(format.contains(QLatin1Char('s'))) << name << ": " << format.toStdString();
        EXPECT_FALSE(format.contains(QLatin1Char('t'))) << name << ": " << format.toStdString();
        EXPECT_EQ(format, format.trimmed()) << name;
    }
    EXPECT_EQ(TimeFormatWithSeconds(QLocale(QStringLiteral("en_US"))), QStringLiteral("h:mm:ss AP"));
    EXPECT_EQ(TimeFormatWithSeconds(QLocale(QStringLiteral("de_DE"))), QStringLiteral("HH:mm:ss"));
}

} // namespace

int main(int argc, char** argv) {
    // The window needs no display; ctest sets this too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
