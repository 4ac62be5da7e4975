#include "EscapeParserFeed.h"

#include <algorithm>

namespace {

using State = EscapeParser::State;

// What a character can be to a sequence; every character is classified once, here.
enum Class : std::uint8_t {
    Ctl,    // a C0 control not named below
    Bel,    // ends an OSC string (or any string)
    Esc,    // starts a sequence, or ST inside a string
    Cancel, // CAN, SUB: end any sequence, unfinished
    Inter,  // SP to '/': intermediates
    Digit,  // '0' to '9'
    Colon,  // sub-parameter separator
    Semi,   // parameter separator
    Marker, // '<' '=' '>' '?'
    Csi,    // '['
    Osc,    // ']'
    Str,    // 'P' 'X' '^' '_': DCS, SOS, PM, APC
    Slash,  // '\': ST after ESC
    Final,  // the rest of '@' to '~'
    Del,    // ignored everywhere
    Other,  // beyond ASCII: text, never part of a sequence
    ClassCount,
};

constexpr auto ClassTable = [] {
    std::array<Class, 128> table{};
    for (int c = 0; c < 128; ++c) {
        Class k = Final;
        if (c < 0x20) {
            k = c == 0x07 ? Bel : c == 0x1B ? Esc : (c == 0x18 || c == 0x1A) ? Cancel : Ctl;
        } else if (c < 0x30) {
            k = Inter;
        } else if (c <= '9') {
            k = Digit;
        } else if (c == ':') {
            k = Colon;
        } else if (c == ';') {
            k = Semi;
        } else if (c < 0x40) {
            k = Marker;
        } else if (c == '[') {
            k = Csi;
        } else if (c == ']') {
            k = Osc;
        } else if (c == 'P' || c == 'X' || c == '^' || c == '_') {
            k = Str;
        } else if (c == '\\') {
            k = Slash;
        } else if (c == 0x7F) {
            k = Del;
        }
        table[static_cast<std::size_t>(c)] = k;
    }
    return table;
}();

constexpr Class ClassOf(char16_t c) {
    return c < 0x80 ? ClassTable[c] : Other;
}

enum Action : std::uint8_t {
    Ignore,      // consumed
    Print,       // a single character in the ground state
    Execute,     // a control in the ground state
    Enter,       // a new sequence starts
    Collect,     // an intermediate
    Param,       // a digit
    Separate,    // ';' or ':'
    Mark,        // a marker before the parameters
    EscDispatch, // ESC sequence complete
    CsiDispatch, // control sequence complete
    OscPut,      // a character of an OSC string
    StringEnd,   // BEL or ST: the string is complete
    Drop,        // CAN, SUB: the sequence ends unfinished, the character with it
    Reprocess,   // the sequence ends unfinished; the character is read again from the ground state
    EscapeAgain, // ESC inside a string, not followed by '\': the string ends unfinished, a sequence starts
};

struct Transition {
    Action action;
    State next;
};

constexpr std::size_t StateCount = static_cast<std::size_t>(State::StringEscape) + 1;

// Controls end an unfinished sequence and then act, so that a stray or cut-off sequence never eats the line
// ends after it; text beyond ASCII ends one too.
constexpr auto Table = [] {
    std::array<std::array<Transition, ClassCount>, StateCount> table{};
    const auto row = [&table](State state) -> std::array<Transition, ClassCount>& {
        return table[static_cast<std::size_t>(state)];
    };
    const auto set = [&row](State state, std::initializer_list<Class> classes, Transition t) {
        for (const Class k : classes) {
            row(state)[k] = t;
        }
    };
    const auto setRange = [&row](State state, Class first, Class last, Transition t) {
        for (int k = first; k <= last; ++k) {
            row(state)[static_cast<std::size_t>(k)] = t;
        }
    };

    setRange(State::Ground, Inter, Final, {Print, State::Ground});
    set(State::Ground, {Ctl, Bel}, {Execute, State::Ground});
    set(State::Ground, {Esc}, {Enter, State::Escape});
    set(State::Ground, {Cancel, Del}, {Ignore, State::Ground});
    set(State::Ground, {Other}, {Print, State::Ground});

    // What every sequence (not a string) does with controls, ESC, DEL and text beyond ASCII.
    for (const State s : {State::Escape, State::EscapeIntermediate, State::CsiEntry, State::CsiParameter,
                          State::CsiIntermediate, State::CsiIgnore}) {
        set(s, {Ctl, Bel, Other}, {Reprocess, State::Ground});
        set(s, {Esc}, {Enter, State::Escape});
        set(s, {Cancel}, {Drop, State::Ground});
        set(s, {Del}, {Ignore, s});
    }

    setRange(State::Escape, Digit, Final, {EscDispatch, State::Ground});
    set(State::Escape, {Inter}, {Collect, State::EscapeIntermediate});
    set(State::Escape, {Csi}, {Enter, State::CsiEntry});
    set(State::Escape, {Osc}, {Enter, State::OscString});
    set(State::Escape, {Str}, {Enter, State::OtherString});

    setRange(State::EscapeIntermediate, Digit, Final, {EscDispatch, State::Ground});
    set(State::EscapeIntermediate, {Inter}, {Collect, State::EscapeIntermediate});

    setRange(State::CsiEntry, Csi, Final, {CsiDispatch, State::Ground});
    set(State::CsiEntry, {Inter}, {Collect, State::CsiIntermediate});
    set(State::CsiEntry, {Digit}, {Param, State::CsiParameter});
    set(State::CsiEntry, {Colon, Semi}, {Separate, State::CsiParameter});
    set(State::CsiEntry, {Marker}, {Mark, State::CsiParameter});

    setRange(State::CsiParameter, Csi, Final, {CsiDispatch, State::Ground});
    set(State::CsiParameter, {Inter}, {Collect, State::CsiIntermediate});
    set(State::CsiParameter, {Digit}, {Param, State::CsiParameter});
    set(State::CsiParameter, {Colon, Semi}, {Separate, State::CsiParameter});
    set(State::CsiParameter, {Marker}, {Ignore, State::CsiIgnore});

    setRange(State::CsiIntermediate, Csi, Final, {CsiDispatch, State::Ground});
    set(State::CsiIntermediate, {Inter}, {Collect, State::CsiIntermediate});
    setRange(State::CsiIntermediate, Digit, Marker, {Ignore, State::CsiIgnore});

    setRange(State::CsiIgnore, Inter, Marker, {Ignore, State::CsiIgnore});
    setRange(State::CsiIgnore, Csi, Final, {Ignore, State::Ground});

    for (const State s : {State::OscString, State::OtherString}) {
        setRange(s, Inter, Other, {s == State::OscString ? OscPut : Ignore, s});
        set(s, {Ctl}, {Reprocess, State::Ground});
        set(s, {Bel}, {StringEnd, State::Ground});
        set(s, {Esc}, {Ignore, State::StringEscape});
        set(s, {Cancel}, {Drop, State::Ground});
        set(s, {Del}, {Ignore, s});
    }

    setRange(State::StringEscape, Ctl, Other, {EscapeAgain, State::Escape});
    set(State::StringEscape, {Slash}, {StringEnd, State::Ground});
    return table;
}();

// Parameters go on in a loop in Feed; these are the transitions it takes for granted.
constexpr bool InParameters(State state, Class k) {
    const Transition t = Table[static_cast<std::size_t>(state)][k];
    return t.action == (k == Digit ? Param : Separate) && t.next == State::CsiParameter;
}
static_assert(InParameters(State::CsiEntry, Digit) && InParameters(State::CsiEntry, Colon) &&
              InParameters(State::CsiEntry, Semi) && InParameters(State::CsiParameter, Digit) &&
              InParameters(State::CsiParameter, Colon) && InParameters(State::CsiParameter, Semi));

// And these: ESC [ enters a control sequence, every final character ends one, and a control other than ESC,
// CAN and SUB acts at once in the ground state.
constexpr bool Takes(State state, char16_t c, Action action, State next) {
    const Transition t = Table[static_cast<std::size_t>(state)][ClassOf(c)];
    return t.action == action && t.next == next;
}
constexpr bool FinalsDispatch() {
    for (char16_t c = u'@'; c <= u'~'; ++c) {
        if (!Takes(State::CsiEntry, c, CsiDispatch, State::Ground) ||
            !Takes(State::CsiParameter, c, CsiDispatch, State::Ground)) {
            return false;
        }
    }
    return true;
}
constexpr bool ControlsExecute() {
    for (char16_t c = 0; c < 0x20; ++c) {
        if (c != 0x1B && c != 0x18 && c != 0x1A && !Takes(State::Ground, c, Execute, State::Ground)) {
            return false;
        }
    }
    return true;
}
static_assert(ControlsExecute() && Takes(State::Ground, 0x1B, Enter, State::Escape) &&
              Takes(State::Escape, u'[', Enter, State::CsiEntry) && FinalsDispatch());

} // namespace

void EscapeParser::Reset() {
    state_ = State::Ground;
    osc_.clear();
    osc_.shrink_to_fit();
}

void EscapeParser::Feed(std::u16string_view chunk, Listener& listener) {
    FeedTo(chunk, listener);
}

// As far as parameters and separators go, within the sequence's length: the parameter being read is kept in
// a register, and stored as a separator or the end of what is read comes.
const char16_t* EscapeParser::ReadParameters(const char16_t* p, const char16_t* end) {
    const char16_t* const from = p;
    const char16_t* const stop =
        p + std::min<std::size_t>(static_cast<std::size_t>(end - p), MaxSequenceLength - length_);
    if (p == stop || *p < u'0' || *p > u';') {
        return p;
    }
    if (csi_.count == 0) {
        csi_.count = 1;
        csi_.values[0] = -1;
    }
    std::int32_t value = csi_.values[csi_.count - 1];
    for (; p != stop; ++p) {
        const auto digit = static_cast<std::uint32_t>(*p - u'0');
        if (digit <= 9) {
            value =
                std::min<std::int32_t>(MaxValue, std::max(value, 0) * 10 + static_cast<std::int32_t>(digit));
            continue;
        }
        if (*p != u';' && *p != u':') {
            break;
        }
        if (!overflow_) {
            csi_.values[csi_.count - 1] = value;
        }
        NextParameter(*p);
        value = -1;
    }
    if (!overflow_) {
        csi_.values[csi_.count - 1] = value;
    }
    length_ += static_cast<std::size_t>(p - from);
    return p;
}

// Where the chunk holds eight more characters, parameters of up to three digits that start within the first
// five are read without looking for the chunk's end: their digits and what follows them fall within the
// eight. Anything longer is read again the long way.
const char16_t* EscapeParser::ReadPlainSequence(const char16_t* p, const char16_t* end) {
    if (end - p < 8) {
        return ReadPlainParameters(p, end);
    }
    std::size_t count = 0;
    for (const char16_t* q = p; q <= p + 4;) {
        std::int32_t value = -1;
        if (auto digit = static_cast<std::uint32_t>(*q - u'0'); digit <= 9) {
            value = static_cast<std::int32_t>(digit);
            if (digit = static_cast<std::uint32_t>(*++q - u'0'); digit <= 9) {
                value = value * 10 + static_cast<std::int32_t>(digit);
                if (digit = static_cast<std::uint32_t>(*++q - u'0'); digit <= 9) {
                    value = value * 10 + static_cast<std::int32_t>(digit);
                    if (static_cast<std::uint32_t>(*++q - u'0') <= 9) {
                        break;
                    }
                }
            }
        }
        const char16_t c = *q++;
        if (c == u';') {
            csi_.values[count++] = value;
        } else if (c >= u'@' && c <= u'~') {
            if (q - 1 != p) { // CSI m is no parameter at all, CSI ; m two left out
                csi_.values[count++] = value;
            }
            EndPlainSequence(count, c);
            return q;
        } else {
            return nullptr;
        }
    }
    return ReadPlainParameters(p, end);
}

// A parameter's first digit starts its value and the rest go on without looking whether it was left out.
const char16_t* EscapeParser::ReadPlainParameters(const char16_t* p, const char16_t* end) {
    // Each character can end at most one parameter (a run of ';' leaves every one out), so a sequence this
    // short never holds more than MaxParameters; a longer one is read the long way, which drops the excess.
    constexpr std::size_t MaxPlainLength = MaxParameters - 1;
    static_assert(MaxPlainLength < MaxSequenceLength);
    const char16_t* const stop = p + std::min<std::size_t>(static_cast<std::size_t>(end - p), MaxPlainLength);
    std::size_t count = 0;
    for (const char16_t* q = p; q != stop;) {
        std::int32_t value = -1;
        if (const auto digit = static_cast<std::uint32_t>(*q - u'0'); digit <= 9) {
            value = static_cast<std::int32_t>(digit);
            for (++q; q != stop; ++q) {
                const auto more = static_cast<std::uint32_t>(*q - u'0');
                if (more > 9) {
                    break;
                }
                value = std::min<std::int32_t>(MaxValue, value * 10 + static_cast<std::int32_t>(more));
            }
            if (q == stop) {
                return nullptr;
            }
        }
        const char16_t c = *q++;
        if (c == u';') {
            csi_.values[count++] = value;
        } else if (c >= u'@' && c <= u'~') {
            if (q - 1 != p) {
                csi_.values[count++] = value;
            }
            EndPlainSequence(count, c);
            return q;
        } else {
            return nullptr;
        }
    }
    return nullptr;
}

// Sub-parameter flags are only ever set in a sequence that has any (anySub), so a plain one writes none.
void EscapeParser::EndPlainSequence(std::size_t count, char16_t final) {
    if (csi_.anySub) {
        csi_.sub.fill(false);
        csi_.anySub = false;
    }
    csi_.marker = 0;
    csi_.intermediateCount = 0;
    csi_.count = count;
    csi_.final = final;
}

void EscapeParser::AddDigit(char16_t c) {
    if (csi_.count == 0) {
        csi_.count = 1;
        csi_.values[0] = -1;
    }
    std::int32_t& value = csi_.values[csi_.count - 1];
    if (!overflow_) {
        value = std::min<std::int32_t>(MaxValue, std::max(value, 0) * 10 + (c - u'0'));
    }
}

void EscapeParser::NextParameter(char16_t c) {
    if (csi_.count == 0) {
        csi_.count = 1;
        csi_.values[0] = -1;
    }
    if (csi_.count < MaxParameters) {
        csi_.values[csi_.count] = -1;
        csi_.sub[csi_.count] = c == u':';
        csi_.anySub |= c == u':';
        ++csi_.count;
    } else {
        overflow_ = true;
    }
}

// Only what a new sequence reads before writing: parameters are written as they are counted.
void EscapeParser::StartSequence() {
    csi_.marker = 0;
    csi_.intermediateCount = 0;
    csi_.count = 0;
    if (csi_.anySub) { // flags are set only where some are
        csi_.sub.fill(false);
        csi_.anySub = false;
    }
    overflow_ = false;
    length_ = 0;
    osc_.clear();
}

void EscapeParser::Step(char16_t c, Listener& listener) {
    if (state_ != State::Ground) {
        const bool string = state_ >= State::OscString;
        if (++length_ > (string ? MaxStringLength : MaxSequenceLength)) {
            state_ = State::Ground; // too long to be meant: what follows is text again
        }
    }
    const Transition t = Table[static_cast<std::size_t>(state_)][ClassOf(c)];
    state_ = t.next;
    switch (t.action) {
    case Ignore:
        break;
    case Print:
        listener.Print({&c, 1});
        break;
    case Execute:
        listener.Control(c);
        break;
    case Enter:
        StartSequence();
        inOsc_ = t.next == State::OscString;
        break;
    case Collect:
        if (csi_.intermediateCount < csi_.intermediates.size()) {
            csi_.intermediates[csi_.intermediateCount++] = c;
        }
        break;
    case Param:
        AddDigit(c);
        break;
    case Separate:
        NextParameter(c);
        break;
    case Mark:
        csi_.marker = c;
        break;
    case EscDispatch:
        listener.EscapeSequence({csi_.intermediates.data(), csi_.intermediateCount}, c);
        break;
    case CsiDispatch:
        csi_.final = c;
        listener.ControlSequence(csi_);
        break;
    case OscPut:
        osc_ += c;
        break;
    case StringEnd:
        if (inOsc_) {
            listener.OperatingSystemCommand(osc_);
        }
        osc_.clear();
        break;
    case Drop:
        osc_.clear();
        break;
    case Reprocess:
        osc_.clear();
        Step(c, listener);
        break;
    case EscapeAgain:
        StartSequence();
        Step(c, listener);
        break;
    }
}
