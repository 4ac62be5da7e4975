// What a screen reader sees of the window itself and of its unseen buttons: the window is a frame named by
// its caption, and a button that lies wholly outside its window's client area is reported offscreen, not
// showing, so nothing reads out a control the user can never see.
#pragma once

#include <QPushButton>

class QAccessibleInterface;
class QObject;
class QString;

// A push button placed outside the window's client area, to do its work unseen (Enter runs the default one).
// A class of its own, so that screen readers get its own description from the moment it is made.
class UnseenButton final : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;
};

QAccessibleInterface* WindowAccessibleFor(const QString& className, QObject* object);
