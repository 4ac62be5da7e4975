#include "OmbrelVersion.h"
#include "SpillwayWindow.h"
#include "TahomaFont.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// The status of a refused command line, as GNU programs have it.
constexpr int UsageErrorStatus = 2;

bool Print(std::FILE* stream, const QString& text) {
    return std::fputs(text.toLocal8Bit().constData(), stream) >= 0;
}

// What is wrong with the command line, in one line naming the culprit; empty when nothing is.
QString CommandLineError(QCommandLineParser& parser, const QStringList& arguments) {
    if (!parser.parse(arguments)) {
        return parser.errorText();
    }
    const QStringList stray = parser.positionalArguments();
    if (stray.size() == 1) {
        return QStringLiteral("Unexpected argument '%1'.").arg(stray.first());
    }
    if (stray.size() > 1) {
        return QStringLiteral("Unexpected arguments: %1.").arg(stray.join(QStringLiteral(", ")));
    }
    return {};
}

// --help and --version are answered on the terminal, and anything else is refused there, before the window's
// toolkit starts: the toolkit would connect to a display first, and there may be none. Returns the exit
// status when the program ends here.
std::optional<int> AnswerCommandLine(int argc, char* argv[]) {
    if (argc <= 1) {
        return std::nullopt;
    }
    const QCoreApplication terminalOnly(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Opens a console-like window that runs one command line at a time, without a\n"
                       "shell, and shows what it prints. The manual: man ombrel"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help and exits."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the program's version and exits."));
    parser.addOptions({help, version});

    if (const QString error = CommandLineError(parser, QCoreApplication::arguments()); !error.isEmpty()) {
        Print(stderr, QStringLiteral("ombrel: %1\n%2").arg(error, parser.helpText()));
        return UsageErrorStatus;
    }
    if (!parser.isSet(help) && !parser.isSet(version)) {
        return std::nullopt; // "--" alone, say
    }
    const QString answer = parser.isSet(help)
                               ? parser.helpText()
                               : QStringLiteral(OMBREL_APPLICATION_TITLE " " OMBREL_VERSION_TEXT "\n");
    if (!Print(stdout, answer) || std::fflush(stdout) != 0) {
        Print(stderr, QStringLiteral("ombrel: cannot write the answer: %1\n")
                          .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return 1;
    }
    return 0;
}

// Without a window system the toolkit would end the program with an abort, as for a crash. Having no display
// is the user's situation, not a fault: it gets one line and status 1.
void CannotOpenDisplay(const QString& cause) {
    Print(stderr, QStringLiteral("ombrel: cannot open a display: %1\n").arg(cause.trimmed()));
    (void)std::fflush(stderr); // nothing more can be done if it fails
    std::_Exit(1);
}

// What the toolkit says while it connects, held back: if it cannot, its first word is the cause, and the rest
// (which plug-ins there are, reinstalling) would only bury it; if it can, it is passed on as it came.
struct StartingMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
QtMessageHandler toolkitHandler = nullptr;
std::vector<StartingMessage>& StartingMessages() {
    static std::vector<StartingMessage> held;
    return held;
}

void HoldStartingMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        CannotOpenDisplay(StartingMessages().empty() ? text.section(QLatin1Char('\n'), 0, 0)
                                                     : StartingMessages().front().text);
    }
    StartingMessages().push_back({type, context.category, text});
}

// Before the toolkit connects to the display: the one line at once when there is none to connect to (Qt
// picks the window system from these variables unless told which to use), and what it says held back.
void ConnectingToDisplay() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        CannotOpenDisplay(QStringLiteral("neither DISPLAY nor WAYLAND_DISPLAY is set"));
    }
    toolkitHandler = qInstallMessageHandler(HoldStartingMessage);
}

void ConnectedToDisplay() {
    qInstallMessageHandler(toolkitHandler);
    for (const StartingMessage& message : StartingMessages()) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
    StartingMessages().clear();
}

} // namespace

int main(int argc, char* argv[]) {
    if (const std::optional<int> status = AnswerCommandLine(argc, argv)) {
        return *status;
    }
    ConnectingToDisplay();
    const FontconfigPreload fonts;
    QApplication app(argc, argv);
    ConnectedToDisplay();
    QApplication::setApplicationName(QStringLiteral(OMBREL_APPLICATION_TITLE));
    QApplication::setApplicationVersion(QStringLiteral(OMBREL_VERSION_TEXT));

    SpillwayWindow window;
    window.show();
    return QApplication::exec();
}
