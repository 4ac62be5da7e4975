// What SGR does to the console's pen, and the pen's style id: the renditions, the colours of 38, 48 and 58,
// and the steps between pens a coloured log repeats.
#include "ConsoleOutput.h"

#include <algorithm>
#include <array>
#include <optional>

namespace {

using Csi = EscapeParser::Csi;

// The colour of SGR 38, 48 or 58 at parameter i, which has `subs` sub-parameters: 5;n or 2;r;g;b as
// parameters of their own, or :5:n, :2:r:g:b and :2:space:r:g:b as sub-parameters. `next` is where the
// following parameter starts; after a malformed colour nothing more can be read.
std::optional<TextColour> ExtendedColour(const Csi& csi, std::size_t i, std::size_t subs, std::size_t& next) {
    const std::size_t at = i + 1;
    const std::size_t available = subs > 0 ? subs : csi.count - std::min(csi.count, at);
    const auto component = [&csi](std::size_t k) { return csi.Value(k, 0); };
    const std::int32_t kind = csi.Value(at, -1);
    if (kind == 5 && available >= 2) {
        next = subs > 0 ? next : at + 2;
        const std::int32_t index = component(at + 1);
        return index <= 255 ? std::optional(TextColour::Indexed(static_cast<std::uint8_t>(index)))
                            : std::nullopt;
    }
    if (kind == 2 && available >= 4) {
        const std::size_t rgb = subs >= 5 ? at + 2 : at + 1;
        next = subs > 0 ? next : at + 4;
        const std::int32_t r = component(rgb);
        const std::int32_t g = component(rgb + 1);
        const std::int32_t b = component(rgb + 2);
        if (r > 255 || g > 255 || b > 255) {
            return std::nullopt;
        }
        return TextColour::Direct(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                  static_cast<std::uint8_t>(b));
    }
    if (subs == 0) {
        next = csi.count;
    }
    return std::nullopt;
}

// What each SGR parameter does to the pen, looked up rather than tested one case at a time.
struct Rendition {
    enum Kind : std::uint8_t { None, Reset, Set, Clear, Underline, Foreground, Background, Extended };
    static constexpr std::uint16_t Default = 0x100; // the colour of Foreground or Background: the default
    Kind kind = None;
    std::uint16_t value = 0; // the attributes, or the colour's index
};

constexpr auto Renditions = [] {
    using A = TextStyle::Attribute;
    std::array<Rendition, 108> table{};
    table[0] = {Rendition::Reset};
    table[4] = {Rendition::Underline};
    // Each attribute with the parameter that sets it and the one that clears it (22 clears two).
    for (const auto& [on, off, attribute] : {std::array<int, 3>{1, 22, A::Bold},
                                             {2, 22, A::Faint},
                                             {3, 23, A::Italic},
                                             {21, 24, A::Underline},
                                             {7, 27, A::Inverse},
                                             {8, 28, A::Conceal},
                                             {9, 29, A::Strike}}) {
        table[on] = {Rendition::Set, static_cast<std::uint16_t>(attribute)};
        table[off] = {Rendition::Clear, static_cast<std::uint16_t>(table[off].value | attribute)};
    }
    for (std::uint16_t c = 0; c < 8; ++c) {
        table[30 + c] = {Rendition::Foreground, c};
        table[40 + c] = {Rendition::Background, c};
        table[90 + c] = {Rendition::Foreground, static_cast<std::uint16_t>(c + 8)};
        table[100 + c] = {Rendition::Background, static_cast<std::uint16_t>(c + 8)};
    }
    table[39] = {Rendition::Foreground, Rendition::Default};
    table[49] = {Rendition::Background, Rendition::Default};
    table[38] = table[48] = table[58] = {Rendition::Extended};
    return table;
}();

// A short SGR's parameters in the low 32 bits with their count, above 0 whatever they are; 0 for any other.
// Left out is 0 to SGR wherever it comes.
std::uint64_t ShortRendition(const Csi& csi) {
    if (csi.count > 3 || csi.anySub) {
        return 0;
    }
    std::uint64_t key = 4 | csi.count;
    for (std::size_t i = 0; i < csi.count; ++i) {
        const std::int32_t value = std::max(csi.values[i], 0);
        if (value > 255) {
            return 0;
        }
        key |= static_cast<std::uint64_t>(value) << (8 * i + 8);
    }
    return key;
}

} // namespace

OutputStyles::StyleId ConsoleOutput::InternPen() {
    penId_ = styles_->Intern(pen_);
    penChanged_ = false;
    if (pendingStep_ != 0) {
        penSteps_[StepSlot(pendingStep_)] = {pendingStep_, penId_};
        pendingStep_ = 0;
    }
    if (pendingSequence_ != 0) {
        sequenceSteps_[StepSlot(pendingSequence_)] = {pendingSequence_, penId_};
        pendingSequence_ = 0;
    }
    return penId_;
}

void ConsoleOutput::SelectGraphicRendition(const Csi& csi) {
    if (styles_ == nullptr) {
        return;
    }
    // This SGR's characters, where Renders saw them just before and did not know them yet.
    const std::uint64_t sequence = std::exchange(unknownSequence_, 0);
    // A step is known by where it starts: a pen that has its id, or for a reset, only its link.
    std::uint64_t step = ShortRendition(csi);
    const bool resets = csi.count == 0 || csi.values[0] <= 0;
    if (step != 0 && (resets || !penChanged_)) {
        step |= (resets ? std::uint64_t{pen_.link} << 1 | 1 : std::uint64_t{penId_} << 1) << 32;
        if (const PenStep& known = penSteps_[StepSlot(step)]; known.key == step) {
            StepTo(known.to);
            if (sequence != 0) {
                sequenceSteps_[StepSlot(sequence)] = {sequence, known.to};
            }
            return;
        }
    } else {
        step = 0;
    }
    Render(csi);
    penChanged_ = true;
    pendingStep_ = step;
    pendingSequence_ = sequence;
}

void ConsoleOutput::Render(const Csi& csi) {
    TextStyle& pen = pen_;
    const std::size_t count = std::max<std::size_t>(csi.count, 1); // CSI m is CSI 0 m
    for (std::size_t i = 0; i < count;) {
        std::size_t subs = 0;
        while (csi.anySub && i + 1 + subs < csi.count && csi.sub[i + 1 + subs]) {
            ++subs;
        }
        std::size_t next = i + 1 + subs;
        const std::int32_t p = csi.Value(i, 0);
        const Rendition r = static_cast<std::size_t>(p) < Renditions.size() ? Renditions[p] : Rendition{};
        switch (r.kind) {
        case Rendition::None:
            break; // blinking, fonts, frames, overlines: not shown
        case Rendition::Reset: {
            const std::uint32_t link = pen.link; // a link is no rendition: it lasts to its own end
            pen = {};
            pen.link = link;
            break;
        }
        case Rendition::Underline: { // 4:0 is no underline, 4:1 to 4:5 its kinds
            const unsigned underline = TextStyle::Underline;
            pen.attributes = static_cast<std::uint16_t>(subs == 0 || csi.Value(i + 1, 1) != 0
                                                            ? pen.attributes | underline
                                                            : pen.attributes & ~underline);
            break;
        }
        case Rendition::Set:
            pen.attributes |= r.value;
            break;
        case Rendition::Clear:
            pen.attributes &= static_cast<std::uint16_t>(~r.value);
            break;
        case Rendition::Foreground:
        case Rendition::Background:
            (r.kind == Rendition::Foreground ? pen.foreground : pen.background) =
                r.value == Rendition::Default ? TextColour{}
                                              : TextColour::Indexed(static_cast<std::uint8_t>(r.value));
            break;
        case Rendition::Extended: { // 58, the underline's colour, is read past and not shown
            const std::optional<TextColour> colour = ExtendedColour(csi, i, subs, next);
            if (colour && p != 58) {
                (p == 38 ? pen.foreground : pen.background) = *colour;
            }
            break;
        }
        }
        i = next;
    }
}
