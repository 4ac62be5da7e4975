// When output goes on screen. Output arrives in chunks of at most 256 characters, and showing costs a good
// deal whatever a chunk's size (a layout, a paint, a call into the system's control), so chunks are gathered:
// a batch is shown at most once an interval during a flood, and whenever the runner has waited a while or the
// run ends. The interval grows with what showing the last batch of text cost (the caret moved alone costs
// next to nothing and does not count), without a bound: where showing costs in proportion to the text already
// shown (the Win32 EDIT), each batch is then a fixed fraction bigger than the one before, and showing a flood
// costs in proportion to its size, not to its square.
#pragma once

#include <chrono>
#include <functional>

class OutputBatcher {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration Interval = std::chrono::milliseconds(16); // about 60 a second

    // `show` puts the text added so far on screen, with the caret at the end when asked. The interval is
    // stretched to `costFactor` times what the last showing took. Where text comes in many small pieces, the
    // clock need only be looked at every `textsPerLook` of them.
    explicit OutputBatcher(std::function<void(bool caretToEnd)> show, int costFactor = 4,
                           std::function<Clock::time_point()> now = &Clock::now, int textsPerLook = 1)
        : show_(std::move(show)), now_(std::move(now)), costFactor_(costFactor), textsPerLook_(textsPerLook) {
    }

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
    int textsSinceLook_ = 0;
    Clock::duration interval_ = Interval;
};
