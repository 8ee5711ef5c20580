#include "wholefile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace WholeFile {
namespace {

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

// Makes something under a new name beside target for a temporary file (the target's name,
// ".dahdit-" and six random letters or digits), trying another name while make finds the name
// taken; the name, or empty with errno set.
template <typename Make> QByteArray newName(const QString& target, Make make) {
    static const QByteArray letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = QFile::encodeName(target + QLatin1String(".dahdit-"));
        for (int i = 0; i < 6; ++i)
            name += letters[QRandomGenerator::global()->bounded(letters.size())];
        if (make(name))
            return name;
        if (errno != EEXIST)
            break;
    }
    return QByteArray();
}

// Gives the file at from (through a link, with AT_SYMLINK_FOLLOW) a new temporary name beside
// target; the name, or empty with errno set.
QByteArray linkBeside(const QString& target, const QByteArray& from, int flags) {
    return newName(target, [&](const QByteArray& name) {
        return ::linkat(AT_FDCWD, from.constData(), AT_FDCWD, name.constData(), flags) == 0;
    });
}

// The file being written, before it takes its target's place. Where the system allows (Linux's
// O_TMPFILE, with /proc to name it by), it has no name until it is complete: a write cut off (the
// program killed) leaves nothing behind. Elsewhere it is made under a new name of its own, which
// a write cut off leaves in place: only the user can tell it from a file of theirs.
class Temporary {
public:
    Temporary() = default;
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    // Closes and removes the temporary file: only the file this very write made, where a name
    // still names it.
    ~Temporary() {
        closeFile();
        if (!m_name.isEmpty() && isFile(m_name, m_made))
            ::unlink(m_name.constData());
    }

    // Makes the file in target's folder, open for writing with the given mode (the umask applies);
    // false with errno set when none could be made.
    bool open(const QString& target, mode_t mode) {
        static const bool unnamed = ::access("/proc/self/fd", X_OK) == 0;
        if (unnamed) {
            const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
            m_fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        }
        if (m_fd < 0) {
            m_name = newName(target, [&](const QByteArray& name) {
                m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
                return m_fd >= 0;
            });
        }
        // Without its status no name is ever removed: a leftover is the safe side.
        if (m_fd >= 0)
            ::fstat(m_fd, &m_made);
        return m_fd >= 0;
    }
    int fd() const { return m_fd; }
    // The file this write made: a name is removed only while it still names this file.
    const struct stat& made() const { return m_made; }

    // Gives the complete file the name to, which must be free, and closes it; 0, or the error
    // number. A network file system may report a failed write only at the close. Linux closes the
    // file whatever close() says, so it is never called twice.
    int linkAs(const QByteArray& to) {
        int error = 0;
        if (m_name.isEmpty()) {
            if (::linkat(AT_FDCWD, self().constData(), AT_FDCWD, to.constData(), AT_SYMLINK_FOLLOW) != 0)
                error = errno;
            else
                m_name = to;
        } else if (::renameat2(AT_FDCWD, m_name.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
            m_name = to;
        } else if ((errno == EINVAL || errno == ENOSYS) && ::link(m_name.constData(), to.constData()) == 0) {
            // A file system that cannot rename without replacing takes a hard link, which never
            // replaces a file either.
            if (isFile(m_name, m_made))
                ::unlink(m_name.constData());
            m_name = to;
        } else {
            error = errno;
        }
        if (error == 0)
            error = closeFile();
        if (error == 0)
            m_name.clear(); // the caller's file now, no longer a temporary one
        return error;
    }

    // Gives the complete file a temporary name, ready to take its target's place, and closes it;
    // its name, or empty with errno set.
    QByteArray name(const QString& target) {
        if (m_name.isEmpty())
            m_name = linkBeside(target, self(), AT_SYMLINK_FOLLOW);
        const int error = m_name.isEmpty() ? errno : closeFile();
        errno = error;
        return error == 0 ? m_name : QByteArray();
    }

private:
    QByteArray self() const { return "/proc/self/fd/" + QByteArray::number(m_fd); }

    int closeFile() {
        if (m_fd < 0)
            return 0;
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc != 0 && errno != EINTR ? errno : 0;
    }

    int m_fd = -1;
    QByteArray m_name; // empty while the file has no name, or once it is no longer temporary
    struct stat m_made {};
};

// Writes bytes to a new temporary file beside target, with the given permissions (the umask
// applies), and pushes it out to the disk. A file that it is to replace (old) gives it its owner,
// group and permissions once it is complete: until then only its owner may read it. False, with
// errno set, when any step failed.
bool writeTemporary(Temporary* file, const QString& target, const QByteArray& bytes, mode_t mode,
                    const struct stat* old) {
    if (!file->open(target, old ? 0600 : mode))
        return false;
    int error = writeBytes(file->fd(), bytes);
    if (error == 0 && old) {
        // Root saving a user's file must not make it root's. Another user may only keep the group,
        // and only one of their own; the file is then theirs, as after any program's save.
        if (::fchown(file->fd(), old->st_uid, old->st_gid) != 0)
            (void)!::fchown(file->fd(), uid_t(-1), old->st_gid);
        ::fchmod(file->fd(), old->st_mode & 07777);
    }
    if (error == 0)
        error = sync(file->fd());
    errno = error;
    return error == 0;
}

// Syncs target's folder, so that the names in it reach the disk; 0, or the error number. A folder
// that cannot be opened to be synced (one this user may not read) is not at fault.
int syncFolder(const QString& target) {
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    const int error = sync(fd);
    ::close(fd);
    return error;
}

// The file that path names, as the system finds it: links followed, also to a file not there yet
// (so that a link stays a link), each link's text read from where the link really is. Given as the
// real path of its folder and its own name; empty past as many links in a row as the system follows.
QString followLinks(QString path) {
    for (int links = 0; links <= 40; ++links) {
        const QFileInfo named(path);
        const QString folder = QFileInfo(named.path()).canonicalFilePath();
        char text[PATH_MAX];
        const ssize_t size = ::readlink(QFile::encodeName(path).constData(), text, sizeof text);
        if (size < 0) // not a link: the file itself
            return folder.isEmpty() ? path : folder + u'/' + named.fileName();
        path = QFile::decodeName(QByteArray(text, size));
        if (!path.startsWith(u'/'))
            path = folder + u'/' + path;
    }
    return QString();
}

} // namespace

bool fail(QString* cause, const QString& why) {
    if (cause)
        *cause = why;
    return false;
}

bool isFile(const QByteArray& path, const struct stat& file) {
    struct stat named {};
    return ::lstat(path.constData(), &named) == 0 && named.st_dev == file.st_dev && named.st_ino == file.st_ino;
}

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
    case EXDEV:
        return QStringLiteral("it is a mount point of its own, so it cannot be replaced.");
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
    const QString target = followLinks(path);
    if (target.isEmpty())
        return fail(cause, describe(ELOOP));
    struct stat old {};
    const QByteArray to = QFile::encodeName(target);
    const bool exists = ::stat(to.constData(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return fail(cause, notAFile(unsigned(old.st_mode)));
    // A file that may not be written, or whose write bits the user cleared (which root may write
    // all the same), is left as it is.
    if (exists && (::access(to.constData(), W_OK) != 0 || writeBitsCleared(QFileInfo(target))))
        return fail(cause, QStringLiteral("the file is read-only."));
    // A new file gets the permissions the user's umask gives; a replaced one keeps its own.
    Temporary temporary;
    QByteArray name;
    if (!writeTemporary(&temporary, target, bytes, 0666, exists ? &old : nullptr) ||
        (name = temporary.name(target)).isEmpty())
        return fail(cause, describe(errno));
    // The new name reaches the disk with the folder. Until the folder is synced, the old file keeps
    // a second name, under which it is put back should the sync fail; where the file system gives
    // no second name, the failure is told all the same. Every name is moved or removed only while
    // it still names the file it was made for: name the file this write made, kept the old file
    // this write linked. A name that no longer does is left as it is.
    const struct stat& made = temporary.made();
    const QByteArray kept = exists ? linkBeside(target, to, 0) : QByteArray();
    int error = isFile(name, made) ? 0 : ENOENT; // another program took the temporary name meanwhile
    if (error == 0 && ::rename(name.constData(), to.constData()) != 0)
        error = errno;
    if (error == 0) {
        error = syncFolder(target);
        if (error != 0 && isFile(to, made)) {
            if (!kept.isEmpty() && isFile(kept, old))
                ::rename(kept.constData(), to.constData());
            else if (!exists)
                ::unlink(to.constData());
        }
    }
    // The old file's second name goes where the old file is replaced, or still has its own name;
    // where putting it back failed, it is the old file's only name, and stays.
    if (!kept.isEmpty() && isFile(kept, old) && (error == 0 || isFile(to, old)))
        ::unlink(kept.constData());
    return error == 0 || fail(cause, describe(error));
}

bool create(const QString& path, const QByteArray& bytes, QString* cause) {
    // The name is taken only where there is none.
    Temporary temporary;
    if (!writeTemporary(&temporary, path, bytes, 0600, nullptr))
        return fail(cause, describe(errno));
    const int error = temporary.linkAs(QFile::encodeName(path));
    return error == 0 || fail(cause, describe(error));
}

} // namespace WholeFile
