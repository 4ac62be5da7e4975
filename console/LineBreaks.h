// Output text for display: a command's line breaks come as CR LF, a lone LF or a lone CR, and a CR LF may be
// cut between two chunks. Each of them becomes one line break of the display's own kind.
#pragma once

#include <string>
#include <string_view>

class LineBreakNormaliser {
public:
    // `lineBreak` is what the display takes as one line break: "\n" for a Qt text box, "\r\n" for an EDIT
    // control.
    explicit LineBreakNormaliser(std::u16string_view lineBreak) : lineBreak_(lineBreak) {}

    // The display text for the next chunk of the stream. A CR at the end of a chunk gives its line break at
    // once; an LF that starts the next chunk then gives none.
    std::u16string Normalise(std::u16string_view chunk);

    // Starts a new stream (the text is replaced as a whole).
    void Reset() { afterCarriageReturn_ = false; }

private:
    std::u16string lineBreak_;
    bool afterCarriageReturn_ = false;
};
