#include "codetablestore.h"

#include "apppath.h"
#include "module1.h"

#include <QDir>
#include <QFileInfo>
#include <sqlite3.h>

namespace {

const QString kDefault = QStringLiteral("default");

QString nativePath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// A table name as a quoted SQL identifier: no name read from the settings can change a statement.
QByteArray quotedName(const QString& table) {
    QByteArray name = table.toUtf8();
    name.replace('"', "\"\"");
    return '"' + name + '"';
}

QString columnText(sqlite3_stmt* stmt, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    if (!text)
        return QString();
    return QString::fromUtf8(text, sqlite3_column_bytes(stmt, column));
}

QString columnId(sqlite3_stmt* stmt, int column) {
    if (sqlite3_column_type(stmt, column) == SQLITE_INTEGER)
        return QString::number(sqlite3_column_int64(stmt, column));
    return columnText(stmt, column);
}

// Why a database file cannot be used, before SQLite is asked: clearer words than its own.
QString fileProblem(const QString& path) {
    QFileInfo info(path);
    if (path.isEmpty())
        return QStringLiteral("no file name is set.");
    if (!info.exists()) {
        // The user's own copy of the database is made the first time it is opened.
        QString cause;
        if (!IsPortable() && path == DefaultDatabasePath() &&
            !CopyToNewFile(InstalledFile(QStringLiteral("dahdit_db.mdb")), path, &cause))
            return cause;
        info.refresh();
        if (!info.exists())
            return QStringLiteral("the file does not exist.");
    }
    if (info.isDir())
        return QStringLiteral("it is a folder, not a file.");
    if (!info.isReadable())
        return QStringLiteral("the file cannot be read (permission denied).");
    if (info.size() == 0)
        return QStringLiteral("the file is empty.");
    return QString();
}

QString openFailure(const QString& path, const QString& cause) {
    return QStringLiteral("Cannot open the code table database %1: %2").arg(nativePath(path), cause);
}

QString sqliteCause(int code, const char* message) {
    switch (code & 0xff) {
    case SQLITE_NOTADB:
        return QStringLiteral(
            "the file is not an SQLite database (it may be an old Access file or another kind of file).");
    case SQLITE_CORRUPT:
        return QStringLiteral("the file is damaged (truncated or overwritten).");
    case SQLITE_CANTOPEN:
        return QStringLiteral("the file cannot be opened.");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("access to the file is denied.");
    default:
        return QString::fromUtf8(message) + QLatin1Char('.');
    }
}

} // namespace

QString DefaultDatabasePath() {
    return DataFolder() + QStringLiteral("/dahdit_db.mdb");
}

QString DatabasePath() {
    const QString value = Module1::ReadSetting(QStringLiteral("main"), QStringLiteral("db_path"));
    return value == kDefault ? DefaultDatabasePath() : value;
}

QString CurrentTableName() {
    const QString value = Module1::ReadSetting(QStringLiteral("main"), QStringLiteral("table_name"));
    return value == kDefault ? QStringLiteral("International") : value;
}

QString ConnectionString(const QString& path) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0; Data source=") + path;
}

QString PathFromConnectionString(const QString& connectionString) {
    const QLatin1String key("Data source=");
    const qsizetype at = connectionString.indexOf(key, 0, Qt::CaseInsensitive);
    return at < 0 ? QString() : connectionString.mid(at + key.size());
}

QString EscapeText(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\''), QLatin1String("''"));
    return escaped;
}

bool ListCodeTables(const QString& path, QStringList* names, QString* error) {
    names->clear();
    const QString problem = fileProblem(path);
    if (!problem.isEmpty()) {
        *error = openFailure(path, problem);
        return false;
    }
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, 1000);
        rc = sqlite3_prepare_v2(db,
                                "SELECT name FROM sqlite_master WHERE type = 'table' "
                                "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid",
                                -1, &stmt, nullptr);
    }
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW)
            names->append(columnText(stmt, 0));
    }
    const bool ok = rc == SQLITE_DONE;
    if (!ok) {
        *error = openFailure(path, sqliteCause(rc, db ? sqlite3_errmsg(db) : "out of memory"));
        names->clear();
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return ok;
}

CodeTableStore::CodeTableStore() = default;

CodeTableStore::~CodeTableStore() {
    close();
}

bool CodeTableStore::open(const QString& path) {
    close();
    m_path = path;
    const QString problem = fileProblem(path);
    if (!problem.isEmpty()) {
        m_error = openFailure(path, problem);
        return false;
    }
    // A file whose write bits are all cleared is opened read-only, whoever runs the program:
    // the user asked for it to be left alone, and changes then fail with a clear message.
    const auto writeBits = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    const int mode = (QFileInfo(path).permissions() & writeBits) ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db, mode, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(m_db, 1000);
        // Reading the schema is what finds out whether the file is a database at all.
        rc = sqlite3_exec(m_db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        m_error = openFailure(path, sqliteCause(rc, m_db ? sqlite3_errmsg(m_db) : "out of memory"));
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    m_error.clear();
    return true;
}

void CodeTableStore::close() {
    endRead();
    sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    m_stmtKind = 0;
    sqlite3_close(m_db);
    m_db = nullptr;
}

void CodeTableStore::setBusyTimeout(int milliseconds) {
    if (m_db)
        sqlite3_busy_timeout(m_db, milliseconds);
}

bool CodeTableStore::beginRead() {
    if (!m_db)
        return fail(QString());
    if (m_inRead)
        return true;
    if (sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail(QStringLiteral("begin a read"));
    m_inRead = true;
    return true;
}

void CodeTableStore::endRead() {
    if (m_inRead && m_db) {
        sqlite3_reset(m_stmt); // a pending statement would keep the read lock
        sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    }
    m_inRead = false;
}

bool CodeTableStore::fail(const QString& what, const QString& table) {
    if (!m_db) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("The code table database is not open.");
        return false;
    }
    const int code = sqlite3_extended_errcode(m_db);
    const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
    const QString file = nativePath(m_path);
    if (message.startsWith(QLatin1String("no such table")))
        m_error = QStringLiteral("The code table \"%1\" does not exist in %2. Choose another table with Tools, "
                                 "Language.")
                      .arg(table, file);
    else if (message.startsWith(QLatin1String("no such column: ")))
        m_error = QStringLiteral("The code table \"%1\" in %2 has no field %3.")
                      .arg(table, file, message.mid(int(sizeof("no such column: ")) - 1).toUpper());
    else if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED)
        m_error = QStringLiteral("The code table database %1 is locked by another program. Close that program "
                                 "or try again in a moment.")
                      .arg(file);
    else if ((code & 0xff) == SQLITE_READONLY)
        m_error = QStringLiteral("The code table database %1 is read-only, so changes cannot be saved. Make the "
                                 "file and its folder writable and try again.")
                      .arg(file);
    else
        m_error =
            QStringLiteral("Cannot %1 in the code table database %2: %3")
                .arg(what.isEmpty() ? QStringLiteral("read") : what, file, sqliteCause(code, sqlite3_errmsg(m_db)));
    return false;
}

bool CodeTableStore::bindText(int index, QStringView text) {
    QByteArray& bytes = m_bound[index - 1];
    bytes = text.toUtf8();
    return sqlite3_bind_text(m_stmt, index, bytes.constData(), int(bytes.size()), SQLITE_STATIC) == SQLITE_OK;
}

bool CodeTableStore::prepare(int kind, const QString& table, const char* sqlBefore, const char* sqlAfter) {
    if (!m_db)
        return fail(QString(), table);
    if (m_stmt && kind == m_stmtKind && table == m_stmtTable) {
        sqlite3_reset(m_stmt); // every parameter is bound anew by the caller
        return true;
    }
    sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    m_stmtKind = 0;
    const QByteArray sql = QByteArray(sqlBefore) + quotedName(table) + sqlAfter;
    if (sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &m_stmt, nullptr) != SQLITE_OK)
        return fail(QStringLiteral("read the table"), table);
    m_stmtKind = kind;
    m_stmtTable = table;
    return true;
}

bool CodeTableStore::parseId(const QString& id, qint64* value) {
    bool ok = false;
    *value = id.toLongLong(&ok);
    if (!ok)
        m_error = QStringLiteral("\"%1\" is not the ID of an entry.").arg(id);
    return ok;
}

bool CodeTableStore::selectRow(const QString& table, bool byCode, const QString& text,
                               std::optional<CodeTableEntry>* row) {
    row->reset();
    if (!prepare(byCode ? 1 : 2, table, "SELECT ID, MS, TS FROM ",
                 byCode ? " WHERE MS = ?1 ORDER BY ID LIMIT 1" : " WHERE TS = ?1 ORDER BY ID LIMIT 1"))
        return false;
    ++m_statements;
    if (!bindText(1, text))
        return fail(QStringLiteral("look up an entry"), table);
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        *row = CodeTableEntry{columnId(m_stmt, 0), columnText(m_stmt, 1), columnText(m_stmt, 2)};
    else if (rc != SQLITE_DONE)
        return fail(QStringLiteral("look up an entry"), table);
    sqlite3_reset(m_stmt);
    return true;
}

bool CodeTableStore::FindByCode(const QString& table, const QString& code, std::optional<CodeTableEntry>* row) {
    return selectRow(table, true, code, row);
}

bool CodeTableStore::FindSignalOfCode(const QString& table, QStringView code, QString* signal, bool* found) {
    if (!prepare(9, table, "SELECT TS FROM ", " WHERE MS = ?1 ORDER BY ID LIMIT 1"))
        return false;
    ++m_statements;
    if (!bindText(1, code))
        return fail(QStringLiteral("look up an entry"), table);
    const int rc = sqlite3_step(m_stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        return fail(QStringLiteral("look up an entry"), table);
    *found = rc == SQLITE_ROW;
    *signal = *found ? columnText(m_stmt, 0) : QString();
    if (*found && signal->isNull())
        *signal = QStringLiteral("");
    sqlite3_reset(m_stmt);
    return true;
}

bool CodeTableStore::FindBySignal(const QString& table, const QString& signal, std::optional<CodeTableEntry>* row) {
    return selectRow(table, false, signal, row);
}

bool CodeTableStore::existsElsewhere(const QString& table, bool byCode, const QString& text, const QString& id,
                                     bool* used) {
    qint64 idValue = 0;
    if (!parseId(id, &idValue))
        return false;
    if (!prepare(byCode ? 3 : 4, table, "SELECT 1 FROM ",
                 byCode ? " WHERE MS = ?1 AND ID <> ?2 LIMIT 1" : " WHERE TS = ?1 AND ID <> ?2 LIMIT 1"))
        return false;
    ++m_statements;
    if (!bindText(1, text) || sqlite3_bind_int64(m_stmt, 2, idValue) != SQLITE_OK)
        return fail(QStringLiteral("check an entry"), table);
    const int rc = sqlite3_step(m_stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        return fail(QStringLiteral("check an entry"), table);
    *used = rc == SQLITE_ROW;
    sqlite3_reset(m_stmt);
    return true;
}

bool CodeTableStore::CodeUsedElsewhere(const QString& table, const QString& code, const QString& id, bool* used) {
    return existsElsewhere(table, true, code, id, used);
}

bool CodeTableStore::SignalUsedElsewhere(const QString& table, const QString& signal, const QString& id, bool* used) {
    return existsElsewhere(table, false, signal, id, used);
}

bool CodeTableStore::ListEntries(const QString& table, QVector<CodeTableEntry>* rows) {
    rows->clear();
    if (!prepare(5, table, "SELECT ID, Ms, TS FROM ", " ORDER BY ID"))
        return false;
    ++m_statements;
    int rc;
    while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW)
        rows->append(CodeTableEntry{columnId(m_stmt, 0), columnText(m_stmt, 1), columnText(m_stmt, 2)});
    sqlite3_reset(m_stmt);
    if (rc != SQLITE_DONE) {
        rows->clear();
        return fail(QStringLiteral("list the entries"), table);
    }
    return true;
}

bool CodeTableStore::InsertEntry(const QString& table, const QString& code, const QString& signal, QString* newId) {
    if (!prepare(6, table, "INSERT INTO ", " (MS, TS) VALUES (?1, ?2)"))
        return false;
    ++m_statements;
    if (!bindText(1, code) || !bindText(2, signal) || sqlite3_step(m_stmt) != SQLITE_DONE) {
        sqlite3_reset(m_stmt);
        return fail(QStringLiteral("add the entry"), table);
    }
    sqlite3_reset(m_stmt);
    if (newId)
        *newId = QString::number(sqlite3_last_insert_rowid(m_db));
    return true;
}

bool CodeTableStore::UpdateEntry(const QString& table, const QString& id, const QString& code, const QString& signal) {
    qint64 idValue = 0;
    if (!parseId(id, &idValue))
        return false;
    if (!prepare(7, table, "UPDATE ", " SET MS = ?1, TS = ?2 WHERE ID = ?3"))
        return false;
    ++m_statements;
    if (!bindText(1, code) || !bindText(2, signal) || sqlite3_bind_int64(m_stmt, 3, idValue) != SQLITE_OK ||
        sqlite3_step(m_stmt) != SQLITE_DONE) {
        sqlite3_reset(m_stmt);
        return fail(QStringLiteral("save the entry"), table);
    }
    sqlite3_reset(m_stmt);
    if (sqlite3_changes(m_db) == 0) {
        m_error = QStringLiteral("The entry with ID %1 no longer exists in the code table \"%2\"; it was removed "
                                 "by other means. Press Cancel to reload the list.")
                      .arg(id, table);
        return false;
    }
    return true;
}

bool CodeTableStore::DeleteEntry(const QString& table, const QString& id) {
    qint64 idValue = 0;
    if (!parseId(id, &idValue))
        return false;
    if (!prepare(8, table, "DELETE FROM ", " WHERE ID = ?1"))
        return false;
    ++m_statements;
    if (sqlite3_bind_int64(m_stmt, 1, idValue) != SQLITE_OK || sqlite3_step(m_stmt) != SQLITE_DONE) {
        sqlite3_reset(m_stmt);
        return fail(QStringLiteral("remove the entry"), table);
    }
    sqlite3_reset(m_stmt);
    return true;
}
