// The seam between the runner and the system: one child process writing to one pipe, and the narrow text it
// writes. Each platform implements it in its own file (ChildPipe_posix.cpp, ChildPipe_win32.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace spillways_detail {

struct ReadResult {
    bool ok = false;       // false once every write end is closed or the read failed: the loop ends
    std::size_t count = 0; // bytes placed in the buffer (a successful read may bring none)
    bool woke = false;     // nothing was read: the wait ended so the caller can look after other things
};

// Why no process was started, as the place that decided it found it; the runner words it for the user.
struct StartFailure {
    enum class Reason {
        Unknown,        // the platform gave no reason the runner can word
        NotFound,       // no such program (on PATH, or at the path given)
        NotExecutable,  // found, but not a program the system can run (a folder, a text file)
        TooLong,        // the command line is too long for the system
        UnmatchedQuote, // at `column`
        LoneBackslash,  // the line's last character
        NoProgram,      // only blanks
        BadCharacter,   // half a surrogate pair or a NUL, which no argument can hold
        System,         // another error of the system's: `error`
    };
    Reason reason = Reason::Unknown;
    std::string program;    // the first word, UTF-8, for NotFound and NotExecutable
    std::size_t column = 0; // 1-based, in characters of the line
    int error = 0;          // the system's error number
};

// Children whose output has ended but that may still be running. The call never waits for a child; each one
// is collected without blocking whenever the runner next looks, so none lingers after it exits. On Windows,
// where closing a process handle frees it, what is kept is each run's job while something in it still runs;
// the reaper's end closes the jobs left and ends what is in them.
class ChildReaper {
public:
    ChildReaper();
    ~ChildReaper(); // one last look; never blocks
    ChildReaper(const ChildReaper&) = delete;
    ChildReaper& operator=(const ChildReaper&) = delete;

    void CollectExited();

private:
    friend class ChildPipe;
    struct State;
    std::unique_ptr<State> state_;
};

// One run: the pipe, the started child and its handles. Whatever is still open is closed by the destructor,
// so every path out of a run, an exception included, leaves nothing open.
class ChildPipe {
public:
    explicit ChildPipe(ChildReaper& reaper);
    ~ChildPipe();
    ChildPipe(const ChildPipe&) = delete;
    ChildPipe& operator=(const ChildPipe&) = delete;

    // Creates the pipe whose write end the child will get. Returns 0, or the system's error code.
    std::int32_t Create();

    // Starts the command line as a hidden child without a shell: standard output and standard error on the
    // write end, no standard input. False when no process was started, with why in `failure` as far as the
    // platform tells; the pipe stays open then.
    bool Start(const std::u16string& commandLine, StartFailure& failure);

    // Closes the runner's own write end, so the pipe ends when the child and whatever inherited it are done.
    void CloseWriteEnd();

    // Reads at most `size` bytes, waiting until the child writes or the pipe ends, but no longer than
    // WakeIntervalMs: a wait that long with nothing arriving returns `woke`, so the caller can look after its
    // window and a stop in between. `aboutToWait`, if set, is called first whenever nothing is ready (on
    // POSIX once nothing has come for PauseGraceMs). An interrupted read is retried, never taken for the end.
    ReadResult Read(char* buffer, std::size_t size, const std::function<void()>& aboutToWait);
    static constexpr int WakeIntervalMs = 30;
    static constexpr int PauseGraceMs = 1;

    // Sends the started child, and whatever it started that shares its session or console, a signal: an
    // interrupt as Ctrl+C gives, a kill that cannot be refused, or the hang-up of a closing terminal (on
    // Windows: the interrupt, then the kill; the kill ends the run's whole job where it has one). Does
    // nothing once the child is closed.
    enum class Signal { Interrupt, Kill, HangUp };
    void Send(Signal signal);

    // Closes all the run holds, after a failed start or at the end of the output: the child's process and
    // thread handles, in that order (on POSIX the child goes to the reaper instead, on Windows its job), then
    // both pipe ends.
    // Never waits for the child. The destructor does the same for whatever is still open.
    void Close();

private:
    struct State;
    std::unique_ptr<State> state_;
    ChildReaper& reaper_;
};

} // namespace spillways_detail
