// What a command's output means for the box, a log rather than a screen: the text with its line ends,
// carriage returns, tabs and backspaces as a console treats them, colours and attributes, erasing within the
// line, moves along it and links. Every other sequence is recognised and hidden.
#pragma once

#include "EscapeParser.h"
#include "LineCells.h"
#include "OutputStyles.h"
#include "OutputText.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

// LF and CR LF end a line (also when the chunks cut them apart). A lone CR goes back to the start of the
// current line and what follows overwrites it; BS, the moves along the line (CSI G, `, C, a, D), erasing in
// it (CSI K, X) and deleting and inserting cells (CSI P, @) act on the line as a terminal's cells
// (LineCells.h), and REP (CSI b) repeats the character just printed. TAB reaches the next tab stop; VT and
// FF end the line; SO and SI switch to and from the DEC line-drawing set (chosen by ESC ( 0 and ESC ) 0);
// other controls are hidden.
class ConsoleOutput final : private EscapeParser::Listener {
public:
    // `styles`, when given, receives the colours and links of what is written into `lines`.
    explicit ConsoleOutput(OutputLines& lines, OutputStyles* styles = nullptr);

    void Feed(std::u16string_view chunk);
    // A command's output starts: default colours and character sets, no link, and no unfinished sequence
    // carried over.
    void StartRun();
    // The text was replaced: all of the above, and the cursor at the start of an empty line.
    void Reset();

private:
    friend class EscapeParser; // calls the listener's members directly (FeedTo)

    // Where the cursor is. Text is appended at the end of the last line without the cells being counted;
    // they are loaded from the line only once the cursor goes back into it.
    // Overwritten: the cursor at unit overwritten_ of the line, which starts a cluster, without its cells
    // loaded: from unit plainFrom_ up to the cursor every character is one unit and one cell, and text of
    // such characters is rewritten in place over the same. After a carriage return plainFrom_ is 0 (the unit
    // is the cell); a backspace at the end of a line (random bytes' usual one) steps back over such a
    // character without counting the cells before it.
    //
    // PastCells: at the end of a line whose cells were loaded, text appended since without them; they are
    // brought up to date from where they stop once the cursor goes back (a line of random bytes holds a
    // backspace every few hundred characters, a manual page's bold one every other character).
    // (Cells and PastCells last: both hold cells.)
    enum class Place : std::uint8_t { End, LineStart, Overwritten, Cells, PastCells };

    void Print(std::u16string_view run) override; // below the class
    void PrintElsewhere(std::u16string_view run); // than at the end of the text in the ASCII set
    void PrintDrawn(std::u16string_view run);     // in the character set chosen
    bool OverwriteInPlace(std::u16string_view run, OutputStyles::StyleId style); // false: the cells needed
    // Appending at the end of the last line, a line break or a tab is only a character of the text.
    bool PrintsLineBreaks() const override { return place_ == Place::End; }
    bool Ignores(char16_t c) const override;
    bool RewritesLine(std::u16string_view reading) override;
    bool Renders(std::uint32_t sequence) override; // below the class
    void Control(char16_t c) override;
    void ControlSequence(const EscapeParser::Csi& csi) override;
    void EscapeSequence(std::u16string_view intermediates, char16_t final) override;
    void OperatingSystemCommand(std::u16string_view text) override;

    void Append(std::u16string_view text, OutputStyles::StyleId style);
    void Gather(std::u16string_view text, OutputStyles::StyleId style); // Append inline, below the class
    void AppendCharacter(char16_t c, OutputStyles::StyleId style);      // a line break or a tab
    void StyleFromEnd(OutputStyles::StyleId style); // of what is appended next, below the class
    void AppendLong(std::u16string_view text);      // a long piece, or one the gathered text has no room for
    void Flush();                                   // the text gathered, into the store
    bool EndsInHighSurrogate() const;               // the text, gathered or stored
    LineCells& Cells(); // the last line's cells, loaded if need be, with nothing held back
    void Load();
    void Store(LineCells::Change change); // into the text and its styles
    void MoveTo(std::size_t cell);
    bool StepBack(); // a backspace without the cells; false: they are needed
    void EraseInLine(int how);
    void EraseLineAtItsStart(); // with the cursor at the start of the last line: the whole of it
    void Repeat(std::size_t count);
    void SelectGraphicRendition(const EscapeParser::Csi& csi);
    void Render(const EscapeParser::Csi& csi); // the parameters' meaning, into pen_
    OutputStyles::StyleId Pen() { return penChanged_ ? InternPen() : penId_; }
    OutputStyles::StyleId InternPen();
    void StepTo(OutputStyles::StyleId to); // a known step's pen, which has its id (below the class)

    // Where a short SGR (up to three parameters below 256, no sub-parameters) leads from a pen: a coloured
    // log switches among a few pens with a few such sequences, and each switch is then a look-up rather than
    // the parameters' meaning and the style's interning. Keyed by the parameters and the pen's id, or, for
    // those that start with a reset, the pen's link alone.
    struct PenStep {
        std::uint64_t key = 0; // never 0 for a step
        OutputStyles::StyleId to = 0;
    };
    static constexpr unsigned PenStepBits = 8;
    static std::size_t StepSlot(std::uint64_t step) {
        return static_cast<std::size_t>(step * 0x9E3779B97F4A7C15ULL >> (64 - PenStepBits));
    }

    OutputLines& lines_;
    // Short pieces of text appended at the end, gathered to go into the store together at the end of the
    // chunk, or before the line is read or changed: a coloured log's pieces between its colours then cost
    // the store one call a chunk rather than one a piece. Pieces at least LongPiece long go at once (a plain
    // flood's runs).
    static constexpr std::size_t LongPiece = 64;
    static constexpr std::size_t MaxPending = 512;
    std::array<char16_t, MaxPending> pending_{};
    std::size_t pendingSize_ = 0;
    OutputStyles* styles_;
    EscapeParser parser_;
    TextStyle pen_;
    OutputStyles::StyleId penId_ = 0;
    bool penChanged_ = false;
    std::uint64_t pendingStep_ = 0; // the step that led to pen_ while it is not interned yet, or 0
    std::array<PenStep, std::size_t{1} << PenStepBits> penSteps_{};
    // The same for a short SGR as its characters came (Renders), keyed by them and the pen's id: the
    // parameters need not be read at all. One not yet known is learnt by the sequence's usual way.
    std::array<PenStep, std::size_t{1} << PenStepBits> sequenceSteps_{};
    std::uint64_t unknownSequence_ = 0; // from Renders to the SGR that follows it at once
    std::uint64_t pendingSequence_ = 0; // that SGR's step while its pen is not interned yet, or 0
    Place place_ = Place::End;
    LineCells cells_; // while place_ is Cells, and of the line up to where it was left for PastCells
    std::size_t overwritten_ = 0; // the cursor, while place_ is Overwritten
    std::size_t plainFrom_ = 0;   // and where the characters of one cell each up to it start
    // Room kept for loading the last line into the cells and for the styles of what they change.
    std::u16string lastLine_;
    std::vector<LineCells::StyleRun> runs_;
    bool repeatable_ = false;           // what came last was printed text, which REP repeats
    std::array<bool, 2> lineDrawing_{}; // G0 and G1 hold the DEC line-drawing set
    bool shifted_ = false;              // SO: G1 is in use
};

// A flood's every run of text and every colour of a log, defined here so that the parser's loop
// (EscapeParser::FeedTo, in ConsoleOutput.cpp) takes them where it finds them, without a call each: a
// coloured log's line holds a dozen of them.
inline void ConsoleOutput::Print(std::u16string_view run) {
    if (place_ != Place::End || lineDrawing_[shifted_ ? 1 : 0]) {
        PrintElsewhere(run);
        return;
    }
    repeatable_ = run.back() != u'\n' && run.back() != u'\t';
    Gather(run, styles_ != nullptr ? Pen() : 0);
}

inline void ConsoleOutput::StyleFromEnd(OutputStyles::StyleId style) {
    if (styles_ != nullptr && styles_->StyleAtEnd() != style) {
        styles_->Append(lines_.Size() + pendingSize_, style);
    }
}

inline void ConsoleOutput::Gather(std::u16string_view text, OutputStyles::StyleId style) {
    StyleFromEnd(style);
    const std::size_t n = text.size();
    if (n >= LongPiece || pendingSize_ + n > MaxPending) {
        AppendLong(text);
        return;
    }
    // Copied eight or four at a time where there are as many, the last ones with those before them again.
    const char16_t* const from = text.data();
    char16_t* const to = pending_.data() + pendingSize_;
    if (n >= 8) {
        for (std::size_t i = 0; i + 8 <= n; i += 8) {
            std::memcpy(to + i, from + i, 8 * sizeof(char16_t));
        }
        std::memcpy(to + n - 8, from + n - 8, 8 * sizeof(char16_t));
    } else if (n >= 4) {
        std::memcpy(to, from, 4 * sizeof(char16_t));
        std::memcpy(to + n - 4, from + n - 4, 4 * sizeof(char16_t));
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            to[i] = from[i];
        }
    }
    pendingSize_ += n;
}

inline void ConsoleOutput::StepTo(OutputStyles::StyleId to) {
    penId_ = to;
    pen_ = styles_->Style(to);
    penChanged_ = false;
    pendingStep_ = 0;
    pendingSequence_ = 0;
}

inline bool ConsoleOutput::Renders(std::uint32_t sequence) {
    // Only from a pen that has its id: the step is known by it.
    if (styles_ == nullptr || penChanged_) {
        return false;
    }
    const std::uint64_t step = std::uint64_t{1} << 63 | std::uint64_t{penId_} << 31 | sequence;
    if (const PenStep& known = sequenceSteps_[StepSlot(step)]; known.key == step) {
        repeatable_ = false; // as after any control sequence
        StepTo(known.to);
        return true;
    }
    unknownSequence_ = step;
    return false;
}
