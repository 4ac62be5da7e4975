// The real Qt window, under the offscreen platform: its controls, keys, focus and message boxes, its output
// view as a console and a text box, screen readers, colours and links, and runs that stay alive, stop on
// Ctrl+C and end on closing.
#include "QtWindowFixture.h"
#include "RunnerTestSupport.h"
#include "StyleFormats.h"

#include <QAccessible>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QScrollBar>
#include <QToolTip>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class LinkCatcher : public QObject {
    Q_OBJECT
public:
    QStringList opened;
public slots:
    void Open(const QUrl& url) { opened.append(url.toString()); }
};

// The focus starts in the output box and Tab follows the control order; the command box's text follows its
// focus. Enter in either box runs the command box's text: the typed line, or the placeholder when the box has
// no focus; Space or Enter on the focused Execute button likewise. Up recalls a line, Escape does nothing.
// A failed start says why beneath its message. Exit is out of the Tab order; activated, it releases the
// runner and ends the program, and no event of the window runs after it.
TEST_F(QtWindow, KeysFocusMessageBoxesAndExit) {
    Open();
    EXPECT_EQ(window->windowIcon().availableSizes().size(), 7) << "the icon at every size it is drawn in";
    EXPECT_EQ(command->geometry(), QRect(0, 376, 609, 27)) << "over the output box's last row";
    EXPECT_EQ(Focus(), QStringLiteral("txtOutputs"));
    Key(Qt::Key_Return);
    Key(Qt::Key_Tab);
    EXPECT_EQ(Focus(), QStringLiteral("txtCommand"));
    EXPECT_EQ(command->text(), QString()) << "the placeholder gives way";
    QTest::keyClicks(command, Q(ChildCommand("hello world")));
    Key(Qt::Key_Return);
    QTest::keyClicks(command, Q(ChildCommand("again")));
    Key(Qt::Key_Enter); // the keypad's Enter too
    Key(Qt::Key_Up);
    Key(Qt::Key_Escape);
    EXPECT_EQ(command->text(), Q(ChildCommand("again")));

    Key(Qt::Key_Tab);
    EXPECT_EQ(Focus(), QStringLiteral("cmdExecute"));
    EXPECT_EQ(command->text(), Placeholder) << "typed text is lost";
    Key(Qt::Key_Space);
    Key(Qt::Key_Return); // the failed start emptied the box
    const Box invalid{QStringLiteral("Invalid Command pattern!"), QMessageBox::Critical};
    EXPECT_EQ(seen, (Boxes{invalid, invalid, {QStringLiteral("Command Line empty"), QMessageBox::Critical}}));
    EXPECT_EQ(informative.first(), QStringLiteral("No program named \"(Enter\" was found on PATH."));
    EXPECT_EQ(Shown(), Banner + QStringLiteral("[hello]\n[world]\n[again]\n"));
    EXPECT_TRUE(CaretAtEnd());

    Key(Qt::Key_Tab);
    EXPECT_EQ(Focus(), QStringLiteral("txtOutputs"));

    // Leaving for another application and coming back, as Qt reports it: from and to no widget. Back to the
    // same control is no move; back to another is one, measured from the control that had the focus.
    const auto away = [this](QWidget* from, QWidget* to) {
        emit qApp->focusChanged(from, nullptr);
        emit qApp->focusChanged(nullptr, to);
    };
    away(outputs, command);
    EXPECT_EQ(command->text(), QString()) << "a click into the box of an inactive window clears it";
    command->setText(QStringLiteral("typed"));
    away(command, command);
    EXPECT_EQ(command->text(), QStringLiteral("typed"));
    away(command, outputs);
    EXPECT_EQ(command->text(), Placeholder);

    auto* exit = window->findChild<QPushButton*>(QStringLiteral("cmdExit"));
    exit->click();
    EXPECT_EQ(programEnded, 1);
    EXPECT_EQ(window->Form().objDOS(), nullptr);
    exit->click();
    EXPECT_EQ(programEnded, 1) << "no further event of the window runs";
}

// The system's own folder in the banner. The runner could not be created: Enter shows the warning, and the
// box coming and going leaves the command box as it was.
TEST_F(QtWindow, WarningLeavesTheCommandBoxAsItWas) {
    SpillwaySystem system = SpillwaySystem::Default();
    system.CreateRunner = [](Spillways::ShowStopMessage) { return std::unique_ptr<Spillways>(); };
    Open(std::move(system));
    EXPECT_TRUE(Shown().contains(
        QStringLiteral("System Path: %1\\Ombrel.exe\n").arg(QCoreApplication::applicationDirPath())));
    Key(Qt::Key_Tab);
    QTest::keyClicks(command, QStringLiteral("keep me"));
    Key(Qt::Key_Return);
    EXPECT_EQ(seen, Boxes({{QStringLiteral("Object variable or With block variable not set - Ombrel - 91"),
                            QMessageBox::Warning}}));
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(Focus(), QStringLiteral("txtCommand"));
    EXPECT_EQ(command->text(), QStringLiteral("keep me"));
}

// One walk of the output box: a carriage return, selecting and copying by mouse, keys and menu, what a screen
// reader reads, and the caret and view at the end after a long run (rows and keys: output_view_tests.cpp).
TEST_F(QtWindow, OutputShowsAsAConsoleAndSelectsAsATextBox) {
    Open();
    QString words;
    for (int i = 0; i < 100; ++i)
        words += QStringLiteral("word%1 ").arg(i);
    const QString longWord(300, u'x');
    const QString wrapped = words + longWord + u' ' + words + u'\n';
    window->Form().objDOS_ReceiveOutputs(u"\x1b[1m50%\x1b[m\r"); // overwritten as a console does
    window->Form().objDOS_ReceiveOutputs(wrapped.toStdU16String());
    window->ShowOutputsNow();
    EXPECT_EQ(Shown(), Banner + wrapped);
    const std::size_t start = outputs->CharacterCount() - wrapped.size();

    // A double click takes a word, Shift+click extends to a character, Shift+Right one more; a triple click
    // the line, which the menu's Copy copies.
    const auto click = [this](std::size_t at, Qt::KeyboardModifiers modifiers = {}, bool twice = false) {
        const QPoint point = outputs->CharacterRect(at).topLeft() + QPoint(1, 2) - outputs->viewport()->pos();
        if (twice)
            QTest::mouseDClick(outputs->viewport(), Qt::LeftButton, modifiers, point);
        else
            QTest::mouseClick(outputs->viewport(), Qt::LeftButton, modifiers, point);
    };
    const auto copied = [this] {
        QTest::keyClick(outputs, Qt::Key_C, Qt::ControlModifier);
        return QApplication::clipboard()->text();
    };
    const std::size_t word7 = start + words.indexOf(QStringLiteral("word7"));
    click(word7 + 2, {}, true);
    EXPECT_EQ(copied(), QStringLiteral("word7"));
    click(word7 + 11, Qt::ShiftModifier);
    QTest::keyClick(outputs, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(copied(), QStringLiteral("word7 word8 "));
    click(word7, {}, true);
    click(word7);
    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                outputs->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(outputs->viewport(), &menuEvent);
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    menu->actions()[0]->trigger();
    menu->close();
    window->activateWindow();
    EXPECT_EQ(QApplication::clipboard()->text(), wrapped.chopped(1));

    // Ctrl+A.
    QTest::keyClick(outputs, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(copied(), Shown());

    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(outputs);
    ASSERT_TRUE(accessible && accessible->textInterface());
    QAccessibleTextInterface* text = accessible->textInterface();
    EXPECT_EQ(text->characterCount(), Shown().size());

    // A long run: everything arrives in order; the caret and the view are at the end.
    command->setFocus();
    QTest::keyClicks(command, Q(ChildCommand("w:300000")));
    Key(Qt::Key_Return);
    const QString line = QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_\n");
    QString expected = Banner + wrapped;
    for (int written = 0; written < 300000; written += 64)
        expected += line.left(300000 - written);
    EXPECT_EQ(Shown(), expected);
    EXPECT_TRUE(CaretAtEnd());
    EXPECT_EQ(text->cursorPosition(), expected.size());
    EXPECT_EQ(outputs->verticalScrollBar()->value(), outputs->verticalScrollBar()->maximum());
}

// What a screen reader is told: a frame named by the caption; the command box named by its hidden label, the
// placeholder its description; the output box named, read-only and multi-line; the unseen buttons offscreen.
// (Qt raises no accessibility event at all without a platform that has a screen reader, as the offscreen one
// has none: the text inserted as output arrives is checked through AT-SPI by hand.)
TEST_F(QtWindow, ScreenReadersHearTheWindowAndNewOutput) {
    Open();
    const auto accessible = [](QObject* object) { return QAccessible::queryAccessibleInterface(object); };
    EXPECT_EQ(accessible(window.get())->role(), QAccessible::Window);
    EXPECT_EQ(accessible(window.get())->text(QAccessible::Name), QStringLiteral("Quarn's Command Prompt"));
    QAccessibleInterface* box = accessible(command);
    EXPECT_EQ(box->text(QAccessible::Name), QStringLiteral("Command"));
    EXPECT_EQ(box->text(QAccessible::Description), Placeholder);
    EXPECT_EQ(box->relations(QAccessible::Label).value(0).first, accessible(window->findChild<QLabel*>()));
    EXPECT_EQ(accessible(outputs)->text(QAccessible::Name), QStringLiteral("Output"));
    EXPECT_TRUE(accessible(outputs)->state().readOnly && accessible(outputs)->state().multiLine);
    for (const char* name : {"cmdExecute", "cmdExit"}) {
        QAccessibleInterface* button = accessible(window->findChild<QPushButton*>(QLatin1String(name)));
        EXPECT_TRUE(button->state().offscreen) << name;
        EXPECT_EQ(button->role(), QAccessible::Button) << name;
    }
    EXPECT_EQ(
        accessible(window->findChild<QPushButton*>(QStringLiteral("cmdExecute")))->text(QAccessible::Name),
        QStringLiteral("Execute"));
}

// Whether any process of the group is still running (one that has exited but not been collected does not
// count), once it has had a moment to end.
bool GroupLeftRunning(int group) {
    return !QTest::qWaitFor(
        [group] {
            for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
                std::string line;
                std::getline(std::ifstream(entry.path() / "stat"), line);
                char state = 0;
                int processGroup = 0;
                const auto close = line.rfind(')'); // the command's name may hold anything
                if (close != std::string::npos &&
                    std::sscanf(line.c_str() + close + 1, " %c %*d %d", &state, &processGroup) == 2 &&
                    processGroup == group && state != 'Z')
                    return false;
            }
            return true;
        },
        2000);
}

// During a run the window handles its events but drops keys and clicks, and stops the command on Ctrl+C:
// the interrupt reaches the whole group (the shell's trap reports it), and what ignores it (the background
// sleep) is killed 3 s later. The output stays; the run ends as any run. Closing the window during a run
// hangs the command up and ends the program at once, without waiting for a command that ignores the hang-up.
// Timers run only while the window handles its events, so each step below happens inside a run.
TEST_F(QtWindow, DuringARunDropsKeysAndStopsOnCtrlCOrClosing) {
    Open();
    bool asked = false;
    const auto pid = [this] { return Shown().mid(Banner.size()).section(u'\n', 0, 0).toInt(); };

    QTimer during;
    QObject::connect(&during, &QTimer::timeout, [&] {
        if (!window->Form().Running() || asked || pid() == 0)
            return; // the first line is not shown yet
        asked = true;
        QTest::keyClicks(command, QStringLiteral("typed"));
        QTest::keyClick(command, Qt::Key_Return);
        // On Exit, too; the click takes the focus, nothing else.
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdExit")), Qt::LeftButton);
        QTest::keyClick(command, Qt::Key_C, Qt::ControlModifier);
    });
    during.start(5);
    Key(Qt::Key_Tab);
    QTest::keyClicks(command,
                     QStringLiteral("sh -c 'echo $$; trap \"echo interrupted\" INT; sleep 6 & wait; wait'"));
    Key(Qt::Key_Return);
    EXPECT_EQ(Shown(), Banner + QString::number(pid()) + QStringLiteral("\ninterrupted\n"));
    EXPECT_FALSE(GroupLeftRunning(pid()));
    QTest::qWait(20);
    EXPECT_EQ(command->text(), QString());
    EXPECT_TRUE(seen.empty()) << "no second run";
    EXPECT_EQ(programEnded, 0);
    command->setFocus();

    QObject::disconnect(&during, nullptr, nullptr, nullptr);
    QObject::connect(&during, &QTimer::timeout, [&] {
        if (window->Form().Running() && Shown().endsWith(QStringLiteral("closing\n")))
            window->close();
    });
    QTest::keyClicks(command, QStringLiteral("sh -c 'trap \"\" HUP; echo $$; echo closing; sleep 8'"));
    Key(Qt::Key_Return);
    EXPECT_EQ(programEnded, 1);
    EXPECT_TRUE(window->isVisible()) << "the close waited for the run to unwind";
    EXPECT_EQ(window->Form().objDOS(), nullptr);
    EXPECT_TRUE(GroupLeftRunning(Shown().section(u'\n', -3, -3).toInt())) << "the run did not wait for it";
}

// During a run the output box can be read: the wheel and Page Up move the view, which stays there while the
// output grows and follows again after Ctrl+End or the scroll bar taken to the end; a word double-clicked
// while following is kept as output arrives, and Ctrl+Insert copies it.
// Every other key is dropped: nothing starts a second run.
TEST_F(QtWindow, ReadsTheOutputDuringARun) {
    Open();
    QScrollBar* bar = outputs->verticalScrollBar();
    int step = 0;
    int held = -1;
    QTimer during;
    QObject::connect(&during, &QTimer::timeout, [&] {
        if (!window->Form().Running() || Shown().count(u'\n') < 100 + 50 * step)
            return;
        if (step == 0) { // a word of the last line, while the view follows
            window->ShowOutputsNow();
            const QPoint word = outputs->CharacterRect(outputs->CharacterCount() - 3).center();
            QTest::mouseDClick(outputs->viewport(), Qt::LeftButton, {}, word - outputs->viewport()->pos());
            for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Down, Qt::Key_F3, Qt::Key_Tab})
                QTest::keyClick(outputs, key); // dropped
        } else if (step == 1) {
            QTest::keyClick(outputs, Qt::Key_Insert, Qt::ControlModifier);
            QWheelEvent up(QPointF(5, 5), outputs->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, 120),
                           Qt::NoButton, {}, Qt::NoScrollPhase, false);
            QApplication::sendEvent(outputs->viewport(), &up);
            EXPECT_LT(bar->value(), bar->maximum());
            QTest::keyClick(outputs, Qt::Key_PageUp);
            held = bar->value();
            EXPECT_LT(held, bar->maximum() - 20);
        } else if (step == 2) {
            EXPECT_EQ(bar->value(), held) << "where it was put while output grew";
            EXPECT_LT(outputs->Caret(), outputs->CharacterCount() - 100) << "the caret with it";
            QTest::keyClick(outputs, Qt::Key_End, Qt::ControlModifier);
        } else if (step == 3 || step == 4) {
            EXPECT_EQ(bar->value(), bar->maximum()) << "following again";
            if (step == 4)
                QTest::keyClick(outputs, Qt::Key_C, Qt::ControlModifier);
            QTest::keyClick(outputs, Qt::Key_PageUp);
            bar->setValue(bar->maximum()); // the scroll bar taken back to the end
        }
        ++step;
    });
    during.start(5);
    Key(Qt::Key_Tab);
    QTest::keyClicks(command, QStringLiteral("sh -c 'while :; do echo word; sleep 0.002; done'"));
    Key(Qt::Key_Return);
    EXPECT_EQ(step, 5);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("word"));
    EXPECT_TRUE(seen.empty()) << "no second run";
}

// What the box draws (grabbed): 16-colour, 256-colour, direct colour, inverse, faint and concealed text, the
// selection over them, an erase in the line, the next run's defaults; Ctrl+click and tooltips on links.
TEST_F(QtWindow, DrawsColoursAndOpensLinks) {
    Open();
    command->setFocus();
    QTest::keyClicks(
        command,
        QStringLiteral(
            R"(printf '\033[31m\342\226\210\033[38;5;244m\342\226\210)"
            R"(\033[38:2::1:2:250m\342\226\210\033[0;7m \033[0;2;31m\342\226\210)"
            R"(\033[22;8;48;5;196m\342\226\210\033[0;1mbold\033[m\033]8;;https://x.org/\033\\link)"
            R"(\033]8;;\033\\ \033]8;;mailto:a@x.org\033\\mail\033]8;;\033\\\n\033[41m   \r\033[K ')"));
    Key(Qt::Key_Return);
    QTest::keyClicks(command, QStringLiteral("printf ' '"));
    Key(Qt::Key_Return);
    const std::size_t start = Banner.size();
    ASSERT_EQ(Shown(), Banner + QStringLiteral("███ ██boldlink mail\n  "));
    const auto centre = [this](std::size_t position) {
        return outputs->CharacterRect(position).center() - outputs->viewport()->pos();
    };
    const auto colourAt = [&](std::size_t at) {
        return QColor(outputs->viewport()->grab().toImage().pixel(centre(at)));
    };
    const std::pair<std::size_t, QColor> drawn[] = {
        {0, PaletteColour(1)},    {1, QColor(128, 128, 128)}, {2, QColor(1, 2, 250)}, {3, Qt::white},
        {4, QColor(112, 34, 31)}, {5, QColor(255, 0, 0)},     {20, PaletteColour(1)}, {21, Qt::black}};
    for (const auto& [position, colour] : drawn) // the erased blanks gone, the next run's defaults
        EXPECT_EQ(colourAt(start + position), colour) << position;
    outputs->Select(start, start + 4); // in the selection's colours, whatever the text's
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(colourAt(start + i),
                  outputs->palette().color(QPalette::Inactive,
                                           i < 3 ? QPalette::HighlightedText : QPalette::Highlight));

    LinkCatcher catcher;
    for (const char* scheme : {"https", "mailto"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &catcher, "Open");
    for (const std::size_t link : {start + 11, start + 16})
        QTest::mouseClick(outputs->viewport(), Qt::LeftButton, Qt::ControlModifier, centre(link));
    EXPECT_EQ(catcher.opened, QStringList(QStringLiteral("https://x.org/")));
    EXPECT_EQ(outputs->Selection(), std::pair(start, start + 4));
    for (const auto& [position, tip] :
         {std::pair(start + 9, QString()),
          std::pair(start + 13, LinkToolTip(QStringLiteral("https://x.org/")))}) {
        const QPoint at =
            outputs->CharacterRect(position).topRight() - outputs->viewport()->pos() - QPoint(1, 0);
        QHelpEvent help(QEvent::ToolTip, at, at);
        QApplication::sendEvent(outputs->viewport(), &help);
        EXPECT_EQ(QToolTip::isVisible() ? QToolTip::text() : QString(), tip) << position - start;
    }
    outputs->SelectAll(); // and an erase that shortens the text keeps the selection within it (straight to
    outputs->AppendText(u"\r\x1b[K"); // the box: the window's batch would move the caret to the end when due)
    EXPECT_EQ(outputs->Selection(), std::pair(std::size_t{0}, start + 20));
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

#include "qt_window_tests.moc"
