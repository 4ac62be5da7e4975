#include "OutputFind.h"

#include "TextSearch.h"

#include <string_view>

OutputFind::OutputFind(HWND owner, HWND box, std::u16string caption)
    : owner_(owner), box_(box), caption_(std::move(caption)),
      findMessage_(::RegisterWindowMessageW(FINDMSGSTRINGW)) {
    request_.lStructSize = sizeof(request_);
    request_.hwndOwner = owner_;
    request_.lpstrFindWhat = what_;
    request_.wFindWhatLen = static_cast<WORD>(std::size(what_));
    request_.Flags = FR_DOWN | FR_HIDEWHOLEWORD; // whole words are not offered
}

OutputFind::~OutputFind() {
    Close();
}

void OutputFind::Open() {
    if (dialog_ != nullptr) {
        ::SetActiveWindow(dialog_);
        return;
    }
    request_.Flags &= ~static_cast<DWORD>(FR_FINDNEXT | FR_DIALOGTERM);
    dialog_ = ::FindTextW(&request_);
}

void OutputFind::FindAgain() {
    if (what_[0] == L'\0') {
        Open();
        return;
    }
    Find(lastDown_, lastMatchCase_);
}

void OutputFind::Close() {
    if (dialog_ != nullptr && ::IsWindow(dialog_)) {
        ::DestroyWindow(dialog_);
    }
    dialog_ = nullptr;
}

bool OutputFind::PreTranslate(MSG& message) const {
    return dialog_ != nullptr && ::IsDialogMessageW(dialog_, &message) != 0;
}

bool OutputFind::Handle(UINT message, LPARAM lParam) {
    if (message != findMessage_ || findMessage_ == 0) {
        return false;
    }
    const auto* request = reinterpret_cast<const FINDREPLACEW*>(lParam);
    if ((request->Flags & FR_DIALOGTERM) != 0) {
        dialog_ = nullptr;
    } else if ((request->Flags & FR_FINDNEXT) != 0) {
        lastDown_ = (request->Flags & FR_DOWN) != 0;
        lastMatchCase_ = (request->Flags & FR_MATCHCASE) != 0;
        Find(lastDown_, lastMatchCase_);
    }
    return true;
}

// The box's own buffer is searched where it lies (a multi-line EDIT lends it with EM_GETHANDLE); positions
// are the box's, line breaks as CR LF.
void OutputFind::Find(bool down, bool matchCase) {
    const std::u16string_view what(reinterpret_cast<const char16_t*>(what_));
    const auto length = static_cast<std::size_t>(::SendMessageW(box_, WM_GETTEXTLENGTH, 0, 0));
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(box_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const TextSearch search(what, matchCase);
    const auto direction = down ? TextSearch::Direction::Forward : TextSearch::Direction::Backward;
    const auto buffer = reinterpret_cast<HLOCAL>(::SendMessageW(box_, EM_GETHANDLE, 0, 0));
    const auto* text = buffer != nullptr ? static_cast<const char16_t*>(::LocalLock(buffer)) : nullptr;
    const bool locked = text != nullptr;
    std::u16string copy; // only where the box does not lend its buffer
    if (!locked) {
        copy.resize(length + 1);
        copy.resize(static_cast<std::size_t>(
            ::GetWindowTextW(box_, reinterpret_cast<wchar_t*>(copy.data()), static_cast<int>(copy.size()))));
        text = copy.data();
    }
    const auto match =
        search.Find(SearchedCharacters({text, locked ? length : copy.size()}), down ? end : start, direction);
    if (locked) {
        ::LocalUnlock(buffer);
    }
    if (!match) {
        const std::u16string message = u"Cannot find \"" + std::u16string(what) + u"\"";
        ::MessageBoxW(dialog_ != nullptr ? dialog_ : owner_,
                      reinterpret_cast<const wchar_t*>(message.c_str()),
                      reinterpret_cast<const wchar_t*>(caption_.c_str()), MB_OK | MB_ICONINFORMATION);
        return;
    }
    ::SendMessageW(box_, EM_SETSEL, match->from, static_cast<LPARAM>(match->to));
    ::SendMessageW(box_, EM_SCROLLCARET, 0, 0);
    MoveDialogOffMatch(match->from, match->to);
}

// Where the match is drawn, on screen: from its first character's row to its last one's, across the box
// unless it lies on one row.
RECT OutputFind::MatchRectangle(std::size_t from, std::size_t to) const {
    const LRESULT first = ::SendMessageW(box_, EM_POSFROMCHAR, from, 0);
    const LRESULT last = ::SendMessageW(box_, EM_POSFROMCHAR, to > from ? to - 1 : from, 0);
    RECT client{};
    ::GetClientRect(box_, &client);
    if (first == -1 || last == -1) {
        return {};
    }
    TEXTMETRICW metrics{};
    if (HDC context = ::GetDC(box_)) {
        const HGDIOBJ old =
            ::SelectObject(context, reinterpret_cast<HGDIOBJ>(::SendMessageW(box_, WM_GETFONT, 0, 0)));
        ::GetTextMetricsW(context, &metrics);
        ::SelectObject(context, old);
        ::ReleaseDC(box_, context);
    }
    const auto x = [](LRESULT at) { return static_cast<LONG>(static_cast<short>(LOWORD(at))); };
    const auto y = [](LRESULT at) { return static_cast<LONG>(static_cast<short>(HIWORD(at))); };
    RECT match{client.left, y(first), client.right, y(last) + metrics.tmHeight};
    if (y(first) == y(last)) {
        match.left = x(first);
        match.right = x(last) + metrics.tmMaxCharWidth;
    }
    ::MapWindowPoints(box_, nullptr, reinterpret_cast<POINT*>(&match), 2);
    return match;
}

// A dialog over the match it has just selected hides it: it moves below the match, or above it where the
// screen has no room below, keeping its left edge.
void OutputFind::MoveDialogOffMatch(std::size_t from, std::size_t to) {
    RECT dialog{};
    RECT match = MatchRectangle(from, to);
    RECT overlap{};
    if (dialog_ == nullptr || ::GetWindowRect(dialog_, &dialog) == 0 ||
        ::IntersectRect(&overlap, &dialog, &match) == 0) {
        return;
    }
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoW(::MonitorFromRect(&match, MONITOR_DEFAULTTONEAREST), &monitor) == 0) {
        return;
    }
    const LONG height = dialog.bottom - dialog.top;
    LONG top = match.bottom;
    if (top + height > monitor.rcWork.bottom) {
        top = match.top - height;
        if (top < monitor.rcWork.top) {
            return; // no room either side: it stays where the user put it
        }
    }
    ::SetWindowPos(dialog_, nullptr, dialog.left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
