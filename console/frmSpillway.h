// The console window's behaviour, as plain C++: its event handlers and the welcome banner. The Qt and Win32
// layers own the real controls, forward their events here and carry out what these handlers ask of them.
#pragma once

#include "CommandHistory.h"
#include "Spillways.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// What the handlers need from the window's controls. Implemented by each toolkit layer and by the tests'
// fakes.
class SpillwayControls {
public:
    enum class MessageIcon { Stop, Exclamation };

    virtual ~SpillwayControls() = default;

    // txtOutputs
    virtual void SetOutputsText(const std::u16string& text) = 0;    // replaces the whole text (the banner)
    virtual void AppendOutputsText(const std::u16string& text) = 0; // costs in proportion to `text` alone
    virtual void MoveOutputsCaretToEnd() = 0;                       // and brings the end into view
    virtual void ShowOutputsNow() = 0; // the run has ended or paused: get what has arrived onto the screen
    // The runner is about to wait: a window whose showing grows costly leaves a flood's short waits to its
    // batching.
    virtual void ShowOutputsWaiting() { ShowOutputsNow(); }
    virtual void OutputsRunStarts() {} // a command's output follows: in the default colours

    // txtCommand
    virtual std::u16string CommandText() const = 0;
    virtual void SetCommandText(const std::u16string& text) = 0;

    // Modal, a single OK button, titled with the time of day in the user's regional format.
    virtual void ShowMessage(const std::u16string& text, MessageIcon icon) = 0;
    // One of the runner's failures (stop icon) and why it came: a window that can shows the cause beside the
    // message; by default the message alone.
    virtual void ShowFailure(const std::u16string& text, const std::u16string& /*cause*/) {
        ShowMessage(text, MessageIcon::Stop);
    }

    // Closes every window and ends the program at once.
    virtual void EndProgram() = 0;

    // Called now and then while a command runs: handles the window system's own events that have arrived
    // (paint and expose, moves, the window manager's liveness ping, closing) and drops the user's keys and
    // clicks, except Ctrl+C, which goes to frmSpillway::StopCommand.
    virtual void HandleWindowEvents() = 0;
};

// What the load step asks of the system. Each platform supplies the defaults; tests replace them.
struct SpillwaySystem {
    std::function<std::u16string()> UserName;          // throws when the lookup fails
    std::function<std::u16string()> ApplicationFolder; // the running executable's folder
    std::function<std::unique_ptr<Spillways>(Spillways::ShowStopMessage)> CreateRunner =
        [](Spillways::ShowStopMessage showStopMessage) {
            return std::make_unique<Spillways>(std::move(showStopMessage));
        };

    static SpillwaySystem Default();
};

// An error that reached the Enter handler, as its warning reports it.
struct SpillwayError {
    std::u16string Description;
    std::u16string Source;
    std::int32_t Number = 0;

    // Describes the exception being handled; call only inside a catch block.
    static SpillwayError FromCurrentException();

    // The warning's text: description, source and number joined by " - ".
    std::u16string MessageText() const;
};

class frmSpillway {
public:
    static const std::u16string Caption;     // "Quarn's Command Prompt"
    static const std::u16string Placeholder; // "(Enter Keyword Here)"

    explicit frmSpillway(SpillwayControls& controls, SpillwaySystem system = SpillwaySystem::Default());
    frmSpillway(const frmSpillway&) = delete;
    frmSpillway& operator=(const frmSpillway&) = delete;

    void Form_Load();
    void cmdExecute_Click();
    void objDOS_ReceiveOutputs(const std::u16string& CommandOutputs);
    void txtOutputs_Change();
    void txtCommand_GotFocus();
    void txtCommand_LostFocus();
    void cmdExit_Click();

    // Up and Down in the command box: true when the key recalled a line into the box (the layer then keeps
    // the key from the box).
    enum class CommandKey { Up, Down };
    bool txtCommand_KeyDown(CommandKey key);

    // Ctrl+C during a run: the command is interrupted, and killed if it has not ended 3 s later.
    void StopCommand();

    // The window is being closed: true when it may close now. During a run the command is hung up, and the
    // program ends as Exit ends it once the run has unwound.
    bool Form_QueryUnload();

    bool Running() const { return running_; }
    Spillways* objDOS() const { return objDOS_.get(); }

    // Whether the window handles its events during runs; off only to measure what that costs.
    void HandleWindowEventsDuringRuns(bool on) { handleWindowEvents_ = on; }

private:
    void HandleWindowEventsIfDue(bool waiting);

    SpillwayControls& controls_;
    SpillwaySystem system_;
    std::unique_ptr<Spillways> objDOS_;
    CommandHistory history_;
    bool running_ = false;
    bool closeRequested_ = false;
    bool handleWindowEvents_ = true;
    std::chrono::steady_clock::time_point windowEventsHandled_;
    std::chrono::steady_clock::duration floodWindowEventsInterval_{};
    int chunksSinceLook_ = 0; // of a flood, since the clock was last looked at
};

// The welcome banner for the program's folder and the user's name.
std::u16string BuildBanner(const std::u16string& applicationFolder, const std::u16string& userName);
