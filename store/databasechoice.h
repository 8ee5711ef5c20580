#pragma once

#include "usercopy.h"

#include <QString>
#include <memory>

// Which code table database file and which code table a window works on: decided here, and
// nowhere else, from the settings db_path and table_name (settingskeys.h).
//
// "default" in db_path means Dahdit's own database. A portable Dahdit keeps it in its program
// folder. Otherwise each user has a copy of the database that came with Dahdit (apppath.h), which
// the code table editor changes. Choosing writes nothing: the copy is made, where it is missing,
// by a step of its own (useCopy), which the main window takes at its start, and the editor where
// no copy could be made then. At a program's start the step also replaces a copy that is exactly
// as Dahdit made it with the database of a newer Dahdit, so corrected and new tables reach the
// user; any other copy is kept (usercopy.h). Where no copy exists and none can be made (a home
// folder that cannot be written, a full disk), windows read the database that came with Dahdit,
// read-only, and the editor says why changes cannot be kept.
struct DatabaseChoice {
    QString path;          // the file a window opens
    QString table;         // the code table it works on
    QString copy;          // the user's own copy, where the choice is Dahdit's own database; else empty
    bool readOnly = false; // path is the database that came with Dahdit, standing in for the copy
    QString whyNoCopy;     // then, once the step has failed, the cause in words
    std::shared_ptr<UserCopy::InUse> inUse; // held while the user's copy may be open

    // The step: makes the copy where it is missing, or refreshes it as above, and holds it in use;
    // the choice then reads it. Where there is none afterwards, the choice reads the stand-in.
    enum class Refresh { No, IfUnchanged };
    void useCopy(Refresh refresh);
    // Where the copy has been made since (by the editor, or another Dahdit), turns the choice to
    // it, so that a window that read the stand-in reads the copy from now on; true when it did.
    bool followCopy();
};

// The choice for a window that loads now.
DatabaseChoice ChooseDatabase();

// The user's own database, where "default" in db_path points.
QString DefaultDatabasePath();
