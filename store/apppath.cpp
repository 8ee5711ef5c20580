#include "apppath.h"

#include "wholefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {

QString fileIn(const QString& folder, QLatin1String fileName) {
    return folder + QLatin1Char('/') + fileName;
}

bool canWrite(const QFileInfo& folder) {
    return folder.isDir() && folder.isWritable() && !WholeFile::writeBitsCleared(folder);
}

// Why a folder could not be made in parent. A disk out of inodes has room for bytes but none for
// another file or folder, and says so as a full disk does.
QString whyNoFolder(int errorNumber, const QString& parent) {
    struct statvfs disk;
    if (errorNumber == ENOSPC && ::statvfs(QFile::encodeName(parent).constData(), &disk) == 0 && disk.f_files > 0 &&
        disk.f_favail == 0)
        return QStringLiteral("the disk has no free inodes left, so no file or folder can be made there.");
    return WholeFile::describe(errorNumber);
}

// The per-user base folder the XDG variable names, if it is an absolute path, else the home
// folder's fallback, with Dahdit's own folder in it.
QString perUser(const char* variable, const QString& fallback) {
    const QString base = QFile::decodeName(qgetenv(variable));
    return QDir::cleanPath(QDir::isAbsolutePath(base) ? base : QDir::homePath() + fallback) + QStringLiteral("/dahdit");
}

Folders decide(const QString& program) {
    Folders folders;
    folders.program = program;
    const QString settings = fileIn(program, SettingsFileName);
    folders.portable = canWrite(QFileInfo(program)) &&
                       (QFileInfo::exists(fileIn(program, QLatin1String("portable"))) || QFileInfo::exists(settings));
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    folders.settings = folders.portable ? program : perUser("XDG_CONFIG_HOME", QStringLiteral("/.config"));
    folders.data = folders.portable ? program : perUser("XDG_DATA_HOME", QStringLiteral("/.local/share"));
    folders.save = folders.portable ? program : QFileInfo(documents).isDir() ? documents : QDir::homePath();
    folders.beneath = !folders.portable && QFileInfo(settings).isFile() ? settings : QString();
    // Where an install puts the files that come with Dahdit, relative to the program folder, the
    // build says (DAHDIT_DATA_FROM_PROGRAM); a build that runs from its own folder has them there.
    folders.shipped = folders.portable || QFileInfo::exists(fileIn(program, DatabaseFileName))
                          ? program
                          : QDir::cleanPath(program + QStringLiteral("/" DAHDIT_DATA_FROM_PROGRAM));
    return folders;
}

std::optional<Folders> g_folders;

} // namespace

const Folders& AppFolders() {
    if (!g_folders)
        g_folders = decide(QCoreApplication::applicationDirPath());
    return *g_folders;
}

void SetAppPathForTesting(const QString& folder) {
    g_folders.reset();
    if (!folder.isEmpty())
        g_folders = decide(folder);
}

bool CanMakeFilesIn(const QString& folder, QString* cause) {
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

bool MakeFolder(const QString& folder, QString* cause) {
    // One that cannot be written is left alone, also where the system would let this user write.
    if (!CanMakeFilesIn(folder, cause))
        return false;
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    const QString parent = info.absolutePath();
    if (parent != folder && !MakeFolder(parent, cause))
        return false;
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) == 0)
        return true;
    const int errorNumber = errno;
    if (errorNumber == EEXIST && QFileInfo(folder).isDir())
        return true; // made meanwhile by another program
    *cause = QStringLiteral("the folder %1 cannot be made: %2")
                 .arg(QDir::toNativeSeparators(folder), whyNoFolder(errorNumber, parent));
    return false;
}
