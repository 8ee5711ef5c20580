#include "readme.h"

#include "apppath.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace Readme {

QString path() {
    return InstalledFile(QStringLiteral("readme.txt"));
}

bool open(QString* error) {
    // The desktop's opener is started without waiting and may fail out of sight on a missing
    // file, so that case is told here.
    if (!QFileInfo(path()).isFile()) {
        *error = QStringLiteral("The readme %1 is missing. It comes with Dahdit; install Dahdit again to get it back.")
                     .arg(QDir::toNativeSeparators(path()));
        return false;
    }
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path())))
        return true;
    *error = QStringLiteral("No text editor could be started to show the readme. You can open it yourself: %1")
                 .arg(QDir::toNativeSeparators(path()));
    return false;
}

} // namespace Readme
