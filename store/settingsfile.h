#pragma once

#include <QString>

// Dahdit's own reader and writer of INI files. It reads the file afresh on every call and
// rewrites only the one line a write changes: comments, blank lines, other sections, unknown
// keys and the file's line ends (CR LF or LF) stay byte for byte as they were.
//
// Reading is lenient with hand-edited files: section and key names match without regard to
// case, blanks around names and around "=" are ignored, lines starting with ";" or "#" are
// comments, a value wrapped in a matching pair of double quotes loses the quotes, and where a
// section or key appears twice the first one counts.
namespace SettingsFile {

// The longest value a read returns; longer values are cut to their first 254 characters.
constexpr int MaxValueLength = 254;

// The value of key in section, or fallback when the file, the section or the key is missing.
QString read(const QString& path, const QString& section, const QString& key, const QString& fallback);

// Stores value under key in section, creating the file and the section as needed. The file is
// replaced whole or not at all. Returns false, with a message naming the file and the cause,
// when nothing was written.
bool write(const QString& path, const QString& section, const QString& key, const QString& value,
           QString* error = nullptr);

} // namespace SettingsFile
