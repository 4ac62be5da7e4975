// EscapeParser::FeedTo: the parser's loop for a listener whose type is known where it is used, so that the
// events of a flood (runs of text, controls, control sequences) call it directly rather than through the
// Listener interface. Included where a listener is fed this way (and by the parser itself for Feed).
#pragma once

#include "EscapeParser.h"
#include "TextScan.h"

#include <algorithm>

template <typename ListenerType>
bool EscapeParser::Skips(char16_t c, const ListenerType& listener) {
    return c < 0x20 ? c == 0x18 || c == 0x1A || (c != 0x1B && listener.Ignores(c)) : c == 0x7F;
}

// After ESC [ at `p`: a short SGR the listener takes at once (Listener::Renders). Past it, or nullptr where
// it is read as any other sequence.
template <typename ListenerType>
const char16_t* EscapeParser::KnownRendition(const char16_t* p, const char16_t* end, ListenerType& listener) {
    std::uint32_t sequence = 0;
    for (std::uint32_t i = 0; i < 8 && p + i != end; ++i) {
        if (p[i] == u'm') {
            return listener.Renders(sequence | i) ? p + i + 1 : nullptr;
        }
        const auto value = static_cast<std::uint32_t>(p[i] - u'0'); // a digit as itself, ';' as 11
        if (value > 11 || value == 10) {
            return nullptr;
        }
        sequence |= value << (4 * i + 3);
    }
    return nullptr;
}

// A meter's tick, whole in the chunk from `p` on: CR, ESC [ K and its reading (none where no text follows at
// once: a coloured log's line begins so), taken at once where the listener takes them so. Past it, or nullptr
// where they are to come one by one.
template <typename ListenerType>
const char16_t* EscapeParser::Tick(const char16_t* p, const char16_t* end, ListenerType& listener) {
    if (*p != u'\r' || end - p < 4 || p[1] != 0x1B || p[2] != u'[' || p[3] != u'K') {
        return nullptr;
    }
    const std::size_t reading = end - p > 4 && p[4] >= 0x20 ? text_scan::RunLength(p + 4, end, false) : 0;
    return listener.RewritesLine({p + 4, reading}) ? p + 4 + reading : nullptr;
}

// Where line breaks go on in a run, CR LF is a line break too: CR only goes back to the start of a line that
// LF ends at once. And controls that the listener ignores only cut the text. The runs around such pairs and
// controls are joined without them, to be printed together, so that a line end or a hidden control costs no
// more than a character of text. Controls that no text follows in the chunk are left where they are, to act
// as controls do.
template <typename ListenerType>
const char16_t* EscapeParser::Join(const char16_t* p, std::size_t run, const char16_t* end, bool breaks,
                                   const ListenerType& listener, std::u16string_view& joined) {
    if (joined_.size() < static_cast<std::size_t>(end - p)) {
        joined_.resize(static_cast<std::size_t>(end - p));
    }
    char16_t* const start = joined_.data();
    char16_t* out = std::copy_n(p, run, start);
    p += run;
    const char16_t* kept = p; // past the last of what the joined run holds
    while (p != end) {
        if (*p == u'\r') {
            const std::size_t pairs = breaks ? text_scan::LineEndPairs(p, end) : 0;
            if (pairs == 0) {
                break;
            }
            out = std::fill_n(out, pairs, u'\n');
            p += 2 * pairs;
            kept = p;
        } else if (Skips(*p, listener)) {
            ++p;
        } else if (const std::size_t more = text_scan::RunLength(p, end, breaks); more != 0) {
            out = std::copy_n(p, more, out);
            p += more;
            kept = p;
        } else {
            break;
        }
    }
    joined = {start, static_cast<std::size_t>(out - start)};
    return kept;
}

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
            // Joined to what follows across CR LF or a control that is skipped (ESC, which ends most runs of
            // a coloured log, looked at first).
            const char16_t* const stop = p + run;
            if (stop != end && *stop != 0x1B &&
                (breaks && *stop == u'\r' ? end - stop >= 2 && stop[1] == u'\n' : Skips(*stop, listener))) {
                std::u16string_view joined;
                p = Join(p, run, end, breaks, listener, joined);
                if (!joined.empty()) {
                    listener.Print(joined);
                }
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
                if (const char16_t* const after = KnownRendition(p + 2, end, listener)) {
                    p = after;
                    continue;
                }
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
            // And a control acts at once, as in Step; a meter's ticks, one after another, where the listener
            // takes them at once.
            if (*p < 0x20 && *p != 0x1B && *p != 0x18 && *p != 0x1A) {
                const char16_t* const from = p;
                while (const char16_t* const after = Tick(p, end, listener)) {
                    p = after;
                }
                if (p != from) {
                    continue;
                }
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
