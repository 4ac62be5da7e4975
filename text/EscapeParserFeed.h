// EscapeParser::FeedTo: the parser's loop for a listener whose type is known where it is used, so that the
// events of a flood (runs of text, controls, control sequences) call it directly rather than through the
// Listener interface. Included where a listener is fed this way (and by the parser itself for Feed).
#pragma once

#include "EscapeParser.h"
#include "TextScan.h"

template <typename ListenerType>
void EscapeParser::FeedTo(std::u16string_view chunk, ListenerType& listener) {
    const char16_t* p = chunk.data();
    const char16_t* const end = p + chunk.size();
    while (p != end) {
        if (state_ == State::Ground) {
            // Text goes on in runs, found a vector at a time (none where a sequence or a control follows
            // another at once).
            const bool breaks = listener.PrintsLineBreaks();
            const std::size_t run = *p == 0x1B || *p == u'\r' ? 0 : text_scan::RunLength(p, end, breaks);
            if (breaks && end - p - static_cast<std::ptrdiff_t>(run) >= 2 && p[run] == u'\r' &&
                p[run + 1] == u'\n') {
                std::u16string_view joined;
                p = Join(p, run, end, joined);
                listener.Print(joined);
            } else if (run != 0) {
                listener.Print({p, run});
                p += run;
            }
            if (p == end) {
                break;
            }
            // ESC [ starts a control sequence, as Step would have it in two steps; a short one of digits
            // and ';' alone (a colour, an erase), whole in the chunk, is read and dispatched in one pass.
            if (*p == 0x1B && end - p >= 2 && p[1] == u'[') {
                if (const char16_t* const after = ReadPlainSequence(p + 2, end)) {
                    p = after;
                    listener.ControlSequence(csi_);
                    continue;
                }
                StartSequence();
                inOsc_ = false;
                state_ = State::CsiEntry;
                p += 2;
                continue;
            }
            // And a control acts at once, as in Step.
            if (*p < 0x20 && *p != 0x1B && *p != 0x18 && *p != 0x1A) {
                listener.Control(*p++);
                continue;
            }
        } else if (state_ == State::CsiEntry || state_ == State::CsiParameter) {
            // So do parameters, as the table has them, and the final character dispatches at once.
            const char16_t* const from = p;
            p = ReadParameters(p, end);
            if (p != from) {
                state_ = State::CsiParameter;
            }
            if (p == end) {
                break;
            }
            if (*p >= u'@' && *p <= u'~' && length_ < MaxSequenceLength) {
                ++length_;
                csi_.final = *p++;
                state_ = State::Ground;
                listener.ControlSequence(csi_);
                continue;
            }
        }
        Step(*p++, listener);
    }
}
