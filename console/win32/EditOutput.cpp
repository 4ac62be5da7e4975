#include "EditOutput.h"

#include <algorithm>
#include <system_error>

namespace {

// The box's own line breaks are CR LF.
std::u16string WithCrLf(std::u16string_view text) {
    std::u16string shown;
    shown.reserve(text.size() + text.size() / 16);
    for (const char16_t c : text) {
        if (c == u'\n') {
            shown += u'\r';
        }
        shown += c;
    }
    return shown;
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// Where the box may wrap a line, and what a double click selects: words between blanks, as the classic EDIT
// has them. Given to the box as its own, since the system's default (under Wine) looks for word breaks
// through all of the box's text after each change, which would make every insertion cost in proportion to the
// text shown. A break lies before a word's first character; `text` holds `length` characters.
int CALLBACK BreakAtBlanks(LPWSTR text, int at, int length, int code) {
    const auto breakBefore = [&](int i) {
        return i <= 0 || i >= length || (IsBlank(text[i - 1]) && !IsBlank(text[i]));
    };
    switch (code) {
    case WB_LEFT:
        at = std::max(at - 1, 0);
        while (!breakBefore(at)) {
            --at;
        }
        return at;
    case WB_RIGHT:
        while (at < length && !breakBefore(at)) {
            ++at;
        }
        return at;
    case WB_ISDELIMITER:
        return at < length && IsBlank(text[at]) ? TRUE : FALSE;
    default:
        return 0;
    }
}

// The selection is set only where it is not already: setting it makes the box scroll to the caret, which
// costs in proportion to its lines.
void ReplaceSelection(HWND box, std::size_t from, std::size_t to, const std::u16string& text) {
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (start != from || end != to) {
        ::SendMessageW(box, EM_SETSEL, from, static_cast<LPARAM>(to));
    }
    ::SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

// The box's text grows in place up to this many characters. The EDIT would otherwise grow its buffer by what
// each insertion needs alone (Wine), copying all of its text every time, which costs more than the insertion
// itself once the box holds megabytes. What the text never reaches is only reserved, not used.
constexpr std::size_t ReservedCharacters = std::size_t{32} << 20;
constexpr std::size_t LeastReservedCharacters = std::size_t{1} << 20;

// Gives the empty `box` a buffer of its own, as large as the system grants up to ReservedCharacters; the box
// owns it from then on, and the buffer it had is freed, as the control asks. Without it, the box keeps
// growing its own.
void ReserveText(HWND box) {
    for (std::size_t characters = ReservedCharacters; characters >= LeastReservedCharacters;
         characters /= 2) {
        HLOCAL buffer = ::LocalAlloc(LMEM_MOVEABLE, characters * sizeof(wchar_t));
        auto* const text = buffer != nullptr ? static_cast<wchar_t*>(::LocalLock(buffer)) : nullptr;
        if (text == nullptr) {
            ::LocalFree(buffer);
            continue;
        }
        *text = L'\0';
        ::LocalUnlock(buffer);
        HLOCAL const own = reinterpret_cast<HLOCAL>(::SendMessageW(box, EM_GETHANDLE, 0, 0));
        ::SendMessageW(box, EM_SETHANDLE, reinterpret_cast<WPARAM>(buffer), 0);
        if (own != nullptr) {
            ::LocalFree(own);
        }
        return;
    }
}

} // namespace

EditOutput::EditOutput(HWND box) : box_(box) {
    ReserveText(box_);
    ::SendMessageW(box_, EM_SETWORDBREAKPROC, 0, reinterpret_cast<LPARAM>(&BreakAtBlanks));
}

void EditOutput::PendingOutputs::Append(std::u16string_view text) {
    tail += text;
    const std::size_t lineBreak = text.rfind(u'\n');
    if (lineBreak != std::u16string_view::npos) {
        lineStart = tail.size() - text.size() + lineBreak + 1;
    }
}

void EditOutput::PendingOutputs::Overwrite(std::size_t column, std::u16string_view text) {
    tail.replace(lineStart + column, std::min(text.size(), LastLineLength() - column), text);
    unchanged = std::min(unchanged, lineStart + column);
}

void EditOutput::PendingOutputs::Truncate(std::size_t column) {
    if (column < LastLineLength()) {
        tail.resize(lineStart + column);
        unchanged = std::min(unchanged, lineStart + column);
    }
}

void EditOutput::Clear() {
    pending_ = {};
    tailInBox_ = 0;
    console_.Reset();
    if (::SetWindowTextW(box_, L"") == 0) {
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "SetWindowTextW");
    }
}

void EditOutput::Show(bool caretToEnd, const std::function<void()>& answer) {
    // The caret alone, where the batch just shown left it: a replacement leaves the caret after it and
    // scrolls it into view, and a flood would otherwise pay a second paint for each batch.
    DWORD selectionStart = 0;
    DWORD selectionEnd = 0;
    ::SendMessageW(box_, EM_GETSEL, reinterpret_cast<WPARAM>(&selectionStart),
                   reinterpret_cast<LPARAM>(&selectionEnd));
    if (!pending_.Changed() && selectionStart == selectionEnd &&
        selectionEnd == static_cast<DWORD>(::SendMessageW(box_, WM_GETTEXTLENGTH, 0, 0))) {
        return;
    }
    // One paint for the batch, and one between two pieces once painting is due: the text, the caret at the
    // end and the scroll bar with it. The window answers its messages between pieces all the same.
    Hold();
    if (pending_.Changed()) {
        Put(std::u16string_view(pending_.tail).substr(pending_.unchanged), [&] {
            if (OutputPacing::PaintCostFactor * painting_ <= OutputPieces::Clock::now() - painted_) {
                Paint(caretToEnd, answer);
                Hold();
            }
            answer();
        });
    }
    Paint(caretToEnd, answer);
}

// While the batch goes in, the box paints nothing. A hidden box also leaves its scroll bar alone, which would
// otherwise be drawn again for every piece and cost far more than the piece itself; a box with the focus only
// stops painting, since hiding it would take the focus away. The window leaves what the box last painted on
// screen meanwhile (Held).
void EditOutput::Hold() {
    hidden_ = ::IsWindowVisible(box_) != 0 && ::GetFocus() != box_;
    if (hidden_) {
        ::ShowWindow(box_, SW_HIDE);
    } else {
        ::SendMessageW(box_, WM_SETREDRAW, FALSE, 0);
    }
    held_ = true;
}

void EditOutput::KeepOnScreen(HWND window, HDC dc) const {
    if (held_) {
        RECT box{};
        ::GetWindowRect(box_, &box);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
        ::ExcludeClipRect(dc, box.left, box.top, box.right, box.bottom);
    }
}

// The caret at the end when asked, and the box painted here and now: the window takes no messages while a
// command runs. Where a band of the last painting took long, the box is painted in more bands, the window
// answering between two; each band costs a good deal whatever its height, so where they are quick, in fewer.
void EditOutput::Paint(bool caretToEnd, const std::function<void()>& answer) {
    auto start = OutputPieces::Clock::now();
    if (hidden_) {
        ::ShowWindow(box_, SW_SHOWNA);
    } else {
        ::SendMessageW(box_, WM_SETREDRAW, TRUE, 0);
    }
    held_ = false;
    if (caretToEnd) {
        const auto length = static_cast<WPARAM>(::SendMessageW(box_, WM_GETTEXTLENGTH, 0, 0));
        ::SendMessageW(box_, EM_SETSEL, length, static_cast<LPARAM>(length));
        ::SendMessageW(box_, EM_SCROLLCARET, 0, 0);
    }
    OutputPieces::Clock::duration painting{};
    OutputPieces::Clock::duration longest{};
    if (::IsWindowVisible(box_)) {
        RECT client{};
        ::GetClientRect(box_, &client);
        const LONG height = client.bottom - client.top;
        if (bands_ > 1) {
            ::RedrawWindow(box_, nullptr, nullptr, RDW_VALIDATE | RDW_NOFRAME); // a band at a time
        }
        for (int band = 0; band < bands_; ++band) {
            const RECT rows{client.left, client.top + height * band / bands_, client.right,
                            client.top + height * (band + 1) / bands_};
            ::RedrawWindow(box_, &rows, nullptr,
                           RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | (band == 0 ? RDW_FRAME : 0));
            const auto took = OutputPieces::Clock::now() - start;
            painting += took;
            longest = std::max(longest, took);
            if (band + 1 < bands_) {
                answer();
            }
            start = OutputPieces::Clock::now();
        }
    }
    if (longest > OutputPacing::PaintBandWithin) {
        bands_ = std::min(bands_ + 1, OutputPacing::PaintBands);
    } else if (2 * longest < OutputPacing::PaintBandWithin) {
        bands_ = std::max(bands_ - 1, 1);
    }
    painted_ = OutputPieces::Clock::now();
    painting_ = painting;
}

// `text` replaces the box's text from tail's first changed character on, the first piece in place of what
// changed, the others appended at the end: each costs in proportion to its own size, not to the line it
// belongs to nor to the text shown.
void EditOutput::Put(std::u16string_view text, const std::function<void()>& answer) {
    std::size_t from = tailInBox_ + pending_.unchanged;
    std::size_t to = tailInBox_ + pending_.inBox;
    if (text.empty()) {
        ReplaceSelection(box_, from, to, {}); // only cut short
    }
    pieces_.Put(
        text, from,
        [&](std::u16string_view piece) {
            const std::u16string shown = WithCrLf(piece);
            ReplaceSelection(box_, from, to, shown);
            from = to = from + shown.size();
        },
        answer);
    // tail keeps the box's last line only.
    const std::u16string_view lines = std::u16string_view(pending_.tail).substr(0, pending_.lineStart);
    tailInBox_ += lines.size() + static_cast<std::size_t>(std::count(lines.begin(), lines.end(), u'\n'));
    pending_.tail.erase(0, pending_.lineStart);
    pending_.lineStart = 0;
    pending_.inBox = pending_.unchanged = pending_.tail.size();
}
