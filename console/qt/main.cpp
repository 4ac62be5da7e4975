#include "OmbrelVersion.h"
#include "SpillwayWindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral(OMBREL_APPLICATION_TITLE));
    QApplication::setApplicationVersion(QStringLiteral(OMBREL_VERSION_TEXT));

    SpillwayWindow window;
    window.show();
    return QApplication::exec();
}
