// The Win32 window: its real controls in-process (focus, keys, output, runs, find, pastes), then Ombrel.exe
// itself, driven as a user would.
#include "RunnerTestSupport.h"
#include "SpillwayWindow.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <system_error>
#include <tuple>

namespace {

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// Through WM_GETTEXT, which reaches another thread's or process's controls too.
std::u16string TextOf(HWND control) {
    std::u16string text(static_cast<std::size_t>(::SendMessageW(control, WM_GETTEXTLENGTH, 0, 0)) + 1, u'\0');
    text.resize(static_cast<std::size_t>(
        ::SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

// Polls until `done` holds; a minute at most, so a broken program fails the test rather than hanging it.
bool WaitUntil(const std::function<bool()>& done) {
    for (int tries = 0; tries < 6000 && !done(); ++tries)
        ::Sleep(10);
    return done();
}

// What the last message box showed, read by the ticker below while it was up, before it pressed its OK.
struct SeenMessage {
    std::u16string title;
    std::u16string text;
    HICON icon = nullptr;
} seen;

int quits = 0;

// What the program's own loop does with the messages waiting; the quit message is counted instead.
void Pump(const SpillwayWindow& window) {
    for (MSG message{}; ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
        if (message.message == WM_QUIT) {
            ++quits;
        } else if (!window.PreTranslate(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

// A key pressed and released where the focus is.
void Press(const SpillwayWindow& window, WORD key) {
    seen = {};
    for (const UINT message : {WM_KEYDOWN, WM_KEYUP}) {
        ::PostMessageW(::GetFocus(), message, key,
                       message == WM_KEYDOWN ? 1 : static_cast<LPARAM>(0xC0000001));
        Pump(window);
    }
}

// The key state a user holding Ctrl or Alt gives (0: nothing held), which the window's loop translates with.
void Hold(BYTE modifier, BYTE also = 0) {
    BYTE keys[256] = {};
    keys[modifier] = keys[also] = 0x80;
    ::SetKeyboardState(keys);
}

// A key pressed and released with Ctrl or Alt held, as a user types it; the modifier stays held.
void Chord(HWND target, BYTE modifier, WORD key) {
    Hold(modifier);
    const bool alt = modifier == VK_MENU;
    const LPARAM context = alt ? KF_ALTDOWN << 16 : 0;
    ::PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, 1 | context);
    ::PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, key, static_cast<LPARAM>(0xC0000001) | context);
}

SeenMessage EnterIn(const SpillwayWindow& window, HWND focus, const std::u16string& line = {}) {
    ::SetFocus(focus);
    Pump(window);
    if (!line.empty())
        ::SetWindowTextW(focus, Wide(line));
    Press(window, VK_RETURN);
    return seen;
}

SpillwaySystem TestSystem() {
    SpillwaySystem system;
    system.UserName = [] { return std::u16string(u"quarn"); };
    system.ApplicationFolder = [] { return std::u16string(u"D:\\x"); };
    return system;
}

// Whether a test child is still running (each holds the named mutex), once it has had a moment to end.
bool TestChildLeftRunning() {
    for (int tries = 0; tries < 100; ++tries, ::Sleep(10)) {
        HANDLE alive = ::OpenMutexW(SYNCHRONIZE, FALSE, L"ombrel_test_child");
        if (alive == nullptr)
            return false;
        ::CloseHandle(alive);
    }
    return true;
}

const std::u16string Banner =
    u"Quarn's Command Prompt\r\nDeveloper: Halvesk\r\nSystem Path: D:\\x\\Ombrel.exe\r\n\r\n"
    u"C:\\Documents and Settings\\quarn\r\nType Help for Command List\r\n\r\n\r\n";

// Refuses to create buttons, so the window's constructor fails halfway.
LRESULT CALLBACK RefuseButtons(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND &&
        ::lstrcmpiW(reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->lpszClass, L"Button") == 0)
        return 1;
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Runs whenever messages are dispatched: in a message box's loop, and during a run inside the window's own
// handling of them. A message box of `owner` is read and dismissed.
HWND owner = nullptr;
std::function<void()> onTick = [] {};
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = nullptr;
    while ((box = ::FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr &&
           (::GetWindow(box, GW_OWNER) != owner || !::IsWindowVisible(box))) {
    }
    if (box != nullptr) {
        seen = {TextOf(box), TextOf(::GetDlgItem(box, 0xFFFF))};
        for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT))
            if (const auto icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0)))
                seen.icon = icon;
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    onTick();
}

// What reaches the EDIT control's own procedure, beneath the window's handling: the characters typed into a
// box, and how many characters replacing a box's text took away (a flood that only appends takes none).
struct Received {
    std::u16string typed;
    std::size_t replaced = 0;
} received;
WNDPROC editProc = nullptr;

LRESULT CALLBACK Record(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD from = 0;
    DWORD to = message == WM_SETTEXT ? static_cast<DWORD>(::GetWindowTextLengthW(box)) : 0;
    if (message == EM_REPLACESEL)
        ::CallWindowProcW(editProc, box, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                          reinterpret_cast<LPARAM>(&to));
    received.replaced += to - from;
    if (message == WM_CHAR)
        received.typed += static_cast<char16_t>(wParam);
    return ::CallWindowProcW(editProc, box, message, wParam, lParam);
}

// Every EDIT made from here on records into `received`.
void RecordEdits() {
    if (editProc != nullptr)
        return;
    const HWND probe = ::CreateWindowW(L"Edit", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    editProc = reinterpret_cast<WNDPROC>(
        ::SetClassLongPtrW(probe, GCLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Record)));
    ::DestroyWindow(probe);
}

// A window shown, its message boxes read and dismissed by the ticker while it lives.
struct ShownWindow {
    explicit ShownWindow(SpillwaySystem system = TestSystem())
        : window(::GetModuleHandleW(nullptr), std::move(system)) {
        window.Show();
        Pump(window);
        owner = window.Handle();
    }
    ~ShownWindow() {
        ::KillTimer(nullptr, timer);
        onTick = [] {};
    }

    SpillwayWindow window;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 5, &Tick);
};

// Failing halfway, the constructor tears the half-built window down without its procedure reaching the
// unfinished object (which would post the quit message, among other things).
TEST(Win32Window, FailedConstructionTearsTheHalfBuiltWindowDown) {
    HHOOK hook = ::SetWindowsHookExW(WH_CBT, &RefuseButtons, nullptr, ::GetCurrentThreadId());
    EXPECT_THROW(SpillwayWindow(::GetModuleHandleW(nullptr), TestSystem()), std::system_error);
    ::UnhookWindowsHookEx(hook);
    MSG quit{};
    EXPECT_FALSE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST(Win32Window, OpensWithTheBannerAndMovesTheFocusAndRunsAsADialogDoes) {
    ShownWindow shown;
    const SpillwayWindow& window = shown.window;
    const HWND outputs = window.Control(SpillwayWindow::IdOutputs);
    const HWND command = window.Control(SpillwayWindow::IdCommand);
    const HWND execute = window.Control(SpillwayWindow::IdExecute);
    const HWND exitButton = window.Control(SpillwayWindow::IdExit);

    // Opens with the banner, the caret after it and the focus in the output box.
    EXPECT_EQ(TextOf(outputs), Banner);
    EXPECT_EQ(::SendMessageW(outputs, EM_GETSEL, 0, 0), MAKELONG(Banner.size(), Banner.size()));
    EXPECT_EQ(::GetFocus(), outputs);

    // Tab walks output box, command box, Execute, Exit and round; the command box empties as it gets the
    // focus and gets its placeholder back as it loses it. Escape closes nothing.
    for (const HWND focus : {command, execute, exitButton, outputs, command}) {
        if (::GetFocus() == command)
            ::SetWindowTextW(command, L"typed");
        Press(window, VK_TAB);
        Press(window, VK_ESCAPE);
        EXPECT_EQ(::GetFocus(), focus);
        EXPECT_EQ(TextOf(command), focus == command ? u"" : u"(Enter Keyword Here)");
    }

    // Enter elsewhere runs the default button with the placeholder as the command line: the runner's stop
    // message, titled with the time of day with seconds, and the focus back where it was.
    for (const HWND focus : {outputs, execute}) {
        ::SetWindowTextW(command, L"(Enter Keyword Here)");
        const SeenMessage stop = EnterIn(window, focus);
        EXPECT_EQ(stop.text, u"Invalid Command pattern!");
        EXPECT_EQ(stop.icon, ::LoadIconW(nullptr, MAKEINTRESOURCEW(32513))); // IDI_HAND
        EXPECT_GE(std::count_if(stop.title.begin(), stop.title.end(),
                                [](char16_t c) { return c >= u'0' && c <= u'9'; }),
                  5);
        EXPECT_EQ(::GetFocus(), focus);
    }
}

TEST(Win32Window, ShowsOutputAsAConsoleAndUpRecallsTheLineAndCtrlASelectsAll) {
    RecordEdits();
    ShownWindow shown;
    const SpillwayWindow& window = shown.window;
    const HWND outputs = window.Control(SpillwayWindow::IdOutputs);
    const HWND command = window.Control(SpillwayWindow::IdCommand);

    // Output past the box's default limit, LF as CR LF, a lone CR overwriting the line's start, and a colour
    // and an erase to the line's end (cut across two reads) hidden; the caret at the end. Up recalls the
    // line.
    const std::u16string line =
        ChildCommand("w:40000 o:610a o:1b5b33316d626364650d58 o:591b o:5b4b0d o:0a31300d o:3130300a64");
    EXPECT_EQ(EnterIn(window, command, line).text, u"");
    std::u16string expected = Banner;
    for (int i = 0; i < 625; ++i)
        expected += u"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_\r\n";
    expected += u"a\r\nXY\r\n100\r\nd";
    EXPECT_EQ(TextOf(outputs), expected);
    EXPECT_EQ(::SendMessageW(outputs, EM_GETSEL, 0, 0), MAKELONG(expected.size(), expected.size()));
    Press(window, VK_UP);
    EXPECT_EQ(TextOf(command), line);

    // Ctrl+A selects the whole of the box with the focus, and its control character goes nowhere; AltGr+A
    // (Ctrl and Alt held) is a character of its own and selects nothing.
    for (const HWND box : {outputs, command}) {
        ::SetFocus(box);
        if (box == command)
            ::SetWindowTextW(command, L"typed"); // the focus emptied it
        for (const bool altGr : {true, false}) {
            ::SendMessageW(box, EM_SETSEL, 1, 1);
            received.typed.clear();
            Chord(box, VK_CONTROL, 'A');
            Hold(VK_CONTROL, altGr ? VK_MENU : 0);
            Pump(window);
            EXPECT_EQ(::SendMessageW(box, EM_GETSEL, 0, 0),
                      altGr ? MAKELONG(1, 1) : MAKELONG(0, TextOf(box).size()));
            EXPECT_EQ(received.typed.find(u'\x01'), std::u16string::npos);
        }
    }
    Hold(0);
}

TEST(Win32Window, DuringARunDropsInputAndCtrlCOrAltF4EndTheWholeTree) {
    ShownWindow shown;
    SpillwayWindow& window = shown.window;
    const HWND handle = window.Handle();
    const HWND outputs = window.Control(SpillwayWindow::IdOutputs);
    const HWND command = window.Control(SpillwayWindow::IdCommand);
    const HWND exitButton = window.Control(SpillwayWindow::IdExit);
    const int quitsBefore = quits;
    // During a run the box paints when asked (its update region is emptied), keys and clicks (on Exit, too)
    // are dropped, and Ctrl+C stops the command, here ignored by the child and the grandchild it started, so
    // the kill 3 s later ends both; a quit message met on the way stays for the program's loop. Alt+F4 ends
    // the run, the same tree, and then the program.
    bool asked = false;
    bool painted = false;
    onTick = [&] {
        if (asked && window.Form().Running() && !painted && ::GetUpdateRect(outputs, nullptr, FALSE) == 0) {
            painted = true;
            ::PostQuitMessage(0);
        }
        if (asked || !window.Form().Running() || TextOf(outputs).find(u"begun") == std::u16string::npos)
            return;
        asked = true;
        ::InvalidateRect(outputs, nullptr, TRUE);
        ::PostMessageW(command, WM_CHAR, 'x', 1);
        ::PostMessageW(exitButton, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        ::PostMessageW(exitButton, WM_LBUTTONUP, 0, 0);
        Chord(command, VK_CONTROL, 'C');
    };
    EnterIn(window, command, ChildCommand("i g:60000 l:begun s:60000 l:done"));
    Hold(0);
    EXPECT_FALSE(TestChildLeftRunning());
    EXPECT_TRUE(painted);
    EXPECT_EQ(quits, quitsBefore + 1);
    EXPECT_EQ(TextOf(outputs), Banner + u"begun\r\n");
    EXPECT_EQ(TextOf(command), u"");

    onTick = [&] {
        if (window.Form().Running())
            Chord(command, VK_MENU, VK_F4);
    };
    EnterIn(window, command, ChildCommand("i g:60000 s:60000"));
    Hold(0);
    EXPECT_FALSE(::IsWindow(handle));
    EXPECT_EQ(quits, quitsBefore + 2);
    EXPECT_FALSE(TestChildLeftRunning()) << "killed once the interrupt was ignored, or at once on closing";
}

TEST(Win32Window, WithoutARunnerEnterWarnsAndKeepsTheLineAndExitStillCloses) {
    const int quitsBefore = quits;
    // Without a runner Enter shows the warning; the box coming and going keeps the typed line. Enter on the
    // focused Exit button then runs Exit, not the default button.
    SpillwaySystem noRunner = TestSystem();
    noRunner.CreateRunner = [](Spillways::ShowStopMessage) { return std::unique_ptr<Spillways>(); };
    ShownWindow shown(noRunner);
    SpillwayWindow& bare = shown.window;
    const SeenMessage warning = EnterIn(bare, bare.Control(SpillwayWindow::IdCommand), u"keep me");
    EXPECT_EQ(warning.icon, ::LoadIconW(nullptr, MAKEINTRESOURCEW(32515))); // IDI_EXCLAMATION
    EXPECT_EQ(::GetFocus(), bare.Control(SpillwayWindow::IdCommand));
    EXPECT_EQ(TextOf(bare.Control(SpillwayWindow::IdCommand)), u"keep me");
    ::SetForegroundWindow(owner); // the box's return does not always give the window its activation back
    EXPECT_EQ(EnterIn(bare, bare.Control(SpillwayWindow::IdExit)).text, u"");
    EXPECT_FALSE(::IsWindow(owner));
    EXPECT_EQ(quits, quitsBefore + 1);
}

// Find: Ctrl+F opens the system's Find dialog; Find Next selects the match in the box, down or up, with or
// without regard to case, round the end; F3 finds again with the last options; a text that is not there gets
// the information box naming it, titled with the window's caption. A run closes the dialog.
TEST(Win32Window, FindsInTheOutput) {
    ShownWindow shown;
    SpillwayWindow& window = shown.window;
    const HWND outputs = window.Control(SpillwayWindow::IdOutputs);
    window.Form().objDOS_ReceiveOutputs(u"alpha Beta\nbeta gamma beta\n");
    window.ShowOutputsNow();
    const auto at = static_cast<WORD>(Banner.size());
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
    ::SetFocus(outputs);
    Press(window, 'F');
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
    const HWND dialog = window.FindDialog();
    ASSERT_TRUE(dialog != nullptr && ::IsWindowVisible(dialog));
    owner = dialog; // the box below is the dialog's
    const auto findNext = [&](const wchar_t* what, bool down, bool matchCase) {
        ::SetDlgItemTextW(dialog, 0x480, what); // the text, Up and Down, Match case
        ::CheckRadioButton(dialog, 0x420, 0x421, down ? 0x421 : 0x420);
        ::CheckDlgButton(dialog, 0x411, matchCase ? BST_CHECKED : BST_UNCHECKED);
        seen = {};
        ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        Pump(window);
        return ::SendMessageW(outputs, EM_GETSEL, 0, 0);
    };
    EXPECT_EQ(findNext(L"beta", true, false), MAKELONG(at + 6, at + 10));
    // A dialog over the next match moves off it.
    const LRESULT position = ::SendMessageW(outputs, EM_POSFROMCHAR, at + 12, 0);
    POINT next{LOWORD(position) + 2, HIWORD(position) + 2};
    ::ClientToScreen(outputs, &next);
    ::SetWindowPos(dialog, nullptr, next.x - 20, next.y - 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(findNext(L"beta", true, false), MAKELONG(at + 12, at + 16));
    EXPECT_NE(::GetAncestor(::WindowFromPoint(next), GA_ROOT), dialog);
    EXPECT_EQ(findNext(L"beta", true, false), MAKELONG(at + 23, at + 27));
    EXPECT_EQ(findNext(L"beta", false, false), MAKELONG(at + 12, at + 16));
    EXPECT_EQ(findNext(L"beta", true, true), MAKELONG(at + 23, at + 27));
    ::SendMessageW(outputs, EM_SETSEL, 0, 0);
    ::SetFocus(outputs);
    Press(window, VK_F3);
    EXPECT_EQ(::SendMessageW(outputs, EM_GETSEL, 0, 0), MAKELONG(at + 12, at + 16));
    findNext(L"zeta", true, false);
    EXPECT_EQ(seen.text, u"Cannot find \"zeta\"");
    EXPECT_EQ(seen.title, u"Quarn's Command Prompt");
    EXPECT_EQ(seen.icon, ::LoadIconW(nullptr, MAKEINTRESOURCEW(32516))); // IDI_ASTERISK
    EnterIn(window, window.Control(SpillwayWindow::IdCommand), ChildCommand("l:x"));
    EXPECT_FALSE(::IsWindow(dialog));
}

// Only what changed goes into the box: a 100,000-character line arriving in reads of 256 and shown in several
// batches shows whole; a carriage return reaching back into it, or a meter's updates, replace the line's end
// in place. A paste the command box would cut is refused whole; one that fits goes in whole.
TEST(Win32Window, ShowsWhatChangedAndNeverCutsAPaste) {
    RecordEdits();
    SpillwayWindow window(::GetModuleHandleW(nullptr), TestSystem());
    const auto show = [&](const std::u16string& fed) {
        window.Form().objDOS_ReceiveOutputs(fed);
        window.ShowOutputsNow();
        return TextOf(window.Control(SpillwayWindow::IdOutputs)).substr(Banner.size());
    };
    std::u16string line;
    for (std::size_t i = 0; i < 100000; ++i)
        line += i % 7 == 6 ? u' ' : static_cast<char16_t>(u'a' + i % 23);
    received.replaced = 0;
    for (std::size_t at = 0; at < line.size(); at += 256) {
        window.Form().objDOS_ReceiveOutputs(line.substr(at, 256));
        if (at % 8192 == 0)
            window.ShowOutputsNow(); // a flood appends: none of the text shown is replaced
    }
    EXPECT_EQ(show(u""), line);
    const std::u16string overwritten = u"\U0001F600" + line.substr(2);
    EXPECT_EQ(show(u"\r\U0001F600"), overwritten);
    EXPECT_EQ(received.replaced, line.size()); // from the first character changed to the line's end
    using Shown = std::tuple<const char16_t*, const char16_t*, std::size_t>; // fed, last line, replaced
    for (const auto& [fed, last, replaced] : {Shown{u"\n 10%", u" 10%", 0},
                                              {u"\r 20%\r3", u"320%", 4},
                                              {u"\r\x1b[2C5\x1b[K", u"325", 2},
                                              {u"\r\x1b[1C\x1b[K", u"3", 2}}) {
        received.replaced = 0;
        EXPECT_EQ(show(fed), overwritten + u"\r\n" + last);
        EXPECT_EQ(received.replaced, replaced) << replaced;
    }

    const HWND command = window.Control(SpillwayWindow::IdCommand);
    using Paste = std::tuple<std::size_t, std::size_t, bool>; // typed and selected, pasted, kept
    for (const auto& [typed, pasted, kept] : {Paste{0, 40000, false}, {3, 32767, false}, {3, 32766, true}}) {
        const HGLOBAL data = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (pasted + 1) * sizeof(char16_t));
        std::fill_n(static_cast<char16_t*>(::GlobalLock(data)), pasted, u'p');
        ::GlobalUnlock(data);
        ASSERT_TRUE(::OpenClipboard(command) && ::EmptyClipboard() &&
                    ::SetClipboardData(CF_UNICODETEXT, data));
        ::CloseClipboard();
        ::SetWindowTextW(command, Wide(std::u16string(typed, u't')));
        ::SendMessageW(command, EM_SETSEL, 0, -1); // the paste takes the place of what is typed
        ::SendMessageW(command, WM_PASTE, 0, 0);
        EXPECT_EQ(TextOf(command).size(), kept ? pasted : typed) << pasted;
    }
}

// Closed, or ended from outside during a run: then the system closes the run's job with the program, which
// ends the child and what it started.
TEST(OmbrelExe, OpensRunsATypedCommandWithEnterAndCloses) {
    for (const bool killed : {false, true}) {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION program{};
        ASSERT_TRUE(::CreateProcessA(OMBREL_EXE, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                     &startup, &program));

        HWND window = nullptr;
        EXPECT_TRUE(WaitUntil([&] {
            return (window = ::FindWindowW(nullptr, L"Quarn's Command Prompt")) != nullptr &&
                   ::IsWindowVisible(window);
        }));
        const HWND outputs = ::GetDlgItem(window, SpillwayWindow::IdOutputs);
        const HWND command = ::GetDlgItem(window, SpillwayWindow::IdCommand);
        EXPECT_EQ(TextOf(outputs).rfind(u"Quarn's Command Prompt\r\nDeveloper: Halvesk\r\nSystem Path: ", 0),
                  0u);

        // Tab into the command box (which empties), type there and press Enter.
        ::PostMessageW(outputs, WM_KEYDOWN, VK_TAB, 1);
        EXPECT_TRUE(WaitUntil([&] { return TextOf(command).empty(); }));
        const std::u16string typed = killed ? ChildCommand("g:60000 l:begun s:60000") : u"cmd /c echo hello";
        ::SendMessageW(command, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(typed)));
        ::PostMessageW(command, WM_KEYDOWN, VK_RETURN, 1);
        const char16_t* shown = killed ? u"begun\r\n" : u"hello\r\n";
        EXPECT_TRUE(WaitUntil([&] { return TextOf(outputs).find(shown) != std::u16string::npos; }));

        if (killed)
            ::TerminateProcess(program.hProcess, 99);
        else
            ::PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(::WaitForSingleObject(program.hProcess, 60000), WAIT_OBJECT_0);
        ::TerminateProcess(program.hProcess, 99); // if it is still there
        EXPECT_FALSE(TestChildLeftRunning());
    }
}

} // namespace
