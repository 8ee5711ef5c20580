// The code table editor: its list, its modes, adding, editing and removing entries, the
// refusals, the store failures, and its changes reaching the main window's decoding.
#include "codetablestore.h"
#include "form1.h"
#include "form4.h"
#include "messagebox.h"
#include "testsupport.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <sqlite3.h>

namespace {

const CodeRows kRows = {{"-...", "B"}, {".-", "A"}, {"-.-.", "c"}, {".", "E"}, {".----.", "it's"}};

template <typename T> T* child(const QWidget& form, const char* name) {
    T* control = form.findChild<T*>(QLatin1String(name));
    if (!control)
        qFatal("no control %s", name);
    return control;
}
QTreeWidget* list(const Form4& form) {
    return child<QTreeWidget>(form, "ListView1");
}
QPushButton* button(const Form4& form, const char* name) {
    return child<QPushButton>(form, name);
}
QString caption(const Form4& form, const char* name) {
    return child<QGroupBox>(form, name)->title();
}
QString label(const Form4& form, const char* name) {
    return child<QLabel>(form, name)->text();
}
QLineEdit* box(const Form4& form, const char* name) {
    return child<QLineEdit>(form, name);
}

QStringList column(const Form4& form, int c) {
    QStringList texts;
    for (int i = 0; i < list(form)->topLevelItemCount(); ++i)
        texts << list(form)->topLevelItem(i)->text(c);
    return texts;
}

QTreeWidgetItem* row(const Form4& form, const QString& signal) {
    const auto found = list(form)->findItems(signal, Qt::MatchExactly, 0);
    return found.isEmpty() ? nullptr : found.first();
}

void type(const Form4& form, const QString& signal, const QString& code) {
    box(form, "Text1")->setText(signal);
    box(form, "Text2")->setText(code);
}

bool inEditMode(const Form4& form) {
    return button(form, "Command1")->text() == "Edit" && caption(form, "Frame2") == "Edit entry" &&
           !button(form, "Command2")->isHidden() && !button(form, "Command3")->isHidden();
}

bool inNewEntryMode(const Form4& form) {
    return button(form, "Command1")->text() == "Add" && caption(form, "Frame2") == "New entry" &&
           label(form, "Label4") == "Automatic" && button(form, "Command2")->isHidden() &&
           button(form, "Command3")->isHidden() && box(form, "Text1")->text().isEmpty() &&
           box(form, "Text2")->text().isEmpty();
}

// The table as stored: "MS=TS" in ID order.
QStringList stored(const QString& dbPath, const QString& table = QStringLiteral("International")) {
    CodeTableStore store;
    QVector<CodeTableEntry> rows;
    if (!store.open(dbPath) || !store.ListEntries(table, &rows))
        qFatal("cannot read the test table");
    QStringList out;
    for (const auto& entry : rows)
        out << entry.ms + '=' + entry.ts;
    return out;
}

// One message box, as it was asked to show.
void expectMessage(const QString& text, const QString& title, int style) {
    const auto shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().text, text);
    QCOMPARE(shown.first().title, title);
    QCOMPARE(shown.first().style, style);
}

// A store failure: said in the editor's own title, naming the cause.
void expectFailure(const QString& lead, const QString& cause) {
    const auto shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().text.startsWith(lead), qPrintable(shown.first().text));
    QVERIFY2(shown.first().text.contains(cause), qPrintable(shown.first().text));
    QCOMPARE(shown.first().title, QStringLiteral("Dahdit Database Editor"));
    QCOMPARE(shown.first().style, int(MessageBox::Critical));
}

const QString kMissing = QStringLiteral("Some data is missing");
const QString kTaken = QStringLiteral("Code is in use for other signal, or the signal already exists");

} // namespace

class TestEditor : public QObject {
    Q_OBJECT
private slots:
    void init() { MessageBox::setTestMode(true); }
    void cleanup() {
        MessageBox::takeShown();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }
    void opensOnTheCurrentTable();
    void addsEntriesAndRefusesBadOnes();
    void editsEntries();
    void removesAndCancels();
    void sortsByColumnClicks();
    void worksFromTheKeyboard();
    void saysWhyItCannotOpen();
    void keepsTypedTextsWhenTheStoreFails();
    void mainWindowDecodesWithTheEditorsChanges();
};

void TestEditor::opensOnTheCurrentTable() {
    ProgramFolder folder;
    const QString db = folder.file("dahdit_db.mdb");
    MakeCodeTable(db, "International", kRows);
    MakeCodeTable(db, "Empty", {});
    {
        Form4 form;
        QCOMPARE(caption(form, "Frame1"), QStringLiteral("Current entries (5)"));
        QVERIFY(inNewEntryMode(form));
        // Sorted by signal from the start; case does not separate "c" from the capitals.
        QCOMPARE(column(form, 0), QStringList({"A", "B", "c", "E", "it's"}));
        QCOMPARE(column(form, 1), QStringList({".-", "-...", "-.-.", ".", ".----."}));

        // The focus starts on the list and goes round the shown controls in their order.
        auto tabOrder = [&form] {
            QStringList order;
            for (QWidget* w = list(form)->nextInFocusChain(); w != list(form); w = w->nextInFocusChain())
                if ((w->focusPolicy() & Qt::TabFocus) && !w->isHidden())
                    order << w->objectName();
            return order;
        };
        QCOMPARE(form.focusWidget(), list(form));
        QCOMPARE(tabOrder(), QStringList({"Text1", "Text2", "Command1"}));

        // A quote in a signal does not upset the lookup.
        form.ListView1_ItemClick(row(form, "it's"));
        QCOMPARE(box(form, "Text1")->text(), QStringLiteral("it's"));
        QCOMPARE(box(form, "Text2")->text(), QStringLiteral(".----."));
        QCOMPARE(label(form, "Label4"), QStringLiteral("5"));
        QCOMPARE(tabOrder(), QStringList({"Text1", "Text2", "Command1", "Command2", "Command3"}));
    }
    // The table is read from the settings at every load.
    folder.writeFile("settings.ini", "[main]\ntable_name=Empty\n");
    Form4 empty;
    QCOMPARE(empty.TableName, QStringLiteral("Empty"));
    QCOMPARE(caption(empty, "Frame1"), QStringLiteral("Current entries (0)"));
    QCOMPARE(list(empty)->topLevelItemCount(), 0);
    QVERIFY(inNewEntryMode(empty));
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestEditor::addsEntriesAndRefusesBadOnes() {
    ProgramFolder folder;
    const QString db = folder.file("dahdit_db.mdb");
    MakeCodeTable(db, "International", kRows);
    const QStringList before = stored(db);
    Form4 form;

    const QList<QPair<QString, QString>> blanks = {{"", ""}, {"   ", "  "}, {"X", ""}, {"", "..-."}, {" ", "..-."}};
    for (const auto& [signal, code] : blanks) {
        type(form, signal, code);
        form.Command1_Click();
        expectMessage(kMissing, "Error", 48);
        QCOMPARE(box(form, "Text1")->text(), signal);
        QCOMPARE(box(form, "Text2")->text(), code);
    }
    // Taken codes and signals, also when typed with spaces around them or with a quote.
    const QList<QPair<QString, QString>> taken = {{"E", "."},        {"X", "."},       {"E", "..-..."}, {" E ", "..-."},
                                                  {"X", "  -...  "}, {"it's", "..-."}, {"Y", ".----."}};
    for (const auto& [signal, code] : taken) {
        type(form, signal, code);
        form.Command1_Click();
        expectMessage(kTaken, "Error", 48);
        QCOMPARE(box(form, "Text1")->text(), signal);
        QCOMPARE(button(form, "Command1")->text(), QStringLiteral("Add"));
    }
    QCOMPARE(stored(db), before);

    // Stored trimmed of spaces (only spaces), letters of another case are another signal, quotes
    // are kept, and a code need not be Morse.
    const QList<QPair<QString, QString>> fine = {
        {"  Q1 ", " -.-.-... "}, {"e", "..-.."}, {"o'clock", "-'-"}, {"two words", "dah dit"}};
    for (const auto& [signal, code] : fine) {
        type(form, signal, code);
        form.Command1_Click();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(inNewEntryMode(form));
    }
    QCOMPARE(stored(db), before + QStringList({"-.-.-...=Q1", "..-..=e", "-'-=o'clock", "dah dit=two words"}));
    QCOMPARE(caption(form, "Frame1"), QStringLiteral("Current entries (9)"));
    QVERIFY(row(form, "Q1"));

    // The new entry is there with the ID the store gave it.
    form.ListView1_ItemClick(row(form, "Q1"));
    QCOMPARE(label(form, "Label4"), QStringLiteral("6"));
    form.Command3_Click();
    // A quote in a taken code or signal is still found.
    type(form, "o'clock", "---...");
    form.Command1_Click();
    expectMessage(kTaken, "Error", 48);
    type(form, "Z", "-'-");
    form.Command1_Click();
    expectMessage(kTaken, "Error", 48);
}

void TestEditor::editsEntries() {
    ProgramFolder folder;
    const QString db = folder.file("dahdit_db.mdb");
    MakeCodeTable(db, "International", kRows);
    const QStringList before = stored(db);
    Form4 form;

    // A click loads the entry; typing and clicking another entry drops what was typed.
    form.ListView1_ItemClick(row(form, "A"));
    type(form, "typed", "typed");
    form.ListView1_ItemClick(row(form, "B"));
    QVERIFY(inEditMode(form));
    QCOMPARE(label(form, "Label4"), QStringLiteral("1"));
    QCOMPARE(box(form, "Text1")->text(), QStringLiteral("B"));
    QCOMPARE(box(form, "Text2")->text(), QStringLiteral("-..."));

    // Unchanged: accepted, since the entry's own row does not count.
    form.Command1_Click();
    QVERIFY(MessageBox::takeShown().isEmpty());
    QVERIFY(inNewEntryMode(form));
    QCOMPARE(stored(db), before);

    // Taking another entry's code or signal is refused; the window stays as it was.
    const QList<QPair<QString, QString>> taken = {{"B", "."}, {" E", "-..."}, {"B", " .- "}};
    form.ListView1_ItemClick(row(form, "B"));
    for (const auto& [signal, code] : taken) {
        type(form, signal, code);
        form.Command1_Click();
        expectMessage(kTaken, "Error", 48);
        QVERIFY(inEditMode(form));
        QCOMPARE(label(form, "Label4"), QStringLiteral("1"));
        QCOMPARE(box(form, "Text1")->text(), signal);
        QCOMPARE(box(form, "Text2")->text(), code);
    }
    type(form, "  ", "-...");
    form.Command1_Click();
    expectMessage(kMissing, "Error", 48);
    QVERIFY(inEditMode(form));

    type(form, " b2 ", "-... ");
    form.Command1_Click();
    QVERIFY(MessageBox::takeShown().isEmpty());
    QVERIFY(inNewEntryMode(form));
    QCOMPARE(stored(db).first(), QStringLiteral("-...=b2"));
    QVERIFY(row(form, "b2") && !row(form, "B"));
    QCOMPARE(caption(form, "Frame1"), QStringLiteral("Current entries (5)"));
}

void TestEditor::removesAndCancels() {
    ProgramFolder folder;
    const QString db = folder.file("dahdit_db.mdb");
    MakeCodeTable(db, "International", kRows);
    const QStringList before = stored(db);
    Form4 form;

    // Remove has nothing to remove in new-entry mode.
    form.Command2_Click();
    QVERIFY(MessageBox::takeShown().isEmpty());

    form.ListView1_ItemClick(row(form, "c"));
    type(form, "changed", "--");
    MessageBox::setNextAnswer(MessageBox::Cancel);
    form.Command2_Click();
    expectMessage("Are you sure you want to remove this entry?", "Confirm Removal", 33);
    QCOMPARE(stored(db), before);
    QVERIFY(inEditMode(form));
    QCOMPARE(box(form, "Text1")->text(), QStringLiteral("changed"));

    MessageBox::setNextAnswer(MessageBox::Ok);
    form.Command2_Click();
    expectMessage("Are you sure you want to remove this entry?", "Confirm Removal", 33);
    QVERIFY(!stored(db).contains("-.-.=c"));
    QCOMPARE(stored(db).size(), before.size() - 1);
    QCOMPARE(caption(form, "Frame1"), QStringLiteral("Current entries (4)"));
    QVERIFY(!row(form, "c"));
    QVERIFY(inNewEntryMode(form));

    // Cancel drops what was typed and changes nothing stored.
    form.ListView1_ItemClick(row(form, "A"));
    type(form, "Z", "--..");
    form.Command3_Click();
    QVERIFY(inNewEntryMode(form));
    QCOMPARE(stored(db).size(), before.size() - 1);
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestEditor::sortsByColumnClicks() {
    ProgramFolder folder;
    const QString db = folder.file("dahdit_db.mdb");
    MakeCodeTable(db, "International", {{"-...", "B"}, {".-", "a"}, {"--", "A"}, {"-.-.", "C"}});
    auto* form = new Form4;
    form->show();
    QHeaderView* header = list(*form)->header();
    auto indicator = [&] { return qMakePair(header->sortIndicatorSection(), header->sortIndicatorOrder()); };
    const QStringList signalsUp = {"A", "a", "B", "C"};
    const QStringList codesUp = {"--", "-.-.", "-...", ".-"};
    auto reversed = [](QStringList texts) {
        std::reverse(texts.begin(), texts.end());
        return texts;
    };

    QCOMPARE(column(*form, 0), signalsUp);
    QCOMPARE(indicator(), qMakePair(0, Qt::AscendingOrder));
    form->ListView1_ColumnClick(0);
    QCOMPARE(column(*form, 0), reversed(signalsUp));
    form->ListView1_ColumnClick(0);
    QCOMPARE(column(*form, 0), signalsUp);
    form->ListView1_ColumnClick(1);
    QCOMPARE(column(*form, 1), codesUp);
    QCOMPARE(indicator(), qMakePair(1, Qt::AscendingOrder));
    // Through the header itself, whose own rule must not win.
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 10, header->height() / 2));
    QCOMPARE(column(*form, 1), reversed(codesUp));
    QCOMPARE(indicator(), qMakePair(1, Qt::DescendingOrder));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 10, header->height() / 2));
    QCOMPARE(column(*form, 0), reversed(signalsUp));
    QCOMPARE(indicator(), qMakePair(0, Qt::DescendingOrder));

    // The sort survives a refill with a new row, and lasts only as long as the window.
    type(*form, "D", "-..");
    form->Command1_Click();
    QCOMPARE(column(*form, 0), QStringList({"D", "C", "B", "a", "A"}));
    QPointer<Form4> closed(form);
    form->close();
    QTRY_VERIFY(closed.isNull());
    Form4 again;
    QCOMPARE(column(again, 0), QStringList({"A", "a", "B", "C", "D"}));
    QCOMPARE(list(again)->header()->sortIndicatorOrder(), Qt::AscendingOrder);
}

void TestEditor::worksFromTheKeyboard() {
    ProgramFolder folder;
    const QString db = folder.file("dahdit_db.mdb");
    MakeCodeTable(db, "International", kRows);
    const QStringList before = stored(db);
    Form4 form;
    form.show();
    QTreeWidget* view = list(form);

    // Arrows only move the highlight; Enter on the list chooses, and presses no button.
    view->setCurrentItem(row(form, "A"));
    QTest::keyClick(view, Qt::Key_Down);
    QCOMPARE(view->currentItem()->text(0), QStringLiteral("B"));
    QVERIFY(inNewEntryMode(form));
    QTest::keyClick(view, Qt::Key_Return);
    QVERIFY(inEditMode(form));
    QCOMPARE(box(form, "Text1")->text(), QStringLiteral("B"));
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(box(form, "Text1")->text(), QStringLiteral("c"));
    QCOMPARE(stored(db), before);

    // Esc is Cancel while Cancel is shown, from the list as from a box.
    QTest::keyClick(view, Qt::Key_Escape);
    QVERIFY(inNewEntryMode(form));
    form.ListView1_ItemClick(row(form, "A"));
    box(form, "Text1")->setText("typed");
    QTest::keyClick(box(form, "Text1"), Qt::Key_Escape);
    QVERIFY(inNewEntryMode(form));
    // Without Cancel, Esc does nothing: the window stays open and keeps what was typed.
    type(form, "Q1", "-.-.-...");
    QTest::keyClick(box(form, "Text1"), Qt::Key_Escape);
    QVERIFY(form.isVisible());
    QCOMPARE(box(form, "Text1")->text(), QStringLiteral("Q1"));
    // Enter in a box presses Add.
    QTest::keyClick(box(form, "Text2"), Qt::Key_Return);
    QVERIFY(MessageBox::takeShown().isEmpty());
    QVERIFY(stored(db).contains("-.-.-...=Q1"));
    QVERIFY(inNewEntryMode(form));
}

void TestEditor::saysWhyItCannotOpen() {
    ProgramFolder folder;
    auto expectUnavailable = [](const Form4& form, const QString& cause) {
        const auto* reason = child<QLabel>(form, "Unavailable");
        QVERIFY(!reason->isHidden());
        QVERIFY2(reason->text().contains(cause), qPrintable(reason->text()));
        QVERIFY(list(form)->isHidden());
        QCOMPARE(caption(form, "Frame1"), QStringLiteral("Current entries"));
        QVERIFY(!button(form, "Command1")->isEnabled());
        QVERIFY(!box(form, "Text1")->isEnabled() && !box(form, "Text2")->isEnabled());
        QVERIFY(button(form, "Command2")->isHidden() && button(form, "Command3")->isHidden());
    };
    {
        Form4 form; // no database file at all
        expectUnavailable(form, "the file does not exist");
        form.Command1_Click();
        form.Command3_Click();
    }
    MakeCodeTable(folder.file("dahdit_db.mdb"), "International", kRows);
    folder.writeFile("settings.ini", "[main]\ntable_name=Klingon\n");
    {
        Form4 form;
        expectUnavailable(form, "\"Klingon\" does not exist");
    }
    folder.writeFile("settings.ini", "[main]\ndb_path=" + folder.file("notes.txt").toUtf8() + "\n");
    folder.writeFile("notes.txt", "not a database, just some words that fill more than a header would");
    {
        Form4 form;
        expectUnavailable(form, "not an SQLite database");
    }
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestEditor::keepsTypedTextsWhenTheStoreFails() {
    ProgramFolder folder;
    const QString db = folder.file("dahdit_db.mdb");
    MakeCodeTable(db, "International", kRows);
    const QStringList before = stored(db);
    auto expectKept = [](const Form4& form, const QString& signal, const QString& code) {
        QCOMPARE(box(form, "Text1")->text(), signal);
        QCOMPARE(box(form, "Text2")->text(), code);
    };

    // Locked by another program: the store waits a second, then the add fails; once the lock is
    // gone the same press works.
    {
        Form4 form;
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(db.toUtf8().constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        type(form, "Q1", "-.-.-...");
        form.Command1_Click();
        expectFailure("The entry was not added.", "is locked by another program");
        expectKept(form, "Q1", "-.-.-...");
        QCOMPARE(button(form, "Command1")->text(), QStringLiteral("Add"));
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        form.Command1_Click();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(stored(db).contains("-.-.-...=Q1"));
    }

    // An entry removed by other means while the editor shows it.
    {
        Form4 form;
        form.ListView1_ItemClick(row(form, "B"));
        QVERIFY(ExecSql(db, "DELETE FROM International WHERE TS = 'B'"));
        type(form, "B", "-...-");
        form.Command1_Click();
        expectFailure("The entry was not saved.", "no longer exists");
        QVERIFY(inEditMode(form));
        QCOMPARE(label(form, "Label4"), QStringLiteral("1"));
        expectKept(form, "B", "-...-");
        form.ListView1_ItemClick(row(form, "B"));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().text.startsWith("The entry \"B\" is no longer in the code table \"International\""));
        expectKept(form, "B", "-...-");
        form.Command3_Click();
        QVERIFY(!row(form, "B"));
    }

    // The table dropped while the editor is open.
    {
        Form4 form;
        form.ListView1_ItemClick(row(form, "A"));
        QVERIFY(ExecSql(db, "DROP TABLE International"));
        type(form, "A", ".-.-");
        form.Command1_Click();
        expectFailure("The entry could not be checked", "\"International\" does not exist");
        expectKept(form, "A", ".-.-");
        form.ListView1_ItemClick(row(form, "E"));
        expectFailure("The entry \"E\" could not be loaded.", "does not exist");
        expectKept(form, "A", ".-.-");
        form.Command3_Click();
        expectFailure("The list could not be reloaded.", "does not exist");
        QVERIFY(inEditMode(form));
        expectKept(form, "A", ".-.-");
    }

    // A read-only database file. Root may write any file, so the file also says of itself that
    // it must not be written (the write version in its header).
    MakeCodeTable(folder.file("readonly.mdb"), "International", kRows);
    QFile file(folder.file("readonly.mdb"));
    QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(18) && file.write("\x03", 1) == 1);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    folder.writeFile("settings.ini", "[main]\ndb_path=" + file.fileName().toUtf8() + "\n");
    {
        Form4 form;
        type(form, "Q1", "-.-.-...");
        form.Command1_Click();
        expectFailure("The entry was not added.", "is read-only");
        expectKept(form, "Q1", "-.-.-...");
        form.ListView1_ItemClick(row(form, "A"));
        type(form, "A", ".-.-");
        form.Command1_Click();
        expectFailure("The entry was not saved.", "is read-only");
        expectKept(form, "A", ".-.-");
        form.Command2_Click();
        const auto shown = MessageBox::takeShown(); // the confirmation, then the failure
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown.last().text.startsWith("The entry was not removed."));
        QVERIFY(inEditMode(form));
        QCOMPARE(caption(form, "Frame1"), QStringLiteral("Current entries (5)"));
    }
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

void TestEditor::mainWindowDecodesWithTheEditorsChanges() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    Form1 main;
    auto editors = [] {
        QList<Form4*> found;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* editor = qobject_cast<Form4*>(window))
                found << editor;
        return found;
    };
    main.DBEditor_Click();
    main.DBEditor_Click();
    QCOMPARE(editors().size(), 1);
    Form4* editor = editors().first();
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->windowFlags() & Qt::WindowType_Mask, Qt::Window);

    type(*editor, "Q1", "-.-.-...");
    editor->Command1_Click();
    QVERIFY(MessageBox::takeShown().isEmpty());

    for (QChar mark : QStringLiteral("-.-.-...")) {
        main.MK_MouseDown(1);
        if (mark == u'-')
            main.Timer1_Timer();
        main.MK_MouseUp(1);
    }
    main.Timer2_Timer();
    const auto* output = main.findChild<QPlainTextEdit*>("Text2");
    QCOMPARE(output->toPlainText(), QStringLiteral("Q1"));

    // Edited in the editor, the entry decodes to its new text at the next decode.
    editor->ListView1_ItemClick(row(*editor, "Q1"));
    type(*editor, "Q2", "-.-.-...");
    editor->Command1_Click();
    main.MK_MouseDown(1);
    main.MK_MouseUp(1);
    main.Timer2_Timer(); // "." is E
    QCOMPARE(output->toPlainText(), QStringLiteral("Q2E"));
}

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
