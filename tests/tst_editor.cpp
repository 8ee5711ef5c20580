// The code table editor: adding, editing and removing entries, refusals and store failures.
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

const auto list = [](const Form4& form) { return child<QTreeWidget>(form, "ListView1"); };
const auto row = [](const Form4& form, const QString& text, int column = 0) {
    return list(form)->findItems(text, Qt::MatchExactly, column).value(0);
};

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

// A mnemonic in every caption of the window's buttons and menus, as KDE's accelerator manager puts
// there in programs that set none, and again after every change the program makes.
void Mark(QWidget& window) {
    for (auto* button : window.findChildren<QAbstractButton*>())
        button->setText(button->text().contains('&') ? button->text() : '&' + button->text());
    for (auto* action : window.findChildren<QAction*>())
        action->setText(action->text().contains('&') ? action->text() : '&' + action->text());
}

void enter(Form4& form, const QString& signal, const QString& code, bool press = true) {
    child<QLineEdit>(form, "Text1")->setText(signal);
    child<QLineEdit>(form, "Text2")->setText(code);
    Mark(form); // the window goes by its mode, whatever its captions say
    if (press)
        form.Command1_Click();
}

// The table as stored: "MS=TS" in ID order.
QStringList stored(const QString& dbPath) {
    CodeTableStore store;
    QVector<CodeTableEntry> rows;
    if (!store.open(dbPath) || !ListEntries(store, "International", &rows))
        qFatal("cannot read the test table");
    QStringList out;
    for (const auto& entry : rows)
        out << entry.ms + '=' + entry.ts;
    return out;
}

// One store failure, told in the editor's own title: what was not done, then why.
void expectFailure(const QString& lead, const QString& cause) {
    const QStringList boxes = Shown();
    QVERIFY2(boxes.size() == 1 && boxes[0].startsWith("Dahdit Database Editor|16|" + lead) && boxes[0].contains(cause),
             qPrintable(boxes.join('\n')));
}

} // namespace

class TestEditor : public WindowTest {
    Q_OBJECT
private slots:
    void opensOrSaysWhyNot();
    void readsTheInstalledTablesUntilACopyCanBeMade();
    void refusesAddsEditsAndRemoves();
    void worksOnTheRowChosen();
};

void TestEditor::opensOrSaysWhyNot() {
    // The reason in the list's place, with what to do; nothing offered that would only fail.
    auto expectUnavailable = [](const QString& cause) {
        Form4 form;
        const auto* reason = child<QLabel>(form, "Unavailable");
        QVERIFY2(!reason->isHidden() && reason->text().contains(cause) && reason->text().count("Tools, Language") == 1,
                 qPrintable(reason->text()));
        QVERIFY(list(form)->isHidden() && !child(form, "Command1")->isEnabled() && !child(form, "Text1")->isEnabled());
        form.Command1_Click();
        form.Command3_Click();
    };
    ProgramFolder folder;
    expectUnavailable("the file does not exist");
    MakeCodeTable(folder.file("dahdit_db.mdb"), "International", kRows);
    folder.writeFile("settings.ini", "[main]\ntable_name=Klingon\n"); // the table is read from here at every load
    expectUnavailable("\"Klingon\" does not exist");

    // Opened from the main window, once however often asked, its changes reach the decoding.
    QVERIFY(QFile::remove(folder.file("settings.ini")));
    Form1 main;
    Mark(main);
    main.DBEditor_Click();
    main.DBEditor_Click();
    QList<Form4*> editors; // one, shown, a window of its own
    for (QWidget* window : QApplication::topLevelWidgets())
        editors << qobject_cast<Form4*>(window);
    editors.removeAll(nullptr);
    QVERIFY(editors.size() == 1 && editors[0]->isVisible() && !editors[0]->parent());
    enter(*editors[0], "Q1", "-.-.-...");
    Key(main, "-.-.-...");
    editors[0]->ListView1_ItemClick(row(*editors[0], "Q1")); // edited, it decodes to its new text at the next decode
    enter(*editors[0], "Q2", "-.-.-...");
    Key(main, ".");
    QCOMPARE(child<QPlainTextEdit>(main, "Text2")->toPlainText(), u"Q2E"_s);

    // A long listing (each row slow to come, as from a slow disk) shows how far it has come and can
    // be stopped, which lists the entries read so far; Cancel reads the table again, to its end.
    QVERIFY(ExecSql(folder.file("dahdit_db.mdb"),
                    "CREATE TABLE Slow (ID INTEGER PRIMARY KEY, TS TEXT); WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL "
                    "SELECT x + 1 FROM c WHERE x < 2000) INSERT INTO Slow (TS) SELECT 'x' || x FROM c; ALTER TABLE "
                    "Slow ADD COLUMN MS TEXT GENERATED ALWAYS AS (length(hex(zeroblob(500000 + ID))))"));
    folder.writeFile("settings.ini", "[main]\ntable_name=Slow\n");
    Form4 slow;
    auto* progress = child<QProgressDialog>(slow, "Progress");
    QVERIFY2(progress->isVisible() && progress->labelText().contains("\"Slow\": "), qPrintable(progress->labelText()));
    progress->findChild<QPushButton*>()->click(); // Stop
    const int read = list(slow)->topLevelItemCount();
    QVERIFY(read > 0 && read < 2000);
    QCOMPARE(child<QGroupBox>(slow, "Frame1")->title(), u"Current entries (first %1; stopped)"_s.arg(read));
    slow.Command3_Click();
    QTRY_COMPARE_WITH_TIMEOUT(child<QGroupBox>(slow, "Frame1")->title(), u"Current entries (2000)"_s, 60000);
}

void TestEditor::readsTheInstalledTablesUntilACopyCanBeMade() {
    ProgramFolder folder(true); // installed, and a home that cannot be written
    QVERIFY(QFile::remove(folder.file("portable")));
    for (const QString& path : {folder.path(), folder.home()})
        QVERIFY(QFile(path).setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    Form1 main;
    QVERIFY(Shown().join("").contains("Dahdit cannot keep its settings"));
    auto editor = std::make_unique<Form4>(); // says why nothing can be changed, and offers nothing
    QVERIFY(child<QLabel>(*editor, "Label6")->text().contains(folder.home() + "/data/dahdit cannot be made, because"));
    QVERIFY(list(*editor)->topLevelItemCount() == 56 && !child(*editor, "Frame2")->isEnabled());
    // The home writable again, the next editor makes the copy, and the main window follows to it.
    QVERIFY(QFile(folder.home()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    editor = std::make_unique<Form4>();
    enter(*editor, "Q1", "-.-.-...");
    Key(main, "-.-.-...");
    QCOMPARE(child<QPlainTextEdit>(main, "Text2")->toPlainText(), u"Q1"_s);
}

void TestEditor::refusesAddsEditsAndRemoves() {
    Folder folder;
    Form4 form;
    const QString missing = u"Error|48|Some data is missing"_s;
    const QString taken = u"Error|48|Code is in use for other signal, or the signal already exists"_s;
    const QString spaced = u"Error|48|A code cannot hold a space: keyed Morse splits into symbols at spaces, so this "
                           u"code could never be decoded"_s;
    // The entry chosen first (none for new), signal and code typed, the refusal; nothing stored, texts kept.
    const QList<QStringList> cases = {{"", "X", "", missing},      {"", " ", "..-.", missing}, {"", "X", ".", taken},
                                      {"", " E ", "..-.", taken},  {"", "Q", ". -", spaced},   {"B", "B", ".", taken},
                                      {"B", "  ", "-...", missing}};
    for (const QStringList& c : cases) {
        if (!c[0].isEmpty())
            form.ListView1_ItemClick(row(form, c[0]));
        enter(form, c[1], c[2]);
        QCOMPARE(Shown(), QStringList(c[3]));
        QCOMPARE(state(form), (c[0].isEmpty() ? u"Add|"_s : u"Edit 1|"_s) + c[1] + '|' + c[2]);
    }
    QCOMPARE(stored(folder.db), kStored);
    form.Command3_Click();
    form.show();

    // Trimmed of spaces only; case, quotes and long texts kept; a code need not be Morse.
    const QString longSignal(40000, u'w');
    const QString longCode = QString(40000, u'-') + u'.';
    const CodeRows fine = {{"  Q1 ", " -.-.-... "}, {"e", "..-.."}, {"o'clock", "-'-"}, {longSignal, longCode}};
    for (const auto& [signal, code] : fine) {
        enter(form, signal, code);
        QVERIFY(Shown().isEmpty() && state(form) == kFresh);
    }
    QCOMPARE(stored(folder.db),
             kStored + QStringList({"-.-.-...=Q1", "..-..=e", "-'-=o'clock", longCode + '=' + longSignal}));
    form.ListView1_ItemClick(row(form, longSignal));
    QVERIFY(state(form) == "Edit 9|" + longSignal + '|' + longCode);

    // Choosing another entry drops what was typed; an entry does not clash with itself.
    enter(form, "typed", "typed", false);
    form.ListView1_ItemClick(row(form, "B"));
    QCOMPARE(state(form), u"Edit 1|B|-..."_s);
    form.Command1_Click();
    QVERIFY(Shown().isEmpty() && state(form) == kFresh);
    form.ListView1_ItemClick(row(form, "B"));
    enter(form, " b2 ", "-... ");
    QVERIFY(Shown().isEmpty() && state(form) == kFresh && row(form, "b2") && stored(folder.db).first() == "-...=b2");

    // Remove asks first: Cancel keeps the entry and what was typed, OK removes it.
    const QStringList confirm = {u"Confirm Removal|33|Are you sure you want to remove this entry?"_s};
    form.ListView1_ItemClick(row(form, "c"));
    enter(form, "changed", "--", false);
    MessageBox::setNextAnswer(MessageBox::Cancel);
    form.Command2_Click();
    QVERIFY(Shown() == confirm && state(form) == "Edit 3|changed|--" && stored(folder.db).contains("-.-.=c"));
    form.Command2_Click();
    QVERIFY(Shown() == confirm && state(form) == kFresh && !row(form, "c") && !stored(folder.db).contains("-.-.=c"));
    QCOMPARE(child<QGroupBox>(form, "Frame1")->title(), u"Current entries (8)"_s);
}

void TestEditor::worksOnTheRowChosen() {
    // Rows made by other means, a second B (ID 6) and one without a signal: the row chosen is used.
    Folder folder;
    QVERIFY(ExecSql(folder.db, "INSERT INTO International (MS, TS) VALUES ('--..', 'B'), ('...', NULL)"));
    Form4 form;
    form.ListView1_ItemClick(row(form, "--..", 1));
    QCOMPARE(state(form), u"Edit 6|B|--.."_s);
    form.Command2_Click();
    Shown();
    form.ListView1_ItemClick(row(form, "...", 1));
    QCOMPARE(state(form), u"Edit 7||..."_s);
    enter(form, "S", "...");
    QVERIFY(Shown().isEmpty() && stored(folder.db) == kStored + QStringList("...=S"));

    // A store failure keeps what was typed. First the entry being edited removed by other means.
    form.ListView1_ItemClick(row(form, "B"));
    QVERIFY(ExecSql(folder.db, "DELETE FROM International WHERE TS = 'B'"));
    enter(form, "B", "-...-");
    expectFailure("The entry was not saved.", "no longer exists");
    form.ListView1_ItemClick(row(form, "B"));
    expectFailure("The entry \"B\" is no longer in the code table \"International\"", "open it again");
    QCOMPARE(state(form), u"Edit 1|B|-...-"_s);
    form.Command3_Click();
    QVERIFY(state(form) == kFresh && !row(form, "B"));
    // A reload that fails part way (a pipe as the journal) is told; once the cause is gone, the next one works.
    QCOMPARE(mkfifo(qPrintable(folder.db + "-journal"), 0600), 0);
    form.Command3_Click();
    expectFailure("The list could not be reloaded.", "it is a named pipe (FIFO), not a file.");
    QVERIFY(QFile::remove(folder.db + "-journal") &&
            ExecSql(folder.db, "INSERT INTO International (MS, TS) VALUES ('..--..', 'Z')"));
    form.Command3_Click();
    QVERIFY(row(form, "Z"));
    // The table dropped: nothing can be checked.
    form.ListView1_ItemClick(row(form, "A"));
    QVERIFY(ExecSql(folder.db, "DROP TABLE International"));
    enter(form, "A", ".-.-");
    expectFailure("The entry could not be checked", "\"International\" does not exist");
    QVERIFY(state(form) == "Edit 2|A|.-.-" && list(form)->topLevelItemCount() == 6);
}

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
