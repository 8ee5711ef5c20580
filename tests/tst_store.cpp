// The code table store on real SQLite files: every operation, quoting, and what opening
// reports for files it cannot use.
#include "apppath.h"
#include "codetablestore.h"
#include "module1.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <sys/stat.h>

using namespace std::chrono_literals;

// A view that never ends.
const char* kLoop = "CREATE VIEW Loop AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                    "SELECT x AS ID, '.' AS MS, 'E' AS TS FROM c;";

class TestStore : public QObject {
    Q_OBJECT
private slots:
    void resolvesPathAndTable();
    void keepsFilesPerUserWhenNotPortable_data();
    void keepsFilesPerUserWhenNotPortable();
    void findsAndChecksEntries();
    void writesEntriesWithIdsFromTheStore();
    void quotesMatchLiterally();
    void listsCodeTablesWithoutSqliteOwn();
    void reportsMissingTablesAndFields();
    void refusesHostileAndOddFiles_data();
    void refusesHostileAndOddFiles();
    void bundledDatabaseHoldsEveryTable();
};

void TestStore::resolvesPathAndTable() {
    ProgramFolder folder;
    QCOMPARE(DatabasePath(), folder.file("dahdit_db.mdb"));
    QCOMPARE(CurrentTableName(), QStringLiteral("International"));
    Module1::WriteSetting("main", "db_path", "default");
    Module1::WriteSetting("main", "table_name", "default");
    QCOMPARE(DatabasePath(), folder.file("dahdit_db.mdb"));
    QCOMPARE(CurrentTableName(), QStringLiteral("International"));
    Module1::WriteSetting("main", "db_path", "/data/x.mdb");
    Module1::WriteSetting("main", "table_name", "Default");
    QCOMPARE(DatabasePath(), QStringLiteral("/data/x.mdb"));
    QCOMPARE(CurrentTableName(), QStringLiteral("Default"));
    // The path is everything after "Data source=", blanks and semicolons included.
    const QString odd = QStringLiteral("/a b/x; y=z.mdb");
    QCOMPARE(ConnectionString(odd), QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0; Data source=/a b/x; y=z.mdb"));
    QCOMPARE(PathFromConnectionString(ConnectionString(odd)), odd);
}

void TestStore::keepsFilesPerUserWhenNotPortable_data() {
    QTest::addColumn<bool>("installed");
    QTest::newRow("installed: no marker") << true;
    QTest::newRow("portable folder that cannot be written") << false;
}

void TestStore::keepsFilesPerUserWhenNotPortable() {
    QFETCH(bool, installed);
    ProgramFolder folder;
    folder.copyBundledDatabase();
    QCOMPARE(SaveFolder(), folder.path()); // portable as built
    const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup;
    if (installed)
        QVERIFY(QFile::remove(folder.file("portable")));
    else
        QVERIFY(QFile(folder.path()).setPermissions(readOnly));
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(folder.home()));

    QVERIFY(Module1::WriteSetting("main", "dt", "8")); // the folder is made at the first write
    QVERIFY(QFile::exists(folder.home() + "/config/dahdit/settings.ini"));
    QCOMPARE(Module1::ReadSetting("main", "dt"), QStringLiteral("8"));
    QCOMPARE(DatabasePath(), folder.home() + "/data/dahdit/dahdit_db.mdb");
    QCOMPARE(SaveFolder(), folder.home()); // no documents folder
    QVERIFY(QDir(folder.home()).mkdir("Documents"));
    QCOMPARE(SaveFolder(), folder.home() + "/Documents");

    // The user's database is a copy of the one that came with Dahdit, made at the first open
    // and kept from then on, changes and all.
    CodeTableStore store;
    StoreError failure;
    QVERIFY2(store.open(DatabasePath(), &failure), qPrintable(failure.message));
    QVERIFY(store.InsertEntry("International", "........", "HH"));
    store.close();
    QVERIFY(store.open(DatabasePath()));
    std::optional<CodeTableEntry> row;
    QVERIFY(store.FindByCode("International", "........", &row) && row);
    store.close();
    const QStringList unchanged = installed ? QStringList{"dahdit_db.mdb"} : QStringList{"dahdit_db.mdb", "portable"};
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), unchanged);

    // Per-user folders that cannot be written: nothing is written, and the words say where.
    QVERIFY(QFile::remove(DatabasePath()));
    const QStringList perUser = {folder.home() + "/config/dahdit", folder.home() + "/data/dahdit"};
    for (const QString& path : perUser)
        QVERIFY(QFile(path).setPermissions(readOnly));
    QString error;
    QVERIFY(!Module1::WriteSetting("main", "dt", "9", &error));
    QString told;
    QVERIFY(!Module1::SettingsCanBeKept(&told));
    QVERIFY2(error.contains(perUser[0]) && error == told, qPrintable(error));
    QVERIFY(!store.open(DatabasePath(), &failure));
    QVERIFY2(failure.message.contains("could not be copied") && failure.message.contains(perUser[1]),
             qPrintable(failure.message));
    for (const QString& path : perUser + QStringList{folder.path()})
        QFile(path).setPermissions(readOnly | QFile::WriteOwner);
    qputenv("HOME", oldHome);
}

void TestStore::findsAndChecksEntries() {
    ProgramFolder folder;
    const QString db = folder.file("t.mdb");
    MakeCodeTable(db, "T", {{".", "E"}, {"-", "T"}, {".", "E2"}, {"..", ""}});
    ExecSql(db, "INSERT INTO T (MS, TS) VALUES ('...', NULL)");
    CodeTableStore store;
    QVERIFY(store.open(db));
    std::optional<CodeTableEntry> row;
    QVERIFY(store.FindByCode("T", ".", &row));
    QVERIFY(row);
    QCOMPARE(row->ts, QStringLiteral("E")); // a duplicate code: the first row counts
    QCOMPARE(row->id, QStringLiteral("1"));
    QVERIFY(store.FindByCode("T", "-.-", &row));
    QVERIFY(!row);
    QVERIFY(store.FindByCode("T", "", &row));
    QVERIFY(!row);
    QVERIFY(store.FindByCode("T", "...", &row)); // NULL text reads as an empty text
    QVERIFY(row && row->ts.isEmpty());
    QVERIFY(store.FindBySignal("T", "T", &row));
    QCOMPARE(row->ms, QStringLiteral("-"));
    QCOMPARE(row->id, QStringLiteral("2"));
    QVERIFY(store.FindBySignal("T", "t", &row)); // texts compare case-sensitively
    QVERIFY(!row);
    QVERIFY(store.FindById("T", "3", &row));
    QVERIFY(row && row->ms == "." && row->ts == "E2");
    QVERIFY(store.FindById("T", "99", &row));
    QVERIFY(!row);

    bool used = true;
    QVERIFY(store.CodeUsedElsewhere("T", "-", "2", &used));
    QVERIFY(!used);
    QVERIFY(store.CodeUsedElsewhere("T", "-", "1", &used));
    QVERIFY(used);
    QVERIFY(store.SignalUsedElsewhere("T", "E", "1", &used));
    QVERIFY(!used);
    QVERIFY(store.SignalUsedElsewhere("T", "E", "3", &used));
    QVERIFY(used);
    QVERIFY(!store.CodeUsedElsewhere("T", "-", "1 or 1=1", &used)); // an ID is a number or nothing
}

void TestStore::writesEntriesWithIdsFromTheStore() {
    ProgramFolder folder;
    const QString db = folder.file("t.mdb");
    MakeCodeTable(db, "T", {{".", "E"}, {"-", "T"}});
    CodeTableStore store;
    QVERIFY(store.open(db));
    QVector<CodeTableEntry> rows;
    std::optional<CodeTableEntry> row;
    QVERIFY(store.InsertEntry("T", "..", "I") && store.FindByCode("T", "..", &row) && row);
    QCOMPARE(row->id, QStringLiteral("3"));
    QVERIFY(store.DeleteEntry("T", "3"));
    QVERIFY(store.InsertEntry("T", "--", "M") && store.FindByCode("T", "--", &row) && row);
    QCOMPARE(row->id, QStringLiteral("4"));           // IDs are never reused after a removal
    QVERIFY(store.UpdateEntry("T", "1", " .", "E ")); // stored exactly as given
    QVERIFY(store.ListEntries("T", &rows));
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0].id, QStringLiteral("1"));
    QCOMPARE(rows[0].ms, QStringLiteral(" ."));
    QCOMPARE(rows[0].ts, QStringLiteral("E "));
    QCOMPARE(rows[2].ts, QStringLiteral("M"));

    // An entry removed by other means: the update says so instead of succeeding silently.
    StoreError error;
    QVERIFY(!store.UpdateEntry("T", "99", "x", "y", &error));
    QVERIFY2(error.kind == StoreError::Kind::EntryGone && error.message.contains("no longer exists"),
             qPrintable(error.message));

    // A second connection sees committed changes at once.
    CodeTableStore other;
    QVERIFY(other.open(db));
    QVERIFY(other.FindByCode("T", "--", &row));
    QVERIFY(row && row->ts == "M");

    MakeCodeTable(db, "Empty", {});
    QVERIFY(store.ListEntries("Empty", &rows));
    QVERIFY(rows.isEmpty());

    // Two editors adding the same code: the second cannot check until the first has stored its
    // row, and then it sees it. A change rolled back is not stored.
    other.setBusyTimeout(0);
    QVERIFY(store.beginWrite() && store.FindByCode("T", "...", &row) && !row);
    QVERIFY(!other.beginWrite(&error));
    QVERIFY2(error.kind == StoreError::Kind::Locked && error.message.contains("locked by another program"),
             qPrintable(error.message));
    QVERIFY(store.InsertEntry("T", "...", "S") && store.commitWrite());
    QVERIFY(other.beginWrite() && other.FindByCode("T", "...", &row) && row);
    QVERIFY(other.InsertEntry("T", "....", "H"));
    other.rollbackWrite();
    QVERIFY(store.FindByCode("T", "....", &row) && !row);
}

void TestStore::quotesMatchLiterally() {
    ProgramFolder folder;
    const QString db = folder.file("t.mdb");
    MakeCodeTable(db, "T", {{".-'", "it's"}});
    CodeTableStore store;
    QVERIFY(store.open(db));
    std::optional<CodeTableEntry> row;
    QVERIFY(store.FindBySignal("T", "it's", &row));
    QVERIFY(row && row->ms == ".-'");
    QVERIFY(store.FindByCode("T", ".-'", &row));
    QVERIFY(row && row->ts == "it's");
    QVERIFY(store.FindByCode("T", "' or '1'='1", &row)); // no statement can be changed by a value
    QVERIFY(!row);
    QVERIFY(store.InsertEntry("T", "''", "a'b"));
    QVERIFY(store.FindBySignal("T", "a'b", &row));
    QVERIFY(row && row->ms == "''");
    QCOMPARE(EscapeText("it's 'x'"), QStringLiteral("it''s ''x''"));

    // Table names with quotes and blanks go in as quoted identifiers.
    const QString odd = QStringLiteral("My \"odd\" table; drop table T");
    MakeCodeTable(db, QString(odd).replace("\"", "\"\""), {{"-", "T"}});
    QVERIFY(store.FindByCode(odd, "-", &row));
    QVERIFY(row && row->ts == "T");
    QVERIFY(store.FindByCode("T", ".-'", &row)); // T is still there
    QVERIFY(row);
}

void TestStore::listsCodeTablesWithoutSqliteOwn() {
    ProgramFolder folder;
    const QString db = folder.file("t.mdb");
    MakeCodeTable(db, "International", {{".", "E"}}); // AUTOINCREMENT adds sqlite_sequence
    MakeCodeTable(db, "Greek", {});
    ExecSql(db, "ANALYZE"); // adds sqlite_stat1
    ExecSql(db, kLoop);
    QStringList names;
    QStringList views;
    StoreError error;
    QVERIFY(ListCodeTables(db, &names, &views, &error));
    QCOMPARE(names, QStringList({"International", "Greek"}));
    QCOMPARE(views, QStringList("Loop"));
    QVERIFY(!ListCodeTables(folder.file("missing.mdb"), &names, nullptr, &error));
    QVERIFY(error.message.contains("missing.mdb") && error.message.contains("does not exist"));
    QVERIFY(names.isEmpty());
    QVERIFY(!QFile::exists(folder.file("missing.mdb")));
}

void TestStore::reportsMissingTablesAndFields() {
    ProgramFolder folder;
    const QString db = folder.copyBundledDatabase();
    ExecSql(db, "CREATE TABLE NoCodes (ID INTEGER PRIMARY KEY, TS TEXT)");
    CodeTableStore store;
    QVERIFY(store.open(db));
    std::optional<CodeTableEntry> row;
    StoreError error;
    QVERIFY(!store.FindByCode("Klingon", ".", &row, &error));
    QVERIFY2(error.kind == StoreError::Kind::NoTable && error.message.contains("\"Klingon\" does not exist"),
             qPrintable(error.message));
    QVERIFY(!store.FindByCode("NoCodes", ".", &row, &error));
    QVERIFY2(error.message.contains("no field MS"), qPrintable(error.message));
    QVERIFY(store.FindByCode("International", "...", &row)); // the store goes on working
    QCOMPARE(row->ts, QStringLiteral("S"));
}

void TestStore::refusesHostileAndOddFiles_data() {
    QTest::addColumn<QString>("sql");   // run on a database holding T
    QTest::addColumn<QString>("file");  // what the path names instead of that database
    QTest::addColumn<QString>("table"); // listed, or added to; none: only opened
    QTest::addColumn<QString>("cause");
    auto row = [](const char* name, const QString& sql, const char* file, const char* table, const char* cause) {
        QTest::newRow(name) << sql << QString(file) << QString(table) << QString(cause);
    };
    const QString loop = QLatin1String(kLoop);
    row("endless view, named in another case", loop, "", "LOOP", "is a view, not a code table");
    // Stopped at the deadline, and given up for good: every later query would stall as long.
    row("trigger that never ends", loop + "CREATE TRIGGER Hang AFTER INSERT ON T BEGIN SELECT count(*) FROM Loop; END;",
        "", "T", "too slow to read");
    row("pipe", "", "pipe", "", "device or a pipe");
    row("device", "", "/dev/zero", "", "device or a pipe");
}

void TestStore::refusesHostileAndOddFiles() {
    QFETCH(QString, sql);
    QFETCH(QString, file);
    QFETCH(QString, table);
    QFETCH(QString, cause);
    ProgramFolder folder;
    QString db = folder.file("t.mdb");
    MakeCodeTable(db, "T", {{".", "E"}});
    QVERIFY(sql.isEmpty() || ExecSql(db, sql));
    if (file == "pipe")
        QCOMPARE(mkfifo((db = folder.file("pipe")).toUtf8().constData(), 0600), 0);
    else if (!file.isEmpty())
        db = file;
    CodeTableStore store;
    store.setDeadline(100ms);
    QVector<CodeTableEntry> rows;
    StoreError error;
    const bool done = store.open(db, &error) && (table == "T" ? store.InsertEntry(table, "-", "T", &error)
                                                              : store.ListEntries(table, &rows, &error));
    QVERIFY(!done);
    QVERIFY2(error.message.contains(cause) && error.message.contains(QDir::toNativeSeparators(db)),
             qPrintable(error.message));
    // Only a view leaves the file in use. A file given up fails at once, with the same words, and
    // nothing of the change that was stopped is stored.
    QCOMPARE(store.isOpen(), table == "LOOP");
    if (table == "T") {
        StoreError again;
        QVERIFY(!store.ListEntries("T", &rows, &again));
        QVERIFY(again.kind == StoreError::Kind::TooSlow && again.message == error.message);
        CodeTableStore check;
        QVERIFY(check.open(db) && check.ListEntries("T", &rows) && rows.size() == 1);
    }
}

void TestStore::bundledDatabaseHoldsEveryTable() {
    QStringList names;
    QVERIFY(ListCodeTables(BundledDatabase(), &names));
    QCOMPARE(names.first(), QStringLiteral("International"));
    QCOMPARE(names.size(), 10);
    CodeTableStore store;
    QVERIFY(store.open(BundledDatabase()));
    for (const QString& table : std::as_const(names)) {
        QVector<CodeTableEntry> rows;
        QVERIFY(store.ListEntries(table, &rows));
        QCOMPARE(rows.last().ts, QStringLiteral(" ")); // every table ends with its word space
    }
    QVector<CodeTableEntry> rows;
    store.ListEntries("International", &rows);
    QCOMPARE(rows.size(), 56);
    QCOMPARE(rows.first().ms, QStringLiteral(".-"));
    QCOMPARE(rows.first().ts, QStringLiteral("A"));
}

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
