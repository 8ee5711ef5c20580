// The Language Options window: what it shows of the stored choice, and what it stores.
#include "testsupport.h"

namespace {

struct Window : Owned<Form5> {
    Window() { form->show(); }
    QLineEdit* path() const { return child<QLineEdit>(*form, "Text1"); }
    QListWidget* list() const { return child<QListWidget>(*form, "List1"); }
    QString label(const char* name) const { return child<QLabel>(*form, name)->text(); }
    // The tables listed, with the selected one in brackets.
    QString listed() const {
        QStringList names;
        for (int i = 0; i < list()->count(); ++i)
            names.append(list()->item(i)->isSelected() ? '[' + list()->item(i)->text() + ']' : list()->item(i)->text());
        return names.join(' ');
    }
    void select(const QString& name) const {
        list()->setCurrentItem(list()->findItems(name, Qt::MatchExactly).value(0));
    }
    void click(const char* button) const { QTest::mouseClick(child<QPushButton>(*form, button), Qt::LeftButton); }
};

const QStringList kConfirmation = {
    QStringLiteral("Settings Changed|64|The new settings will take effect next time you start Dahdit")};

} // namespace

class TestOptions : public WindowTest {
    Q_OBJECT
private slots:
    void showsTheStoredChoice();
    void storesOnlyOnOk();
    void refusedAtOk();
};

void TestOptions::showsTheStoredChoice() {
    ProgramFolder folder(true);
    Window bundled; // no settings file: the bundled database, nothing selected
    QVERIFY(bundled.path()->text() == DefaultDatabasePath() && bundled.listed().count(' ') == 9 &&
            !bundled.listed().contains('['));
    // Listed in the order the tables were made; only the exact name is selected (SQLite refuses
    // two tables whose names differ only in case). A view is not listed, and a stored one is
    // named as such.
    const QString other = folder.file("other codes.mdb");
    MakeCodeTable(other, QStringLiteral("Zulu"), {});
    MakeCodeTable(other, QStringLiteral("Alpha"), {});
    QVERIFY(ExecSql(other, QStringLiteral("CREATE VIEW Vw AS SELECT * FROM Zulu")));
    QVERIFY(Module1::WriteSetting("main", "db_path", other));
    for (const QString stored : {"Alpha", "alpha", "vw"}) {
        QVERIFY(Module1::WriteSetting("main", "table_name", stored));
        Window w;
        const QString note = stored == QStringLiteral("vw") ? QStringLiteral(" (a view, not a code table)") : QString();
        QCOMPARE(w.label("Label1"), QStringLiteral("Current: ") + stored + note);
        QVERIFY(w.path()->text() == other);
        QCOMPARE(w.listed(), stored == QStringLiteral("Alpha") ? QStringLiteral("Zulu [Alpha]") : "Zulu Alpha");
    }
    // A database that cannot be read: the window opens with the reason in the list's place.
    folder.writeFile("damaged.mdb", QByteArray(4096, 'x'));
    QVERIFY(Module1::WriteSetting("main", "db_path", folder.file("damaged.mdb")));
    Window w;
    QVERIFY(w.listed().isEmpty() && w.label("Label2").contains(QDir::toNativeSeparators(folder.file("damaged.mdb"))));
}

void TestOptions::storesOnlyOnOk() {
    ProgramFolder folder(true);
    {
        // Use Default fills in the path but lists the stored database still; Cancel and Escape
        // close the window and store nothing.
        Window w;
        w.path()->setText(QStringLiteral("/typed/elsewhere.mdb"));
        w.select(QStringLiteral("Greek"));
        w.click("Command3");
        QVERIFY(w.path()->text() == DefaultDatabasePath() && w.listed().contains("[Greek]"));
        w.click("Command2");
        Window escaped;
        QTest::keyClick(escaped.path(), Qt::Key_Escape);
        QVERIFY(w.closed() && escaped.closed() && !QFile::exists(folder.file("settings.ini")));
    }
    {
        // OK stores the path typed and the table chosen, confirms, and closes.
        Window w;
        w.path()->setText(QStringLiteral("/somewhere/else/codes.mdb"));
        w.select(QStringLiteral("German"));
        w.click("Command1");
        QVERIFY(Module1::ReadSetting("main", "db_path") == "/somewhere/else/codes.mdb" &&
                Module1::ReadSetting("main", "table_name") == "German");
        QVERIFY(Shown() == kConfirmation && w.closed());
    }
    // Nothing listed (that database does not exist), so nothing selected: Enter presses OK,
    // which keeps the stored table rather than storing an empty name.
    Window w;
    QTest::keyClick(w.path(), Qt::Key_Return);
    QVERIFY(Module1::ReadSetting("main", "table_name") == "German" && Shown() == kConfirmation);
}

void TestOptions::refusedAtOk() {
    ProgramFolder folder;
    const QString db = folder.copyBundledDatabase();
    QVERIFY(ExecSql(db, QStringLiteral("CREATE TABLE \"Line\nBreak\" (ID INTEGER PRIMARY KEY, MS TEXT, TS TEXT);")));
    const QByteArray before = "[main]\r\ntable_name=German\r\n";
    folder.writeFile("settings.ini", before);
    // Settings file writable, the path typed, the table chosen, and the cause told.
    const QList<std::tuple<bool, QString, QString, QString>> cases = {
        {false, "/typed/codes.mdb", "Russian",
         "the file is read-only. Make it writable and try again. Dahdit will start with the database and table "
         "chosen before."},
        {true, '/' + QString(254, u'x'), "Russian", "The database path is 255 characters long"},
        {true, "/typed/codes.mdb", "Line\nBreak", "The table name holds a line break"}};
    for (const auto& [writable, path, table, cause] : cases) {
        QFile(folder.file("settings.ini"))
            .setPermissions(writable ? QFile::ReadOwner | QFile::WriteOwner : QFile::ReadOwner);
        Window w;
        w.path()->setText(path);
        w.select(table);
        w.form->Command1_Click();
        const QStringList shown = Shown();
        QVERIFY2(shown.size() == 1 && shown[0].startsWith("Settings Not Saved|48|The settings were not saved.") &&
                     shown[0].simplified().contains(cause),
                 qPrintable(shown.join('\n')));
        // Still open with the choice in it, and the file as it was.
        QVERIFY(!w.closed() && w.form->isVisible() && w.path()->text() == path &&
                w.listed().contains('[' + table + ']'));
        QFile(folder.file("settings.ini")).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(folder.readFile("settings.ini"), before);
    }
}

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
