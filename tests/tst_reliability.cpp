// Faults and bad input: what Dahdit tells the user about broken, locked, odd or hostile files and
// input, that it goes on running, and that no file the user had is lost or damaged. The test
// writes what it saw as a Markdown table: to $DAHDIT_WRITE_RELIABILITY when set, else to
// reliability.md in the working folder.
#include "codetablestore.h"
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
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTreeWidget>

namespace {

struct Row {
    QString fault;
    QString told;
    QString files;
    QString test;
};
QList<Row>& rows() {
    static QList<Row> list;
    return list;
}

// One line of the table: the fault, what the user was told (the messages, joined), what became
// of the files, and the test function that showed it.
void record(const QString& fault, const QStringList& told, const QString& files) {
    QStringList cells;
    for (QString text : told) {
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        text.replace(QLatin1String("  "), QLatin1String(" "));
        cells << text.trimmed();
    }
    rows().append({fault, cells.isEmpty() ? QStringLiteral("nothing") : cells.join(QStringLiteral(" / ")), files,
                   QString::fromLatin1(QTest::currentTestFunction())});
}

QByteArray digest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("missing");
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

QStringList messages() {
    QCoreApplication::processEvents(); // a start-up message is shown once the event loop turns
    QStringList texts;
    for (const MessageBox::Shown& shown : MessageBox::takeShown())
        texts << shown.title + QStringLiteral(": ") + shown.text;
    return texts;
}

// The folder's temporary path would make every row differ from run to run.
QStringList withoutFolder(QStringList texts, const ProgramFolder& folder) {
    for (QString& text : texts)
        text.replace(QDir::toNativeSeparators(folder.path()), QStringLiteral("<program folder>"));
    return texts;
}

template <typename T> T* child(const QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

void setBuffer(Form1& form, const QString& text) {
    child<QPlainTextEdit>(form, "Text1")->setPlainText(text);
}
QString output(const Form1& form) {
    return child<QPlainTextEdit>(form, "Text2")->toPlainText();
}

void makeReadOnly(const QString& path) {
    QFile(path).setPermissions(QFile::ReadOwner | QFile::ReadGroup);
}

// Typing an entry into the editor and pressing Add.
void addEntry(Form4& editor, const QString& signal, const QString& code) {
    child<QLineEdit>(editor, "Text1")->setText(signal);
    child<QLineEdit>(editor, "Text2")->setText(code);
    editor.Command1_Click();
}

int rowCount(const QString& db, const QString& table) {
    CodeTableStore store;
    QVector<CodeTableEntry> entries;
    if (!store.open(db) || !store.ListEntries(table, &entries))
        return -1;
    return int(entries.size());
}

// Holds an exclusive lock on a database from another process until release() or destruction.
class Locker {
public:
    explicit Locker(const QString& db) {
        m_process.start(QStringLiteral("python3"),
                        {QStringLiteral("-c"),
                         QStringLiteral("import sqlite3, sys\n"
                                        "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                                        "c.execute('BEGIN EXCLUSIVE')\n"
                                        "print('locked', flush=True)\n"
                                        "sys.stdin.read()\n"),
                         db});
    }
    bool locked() {
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(10000))
                return false;
        return m_process.readLine().trimmed() == "locked";
    }
    void release() {
        m_process.closeWriteChannel();
        m_process.waitForFinished(10000);
    }
    ~Locker() {
        release();
        if (m_process.state() != QProcess::NotRunning)
            m_process.kill();
    }

private:
    QProcess m_process;
};

} // namespace

class TestReliability : public QObject {
    Q_OBJECT
private slots:
    void init() { MessageBox::setTestMode(true); }
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }
    void cleanupTestCase();
    void unusableDatabaseFiles_data();
    void unusableDatabaseFiles();
    void readOnlyDatabase();
    void lockedDatabase();
    void oddTables();
    void unusableSettingsFiles();
    void hostileSettingValues();
    void readOnlySettingsFile();
    void transcriptPaths();
    void hugePaste();
    void tableNamesWithQuotesAndSpaces();
};

void TestReliability::unusableDatabaseFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("cause");
    QFile bundled(BundledDatabase());
    QVERIFY(bundled.open(QIODevice::ReadOnly));
    const QByteArray whole = bundled.readAll();
    // The first page of an old Access (Jet) file, as far as any reader looks at it.
    QByteArray access(4096, '\0');
    access.replace(0, 19, QByteArray("\x00\x01\x00\x00Standard Jet DB", 19));
    QTest::newRow("missing database file") << QByteArray() << false << "does not exist";
    QTest::newRow("empty database file") << QByteArray() << true << "is empty";
    QTest::newRow("truncated database file") << whole.left(whole.size() / 3) << true << "damaged";
    QTest::newRow("text file as database") << QByteArray("MS,TS\n.-,A\n") << true << "not an SQLite database";
    QTest::newRow("old Access database file") << access << true << "not an SQLite database";
}

void TestReliability::unusableDatabaseFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, exists);
    QFETCH(QString, cause);
    ProgramFolder folder;
    const QString db = folder.file("dahdit_db.mdb");
    if (exists)
        folder.writeFile("dahdit_db.mdb", bytes);
    const QByteArray before = digest(db);

    QStringList told;
    {
        Form1 form;
        told = messages();
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].contains(cause), qPrintable(told[0]));
        QVERIFY(told[0].contains(QDir::toNativeSeparators(db)));
        // Keying goes on: the buffer fills, nothing decodes, and the user is not told again.
        setBuffer(form, QStringLiteral(".- -... "));
        QCOMPARE(output(form), QString());
        QVERIFY(messages().isEmpty());
    }
    {
        Form4 editor;
        const auto* reason = child<QLabel>(editor, "Unavailable");
        QVERIFY(reason->isVisibleTo(&editor));
        QVERIFY(reason->text().contains(cause));
        QVERIFY(!child<QPushButton>(editor, "Command1")->isEnabled());
        told << QStringLiteral("editor: ") + reason->text().section(QLatin1Char('\n'), 0, 0);
    }
    {
        Form5 options;
        QCOMPARE(child<QListWidget>(options, "List1")->count(), 0);
        QVERIFY(child<QLabel>(options, "Label2")->text().contains(cause));
    }
    QCOMPARE(digest(db), before);
    QCOMPARE(QFile::exists(db), exists); // a missing file is not created empty
    record(QString::fromLatin1(QTest::currentDataTag()), withoutFolder(told, folder),
           exists ? QStringLiteral("file byte-identical") : QStringLiteral("no file created"));
}

void TestReliability::readOnlyDatabase() {
    ProgramFolder folder;
    const QString db = folder.copyBundledDatabase();
    makeReadOnly(db);
    const QByteArray before = digest(db);
    QStringList told;
    {
        Form1 form;
        setBuffer(form, QStringLiteral("... --- ... "));
        QCOMPARE(output(form), QStringLiteral("SOS")); // decoding only reads
        told << messages();
        Form4 editor;
        addEntry(editor, QStringLiteral("Zz"), QStringLiteral("-.-.-.-."));
        told << messages();
        QCOMPARE(told.size(), 1);
        QVERIFY(told[0].contains("read-only"));
        // The refused entry stays typed, so nothing the user typed is lost.
        QCOMPARE(child<QLineEdit>(editor, "Text1")->text(), QStringLiteral("Zz"));
    }
    QCOMPARE(digest(db), before);
    record(QStringLiteral("read-only database file (write bits cleared)"), withoutFolder(told, folder),
           QStringLiteral("file byte-identical; decoding works"));
}

void TestReliability::lockedDatabase() {
    ProgramFolder folder;
    const QString db = folder.copyBundledDatabase();
    QStringList told;
    {
        Form1 form;
        Form4 editor;
        Locker lock(db);
        QVERIFY2(lock.locked(), "python3 could not lock the database");
        QElapsedTimer waited;
        waited.start();
        setBuffer(form, QStringLiteral("... "));
        QVERIFY(waited.elapsed() >= 900); // the store waits a moment before it gives up
        QCOMPARE(output(form), QString());
        told << messages();
        addEntry(editor, QStringLiteral("Zz"), QStringLiteral("-.-.-.-."));
        told << messages();
        QCOMPARE(told.size(), 2);
        for (const QString& text : told)
            QVERIFY2(text.contains("locked by another program"), qPrintable(text));
        QCOMPARE(child<QLineEdit>(editor, "Text1")->text(), QStringLiteral("Zz"));

        // Once the other program lets go, everything works again without a restart.
        lock.release();
        setBuffer(form, QStringLiteral("... --- ... "));
        QCOMPARE(output(form), QStringLiteral("SOS"));
        editor.Command1_Click();
        QVERIFY(messages().isEmpty());
    }
    QCOMPARE(rowCount(db, "International"), rowCount(BundledDatabase(), "International") + 1);
    record(QStringLiteral("database locked by another process for longer than 1 s"), withoutFolder(told, folder),
           QStringLiteral("file intact; decoding and the editor work again once the lock is gone"));
}

void TestReliability::oddTables() {
    ProgramFolder folder;
    const QString db = folder.copyBundledDatabase();
    QVERIFY(ExecSql(db, "CREATE TABLE NoMS (ID INTEGER PRIMARY KEY, TS TEXT);"
                        "CREATE TABLE NoTS (ID INTEGER PRIMARY KEY, MS TEXT);"
                        "CREATE TABLE Nulls (ID INTEGER PRIMARY KEY AUTOINCREMENT, MS TEXT, TS TEXT);"
                        "INSERT INTO Nulls (MS, TS) VALUES (NULL, 'X'), ('.', NULL), ('-', 'T'), (NULL, NULL);"
                        "CREATE TABLE Dups (ID INTEGER PRIMARY KEY AUTOINCREMENT, MS TEXT, TS TEXT);"
                        "INSERT INTO Dups (MS, TS) VALUES ('.', 'first'), ('.', 'second'), ('-', 'T');"));
    const QByteArray before = digest(db);
    // Decodes buffer with table current and opens the editor on it; the output and the messages.
    auto run = [&](const char* table, const QString& buffer, const QString& fault) {
        folder.writeFile("settings.ini", QByteArray("[main]\r\ntable_name=") + table + "\r\n");
        QStringList told;
        Form1 form;
        setBuffer(form, buffer);
        const QString decoded = output(form);
        told << messages();
        Form4 editor;
        const auto* reason = child<QLabel>(editor, "Unavailable");
        if (reason->isVisibleTo(&editor))
            told << QStringLiteral("editor: ") + reason->text().section(QLatin1Char('\n'), 0, 0);
        record(fault, withoutFolder(told, folder), QStringLiteral("file byte-identical"));
        return qMakePair(decoded, told);
    };
    auto result = run("NoMS", QStringLiteral(". "), QStringLiteral("table without MS"));
    QCOMPARE(result.first, QString());
    QCOMPARE(result.second.size(), 2);
    QVERIFY(result.second[0].contains("has no field MS"));
    result = run("NoTS", QStringLiteral(". "), QStringLiteral("table without TS"));
    QCOMPARE(result.first, QString());
    QCOMPARE(result.second.size(), 2);
    QVERIFY(result.second[0].contains("has no field TS"));
    // A NULL text adds nothing and is no error; a NULL code matches no symbol.
    result = run("Nulls", QStringLiteral(". - "), QStringLiteral("NULL values in MS and TS"));
    QCOMPARE(result.first, QStringLiteral("T"));
    QVERIFY(result.second.isEmpty());
    // The first row stored wins.
    result = run("Dups", QStringLiteral(". - "), QStringLiteral("duplicate codes"));
    QCOMPARE(result.first, QStringLiteral("firstT"));
    QVERIFY(result.second.isEmpty());
    {
        Form4 editor; // the list shows the NULL rows with empty cells
        QCOMPARE(child<QTreeWidget>(editor, "ListView1")->topLevelItemCount(), 3);
    }
    QCOMPARE(digest(db), before);
}

void TestReliability::unusableSettingsFiles() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary += char((i * 7919) & 0xff);
    const QByteArray longLine = "[main]\r\ndt=3\r\nnote=" + QByteArray(1 << 20, 'x') + "\r\nsdt=2\r\n";
    const QList<QPair<QString, QByteArray>> cases = {{QStringLiteral("binary settings file"), binary},
                                                     {QStringLiteral("settings file with a 1 MiB line"), longLine}};
    for (const auto& [fault, bytes] : cases) {
        folder.writeFile("settings.ini", bytes);
        QStringList told;
        {
            Form1 form;
            told << messages();
            QVERIFY(told.isEmpty());
            setBuffer(form, QStringLiteral("... "));
            QCOMPARE(output(form), QStringLiteral("S"));
            // Moving a slider rewrites its own line only.
            child<QSlider>(form, "Slider1")->setValue(8);
        }
        const QByteArray after = folder.readFile("settings.ini");
        QCOMPARE(Module1::ReadSetting("main", "dt"), QStringLiteral("8"));
        if (bytes == longLine)
            QCOMPARE(after, QByteArray(longLine).replace("dt=3", "dt=8"));
        else
            QCOMPARE(after.left(bytes.size()), bytes); // the bytes stay; the section is added after them
        record(fault, told, QStringLiteral("every other byte kept; the slider's own line written"));
    }
}

void TestReliability::hostileSettingValues() {
    ProgramFolder folder;
    const QString db = folder.copyBundledDatabase();
    const int international = rowCount(db, "International");
    const QList<QPair<QString, QByteArray>> sliders = {{QStringLiteral("dt=abc"), "dt=abc"},
                                                       {QStringLiteral("dt=99"), "dt=99"}};
    for (const auto& [fault, line] : sliders) {
        const QByteArray bytes = "[main]\r\n" + line + "\r\n";
        folder.writeFile("settings.ini", bytes);
        {
            Form1 form;
            QCOMPARE(child<QSlider>(form, "Slider1")->value(), 6); // the built-in position
            QVERIFY(messages().isEmpty());
        }
        QCOMPARE(folder.readFile("settings.ini"), bytes); // left for the user to see and fix
        record(fault, {}, QStringLiteral("settings file unchanged; the slider starts at 6 (150 ms)"));
    }

    const QByteArray bytes = "[main]\r\ntable_name=x; drop table International\r\n";
    folder.writeFile("settings.ini", bytes);
    QStringList told;
    {
        Form1 form;
        setBuffer(form, QStringLiteral("... "));
        QCOMPARE(output(form), QString());
        told = messages();
        QCOMPARE(told.size(), 1);
        QVERIFY(told[0].contains("\"x; drop table International\" does not exist"));
        Form4 editor;
        QVERIFY(child<QLabel>(editor, "Unavailable")->text().contains("does not exist"));
    }
    QCOMPARE(rowCount(db, "International"), international);
    QCOMPARE(folder.readFile("settings.ini"), bytes);
    record(QStringLiteral("table_name=x; drop table International"), withoutFolder(told, folder),
           QStringLiteral("International untouched (the name is only ever a quoted identifier)"));
}

void TestReliability::readOnlySettingsFile() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    const QByteArray bytes = "[main]\r\ndt=4\r\n";
    folder.writeFile("settings.ini", bytes);
    makeReadOnly(folder.file("settings.ini"));
    QStringList told;
    {
        Form1 form;
        QCOMPARE(child<QSlider>(form, "Slider1")->value(), 4);
        child<QSlider>(form, "Slider1")->setValue(9); // takes effect for this session only
        told << messages();
        QVERIFY(told.isEmpty());
    }
    {
        Form5 options;
        options.show();
        child<QListWidget>(options, "List1")->setCurrentRow(1);
        options.Command1_Click();
        const QStringList optionTold = messages();
        QCOMPARE(optionTold.size(), 1);
        QVERIFY(optionTold[0].startsWith("Settings Not Saved: "));
        QVERIFY(optionTold[0].contains("read-only"));
        QVERIFY(options.isVisible()); // stays open, so the user can put the cause right and retry
        told << QStringLiteral("Language Options OK: ") + optionTold[0];
    }
    QCOMPARE(folder.readFile("settings.ini"), bytes);
    record(QStringLiteral("read-only settings file (write bits cleared)"), withoutFolder(told, folder),
           QStringLiteral("file byte-identical; a moved slider holds for the session only, unreported"));
    record(QStringLiteral("settings file in a read-only folder"),
           {QStringLiteral("as above: slider changes hold for the session; a transcript there is refused with "
                           "\"Cannot save the transcript to ...\" (run as an unprivileged user)")},
           QStringLiteral("nothing created in the folder; see e2e_read_only_program_folder"));
}

void TestReliability::transcriptPaths() {
    ProgramFolder folder;
    folder.writeFile("kept.txt", "an earlier transcript\r\n");
    const QByteArray kept = folder.readFile("kept.txt");
    auto save = [&](const QString& dir, const QString& name, const QString& extension = QStringLiteral(".txt")) {
        Form3 window([] { return QStringLiteral("... "); }, [] { return QStringLiteral("S"); });
        child<QLineEdit>(window, "Text1")->setText(dir);
        child<QLineEdit>(window, "Text2")->setText(name);
        child<QComboBox>(window, "Combo1")->setEditText(extension);
        window.Command1_Click();
        return messages();
    };
    QStringList told = save(folder.file("missing") + QLatin1Char('/'), QStringLiteral("log"));
    QCOMPARE(told.size(), 1);
    QVERIFY(told[0].contains("does not exist"));
    QVERIFY(!QFile::exists(folder.file("missing")));
    record(QStringLiteral("transcript path in a missing folder"), withoutFolder(told, folder),
           QStringLiteral("nothing created; the Save window stays open with the typed path"));

    // A write that fails (here: the name is a folder) leaves an earlier file of the same name whole.
    QVERIFY(QDir(folder.path()).mkdir("kept.txt.d"));
    told = save(folder.path() + QLatin1Char('/'), QStringLiteral("kept.txt.d"), QString());
    QCOMPARE(told.size(), 1);
    QCOMPARE(folder.readFile("kept.txt"), kept);
    record(QStringLiteral("transcript path that is a folder"), withoutFolder(told, folder),
           QStringLiteral("other files untouched"));
    record(QStringLiteral("transcript path in a read-only folder"),
           {QStringLiteral("Save File: Cannot save the transcript to <path>: ... Nothing was written.")},
           QStringLiteral("nothing created; see e2e_read_only_program_folder (run as an unprivileged user)"));
}

void TestReliability::hugePaste() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    QString big;
    const QString pattern = QStringLiteral("... --- ... ");
    big.reserve(10 * 1024 * 1024 + pattern.size());
    while (big.size() < 10 * 1024 * 1024)
        big += pattern;
    QStringList told;
    qint64 ms = 0;
    {
        Form1 form;
        QGuiApplication::clipboard()->setText(big);
        QElapsedTimer clock;
        clock.start();
        form.Paste_Click();
        ms = clock.elapsed();
        const QString out = output(form);
        QCOMPARE(out.size(), big.count(u' '));
        QVERIFY(out.startsWith(QStringLiteral("SOSSOS")));
        told << messages();
        QVERIFY(told.isEmpty());
        QVERIFY(child<QAction>(form, "Save")->isEnabled());
    }
    QGuiApplication::clipboard()->clear();
    record(
        QStringLiteral("10 MiB paste (2.6 million symbols)"), told,
        QStringLiteral("decoded whole in %1 s; clipboard untouched by the paste").arg(double(ms) / 1000.0, 0, 'f', 1));
}

void TestReliability::tableNamesWithQuotesAndSpaces() {
    ProgramFolder folder;
    const QString db = folder.copyBundledDatabase();
    const QString name = QStringLiteral("It's \"odd\" [name]; x");
    QVERIFY(ExecSql(db, QStringLiteral("CREATE TABLE \"%1\" (ID INTEGER PRIMARY KEY AUTOINCREMENT, MS TEXT, TS TEXT);"
                                       "INSERT INTO \"%1\" (MS, TS) VALUES ('.', 'e'), ('-', 't');")
                            .arg(QString(name).replace(u'"', QLatin1String("\"\"")))));
    QVERIFY(Module1::WriteSetting("main", "table_name", name));
    QStringList told;
    {
        Form1 form;
        setBuffer(form, QStringLiteral(". - "));
        QCOMPARE(output(form), QStringLiteral("et"));
        Form4 editor;
        addEntry(editor, QStringLiteral("a'b"), QStringLiteral(".-"));
        QCOMPARE(child<QTreeWidget>(editor, "ListView1")->topLevelItemCount(), 3);
        setBuffer(form, QStringLiteral(".- "));
        QCOMPARE(output(form), QStringLiteral("a'b"));
        Form5 options;
        const auto* list = child<QListWidget>(options, "List1");
        QVERIFY(list->currentItem());
        QCOMPARE(list->currentItem()->text(), name);
        told << messages();
        QVERIFY(told.isEmpty());
    }
    QCOMPARE(rowCount(db, "International"), rowCount(BundledDatabase(), "International"));
    record(QStringLiteral("table name with quotes, brackets, a semicolon and spaces"), told,
           QStringLiteral("decoded, edited and listed like any table; other tables untouched"));
}

void TestReliability::cleanupTestCase() {
    QString path = qEnvironmentVariable("DAHDIT_WRITE_RELIABILITY");
    if (path.isEmpty())
        path = QStringLiteral("reliability.md");
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QTextStream text(&out);
    text << "| Fault | What the user is told | Files | Test |\n|---|---|---|---|\n";
    for (const Row& row : std::as_const(rows())) {
        auto cell = [](QString s) { return s.replace(QLatin1Char('|'), QLatin1String("\\|")); };
        text << "| " << cell(row.fault) << " | " << cell(row.told) << " | " << cell(row.files) << " | `" << row.test
             << "` |\n";
    }
}

QTEST_MAIN(TestReliability)
#include "tst_reliability.moc"
