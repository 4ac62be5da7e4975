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
// batch took, up to `longestInterval`, and the clock is looked at every `textsPerLook` texts added.
struct BatchSettings {
    int costFactor;
    int textsPerLook;
    Clock::duration longestInterval;
};

// The Qt view lays out only what it shows, and within a budget (drafts past it), so a showing costs about the
// same however much is held and whatever it holds: a quarter of a flood's time at most, and the clock looked
// at as seldom as frmSpillway looks at it. A showing that still cost more once (the first of a script, its
// fonts loaded) does not hold the next one back for longer than a fifth of a second.
constexpr BatchSettings QtWindow{4, ChunksBetweenLooks, std::chrono::milliseconds(200)};

// The Win32 EDIT costs more as it fills, so it is shown less often: showing takes at most about a third of a
// flood's time, however long the interval grows. The clock is looked at with every text: a look costs nothing
// beside what the box costs.
constexpr BatchSettings Win32Window{2, 1, Clock::duration::max()};

// The Win32 EDIT takes a batch in pieces (OutputPieces), and the window answers its messages between two of
// them once AnswerWithin has passed. A piece holds at most LinePiece characters without a line break (the box
// wraps one long line at more than a cost in proportion to its length), and up to MaxPiece or a
// ShownPerPiece-th of the text shown, whichever is more (each insertion costs more as the box fills).
constexpr std::size_t MaxPiece = 65536;
constexpr std::size_t LinePiece = 1024;
constexpr std::size_t ShownPerPiece = 8;
constexpr Clock::duration AnswerWithin = std::chrono::milliseconds(50);

} // namespace OutputPacing
