#pragma once

#include <QByteArray>
#include <QString>

class QFileInfo;

// Writing a file whole or not at all, for every file Dahdit writes (the settings file, transcripts
// and the user's copy of the database). The bytes go to a temporary file beside the target, are
// pushed out to the disk and checked, and only then take the target's place; on any failure the
// temporary file is dropped and the target stays byte for byte as it was.
//
// Causes are short phrases in words a user can act on, ending in a full stop ("the disk is
// full."), for the caller to put after the name of the file.
namespace WholeFile {

// Replaces the file at path with bytes. False, with the cause, when the file was left as it was.
// Only a regular file is replaced: a folder, a named pipe or a device in its place is refused, for
// writing a file there would take the place of something that is no file (a system's device).
// The new file keeps the old one's permissions and, where the system allows, its owner and group;
// a link is followed, and the file it names is replaced. A temporary file that an earlier write
// left behind when it was cut off (the program killed before the rename) is removed.
bool replace(const QString& path, const QByteArray& bytes, QString* cause);

// The cause in words for a system error number.
QString describe(int errorNumber);

// Makes a new file at path holding bytes, readable by its owner alone, whole or not at all, and
// never over a file that is there already, also one that another program made meanwhile: that
// one stays as it is, and the cause says the file exists. False, with the cause, when path holds
// none of bytes.
bool create(const QString& path, const QByteArray& bytes, QString* cause);

// Why what stands at path, links followed, is no regular file, in the words every message uses:
// "it is a folder, not a file.", likewise "a named pipe (FIFO)", "a device", "a socket" or "a
// special file". Empty for a regular file and where nothing is. The second form takes the status
// mode of a file already open.
QString notAFile(const QString& path);
QString notAFile(unsigned mode);

// Whether the write bits of a file or folder are all cleared: the user asked for it to be left
// alone, and Dahdit writes nothing to it, also where the system would let it (as it lets root).
bool writeBitsCleared(const QFileInfo& file);

} // namespace WholeFile
