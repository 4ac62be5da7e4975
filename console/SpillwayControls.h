// What the window's handlers need from its controls: the output box, the command box, messages, the end of
// the program and the window's own events. Each toolkit layer implements it over its real controls and the
// tests over fakes; the handlers ask nothing of a window beyond what is declared here.
#pragma once

#include <string>

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
