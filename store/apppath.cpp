#include "apppath.h"

#include <QCoreApplication>

namespace {
QString& overridePath() {
    static QString path;
    return path;
}
} // namespace

QString AppPath() {
    if (!overridePath().isEmpty())
        return overridePath();
    return QCoreApplication::applicationDirPath();
}

void SetAppPathForTesting(const QString& folder) { overridePath() = folder; }

QString AppFile(const QString& fileName) { return AppPath() + QLatin1Char('/') + fileName; }
