// The escape and control sequences of ECMA-48 and the VT family, recognised in decoded text fed chunk by
// chunk: what a command prints comes out as plain events (runs of text, controls, CSI and ESC sequences, OSC
// strings), and what they mean is decided one layer up. A sequence cut apart by the chunks is recognised
// whole.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class EscapeParser {
public:
    static constexpr std::size_t MaxParameters = 32;      // more are dropped
    static constexpr std::size_t MaxSequenceLength = 256; // ESC and CSI sequences, then they are dropped
    static constexpr std::size_t MaxStringLength = 65536; // OSC, DCS, SOS, PM and APC strings

    // A control sequence: ESC [ (or CSI), an optional marker (< = > ?), parameters split by ';', each with
    // sub-parameters split by ':', intermediates (SP to /) and the final character (@ to ~).
    struct Csi {
        char16_t marker = 0;
        std::array<char16_t, 2> intermediates{}; // more are dropped, as with parameters
        std::size_t intermediateCount = 0;
        char16_t final = 0;
        std::size_t count = 0;                            // parameters and sub-parameters together
        std::array<std::int32_t, MaxParameters> values{}; // -1 where left out
        std::array<bool, MaxParameters> sub{};            // joined to the one before by ':'; false past count
        bool anySub = false;                              // whether any is

        std::int32_t Value(std::size_t i, std::int32_t otherwise) const {
            return i < count && values[i] >= 0 ? values[i] : otherwise;
        }
        bool Plain() const { return marker == 0 && intermediateCount == 0; }
    };

    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void Print(std::u16string_view run) = 0; // no control characters but those below in it
        virtual void Control(char16_t c) = 0;            // a C0 control other than ESC, CAN and SUB
        // Whether LF and TAB may go on in a run to Print for now, when they mean no more than the characters
        // themselves: a flood of short lines then costs one call a run rather than two a line.
        virtual bool PrintsLineBreaks() const { return false; }
        // Whether the control `c` does nothing here that text after it would not undo: between two runs of
        // text it is then left out and the runs come as one (random bytes hold a control every few
        // characters, nearly all of them hidden).
        virtual bool Ignores(char16_t /*c*/) const { return false; }
        // CR, ESC [ K and then `reading` (text with no control in it, or none), taken at once where the
        // listener can: a meter's tick, back to the start of its line, the line erased and written again.
        // False when it did nothing: they then come as any others do.
        virtual bool RewritesLine(std::u16string_view /*reading*/) { return false; }
        // A short SGR, whole in the chunk: ESC [, up to seven digits and ';', m. `sequence` holds them four
        // bits each (a digit as itself, ';' as 11), the first lowest, above their number in the three lowest
        // bits. Taken at once where the listener knows what it does from where it stands (a coloured log
        // repeats a few); false: it comes as any other sequence.
        virtual bool Renders(std::uint32_t /*sequence*/) { return false; }
        virtual void ControlSequence(const Csi& csi) = 0;
        virtual void EscapeSequence(std::u16string_view intermediates, char16_t final) = 0;
        virtual void OperatingSystemCommand(std::u16string_view text) = 0;
    };

    void Feed(std::u16string_view chunk, Listener& listener);
    // The same for a listener of a known type (EscapeParserFeed.h), whose events then go without a virtual
    // call.
    template <typename ListenerType>
    void FeedTo(std::u16string_view chunk, ListenerType& listener);
    // Drops an unfinished sequence: what comes next is read from the ground state.
    void Reset();

    enum class State : std::uint8_t {
        Ground,
        Escape,
        EscapeIntermediate,
        CsiEntry,
        CsiParameter,
        CsiIntermediate,
        CsiIgnore,
        OscString,
        OtherString,  // DCS, SOS, PM, APC: hidden whole
        StringEscape, // ESC inside a string: ST if '\' follows
    };

private:
    void Step(char16_t c, Listener& listener);
    void StartSequence();
    // Whether the ground state passes over `c` with no event (CAN, SUB, DEL), or the listener ignores it.
    template <typename ListenerType>
    static bool Skips(char16_t c, const ListenerType& listener);
    template <typename ListenerType>
    static const char16_t* KnownRendition(const char16_t* p, const char16_t* end, ListenerType& listener);
    template <typename ListenerType>
    static const char16_t* Tick(const char16_t* p, const char16_t* end, ListenerType& listener);
    template <typename ListenerType>
    const char16_t* Join(const char16_t* p, std::size_t run, const char16_t* end, bool breaks,
                         const ListenerType& listener, std::u16string_view& joined);
    const char16_t* ReadParameters(const char16_t* p, const char16_t* end);
    // After ESC [: the sequence into csi_ and past its end, if it holds digits and ';' alone and ends
    // within a few units and before `end`; otherwise nullptr, and the state is as it was.
    const char16_t* ReadPlainSequence(const char16_t* p, const char16_t* end);
    const char16_t* ReadPlainParameters(const char16_t* p, const char16_t* end); // the same, the long way
    void EndPlainSequence(std::size_t count, char16_t final);
    void AddDigit(char16_t c);
    void NextParameter(char16_t c); // after ';' or ':'

    static constexpr std::int32_t MaxValue = 65535; // larger parameters are taken as this

    State state_ = State::Ground;
    bool inOsc_ = false;    // the string StringEscape belongs to is an OSC one
    bool overflow_ = false; // past MaxParameters: further digits are dropped
    std::size_t length_ = 0;
    Csi csi_;
    std::u16string osc_;
    std::u16string joined_; // runs of text without the CRs of CR LF and the controls left out
};
