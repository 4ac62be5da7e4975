#include "frmSpillway.h"

#include "Banner.h"
#include "OutputPacing.h"

#include <algorithm>

const std::u16string frmSpillway::Caption = u"Quarn's Command Prompt";   // NOLINT(cert-err58-cpp)
const std::u16string frmSpillway::Placeholder = u"(Enter Keyword Here)"; // NOLINT(cert-err58-cpp)

frmSpillway::frmSpillway(SpillwayControls& controls, SpillwaySystem system)
    : controls_(controls), system_(std::move(system)) {}

// Each step is guarded on its own: a step that fails is passed over silently and the next one runs.
void frmSpillway::Form_Load() {
    std::u16string userName;
    try {
        userName = system_.UserName();
    } catch (...) {
        userName.clear();
    }

    try {
        objDOS_ = system_.CreateRunner([this](const std::u16string& message, const std::u16string& cause) {
            controls_.ShowFailure(message, cause);
        });
        if (objDOS_) {
            objDOS_->ReceiveOutputs = [this](const std::u16string& CommandOutputs) {
                objDOS_ReceiveOutputs(CommandOutputs);
            };
            objDOS_->AboutToWait = [this] {
                controls_.ShowOutputsWaiting();
                HandleWindowEventsIfDue(true);
            };
        }
    } catch (...) {
        objDOS_.reset();
    }

    try {
        // Built completely before it is set, so a failure leaves the box empty rather than half-filled.
        const std::u16string banner = BuildBanner(system_.ApplicationFolder(), userName);
        controls_.SetOutputsText(banner);
        txtOutputs_Change();
    } catch (...) {
    }
}

void frmSpillway::cmdExecute_Click() {
    try {
        const std::u16string line = controls_.CommandText();
        if (line != Placeholder)
            history_.Add(line);
        if (!objDOS_) {
            throw RunnerNotCreated();
        }
        objDOS_->CommandLine(line);
        {
            // What the last reads brought goes on screen when the run ends, however it ends, and keys and
            // clicks that came during the run are dropped rather than left for after it.
            struct EndOfRun {
                frmSpillway& form;
                ~EndOfRun() {
                    try {
                        form.controls_.ShowOutputsNow();
                        if (form.handleWindowEvents_)
                            form.controls_.HandleWindowEvents();
                    } catch (...) {
                    }
                    form.running_ = false;
                }
            } endOfRun{*this};
            running_ = true;
            windowEventsHandled_ = std::chrono::steady_clock::now();
            floodWindowEventsInterval_ = OutputPacing::WindowEventsInterval;
            controls_.OutputsRunStarts();
            // The output is on screen already: no copy of it is asked for.
            objDOS_->Run();
        }
        controls_.SetCommandText(u"");
    } catch (...) {
        const SpillwayError error = SpillwayError::FromCurrentException();
        if (!closeRequested_)
            controls_.ShowMessage(error.MessageText(), SpillwayControls::MessageIcon::Exclamation);
    }
    if (closeRequested_) {
        closeRequested_ = false;
        cmdExit_Click();
    }
}

void frmSpillway::objDOS_ReceiveOutputs(const std::u16string& CommandOutputs) {
    if (CommandOutputs.empty()) {
        return; // the end of the output: nothing changes
    }
    controls_.AppendOutputsText(CommandOutputs);
    txtOutputs_Change();
    // A flood leaves the runner no pause to do it in. Its chunks come microseconds apart, so the clock is
    // looked at every few of them only.
    if (++chunksSinceLook_ >= OutputPacing::ChunksBetweenLooks) {
        chunksSinceLook_ = 0;
        HandleWindowEventsIfDue(false);
    }
}

void frmSpillway::HandleWindowEventsIfDue(bool waiting) {
    const auto started = std::chrono::steady_clock::now();
    const auto interval = waiting ? OutputPacing::WindowEventsInterval : floodWindowEventsInterval_;
    if (!handleWindowEvents_ || started - windowEventsHandled_ < interval)
        return;
    controls_.HandleWindowEvents();
    windowEventsHandled_ = std::chrono::steady_clock::now();
    floodWindowEventsInterval_ = std::clamp<std::chrono::steady_clock::duration>(
        OutputPacing::WindowEventsCostFactor * (windowEventsHandled_ - started),
        OutputPacing::WindowEventsInterval, OutputPacing::LongestWindowEventsInterval);
}

void frmSpillway::txtOutputs_Change() {
    controls_.MoveOutputsCaretToEnd();
}

void frmSpillway::txtCommand_GotFocus() {
    controls_.SetCommandText(u"");
    history_.Restart();
}

void frmSpillway::txtCommand_LostFocus() {
    controls_.SetCommandText(Placeholder);
}

void frmSpillway::cmdExit_Click() {
    objDOS_.reset();
    controls_.EndProgram();
}

bool frmSpillway::txtCommand_KeyDown(CommandKey key) {
    const std::optional<std::u16string> recalled =
        key == CommandKey::Up ? history_.Older(controls_.CommandText()) : history_.Newer();
    if (recalled)
        controls_.SetCommandText(*recalled);
    return recalled.has_value();
}

void frmSpillway::StopCommand() {
    if (objDOS_)
        objDOS_->Stop(Spillways::StopKind::Interrupt);
}

bool frmSpillway::Form_QueryUnload() {
    if (!running_)
        return true;
    closeRequested_ = true;
    objDOS_->Stop(Spillways::StopKind::HangUp);
    return false;
}
