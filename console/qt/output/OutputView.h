// The output box on Qt: a read-only text view over OutputText that lays out and paints only the rows on
// screen, so showing output costs the same at a kilobyte and at a gigabyte. Qt's text engine lays out those
// rows (LayoutCache, LineLayouts); the view selects, copies and scrolls as a read-only text box does, a
// grapheme cluster at a time, and tells screen readers what it holds through the accessible text interface.
#pragma once

#include "ChangedLines.h"
#include "ConsoleOutput.h"
#include "LayoutCache.h"
#include "LineLayouts.h"
#include "OutputText.h"
#include "ScrollEstimate.h"

#include <QAbstractScrollArea>
#include <QList>
#include <QString>
#include <QTextLayout>
#include <QTimer>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

class OutputView final : public QAbstractScrollArea {
    Q_OBJECT
    // The whole text, line breaks as "\n".
    Q_PROPERTY(QString plainText READ toPlainText)

public:
    explicit OutputView(QWidget* parent = nullptr);
    static constexpr int Margin = 4; // between the frame and the text, left and right

    void SetText(std::u16string_view text);     // replaces the text; shown at the next Show
    void AppendText(std::u16string_view chunk); // carriage returns and sequences as a console treats them
    // A command's output starts in the default colours, and the view follows it to the end until the user
    // scrolls away or selects.
    void StartRun();
    const OutputStyles& Styles() const { return styles_; }
    // Puts what was added on screen now, and tells screen readers what it is. The caret goes to the end when
    // asked, unless the user has scrolled away from the end or holds a selection made since the run began.
    void Show(bool caretToEnd);
    // What laying out the rows may take in one showing; rows laid out past it are drafts, drawn without
    // fallback fonts and laid out in full by a follow-up paint, so a showing costs about the same whatever
    // the text holds. Zero makes every new layout of a showing a draft (for tests).
    void SetLayoutBudget(std::chrono::milliseconds budget) { layoutBudget_ = budget; }
    static constexpr std::chrono::milliseconds LayoutBudget{25};
    bool HasDrafts() const { return cache_.HasDrafts(); } // rows shown as drafts, to be refined

    // The text's font for this session: the box's own, or the system's fixed-pitch font at the same size
    // (tab stops every 8 of its cells), each zoomed by whole points. Ctrl+Shift+M toggles the fixed pitch,
    // Ctrl+Plus, Ctrl+Minus and Ctrl+wheel zoom, Ctrl+0 goes back to the box's size.
    void SetFixedPitch(bool on);
    bool FixedPitch() const { return fixedPitch_; }
    void Zoom(int points); // by so many points, within MinimumPointSize to MaximumPointSize; 0 resets
    const QFont& TextFont() const { return textFont_; }
    bool FontKey(const QKeyEvent* event); // true when it was one of the keys above, and done
    static constexpr double MinimumPointSize = 4;
    static constexpr double MaximumPointSize = 72;

    // Scrolls, where the text allows, so that the row holding the position lies at least `pixels` below
    // the view's top edge (under which something else is drawn).
    void RevealBelow(std::size_t position, int pixels);

    QString toPlainText() const { return Text(0, text_.Size()); }
    QString Text(std::size_t from, std::size_t to) const;
    std::size_t CharacterCount() const { return text_.Size(); }
    const OutputText& Store() const { return text_; }
    std::size_t Caret() const { return caret_; }
    std::pair<std::size_t, std::size_t> Selection() const; // [from, to), empty when nothing is selected
    void Select(std::size_t anchor, std::size_t caret);    // and brings the caret into view
    void SelectAll();
    void Copy() const;
    QRect CharacterRect(std::size_t position) const; // in the view's coordinates; empty when off screen
    std::size_t PositionAt(QPoint point) const;      // in the view's coordinates
    std::pair<std::size_t, std::size_t> ClusterAt(std::size_t position) const; // the cluster holding it
    std::pair<std::size_t, std::size_t> WordAt(std::size_t position) const;    // in whole clusters
    std::pair<std::size_t, std::size_t> LineAt(std::size_t position) const { return text_.LineAt(position); }

    // The character formats of a line (colours, weights, underlines), as ranges relative to the line's
    // start; none for plain text. Layouts built after it is set use it.
    std::function<QList<QTextLayout::FormatRange>(std::size_t lineStart, std::size_t lineEnd)> lineFormats;
    // Ranges [from, to) in text positions to draw highlighted behind the text (find matches), asked for
    // the span that is on screen.
    std::function<std::vector<std::pair<std::size_t, std::size_t>>(std::size_t from, std::size_t to)>
        extraHighlights;
    void InvalidateLayouts();                                // formats changed: drop cached layouts, repaint
    std::pair<std::size_t, std::size_t> VisibleSpan() const; // text positions on screen

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    enum class Unit { Character, Word, Line }; // what a drag extends the selection by

    TextRow EndTop() const; // the top row that shows the last row at the bottom
    int VisibleRows() const;
    long long ScreenRow(TextRow row) const;       // from the top of the view; -1 when off screen
    std::size_t AtRowsAway(long long rows) const; // the caret's x kept, for Up, Down and the page keys
    std::size_t WordRight(std::size_t position) const;
    std::size_t WordLeft(std::size_t position) const;
    void UpdateMetrics();
    void ApplyTextFont();
    void AnnounceNewText();
    void RefineDrafts(); // the drafts nearest the view, within the budget, then painted
    bool Refine(LayoutCache::Clock::time_point deadline);
    void ScrollTo(TextRow top);
    void UpdateScrollBar();
    void OnScrollBarMoved(int value);
    void MoveCaret(std::size_t position, bool extend);
    void EnsureCaretVisible();
    void ExtendSelection(std::size_t position);
    void AutoScroll();
    void OfferPrimarySelection() const;
    void TellScreenReader();
    QString LinkUnder(QPoint point) const; // in the view's coordinates
    void ShowLinkCursor(QPoint point, Qt::KeyboardModifiers modifiers);

    OutputText text_;
    OutputStyles styles_;
    ChangedLines lines_{text_};
    ConsoleOutput console_{lines_, &styles_};
    std::size_t caret_ = 0;
    std::size_t anchor_ = 0;
    TextRow top_;
    bool following_ = true; // the view stays at the end as output arrives
    bool settingScrollBar_ = false;
    bool changed_ = false;       // text added since the last Show
    bool keepSelection_ = false; // the user selected since the run began: new output leaves it be
    std::size_t announced_ = 0;  // how much of the text screen readers have been told of
    bool fixedPitch_ = false;
    int zoom_ = 0; // points added to the font's size
    QFont textFont_;

    LayoutCache cache_{text_};
    LineLayouts layouts_{text_, cache_};
    ScrollEstimate estimate_{text_, cache_};
    mutable std::uint64_t endTopChanges_ = ~std::uint64_t{0}; // EndTop as of these layouts and rows
    mutable int endTopRows_ = 0;
    mutable TextRow endTop_;

    Unit unit_ = Unit::Character;
    std::pair<std::size_t, std::size_t> unitAnchor_; // the word or line a drag started on
    qint64 lastDoubleClickMs_ = -1;
    QPoint lastDoubleClickAt_;
    int wheelRemainder_ = 0;
    QTimer autoScroll_; // while a drag is held beyond the top or bottom edge
    std::chrono::milliseconds layoutBudget_ = LayoutBudget;
    QTimer refine_; // while drafts are kept
    QPoint dragAt_;
};
