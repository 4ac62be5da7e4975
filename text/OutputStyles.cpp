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
    starts_.clear();
    starts_.shrink_to_fit();
    ids_.clear();
    ids_.shrink_to_fit();
}

OutputStyles::StyleId OutputStyles::Intern(const TextStyle& style) {
    // The recent styles are found by a cheap mix of the fields; the table's hash is for the rest.
    const std::uint32_t mix = style.foreground.Value() * 7 ^ style.background.Value() * 3 ^
                              std::uint32_t{style.attributes} * 5 ^ style.link;
    StyleId& recent = recent_[mix % recent_.size()];
    if (table_[recent] == style) {
        return recent;
    }
    const auto [it, added] = known_.try_emplace(style, static_cast<StyleId>(table_.size()));
    if (added) {
        table_.push_back(style);
    }
    recent = it->second;
    return recent;
}

std::uint32_t OutputStyles::InternLink(std::u16string_view target) {
    const auto [it, added] =
        knownLinks_.try_emplace(std::u16string(target), static_cast<std::uint32_t>(links_.size()));
    if (added) {
        links_.emplace_back(target);
    }
    return it->second;
}

OutputStyles::StyleId OutputStyles::StyleAt(std::size_t position) const {
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), position);
    return after == starts_.begin() ? 0 : ids_[static_cast<std::size_t>(after - starts_.begin()) - 1];
}

void OutputStyles::Append(std::size_t from, StyleId id) {
    if (StyleAtEnd() == id) {
        return;
    }
    starts_.push_back(from);
    ids_.push_back(id);
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
    // Runs starting within [from, to] go; the style before `from` and the one at `to` stay as they were.
    const auto first =
        static_cast<std::ptrdiff_t>(std::lower_bound(starts_.begin(), starts_.end(), from) - starts_.begin());
    const auto last =
        static_cast<std::ptrdiff_t>(std::upper_bound(starts_.begin(), starts_.end(), to) - starts_.begin());
    starts_.erase(starts_.begin() + first, starts_.begin() + last);
    ids_.erase(ids_.begin() + first, ids_.begin() + last);
    const StyleId before = first > 0 ? ids_[static_cast<std::size_t>(first) - 1] : 0;
    auto at = first;
    if (before != id) {
        starts_.insert(starts_.begin() + at, from);
        ids_.insert(ids_.begin() + at, id);
        ++at;
    }
    if (after != id) {
        starts_.insert(starts_.begin() + at, to);
        ids_.insert(ids_.begin() + at, after);
    }
}

void OutputStyles::Truncate(std::size_t size) {
    const auto cut = std::lower_bound(starts_.begin(), starts_.end(), size);
    ids_.resize(static_cast<std::size_t>(cut - starts_.begin()));
    starts_.erase(cut, starts_.end());
}

std::vector<OutputStyles::Run> OutputStyles::Runs(std::size_t from, std::size_t to) const {
    std::vector<Run> runs;
    auto i =
        static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), from) - starts_.begin());
    i = i > 0 ? i - 1 : 0;
    for (; i < starts_.size() && starts_[i] < to; ++i) {
        const std::size_t end = i + 1 < starts_.size() ? std::min<std::size_t>(starts_[i + 1], to) : to;
        const std::size_t start = std::max<std::size_t>(starts_[i], from);
        if (ids_[i] != 0 && start < end) {
            runs.push_back({start, end, ids_[i]});
        }
    }
    return runs;
}
