#include "databasechoice.h"

#include "apppath.h"
#include "module1.h"
#include "usercopy.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString installed() {
    return AppFolders().shipped + QLatin1Char('/') + DatabaseFileName;
}

} // namespace

void DatabaseChoice::useCopy(Refresh refresh) {
    if (copy.isEmpty())
        return;
    readOnly = !UserCopy::Prepare(copy, installed(), refresh == Refresh::IfUnchanged, &inUse, &whyNoCopy);
    path = readOnly ? installed() : copy;
}

bool DatabaseChoice::followCopy() {
    if (!readOnly || !QFileInfo::exists(copy))
        return false;
    useCopy(Refresh::No);
    return !readOnly;
}

QString DefaultDatabasePath() {
    return AppFolders().data + QLatin1Char('/') + DatabaseFileName;
}

DatabaseChoice ChooseDatabase() {
    DatabaseChoice choice;
    choice.path = Settings::Read(Settings::DatabasePath);
    choice.table = Settings::Read(Settings::TableName);
    // The Language Options window stores the default path itself when it is chosen: that is the
    // user's copy all the same.
    if (AppFolders().portable || QDir::cleanPath(choice.path) != DefaultDatabasePath())
        return choice;
    choice.copy = DefaultDatabasePath();
    choice.readOnly = !QFileInfo::exists(choice.copy);
    if (choice.readOnly)
        choice.path = installed();
    return choice;
}
