#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// SQLite as Dahdit uses it, set up once at the program's start (and at a test program's), before any
// database is opened: its memory is capped for the whole program, so that no file can make it take
// all the memory there is, and every file it opens is opened without waiting and refused unless it
// is a regular file or a folder, so that a named pipe or a device put beside a database (as its
// journal, by anyone who may write the folder) cannot stall it. The check on the opened file
// itself leaves nothing to be swapped in between. False when SQLite offers no way to guard its
// opens: then only the check that each open makes beforehand protects.
constexpr qint64 SqliteMemory = 256 * 1024 * 1024;
bool GuardSqlite();

// SQLite's connections and prepared statements, each held by one owner that closes or finalises
// it exactly once, on every path.
struct SqliteRelease {
    void operator()(sqlite3* db) const;
    void operator()(sqlite3_stmt* statement) const;
};
using SqliteConnection = std::unique_ptr<sqlite3, SqliteRelease>;
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteRelease>;

// Opens a connection with sqlite3_open_v2's flags and returns its result code. A failed open may
// still hand out a connection, which holds the message of what went wrong; it is kept in db
// all the same, to be read and then closed by its owner.
int OpenSqlite(const QByteArray& name, int flags, SqliteConnection* db);

// Prepares one statement on db and returns SQLite's result code; statement is empty on failure.
int PrepareSqlite(sqlite3* db, const QByteArray& sql, SqliteStatement* statement);

// A name as a quoted SQL identifier: whatever it holds, it names a table or an index and changes no
// statement.
QByteArray QuotedIdentifier(const QString& name);
