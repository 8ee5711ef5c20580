#include "databasechoice.h"

#include "apppath.h"
#include "codetablestore.h"
#include "module1.h"
#include "wholefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kFileName = QStringLiteral("dahdit_db.mdb");

bool readAll(const QString& path, QByteArray* bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *bytes = file.readAll();
    return file.error() == QFile::NoError;
}

// Dahdit's database is built in one transaction, so a copy of it whose change counter is still at
// 1, and not switched to WAL mode (which leaves the counter be), was never changed.
bool unchangedSinceMade(const QString& path) {
    const QByteArray header = SqliteHeader(path);
    return header.size() == 28 && header.startsWith("SQLite format 3") && header[18] == 1 && header[19] == 1 &&
           header.mid(24) == QByteArray("\0\0\0\1", 4);
}

// Replaces an unchanged copy with the database that came with Dahdit, where the two differ. A
// failure leaves the copy as it is, to be tried again at the next start.
void refreshCopy(const QString& copy, const QString& installed) {
    QByteArray fresh;
    QByteArray old;
    if (!unchangedSinceMade(copy) || !readAll(installed, &fresh) || !readAll(copy, &old) || fresh == old)
        return;
    // Under the copy's write lock no other Dahdit can change it between the check and the
    // replacement; a change tried on the old file afterwards is refused as one on a moved file.
    CodeTableStore lock;
    if (!lock.open(copy) || !lock.beginWrite())
        return;
    if (unchangedSinceMade(copy))
        WholeFile::replace(copy, fresh, nullptr);
    lock.rollbackWrite();
}

// Makes the user's copy of the database that came with Dahdit. A copy that another Dahdit made
// meanwhile counts as made.
bool makeCopy(const QString& copy, const QString& installed, QString* cause) {
    QByteArray bytes;
    if (!readAll(installed, &bytes)) {
        *cause = QStringLiteral("the database that came with Dahdit, %1, cannot be read. Install Dahdit again.")
                     .arg(QDir::toNativeSeparators(installed));
        return false;
    }
    if (!MakeFolder(QFileInfo(copy).absolutePath(), cause))
        return false;
    return WholeFile::create(copy, bytes, cause) || QFileInfo::exists(copy);
}

} // namespace

bool DatabaseChoice::copyMadeSince() const {
    return readOnly && QFileInfo::exists(copy);
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
    if (QFileInfo::exists(copy)) {
        if (refresh == CopyRefresh::IfUnchanged)
            refreshCopy(copy, installed);
    } else if (!makeCopy(copy, installed, &cause)) {
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
