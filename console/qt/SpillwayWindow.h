// The console window on Qt 6 Widgets: creates the controls, carries out what the handlers ask of them and
// forwards the controls' events to frmSpillway.
#pragma once

#include "LineBreaks.h"
#include "frmSpillway.h"

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QLocale;
class QPlainTextEdit;
class QPushButton;

class SpillwayWindow final : public QWidget, public SpillwayControls {
public:
    // `endProgram` ends the program once Exit has released the runner; by default it closes the window and
    // leaves the event loop. Runs the load step, so the window opens with the banner.
    explicit SpillwayWindow(SpillwaySystem system = SpillwaySystem::Default(),
                            std::function<void()> endProgram = {});
    ~SpillwayWindow() override;

    frmSpillway& Form() { return form_; }

    // SpillwayControls
    void SetOutputsText(const std::u16string& text) override;
    void AppendOutputsText(const std::u16string& text) override;
    void MoveOutputsCaretToEnd() override;
    void ShowOutputsNow() override;
    std::u16string CommandText() const override;
    void SetCommandText(const std::u16string& text) override;
    void ShowMessage(const std::u16string& text, MessageIcon icon) override;
    void EndProgram() override;
    void HandleWindowEvents() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void CentreOnScreen();
    void OnFocusChanged(QWidget* old, QWidget* now);
    void FlushOutputs();
    void MoveCaretToEndNow();
    template <typename Handler>
    void Forward(Handler handler);

    QLabel* lblCommand_ = nullptr;
    QPlainTextEdit* txtOutputs_ = nullptr;
    QLineEdit* txtCommand_ = nullptr;
    QPushButton* cmdExecute_ = nullptr;
    QPushButton* cmdExit_ = nullptr;

    // Output arrives in chunks of at most 256 characters. A batch of them is gathered and inserted at the end
    // in one edit block, so the text is laid out once per batch rather than per chunk; the batch is shown
    // (inserted, laid out, painted) at most every paintIntervalMs_ during a flood, and whenever the runner is
    // about to wait or the run ends. The interval grows with what showing a batch cost (a long line is laid
    // out whole each time), so showing never takes more than a fraction of a flood's time.
    void CountUnbrokenRun(const std::u16string& shown);
    LineBreakNormaliser lineBreaks_{u"\n"};
    QString pendingText_;
    bool caretPending_ = false;
    QElapsedTimer sinceShown_;
    qint64 paintIntervalMs_ = 0;
    std::size_t unbrokenRun_ = 0; // characters since the last blank or line break

    std::function<void()> endProgram_;
    bool ended_ = false;
    bool droppingInput_ = false; // while HandleWindowEvents runs: the application's input goes nowhere
    frmSpillway form_;
};

// The user's regional time format with the seconds shown and without a time zone: the message boxes' title.
QString TimeFormatWithSeconds(const QLocale& locale);
