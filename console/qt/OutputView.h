// The output box on Qt: a read-only text view over OutputText that lays out and paints only the rows on
// screen, so showing output costs the same at a kilobyte and at a gigabyte. It selects, copies and scrolls as
// a read-only text box does, and tells screen readers what it holds through the accessible text interface.
#pragma once

#include "ConsoleOutput.h"
#include "OutputText.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QString>

#include <cstddef>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

class OutputView final : public QAbstractScrollArea {
    Q_OBJECT
    // The whole text, line breaks as "\n".
    Q_PROPERTY(QString plainText READ toPlainText)

public:
    explicit OutputView(QWidget* parent = nullptr);

    void SetText(std::u16string_view text);     // replaces the text; shown at the next Show
    void AppendText(std::u16string_view chunk); // carriage returns and sequences as a console treats them
    void StartRun() { console_.StartRun(); }    // a command's output starts in the default colours
    const OutputStyles& Styles() const { return styles_; }
    void Show(bool caretToEnd); // puts what was added on screen now

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
    std::pair<std::size_t, std::size_t> WordAt(std::size_t position) const { return text_.WordAt(position); }
    std::pair<std::size_t, std::size_t> LineAt(std::size_t position) const { return text_.LineAt(position); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // A screen row: the row'th row of a line as wrapped at the view's width.
    struct Row {
        std::size_t line = 0;
        std::size_t row = 0;
        bool operator==(const Row&) const = default;
        bool operator<(const Row& other) const {
            return line != other.line ? line < other.line : row < other.row;
        }
    };
    enum class Unit { Character, Word, Line }; // what a drag extends the selection by

    const std::vector<std::size_t>& Rows(std::size_t line) const;
    std::pair<std::size_t, std::size_t> RowSpan(Row row) const; // text positions
    Row RowOf(std::size_t position) const;
    Row MoveRows(Row from, long long rows) const; // within the text
    Row EndTop() const;                           // the top row that shows the last row at the bottom
    int VisibleRows() const;
    double Advance(char16_t c) const;
    double X(std::size_t rowStart, std::size_t position) const;
    std::size_t PositionInRow(Row row, double x) const;
    void UpdateMetrics();
    void ScrollTo(Row top);
    void UpdateScrollBar();
    void OnScrollBarMoved(int value);
    void MoveCaret(std::size_t position, bool extend);
    void EnsureCaretVisible();
    void ExtendSelection(std::size_t position);
    void OfferPrimarySelection() const;
    void TellScreenReader();

    OutputText text_;
    OutputStyles styles_;
    ConsoleOutput console_{text_, &styles_};
    std::size_t caret_ = 0;
    std::size_t anchor_ = 0;
    Row top_;
    bool following_ = true; // the view stays at the end as output arrives
    bool settingScrollBar_ = false;
    bool changed_ = false; // text added since the last Show

    // Layout: each character's advance in a font without kerning, so a row's width is the sum of its
    // characters'; rows of recently shown lines are kept.
    QFont rowFont_;
    double latin1Advances_[256] = {};
    mutable QHash<char16_t, double> otherAdvances_;
    int lineHeight_ = 1;
    int ascent_ = 0;
    mutable std::map<std::size_t, std::vector<std::size_t>> rowsOfLine_;

    Unit unit_ = Unit::Character;
    std::pair<std::size_t, std::size_t> unitAnchor_; // the word or line a drag started on
    qint64 lastDoubleClickMs_ = -1;
    QPoint lastDoubleClickAt_;
    int wheelRemainder_ = 0;
};
