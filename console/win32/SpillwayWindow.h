// The console window on native Win32 controls: creates the window and its EDIT, BUTTON and STATIC controls,
// carries out what the handlers ask of them and forwards the controls' events to frmSpillway.
#pragma once

#include "BatchedOutputControls.h"
#include "EditOutput.h"
#include "ForwardEvent.h"
#include "OutputFind.h"
#include "frmSpillway.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <type_traits>

class SpillwayWindow final : public BatchedOutputControls {
public:
    // Control identifiers; none is IDOK or IDCANCEL, so Escape (IDCANCEL from the dialog manager) reaches
    // no control.
    enum ControlId : int {
        IdOutputs = 1001,
        IdCommand = 1002,
        IdExecute = 1003,
        IdExit = 1004,
        IdLabel = 1005,
    };

    // Creates the window, hidden, and runs the load step, so the window opens with the banner. `endProgram`
    // ends the program once Exit has released the runner; by default it destroys the window and posts the
    // quit message. Throws std::system_error when the window cannot be created.
    explicit SpillwayWindow(HINSTANCE instance, SpillwaySystem system = SpillwaySystem::Default(),
                            std::function<void()> endProgram = {});
    ~SpillwayWindow() override;
    SpillwayWindow(const SpillwayWindow&) = delete;
    SpillwayWindow& operator=(const SpillwayWindow&) = delete;

    // Shows the window centred on the work area, with the focus in the output box.
    void Show();

    // Runs the thread's message loop until the quit message; Enter, Tab and Escape as a dialog's.
    int RunMessageLoop();
    // One message of that loop; false when the dialog manager did not take it.
    bool PreTranslate(MSG& message) const;

    HWND Handle() const { return window_.get(); }
    HWND Control(ControlId id) const { return ::GetDlgItem(window_.get(), id); }
    HWND FindDialog() const { return find_ != nullptr ? find_->Dialog() : nullptr; }
    frmSpillway& Form() { return form_; }

    // SpillwayControls
    void ShowOutputsWaiting() override;
    std::u16string CommandText() const override;
    void SetCommandText(const std::u16string& text) override;
    void ShowMessage(const std::u16string& text, MessageIcon icon) override;
    void EndProgram() override;
    void HandleWindowEvents() override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK OutputsProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK CommandProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int notification);
    void CreateControls();
    // BatchedOutputControls
    void ReplaceOutputs(const std::u16string& text) override;
    void AddOutputs(const std::u16string& text) override;
    void StartOutputsRun() override;
    void ShowOutputs(bool caretToEnd) override;
    bool FindKey(UINT message, WPARAM wParam); // true when Ctrl+F or F3 was taken
    template <typename Handler>
    void Forward(Handler handler) {
        ForwardEvent(ended_, handler);
    }

    struct FontDeleter {
        void operator()(HFONT font) const { ::DeleteObject(font); }
    };
    struct WindowDestroyer {
        void operator()(HWND window) const { ::DestroyWindow(window); }
    };

    HINSTANCE instance_ = nullptr;
    int dpiX_ = 96;
    int dpiY_ = 96;
    std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter> font_; // outlives the controls that use it
    std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer> window_;
    HWND txtOutputs_ = nullptr;
    HWND txtCommand_ = nullptr;
    HWND cmdExecute_ = nullptr;
    HWND cmdExit_ = nullptr;
    HWND lblCommand_ = nullptr;
    std::unique_ptr<OutputFind> find_; // Ctrl+F and F3 in either box, between runs only
    WNDPROC outputsDefaultProc_ = nullptr;
    WNDPROC commandDefaultProc_ = nullptr;

    // Focus: only moves between this window's own controls reach the handlers, so the command box keeps its
    // text when another program or a message box takes the focus and gives it back. The control that had
    // the focus when the window was deactivated gets it back on activation, as in a dialog.
    HWND commandFocusFrom_ = nullptr; // the window that gave the command box the focus
    HWND commandFocusTo_ = nullptr;   // the window that takes it
    HWND focusWhenInactive_ = nullptr;

    std::unique_ptr<EditOutput> outputs_; // what txtOutputs shows, put in a batch at a time

    std::function<void()> endProgram_;
    bool ended_ = false;
    frmSpillway form_;
};

// The message boxes' title: the time of day in the user's regional time format, with seconds.
std::u16string TimeOfDayTitle();
