#include "SpillwayWindow.h"

#include "FindField.h"
#include "ForwardEvent.h"
#include "OutputView.h"
#include "TahomaFont.h"
#include "WindowAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcutEvent>
#include <QTime>

#include <future>
#include <utility>
#include <vector>

namespace {

// Positions are kept in twips, as the window was laid out; at 96 dots per inch a pixel is 15 twips.
QRect FromTwips(int left, int top, int width, int height) {
    constexpr int TwipsPerPixel = 15;
    return {left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel, height / TwipsPerPixel};
}

// Tahoma 9.75 pt, normal weight, for every control. Where the system has no Tahoma, the face that Wine's
// fonts package installs is loaded; failing that the system's fallback applies.
QFont ControlFont() {
    static const bool tahomaAvailable = ProvideTahoma();
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(9.75);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    if (!tahomaAvailable) {
        font.setStyleHint(QFont::SansSerif);
    }
    return font;
}

// The icon at every size it is drawn in, so the title bar, the task switcher and the dock each take a sharp
// one. Decoding the seven images is about 7 % of the instructions start-up runs: it runs on a thread of its
// own while the controls are made (or, where no thread can be had, when the images are asked for).
std::future<std::vector<QImage>> DecodeIcon() {
    return std::async(std::launch::async | std::launch::deferred, [] {
        std::vector<QImage> sizes;
        for (const QFileInfo& file : QDir(QStringLiteral(":/icons")).entryInfoList(QDir::Files)) {
            sizes.emplace_back(file.filePath());
        }
        return sizes;
    });
}

bool IsEnterKey(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// The user's keys, clicks and the like: what a run drops.
bool IsUserInput(const QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TabletPress:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

bool IsCtrlC(const QEvent* event) {
    // A shortcut of the open context menu (its Copy) may take the key before it comes as a key press.
    if (event->type() == QEvent::Shortcut) {
        return static_cast<const QShortcutEvent*>(event)->key() == QKeySequence(Qt::CTRL | Qt::Key_C);
    }
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<const QKeyEvent*>(event);
    return key->key() == Qt::Key_C && (key->modifiers() & Qt::ControlModifier) != 0;
}

// The keys that read the output box during a run: the page keys, Ctrl+Home and Ctrl+End (with Shift to
// select) and Ctrl+Insert to copy.
bool IsReadingKey(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<const QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    switch (key->key()) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return modifiers == Qt::NoModifier;
    case Qt::Key_Home:
    case Qt::Key_End:
        return modifiers == Qt::ControlModifier;
    case Qt::Key_Insert:
        return key->modifiers() == Qt::ControlModifier;
    default:
        return false;
    }
}

} // namespace

QString TimeFormatWithSeconds(const QLocale& locale) {
    // The long format is the one with seconds; only its time zone ("t") is dropped, quoted text kept as it
    // is.
    const QString longFormat = locale.timeFormat(QLocale::LongFormat);
    QString format;
    bool quoted = false;
    for (qsizetype i = 0; i < longFormat.size(); ++i) {
        const QChar c = longFormat[i];
        if (c == u'\'') {
            quoted = !quoted;
        } else if (!quoted && c == u't') {
            while (i + 1 < longFormat.size() && longFormat[i + 1] == u't') {
                ++i;
            }
            while (!format.isEmpty() && format.back().isSpace()) {
                format.chop(1);
            }
            while (i + 1 < longFormat.size() && longFormat[i + 1].isSpace()) {
                ++i;
            }
            continue;
        }
        format += c;
    }
    return format.trimmed();
}

SpillwayWindow::SpillwayWindow(SpillwaySystem system, std::function<void()> endProgram)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      BatchedOutputControls(OutputPacing::QtWindow), endProgram_(std::move(endProgram)),
      form_(*this, std::move(system)) {
    std::future<std::vector<QImage>> iconSizes = DecodeIcon();
    CreateControls();
    connect(qApp, &QApplication::focusChanged, this, &SpillwayWindow::OnFocusChanged);
    form_.Form_Load();
    QIcon icon;
    for (const QImage& size : iconSizes.get()) {
        icon.addPixmap(QPixmap::fromImage(size));
    }
    setWindowIcon(icon);
    CentreOnScreen();
}

SpillwayWindow::~SpillwayWindow() {
    // The controls lose the focus while QWidget tears them down, after this part of the window is gone.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void SpillwayWindow::CreateControls() {
    static const bool accessibleInstalled = [] {
        QAccessible::installFactory(&WindowAccessibleFor);
        return true;
    }();
    (void)accessibleInstalled;
    setObjectName(QStringLiteral("frmSpillway"));
    setWindowTitle(QString::fromStdU16String(frmSpillway::Caption));
    setFixedSize(FromTwips(0, 0, 9075, 6030).size());
    setFont(ControlFont());
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, Qt::black);
    setPalette(windowPalette);
    setAutoFillBackground(true);

    // Created first, so it lies beneath the output box.
    lblCommand_ = new QLabel(QStringLiteral("Command:"), this);
    lblCommand_->setObjectName(QStringLiteral("lblCommand"));
    lblCommand_->setGeometry(FromTwips(120, 120, 945, 240));

    txtOutputs_ = new OutputView(this);
    txtOutputs_->setObjectName(QStringLiteral("txtOutputs"));
    txtOutputs_->setGeometry(FromTwips(0, 0, 9075, 5655));
    QPalette outputsPalette = txtOutputs_->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        outputsPalette.setColor(group, QPalette::Base, Qt::black);
        outputsPalette.setColor(group, QPalette::Text, Qt::white);
    }
    txtOutputs_->setPalette(outputsPalette);
    txtOutputs_->setAccessibleName(QStringLiteral("Output"));

    txtCommand_ = new QLineEdit(QString::fromStdU16String(frmSpillway::Placeholder), this);
    txtCommand_->setObjectName(QStringLiteral("txtCommand"));
    txtCommand_->setGeometry(FromTwips(0, 5640, 9135, 405));
    // The hidden label names the box for screen readers (without its colon); the placeholder, which is the
    // box's text while it has no focus, is read as what the box is for, not as its name.
    lblCommand_->setBuddy(txtCommand_);
    txtCommand_->setAccessibleName(QStringLiteral("Command"));
    txtCommand_->setAccessibleDescription(QString::fromStdU16String(frmSpillway::Placeholder));

    // Both buttons lie outside the client area, never seen; Execute is what Enter runs and keeps its place
    // in the tab order. Exit is out of it, so Space after a Tab can never quit.
    cmdExecute_ = new UnseenButton(QStringLiteral("Execute"), this);
    cmdExecute_->setObjectName(QStringLiteral("cmdExecute"));
    cmdExecute_->setGeometry(FromTwips(11040, 5160, 1875, 375));
    cmdExecute_->setDefault(true);

    cmdExit_ = new UnseenButton(QStringLiteral("Exit"), this);
    cmdExit_->setObjectName(QStringLiteral("cmdExit"));
    cmdExit_->setGeometry(FromTwips(9840, 4080, 1875, 375));

    for (QPushButton* button : {cmdExecute_, cmdExit_}) {
        button->setAutoDefault(true); // Enter on a focused button activates it, as Space does
    }
    cmdExecute_->setFocusPolicy(Qt::StrongFocus);
    cmdExit_->setFocusPolicy(Qt::NoFocus);

    findField_ = new FindField(txtOutputs_, this);
    txtOutputs_->extraHighlights = [this](std::size_t from, std::size_t to) {
        return findField_->MatchesWithin(from, to);
    };
    setTabOrder(txtOutputs_, findField_->Pattern()); // while it is open
    setTabOrder(findField_->LastInTabOrder(), txtCommand_);
    setTabOrder(txtCommand_, cmdExecute_);
    txtOutputs_->setFocus();

    txtOutputs_->installEventFilter(this);
    txtCommand_->installEventFilter(this);
    connect(cmdExecute_, &QPushButton::clicked, this, [this] {
        findField_->Close(false); // the window takes no input during the run
        Forward([this] { form_.cmdExecute_Click(); });
    });
    connect(cmdExit_, &QPushButton::clicked, this, [this] { Forward([this] { form_.cmdExit_Click(); }); });
}

void SpillwayWindow::CentreOnScreen() {
    const QScreen* shownOn = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (shownOn == nullptr) {
        return;
    }
    QRect placed = rect();
    placed.moveCenter(shownOn->availableGeometry().center());
    move(placed.topLeft());
}

template <typename Handler>
void SpillwayWindow::Forward(Handler handler) {
    ForwardEvent(ended_, handler);
}

// What a run lets through: reading the output box (scrolling, selecting, copying, its context menu), nothing
// that could start a command or run the runner again. Input reaches the window system's window first and is
// decided again for the widget it goes to.
bool SpillwayWindow::ReadsDuringRun(QObject* watched, const QEvent* event) const {
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                       type == QEvent::MouseButtonDblClick;
    if (!watched->isWidgetType()) {
        return IsReadingKey(event) || mouse || type == QEvent::Wheel || type == QEvent::ContextMenu;
    }
    const auto* widget = static_cast<const QWidget*>(watched);
    // The output box's own menu (Copy, Select All, the fixed pitch) pops up without a loop of its own.
    if (qobject_cast<const QMenu*>(widget) != nullptr && widget->parentWidget() == txtOutputs_) {
        return true;
    }
    const bool view = widget == txtOutputs_ || widget == txtOutputs_->viewport();
    const bool scrollBar = widget == txtOutputs_->verticalScrollBar();
    if (type == QEvent::Wheel) {
        return view || scrollBar;
    }
    if (mouse) { // Ctrl+click would open a link; the scroll bar's menu would run a loop of its own
        const auto* click = static_cast<const QMouseEvent*>(event);
        return (view && (click->modifiers() & Qt::ControlModifier) == 0) ||
               (scrollBar && click->button() == Qt::LeftButton);
    }
    if (type == QEvent::ContextMenu) {
        return view;
    }
    return widget == txtOutputs_ && IsReadingKey(event);
}

bool SpillwayWindow::eventFilter(QObject* watched, QEvent* event) {
    if (droppingInput_ && IsUserInput(event)) {
        if (IsCtrlC(event)) {
            Forward([this] { form_.StopCommand(); });
            return true;
        }
        return !ReadsDuringRun(watched, event);
    }
    // Enter in either text box runs the default button, as a dialog's Enter would.
    if ((watched == txtOutputs_ || watched == txtCommand_) && IsEnterKey(event)) {
        cmdExecute_->click();
        return true;
    }
    if ((watched == txtOutputs_ || watched == txtCommand_) && FindKey(event)) {
        return true;
    }
    // The output box's font keys work from the command box too.
    if (watched == txtCommand_ && event->type() == QEvent::KeyPress &&
        txtOutputs_->FontKey(static_cast<const QKeyEvent*>(event))) {
        return true;
    }
    if (watched == txtCommand_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<const QKeyEvent*>(event)->key();
        bool recalled = false;
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Forward([&] {
                recalled = form_.txtCommand_KeyDown(key == Qt::Key_Up ? frmSpillway::CommandKey::Up
                                                                      : frmSpillway::CommandKey::Down);
            });
        }
        return recalled;
    }
    return QWidget::eventFilter(watched, event);
}

// Ctrl+F opens the find field and F3 finds again, between runs only.
bool SpillwayWindow::FindKey(const QEvent* event) {
    if (event->type() != QEvent::KeyPress || form_.Running()) {
        return false;
    }
    const auto* key = static_cast<const QKeyEvent*>(event);
    if (key->key() == Qt::Key_F && key->modifiers() == Qt::ControlModifier) {
        findField_->Open();
        return true;
    }
    if (key->key() == Qt::Key_F3) {
        findField_->FindAgain((key->modifiers() & Qt::ShiftModifier) != 0 ? TextSearch::Direction::Backward
                                                                          : TextSearch::Direction::Forward);
        return true;
    }
    return false;
}

void SpillwayWindow::closeEvent(QCloseEvent* event) {
    bool mayClose = true;
    Forward([&] { mayClose = form_.Form_QueryUnload(); });
    event->setAccepted(mayClose);
}

// The run goes on in the middle of a handler; events are handled here as the event loop would, but keys and
// clicks go nowhere (eventFilter), so none of them is replayed once the run is over.
void SpillwayWindow::HandleWindowEvents() {
    droppingInput_ = true;
    qApp->installEventFilter(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(this);
    droppingInput_ = false;
}

// Only moves between this window's own controls count: another application, a popup menu or a message box
// taking the focus and giving it back leaves the command box as it is.
void SpillwayWindow::OnFocusChanged(QWidget*, QWidget* now) {
    // Only moves between this window's own controls count. Qt reports leaving for another application and
    // coming back as moves to and from no widget; the way back is measured from the control that had the
    // focus when it left, so coming back to it keeps what was typed, and a window that never had the focus
    // (no window manager activates it before the first click) takes its first control as a real move.
    if (now == nullptr || now->window() != this) {
        return;
    }
    QWidget* const old = std::exchange(formFocus_, now);
    if (old == now) {
        return;
    }
    if (old == txtCommand_) {
        Forward([this] { form_.txtCommand_LostFocus(); });
    }
    if (now == txtCommand_) {
        Forward([this] { form_.txtCommand_GotFocus(); });
    }
}

void SpillwayWindow::ReplaceOutputs(const std::u16string& text) {
    txtOutputs_->SetText(text);
}

void SpillwayWindow::AddOutputs(const std::u16string& text) {
    txtOutputs_->AppendText(text);
}

void SpillwayWindow::StartOutputsRun() {
    txtOutputs_->StartRun();
}

void SpillwayWindow::ShowOutputs(bool caretToEnd) {
    txtOutputs_->Show(caretToEnd);
}

std::u16string SpillwayWindow::CommandText() const {
    return txtCommand_->text().toStdU16String();
}

void SpillwayWindow::SetCommandText(const std::u16string& text) {
    txtCommand_->setText(QString::fromStdU16String(text));
}

void SpillwayWindow::ShowMessage(const std::u16string& text, MessageIcon icon) {
    ShowMessageBox(text, icon, {});
}

// The message itself stays as it is; the cause goes beneath it as the box's informative text.
void SpillwayWindow::ShowFailure(const std::u16string& text, const std::u16string& cause) {
    ShowMessageBox(text, MessageIcon::Stop, cause);
}

void SpillwayWindow::ShowMessageBox(const std::u16string& text, MessageIcon icon,
                                    const std::u16string& cause) {
    ShowOutputsNow(); // what has arrived so far stays in view behind the box
    const QString title = QTime::currentTime().toString(TimeFormatWithSeconds(QLocale::system()));
    QMessageBox box(icon == MessageIcon::Stop ? QMessageBox::Critical : QMessageBox::Warning, title,
                    QString::fromStdU16String(text), QMessageBox::Ok, this);
    if (!cause.empty()) {
        box.setInformativeText(QString::fromStdU16String(cause));
        // The cause quotes the line, which may hold anything that looks like markup.
        if (auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
            informative->setTextFormat(Qt::PlainText);
        }
    }
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    // The window takes the keyboard back, its focus where it was, so typing goes on where it stopped: not
    // every window system gives activation back to the owner when a box closes.
    if (isVisible()) {
        activateWindow();
    }
}

void SpillwayWindow::EndProgram() {
    ended_ = true; // no further event of the window runs
    if (endProgram_) {
        endProgram_();
        return;
    }
    QApplication::closeAllWindows();
    QCoreApplication::exit(0);
}
