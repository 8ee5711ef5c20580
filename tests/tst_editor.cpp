// The code table editor: its list, its modes, adding, editing and removing entries, the
// refusals, the store failures, and its changes reaching the main window's decoding.
#include "testsupport.h"

using namespace Qt::Literals::StringLiterals;

namespace {

const CodeRows kRows = {{"-...", "B"}, {".-", "A"}, {"-.-.", "c"}, {".", "E"}, {".----.", "it's"}};
const QStringList kStored = {"-...=B", ".-=A", "-.-.=c", ".=E", ".----.=it's"}; // IDs 1 to 5
const QString kFresh = u"Add||"_s;                                              // see state()
const QString kMissing = u"Some data is missing"_s;
const QString kTaken = u"Code is in use for other signal, or the signal already exists"_s;

// A fresh program folder whose database holds kRows as the table "International".
struct Folder : ProgramFolder {
    Folder() { MakeCodeTable(db, "International", kRows); }
    const QString db = file("dahdit_db.mdb");
};

QTreeWidget* list(const Form4& form) {
    return child<QTreeWidget>(form, "ListView1");
}
QString caption(const Form4& form, const char* frame) {
    return child<QGroupBox>(form, frame)->title();
}
QTreeWidgetItem* row(const Form4& form, const QString& signal) {
    return list(form)->findItems(signal, Qt::MatchExactly, 0).value(0);
}

// The window's mode and typed texts: "Add|signal|code" or "Edit <ID>|signal|code", with "mixed"
// for the mode when its parts (button, frame, Remove and Cancel, the ID) disagree.
QString state(const Form4& form) {
    const bool edit = child<QPushButton>(form, "Command1")->text() == "Edit";
    const QString id = child<QLabel>(form, "Label4")->text();
    const bool agree = caption(form, "Frame2") == (edit ? "Edit entry" : "New entry") && (edit || id == "Automatic") &&
                       child(form, "Command2")->isHidden() != edit && child(form, "Command3")->isHidden() != edit;
    const QString mode = !agree ? u"mixed"_s : edit ? "Edit " + id : u"Add"_s;
    return mode + '|' + child<QLineEdit>(form, "Text1")->text() + '|' + child<QLineEdit>(form, "Text2")->text();
}

void type(const Form4& form, const QString& signal, const QString& code) {
    child<QLineEdit>(form, "Text1")->setText(signal);
    child<QLineEdit>(form, "Text2")->setText(code);
}
// Types a signal and a code and presses Add or Edit.
void enter(Form4& form, const QString& signal, const QString& code) {
    type(form, signal, code);
    form.Command1_Click();
}

// The list's order as the user sees it: the header's sort indicator, then one column's texts.
QString sorting(const Form4& form, int c) {
    const QHeaderView* header = list(form)->header();
    QString out = QString::number(header->sortIndicatorSection()) +
                  (header->sortIndicatorOrder() == Qt::AscendingOrder ? " up:" : " down:");
    for (int i = 0; i < list(form)->topLevelItemCount(); ++i)
        out += ' ' + list(form)->topLevelItem(i)->text(c);
    return out;
}

// The table as stored: "MS=TS" in ID order.
QStringList stored(const QString& dbPath) {
    CodeTableStore store;
    QVector<CodeTableEntry> rows;
    if (!store.open(dbPath) || !store.ListEntries("International", &rows))
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
    void saysWhyItCannotOpen();
    void refusesBadEntries_data();
    void refusesBadEntries();
    void addsEditsAndRemoves();
    void worksOnTheRowChosen();
    void keepsTypedTextsWhenTheStoreFails();
    void mainWindowDecodesWithTheEditorsChanges();
};

void TestEditor::saysWhyItCannotOpen() {
    // The window says why in the list's place, and what to do, once; it offers nothing that would
    // only fail, and its handlers do nothing.
    auto expectUnavailable = [](const QString& cause) {
        Form4 form;
        const auto* reason = child<QLabel>(form, "Unavailable");
        QVERIFY2(!reason->isHidden() && reason->text().contains(cause), qPrintable(reason->text()));
        QCOMPARE(reason->text().count("Tools, Language"), 1);
        QVERIFY(list(form)->isHidden() && !child(form, "Command1")->isEnabled() && !child(form, "Text1")->isEnabled());
        form.Command1_Click();
        form.Command3_Click();
    };
    ProgramFolder folder;
    expectUnavailable("the file does not exist");
    MakeCodeTable(folder.file("dahdit_db.mdb"), "International", kRows);
    folder.writeFile("settings.ini", "[main]\ntable_name=Klingon\n"); // the table is read from here at every load
    expectUnavailable("\"Klingon\" does not exist");
    folder.writeFile("settings.ini", "[main]\ndb_path=" + folder.file("notes.txt").toUtf8() + "\n");
    folder.writeFile("notes.txt", "not a database, just some words that fill more than a header would");
    expectUnavailable("not an SQLite database");
}

void TestEditor::refusesBadEntries_data() {
    QTest::addColumn<QString>("editing"); // the entry chosen first; none for a new entry
    QTest::addColumn<QString>("signal");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    auto row = [](const char* name, const char* editing, const char* signal, const char* code, const QString& why) {
        QTest::newRow(name) << QString(editing) << QString(signal) << QString(code) << why;
    };
    row("nothing typed", "", "", "", kMissing);
    row("no code", "", "X", "", kMissing);
    row("signal only a space", "", " ", "..-.", kMissing);
    row("code taken", "", "X", ".", kTaken);
    row("taken signal with spaces", "", " E ", "..-.", kTaken);
    row("taken code with spaces", "", "X", "  -...  ", kTaken);
    row("taken signal with a quote", "", "it's", "..-.", kTaken);
    row("edit to another's code", "B", "B", ".", kTaken);
    row("edit to another's signal, spaced", "B", " E", "-...", kTaken);
    row("edit to a blank signal", "B", "  ", "-...", kMissing);
}

void TestEditor::refusesBadEntries() {
    QFETCH(QString, editing);
    QFETCH(QString, signal);
    QFETCH(QString, code);
    QFETCH(QString, message);
    Folder folder;
    Form4 form;
    if (!editing.isEmpty())
        form.ListView1_ItemClick(row(form, editing));
    enter(form, signal, code);
    QCOMPARE(Shown(), QStringList("Error|48|" + message));
    // Nothing stored, and the window as it was, typed texts included.
    QCOMPARE(stored(folder.db), kStored);
    QCOMPARE(state(form), (editing.isEmpty() ? u"Add|"_s : u"Edit 1|"_s) + signal + '|' + code);
}

void TestEditor::addsEditsAndRemoves() {
    Folder folder;
    Form4 form;
    form.show();
    // Stored trimmed of spaces (only spaces); another case is another signal; quotes are kept;
    // a code need not be Morse; long texts are stored whole.
    const QString longSignal(40000, u'w');
    const QString longCode = QString(40000, u'-') + u'.';
    const CodeRows fine = {{"  Q1 ", " -.-.-... "}, {"e", "..-.."}, {"o'clock", "-'-"}, {longSignal, longCode}};
    for (const auto& [signal, code] : fine) {
        enter(form, signal, code);
        QVERIFY(Shown().isEmpty() && state(form) == kFresh);
    }
    QCOMPARE(stored(folder.db),
             kStored + QStringList({"-.-.-...=Q1", "..-..=e", "-'-=o'clock", longCode + '=' + longSignal}));
    QCOMPARE(caption(form, "Frame1"), u"Current entries (9)"_s);
    // A new entry comes back with the ID the store gave it, and whole.
    form.ListView1_ItemClick(row(form, longSignal));
    QVERIFY(state(form) == "Edit 9|" + longSignal + '|' + longCode);

    // Choosing another entry drops what was typed. Saved unchanged, an entry does not clash
    // with itself; saved changed, it is trimmed like a new one.
    type(form, "typed", "typed");
    form.ListView1_ItemClick(row(form, "B"));
    QCOMPARE(state(form), u"Edit 1|B|-..."_s);
    form.Command1_Click();
    QVERIFY(Shown().isEmpty() && state(form) == kFresh);
    form.ListView1_ItemClick(row(form, "B"));
    enter(form, " b2 ", "-... ");
    QVERIFY(Shown().isEmpty() && state(form) == kFresh && row(form, "b2") && !row(form, "B"));
    QCOMPARE(stored(folder.db).first(), u"-...=b2"_s);

    // Remove asks first: Cancel keeps the entry and what was typed, OK removes it. In new-entry
    // mode there is nothing to remove.
    form.Command2_Click();
    QVERIFY(Shown().isEmpty());
    const QStringList confirm = {u"Confirm Removal|33|Are you sure you want to remove this entry?"_s};
    form.ListView1_ItemClick(row(form, "c"));
    type(form, "changed", "--");
    MessageBox::setNextAnswer(MessageBox::Cancel);
    form.Command2_Click();
    QVERIFY(Shown() == confirm && state(form) == "Edit 3|changed|--" && stored(folder.db).contains("-.-.=c"));
    form.Command2_Click();
    QCOMPARE(Shown(), confirm);
    QVERIFY(state(form) == kFresh && !row(form, "c") && !stored(folder.db).contains("-.-.=c"));
    QCOMPARE(caption(form, "Frame1"), u"Current entries (8)"_s);

    // Cancel drops what was typed and stores nothing.
    form.ListView1_ItemClick(row(form, "A"));
    type(form, "Z", "--..");
    form.Command3_Click();
    QVERIFY(state(form) == kFresh && stored(folder.db).size() == 8);
    // From the keyboard: arrows only move the highlight; Enter on the list, either key, chooses
    // and presses no button. Esc is Cancel while Cancel is shown; without it, Esc does nothing
    // (the window stays open and keeps what was typed). Enter in a box presses Add.
    QTreeWidget* view = list(form);
    view->setCurrentItem(row(form, "A"));
    QTest::keyClick(view, Qt::Key_Down);
    QVERIFY(view->currentItem() == row(form, "b2") && state(form) == kFresh);
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(state(form), u"Edit 1|b2|-..."_s);
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(state(form), u"Edit 4|E|."_s);
    QTest::keyClick(view, Qt::Key_Escape);
    QCOMPARE(state(form), kFresh);
    type(form, "K", "-.-");
    QTest::keyClick(child(form, "Text1"), Qt::Key_Escape);
    QVERIFY(form.isVisible() && state(form) == "Add|K|-.-" && stored(folder.db).size() == 8);
    QTest::keyClick(child(form, "Text2"), Qt::Key_Return);
    QVERIFY(Shown().isEmpty() && state(form) == kFresh && stored(folder.db).last() == "-.-=K");

    // Sorting by column clicks, through the header itself, whose own rule must not win; letters
    // that differ only in case sort side by side, and the sort survives a refill.
    const QHeaderView* header = list(form)->header();
    auto clickHeader = [header](int c) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(c) + 10, header->height() / 2));
    };
    form.ListView1_ColumnClick(1);
    QVERIFY(sorting(form, 1).startsWith(u"1 up: -'- ---"_s));
    clickHeader(1);
    QVERIFY(sorting(form, 1).startsWith(u"1 down: ..-.. .----. .- . -... -.-.-... -.- ---"_s));
    clickHeader(0);
    QVERIFY(sorting(form, 0).startsWith(u"0 down: www"_s));
    form.ListView1_ColumnClick(0);
    enter(form, "ZZ", "--..--");
    QVERIFY(sorting(form, 0).startsWith(u"0 up: A b2 E e it's K o'clock Q1 www"_s) && sorting(form, 0).endsWith(" ZZ"));
}

void TestEditor::worksOnTheRowChosen() {
    // Rows made by other means: a second B (ID 6) and one without a signal (ID 7). The row chosen
    // is the row loaded, removed and saved.
    Folder folder;
    QVERIFY(ExecSql(folder.db, "INSERT INTO International (MS, TS) VALUES ('--..', 'B'), ('...', NULL)"));
    Form4 form;
    auto byCode = [&form](const QString& code) { return list(form)->findItems(code, Qt::MatchExactly, 1).value(0); };
    form.ListView1_ItemClick(byCode("--.."));
    QCOMPARE(state(form), u"Edit 6|B|--.."_s);
    form.Command2_Click();
    Shown();
    QCOMPARE(stored(folder.db), kStored + QStringList("...="));
    form.ListView1_ItemClick(byCode("..."));
    QCOMPARE(state(form), u"Edit 7||..."_s);
    enter(form, "S", "...");
    QVERIFY(Shown().isEmpty());
    QCOMPARE(stored(folder.db), kStored + QStringList("...=S"));
}

void TestEditor::keepsTypedTextsWhenTheStoreFails() {
    Folder folder;
    Form4 form;
    // The entry being edited removed by other means.
    form.ListView1_ItemClick(row(form, "B"));
    QVERIFY(ExecSql(folder.db, "DELETE FROM International WHERE TS = 'B'"));
    enter(form, "B", "-...-");
    expectFailure("The entry was not saved.", "no longer exists");
    form.ListView1_ItemClick(row(form, "B"));
    expectFailure("The entry \"B\" is no longer in the code table \"International\"", "open it again");
    QCOMPARE(state(form), u"Edit 1|B|-...-"_s);
    form.Command3_Click();
    QVERIFY(state(form) == kFresh && !row(form, "B"));

    // The table dropped: nothing can be checked, loaded, removed or reloaded.
    form.ListView1_ItemClick(row(form, "A"));
    QVERIFY(ExecSql(folder.db, "DROP TABLE International"));
    enter(form, "A", ".-.-");
    expectFailure("The entry could not be checked", "\"International\" does not exist");
    form.Command2_Click();
    const QStringList boxes = Shown(); // the confirmation, then the failure
    QVERIFY2(boxes.size() == 2 && boxes[1].contains("|The entry was not removed."), qPrintable(boxes.join('\n')));
    form.ListView1_ItemClick(row(form, "E"));
    expectFailure("The entry \"E\" could not be loaded.", "does not exist");
    form.Command3_Click();
    expectFailure("The list could not be reloaded.", "does not exist");
    QVERIFY(state(form) == "Edit 2|A|.-.-" && caption(form, "Frame1") == "Current entries (4)");
}

void TestEditor::mainWindowDecodesWithTheEditorsChanges() {
    ProgramFolder folder(true);
    Form1 main;
    main.DBEditor_Click();
    main.DBEditor_Click();
    QList<Form4*> editors; // one, shown, a window of its own
    for (QWidget* window : QApplication::topLevelWidgets())
        editors << qobject_cast<Form4*>(window);
    editors.removeAll(nullptr);
    QCOMPARE(editors.size(), 1);
    Form4& editor = *editors.first();
    QVERIFY(editor.isVisible() && !editor.parent());
    enter(editor, "Q1", "-.-.-...");
    Key(main, "-.-.-...");
    QCOMPARE(child<QPlainTextEdit>(main, "Text2")->toPlainText(), u"Q1"_s);
    // Edited in the editor, the entry decodes to its new text at the next decode.
    editor.ListView1_ItemClick(row(editor, "Q1"));
    enter(editor, "Q2", "-.-.-...");
    Key(main, ".");
    QCOMPARE(child<QPlainTextEdit>(main, "Text2")->toPlainText(), u"Q2E"_s);
}

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
