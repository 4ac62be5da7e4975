// The command runner: runs one command line at a time as a hidden child process, without a shell, with the
// child's standard output and standard error on one pipe and no standard input. Every piece of output is
// handed to the listener the moment it has been read, and the whole output of the last run is kept.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace spillways_detail {
class ChildPipe;
class ChildReaper;
class OutputStore;
struct StartFailure;
} // namespace spillways_detail

class Spillways {
public:
    // Shows one of the runner's own failure messages to the user: a modal message box with the
    // stop icon, titled with the time of day. The window supplies it; tests record the texts. `cause` says
    // why in a sentence or two, where the runner knows (empty otherwise): a window may show it beside the
    // message, which stays as it is.
    using ShowStopMessage = std::function<void(const std::u16string& message, const std::u16string& cause)>;

    explicit Spillways(ShowStopMessage showStopMessage);
    ~Spillways();
    Spillways(const Spillways&) = delete;
    Spillways& operator=(const Spillways&) = delete;

    void CommandLine(const std::u16string& DOSCommand); // property set
    std::u16string CommandLine() const;                 // property get
    // What each member costs, per byte of output. The runner keeps the last run's text as UTF-8 in 2 MB
    // blocks for as long as it lives: 1 byte per ASCII character, 2 to 4 for others (Outputs' store).
    // Outputs() and ExecuteCommand() each return a fresh 16-bit copy of it: 2 bytes per character more, for
    // as long as the caller keeps it. Run() returns nothing and so adds nothing; ReceiveOutputs hands out
    // chunks of at most 256 characters from one buffer that the whole run reuses.
    std::u16string Outputs() const;

    // Runs the stored command line (replaced first by a non-empty argument) and returns once the child and
    // everything it left behind have closed the pipe; the whole output is then in Outputs(). False, with
    // Outputs() as it was, after showing one of the runner's own failure messages. Any other failure,
    // including one thrown by a listener, reaches the caller.
    bool Run(const std::u16string& CommandLine = {});

    // Run() and then Outputs(): the whole output, or empty text after one of the runner's own failure
    // messages.
    std::u16string ExecuteCommand(const std::u16string& CommandLine = {});

    // How Stop ends the running command.
    enum class StopKind {
        Interrupt, // as a console's Ctrl+C: interrupted now, killed if its output has not ended 3 s later
        HangUp,    // as a terminal that closes: told to end, and the run ends at once without waiting
    };

    // Stops the command that is running, with everything it started that shares its session (its hidden
    // console on Windows). The run then ends as any run does, with the last, empty chunk; what arrived is
    // kept. Safe to call from ReceiveOutputs or AboutToWait; does nothing when no command runs.
    void Stop(StopKind kind = StopKind::Interrupt);

    // The one listener: called once for each read, with its chunk of at most 256 characters, and with one
    // last, empty chunk when the output has ended or the run was stopped. The chunks of one run, in order,
    // make up its whole output. A chunk may be empty before the end too: a read that brought only part of a
    // character (the character comes whole with the next chunk). It may call Stop.
    std::function<void(const std::u16string& CommandOutputs)> ReceiveOutputs;

    // Optional: called when no output is ready and the next read would wait, so a listener that batches its
    // display can show what it has before the pause, and again every few tens of milliseconds for as long as
    // nothing arrives, so the window can answer its own events during a long wait. Never called while output
    // keeps coming. It may call Stop.
    std::function<void()> AboutToWait;

    // The runner's three messages, in one place.
    static const std::u16string CommandLineEmptyMessage;
    static const std::u16string InvalidCommandMessage;
    static std::u16string CreatePipeFailedMessage(std::int32_t errorCode);
    // Why "Invalid Command pattern!" came, for the line that failed; empty when the platform did not say.
    static std::u16string StartFailureCause(const spillways_detail::StartFailure& failure,
                                            const std::u16string& commandLine);

private:
    void RaiseReceiveOutputs(const std::u16string& chunk);

    // The run in progress, for Stop.
    struct Stopping {
        bool hungUp = false;
        bool killed = false;
        std::optional<std::chrono::steady_clock::time_point> killAt;
    };
    spillways_detail::ChildPipe* running_ = nullptr;
    Stopping stopping_;

    ShowStopMessage showStopMessage_;
    std::u16string commandLine_;
    std::unique_ptr<spillways_detail::OutputStore> outputs_;
    std::unique_ptr<spillways_detail::ChildReaper> reaper_;
};
