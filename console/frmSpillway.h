// The console window's behaviour, as plain C++: its event handlers. The Qt and Win32 layers own the real
// controls, forward their events here and carry out what these handlers ask of them through SpillwayControls;
// the handlers keep the command history, run one command at a time on the calling thread, and never let an
// error escape an event: what Enter meets is reported as a warning, what the load step meets is passed over.
#pragma once

#include "CommandHistory.h"
#include "SpillwayControls.h"
#include "SpillwayError.h"
#include "SpillwaySystem.h"

#include <chrono>
#include <memory>
#include <string>

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
