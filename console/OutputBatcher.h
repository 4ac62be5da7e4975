// When output goes on screen. Output arrives in chunks of at most 256 characters, and showing costs a good
// deal whatever a chunk's size (a layout, a paint, a call into the system's control), so chunks are gathered:
// a batch is shown at most once an interval during a flood, and whenever the runner is about to wait or the
// run ends. The interval grows with what showing the last batch cost, so showing never takes more than a
// fraction of a flood's time.
#pragma once

#include <chrono>
#include <functional>

class OutputBatcher {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration Interval = std::chrono::milliseconds(16); // about 60 a second

    // `show` puts the text added so far on screen, with the caret at the end when asked. The interval is
    // stretched to `costFactor` times what the last showing took.
    explicit OutputBatcher(std::function<void(bool caretToEnd)> show, int costFactor = 4,
                           std::function<Clock::time_point()> now = &Clock::now)
        : show_(std::move(show)), now_(std::move(now)), costFactor_(costFactor) {}

    void TextAdded();  // shown with the batch, at once when the interval has passed
    void CaretToEnd(); // with the waiting batch; at once when no text waits
    void ShowNow();    // whatever is waiting
    void Discard() { textPending_ = caretPending_ = false; } // the text was replaced as a whole

private:
    void ShowIfDue();

    std::function<void(bool)> show_;
    std::function<Clock::time_point()> now_;
    bool textPending_ = false;
    bool caretPending_ = false;
    Clock::time_point lastShown_{};
    int costFactor_;
    Clock::duration interval_ = Interval;
};
