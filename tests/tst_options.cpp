// The Language Options window: what it shows of the stored choice, and what it stores.
#include "testsupport.h"

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
    void select(const QString& name) const { list()->setCurrentItem(list()->findItems(name, Qt::MatchExactly)[0]); }
};

const QStringList kConfirmed = {"Settings Changed|64|The new settings will take effect next time you start Dahdit"};

} // namespace

class TestOptions : public WindowTest {
    Q_OBJECT
private slots:
    void showsAndStoresTheChoice();
};

void TestOptions::showsAndStoresTheChoice() {
    ProgramFolder folder(true);
    {
        // No settings: nothing selected. Use Default fills in the path only; Cancel stores nothing.
        Window w;
        QVERIFY(w.path()->text() == DefaultDatabasePath() && w.listed().count(' ') == 9 && !w.listed().contains('['));
        w.path()->setText(QStringLiteral("/typed/elsewhere.mdb"));
        w.select(QStringLiteral("Greek"));
        w->Command3_Click();
        QVERIFY(w.path()->text() == DefaultDatabasePath() && w.listed().contains("[Greek]"));
        QTest::mouseClick(child<QPushButton>(*w.form, "Command2"), Qt::LeftButton);
        QVERIFY(w.closed() && !QFile::exists(folder.file("settings.ini")));
    }
    {
        // OK stores the path typed and the table chosen, confirms, and closes.
        Window w;
        w.path()->setText(QStringLiteral("/somewhere/else/codes.mdb"));
        w.select(QStringLiteral("German"));
        w->Command1_Click();
        QVERIFY(Module1::ReadSetting("main", "db_path") == "/somewhere/else/codes.mdb" &&
                Module1::ReadSetting("main", "table_name") == "German");
        QVERIFY(Shown() == kConfirmed && w.closed());
    }
    {
        // Nothing listed (no such database): Enter presses OK, which keeps the stored table, not an empty name.
        Window w;
        QTest::keyClick(w.path(), Qt::Key_Return);
        QVERIFY(Module1::ReadSetting("main", "table_name") == "German" && Shown() == kConfirmed);
    }
    // Listed in the order made; only the exact name is selected; a stored view is named as such.
    const QString other = folder.file("other codes.mdb");
    MakeCodeTable(other, QStringLiteral("Zulu"), {});
    MakeCodeTable(other, QStringLiteral("Alpha"), {});
    QVERIFY(ExecSql(other, QStringLiteral("CREATE VIEW Vw AS SELECT * FROM Zulu")));
    QVERIFY(Module1::WriteSetting("main", "db_path", other));
    for (const QString stored : {"Alpha", "alpha", "vw"}) {
        QVERIFY(Module1::WriteSetting("main", "table_name", stored));
        Window w;
        const QString note = stored == QStringLiteral("vw") ? QStringLiteral(" (a view, not a code table)") : QString();
        QVERIFY(child<QLabel>(*w.form, "Label1")->text() == "Current: " + stored + note && w.path()->text() == other);
        QCOMPARE(w.listed(), stored == QStringLiteral("Alpha") ? QStringLiteral("Zulu [Alpha]") : "Zulu Alpha");
    }

    // Refused at OK: the bundled database again, with a table whose name holds a line break.
    QVERIFY(ExecSql(folder.file("dahdit_db.mdb"),
                    QStringLiteral("CREATE TABLE \"Line\nBreak\" (ID INTEGER PRIMARY KEY, MS TEXT, TS TEXT);")));
    const QByteArray before = "[main]\r\ntable_name=German\r\n";
    folder.writeFile("settings.ini", before);
    // Settings file writable, the path typed, the table chosen, the cause told; the window stays as it was.
    const QList<std::tuple<bool, QString, QString, QString>> cases = {
        {false, "/typed/codes.mdb", "Russian",
         "the file is read-only. Make it writable and try again. Dahdit will start with the database and table "
         "chosen before."},
        {true, '/' + QString(252, u'x') + QString::fromUtf8("\xF0\x9F\x98\x80").repeated(2), "Russian",
         "The database path is 255 characters long, more than the settings file holds. Type a path on one line of at "
         "most 254 characters."},
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
        QFile(folder.file("settings.ini")).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(!w.closed() && w.form->isVisible() && w.path()->text() == path &&
                w.listed().contains('[' + table + ']') && folder.readFile("settings.ini") == before);
    }
}

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
