#pragma once

#include <QString>

// Where Dahdit's files are: the one rule every window and the settings go by.
//
// The program folder is the executable's folder. Dahdit is portable when that folder can be
// written and holds the marker file "portable" (the build puts it in its program folder, and the
// tar.gz has one) or a settings.ini (a user who copied the program and its settings somewhere
// chose to keep them there): settings.ini, the database in use and the default folder for
// transcripts are then the program folder itself.
//
// Any other copy keeps the user's files per user: an installed one (cmake --install into a
// prefix, or the Debian package, neither of which has the marker) for every user, root
// included, so that nothing is ever written into its install folder; and a portable folder that
// cannot be written. Settings then go to $XDG_CONFIG_HOME/dahdit, the database is the user's own
// copy in $XDG_DATA_HOME/dahdit (databasechoice.h), and transcripts start in the documents folder.
// A relative XDG_CONFIG_HOME or XDG_DATA_HOME is ignored, as the XDG rules say: ~/.config and
// ~/.local/share stand in for them.
//
// A folder left alone (WholeFile::writeBitsCleared) counts as "cannot be written" here too.

QString AppPath();
// Tests point the program folder at a temporary folder so that they never touch the real one.
void SetAppPathForTesting(const QString& folder);

bool IsPortable();

// The folders the user's files go to, by the rule above.
QString SettingsFolder();
QString DataFolder();
QString SaveFolder();

// The settings.ini of a program folder that cannot be written, which is read beneath the user's
// own settings file; empty when there is none.
QString SettingsBeneath();

// A file that comes with Dahdit ("dahdit_db.mdb", "readme.txt"): in the program folder, or for an
// install in its data folder, found from the program folder.
QString InstalledFile(const QString& fileName);

// Whether the settings folder is there and writable, or can be made. When not, error says why the
// settings cannot be kept, naming the folder, for the user to read once.
bool SettingsFolderWritable(QString* error);

// Makes folder and any folder above it that is missing, for this user alone. False, with the
// cause in words naming the folder, when it is not there afterwards; a folder whose write bits
// are all cleared is left alone.
bool MakeFolder(const QString& folder, QString* cause);
