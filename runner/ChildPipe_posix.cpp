// The runner's POSIX half: pipe2, posix_spawnp, non-blocking read with poll, and collecting children.
#include "ChildPipe.h"
#include "CommandLineSplit.h"
#include "Utf8.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace spillways_detail {
namespace {

// Owns one file descriptor.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other)
            reset(std::exchange(other.fd_, -1));
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset(int fd = -1) {
        // Nothing useful can be done about a failed close: the descriptor is gone either way.
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

// Owns the attributes and file actions of one posix_spawn call.
struct SpawnSetup {
    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
    bool haveActions = false;
    bool haveAttributes = false;

    SpawnSetup() = default;
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    ~SpawnSetup() {
        if (haveActions)
            posix_spawn_file_actions_destroy(&actions);
        if (haveAttributes)
            posix_spawnattr_destroy(&attributes);
    }

    // Output and errors to `writeEnd`, input from /dev/null, nothing else open; default signal handling with
    // nothing blocked, whatever this process ignores or blocks; a session of its own, so the child is as
    // detached from any terminal as a hidden console is.
    bool Prepare(int writeEnd) {
        if (posix_spawn_file_actions_init(&actions) != 0)
            return false;
        haveActions = true;
        if (posix_spawnattr_init(&attributes) != 0)
            return false;
        haveAttributes = true;

        sigset_t all;
        sigset_t none;
        sigfillset(&all);
        sigemptyset(&none);
        return posix_spawn_file_actions_adddup2(&actions, writeEnd, STDOUT_FILENO) == 0 &&
               posix_spawn_file_actions_adddup2(&actions, writeEnd, STDERR_FILENO) == 0 &&
               posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0 &&
               posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1) == 0 &&
               posix_spawnattr_setsigdefault(&attributes, &all) == 0 &&
               posix_spawnattr_setsigmask(&attributes, &none) == 0 &&
               posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK |
                                                         POSIX_SPAWN_SETSID) == 0;
    }
};

// The child's standard descriptors are set up by number, so a pipe end must not sit on 0, 1 or 2 (as it would
// when this process was started with any of them closed).
int MoveAboveStandardDescriptors(Fd& fd) {
    if (fd.get() > STDERR_FILENO)
        return 0;
    const int moved = ::fcntl(fd.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (moved < 0)
        return errno;
    fd.reset(moved);
    return 0;
}

// read(2) on the pipe. Where the system call can be made directly it is: in a process with threads (the
// toolkit starts some) libc's read is a cancellation point that switches the thread's cancellation state on
// and off around every call, two atomic updates that cost a flood of 256-byte reads a tenth of each read.
// No thread of this program is ever cancelled.
ssize_t ReadPipe(int fd, char* buffer, std::size_t size) {
#if defined(SYS_read)
    return ::syscall(SYS_read, fd, buffer, size);
#else
    return ::read(fd, buffer, size);
#endif
}

// Collects `pid` if it has exited. True when nothing is left to collect.
bool TryCollect(pid_t pid) {
    for (;;) {
        int status = 0;
        const pid_t result = ::waitpid(pid, &status, WNOHANG);
        if (result == pid)
            return true;
        if (result == 0)
            return false;
        if (errno == EINTR)
            continue;
        return true; // ECHILD: someone else collected it (or SIGCHLD is ignored)
    }
}

} // namespace

// Children are collected by whichever runner looks next, not only by the one that started them, so a runner
// destroyed while its last child was still finishing leaves no zombie behind either.
struct ChildReaper::State {
    struct Shared {
        std::mutex lock;
        std::vector<pid_t> running;
        std::size_t reserved = 0; // slots promised to children being started or running, not yet adopted
    };
    static Shared& Children() {
        static Shared shared;
        return shared;
    }

    // Makes room before a child is started, so that adopting it (from a destructor) can never fail. Every
    // run alive at once holds a slot of its own: runs can nest inside a listener, or run on other threads.
    static void Reserve() {
        Shared& children = Children();
        const std::lock_guard guard(children.lock);
        children.running.reserve(children.running.size() + children.reserved + 1);
        ++children.reserved;
    }
    static void Adopt(pid_t pid) noexcept {
        Shared& children = Children();
        const std::lock_guard guard(children.lock);
        --children.reserved;
        children.running.push_back(pid); // within the capacity Reserve() made
    }
    static void Release() noexcept {
        Shared& children = Children();
        const std::lock_guard guard(children.lock);
        --children.reserved;
    }
};

ChildReaper::ChildReaper() = default;

ChildReaper::~ChildReaper() {
    CollectExited();
}

void ChildReaper::CollectExited() {
    State::Shared& children = State::Children();
    const std::lock_guard guard(children.lock);
    auto& running = children.running;
    running.erase(std::remove_if(running.begin(), running.end(), TryCollect), running.end());
}

struct ChildPipe::State {
    Fd readEnd;
    Fd writeEnd;
    pid_t pid = -1;
    bool slotReserved = false; // a reaper slot is held for this run's child
};

ChildPipe::ChildPipe(ChildReaper& reaper) : state_(std::make_unique<State>()), reaper_(reaper) {}

ChildPipe::~ChildPipe() {
    Close();
}

std::int32_t ChildPipe::Create() {
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return errno;
    state_->readEnd.reset(fds[0]);
    state_->writeEnd.reset(fds[1]);
    if (const int error = MoveAboveStandardDescriptors(state_->readEnd); error != 0)
        return error;
    if (const int error = MoveAboveStandardDescriptors(state_->writeEnd); error != 0)
        return error;
    // The read end never blocks, so that the runner can tell "nothing yet" from "more at once" and only
    // announces a wait when there really is one.
    const int flags = ::fcntl(state_->readEnd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(state_->readEnd.get(), F_SETFL, flags | O_NONBLOCK) < 0)
        return errno;
    return 0;
}

namespace {

// Which character of the line a byte offset falls on, counting from 1.
std::size_t ColumnOf(std::string_view line, std::size_t offset) {
    return 1 + static_cast<std::size_t>(std::count_if(line.begin(),
                                                      line.begin() + static_cast<std::ptrdiff_t>(offset),
                                                      [](char c) { return (c & 0xC0) != 0x80; }));
}

StartFailure SplitFailed(std::string_view line, const SplitFailure& split) {
    switch (split.kind) {
    case SplitFailure::Kind::UnmatchedQuote:
        return {StartFailure::Reason::UnmatchedQuote, {}, ColumnOf(line, split.at), 0};
    case SplitFailure::Kind::LoneBackslash:
        return {StartFailure::Reason::LoneBackslash, {}, ColumnOf(line, split.at), 0};
    case SplitFailure::Kind::NulCharacter:
        return {StartFailure::Reason::BadCharacter, {}, ColumnOf(line, split.at), 0};
    case SplitFailure::Kind::NoWord:
        break;
    }
    return {StartFailure::Reason::NoProgram, {}, 0, 0};
}

// What posix_spawnp's error says of the program.
StartFailure SpawnFailed(const std::string& program, int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return {StartFailure::Reason::NotFound, program, 0, 0};
    case EACCES:
    case ENOEXEC:
    case EISDIR:
    case EPERM:
        return {StartFailure::Reason::NotExecutable, program, 0, 0};
    case E2BIG:
        return {StartFailure::Reason::TooLong, program, 0, 0};
    default:
        return {StartFailure::Reason::System, program, 0, error};
    }
}

} // namespace

bool ChildPipe::Start(const std::u16string& commandLine, StartFailure& failure) {
    std::string line;
    if (!AppendUtf8(commandLine, line)) {
        failure = {StartFailure::Reason::BadCharacter, {}, 0, 0};
        return false; // half a surrogate pair names no file
    }
    SplitFailure split;
    std::optional<std::vector<std::string>> words = SplitCommandLine(line, &split);
    if (!words) {
        failure = SplitFailed(line, split);
        return false;
    }
    std::vector<char*> argv;
    argv.reserve(words->size() + 1);
    for (std::string& word : *words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    if (!state_->slotReserved) {
        ChildReaper::State::Reserve();
        state_->slotReserved = true;
    }

    SpawnSetup setup;
    if (!setup.Prepare(state_->writeEnd.get())) {
        failure = {StartFailure::Reason::Unknown, {}, 0, 0};
        return false;
    }
    // posix_spawnp reports a failed exec (no such file, not executable, no #! line, too long) here, before it
    // returns, and never falls back to a shell.
    pid_t pid = -1;
    if (const int error =
            ::posix_spawnp(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ);
        error != 0) {
        failure = SpawnFailed(words->front(), error);
        return false;
    }
    state_->pid = pid;
    return true;
}

void ChildPipe::CloseWriteEnd() {
    state_->writeEnd.reset();
}

ReadResult ChildPipe::Read(char* buffer, std::size_t size, const std::function<void()>& aboutToWait) {
    const int fd = state_->readEnd.get();
    for (;;) {
        const ssize_t count = ReadPipe(fd, buffer, size);
        if (count > 0)
            return {true, static_cast<std::size_t>(count)};
        if (count == 0)
            return {false, 0}; // every write end is closed
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return {false, 0};
        pollfd ready{fd, POLLIN, 0};
        if (aboutToWait) {
            // A flood's pipe is often empty for an instant only, while the child runs again: that is no
            // pause, and showing the output for it would cost the flood a paint each time.
            const int polled = ::poll(&ready, 1, PauseGraceMs);
            if (polled > 0 || (polled < 0 && errno == EINTR))
                continue;
            if (polled < 0)
                return {false, 0};
            aboutToWait();
        }
        const int polled = ::poll(&ready, 1, WakeIntervalMs);
        if (polled == 0)
            return {true, 0, true}; // nothing yet: the caller gets a look in
        if (polled < 0 && errno != EINTR)
            return {false, 0};
    }
}

void ChildPipe::Send(Signal signal) {
    // The child leads a session and a process group of its own, and is collected only once closed, so its
    // group's number cannot have been reused by then.
    if (state_->pid <= 0)
        return;
    const int number = signal == Signal::Interrupt ? SIGINT : signal == Signal::Kill ? SIGKILL : SIGHUP;
    ::killpg(state_->pid, number); // fails only when the whole group is gone already
}

void ChildPipe::Close() {
    // A POSIX child has no process or thread handle to close; what stands for them is collecting it, which
    // the reaper does without waiting once it has exited.
    if (state_->pid > 0)
        ChildReaper::State::Adopt(std::exchange(state_->pid, -1));
    else if (state_->slotReserved)
        ChildReaper::State::Release(); // the start failed: nothing to adopt
    state_->slotReserved = false;
    state_->readEnd.reset();
    state_->writeEnd.reset();
    reaper_.CollectExited();
}

} // namespace spillways_detail
