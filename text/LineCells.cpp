#include "LineCells.h"

#include "CellWidth.h"
#include "SimpleClusters.h"
#include "TextScan.h"

#include <algorithm>
#include <array>

namespace {

constexpr char32_t ZeroWidthJoiner = 0x200D;
constexpr char32_t EmojiPresentation = 0xFE0F;

std::size_t TabCells(std::size_t cell) {
    return LineCells::TabWidth - cell % LineCells::TabWidth;
}

// Latin-1, the bulk of binary output taken as text, without a call for the characters past ASCII.
const std::array<CellWidth, 0x100> Latin1Widths = [] {
    std::array<CellWidth, 0x100> widths{};
    for (char32_t c = 0; c < widths.size(); ++c) {
        widths[c] = CellWidthOf(c);
    }
    return widths;
}();

CellWidth WidthOf(char32_t c) {
    return c < Latin1Widths.size() ? Latin1Widths[c] : CellWidthOfOther(c);
}

// The character at text[i] and how many units it takes; a lone surrogate stands for itself.
char32_t CharacterAt(std::u16string_view text, std::size_t i, std::size_t& units) {
    units = 1;
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
        units = 2;
        return 0x10000 + ((static_cast<char32_t>(text[i]) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
    }
    return text[i];
}

// A character that is a cluster of one cell on its own after one of some cells: not a tab, a surrogate, a
// mark or a pictograph.
bool OneCellAlone(char16_t u, const std::uint8_t* widths) {
    return u < 0xA9 ? u != u'\t' : (u < 0xD800 || u >= 0xE000) && widths[u] == 1;
}

// Whether text_scan::LatinOneCellLength agrees with the widths: if not, every character is looked up.
const bool LatinOneCellAgrees = [] {
    const std::uint8_t* const widths = BasicPlaneWidthBytes();
    for (char16_t c = 0; c <= 0xFF; ++c) {
        if ((text_scan::LatinOneCellLength(&c, &c + 1) == 1) != OneCellAlone(c, widths)) {
            return false;
        }
    }
    const char16_t replacement = 0xFFFD;
    return OneCellAlone(replacement, widths);
}();

// How many of the characters from text[from] on are each a cluster of one cell on its own.
std::size_t OneCellAloneLength(std::u16string_view text, std::size_t from, const std::uint8_t* widths) {
    std::size_t i = from;
    if (LatinOneCellAgrees) {
        i += text_scan::LatinOneCellLength(text.data() + from, text.data() + text.size());
    }
    while (i < text.size() && OneCellAlone(text[i], widths)) {
        ++i;
    }
    return i - from;
}

// Calls emit(from, to, cells) for each cluster of `text`, which starts at cell `cell`: a character with its
// marks and joiners, an emoji joined by zero-width joiners (the cells of each), or a tab to the next stop.
// Where characters of one cell on their own follow one another, all but the last of them go to
// emitRun(from, to, cell) together instead: units [from, to), a cluster of one cell each from cell `cell` on.
template <typename Emit, typename EmitRun>
void Clusters(std::u16string_view text, std::size_t cell, Emit emit, EmitRun emitRun) {
    std::size_t start = 0;
    std::size_t width = 0;
    bool open = false;
    bool pictograph = false;
    bool tab = false; // the cluster open is a tab's, which takes marks and joiners but no emoji after them
    bool joiner = false;
    const std::uint8_t* const widths = BasicPlaneWidthBytes();
    for (std::size_t i = 0, units = 0; i < text.size(); i += units) {
        if (width != 0 && OneCellAlone(text[i], widths)) {
            // Ends the cluster before it (one of some cells is open) and starts its own, of one cell; so do
            // those like it after it, each of which ends the one before.
            emit(start, i, width);
            cell += width;
            const std::size_t last = i + OneCellAloneLength(text, i + 1, widths);
            if (last != i) {
                emitRun(i, last, cell);
                cell += last - i;
            }
            start = last;
            width = 1;
            pictograph = false;
            tab = false;
            joiner = false;
            i = last;
            units = 1;
            continue;
        }
        const char32_t c = CharacterAt(text, i, units);
        const CellWidth w = WidthOf(c);
        const bool joinsEmoji = joiner && w.pictograph && !tab;
        if (open && c != u'\t' && (w.cells == 0 || joinsEmoji || width == 0)) {
            width += w.cells;
            if (c == EmojiPresentation && pictograph && width == 1) {
                width = 2;
            }
        } else {
            if (open) {
                emit(start, i, width);
                cell += width;
            }
            open = true;
            start = i;
            tab = c == u'\t';
            width = tab ? TabCells(cell) : w.cells;
            pictograph = w.pictograph;
        }
        joiner = c == ZeroWidthJoiner;
    }
    if (open) {
        emit(start, text.size(), width);
    }
}

template <typename Emit>
void Clusters(std::u16string_view text, std::size_t cell, Emit emit) {
    Clusters(text, cell, emit, [&emit](std::size_t from, std::size_t to, std::size_t) {
        for (std::size_t i = from; i < to; ++i) {
            emit(i, i + 1, 1);
        }
    });
}

} // namespace

void LineCells::Piece::Add(std::u16string_view units, std::size_t width, StyleId style) {
    glyphs.push_back({text.size(), cells});
    for (const char16_t unit : units) { // mostly one: a step each rather than a general insertion
        text.push_back(unit);
        styles.push_back(style);
    }
    cells += width;
}

void LineCells::Piece::AddBlanks(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        Add(u" ", 1, 0);
    }
}

void LineCells::Load(std::u16string_view text, const std::vector<StyleRun>& styles) {
    text_.assign(text);
    glyphs_.clear();
    cells_ = 0;
    pending_ = 0;
    styles_.assign(text_.size(), 0);
    for (const StyleRun& run : styles) {
        std::fill(styles_.begin() + static_cast<std::ptrdiff_t>(run.from),
                  styles_.begin() + static_cast<std::ptrdiff_t>(std::min(run.to, styles_.size())), run.style);
    }
    AddGlyphs(text_, 0);
    cursor_ = cells_;
}

// Clusters only ever look back within a cluster, so counting again from the start of the last one (whose
// marks or joiners may have come with the tail) gives what counting the whole line would.
void LineCells::Extend(std::u16string_view tail, const std::vector<StyleRun>& styles) {
    const std::size_t from = text_.size();
    text_.append(tail);
    styles_.resize(text_.size(), 0);
    for (const StyleRun& run : styles) {
        std::fill(styles_.begin() + static_cast<std::ptrdiff_t>(from + run.from),
                  styles_.begin() + static_cast<std::ptrdiff_t>(std::min(from + run.to, styles_.size())),
                  run.style);
    }
    std::size_t unit = 0;
    cells_ = 0;
    if (!glyphs_.empty()) {
        unit = glyphs_.back().unit;
        cells_ = glyphs_.back().cell;
        glyphs_.pop_back();
    }
    AddGlyphs(std::u16string_view(text_).substr(unit), unit);
    pending_ = 0;
    cursor_ = cells_;
}

void LineCells::AddGlyphs(std::u16string_view text, std::size_t unit) {
    const std::size_t before = glyphs_.size();
    glyphs_.resize(before + text.size());
    glyphs_.resize(before + GlyphsOf(text, cells_, unit, cells_, glyphs_.data() + before));
}

// The glyphs are written through a pointer, into room for one a unit, the most there can be: the characters
// of one cell each that most of a line holds cost a store each rather than a call.
std::size_t LineCells::GlyphsOf(std::u16string_view text, std::size_t cell, std::size_t unit,
                                std::size_t& cells, Glyph* out) {
    std::size_t count = 0;
    Clusters(
        text, cell,
        [&](std::size_t from, std::size_t, std::size_t width) {
            out[count++] = {unit + from, cells};
            cells += width;
        },
        [&](std::size_t from, std::size_t to, std::size_t) {
            for (std::size_t k = 0; k < to - from; ++k) {
                out[count + k] = {unit + from + k, cells + k};
            }
            count += to - from;
            cells += to - from;
        });
    return count;
}

std::size_t LineCells::GlyphAt(std::size_t cell) const {
    const auto after = std::upper_bound(glyphs_.begin(), glyphs_.end(), cell,
                                        [](std::size_t c, const Glyph& g) { return c < g.cell; });
    return static_cast<std::size_t>(after - glyphs_.begin()) - 1;
}

std::size_t LineCells::CellOf(std::size_t unit) const {
    const auto at = std::lower_bound(glyphs_.begin(), glyphs_.end(), unit,
                                     [](const Glyph& g, std::size_t u) { return g.unit < u; });
    return at != glyphs_.end() ? at->cell : cells_;
}

void LineCells::StylesOf(Change change, std::vector<StyleRun>& runs) const {
    runs.clear();
    for (std::size_t i = change.from, j = i; i < change.to; i = j) {
        while (++j < change.to && styles_[j] == styles_[i]) {
        }
        runs.push_back({i, j, styles_[i]});
    }
}

std::u16string_view LineCells::ClusterBeforeCursor() const {
    if (cursor_ == 0 || cursor_ > cells_) {
        return {};
    }
    const std::size_t k = GlyphAt(cursor_ - 1);
    const std::u16string_view cluster(text_.data() + glyphs_[k].unit, GlyphEnd(k) - glyphs_[k].unit);
    return cluster.starts_with(u'\t') ? std::u16string_view() : cluster;
}

LineCells::Change LineCells::Write(std::u16string_view text, StyleId style) {
    std::u16string joined;
    if (pending_ != 0) {
        joined.assign(1, pending_).append(text);
        text = joined;
        pending_ = 0;
    }
    if (!text.empty() && IsHighSurrogate(text.back())) {
        pending_ = text.back();
        pendingStyle_ = style;
        text.remove_suffix(1);
    }
    Change change = Continue(text, style);
    if (text.empty()) {
        return change;
    }
    if (cursor_ == cells_) { // appended: nothing to replace
        const std::size_t end = text_.size();
        AddGlyphs(text, end);
        text_.append(text);
        styles_.insert(styles_.end(), text.size(), style);
        cursor_ = cells_;
        return {change.from < change.to ? std::min(change.from, end) : end, text_.size()};
    }
    Change written;
    const std::size_t struck = Overstrike(text, style, written);
    if (struck < text.size()) {
        const std::u16string_view rest = text.substr(struck);
        // Its room kept: a line rewritten after a return comes here at each write. The text and styles go
        // in whole.
        Piece& piece = written_;
        piece.text.assign(rest);
        piece.styles.assign(rest.size(), style);
        piece.glyphs.resize(rest.size());
        piece.cells = 0;
        piece.glyphs.resize(GlyphsOf(rest, cursor_, 0, piece.cells, piece.glyphs.data()));
        const Change spliced = Splice(cursor_, cursor_ + piece.cells, piece);
        cursor_ += piece.cells;
        written = struck == 0 ? spliced : Change{written.from, std::max(written.to, spliced.to)};
    }
    if (change.from >= change.to) {
        return written;
    }
    // What the marks changed may reach past the end of a line the write then made shorter.
    return {std::min(change.from, written.from), std::min(std::max(change.to, written.to), text_.size())};
}

// The common overwrite, done in place: characters of one unit and one cell each over cells that hold the
// same, the rest (if it runs past the end) appended. What Splice would do, without rebuilding the glyphs.
// Where other characters follow, it takes those before them but the last (which a mark may go with); how many
// units it wrote, none if it could not.
std::size_t LineCells::Overstrike(std::u16string_view text, StyleId style, Change& change) {
    if (cursor_ >= cells_) {
        return 0; // blanks before it
    }
    const std::uint8_t* const widths = BasicPlaneWidthBytes();
    std::size_t simple =
        LatinOneCellAgrees ? text_scan::LatinOneCellLength(text.data(), text.data() + text.size()) : 0;
    for (; simple < text.size(); ++simple) {
        const char16_t c = text[simple];
        if (c == u'\t' || (c >= 0xD800 && c < 0xE000) || (c >= 0xA9 && (widths[c] & 3) != 1)) {
            break;
        }
    }
    if (simple < text.size()) {
        if (simple <= 1) {
            return 0;
        }
        text = text.substr(0, simple - 1);
    }
    const std::size_t first = GlyphAt(cursor_);
    const std::size_t over = std::min(text.size(), cells_ - cursor_);
    const std::size_t unit = glyphs_[first].unit;
    // Each glyph overwritten a unit and a cell after the one before, and what follows the last of them
    // (another glyph, or the end of the line) a unit and a cell after that.
    const Glyph* const g = glyphs_.data() + first;
    const std::size_t after = glyphs_.size() - first;
    if (over > after) {
        return 0;
    }
    for (std::size_t j = 0; j < over; ++j) {
        if (g[j].cell != cursor_ + j || g[j].unit != unit + j) {
            return 0;
        }
    }
    if ((over < after ? g[over].unit : text_.size()) != unit + over ||
        (over < after ? g[over].cell : cells_) != cursor_ + over) {
        return 0;
    }
    std::copy_n(text.begin(), over, text_.begin() + static_cast<std::ptrdiff_t>(unit));
    std::fill_n(styles_.begin() + static_cast<std::ptrdiff_t>(unit), over, style);
    for (std::size_t j = over; j < text.size(); ++j) {
        glyphs_.push_back({text_.size() + j - over, cells_ + j - over});
    }
    text_.append(text.substr(over));
    styles_.insert(styles_.end(), text.size() - over, style);
    cells_ += text.size() - over;
    cursor_ += text.size();
    change = {unit, over == text.size() ? unit + over : text_.size()};
    return text.size();
}

LineCells::Change LineCells::Settle() {
    if (pending_ == 0) {
        return {};
    }
    const char16_t lone = pending_;
    pending_ = 0;
    Piece piece;
    piece.Add({&lone, 1}, 1, pendingStyle_);
    const Change change = Splice(cursor_, cursor_ + 1, piece);
    ++cursor_;
    return change;
}

// What `text` starts with that continues the cluster before the cursor goes with it, and is taken off `text`:
// marks and joiners are added to it; where they make it wider (an emoji after its joiner, an emoji
// presentation selector after a narrow pictograph), the cluster is written again with them, over the cells
// it then takes. So a cluster cut across two writes ends as it would have been written whole.
LineCells::Change LineCells::Continue(std::u16string_view& text, StyleId style) {
    if (text.empty() ||
        (!IsHighSurrogate(text[0]) && WidthOf(text[0]).cells != 0 && !WidthOf(text[0]).pictograph)) {
        return {}; // a character of its own: nothing to look up before the cursor
    }
    std::size_t marks = 0;
    bool widens = false;
    const bool before = cursor_ > 0 && cursor_ <= cells_; // a cluster to go with
    // One that an emoji may join after a joiner: not a tab's (as Clusters has it), for which this is "".
    const std::u16string_view cluster = ClusterBeforeCursor();
    bool joiner = cluster.ends_with(u'\x200D');
    for (std::size_t units = 0; marks < text.size(); marks += units) {
        const char32_t c = CharacterAt(text, marks, units);
        const CellWidth w = WidthOf(c);
        if (!cluster.empty() && joiner && w.pictograph) {
            widens = true;
        } else if (w.cells != 0 || c == u'\t') {
            break;
        }
        widens = widens || c == EmojiPresentation;
        joiner = c == ZeroWidthJoiner;
    }
    if (marks == 0) {
        return {};
    }
    if (!widens || !before) {
        const Change change = Attach(text.substr(0, marks), style);
        text.remove_prefix(marks);
        return change;
    }
    // Clustered again with what it had: the rule for where a cluster ends is Clusters' alone.
    const std::size_t k = GlyphAt(cursor_ - 1);
    const std::size_t unit = glyphs_[k].unit;
    const std::size_t had = GlyphEnd(k) - unit;
    std::u16string joined = text_.substr(unit, had);
    joined.append(text.substr(0, marks));
    std::size_t end = 0;
    std::size_t width = 0;
    Clusters(joined, glyphs_[k].cell, [&](std::size_t from, std::size_t to, std::size_t cells) {
        if (from == 0) {
            end = to;
            width = cells;
        }
    });
    Piece piece;
    piece.Add(std::u16string_view(joined).substr(0, end), width, style);
    std::copy_n(styles_.begin() + static_cast<std::ptrdiff_t>(unit), had, piece.styles.begin());
    text.remove_prefix(end - had);
    cursor_ = glyphs_[k].cell;
    const Change change = Splice(cursor_, cursor_ + width, piece);
    cursor_ += width;
    return change;
}

// A mark with nothing before it to go with is dropped, as a terminal drops it.
LineCells::Change LineCells::Attach(std::u16string_view marks, StyleId style) {
    if (cursor_ == 0 || cursor_ > cells_) {
        return {};
    }
    const std::size_t k = GlyphAt(cursor_ - 1);
    const std::size_t at = GlyphEnd(k);
    text_.insert(at, marks);
    styles_.insert(styles_.begin() + static_cast<std::ptrdiff_t>(at), marks.size(), style);
    for (std::size_t j = k + 1; j < glyphs_.size(); ++j) {
        glyphs_[j].unit += marks.size();
    }
    return {at, text_.size()};
}

LineCells::Change LineCells::Tab(StyleId style) {
    const std::size_t stop = cursor_ + TabCells(cursor_);
    Change change;
    if (stop > cells_) {
        // Past the end the tab is kept as a tab; within the line it only moves the cursor.
        const std::size_t at = std::max(cursor_, cells_);
        Piece piece;
        piece.Add(u"\t", stop - at, style);
        change = Splice(at, at, piece);
    }
    cursor_ = stop;
    return change;
}

LineCells::Change LineCells::Blank(std::size_t from, std::size_t to) {
    if (to >= cells_) {
        return Cut(from);
    }
    Piece piece;
    piece.AddBlanks(to - from);
    return Splice(from, to, piece);
}

LineCells::Change LineCells::Cut(std::size_t from) {
    return from < cells_ ? Splice(from, cells_, {}) : Change{};
}

LineCells::Change LineCells::Delete(std::size_t count) {
    return cursor_ < cells_ ? Splice(cursor_, std::min(cursor_ + count, cells_), {}) : Change{};
}

LineCells::Change LineCells::Insert(std::size_t count) {
    if (cursor_ >= cells_) {
        return {}; // nothing to move
    }
    Piece piece;
    piece.AddBlanks(count);
    return Splice(cursor_, cursor_, piece);
}

LineCells::Change LineCells::Splice(std::size_t from, std::size_t to, const Piece& piece) {
    const std::size_t start = std::min(from, cells_);
    const std::size_t end = std::max(start, std::min(to, cells_));
    const std::size_t first = start < cells_ ? GlyphAt(start) : glyphs_.size();
    const auto last = static_cast<std::size_t>(
        std::lower_bound(glyphs_.begin() + static_cast<std::ptrdiff_t>(first), glyphs_.end(), end,
                         [](const Glyph& g, std::size_t c) { return g.cell < c; }) -
        glyphs_.begin());
    // The replaced glyphs span cells [left, right) around [start, end): what lies outside stays blank, and
    // so do the cells from the end of the line to `from`.
    const std::size_t left = first < glyphs_.size() ? glyphs_[first].cell : cells_;
    const std::size_t right = last < glyphs_.size() ? glyphs_[last].cell : cells_;
    const std::size_t before = from - left;
    const std::size_t after = right - end;
    const std::size_t unitFrom = first < glyphs_.size() ? glyphs_[first].unit : text_.size();
    const std::size_t unitTo = last < glyphs_.size() ? glyphs_[last].unit : text_.size();

    const std::size_t newUnits = before + piece.text.size() + after;
    text_.replace(unitFrom, unitTo - unitFrom, newUnits, u' ');
    std::copy(piece.text.begin(), piece.text.end(),
              text_.begin() + static_cast<std::ptrdiff_t>(unitFrom + before));
    const auto styleAt = styles_.begin() + static_cast<std::ptrdiff_t>(unitFrom);
    styles_.insert(styles_.erase(styleAt, styleAt + static_cast<std::ptrdiff_t>(unitTo - unitFrom)), newUnits,
                   0);
    std::copy(piece.styles.begin(), piece.styles.end(),
              styles_.begin() + static_cast<std::ptrdiff_t>(unitFrom + before));
    const std::size_t count = before + piece.glyphs.size() + after;
    const auto at = glyphs_.begin() + static_cast<std::ptrdiff_t>(first);
    if (count > last - first) {
        glyphs_.insert(at + static_cast<std::ptrdiff_t>(last - first), count - (last - first), Glyph{});
    } else {
        glyphs_.erase(at + static_cast<std::ptrdiff_t>(count),
                      at + static_cast<std::ptrdiff_t>(last - first));
    }
    std::size_t k = first;
    for (std::size_t i = 0; i < before; ++i) {
        glyphs_[k++] = {unitFrom + i, left + i};
    }
    for (const Glyph& g : piece.glyphs) {
        glyphs_[k++] = {unitFrom + before + g.unit, from + g.cell};
    }
    for (std::size_t i = 0; i < after; ++i) {
        glyphs_[k++] = {unitFrom + before + piece.text.size() + i, from + piece.cells + i};
    }
    // Sizes go up and down modulo the word size, as unsigned arithmetic allows.
    const std::size_t units = newUnits - (unitTo - unitFrom);
    const std::size_t cells = before + piece.cells + after - (right - left);
    if (units != 0 || cells != 0) {
        for (; k < glyphs_.size(); ++k) {
            glyphs_[k].unit += units;
            glyphs_[k].cell += cells;
        }
    }
    cells_ += cells;
    Change change{unitFrom, units == 0 ? unitFrom + newUnits : text_.size()};
    if (cells % TabWidth != 0) {
        Realign(first + count, change);
    }
    return change;
}

// A tab that moved off its stop leaves the cells it spanned blank, as a terminal never kept it.
void LineCells::Realign(std::size_t glyph, Change& change) {
    for (std::size_t k = glyph; k < glyphs_.size(); ++k) {
        const Glyph tab = glyphs_[k];
        const std::size_t width = GlyphCells(k);
        if (text_[tab.unit] != u'\t' || width == TabCells(tab.cell)) {
            continue;
        }
        text_.replace(tab.unit, 1, width, u' ');
        const StyleId style = styles_[tab.unit];
        styles_.insert(styles_.begin() + static_cast<std::ptrdiff_t>(tab.unit), width - 1, style);
        for (std::size_t j = k + 1; j < glyphs_.size(); ++j) {
            glyphs_[j].unit += width - 1;
        }
        for (std::size_t i = 1; i < width; ++i) {
            glyphs_.insert(glyphs_.begin() + static_cast<std::ptrdiff_t>(k + i),
                           {tab.unit + i, tab.cell + i});
        }
        change = {std::min(change.from, tab.unit), text_.size()};
        k += width - 1;
    }
}
