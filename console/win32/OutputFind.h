// Find in the output box on Windows: the system's own modeless Find dialog (Match case, Up and Down) and F3
// to find again with the last options. A match is selected in the box and scrolled into view; when there is
// none, a message box says so and names the text, as Windows programs do. The dialog moves off a match it
// covers.
#pragma once

#include <windows.h>

#include <commdlg.h>
#include <string>

class OutputFind {
public:
    // `owner` gets the dialog's messages (see Handle); `box` is the multi-line EDIT searched; `caption`
    // titles the message box.
    OutputFind(HWND owner, HWND box, std::u16string caption);
    ~OutputFind();
    OutputFind(const OutputFind&) = delete;
    OutputFind& operator=(const OutputFind&) = delete;

    void Open();      // Ctrl+F: the dialog, or the focus to it when it is open
    void FindAgain(); // F3: the next match with the last options; the dialog when nothing was sought yet
    void Close();     // a run starts: the window takes no input until it ends
    bool PreTranslate(MSG& message) const;    // the dialog's keys (Tab, Enter, Escape) as a dialog's
    bool Handle(UINT message, LPARAM lParam); // the dialog's message to the owner: true when it was one
    HWND Dialog() const { return dialog_; }

private:
    void Find(bool down, bool matchCase);
    RECT MatchRectangle(std::size_t from, std::size_t to) const;
    void MoveDialogOffMatch(std::size_t from, std::size_t to);

    HWND owner_;
    HWND box_;
    std::u16string caption_;
    UINT findMessage_;
    wchar_t what_[256] = {};
    FINDREPLACEW request_{}; // the dialog reads and writes it while it is open
    HWND dialog_ = nullptr;
    bool lastDown_ = true; // the options of the last Find Next, for F3
    bool lastMatchCase_ = false;
};
