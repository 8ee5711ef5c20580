#include "apppath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

// Where an install puts the files that come with Dahdit, relative to the program folder; the
// build passes the layout it installs.
#ifndef DAHDIT_DATA_FROM_PROGRAM
#define DAHDIT_DATA_FROM_PROGRAM "../../share/dahdit"
#endif
#ifndef DAHDIT_DOC_FROM_PROGRAM
#define DAHDIT_DOC_FROM_PROGRAM "../../share/doc/dahdit"
#endif

namespace {

QString& overridePath() {
    static QString path;
    return path;
}

QString fileIn(const QString& folder, const QString& fileName) {
    return folder + QLatin1Char('/') + fileName;
}

bool canWrite(const QFileInfo& folder) {
    const auto writeBits = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return folder.isDir() && folder.isWritable() && (folder.permissions() & writeBits);
}

// Whether files can be made in folder, which need not exist yet (it is made at the first write,
// if the nearest folder that exists can be written); when not, cause says why.
bool canMakeFilesIn(const QString& folder, QString* cause) {
    QFileInfo existing(folder);
    while (!existing.exists() && !existing.isRoot())
        existing.setFile(existing.absolutePath());
    const QString name = QDir::toNativeSeparators(existing.filePath());
    if (!existing.isDir())
        *cause = QStringLiteral("%1 is a file, not a folder.").arg(name);
    else if (canWrite(existing))
        return true;
    else if (existing.filePath() == folder)
        *cause = QStringLiteral("the folder %1 cannot be written.").arg(name);
    else
        *cause = QStringLiteral("the folder %1 cannot be made, because %2 cannot be written.")
                     .arg(QDir::toNativeSeparators(folder), name);
    return false;
}

QString perUser(QStandardPaths::StandardLocation location) {
    return QStandardPaths::writableLocation(location) + QStringLiteral("/dahdit");
}

} // namespace

QString AppPath() {
    if (!overridePath().isEmpty())
        return overridePath();
    return QCoreApplication::applicationDirPath();
}

void SetAppPathForTesting(const QString& folder) {
    overridePath() = folder;
}

bool IsPortable() {
    return QFileInfo::exists(fileIn(AppPath(), QStringLiteral("portable"))) && canWrite(QFileInfo(AppPath()));
}

QString SettingsFolder() {
    return IsPortable() ? AppPath() : perUser(QStandardPaths::GenericConfigLocation);
}

QString DataFolder() {
    return IsPortable() ? AppPath() : perUser(QStandardPaths::GenericDataLocation);
}

QString SaveFolder() {
    if (IsPortable())
        return AppPath();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString InstalledFile(const QString& fileName) {
    const QString own = fileIn(AppPath(), fileName);
    if (QFileInfo::exists(own) || IsPortable())
        return own;
    const char* installed =
        fileName == QLatin1String("readme.txt") ? DAHDIT_DOC_FROM_PROGRAM : DAHDIT_DATA_FROM_PROGRAM;
    return QDir::cleanPath(fileIn(AppPath() + QLatin1Char('/') + QLatin1String(installed), fileName));
}

bool SettingsFolderWritable(QString* error) {
    QString cause;
    if (canMakeFilesIn(SettingsFolder(), &cause))
        return true;
    if (error)
        *error = QStringLiteral("Dahdit cannot keep its settings: %1\n\nChoices made now (the slider positions, the "
                                "language) are lost when Dahdit ends. Make the folder writable, then start Dahdit "
                                "again.")
                     .arg(cause);
    return false;
}

bool MakeSettingsFolder(QString* error) {
    // One that cannot be written is left alone, also where the system would let this user write.
    if (!SettingsFolderWritable(error))
        return false;
    QDir().mkpath(SettingsFolder()); // if it still cannot be made, the write that follows says why
    return true;
}

bool CopyToNewFile(const QString& source, const QString& target, QString* cause) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *cause =
            QStringLiteral("Dahdit's own copy %1, which it starts from, cannot be read (%2). Install Dahdit again.")
                .arg(QDir::toNativeSeparators(source), in.errorString());
        return false;
    }
    const QByteArray bytes = in.readAll();
    const QString folder = QFileInfo(target).absolutePath();
    auto fail = [&](const QString& why) {
        *cause = QStringLiteral("it could not be copied from %1: %2").arg(QDir::toNativeSeparators(source), why);
        return false;
    };
    if (in.error() != QFile::NoError)
        return fail(in.errorString() + QLatin1Char('.'));
    if (QString why; !canMakeFilesIn(folder, &why))
        return fail(why);
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("the folder %1 cannot be made.").arg(QDir::toNativeSeparators(folder)));
    QTemporaryFile out(fileIn(folder, QStringLiteral(".dahdit-XXXXXX")));
    bool written = out.open() && out.write(bytes) == bytes.size() && out.flush();
#ifdef Q_OS_UNIX
    // On the disk before it takes its name: a copy is never made again, so it must not be
    // left empty by a crash.
    written = written && ::fsync(out.handle()) == 0;
#endif
    if (!written)
        return fail(out.errorString() + QLatin1Char('.'));
    // The rename refuses to replace a file: a copy made meanwhile by another Dahdit stays.
    if (out.rename(target)) {
        out.setAutoRemove(false);
        return true;
    }
    return QFileInfo::exists(target) || fail(out.errorString() + QLatin1Char('.'));
}
