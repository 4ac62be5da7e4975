#include "OutputBatcher.h"

#include <algorithm>

void OutputBatcher::TextAdded() {
    textPending_ = true;
    waitedSinceText_ = false;
    if (++textsSinceLook_ >= textsPerLook_) {
        textsSinceLook_ = 0;
        ShowIfDue();
    }
}

void OutputBatcher::CaretToEnd() {
    caretPending_ = true;
    if (!textPending_) {
        ShowNow(); // the text is on screen already: only the caret moves
    }
}

void OutputBatcher::RunnerWaiting() {
    if (waitedSinceText_) {
        ShowNow();
    } else {
        ShowIfDue();
    }
    waitedSinceText_ = true;
}

void OutputBatcher::ShowIfDue() {
    if (now_() - lastShown_ >= interval_) {
        ShowNow();
    }
}

void OutputBatcher::ShowNow() {
    if (!textPending_ && !caretPending_) {
        return;
    }
    const bool text = textPending_;
    const bool caret = caretPending_;
    textPending_ = caretPending_ = false;
    const Clock::time_point start = now_();
    show_(caret);
    // Only a batch of text measures what showing costs: the caret alone, which follows each chunk, costs next
    // to nothing and would shrink the interval back to its least after every batch.
    if (text) {
        lastShown_ = now_();
        interval_ = std::max(Interval, costFactor_ * (lastShown_ - start));
    }
}
