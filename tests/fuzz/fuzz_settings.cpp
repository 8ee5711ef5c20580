// Fuzzes the settings file: any bytes as the file, then one read and one write.
// Properties: nothing crashes; a read returns at most 254 characters; a write of one key leaves
// every other line of the file byte for byte as it was; a read after a write returns the value
// exactly; a value too long to store is refused and leaves the file as it was.
#include "settingsfile.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

namespace {

const char* const kSections[] = {"main", "Main", "other", ""};
const char* const kKeys[] = {"dt", "sdt", "db_path", "table_name", "DT", "x"};

QString tempPath() {
    static const QString path = QDir::tempPath() + QStringLiteral("/dahdit-fuzz-settings-%1.ini").arg(getpid());
    return path;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        abort();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Lines with their line ends: CR LF, LF or a lone CR.
QByteArrayList lines(const QByteArray& bytes) {
    QByteArrayList result;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        if (end < bytes.size())
            end += (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ? 2 : 1;
        result.append(bytes.mid(start, end - start));
        start = end;
    }
    return result;
}

bool endsLine(const QByteArray& line) {
    return line.endsWith('\n') || line.endsWith('\r');
}

bool sameLine(const QByteArray& before, const QByteArray& after, bool lastBefore) {
    if (before == after)
        return true;
    // A last line without a line end may gain one when a line is added after it.
    return lastBefore && !endsLine(before) &&
           (after == before + "\r\n" || after == before + "\n" || after == before + "\r");
}

// Any value without a line break: blanks and quotes around it too, and some too long to store.
QString anyValue(FuzzedDataProvider& data) {
    std::string raw = data.ConsumeRandomLengthString(300);
    QString value;
    for (unsigned char c : raw)
        value += (c >= 0x20 && c < 0x7f) ? QChar(c) : (c >= 0x80 ? QChar(0x3a3) : QChar(u'"'));
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const QString section = QLatin1String(kSections[data.ConsumeIntegralInRange<size_t>(0, 3)]);
    const QString key = QLatin1String(kKeys[data.ConsumeIntegralInRange<size_t>(0, 5)]);
    const QString value = anyValue(data);
    const std::string rest = data.ConsumeRemainingBytesAsString();
    const QByteArray before(rest.data(), qsizetype(rest.size()));
    const QString path = tempPath();
    writeFile(path, before);

    const QString read = SettingsFile::read(path, section, key, QStringLiteral("default"));
    if (read.size() > SettingsFile::MaxValueLength)
        abort();

    if (section.isEmpty())
        return 0; // "[]" is not a section a caller writes
    QString error;
    const bool written = SettingsFile::write(path, section, key, value, &error);
    if (written != (value.size() <= SettingsFile::MaxValueLength)) {
        fprintf(stderr, "write of %lld characters %s: %s\n", (long long)value.size(), written ? "done" : "failed",
                qPrintable(error));
        abort();
    }
    if (!written) {
        if (readFile(path) != before)
            abort();
        return 0;
    }
    const QByteArray after = readFile(path);
    const QByteArrayList old = lines(before);
    const QByteArrayList now = lines(after);

    // Everything before and after the changed place is the same, line for line.
    qsizetype prefix = 0;
    while (prefix < old.size() && prefix < now.size() && sameLine(old[prefix], now[prefix], prefix + 1 == old.size()))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < old.size() - prefix && suffix < now.size() - prefix &&
           old[old.size() - 1 - suffix] == now[now.size() - 1 - suffix])
        ++suffix;
    const qsizetype removed = old.size() - prefix - suffix;
    const qsizetype added = now.size() - prefix - suffix;
    // A key replaced in place (1 for 1), a key added (0 for 1), or a section and key added (0 for 2).
    const bool shapeOk = (removed == 1 && added == 1) || (removed == 0 && (added == 1 || added == 2));
    // The value as it is, or in quotes where the reader would otherwise trim or unquote it.
    const QByteArray keyLine = key.toUtf8() + '=';
    bool hasKeyLine = false;
    for (qsizetype i = prefix; i < prefix + added; ++i)
        hasKeyLine = hasKeyLine || now[i].startsWith(keyLine);
    // Writing the value a key already holds may leave the file as it was.
    if (before != after && (!shapeOk || !hasKeyLine)) {
        fprintf(stderr, "write changed more than its line: removed %lld, added %lld\n", (long long)removed,
                (long long)added);
        abort();
    }

    const QString back = SettingsFile::read(path, section, key, QStringLiteral("default"));
    if (back != value) {
        fprintf(stderr, "read after write gave %s, not %s\n", qPrintable(back), qPrintable(value));
        abort();
    }
    return 0;
}
