#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QTemporaryDir>

// A fresh portable program folder for one test: settings.ini, the database and the readme are
// looked for here instead of beside the test program. The per-user folders (XDG_CONFIG_HOME,
// XDG_DATA_HOME) point into a fresh folder of their own, home(), so that no test ever touches
// the real ones. Restores nothing; each test makes its own.
class ProgramFolder {
public:
    ProgramFolder();
    ~ProgramFolder();
    QString path() const { return m_dir.path(); }
    QString home() const { return m_home.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // Copies the bundled database (built from data/code-tables) into the folder.
    QString copyBundledDatabase(const QString& name = QStringLiteral("dahdit_db.mdb")) const;
    void writeFile(const QString& name, const QByteArray& bytes) const;
    QByteArray readFile(const QString& name) const;

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_home;
};

using CodeRows = QList<QPair<QString, QString>>; // (MS, TS) in insertion order

// Creates a database file holding one table of the usual layout with the given rows.
void MakeCodeTable(const QString& dbPath, const QString& table, const CodeRows& rows);
// Runs one SQL statement on a database file; false when it fails.
bool ExecSql(const QString& dbPath, const QString& sql);
// The bundled database as built.
QString BundledDatabase();
// Deletes the windows that closed themselves (they delete themselves later, on the event loop).
void RunDeferredDeletes();
