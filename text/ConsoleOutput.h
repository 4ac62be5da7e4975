// What a command's output means for the box, a log rather than a screen: the text with its line ends,
// carriage returns, tabs and backspaces as a console treats them, colours and attributes, erasing within the
// line, moves along it and links. Every other sequence is recognised and hidden.
#pragma once

#include "EscapeParser.h"
#include "OutputStyles.h"
#include "OutputText.h"

// LF and CR LF end a line (also when the chunks cut them apart). A lone CR goes back to the start of the
// current line and what follows overwrites it, character by character; BS and the moves along the line
// (CSI G, C, D) place the column the same way, and the line keeps what is not overwritten. Erasing in the
// line (CSI K) cuts it or blanks its start. TAB stays a character; VT and FF end the line; other controls
// are hidden.
class ConsoleOutput final : private EscapeParser::Listener {
public:
    // `styles`, when given, receives the colours and links of what is written into `lines`.
    explicit ConsoleOutput(OutputLines& lines, OutputStyles* styles = nullptr);

    void Feed(std::u16string_view chunk) { parser_.Feed(chunk, *this); }
    // A command's output starts: default colours, no link, and no unfinished sequence carried over.
    void StartRun();
    // The text was replaced: all of the above, and the column at the start of an empty line.
    void Reset();

private:
    void Print(std::u16string_view run) override;
    // Appending at the end of the last line, a line break or a tab is only a character of the text.
    bool PrintsLineBreaks() const override { return atEnd_; }
    void Control(char16_t c) override;
    void ControlSequence(const EscapeParser::Csi& csi) override;
    void EscapeSequence(std::u16string_view, char16_t) override {}
    void OperatingSystemCommand(std::u16string_view text) override;

    void Write(std::u16string_view text, OutputStyles::StyleId style);
    std::size_t Column() const { return atEnd_ ? lines_.LastLineLength() : column_; }
    void MoveTo(std::size_t column);
    void EraseInLine(int how);
    void SelectGraphicRendition(const EscapeParser::Csi& csi);
    OutputStyles::StyleId Pen();

    OutputLines& lines_;
    OutputStyles* styles_;
    EscapeParser parser_;
    TextStyle pen_;
    OutputStyles::StyleId penId_ = 0;
    bool penChanged_ = false;
    bool atEnd_ = true;      // the column is at the end of the last line
    std::size_t column_ = 0; // otherwise, here; it may lie past the end
};
