// The main window and what it opens; timers ticked by hand, mouse events stamped: nothing hangs on the machine's speed.
#include "fakeoutput.h"
#include "testsupport.h"
#include "textbox.h"

#include <dlfcn.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QString Panels(const Form1& form) {
    QStringList texts;
    for (int i = 1; i <= 5; ++i)
        texts << child<QLabel>(form, qPrintable(QStringLiteral("Panel%1").arg(i)))->text();
    return texts.join(u'|');
}

Probe speaker; // what the key has sounded, heard through a stand-in for the sound card

struct Window {
    ProgramFolder folder{true};
    const bool heard = (Sidetone::setOutputForTesting([] { return std::make_unique<FakeOutput>(speaker); }), true);
    Form1 form;
    QPlainTextEdit* text1 = child<QPlainTextEdit>(form, "Text1");
    QTimer* timer1 = child<QTimer>(form, "Timer1");
    QTimer* timer2 = child<QTimer>(form, "Timer2");
    QClipboard* clipboard = QGuiApplication::clipboard();

    QString buffer() const { return text1->toPlainText(); }
    QString output() const { return child<QPlainTextEdit>(form, "Text2")->toPlainText(); }
    QString panel(int i) const { return Panels(form).section(u'|', i - 1, i - 1); }
    // "buffer|output", and the timers running: Timer1 times a press, Timer2 a pause.
    QString keyed() const {
        return buffer() + '|' + output() + (timer1->isActive() ? "|press" : "") + (timer2->isActive() ? "|pause" : "");
    }
    // A mouse event on the key, stamped with the given time in milliseconds.
    void mouse(QEvent::Type type, quint64 stamp) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton, held, Qt::NoModifier);
        event.setTimestamp(stamp), QCoreApplication::sendEvent(child<QPushButton>(form, "MK"), &event);
    }
};

} // namespace

class TestMainWindow : public WindowTest {
    Q_OBJECT
private slots:
    void startsUp_data();
    void startsUp();
    void tellsOnceWhyItCannotDecode();
    void opensAndClosesTheOtherWindows();
    void keysMarksAndSpaces();
    void editsTheBuffer();
    void decodesWhatTheTableHolds();
    void movesTheSliders();
    void laysOutLongBuffers();
};

void TestMainWindow::startsUp_data() {
    QTest::addColumn<QByteArray>("settings"); // null: no file; "folder": a folder in its place
    QTest::addColumn<bool>("database");       // the bundled one in the program folder
    QTest::addColumn<QString>("panels");      // and Timer2's interval
    QTest::addColumn<QString>("told");
    QTest::addColumn<QString>("kept"); // panel 1 after each of two slider moves
    auto row = [](const char* name, const char* settings, bool database, const char* panels, const char* told = "",
                  const char* kept = "Ready|Ready") {
        QTest::newRow(name) << QByteArray(settings) << database << QString(panels) << QString(told) << QString(kept);
    };
    const char* defaults = "Ready|DT: 150 ms|SDT: 250 ms|Errors: 0|International|250";
    const char* dt10 = "Ready|DT: 250 ms|SDT: 250 ms|Errors: 0|International|250";
    row("no settings file", nullptr, true, defaults);
    row("sliders restored, at the ends, a pitch", "[main]\ndt=20\nsdt=1\nsidetone_hz=2000\n", true,
        "Ready|DT: 500 ms|SDT: 125 ms|Errors: 0|International|125");
    // Out of range, or not a number: the built-in values, and the file as it is.
    row("four values out of range", "[main]\ndt=abc\nsdt=21\nsidetone=2\nsidetone_hz=2001\n", true, defaults);
    row("another table, sidetone off", "[main]\ntable_name=Greek\nsidetone=0\n", true,
        "Ready|DT: 150 ms|SDT: 250 ms|Errors: 0|Greek|250");
    // The rest of the start-up runs, and the user is told once the window stands.
    row("missing database", "[main]\ndt=10\ntable_name=Greek\nsidetone_hz=100\n", false,
        "Ready|DT: 250 ms|SDT: 250 ms|Errors: 0|Greek|250",
        "does not exist. Decoding is unavailable. To use another database, choose Tools, Language, then restart");
    row("settings.ini a folder", "folder", true, defaults, "it is a folder, not a file",
        "Slider positions cannot be kept: P/settings.ini: it is a folder, not a file. Remove it, or put a settings "
        "file of at most 1 MiB in its place.|Ready");
    // A position the file holds already is not written again, so the start-up tells nothing.
    row("settings.ini read-only", "; read-only\n[main]\ndt=10\nsidetone_hz=99\n", true, dt10, "",
        "Slider positions cannot be kept: P/settings.ini: the file is read-only.|Ready");
    // Read beneath the user's own file, which the start-up does not begin: so the user is told.
    row("portable folder read-only", "; read-only folder\n[main]\ndt=10\n", true, dt10,
        "Dahdit's folder P cannot be written, so its settings.ini is read but not changed");
    row("no folder can keep the settings", "; read-only folder and home\n", true, defaults,
        "cannot be written. Choices made now (the slider positions, the language) are lost when Dahdit ends.",
        "Slider positions cannot be kept: H/config/dahdit/settings.ini: the folder H/config/dahdit cannot be made, "
        "because H cannot be written.|Ready");
}

void TestMainWindow::startsUp() {
    QFETCH(QByteArray, settings);
    QFETCH(bool, database);
    QFETCH(QString, told);
    ProgramFolder folder(database);
    QVERIFY(settings == "folder" ? QDir(folder.path()).mkdir("settings.ini")
                                 : settings.isNull() || (folder.writeFile("settings.ini", settings), true));
    const QString readOnly = settings.contains("folder") ? folder.path() : folder.file("settings.ini"); // as named
    for (const QString& path : {readOnly, settings.contains(" and home") ? folder.home() : readOnly})
        QVERIFY(!settings.startsWith("; read-only") || QFile(path).setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    SetAppPathForTesting(folder.path());
    Sidetone::setOutputForTesting([] { return std::make_unique<FakeOutput>(speaker); });
    Form1 form;
    QTEST(Panels(form) + '|' + QString::number(child<QTimer>(form, "Timer2")->interval()), "panels");
    const QString shown = Shown().join('\n'); // one message, or none where the row tells nothing
    QVERIFY2(told.isEmpty() ? shown.isEmpty()
                            : shown.count("Dahdit|") == 1 && shown.startsWith("Dahdit|") &&
                                  shown.simplified().replace(folder.path(), "P").contains(told),
             qPrintable(shown));
    // Nothing is written until a slider moves, and a missing database is not made.
    const QByteArray file = folder.readFile("settings.ini");
    QCOMPARE(file, settings == "folder" ? QByteArray() : settings);
    QCOMPARE(QFile::exists(folder.file("dahdit_db.mdb")), database);
    if (database) {
        const QString sos = Panels(form).endsWith("Greek") ? u"ΣΟΣ"_s : u"SOS"_s;
        QCOMPARE(Decode(form, QStringLiteral("... --- ... ")), sos);
    } else { // keying still fills the buffer; the user is not told again, but the status bar says why
        Key(form, "."), Key(form, ".");
        QCOMPARE(child<QPlainTextEdit>(form, "Text1")->toPlainText(), u". . "_s);
        QVERIFY(Panels(form).contains("does not exist"));
    }
    // A moved slider holds for the session even where it cannot be kept: told in the status bar.
    auto move = [&form, database](int position) { // a mark keyed after it leaves the status bar as it is
        child<QSlider>(form, "Slider1")->setValue(position);
        Key(form, database ? "." : ""); // no decode where there is nothing to decode with
        return Panels(form).section(u'|', 0, 0);
    };
    QString kept = move(9) + u'|';
    QTEST((kept += move(11)).replace(folder.path(), "P").replace(folder.home(), "H"), "kept");
    QCOMPARE(child<QTimer>(form, "Timer1")->interval(), 275);
    if (kept.startsWith("Ready")) // and a failure told before the moves has no tooltip left
        QCOMPARE(Module1::ReadSetting("main", "dt") + child(form, "Panel1")->toolTip(), u"11"_s);
    else
        QCOMPARE(folder.readFile("settings.ini"), file);
    speaker.period = 0, form.MK_MouseDown(1); // the key sounds at its pitch while held, unless sidetone=0 turned it off
    QTRY_COMPARE(speaker.sounding.load(), !settings.contains("sidetone=0"));
    const int hz = settings.contains("=2000") ? 2000 : settings.contains("=100\n") ? 100 : 600; // the pitch at each end
    QTRY_COMPARE(speaker.period * hz, speaker.sounding ? 48000 : 0);
    form.MK_MouseUp(1);
    QTRY_VERIFY(!speaker.sounding);
}

void TestMainWindow::tellsOnceWhyItCannotDecode() {
    // Locked by another program from start-up on: told once; once the lock is gone, decoding works without a restart.
    ProgramFolder folder(true);
    const QString db = folder.file("dahdit_db.mdb");
    const QString locked =
        "The code table database " + db + " is locked by another program. Close that program or try again in a moment.";
    SqliteConnection other;
    QCOMPARE(OpenSqlite(db.toUtf8(), SQLITE_OPEN_READWRITE, &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other.get(), "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    Form1 form;
    QCOMPARE(Shown(), QStringList("Dahdit|48|" + locked + "\n\nDahdit opens the file again at the next decode."));
    QCOMPARE(Decode(form, QStringLiteral("... ")), QString());
    emit child<QSlider>(form, "Slider1")->sliderReleased(); // its thumb let go where it was: the failure stays
    QVERIFY(Panels(form).startsWith("Cannot decode: " + locked) && child(form, "Panel1")->toolTip() == locked);
    QCOMPARE(sqlite3_exec(other.get(), "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    QCOMPARE(Decode(form, QStringLiteral("... --- ")), u"SO"_s);
    QVERIFY(Panels(form).startsWith("Ready|") && child(form, "Panel1")->toolTip().isEmpty());
    auto* slider = child<QSlider>(form, "Slider2"); // a decode while its thumb is dragged leaves the hint be
    slider->setSliderDown(true), slider->setSliderPosition(8), Decode(form, QStringLiteral("... "));
    QVERIFY(Panels(form).startsWith("Drag to change space delay time|"));
    QVERIFY(ExecSql(db, "ALTER TABLE International RENAME TO Gone")); // a table gone at a decode is told then, once
    Decode(form, QStringLiteral("... ")), Decode(form, QStringLiteral("--- "));
    QCOMPARE(Shown().join(' ').count("\"International\" does not exist in " + db), 1);
}

void TestMainWindow::opensAndClosesTheOtherWindows() {
    ProgramFolder folder;
    MakeCodeTable(folder.file("dahdit_db.mdb"), "International", {{".-", "A"}, {"-...", "B"}});
    MakeCodeTable(folder.file("dahdit_db.mdb"), "Greek", {});
    QCoreApplication::setApplicationVersion(QStringLiteral(DAHDIT_VERSION)); // as main() does
    Form1 form;
    form.show();
    // Every window opens as drawn (testsupport.h says how a line reads), as its menu item opens it.
    QCOMPARE(Looks(form),
             QStringList({"[Dahdit] minimize",
                          "Text1 [] focus no undo tab moves on fixed pitch scroll bar always named Morse buffer",
                          "Slider1 [6 of 1 to 20, steps 1 and 1] named Delay time",
                          "Slider2 [6 of 1 to 20, steps 1 and 1] named Space delay time",
                          "MK [Morse] bold named Morse key", "BS [<<] disabled bold named Remove last character",
                          "Text2 [] no undo tab moves on fixed pitch scroll bar always named Decoded text",
                          "StatusBar1 []", "Panel1 [Ready] sunken", "Panel2 [DT: 150 ms] sunken",
                          "Panel3 [SDT: 250 ms] sunken", "Panel4 [Errors: 0] sunken", "Panel5 [International] sunken",
                          "File [Save Ctrl+S disabled|Exit]", "Edit [Copy Ctrl+C|Copy Output|Paste Ctrl+V|Clear Del]",
                          "Tools [DB Editor Ctrl+D|Language Ctrl+L]", "Help [Dahdit Readme|About...]",
                          "Timer1 every 150 ms, precise, stopped", "Timer2 every 250 ms, precise, running"}));
    auto others = [&form] { // the top-level windows other than the main window and its menus, once closed ones go
        RunDeferredDeletes();
        QStringList windows;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window != &form && window->windowType() != Qt::Popup)
                windows << window->objectName() + QString(window->isVisible() ? "" : " hidden");
        return windows.sort(), windows.join(' ');
    };
    auto looks = [&](const char* name) { // the program folder as P
        return Looks(*TopWindow(name)).join('\n').replace(folder.path(), "P").split('\n');
    };
    // One About window, however often asked for; closed, it is gone. Save is offered once there is output text.
    for (const char* item : {"About", "About", "Save"})
        child<QAction>(form, item)->trigger();
    QCOMPARE(others(), u"Form2"_s);
    QCOMPARE(looks("Form2"), QStringList({"[About] tool", "Label2 [Version " DAHDIT_VERSION "]", "Image1 [a picture]",
                                          "Label1 [Dahdit] bold", "Label3 [Written by the Dahdit developers] wraps top",
                                          "Label4 [Copyright (c) 2026 Dahdit team]"}));
    TopWindow("Form2")->close();
    QCOMPARE(others(), QString());
    // The readme: missing, no opener, one that shows it, one that fails, one that cannot run. Each failure is told.
    const char* scripts[] = {nullptr, nullptr, "echo \"$@\" >\"$0.args\"", "exit 3", ""};
    const char* whys[] = {"is missing", "xdg-utils", nullptr, "status 3", "format error"};
    QStringList told;
    for (int i = 0; i < 5; ++i) {
        const char *script = scripts[i], *why = whys[i];
        const QString bin = QString::number(i), opener = folder.file(bin + "/xdg-open");
        QVERIFY(QDir(folder.path()).mkdir(bin));
        if (i == 1)
            folder.writeFile("readme.txt", "Dahdit");
        if (script)
            folder.writeFile(bin + "/xdg-open", QByteArray(*script ? "#!/bin/sh\n" : "") + script);
        QVERIFY(!script || QFile::setPermissions(opener, QFile::ReadOwner | QFile::ExeOwner));
        const ScopedEnv path("PATH", QFile::encodeName(folder.file(bin)));
        child<QAction>(form, "DahditReadme")->trigger();
        QTRY_VERIFY(why ? (told += Shown()).join('\n').contains(why) : QFile::exists(opener + ".args"));
    }
    QCOMPARE(std::tuple(told.size(), told.join('\n').count("yourself: " + folder.file("readme.txt")),
                        BytesOf(folder.file("2/xdg-open.args"))),
             std::tuple(4, 3, folder.file("readme.txt").toUtf8() + '\n'));
    // Every other window closes with the program, by the Exit menu item.
    Decode(form, QStringLiteral(".- -... "));
    for (const char* item : {"Save", "DBEditor", "DBEditor", "Language", "About"}) // once each, however often asked
        child<QAction>(form, item)->trigger();
    QCOMPARE(others(), u"Form2 Form3 Form4 Form5"_s);
    QCOMPARE(looks("Form3"),
             QStringList({"[Save File] tool", "Text1 [P/] named Save in:", "Text2 [] focus named File name:",
                          "Combo1 [.txt of .txt/.mrs] editable, adds nothing named .txt", "Command1 [Save] default",
                          "Command2 [Cancel]", "Label1 [Save in:] for Text1", "Label2 [File name:] for Text2"}));
    QCOMPARE(looks("Form4"),
             QStringList({"[Dahdit Database Editor]",
                          "ListView1 [Signal|Morse Code] focus whole-row focus flat no editing in place fixed columns "
                          "named Current entries",
                          "Text1 [] named Signal:", "Text2 [] named Code:", "Command1 [Add] default",
                          "Command2 [Remove] hidden", "Command3 [Cancel] hidden", "Frame1 [Current entries (2)]",
                          "Unavailable [] hidden wraps top selectable", "Frame2 [New entry]", "Label1 [ID:]",
                          "Label2 [Signal:] for Text1", "Label3 [Code:] for Text2", "Label4 [Automatic]",
                          "Label6 [Warning: changes made to the database are irreversible. We recommend that you make "
                          "a copy of the database before modifying or changing it in any way.] wraps"}));
    QCOMPARE(looks("Form5"),
             QStringList({"[Language Options] tool", "Text1 [P/dahdit_db.mdb] focus named Database file",
                          "Command3 [Use Default]", "List1 [International|Greek] named Code table",
                          "Command1 [OK] default", "Command2 [Cancel]", "Frame1 [Database]", "Frame2 [Table]",
                          "Label1 [Current: International]", "Label2 [] hidden wraps top selectable"}));
    child<QAction>(form, "Exit")->trigger();
    QCOMPARE(others(), QString());
    QCOMPARE(Looks(form).constLast() + (form.isVisible() ? " shown" : ""), u"Timer2 every 250 ms, precise, stopped"_s);
}

void TestMainWindow::keysMarksAndSpaces() {
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
    w.form.Clear_Click(), w.form.Timer2_Timer();
    QCOMPARE(w.keyed(), u"||pause"_s);
    for (const char* symbol : {"...", "---", "...", "..--", "-.-"})
        Key(w.form, symbol);
    QCOMPARE(w.keyed() + ' ' + w.panel(4), u"... --- ... ..-- -.- |SOS K|pause Errors: 0"_s);

    // The event times decide, not the ticks: a press of 150 ms untimed is a dash; one of 148 ms ticked is a dot.
    w.form.MK_MouseDown(1), w.form.MK_MouseUp(1); // untimed, so no pause is measured from it: no space
    w.mouse(QEvent::MouseButtonPress, 10000), w.mouse(QEvent::MouseButtonRelease, 10150);
    w.mouse(QEvent::MouseButtonPress, 10200), w.form.Timer1_Timer(), w.mouse(QEvent::MouseButtonRelease, 10348);
    QCOMPARE(w.buffer(), QStringLiteral("... --- ... ..-- -.- .-."));
    // A pause of the space delay time closes the symbol although the tick was late.
    w.mouse(QEvent::MouseButtonPress, 10598);
    QCOMPARE(w.keyed(), u"... --- ... ..-- -.- .-. |SOS KR|press"_s);
    w.mouse(QEvent::MouseButtonRelease, 10650);
    // A late tick's space goes again when the next press came before the space delay time, even at once.
    w.form.Timer2_Timer();
    QCOMPARE(w.buffer().right(5), u"-. . "_s);
    w.mouse(QEvent::MouseButtonPress, 10650), w.mouse(QEvent::MouseButtonRelease, 10700);
    w.form.Timer2_Timer();
    QCOMPARE(w.keyed(), u"... --- ... ..-- -.- .-. .. |SOS KRI|pause"_s);
    // A second press while held starts nothing (held 160 ms from the first); a double click without its press is one.
    w.mouse(QEvent::MouseButtonPress, 11300), w.mouse(QEvent::MouseButtonDblClick, 11400);
    w.mouse(QEvent::MouseButtonRelease, 11460), w.form.Timer2_Timer();
    w.mouse(QEvent::MouseButtonDblClick, 12000), w.mouse(QEvent::MouseButtonRelease, 12050), w.form.Timer2_Timer();
    QCOMPARE(w.output(), u"SOS KRITE"_s);
    // Left to run, the timers key by themselves: a dash, then the symbol closed.
    w.form.Clear_Click();
    for (QTimer* timer : {w.timer1, w.timer2}) {
        QSignalSpy ticked(timer, &QTimer::timeout);
        timer == w.timer1 ? w.form.MK_MouseDown(1) : w.form.MK_MouseUp(1);
        QVERIFY(ticked.wait());
    }
    QCOMPARE(w.keyed(), u"- |T|pause"_s);
    // A failure found by a press is told once the press is taken; a box that opens while the key is held takes the
    // mouse and the key's release with it: the press is given up, without a mark, and the tone stops.
    w.mouse(QEvent::MouseButtonPress, 20000), w.mouse(QEvent::MouseButtonRelease, 20050);
    QVERIFY(ExecSql(w.folder.file("dahdit_db.mdb"), "DROP TABLE International"));
    w.mouse(QEvent::MouseButtonPress, 21000); // the symbol closed by the pause is not found
    QCOMPARE(w.keyed() + QString::number(MessageBox::takeShown().size()), u"- . ||press0"_s);
    QTRY_VERIFY(speaker.sounding);
    QDialog(&w.form).open(); // a box, as it opens
    QCOMPARE(w.keyed() + QString::number(Shown().size()), u"- . ||pause1"_s);
    QTRY_VERIFY(!speaker.sounding);
}

void TestMainWindow::editsTheBuffer() {
    Window w;
    // "<<" removes the closing space, which does not come back; the next mark extends the symbol.
    Key(w.form, ".-");
    w.form.BS_Click();
    QCOMPARE(w.keyed(), u".-|"_s);
    w.form.MK_MouseDown(1), w.form.MK_MouseUp(1);
    w.form.BS_Click(), w.form.BS_Click(), w.form.BS_Click();
    QCOMPARE(w.keyed() + (child(w.form, "BS")->isEnabled() ? " <<" : ""), u"|"_s); // nothing left: "<<" disabled

    // Typing goes on from the mark keyed last, and stops the space timer: a long pause then closes nothing.
    w.form.show();
    w.mouse(QEvent::MouseButtonPress, 1000), w.mouse(QEvent::MouseButtonRelease, 1050);
    w.text1->setFocus();
    QTest::keyClicks(w.text1, "--");
    w.mouse(QEvent::MouseButtonPress, 2000), w.mouse(QEvent::MouseButtonRelease, 2050);
    QCOMPARE(w.keyed(), u".--.||pause"_s);

    // "<<" removes one character as the user sees it: what Copy then gets holds no half of one.
    w.clipboard->setText(u".- \U0001F44D\U0001F3FD"_s), w.form.Paste_Click(); // two code points, four units
    w.form.BS_Click(), w.form.Copy_Click();
    QCOMPARE(w.clipboard->text(), u".- "_s);
    // Copy and Paste take the whole buffer; an empty buffer empties the clipboard, and the other way.
    const QString pasted = QStringLiteral(".-\u00A0-...\n.- -... ...");
    w.clipboard->setText(pasted), w.form.Paste_Click();
    QCOMPARE(w.output() + '|' + w.clipboard->text(), "B|" + pasted); // the last symbol is still open
    w.form.Timer2_Timer(), w.form.CopyOutput_Click();
    QCOMPARE(w.clipboard->text(), u"BS"_s);
    w.form.Copy_Click();
    QCOMPARE(w.clipboard->text(), pasted + u' ');
    w.clipboard->clear(), w.form.Paste_Click();
    w.clipboard->setText(u"old"_s), w.form.Copy_Click();
    QCOMPARE(w.buffer() + '|' + w.clipboard->text(), u"|"_s);

    QApplication::setActiveWindow(&w.form); // the window's shortcuts work from either text box
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
        QCOMPARE(w.buffer() + '|' + w.output(), u".- -... |AB"_s); // the whole buffer replaced
        QTest::keyClick(box, Qt::Key_Delete);
        QCOMPARE(w.buffer(), QString()); // Del empties the whole buffer
    }
    QTest::keyClick(w.text1, Qt::Key_F10); // and F10 opens the first menu
    QTRY_VERIFY(child<QMenu>(w.form, "File")->isVisible());
}

void TestMainWindow::decodesWhatTheTableHolds() {
    Window w;
    // An empty symbol; the last one still keyed; unknown; two spaces make an empty one, also last; a line break joins.
    for (const auto& [buffer, output, errors] : {std::tuple{u" "_s, u""_s, 1},
                                                 {u".- -... -.-."_s, u"AB"_s, 0},
                                                 {u"........ "_s, u""_s, 1},
                                                 {u".-  -...  "_s, u"AB"_s, 2},
                                                 {u".-\n-... "_s, u""_s, 1}}) {
        for (int twice = 0; twice < 2; ++twice) // recomputed, not added to
            QCOMPARE(Decode(w.form, buffer), output);
        QCOMPARE(w.panel(4), QStringLiteral("Errors: %1").arg(errors));
        QCOMPARE(child<QAction>(w.form, "Save")->isEnabled(), !output.isEmpty());
        QCOMPARE(child<QPushButton>(w.form, "BS")->isEnabled(), !buffer.isEmpty());
    }
    // Empty or NULL text adds nothing and is no error; a NULL code matches nothing; the first row
    // of a code wins; rows added by another program show at the next paste.
    w.clipboard->setText(u".-.-.-.- -.-.-.-. ........ .- "_s), w.form.Paste_Click();
    QCOMPARE(w.panel(4), u"Errors: 3"_s);
    QVERIFY(ExecSql(w.folder.file("dahdit_db.mdb"), "INSERT INTO International (MS, TS) VALUES ('........', '<HH>'), "
                                                    "('.-.-.-.-', ''), ('-.-.-.-.', NULL), (NULL, 'X'), ('.-', 'x')"));
    w.form.Paste_Click();
    QCOMPARE(w.output() + ' ' + w.panel(4), u"<HH>A Errors: 0"_s);
    // More than 64 KiB of text counts as unknown, told once, a long code cut short (the output's bound: tst_store).
    const QString code(25, u'-');
    QVERIFY(ExecSql(w.folder.file("dahdit_db.mdb"),
                    "UPDATE International SET TS = hex(zeroblob(40000)), MS = '" + code + "' WHERE MS = '-'"));
    QCOMPARE(Decode(w.form, code + " . " + code + " "), u"E"_s);
    QCOMPARE(w.panel(4), u"Errors: 2"_s);
    const QStringList shown = Shown();
    QVERIFY2(shown.size() == 1 && shown[0].contains("gives the code \"" + code.left(24) + "\u2026\" a text of " +
                                                    QLocale::system().formattedDataSize(80000, 1) + ", more"),
             qPrintable(shown.join('\n')));
}

void TestMainWindow::movesTheSliders() {
    Window w;
    auto* slider2 = child<QSlider>(w.form, "Slider2");
    auto shown = [&w] { // the status bar's first three panels, then the timers' intervals
        return Panels(w.form).section('|', 0, 2) + u"|%1|%2"_s.arg(w.timer1->interval()).arg(w.timer2->interval());
    };
    // Dragging shows the hint and the time; only the release of the thumb takes it.
    slider2->setSliderDown(true), slider2->setSliderPosition(8);
    QCOMPARE(shown(), u"Drag to change space delay time|DT: 150 ms|SDT: 300 ms|150|250"_s);
    QVERIFY(!QFile::exists(w.folder.file("settings.ini")));
    slider2->setSliderDown(false);
    QCOMPARE(shown(), u"Ready|DT: 150 ms|SDT: 300 ms|150|300"_s);
    QVERIFY(w.timer2->isActive());
    QTest::keyClick(child<QSlider>(w.form, "Slider1"), Qt::Key_PageUp); // keys change it too, a step at a time
    QCOMPARE(shown(), u"Ready|DT: 175 ms|SDT: 300 ms|175|300"_s);
    const QByteArray settings = "[main]\r\nsdt=8\r\ndt=7\r\n";
    QCOMPARE(w.folder.readFile("settings.ini"), settings);
    // A drag of either slider that ends where it began says "Ready" again and writes nothing.
    for (QSlider* slider : {child<QSlider>(w.form, "Slider1"), slider2}) {
        slider->setSliderDown(true), slider->setSliderPosition(3), slider->setSliderPosition(slider->value());
        slider->setSliderDown(false);
        QCOMPARE(shown(), u"Ready|DT: 175 ms|SDT: 300 ms|175|300"_s);
    }
    QCOMPARE(w.folder.readFile("settings.ini"), settings);
}

void TestMainWindow::laysOutLongBuffers() {
    const auto* shaped = static_cast<std::atomic<long long>*>(dlsym(RTLD_DEFAULT, "DahditShapedCharacters"));
    const auto* directions = static_cast<std::atomic<long long>*>(dlsym(RTLD_DEFAULT, "DahditDirectionLookups"));
    QVERIFY2(shaped && directions, "the tests' interposer (interpose.cpp) is not preloaded");
    Window w;
    QVERIFY((w.form.show(), QTest::qWaitForWindowExposed(&w.form)));
    // How often a step measures, shapes and looks along a line of 256 KiB for its direction, painted.
    const qsizetype line = 1 << 18;
    auto cost = [&](auto step) {
        const long long measured = LongLineMeasures(), before = *shaped, looked = *directions;
        step();
        for (const char* box : {"Text1", "Text2"})
            child<QPlainTextEdit>(w.form, box)->viewport()->repaint();
        return QStringLiteral("%1 measured, %2 shaped, %3 directions")
            .arg(LongLineMeasures() - measured)
            .arg(double(*shaped - before) / double(line), 0, 'f', 1)
            .arg(*directions - looked);
    };
    // After a run of marks too long to break between symbols, a buffer of symbols breaks between them again.
    Decode(w.form, QString(300, u'-')), Decode(w.form, u"-.-. .- -... "_s.repeated(100));
    const QTextBlock block = w.text1->document()->firstBlock();
    QString ends; // the last character of each line
    for (int i = 0; i < block.layout()->lineCount(); ++i)
        ends += block.text().at(block.layout()->lineAt(i).textStart() + block.layout()->lineAt(i).textLength() - 1);
    QVERIFY2(ends.count(u' ') == ends.size() && ends.size() > 10, qPrintable(ends));
    Decode(w.form, QString(200, u'-')); // a run too short to be broken anywhere still breaks at the box's edge
    const QTextLayout* run = w.text1->document()->firstBlock().layout();
    QVERIFY(run->lineCount() > 1 && run->lineAt(0).naturalTextWidth() <= w.text1->viewport()->width());
    auto mark = [&w] { w.form.MK_MouseDown(1), w.form.MK_MouseUp(1); };
    auto blink = [&w] { w.text1->viewport()->repaint(w.text1->cursorRect().adjusted(-2, 0, 2, 0)); };
    // A keyed mark lays the line out once, a caret blink never.
    for (const QString& text : {u". "_s.repeated(line / 2), QString(line, u'-'), QString(line, QChar(0x627))}) {
        Decode(w.form, text);
        QCOMPARE(cost(mark) + ", " + cost(blink),
                 u"1 measured, 1.0 shaped, 1 directions, 0 measured, 0.0 shaped, 0 directions"_s);
        QImage seen = w.text1->viewport()->grab().toImage(), blank = seen; // scrolled down, still drawn
        blank.fill(w.text1->palette().base().color());
        QVERIFY(w.text1->verticalScrollBar()->value() > 100 && seen != blank);
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
