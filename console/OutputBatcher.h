// How output goes on screen, by the pacing rule in OutputPacing.h. Output arrives in chunks of at most 256
// characters, and showing costs a good deal whatever a chunk's size (a layout, a paint, a call into the
// system's control), so chunks are gathered: a batch is shown at most once an interval during a flood, and
// whenever the runner has waited a while or the run ends. The interval grows with what showing the last batch
// of text cost (the caret moved alone costs next to nothing and does not count), without a bound: where
// showing costs in proportion to the text already shown (the Win32 EDIT), each batch is then a fixed fraction
// bigger than the one before, and showing a flood costs in proportion to its size, not to its square.
#pragma once

#include "OutputPacing.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string_view>

class OutputBatcher {
public:
    using Clock = OutputPacing::Clock;
    static constexpr Clock::duration Interval = OutputPacing::BatchInterval;

    // `show` puts the text added so far on screen, with the caret at the end when asked. The interval is
    // stretched to `costFactor` times what the last showing took, and shortened so that the next showing
    // starts within `longestGap` of the last one's start, but never below what that showing cost. Where text
    // comes in many small pieces, the clock need only be looked at every `textsPerLook` of them. Each
    // window's numbers are in OutputPacing.
    explicit OutputBatcher(std::function<void(bool caretToEnd)> show, int costFactor = 4,
                           std::function<Clock::time_point()> now = &Clock::now, int textsPerLook = 1,
                           Clock::duration longestGap = Clock::duration::max())
        : show_(std::move(show)), now_(std::move(now)), costFactor_(costFactor), textsPerLook_(textsPerLook),
          longestGap_(longestGap) {}

    void TextAdded();  // shown with the batch, once the interval has passed
    void CaretToEnd(); // with the waiting batch; at once when no text waits
    void ShowNow();    // whatever is waiting
    // The runner is about to wait. A flood's pipe is often empty for a moment only, so the batch waits for
    // its interval; once the runner waits again with nothing new in between (a real pause), it is shown at
    // once.
    void RunnerWaiting();
    void Discard() { textPending_ = caretPending_ = false; } // the text was replaced as a whole

private:
    void ShowIfDue();

    std::function<void(bool)> show_;
    std::function<Clock::time_point()> now_;
    bool textPending_ = false;
    bool caretPending_ = false;
    bool waitedSinceText_ = false;
    Clock::time_point lastShown_{};
    int costFactor_;
    int textsPerLook_;
    Clock::duration longestGap_;
    int textsSinceLook_ = 0;
    Clock::duration interval_ = Interval;
};

// A batch goes into the box a piece at a time, and the window answers its messages between two pieces once
// AnswerWithin has passed since it last did, so a batch of any size leaves it answering. What one insertion
// costs grows as the box fills (the Win32 EDIT), so each piece is sized by what the last one cost, to take
// about PieceWithin: from MinPiece to MaxPiece characters, at most twice the last. Each insertion also costs
// a good deal whatever its size, more as the box fills, so a piece holds at least a ShownPerPiece-th of the
// text shown: the insertions stay few however long a flood. A piece holds at most
// LinePiece characters without a line break (the box wraps one long line at more than a cost in proportion to
// its length). No piece ends between the two halves of a surrogate pair.
class OutputPieces {
public:
    using Clock = OutputBatcher::Clock;
    static constexpr std::size_t MinPiece = OutputPacing::MinPiece;
    static constexpr std::size_t MaxPiece = OutputPacing::MaxPiece;
    static constexpr std::size_t LinePiece = OutputPacing::LinePiece;
    static constexpr std::size_t ShownPerPiece = OutputPacing::ShownPerPiece;
    static constexpr Clock::duration PieceWithin = OutputPacing::PieceWithin;
    static constexpr Clock::duration AnswerWithin = OutputPacing::AnswerWithin;

    explicit OutputPieces(std::function<Clock::time_point()> now = &Clock::now) : now_(std::move(now)) {}

    // The length of the piece that starts `text`, of at most `most` characters.
    static std::size_t Next(std::u16string_view text, std::size_t most);
    // `put` for each piece of `text` in order, `shown` characters in the box before it; `answer` between two
    // of them when the window is due to answer.
    void Put(std::u16string_view text, std::size_t shown, const std::function<void(std::u16string_view)>& put,
             const std::function<void()>& answer);
    void Answered() { answered_ = now_(); } // the window has answered its messages

private:
    std::function<Clock::time_point()> now_;
    Clock::time_point answered_{};
    std::size_t most_ = MinPiece; // the next piece's most characters
};
