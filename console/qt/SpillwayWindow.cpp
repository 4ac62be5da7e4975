#include "SpillwayWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextCursor>
#include <QTextOption>
#include <QTime>

#include <algorithm>

namespace {

constexpr qint64 PaintIntervalMs = 16;     // about 60 paints a second during a flood
constexpr qint64 ShowingCostFactor = 4;    // showing a batch takes at most a fifth of a flood's time
constexpr std::size_t LongestWord = 10000; // word wrapping scans a run to its end for every screen line

// Positions are kept in twips, as the window was laid out; at 96 dots per inch a pixel is 15 twips.
QRect FromTwips(int left, int top, int width, int height) {
    constexpr int TwipsPerPixel = 15;
    return {left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel, height / TwipsPerPixel};
}

// Tahoma 9.75 pt, normal weight, for every control. Where the system has no Tahoma, the face that Wine's
// fonts package installs is loaded; failing that the system's fallback applies.
QFont ControlFont() {
    static const bool tahomaAvailable = [] {
        if (QFontDatabase::hasFamily(QStringLiteral("Tahoma"))) {
            return true;
        }
        return QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf")) != -1;
    }();
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
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<const QKeyEvent*>(event);
    return key->key() == Qt::Key_C && (key->modifiers() & Qt::ControlModifier) != 0;
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
      endProgram_(std::move(endProgram)), form_(*this, std::move(system)) {
    CreateControls();
    connect(qApp, &QApplication::focusChanged, this, &SpillwayWindow::OnFocusChanged);
    sinceShown_.start();
    form_.Form_Load();
    CentreOnScreen();
}

SpillwayWindow::~SpillwayWindow() {
    // The controls lose the focus while QWidget tears them down, after this part of the window is gone.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void SpillwayWindow::CreateControls() {
    setObjectName(QStringLiteral("frmSpillway"));
    setWindowTitle(QString::fromStdU16String(frmSpillway::Caption));
    setWindowIcon(QIcon(QStringLiteral(":/Ombrel.png")));
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

    txtOutputs_ = new QPlainTextEdit(this);
    txtOutputs_->setObjectName(QStringLiteral("txtOutputs"));
    txtOutputs_->setGeometry(FromTwips(0, 0, 9075, 5655));
    txtOutputs_->setReadOnly(true);
    txtOutputs_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtOutputs_->setUndoRedoEnabled(false); // an undo record per chunk would cost memory and time for nothing
    txtOutputs_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtOutputs_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtOutputs_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtOutputs_->setTabChangesFocus(true);
    QPalette outputsPalette = txtOutputs_->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        outputsPalette.setColor(group, QPalette::Base, Qt::black);
        outputsPalette.setColor(group, QPalette::Text, Qt::white);
    }
    txtOutputs_->setPalette(outputsPalette);

    txtCommand_ = new QLineEdit(QString::fromStdU16String(frmSpillway::Placeholder), this);
    txtCommand_->setObjectName(QStringLiteral("txtCommand"));
    txtCommand_->setGeometry(FromTwips(0, 5640, 9135, 405));

    // Both buttons lie outside the client area: never seen, but in the tab order, and Execute is what Enter
    // runs.
    cmdExecute_ = new QPushButton(QStringLiteral("Execute"), this);
    cmdExecute_->setObjectName(QStringLiteral("cmdExecute"));
    cmdExecute_->setGeometry(FromTwips(11040, 5160, 1875, 375));
    cmdExecute_->setDefault(true);

    cmdExit_ = new QPushButton(QStringLiteral("Exit"), this);
    cmdExit_->setObjectName(QStringLiteral("cmdExit"));
    cmdExit_->setGeometry(FromTwips(9840, 4080, 1875, 375));

    for (QPushButton* button : {cmdExecute_, cmdExit_}) {
        button->setFocusPolicy(Qt::StrongFocus);
        button->setAutoDefault(true); // Enter on a focused button activates it, as Space does
    }

    setTabOrder(txtOutputs_, txtCommand_);
    setTabOrder(txtCommand_, cmdExecute_);
    setTabOrder(cmdExecute_, cmdExit_);
    txtOutputs_->setFocus();

    txtOutputs_->installEventFilter(this);
    txtCommand_->installEventFilter(this);
    connect(cmdExecute_, &QPushButton::clicked, this,
            [this] { Forward([this] { form_.cmdExecute_Click(); }); });
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

// An exception must not cross Qt's event dispatch; the handlers report what the user needs to know
// themselves.
template <typename Handler>
void SpillwayWindow::Forward(Handler handler) {
    if (ended_) {
        return;
    }
    try {
        handler();
    } catch (...) {
    }
}

bool SpillwayWindow::eventFilter(QObject* watched, QEvent* event) {
    if (droppingInput_ && IsUserInput(event)) {
        if (IsCtrlC(event)) {
            Forward([this] { form_.StopCommand(); });
        }
        return true;
    }
    // Enter in either text box runs the default button, as a dialog's Enter would.
    if ((watched == txtOutputs_ || watched == txtCommand_) && IsEnterKey(event)) {
        cmdExecute_->click();
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
void SpillwayWindow::OnFocusChanged(QWidget* old, QWidget* now) {
    if (old == nullptr || now == nullptr || old->window() != this || now->window() != this) {
        return;
    }
    if (old == txtCommand_) {
        Forward([this] { form_.txtCommand_LostFocus(); });
    }
    if (now == txtCommand_) {
        Forward([this] { form_.txtCommand_GotFocus(); });
    }
}

void SpillwayWindow::SetOutputsText(const std::u16string& text) {
    pendingText_.clear(); // replaced with the rest
    caretPending_ = false;
    lineBreaks_.Reset();
    unbrokenRun_ = 0;
    txtOutputs_->setPlainText(QString::fromStdU16String(lineBreaks_.Normalise(text)));
}

void SpillwayWindow::AppendOutputsText(const std::u16string& text) {
    const std::u16string shown = lineBreaks_.Normalise(text);
    if (shown.empty()) {
        return;
    }
    // The batch so far (caret included) goes on screen before this chunk starts the next one.
    if (!pendingText_.isEmpty() && sinceShown_.elapsed() >= paintIntervalMs_) {
        FlushOutputs();
    }
    CountUnbrokenRun(shown);
    pendingText_.append(reinterpret_cast<const QChar*>(shown.data()), static_cast<qsizetype>(shown.size()));
}

// Wrapping at word boundaries costs time in proportion to a word's length for every screen line it fills, so
// a run of a million characters without a blank would take minutes to lay out. Once a run that long has come,
// the box wraps anywhere, as a console does.
void SpillwayWindow::CountUnbrokenRun(const std::u16string& shown) {
    for (const char16_t c : shown) {
        if (c == u' ' || c == u'\n' || c == u'\t') {
            unbrokenRun_ = 0;
        } else if (++unbrokenRun_ == LongestWord) {
            QTextOption option = txtOutputs_->document()->defaultTextOption();
            if (option.wrapMode() != QTextOption::WrapAnywhere) {
                option.setWrapMode(QTextOption::WrapAnywhere);
                txtOutputs_->document()->setDefaultTextOption(option);
            }
        }
    }
}

void SpillwayWindow::MoveOutputsCaretToEnd() {
    if (pendingText_.isEmpty()) {
        MoveCaretToEndNow();
    } else {
        caretPending_ = true; // applied when the batch is shown
    }
}

void SpillwayWindow::ShowOutputsNow() {
    FlushOutputs();
}

void SpillwayWindow::FlushOutputs() {
    const bool changed = !pendingText_.isEmpty() || caretPending_;
    QElapsedTimer showing;
    if (!pendingText_.isEmpty()) {
        // One insert at the end for the whole batch, and one edit block, so the text is laid out once.
        QTextCursor end(txtOutputs_->document());
        end.movePosition(QTextCursor::End);
        end.beginEditBlock();
        end.insertText(pendingText_);
        pendingText_.clear();
        showing.start();
        end.endEditBlock();
    } else {
        showing.start();
    }
    if (caretPending_) {
        caretPending_ = false;
        MoveCaretToEndNow();
    }
    // The window takes no events while a command runs, so the batch is painted here and now: the text, and
    // the scroll bar with it.
    if (changed && txtOutputs_->isVisible()) {
        txtOutputs_->repaint();
    }
    paintIntervalMs_ = std::max(PaintIntervalMs, ShowingCostFactor * showing.elapsed());
    sinceShown_.start();
}

void SpillwayWindow::MoveCaretToEndNow() {
    txtOutputs_->moveCursor(QTextCursor::End);
    txtOutputs_->ensureCursorVisible();
}

std::u16string SpillwayWindow::CommandText() const {
    return txtCommand_->text().toStdU16String();
}

void SpillwayWindow::SetCommandText(const std::u16string& text) {
    txtCommand_->setText(QString::fromStdU16String(text));
}

void SpillwayWindow::ShowMessage(const std::u16string& text, MessageIcon icon) {
    FlushOutputs(); // what has arrived so far stays in view behind the box
    const QString title = QTime::currentTime().toString(TimeFormatWithSeconds(QLocale::system()));
    QMessageBox box(icon == MessageIcon::Stop ? QMessageBox::Critical : QMessageBox::Warning, title,
                    QString::fromStdU16String(text), QMessageBox::Ok, this);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    // As on the original platform, the window the box belonged to is active again, its focus where it was.
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
