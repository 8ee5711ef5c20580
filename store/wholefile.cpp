#include "wholefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace WholeFile {
namespace {

// Dahdit's temporary files beside a file being replaced are named after it, with this mark and
// six random letters or digits, so that one left behind can be told from anything of the user's.
const QLatin1String kTemporaryMark(".dahdit-");
constexpr int kRandomLetters = 6;
// Older than this, a temporary file is no longer any write's: one left behind by a write that
// was cut off. A younger one may be another Dahdit's write of the same file, still going on.
constexpr qint64 kStaleAfterSeconds = 60;

// Writes every byte to fd, retrying what a signal interrupted; 0, or the error number.
int writeBytes(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : ENOSPC;
        data += written;
        left -= written;
    }
    return 0;
}

// Pushes fd out to the disk; 0, or the error number. Some file systems (network ones, some with
// quotas) report a full disk only here. Pipes and devices that cannot be synced are not at fault.
int sync(int fd) {
    while (::fsync(fd) != 0) {
        if (errno == EINTR)
            continue;
        return errno == EINVAL || errno == EROFS ? 0 : errno;
    }
    return 0;
}

// Makes a new temporary file beside target, open for writing with the given mode; -1 with errno
// set when none could be made.
int createTemporary(const QString& target, mode_t mode, QByteArray* name) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray suffix(kRandomLetters, Qt::Uninitialized);
        for (char& letter : suffix)
            letter = letters[QRandomGenerator::global()->bounded(int(sizeof(letters) - 1))];
        *name = QFile::encodeName(target + kTemporaryMark) + suffix;
        const int fd = ::open(name->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Writes bytes to a new temporary file beside target, with the given permissions (the umask
// applies), and pushes it out to the disk. A file that it is to replace (old) gives it its owner,
// group and permissions once it is complete: until then only its owner may read it. Its name, or
// empty with errno set.
QByteArray writeTemporary(const QString& target, const QByteArray& bytes, mode_t mode, const struct stat* old) {
    QByteArray name;
    const int fd = createTemporary(target, old ? 0600 : mode, &name);
    if (fd < 0)
        return QByteArray();
    int error = writeBytes(fd, bytes);
    if (error == 0 && old) {
        // Root saving a user's file must not make it root's. Another user may only keep the group,
        // and only one of their own; the file is then theirs, as after any program's save.
        if (::fchown(fd, old->st_uid, old->st_gid) != 0)
            (void)!::fchown(fd, uid_t(-1), old->st_gid);
        ::fchmod(fd, old->st_mode & 07777);
    }
    if (error == 0)
        error = sync(fd);
    // A network file system may report a failed write only when the file is closed. Linux closes
    // the file whatever close() says, so it is never called twice.
    if (::close(fd) != 0 && errno != EINTR && error == 0)
        error = errno;
    if (error == 0)
        return name;
    ::unlink(name.constData());
    errno = error;
    return QByteArray();
}

// Says why in cause, when the caller asked; always false.
bool fail(QString* cause, const QString& why) {
    if (cause)
        *cause = why;
    return false;
}

// Removes a temporary file that could not take its target's name, saying why; always false.
bool dropTemporary(const QByteArray& temporary, QString* cause) {
    const int error = errno;
    ::unlink(temporary.constData());
    return fail(cause, describe(error));
}

// Removes the temporary files that earlier writes of target left behind: only Dahdit's own, by
// their name, and only when they are old enough to be no other write's.
void removeStaleTemporaries(const QString& target) {
    const QFileInfo info(target);
    const QString prefix = info.fileName() + kTemporaryMark;
    const QDateTime staleBefore = QDateTime::currentDateTime().addSecs(-kStaleAfterSeconds);
    const QDir folder = info.absoluteDir();
    for (const QFileInfo& file : folder.entryInfoList({prefix + QStringLiteral("*")}, QDir::Files | QDir::Hidden)) {
        if (file.fileName().startsWith(prefix) && file.fileName().size() == prefix.size() + kRandomLetters &&
            !file.isSymLink() && file.lastModified() < staleBefore)
            QFile::remove(file.filePath());
    }
}

} // namespace

QString describe(int errorNumber) {
    switch (errorNumber) {
    case ENOSPC:
        return QStringLiteral("the disk is full.");
    case EDQUOT:
        return QStringLiteral("your disk quota is used up.");
    case EFBIG:
        return QStringLiteral("the file would be larger than this disk or this user may write.");
    case EACCES:
    case EPERM:
        return QStringLiteral("permission denied.");
    case EROFS:
        return QStringLiteral("the disk is read-only.");
    case EIO:
        return QStringLiteral("the disk reported an input/output error.");
    case ENOENT:
        return QStringLiteral("the folder does not exist.");
    case ENOTDIR:
        return QStringLiteral("a part of the path is not a folder.");
    case EISDIR:
        return notAFile(S_IFDIR);
    case ENAMETOOLONG:
        return QStringLiteral("the name is too long.");
    default: {
        QString text = QString::fromLocal8Bit(std::strerror(errorNumber));
        if (!text.isEmpty())
            text[0] = text[0].toLower();
        return text + u'.';
    }
    }
}

QString notAFile(unsigned mode) {
    const char* kind = S_ISREG(mode)                    ? nullptr
                       : S_ISDIR(mode)                  ? "a folder"
                       : S_ISFIFO(mode)                 ? "a named pipe (FIFO)"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                       : S_ISSOCK(mode)                 ? "a socket"
                                                        : "a special file";
    return kind ? QStringLiteral("it is %1, not a file.").arg(QLatin1String(kind)) : QString();
}

QString notAFile(const QString& path) {
    struct stat status {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &status) != 0)
        return QString();
    return notAFile(unsigned(status.st_mode));
}

bool writeBitsCleared(const QFileInfo& file) {
    return !(file.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther));
}

bool replace(const QString& path, const QByteArray& bytes, QString* cause) {
    const QFileInfo given(path);
    const QString target = given.isSymLink() && given.exists() ? given.canonicalFilePath() : path;
    struct stat old {};
    const bool exists = ::stat(QFile::encodeName(target).constData(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return fail(cause, notAFile(unsigned(old.st_mode)));
    removeStaleTemporaries(target);
    // A new file gets the permissions the user's umask gives; a replaced one keeps its own.
    const QByteArray temporary = writeTemporary(target, bytes, 0666, exists ? &old : nullptr);
    if (temporary.isEmpty())
        return fail(cause, describe(errno));
    if (::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0)
        return dropTemporary(temporary, cause);
    // The new name reaches the disk with the folder; a folder that cannot be synced loses nothing
    // that a crash would not lose anyway.
    const int folder =
        ::open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        sync(folder);
        ::close(folder);
    }
    return true;
}

bool create(const QString& path, const QByteArray& bytes, QString* cause) {
    const QByteArray temporary = writeTemporary(path, bytes, 0600, nullptr);
    if (temporary.isEmpty())
        return fail(cause, describe(errno));
    // The name is taken only where there is none. File systems that cannot rename that way
    // take a hard link, which never replaces a file either.
    const QByteArray to = QFile::encodeName(path);
    if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if ((errno == EINVAL || errno == ENOSYS) && ::link(temporary.constData(), to.constData()) == 0) {
        ::unlink(temporary.constData());
        return true;
    }
    return dropTemporary(temporary, cause);
}

} // namespace WholeFile
