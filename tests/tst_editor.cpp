// The windows of the Tools menu: the code table editor and Language Options.
#include "testsupport.h"

using namespace Qt::Literals::StringLiterals;

namespace {

const CodeRows kRows = {{"-...", "B"}, {".-", "A"}, {"-.-.", "c"}, {".", "E"}, {".----.", "it's"}};
const QStringList kStored = {"-...=B", ".-=A", "-.-.=c", ".=E", ".----.=it's"}; // IDs 1 to 5
const QString kFresh = u"Add||"_s;                                              // see state()

struct Folder : ProgramFolder {
    Folder() { MakeCodeTable(db, "International", kRows); }
    const QString db = file("dahdit_db.mdb");
};

const auto list = [](const Form4& form) { return child<QTreeView>(form, "ListView1"); };
// The row of the list that shows text as its signal; invalid when none does.
QModelIndex row(const Form4& form, const QString& text) {
    const QAbstractItemModel* model = list(form)->model();
    return model->match(model->index(0, 0), Qt::DisplayRole, text, 1, Qt::MatchExactly).value(0);
}
QStringList listed(const Form4& form) {
    QStringList shown;
    for (int i = 0; i < list(form)->model()->rowCount(); ++i)
        shown << list(form)->model()->index(i, 0).data().toString();
    return shown;
}

// "Add|signal|code" or "Edit <ID>|signal|code"; "mixed" when the mode's controls disagree.
QString state(const Form4& form) {
    const bool edit = child<QPushButton>(form, "Command1")->text().remove('&') == "Edit";
    const QString id = child<QLabel>(form, "Label4")->text();
    const bool agree = child<QGroupBox>(form, "Frame2")->title() == (edit ? "Edit entry" : "New entry") &&
                       (edit || id == "Automatic") && child(form, "Command2")->isHidden() != edit &&
                       child(form, "Command3")->isHidden() != edit;
    const QString mode = !agree ? u"mixed"_s : edit ? "Edit " + id : u"Add"_s;
    return mode + '|' + child<QLineEdit>(form, "Text1")->text() + '|' + child<QLineEdit>(form, "Text2")->text();
}

void enter(Form4& form, const QString& signal, const QString& code, bool press = true) {
    child<QLineEdit>(form, "Text1")->setText(signal), child<QLineEdit>(form, "Text2")->setText(code);
    // A mnemonic in every caption, as KDE's accelerator manager puts there: the window goes by its mode all the same.
    for (auto* button : form.findChildren<QAbstractButton*>())
        button->setText(button->text().contains('&') ? button->text() : '&' + button->text());
    if (press)
        QTest::mouseClick(child<QPushButton>(form, "Command1"), Qt::LeftButton);
}

QStringList stored(const QString& dbPath) { // the table as stored: "MS=TS" in ID order
    CodeTableStore store;
    QVector<CodeTableEntry> rows;
    if (!store.open(dbPath) || !ListEntries(store, "International", &rows))
        qFatal("cannot read the test table");
    QStringList out;
    for (const auto& entry : rows)
        out << entry.ms + '=' + entry.ts;
    return out;
}

// state(), then each message box shown as "[title|style|first paragraph | cause]".
QString seen(const Form4& form, const QString& cause = QString()) {
    QString out = state(form);
    for (const QString& box : Shown()) {
        const QString why = box.section(u"\n\n"_s, 1);
        out += " [" + box.section(u"\n\n"_s, 0, 0) +
               (why.isEmpty() ? "" : " | " + (why.contains(cause) ? cause : why)) + ']';
    }
    return out;
}

struct Options : Owned<Form5> {
    Options() { form->show(); }
    QLineEdit* path() const { return child<QLineEdit>(*form, "Text1"); }
    QListWidget* list() const { return child<QListWidget>(*form, "List1"); }
    void select(const QString& t) const { list()->setCurrentItem(list()->findItems(t, Qt::MatchExactly).value(0)); }
};

const QStringList kConfirmed = {"Settings Changed|64|The new settings will take effect next time you start Dahdit"};

} // namespace

class TestEditor : public WindowTest {
    Q_OBJECT
private slots:
    void opensOrSaysWhyNot();
    void storesOrRefuses_data();
    void storesOrRefuses();
    void editsAndRemovesTheRowChosen();
    void optionsStoreTheChoice();
    void optionsRefuseWhatCannotBeKept();
};

void TestEditor::opensOrSaysWhyNot() {
    // The reason shown in the list's place, with what to do, once; nothing offered that would only fail.
    auto unavailable = [](const QString& cause) {
        Form4 form;
        const QString reason = child<QLabel>(form, "Unavailable")->text();
        const bool amiss = !list(form)->isHidden() || child(form, "Text1")->isEnabled() ||
                           child(form, "Command1")->isEnabled() || child(form, "Unavailable")->isHidden() ||
                           !child(form, "Command2")->isHidden() || !child(form, "Command3")->isHidden();
        return (reason.contains(cause) ? cause : reason) + QString::number(reason.count("Tools, Language")) +
               (amiss ? " amiss" : "");
    };
    ProgramFolder folder;
    QCOMPARE(unavailable("the file does not exist"), u"the file does not exist1"_s);
    MakeCodeTable(folder.file("dahdit_db.mdb"), "International", kRows);
    folder.writeFile("settings.ini", "[main]\ntable_name=Klingon\n"); // the table is read from here at every load
    QCOMPARE(unavailable("\"Klingon\" does not exist"), u"\"Klingon\" does not exist1"_s);

    QVERIFY(QFile::remove(folder.file("settings.ini")));
    Form4 editor;
    editor.show();
    // In ID order until a column is clicked, then by it, case-blind; again the other way; kept when read again.
    QHeaderView* header = list(editor)->header();
    QStringList orders{listed(editor).join(' '), header->sortIndicatorSection() < 0 ? "unsorted;" : "sorted;"};
    for (int column : {0, 1, 1, -1}) {
        if (column < 0)
            QTest::mouseClick(child<QPushButton>(editor, "Command3"), Qt::LeftButton);
        else
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, {header->sectionViewportPosition(column) + 5, 5});
        orders << listed(editor) // the arrow shown as it sorts
               << (header->isSortIndicatorShown() && header->sortIndicatorOrder() == Qt::AscendingOrder ? "up;"
                                                                                                        : "down;");
    }
    QCOMPARE(orders.join(' '), u"B A c E it's unsorted; A B c E it's up; c B E A it's up; it's A E B c down; "
                               "it's A E B c down;"_s);

    // A table of many pages: the first rows and the count at once, the rest as the view scrolls.
    QVERIFY(ExecSql(folder.file("dahdit_db.mdb"), "CREATE TABLE Many (ID INTEGER PRIMARY KEY, MS, TS); WITH RECURSIVE "
                                                  "c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 5000) "
                                                  "INSERT INTO Many (MS, TS) SELECT x, 'w' || x FROM c"));
    folder.writeFile("settings.ini", "[main]\ntable_name=Many\n");
    Form4 many;
    many.show();
    many.ListView1_ColumnClick(0); // by signal, then the other way: asked while the count goes on, it waits for it
    many.ListView1_ColumnClick(0);
    QAbstractItemModel* model = list(many)->model();
    QVERIFY(!model->canFetchMore(QModelIndex())); // meanwhile no page of the new order follows rows of the old
    QAbstractItemModelTester checked(model, QAbstractItemModelTester::FailureReportingMode::QtTest); // Qt's rules
    QSignalSpy counts(model, SIGNAL(counted(qint64))); // once: a count that has ended goes on no more
    QTRY_COMPARE(child<QGroupBox>(many, "Frame1")->title() + ' ' + listed(many).first(),
                 u"Current entries (5000) w999"_s);
    QSignalSpy resets(model, &QAbstractItemModel::modelReset); // once a reload: the view keeps its place as counted
    many.Command3_Click();
    QCOMPARE(std::tuple(resets.count(), model->rowCount() < 5000, counts.count()), std::tuple(1, true, 1));
    QCOMPARE(mkfifo(qPrintable(folder.file("dahdit_db.mdb-journal")), 0600), 0); // a page that cannot be read
    model->fetchMore(QModelIndex());
    QVERIFY(Shown().value(0).startsWith("Dahdit Database Editor|16|Not every entry could be listed.\n\nCannot"));
    QVERIFY(!model->canFetchMore(QModelIndex())); // the list ends there, and is not read again as it scrolls
    QVERIFY(QFile::remove(folder.file("dahdit_db.mdb-journal")));
    many.Command3_Click();
    while (model->canFetchMore(QModelIndex()))
        model->fetchMore(QModelIndex());
    const QStringList shown = listed(many);
    QCOMPARE(std::tuple(shown.first(), shown.last(), shown.size(), QSet(shown.begin(), shown.end()).size()),
             std::tuple("w999", "w1", 5000, 5000)); // every entry once
    many.ListView1_ColumnClick(1);                  // and the window closes with pages still to read
}

void TestEditor::storesOrRefuses_data() {
    QTest::addColumn<QString>("chosen"); // the entry chosen first; none for a new one
    QTest::addColumn<QString>("signal");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("key");      // pressed instead of Add or Edit: Return and Down on the list, others in a box
    QTest::addColumn<QString>("seen"); // see seen(); refused, the texts are kept
    QTest::addColumn<QStringList>("stored"); // the table as stored after
    auto row = [](const char* name, const char* chosen, const QString& signal, const QString& code, const QString& seen,
                  const QStringList& added = {}, Qt::Key key = Qt::Key_unknown) {
        QTest::newRow(name) << QString(chosen) << signal << code << int(key) << seen << kStored + added;
    };
    const QString missing = u" [Error|48|Some data is missing]"_s;
    const QString taken = u" [Error|48|Code is in use for other signal, or the signal already exists]"_s;
    row("no code", "", "X", "", "Add|X|" + missing);
    row("a signal of spaces", "", " ", "..-.", "Add| |..-." + missing);
    row("the code taken", "", "X", ".", "Add|X|." + taken);
    row("the signal taken, once trimmed", "", " E ", "..-.", "Add| E |..-." + taken);
    row("a code with a space, which can never be keyed", "", "Q", ". -", kFresh, {". -=Q"});
    row("edited to another's code", "B", "B", ".", "Edit 1|B|." + taken);
    // Trimmed of spaces only; case and long texts kept; a code need not be Morse.
    row("trimmed", "", "  Q1 ", " -.-.-... ", kFresh, {"-.-.-...=Q1"});
    row("a signal differing in case only", "", "e", "..-..", kFresh, {"..-..=e"});
    const QString longSignal(40000, u'w');
    const QString longCode = QString(40000, u'-') + u'.';
    row("40,000 characters each", "", longSignal, longCode, kFresh, {longCode + '=' + longSignal});
    // Typed, then a key: only Add and Edit store, and Esc never drops the typing unasked.
    row("Esc while adding", "", "X", "..-..", "Add|X|..-..", {}, Qt::Key_Escape);
    row("Esc while editing cancels", "B", "X", "..-..", kFresh, {}, Qt::Key_Escape);
    row("Enter on the list chooses the entry highlighted", "", "X", "..-..", "Edit 2|A|.-", {}, Qt::Key_Return);
    row("an arrow key on the list only highlights", "", "X", "..-..", "Add|X|..-..", {}, Qt::Key_Down);
    row("Enter in a box presses Add", "", "X", "..-..", kFresh, {"..-..=X"}, Qt::Key_Enter);
}

void TestEditor::storesOrRefuses() {
    QFETCH(QString, chosen);
    QFETCH(QString, signal);
    QFETCH(QString, code);
    QFETCH(int, key);
    Folder folder;
    Form4 form;
    form.show();
    if (!chosen.isEmpty()) // clicked
        QTest::mouseClick(list(form)->viewport(), Qt::LeftButton, {},
                          list(form)->visualRect(row(form, chosen)).center());
    list(form)->setCurrentIndex(row(form, "A")); // highlighted, as the arrow keys do, not chosen
    enter(form, signal, code, key == Qt::Key_unknown);
    if (key != Qt::Key_unknown)
        QTest::keyClick(key == Qt::Key_Return || key == Qt::Key_Down ? list(form) : child(form, "Text2"), Qt::Key(key));
    QTEST(seen(form) + (form.isVisible() ? "" : " and closed"), "seen");
    QTEST(stored(folder.db), "stored");
}

void TestEditor::editsAndRemovesTheRowChosen() {
    Folder folder;
    Form4 form;
    // Choosing another entry drops what was typed; Edit with nothing changed is no clash.
    form.ListView1_ItemClick(row(form, "c")), enter(form, "typed", "typed", false);
    form.ListView1_ItemClick(row(form, "B"));
    QCOMPARE(seen(form), u"Edit 1|B|-..."_s);
    form.Command1_Click();
    QCOMPARE(seen(form), kFresh);
    // A code with a space (a row made by other means) can be edited: the note line says it cannot be keyed.
    QVERIFY(ExecSql(folder.db, "UPDATE International SET MS = '. .' WHERE TS = 'E'"));
    form.Command3_Click(), form.ListView1_ItemClick(row(form, "E"));
    QVERIFY(child<QLabel>(form, "Label6")->text().startsWith("This code holds a space, so it can never be keyed"));
    enter(form, "e2", ". .");
    QCOMPARE(seen(form), kFresh);
    QVERIFY(child<QLabel>(form, "Label6")->text().startsWith("Warning: changes made to the database"));
    // Remove asks first: Cancel keeps the entry and what was typed, OK removes it.
    const QString confirm = u" [Confirm Removal|33|Are you sure you want to remove this entry?]"_s;
    form.ListView1_ItemClick(row(form, "c")), enter(form, "changed", "--", false);
    MessageBox::setNextAnswer(MessageBox::Cancel), form.Command2_Click();
    QCOMPARE(seen(form), "Edit 3|changed|--" + confirm);
    QTest::mouseClick(child<QPushButton>(form, "Command2"), Qt::LeftButton);
    QCOMPARE(seen(form), kFresh + confirm);
    QCOMPARE(stored(folder.db), QStringList({"-...=B", ".-=A", ". .=e2", ".----.=it's"}));
    QCOMPARE(child<QGroupBox>(form, "Frame1")->title(), u"Current entries (4)"_s);

    // A store failure keeps what was typed. First the entry being edited removed by other means.
    const QString failed = u" [Dahdit Database Editor|16|"_s;
    form.ListView1_ItemClick(row(form, "B"));
    QVERIFY(ExecSql(folder.db, "DELETE FROM International WHERE TS = 'B'"));
    enter(form, "B", "-...-"), form.ListView1_ItemClick(row(form, "B"));
    QCOMPARE(seen(form, "no longer exists"),
             "Edit 1|B|-...-" + failed + "The entry was not saved. | no longer exists]" + failed +
                 "The entry \"B\" is no longer in the code table \"International\"; it was changed or removed by "
                 "other means while the editor was open. | Close the editor and open it again to see the table as "
                 "it is now.]");
    form.Command3_Click();
    QCOMPARE(seen(form) + (row(form, "B").isValid() ? " and B" : ""), kFresh); // B is gone from the list
    // A reload that fails part way (a pipe as the journal) is told; once the cause is gone, the next one works.
    QCOMPARE(mkfifo(qPrintable(folder.db + "-journal"), 0600), 0);
    form.Command3_Click();
    QCOMPARE(seen(form, "it is a named pipe (FIFO), not a file."),
             kFresh + failed + "The list could not be reloaded. | it is a named pipe (FIFO), not a file.]");
    QVERIFY(QFile::remove(folder.db + "-journal"));
    form.Command3_Click();
    // A disk that fails as the change is committed: nothing is saved, and the editor says why.
    form.ListView1_ItemClick(row(form, "A"));
    {
        const ScopedEnv failing("DAHDIT_FAIL", "fdatasync 5 dahdit_db.mdb");
        enter(form, "A", ".-.-");
    }
    QCOMPARE(std::tuple(seen(form, "disk I/O error."), stored(folder.db).value(0)),
             std::tuple("Edit 2|A|.-.-" + failed + "The entry was not saved. | disk I/O error.]", u".-=A"_s));
    QVERIFY(ExecSql(folder.db, "DROP TABLE International")); // the table dropped: nothing can be checked
    form.Command1_Click();
    QCOMPARE(seen(form, "\"International\" does not exist"),
             "Edit 2|A|.-.-" + failed +
                 "The entry could not be checked against the table, so nothing was saved. | \"International\" does "
                 "not exist]");
    form.Command2_Click(), form.ListView1_ItemClick(row(form, "e2")); // Remove, and another entry chosen, say why not
    const QString gone = " | does not exist]";
    QCOMPARE(seen(form, "does not exist"), "Edit 2|A|.-.-" + confirm + failed + "The entry was not removed." + gone +
                                               failed + "The entry \"e2\" could not be loaded." + gone);
    SqliteConnection other; // held by another program, the file takes no change: the editor says why
    QCOMPARE(OpenSqlite(folder.db.toUtf8(), SQLITE_OPEN_READWRITE, &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other.get(), "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    form.Command1_Click();
    QCOMPARE(seen(form, "is locked by another program"),
             "Edit 2|A|.-.-" + failed + "The entry was not saved. | is locked by another program]");
}

void TestEditor::optionsStoreTheChoice() {
    ProgramFolder folder(true); // installed, with no copy of the tables made yet
    QVERIFY(QFile::remove(folder.file("portable")));
    SetAppPathForTesting(folder.path());
    // Use Default fills in the path only; Cancel stores nothing, and looking makes no copy.
    Options cancelled;
    QCOMPARE(cancelled.path()->text(), DefaultDatabasePath());
    cancelled.path()->setText(u"/typed/elsewhere.mdb"_s);
    cancelled.select(u"Greek"_s);                                                       // one of the installed tables
    QTest::mouseClick(child<QPushButton>(*cancelled.form, "Command3"), Qt::LeftButton); // Use Default
    QCOMPARE(cancelled.path()->text(), DefaultDatabasePath());
    QVERIFY(Shows(cancelled.list()).contains("|Greek*|")); // the tables, the one chosen starred
    QTest::mouseClick(child<QPushButton>(*cancelled.form, "Command2"), Qt::LeftButton);
    QVERIFY(cancelled.closed());
    QCOMPARE(QDir(folder.home()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    // OK stores the path typed and the table chosen, confirms, and closes.
    Options confirmed;
    confirmed.path()->setText(u"/somewhere/else/codes.mdb"_s), confirmed.select(u"German"_s);
    confirmed->Command1_Click();
    QCOMPARE(BytesOf(Module1::SettingsPath()), "[main]\r\ndb_path=/somewhere/else/codes.mdb\r\ntable_name=German\r\n");
    QCOMPARE(std::tuple(Shown(), confirmed.closed()), std::tuple(kConfirmed, true));
    // Nothing listed, and the window says why; Enter presses OK, which keeps the stored table.
    Options w;
    QVERIFY(child<QLabel>(*w.form, "Label2")->text().contains("/somewhere/else/codes.mdb: the file does not exist"));
    QVERIFY(w.list()->isHidden()); // not reached by Tab under the reason
    QTest::keyClick(w.path(), Qt::Key_Return);
    QCOMPARE(std::tuple(Module1::ReadSetting("main", "table_name"), Shown()), std::tuple(u"German"_s, kConfirmed));
    // No copy can be made: the editor lists the installed tables and offers no change; else it makes one, as starts do.
    QVERIFY(Module1::WriteSetting("main", "db_path", DefaultDatabasePath()));
    QVERIFY(QFile(folder.home()).setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    Form1 main; // it reads the installed tables until a copy is made, then the copy, with the changes made there
    {
        Form4 editor;
        QVERIFY(child<QLabel>(editor, "Label6")->text().contains("data/dahdit cannot be made, because"));
        QCOMPARE(std::tuple(row(editor, "A").isValid(), child(editor, "Frame2")->isEnabled()), std::tuple(true, false));
    }
    QVERIFY(QFile(folder.home()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    for (int start = 0; start < 2; ++start) {
        start ? (void)Form1() : (void)Form4();
        QCOMPARE(BytesOf(DefaultDatabasePath()), BytesOf(folder.file("dahdit_db.mdb")));
        QVERIFY(start || ExecSql(DefaultDatabasePath(), "INSERT INTO German (MS, TS) VALUES ('.-.-.-.-', 'Q9')"));
        QCOMPARE(Decode(main, u".-.-.-.- "_s), u"Q9"_s);
        QVERIFY(QFile::remove(DefaultDatabasePath()) && QFile::remove(DefaultDatabasePath() + ".made"));
    }
    // A view stored as the table, in any case, is named as such.
    QVERIFY(ExecSql(folder.file("dahdit_db.mdb"), "CREATE VIEW Loop AS SELECT 1"));
    QVERIFY(Module1::WriteSetting("main", "table_name", "LOOP"));
    QCOMPARE(child<QLabel>(*Options().form, "Label1")->text(), u"Current: LOOP (a view, not a code table)"_s);
}

void TestEditor::optionsRefuseWhatCannotBeKept() {
    // The path typed, the table chosen, the cause told: the settings file read-only, a path longer than a line holds,
    // a table name with a line break (such a table made in the bundled database). The window stays as it was.
    const QList<std::array<QString, 3>> rows = {
        {"/typed/codes.mdb", "Russian", "P/settings.ini: the file is read-only."},
        {'/' + QString(252, u'x') + u"\U0001F600\U0001F600"_s, "Russian",
         "The database path is 255 characters long, more than the settings file holds."},
        {"/typed/codes.mdb", "Line\nBreak", "The table name holds a line break"}};
    for (const auto& [path, table, cause] : rows) {
        ProgramFolder folder(true);
        QVERIFY(ExecSql(folder.file("dahdit_db.mdb"), "CREATE TABLE \"Line\nBreak\" (ID INTEGER PRIMARY KEY, TS, MS)"));
        const QByteArray before = "[main]\r\ntable_name=German\r\n";
        folder.writeFile("settings.ini", before);
        if (cause.contains("read-only"))
            QFile(folder.file("settings.ini")).setPermissions(QFile::ReadOwner);
        Options w;
        w.path()->setText(path), w.select(table);
        w.form->Command1_Click();
        const QString told = Shown().join('\n').replace(folder.path(), "P").simplified(); // the box shown, and why
        QVERIFY2(told.startsWith("Settings Not Saved|48|The settings were not saved. ") && told.contains(cause),
                 qPrintable(told));
        QCOMPARE(w.closed() || !w.form->isVisible() ? u"closed"_s
                                                    : w.path()->text() + " | " + w.list()->currentItem()->text(),
                 path + " | " + table);
        QCOMPARE(folder.readFile("settings.ini"), before);
    }
}

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
