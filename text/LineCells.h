// The line being written, as a terminal's cells: where a carriage return, a backspace, a move or an erase
// lands is counted in cells, not in UTF-16 units. A tab reaches the next multiple of eight; East Asian wide
// characters and emoji take two cells; marks and joiners take none and go with the character before them.
// A cluster (a surrogate pair above all) is written, moved and erased whole: a cell of it that is
// overwritten or erased leaves its other cells blank, as a terminal does. The text keeps what a terminal
// shows: blanks as spaces, tabs that stay whole as one '\t'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class LineCells {
public:
    using StyleId = std::uint32_t;
    static constexpr std::size_t TabWidth = 8;

    // Units [from, to) of Text() are new; when the line got shorter, `to` is its new end.
    struct Change {
        std::size_t from = 0;
        std::size_t to = 0;
    };
    struct StyleRun {
        std::size_t from;
        std::size_t to;
        StyleId style;
    };

    // Takes the line as stored, with the runs of style in it (in units, in order); the cursor at its end.
    // The room taken is kept for the next line.
    void Load(std::u16string_view text, const std::vector<StyleRun>& styles);
    void Clear() { Load({}, {}); }
    // Takes what was appended to the line since it was loaded (and written to up to its end, with nothing
    // held back), with its runs of style counted from its start; the cursor at the new end. The same cells
    // as loading the whole line again, counted from the last cluster on.
    void Extend(std::u16string_view tail, const std::vector<StyleRun>& styles);

    const std::u16string& Text() const { return text_; }
    std::size_t Cells() const { return cells_; }
    std::size_t Cursor() const { return cursor_; }
    // Nothing held back, and the cursor right after the last cell: what comes next is only appended.
    bool AtEnd() const { return cursor_ == cells_ && pending_ == 0; }
    // The styles of units [change.from, change.to), neighbours differing, in place of what `runs` held.
    void StylesOf(Change change, std::vector<StyleRun>& runs) const;
    // The cluster just before the cursor, if a character was printed there ("" for blanks past the end).
    std::u16string_view ClusterBeforeCursor() const;

    void MoveTo(std::size_t cell) { cursor_ = cell; }
    // Where the cluster starting at `unit` starts (cells_ at the end).
    std::size_t CellOf(std::size_t unit) const;
    // Writes at the cursor, which moves past it. A high surrogate at the end waits for its other half.
    Change Write(std::u16string_view text, StyleId style);
    // Writes what waits for its other half as it is.
    Change Settle();
    Change Tab(StyleId style);
    Change Blank(std::size_t from,
                 std::size_t to);     // cells [from, to) blank, the line cut where they reach its end
    Change Cut(std::size_t from);     // the cells from `from` on gone
    Change Delete(std::size_t count); // at the cursor; the cells after it move left
    Change Insert(std::size_t count); // blanks at the cursor; the cells there move right

private:
    struct Glyph {
        std::size_t unit; // where its units start in text_
        std::size_t cell; // and its cells
    };
    // What goes in place of some cells.
    struct Piece {
        std::u16string text;
        std::vector<StyleId> styles; // of each unit
        std::vector<Glyph> glyphs;   // positions within the piece
        std::size_t cells = 0;
        void Add(std::u16string_view units, std::size_t width, StyleId style);
        void AddBlanks(std::size_t count);
    };

    std::size_t GlyphAt(std::size_t cell) const; // the glyph holding `cell` (< cells_)
    std::size_t GlyphEnd(std::size_t glyph) const {
        return glyph + 1 < glyphs_.size() ? glyphs_[glyph + 1].unit : text_.size();
    }
    std::size_t GlyphCells(std::size_t glyph) const {
        return (glyph + 1 < glyphs_.size() ? glyphs_[glyph + 1].cell : cells_) - glyphs_[glyph].cell;
    }
    // Cells [from, to) become `piece`; a cluster cut by either edge leaves its other cells blank.
    Change Splice(std::size_t from, std::size_t to, const Piece& piece);
    // Those of `text`, which starts at unit `unit` of text_ and at cell cells_, after the last; cells_ past
    // it.
    void AddGlyphs(std::u16string_view text, std::size_t unit);
    // The glyphs of `text` into `out` (room for one a unit): units counted from `unit`, cells from `cells`,
    // which goes past them; `cell` is where the text starts on the line, for its tabs. How many there are.
    static std::size_t GlyphsOf(std::u16string_view text, std::size_t cell, std::size_t unit,
                                std::size_t& cells, Glyph* out);
    void Realign(std::size_t glyph, Change& change); // tabs from `glyph` on that moved off their stops
    std::size_t Overstrike(std::u16string_view text, StyleId style, Change& change);
    Change Continue(std::u16string_view& text, StyleId style);
    Change Attach(std::u16string_view marks, StyleId style);

    std::u16string text_;
    std::vector<StyleId> styles_; // of each unit: a mark may differ from its base, as the store keeps it
    std::vector<Glyph> glyphs_;
    std::size_t cells_ = 0;
    std::size_t cursor_ = 0; // may lie past the end
    char16_t pending_ = 0;   // a high surrogate whose other half has not come yet
    StyleId pendingStyle_ = 0;
    Piece written_; // what Write puts in place of cells
};
