// The Language Options window: what it shows of the stored choice, and what it stores.
#include "testsupport.h"

using namespace Qt::Literals::StringLiterals;

namespace {

struct Window : Owned<Form5> {
    Window() { form->show(); }
    QLineEdit* path() const { return child<QLineEdit>(*form, "Text1"); }
    QListWidget* list() const { return child<QListWidget>(*form, "List1"); }
    QString listed() const { // the tables, the selected one in brackets
        QStringList names;
        for (int i = 0; i < list()->count(); ++i)
            names.append(list()->item(i)->isSelected() ? '[' + list()->item(i)->text() + ']' : list()->item(i)->text());
        return names.join(' ');
    }
    void select(const QString& name) const {
        list()->setCurrentItem(list()->findItems(name, Qt::MatchExactly).value(0));
    }
};

const QStringList kConfirmed = {"Settings Changed|64|The new settings will take effect next time you start Dahdit"};

} // namespace

class TestOptions : public WindowTest {
    Q_OBJECT
private slots:
    void storesTheChoice();
    void showsTheStoredChoice_data();
    void showsTheStoredChoice();
    void refusesWhatCannotBeKept_data();
    void refusesWhatCannotBeKept();
};

void TestOptions::storesTheChoice() {
    ProgramFolder folder(true);
    {
        // No settings: nothing selected. Use Default fills in the path only; Cancel stores nothing.
        Window w;
        QCOMPARE(w.path()->text(), DefaultDatabasePath());
        QCOMPARE(w.listed().count('['), 0);
        w.path()->setText(u"/typed/elsewhere.mdb"_s);
        w.select(u"Greek"_s); // one of the bundled tables
        w->Command3_Click();
        QCOMPARE(w.path()->text(), DefaultDatabasePath());
        QVERIFY(w.listed().contains(" [Greek] "));
        QTest::mouseClick(child<QPushButton>(*w.form, "Command2"), Qt::LeftButton);
        QVERIFY(w.closed());
        QVERIFY(!QFile::exists(folder.file("settings.ini")));
    }
    {
        // OK stores the path typed and the table chosen, confirms, and closes.
        Window w;
        w.path()->setText(u"/somewhere/else/codes.mdb"_s);
        w.select(u"German"_s);
        w->Command1_Click();
        QCOMPARE(folder.readFile("settings.ini"),
                 "[main]\r\ndb_path=/somewhere/else/codes.mdb\r\ntable_name=German\r\n");
        QCOMPARE(Shown(), kConfirmed);
        QVERIFY(w.closed());
    }
    // Nothing listed (no such database): Enter presses OK, which keeps the stored table, not an empty name.
    Window w;
    QTest::keyClick(w.path(), Qt::Key_Return);
    QCOMPARE(Module1::ReadSetting("main", "table_name"), u"German"_s);
    QCOMPARE(Shown(), kConfirmed);
}

void TestOptions::showsTheStoredChoice_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown"); // the path (P, the one stored), the current table, the tables listed
    // Listed in the order made; only the exact name is selected; a stored view is named as such.
    QTest::newRow("a table") << u"Alpha"_s << u"P|Current: Alpha|Zulu [Alpha]"_s;
    QTest::newRow("its name in another case") << u"alpha"_s << u"P|Current: alpha|Zulu Alpha"_s;
    QTest::newRow("a view") << u"vw"_s << u"P|Current: vw (a view, not a code table)|Zulu Alpha"_s;
}

void TestOptions::showsTheStoredChoice() {
    ProgramFolder folder;
    const QString other = folder.file("other codes.mdb");
    MakeCodeTable(other, u"Zulu"_s, {});
    MakeCodeTable(other, u"Alpha"_s, {});
    QVERIFY(ExecSql(other, u"CREATE VIEW Vw AS SELECT * FROM Zulu"_s));
    QVERIFY(Module1::WriteSetting("main", "db_path", other));
    QFETCH(QString, stored);
    QVERIFY(Module1::WriteSetting("main", "table_name", stored));
    Window w;
    QTEST(w.path()->text().replace(other, "P") + '|' + child<QLabel>(*w.form, "Label1")->text() + '|' + w.listed(),
          "shown");
}

void TestOptions::refusesWhatCannotBeKept_data() {
    QTest::addColumn<bool>("writable"); // the settings file
    QTest::addColumn<QString>("path");  // typed
    QTest::addColumn<QString>("table"); // chosen
    QTest::addColumn<QString>("cause");
    QTest::newRow("settings file read-only") << false << u"/typed/codes.mdb"_s << u"Russian"_s
                                             << u"P/settings.ini: the file is read-only. Make it writable"_s;
    QTest::newRow("a path longer than a line holds")
        << true << '/' + QString(252, u'x') + u"\U0001F600\U0001F600"_s << u"Russian"_s
        << u"The database path is 255 characters long, more than the settings file holds."_s;
    QTest::newRow("a table name with a line break")
        << true << u"/typed/codes.mdb"_s << u"Line\nBreak"_s << u"The table name holds a line break"_s;
}

void TestOptions::refusesWhatCannotBeKept() {
    QFETCH(bool, writable);
    QFETCH(QString, path);
    QFETCH(QString, table);
    QFETCH(QString, cause);
    // The bundled database, with a table whose name holds a line break; the window stays as it was.
    ProgramFolder folder(true);
    QVERIFY(ExecSql(folder.file("dahdit_db.mdb"), u"CREATE TABLE \"Line\nBreak\" (ID INTEGER PRIMARY KEY, TS, MS);"_s));
    const QByteArray before = "[main]\r\ntable_name=German\r\n";
    folder.writeFile("settings.ini", before);
    QFile(folder.file("settings.ini"))
        .setPermissions(QFile::ReadOwner | (writable ? QFile::WriteOwner : QFile::ReadOwner));
    Window w;
    w.path()->setText(path);
    w.select(table);
    w.form->Command1_Click();
    const QString told = Shown().join('\n').replace(folder.path(), "P").simplified(); // the box shown, and why
    QVERIFY2(told.startsWith("Settings Not Saved|48|The settings were not saved. ") && told.contains(cause),
             qPrintable(told));
    QFile(folder.file("settings.ini")).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(w.closed() || !w.form->isVisible() ? u"closed"_s
                                                : w.path()->text() + " | " + w.list()->currentItem()->text(),
             path + " | " + table);
    QCOMPARE(folder.readFile("settings.ini"), before);
}

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
