// The colours, attributes and links of the output text, kept beside it as runs: a table of the styles met
// and, in text order, where each run starts. Text printed without any costs nothing here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A colour as a command asks for it: the default, one of the 256 of the indexed palette, or red, green and
// blue.
class TextColour {
public:
    enum class Kind : std::uint8_t { Default, Indexed, Direct };

    constexpr TextColour() = default;
    static constexpr TextColour Indexed(std::uint8_t index) { return TextColour(1U << 24 | index); }
    static constexpr TextColour Direct(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        return TextColour(2U << 24 | std::uint32_t{r} << 16 | std::uint32_t{g} << 8 | b);
    }

    constexpr Kind What() const { return static_cast<Kind>(value_ >> 24); }
    constexpr std::uint8_t Index() const { return static_cast<std::uint8_t>(value_); }
    constexpr std::uint32_t Rgb() const { return value_ & 0xFFFFFF; }
    constexpr std::uint32_t Value() const { return value_; }
    constexpr bool operator==(const TextColour&) const = default;

private:
    constexpr explicit TextColour(std::uint32_t value) : value_(value) {}
    std::uint32_t value_ = 0;
};

struct TextStyle {
    enum Attribute : std::uint16_t {
        Bold = 1 << 0,
        Faint = 1 << 1,
        Italic = 1 << 2,
        Underline = 1 << 3,
        Inverse = 1 << 4,
        Conceal = 1 << 5,
        Strike = 1 << 6,
    };

    TextColour foreground;
    TextColour background;
    std::uint16_t attributes = 0;
    std::uint32_t link = 0; // OutputStyles::Link; 0 for none

    bool operator==(const TextStyle&) const = default;
};

class OutputStyles {
public:
    using StyleId = std::uint32_t; // 0 is the default style

    OutputStyles();
    void Clear();

    StyleId Intern(const TextStyle& style);
    const TextStyle& Style(StyleId id) const { return table_[id]; }
    std::uint32_t InternLink(std::u16string_view target); // never 0
    std::u16string_view Link(std::uint32_t link) const { return links_[link]; }

    StyleId StyleAt(std::size_t position) const;
    StyleId StyleAtEnd() const { return ids_.empty() ? 0 : ids_.back(); }

    // Text appended from `from` (the text's end) on takes `id`.
    void Append(std::size_t from, StyleId id);
    // [from, to) takes `id`; the text is `size` long now (`to` may have passed its old end).
    void Assign(std::size_t from, std::size_t to, StyleId id, std::size_t size);
    // The text was cut to `size`.
    void Truncate(std::size_t size);

    struct Run {
        std::size_t from;
        std::size_t to;
        StyleId style;
    };
    // The runs of other than the default style within [from, to), clipped to it.
    std::vector<Run> Runs(std::size_t from, std::size_t to) const;

private:
    struct Hash {
        std::size_t operator()(const TextStyle& s) const;
    };

    std::vector<TextStyle> table_;
    std::unordered_map<TextStyle, StyleId, Hash> known_;
    std::array<StyleId, 64> recent_{}; // a coloured log switches among a few styles: they are found here
    std::vector<std::u16string> links_;
    std::unordered_map<std::u16string, std::uint32_t> knownLinks_;
    // Run i covers [starts_[i], starts_[i + 1]); neighbours differ. Before the first, the default style.
    std::vector<std::uint64_t> starts_;
    std::vector<StyleId> ids_;
};
