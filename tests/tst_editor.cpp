// The code table editor: its list, its modes, adding, editing and removing entries, the
// refusals, the store failures, and its changes reaching the main window's decoding.
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

QTreeWidget* list(const Form4& form) {
    return child<QTreeWidget>(form, "ListView1");
}
QTreeWidgetItem* row(const Form4& form, const QString& text, int column = 0) {
    return list(form)->findItems(text, Qt::MatchExactly, column).value(0);
}

// The window's mode and typed texts: "Add|signal|code" or "Edit <ID>|signal|code", with "mixed"
// for the mode when its parts (button, frame, Remove and Cancel, the ID) disagree.
QString state(const Form4& form) {
    const bool edit = child<QPushButton>(form, "Command1")->text() == "Edit";
    const QString id = child<QLabel>(form, "Label4")->text();
    const bool agree = child<QGroupBox>(form, "Frame2")->title() == (edit ? "Edit entry" : "New entry") &&
                       (edit || id == "Automatic") && child(form, "Command2")->isHidden() != edit &&
                       child(form, "Command3")->isHidden() != edit;
    const QString mode = !agree ? u"mixed"_s : edit ? "Edit " + id : u"Add"_s;
    return mode + '|' + child<QLineEdit>(form, "Text1")->text() + '|' + child<QLineEdit>(form, "Text2")->text();
}

void enter(Form4& form, const QString& signal, const QString& code, bool press = true) {
    child<QLineEdit>(form, "Text1")->setText(signal);
    child<QLineEdit>(form, "Text2")->setText(code);
    if (press)
        form.Command1_Click();
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
    void refusesBadEntries();
    void addsEditsAndRemoves();
    void worksOnTheRowChosen();
    void keepsTypedTextsWhenTheStoreFails();
    void mainWindowDecodesWithTheEditorsChanges();
};

void TestEditor::saysWhyItCannotOpen() {
    // The window says why in the list's place, and what to do; it offers nothing that would only
    // fail, and its handlers do nothing.
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
}

void TestEditor::refusesBadEntries() {
    Folder folder;
    Form4 form;
    const QString missing = u"Error|48|Some data is missing"_s;
    const QString taken = u"Error|48|Code is in use for other signal, or the signal already exists"_s;
    // The entry chosen first (none for a new entry), the signal and code typed, the refusal.
    const QList<QStringList> cases = {{"", "X", "", missing},      {"", " ", "..-.", missing},  {"", "X", ".", taken},
                                      {"", " E ", "..-.", taken},  {"", "it's", "..-.", taken}, {"B", "B", ".", taken},
                                      {"B", "  ", "-...", missing}};
    for (const QStringList& c : cases) {
        if (!c[0].isEmpty())
            form.ListView1_ItemClick(row(form, c[0]));
        enter(form, c[1], c[2]);
        // Nothing stored, and the window as it was, typed texts included.
        QCOMPARE(Shown(), QStringList(c[3]));
        QCOMPARE(state(form), (c[0].isEmpty() ? u"Add|"_s : u"Edit 1|"_s) + c[1] + '|' + c[2]);
    }
    QCOMPARE(stored(folder.db), kStored);
}

void TestEditor::addsEditsAndRemoves() {
    Folder folder;
    Form4 form;
    form.show();
    // Stored trimmed of spaces (only spaces); another case is another signal; quotes are kept;
    // a code need not be Morse; long texts are stored whole, and come back with the store's ID.
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

    // Choosing another entry drops what was typed. Saved unchanged, an entry does not clash
    // with itself; saved changed, it is trimmed like a new one.
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

    // From the keyboard: arrows only move the highlight; Enter on the list, either key, chooses
    // and presses no button. Esc is Cancel while Cancel is shown, which drops what was typed;
    // without it, Esc does nothing.
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
    enter(form, "K", "-.-", false);
    QTest::keyClick(child(form, "Text1"), Qt::Key_Escape);
    QVERIFY(form.isVisible() && state(form) == "Add|K|-.-" && stored(folder.db).size() == 8);

    // Sorting by column clicks, through the header itself, whose own rule must not win; letters
    // that differ only in case sort side by side, and the sort survives a refill.
    auto sorted = [view](int c) {
        QString out = view->header()->sortIndicatorOrder() == Qt::AscendingOrder ? u"up:"_s : u"down:"_s;
        for (int i = 0; i < view->topLevelItemCount(); ++i)
            out += ' ' + view->topLevelItem(i)->text(c);
        return out;
    };
    form.ListView1_ColumnClick(1);
    const QHeaderView* header = view->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 10, header->height() / 2));
    QVERIFY(sorted(1).startsWith(u"down: ..-.. .----. .- . -... -.-.-... ---"_s));
    form.ListView1_ColumnClick(0);
    enter(form, "ZZ", "--..--");
    QVERIFY(sorted(0).startsWith("down: ZZ " + longSignal + " Q1 o'clock it's ") && sorted(0).endsWith(" b2 A"));
}

void TestEditor::worksOnTheRowChosen() {
    // Rows made by other means: a second B (ID 6) and one without a signal (ID 7). The row chosen
    // is the row loaded, removed and saved.
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
    QVERIFY(state(form) == "Edit 2|A|.-.-" && list(form)->topLevelItemCount() == 4);
}

void TestEditor::mainWindowDecodesWithTheEditorsChanges() {
    ProgramFolder folder(true);
    Form1 main;
    main.DBEditor_Click();
    main.DBEditor_Click();
    QList<Form4*> editors; // one, shown, a window of its own
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* editor = qobject_cast<Form4*>(window))
            editors << editor;
    QVERIFY(editors.size() == 1 && editors[0]->isVisible() && !editors[0]->parent());
    enter(*editors[0], "Q1", "-.-.-...");
    Key(main, "-.-.-...");
    // Edited in the editor, the entry decodes to its new text at the next decode.
    editors[0]->ListView1_ItemClick(row(*editors[0], "Q1"));
    enter(*editors[0], "Q2", "-.-.-...");
    Key(main, ".");
    QCOMPARE(child<QPlainTextEdit>(main, "Text2")->toPlainText(), u"Q2E"_s);
}

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
