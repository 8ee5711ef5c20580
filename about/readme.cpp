#include "readme.h"

#include "apppath.h"
#include "messagebox.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>

namespace Readme {
namespace {

QString path() {
    return AppFolders().shipped + QStringLiteral("/readme.txt");
}

void tell(QWidget* parent, const QString& why) {
    MessageBox::show(
        parent, why + QStringLiteral("\n\nYou can open the readme yourself: %1").arg(QDir::toNativeSeparators(path())),
        QStringLiteral("Dahdit Readme"), MessageBox::Warning);
}

} // namespace

void open(QWidget* parent) {
    if (!QFileInfo(path()).isFile()) {
        MessageBox::show(parent,
                         QStringLiteral("The readme %1 is missing. It comes with Dahdit; install Dahdit again to get "
                                        "it back.")
                             .arg(QDir::toNativeSeparators(path())),
                         QStringLiteral("Dahdit Readme"), MessageBox::Warning);
        return;
    }
    // The desktop's opener says by its exit status whether a program took the file, which Qt's
    // own way of opening a file does not pass on: it reports success as soon as the opener runs.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        tell(parent, QStringLiteral("No program could be started to show the readme: xdg-open, which opens files "
                                    "with the desktop's programs, is not installed (it comes with xdg-utils)."));
        return;
    }
    // Without a parent, and never deleted while it runs: some desktops show the file from the
    // opener itself until it is closed, and ending Dahdit must not close it.
    auto* process = new QProcess;
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice()); // its reason is told in the box instead
    const QPointer<QWidget> window(parent);
    QObject::connect(process, &QProcess::errorOccurred, process, [process, window](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // the end is told by finished()
        tell(window, QStringLiteral("No program could be started to show the readme: %1.").arg(process->errorString()));
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::finished, process, [process, window](int status, QProcess::ExitStatus how) {
        const QString end = how == QProcess::NormalExit ? QStringLiteral("ended with status %1").arg(status)
                                                        : QStringLiteral("crashed");
        if (how != QProcess::NormalExit || status != 0)
            tell(window, QStringLiteral("The desktop has no program set up to show text files, or the one it has "
                                        "could not show the readme (xdg-open %1).")
                             .arg(end));
        process->deleteLater();
    });
    process->start(opener, {path()});
}

} // namespace Readme
