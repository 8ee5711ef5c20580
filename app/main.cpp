#include "appearance.h"
#include "form1.h"

#include <QApplication>

namespace {
int Run(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dahdit"));
    QApplication::setApplicationVersion(QStringLiteral(DAHDIT_VERSION)); // the About window shows it
    // The desktop matches the windows with the menu entry of this name, and every window, message
    // boxes included, shows the program icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.dahdit.Dahdit"));
    QApplication::setWindowIcon(ProgramIcon());
    // The main window alone decides when the program ends: closing it ends everything, and a
    // secondary window left open does not keep the program alive.
    QApplication::setQuitOnLastWindowClosed(false);
    Form1 form;
    form.show();
    return QApplication::exec();
}
} // namespace

int main(int argc, char** argv) {
    return Run(argc, argv);
}
