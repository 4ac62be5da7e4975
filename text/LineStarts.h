// Where each line of the output box's text starts, in `Offset`s a line (four bytes for the box): starts sit
// in groups of GroupLines, each an offset from its group's first start. A group whose lines are all of one
// length (a flood of empty lines, `seq`'s numbers of one width) keeps only that length until a line of
// another length comes, and then its offsets. A group whose lines span more than an `Offset` holds keeps its
// offsets in 64 bits from then on, so no start is ever cut short; only lines that average a million
// characters get there, so it costs nothing in practice. The box uses 32-bit offsets; a smaller type lets
// the spill be checked without gigabytes of text.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

// The fuzz build makes groups of a few lines, so that its short inputs cross them.
#ifndef OMBREL_TEXT_GROUP_LINES
#define OMBREL_TEXT_GROUP_LINES 4096
#endif

template <typename Offset>
class LineStarts {
public:
    static constexpr std::size_t GroupLines = OMBREL_TEXT_GROUP_LINES;

    void Clear() {
        groups_.clear();
        count_ = 0;
        next_ = last_ = nullptr;
        evenLeft_ = 0;
    }
    std::size_t Count() const { return count_; }

    // The next line starts at `start`, no earlier than the last one. Within a narrow group that is one store;
    // within an even one, a comparison.
    void Add(std::size_t start) {
        if (next_ != last_ && start - base_ <= std::numeric_limits<Offset>::max()) {
            *next_++ = static_cast<Offset>(start - base_);
            ++count_;
            return;
        }
        if (evenLeft_ != 0 && start == evenNext_) {
            evenNext_ += groups_.back().length;
            --evenLeft_;
            ++count_;
            return;
        }
        AddToNewOrWideGroup(start);
    }
    // `count` lines start one after the other from `start` on: the empty lines of a flood of line breaks,
    // stored a group's room at a time.
    void AddConsecutive(std::size_t start, std::size_t count) {
        while (count != 0) {
            if (evenLeft_ != 0 && start == evenNext_ && groups_.back().length == 1) {
                const std::size_t n = std::min(count, evenLeft_);
                evenNext_ += n;
                evenLeft_ -= n;
                count_ += n;
                start += n;
                count -= n;
                continue;
            }
            if (next_ == last_ || start + count - 1 - base_ > std::numeric_limits<Offset>::max()) {
                Add(start++);
                --count;
                continue;
            }
            const std::size_t n = std::min(count, static_cast<std::size_t>(last_ - next_));
            auto offset = static_cast<Offset>(start - base_); // counted in Offset's width, a vector at a time
            for (Offset* const stop = next_ + n; next_ != stop; ++next_) {
                *next_ = offset++;
            }
            count_ += n;
            start += n;
            count -= n;
        }
    }

    std::size_t Start(std::size_t line) const {
        const Group& group = groups_[line / GroupLines];
        const std::size_t i = line % GroupLines;
        if (group.narrow) {
            return static_cast<std::size_t>(group.base + group.narrow[i]);
        }
        return static_cast<std::size_t>(group.base + (group.wide ? group.wide[i] : i * group.length));
    }

    // The last line that starts at or before `position` (the first line starts at 0 or before).
    std::size_t LineOf(std::size_t position) const {
        const auto group = std::upper_bound(groups_.begin(), groups_.end(), position,
                                            [](std::size_t p, const Group& g) { return p < g.base; }) -
                           1;
        const std::size_t first = static_cast<std::size_t>(group - groups_.begin()) * GroupLines;
        const std::size_t count = std::min(GroupLines, count_ - first);
        const std::uint64_t offset = position - group->base;
        if (!group->narrow && !group->wide) { // even: one line so far has no length yet
            return first +
                   (group->length == 0 ? 0 : std::min<std::size_t>(offset / group->length, count - 1));
        }
        if (group->wide) {
            const std::uint64_t* offsets = group->wide.get();
            return first +
                   static_cast<std::size_t>(std::upper_bound(offsets, offsets + count, offset) - offsets) - 1;
        }
        // Past what an offset holds lies past every narrow one of the group.
        if (offset > std::numeric_limits<Offset>::max()) {
            return first + count - 1;
        }
        const Offset* offsets = group->narrow.get();
        return first +
               static_cast<std::size_t>(
                   std::upper_bound(offsets, offsets + count, static_cast<Offset>(offset)) - offsets) -
               1;
    }

private:
    struct Group;

    [[gnu::noinline]] void AddToNewOrWideGroup(std::size_t start) {
        const std::size_t i = count_ % GroupLines;
        if (i == 0) { // a new group, even until a line's length differs
            Group& added = groups_.emplace_back();
            added.base = start;
            next_ = last_ = nullptr;
            evenLeft_ = 0;
            ++count_;
            return;
        }
        Group& group = groups_.back();
        const std::uint64_t offset = start - group.base;
        if (!group.narrow && !group.wide) {
            if (i == 1 && offset != 0) { // the second line gives the group its length
                group.length = offset;
                evenNext_ = start + offset;
                evenLeft_ = GroupLines - 2;
                ++count_;
                return;
            }
            Spread(group, i);
        }
        if (!group.wide && offset > std::numeric_limits<Offset>::max()) {
            group.wide = std::make_unique_for_overwrite<std::uint64_t[]>(GroupLines);
            std::copy_n(group.narrow.get(), i, group.wide.get());
            group.narrow.reset();
        }
        if (group.wide) {
            group.wide[i] = offset;
            next_ = last_ = nullptr;
        } else {
            group.narrow[i] = static_cast<Offset>(offset);
            base_ = group.base;
            next_ = group.narrow.get() + i + 1;
            last_ = group.narrow.get() + GroupLines;
        }
        ++count_;
    }

    // An even group's first `lines` starts written out, narrow where they fit, once a line of another length
    // comes.
    void Spread(Group& group, std::size_t lines) {
        evenLeft_ = 0;
        if ((lines - 1) * group.length <= std::numeric_limits<Offset>::max()) {
            group.narrow = std::make_unique_for_overwrite<Offset[]>(GroupLines);
            for (std::size_t i = 0; i < lines; ++i) {
                group.narrow[i] = static_cast<Offset>(i * group.length);
            }
        } else {
            group.wide = std::make_unique_for_overwrite<std::uint64_t[]>(GroupLines);
            for (std::size_t i = 0; i < lines; ++i) {
                group.wide[i] = i * group.length;
            }
        }
    }

    struct Group {
        std::uint64_t base = 0;   // where its first line starts
        std::uint64_t length = 0; // of each of its lines while it has no offsets (none yet with one line)
        std::unique_ptr<Offset[]> narrow;
        std::unique_ptr<std::uint64_t[]> wide; // once an offset outgrew Offset
    };
    std::vector<Group> groups_;
    std::size_t count_ = 0;
    // Where the next start goes while the last group is narrow and has room, and its base.
    Offset* next_ = nullptr;
    Offset* last_ = nullptr;
    std::uint64_t base_ = 0;
    // While the last group is even and has room: where its next line would start, and how many more fit.
    std::uint64_t evenNext_ = 0;
    std::size_t evenLeft_ = 0;
};
