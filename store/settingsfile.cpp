#include "settingsfile.h"

#include "wholefile.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace SettingsFile {

using WholeFile::fail;

namespace {

// How long a write waits for another program's write of the same file, which takes milliseconds.
constexpr int kLockWaitMs = 2000;

// Takes the lock, waiting for another program's write to end; false when that program held it
// all along. The lock is looked at every millisecond, as the other write takes a few: QLockFile's
// own wait looks again only after 100 ms, then ever more rarely. Where no lock can be made at all
// (a folder that may not be written), the write goes on without, and fails or not for reasons of
// its own.
bool lockSoon(QLockFile* lock) {
    const QDeadlineTimer deadline(kLockWaitMs);
    while (!lock->tryLock(0)) {
        if (lock->error() != QLockFile::LockFailedError)
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(1);
    }
    return true;
}

const QString kUnreadable = QStringLiteral("Dahdit may not read it. Make it readable and writable for you.");

const QString kLargest = QStringLiteral("%1 MiB").arg(MaxFileSize >> 20);

// Reads the whole file into bytes, given empty, which stay so when there is no file. False, with
// why and what to do in cause, when the file is unusable.
bool load(const QString& path, std::optional<QByteArray>* bytes, QString* cause) {
    // Opened without waiting, so that a named pipe in the file's place cannot stall the program.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT)
            return true;
        return fail(cause, errno == EACCES ? kUnreadable : WholeFile::describe(errno));
    }
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return fail(cause, WholeFile::describe(errno));
    if (!S_ISREG(status.st_mode))
        return fail(cause,
                    WholeFile::notAFile(unsigned(status.st_mode)) +
                        QStringLiteral(" Remove it, or put a settings file of at most %1 in its place.").arg(kLargest));
    // Read to the end, whatever the size said, but never more than one byte past the limit.
    QByteArray data(MaxFileSize + 1, Qt::Uninitialized);
    qsizetype size = 0;
    while (size != data.size()) {
        const ssize_t got = ::read(fd, data.data() + size, size_t(data.size() - size));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fail(cause, WholeFile::describe(errno));
        if (got == 0)
            break;
        size += got;
    }
    if (size > MaxFileSize)
        return fail(cause, QStringLiteral("it is larger than %1, far more than any settings need. Remove it, or cut it "
                                          "down to the settings it should hold.")
                               .arg(kLargest));
    data.truncate(size);
    *bytes = data;
    return true;
}

// True when the line is a section header; name is then the section's name.
bool sectionOf(QStringView trimmed, QStringView* name) {
    if (!trimmed.startsWith(u'['))
        return false;
    const qsizetype close = trimmed.indexOf(u']');
    if (close < 0)
        return false;
    *name = trimmed.mid(1, close - 1).trimmed();
    return true;
}

// Splits "key = value" into its trimmed halves; false when the line holds no key (a comment, which
// starts with ";" or "#", a section header, or no "=").
bool keyValueOf(QStringView trimmed, QStringView* key, QStringView* value) {
    const qsizetype eq = trimmed.indexOf(u'=');
    if (eq <= 0 || trimmed.startsWith(u';') || trimmed.startsWith(u'#') || trimmed.startsWith(u'['))
        return false;
    *key = trimmed.left(eq).trimmed(); // never empty: the line starts with what is no space
    *value = trimmed.mid(eq + 1).trimmed();
    return true;
}

bool sameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Byte offsets into the file. A line's text ends before its line end; the next line begins
// after it.
struct Location {
    bool section = false;    // the section is in the file
    qsizetype keyBegin = -1; // the key's line
    qsizetype keyEnd = -1;
    qsizetype lastNext = -1; // after the section's last key line, or its header
    QString value;           // the key's value, trimmed
};

// One pass over the file, to the key.
Location locate(const QByteArray& bytes, QStringView section, QStringView key) {
    Location where;
    // Each line is decoded on its own, as a whole string would be (a byte-order mark is kept as a
    // character), into one buffer, so that a file of many lines costs no allocation per line. A
    // UTF-8 byte never gives more than one UTF-16 unit.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString buffer(bytes.size(), Qt::Uninitialized);
    const char* data = bytes.constData();
    const qsizetype size = bytes.size();
    bool inSection = false;
    // A byte-order mark would otherwise hide the section header on the first line.
    const qsizetype start = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    for (qsizetype begin = start; begin < size;) {
        qsizetype end = begin;
        while (end < size && data[end] != '\n' && data[end] != '\r')
            ++end;
        qsizetype next = end;
        if (next < size)
            next += (data[next] == '\r' && next + 1 < size && data[next + 1] == '\n') ? 2 : 1;

        const QChar* decoded = decoder.appendToBuffer(buffer.data(), QByteArrayView(data + begin, end - begin));
        const QStringView line = QStringView(buffer.constData(), decoded).trimmed();
        QStringView name;
        QStringView value;
        if (sectionOf(line, &name)) {
            if (where.section)
                break; // only the first matching section counts
            inSection = sameName(name, section);
            if (inSection) {
                where.section = true;
                where.lastNext = next;
            }
        } else if (inSection && keyValueOf(line, &name, &value)) {
            where.lastNext = next;
            if (sameName(name, key)) {
                where.keyBegin = begin;
                where.keyEnd = end;
                where.value = value.toString();
                break;
            }
        }
        begin = next;
    }
    return where;
}

// The file's own line end: its first one, or CR LF when it has none.
QByteArray lineEndOf(const QByteArray& bytes) {
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n')
            return "\n";
        if (bytes[i] == '\r')
            return (i + 1 < bytes.size() && bytes[i + 1] == '\n') ? "\r\n" : "\r";
    }
    return "\r\n";
}

QString unquoted(const QString& value) {
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
        return value.mid(1, value.size() - 2);
    return value;
}

// The first MaxValueLength characters of value, never half of one (a cut past the end keeps all).
QString truncated(QString value) {
    qsizetype units = 0;
    for (int characters = 0; units < value.size() && characters < MaxValueLength; ++characters)
        units += value.at(units).isHighSurrogate() ? 2 : 1;
    value.truncate(units);
    return value;
}

// The value as written: in quotes where the reader would otherwise trim or unquote it.
QByteArray storedForm(const QString& value) {
    if (unquoted(value.trimmed()) == value)
        return value.toUtf8();
    return '"' + value.toUtf8() + '"';
}

// The file with key set to value in section.
QByteArray withValue(const QByteArray& old, const QString& section, const QString& key, const QString& value) {
    const QByteArray line = key.toUtf8() + '=' + storedForm(value);
    const Location where = locate(old, section, key);
    if (where.keyBegin >= 0)
        return old.left(where.keyBegin) + line + old.mid(where.keyEnd);
    const QByteArray eol = lineEndOf(old);
    QByteArray before = where.section ? old.left(where.lastNext) : old;
    if (!before.isEmpty() && !before.endsWith('\n') && !before.endsWith('\r'))
        before += eol; // the last line of the file had no line end
    if (!where.section)
        return before + '[' + section.toUtf8() + ']' + eol + line + eol;
    // A lone CR followed by the LF of an empty line would read as one CR LF and swallow it.
    const bool joins = eol == "\r" && QByteArrayView(old).sliced(where.lastNext).startsWith('\n');
    return before + line + (joins ? QByteArray("\r\n") : eol) + old.mid(where.lastNext);
}

} // namespace

QString read(const QString& path, const QString& section, const QString& key, const QString& fallback) {
    std::optional<QByteArray> bytes;
    if (!load(path, &bytes, nullptr) || !bytes)
        return fallback;
    const Location where = locate(*bytes, section, key);
    return where.keyBegin < 0 ? fallback : truncated(unquoted(where.value));
}

bool usable(const QString& path, QString* cause) {
    std::optional<QByteArray> bytes;
    return load(path, &bytes, cause);
}

Refusal refusalOf(const Values& values) {
    for (const auto& [key, value] : values) {
        const qsizetype characters = value.toUcs4().size(); // a character outside the BMP counts once
        if (value.contains(u'\n') || value.contains(u'\r'))
            return {Refusal::Kind::LineBreak, key, characters};
        if (characters > MaxValueLength)
            return {Refusal::Kind::TooLong, key, characters};
    }
    return {};
}

bool write(const QString& path, const QString& section, const Values& values, QString* cause) {
    const Refusal refusal = refusalOf(values);
    if (refusal.kind == Refusal::Kind::LineBreak)
        return fail(cause, QStringLiteral("a setting cannot hold a line break."));
    if (refusal.kind == Refusal::Kind::TooLong)
        return fail(cause, QStringLiteral("a setting holds at most %1 characters, and the value of %2 has %3.")
                               .arg(MaxValueLength)
                               .arg(refusal.key)
                               .arg(refusal.characters));
    // Held from the read to the replacement.
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lockSoon(&lock))
        return fail(cause, QStringLiteral("another program is saving it at this moment. Try again in a moment."));
    std::optional<QByteArray> old;
    if (!load(path, &old, cause))
        return false;
    QByteArray bytes = old.value_or(QByteArray());
    for (const auto& [key, value] : values)
        bytes = withValue(bytes, section, key, value);
    if (bytes.size() > MaxFileSize)
        return fail(cause,
                    QStringLiteral("with this change it would be larger than %1, and so could not be read at the "
                                   "next start. Cut it down to the settings it should hold.")
                        .arg(kLargest));
    if (old) {
        if (bytes == *old)
            return true; // every value is stored already
        // Read bits all cleared mean the user wants the file left alone too, also where the system
        // would let this user replace it.
        const QFileInfo info(path);
        if (!(info.permissions() & (QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther)))
            return fail(cause, kUnreadable);
    }
    return WholeFile::replace(path, bytes, cause);
}

} // namespace SettingsFile
