#include "OutputStyles.h"

#include <algorithm>

std::size_t OutputStyles::Hash::operator()(const TextStyle& s) const {
    std::uint64_t h = s.foreground.Value();
    h = h * 0x9E3779B97F4A7C15ULL ^ s.background.Value();
    h = h * 0x9E3779B97F4A7C15ULL ^ (std::uint64_t{s.attributes} << 32 | s.link);
    return static_cast<std::size_t>(h ^ (h >> 29));
}

OutputStyles::OutputStyles() {
    Clear();
}

void OutputStyles::Clear() {
    table_.assign(1, TextStyle{});
    recent_.fill(0);
    known_.clear();
    known_.emplace(TextStyle{}, 0);
    links_.assign(1, std::u16string());
    knownLinks_.clear();
    pages_.clear();
    CutRuns(0);
}

OutputStyles::StyleId OutputStyles::InternAnew(const TextStyle& style) {
    const auto [it, added] = known_.try_emplace(style, static_cast<StyleId>(table_.size()));
    if (added) {
        table_.push_back(style);
    }
    return it->second;
}

std::uint32_t OutputStyles::InternLink(std::u16string_view target) {
    const auto [it, added] =
        knownLinks_.try_emplace(std::u16string(target), static_cast<std::uint32_t>(links_.size()));
    if (added) {
        links_.emplace_back(target);
    }
    return it->second;
}

void OutputStyles::AddPage() {
    pages_.push_back({large_block::Make<std::uint64_t>(PageRuns), large_block::Make<StyleId>(PageRuns)});
}

std::size_t OutputStyles::FirstAfter(std::size_t position) const {
    std::size_t low = 0;
    std::size_t high = count_;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (Start(middle) <= position) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

std::size_t OutputStyles::FirstAtOrAfter(std::size_t position) const {
    return position == 0 ? 0 : FirstAfter(position - 1);
}

OutputStyles::StyleId OutputStyles::StyleAt(std::size_t position) const {
    const std::size_t after = FirstAfter(position);
    return after == 0 ? 0 : Id(after - 1);
}

void OutputStyles::Assign(std::size_t from, std::size_t to, StyleId id, std::size_t size) {
    if (from >= to) {
        return;
    }
    if (to >= size) {
        Truncate(from);
        Append(from, id);
        return;
    }
    const StyleId after = StyleAt(to);
    // Runs starting within [from, to] go; the style before `from` and the one at `to` stay as they were, and
    // the runs after `to` (within the last line) follow.
    const std::size_t first = FirstAtOrAfter(from);
    const std::size_t last = FirstAfter(to);
    std::vector<std::pair<std::uint64_t, StyleId>> rest;
    for (std::size_t i = last; i < count_; ++i) {
        rest.emplace_back(Start(i), Id(i));
    }
    CutRuns(first);
    if (StyleAtEnd() != id) {
        Add(from, id);
    }
    if (after != id) {
        Add(to, after);
    }
    for (const auto& [start, style] : rest) {
        Add(start, style);
    }
}

void OutputStyles::Truncate(std::size_t size) {
    if (count_ == 0 || Start(count_ - 1) < size) {
        return; // no run starts in what was cut
    }
    CutRuns(FirstAtOrAfter(size));
    // The page added to next stays, so that a meter cutting back across a page's start does not map it
    // again at every tick.
    pages_.resize(std::min(pages_.size(), (count_ >> PageShift) + 1));
}

std::vector<OutputStyles::Run> OutputStyles::Runs(std::size_t from, std::size_t to) const {
    std::vector<Run> runs;
    std::size_t i = FirstAfter(from);
    i = i > 0 ? i - 1 : 0;
    for (; i < count_ && Start(i) < to; ++i) {
        const std::size_t end = i + 1 < count_ ? std::min<std::size_t>(Start(i + 1), to) : to;
        const std::size_t start = std::max<std::size_t>(Start(i), from);
        if (Id(i) != 0 && start < end) {
            runs.push_back({start, end, Id(i)});
        }
    }
    return runs;
}
