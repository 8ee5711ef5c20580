#pragma once

#include <QString>

// Which code table database file and which code table a window works on: decided here, and
// nowhere else, from the settings db_path and table_name (settingskeys.h).
//
// "default" in db_path means Dahdit's own database. A portable Dahdit keeps it in its program
// folder. Otherwise each user has a copy of the database that came with Dahdit (apppath.h), made
// the first time a window needs it, which the code table editor changes. While the user has
// changed nothing in that copy, the database of a newer Dahdit replaces it at the next start, so
// corrected and new tables reach the user; a copy with changes is kept through every upgrade.
// Where no copy exists and none can be made (a home folder that cannot be written, a full disk),
// windows read the database that came with Dahdit, read-only, and the editor says why changes
// cannot be kept.
struct DatabaseChoice {
    QString path;          // the file a window opens
    QString table;         // the code table it works on
    bool readOnly = false; // path stands in for the user's own copy, which could not be made
    QString copy;          // then: the copy path stands in for
    QString whyReadOnly;   // and why it could not be made, naming the folder and the cause

    // Whether the copy has been made since (by the editor, or another Dahdit), so that a window
    // that reads the stand-in reads the copy from now on.
    bool copyMadeSince() const;
};

// The choice for a window that loads now, making the user's own copy when it is missing. The
// main window's start-up also replaces a copy that is unchanged since it was made, when the
// database that came with Dahdit differs from it.
enum class CopyRefresh { No, IfUnchanged };
DatabaseChoice ChooseDatabase(CopyRefresh refresh = CopyRefresh::No);

// The settings as the Language Options window shows them: the stored db_path, or for "default"
// DefaultDatabasePath(); the stored table_name, or for "default" International.
QString DatabasePath();
QString CurrentTableName();
QString DefaultDatabasePath();
