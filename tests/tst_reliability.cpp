// Faults and bad input: what Dahdit tells the user about broken, locked, odd or hostile files and
// input, that it goes on running, and that no file the user had is lost or damaged. The test
// writes what it saw as a Markdown table: to $DAHDIT_WRITE_RELIABILITY when set, else to
// reliability.md in the working folder. Each fault is met once, as the user meets it; the
// details of each message are left to the tests of each window.
#include "apppath.h"
#include "form1.h"
#include "form3.h"
#include "form4.h"
#include "form5.h"
#include "messagebox.h"
#include "module1.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSlider>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTreeWidget>
#include <sys/mount.h>
#include <sys/stat.h>

namespace {

struct Row {
    QString fault, told, files, test;
};
QList<Row> g_rows;

// One line of the table: the fault, what the user was told (the messages, joined, with the
// temporary program folder as <program folder> so that rows do not differ from run to run),
// what became of the files, and the test that showed it (by default the running function).
void record(const QString& fault, const QStringList& told, const QString& files, const char* test = nullptr) {
    QStringList cells;
    for (QString text : told) {
        text.replace(QDir::toNativeSeparators(AppPath()), QStringLiteral("<program folder>"));
        text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1String("  "), QLatin1String(" "));
        cells << text.trimmed();
    }
    g_rows.append({fault, cells.isEmpty() ? QStringLiteral("nothing") : cells.join(QStringLiteral(" / ")), files,
                   QString::fromLatin1(test ? test : QTest::currentTestFunction())});
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
}

QStringList messages() {
    QCoreApplication::processEvents(); // a start-up message is shown once the event loop turns
    QStringList texts;
    for (const MessageBox::Shown& shown : MessageBox::takeShown())
        texts << shown.title + QStringLiteral(": ") + shown.text;
    return texts;
}

template <typename T> T* child(const QWidget& window, const char* name) {
    if (T* found = window.findChild<T*>(QLatin1String(name)))
        return found;
    qFatal("no control %s", name);
}

// Replaces the keyed buffer, as a paste does, and returns the decoded output.
QString decode(Form1& form, const QString& buffer) {
    child<QPlainTextEdit>(form, "Text1")->setPlainText(buffer);
    return child<QPlainTextEdit>(form, "Text2")->toPlainText();
}

// Types an entry into the editor and presses Add.
void addEntry(Form4& editor, const QString& signal, const QString& code) {
    child<QLineEdit>(editor, "Text1")->setText(signal);
    child<QLineEdit>(editor, "Text2")->setText(code);
    editor.Command1_Click();
}

// Another program holding an exclusive lock on the database until its input is closed.
bool LockFromAnotherProcess(QProcess& process, const QString& db) {
    const QString script =
        QStringLiteral("import sqlite3, sys; c = sqlite3.connect(sys.argv[1], isolation_level=None); "
                       "c.execute('BEGIN EXCLUSIVE'); print('locked', flush=True); sys.stdin.read()");
    process.start(QStringLiteral("python3"), {QStringLiteral("-c"), script, db});
    return process.waitForReadyRead(10000) && process.readLine().trimmed() == "locked";
}

} // namespace

class TestReliability : public QObject {
    Q_OBJECT
private slots:
    void init() { MessageBox::setTestMode(true); }
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }
    void cleanupTestCase();
    void unusableDatabases_data();
    void unusableDatabases();
    void unwritableDatabase();
    void oddSettingsFiles_data();
    void oddSettingsFiles();
    void transcriptPaths();
    void fullDisk();
    void unwritableFolders();
    void hugePaste();
    void tableNamesWithQuotesAndSpaces();
};

void TestReliability::unusableDatabases_data() {
    QTest::addColumn<QByteArray>("bytes"); // of the database file, or "missing"; empty: the bundled one
    QTest::addColumn<QString>("sql");      // run on the bundled database
    QTest::addColumn<QString>("table");    // the stored choice
    QTest::addColumn<QString>("decoded");  // from ". - "
    QTest::addColumn<QString>("cause");    // in the message and the editor's reason; neither when empty
    QTest::addColumn<int>("listed");       // rows in the editor
    const QByteArray whole = bytesOf(BundledDatabase());
    // The first page of an old Access (Jet) file, as far as any reader looks at it.
    QByteArray access(4096, '\0');
    access.replace(0, 19, QByteArray("\x00\x01\x00\x00Standard Jet DB", 19));
    auto file = [](const char* fault, const QByteArray& bytes, const char* cause) {
        QTest::newRow(fault) << bytes << QString() << "default" << QString() << cause << 0;
    };
    file("missing database file", "missing", "does not exist");
    file("empty database file", "", "is empty");
    file("truncated database file", whole.left(whole.size() / 3), "damaged");
    file("text file as database", "MS,TS\n.-,A\n", "not an SQLite database");
    file("old Access database file", access, "not an SQLite database");
    const QString fields = QStringLiteral(" (ID INTEGER PRIMARY KEY AUTOINCREMENT, MS TEXT, TS TEXT);");
    auto table = [&](const char* fault, const char* name, const QString& sql, const char* decoded, const char* cause,
                     int listed) {
        const char* kind = sql.startsWith(QLatin1String(" AS")) ? "CREATE VIEW " : "CREATE TABLE ";
        QTest::newRow(fault) << QByteArray() << kind + QLatin1String(name) + sql << name << decoded << cause << listed;
    };
    table("table without MS", "NoMS", " (ID INTEGER PRIMARY KEY, TS TEXT)", "", "has no field MS", 0);
    table("table without TS", "NoTS", " (ID INTEGER PRIMARY KEY, MS TEXT)", "", "has no field TS", 0);
    // A NULL text adds nothing and is no error; a NULL code matches no symbol; the editor lists both.
    table("NULL values in MS and TS", "Nulls",
          fields + "INSERT INTO Nulls (MS, TS) VALUES (NULL, 'X'), ('.', NULL), ('-', 'T'), (NULL, NULL)", "T", "", 4);
    // The first row stored wins.
    table("duplicate codes", "Dups",
          fields + "INSERT INTO Dups (MS, TS) VALUES ('.', 'first'), ('.', 'second'), ('-', 'T')", "firstT", "", 3);
    // Only tables are code tables: a view may never end. A table may still be slow to read (here
    // each row computes a megabyte); every query is stopped after 2 s, and the file given up.
    table("endless view named as the code table", "Loop",
          " AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT x AS ID, '.' AS MS, 'E' AS TS "
          "FROM c",
          "", "is a view, not a code table", 0);
    table("code table too slow to read", "Slow",
          " (ID INTEGER PRIMARY KEY, TS TEXT); WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE "
          "x < 20000) INSERT INTO Slow (TS) SELECT 'x' FROM c; ALTER TABLE Slow ADD COLUMN MS TEXT GENERATED ALWAYS "
          "AS (length(hex(zeroblob(1000000 + ID))))",
          "", "too slow to read", 0);
    // The name is only ever a quoted identifier, so it names a missing table and drops nothing.
    QTest::newRow("table_name=x; drop table International")
        << QByteArray() << QString() << "x; drop table International" << QString() << "does not exist" << 0;
}

void TestReliability::unusableDatabases() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, sql);
    QFETCH(QString, table);
    QFETCH(QString, decoded);
    QFETCH(QString, cause);
    QFETCH(int, listed);
    ProgramFolder folder;
    const QString db = folder.file("dahdit_db.mdb");
    if (bytes.isNull())
        folder.copyBundledDatabase();
    else if (bytes != "missing")
        folder.writeFile("dahdit_db.mdb", bytes);
    QVERIFY(sql.isEmpty() || ExecSql(db, sql));
    QVERIFY(Module1::WriteSetting("main", "table_name", table));
    const QByteArray before = bytesOf(db);
    QStringList told;
    {
        Form1 form;
        QCOMPARE(decode(form, QStringLiteral(". - ")), decoded); // keying goes on
        told = messages();
        Form4 editor;
        const auto* reason = child<QLabel>(editor, "Unavailable");
        if (reason->isVisibleTo(&editor))
            told << QStringLiteral("editor: ") + reason->text().section(QLatin1Char('\n'), 0, 0);
        QCOMPARE(child<QTreeWidget>(editor, "ListView1")->topLevelItemCount(), listed);
        Form5 options; // opens too, with the reason where the tables would be when the file is unusable
        QCOMPARE(child<QLabel>(options, "Label2")->isVisibleTo(&options), !bytes.isNull());
    }
    QCOMPARE(told.size(), cause.isEmpty() ? 0 : 2);
    for (const QString& text : std::as_const(told))
        QVERIFY2(text.contains(cause, Qt::CaseInsensitive) && text.contains(QDir::toNativeSeparators(db)),
                 qPrintable(text));
    QCOMPARE(bytesOf(db), before); // a missing file is not created empty
    record(QString::fromLatin1(QTest::currentDataTag()), told,
           before == "missing" ? QStringLiteral("no file created") : QStringLiteral("file byte-identical"));
}

void TestReliability::unwritableDatabase() {
    ProgramFolder folder;
    const QString db = folder.copyBundledDatabase();
    const QByteArray before = bytesOf(db);
    QStringList told;
    QFile(db).setPermissions(QFile::ReadOwner | QFile::ReadGroup);
    {
        Form1 form;
        QCOMPARE(decode(form, QStringLiteral("... --- ... ")), QStringLiteral("SOS")); // decoding only reads
        Form4 editor;
        addEntry(editor, QStringLiteral("Zz"), QStringLiteral("-.-.-.-."));
        told = messages();
    }
    QVERIFY(told.size() == 1 && told[0].contains("read-only"));
    QCOMPARE(bytesOf(db), before);
    record(QStringLiteral("read-only database file (write bits cleared)"), told,
           QStringLiteral("file byte-identical; decoding works"));

    // Locked when Dahdit starts: a passing state, so the file is opened again at the next decode.
    QFile(db).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    Form4 editor;
    QProcess other;
    QVERIFY2(LockFromAnotherProcess(other, db), "python3 could not lock the database");
    Form1 form;
    told = messages();
    QVERIFY(told.size() == 1 && told[0].contains("opens the file again at the next decode"));
    QElapsedTimer waited;
    waited.start();
    QCOMPARE(decode(form, QStringLiteral("... ")), QString());
    QVERIFY(waited.elapsed() >= 900); // the store waits a moment before it gives up
    addEntry(editor, QStringLiteral("Zz"), QStringLiteral("-.-.-.-."));
    told += messages(); // the decode tells nothing new
    QCOMPARE(told.size(), 2);
    for (const QString& text : std::as_const(told))
        QVERIFY2(text.contains("locked by another program"), qPrintable(text));
    QCOMPARE(bytesOf(db), before);
    // Once the other program lets go, the same Add and decoding work without a restart.
    other.closeWriteChannel();
    QVERIFY(other.waitForFinished(10000));
    editor.Command1_Click();
    QCOMPARE(decode(form, QStringLiteral("... -.-.-.-. ")), QStringLiteral("SZz"));
    QVERIFY(messages().isEmpty());
    record(QStringLiteral("database locked by another process for longer than 1 s, from start-up on"), told,
           QStringLiteral("file intact; decoding and the editor work again once the lock is gone"));

    // Deleted while open: decoding goes on from the open file; a change says what happened.
    QVERIFY(QFile::remove(db));
    addEntry(editor, QStringLiteral("Yy"), QStringLiteral("-.-.-.-.-"));
    told = messages();
    QVERIFY(told.size() == 1 && told[0].contains("moved, renamed or deleted"));
    QCOMPARE(decode(form, QStringLiteral("... ")), QStringLiteral("S"));
    record(QStringLiteral("database deleted while the editor is open"), told,
           QStringLiteral("nothing created; decoding goes on until the next start"));
}

void TestReliability::oddSettingsFiles_data() {
    QTest::addColumn<QByteArray>("bytes"); // "fifo" and "zero" put a named pipe or a link to /dev/zero there
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<int>("start"); // Slider1's position; it is then moved to 9
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("cause"); // in the one message; no message when empty
    QTest::addColumn<QString>("files");
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary += char((i * 7919) & 0xff);
    const QString kept = QStringLiteral("every other byte kept; the slider's own line written");
    QTest::newRow("binary settings file") << binary << false << 6 << binary + "\n[main]\ndt=9\n" << QString() << kept;
    QTest::newRow("settings file with CR line ends")
        << QByteArray("[main]\rdt=3\r") << false << 3 << QByteArray("[main]\rdt=9\r") << QString()
        << QStringLiteral("the slider's own line written, with the file's line ends");
    // Whatever is not a small regular file is left alone, and start-up neither waits nor reads
    // it whole.
    const QString alone =
        QStringLiteral("left as it was; built-in settings for the session, the slider's change unsaved");
    const QByteArray large = "[main]\r\ndt=3\r\nnote=" + QByteArray(1 << 20, 'x') + "\r\n";
    QTest::newRow("settings file over 1 MiB") << large << false << 6 << large << "larger than 1 MiB" << alone;
    QTest::newRow("settings.ini is a named pipe")
        << QByteArray("fifo") << false << 6 << QByteArray("fifo") << "named pipe" << alone;
    QTest::newRow("settings.ini links to /dev/zero")
        << QByteArray("zero") << false << 6 << QByteArray("zero") << "a device" << alone;
    const QString bad = QStringLiteral("unchanged until a slider moves; the slider starts at 6 (150 ms)");
    QTest::newRow("dt=abc") << QByteArray("[main]\r\ndt=abc\r\n") << false << 6 << QByteArray("[main]\r\ndt=9\r\n")
                            << QString() << bad;
    QTest::newRow("dt=99") << QByteArray("[main]\r\ndt=99\r\n") << false << 6 << QByteArray("[main]\r\ndt=9\r\n")
                           << QString() << bad;
    // Language Options refuses OK with a message and stays open, so the user can put the cause
    // right and retry; a moved slider holds for the session only, unreported.
    QTest::newRow("read-only settings file (write bits cleared)")
        << QByteArray("[main]\r\ndt=4\r\n") << true << 4 << QByteArray("[main]\r\ndt=4\r\n") << "read-only"
        << QStringLiteral("file byte-identical; a moved slider holds for the session only, unreported");
}

void TestReliability::oddSettingsFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, readOnly);
    QFETCH(int, start);
    QFETCH(QByteArray, after);
    QFETCH(QString, cause);
    QFETCH(QString, files);
    ProgramFolder folder;
    folder.copyBundledDatabase();
    const QString path = folder.file("settings.ini");
    if (bytes == "fifo")
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (bytes == "zero")
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    else
        folder.writeFile("settings.ini", bytes);
    if (readOnly)
        QFile(path).setPermissions(QFile::ReadOwner | QFile::ReadGroup);
    // What is there now, without reading a pipe or a device.
    auto contents = [&] {
        struct stat status {};
        if (lstat(QFile::encodeName(path).constData(), &status) != 0)
            return QByteArray("missing");
        if (S_ISFIFO(status.st_mode))
            return QByteArray("fifo");
        if (S_ISLNK(status.st_mode))
            return QFile::symLinkTarget(path) == QStringLiteral("/dev/zero") ? QByteArray("zero") : QByteArray("link");
        return folder.readFile("settings.ini");
    };
    QStringList told;
    {
        Form1 form;
        QCOMPARE(child<QSlider>(form, "Slider1")->value(), start);
        QCOMPARE(decode(form, QStringLiteral("... ")), QStringLiteral("S"));
        // A restored position other than the start one is written back, but the file holds it
        // already, and a write that changes nothing leaves the file alone (a read-only one too,
        // without a message).
        QCOMPARE(contents(), bytes);
        child<QSlider>(form, "Slider1")->setValue(9);
        told = messages();
    }
    if (readOnly) {
        Form5 options;
        options.show();
        child<QListWidget>(options, "List1")->setCurrentRow(1);
        options.Command1_Click();
        QVERIFY(options.isVisible());
        for (const QString& text : messages())
            told << QStringLiteral("Language Options OK: ") + text;
    }
    QCOMPARE(told.size(), cause.isEmpty() ? 0 : 1);
    for (const QString& text : std::as_const(told))
        QVERIFY2(text.contains(cause) && text.contains(QDir::toNativeSeparators(path)), qPrintable(text));
    QCOMPARE(contents(), after);
    record(QString::fromLatin1(QTest::currentDataTag()), told, files);
}

void TestReliability::transcriptPaths() {
    ProgramFolder folder;
    folder.writeFile("kept.txt", "an earlier transcript\r\n");
    QVERIFY(QDir(folder.path()).mkdir("kept.txt.d"));
    auto save = [&](const QString& name, const QString& extension) {
        Form3 window([] { return QStringLiteral("... "); }, [] { return QStringLiteral("S"); });
        child<QLineEdit>(window, "Text2")->setText(name);
        child<QComboBox>(window, "Combo1")->setEditText(extension);
        window.Command1_Click();
        return messages();
    };
    QStringList told = save(QStringLiteral("log\n"), QStringLiteral(".txt"));
    QVERIFY(told.size() == 1 && told[0].contains("control character"));
    record(QStringLiteral("transcript name with a line break"), told,
           QStringLiteral("nothing created; the Save window stays open with the typed name"));
    told = save(QStringLiteral("missing/log"), QStringLiteral(".txt"));
    QVERIFY(told.size() == 1 && told[0].contains("does not exist"));
    QVERIFY(!QFile::exists(folder.file("missing")));
    record(QStringLiteral("transcript path in a missing folder"), told,
           QStringLiteral("nothing created; the Save window stays open with the typed path"));
    // A write that fails (here: the name is a folder) leaves an earlier file of that name whole.
    told = save(QStringLiteral("kept.txt.d"), QString());
    QVERIFY(told.size() == 1 && told[0].contains("folder, not a file"));
    QCOMPARE(folder.readFile("kept.txt"), QByteArray("an earlier transcript\r\n"));
    record(QStringLiteral("transcript path that is a folder"), told, QStringLiteral("other files untouched"));
    // A folder that may not be written cannot be made as root, who may write anywhere.
    const char* e2e = "e2e_read_only_program_folder";
    record(QStringLiteral("program folder that the user may not write"), {},
           QStringLiteral("nothing created in the folder; settings, the database and transcripts go to the user's "
                          "own folders (run as an unprivileged user)"),
           e2e);
    record(QStringLiteral("transcript path in a read-only folder"),
           {QStringLiteral("Save File: Cannot save the transcript to <path>: ... Nothing was written.")},
           QStringLiteral("nothing created (run as an unprivileged user)"), e2e);
}

namespace {

// A small file system of its own at a temporary folder, for as long as the object lives.
struct SmallDisk {
    QTemporaryDir dir;
    bool mounted = ::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                           "size=256k,mode=0700") == 0;
    ~SmallDisk() {
        if (mounted)
            umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
    }
    // Takes every free byte.
    void fill() const {
        QFile filler(dir.filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'f');
        while (filler.write(block) > 0) {
        }
    }
};

} // namespace

void TestReliability::fullDisk() {
    ProgramFolder elsewhere;
    const QString db = elsewhere.copyBundledDatabase();
    SmallDisk disk;
    if (!disk.mounted)
        QSKIP("this test mounts a small tmpfs, which needs root (or CAP_SYS_ADMIN) and a system that allows it");
    SetAppPathForTesting(disk.dir.path());
    auto onDisk = [&](const char* name) { return disk.dir.filePath(QLatin1String(name)); };
    QVERIFY(QFile(onDisk("portable")).open(QIODevice::WriteOnly)); // a portable program folder on that disk
    const QByteArray settings = "[main]\r\ndb_path=" + db.toUtf8() + "\r\ndt=4\r\n";
    const QByteArray transcript = "an earlier transcript\r\n";
    {
        QFile out(onDisk("settings.ini"));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(settings) == settings.size());
        QFile old(onDisk("kept.txt"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(transcript) == transcript.size());
    }
    disk.fill();
    const QStringList before = QDir(disk.dir.path()).entryList(QDir::Files | QDir::Hidden);
    auto unharmed = [&] {
        return bytesOf(onDisk("settings.ini")) == settings && bytesOf(onDisk("kept.txt")) == transcript &&
               QDir(disk.dir.path()).entryList(QDir::Files | QDir::Hidden) == before;
    };
    {
        Form1 form;
        QCOMPARE(child<QSlider>(form, "Slider1")->value(), 4);
        child<QSlider>(form, "Slider1")->setValue(9);
        QVERIFY(messages().isEmpty());
    }
    QVERIFY(unharmed());
    record(QStringLiteral("disk full: a slider moved"), {},
           QStringLiteral("settings.ini byte-identical; the new position holds for the session only, unreported"));

    QStringList told;
    {
        Form5 options;
        options.show();
        child<QListWidget>(options, "List1")->setCurrentRow(1);
        options.Command1_Click();
        QVERIFY(options.isVisible());
        told = messages();
    }
    QVERIFY(told.size() == 1 && told[0].contains("the disk is full."));
    QVERIFY(unharmed());
    record(QStringLiteral("disk full: Language Options OK"), told,
           QStringLiteral("settings.ini byte-identical; the window stays open with the choice"));

    for (const int size : {100, 100000}) {
        Form3 save([size] { return QStringLiteral(". ").repeated(size / 2); }, [] { return QStringLiteral("E"); });
        save.show();
        child<QLineEdit>(save, "Text2")->setText(QStringLiteral("kept"));
        save.Command1_Click();
        QVERIFY(save.isVisible());
        told = messages();
        QVERIFY(told.size() == 1 && told[0].contains("the disk is full."));
        QVERIFY(unharmed());
        record(QStringLiteral("disk full: Save over an earlier transcript (%1 bytes of Morse)").arg(size), told,
               QStringLiteral("the earlier file byte-identical, no temporary file left; the Save window stays open"));
    }
}

void TestReliability::unwritableFolders() {
    // Write bits all cleared: a folder this program leaves alone, also as root.
    const auto readOnly = QFile::ReadOwner | QFile::ExeOwner;
    ProgramFolder folder;
    folder.copyBundledDatabase();
    QVERIFY(QFile(folder.path()).setPermissions(readOnly));
    {
        Form1 form;
        QCOMPARE(decode(form, QStringLiteral("... ")), QStringLiteral("S"));
        child<QSlider>(form, "Slider1")->setValue(9);
        QVERIFY(messages().isEmpty());
    }
    QCOMPARE(Module1::ReadSetting("main", "dt"), QStringLiteral("9"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList({"dahdit_db.mdb", "portable"}));
    record(QStringLiteral("portable program folder with write bits cleared"), {},
           QStringLiteral("nothing created in the folder; settings and the database copy go to the user's own "
                          "folders"));

    // The user's own settings folder as well: told once, as Dahdit starts.
    const QString settings = QFileInfo(Module1::SettingsPath()).path();
    QVERIFY(QFile(settings).setPermissions(readOnly));
    QStringList told;
    {
        Form1 form;
        told = messages();
        child<QSlider>(form, "Slider1")->setValue(10);
        QCOMPARE(child<QLabel>(form, "Panel2")->text(), QStringLiteral("DT: 250 ms"));
        QVERIFY(messages().isEmpty());
    }
    QVERIFY(told.size() == 1 && told[0].contains(settings));
    QCOMPARE(Module1::ReadSetting("main", "dt"), QStringLiteral("9"));
    told[0].replace(folder.home(), QStringLiteral("<home>"));
    record(QStringLiteral("the user's settings folder with write bits cleared"), told,
           QStringLiteral("settings file unchanged; a moved slider holds for the session only"));
    for (const QString& path : {folder.path(), settings})
        QFile(path).setPermissions(readOnly | QFile::WriteOwner);
}

void TestReliability::hugePaste() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    const QString pattern = QStringLiteral("... --- ... ");
    const QString big = pattern.repeated(10 * 1024 * 1024 / pattern.size() + 1);
    qint64 ms = 0;
    {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* text1 = child<QPlainTextEdit>(form, "Text1");
        auto* text2 = child<QPlainTextEdit>(form, "Text2");
        QGuiApplication::clipboard()->setText(big);
        QElapsedTimer clock;
        clock.start();
        form.Paste_Click();
        QCoreApplication::processEvents(); // painted
        ms = clock.elapsed();
        QCOMPARE(text2->toPlainText(), QStringLiteral("SOS").repeated(big.size() / 12));
        QCOMPARE(QGuiApplication::clipboard()->text(), big);
        QVERIFY(child<QAction>(form, "Save")->isEnabled());
        QVERIFY(messages().isEmpty());
        // The output is one word of millions of letters: it breaks anywhere, and its lines are
        // shaped once, not at every paint. The buffer still breaks at its spaces.
        auto wrap = [](QPlainTextEdit* box) { return box->document()->defaultTextOption().wrapMode(); };
        QCOMPARE(wrap(text2), QTextOption::WrapAnywhere);
        QVERIFY(text2->document()->firstBlock().layout()->cacheEnabled());
        QCOMPARE(wrap(text1), QTextOption::WrapAtWordBoundaryOrAnywhere);
        form.Clear_Click();
        QCOMPARE(wrap(text2), QTextOption::WrapAtWordBoundaryOrAnywhere);
        text1->insertPlainText(QString(300, u'-')); // as the box's own menu pastes
        QCOMPARE(wrap(text1), QTextOption::WrapAnywhere);
    }
    QGuiApplication::clipboard()->clear();
    record(QStringLiteral("10 MiB paste (2.6 million symbols) into the shown window"), {},
           QStringLiteral("decoded whole and painted in %1 s; clipboard untouched by the paste")
               .arg(double(ms) / 1000.0, 0, 'f', 1));
}

void TestReliability::tableNamesWithQuotesAndSpaces() {
    ProgramFolder folder;
    const QString db = folder.copyBundledDatabase();
    const QString name = QStringLiteral("It's \"odd\" [name]; x");
    QVERIFY(ExecSql(db, QStringLiteral("CREATE TABLE \"%1\" (ID INTEGER PRIMARY KEY AUTOINCREMENT, MS TEXT, TS TEXT);"
                                       "INSERT INTO \"%1\" (MS, TS) VALUES ('.', 'e'), ('-', 't');")
                            .arg(QString(name).replace(u'"', QLatin1String("\"\"")))));
    QVERIFY(Module1::WriteSetting("main", "table_name", name));
    {
        Form1 form;
        QCOMPARE(decode(form, QStringLiteral(". - ")), QStringLiteral("et"));
        Form4 editor;
        addEntry(editor, QStringLiteral("a'b"), QStringLiteral(".-"));
        QCOMPARE(child<QTreeWidget>(editor, "ListView1")->topLevelItemCount(), 3);
        QCOMPARE(decode(form, QStringLiteral(".- ")), QStringLiteral("a'b"));
        Form5 options;
        const auto* chosen = child<QListWidget>(options, "List1")->currentItem();
        QVERIFY(chosen && chosen->text() == name);
        QVERIFY(messages().isEmpty());
    }
    QVERIFY(Module1::WriteSetting("main", "table_name", "International"));
    Form1 form; // where .- is still A
    QCOMPARE(decode(form, QStringLiteral(".- ")), QStringLiteral("A"));
    record(QStringLiteral("table name with quotes, brackets, a semicolon and spaces"), {},
           QStringLiteral("decoded, edited and listed like any table; other tables untouched"));
}

void TestReliability::cleanupTestCase() {
    const QString path = qEnvironmentVariable("DAHDIT_WRITE_RELIABILITY");
    QFile out(path.isEmpty() ? QStringLiteral("reliability.md") : path);
    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QTextStream text(&out);
    text << "| Fault | What the user is told | Files | Test |\n|---|---|---|---|\n";
    auto cell = [](QString s) { return s.replace(QLatin1Char('|'), QLatin1String("\\|")); };
    for (const Row& row : std::as_const(g_rows))
        text << "| " << cell(row.fault) << " | " << cell(row.told) << " | " << cell(row.files) << " | `" << row.test
             << "` |\n";
}

QTEST_MAIN(TestReliability)
#include "tst_reliability.moc"
