#include "OutputAccessible.h"

#include "OutputView.h"

#include <QAccessibleWidget>

#include <algorithm>
#include <climits>

namespace {

class OutputAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit OutputAccessible(OutputView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TextInterface ? static_cast<QAccessibleTextInterface*>(this)
                                                  : QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Value ? View()->toPlainText() : QAccessibleWidget::text(t);
    }

    void selection(int index, int* startOffset, int* endOffset) const override {
        const auto [from, to] = View()->Selection();
        *startOffset = index == 0 && from != to ? Offset(from) : 0;
        *endOffset = index == 0 && from != to ? Offset(to) : 0;
    }
    int selectionCount() const override { return View()->Selection().first != View()->Selection().second; }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int) override { View()->Select(View()->Caret(), View()->Caret()); }
    void setSelection(int, int startOffset, int endOffset) override {
        View()->Select(Position(startOffset), Position(endOffset));
    }
    int cursorPosition() const override { return Offset(View()->Caret()); }
    void setCursorPosition(int position) override { View()->Select(Position(position), Position(position)); }
    QString text(int startOffset, int endOffset) const override {
        // Whole clusters only, never half a character.
        const std::size_t from = View()->ClusterAt(Position(startOffset)).first;
        const auto [start, end] = View()->ClusterAt(Position(endOffset));
        return View()->Text(from, start == Position(endOffset) ? start : end);
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* startOffset,
                         int* endOffset) const override {
        const std::size_t at = Position(offset);
        std::pair<std::size_t, std::size_t> span = View()->ClusterAt(at);
        if (boundary == QAccessible::WordBoundary) {
            span = View()->WordAt(at);
        } else if (boundary == QAccessible::NoBoundary) {
            span = {0, View()->CharacterCount()};
        } else if (boundary != QAccessible::CharBoundary) {
            span = View()->LineAt(at);
            span.second = std::min(span.second + 1, View()->CharacterCount()); // with its line break
        }
        *startOffset = Offset(span.first);
        *endOffset = Offset(span.second);
        return View()->Text(span.first, span.second);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int* startOffset,
                             int* endOffset) const override {
        int start = 0;
        int end = 0;
        textAtOffset(offset, boundary, &start, &end);
        if (start == 0) {
            *startOffset = *endOffset = 0;
            return {};
        }
        return textAtOffset(start - 1, boundary, startOffset, endOffset);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int* startOffset,
                            int* endOffset) const override {
        int start = 0;
        int end = 0;
        textAtOffset(offset, boundary, &start, &end);
        if (end >= characterCount()) {
            *startOffset = *endOffset = characterCount();
            return {};
        }
        return textAtOffset(end, boundary, startOffset, endOffset);
    }
    int characterCount() const override { return Offset(View()->CharacterCount()); }
    QRect characterRect(int offset) const override {
        const QRect rect = View()->CharacterRect(Position(offset));
        return rect.isEmpty() ? rect : QRect(View()->mapToGlobal(rect.topLeft()), rect.size());
    }
    int offsetAtPoint(const QPoint& point) const override {
        return Offset(View()->PositionAt(View()->mapFromGlobal(point)));
    }
    void scrollToSubstring(int startIndex, int endIndex) override {
        View()->Select(Position(endIndex), Position(startIndex));
    }
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset;
        return {};
    }

private:
    OutputView* View() const { return static_cast<OutputView*>(widget()); }
    // The interface counts in int: beyond 2 G characters a screen reader sees the start of the text.
    static int Offset(std::size_t position) {
        return static_cast<int>(std::min<std::size_t>(position, INT_MAX));
    }
    std::size_t Position(int offset) const {
        return std::min(static_cast<std::size_t>(std::max(offset, 0)), View()->CharacterCount());
    }
};

} // namespace

QAccessibleInterface* OutputAccessibleFor(const QString& className, QObject* object) {
    if (className == QLatin1String("OutputView") && object != nullptr && object->isWidgetType()) {
        return new OutputAccessible(static_cast<OutputView*>(object));
    }
    return nullptr;
}
