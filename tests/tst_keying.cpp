// Keying and decoding on the main window: the key's state table, the space timer, the decoder,
// the sliders, the shortcuts and the clipboard. Timers are ticked by hand and mouse events
// carry chosen timestamps, so nothing here depends on the speed of the machine.
#include "codetablestore.h"
#include "decoder.h"
#include "form1.h"
#include "form3.h"
#include "messagebox.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <sqlite3.h>

namespace {

// Counts, on SQLite's side, the statements that look a code up, on every connection opened
// while the counter lives.
class LookupCounter {
public:
    LookupCounter() { sqlite3_auto_extension(reinterpret_cast<void (*)()>(&watch)); }
    ~LookupCounter() { sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&watch)); }
    int take() { return std::exchange(s_lookups, 0); }

private:
    static int watch(sqlite3* db, char**, const sqlite3_api_routines*) {
        auto count = [](unsigned, void*, void* statement, void*) {
            if (QByteArray(sqlite3_sql(static_cast<sqlite3_stmt*>(statement))).contains("WHERE MS = ?1"))
                ++s_lookups;
            return 0;
        };
        sqlite3_trace_v2(db, SQLITE_TRACE_STMT, count, nullptr);
        return SQLITE_OK;
    }
    static inline int s_lookups = 0;
};

struct Window {
    ProgramFolder folder;
    Form1* form = nullptr;
    QPlainTextEdit* text1 = nullptr;
    QPlainTextEdit* text2 = nullptr;
    QTimer* timer1 = nullptr;
    QTimer* timer2 = nullptr;

    explicit Window(const QByteArray& settings = QByteArray()) {
        folder.copyBundledDatabase();
        if (!settings.isEmpty())
            folder.writeFile("settings.ini", settings);
        form = new Form1;
        text1 = form->findChild<QPlainTextEdit*>("Text1");
        text2 = form->findChild<QPlainTextEdit*>("Text2");
        timer1 = form->findChild<QTimer*>("Timer1");
        timer2 = form->findChild<QTimer*>("Timer2");
    }
    ~Window() { delete form; }

    QString buffer() const { return text1->toPlainText(); }
    QString output() const { return text2->toPlainText(); }
    QString panel(int i) const { return form->findChild<QLabel*>(QStringLiteral("Panel%1").arg(i))->text(); }
    bool bsEnabled() const { return form->findChild<QPushButton*>("BS")->isEnabled(); }
    bool saveEnabled() const { return form->findChild<QAction*>("Save")->isEnabled(); }

    // Keys one symbol by the handlers: a tick of Timer1 makes a dash; the closing tick of
    // Timer2 closes it.
    void key(const QString& marks) {
        for (QChar mark : marks) {
            form->MK_MouseDown(1);
            if (mark == u'-')
                form->Timer1_Timer();
            form->MK_MouseUp(1);
        }
        form->Timer2_Timer();
    }

    // A mouse event on the key, stamped with the given time in milliseconds.
    void mouse(QEvent::Type type, Qt::MouseButton button, quint64 stamp) {
        auto* mk = form->findChild<QPushButton*>("MK");
        const QPointF at(10, 10);
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent event(type, at, mk->mapToGlobal(at), button, held, Qt::NoModifier);
        event.setTimestamp(stamp);
        QCoreApplication::sendEvent(mk, &event);
    }
};

} // namespace

class TestKeying : public QObject {
    Q_OBJECT
private slots:
    void init() { MessageBox::setTestMode(true); }
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }
    void keysMarksAndSpaces();
    void ignoresOtherButtonsAndSecondPresses();
    void editsTheBuffer();
    void removesOneCharacter_data();
    void removesOneCharacter();
    void decidesFromEventTimes();
    void viewFollowsTheEnd();
    void decodesTheBuffer();
    void decodesOddBuffers();
    void looksUpEachClosedSymbol();
    void movesTheSliders();
    void shortcutsBelongToTheWindow();
    void copiesAndPastes();
};

void TestKeying::keysMarksAndSpaces() {
    Window w;
    // A press released before Timer1 ticks is a dot; after, a dash; held long, still one dash.
    w.form->MK_MouseDown(1);
    QVERIFY(w.form->KeyIsDown);
    QVERIFY(w.timer1->isActive());
    QVERIFY(!w.timer2->isActive());
    w.form->MK_MouseUp(1);
    QCOMPARE(w.buffer(), QStringLiteral("."));
    QVERIFY(!w.timer1->isActive());
    QVERIFY(w.timer2->isActive());
    w.form->MK_MouseDown(1);
    for (int i = 0; i < 10; ++i)
        w.form->Timer1_Timer();
    QCOMPARE(w.buffer(), QStringLiteral(".")); // nothing while the key is held
    w.form->MK_MouseUp(1);
    QCOMPARE(w.buffer(), QStringLiteral(".-"));
    // However long the pause, one space closes the symbol.
    for (int i = 0; i < 5; ++i)
        w.form->Timer2_Timer();
    QCOMPARE(w.buffer(), QStringLiteral(".- "));
    QCOMPARE(w.output(), QStringLiteral("A"));

    // Short, short, long with short pauses: one symbol.
    w.form->Clear_Click();
    w.key(QStringLiteral("..-"));
    QCOMPARE(w.buffer(), QStringLiteral("..- "));
    QCOMPARE(w.output(), QStringLiteral("U"));

    // An empty buffer never gets a space.
    w.form->Clear_Click();
    w.form->Timer2_Timer();
    QCOMPARE(w.buffer(), QString());

    // SOS, and a word space.
    w.key("...");
    w.key("---");
    w.key("...");
    QCOMPARE(w.buffer(), QStringLiteral("... --- ... "));
    QCOMPARE(w.output(), QStringLiteral("SOS"));
    QCOMPARE(w.panel(4), QStringLiteral("Errors: 0"));
    w.key("..--");
    w.key("-.-");
    QCOMPARE(w.output(), QStringLiteral("SOS K"));
}

void TestKeying::ignoresOtherButtonsAndSecondPresses() {
    Window w;
    w.form->MK_MouseDown(1);
    w.form->Timer1_Timer();
    w.form->MK_MouseDown(1); // a second press while held changes nothing
    QVERIFY(w.form->LongPress);
    w.form->MK_MouseDown(2);
    w.form->MK_MouseUp(2);
    w.form->MK_MouseDown(4);
    w.form->MK_MouseUp(4);
    QVERIFY(w.form->KeyIsDown); // right and middle buttons do not end the left press
    QCOMPARE(w.buffer(), QString());
    w.form->MK_MouseUp(1);
    QCOMPARE(w.buffer(), QStringLiteral("-"));
    // The release does not look at KeyIsDown: a second release appends another mark.
    w.form->MK_MouseUp(1);
    QCOMPARE(w.buffer(), QStringLiteral("--"));

    // The same through real mouse events, a double-click among them.
    w.form->Clear_Click();
    w.mouse(QEvent::MouseButtonPress, Qt::LeftButton, 1000);
    w.mouse(QEvent::MouseButtonRelease, Qt::LeftButton, 1030);
    w.mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, 1060);
    w.mouse(QEvent::MouseButtonPress, Qt::RightButton, 1070);
    w.mouse(QEvent::MouseButtonRelease, Qt::RightButton, 1080);
    w.mouse(QEvent::MouseButtonRelease, Qt::LeftButton, 1090);
    QCOMPARE(w.buffer(), QStringLiteral(".."));
}

void TestKeying::editsTheBuffer() {
    Window w;
    // "<<" removes the closing space, which does not come back; the next mark extends the symbol.
    w.key(".-");
    w.form->BS_Click();
    QCOMPARE(w.buffer(), QStringLiteral(".-"));
    QCOMPARE(w.output(), QString()); // the symbol drops out at once
    QVERIFY(!w.timer2->isActive());
    w.form->MK_MouseDown(1);
    w.form->MK_MouseUp(1);
    QCOMPARE(w.buffer(), QStringLiteral(".-."));
    // "<<" on a mark leaves the shortened symbol open.
    w.form->BS_Click();
    QCOMPARE(w.buffer(), QStringLiteral(".-"));
    w.form->BS_Click();
    w.form->BS_Click();
    QCOMPARE(w.buffer(), QString());
    QVERIFY(!w.bsEnabled());

    // Typing stops the space timer; what was typed stays as typed.
    w.form->show();
    w.timer2->start();
    w.text1->setFocus();
    QTest::keyClicks(w.text1, "...");
    QCOMPARE(w.buffer(), QStringLiteral("..."));
    QVERIFY(!w.timer2->isActive());

    // Clear with the key held: the release then marks the empty buffer.
    w.form->MK_MouseDown(1);
    w.form->Clear_Click();
    QCOMPARE(w.buffer(), QString());
    QVERIFY(w.timer1->isActive());
    w.form->MK_MouseUp(1);
    QCOMPARE(w.buffer(), QStringLiteral("."));
}

void TestKeying::removesOneCharacter_data() {
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("left");
    QTest::newRow("emoji of two UTF-16 units") << QStringLiteral(".- \U0001F600") << QStringLiteral(".- ");
    QTest::newRow("letter with a combining mark") << QStringLiteral(".- e\u0301") << QStringLiteral(".- ");
    QTest::newRow("emoji with a skin tone") << QStringLiteral("x\U0001F44D\U0001F3FD") << QStringLiteral("x");
}

void TestKeying::removesOneCharacter() {
    QFETCH(QString, pasted);
    QFETCH(QString, left);
    Window w;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(pasted);
    w.form->Paste_Click();
    w.form->BS_Click();
    w.form->Copy_Click(); // what the user gets out of the buffer holds no half character
    QCOMPARE(clipboard->text(), left);
}

void TestKeying::decidesFromEventTimes() {
    Window w; // delay time 150 ms, space delay time 250 ms
    // Timer1 did not tick (the loop was busy), yet the press lasted the delay time + 2 ms.
    w.mouse(QEvent::MouseButtonPress, Qt::LeftButton, 10000);
    w.mouse(QEvent::MouseButtonRelease, Qt::LeftButton, 10152);
    QCOMPARE(w.buffer(), QStringLiteral("-"));
    // Timer1's tick came before a release that was stamped 2 ms short of the delay time.
    w.mouse(QEvent::MouseButtonPress, Qt::LeftButton, 10200);
    w.form->Timer1_Timer();
    w.mouse(QEvent::MouseButtonRelease, Qt::LeftButton, 10348);
    QCOMPARE(w.buffer(), QStringLiteral("-."));
    // A pause of the space delay time + 2 ms closes the symbol although the tick was late.
    w.mouse(QEvent::MouseButtonPress, Qt::LeftButton, 10600);
    QCOMPARE(w.buffer(), QStringLiteral("-. "));
    QCOMPARE(w.output(), QStringLiteral("N"));
    w.mouse(QEvent::MouseButtonRelease, Qt::LeftButton, 10650);
    QCOMPARE(w.buffer(), QStringLiteral("-. ."));
    // A late tick appended a space, but the next press came 2 ms before the space delay time:
    // the space goes again and the mark joins the symbol.
    w.form->Timer2_Timer();
    QCOMPARE(w.buffer(), QStringLiteral("-. . "));
    w.mouse(QEvent::MouseButtonPress, Qt::LeftButton, 10898);
    QCOMPARE(w.buffer(), QStringLiteral("-. ."));
    w.mouse(QEvent::MouseButtonRelease, Qt::LeftButton, 10950);
    w.form->Timer2_Timer();
    QCOMPARE(w.buffer(), QStringLiteral("-. .. "));
    QCOMPARE(w.output(), QStringLiteral("NI"));
    // After "<<" the space timer is off: a long pause adds no space.
    w.form->BS_Click();
    w.mouse(QEvent::MouseButtonPress, Qt::LeftButton, 12000);
    w.mouse(QEvent::MouseButtonRelease, Qt::LeftButton, 12050);
    QCOMPARE(w.buffer(), QStringLiteral("-. ..."));
}

void TestKeying::viewFollowsTheEnd() {
    Window w;
    w.form->show();
    QString many;
    for (int i = 0; i < 2000; ++i)
        many += QStringLiteral("... ");
    w.text1->setPlainText(many);
    QApplication::processEvents();
    auto* bar = w.text1->verticalScrollBar();
    bar->setValue(0); // the user scrolled to the top
    w.form->MK_MouseDown(1);
    w.form->MK_MouseUp(1);
    QApplication::processEvents();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(w.text1->textCursor().atEnd());
    QCOMPARE(w.output().size(), 2000);
}

void TestKeying::decodesTheBuffer() {
    Window w;
    auto decoded = [&](const QString& buffer) {
        w.text1->setPlainText(buffer);
        return QStringList({w.output(), w.panel(4), w.saveEnabled() ? "Save" : "-", w.bsEnabled() ? "BS" : "-"});
    };
    QCOMPARE(decoded(""), QStringList({"", "Errors: 0", "-", "-"}));
    QCOMPARE(decoded("...---"), QStringList({"", "Errors: 0", "-", "BS"}));
    QCOMPARE(decoded(".- "), QStringList({"A", "Errors: 0", "Save", "BS"}));
    QCOMPARE(decoded(".- -... -.-."), QStringList({"AB", "Errors: 0", "Save", "BS"}));
    QCOMPARE(decoded("........ "), QStringList({"", "Errors: 1", "-", "BS"}));
    QCOMPARE(decoded(".-  -... "), QStringList({"AB", "Errors: 1", "Save", "BS"}));
    QCOMPARE(decoded(" .- "), QStringList({"A", "Errors: 1", "Save", "BS"}));
    QCOMPARE(decoded(".-\n-... "), QStringList({"", "Errors: 1", "-", "BS"}));
    QCOMPARE(decoded("SOS 12 "), QStringList({"", "Errors: 2", "-", "BS"}));
    QCOMPARE(decoded(".----. it's ' "), QStringList({"'", "Errors: 2", "Save", "BS"}));
    QCOMPARE(decoded(".----. it's ' "), QStringList({"'", "Errors: 2", "Save", "BS"})); // recomputed
    QVERIFY(MessageBox::takeShown().isEmpty()); // a quote is a token like any other
}

void TestKeying::decodesOddBuffers() {
    ProgramFolder folder;
    const QString db = folder.copyBundledDatabase();
    CodeTableStore store;
    QVERIFY(store.open(db));
    // More symbols than a 16-bit counter holds: decoded whole, counted right.
    QString buffer;
    for (int i = 0; i < 40000; ++i)
        buffer += (i % 4 == 3) ? QStringLiteral("........ ") : QStringLiteral("... ");
    DecodeResult big;
    QVERIFY(DecodeBuffer(buffer, store, "International", &big));
    QCOMPARE(big.errors, 10000);
    QCOMPARE(big.output.size(), 30000);
    QCOMPARE(big.symbols, 40000);
    // A row whose text is empty adds nothing and is no error.
    ExecSql(db, "INSERT INTO International (MS, TS) VALUES ('.-.-.-.-', ''), ('-.-.-.-.', NULL)");
    DecodeResult blank;
    QVERIFY(DecodeBuffer(".-.-.-.- -.-.-.-. .- ", store, "International", &blank));
    QCOMPARE(blank.output, QStringLiteral("A"));
    QCOMPARE(blank.errors, 0);
    // Changes made through another connection show at the next decode.
    CodeTableStore editor;
    QVERIFY(editor.open(db));
    QVERIFY(editor.InsertEntry("International", "........", "<HH>"));
    DecodeResult changed;
    QVERIFY(DecodeBuffer("........ ", store, "International", &changed));
    QCOMPARE(changed.output, QStringLiteral("<HH>"));
}

void TestKeying::looksUpEachClosedSymbol() {
    ProgramFolder folder;
    LookupCounter counter;
    CodeTableStore store;
    QVERIFY(store.open(folder.copyBundledDatabase()));
    auto lookups = [&](const QString& buffer) {
        DecodeResult result;
        DecodeBuffer(buffer, store, "International", &result);
        return counter.take();
    };
    QCOMPARE(lookups(""), 0);
    QCOMPARE(lookups("..."), 0);          // the last token is still being keyed
    QCOMPARE(lookups("... --- ..."), 2);  // two closed symbols, the third open
    QCOMPARE(lookups("... --- ... "), 2); // a symbol that recurs is asked for once per decode
    QCOMPARE(lookups("... --- ... "), 2); // and again at the next decode: nothing is kept
}

void TestKeying::movesTheSliders() {
    Window w;
    auto* slider1 = w.form->findChild<QSlider*>("Slider1");
    auto* slider2 = w.form->findChild<QSlider*>("Slider2");
    // Dragging shows the hint and the time; only the release of the thumb takes it.
    slider1->setSliderDown(true);
    for (int p = 7; p <= 10; ++p)
        slider1->setSliderPosition(p);
    QCOMPARE(w.panel(1), QStringLiteral("Drag to change delay time"));
    QCOMPARE(w.panel(2), QStringLiteral("DT: 250 ms"));
    QCOMPARE(w.timer1->interval(), 150);
    QVERIFY(!QFile::exists(w.folder.file("settings.ini")));
    slider1->setSliderDown(false);
    QCOMPARE(w.timer1->interval(), 250);
    QCOMPARE(w.panel(1), QStringLiteral("Ready"));
    QCOMPARE(w.folder.readFile("settings.ini"), QByteArray("[main]\r\ndt=10\r\n"));

    // Keys and the program setting the value count as a change too; a running timer goes on.
    QVERIFY(w.timer2->isActive());
    slider2->setValue(1);
    QCOMPARE(w.panel(3), QStringLiteral("SDT: 125 ms"));
    QCOMPARE(w.timer2->interval(), 125);
    QVERIFY(w.timer2->isActive());
    slider2->setValue(20);
    QCOMPARE(w.timer2->interval(), 600);
    slider2->setValue(8);
    QCOMPARE(w.folder.readFile("settings.ini"), QByteArray("[main]\r\ndt=10\r\nsdt=8\r\n"));

    // A drag that ends where it began changes nothing and puts the hint away.
    const QByteArray settings = w.folder.readFile("settings.ini");
    slider2->setSliderDown(true);
    slider2->setSliderPosition(3);
    slider2->setSliderPosition(8);
    QCOMPARE(w.panel(1), QStringLiteral("Drag to change space delay time"));
    QCOMPARE(w.panel(3), QStringLiteral("SDT: 300 ms"));
    slider2->setSliderDown(false);
    QCOMPARE(w.timer2->interval(), 300);
    QCOMPARE(w.panel(1), QStringLiteral("Ready"));
    QCOMPARE(w.folder.readFile("settings.ini"), settings);
}

void TestKeying::shortcutsBelongToTheWindow() {
    Window w;
    w.form->show();
    QApplication::setActiveWindow(w.form);
    QVERIFY(QTest::qWaitForWindowActive(w.form));
    QClipboard* clipboard = QGuiApplication::clipboard();
    for (QPlainTextEdit* box : {w.text1, w.text2}) {
        box->setFocus();
        w.text1->setPlainText(QStringLiteral("... --- "));
        QTextCursor cursor = w.text2->textCursor();
        cursor.setPosition(0);
        cursor.setPosition(1, QTextCursor::KeepAnchor);
        w.text2->setTextCursor(cursor); // a selection in the output text does not matter
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QStringLiteral("... --- "));
        clipboard->setText(QStringLiteral(".- -... "));
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(w.buffer(), QStringLiteral(".- -... ")); // the whole buffer replaced
        QCOMPARE(w.output(), QStringLiteral("AB"));
        QTest::keyClick(box, Qt::Key_Delete);
        QCOMPARE(w.buffer(), QString()); // Del empties the whole buffer
    }
    // The shortcut of a disabled item does nothing.
    QVERIFY(!w.saveEnabled());
    QTest::keyClick(w.text1, Qt::Key_S, Qt::ControlModifier);
    for (QWidget* top : QApplication::topLevelWidgets())
        QVERIFY(top == w.form || top->parentWidget() || !top->isVisible());
}

void TestKeying::copiesAndPastes() {
    Window w;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("old"));
    w.form->Copy_Click(); // an empty buffer empties the clipboard
    QCOMPARE(clipboard->text(), QString());
    clipboard->setText(QStringLiteral("... --- ..."));
    w.form->Paste_Click();
    QCOMPARE(w.output(), QStringLiteral("SO"));                 // the third symbol is still open
    QCOMPARE(clipboard->text(), QStringLiteral("... --- ...")); // pasting leaves the clipboard
    w.form->Timer2_Timer();
    QCOMPARE(w.output(), QStringLiteral("SOS"));
    w.form->CopyOutput_Click();
    QCOMPARE(clipboard->text(), QStringLiteral("SOS"));
    w.form->Copy_Click();
    w.form->Clear_Click();
    w.form->Paste_Click();
    QCOMPARE(w.buffer(), QStringLiteral("... --- ... "));
    // Letters and digits go in unchanged and count as errors once closed.
    clipboard->setText(QStringLiteral("hello 42 x"));
    w.form->Paste_Click();
    QCOMPARE(w.buffer(), QStringLiteral("hello 42 x"));
    QCOMPARE(w.panel(4), QStringLiteral("Errors: 2"));
    clipboard->clear();
    w.form->Paste_Click();
    QCOMPARE(w.buffer(), QString());

    // Pasting the buffer's own text again decodes it against the table as it is now.
    clipboard->setText(QStringLiteral(".- -... "));
    w.form->Paste_Click();
    QCOMPARE(w.output(), QStringLiteral("AB"));
    QVERIFY(ExecSql(w.folder.file("dahdit_db.mdb"), "UPDATE International SET TS = 'a' WHERE MS = '.-'"));
    w.form->Paste_Click();
    QCOMPARE(w.output(), QStringLiteral("aB"));

    // A no-break space stays one, in Copy and in a saved transcript, and does not split symbols.
    const QString pasted = QStringLiteral(".-\u00A0-... .- ");
    clipboard->setText(pasted);
    w.form->Paste_Click();
    QCOMPARE(w.output(), QStringLiteral("a"));
    QCOMPARE(w.panel(4), QStringLiteral("Errors: 1"));
    w.form->Copy_Click();
    QCOMPARE(clipboard->text(), pasted);
    w.form->Save_Click();
    Form3* save = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        save = save ? save : qobject_cast<Form3*>(top);
    QVERIFY(save);
    save->findChild<QLineEdit*>("Text2")->setText(QStringLiteral("t"));
    save->Command1_Click();
    RunDeferredDeletes();
    QVERIFY(w.folder.readFile("t.txt").contains("\r\n\r\n" + pasted.toUtf8() + "\r\n\r\na\r\n"));
}

QTEST_MAIN(TestKeying)
#include "tst_keying.moc"
