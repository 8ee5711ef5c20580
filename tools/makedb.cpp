// Builds Dahdit's bundled code table database from tab-separated code tables.
// Usage: dahdit_makedb OUTPUT TABLE.tsv...
// Each file becomes one table named as the file, its rows in file order. The database is built in
// memory and written to OUTPUT whole or not at all; an OUTPUT that this tool did not build is left
// alone. Anything that fails stops the build with a message saying what, and a non-zero exit status.
#include "sqlitehandle.h"
#include "usercopy.h"
#include "wholefile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QtEndian>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>

namespace {

// Stamped into every database this tool builds (SQLite's application_id, "Dhdt"): the mark that
// lets it replace its own earlier output, and only that.
constexpr qint32 kApplicationId = 0x44686474;

bool fail(const QString& what, const char* why) {
    std::fprintf(stderr, "dahdit_makedb: %s: %s\n", qPrintable(what), why);
    return false;
}

bool exec(sqlite3* db, const QString& what, const QByteArray& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    fail(what, message ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
    return false;
}

bool addTable(sqlite3* db, const QString& tsvPath) {
    QFile file(tsvPath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(tsvPath, qPrintable(file.errorString()));
    const QString name = QFileInfo(tsvPath).completeBaseName();
    const QByteArray quoted = QuotedIdentifier(name);
    const QString what = tsvPath + QStringLiteral(": cannot make its table");
    if (!exec(db, what, "CREATE TABLE " + quoted + " (ID INTEGER PRIMARY KEY AUTOINCREMENT, MS TEXT, TS TEXT)") ||
        !exec(db, what, "CREATE INDEX " + QuotedIdentifier(name + "_MS") + " ON " + quoted + " (MS)") ||
        !exec(db, what, "CREATE INDEX " + QuotedIdentifier(name + "_TS") + " ON " + quoted + " (TS)"))
        return false;
    SqliteStatement insert;
    if (PrepareSqlite(db, "INSERT INTO " + quoted + " (MS, TS) VALUES (?1, ?2)", &insert) != SQLITE_OK)
        return fail(what, sqlite3_errmsg(db));
    int lineNo = 0;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        ++lineNo;
        const QString where = tsvPath + QLatin1Char(':') + QString::number(lineNo);
        if (file.error() != QFile::NoError)
            return fail(where, qPrintable(file.errorString()));
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const qsizetype tab = line.indexOf('\t');
        if (tab <= 0)
            return fail(where, "expected CODE<TAB>TEXT");
        // The text is taken as it stands: the word-space row's text is a single blank.
        const QByteArray ms = line.left(tab);
        const QByteArray ts = line.mid(tab + 1);
        if (sqlite3_bind_text(insert.get(), 1, ms.constData(), int(ms.size()), SQLITE_TRANSIENT) != SQLITE_OK ||
            sqlite3_bind_text(insert.get(), 2, ts.constData(), int(ts.size()), SQLITE_TRANSIENT) != SQLITE_OK ||
            sqlite3_step(insert.get()) != SQLITE_DONE)
            return fail(where, sqlite3_errmsg(db));
        sqlite3_reset(insert.get());
    }
    return true;
}

// Builds the whole database in memory, in one transaction, and gives its bytes; false, with the
// reason printed, when any part failed. The database carries the version of the Dahdit that built
// it, so that a user's copy is refreshed only by a newer one (usercopy.h).
bool build(const QStringList& tables, QByteArray* bytes) {
    SqliteConnection db;
    const QString what = QStringLiteral("the database in memory");
    if (OpenSqlite(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &db) != SQLITE_OK)
        return fail(what, db ? sqlite3_errmsg(db.get()) : "out of memory");
    const QByteArray stamp = QByteArray::number(UserCopy::VersionStamp(QStringLiteral(DAHDIT_VERSION)));
    if (!exec(db.get(), what, "BEGIN") || !exec(db.get(), what, "PRAGMA user_version = " + stamp) ||
        !exec(db.get(), what, "PRAGMA application_id = " + QByteArray::number(kApplicationId)) ||
        !std::all_of(tables.cbegin(), tables.cend(),
                     [&db](const QString& table) { return addTable(db.get(), table); }) ||
        !exec(db.get(), what, "COMMIT"))
        return false;
    sqlite3_int64 size = 0;
    unsigned char* image = sqlite3_serialize(db.get(), "main", &size, 0);
    if (!image)
        return fail(what, "out of memory");
    *bytes = QByteArray(reinterpret_cast<const char*>(image), qsizetype(size));
    sqlite3_free(image);
    return true;
}

// Whether the file at path is a database this tool built: its header carries the mark.
bool builtHere(const QString& path) {
    QFile file(path);
    const QByteArray header = file.open(QIODevice::ReadOnly) ? file.read(100) : QByteArray();
    return header.size() == 100 && header.startsWith(QByteArray("SQLite format 3", 16)) &&
           qFromBigEndian<qint32>(header.constData() + 68) == kApplicationId;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: dahdit_makedb OUTPUT TABLE.tsv...\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QStringList tables;
    for (int i = 2; i < argc; ++i)
        tables << QString::fromLocal8Bit(argv[i]);
    QByteArray bytes;
    if (!build(tables, &bytes))
        return 1;
    // Anything else at the path may be somebody's own file.
    if (QFileInfo::exists(output) && !builtHere(output)) {
        fail(output, "it is not a database this tool built; move it away or name another output");
        return 1;
    }
    QString cause;
    if (!WholeFile::replace(output, bytes, &cause)) {
        fail(output, qPrintable(cause));
        return 1;
    }
    return 0;
}
