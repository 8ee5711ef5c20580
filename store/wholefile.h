#pragma once

#include <QByteArray>
#include <QString>

class QFileInfo;
struct stat;

// Writing a file whole or not at all, for every file Dahdit writes (the settings file, transcripts
// and the user's copy of the database). The bytes go to a temporary file beside the target, are
// pushed out to the disk and checked, and only then take the target's place; on any failure the
// temporary file is dropped and the target stays byte for byte as it was.
//
// It stands in for QSaveFile, and keeps every promise of QSaveFile's (each shown by the test named):
// - all or nothing: a failed write leaves the target as it was, and its temporary file is removed
//   (tst_transcript::savesWhereTyped "no room for it", tst_settings::refusedWrites, where a
//   sync, close or rename fails for real);
// - an existing file that this user may not write is refused, and stays as it was
//   (tst_settings::refusedWrites "read-only file");
// - the replaced file keeps its permissions, and a symbolic link is followed: the file it names is
//   replaced or made, the link stays (tst_transcript::writesTheTranscriptWhole).
// And these over QSaveFile's:
// - every byte is checked before the target is replaced: a full disk, a failed sync or close is a
//   failure, never a success (tst_transcript::savesWhereTyped "no room for it",
//   tst_settings::refusedWrites "the file's sync: ENOSPC", "close: EIO");
// - a file whose write bits the user cleared is refused also where the system would let this user
//   write it, as it lets root (tst_settings::refusedWrites "read-only file", tst_store::copyRefresh
//   "read-only copy");
// - the replaced file keeps its owner and group where the system allows: root saving a user's file
//   leaves it the user's (tst_settings::readsAndWrites);
// - only a regular file is replaced: a folder, a named pipe or a device is refused
//   (tst_settings::refusedWrites);
// - nothing is ever removed but the temporary file of the write under way: files named like one,
//   however old, are the user's (tst_settings::readsAndWrites). Where the system allows (Linux's
//   O_TMPFILE), that file has no name until it is complete, so a write cut off by the program's
//   end leaves nothing behind;
// - the folder is synced after the rename, so that the new name outlives a crash; where that sync
//   fails, the old file (or none) is put back and the failure told (tst_settings::refusedWrites
//   "the folder's sync: EIO");
// - create() makes a file only where none is, also where another program made one meanwhile.
//
// Causes are short phrases in words a user can act on, ending in a full stop ("the disk is
// full."), for the caller to put after the name of the file.
namespace WholeFile {

// Replaces the file at path with bytes, or makes it. False, with the cause, when the file was left
// as it was (above).
bool replace(const QString& path, const QByteArray& bytes, QString* cause);

// Says why in cause, where the caller asked for the cause; always false.
bool fail(QString* cause, const QString& why);

// The cause in words for a system error number.
QString describe(int errorNumber);

// Whether path, itself and not a link's target, names the very file whose status is given.
bool isFile(const QByteArray& path, const struct stat& file);

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
