// The find field over the output box's top right corner: it searches as the user types from where the box's
// selection starts, Enter and F3 find the next match and Shift with them the previous one, each selected and
// scrolled into view; it says when there are no matches and when the search went round the end. Match case
// toggles with Alt+C; Escape closes the field and gives the focus back, the selection kept.
#pragma once

#include "TextSearch.h"

#include <QFrame>
#include <QPointer>

#include <cstddef>
#include <utility>
#include <vector>

class OutputView;
class QCheckBox;
class QLabel;
class QLineEdit;

class FindField final : public QFrame {
public:
    FindField(OutputView* view, QWidget* parent);

    void Open(); // takes the focus, noting where it was
    void Close(bool giveFocusBack);
    bool IsOpen() const { return isVisible(); }
    // The next or previous match of the last pattern, the field open to say how it went.
    void FindAgain(TextSearch::Direction direction);

    QLineEdit* Pattern() const { return pattern_; }
    QWidget* LastInTabOrder() const;
    QString Status() const;

    // The matches of the pattern within [from, to) while the field is open: what the box highlights on
    // screen.
    std::vector<std::pair<std::size_t, std::size_t>> MatchesWithin(std::size_t from, std::size_t to) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PlaceOverTheView(bool atTheBottom);
    bool Covers(std::size_t from, std::size_t to) const; // any of the match's characters on screen
    void Uncover(std::size_t from, std::size_t to);
    void PatternChanged();
    void Find(std::size_t from, TextSearch::Direction direction);
    void SetStatus(const QString& status);

    OutputView* view_;
    QLineEdit* pattern_;
    QCheckBox* matchCase_;
    QLabel* status_;
    TextSearch search_{u"", false};
    std::size_t origin_ = 0; // where searching as the user types starts
    QPointer<QWidget> focusBefore_;
};
