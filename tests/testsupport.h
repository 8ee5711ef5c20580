#pragma once

#include "apppath.h"
#include "codetablestore.h"
#include "databasechoice.h"
#include "decoder.h"
#include "form1.h"
#include "form2.h"
#include "form3.h"
#include "form4.h"
#include "form5.h"
#include "messagebox.h"
#include "module1.h"
#include "sqlitehandle.h"

// Tests look at many of the program's Qt classes: the module headers name them all.
#include <QtTest>
#include <QtWidgets>
#include <sqlite3.h>
#include <sys/stat.h>

// A fresh portable program folder, with HOME and the per-user folders under home(): never the
// real ones. Both folders are made writable again at the end, whatever a test made of them.
class ProgramFolder {
public:
    explicit ProgramFolder(bool withDatabase = false);
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
    QByteArray m_oldHome = qgetenv("HOME");
};

using CodeRows = QList<QPair<QString, QString>>; // (MS, TS) in insertion order

// Creates a database file holding one table of the usual layout with the given rows.
void MakeCodeTable(const QString& dbPath, const QString& table, const CodeRows& rows);
// A table's entries in ID order, listed as the editor lists them; false, with none, when it cannot be read.
bool ListEntries(CodeTableStore& store, const QString& table, QVector<CodeTableEntry>* rows,
                 StoreError* error = nullptr);
// Runs SQL statements on a database file; false when one fails.
bool ExecSql(const QString& dbPath, const QString& sql);
// The bundled database as built.
QString BundledDatabase();
// Deletes the windows that closed themselves.
void RunDeferredDeletes();
QByteArray BytesOf(const QString& path);

template <typename T = QWidget> T* child(const QObject& window, const char* name) {
    if (T* found = window.findChild<T*>(QLatin1String(name)))
        return found;
    qFatal("no control %s", name);
}

// The message boxes shown since the last call, as "title|style|text", once events have run.
QStringList Shown();

// Keys one symbol on the main window by its handlers, a tick of Timer2 closing it.
void Key(Form1& form, const QString& marks);
// Replaces the main window's buffer, as a paste does, and returns the decoded output.
QString Decode(Form1& form, const QString& buffer);

// A window that deletes itself when it closes, or else when the test ends.
template <typename T> struct Owned {
    QPointer<T> form;
    template <typename... Args> explicit Owned(Args&&... args) : form(new T(std::forward<Args>(args)...)) {}
    ~Owned() { delete form; }
    T* operator->() const { return form; }
    bool closed() const {
        RunDeferredDeletes();
        return !form;
    }
};

// The base of every test class: message boxes are recorded; a test ends with no window left and
// every message box looked at.
class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { MessageBox::setTestMode(true); }
    void cleanup();
};
