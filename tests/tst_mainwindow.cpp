// The main window's start-up from the settings and the database it finds, what it tells when
// decoding cannot work, the windows it opens and closes, and the readme command.
#include "readme.h"
#include "testsupport.h"

using namespace Qt::Literals::StringLiterals;

namespace {
QString Panels(const Form1& form) {
    QStringList texts;
    for (int i = 1; i <= 5; ++i)
        texts << child<QLabel>(form, qPrintable(QStringLiteral("Panel%1").arg(i)))->text();
    return texts.join(u'|');
}
} // namespace

class TestMainWindow : public WindowTest {
    Q_OBJECT
private slots:
    void startsUp_data();
    void startsUp();
    void tellsOnceWhyItCannotDecode();
    void opensAndClosesTheOtherWindows();
};

void TestMainWindow::startsUp_data() {
    QTest::addColumn<QByteArray>("settings"); // null: no file; "folder": a folder in its place
    QTest::addColumn<bool>("database");       // the bundled one in the program folder
    QTest::addColumn<QString>("panels");
    QTest::addColumn<int>("sdt"); // Timer2's interval
    QTest::addColumn<QString>("told");
    QTest::addColumn<QString>("kept"); // panel 1 after each of two slider moves
    auto row = [](const char* name, const char* settings, bool database, const char* panels, int sdt,
                  const char* told = "", const char* kept = "Ready|Ready") {
        QTest::newRow(name) << QByteArray(settings) << database << QString(panels) << sdt << QString(told)
                            << QString(kept);
    };
    const char* defaults = "Ready|DT: 150 ms|SDT: 250 ms|Errors: 0|International";
    row("no settings file", nullptr, true, defaults, 250);
    row("sliders restored", "[main]\ndt=10\nsdt=1\n", true, "Ready|DT: 250 ms|SDT: 125 ms|Errors: 0|International",
        125);
    // Outside 1 to 20, or not a number: the start position, and the file as it is.
    row("dt=abc, sdt=99", "[main]\ndt=abc\nsdt=99\n", true, defaults, 250);
    row("dt=0, sdt=-1", "[main]\ndt=0\nsdt=-1\n", true, defaults, 250);
    row("another table", "[main]\ntable_name=Greek\n", true, "Ready|DT: 150 ms|SDT: 250 ms|Errors: 0|Greek", 250);
    // The rest of the start-up runs, and the user is told once the window stands.
    row("missing database", "[main]\ndt=10\ntable_name=Greek\n", false, "Ready|DT: 250 ms|SDT: 250 ms|Errors: 0|Greek",
        250, "does not exist. Decoding is unavailable. To use another database, choose Tools, Language, then restart");
    row("settings.ini a folder", "folder", true, defaults, 250, "it is a folder, not a file",
        "Slider positions cannot be kept: P/settings.ini: it is a folder, not a file. Remove it, or put a settings "
        "file "
        "of at most 1 MiB in its place.|Ready");
    // A position the file holds already is not written again, so the start-up tells nothing.
    row("settings.ini read-only", "; read-only\n[main]\ndt=10\n", true,
        "Ready|DT: 250 ms|SDT: 250 ms|Errors: 0|International", 250, "",
        "Slider positions cannot be kept: P/settings.ini: the file is read-only. Make it writable and try "
        "again.|Ready");
    // Read beneath the user's own file, which the start-up does not begin: so the user is told.
    row("portable folder read-only", "; read-only folder\n[main]\ndt=10\n", true,
        "Ready|DT: 250 ms|SDT: 250 ms|Errors: 0|International", 250,
        "Dahdit's folder P cannot be written, so its settings.ini is read but not changed");
}

void TestMainWindow::startsUp() {
    QFETCH(QByteArray, settings);
    QFETCH(bool, database);
    QFETCH(QString, told);
    ProgramFolder folder(database);
    if (settings == "folder")
        QVERIFY(QDir(folder.path()).mkdir("settings.ini"));
    else if (!settings.isNull())
        folder.writeFile("settings.ini", settings);
    if (settings.startsWith("; read-only"))
        QVERIFY(QFile(settings.contains("folder") ? folder.path() : folder.file("settings.ini"))
                    .setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    Form1 form;
    QTEST(Panels(form), "panels");
    QTEST(child<QTimer>(form, "Timer2")->interval(), "sdt");
    const QStringList shown = Shown();
    QCOMPARE(shown.size(), told.isEmpty() ? 0 : 1);
    for (const QString& text : shown)
        QVERIFY2(text.startsWith("Dahdit|") && text.simplified().replace(folder.path(), "P").contains(told),
                 qPrintable(text));
    // Nothing is written until a slider moves, and a missing database is not made.
    const QByteArray file = folder.readFile("settings.ini");
    QCOMPARE(file, settings == "folder" ? QByteArray() : settings);
    QCOMPARE(QFile::exists(folder.file("dahdit_db.mdb")), database);
    if (database) {
        const QString sos = Panels(form).endsWith("Greek") ? u"ΣΟΣ"_s : u"SOS"_s;
        QCOMPARE(Decode(form, QStringLiteral("... --- ... ")), sos);
    } else { // keying still fills the buffer; the user is not told again, but the status bar says why
        Key(form, ".");
        Key(form, ".");
        QCOMPARE(child<QPlainTextEdit>(form, "Text1")->toPlainText(), u". . "_s);
        QVERIFY(Panels(form).contains("does not exist"));
    }
    // A moved slider holds for the session even where its position cannot be kept: told once,
    // in the status bar, without a box that would stop the keying; the file stays as it was.
    auto move = [&form](int position) {
        child<QSlider>(form, "Slider1")->setValue(position);
        return Panels(form).section(u'|', 0, 0);
    };
    QString kept = move(9) + u'|';
    kept += move(11);
    QTEST(kept.replace(folder.path(), "P"), "kept");
    QCOMPARE(child<QTimer>(form, "Timer1")->interval(), 275);
    if (kept.startsWith("Ready"))
        QCOMPARE(Module1::ReadSetting("main", "dt"), u"11"_s);
    else
        QCOMPARE(folder.readFile("settings.ini"), file);
}

void TestMainWindow::tellsOnceWhyItCannotDecode() {
    { // A missing table: start-up succeeds, and the first decode tells, once.
        ProgramFolder folder(true);
        folder.writeFile("settings.ini", "[main]\ntable_name=x; drop table International\n");
        Form1 form;
        QCOMPARE(Decode(form, QStringLiteral("... --- ")), QString());
        Decode(form, QStringLiteral("... --- ... "));
        const QStringList shown = Shown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].contains("\"x; drop table International\" does not exist"));
        QVERIFY(Panels(form).startsWith("Cannot decode: "));
        QVERIFY(!child<QAction>(form, "Save")->isEnabled());
    }
    // Locked by another program from start-up on: the file is opened again at the next decode,
    // which waits a moment for the lock, and once it is gone decoding works without a restart.
    ProgramFolder folder(true);
    SqliteConnection other;
    QCOMPARE(OpenSqlite(folder.file("dahdit_db.mdb").toUtf8(), SQLITE_OPEN_READWRITE, &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other.get(), "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    Form1 form;
    const QStringList shown = Shown();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].contains("locked by another program"));
    QVERIFY(shown[0].endsWith("Dahdit opens the file again at the next decode."));
    QCOMPARE(Decode(form, QStringLiteral("... ")), QString());
    QVERIFY(Panels(form).contains("locked by another program"));
    QCOMPARE(sqlite3_exec(other.get(), "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    QCOMPARE(Decode(form, QStringLiteral("... --- ")), u"SO"_s);
    QVERIFY(Panels(form).startsWith("Ready|"));
}

void TestMainWindow::opensAndClosesTheOtherWindows() {
    ProgramFolder folder(true);
    Form1 form;
    form.show();
    QPointer<Form2> about;
    auto others = [&form, &about] { // the top-level windows other than the main window and its menus
        QStringList windows;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window != &form && window->windowType() != Qt::Popup)
                windows << window->metaObject()->className() + QString(window->isVisible() ? "" : " hidden");
            if (auto* found = qobject_cast<Form2*>(window))
                about = found;
        }
        windows.sort();
        return windows.join(' ');
    };
    // One About window, however often asked for, with the version the build gives; closed, it is gone.
    QCoreApplication::setApplicationVersion(QStringLiteral(DAHDIT_VERSION)); // as main() does
    for (int twice = 0; twice < 2; ++twice)
        child<QAction>(form, "About")->trigger();
    QCOMPARE(others(), u"Form2"_s);
    QCOMPARE(child<QLabel>(*about, "Label2")->text(), u"Version " DAHDIT_VERSION ""_s);
    about->close();
    RunDeferredDeletes();
    QCOMPARE(others(), QString());
    // Every other window closes with the program, by the Exit menu item. Save is offered once there is output text.
    Decode(form, QStringLiteral(".- -... "));
    for (const char* item : {"Save", "DBEditor", "Language", "About"}) // by the menus' items
        child<QAction>(form, item)->trigger();
    QCOMPARE(others(), u"Form2 Form3 Form4 Form5"_s);
    child<QAction>(form, "Exit")->trigger();
    RunDeferredDeletes();
    QCOMPARE(others(), QString());
    QVERIFY(!form.isVisible());

    // The readme missing, no opener to start, or one that finds no program for it: the user is told
    // in a box, with where the readme is.
    const QString readme = QDir::toNativeSeparators(folder.file("readme.txt"));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(folder.path()));
    Readme::open(nullptr);
    QVERIFY(Shown().value(0).contains(readme + " is missing"));
    folder.writeFile("readme.txt", "Dahdit");
    Readme::open(nullptr);
    QVERIFY(Shown().value(0).contains("xdg-open, which opens files with the desktop's programs, is not installed"));
    folder.writeFile("xdg-open", "#!/bin/sh\necho \"$@\" > \"$0.args\"\nexit 3\n");
    QFile(folder.file("xdg-open")).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    Readme::open(nullptr);
    QStringList shown;
    QTRY_COMPARE((shown += Shown()).size(), 1);
    qputenv("PATH", path);
    QVERIFY(shown[0].contains("(xdg-open ended with status 3)"));
    QVERIFY(shown[0].endsWith(readme));
    QCOMPARE(folder.readFile("xdg-open.args"), QFile::encodeName(folder.file("readme.txt")) + '\n');
    // Installed, the program folder holds the program alone; the readme is in the data folder,
    // which minimal systems keep (they leave out the documentation).
    QVERIFY(QDir(folder.path()).mkpath("lib/dahdit"));
    SetAppPathForTesting(folder.file("lib/dahdit"));
    QCOMPARE(Readme::path(), folder.file("share/dahdit/readme.txt"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
