// The console window on native Win32 controls: creates the window and its EDIT, BUTTON and STATIC controls,
// carries out what the handlers ask of them and forwards the controls' events to frmSpillway.
#pragma once

#include "ConsoleOutput.h"
#include "OutputBatcher.h"
#include "OutputFind.h"
#include "OutputText.h"
#include "frmSpillway.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <type_traits>

class SpillwayWindow final : public SpillwayControls {
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
    void SetOutputsText(const std::u16string& text) override;
    void AppendOutputsText(const std::u16string& text) override;
    void OutputsRunStarts() override;
    void MoveOutputsCaretToEnd() override;
    void ShowOutputsNow() override;
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
    void FlushOutputs(bool caretToEnd);
    void MoveCaretToEndNow();
    bool FindKey(UINT message, WPARAM wParam); // true when Ctrl+F or F3 was taken
    template <typename Handler>
    void Forward(Handler handler);

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

    // Every EM_REPLACESEL costs a good deal whatever its size (it re-measures lines and updates the scroll
    // bar), so what arrives is kept here and put into the box as one replacement a batch. A carriage return
    // may overwrite the box's last line, so a batch replaces that line as well.
    class PendingOutputs final : public OutputLines {
    public:
        std::size_t LastLineLength() const override { return tail.size() - lineStart; }
        std::u16string LastLine() const override { return tail.substr(lineStart); }
        void Append(std::u16string_view text) override;
        void Overwrite(std::size_t column, std::u16string_view text) override;
        void Truncate(std::size_t column) override;
        std::size_t Size() const override { return tail.size(); }

        std::u16string tail;       // the box's last line as it now reads, and what followed it
        std::size_t lineStart = 0; // of the last line in tail
        bool changed = false;
    };
    PendingOutputs pendingOutputs_;
    ConsoleOutput console_{pendingOutputs_}; // one colour: the sequences are only taken out
    std::size_t boxLineStart_ = 0; // where the box's last line starts in its own text (CR LF breaks)
    OutputBatcher outputsBatcher_{[this](bool caretToEnd) { FlushOutputs(caretToEnd); },
                                  2}; // showing takes at most about a third of a flood's time

    std::function<void()> endProgram_;
    bool ended_ = false;
    frmSpillway form_;
};

// The message boxes' title: the time of day in the user's regional time format, with seconds.
std::u16string TimeOfDayTitle();
