#include "sqlitehandle.h"

#include <sqlite3.h>

void SqliteClose::operator()(sqlite3* db) const {
    sqlite3_close_v2(db); // a statement still alive keeps the connection until it is finalised
}

void SqliteFinalize::operator()(sqlite3_stmt* statement) const {
    sqlite3_finalize(statement);
}

int OpenSqlite(const QByteArray& name, int flags, SqliteConnection* db) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(name.constData(), &raw, flags, nullptr);
    db->reset(raw);
    return rc;
}

int PrepareSqlite(sqlite3* db, const QByteArray& sql, SqliteStatement* statement) {
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &raw, nullptr);
    statement->reset(raw);
    return rc;
}

QByteArray QuotedIdentifier(const QString& name) {
    return '"' + name.toUtf8().replace('"', "\"\"") + '"';
}
