// The Win32 half of the seam in ChildPipe.h: CreatePipe, SetHandleInformation, CreateProcessA, a job object
// for each run, PeekNamedPipe, ReadFile, CloseHandle, and the system's narrow (ANSI) code page for the text.
#include "ChildPipe.h"
#include "NarrowText_win32.h"
#include "Win32Error.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace spillways_detail {

namespace {

// The records as the 32-bit program fills them in (a 64-bit test build has wider pointers).
constexpr bool Is32Bit = sizeof(void*) == 4;
static_assert(sizeof(SECURITY_ATTRIBUTES) == (Is32Bit ? 12 : 24));
static_assert(sizeof(STARTUPINFOA) == (Is32Bit ? 68 : 104));
static_assert((STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW) == 0x101);
static_assert(NORMAL_PRIORITY_CLASS == 0x20);

// Owns one kernel handle and closes it once. A failed CloseHandle is ignored: there is nothing left to do.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { Close(); }
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return handle_; }
    void Close() {
        if (handle_ != nullptr)
            ::CloseHandle(std::exchange(handle_, nullptr));
    }

private:
    HANDLE handle_ = nullptr;
};

// A writable, NUL-terminated narrow copy of `text`: CreateProcessA may write into its command line.
std::vector<char> NarrowCopy(const std::u16string& text) {
    std::vector<char> narrow(1, '\0');
    if (text.empty())
        return narrow;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = ConversionLength(text.size());
    const int needed = ::WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        ThrowLastError("WideCharToMultiByte");
    narrow.resize(static_cast<std::size_t>(needed) + 1, '\0');
    if (::WideCharToMultiByte(CP_ACP, 0, wide, length, narrow.data(), needed, nullptr, nullptr) != needed)
        ThrowLastError("WideCharToMultiByte");
    return narrow;
}

} // namespace

// Closing a child's process and thread handles is all Windows needs to let go of it. What a finished run's
// child started and left running (its output done) stays in that run's job, which is kept here until it is
// empty: the last runner going, or this program ending in any way, closes the job and ends what is left.
struct ChildReaper::State {
    std::vector<Handle> jobs;
};

ChildReaper::ChildReaper() : state_(std::make_unique<State>()) {}
ChildReaper::~ChildReaper() = default;

void ChildReaper::CollectExited() {
    // A system that counts no process in a job at all (Wine) cannot tell an empty job from a busy one: its
    // jobs stay until the end.
    const auto empty = [](const Handle& job) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
        if (!::QueryInformationJobObject(job.get(), JobObjectBasicAccountingInformation, &accounting,
                                         sizeof(accounting), nullptr))
            return true;
        return accounting.TotalProcesses > 0 && accounting.ActiveProcesses == 0;
    };
    auto& jobs = state_->jobs;
    jobs.erase(std::remove_if(jobs.begin(), jobs.end(), empty), jobs.end());
}

struct ChildPipe::State {
    // The one record for the pipe, the process and the thread: every handle the child gets is inheritable.
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle readEnd;
    Handle writeEnd;
    Handle process;
    Handle thread;
    Handle job;          // none where the system allows no job of our own: the child alone is stopped then
    DWORD seenReady = 0; // bytes the last look into the pipe found and that have not been read since
};

namespace {

// A job of its own for the suspended `process`: whatever the child starts joins it and cannot break away,
// and closing the job's last handle ends them all. None when the job cannot be made, or the process cannot
// join it (an older system keeps a process that is already in a job out of any other).
Handle JobHolding(HANDLE process) {
    Handle job(::CreateJobObjectW(nullptr, nullptr)); // not inheritable: no child holds the job open
    if (job.get() == nullptr)
        return {};
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits)) ||
        !::AssignProcessToJobObject(job.get(), process))
        return {};
    return job;
}

} // namespace

ChildPipe::ChildPipe(ChildReaper& reaper) : state_(std::make_unique<State>()), reaper_(reaper) {}

ChildPipe::~ChildPipe() {
    Close();
}

std::int32_t ChildPipe::Create() {
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &state_->attributes, 0)) {
        const DWORD error = ::GetLastError();
        return static_cast<std::int32_t>(error);
    }
    state_->readEnd = Handle(readEnd);
    state_->writeEnd = Handle(writeEnd);
    // The child must not get the read end as well: holding it, a child whose reader has gone away (a listener
    // failed mid-run) would never see its writes fail and would block, hidden, for ever.
    if (!::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0))
        return static_cast<std::int32_t>(::GetLastError());
    return 0;
}

// The Windows window shows the message alone, so no reason is worked out here.
bool ChildPipe::Start(const std::u16string& commandLine, StartFailure& /*failure*/) {
    std::vector<char> narrowCommandLine = NarrowCopy(commandLine);

    STARTUPINFOA startup{};
    startup.cb = sizeof(STARTUPINFOA);
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = nullptr;
    startup.hStdOutput = state_->writeEnd.get();
    startup.hStdError = state_->writeEnd.get();

    // Suspended until it is in its job, so that nothing it starts can escape the job.
    PROCESS_INFORMATION started{};
    if (::CreateProcessA(nullptr, narrowCommandLine.data(), &state_->attributes, &state_->attributes, TRUE,
                         NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, nullptr, nullptr, &startup, &started) != 1)
        return false;
    state_->process = Handle(started.hProcess);
    state_->thread = Handle(started.hThread);
    state_->job = JobHolding(state_->process.get());
    if (::ResumeThread(state_->thread.get()) == static_cast<DWORD>(-1)) {
        // A child that never ran is not left suspended for ever; the pipe stays open, as for a failed start.
        ::TerminateProcess(state_->process.get(), 1);
        state_->job.Close();
        state_->process.Close();
        state_->thread.Close();
        return false;
    }
    return true;
}

void ChildPipe::CloseWriteEnd() {
    state_->writeEnd.Close();
}

ReadResult ChildPipe::Read(char* buffer, std::size_t size, const std::function<void()>& aboutToWait) {
    // ReadFile on an anonymous pipe waits for ever, so it is called only once the pipe holds bytes or has
    // ended; until then the pipe is looked into again and again, at first at once (a flood's pipe is often
    // empty for a moment only), then about every millisecond. Only this end reads, so bytes a look has found
    // stay ready until read: no need to look again before then.
    if (state_->seenReady == 0) {
        const auto start = std::chrono::steady_clock::now();
        for (int looks = 0;; ++looks) {
            DWORD available = 0;
            if (!::PeekNamedPipe(state_->readEnd.get(), nullptr, 0, nullptr, &available, nullptr))
                break; // the pipe has ended: the read below reports it
            if (available > 0) {
                state_->seenReady = available;
                break;
            }
            if (looks == 0 && aboutToWait)
                aboutToWait();
            else if (std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(WakeIntervalMs))
                return ReadResult{true, 0, true}; // nothing yet: the caller gets a look in
            ::Sleep(looks < 64 ? 0 : 1);
        }
    }
    DWORD count = 0;
    const BOOL ok = ::ReadFile(state_->readEnd.get(), buffer, static_cast<DWORD>(size), &count, nullptr);
    state_->seenReady -= std::min<DWORD>(state_->seenReady, count);
    return ReadResult{ok != 0, ok != 0 ? static_cast<std::size_t>(count) : 0};
}

namespace {

// The interrupt reaches every process attached to the console, this one too while it is attached: here it
// is ignored. A handler function, unlike the "ignore" setting, is not inherited by later children.
BOOL WINAPI IgnoreConsoleInterrupt(DWORD /*event*/) {
    return TRUE;
}

// Ctrl+C as typed into the child's own hidden console: this process attaches to it for a moment.
void InterruptConsoleOf(DWORD processId) {
    static const bool ignoring = ::SetConsoleCtrlHandler(IgnoreConsoleInterrupt, TRUE) != 0;
    if (!ignoring)
        return;
    ::FreeConsole(); // a window program has none; attaching needs that
    if (!::AttachConsole(processId))
        return; // the child has no console (a window program) or has gone: the kill will do
    ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    ::FreeConsole();
}

} // namespace

void ChildPipe::Send(Signal signal) {
    if (state_->process.get() == nullptr)
        return;
    if (signal != Signal::Kill)
        InterruptConsoleOf(::GetProcessId(state_->process.get()));
    if (signal == Signal::Interrupt)
        return;
    // Fails harmlessly once the child has ended.
    if (state_->job.get() == nullptr || !::TerminateJobObject(state_->job.get(), 1))
        ::TerminateProcess(state_->process.get(), 1);
}

void ChildPipe::Close() {
    if (state_->job.get() != nullptr) {
        try {
            reaper_.state_->jobs.push_back(std::move(state_->job));
        } catch (...) {
            state_->job.Close(); // no room to keep it (this may run in a destructor): what is left ends now
        }
        reaper_.CollectExited();
    }
    state_->process.Close();
    state_->thread.Close();
    state_->readEnd.Close();
    state_->writeEnd.Close();
}

} // namespace spillways_detail
