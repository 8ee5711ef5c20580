#pragma once

#include "sqlitehandle.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <chrono>
#include <optional>

// Why an operation on a code table database failed: what happened and the facts, which the windows
// put in words (storewords.h in platform/).
struct StoreError {
    Q_GADGET
public:
    enum class Kind {
        NotOpen,          // no file was ever opened
        CannotOpen,       // the file cannot be opened as a database; cause says why
        NoTable,          // the code table does not exist in the file
        IsView,           // the code table is a view, which can run for ever
        NoField,          // the code table has no field named detail
        TooSlow,          // a statement ran past the deadline (detail, in seconds): the file was given up
        Locked,           // another program holds the file
        ReadOnly,         // the file or its folder may not be written
        Moved,            // the file was moved, renamed or deleted while it was open
        Replaced,         // another file took its place while it was open
        ReplacedByDahdit, // the copy another Dahdit made took its place while it was open
        EntryGone,        // no entry has the ID detail: it was removed by other means
        NotAnId,          // detail is not the ID of an entry
        Failed,           // doing detail ("look up an entry") failed; cause says why
    };
    Q_ENUM(Kind)
    Kind kind = Kind::NotOpen;
    QString file;   // the database file
    QString table;  // the code table, where one was named
    QString detail; // by the kind, above
    QString cause;  // in words, ending in a full stop ("the file is damaged (truncated or overwritten).")
};

// One row of a code table. The ID travels as text, the decimal form of the stored number.
struct CodeTableEntry {
    QString id;
    QString ms; // the Morse code
    QString ts; // the text signal
};

// A window's own connection to the code table database and the one statement it reuses.
// Values are always bound, never spliced into a statement, and the table name goes in quoted
// as an identifier. Every operation that can fail returns false and says what happened in the
// StoreError it is given, when it is given one. Without a connection, each operation fails with
// the reason there is none: the failed open, or the file given up.
//
// A database file may come from anywhere, so none may hold the program up: only real tables
// are code tables (a view can run forever), every statement is stopped at a deadline, and
// SQLite keeps its temporary data in memory. A file that once ran past the deadline is closed
// for good: each later operation fails at once with the same message. SQLite's own files beside
// the database (its journal, its write-ahead log and their index) are opened only when they are
// regular files: a named pipe put there by anyone who may write the folder would stall SQLite.
class CodeTableStore {
public:
    CodeTableStore() = default;
    ~CodeTableStore() { close(); }
    CodeTableStore(const CodeTableStore&) = delete;
    CodeTableStore& operator=(const CodeTableStore&) = delete;

    // Opens an existing database file, read-write unless asked for read-only or its write bits are
    // all cleared. It never makes one: which file a window opens is decided above the store
    // (databasechoice.h).
    bool open(const QString& path, StoreError* error = nullptr, bool readOnly = false);
    // True while the store is open. When the last open failed only because another program held
    // the file locked, tries that file again; otherwise fails at once, for the same reason as before.
    bool reopenIfLocked(StoreError* error = nullptr);
    void close();
    bool isOpen() const { return m_db != nullptr; }

    // How long a statement waits for another program's lock before it fails; it holds for every
    // later open too.
    void setBusyTimeout(int milliseconds);
    // How long one statement, or one row of a listing, may run before it is stopped.
    void setDeadline(std::chrono::milliseconds deadline) { m_deadline = deadline; }
    // The clock the deadline goes by: the system's, unless a test counts time its own way.
    using Clock = std::chrono::steady_clock::time_point (*)();
    void setClock(Clock clock) { m_clock = clock; }

    // A read transaction: every lookup between the two sees one state of the file.
    bool beginRead(StoreError* error = nullptr) { return begin(Transaction::Read, error); }
    void endRead() { end(Transaction::Read); }
    // A write transaction, taken at once: checks made inside it still hold when the change
    // that follows them is stored, whatever another program or editor does meanwhile.
    bool beginWrite(StoreError* error = nullptr) { return begin(Transaction::Write, error); }
    bool commitWrite(StoreError* error = nullptr);
    void rollbackWrite() { end(Transaction::Write); }

    // The decoder's lookup: the text of the first row whose MS equals code, or nothing when there
    // is none. A NULL text reads as an empty one. A text of more than maxBytes bytes (as UTF-8) is
    // not read: signal is then left empty and longBytes holds its size, which is 0 otherwise.
    bool FindSignalOfCode(const QString& table, QStringView code, qsizetype maxBytes, std::optional<QString>* signal,
                          qsizetype* longBytes, StoreError* error = nullptr);
    // The row with that ID, or nothing.
    bool FindById(const QString& table, const QString& id, std::optional<CodeTableEntry>* row,
                  StoreError* error = nullptr);
    // The editor's one question before it stores an entry: whether another row, any but the one
    // with ID except (none when except is empty), holds code as its MS or signal as its TS.
    bool CodeOrSignalTaken(const QString& table, const QString& code, const QString& signal, const QString& except,
                           bool* taken, StoreError* error = nullptr);
    // The orders of the editor's list: as stored (by ID), or by the signal or the code, letters that
    // differ only in case side by side, equal texts by ID.
    enum class ListOrder { ById, BySignal, BySignalDescending, ByCode, ByCodeDescending };
    // A page of the list: at most limit entries in that order after the first skip, fewer where the
    // table ends. The deadline holds for each row, so a large table on a slow disk is read a page
    // at a time; a sorted page reads the whole table first, from the pages kept in memory where
    // the table has been read before (16 MiB of them at the most).
    bool ListEntries(const QString& table, ListOrder order, qint64 skip, int limit, QVector<CodeTableEntry>* rows,
                     StoreError* error = nullptr);
    // How many entries follow the first skip, counting at most limit: a table is counted a part
    // at a time.
    bool CountEntries(const QString& table, qint64 skip, qint64 limit, qint64* count, StoreError* error = nullptr);
    // Stores a new row; the store gives it its ID.
    bool InsertEntry(const QString& table, const QString& code, const QString& signal, StoreError* error = nullptr);
    // Fails when no row has that ID (it was removed by other means).
    bool UpdateEntry(const QString& table, const QString& id, const QString& code, const QString& signal,
                     StoreError* error = nullptr);
    bool DeleteEntry(const QString& table, const QString& id, StoreError* error = nullptr);

    // The names of the real tables of the open file, in the order they were made, SQLite's own
    // left out; and, when asked, the names of its views.
    bool ListTables(QStringList* names, QStringList* views = nullptr, StoreError* error = nullptr);

private:
    enum class Transaction { None, Read, Write };
    bool begin(Transaction kind, StoreError* error);
    // Ends a transaction of that kind, if one is under way: a read is committed, a write rolled back.
    void end(Transaction kind);
    // Opens path with the given SQLite flags and reads its schema; SQLITE_OK, or SQLite's
    // extended code with m_closedBecause set and no connection left open.
    int openWith(const QString& path, int flags, bool immutable);
    // Says in error why the file could not be opened or its schema read, given SQLite's code: another
    // program's lock or the deadline, as for any statement, or else what is wrong with the file.
    bool failToRead(int code, StoreError* error);
    // Starts the deadline of the next statement.
    void arm() { m_stopAt = m_clock() + m_deadline; }
    // Runs a whole SQL text under the deadline.
    int exec(const char* sql);
    // Runs a query of the schema, with name bound to its parameter where it has one, handing each
    // row to read; SQLITE_DONE, or SQLite's code of the failure.
    template <typename Read> int readSchema(const char* sql, const QByteArray& name, Read read);
    // Whether table names a real table; a view or another kind of object is refused.
    bool checkIsTable(const QString& table, StoreError* error);
    // The statements the one reusable statement is prepared for (their SQL is in the .cpp file).
    // List lists the entries by ID; a statement for each further ListOrder follows it.
    enum class Statement { SignalByCode, RowById, CodeOrSignal, Count, Insert, Update, Delete, List };
    // Binds a parameter of the reusable statement; the bytes of a text stay alive until the next bind.
    bool bind(int index, QStringView text);
    bool bind(int index, qint64 id);
    bool bind(int index, std::optional<qint64> id); // NULL when there is none
    // Readies the reusable statement for kind on table, and binds values to its parameters in order.
    template <typename... Values>
    bool start(Statement kind, const QString& table, StoreError* error, const Values&... values);
    // Runs a statement and hands each row it gives, if any, to read.
    template <typename Read, typename... Values>
    bool run(Statement kind, const QString& table, Read read, StoreError* error, const Values&... values);
    // Says in error why the last SQLite call on the connection failed, doing what, on which table.
    bool fail(StoreError* error, const QString& what, const QString& table = QString());
    StoreError failure(StoreError::Kind kind, const QString& table = QString(), const QString& detail = QString(),
                       const QString& cause = QString()) const {
        return {kind, m_path, table, detail, cause};
    }
    bool parseId(const QString& id, qint64* value, StoreError* error);

    SqliteConnection m_db;
    SqliteStatement m_stmt; // the one reusable statement, reset after every step so that it holds no lock
    Statement m_stmtKind{};
    QString m_stmtTable;
    QByteArray m_bound[2];
    QString m_path;
    bool m_readOnly = false;    // asked for at the open, and kept for opening again
    StoreError m_closedBecause; // why there is no connection: the open failed, or the file was given up
    Transaction m_transaction = Transaction::None;
    std::chrono::milliseconds m_deadline{2000};
    int m_busyTimeout = 1000; // how long a statement waits for another program's lock
    Clock m_clock = [] { return std::chrono::steady_clock::now(); };
    std::chrono::steady_clock::time_point m_stopAt; // when the running statement is stopped
};
