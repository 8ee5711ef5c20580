#include "readme.h"

#include "apppath.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace Readme {

QString path() { return AppFile(QStringLiteral("readme.txt")); }

bool open(QString* error) {
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path())))
        return true;
    *error = QStringLiteral("No text editor could be started to show the readme. You can open it yourself: %1")
                 .arg(QDir::toNativeSeparators(path()));
    return false;
}

} // namespace Readme
