#include "ConsoleOutput.h"

#include "CellWidth.h"
#include "EscapeParserFeed.h"
#include "SimpleClusters.h"
#include "TextScan.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

namespace {

using Csi = EscapeParser::Csi;

// Moves past the end of a line leave blanks behind them; they stop this far out. Repeating and inserting
// stop there too, so a few bytes never make megabytes of blanks.
constexpr std::size_t MaxPaddedColumn = 1024;

// How long a line may be for its cells to hold back a high surrogate at its end.
constexpr std::size_t KeptCells = 512;

// Characters that are each a cluster of one unit and one cell: no tab, surrogate, mark or pictograph.
bool OneCellEach(std::u16string_view text) {
    const std::uint8_t* const widths = BasicPlaneWidthBytes();
    for (const char16_t c : text) {
        if (c < 0xA9 ? c == u'\t' : (c >= 0xD800 && c < 0xE000) || widths[c] != 1) {
            return false;
        }
    }
    return true;
}

// Whether `c`, after a character of one cell, starts a cluster of its own rather than joining that one.
bool StartsCluster(char16_t c) {
    return c < 0xA9 || ((c < 0xD800 || c >= 0xE000) && (BasicPlaneWidthBytes()[c] & 3) != 0);
}

// Whether `c` starts a cluster of its own whatever comes before it: not a mark, a joiner, half a pair or a
// pictograph (which an earlier joiner takes in).
bool StandsAlone(char16_t c) {
    return c < 0xA9 ||
           ((c < 0xD800 || c >= 0xE000) && static_cast<unsigned>((BasicPlaneWidthBytes()[c] & 7) - 1) < 2);
}

constexpr char16_t ShiftOut = 0x0E;
constexpr char16_t ShiftIn = 0x0F;

// The DEC line-drawing set in place of '_' to '~': blank, diamond, shade, the control pictures, degree,
// plus-minus, the box corners, crossing and lines, scan lines, tees, comparisons, pi, not-equal, pound and
// the centred dot.
constexpr std::u16string_view LineDrawingSet =
    u" \u25C6\u2592\u2409\u240C\u240D\u240A\u00B0\u00B1\u2424\u240B"
    u"\u2518\u2510\u250C\u2514\u253C\u23BA\u23BB\u2500\u23BC\u23BD"
    u"\u251C\u2524\u2534\u252C\u2502\u2264\u2265\u03C0\u2260\u00A3\u00B7";
static_assert(LineDrawingSet.size() == u'~' - u'_' + 1);

std::u16string LineDrawing(std::u16string_view run) {
    std::u16string drawn(run);
    for (char16_t& c : drawn) {
        if (c >= u'_' && c <= u'~') {
            c = LineDrawingSet[c - u'_'];
        }
    }
    return drawn;
}

} // namespace

ConsoleOutput::ConsoleOutput(OutputLines& lines, OutputStyles* styles) : lines_(lines), styles_(styles) {}

void ConsoleOutput::StartRun() {
    parser_.Reset();
    pen_ = {};
    penId_ = 0;
    penChanged_ = false;
    pendingStep_ = 0;
    unknownSequence_ = 0;
    pendingSequence_ = 0;
    repeatable_ = false;
    lineDrawing_ = {};
    shifted_ = false;
}

void ConsoleOutput::Reset() {
    StartRun();
    place_ = Place::End;
    cells_.Clear();
    pendingSize_ = 0; // the text was replaced
    if (styles_ != nullptr) {
        styles_->Clear();
    }
    penSteps_.fill({}); // their ids were the table's
    sequenceSteps_.fill({});
}

void ConsoleOutput::Feed(std::u16string_view chunk) {
    parser_.FeedTo(chunk, *this);
    Flush();
}

void ConsoleOutput::PrintElsewhere(std::u16string_view run) {
    if (lineDrawing_[shifted_ ? 1 : 0]) {
        PrintDrawn(LineDrawing(run));
        return;
    }
    PrintDrawn(run);
}

void ConsoleOutput::PrintDrawn(std::u16string_view run) {
    const OutputStyles::StyleId style = styles_ != nullptr ? Pen() : 0;
    repeatable_ = run.back() != u'\n' && run.back() != u'\t';
    // Back at the end of the line, text is appended past the cells, which stay as they are: overstruck text
    // (a manual page's "N\bN") and random bytes' backspaces then count only what came since. Not on a line
    // of no cells, where the cells drop a mark with nothing to go with. Text that may go with the cluster
    // before it is written by the cells, which join them as they always have; they also hold back a high
    // surrogate at the end, for its other half, as they did with a short line. On a longer one that half was
    // appended, and the other half goes after it: the cells, counting both, then find the pair.
    if ((place_ == Place::Cells && cells_.AtEnd() && cells_.Cells() != 0) || place_ == Place::PastCells) {
        const bool endsPair =
            place_ == Place::PastCells && IsLowSurrogate(run.front()) && EndsInHighSurrogate();
        if ((!StandsAlone(run.front()) && !endsPair) ||
            (IsHighSurrogate(run.back()) &&
             lines_.LastLineLength() + pendingSize_ + run.size() <= KeptCells)) {
            Cells();
        } else {
            place_ = Place::PastCells;
            Append(run, style);
            return;
        }
    }
    if (place_ != Place::End) {
        if (place_ != Place::Cells) {
            if (OverwriteInPlace(run, style)) {
                return;
            }
            Load();
        }
        Store(cells_.Write(run, style));
        return;
    }
    Append(run, style);
}

// Hostile output (random bytes) returns to the start of half its lines and writes over them: where both the
// old text and the new are a unit and a cell a character, the store is written in place as LineCells would
// (the same units, the same styles), without loading the line's cells.
bool ConsoleOutput::OverwriteInPlace(std::u16string_view run, OutputStyles::StyleId style) {
    if (place_ == Place::LineStart) {
        Flush();
        lines_.CopyLastLine(lastLine_); // the line as it was: past the cursor it stays so
        overwritten_ = 0;
        plainFrom_ = 0;
    }
    const std::size_t from = overwritten_;
    const std::size_t to = from + run.size();
    const std::size_t old = std::min(to, lastLine_.size());
    if (!OneCellEach(run) ||
        (from < old && !OneCellEach(std::u16string_view(lastLine_).substr(from, old - from))) ||
        (to < lastLine_.size() && !StartsCluster(lastLine_[to]))) {
        return false;
    }
    place_ = Place::Overwritten;
    overwritten_ = to;
    lines_.Overwrite(from, run);
    if (styles_ != nullptr) {
        const std::size_t start = lines_.Size() - lines_.LastLineLength();
        styles_->Assign(start + from, start + to, style, lines_.Size());
    }
    return true;
}

// The other ways of appending call this one rather than each taking a copy of Gather.
void ConsoleOutput::Append(std::u16string_view text, OutputStyles::StyleId style) {
    Gather(text, style);
}

void ConsoleOutput::AppendCharacter(char16_t c, OutputStyles::StyleId style) {
    StyleFromEnd(style);
    if (pendingSize_ == MaxPending) {
        Flush();
    }
    pending_[pendingSize_++] = c;
}

bool ConsoleOutput::EndsInHighSurrogate() const {
    if (pendingSize_ != 0) {
        return IsHighSurrogate(pending_[pendingSize_ - 1]);
    }
    const std::size_t length = lines_.LastLineLength();
    std::u16string last;
    lines_.CopyLastLineFrom(length - std::min<std::size_t>(length, 1), last);
    return !last.empty() && IsHighSurrogate(last.back());
}

void ConsoleOutput::AppendLong(std::u16string_view text) {
    Flush();
    if (text.size() >= LongPiece) {
        lines_.Append(text);
        return;
    }
    std::copy(text.begin(), text.end(), pending_.data());
    pendingSize_ = text.size();
}

void ConsoleOutput::Flush() {
    if (pendingSize_ != 0) {
        lines_.Append({pending_.data(), pendingSize_});
        pendingSize_ = 0;
    }
}

void ConsoleOutput::Load() {
    Flush();
    runs_.clear();
    // Past the cells, only what was appended since is counted.
    const std::size_t from =
        lines_.Size() - lines_.LastLineLength() + (place_ == Place::PastCells ? cells_.Text().size() : 0);
    if (styles_ != nullptr) {
        for (const OutputStyles::Run& run : styles_->Runs(from, lines_.Size())) {
            runs_.push_back({run.from - from, run.to - from, run.style});
        }
    }
    if (place_ == Place::PastCells) {
        lines_.CopyLastLineFrom(cells_.Text().size(), lastLine_);
        cells_.Extend(lastLine_, runs_);
    } else {
        lines_.CopyLastLine(lastLine_);
        cells_.Load(lastLine_, runs_);
    }
    if (place_ == Place::LineStart) {
        cells_.MoveTo(0);
    } else if (place_ == Place::Overwritten) {
        cells_.MoveTo(plainFrom_ == 0 ? overwritten_ : cells_.CellOf(overwritten_)); // a cell a unit from 0
    }
    place_ = Place::Cells;
}

LineCells& ConsoleOutput::Cells() {
    if (place_ == Place::Cells) {
        Store(cells_.Settle());
    } else {
        Load();
    }
    return cells_;
}

// Only the units from the first that changed are written again.
void ConsoleOutput::Store(LineCells::Change change) {
    Flush();
    const std::u16string& text = cells_.Text();
    const std::size_t before = lines_.LastLineLength();
    if (change.from < change.to) {
        lines_.Overwrite(change.from, std::u16string_view(text).substr(change.from, change.to - change.from));
    }
    if (text.size() < before) {
        lines_.Truncate(text.size());
    }
    if (styles_ == nullptr) {
        return;
    }
    if (text.size() < before) {
        styles_->Truncate(lines_.Size());
    }
    const std::size_t start = lines_.Size() - text.size();
    cells_.StylesOf(change, runs_);
    for (const LineCells::StyleRun& run : runs_) {
        styles_->Assign(start + run.from, start + run.to, run.style, lines_.Size());
    }
}

// Every C0 control but the ones Control acts on (and ESC, which starts a sequence).
bool ConsoleOutput::Ignores(char16_t c) const {
    constexpr std::uint32_t Acted = 1U << u'\b' | 1U << u'\t' | 1U << u'\n' | 1U << u'\v' | 1U << u'\f' |
                                    1U << u'\r' | 1U << ShiftOut | 1U << ShiftIn | 1U << 0x1B;
    return c < 0x20 && (Acted >> c & 1U) == 0;
}

void ConsoleOutput::Control(char16_t c) {
    repeatable_ = false;
    switch (c) {
    case u'\n':
    case u'\v':
    case u'\f':
        if (place_ >= Place::Cells) { // Cells or PastCells
            if (place_ == Place::Cells) {
                Store(cells_.Settle());
            }
            cells_.Clear();
        }
        // In the pen's style, as a line break in a run of text.
        AppendCharacter(u'\n', styles_ != nullptr ? Pen() : 0);
        place_ = Place::End;
        break;
    case u'\r':
        if (place_ >= Place::Cells) { // Cells or PastCells
            if (place_ == Place::Cells) {
                Store(cells_.Settle());
            }
            cells_.Clear();
        }
        place_ = Place::LineStart;
        break;
    case u'\b': {
        if ((place_ == Place::End || place_ == Place::Overwritten) && StepBack()) {
            break;
        }
        const std::size_t cursor = Cells().Cursor();
        MoveTo(cursor - std::min<std::size_t>(cursor, 1));
        break;
    }
    case u'\t':
        if (place_ == Place::End || place_ == Place::PastCells) {
            AppendCharacter(u'\t', styles_ != nullptr ? Pen() : 0);
        } else {
            Store(Cells().Tab(styles_ != nullptr ? Pen() : 0));
        }
        break;
    case ShiftOut:
    case ShiftIn:
        shifted_ = c == ShiftOut;
        break;
    default:
        break; // BEL and the rest: nothing a log shows
    }
}

void ConsoleOutput::EscapeSequence(std::u16string_view intermediates, char16_t final) {
    repeatable_ = false;
    // ESC ( F and ESC ) F choose G0's and G1's character set: 0 the line-drawing one, any other ASCII.
    if (intermediates.size() == 1 && (intermediates[0] == u'(' || intermediates[0] == u')')) {
        lineDrawing_[intermediates[0] == u'(' ? 0 : 1] = final == u'0';
    }
}

// Back over a character of one unit and one cell that is a cluster of its own: one rewritten in place, or
// one of the line as it was, which stands alone where the line's first cluster has a width (only that one can
// have none, of marks alone). Random bytes' backspaces land there, mostly at the end of a line.
bool ConsoleOutput::StepBack() {
    if (place_ == Place::End) {
        Flush();
        lines_.CopyLastLine(lastLine_);
        overwritten_ = plainFrom_ = lastLine_.size();
    }
    if (overwritten_ > plainFrom_ || overwritten_ == 0) {
        overwritten_ -= std::min<std::size_t>(overwritten_, 1);
    } else if (const std::size_t before = overwritten_ - 1;
               OneCellEach(std::u16string_view(lastLine_).substr(before, 1)) &&
               (before == 0 || StartsCluster(lastLine_[0]))) {
        overwritten_ = plainFrom_ = before;
    } else {
        return false;
    }
    place_ = Place::Overwritten;
    return true;
}

void ConsoleOutput::MoveTo(std::size_t cell) {
    LineCells& cells = Cells();
    cells.MoveTo(std::min(cell, std::max(cells.Cells(), MaxPaddedColumn)));
}

void ConsoleOutput::ControlSequence(const Csi& csi) {
    const bool repeatable = std::exchange(repeatable_, false);
    if (!csi.Plain()) {
        return; // private and intermediate forms: modes, queries and the like
    }
    if (csi.final == u'm') {
        SelectGraphicRendition(csi); // the most frequent by far
        return;
    }
    const auto count = static_cast<std::size_t>(std::max(csi.Value(0, 1), 1));
    switch (csi.final) {
    case u'K':
        EraseInLine(csi.Value(0, 0));
        break;
    case u'G':
    case u'`':
        MoveTo(count - 1);
        break;
    case u'C':
    case u'a':
        MoveTo(Cells().Cursor() + count);
        break;
    case u'D': {
        const std::size_t cursor = Cells().Cursor();
        MoveTo(cursor - std::min(cursor, count));
        break;
    }
    case u'P':
    case u'X':
    case u'@':
        // At the end there is nothing after the cursor.
        if (place_ != Place::End && place_ != Place::PastCells) {
            LineCells& cells = Cells();
            const std::size_t cursor = cells.Cursor();
            Store(csi.final == u'P'   ? cells.Delete(count)
                  : csi.final == u'X' ? cells.Blank(cursor, cursor + count)
                                      : cells.Insert(std::min(count, MaxPaddedColumn)));
        }
        break;
    case u'b':
        if (repeatable) { // once: what it repeated is not repeated again
            Repeat(std::min(count, MaxPaddedColumn));
        }
        break;
    default:
        break; // the rest moves over a screen or changes its modes: a log has neither
    }
}

void ConsoleOutput::EraseLineAtItsStart() {
    // A meter's CR and erase, without counting the line's cells; a line still empty (a coloured log begins
    // each with one) has nothing to cut. What of the line is still gathered is dropped, not stored to be cut
    // at once: a meter's last reading is all of it.
    const std::size_t lineStart = static_cast<std::size_t>(
        text_scan::LastLineStart(pending_.data(), pending_.data() + pendingSize_) - pending_.data());
    const bool stored = lineStart == 0 && lines_.LastLineLength() != 0;
    if (lineStart != pendingSize_ || stored) {
        pendingSize_ = lineStart;
        if (stored) {
            lines_.Truncate(0);
        }
        if (styles_ != nullptr) {
            styles_->Truncate(lines_.Size() + pendingSize_);
        }
    }
    place_ = Place::End;
}

// What CR, ESC [ K and the reading would do one after the other, from anywhere but the cells (which a CR
// would settle first) and with the ASCII set in use.
bool ConsoleOutput::RewritesLine(std::u16string_view reading) {
    if (place_ >= Place::Cells || lineDrawing_[shifted_ ? 1 : 0]) {
        return false;
    }
    place_ = Place::LineStart;
    EraseLineAtItsStart();
    // A reading ends in neither a line break nor a tab: REP repeats its last character.
    repeatable_ = !reading.empty();
    if (!reading.empty()) {
        Append(reading, styles_ != nullptr ? Pen() : 0);
    }
    return true;
}

void ConsoleOutput::Repeat(std::size_t count) {
    const std::u16string cluster(Cells().ClusterBeforeCursor());
    std::u16string text;
    for (std::size_t i = 0; i < count && !cluster.empty(); ++i) {
        text += cluster;
    }
    if (!text.empty()) {
        Store(cells_.Write(text, styles_ != nullptr ? Pen() : 0));
    }
}

// An erase's blanks take the default colours: the box paints no background past the text.
void ConsoleOutput::EraseInLine(int how) {
    if (how == 0 && (place_ == Place::End || place_ == Place::PastCells)) {
        return; // nothing after the cursor (grep ends each coloured match with one)
    }
    if ((how == 0 || how == 2) && place_ == Place::LineStart) {
        EraseLineAtItsStart();
        return;
    }
    LineCells& cells = Cells();
    if (how == 0 || how == 2) {
        Store(cells.Cut(how == 0 ? cells.Cursor() : 0));
    } else if (how == 1) {
        Store(cells.Blank(0, cells.Cursor() + 1));
    }
}

void ConsoleOutput::OperatingSystemCommand(std::u16string_view text) {
    // OSC 8 ; parameters ; target: a link over the text up to the next OSC 8 (with an empty target).
    if (styles_ == nullptr || !text.starts_with(u"8;")) {
        return; // titles, colours, the clipboard and the rest: nothing is shown or done
    }
    const std::size_t targetAt = text.find(u';', 2);
    if (targetAt == std::u16string_view::npos) {
        return;
    }
    const std::u16string_view target = text.substr(targetAt + 1);
    pen_.link = target.empty() ? 0 : styles_->InternLink(target);
    penChanged_ = true;
    pendingStep_ = 0;
    pendingSequence_ = 0;
}
