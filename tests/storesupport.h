#pragma once

// The base of the tests that need no window: they link the store and the decoder, and no Qt Widgets.
#include "apppath.h"
#include "codetablestore.h"
#include "databasechoice.h"
#include "decoder.h"
#include "module1.h"
#include "sqlitehandle.h"

#include <QtTest>
#include <sqlite3.h>
#include <sys/stat.h>

// The base of every test class: as in Dahdit, SQLite is guarded before a database is opened (initMain comes first).
class GuardedTest : public QObject {
public:
    static void initMain(); // and in a copy that RunTwins started, what its role says
};

// Sets an environment variable for its life, then puts back what was there, however the test ended.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : m_name(name), m_old(qgetenv(name)) { qputenv(name, value); }
    ~ScopedEnv() { m_old.isNull() ? qunsetenv(m_name) : qputenv(m_name, m_old); }

private:
    const char* m_name;
    QByteArray m_old; // null when the variable was not set
};

// A fresh portable program folder, HOME and the per-user folders under home(), all made writable again at the end.
class ProgramFolder {
public:
    explicit ProgramFolder(bool withDatabase = false);
    ~ProgramFolder();
    QString path() const { return m_dir.path(); }
    QString home() const { return m_home.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    QString copyBundledDatabase(const QString& name = QStringLiteral("dahdit_db.mdb")) const;
    void writeFile(const QString& name, const QByteArray& bytes) const;
    QByteArray readFile(const QString& name) const;

private:
    QTemporaryDir m_dir, m_home;
    ScopedEnv m_homeVariable{"HOME", QFile::encodeName(m_home.path())};
    ScopedEnv m_configHome{"XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config")))};
    ScopedEnv m_dataHome{"XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data")))};
    // The sound client's own files (its cookie, its runtime folder) go here, not into the home: the
    // sidetone's thread would otherwise make folders there, root's even in a home left read-only.
    QTemporaryDir m_runtime;
    ScopedEnv m_runtimeDir{"XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path())};
    ScopedEnv m_cookie{"PULSE_COOKIE", QFile::encodeName(m_runtime.filePath(QStringLiteral("cookie")))};
};

// Runs the test's program once per role, all at once; returns what each printed. "start|<program folder>" starts Dahdit
// from there, over the user's copy of the tables; "write|<settings file>|<prefix>" writes TwinRounds keys one by one.
QStringList RunTwins(const QStringList& roles);
constexpr int TwinRounds = 300;

using CodeRows = QList<QPair<QString, QString>>; // (MS, TS) in insertion order

// Makes a database file holding one table of the usual layout, under any name, with these rows (a null text as NULL).
void MakeCodeTable(const QString& dbPath, const QString& table, const CodeRows& rows);
// A table's entries in ID order; false, with none, when it cannot be read.
bool ListEntries(CodeTableStore& store, const QString& table, QVector<CodeTableEntry>* rows,
                 StoreError* error = nullptr);
bool ExecSql(const QString& dbPath, const QString& sql);
inline QByteArray BytesOf(const QString& path) { // a file's bytes, or "missing"
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
}
