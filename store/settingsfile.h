#pragma once

#include <QList>
#include <QPair>
#include <QString>

// Dahdit's own reader and writer of INI files. It reads the file afresh on every call and
// rewrites only the lines a write changes: comments, blank lines, other sections, unknown keys
// and the file's line ends stay byte for byte as they were.
//
// Reading is lenient with hand-edited files: CR LF, LF and a lone CR all end a line; section and
// key names match without regard to case, blanks around names and around "=" are ignored, lines
// starting with ";" or "#" are comments, a value wrapped in a matching pair of double quotes
// loses the quotes, and where a section or key appears twice the first one counts. A value the
// reader would change that way (blanks around it, quotes around it) is written in quotes, so
// that it reads back as it was written.
//
// Only a regular file of at most MaxFileSize bytes is a settings file. Anything else in its place
// (a folder, a named pipe, a device, a huge file) is unusable: reads give the fallback and writes
// are refused, so that it can neither stall nor exhaust the program and is never overwritten. A
// write that would make the file larger than that is refused too, the file left as it was.
//
// A UTF-8 byte-order mark at the start of the file (some editors write one) is read past and kept.
//
// Two programs may write the file at the same moment (two Dahdits). Each write holds a lock file
// beside it (the file's name and ".lock") while it reads the file afresh and replaces it with only
// its own keys changed, so that neither loses what the other wrote.
namespace SettingsFile {

// The longest value a read returns, in characters (a character outside the Basic Multilingual
// Plane counts once, as the user sees it); longer values are cut to their first 254 characters,
// and a write refuses them.
constexpr int MaxValueLength = 254;
constexpr qint64 MaxFileSize = 1024 * 1024;

// The value of key in section, or fallback when the file, the section or the key is missing, or
// the file is unusable.
QString read(const QString& path, const QString& section, const QString& key, const QString& fallback);

// Whether the file at path can be used (or does not exist yet); when not, cause says why and what
// to do.
bool usable(const QString& path, QString* cause);

// Keys and their values, in the order they are written.
using Values = QList<QPair<QString, QString>>;

// Why the settings file cannot hold one of the values, whatever the file: the rule lives here, and
// each window words it for what the value means to the user.
struct Refusal {
    enum class Kind {
        None,
        LineBreak, // a line break would end the value and start a line of its own
        TooLong,   // longer than MaxValueLength characters, which a read would cut
    };
    Kind kind = Kind::None;
    QString key;              // the first value refused
    qsizetype characters = 0; // its length, as the limit counts it
};
Refusal refusalOf(const Values& values);

// Stores each value under its key in section, creating the file and the section as needed. The
// file is replaced whole or not at all, with all the values or none. Returns false, with the
// cause, when nothing was written.
bool write(const QString& path, const QString& section, const Values& values, QString* cause = nullptr);

} // namespace SettingsFile
