#include "databasechoice.h"

#include "apppath.h"
#include "module1.h"
#include "usercopy.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kFileName = QStringLiteral("dahdit_db.mdb");

} // namespace

bool DatabaseChoice::followCopy() {
    if (!readOnly || !QFileInfo::exists(copy))
        return false;
    QString cause;
    UserCopy::Prepare(copy, InstalledFile(kFileName), false, &inUse, &cause);
    path = copy;
    readOnly = false;
    return true;
}

QString DefaultDatabasePath() {
    return DataFolder() + QLatin1Char('/') + kFileName;
}

QString DatabasePath() {
    const QString value = Module1::ReadSetting(Settings::Section, Settings::DatabasePath);
    return value == Settings::Default ? DefaultDatabasePath() : value;
}

QString CurrentTableName() {
    const QString value = Module1::ReadSetting(Settings::Section, Settings::TableName);
    return value == Settings::Default ? QStringLiteral("International") : value;
}

DatabaseChoice ChooseDatabase(CopyRefresh refresh) {
    DatabaseChoice choice;
    choice.path = DatabasePath();
    choice.table = CurrentTableName();
    // The Language Options window stores the default path itself when it is chosen: that is the
    // user's copy all the same.
    const QString copy = DefaultDatabasePath();
    if (IsPortable() || QDir::cleanPath(choice.path) != copy)
        return choice;
    const QString installed = InstalledFile(kFileName);
    QString cause;
    if (!UserCopy::Prepare(copy, installed, refresh == CopyRefresh::IfUnchanged, &choice.inUse, &cause)) {
        choice.path = installed;
        choice.readOnly = true;
        choice.copy = copy;
        choice.whyReadOnly =
            QStringLiteral(
                "Changes to the code tables cannot be kept: Dahdit cannot make your own copy of them, %1: %2")
                .arg(QDir::toNativeSeparators(copy), cause);
    }
    return choice;
}
