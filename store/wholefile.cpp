#include "wholefile.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace WholeFile {
namespace {

// The cause of a failed Qt call: the system's error number where it left one, else Qt's text.
QString causeOf(int errorNumber, const QFileDevice& device) {
    if (errorNumber != 0)
        return describe(errorNumber);
    const QString text = device.errorString();
    return (text.isEmpty() ? QStringLiteral("the system gave no reason") : text) + u'.';
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
        return QStringLiteral("this is a folder, not a file.");
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

bool writeAll(QFileDevice& device, const QByteArray& bytes, QString* cause) {
    auto fail = [cause](int errorNumber) {
        if (cause)
            *cause = describe(errorNumber);
        return false;
    };
    // Bytes still buffered in the device go first. Qt's own buffered writes report success
    // while the bytes sit in memory, so the rest goes straight to the file, where every
    // failure shows at once.
    errno = 0;
    if (!device.flush())
        return fail(errno != 0 ? errno : EIO);
    const int fd = device.handle();
    if (fd < 0)
        return fail(EBADF);
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return fail(written < 0 ? errno : ENOSPC);
        data += written;
        left -= written;
    }
    // Some file systems (network ones, some with quotas) report a full disk only here. Pipes and
    // devices that cannot be synced are not at fault.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
        return fail(errno);
    return true;
}

bool replace(const QString& path, const QByteArray& bytes, QString* cause) {
    auto fail = [cause](const QString& why) {
        if (cause)
            *cause = why;
        return false;
    };
    if (QFileInfo(path).isDir())
        return fail(describe(EISDIR));
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return fail(causeOf(errno, file));
    QString why;
    if (!writeAll(file, bytes, &why)) {
        file.cancelWriting();
        return fail(why);
    }
    errno = 0;
    if (!file.commit())
        return fail(causeOf(errno, file));
    return true;
}

bool create(const QString& path, const QByteArray& bytes, QString* cause) {
    auto fail = [cause](const QString& why) {
        if (cause)
            *cause = why;
        return false;
    };
    const QFileInfo target(path);
    QTemporaryFile file(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    errno = 0;
    if (!file.open())
        return fail(causeOf(errno, file));
    if (!writeAll(file, bytes, cause))
        return false; // the temporary file goes with its object
    // The name is taken only where there is none. File systems that cannot rename that way
    // take a hard link, which never replaces a file either.
    const QByteArray from = QFile::encodeName(file.fileName());
    const QByteArray to = QFile::encodeName(path);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        file.setAutoRemove(false);
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS)
        return fail(describe(errno));
    return ::link(from.constData(), to.constData()) == 0 || fail(describe(errno));
}

} // namespace WholeFile
