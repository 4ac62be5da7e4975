#include "SpillwayWindow.h"

#include "Win32Error.h"

#include <algorithm>
#include <cwchar>

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the UI calls take UTF-16 text");

constexpr wchar_t WindowClassName[] = L"OmbrelSpillway";

// The system's default for a multi-line EDIT is about 32 K characters, after which further output would be
// dropped silently; this is the largest limit the control takes.
constexpr WPARAM OutputsTextLimit = 0x7FFFFFFE;

// The longest command line the system starts: 32,767 characters with the terminating null. The control's
// default (30,000 under Wine) would cut a longer paste, and Enter would then run a line other than the one
// pasted.
constexpr WPARAM CommandTextLimit = 32766;

// The executable's icon in resources/Ombrel.rc.
constexpr WORD IconResourceId = 1;

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// Positions are kept in twips, as the window was laid out; a pixel is 15 twips at 96 dots per inch.
int TwipsToPixels(int twips, int dotsPerInch) {
    return ::MulDiv(twips, dotsPerInch, 1440);
}

// Tahoma 9.75 pt, normal weight, ANSI character set, for every control.
HFONT CreateControlFont(int dotsPerInchY) {
    const int height = -::MulDiv(975, dotsPerInchY, 7200);
    HFONT font =
        ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
    if (font == nullptr) {
        ThrowLastError("CreateFontW");
    }
    return font;
}

void RegisterWindowClass(HINSTANCE instance, WNDPROC windowProc) {
    WNDCLASSEXW windowClass{};
    if (::GetClassInfoExW(instance, WindowClassName, &windowClass) != 0) {
        return; // a second window in the same process (the tests)
    }
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IconResourceId));
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = WindowClassName;
    if (::RegisterClassExW(&windowClass) == 0) {
        ThrowLastError("RegisterClassExW");
    }
}

// The user's keys and clicks in the client area: what a run drops. The title bar and the frame stay the
// window manager's, so the window can still be moved and closed.
bool IsUserInput(const MSG& message) {
    return (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) ||
           (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST);
}

constexpr WPARAM CtrlCCharacter = 3; // what TranslateMessage makes of Ctrl+C
constexpr WPARAM CtrlACharacter = 1;

// Ctrl+A selects the whole of a box, as Windows text boxes do; the character it then brings is dropped.
bool SelectedAll(HWND control, UINT message, WPARAM wParam) {
    if (message == WM_KEYDOWN && wParam == 'A' && ::GetKeyState(VK_CONTROL) < 0 &&
        ::GetKeyState(VK_MENU) >= 0) {
        ::SendMessageW(control, EM_SETSEL, 0, -1);
        return true;
    }
    return message == WM_CHAR && wParam == CtrlACharacter;
}

// Whether pasting into the single-line `box` keeps the clipboard's text whole within the box's limit. The box
// takes the text up to its first line break, in place of the selection; beyond its limit it would keep only
// the start, without a word.
bool PasteFits(HWND box) {
    if (::IsClipboardFormatAvailable(CF_UNICODETEXT) == 0 || ::OpenClipboard(box) == 0) {
        return true; // nothing the box would take
    }
    std::size_t pasted = 0;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(::GlobalLock(data))) {
            pasted = std::wcscspn(text, L"\r\n");
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const auto kept = static_cast<std::size_t>(::GetWindowTextLengthW(box)) - (end - start);
    return kept + pasted <= static_cast<std::size_t>(::SendMessageW(box, EM_GETLIMITTEXT, 0, 0));
}

// Fixed single border, caption and system menu; no minimize or maximize box.
constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

} // namespace

std::u16string TimeOfDayTitle() {
    wchar_t buffer[128] = {};
    // No flags and no format: the user's own time format, seconds included.
    const int length = ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, std::size(buffer));
    if (length <= 1) {
        return {};
    }
    return std::u16string(buffer, buffer + length - 1);
}

SpillwayWindow::SpillwayWindow(HINSTANCE instance, SpillwaySystem system, std::function<void()> endProgram)
    : BatchedOutputControls(OutputPacing::Win32Window), instance_(instance),
      endProgram_(std::move(endProgram)), form_(*this, std::move(system)) {
    HDC screen = ::GetDC(nullptr);
    if (screen != nullptr) {
        dpiX_ = ::GetDeviceCaps(screen, LOGPIXELSX);
        dpiY_ = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
    }
    font_.reset(CreateControlFont(dpiY_));

    RegisterWindowClass(instance_, WindowProc);
    RECT frame{0, 0, TwipsToPixels(9075, dpiX_), TwipsToPixels(6030, dpiY_)};
    ::AdjustWindowRectEx(&frame, WindowStyle, FALSE, 0);
    // WM_NCCREATE ties the window to this object; window_ is set from there.
    if (::CreateWindowExW(0, WindowClassName, Wide(frmSpillway::Caption), WindowStyle, CW_USEDEFAULT,
                          CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                          instance_, this) == nullptr) {
        ThrowLastError("CreateWindowExW");
    }
    try {
        CreateControls();
        form_.Form_Load();
    } catch (...) {
        // No destructor runs for a window that was never finished, and the members go one by one: the window
        // and its controls are destroyed now, while this object is whole, with their procedures no longer
        // leading here, so none of their last messages reaches it (nor posts the quit message).
        ended_ = true;
        if (outputsDefaultProc_ != nullptr) {
            ::SetWindowLongPtrW(txtOutputs_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(outputsDefaultProc_));
        }
        if (commandDefaultProc_ != nullptr) {
            ::SetWindowLongPtrW(txtCommand_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(commandDefaultProc_));
        }
        ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
        window_.reset();
        throw;
    }
}

SpillwayWindow::~SpillwayWindow() {
    ended_ = true; // the controls lose the focus while they are torn down: no handler runs for that
    window_.reset();
}

void SpillwayWindow::CreateControls() {
    const auto create = [this](DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style,
                               RECT twips, ControlId id) {
        HWND control =
            ::CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style,
                              TwipsToPixels(static_cast<int>(twips.left), dpiX_),
                              TwipsToPixels(static_cast<int>(twips.top), dpiY_),
                              TwipsToPixels(static_cast<int>(twips.right), dpiX_),
                              TwipsToPixels(static_cast<int>(twips.bottom), dpiY_), window_.get(),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
        if (control == nullptr) {
            ThrowLastError("CreateWindowExW");
        }
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        return control;
    };

    // Created in tab order: each new child goes below the ones before it, and Tab follows that order.
    txtOutputs_ = create(WS_EX_CLIENTEDGE, L"EDIT", L"",
                         WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_NOHIDESEL,
                         {0, 0, 9075, 5655}, IdOutputs);
    ::SendMessageW(txtOutputs_, EM_SETLIMITTEXT, OutputsTextLimit, 0);
    outputs_ = std::make_unique<EditOutput>(txtOutputs_);
    txtCommand_ = create(WS_EX_CLIENTEDGE, L"EDIT", Wide(frmSpillway::Placeholder),
                         WS_TABSTOP | ES_AUTOHSCROLL, {0, 5640, 9135, 405}, IdCommand);
    ::SendMessageW(txtCommand_, EM_SETLIMITTEXT, CommandTextLimit, 0);
    // Both buttons lie outside the client area: never seen, but in the tab order, and Execute is what Enter
    // runs.
    cmdExecute_ =
        create(0, L"BUTTON", L"Execute", WS_TABSTOP | BS_DEFPUSHBUTTON, {11040, 5160, 1875, 375}, IdExecute);
    cmdExit_ = create(0, L"BUTTON", L"Exit", WS_TABSTOP | BS_PUSHBUTTON, {9840, 4080, 1875, 375}, IdExit);
    // Lies beneath the output box, never seen.
    lblCommand_ = create(0, L"STATIC", L"Command:", SS_LEFT, {120, 120, 945, 240}, IdLabel);
    ::SetWindowPos(lblCommand_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    ::SetWindowLongPtrW(txtOutputs_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    outputsDefaultProc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(txtOutputs_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OutputsProc)));
    ::SetWindowLongPtrW(txtCommand_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    commandDefaultProc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(txtCommand_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CommandProc)));

    focusWhenInactive_ = txtOutputs_; // the focus starts in the output box
    find_ = std::make_unique<OutputFind>(window_.get(), txtOutputs_, frmSpillway::Caption);
}

void SpillwayWindow::Show() {
    RECT frame{};
    ::GetWindowRect(window_.get(), &frame);
    RECT workArea{};
    if (::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0) == 0) {
        workArea = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    }
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    ::SetWindowPos(window_.get(), nullptr, workArea.left + (workArea.right - workArea.left - width) / 2,
                   workArea.top + (workArea.bottom - workArea.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(window_.get(), SW_SHOWNORMAL);
    ::SetForegroundWindow(window_.get());
    ::SetFocus(focusWhenInactive_ != nullptr ? focusWhenInactive_ : txtOutputs_);
    ::UpdateWindow(window_.get());
}

int SpillwayWindow::RunMessageLoop() {
    MSG message{};
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            return static_cast<int>(message.wParam);
        }
        if (got == -1) {
            return 1;
        }
        if (!PreTranslate(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

// The run goes on in the middle of a handler; messages are handled here as the loop would, but keys and
// clicks go nowhere, so none of them is replayed once the run is over. Ctrl+C stops the command; Alt+F4
// closes the window as the title bar's button does.
void SpillwayWindow::HandleWindowEvents() {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam)); // for the loop the run returns to
            return;
        }
        const bool altF4 = message.message == WM_SYSKEYDOWN && message.wParam == VK_F4;
        if (IsUserInput(message) && !altF4) {
            if (message.message == WM_CHAR && message.wParam == CtrlCCharacter) {
                Forward([this] { form_.StopCommand(); });
            } else if (message.message == WM_KEYDOWN) {
                ::TranslateMessage(&message); // Ctrl+C comes back as its character
            }
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    if (outputs_ != nullptr) {
        outputs_->Answered();
    }
}

bool SpillwayWindow::PreTranslate(MSG& message) const {
    if (find_ != nullptr && find_->PreTranslate(message)) {
        return true;
    }
    return window_ != nullptr && ::IsDialogMessageW(window_.get(), &message) != 0;
}

LRESULT CALLBACK SpillwayWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<SpillwayWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_.reset(window);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<SpillwayWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_.release(); // already on its way out
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->HandleMessage(window, message, wParam, lParam);
}

LRESULT SpillwayWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (find_ != nullptr && find_->Handle(message, lParam)) {
        return 0;
    }
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case DM_GETDEFID:
        // Enter runs the default button, or the button that has the focus, as a dialog's Enter does.
        return MAKELRESULT(::GetFocus() == cmdExit_ ? IdExit : IdExecute, DC_HASDEFID);
    case WM_ERASEBKGND:
        if (outputs_ != nullptr) {
            outputs_->KeepOnScreen(window, reinterpret_cast<HDC>(wParam));
        }
        break;
    case WM_CTLCOLORSTATIC: // a read-only EDIT asks with this one
    case WM_CTLCOLOREDIT:
        if (reinterpret_cast<HWND>(lParam) == txtOutputs_) {
            HDC context = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(context, RGB(0xFF, 0xFF, 0xFF));
            ::SetBkColor(context, RGB(0, 0, 0));
            return reinterpret_cast<LRESULT>(::GetStockObject(BLACK_BRUSH));
        }
        break;
    case WM_ACTIVATE:
        // A plain window forgets its focused control when it is deactivated; keep it, as a dialog does, so
        // the command box gets the focus back without a focus event of its own.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = ::GetFocus();
            if (focus != nullptr && ::IsChild(window, focus)) {
                focusWhenInactive_ = focus;
            }
        } else if (HIWORD(wParam) == 0 && focusWhenInactive_ != nullptr && ::IsWindow(focusWhenInactive_)) {
            ::SetFocus(focusWhenInactive_);
            return 0;
        }
        break;
    case WM_CLOSE: {
        bool mayClose = true;
        Forward([&] { mayClose = form_.Form_QueryUnload(); });
        if (!mayClose) {
            return 0;
        }
        break;
    }
    case WM_DESTROY:
        ended_ = true; // no further event of the window runs
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void SpillwayWindow::OnCommand(int id, int notification) {
    // Only moves between this window's own controls count: another program or a message box taking the
    // focus and giving it back leaves the command box as it is. GetParent would not do: for a message box,
    // an owned pop-up, it returns the owner, this window.
    const auto ownControl = [this](HWND other) {
        return other != nullptr && ::IsChild(window_.get(), other);
    };
    switch (id) {
    case IdCommand:
        if (notification == EN_SETFOCUS && ownControl(commandFocusFrom_)) {
            Forward([this] { form_.txtCommand_GotFocus(); });
        } else if (notification == EN_KILLFOCUS && ownControl(commandFocusTo_)) {
            Forward([this] { form_.txtCommand_LostFocus(); });
        }
        break;
    case IdExecute:
        if (notification == BN_CLICKED) {
            find_->Close(); // the window takes no input during the run
            Forward([this] { form_.cmdExecute_Click(); });
        }
        break;
    case IdExit:
        if (notification == BN_CLICKED) {
            Forward([this] { form_.cmdExit_Click(); });
        }
        break;
    default:
        break; // IDCANCEL among them: Escape closes nothing
    }
}

// The output box lets the dialog manager have Tab, Enter and Escape, as a single-line box does; a multi-line
// EDIT would otherwise keep them (and close the window on Escape). Ctrl+A selects all.
LRESULT CALLBACK SpillwayWindow::OutputsProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<SpillwayWindow*>(::GetWindowLongPtrW(control, GWLP_USERDATA));
    if (self->FindKey(message, wParam) || SelectedAll(control, message, wParam)) {
        return 0;
    }
    const LRESULT result = ::CallWindowProcW(self->outputsDefaultProc_, control, message, wParam, lParam);
    if (message == WM_GETDLGCODE) {
        return result & ~static_cast<LRESULT>(DLGC_WANTALLKEYS);
    }
    return result;
}

// Notes where the command box's focus comes from and goes to, before the box reports the move; Up and Down
// recall earlier lines.
LRESULT CALLBACK SpillwayWindow::CommandProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<SpillwayWindow*>(::GetWindowLongPtrW(control, GWLP_USERDATA));
    if (self->FindKey(message, wParam) || SelectedAll(control, message, wParam)) {
        return 0;
    }
    if (message == WM_KEYDOWN && (wParam == VK_UP || wParam == VK_DOWN)) {
        bool recalled = false;
        self->Forward([&] {
            recalled = self->form_.txtCommand_KeyDown(wParam == VK_UP ? frmSpillway::CommandKey::Up
                                                                      : frmSpillway::CommandKey::Down);
        });
        if (recalled) {
            return 0;
        }
    } else if (message == WM_PASTE && !PasteFits(control)) {
        ::MessageBeep(MB_OK); // refused whole, as a key past the limit is
        return 0;
    } else if (message == WM_SETFOCUS) {
        self->commandFocusFrom_ = reinterpret_cast<HWND>(wParam);
    } else if (message == WM_KILLFOCUS) {
        self->commandFocusTo_ = reinterpret_cast<HWND>(wParam);
    }
    return ::CallWindowProcW(self->commandDefaultProc_, control, message, wParam, lParam);
}

// Ctrl+F opens the Find dialog and F3 finds again, between runs only; the character Ctrl+F makes goes
// nowhere.
bool SpillwayWindow::FindKey(UINT message, WPARAM wParam) {
    constexpr WPARAM CtrlFCharacter = 6;
    if (message == WM_CHAR && wParam == CtrlFCharacter) {
        return true;
    }
    if (message != WM_KEYDOWN || form_.Running() || find_ == nullptr) {
        return false;
    }
    if (wParam == 'F' && ::GetKeyState(VK_CONTROL) < 0) {
        find_->Open();
        return true;
    }
    if (wParam == VK_F3) {
        find_->FindAgain();
        return true;
    }
    return false;
}

void SpillwayWindow::ReplaceOutputs(const std::u16string& text) {
    outputs_->Clear();
    outputs_->Feed(text);
}

void SpillwayWindow::AddOutputs(const std::u16string& text) {
    outputs_->Feed(text);
}

void SpillwayWindow::StartOutputsRun() {
    outputs_->StartRun();
}

void SpillwayWindow::ShowOutputsWaiting() {
    OutputsBatcher().RunnerWaiting();
}

void SpillwayWindow::ShowOutputs(bool caretToEnd) {
    // Between two pieces of a big batch the window answers its messages as it does between reads: only while
    // a command runs, when the handlers expect it.
    outputs_->Show(caretToEnd, [this] {
        if (form_.Running()) {
            HandleWindowEvents();
        }
    });
}

std::u16string SpillwayWindow::CommandText() const {
    const int length = ::GetWindowTextLengthW(txtCommand_);
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    const int copied = ::GetWindowTextW(txtCommand_, reinterpret_cast<wchar_t*>(text.data()), length + 1);
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

void SpillwayWindow::SetCommandText(const std::u16string& text) {
    if (::SetWindowTextW(txtCommand_, Wide(text)) == 0) {
        ThrowLastError("SetWindowTextW");
    }
    // The caret after the text, as typing would leave it: a recalled line is edited from its end.
    ::SendMessageW(txtCommand_, EM_SETSEL, text.size(), static_cast<LPARAM>(text.size()));
}

void SpillwayWindow::ShowMessage(const std::u16string& text, MessageIcon icon) {
    ShowOutputsNow(); // what has arrived so far stays in view behind the box
    const std::u16string title = TimeOfDayTitle();
    const UINT type = MB_OK | (icon == MessageIcon::Stop ? MB_ICONSTOP : MB_ICONEXCLAMATION);
    ::MessageBoxW(window_.get(), Wide(text), Wide(title), type);
}

void SpillwayWindow::EndProgram() {
    ended_ = true; // no further event of the window runs
    if (endProgram_) {
        endProgram_();
        return;
    }
    window_.reset(); // destroying the window posts the quit message
}
