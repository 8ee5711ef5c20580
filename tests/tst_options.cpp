// The Language Options window: what it shows of the stored choice, and what it stores.
#include "codetablestore.h"
#include "form5.h"
#include "messagebox.h"
#include "module1.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {

QString Setting(const char* key) {
    return Module1::ReadSetting(QStringLiteral("main"), QLatin1String(key));
}
void Store(const char* key, const QString& value) {
    QVERIFY(Module1::WriteSetting(QStringLiteral("main"), QLatin1String(key), value));
}
// Each message box shown since the last call, as "title: text".
QStringList Shown() {
    QStringList texts;
    for (const MessageBox::Shown& shown : MessageBox::takeShown())
        texts << shown.title + QStringLiteral(": ") + shown.text;
    return texts;
}

// The window deletes itself when it closes, so it lives on the heap; the guard removes what is
// left of it when a test ends.
struct Window {
    QPointer<Form5> form = new Form5;
    Window() { form->show(); }
    ~Window() { delete form; }
    QLineEdit* path() const { return form->findChild<QLineEdit*>(QStringLiteral("Text1")); }
    QListWidget* list() const { return form->findChild<QListWidget*>(QStringLiteral("List1")); }
    QLabel* label(const char* name) const { return form->findChild<QLabel*>(QLatin1String(name)); }
    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < list()->count(); ++i)
            names.append(list()->item(i)->text());
        return names;
    }
    QString selected() const {
        const auto items = list()->selectedItems();
        return items.isEmpty() ? QString() : items.first()->text();
    }
    void select(const QString& name) const {
        list()->setCurrentItem(list()->findItems(name, Qt::MatchExactly).value(0));
    }
    void click(const char* button) const {
        QTest::mouseClick(form->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
    }
    bool closed() const {
        RunDeferredDeletes();
        return !form;
    }
};

const QString kConfirmation =
    QStringLiteral("Settings Changed: The new settings will take effect next time you start Dahdit");

} // namespace

class TestOptions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MessageBox::setTestMode(true); }
    void cleanup() {
        RunDeferredDeletes();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }
    void showsTheStoredChoice();
    void storesOnlyOnOk();
    void refusedAtOk_data();
    void refusedAtOk();
    void unreadableDatabaseStillOpens();
};

void TestOptions::showsTheStoredChoice() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    {
        Window w; // no settings file: the bundled database, nothing selected
        QCOMPARE(w.label("Label1")->text(), QStringLiteral("Current: International"));
        QCOMPARE(w.path()->text(), DefaultDatabasePath());
        QVERIFY(w.listed().size() == 10 && w.listed().first() == QStringLiteral("International"));
        QCOMPARE(w.selected(), QString());
    }
    // The stored database is listed in the order its tables were made; only the exact name is
    // selected (SQLite refuses two tables whose names differ only in case). A view is no code
    // table: it is not listed, and a stored one is named as such.
    const QString other = folder.file("other codes.mdb");
    MakeCodeTable(other, QStringLiteral("Zulu"), {});
    MakeCodeTable(other, QStringLiteral("Alpha"), {});
    QVERIFY(ExecSql(other, QStringLiteral("CREATE VIEW Vw AS SELECT * FROM Zulu")));
    Store("db_path", other);
    for (const QString stored : {"Alpha", "alpha", "Klingon", "vw"}) {
        Store("table_name", stored);
        Window w;
        const QString note = stored == QStringLiteral("vw") ? QStringLiteral(" (a view, not a code table)") : QString();
        QCOMPARE(w.label("Label1")->text(), QStringLiteral("Current: ") + stored + note);
        QCOMPARE(w.path()->text(), other);
        QCOMPARE(w.listed(), QStringList({"Zulu", "Alpha"}));
        QCOMPARE(w.selected(), stored == QStringLiteral("Alpha") ? stored : QString());
    }
}

void TestOptions::storesOnlyOnOk() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    {
        // Use Default fills in the path but lists the stored database still; Cancel and Escape
        // close the window and store nothing.
        Window w;
        w.path()->setText(QStringLiteral("/typed/elsewhere.mdb"));
        w.select(QStringLiteral("Greek"));
        w.click("Command3");
        QCOMPARE(w.path()->text(), DefaultDatabasePath());
        QCOMPARE(w.selected(), QStringLiteral("Greek"));
        w.click("Command2");
        QVERIFY(w.closed());
        Window escaped;
        QTest::keyClick(escaped.path(), Qt::Key_Escape);
        QVERIFY(escaped.closed());
        QVERIFY(!QFile::exists(folder.file("settings.ini")));
    }
    {
        // OK stores the path typed and the table chosen, confirms, and closes.
        Window w;
        w.path()->setText(QStringLiteral("/somewhere/else/codes.mdb"));
        w.select(QStringLiteral("German"));
        w.click("Command1");
        QCOMPARE(Setting("db_path"), QStringLiteral("/somewhere/else/codes.mdb"));
        QCOMPARE(Setting("table_name"), QStringLiteral("German"));
        QCOMPARE(Shown(), QStringList{kConfirmation});
        QVERIFY(w.closed());
    }
    {
        // Nothing listed (that database does not exist), so nothing selected: Enter presses OK,
        // which keeps the stored table rather than storing an empty name.
        Window w;
        QTest::keyClick(w.path(), Qt::Key_Return);
        QCOMPARE(Setting("table_name"), QStringLiteral("German"));
        QCOMPARE(Shown(), QStringList{kConfirmation});
    }
    // A choice comes back as it was chosen, blanks and quotes included.
    const QString other = folder.file(" other.mdb ");
    const QString fields = QStringLiteral(" (ID INTEGER PRIMARY KEY, MS TEXT, TS TEXT);");
    QVERIFY(ExecSql(other, "CREATE TABLE Greek" + fields + "CREATE TABLE \"Greek \"" + fields +
                               "CREATE TABLE \"\"\"Greek\"\"\"" + fields));
    Store("db_path", other);
    for (const QString name : {"Greek ", "\"Greek\""}) {
        Window w;
        w.select(name);
        w.click("Command1");
        QCOMPARE(Shown(), QStringList{kConfirmation});
        Window again;
        QCOMPARE(again.path()->text(), other);
        QCOMPARE(again.selected(), name);
    }
}

void TestOptions::refusedAtOk_data() {
    QTest::addColumn<int>("permissions"); // of settings.ini
    QTest::addColumn<QString>("path");    // typed
    QTest::addColumn<QString>("table");   // chosen
    QTest::addColumn<QString>("cause");
    const int rw = QFile::ReadOwner | QFile::WriteOwner;
    const QString longName = QString(255, u'x');
    QTest::newRow("read-only settings.ini") << int(QFile::ReadOwner) << "/typed/codes.mdb"
                                            << "Russian"
                                            << "the file is read-only";
    QTest::newRow("settings.ini without permissions") << 0 << "/typed/codes.mdb"
                                                      << "Russian"
                                                      << "may not read it";
    QTest::newRow("path with a line break") << rw << "/typed/\ncodes.mdb"
                                            << "Russian"
                                            << "The database path holds a line break";
    QTest::newRow("path of 255 characters") << rw << u'/' + longName.left(254) << "Russian"
                                            << "The database path is 255 characters long";
    QTest::newRow("table name with a line break") << rw << "/typed/codes.mdb"
                                                  << "Line\nBreak"
                                                  << "The table name holds a line break";
    QTest::newRow("table name of 255 characters")
        << rw << "/typed/codes.mdb" << longName << "The table name is 255 characters long";
}

void TestOptions::refusedAtOk() {
    QFETCH(int, permissions);
    QFETCH(QString, path);
    QFETCH(QString, table);
    QFETCH(QString, cause);
    ProgramFolder folder;
    const QString db = folder.copyBundledDatabase();
    QVERIFY(ExecSql(db, QStringLiteral("CREATE TABLE \"Line\nBreak\" (ID INTEGER PRIMARY KEY, MS TEXT, TS TEXT);"
                                       "CREATE TABLE \"%1\" (ID INTEGER PRIMARY KEY, MS TEXT, TS TEXT);")
                            .arg(QString(255, u'x'))));
    const QByteArray before = "[main]\r\ntable_name=German\r\n";
    folder.writeFile("settings.ini", before);
    QFile(folder.file("settings.ini")).setPermissions(QFile::Permissions(permissions));
    Window w;
    w.path()->setText(path);
    w.select(table);
    QCOMPARE(w.selected(), table);
    w.form->Command1_Click();
    const QStringList shown = Shown();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].startsWith(QStringLiteral("Settings Not Saved: The settings were not saved.")) &&
                 shown[0].contains(cause),
             qPrintable(shown[0]));
    QVERIFY(!w.closed() && w.form->isVisible()); // still open with the choice in it
    QCOMPARE(w.path()->text(), path);
    QCOMPARE(w.selected(), table);
    QFile(folder.file("settings.ini")).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(folder.readFile("settings.ini"), before);
}

void TestOptions::unreadableDatabaseStillOpens() {
    ProgramFolder folder;
    folder.writeFile("damaged.mdb", QByteArray(4096, 'x'));
    for (const QString& path : {folder.file("gone.mdb"), folder.file("damaged.mdb")}) {
        Store("db_path", path);
        Window w;
        QVERIFY(w.listed().isEmpty() && w.label("Label2")->isVisible());
        QVERIFY(w.label("Label2")->text().contains(QDir::toNativeSeparators(path)));
    }
    // The user can still point Dahdit back at its own database.
    Window w;
    w.click("Command3");
    w.click("Command1");
    QCOMPARE(Setting("db_path"), DefaultDatabasePath());
    QCOMPARE(Shown(), QStringList{kConfirmation});
}

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
