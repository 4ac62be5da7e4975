#include "LayoutCache.h"

#include "QtClusters.h"
#include "UnmergedRuns.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace {

constexpr std::size_t PieceCharacters = 4096; // a line longer than this is laid out in pieces
constexpr std::size_t KeptLayouts = 64;       // beyond this, layouts far from the one asked for go
constexpr std::size_t FarLines = 64;
constexpr std::size_t FarCharacters = 32768;
// The piece starts of this many long lines are kept: more than a screen shows at once. Past it they all go
// together, and the few near the view are found again by one scan of each.
constexpr std::size_t KeptPieceLists = 16;

QString TextOf(const OutputText& text, std::size_t from, std::size_t to) {
    QString copy(static_cast<qsizetype>(to - from), Qt::Uninitialized);
    text.CopyTo(from, to, reinterpret_cast<char16_t*>(copy.data()));
    return copy;
}

} // namespace

void LayoutCache::SetFont(const QFont& font) {
    font_ = font;
    draftFont_ = font;
    draftFont_.setStyleStrategy(QFont::NoFontMerging);
    const QFontMetricsF metrics(font_);
    lineHeight_ = std::max(1, static_cast<int>(std::ceil(metrics.lineSpacing())));
    ascent_ = static_cast<int>(std::ceil(metrics.ascent()));
    blankWidth_ = metrics.horizontalAdvance(QLatin1Char(' '));
    // A console's tab stops: every 8 columns of the font's average character, or of its cell where every
    // character has the same width. Lines run left to right as a console's do; right-to-left runs within
    // them are ordered by the bidirectional algorithm.
    option_ = QTextOption();
    option_.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option_.setTextDirection(Qt::LeftToRight);
    const bool cells =
        metrics.horizontalAdvance(QLatin1Char('i')) == metrics.horizontalAdvance(QLatin1Char('W'));
    option_.setTabStopDistance(8 * (cells ? blankWidth_ : metrics.averageCharWidth()));
    Clear();
}

void LayoutCache::SetWidth(double width) {
    if (width != width_) {
        width_ = width;
        Clear();
    }
}

void LayoutCache::Clear() {
    ++changes_;
    layouts_.clear();
    pieces_.clear();
}

void LayoutCache::LineChanged(std::size_t line) {
    ++changes_;
    // A flood changes its last line with every chunk, and that line is seldom laid out yet: the last layout
    // tells without a search.
    if (!layouts_.empty() && layouts_.rbegin()->first.line >= line) {
        layouts_.erase(layouts_.lower_bound(Key{line, 0}), layouts_.end());
    }
    pieces_.erase(pieces_.lower_bound(line), pieces_.end());
}

// Where the piece from `from` ends: after the last blank in its second half, else at a cluster boundary.
std::size_t LayoutCache::CutAt(std::size_t from, std::size_t end) const {
    if (end - from <= PieceCharacters) {
        return end;
    }
    const std::size_t limit = from + PieceCharacters;
    for (std::size_t i = limit; i > from + PieceCharacters / 2; --i) {
        const char16_t c = text_.At(i - 1);
        if (c == u' ' || c == u'\t') {
            return i;
        }
    }
    const std::size_t cut = QtClusterStart([this](std::size_t i) { return text_.At(i); }, from, end, limit);
    return cut > limit - ClusterReach ? cut : limit;
}

const std::vector<std::size_t>& LayoutCache::Pieces(std::size_t line) const {
    auto found = pieces_.find(line);
    if (found != pieces_.end()) {
        return found->second;
    }
    if (pieces_.size() >= KeptPieceLists) {
        pieces_.clear();
    }
    const std::size_t start = text_.LineStart(line);
    const std::size_t end = text_.LineEnd(line);
    std::vector<std::size_t> starts{0};
    for (std::size_t from = start; (from = CutAt(from, end)) < end;) {
        starts.push_back(from - start);
    }
    return pieces_[line] = std::move(starts);
}

std::size_t LayoutCache::PieceCount(std::size_t line) const {
    const bool longLine = text_.LineEnd(line) - text_.LineStart(line) > PieceCharacters;
    return longLine ? Pieces(line).size() : 1;
}

std::pair<std::size_t, std::size_t> LayoutCache::PieceSpan(std::size_t line, std::size_t piece) const {
    const std::size_t start = text_.LineStart(line);
    const std::size_t end = text_.LineEnd(line);
    if (end - start <= PieceCharacters) {
        return {start, end};
    }
    const std::vector<std::size_t>& starts = Pieces(line);
    return {start + starts[piece], piece + 1 < starts.size() ? start + starts[piece + 1] : end};
}

std::size_t LayoutCache::PieceOf(std::size_t line, std::size_t position) const {
    const std::size_t start = text_.LineStart(line);
    if (text_.LineEnd(line) - start <= PieceCharacters) {
        return 0;
    }
    const std::vector<std::size_t>& starts = Pieces(line);
    return static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), position - start) -
                                    starts.begin()) -
           1;
}

// The line's formats cut to the piece [from, to) and counted from its start.
QList<QTextLayout::FormatRange> LayoutCache::FormatsOf(std::size_t line, std::size_t from,
                                                       std::size_t to) const {
    const std::size_t lineStart = text_.LineStart(line);
    const auto shift = static_cast<qsizetype>(from - lineStart);
    const auto length = static_cast<qsizetype>(to - from);
    QList<QTextLayout::FormatRange> inPiece;
    for (QTextLayout::FormatRange range : formats(lineStart, text_.LineEnd(line))) {
        const qsizetype start = std::max<qsizetype>(range.start - shift, 0);
        const qsizetype end = std::min<qsizetype>(range.start + range.length - shift, length);
        if (start < end) {
            range.start = static_cast<int>(start);
            range.length = static_cast<int>(end - start);
            inPiece.append(range);
        }
    }
    return inPiece;
}

std::shared_ptr<const QTextLayout> LayoutCache::Layout(std::size_t line, std::size_t piece) const {
    const Key key{line, piece};
    auto found = layouts_.find(key);
    if (found != layouts_.end()) {
        return found->second.layout;
    }
    const std::size_t from = PieceSpan(line, piece).first;
    if (layouts_.size() >= KeptLayouts) {
        for (auto kept = layouts_.begin(); kept != layouts_.end();) {
            const std::size_t keptFrom = PieceSpan(kept->first.line, kept->first.piece).first;
            const bool far = std::max(line, kept->first.line) - std::min(line, kept->first.line) > FarLines ||
                             std::max(from, keptFrom) - std::min(from, keptFrom) > FarCharacters;
            kept = far ? layouts_.erase(kept) : std::next(kept);
        }
    }
    const bool draft = deadline_ && Clock::now() >= *deadline_;
    auto layout = Build(line, piece, draft);
    layouts_[key] = {layout, draft};
    return layout;
}

bool LayoutCache::HasDrafts() const {
    return std::any_of(layouts_.begin(), layouts_.end(), [](const auto& kept) { return kept.second.draft; });
}

bool LayoutCache::RefineDrafts(std::size_t line, Clock::time_point deadline) {
    std::vector<Key> drafts;
    for (const auto& [key, laid] : layouts_) {
        if (laid.draft) {
            drafts.push_back(key);
        }
    }
    const auto distance = [line](const Key& key) {
        return std::max(key.line, line) - std::min(key.line, line);
    };
    std::stable_sort(drafts.begin(), drafts.end(),
                     [&](const Key& a, const Key& b) { return distance(a) < distance(b); });
    bool refined = false;
    for (const Key& key : drafts) {
        if (refined && Clock::now() >= deadline) {
            break;
        }
        layouts_[key] = {Build(key.line, key.piece, false), false};
        refined = true;
    }
    if (refined) {
        ++changes_;
    }
    return refined;
}

// A draft takes the font without fallback fonts for all of its text: no font is looked for, whatever it
// holds.
std::shared_ptr<QTextLayout> LayoutCache::Build(std::size_t line, std::size_t piece, bool draft) const {
    const auto [from, to] = PieceSpan(line, piece);
    auto layout = std::make_shared<QTextLayout>(TextOf(text_, from, to), draft ? draftFont_ : font_);
    layout->setTextOption(option_);
    layout->setCacheEnabled(true);
    const QList<QTextLayout::FormatRange> styled =
        formats && from != to ? FormatsOf(line, from, to) : QList<QTextLayout::FormatRange>{};
    QList<QTextLayout::FormatRange> pieceFormats;
    if (!draft) {
        pieceFormats = UnmergedRuns(layout->text());
        // In a bold or italic text font every row is left to the engine, as bold and italic rows are.
        if (font_.weight() == QFont::Normal && !font_.italic()) {
            pieceFormats.append(SoleFamilyRuns(layout->text(), pieceFormats, styled));
        }
    }
    pieceFormats.append(styled);
    if (!pieceFormats.isEmpty()) {
        layout->setFormats(pieceFormats);
    }
    // Rows on a grid of the font's line height, every baseline where the view's font puts it.
    layout->beginLayout();
    for (int row = 0;; ++row) {
        QTextLine textLine = layout->createLine();
        if (!textLine.isValid()) {
            break;
        }
        textLine.setLineWidth(width_);
        textLine.setPosition(QPointF(0, row * lineHeight_ + ascent_ - textLine.ascent()));
    }
    layout->endLayout();
    return layout;
}
