// The Win32 window: in-process against its real controls, then Ombrel.exe itself, driven as a user would.
#include "ExecutableFolder.h"
#include "RunnerTestSupport.h"
#include "SpillwayWindow.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <system_error>
#include <string_view>
#include <thread>
#include <tlhelp32.h>

namespace {

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The control's text, through WM_GETTEXT: works for another process's controls too, and gives up on a
// program that stopped answering rather than waiting for ever.
std::u16string TextOf(HWND control) {
    constexpr UINT Patience = 30000;
    DWORD_PTR length = 0;
    if (::SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, Patience, &length) == 0) {
        return u"(no answer)";
    }
    std::u16string text(length + 1, u'\0');
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                          SMTO_ABORTIFHUNG, Patience, &copied);
    text.resize(std::min<std::size_t>(copied, length));
    return text;
}

std::u16string ClassOf(HWND window) {
    wchar_t name[64] = {};
    const int length = ::GetClassNameW(window, name, 64);
    return std::u16string(name, name + length);
}

// The screen's DPI along LOGPIXELSX or LOGPIXELSY.
int Dpi(int axis) {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, axis);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

// A rectangle in twips as pixels at the screen's DPI.
RECT Pixels(int left, int top, int width, int height) {
    const int x = Dpi(LOGPIXELSX);
    const int y = Dpi(LOGPIXELSY);
    const int l = ::MulDiv(left, x, 1440);
    const int t = ::MulDiv(top, y, 1440);
    return {l, t, l + ::MulDiv(width, x, 1440), t + ::MulDiv(height, y, 1440)};
}

SpillwaySystem TestSystem() {
    SpillwaySystem system;
    system.UserName = [] { return std::u16string(u"quarn"); };
    system.ApplicationFolder = [] { return std::u16string(u"C:\\"); };
    system.CreateRunner = [](Spillways::ShowStopMessage show) {
        return std::make_unique<Spillways>(std::move(show));
    };
    return system;
}

const std::u16string Banner = BuildBanner(u"C:\\", u"quarn");

// Polls until `done` holds; a minute at most, so a broken program fails the test rather than hanging it.
bool WaitUntil(const std::function<bool()>& done) {
    for (int tries = 0; tries < 6000; ++tries) {
        if (done()) {
            return true;
        }
        ::Sleep(10);
    }
    return done();
}

// A message box that the window shows, as seen from another thread, which then dismisses it.
struct SeenMessage {
    std::u16string title;
    std::u16string text;
    std::u16string commandTextMeanwhile;
    bool stopIcon = false;
    bool exclamationIcon = false;
};

// Watches for the next message box owned by `owner` on a thread of its own, reads it and presses OK.
class MessageBoxWatcher {
public:
    MessageBoxWatcher(HWND owner, HWND command) {
        thread_ = std::thread([this, owner, command] {
            HWND box = nullptr;
            if (WaitUntil([&] { return stop_ || (box = FindBox(owner)) != nullptr; }) && box != nullptr) {
                Read(box, command);
                ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                               reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
            }
        });
    }
    ~MessageBoxWatcher() { Seen(); }
    SeenMessage Seen() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        return seen_;
    }

private:
    static HWND FindBox(HWND owner) {
        for (HWND box = ::FindWindowExW(nullptr, nullptr, L"#32770", nullptr); box != nullptr;
             box = ::FindWindowExW(nullptr, box, L"#32770", nullptr)) {
            if (::GetWindow(box, GW_OWNER) == owner && ::IsWindowVisible(box)) {
                return box;
            }
        }
        return nullptr;
    }

    void Read(HWND box, HWND command) {
        seen_.title = TextOf(box);
        seen_.commandTextMeanwhile = TextOf(command);
        const HICON stop = ::LoadIconW(nullptr, MAKEINTRESOURCEW(32513));        // IDI_HAND
        const HICON exclamation = ::LoadIconW(nullptr, MAKEINTRESOURCEW(32515)); // IDI_EXCLAMATION
        for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            if (ClassOf(child) != u"Static") {
                continue;
            }
            const auto icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
            if (icon != nullptr) {
                seen_.stopIcon = seen_.stopIcon || icon == stop;
                seen_.exclamationIcon = seen_.exclamationIcon || icon == exclamation;
            } else if (!TextOf(child).empty()) {
                seen_.text = TextOf(child);
            }
        }
    }

    std::thread thread_;
    std::atomic<bool> stop_ = false;
    SeenMessage seen_;
};

class Win32Window : public ::testing::Test {
protected:
    explicit Win32Window(SpillwaySystem system = TestSystem())
        : window(::GetModuleHandleW(nullptr), std::move(system)),
          outputs(window.Control(SpillwayWindow::IdOutputs)),
          command(window.Control(SpillwayWindow::IdCommand)),
          execute(window.Control(SpillwayWindow::IdExecute)),
          exitButton(window.Control(SpillwayWindow::IdExit)) {
        window.Show();
        Pump();
    }

    // What the program's own loop does with one message; the quit message is counted instead.
    void Deliver(MSG& message) {
        if (message.message == WM_QUIT) {
            ++quits;
        } else if (!window.PreTranslate(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }

    void Pump() {
        for (MSG message{}; ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
            Deliver(message);
        }
    }

    // A key pressed and released where the focus is, through the program's message loop.
    void Press(WORD key) {
        for (const UINT message : {WM_KEYDOWN, WM_KEYUP}) {
            MSG msg{
                ::GetFocus(), message, key, message == WM_KEYDOWN ? 1 : static_cast<LPARAM>(0xC0000001), 0,
                {0, 0}};
            Deliver(msg);
            Pump();
        }
    }

    // Enter pressed with the focus on `focus` (and the line typed there, if any); any message box is read
    // and dismissed.
    SeenMessage EnterIn(HWND focus, const std::u16string* line = nullptr) {
        ::SetFocus(focus);
        Pump();
        if (line != nullptr) {
            ::SetWindowTextW(focus, Wide(*line));
        }
        MessageBoxWatcher watcher(window.Handle(), command);
        Press(VK_RETURN);
        return watcher.Seen();
    }

    SeenMessage Enter(const std::u16string& line) { return EnterIn(command, &line); }

    std::pair<std::size_t, std::size_t> Selection() const {
        DWORD start = 0;
        DWORD end = 0;
        ::SendMessageW(outputs, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return {start, end};
    }

    int quits = 0;
    SpillwayWindow window;
    HWND outputs;
    HWND command;
    HWND execute;
    HWND exitButton;
};

TEST(Win32Folder, FolderOfTheExecutableHasNoTrailingBackslashExceptADrivesRoot) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"C:\\Program Files\\Ombrel\\Ombrel.exe", u"C:\\Program Files\\Ombrel"},
        {u"C:\\Ombrel.exe", u"C:\\"},
        {u"\\\\server\\share\\Ombrel.exe", u"\\\\server\\share"},
        {u"Z:\\work/bin\\x.exe", u"Z:\\work/bin"},
    };
    for (const auto& [path, folder] : cases) {
        EXPECT_EQ(FolderOfWindowsPath(path), folder);
    }
}

// Refuses to create buttons, so the window's constructor fails halfway.
LRESULT CALLBACK RefuseButtons(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && ClassOf(reinterpret_cast<HWND>(wParam)) == u"Button") {
        return 1;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The half-built window is torn down without its procedure reaching the unfinished object, which would
// post the quit message among other things.
TEST(Win32WindowCreation, FailingHalfwayThrowsAndLeavesNoQuitMessage) {
    HHOOK hook = ::SetWindowsHookExW(WH_CBT, &RefuseButtons, nullptr, ::GetCurrentThreadId());
    EXPECT_THROW(SpillwayWindow(::GetModuleHandleW(nullptr), TestSystem()), std::system_error);
    ::UnhookWindowsHookEx(hook);
    MSG quit{};
    EXPECT_FALSE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(Win32Window, LaysOutItsControlsAtTheirTwipPositions) {
    RECT client{};
    ::GetClientRect(window.Handle(), &client);
    const RECT area = Pixels(0, 0, 9075, 6030);
    EXPECT_TRUE(::EqualRect(&client, &area)) << client.right << " x " << client.bottom;

    const LONG_PTR style = ::GetWindowLongPtrW(window.Handle(), GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0) << "fixed single border";

    // Centred on the work area.
    RECT frame{};
    ::GetWindowRect(window.Handle(), &frame);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(std::abs((frame.left + frame.right) - (work.left + work.right)), 1);
    EXPECT_LE(std::abs((frame.top + frame.bottom) - (work.top + work.bottom)), 1);

    const struct {
        SpillwayWindow::ControlId id;
        const char16_t* className;
        RECT twips; // left, top, width, height
        LONG_PTR styleSet;
        LONG_PTR styleClear;
    } controls[] = {
        {SpillwayWindow::IdOutputs,
         u"Edit",
         {0, 0, 9075, 5655},
         WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY,
         ES_AUTOHSCROLL | WS_HSCROLL},
        {SpillwayWindow::IdCommand, u"Edit", {0, 5640, 9135, 405}, WS_TABSTOP, ES_MULTILINE | ES_READONLY},
        {SpillwayWindow::IdExecute, u"Button", {11040, 5160, 1875, 375}, WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
        {SpillwayWindow::IdExit, u"Button", {9840, 4080, 1875, 375}, WS_TABSTOP, BS_DEFPUSHBUTTON},
        {SpillwayWindow::IdLabel, u"Static", {120, 120, 945, 240}, 0, WS_TABSTOP},
    };
    const int expectedHeight = -::MulDiv(975, Dpi(LOGPIXELSY), 7200);
    for (const auto& c : controls) {
        SCOPED_TRACE(c.id);
        HWND control = window.Control(c.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(::lstrcmpiW(Wide(ClassOf(control)), Wide(c.className)), 0);
        RECT placed{};
        ::GetWindowRect(control, &placed);
        ::MapWindowPoints(nullptr, window.Handle(), reinterpret_cast<POINT*>(&placed), 2);
        const RECT expected = Pixels(c.twips.left, c.twips.top, c.twips.right, c.twips.bottom);
        EXPECT_TRUE(::EqualRect(&placed, &expected))
            << placed.left << "," << placed.top << "-" << placed.right << "," << placed.bottom;

        const LONG_PTR controlStyle = ::GetWindowLongPtrW(control, GWL_STYLE);
        EXPECT_EQ(controlStyle & c.styleSet, c.styleSet);
        EXPECT_EQ(controlStyle & c.styleClear, 0);

        LOGFONTW font{};
        ASSERT_NE(::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)),
                               sizeof(font), &font),
                  0);
        EXPECT_STREQ(font.lfFaceName, L"Tahoma");
        EXPECT_EQ(font.lfHeight, expectedHeight);
        EXPECT_EQ(font.lfWeight, FW_NORMAL);
        EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);
        EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
    }
    EXPECT_EQ(TextOf(window.Control(SpillwayWindow::IdLabel)), u"Command:");
    EXPECT_EQ(TextOf(execute), u"Execute");
    EXPECT_EQ(TextOf(exitButton), u"Exit");
    // The label lies beneath the output box.
    EXPECT_EQ(::GetWindow(window.Control(SpillwayWindow::IdLabel), GW_HWNDNEXT), nullptr);
}

TEST_F(Win32Window, OpensWithTheBannerWhiteOnBlackAndTheFocusInTheOutputs) {
    EXPECT_EQ(TextOf(outputs), Banner);
    EXPECT_EQ(TextOf(command), frmSpillway::Placeholder);
    EXPECT_EQ(::GetFocus(), outputs);
    EXPECT_EQ(Selection(), std::make_pair(Banner.size(), Banner.size())) << "the caret after the banner";
    EXPECT_GE(static_cast<std::size_t>(::SendMessageW(outputs, EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEu);

    HDC context = ::CreateCompatibleDC(nullptr);
    for (const UINT colourMessage : {WM_CTLCOLORSTATIC, WM_CTLCOLOREDIT}) {
        const auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(window.Handle(), colourMessage,
                                                                   reinterpret_cast<WPARAM>(context),
                                                                   reinterpret_cast<LPARAM>(outputs)));
        LOGBRUSH fill{};
        ASSERT_NE(::GetObjectW(brush, sizeof(fill), &fill), 0);
        EXPECT_EQ(fill.lbColor, RGB(0, 0, 0));
        EXPECT_EQ(::GetTextColor(context), RGB(0xFF, 0xFF, 0xFF));
        EXPECT_EQ(::GetBkColor(context), RGB(0, 0, 0));
    }
    ::DeleteDC(context);
}

// Tab walks output box, command box, Execute, Exit and round again; the command box empties as it gets the
// focus and gets its placeholder back as it loses it. Escape closes nothing, wherever the focus is.
TEST_F(Win32Window, TabFollowsTheOrderAndEscapeDoesNothing) {
    const struct {
        HWND focus;
        std::u16string commandText;
    } steps[] = {
        {command, u""},
        {execute, frmSpillway::Placeholder},
        {exitButton, frmSpillway::Placeholder},
        {outputs, frmSpillway::Placeholder},
        {command, u""},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE("tab " + std::to_string(i + 1));
        if (::GetFocus() == command) {
            ::SetWindowTextW(command, L"typed");
        }
        Press(VK_TAB);
        EXPECT_EQ(::GetFocus(), steps[i].focus);
        EXPECT_EQ(TextOf(command), steps[i].commandText);

        Press(VK_ESCAPE);
        EXPECT_TRUE(::IsWindowVisible(window.Handle()));
        EXPECT_EQ(::GetFocus(), steps[i].focus);
    }
    EXPECT_EQ(TextOf(outputs), Banner) << "nothing ran";
}

TEST_F(Win32Window, EnterRunsTheTypedLineAndAppendsItsOutputWithCrLf) {
    const SeenMessage none = Enter(ChildCommand("args hello there"));
    EXPECT_EQ(none.text, u"");
    EXPECT_EQ(TextOf(command), u"");
    EXPECT_EQ(::GetFocus(), command) << "the command box keeps the focus";
    Press(VK_UP);
    EXPECT_EQ(TextOf(command), ChildCommand("args hello there")) << "Up recalls the line";
    Press(VK_DOWN);
    EXPECT_EQ(TextOf(command), u"");

    // A bare LF and a CR LF cut between two writes each show as one CR LF; a lone CR goes back to the start
    // of the line, and what follows overwrites it. Output runs straight into the next command's.
    Enter(ChildCommand("hex 610a 626364650d58 590d 0a31300d 3130300a64"));
    const std::u16string expected = Banner + u"[hello]\r\n[there]\r\na\r\nXYde\r\n100\r\nd";
    EXPECT_EQ(TextOf(outputs), expected);
    EXPECT_EQ(Selection(), std::make_pair(expected.size(), expected.size())) << "the caret at the end";
}

// Enter anywhere but in the command box runs the default button with the placeholder as the command line;
// the runner's stop message is modal, owned by the window and titled with the time of day with seconds.
TEST_F(Win32Window, EnterElsewhereRunsThePlaceholderAndShowsTheStopMessage) {
    for (const HWND focus : {outputs, execute}) {
        const SeenMessage seen = EnterIn(focus);
        EXPECT_EQ(seen.text, u"Invalid Command pattern!");
        EXPECT_TRUE(seen.stopIcon);
        EXPECT_FALSE(seen.exclamationIcon);
        EXPECT_EQ(TextOf(command), u"") << "emptied after a failed start";
        EXPECT_EQ(::GetFocus(), focus) << "the focus is back where it was";

        wchar_t withoutSeconds[64] = {};
        ::GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, withoutSeconds, 64);
        EXPECT_GT(seen.title.size(), std::wstring(withoutSeconds).size()) << "the seconds are shown";
        EXPECT_NE(seen.title.find_first_of(u"0123456789"), std::u16string::npos);
        ::SetWindowTextW(command, Wide(frmSpillway::Placeholder));
    }
    EXPECT_EQ(TextOf(outputs), Banner);
}

// Without a runner every Enter shows the warning, which keeps the typed line.
class Win32WindowWithoutRunner : public Win32Window {
protected:
    Win32WindowWithoutRunner() : Win32Window(WithoutRunner()) {}
    static SpillwaySystem WithoutRunner() {
        SpillwaySystem system = TestSystem();
        system.CreateRunner = [](Spillways::ShowStopMessage) { return std::unique_ptr<Spillways>(); };
        return system;
    }
};

// The warning box coming and going, or another window taking the focus and giving it back, leaves the
// command box's text alone: only moves between the window's own controls count.
TEST_F(Win32WindowWithoutRunner, FocusLeavingTheWindowKeepsTheTypedText) {
    Press(VK_TAB);
    ASSERT_EQ(::GetFocus(), command);
    ::SetWindowTextW(command, L"typed");

    HWND other = ::CreateWindowExW(0, L"EDIT", L"elsewhere", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                   nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    ::SetActiveWindow(other);
    ::SetFocus(other);
    Pump();
    EXPECT_EQ(TextOf(command), u"typed");
    ::SetActiveWindow(window.Handle());
    Pump();
    EXPECT_EQ(::GetFocus(), command);
    EXPECT_EQ(TextOf(command), u"typed");
    ::DestroyWindow(other);
    Pump();

    const SeenMessage warning = Enter(u"keep me");
    EXPECT_TRUE(warning.exclamationIcon);
    EXPECT_EQ(warning.commandTextMeanwhile, u"keep me");
    EXPECT_EQ(::GetFocus(), command);
    EXPECT_EQ(TextOf(command), u"keep me") << "the focus came back from the box, not from a control";
}

// Sees the output box's paints.
struct PaintHook {
    static inline std::function<void()> onPaint;
    static inline WNDPROC previous = nullptr;
    static LRESULT CALLBACK Proc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_PAINT) {
            onPaint();
        }
        return ::CallWindowProcW(previous, control, message, wParam, lParam);
    }
};

// Runs only while messages are dispatched: during a run, inside the window's own handling of them.
struct Ticker {
    static inline std::function<void()> onTick;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) { onTick(); }
};

// Whether a test child is still running, once it has had a moment to end.
bool TestChildLeftRunning() {
    for (int tries = 0; tries < 100; ++tries, ::Sleep(10)) {
        HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        bool found = false;
        for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
            found = found ||
                    std::wstring_view(entry.szExeFile).find(L"ombrel_test_child") != std::wstring_view::npos;
        ::CloseHandle(snapshot);
        if (!found)
            return false;
    }
    return true;
}

// During a run the window paints what it is asked to paint, drops keys and clicks (on Exit, too), stops the
// command on Ctrl+C, and when closed hangs the command up and ends the program once the run has unwound.
TEST_F(Win32Window, DuringARunPaintsDropsInputAndStopsOnCtrlCOrClosing) {
    bool asked = false;
    bool painted = false;
    PaintHook::onPaint = [&] { painted = painted || (asked && window.Form().Running()); };
    PaintHook::previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(outputs, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PaintHook::Proc)));
    Ticker::onTick = [&] {
        if (!window.Form().Running() || asked || TextOf(outputs).find(u"line 0") == std::u16string::npos)
            return;
        asked = true;
        ::InvalidateRect(outputs, nullptr, TRUE);
        ::PostMessageW(command, WM_CHAR, 'x', 1);
        ::PostMessageW(exitButton, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        ::PostMessageW(exitButton, WM_LBUTTONUP, 0, 0);
        ::PostMessageW(command, WM_CHAR, 3, 1); // Ctrl+C
    };
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 5, &Ticker::Tick);
    Enter(ChildCommand("slow 500 20"));
    EXPECT_TRUE(painted);
    EXPECT_NE(window.Form().objDOS(), nullptr) << "the click on Exit was dropped";
    EXPECT_EQ(TextOf(outputs).find(u"line 499"), std::u16string::npos);
    EXPECT_EQ(TextOf(command), u"");
    EXPECT_FALSE(TestChildLeftRunning());

    const HWND handle = window.Handle();
    Ticker::onTick = [&] {
        if (window.Form().Running())
            ::PostMessageW(handle, WM_CLOSE, 0, 0);
    };
    Enter(ChildCommand("slow 500 20"));
    ::KillTimer(nullptr, timer);
    EXPECT_FALSE(::IsWindow(handle));
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(TestChildLeftRunning());
}

// The EDIT control's default limit (about 32 K characters) would cut long output off without a word.
TEST_F(Win32Window, TenMegabytesOfOutputArriveWhole) {
    constexpr std::size_t Bytes = 10 * 1024 * 1024;
    constexpr std::size_t Lines = Bytes / 64; // 64-byte lines, each ending in a bare LF
    Enter(ChildCommand("write " + std::to_string(Bytes)));

    const std::size_t shown = Banner.size() + Bytes + Lines; // every LF shown as CR LF
    ASSERT_EQ(static_cast<std::size_t>(::SendMessageW(outputs, WM_GETTEXTLENGTH, 0, 0)), shown);
    const std::u16string text = TextOf(outputs);
    const std::u16string line = u"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_\r\n";
    EXPECT_EQ(text.substr(0, Banner.size() + line.size()), Banner + line);
    EXPECT_EQ(text.substr(text.size() - line.size()), line);
    EXPECT_EQ(Selection(), std::make_pair(shown, shown));
}

// Enter on the focused Exit button activates that button, not the default one: the runner is released, the
// window destroyed and the loop told to quit.
TEST_F(Win32Window, EnterOnTheExitButtonEndsTheProgram) {
    const HWND handle = window.Handle();
    EXPECT_EQ(EnterIn(exitButton).text, u"") << "no message box: Execute did not run";
    EXPECT_EQ(window.Form().objDOS(), nullptr);
    EXPECT_FALSE(::IsWindow(handle));
    EXPECT_EQ(quits, 1);
}

// --- Ombrel.exe itself ---

class RunningProgram {
public:
    explicit RunningProgram(const std::string& path) {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        std::string commandLine = "\"" + path + "\"";
        if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process_)) {
            ADD_FAILURE() << "cannot start " << path << ": error " << ::GetLastError();
        }
    }
    ~RunningProgram() {
        if (process_.hProcess != nullptr) {
            ::TerminateProcess(process_.hProcess, 99); // fails harmlessly once it has ended
            ::CloseHandle(process_.hThread);
            ::CloseHandle(process_.hProcess);
        }
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    HANDLE Process() const { return process_.hProcess; }

private:
    PROCESS_INFORMATION process_{};
};

TEST(OmbrelExe, OpensRunsATypedCommandWithEnterAndCloses) {
    RunningProgram program(OMBREL_EXE);
    ASSERT_NE(program.Process(), nullptr);

    // The program's own window, found by its caption.
    HWND window = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        window = ::FindWindowW(nullptr, Wide(frmSpillway::Caption));
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        return window != nullptr && owner == ::GetProcessId(program.Process()) && ::IsWindowVisible(window);
    })) << "no window captioned \"Quarn's Command Prompt\"";

    HWND outputs = ::GetDlgItem(window, SpillwayWindow::IdOutputs);
    HWND command = ::GetDlgItem(window, SpillwayWindow::IdCommand);
    EXPECT_EQ(TextOf(outputs).rfind(u"Quarn's Command Prompt\r\nDeveloper: Halvesk\r\nSystem Path: ", 0), 0u);
    EXPECT_NE(TextOf(outputs).find(u"\\Ombrel.exe\r\n\r\nC:\\Documents and Settings\\"),
              std::u16string::npos);
    EXPECT_EQ(TextOf(command), frmSpillway::Placeholder);

    // Tab from the output box into the command box (which empties), type, and press Enter there.
    ::PostMessageW(outputs, WM_KEYDOWN, VK_TAB, 1);
    ASSERT_TRUE(WaitUntil([&] { return TextOf(command).empty(); })) << "Tab did not reach the command box";
    ::SendMessageW(command, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"cmd /c echo hello"));
    ::PostMessageW(command, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_TRUE(WaitUntil([&] { return TextOf(outputs).find(u"hello\r\n") != std::u16string::npos; }));
    EXPECT_TRUE(WaitUntil([&] { return TextOf(command).empty(); }));

    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(::WaitForSingleObject(program.Process(), 60000), WAIT_OBJECT_0)
        << "still running after WM_CLOSE";
    DWORD exitCode = 1;
    ::GetExitCodeProcess(program.Process(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

} // namespace
