#include "settingsfile.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace SettingsFile {
namespace {

struct Line {
    QByteArray text; // without its line end
    QByteArray end;  // "\r\n", "\n" or empty for a last line without a line end
};

QList<Line> splitLines(const QByteArray& bytes) {
    QList<Line> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype nl = bytes.indexOf('\n', start);
        if (nl < 0) {
            lines.append({bytes.mid(start), QByteArray()});
            break;
        }
        qsizetype textEnd = nl;
        QByteArray end("\n");
        if (textEnd > start && bytes.at(textEnd - 1) == '\r') {
            --textEnd;
            end = "\r\n";
        }
        lines.append({bytes.mid(start, textEnd - start), end});
        start = nl + 1;
    }
    return lines;
}

bool isComment(const QString& trimmed) { return trimmed.startsWith(u';') || trimmed.startsWith(u'#'); }

// The section name when the line is a section header, else a null string.
QString sectionOf(const QString& trimmed) {
    if (!trimmed.startsWith(u'['))
        return QString();
    const qsizetype close = trimmed.indexOf(u']');
    if (close < 0)
        return QString();
    QString name = trimmed.mid(1, close - 1).trimmed();
    return name.isNull() ? QStringLiteral("") : name;
}

// Splits "key = value" into its trimmed halves; false when the line holds no key.
bool keyValueOf(const QString& trimmed, QString* key, QString* value) {
    if (trimmed.isEmpty() || isComment(trimmed) || trimmed.startsWith(u'['))
        return false;
    const qsizetype eq = trimmed.indexOf(u'=');
    if (eq <= 0)
        return false;
    *key = trimmed.left(eq).trimmed();
    if (value)
        *value = trimmed.mid(eq + 1).trimmed();
    return !key->isEmpty();
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

struct Location {
    qsizetype section = -1; // index of the section header line
    qsizetype key = -1;     // index of the key line
    qsizetype lastKey = -1; // index of the section's last key line (or its header)
};

Location locate(const QList<Line>& lines, const QString& section, const QString& key, QString* value) {
    Location where;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString trimmed = QString::fromUtf8(lines[i].text).trimmed();
        const QString header = sectionOf(trimmed);
        if (!header.isNull()) {
            if (where.section >= 0)
                break; // only the first matching section counts
            inSection = sameName(header, section);
            if (inSection)
                where.section = where.lastKey = i;
            continue;
        }
        if (!inSection)
            continue;
        QString name;
        QString found;
        if (keyValueOf(trimmed, &name, &found)) {
            where.lastKey = i;
            if (where.key < 0 && sameName(name, key)) {
                where.key = i;
                if (value)
                    *value = found;
            }
        }
    }
    return where;
}

QString unquoted(const QString& value) {
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
        return value.mid(1, value.size() - 2);
    return value;
}

QString truncated(QString value) {
    if (value.size() <= MaxValueLength)
        return value;
    value.truncate(MaxValueLength);
    if (value.back().isHighSurrogate())
        value.chop(1); // never leave half a character behind
    return value;
}

} // namespace

QString read(const QString& path, const QString& section, const QString& key, const QString& fallback) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fallback;
    const QList<Line> lines = splitLines(file.readAll());
    QString value;
    const Location where = locate(lines, section, key, &value);
    if (where.key < 0)
        return fallback;
    return truncated(unquoted(value));
}

bool write(const QString& path, const QString& section, const QString& key, const QString& value,
           QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("Cannot save the settings file %1: %2").arg(QDir::toNativeSeparators(path), why);
        return false;
    };
    if (value.contains(u'\n') || value.contains(u'\r'))
        return fail(QStringLiteral("a setting cannot hold a line break."));

    QByteArray old;
    const QFileInfo info(path);
    if (info.exists()) {
        // Write bits all cleared mean the user wants the file left alone, also where the
        // system would let this user replace it.
        const auto writeBits = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
        if (!info.isWritable() || !(info.permissions() & writeBits))
            return fail(QStringLiteral("the file is read-only. Make it writable and try again."));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return fail(file.errorString() + QLatin1Char('.'));
        old = file.readAll();
    }

    QList<Line> lines = splitLines(old);
    const QByteArray eol = (old.contains('\n') && !old.contains("\r\n")) ? QByteArray("\n") : QByteArray("\r\n");
    const QByteArray keyLine = key.toUtf8() + '=' + value.toUtf8();
    const Location where = locate(lines, section, key, nullptr);

    if (where.key >= 0) {
        lines[where.key].text = keyLine;
    } else if (where.section >= 0) {
        Line& after = lines[where.lastKey];
        if (after.end.isEmpty())
            after.end = eol;
        lines.insert(where.lastKey + 1, {keyLine, eol});
    } else {
        if (!lines.isEmpty() && lines.back().end.isEmpty())
            lines.back().end = eol;
        lines.append({'[' + section.toUtf8() + ']', eol});
        lines.append({keyLine, eol});
    }

    QByteArray bytes;
    bytes.reserve(old.size() + keyLine.size() + 16);
    for (const Line& line : std::as_const(lines))
        bytes += line.text + line.end;

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return fail(out.errorString() + QStringLiteral(". Check that the folder exists and is writable."));
    if (out.write(bytes) != bytes.size())
        return fail(out.errorString() + QLatin1Char('.'));
    if (!out.commit())
        return fail(out.errorString() + QStringLiteral(". The disk may be full."));
    return true;
}

} // namespace SettingsFile
