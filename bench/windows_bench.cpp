// The Windows window's part of the benchmark, run under Wine by bench/windows_bench.sh. Drives Ombrel.exe
// from outside as a user would (Tab into the command box, the line, Enter) and reports on standard output:
//   windows_bench run OMBREL_EXE COMMAND-LINE    seconds from Enter to the command box emptied, the
//                                                characters the output box then holds, and the longest a
//                                                WM_NULL sent every 50 ms meanwhile waited for an answer
//   windows_bench stop OMBREL_EXE ctrlc|close    runs this program as a child that ignores Ctrl+C and starts
//   a
//                                                grandchild that ignores it too; once the grandchild runs,
//                                                Ctrl+C or closing the window, then the seconds until the
//                                                grandchild is gone (-1: still there after 20 s)
// The child steps `ignoring-child` and `ignoring-grandchild` are this program again.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

constexpr int IdOutputs = 1001;
constexpr int IdCommand = 1002;
constexpr wchar_t GrandchildMutex[] = L"ombrel_bench_grandchild";

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::wstring TextOf(HWND control) {
    std::wstring text(static_cast<std::size_t>(::SendMessageW(control, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

template <typename Done>
bool WaitUntil(Done done, double seconds) {
    const auto start = Clock::now();
    while (!done()) {
        if (SecondsSince(start) > seconds)
            return false;
        ::Sleep(1);
    }
    return true;
}

bool GrandchildRunning() {
    HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, GrandchildMutex);
    if (mutex == nullptr)
        return false;
    ::CloseHandle(mutex);
    return true;
}

std::wstring SelfPath() {
    wchar_t path[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// Ignores Ctrl+C, as a server or a stuck tool would, and starts `step` of this program holding the output.
int IgnoringChild(const wchar_t* step) {
    ::SetConsoleCtrlHandler(nullptr, TRUE);
    if (step != nullptr) {
        std::wstring commandLine = L"\"" + SelfPath() + L"\" " + step;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION started{};
        if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                              &startup, &started))
            return 1;
        ::CloseHandle(started.hThread);
        ::CloseHandle(started.hProcess);
    } else {
        ::CreateMutexW(nullptr, FALSE, GrandchildMutex);
    }
    std::puts(step != nullptr ? "child" : "grandchild");
    std::fflush(stdout);
    ::Sleep(INFINITE);
    return 0;
}

struct Ombrel {
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
    HWND outputs = nullptr;
    HWND command = nullptr;

    explicit Ombrel(const std::wstring& exe) {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process)) {
            std::fprintf(stderr, "windows_bench: cannot start Ombrel (error %lu)\n", ::GetLastError());
            return;
        }
        WaitUntil(
            [&] {
                window = ::FindWindowW(L"OmbrelSpillway", nullptr);
                return window != nullptr && ::IsWindowVisible(window);
            },
            30);
        outputs = ::GetDlgItem(window, IdOutputs);
        command = ::GetDlgItem(window, IdCommand);
    }
    ~Ombrel() {
        if (::IsWindow(window))
            ::PostMessageW(window, WM_CLOSE, 0, 0);
        if (::WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
            ::TerminateProcess(process.hProcess, 1);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    Ombrel(const Ombrel&) = delete;
    Ombrel& operator=(const Ombrel&) = delete;

    // Tab into the command box, the line, Enter; returns when Enter has been posted.
    void Enter(const std::wstring& line) const {
        ::PostMessageW(outputs, WM_KEYDOWN, VK_TAB, 1);
        WaitUntil([&] { return TextOf(command).empty(); }, 30);
        ::SendMessageW(command, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(line.c_str()));
        ::PostMessageW(command, WM_KEYDOWN, VK_RETURN, 1);
    }
};

// Another program's view of the window: a message sent every 50 ms, as a task switcher or an accessibility
// tool would, and how long the longest of them waited for the window to answer.
class Probe {
public:
    explicit Probe(HWND window)
        : thread_([this, window] {
              while (!done_) {
                  const auto sent = Clock::now();
                  DWORD_PTR result = 0;
                  ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &result);
                  const double waited = SecondsSince(sent);
                  longest_ = std::max(longest_.load(), waited);
                  ::Sleep(static_cast<DWORD>(std::max(0.0, 50 - waited * 1000)));
              }
          }) {}
    ~Probe() { Stop(); }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;
    double Stop() {
        done_ = true;
        if (thread_.joinable())
            thread_.join();
        return longest_;
    }

private:
    std::atomic<bool> done_{false};
    std::atomic<double> longest_{0};
    std::thread thread_;
};

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"ignoring-child")
        return IgnoringChild(L"ignoring-grandchild");
    if (mode == L"ignoring-grandchild")
        return IgnoringChild(nullptr);
    if (argc < 4 || (mode != L"run" && mode != L"stop")) {
        std::fputs("usage: windows_bench run|stop OMBREL_EXE COMMAND-LINE|ctrlc|close\n", stderr);
        return 2;
    }
    const Ombrel ombrel(argv[2]);
    if (ombrel.command == nullptr) {
        std::fputs("windows_bench: Ombrel's window did not open\n", stderr);
        return 1;
    }
    if (mode == L"run") {
        ombrel.Enter(argv[3]);
        const auto start = Clock::now();
        Probe probe(ombrel.window);
        WaitUntil([&] { return TextOf(ombrel.command).empty(); }, 3600);
        const double seconds = SecondsSince(start);
        const double longest = probe.Stop();
        std::printf("%.3f %ld %.3f\n", seconds,
                    static_cast<long>(::SendMessageW(ombrel.outputs, WM_GETTEXTLENGTH, 0, 0)), longest);
        return 0;
    }
    ombrel.Enter(L"\"" + SelfPath() + L"\" ignoring-child");
    if (!WaitUntil(GrandchildRunning, 30)) {
        std::fputs("windows_bench: the grandchild did not start\n", stderr);
        return 1;
    }
    ::Sleep(200);
    const auto start = Clock::now();
    if (std::wstring(argv[3]) == L"close")
        ::PostMessageW(ombrel.window, WM_CLOSE, 0, 0);
    else
        ::PostMessageW(ombrel.command, WM_CHAR, 3, 1); // what Ctrl+C becomes in Ombrel's queue
    const bool gone = WaitUntil([] { return !GrandchildRunning(); }, 20);
    std::printf("%.3f\n", gone ? SecondsSince(start) : -1.0);
    return 0;
}
