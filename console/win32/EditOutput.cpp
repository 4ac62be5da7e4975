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

void ReplaceSelection(HWND box, std::size_t from, std::size_t to, const std::u16string& text) {
    ::SendMessageW(box, EM_SETSEL, from, static_cast<LPARAM>(to));
    ::SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

} // namespace

EditOutput::EditOutput(HWND box) : box_(box) {
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
    // One paint for the batch, or one each time the window answers its messages: the text, the caret at the
    // end and the scroll bar with it.
    Hold();
    if (pending_.Changed()) {
        Put(std::u16string_view(pending_.tail).substr(pending_.unchanged), [&] {
            Release(caretToEnd);
            answer();
            Hold();
        });
    }
    Release(caretToEnd);
}

// While the batch goes in, the box paints nothing. A hidden box also leaves its scroll bar alone, which would
// otherwise be drawn again for every piece and cost far more than the piece itself; a box with the focus only
// stops painting, since hiding it would take the focus away.
void EditOutput::Hold() {
    hidden_ = ::IsWindowVisible(box_) != 0 && ::GetFocus() != box_;
    if (hidden_) {
        ::ShowWindow(box_, SW_HIDE);
    } else {
        ::SendMessageW(box_, WM_SETREDRAW, FALSE, 0);
    }
}

// The caret at the end when asked, and the box painted here and now: the window takes no messages while a
// command runs.
void EditOutput::Release(bool caretToEnd) {
    if (hidden_) {
        ::ShowWindow(box_, SW_SHOWNA);
    } else {
        ::SendMessageW(box_, WM_SETREDRAW, TRUE, 0);
    }
    if (caretToEnd) {
        const auto length = static_cast<WPARAM>(::SendMessageW(box_, WM_GETTEXTLENGTH, 0, 0));
        ::SendMessageW(box_, EM_SETSEL, length, static_cast<LPARAM>(length));
        ::SendMessageW(box_, EM_SCROLLCARET, 0, 0);
    }
    if (::IsWindowVisible(box_)) {
        ::RedrawWindow(box_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    }
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
