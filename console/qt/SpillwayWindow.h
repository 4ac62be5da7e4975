// The console window on Qt 6 Widgets: creates the controls, carries out what the handlers ask of them and
// forwards the controls' events to frmSpillway.
#pragma once

#include "BatchedOutputControls.h"
#include "frmSpillway.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class FindField;
class QLabel;
class QLineEdit;
class QLocale;
class OutputView;
class QPushButton;

class SpillwayWindow final : public QWidget, public BatchedOutputControls {
public:
    // `endProgram` ends the program once Exit has released the runner; by default it closes the window and
    // leaves the event loop. Runs the load step, so the window opens with the banner.
    explicit SpillwayWindow(SpillwaySystem system = SpillwaySystem::Default(),
                            std::function<void()> endProgram = {});
    ~SpillwayWindow() override;

    frmSpillway& Form() { return form_; }
    FindField* Find() const { return findField_; }

    // SpillwayControls
    std::u16string CommandText() const override;
    void SetCommandText(const std::u16string& text) override;
    void ShowMessage(const std::u16string& text, MessageIcon icon) override;
    void ShowFailure(const std::u16string& text, const std::u16string& cause) override;
    void EndProgram() override;
    void HandleWindowEvents() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // BatchedOutputControls
    void ReplaceOutputs(const std::u16string& text) override;
    void AddOutputs(const std::u16string& text) override;
    void StartOutputsRun() override;
    void ShowOutputs(bool caretToEnd) override;

    void CreateControls();
    void CentreOnScreen();
    void OnFocusChanged(QWidget* old, QWidget* now);
    void ShowMessageBox(const std::u16string& text, MessageIcon icon, const std::u16string& cause);
    bool FindKey(const QEvent* event);
    bool ReadsDuringRun(QObject* watched, const QEvent* event) const;
    template <typename Handler>
    void Forward(Handler handler);

    QLabel* lblCommand_ = nullptr;
    OutputView* txtOutputs_ = nullptr;
    QLineEdit* txtCommand_ = nullptr;
    QPushButton* cmdExecute_ = nullptr;
    QPushButton* cmdExit_ = nullptr;
    FindField* findField_ = nullptr; // over the output box, between runs only
    // The control of this window that last had the focus: it keeps it, as far as the form knows, while the
    // focus is in another application, a message box or nowhere.
    QPointer<QWidget> formFocus_;

    std::function<void()> endProgram_;
    bool ended_ = false;
    bool droppingInput_ = false; // while HandleWindowEvents runs: the application's input goes nowhere
    frmSpillway form_;
};

// The user's regional time format with the seconds shown and without a time zone: the message boxes' title.
QString TimeFormatWithSeconds(const QLocale& locale);
