#include "usercopy.h"

#include "apppath.h"
#include "codetablestore.h"
#include "wholefile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QtEndian>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace UserCopy {
namespace {

const QByteArray kFingerprintLead = "sha256 ";
// Dahdit's tables are some hundred kilobytes; a copy far larger than any is no copy of them, and
// is not read to be compared.
constexpr qint64 kLargestCopy = 64 * 1024 * 1024;
// How long a starting Dahdit waits for another one that is making or refreshing the copy.
constexpr int kWaitForOthersMs = 2000;

QByteArray fingerprintOf(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// The version stamped into a database's header (its user_version, at byte 60); 0 when none is.
int versionOf(const QByteArray& bytes) {
    return bytes.size() >= 64 && bytes.startsWith("SQLite format 3") ? qFromBigEndian<qint32>(bytes.constData() + 60)
                                                                     : 0;
}

// Reads a whole regular file through fd, from its start; false when it cannot be, or is too large
// to be a copy of Dahdit's tables.
bool readAll(int fd, QByteArray* bytes) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > kLargestCopy)
        return false;
    bytes->resize(qsizetype(status.st_size));
    qsizetype done = 0;
    while (done < bytes->size()) {
        const ssize_t got = ::pread(fd, bytes->data() + done, size_t(bytes->size() - done), done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}

// A file opened for reading, never through a link and never waiting on a pipe; -1 when none.
int openToRead(const QString& path) {
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

bool readFile(const QString& path, QByteArray* bytes) {
    const int fd = openToRead(path);
    const bool read = fd >= 0 && readAll(fd, bytes);
    if (fd >= 0)
        ::close(fd);
    return read;
}

bool sameFile(int fd, const QString& path) {
    struct stat open {};
    return ::fstat(fd, &open) == 0 && WholeFile::isFile(QFile::encodeName(path), open);
}

QString recordOf(const QString& copy) {
    return copy + QStringLiteral(".made");
}

// The record beside the copy, open and locked: shared while the copy is in use, exclusive while it
// is refreshed. Dahdit makes the file and never replaces it, so that every Dahdit locks the same
// file; one removed or replaced meanwhile by other means is opened again. -1 when it cannot be had,
// and *busy says whether only another Dahdit's lock stood in the way, so that waiting may help.
int lockRecord(const QString& copy, int operation, bool* busy) {
    const QString path = recordOf(copy);
    *busy = false;
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        struct stat status {};
        if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
            if (fd >= 0)
                ::close(fd);
            return -1;
        }
        const bool locked = ::flock(fd, operation) == 0;
        *busy = !locked && errno == EWOULDBLOCK;
        if (locked && sameFile(fd, path))
            return fd;
        ::close(fd);
        if (!locked)
            return -1;
    }
    return -1;
}

// The fingerprint a record's text holds; empty when it holds none.
QByteArray fingerprintIn(const QByteArray& record) {
    return record.startsWith(kFingerprintLead) ? record.mid(kFingerprintLead.size()).trimmed() : QByteArray();
}

// Writes the fingerprint of bytes into the record, in place. A write cut off leaves a record that
// matches nothing, and the copy is then kept: the safe side.
void record(int fd, const QByteArray& bytes) {
    const QByteArray text = kFingerprintLead + fingerprintOf(bytes) + '\n';
    if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, text.constData(), size_t(text.size()), 0) == text.size())
        ::fsync(fd);
}

// Makes the copy where there is none, whole or not at all, and records what it holds. A copy that
// another Dahdit made meanwhile counts as made.
bool makeCopy(const QString& copy, const QString& installed, int recordFd, QString* cause) {
    QByteArray bytes;
    if (!readFile(installed, &bytes)) {
        *cause = QStringLiteral("the database that came with Dahdit, %1, cannot be read. Install Dahdit again.")
                     .arg(QDir::toNativeSeparators(installed));
        return false;
    }
    if (WholeFile::create(copy, bytes, cause)) {
        if (recordFd >= 0)
            record(recordFd, bytes);
        return true;
    }
    return QFileInfo::exists(copy);
}

// Replaces an unchanged copy with a newer installed database, under the record's exclusive lock.
// Anything that does not prove the copy Dahdit's own, unchanged, leaves it as it is.
void refresh(const QString& copy, const QString& installed, int recordFd) {
    QByteArray recorded, fresh;
    const QByteArray fingerprint = readAll(recordFd, &recorded) ? fingerprintIn(recorded) : QByteArray();
    if (fingerprint.isEmpty() || !readFile(installed, &fresh))
        return;
    // The copy is opened before it is locked, and read only once the lock is held: no other program
    // can change it from then on until it is replaced, and the file read is the file at the path.
    // A link is never opened, and only a regular file is read; the writer refuses a file that
    // is read-only or whose write bits the user cleared.
    const int fd = openToRead(copy);
    if (fd < 0)
        return;
    {
        CodeTableStore lock;
        lock.setBusyTimeout(100);
        QByteArray old;
        if (lock.open(copy) && lock.beginWrite() && sameFile(fd, copy) && readAll(fd, &old) &&
            fingerprintOf(old) == fingerprint && versionOf(fresh) > versionOf(old) &&
            WholeFile::replace(copy, fresh, nullptr))
            record(recordFd, fresh);
        // The connection is closed before the file read through fd: closing any file of a database
        // would let go of the locks SQLite holds on it.
    }
    ::close(fd);
}

} // namespace

int VersionStamp(const QString& version) {
    const QStringList parts = version.split(u'.');
    int stamp = 0;
    for (int i = 0; i < 3; ++i)
        stamp = stamp * 1000 + parts.value(i).toInt() % 1000; // a part not given counts as 0
    return stamp;
}

InUse::~InUse() {
    if (m_fd >= 0) // no record could be opened where another Dahdit kept it locked throughout
        ::close(m_fd);
}

bool Prepare(const QString& copy, const QString& installed, bool refreshIt, std::shared_ptr<InUse>* inUse,
             QString* cause) {
    // A folder that cannot be written, or that the user left alone, gets no new file: a copy in it
    // is used as it is.
    if (!MakeFolder(QFileInfo(copy).absolutePath(), cause))
        return QFileInfo::exists(copy);
    bool busy = false;
    int fd = lockRecord(copy, LOCK_EX | LOCK_NB, &busy);
    const bool alone = fd >= 0;
    // Otherwise another Dahdit has the copy in use, or is making or refreshing it this moment. A
    // record that cannot be opened or locked at all (another user's) is not waited for.
    for (int waited = 0; busy && waited < kWaitForOthersMs; waited += 10) {
        fd = lockRecord(copy, LOCK_SH | LOCK_NB, &busy);
        if (busy)
            QThread::msleep(10);
    }
    const auto held = std::make_shared<InUse>(fd); // closes the record on every path
    if (alone && (QFileInfo::exists(copy) || QFileInfo(copy).isSymLink())) {
        if (refreshIt)
            refresh(copy, installed, fd);
    } else if (!QFileInfo::exists(copy) && !makeCopy(copy, installed, fd, cause)) {
        return false;
    }
    if (alone)
        ::flock(fd, LOCK_SH);
    if (fd >= 0)
        *inUse = held;
    return true;
}

bool MadeByDahdit(const QString& path) {
    QByteArray bytes;
    QByteArray text;
    return readFile(path, &bytes) && readFile(recordOf(path), &text) && fingerprintIn(text) == fingerprintOf(bytes);
}

} // namespace UserCopy
