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
        interval_ =
            std::clamp(costFactor_ * (lastShown_ - start), Interval, std::max(Interval, longestInterval_));
    }
}

std::size_t OutputPieces::Next(std::u16string_view text, std::size_t shown) {
    if (text.empty()) {
        return 0;
    }
    const std::size_t most = std::min(text.size(), std::max(MaxPiece, shown / ShownPerPiece));
    std::size_t length = 0;
    for (std::size_t run = 0; length < most && run < LinePiece; ++length) {
        run = text[length] == u'\n' ? 0 : run + 1;
    }
    const bool highSurrogate = (text[length - 1] & 0xFC00) == 0xD800;
    if (length < text.size() && length > 1 && highSurrogate) {
        --length; // its low half starts the next piece
    }
    return length;
}

void OutputPieces::Put(std::u16string_view text, std::size_t shown,
                       const std::function<void(std::u16string_view)>& put,
                       const std::function<void()>& answer) {
    while (!text.empty()) {
        const std::size_t length = Next(text, shown);
        put(text.substr(0, length));
        text.remove_prefix(length);
        shown += length;
        if (!text.empty() && now_() - answered_ >= AnswerWithin) {
            answer();
            Answered();
        }
    }
}
