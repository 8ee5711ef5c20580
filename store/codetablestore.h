#pragma once

#include "sqlitehandle.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <chrono>
#include <optional>

// One row of a code table. The ID travels as text, the decimal form of the stored number.
struct CodeTableEntry {
    QString id;
    QString ms; // the Morse code
    QString ts; // the text signal
};

// Where the code table database is, and which table a window works on, from the settings
// Settings::DatabasePath and Settings::TableName: the stored value, or when it is "default" the
// program's own database and International.
QString DatabasePath();
QString CurrentTableName();
QString DefaultDatabasePath();

// The connection string a window hands to the store: the provider, then "Data source=" and the
// database path verbatim. The store takes everything after "Data source=" as the path.
QString ConnectionString(const QString& path);
QString PathFromConnectionString(const QString& connectionString);

// Doubles every single quote, the way a text goes between quotes in an SQL statement.
QString EscapeText(const QString& text);

// The code tables of a database file, in the order they were created. SQLite's own tables are
// left out, and so are views: they are no code tables. When asked, views receives their names.
// Returns false, with a message in error, when the file cannot be read.
bool ListCodeTables(const QString& path, QStringList* names, QString* error, QStringList* views = nullptr);

// A window's own connection to the code table database and the one statement it reuses.
// Values are always bound, never spliced into a statement, and the table name goes in quoted
// as an identifier. Every operation returns false on failure and leaves a message, naming the
// file or table and the cause, in lastError(); nothing here shows a window.
//
// A database file may come from anywhere, so none may hold the program up: only real tables
// are code tables (a view can run forever), every statement is stopped at a deadline, and
// SQLite keeps its temporary data in memory. A file that once ran past the deadline is closed
// for good: each later operation fails at once with the same message.
class CodeTableStore {
public:
    CodeTableStore();
    ~CodeTableStore();
    CodeTableStore(const CodeTableStore&) = delete;
    CodeTableStore& operator=(const CodeTableStore&) = delete;

    // Opens an existing database file read-write; never creates one.
    bool open(const QString& path);
    // When the last open failed only because another program held the file locked, tries
    // that file again; otherwise fails at once with the last message.
    bool reopenIfLocked();
    bool openConnection(const QString& connectionString) { return open(PathFromConnectionString(connectionString)); }
    void close();
    bool isOpen() const { return m_db != nullptr; }
    QString lastError() const { return m_error; }
    // Whether the last open failed only because another program held the file locked.
    bool openFailedOnLock() const { return m_lockedAtOpen; }

    // How long a statement waits for another program's lock before it fails.
    void setBusyTimeout(int milliseconds);
    // How long one statement may run before it is stopped.
    void setDeadline(std::chrono::milliseconds deadline) { m_deadline = deadline; }
    static constexpr std::chrono::milliseconds kDeadline{2000};

    // A read transaction: every lookup between the two sees one state of the file.
    bool beginRead();
    void endRead();
    // A write transaction, taken at once: checks made inside it still hold when the change
    // that follows them is stored, whatever another program or editor does meanwhile.
    bool beginWrite();
    bool commitWrite();
    void rollbackWrite();

    // The first row (lowest ID) whose MS equals code, or nothing.
    bool FindByCode(const QString& table, const QString& code, std::optional<CodeTableEntry>* row);
    // The decoder's lookup: the text of the first row whose MS equals code, or nothing when there
    // is none. A NULL text reads as an empty one.
    bool FindSignalOfCode(const QString& table, QStringView code, std::optional<QString>* signal);
    // The first row whose TS equals signal, or nothing.
    bool FindBySignal(const QString& table, const QString& signal, std::optional<CodeTableEntry>* row);
    // The row with that ID, or nothing.
    bool FindById(const QString& table, const QString& id, std::optional<CodeTableEntry>* row);
    bool CodeUsedElsewhere(const QString& table, const QString& code, const QString& id, bool* used);
    bool SignalUsedElsewhere(const QString& table, const QString& signal, const QString& id, bool* used);
    bool ListEntries(const QString& table, QVector<CodeTableEntry>* rows);
    // Stores a new row; the store gives it its ID.
    bool InsertEntry(const QString& table, const QString& code, const QString& signal);
    // Fails when no row has that ID (it was removed by other means).
    bool UpdateEntry(const QString& table, const QString& id, const QString& code, const QString& signal);
    bool DeleteEntry(const QString& table, const QString& id);

    // The names of the real tables of the open file, in the order they were made, SQLite's own
    // left out; and, when asked, the names of its views.
    bool ListTables(QStringList* names, QStringList* views = nullptr);

private:
    // Opens path with the given SQLite flags and reads its schema; SQLITE_OK, or SQLite's
    // extended code with m_error set and no connection left open.
    int openWith(const QString& path, int flags, bool immutable);
    // Starts the deadline of the next statement.
    void arm() { m_stopAt = std::chrono::steady_clock::now() + m_deadline; }
    // Runs a whole SQL text under the deadline.
    int exec(const char* sql);
    // Whether table names a real table; a view or another kind of object is refused.
    bool checkIsTable(const QString& table);
    // The statements the one reusable statement is prepared for; textOf() holds their SQL.
    enum class Statement {
        None,
        RowByCode,
        SignalByCode,
        RowBySignal,
        RowById,
        RowWithCodeElsewhere,
        RowWithSignalElsewhere,
        AllRows,
        Insert,
        Update,
        Delete
    };
    struct StatementText {
        const char* before; // the SQL before the table's name
        const char* after;  // and after it
        const char* purpose;
    };
    static StatementText textOf(Statement kind);
    // Readies the reusable statement for one kind of statement on one table, preparing it anew
    // only when the kind or the table differs from the last use.
    bool prepare(Statement kind, const QString& table);
    // Binds a parameter of the reusable statement; the bytes of a text stay alive until the next bind.
    bool bind(int index, QStringView text);
    bool bind(int index, qint64 id);
    // Prepares kind on table and binds values to its parameters in order.
    template <typename... Values> bool start(Statement kind, const QString& table, const Values&... values);
    // Runs a query and hands its first row, if there is one, to read.
    template <typename Read, typename... Values>
    bool selectRow(Statement kind, const QString& table, Read read, const Values&... values);
    // Runs a query that reads ID, MS and TS, and takes its first row, if any.
    template <typename... Values>
    bool selectEntry(Statement kind, const QString& table, std::optional<CodeTableEntry>* row, const Values&... values);
    // Runs a statement that changes the table.
    template <typename... Values> bool change(Statement kind, const QString& table, const Values&... values);
    bool fail(const QString& what, const QString& table = QString());
    bool parseId(const QString& id, qint64* value);
    bool existsElsewhere(Statement kind, const QString& table, const QString& text, const QString& id, bool* used);

    SqliteConnection m_db;
    SqliteStatement m_stmt; // the one reusable statement, finalised before the connection closes
    Statement m_stmtKind = Statement::None;
    QString m_stmtTable;
    QByteArray m_bound[2];
    QString m_path;
    QString m_error;
    enum class Transaction { None, Read, Write } m_transaction = Transaction::None;
    QString m_checkedTable;      // the last table found to be a real table
    bool m_lockedAtOpen = false; // the last open failed because another program held a lock
    std::chrono::milliseconds m_deadline = kDeadline;
    std::chrono::steady_clock::time_point m_stopAt; // when the running statement is stopped
};
