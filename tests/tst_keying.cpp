// The main window's key, space timer, decoder, sliders, shortcuts, focus and clipboard. Timers are
// ticked by hand and mouse events carry chosen timestamps: nothing depends on the machine's speed.
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
    // "buffer|output", and the timers running: Timer1 times a press, Timer2 a pause.
    QString keyed() const {
        return buffer() + '|' + output() + (timer1->isActive() ? "|press" : "") + (timer2->isActive() ? "|pause" : "");
    }
    // A mouse event on the key, stamped with the given time in milliseconds.
    void mouse(QEvent::Type type, quint64 stamp) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton, held, Qt::NoModifier);
        event.setTimestamp(stamp);
        QCoreApplication::sendEvent(child<QPushButton>(form, "MK"), &event);
    }
};

} // namespace

class TestKeying : public WindowTest {
    Q_OBJECT
private slots:
    void keysMarksAndSpaces();
    void editsTheBuffer();
    void decodesTheBuffer_data();
    void decodesTheBuffer();
    void decodesWhatTheTableHolds();
    void movesTheSliders();
    void laysOutLongBuffers();
};

void TestKeying::keysMarksAndSpaces() {
    Window w;
    // A press released before Timer1 ticks is a dot; after, a dash; held long, still one dash.
    w.form.MK_MouseDown(1);
    QCOMPARE(w.keyed(), u"||press"_s);
    w.form.MK_MouseUp(1);
    QCOMPARE(w.keyed(), u".||pause"_s);
    // Ticks while held, a second press, and the right and middle buttons change nothing.
    w.form.MK_MouseDown(1);
    for (int button : {1, 1, 2, 4}) {
        w.form.Timer1_Timer();
        w.form.MK_MouseDown(button);
        if (button != 1)
            w.form.MK_MouseUp(button);
    }
    QCOMPARE(w.buffer(), u"."_s);
    w.form.MK_MouseUp(1);
    // However long the pause, one space closes the symbol; an empty buffer never gets one.
    for (int i = 0; i < 5; ++i)
        w.form.Timer2_Timer();
    QCOMPARE(w.keyed(), u".- |A|pause"_s);
    w.form.Clear_Click();
    w.form.Timer2_Timer();
    QCOMPARE(w.keyed(), u"||pause"_s);
    for (const char* symbol : {"...", "---", "...", "..--", "-.-"})
        Key(w.form, symbol);
    QCOMPARE(w.keyed() + ' ' + w.panel(4), u"... --- ... ..-- -.- |SOS K|pause Errors: 0"_s);

    // The event times decide (delay 150 ms, space delay 250 ms). Timer1 did not tick (the loop was
    // busy), yet the press lasted the delay time, enough for a dash; then its tick came before a
    // release stamped at 148 ms.
    w.mouse(QEvent::MouseButtonPress, 10000);
    w.mouse(QEvent::MouseButtonRelease, 10150);
    w.mouse(QEvent::MouseButtonPress, 10200);
    w.form.Timer1_Timer();
    w.mouse(QEvent::MouseButtonRelease, 10348);
    QCOMPARE(w.buffer(), QStringLiteral("... --- ... ..-- -.- -."));
    // A pause of the space delay time closes the symbol although the tick was late.
    w.mouse(QEvent::MouseButtonPress, 10598);
    QCOMPARE(w.keyed(), u"... --- ... ..-- -.- -. |SOS KN|press"_s);
    w.mouse(QEvent::MouseButtonRelease, 10650);
    // A late tick appended a space, but the next press came 2 ms before the space delay time:
    // the space goes again and the mark joins the symbol.
    w.form.Timer2_Timer();
    QCOMPARE(w.buffer().right(5), u"-. . "_s);
    w.mouse(QEvent::MouseButtonPress, 10898);
    w.mouse(QEvent::MouseButtonRelease, 10950);
    w.form.Timer2_Timer();
    QCOMPARE(w.keyed(), u"... --- ... ..-- -.- -. .. |SOS KNI|pause"_s);
    // A second press while the key is held starts nothing: from the first one it is held 160 ms.
    w.mouse(QEvent::MouseButtonPress, 11300);
    w.mouse(QEvent::MouseButtonDblClick, 11400);
    w.mouse(QEvent::MouseButtonRelease, 11460);
    w.form.Timer2_Timer();
    QCOMPARE(w.output(), u"SOS KNIT"_s);
}

void TestKeying::editsTheBuffer() {
    Window w;
    // "<<" removes the closing space, which does not come back; the next mark extends the symbol.
    Key(w.form, ".-");
    w.form.BS_Click();
    QCOMPARE(w.keyed(), u".-|"_s);
    w.form.MK_MouseDown(1);
    w.form.MK_MouseUp(1);
    for (int i = 0; i < 3; ++i)
        w.form.BS_Click();
    QCOMPARE(w.keyed(), u"|"_s);

    // Typing stops the space timer.
    w.form.show();
    w.timer2->start();
    w.text1->setFocus();
    QTest::keyClicks(w.text1, "...");
    QCOMPARE(w.keyed(), u"...|"_s);

    // "<<" removes one character as the user sees it: what Copy then gets holds no half of one.
    for (const QString& last : {u"\U0001F600"_s, u"e\u0301"_s, u"\U0001F44D\U0001F3FD"_s}) {
        w.clipboard->setText(".- " + last);
        w.form.Paste_Click();
        w.form.BS_Click();
        w.form.Copy_Click();
        QCOMPARE(w.clipboard->text(), u".- "_s);
    }
    // Copy and Paste take the whole buffer, and leave the clipboard as it was; a no-break space
    // stays one. An empty buffer empties the clipboard, an empty clipboard the buffer.
    const QString pasted = QStringLiteral(".-\u00A0-... .- -... ...");
    w.clipboard->setText(pasted);
    w.form.Paste_Click();
    QCOMPARE(w.output() + '|' + w.clipboard->text(), "AB|" + pasted); // the last symbol is still open
    w.form.Timer2_Timer();
    w.form.CopyOutput_Click();
    QCOMPARE(w.clipboard->text(), u"ABS"_s);
    w.form.Copy_Click();
    QCOMPARE(w.clipboard->text(), pasted + u' ');
    w.clipboard->clear();
    w.form.Paste_Click();
    w.clipboard->setText(u"old"_s);
    w.form.Copy_Click();
    QCOMPARE(w.buffer() + '|' + w.clipboard->text(), u"|"_s);

    // The window's shortcuts work from either text box.
    QApplication::setActiveWindow(&w.form);
    QVERIFY(QTest::qWaitForWindowActive(&w.form));
    for (QPlainTextEdit* box : {w.text1, child<QPlainTextEdit>(w.form, "Text2")}) {
        box->setFocus();
        w.text1->setPlainText(QStringLiteral("... --- "));
        QTextCursor cursor(box->document());
        cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        box->setTextCursor(cursor); // a selection in the box does not matter
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(w.clipboard->text(), QStringLiteral("... --- "));
        w.clipboard->setText(QStringLiteral(".- -... "));
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        // Tab and Shift+Tab move the focus on and type nothing.
        for (Qt::KeyboardModifier modifier : {Qt::NoModifier, Qt::ShiftModifier}) {
            QTest::keyClick(box, Qt::Key_Tab, modifier);
            QVERIFY(w.form.focusWidget() != box);
            box->setFocus();
        }
        QCOMPARE(w.buffer() + '|' + w.output(), u".- -... |AB"_s); // the whole buffer replaced
        QTest::keyClick(box, Qt::Key_Delete);
        QCOMPARE(w.buffer(), QString()); // Del empties the whole buffer
    }
}

void TestKeying::decodesTheBuffer_data() {
    QTest::addColumn<QString>("buffer");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("errors");
    QTest::newRow("empty") << QString() << QString() << 0;
    QTest::newRow("the last symbol still keyed") << u".- -... -.-."_s << u"AB"_s << 0;
    QTest::newRow("unknown symbol") << u"........ "_s << QString() << 1;
    QTest::newRow("two spaces make an empty symbol") << u".-  -... "_s << u"AB"_s << 1;
    QTest::newRow("leading space") << u" .- "_s << u"A"_s << 1;
    QTest::newRow("a line break does not split") << u".-\n-... "_s << QString() << 1;
    QTest::newRow("a no-break space does not split") << u".-\u00A0-... .- "_s << u"A"_s << 1;
    QTest::newRow("a quote is a token like any other") << u".----. it's ' "_s << u"'"_s << 2;
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
    Window w;
    // More symbols than a 16-bit counter holds: decoded whole, counted right.
    QCOMPARE(Decode(w.form, u"... ... ... ........ "_s.repeated(10000)), u"SSS"_s.repeated(10000));
    QCOMPARE(w.panel(4), u"Errors: 10000"_s);
    // Text empty or NULL adds nothing and is no error; a NULL code matches nothing; the first of
    // two rows with one code wins; rows added by another program show at the next paste, even
    // of the text the buffer already holds.
    w.clipboard->setText(u".-.-.-.- -.-.-.-. ........ .- "_s);
    w.form.Paste_Click();
    QCOMPARE(w.panel(4), u"Errors: 3"_s);
    QVERIFY(ExecSql(w.folder.file("dahdit_db.mdb"), "INSERT INTO International (MS, TS) VALUES ('........', '<HH>'), "
                                                    "('.-.-.-.-', ''), ('-.-.-.-.', NULL), (NULL, 'X'), ('.-', 'x')"));
    w.form.Paste_Click();
    QCOMPARE(w.output() + ' ' + w.panel(4), u"<HH>A Errors: 0"_s);
    // No table makes a decode grow without bound: a text of more than 64 KiB counts as unknown, and
    // the output stops short of four times the buffer and 65,536 characters more. Each told once.
    QVERIFY(ExecSql(w.folder.file("dahdit_db.mdb"), "UPDATE International SET TS = hex(zeroblob(40000)) WHERE MS = "
                                                    "'-'; UPDATE International SET TS = hex(zeroblob(32000)) WHERE "
                                                    "MS = '.'"));
    QCOMPARE(Decode(w.form, u"- . . "_s), QString(64000, u'0'));
    QCOMPARE(w.panel(4), u"Errors: 2"_s);
    QCOMPARE(Decode(w.form, u". . "_s).size(), 64000);
    QCOMPARE(Decode(w.form, u"- . . "_s).size(), 64000);
    const QStringList shown = Shown();
    QCOMPARE(shown.size(), 2);
    QVERIFY(shown[0].contains("gives the code \"-\" a text of "));
    QVERIFY(shown[1].contains("would grow past 4 times the buffer's length and 65,536 characters more"));
}

void TestKeying::movesTheSliders() {
    Window w;
    auto* slider2 = child<QSlider>(w.form, "Slider2");
    auto shown = [&w] { // the status bar's first three panels, then the timers' intervals
        return QStringList{w.panel(1), w.panel(2), w.panel(3), QString::number(w.timer1->interval()),
                           QString::number(w.timer2->interval())}
            .join(u'|');
    };
    // Dragging shows the hint and the time; only the release of the thumb takes it.
    slider2->setSliderDown(true);
    slider2->setSliderPosition(8);
    QCOMPARE(shown(), u"Drag to change space delay time|DT: 150 ms|SDT: 300 ms|150|250"_s);
    QVERIFY(!QFile::exists(w.folder.file("settings.ini")));
    slider2->setSliderDown(false);
    QCOMPARE(shown(), u"Ready|DT: 150 ms|SDT: 300 ms|150|300"_s);
    QVERIFY(w.timer2->isActive());
    // Keys count as a change too, a step at a time.
    QTest::keyClick(child<QSlider>(w.form, "Slider1"), Qt::Key_PageUp);
    QCOMPARE(shown(), u"Ready|DT: 175 ms|SDT: 300 ms|175|300"_s);
    const QByteArray settings = "[main]\r\nsdt=8\r\ndt=7\r\n";
    QCOMPARE(w.folder.readFile("settings.ini"), settings);
    // A drag that ends where it began says "Ready" again and writes nothing.
    slider2->setSliderDown(true);
    slider2->setSliderPosition(3);
    slider2->setSliderPosition(8);
    slider2->setSliderDown(false);
    QCOMPARE(shown(), u"Ready|DT: 175 ms|SDT: 300 ms|175|300"_s);
    QCOMPARE(w.folder.readFile("settings.ini"), settings);
}

// A long buffer wraps at spaces until it holds a run of marks too long for a line, then anywhere;
// keyed marks and spaces appended to it leave its direction as it was. A line of thousands of
// characters is shaped once, not again at every paint.
void TestKeying::laysOutLongBuffers() {
    Window w;
    auto layout = [&w] {
        const QTextOption option = w.text1->document()->defaultTextOption();
        const bool anywhere = option.wrapMode() == QTextOption::WrapAnywhere;
        const char* direction[] = {"left to right", "right to left", "auto"};
        const bool kept = w.text1->document()->lastBlock().layout()->cacheEnabled();
        return QString::fromLatin1(anywhere ? "anywhere, " : "at spaces, ") + direction[option.textDirection()] +
               (kept ? ", shaped once" : "");
    };
    auto press = [&w](int marks) {
        for (int i = 0; i < marks; ++i)
            w.form.MK_MouseDown(1), w.form.MK_MouseUp(1);
    };
    w.clipboard->setText(u". "_s.repeated(2100));
    w.form.Paste_Click();
    press(256);
    QCOMPARE(layout(), u"at spaces, left to right, shaped once"_s);
    press(1); // a run of 257 marks
    QCOMPARE(layout(), u"anywhere, left to right, shaped once"_s);
    w.form.Clear_Click();
    QCOMPARE(layout(), u"at spaces, auto"_s);
    w.clipboard->setText(u"\u05D0 "_s.repeated(2100));
    w.form.Paste_Click();
    Key(w.form, u"-.-"_s);
    QCOMPARE(layout(), u"at spaces, right to left, shaped once"_s);
}

QTEST_MAIN(TestKeying)
#include "tst_keying.moc"
