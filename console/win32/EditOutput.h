// The output box on Windows, a read-only multi-line EDIT: what the commands print is taken through the
// console's rules (carriage returns, erasing, sequences hidden) and put into the box a batch at a time.
#pragma once

#include "ConsoleOutput.h"
#include "OutputBatcher.h"
#include "OutputText.h"

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

class EditOutput final {
public:
    explicit EditOutput(HWND box);
    EditOutput(const EditOutput&) = delete;
    EditOutput& operator=(const EditOutput&) = delete;

    void Feed(std::u16string_view chunk) { console_.Feed(chunk); }
    void StartRun() { console_.StartRun(); }
    // Empties the box; throws std::system_error when it cannot.
    void Clear();
    // Puts what has arrived into the box, and the caret at the end when asked, in one paint. `answer` lets
    // the window answer its messages between two pieces of a big batch.
    void Show(bool caretToEnd, const std::function<void()>& answer);
    void Answered() { pieces_.Answered(); }
    // While a batch goes in, the box paints nothing: the window erasing its background through `dc` leaves
    // the box's last painting on screen.
    void KeepOnScreen(HWND window, HDC dc) const;

private:
    // What arrived since the last batch, over the box's last line, which a carriage return, a backspace or an
    // erase may overwrite. Only what changed goes into the box: appended at its end while nothing reached
    // back into the box's text, otherwise from the first character overwritten on.
    class PendingOutputs final : public OutputLines {
    public:
        std::size_t LastLineLength() const override { return tail.size() - lineStart; }
        std::u16string LastLine() const override { return tail.substr(lineStart); }
        void Append(std::u16string_view text) override;
        void Overwrite(std::size_t column, std::u16string_view text) override;
        void Truncate(std::size_t column) override;
        // Of tail only, from the box's last line on; what the box already holds before it is not counted.
        std::size_t Size() const override { return tail.size(); }
        bool Changed() const { return unchanged < inBox || tail.size() > inBox; }

        std::u16string tail;       // the box's last line as it now reads, and what followed it
        std::size_t lineStart = 0; // of the last line in tail
        std::size_t inBox = 0;     // how much of tail the box holds (all of it on its last line)
        std::size_t unchanged = 0; // how much of that still reads the same
    };

    void Put(std::u16string_view text, const std::function<void()>& answer);
    void Hold();
    void Paint(bool caretToEnd, const std::function<void()>& answer);

    HWND box_;
    PendingOutputs pending_;
    ConsoleOutput console_{pending_}; // one colour: the sequences are only taken out
    std::size_t tailInBox_ = 0;       // where tail starts in the box's own text (CR LF line breaks)
    OutputPieces pieces_;
    bool hidden_ = false; // while a batch goes in
    bool held_ = false;
    OutputPieces::Clock::time_point painted_{}; // when the box was last painted
    OutputPieces::Clock::duration painting_{};  // what that took
    int bands_ = 1;                             // how many bands the next painting is done in
};
