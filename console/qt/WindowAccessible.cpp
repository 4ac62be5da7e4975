#include "WindowAccessible.h"

#include <QAccessibleWidget>

namespace {

// The window as a whole: a plain widget would be reported as a filler.
class FrameAccessible final : public QAccessibleWidget {
public:
    explicit FrameAccessible(QWidget* window) : QAccessibleWidget(window, QAccessible::Window) {}
};

bool OutsideItsWindow(const QWidget* widget) {
    const QWidget* window = widget->window();
    return window != widget &&
           !window->rect().intersects(QRect(widget->mapTo(window, QPoint()), widget->size()));
}

// Still named and pressable, but offscreen while it lies outside its window.
class UnseenButtonAccessible final : public QAccessibleWidget {
public:
    explicit UnseenButtonAccessible(QPushButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override {
        QString text = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && text.isEmpty()) {
            text = Button()->text().remove(QLatin1Char('&'));
        }
        return text;
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.defaultButton = Button()->isDefault();
        state.offscreen = OutsideItsWindow(Button());
        return state;
    }
    QStringList actionNames() const override {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& actionName) override {
        if (actionName == pressAction()) {
            Button()->click();
        } else {
            QAccessibleWidget::doAction(actionName);
        }
    }

private:
    QPushButton* Button() const { return static_cast<QPushButton*>(widget()); }
};

} // namespace

QAccessibleInterface* WindowAccessibleFor(const QString& className, QObject* object) {
    if (object == nullptr || !object->isWidgetType()) {
        return nullptr;
    }
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("QWidget") && widget->isWindow()) {
        return new FrameAccessible(widget);
    }
    if (className == QLatin1String("UnseenButton")) {
        return new UnseenButtonAccessible(static_cast<QPushButton*>(widget));
    }
    return nullptr;
}
