// The output view's layout cache: Qt's text engine lays out the lines near the view, a piece of a long line
// at a time, and keeps the layouts until the text, the font or the width changes or the view moves far away.
// Lines far from the view are never laid out. What the rows of these layouts are is LineLayouts' concern.
// Under a deadline (a paint during a flood), layouts built once it has passed are drafts: laid out without
// font fallback, which costs little whatever the text holds, and refined later, a few at a time.
#pragma once

#include "OutputText.h"

#include <QFont>
#include <QList>
#include <QTextLayout>
#include <QTextOption>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

class LayoutCache {
public:
    using Formats =
        std::function<QList<QTextLayout::FormatRange>(std::size_t lineStart, std::size_t lineEnd)>;

    explicit LayoutCache(const OutputText& text) : text_(text) {}

    void SetFont(const QFont& font);    // drops every layout
    void SetWidth(double width);        // a row's; drops every layout when it differs from the last width
    void Clear();                       // drops every layout
    void LineChanged(std::size_t line); // that line and the ones after it changed
    Formats formats;                    // a line's colours and weights, applied to the layouts built after
    std::uint64_t Changes() const { return changes_; } // counts the calls that drop layouts

    using Clock = std::chrono::steady_clock;
    // Layouts built after `deadline` are drafts, until the deadline is taken away (nullopt).
    void SetDeadline(std::optional<Clock::time_point> deadline) { deadline_ = deadline; }
    bool HasDrafts() const;
    // Lays out drafts again in full, the nearest to `line` first, until `deadline` (one at least); true when
    // any changed.
    bool RefineDrafts(std::size_t line, Clock::time_point deadline);

    int LineHeight() const { return lineHeight_; }
    double BlankWidth() const { return blankWidth_; }

    // A line longer than a piece is laid out a piece at a time, cut at a break opportunity, so a megabyte
    // line costs only the pieces shown; most lines are one piece.
    std::shared_ptr<const QTextLayout> Layout(std::size_t line, std::size_t piece) const;
    std::pair<std::size_t, std::size_t> PieceSpan(std::size_t line, std::size_t piece) const; // positions
    std::size_t PieceCount(std::size_t line) const;
    std::size_t PieceOf(std::size_t line, std::size_t position) const;

private:
    struct Key {
        std::size_t line;
        std::size_t piece;
        bool operator<(const Key& other) const {
            return std::tie(line, piece) < std::tie(other.line, other.piece);
        }
    };
    struct Laid {
        std::shared_ptr<QTextLayout> layout;
        bool draft = false;
    };
    std::shared_ptr<QTextLayout> Build(std::size_t line, std::size_t piece, bool draft) const;
    const std::vector<std::size_t>& Pieces(std::size_t line) const; // starts of a long line's pieces
    std::size_t CutAt(std::size_t from, std::size_t end) const;
    QList<QTextLayout::FormatRange> FormatsOf(std::size_t line, std::size_t from, std::size_t to) const;

    const OutputText& text_;
    QFont font_;
    QFont draftFont_; // the same without fallback fonts
    std::optional<Clock::time_point> deadline_;
    QTextOption option_;
    double width_ = 1;
    int lineHeight_ = 1;
    int ascent_ = 0;
    double blankWidth_ = 1;
    std::uint64_t changes_ = 0;
    mutable std::map<Key, Laid> layouts_;
    mutable std::map<std::size_t, std::vector<std::size_t>> pieces_;
};
