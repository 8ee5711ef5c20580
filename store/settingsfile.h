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
// are refused, so that it can neither stall nor exhaust the program and is never overwritten.
namespace SettingsFile {

// The longest value a read returns; longer values are cut to their first 254 characters (one
// fewer where the cut would split a character), and a write refuses them.
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

// Stores each value under its key in section, creating the file and the section as needed. The
// file is replaced whole or not at all, with all the values or none. Returns false, with a
// message naming the file and the cause, when nothing was written.
bool write(const QString& path, const QString& section, const Values& values, QString* error = nullptr);
bool write(const QString& path, const QString& section, const QString& key, const QString& value,
           QString* error = nullptr);

} // namespace SettingsFile
