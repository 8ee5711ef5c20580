// Builds Dahdit's bundled code table database from tab-separated code tables.
// Usage: dahdit_makedb OUTPUT TABLE.tsv...
// Each file becomes one table named as the file, its rows in file order. The database is built
// beside OUTPUT under a temporary name and moved into place only when it is complete. Anything
// that fails stops the build with a message saying what, and a non-zero exit status.
#include "sqlitehandle.h"
#include "usercopy.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>

namespace {

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

// Builds the whole database at path, in one transaction; false, with the reason printed, when any
// part failed. The database carries the version of the Dahdit that built it, so that a user's copy
// is refreshed only by a newer one (usercopy.h).
bool build(const QString& path, const QStringList& tables) {
    SqliteConnection db;
    if (OpenSqlite(path.toUtf8(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &db) != SQLITE_OK)
        return fail(path, db ? sqlite3_errmsg(db.get()) : "out of memory");
    const QByteArray stamp = QByteArray::number(UserCopy::VersionStamp(QStringLiteral(DAHDIT_VERSION)));
    if (!exec(db.get(), path, "BEGIN") || !exec(db.get(), path, "PRAGMA user_version = " + stamp))
        return false;
    return std::all_of(tables.cbegin(), tables.cend(),
                       [&db](const QString& table) { return addTable(db.get(), table); }) &&
           exec(db.get(), path, "COMMIT");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: dahdit_makedb OUTPUT TABLE.tsv...\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    const QString partial = output + QStringLiteral(".partial");
    QStringList tables;
    for (int i = 2; i < argc; ++i)
        tables << QString::fromLocal8Bit(argv[i]);
    QFile::remove(partial);
    if (build(partial, tables)) {
        QFile::remove(output);
        if (QFile::rename(partial, output))
            return 0;
        fail(output, "cannot move the finished database into place");
    }
    QFile::remove(partial);
    return 1;
}
