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
        // Stretched with what showing cost, and shortened where that would leave more than the longest gap
        // between the starts of two showings, but never below the showing's own cost: where one showing
        // costs much (the first of a script, its fonts loaded), the next still comes soon, and showing takes
        // at most half of a flood's time.
        const Clock::duration cost = lastShown_ - start;
        interval_ = std::max(Interval, std::min(costFactor_ * cost, std::max(longestGap_ - cost, cost)));
    }
}

std::size_t OutputPieces::Next(std::u16string_view text, std::size_t most) {
    if (text.empty()) {
        return 0;
    }
    most = std::min(text.size(), std::max<std::size_t>(most, 1));
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
        const std::size_t length = Next(text, std::max(most_, shown / ShownPerPiece));
        const Clock::time_point start = now_();
        put(text.substr(0, length));
        const Clock::time_point end = now_();
        text.remove_prefix(length);
        shown += length;
        // As many characters as would have taken PieceWithin at this piece's pace.
        const auto took = std::max<Clock::duration>(end - start, std::chrono::microseconds(1));
        const auto fitting = static_cast<std::size_t>(static_cast<double>(length) * PieceWithin / took);
        most_ = std::clamp(fitting, MinPiece, std::min(MaxPiece, 2 * most_));
        if (!text.empty() && end - answered_ >= AnswerWithin) {
            answer();
            Answered();
        }
    }
}
