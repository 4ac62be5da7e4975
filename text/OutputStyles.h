// The colours, attributes and links of the output text, kept beside it as runs: a table of the styles met
// and, in text order, where each run starts. Text printed without any costs nothing here; runs are kept in
// large pages (LargeBlock.h), so that a flood of colours never copies them as they grow.
#pragma once

#include "LargeBlock.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The fuzz build keeps a few runs a page, so that its short inputs cross pages.
#ifndef OMBREL_STYLE_PAGE_SHIFT
#define OMBREL_STYLE_PAGE_SHIFT 18
#endif

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
    // Runs are kept 256 Ki a page: 2 MB of starts (a huge page where the system offers them) and 1 MB of
    // styles.
    static constexpr unsigned PageShift = OMBREL_STYLE_PAGE_SHIFT;
    static constexpr std::size_t PageRuns = std::size_t{1} << PageShift;

    OutputStyles();
    void Clear();

    // The recent styles are found by a cheap mix of their fields, here, its top bits picking the slot (the
    // default style and black differ only in a colour's kind, high in its value); the table's hash is for
    // the rest.
    StyleId Intern(const TextStyle& style) {
        const std::uint32_t mix = style.foreground.Value() * 0x9E3779B1U ^
                                  style.background.Value() * 0x85EBCA77U ^
                                  std::uint32_t{style.attributes} * 0xC2B2AE3DU ^ style.link * 0x27D4EB2FU;
        static_assert(sizeof(recent_) / sizeof(StyleId) == 64);
        StyleId& recent = recent_[mix >> 26];
        if (table_[recent] != style) {
            recent = InternAnew(style);
        }
        return recent;
    }
    const TextStyle& Style(StyleId id) const { return table_[id]; }
    std::uint32_t InternLink(std::u16string_view target); // never 0
    std::u16string_view Link(std::uint32_t link) const { return links_[link]; }

    StyleId StyleAt(std::size_t position) const;
    StyleId StyleAtEnd() const { return end_; }

    // Text appended from `from` (the text's end) on takes `id`.
    void Append(std::size_t from, StyleId id) {
        if (StyleAtEnd() != id) {
            Add(from, id);
        }
    }
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
    struct Page {
        large_block::Ptr<std::uint64_t> starts;
        large_block::Ptr<StyleId> ids;
    };

    std::uint64_t Start(std::size_t run) const {
        return pages_[run >> PageShift].starts[run & (PageRuns - 1)];
    }
    StyleId Id(std::size_t run) const { return pages_[run >> PageShift].ids[run & (PageRuns - 1)]; }
    void Add(std::uint64_t start, StyleId id) {
        const std::size_t slot = count_ & (PageRuns - 1);
        if (slot == 0) {
            ToPage(count_ >> PageShift);
        }
        startsAt_[slot] = start;
        idsAt_[slot] = id;
        ++count_;
        end_ = id;
    }
    void CutRuns(std::size_t count) { // to the first `count`
        count_ = count;
        end_ = count_ == 0 ? 0 : Id(count_ - 1);
        if ((count_ & (PageRuns - 1)) != 0) {
            ToPage(count_ >> PageShift);
        }
    }
    void ToPage(std::size_t page) { // the page the next run goes into, added where it is not yet
        if (page == pages_.size()) {
            AddPage();
        }
        startsAt_ = pages_[page].starts.get();
        idsAt_ = pages_[page].ids.get();
    }
    void AddPage();
    StyleId InternAnew(const TextStyle& style);         // past the recent ones
    std::size_t FirstAfter(std::size_t position) const; // the first run starting after `position`
    std::size_t FirstAtOrAfter(std::size_t position) const;

    std::vector<TextStyle> table_;
    std::unordered_map<TextStyle, StyleId, Hash> known_;
    std::array<StyleId, 64> recent_{}; // a coloured log switches among a few styles: they are found here
    std::vector<std::u16string> links_;
    std::unordered_map<std::u16string, std::uint32_t> knownLinks_;
    // Run i covers [Start(i), Start(i + 1)); neighbours differ. Before the first, the default style.
    std::vector<Page> pages_;
    std::size_t count_ = 0;
    // The page of run count_, where count_ is not at a page's start: a coloured flood adds a run with each
    // piece of text, without looking for its page.
    std::uint64_t* startsAt_ = nullptr;
    StyleId* idsAt_ = nullptr;
    StyleId end_ = 0; // the last run's style, read at every piece of text
};
