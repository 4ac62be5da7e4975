// Shared by the tests of the real Qt window: a window opened with a fixed system, whose message boxes are
// read and dismissed as they come, and the banner it opens with.
#pragma once

#include "OutputView.h"
#include "SpillwayWindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <utility>
#include <vector>

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

const QString Banner = QStringLiteral("Quarn's Command Prompt\nDeveloper: Halvesk\n"
                                      "System Path: /opt/ombrel\\Ombrel.exe\n\n"
                                      "C:\\Documents and Settings\\quarn\nType Help for Command List\n\n\n");
const QString Placeholder = QStringLiteral("(Enter Keyword Here)");

inline SpillwaySystem FakeSystem() {
    SpillwaySystem system;
    system.UserName = [] { return std::u16string(u"quarn"); };
    system.ApplicationFolder = [] { return std::u16string(u"/opt/ombrel"); };
    return system;
}

inline QString Q(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

using Box = std::pair<QString, QMessageBox::Icon>;
using Boxes = std::vector<Box>;

class QtWindow : public testing::Test {
protected:
    void Open(SpillwaySystem system = FakeSystem()) {
        window = std::make_unique<SpillwayWindow>(std::move(system), [this] { ++programEnded; });
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        outputs = window->findChild<OutputView*>(QStringLiteral("txtOutputs"));
        command = window->findChild<QLineEdit*>(QStringLiteral("txtCommand"));
        ASSERT_TRUE(outputs && command);
        // Reads and dismisses every message box, titled with the time of day with seconds.
        QObject::connect(&answerer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible())
                return;
            EXPECT_TRUE(
                box->windowTitle().contains(QRegularExpression(QStringLiteral("\\d+\\D\\d\\d\\D\\d\\d"))));
            seen.emplace_back(box->text(), box->icon());
            informative.append(box->informativeText());
            box->button(QMessageBox::Ok)->click();
        });
        answerer.start(5);
    }

    // A key for whatever has the focus, once the window is active again after a message box.
    void Key(Qt::Key key) {
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(QApplication::focusWidget(), key);
    }
    static QString Focus() { return QApplication::focusWidget()->objectName(); }

    bool CaretAtEnd() const { return outputs->Caret() == outputs->CharacterCount(); }
    QString Shown() const { return outputs->property("plainText").toString(); }

    std::unique_ptr<SpillwayWindow> window;
    OutputView* outputs = nullptr;
    QLineEdit* command = nullptr;
    int programEnded = 0;
    QTimer answerer;
    Boxes seen;
    QStringList informative; // each box's cause
};
