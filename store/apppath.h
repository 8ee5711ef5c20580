#pragma once

#include <QString>

// Where Dahdit's files are: the one rule every window and the settings go by.
//
// The program folder is the executable's folder. Dahdit is portable when that folder holds the
// marker file "portable" (the build puts it in its program folder, and the tar.gz has one) and
// can be written: settings.ini, the database in use and the default folder for transcripts are
// then the program folder itself.
//
// Any other copy keeps the user's files per user: an installed one (cmake --install into a
// prefix, or the Debian package, neither of which has the marker) for every user, root
// included, so that nothing is ever written into its install folder; and a portable folder that
// cannot be written. Settings then go to $XDG_CONFIG_HOME/dahdit, the database is the user's own
// copy in $XDG_DATA_HOME/dahdit, made from the one that came with Dahdit the first time it is
// opened, and transcripts start in the documents folder.
//
// Write bits all cleared count as "cannot be written" here too, also where root could write.

QString AppPath();
// Tests point the program folder at a temporary folder so that they never touch the real one.
void SetAppPathForTesting(const QString& folder);

bool IsPortable();

// The folders the user's files go to, by the rule above.
QString SettingsFolder();
QString DataFolder();
QString SaveFolder();

// A file that comes with Dahdit ("dahdit_db.mdb", "readme.txt"): in the program folder, or for an
// install in its data or documentation folder, found from the program folder.
QString InstalledFile(const QString& fileName);

// Whether the settings folder is there and writable, or can be made. When not, error says why the
// settings cannot be kept, naming the folder, for the user to read once.
bool SettingsFolderWritable(QString* error);
// Makes the settings folder before a write, unless it cannot be written: then false, with the
// reason in error, as SettingsFolderWritable() gives it.
bool MakeSettingsFolder(QString* error);

// Copies source to target whole or not at all, and never over a file that is already there
// (also one that another process made meanwhile, which then counts as the copy). False, with the
// cause in words, when target holds no copy.
bool CopyToNewFile(const QString& source, const QString& target, QString* cause);
