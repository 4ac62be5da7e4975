#include "OutputBatcher.h"

#include <algorithm>

void OutputBatcher::TextAdded() {
    textPending_ = true;
    ShowIfDue();
}

void OutputBatcher::CaretToEnd() {
    caretPending_ = true;
    if (!textPending_) {
        ShowNow(); // the text is on screen already: only the caret moves
    }
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
    const bool caret = caretPending_;
    textPending_ = caretPending_ = false;
    const Clock::time_point start = now_();
    show_(caret);
    lastShown_ = now_();
    interval_ = std::max(Interval, costFactor_ * (lastShown_ - start));
}
