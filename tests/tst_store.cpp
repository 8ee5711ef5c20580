// The code table store on real SQLite files, and the files it cannot use left as they were.
#include "storesupport.h"

#include <sys/mount.h>

const char* kLoop = "CREATE VIEW Loop AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                    "SELECT x AS ID, '.' AS MS, 'E' AS TS FROM c;"; // never ends

#define EXPECT_ERROR(kindName, cause)                                                                                  \
    QVERIFY2(error.kind == StoreError::Kind::kindName && error.message.contains(cause), qPrintable(error.message))

class TestStore : public QObject {
    Q_OBJECT
private slots:
    void pathRules_data();
    void pathRules();
    void listsTheTables();
    void readsAndWritesEntries();
    void unusableDatabases_data();
    void unusableDatabases();
    void unwritableDatabase();
};

void TestStore::readsAndWritesEntries() {
    ProgramFolder folder;
    const QString db = folder.file("t.mdb");
    MakeCodeTable(db, "T", {{".", "E"}, {"-", "T"}, {".-'", "it's"}});
    QVERIFY(ExecSql(db, "INSERT INTO T (MS, TS) VALUES ('...', NULL)"));
    CodeTableStore store;
    QVERIFY(store.open(db));
    auto listed = [&store](const QString& table) { // "ID MS=TS", in ID order
        QVector<CodeTableEntry> rows;
        QStringList entries;
        for (const CodeTableEntry& row : ListEntries(store, table, &rows) ? rows : QVector<CodeTableEntry>())
            entries << row.id + ' ' + row.ms + '=' + row.ts;
        return entries.join(", ");
    };
    // Another row holds the code or the signal, compared exactly (the editor's tests show the rest); a
    // value changes no statement.
    bool taken = true;
    QVERIFY(store.CodeOrSignalTaken("T", ".-'", "it's", "3", &taken) && !taken); // its own row
    QVERIFY(store.CodeOrSignalTaken("T", "' or '1'='1", "t", "", &taken) && !taken);
    QVERIFY(!store.CodeOrSignalTaken("T", "-", "x", "1 or 1=1", &taken)); // an ID is a number or nothing

    // IDs come from the store and are never reused; values are stored exactly as given; NULL reads as empty.
    QVERIFY(store.InsertEntry("T", "''", "a'b") && store.DeleteEntry("T", "5"));
    QVERIFY(store.InsertEntry("T", "--", "M") && store.UpdateEntry("T", "1", " .", "E "));
    QCOMPARE(listed("T"), QStringLiteral("1  .=E , 2 -=T, 3 .-'=it's, 4 ...=, 6 --=M"));
    StoreError error; // removed by other means: the update says so instead of succeeding silently
    QVERIFY(!store.UpdateEntry("T", "99", "x", "y", &error));
    EXPECT_ERROR(EntryGone, "no longer exists");
    // A table name with quotes and blanks goes in as a quoted identifier.
    const QString odd = QStringLiteral("My \"odd\" table; drop table T");
    MakeCodeTable(db, odd, {});
    QVERIFY(store.InsertEntry(odd, "-", "t") && listed(odd) == "1 -=t");

    // Two editors adding one code: the second checks after the first stored it. A rollback stores nothing.
    CodeTableStore other;
    QVERIFY(other.open(db));
    other.setBusyTimeout(0);
    QVERIFY(store.beginWrite() && store.CodeOrSignalTaken("T", "....", "H", "", &taken) && !taken);
    QVERIFY(!other.beginWrite(&error));
    EXPECT_ERROR(Locked, "locked by another program");
    QVERIFY(store.InsertEntry("T", "....", "H") && store.commitWrite());
    QVERIFY(other.beginWrite() && other.CodeOrSignalTaken("T", "....", "x", "", &taken) && taken);
    QVERIFY(other.InsertEntry("T", ".....", "5"));
    other.rollbackWrite();
    QVERIFY(!listed("T").contains("....."));
}

void TestStore::pathRules_data() {
    QTest::addColumn<QString>("setup"); // the program folder, and the user's files and disk
    QTest::addColumn<QString>(
        "where"); // settings.ini|dt|the database|read-only|Save's folder|its rows; P program, H home
    QTest::addColumn<QString>("told"); // in what the user is told
    auto row = [](const char* setup, const char* where, const char* told = "") {
        QTest::newRow(setup) << QString(setup) << QString(where) << QString(told);
    };
    row("portable", "P/settings.ini|default|P/dahdit_db.mdb||P|new");
    row("settings.ini without the marker", "P/settings.ini|8|P/dahdit_db.mdb||P|new");
    row("installed, Documents", "H/config/dahdit/settings.ini|default|H/data/dahdit/dahdit_db.mdb||H/Documents|new");
    // The user's copy is made before an upgrade brings a newer database.
    row("installed, untouched copy", "H/config/dahdit/settings.ini|default|H/data/dahdit/dahdit_db.mdb||H|new");
    row("installed, changed copy", "H/config/dahdit/settings.ini|default|H/data/dahdit/dahdit_db.mdb||H|mine");
    row("installed, home read-only", "H/config/dahdit/settings.ini|default|P/dahdit_db.mdb|read-only|H|new",
        "Changes to the code tables cannot be kept: Dahdit cannot make your own copy of them, "
        "H/data/dahdit/dahdit_db.mdb: the folder H/data/dahdit cannot be made, because H cannot be written.");
    row("installed, full disk", "H/data/dahdit/settings.ini|default|P/dahdit_db.mdb|read-only|H|new",
        "H/data/dahdit/dahdit_db.mdb: the disk is full.");
    row("installed, no free inodes", "H/data/dahdit/settings.ini|default|P/dahdit_db.mdb|read-only|H|new",
        "settings file H/data/dahdit/settings.ini: the folder H/data/dahdit cannot be made: the disk has no free "
        "inodes left");
    row("installed, relative XDG", "H/.config/dahdit/settings.ini|default|H/.local/share/dahdit/dahdit_db.mdb||H|new");
    row("read-only portable, settings.ini", "H/config/dahdit/settings.ini|8|H/data/dahdit/dahdit_db.mdb||H|new",
        "Dahdit's folder P cannot be written, so its settings.ini is read but not changed: what you chose there still "
        "holds. Changes you make from now on are kept in H/config/dahdit/settings.ini.");
}

void TestStore::pathRules() {
    QFETCH(QString, setup);
    QFETCH(QString, told);
    ProgramFolder folder(true);
    const QString home = folder.home();
    const QString copy = home + "/data/dahdit/dahdit_db.mdb";
    const auto readOnly = QFile::ReadOwner | QFile::ExeOwner;
    bool mounted = false;
    auto unmount = qScopeGuard([&] { mounted&& QProcess::execute("umount", {home + "/data"}); });
    if (setup.contains("copy")) {
        QVERIFY(QDir(home).mkpath("data/dahdit") && QFile::copy(BundledDatabase(), copy));
        QVERIFY(!setup.contains("changed") ||
                ExecSql(copy, "INSERT INTO International (MS, TS) VALUES ('.-.-.-.-', 'mine')"));
    }
    QVERIFY(ExecSql(folder.file("dahdit_db.mdb"), "INSERT INTO International (MS, TS) VALUES ('-.-.-.-.-.', 'new')"));
    const QByteArray installed = BytesOf(folder.file("dahdit_db.mdb"));
    if (!setup.startsWith("portable") && !setup.startsWith("read-only portable"))
        QVERIFY(QFile::remove(folder.file("portable")));
    if (setup.contains("settings.ini"))
        folder.writeFile("settings.ini", "[main]\r\ndt=8\r\n");
    if (setup.startsWith("installed") || setup.startsWith("read-only"))
        QVERIFY(QFile(folder.path()).setPermissions(readOnly));
    if (setup.contains("home read-only"))
        QVERIFY(QFile(home).setPermissions(readOnly));
    if (setup.contains("Documents"))
        QVERIFY(QDir(home).mkdir("Documents"));
    if (setup.contains("relative")) {
        qputenv("XDG_CONFIG_HOME", "config");
        qputenv("XDG_DATA_HOME", "data");
    }
    if (setup.contains("full") || setup.contains("inodes")) { // a small file system of its own
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + "/data"));
        mounted = QDir(home).mkdir("data") &&
                  QProcess::execute("mount", {"-t", "tmpfs", "-o", setup.contains("full") ? "size=64k" : "nr_inodes=1",
                                              "tmpfs", home + "/data"}) == 0;
        if (!mounted)
            QSKIP("mounting a file system needs root");
    }

    QString note, error;
    Module1::SettingsKeptElsewhere(&note);
    Module1::WriteSetting("main", "sdt", "3", &error); // the per-user folder is made at the first write
    const DatabaseChoice database = ChooseDatabase(CopyRefresh::IfUnchanged);
    CodeTableStore store;
    DecodeResult rows; // "new" from the installed database, "mine" from a copy the user changed
    QVERIFY(store.open(database.path, nullptr, true) &&
            DecodeBuffer("-.-.-.-.-. .-.-.-.- ", store, "International", &rows));
    QString where = Module1::SettingsPath() + '|' + Module1::ReadSetting("main", "dt") + '|' + database.path +
                    (database.readOnly ? "|read-only|" : "||") + SaveFolder() + '|' + rows.output;
    QString heard = note + error + database.whyReadOnly;
    for (QString* text : {&where, &heard})
        text->replace(home, "H").replace(folder.path(), "P");
    QTEST(where, "where");
    QVERIFY2(told.isEmpty() ? heard.isEmpty() : heard.contains(told), qPrintable(heard));
    // Nothing is written into the program folder but settings.ini, and no half copy is left.
    QCOMPARE(BytesOf(folder.file("dahdit_db.mdb")), installed);
    QCOMPARE(QDir(home + "/data/dahdit").entryList({"*dahdit_db.mdb*"}, QDir::Files | QDir::Hidden),
             database.path == copy ? QStringList("dahdit_db.mdb") : QStringList());
}

void TestStore::listsTheTables() {
    ProgramFolder folder;
    const QString db = folder.file("t.mdb");
    MakeCodeTable(db, "International", {{".", "E"}}); // AUTOINCREMENT adds sqlite_sequence
    MakeCodeTable(db, "Greek", {});
    QVERIFY(ExecSql(db, QStringLiteral("ANALYZE;") + kLoop)); // ANALYZE adds sqlite_stat1
    QStringList names, views;
    CodeTableStore store;
    QVERIFY(store.open(db) && store.ListTables(&names, &views) && names == QStringList({"International", "Greek"}) &&
            views == QStringList("Loop"));
}

void TestStore::unusableDatabases_data() {
    QTest::addColumn<QByteArray>("bytes"); // of the file: "missing", "pipe", or null for the bundled one
    QTest::addColumn<QString>("sql");      // run on the bundled database
    QTest::addColumn<QString>("table");    // listed, looked up, and added to
    QTest::addColumn<QString>("beside");   // a named pipe, made before the file is opened or ("late") after
    QTest::addColumn<QString>("cause");    // in the message, with the file's path
    const QByteArray whole = BytesOf(BundledDatabase());
    // The first page of an old Access (Jet) file, as far as any reader looks at it.
    const QByteArray access = QByteArray("\x00\x01\x00\x00Standard Jet DB", 19) + QByteArray(4077, '\0');
    auto file = [](const char* fault, const QByteArray& bytes, const char* cause, const char* beside = "") {
        QTest::newRow(fault) << bytes << QString() << "International" << beside << cause;
    };
    file("missing database file", "missing", "does not exist");
    file("empty database file", "", "is empty");
    file("truncated database file", whole.left(whole.size() / 3), "damaged");
    file("text file as database", "MS,TS\n.-,A\n", "not an SQLite database");
    file("old Access database file", access, "not an SQLite database");
    file("named pipe", "pipe", "it is a named pipe (FIFO), not a file.");
    // SQLite's own files beside it: refused before they are opened, or where one appears later, by SQLite.
    for (const char* beside : {"-journal", "-wal", "-shm", "-journal late"})
        file(beside, QByteArray(), "it is a named pipe (FIFO), not a file. Remove it", beside);
    auto table = [](const char* fault, const char* name, const QString& sql, const char* cause) {
        QTest::newRow(fault) << QByteArray() << sql << name << "" << cause;
    };
    table("table without MS", "NoMS", "CREATE TABLE NoMS (ID INTEGER PRIMARY KEY, TS TEXT)", "has no field MS");
    table("table without TS", "NoTS", "CREATE TABLE NoTS (ID INTEGER PRIMARY KEY, MS TEXT)", "has no field TS");
    // Unquoted, this name would read International and make a comment of the rest of each statement.
    table("a name that is SQL unquoted", "International --", "", "does not exist");
    // Only tables are code tables: a view may never end, whatever the case of its name.
    table("endless view named as the code table", "LOOP", kLoop, "is a view, not a code table");
    // Each row computes a megabyte, as slowly as a slow disk gives it: the list, row by row in
    // time, is read to its end; a lookup past the deadline is stopped, and the file given up.
    table("code table too slow to read", "Slow",
          "CREATE TABLE Slow (ID INTEGER PRIMARY KEY, TS TEXT); WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT "
          "x + 1 FROM c WHERE x < 300) INSERT INTO Slow (TS) SELECT 'x' FROM c; ALTER TABLE Slow ADD COLUMN MS "
          "TEXT GENERATED ALWAYS AS (length(hex(zeroblob(1000000 + ID))))",
          "too slow to read");
}

void TestStore::unusableDatabases() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, sql);
    QFETCH(QString, table);
    QFETCH(QString, beside);
    QFETCH(QString, cause);
    ProgramFolder folder;
    const QString db = folder.file("dahdit_db.mdb");
    if (bytes.isNull())
        folder.copyBundledDatabase();
    else if (bytes == "pipe")
        QCOMPARE(mkfifo(QFile::encodeName(db).constData(), 0600), 0);
    else if (bytes != "missing")
        folder.writeFile("dahdit_db.mdb", bytes);
    QVERIFY(sql.isEmpty() || ExecSql(db, sql));
    const QByteArray before = bytes == "pipe" ? bytes : BytesOf(db);
    const QString pipe = db + beside.section(u' ', 0, 0);
    auto plant = [&](bool late) { return beside.endsWith("late") != late || mkfifo(qPrintable(pipe), 0600) == 0; };
    QVERIFY(beside.isEmpty() || plant(false));
    CodeTableStore store;
    store.setDeadline(std::chrono::milliseconds(100));
    QVector<CodeTableEntry> rows;
    DecodeResult decoded;
    StoreError error;
    QVERIFY(!(store.open(db, &error) && (beside.isEmpty() || plant(true)) && ListEntries(store, table, &rows, &error) &&
              DecodeBuffer("- ", store, table, &decoded, &error) && store.InsertEntry(table, "-", "T", &error)));
    QVERIFY2(error.message.contains(cause) && error.message.contains(QDir::toNativeSeparators(db)),
             qPrintable(error.message));
    QVERIFY(beside.isEmpty() || error.message.contains(QDir::toNativeSeparators(pipe) + " beside it"));
    // Given up, a file fails at once in the same words; nothing is stored, no missing file made.
    StoreError again;
    QCOMPARE(rows.size(), error.kind == StoreError::Kind::TooSlow ? 300 : 0);
    QVERIFY(error.kind != StoreError::Kind::TooSlow ||
            (!store.isOpen() && !ListEntries(store, table, &rows, &again) && again.message == error.message &&
             !error.message.contains("damaged")));
    QVERIFY(bytes == "pipe" || BytesOf(db) == before);
    CodeTableStore check; // the file as it was, once the pipe is gone
    QVERIFY(beside.isEmpty() || QFile::remove(pipe));
    QVERIFY(!bytes.isNull() || (check.open(db) && ListEntries(check, "International", &rows) && rows.size() == 56));
}

void TestStore::unwritableDatabase() {
    ProgramFolder folder;
    const QString db = folder.copyBundledDatabase();
    const QByteArray before = BytesOf(db);
    auto readsS = [](CodeTableStore& store, StoreError* error = nullptr) {
        DecodeResult decoded;
        return DecodeBuffer("... ", store, "International", &decoded, error) && decoded.output == "S";
    };
    StoreError error;
    CodeTableStore store; // read-only: reading works, a change is refused in words
    QFile(db).setPermissions(QFile::ReadOwner | QFile::ReadGroup);
    QVERIFY(store.open(db) && readsS(store));
    QVERIFY(!store.InsertEntry("International", "-.-.-.-.", "Zz", &error));
    EXPECT_ERROR(ReadOnly, "is read-only");
    QFile(db).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    store.close();
    // Locked by another program from the first open on: opened again once the lock is gone.
    SqliteConnection other;
    QVERIFY(OpenSqlite(db.toUtf8(), SQLITE_OPEN_READWRITE, &other) == SQLITE_OK);
    QVERIFY(sqlite3_exec(other.get(), "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK);
    store.setBusyTimeout(10);
    QVERIFY(!store.open(db, &error) || !readsS(store, &error));
    EXPECT_ERROR(Locked, "locked by another program");
    QVERIFY(!store.reopenIfLocked(&error) && error.kind == StoreError::Kind::Locked);
    QVERIFY(sqlite3_exec(other.get(), "ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_OK);
    QVERIFY(store.reopenIfLocked() && readsS(store));
    QCOMPARE(BytesOf(db), before);
    // Deleted while open: reading goes on from the open file; a change says what happened.
    QVERIFY(QFile::remove(db));
    QVERIFY(!store.InsertEntry("International", "-.-.-.-.", "Zz", &error));
    EXPECT_ERROR(Moved, "moved, renamed or deleted");
    QVERIFY(readsS(store) && !QFile::exists(db));
    // In WAL mode on a disk mounted read-only, where nobody can change it, a database is read as it
    // is. Elsewhere, in a folder that may not be written, it is refused: run end to end.
    ProgramFolder disk;
    const QByteArray at = QFile::encodeName(disk.path());
    if (::mount("tmpfs", at.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m") != 0)
        QSKIP("mounting a small tmpfs needs root (or CAP_SYS_ADMIN) on a system that allows it");
    const auto unmount = qScopeGuard([&] { umount2(at.constData(), MNT_DETACH); });
    QVERIFY(ExecSql(disk.copyBundledDatabase(), "PRAGMA journal_mode=WAL"));
    QVERIFY(::mount(nullptr, at.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0);
    QVERIFY(store.open(disk.file("dahdit_db.mdb")) && readsS(store));
}

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
