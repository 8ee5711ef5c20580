#include "codetablestore.h"

#include "sqlitehandle.h"
#include "usercopy.h"
#include "wholefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <sqlite3.h>
#include <sys/statvfs.h>

namespace {

QString columnText(sqlite3_stmt* stmt, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    if (!text)
        return QString();
    return QString::fromUtf8(text, sqlite3_column_bytes(stmt, column));
}

// A row of a statement that reads ID, MS and TS; an ID stored as a number travels as its decimal form.
CodeTableEntry entryOf(sqlite3_stmt* stmt) {
    const bool number = sqlite3_column_type(stmt, 0) == SQLITE_INTEGER;
    return {number ? QString::number(sqlite3_column_int64(stmt, 0)) : columnText(stmt, 0), columnText(stmt, 1),
            columnText(stmt, 2)};
}

// What a statement that changes the table does with the row it never has.
constexpr auto ignoreRow = [](sqlite3_stmt*) {};

// How often SQLite looks at the clock while a statement runs, in steps of its virtual machine:
// rare enough to cost nothing measurable, often enough to stop soon after the deadline.
constexpr int kStepsBetweenChecks = 1000;

// SQLite keeps files of its own beside a database, named after it.
const struct {
    const char* suffix;
    const char* holds;
} kSideFiles[] = {{"-journal", "its journal"}, {"-wal", "its write-ahead log"}, {"-shm", "its shared index"}};

// Why one of SQLite's own files beside the database cannot be used: anyone who may write the
// folder can put a named pipe or a device in its place. Empty when none is such.
QString sideFileProblem(const QString& path) {
    for (const auto& side : kSideFiles) {
        const QString file = path + QLatin1String(side.suffix);
        if (const QString why = WholeFile::notAFile(file); !why.isEmpty())
            return QStringLiteral("the file %1 beside it, in which SQLite keeps %2, cannot be used: %3 Remove it, "
                                  "then try again.")
                .arg(QDir::toNativeSeparators(file), QLatin1String(side.holds), why);
    }
    return QString();
}

// Why a database file cannot be given to SQLite, in clearer words than its own; empty when it can.
QString whyUnusable(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty())
        return QStringLiteral("no file name is set.");
    if (!info.exists())
        return QStringLiteral("the file does not exist.");
    // Opening a pipe would wait for a writer, and a device holds no database.
    if (const QString why = WholeFile::notAFile(path); !why.isEmpty())
        return why;
    if (!info.isReadable())
        return QStringLiteral("the file cannot be read (permission denied).");
    if (info.size() == 0)
        return QStringLiteral("the file is empty.");
    return sideFileProblem(path);
}

// The statements the one reusable statement is prepared for, in the order of Statement: the SQL
// around the quoted name of the table, and what it does in the words of a failure message
// ("Cannot look up an entry in ...").
const struct {
    const char* before;
    const char* after;
    const char* purpose;
} kStatements[] = {
    {"SELECT TS FROM ", " WHERE MS = ?1 ORDER BY ID LIMIT 1", "look up an entry"},
    {"SELECT ID, MS, TS FROM ", " WHERE ID = ?1 LIMIT 1", "look up an entry"},
    {"SELECT ID FROM ", " WHERE (MS = ?1 OR TS = ?2) AND (?3 IS NULL OR ID <> ?3) LIMIT 1", "check an entry"},
    {"SELECT count(*) FROM (SELECT 1 FROM ", " LIMIT ?1 OFFSET ?2)", "count the entries"},
    {"INSERT INTO ", " (MS, TS) VALUES (?1, ?2)", "add the entry"},
    {"UPDATE ", " SET MS = ?1, TS = ?2 WHERE ID = ?3", "save the entry"},
    {"DELETE FROM ", " WHERE ID = ?1", "remove the entry"},
    {"SELECT ID, Ms, TS FROM ", " ORDER BY ID LIMIT ?1 OFFSET ?2", "list the entries"},
    {"SELECT ID, Ms, TS FROM ", " ORDER BY TS COLLATE NOCASE, TS, ID LIMIT ?1 OFFSET ?2", "list the entries"},
    {"SELECT ID, Ms, TS FROM ", " ORDER BY TS COLLATE NOCASE DESC, TS DESC, ID DESC LIMIT ?1 OFFSET ?2",
     "list the entries"},
    {"SELECT ID, Ms, TS FROM ", " ORDER BY Ms COLLATE NOCASE, Ms, ID LIMIT ?1 OFFSET ?2", "list the entries"},
    {"SELECT ID, Ms, TS FROM ", " ORDER BY Ms COLLATE NOCASE DESC, Ms DESC, ID DESC LIMIT ?1 OFFSET ?2",
     "list the entries"},
};

StoreError openFailure(const QString& path, const QString& cause) {
    return {StoreError::Kind::CannotOpen, path, QString(), QString(), cause};
}

// Hands a failure to the caller, when it asked for one; always false.
bool report(StoreError* error, const StoreError& failure) {
    if (error)
        *error = failure;
    return false;
}

const QString kWalCause = QStringLiteral("it is in WAL mode, which needs files beside it that Dahdit may not make or "
                                         "write here. Make its folder writable, or take the database out of WAL "
                                         "mode.");

// The cause of a failure in words, naming a side file that is no file where SQLite could not open one.
QString causeOf(int code, const char* message, const QString& path) {
    if ((code & 0xff) == SQLITE_CANTOPEN || (code & 0xff) == SQLITE_IOERR) {
        if (const QString side = sideFileProblem(path); !side.isEmpty())
            return side;
    }
    if (code == SQLITE_READONLY_DIRECTORY)
        return kWalCause;
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
    case SQLITE_NOMEM:
        return QStringLiteral("reading it needs more memory than Dahdit gives a database (%1 MiB); the file may be "
                              "damaged or made to exhaust memory.")
            .arg(SqliteMemory >> 20);
    default:
        return QString::fromUtf8(message) + QLatin1Char('.');
    }
}

// Whether the database file says it is in WAL mode: bytes 18 and 19 of its header are 2 then.
bool isWal(const QString& path) {
    QFile file(path);
    const QByteArray header = file.open(QIODevice::ReadOnly) ? file.read(20) : QByteArray();
    return header.size() >= 20 && header[18] == 2 && header[19] == 2;
}

// Whether the file is on a file system mounted read-only, where nobody can change it.
bool onReadOnlyMount(const QString& path) {
    struct statvfs info {};
    return ::statvfs(QFile::encodeName(path).constData(), &info) == 0 && (info.f_flag & ST_RDONLY) != 0;
}

} // namespace

bool CodeTableStore::open(const QString& path, StoreError* error, bool readOnly) {
    close();
    m_path = path;
    m_readOnly = readOnly;
    if (const QString cause = whyUnusable(path); !cause.isEmpty()) {
        m_closedBecause = openFailure(path, cause);
        return report(error, m_closedBecause);
    }
    // A file left alone is opened read-only, whoever runs the program: changes then fail with a
    // clear message.
    const int mode =
        readOnly || WholeFile::writeBitsCleared(QFileInfo(path)) ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    const int rc = openWith(path, mode, false);
    if (rc == SQLITE_OK)
        return true;
    // A database in WAL mode needs files beside it, which a folder the user may not write cannot
    // take, not even for reading. Only on a disk mounted read-only, where nobody can change it, and
    // with every change in the file itself (no -wal file beside it), is it read as a file that
    // never changes; changes are then refused as on any read-only file. Anywhere else its owner
    // may change it at any moment, and Dahdit would go on reading stale, then torn, data.
    const int primary = rc & 0xff;
    if ((primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN) && isWal(path)) {
        if (!QFileInfo::exists(path + QLatin1String("-wal")) && onReadOnlyMount(path) &&
            openWith(path, SQLITE_OPEN_READONLY, true) == SQLITE_OK)
            return true;
        m_closedBecause = openFailure(path, kWalCause);
    }
    return report(error, m_closedBecause);
}

int CodeTableStore::openWith(const QString& path, int flags, bool immutable) {
    QByteArray name = path.toUtf8();
    if (immutable) {
        name = "file:" + QUrl::toPercentEncoding(path, "/") + "?immutable=1";
        flags |= SQLITE_OPEN_URI;
    }
    int rc = OpenSqlite(name, flags, &m_db);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(m_db.get(), m_busyTimeout);
        sqlite3_progress_handler(
            m_db.get(), kStepsBetweenChecks,
            [](void* store) -> int {
                const auto* self = static_cast<CodeTableStore*>(store);
                return self->m_clock() >= self->m_stopAt;
            },
            this);
        // Sorts and other temporary data stay in (capped) memory: no file can grow without end. A
        // table read once (the editor counts its list) stays in memory up to 16 MiB, so that it
        // is sorted again without reading a slow disk again.
        rc = exec("PRAGMA temp_store = MEMORY");
        if (rc == SQLITE_OK)
            rc = exec("PRAGMA cache_size = -16384");
        // Reading the schema is what finds out whether the file is a database at all.
        if (rc == SQLITE_OK)
            rc = exec("SELECT count(*) FROM sqlite_master");
    }
    if (rc == SQLITE_OK) {
        m_closedBecause = StoreError();
        return SQLITE_OK;
    }
    const int code = m_db ? sqlite3_extended_errcode(m_db.get()) : rc;
    failToRead(code, &m_closedBecause);
    m_db.reset();
    return code;
}

bool CodeTableStore::failToRead(int code, StoreError* error) {
    const int primary = code & 0xff;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED || primary == SQLITE_INTERRUPT)
        return fail(error, QString()); // another program's lock, or the file given up at the deadline
    const char* message = m_db ? sqlite3_errmsg(m_db.get()) : "out of memory";
    return report(error, openFailure(m_path, causeOf(code, message, m_path)));
}

bool CodeTableStore::reopenIfLocked(StoreError* error) {
    if (m_db)
        return true;
    if (m_closedBecause.kind == StoreError::Kind::Locked)
        return open(m_path, error, m_readOnly);
    return report(error, m_closedBecause);
}

void CodeTableStore::close() {
    rollbackWrite();
    endRead();
    m_stmt.reset();
    m_db.reset();
}

int CodeTableStore::exec(const char* sql) {
    arm();
    return sqlite3_exec(m_db.get(), sql, nullptr, nullptr, nullptr);
}

void CodeTableStore::setBusyTimeout(int milliseconds) {
    m_busyTimeout = milliseconds;
    if (m_db)
        sqlite3_busy_timeout(m_db.get(), milliseconds);
}

bool CodeTableStore::begin(Transaction kind, StoreError* error) {
    if (!m_db)
        return fail(error, QString());
    // A read is under way inside any transaction; a write only inside a write.
    if (m_transaction == kind || (kind == Transaction::Read && m_transaction != Transaction::None))
        return true;
    const bool read = kind == Transaction::Read;
    if (exec(read ? "BEGIN" : "BEGIN IMMEDIATE") != SQLITE_OK)
        return fail(error, read ? QStringLiteral("begin a read") : QStringLiteral("begin a change"));
    m_transaction = kind;
    return true;
}

bool CodeTableStore::commitWrite(StoreError* error) {
    if (m_transaction != Transaction::Write)
        return fail(error, QStringLiteral("save the change"));
    if (exec("COMMIT") != SQLITE_OK) {
        fail(error, QStringLiteral("save the change"));
        rollbackWrite();
        return false;
    }
    m_transaction = Transaction::None;
    return true;
}

// A transaction is only ever under way on an open connection. A rollback fails, harmlessly, where
// SQLite already rolled the change back.
void CodeTableStore::end(Transaction kind) {
    if (m_transaction != kind)
        return;
    exec(kind == Transaction::Read ? "COMMIT" : "ROLLBACK");
    m_transaction = Transaction::None;
}

bool CodeTableStore::fail(StoreError* error, const QString& what, const QString& table) {
    using Kind = StoreError::Kind;
    if (!m_db)
        return report(error, m_closedBecause);
    const int code = sqlite3_extended_errcode(m_db.get());
    const QString message = QString::fromUtf8(sqlite3_errmsg(m_db.get()));
    if (message.startsWith(QLatin1String("no such table")))
        return report(error, failure(Kind::NoTable, table));
    if (message.startsWith(QLatin1String("no such column: ")))
        return report(error, failure(Kind::NoField, table, message.mid(int(sizeof("no such column: ")) - 1).toUpper()));
    if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED)
        return report(error, failure(Kind::Locked));
    if ((code & 0xff) == SQLITE_INTERRUPT) {
        // Every later query would stall the window just as long.
        close();
        m_closedBecause = failure(Kind::TooSlow, QString(), QString::number(double(m_deadline.count()) / 1000.0));
        return report(error, m_closedBecause);
    }
    if (code == SQLITE_READONLY_DBMOVED)
        return report(error, failure(UserCopy::MadeByDahdit(m_path) ? Kind::ReplacedByDahdit
                                     : QFileInfo::exists(m_path)    ? Kind::Replaced
                                                                    : Kind::Moved));
    if ((code & 0xff) == SQLITE_READONLY)
        return report(error, failure(Kind::ReadOnly));
    return report(error, failure(Kind::Failed, table, what.isEmpty() ? QStringLiteral("read") : what,
                                 causeOf(code, sqlite3_errmsg(m_db.get()), m_path)));
}

bool CodeTableStore::bind(int index, QStringView text) {
    QByteArray& bytes = m_bound[index - 1];
    bytes = text.toUtf8();
    return sqlite3_bind_text(m_stmt.get(), index, bytes.constData(), int(bytes.size()), SQLITE_STATIC) == SQLITE_OK;
}

bool CodeTableStore::bind(int index, qint64 id) {
    return sqlite3_bind_int64(m_stmt.get(), index, id) == SQLITE_OK;
}

bool CodeTableStore::bind(int index, std::optional<qint64> id) {
    return id ? bind(index, *id) : sqlite3_bind_null(m_stmt.get(), index) == SQLITE_OK;
}

template <typename... Values>
bool CodeTableStore::start(Statement kind, const QString& table, StoreError* error, const Values&... values) {
    if (!m_db)
        return fail(error, QString(), table);
    arm();
    // Prepared anew only when the kind or the table differs from the last use: reset after its last
    // step, it needs only every parameter bound anew.
    if (!m_stmt || kind != m_stmtKind || table != m_stmtTable) {
        m_stmt.reset();
        if (!checkIsTable(table, error))
            return false;
        const auto& text = kStatements[int(kind)];
        if (PrepareSqlite(m_db.get(), QByteArray(text.before) + QuotedIdentifier(table) + text.after, &m_stmt) !=
            SQLITE_OK)
            return fail(error, QStringLiteral("read the table"), table);
        m_stmtKind = kind;
        m_stmtTable = table;
    }
    int index = 0;
    if ((bind(++index, values) && ...))
        return true;
    return fail(error, QLatin1String(kStatements[int(kind)].purpose), table);
}

bool CodeTableStore::parseId(const QString& id, qint64* value, StoreError* error) {
    bool ok = false;
    *value = id.toLongLong(&ok);
    return ok || report(error, failure(StoreError::Kind::NotAnId, QString(), id));
}

template <typename Read, typename... Values>
bool CodeTableStore::run(Statement kind, const QString& table, Read read, StoreError* error, const Values&... values) {
    if (!start(kind, table, error, values...))
        return false;
    int rc;
    // Each row has the whole deadline: only a row that never comes is stopped.
    while (arm(), (rc = sqlite3_step(m_stmt.get())) == SQLITE_ROW)
        read(m_stmt.get());
    sqlite3_reset(m_stmt.get()); // keeps the error for fail(), and lets go of the file for other programs to write
    return rc == SQLITE_DONE || fail(error, QLatin1String(kStatements[int(kind)].purpose), table);
}

bool CodeTableStore::FindSignalOfCode(const QString& table, QStringView code, qsizetype maxBytes,
                                      std::optional<QString>* signal, qsizetype* longBytes, StoreError* error) {
    signal->reset();
    *longBytes = 0;
    return run(
        Statement::SignalByCode, table,
        [&](sqlite3_stmt* stmt) {
            // Measured before it is made a string: the text may be larger than all the memory there is.
            const qsizetype bytes = sqlite3_column_bytes(stmt, 0);
            if (bytes > maxBytes)
                *longBytes = bytes;
            else
                *signal = columnText(stmt, 0);
        },
        error, code);
}

bool CodeTableStore::FindById(const QString& table, const QString& id, std::optional<CodeTableEntry>* row,
                              StoreError* error) {
    row->reset();
    qint64 idValue = 0;
    return parseId(id, &idValue, error) &&
           run(
               Statement::RowById, table, [row](sqlite3_stmt* stmt) { *row = entryOf(stmt); }, error, idValue);
}

bool CodeTableStore::CodeOrSignalTaken(const QString& table, const QString& code, const QString& signal,
                                       const QString& except, bool* taken, StoreError* error) {
    *taken = false;
    std::optional<qint64> exceptId;
    return (except.isEmpty() || parseId(except, &exceptId.emplace(), error)) &&
           run(
               Statement::CodeOrSignal, table, [taken](sqlite3_stmt*) { *taken = true; }, error, QStringView(code),
               QStringView(signal), exceptId);
}

bool CodeTableStore::ListEntries(const QString& table, ListOrder order, qint64 skip, int limit,
                                 QVector<CodeTableEntry>* rows, StoreError* error) {
    static_assert(std::size(kStatements) == size_t(Statement::List) + size_t(ListOrder::ByCodeDescending) + 1);
    return run(
        Statement(int(Statement::List) + int(order)), table,
        [rows](sqlite3_stmt* stmt) { rows->append(entryOf(stmt)); }, error, qint64(limit), skip);
}

bool CodeTableStore::CountEntries(const QString& table, qint64 skip, qint64 limit, qint64* count, StoreError* error) {
    *count = 0;
    return run(
        Statement::Count, table, [count](sqlite3_stmt* stmt) { *count = sqlite3_column_int64(stmt, 0); }, error, limit,
        skip);
}

bool CodeTableStore::InsertEntry(const QString& table, const QString& code, const QString& signal, StoreError* error) {
    return run(Statement::Insert, table, ignoreRow, error, QStringView(code), QStringView(signal));
}

bool CodeTableStore::UpdateEntry(const QString& table, const QString& id, const QString& code, const QString& signal,
                                 StoreError* error) {
    qint64 idValue = 0;
    return parseId(id, &idValue, error) &&
           run(Statement::Update, table, ignoreRow, error, QStringView(code), QStringView(signal), idValue) &&
           (sqlite3_changes(m_db.get()) > 0 || report(error, failure(StoreError::Kind::EntryGone, table, id)));
}

bool CodeTableStore::DeleteEntry(const QString& table, const QString& id, StoreError* error) {
    qint64 idValue = 0;
    return parseId(id, &idValue, error) && run(Statement::Delete, table, ignoreRow, error, idValue);
}

template <typename Read> int CodeTableStore::readSchema(const char* sql, const QByteArray& name, Read read) {
    SqliteStatement stmt;
    arm();
    int rc = PrepareSqlite(m_db.get(), sql, &stmt);
    if (rc == SQLITE_OK && sqlite3_bind_parameter_count(stmt.get()) > 0)
        rc = sqlite3_bind_text(stmt.get(), 1, name.constData(), int(name.size()), SQLITE_STATIC);
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        if ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW)
            read(stmt.get());
    }
    return rc; // the statement is finalised before a failure, which may close the connection
}

bool CodeTableStore::checkIsTable(const QString& table, StoreError* error) {
    // Names of tables and views are one name space in SQLite, matched without regard to ASCII case.
    QString type;
    const int rc = readSchema("SELECT type FROM sqlite_master WHERE type IN ('table', 'view') "
                              "AND name = ?1 COLLATE NOCASE LIMIT 1",
                              table.toUtf8(), [&](sqlite3_stmt* stmt) { type = columnText(stmt, 0); });
    if (rc != SQLITE_DONE)
        return fail(error, QStringLiteral("read the table"), table);
    if (type == QLatin1String("view"))
        return report(error, failure(StoreError::Kind::IsView, table));
    return true; // a missing table is left to the statement itself, which names it
}

bool CodeTableStore::ListTables(QStringList* names, QStringList* views, StoreError* error) {
    names->clear();
    if (views)
        views->clear();
    if (!m_db)
        return fail(error, QString());
    QStringList tables;
    QStringList others;
    const int rc =
        readSchema("SELECT name, type FROM sqlite_master WHERE type IN ('table', 'view') "
                   "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid",
                   QByteArray(), [&](sqlite3_stmt* stmt) {
                       (columnText(stmt, 1) == QLatin1String("table") ? tables : others).append(columnText(stmt, 0));
                   });
    if (rc != SQLITE_DONE)
        return failToRead(sqlite3_extended_errcode(m_db.get()), error);
    *names = tables;
    if (views)
        *views = others;
    return true;
}
