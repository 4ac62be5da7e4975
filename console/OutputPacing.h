// The one pacing rule for a run: how often the output that has arrived goes on screen, and how often the
// window handles its own events meanwhile. Both are measured, not guessed: each interval grows with what the
// last showing or the last round of events cost, so that neither takes more than a fixed share of a flood's
// time, however slow the window. The numbers common to both windows come first, then each window's own
// settings.
#pragma once

#include <chrono>
#include <cstddef>

namespace OutputPacing {

using Clock = std::chrono::steady_clock;

// A batch of output is shown at most once this interval during a flood: about 60 a second (OutputBatcher).
constexpr Clock::duration BatchInterval = std::chrono::milliseconds(16);

// The window handles its events at most every 20 ms during a run, often enough to move and repaint smoothly.
// During a flood the interval grows to WindowEventsCostFactor times what handling them cost, so that it never
// takes more than a twentieth of the flood's time, up to a quarter of a second, still quick enough for the
// window manager's liveness ping (frmSpillway).
constexpr Clock::duration WindowEventsInterval = std::chrono::milliseconds(20);
constexpr Clock::duration LongestWindowEventsInterval = std::chrono::milliseconds(250);
constexpr int WindowEventsCostFactor = 20;
// A flood's chunks come microseconds apart: the clock is looked at every this many of them.
constexpr int ChunksBetweenLooks = 16;

// What each window sets for its batches: the batch interval grows to `costFactor` times what showing the last
// batch took, but no further than lets the next showing begin within `longestGap` of the last one's start;
// the clock is looked at every `textsPerLook` texts added.
struct BatchSettings {
    int costFactor;
    int textsPerLook;
    Clock::duration longestGap = Clock::duration::max();
};

// A flood is on screen at least this often: the longest a window may look frozen.
constexpr Clock::duration LongestShowingGap = std::chrono::milliseconds(250);

// The Qt view lays out only what it shows, so a showing costs about the same however much is held: a tenth
// of a flood's time, a showing at least every LongestShowingGap where that costs no more than about a fifth
// of it, and the clock looked at as seldom as frmSpillway looks at it.
constexpr BatchSettings QtWindow{9, ChunksBetweenLooks, LongestShowingGap};

// The Win32 EDIT costs more as it fills, so it is shown less often: showing takes at most about a third of a
// flood's time, however long that leaves between two showings. The clock is looked at with every text: a
// look costs nothing beside what the box costs.
constexpr BatchSettings Win32Window{2, 1};

// The Win32 EDIT takes a batch in pieces (OutputPieces), and the window answers its messages between two of
// them once AnswerWithin has passed. Each insertion costs a good deal whatever its size, more as the box
// fills (it walks its list of lines from the first, several times), and then in proportion to the text
// inserted: a piece is sized by what the last one cost, to take about PieceWithin, from MinPiece to MaxPiece
// characters, and at least a ShownPerPiece-th of the text shown, so that the insertions stay few once each
// costs more than PieceWithin by itself (tens of megabytes shown). A piece holds at most LinePiece characters
// without a line break: the box wraps a long line again from the piece's first row to its end for every row,
// which costs with the square of the piece; under that, each insertion's own cost dominates.
constexpr std::size_t MinPiece = 4096;
constexpr std::size_t MaxPiece = 65536; // as the time allows; the text shown may ask for more
constexpr std::size_t LinePiece = 2048;
constexpr std::size_t ShownPerPiece = 256;
constexpr Clock::duration PieceWithin = std::chrono::milliseconds(50);
constexpr Clock::duration AnswerWithin = std::chrono::milliseconds(50);

// Painting the EDIT costs in proportion to its lines times the rows on screen (each row walks the list of
// lines from the first), a quarter of a second once it holds megabytes. During a batch it is painted once
// PaintCostFactor times what its last painting took has passed, so painting takes a seventh of a flood's time
// at most; where a band of it took more than PaintBandWithin, the next is done in one band more, up to
// PaintBands, the window answering its messages between two of them.
constexpr int PaintCostFactor = 6;
constexpr Clock::duration PaintBandWithin = std::chrono::milliseconds(60);
constexpr int PaintBands = 6;

} // namespace OutputPacing
