#include "appearance.h"
#include "form1.h"
#include "sqlitehandle.h"

#include <QApplication>

int main(int argc, char** argv) {
    // Before anything opens a database. Without the guard each open is still checked beforehand.
    if (!GuardSqlite())
        qWarning("Dahdit: SQLite cannot be made to refuse named pipes and devices beside a database.");
    // Dahdit reads no command line, and neither does Qt: options such as -stylesheet, -reverse or
    // -platform are not taken from it. Qt's environment variables (QT_QPA_PLATFORM and the like)
    // still work.
    static char name[] = "dahdit";
    int qtArgc = 1;
    char* qtArgv[] = {argc > 0 ? argv[0] : name, nullptr};
    QApplication app(qtArgc, qtArgv);
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
