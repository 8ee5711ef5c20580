// Keying and decoding on the main window: the key's state table, the space timer, the decoder,
// the sliders, the shortcuts and the clipboard. Timers are ticked by hand and mouse events
// carry chosen timestamps, so nothing here depends on the speed of the machine.
#include "testsupport.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// The main window on the bundled database, with its controls at hand.
struct Window {
    ProgramFolder folder{true};
    Form1 form;
    QPlainTextEdit* text1 = child<QPlainTextEdit>(form, "Text1");
    QTimer* timer1 = child<QTimer>(form, "Timer1");
    QTimer* timer2 = child<QTimer>(form, "Timer2");
    QClipboard* clipboard = QGuiApplication::clipboard();

    QString buffer() const { return text1->toPlainText(); }
    QString output() const { return child<QPlainTextEdit>(form, "Text2")->toPlainText(); }
    QString panel(int i) const { return child<QLabel>(form, qPrintable(QStringLiteral("Panel%1").arg(i)))->text(); }
    // A mouse event on the key, stamped with the given time in milliseconds.
    void mouse(QEvent::Type type, quint64 stamp, Qt::MouseButton button = Qt::LeftButton) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent event(type, QPointF(10, 10), QPointF(10, 10), button, held, Qt::NoModifier);
        event.setTimestamp(stamp);
        QCoreApplication::sendEvent(child<QPushButton>(form, "MK"), &event);
    }
};

} // namespace

class TestKeying : public WindowTest {
    Q_OBJECT
private slots:
    void keysMarksAndSpaces();
    void decidesFromEventTimes();
    void editsTheBuffer();
    void decodesTheBuffer_data();
    void decodesTheBuffer();
    void decodesWhatTheTableHolds();
    void movesTheSliders();
    void copiesAndPastes();
    void shortcutsBelongToTheWindow();
};

void TestKeying::keysMarksAndSpaces() {
    Window w;
    // A press released before Timer1 ticks is a dot; after, a dash; held long, still one dash.
    w.form.MK_MouseDown(1);
    QVERIFY(w.form.KeyIsDown && w.timer1->isActive() && !w.timer2->isActive());
    w.form.MK_MouseUp(1);
    QVERIFY(w.buffer() == "." && !w.timer1->isActive() && w.timer2->isActive());
    // Ticks while held, a second press, and the right and middle buttons change nothing.
    w.form.MK_MouseDown(1);
    for (int button : {1, 1, 2, 4}) {
        w.form.Timer1_Timer();
        w.form.MK_MouseDown(button);
        if (button != 1)
            w.form.MK_MouseUp(button);
    }
    QVERIFY(w.form.KeyIsDown && w.form.LongPress && w.buffer() == ".");
    w.form.MK_MouseUp(1);
    // However long the pause, one space closes the symbol; an empty buffer never gets one.
    for (int i = 0; i < 5; ++i)
        w.form.Timer2_Timer();
    QVERIFY(w.buffer() == ".- " && w.output() == "A");
    w.form.Clear_Click();
    w.form.Timer2_Timer();
    QCOMPARE(w.buffer(), QString());
    for (const char* symbol : {"...", "---", "...", "..--", "-.-"})
        Key(w.form, symbol);
    QVERIFY(w.buffer() == "... --- ... ..-- -.- " && w.output() == "SOS K" && w.panel(4) == "Errors: 0");

    // Through real mouse events, a double-click and a right button among them. The release does
    // not look at KeyIsDown: a second release appends another mark.
    w.form.Clear_Click();
    w.mouse(QEvent::MouseButtonPress, 1000);
    w.mouse(QEvent::MouseButtonRelease, 1030);
    w.mouse(QEvent::MouseButtonDblClick, 1060);
    w.mouse(QEvent::MouseButtonPress, 1070, Qt::RightButton);
    w.mouse(QEvent::MouseButtonRelease, 1080, Qt::RightButton);
    w.mouse(QEvent::MouseButtonRelease, 1090);
    w.form.MK_MouseUp(1);
    QCOMPARE(w.buffer(), QStringLiteral("..."));
}

void TestKeying::decidesFromEventTimes() {
    Window w; // delay time 150 ms, space delay time 250 ms
    // Timer1 did not tick (the loop was busy), yet the press lasted the delay time + 2 ms; then
    // its tick came before a release stamped 2 ms short of the delay time.
    w.mouse(QEvent::MouseButtonPress, 10000);
    w.mouse(QEvent::MouseButtonRelease, 10152);
    w.mouse(QEvent::MouseButtonPress, 10200);
    w.form.Timer1_Timer();
    w.mouse(QEvent::MouseButtonRelease, 10348);
    QCOMPARE(w.buffer(), QStringLiteral("-."));
    // A pause of the space delay time + 2 ms closes the symbol although the tick was late.
    w.mouse(QEvent::MouseButtonPress, 10600);
    QVERIFY(w.buffer() == "-. " && w.output() == "N");
    w.mouse(QEvent::MouseButtonRelease, 10650);
    // A late tick appended a space, but the next press came 2 ms before the space delay time:
    // the space goes again and the mark joins the symbol.
    w.form.Timer2_Timer();
    QCOMPARE(w.buffer(), QStringLiteral("-. . "));
    w.mouse(QEvent::MouseButtonPress, 10898);
    w.mouse(QEvent::MouseButtonRelease, 10950);
    w.form.Timer2_Timer();
    QVERIFY(w.buffer() == "-. .. " && w.output() == "NI");
    // After "<<" the space timer is off: a long pause adds no space.
    w.form.BS_Click();
    w.mouse(QEvent::MouseButtonPress, 12000);
    w.mouse(QEvent::MouseButtonRelease, 12050);
    QCOMPARE(w.buffer(), QStringLiteral("-. ..."));
}

void TestKeying::editsTheBuffer() {
    Window w;
    // "<<" removes the closing space, which does not come back; the next mark extends the symbol.
    Key(w.form, ".-");
    w.form.BS_Click();
    QVERIFY(w.buffer() == ".-" && w.output().isEmpty() && !w.timer2->isActive());
    w.form.MK_MouseDown(1);
    w.form.MK_MouseUp(1);
    for (int i = 0; i < 3; ++i)
        w.form.BS_Click();
    QVERIFY(w.buffer().isEmpty() && !child<QPushButton>(w.form, "BS")->isEnabled());

    // Typing stops the space timer. Clear with the key held: the release marks the empty buffer.
    w.form.show();
    w.timer2->start();
    w.text1->setFocus();
    QTest::keyClicks(w.text1, "...");
    QVERIFY(w.buffer() == "..." && !w.timer2->isActive());
    w.form.MK_MouseDown(1);
    w.form.Clear_Click();
    QVERIFY(w.buffer().isEmpty() && w.timer1->isActive());
    w.form.MK_MouseUp(1);
    QCOMPARE(w.buffer(), QStringLiteral("."));

    // The view follows the end of a long buffer, wherever the user scrolled.
    w.text1->setPlainText(QStringLiteral("... ").repeated(5000));
    QApplication::processEvents();
    auto* bar = w.text1->verticalScrollBar();
    bar->setValue(0);
    Key(w.form, ".");
    QApplication::processEvents();
    QVERIFY(bar->maximum() > 0 && bar->value() == bar->maximum() && w.output().size() == 5001);

    // "<<" removes one character as the user sees it: what Copy then gets holds no half of one.
    for (const QString& last : {u"\U0001F600"_s, u"e\u0301"_s, u"\U0001F44D\U0001F3FD"_s}) {
        w.clipboard->setText(".- " + last);
        w.form.Paste_Click();
        w.form.BS_Click();
        w.form.Copy_Click();
        QCOMPARE(w.clipboard->text(), u".- "_s);
    }
}

void TestKeying::decodesTheBuffer_data() {
    QTest::addColumn<QString>("buffer");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("errors");
    auto row = [](const char* name, const char* buffer, const char* output, int errors) {
        QTest::newRow(name) << QString::fromUtf8(buffer) << QString(output) << errors;
    };
    row("empty", "", "", 0);
    row("the last symbol still keyed", ".- -... -.-.", "AB", 0);
    row("unknown symbol", "........ ", "", 1);
    row("two spaces make an empty symbol", ".-  -... ", "AB", 1);
    row("leading space", " .- ", "A", 1);
    row("a line break does not split", ".-\n-... ", "", 1);
    row("a no-break space does not split", ".-\u00A0-... .- ", "A", 1);
    row("a quote is a token like any other", ".----. it's ' ", "'", 2);
}

void TestKeying::decodesTheBuffer() {
    QFETCH(QString, buffer);
    QFETCH(QString, output);
    Window w;
    for (int twice = 0; twice < 2; ++twice) { // recomputed, not added to
        QCOMPARE(Decode(w.form, buffer), output);
        QTEST(w.panel(4).mid(8).toInt(), "errors");
    }
    QCOMPARE(child<QAction>(w.form, "Save")->isEnabled(), !output.isEmpty());
    QCOMPARE(child<QPushButton>(w.form, "BS")->isEnabled(), !buffer.isEmpty());
}

void TestKeying::decodesWhatTheTableHolds() {
    ProgramFolder folder;
    const QString db = folder.copyBundledDatabase();
    CodeTableStore store;
    QVERIFY(store.open(db));
    auto decode = [&](const QString& buffer) {
        DecodeResult result;
        if (!DecodeBuffer(buffer, store, "International", &result))
            return u"failed"_s;
        return QStringLiteral("%1 %2/%3").arg(result.output).arg(result.errors).arg(result.symbols);
    };
    // More symbols than a 16-bit counter holds: decoded whole, counted right.
    QCOMPARE(decode(u"... ... ... ........ "_s.repeated(10000)), u"SSS"_s.repeated(10000) + u" 10000/40000"_s);
    // A row whose text is empty or NULL adds nothing and is no error; a NULL code matches no
    // symbol; the first of two rows with one code wins. Changes made through another
    // connection show at the next decode: nothing is kept from one decode to the next.
    QVERIFY(ExecSql(db, "INSERT INTO International (MS, TS) VALUES ('.-.-.-.-', ''), ('-.-.-.-.', NULL), "
                        "(NULL, 'X'), ('.-', 'second')"));
    QCOMPARE(decode(".-.-.-.- -.-.-.-. .- "), u"A 0/3"_s);
    CodeTableStore editor;
    QVERIFY(editor.open(db) && editor.InsertEntry("International", "........", "<HH>"));
    QCOMPARE(decode("........ ........"), u"<HH> 0/1"_s);
}

void TestKeying::movesTheSliders() {
    Window w;
    auto* slider1 = child<QSlider>(w.form, "Slider1");
    auto* slider2 = child<QSlider>(w.form, "Slider2");
    // Dragging shows the hint and the time; only the release of the thumb takes it.
    slider1->setSliderDown(true);
    for (int p = 7; p <= 10; ++p)
        slider1->setSliderPosition(p);
    QVERIFY(w.panel(1) == "Drag to change delay time" && w.panel(2) == "DT: 250 ms" && w.timer1->interval() == 150);
    QVERIFY(!QFile::exists(w.folder.file("settings.ini")));
    slider1->setSliderDown(false);
    QVERIFY(w.timer1->interval() == 250 && w.panel(1) == "Ready");
    // Keys and the program setting the value count as a change too; a running timer goes on.
    slider2->setValue(1);
    QVERIFY(w.panel(3) == "SDT: 125 ms" && w.timer2->interval() == 125 && w.timer2->isActive());
    slider2->setValue(8);
    const QByteArray settings = w.folder.readFile("settings.ini");
    QCOMPARE(settings, QByteArray("[main]\r\ndt=10\r\nsdt=8\r\n"));
    // A drag that ends where it began changes nothing and puts the hint away.
    slider2->setSliderDown(true);
    slider2->setSliderPosition(3);
    slider2->setSliderPosition(8);
    QVERIFY(w.panel(1) == "Drag to change space delay time" && w.panel(3) == "SDT: 300 ms");
    slider2->setSliderDown(false);
    QVERIFY(w.timer2->interval() == 300 && w.panel(1) == "Ready" && w.folder.readFile("settings.ini") == settings);
}

void TestKeying::copiesAndPastes() {
    Window w;
    w.clipboard->setText(QStringLiteral("old"));
    w.form.Copy_Click(); // an empty buffer empties the clipboard
    QCOMPARE(w.clipboard->text(), QString());
    w.clipboard->setText(QStringLiteral("... --- ..."));
    w.form.Paste_Click();
    QCOMPARE(w.output(), QStringLiteral("SO"));                   // the third symbol is still open
    QCOMPARE(w.clipboard->text(), QStringLiteral("... --- ...")); // pasting leaves the clipboard
    w.form.Timer2_Timer();
    w.form.CopyOutput_Click();
    QCOMPARE(w.clipboard->text(), QStringLiteral("SOS"));
    w.clipboard->clear();
    w.form.Paste_Click();
    QCOMPARE(w.buffer(), QString());
    // A no-break space stays one.
    const QString pasted = QStringLiteral(".-\u00A0-... .- -... ");
    w.clipboard->setText(pasted);
    w.form.Paste_Click();
    w.form.Copy_Click();
    QVERIFY(w.output() == "AB" && w.clipboard->text() == pasted);
}

void TestKeying::shortcutsBelongToTheWindow() {
    Window w;
    w.form.show();
    QApplication::setActiveWindow(&w.form);
    QVERIFY(QTest::qWaitForWindowActive(&w.form));
    for (QPlainTextEdit* box : {w.text1, child<QPlainTextEdit>(w.form, "Text2")}) {
        box->setFocus();
        w.text1->setPlainText(QStringLiteral("... --- "));
        QTextCursor cursor = box->textCursor();
        cursor.setPosition(0);
        cursor.setPosition(1, QTextCursor::KeepAnchor);
        box->setTextCursor(cursor); // a selection in the box does not matter
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(w.clipboard->text(), QStringLiteral("... --- "));
        w.clipboard->setText(QStringLiteral(".- -... "));
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QVERIFY(w.buffer() == ".- -... " && w.output() == "AB"); // the whole buffer replaced
        QTest::keyClick(box, Qt::Key_Delete);
        QCOMPARE(w.buffer(), QString()); // Del empties the whole buffer
    }
    // The shortcut of a disabled item does nothing.
    QTest::keyClick(w.text1, Qt::Key_S, Qt::ControlModifier);
    for (QWidget* top : QApplication::topLevelWidgets())
        QVERIFY(top == &w.form || top->parentWidget() || !top->isVisible());
}

QTEST_MAIN(TestKeying)
#include "tst_keying.moc"
