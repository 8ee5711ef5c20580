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
// A folder left alone (WholeFile::writeBitsCleared) counts as "cannot be written" here too. The
// settings.ini of a portable folder that cannot be written is read beneath the user's own.

// The files Dahdit keeps and the code tables that come with it.
constexpr QLatin1String SettingsFileName("settings.ini");
constexpr QLatin1String DatabaseFileName("dahdit_db.mdb");

// The folders, decided once, at the first use (the main window's start), into one value that
// everything reads: the answer never changes within a session.
struct Folders {
    QString program;       // the executable's folder
    bool portable = false; // the user's files are in the program folder
    QString settings;      // holds settings.ini
    QString data;          // holds the code table database in use by default, per user unless portable
    QString save;          // the Save window's first folder
    QString beneath;       // the settings.ini read beneath the user's own (see above); empty when none
    QString shipped;       // holds the files that come with Dahdit (dahdit_db.mdb, readme.txt)
};
const Folders& AppFolders();
// Tests point the program folder at a temporary folder so that they never touch the real one: the
// folders are decided again, as at a start from there (empty: the real program folder).
void SetAppPathForTesting(const QString& folder);

// Whether files can be made in folder, which need not exist yet (it is made at the first write,
// if the nearest folder that exists can be written); when not, cause says why, naming the folder.
bool CanMakeFilesIn(const QString& folder, QString* cause);

// Makes folder and any folder above it that is missing, for this user alone. False, with the
// cause in words naming the folder, when it is not there afterwards; a folder whose write bits
// are all cleared is left alone.
bool MakeFolder(const QString& folder, QString* cause);
