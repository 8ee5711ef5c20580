#include "sqlitehandle.h"

#include <QFile>
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

QByteArray SqliteHeader(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(28) : QByteArray();
}

QByteArray QuotedIdentifier(const QString& name) {
    return '"' + name.toUtf8().replace('"', "\"\"") + '"';
}
