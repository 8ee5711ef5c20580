#pragma once

#include "usercopy.h"

#include <QString>
#include <memory>

// Which code table database file and which code table a window works on: decided here, and
// nowhere else, from the settings db_path and table_name (settingskeys.h).
//
// "default" in db_path means Dahdit's own database. A portable Dahdit keeps it in its program
// folder. Otherwise each user has a copy of the database that came with Dahdit (apppath.h), made
// the first time a window needs it, which the code table editor changes. While the copy is exactly
// as Dahdit made it, the database of a newer Dahdit replaces it at a start, so corrected and new
// tables reach the user; any other copy is kept (usercopy.h).
// Where no copy exists and none can be made (a home folder that cannot be written, a full disk),
// windows read the database that came with Dahdit, read-only, and the editor says why changes
// cannot be kept.
struct DatabaseChoice {
    QString path;                           // the file a window opens
    QString table;                          // the code table it works on
    bool readOnly = false;                  // path stands in for the user's own copy, which could not be made
    QString copy;                           // then: the copy path stands in for
    QString whyReadOnly;                    // and why it could not be made, naming the folder and the cause
    std::shared_ptr<UserCopy::InUse> inUse; // held while the user's copy may be open

    // Where the copy has been made since (by the editor, or another Dahdit), turns the choice to
    // it, so that a window that read the stand-in reads the copy from now on; true when it did.
    bool followCopy();
};

// The choice for a window that loads now, making the user's own copy when it is missing. The
// main window's start-up also replaces a copy that is exactly as Dahdit made it with a newer
// database that came with Dahdit.
enum class CopyRefresh { No, IfUnchanged };
DatabaseChoice ChooseDatabase(CopyRefresh refresh = CopyRefresh::No);

// The settings as the Language Options window shows them: the stored db_path, or for "default"
// DefaultDatabasePath(); the stored table_name, or for "default" International.
QString DatabasePath();
QString CurrentTableName();
QString DefaultDatabasePath();
