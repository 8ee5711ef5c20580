// The code table store on real SQLite files, and the files it cannot use left as they were.
#include "storesupport.h"

#include <dlfcn.h>
#include <sys/file.h>

constexpr const char* kLoop = "CREATE VIEW Loop AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                              "SELECT x AS ID, '.' AS MS, 'E' AS TS FROM c;"; // never ends

// What a store reports: the kind, then the cause or the detail, the database's path as <db>.
static QString Said(const StoreError& error, const QString& db) {
    QString said = QMetaEnum::fromType<StoreError::Kind>().valueToKey(int(error.kind)) + QStringLiteral(": ") +
                   (error.cause.isEmpty() ? error.detail : error.cause);
    return db.isEmpty() ? said : said.replace(db, "<db>");
}

// What a buffer decodes to in International, or why it could not be decoded.
static QString Decoded(CodeTableStore& store, const QString& buffer = "... ") {
    DecodeResult decoded;
    StoreError error;
    return DecodeBuffer(buffer, store, "International", &decoded, &error) ? decoded.output : Said(error, error.file);
}

class TestStore : public GuardedTest {
    Q_OBJECT
private slots:
    void pathRules_data();
    void pathRules();
    void copyRefresh_data();
    void copyRefresh();
    void readsAndWritesEntries();
    void unusableDatabases_data();
    void unusableDatabases();
    void unwritableDatabase();
};

void TestStore::readsAndWritesEntries() {
    ProgramFolder folder;
    const QString db = folder.file("t.mdb");
    // A name that works only as a quoted identifier, its quotes doubled: unquoted, no statement would compile.
    const QString table = QStringLiteral("My \"odd\" table; drop table Greek");
    MakeCodeTable(db, table, {{".", "E"}, {"-", "T"}, {".-'", "it's"}, {"...", QString()}});
    MakeCodeTable(db, "Greek", {}); // AUTOINCREMENT adds sqlite_sequence, ANALYZE sqlite_stat1
    QVERIFY(ExecSql(db, QStringLiteral("ANALYZE;") + kLoop));
    CodeTableStore store, other;
    QVERIFY(store.open(db));
    QStringList names, views; // SQLite's own tables left out, in the order they were made
    QVERIFY(store.ListTables(&names, &views));
    QCOMPARE(names + views, QStringList({table, "Greek", "Loop"}));
    // IDs are never reused; values are stored exactly as given; NULL reads as empty.
    for (bool done : {store.InsertEntry(table, "--", "M"), store.DeleteEntry(table, "5"),
                      store.InsertEntry(table, "' or '1'='1", "a'b"), store.UpdateEntry(table, "1", " .", "E ")})
        QVERIFY(done);
    StoreError error;
    QVERIFY(!store.InsertEntry("Loop", "-", "T", &error)); // nor does a view, after a table was used
    QCOMPARE(error.kind, StoreError::Kind::IsView);

    // Two editors adding one code: the second checks after the first stored it. A rollback stores nothing.
    auto taken = [&](CodeTableStore& by) {
        bool is = false;
        return by.CodeOrSignalTaken(table, "....", "x", "", &is) ? (is ? "taken" : "free") : "failed";
    };
    QVERIFY(other.open(db));
    other.setBusyTimeout(0);
    QVERIFY(store.beginWrite());
    QCOMPARE(taken(store), "free");
    QCOMPARE((std::pair{other.beginWrite(&error), error.kind}), (std::pair{false, StoreError::Kind::Locked}));
    for (bool done : {store.InsertEntry(table, "....", "H"), store.commitWrite(), other.beginWrite()})
        QVERIFY(done);
    QCOMPARE(taken(other), "taken");
    QVERIFY(other.InsertEntry(table, ".....", "5"));
    other.rollbackWrite();
    QVector<CodeTableEntry> rows;
    QVERIFY(ListEntries(store, table, &rows));
    QStringList entries; // "ID MS=TS", in ID order
    for (const CodeTableEntry& row : std::as_const(rows))
        entries << row.id + ' ' + row.ms + '=' + row.ts;
    QCOMPARE(entries.join(", "), "1  .=E , 2 -=T, 3 .-'=it's, 4 ...=, 6 ' or '1'='1=a'b, 7 ....=H");

    // What a decode gives is bounded; 64 KiB is the most a code may give.
    MakeCodeTable(db, "T", {{".", QString(40, u'p')}, {"-", QString(65536, u'0')}, {"..", ""}});
    DecodeResult result;
    // A phrase table's texts decode whole, however many: the bound does not shrink with the buffer.
    QVERIFY(DecodeBuffer(QStringLiteral(". ").repeated(100000), store, "T", &result));
    QCOMPARE(std::tuple(result.output.size(), result.errors, result.notice), std::tuple(100000 * 40, 0, QString()));
    // Nor does it grow: 64 texts of 64 KiB fill it; every symbol after counts as unknown, even an empty one.
    QVERIFY(DecodeBuffer(QStringLiteral("- ").repeated(64) + ". - .. ", store, "T", &result));
    QCOMPARE(std::tuple(result.output.size(), result.errors), std::tuple(64 * 65536, 3));
    QVERIFY2(result.notice.contains("would grow past 4,194,304 characters"), qPrintable(result.notice));
    // A lookup that fails part way (its text cannot be made) leaves nothing half decoded: no text, no count.
    QVERIFY(ExecSql(db, "CREATE TABLE Half (ID INTEGER PRIMARY KEY, MS); INSERT INTO Half (MS) VALUES ('.'), ('-'); "
                        "ALTER TABLE Half ADD TS AS (iif(MS = '-', json(MS), 'E'))"));
    QCOMPARE(std::tuple(DecodeBuffer(". x - ", store, "Half", &result), result.output, result.errors),
             std::tuple(false, QString(), 0));
}

void TestStore::pathRules_data() {
    QTest::addColumn<QString>("setup"); // the program folder, and the user's files and disk
    QTest::addColumn<QString>("where"); // settings.ini|dt|database|read-only|Save's folder|rows; P program, H home
    QTest::addColumn<QString>("told");  // in what the user is told
    auto row = [](const char* setup, const char* where, const char* told = "") {
        QTest::newRow(setup) << QString(setup) << QString(where) << QString(told);
    };
    row("portable", "P/settings.ini|default|P/dahdit_db.mdb||P|new");
    row("settings.ini without the marker", "P/settings.ini|8|P/dahdit_db.mdb||P|new");
    row("installed, Documents", "H/config/dahdit/settings.ini|default|H/data/dahdit/dahdit_db.mdb||H/Documents|new");
    // The user's copy is made before the installed database gains a row (see copyRefresh).
    row("installed, copy of an earlier Dahdit", "H/config/dahdit/settings.ini|default|H/data/dahdit/dahdit_db.mdb||H|");
    const char* noCopy = "H/config/dahdit/settings.ini|default|P/dahdit_db.mdb|read-only|H|new"; // the installed tables
    row("installed, home read-only", noCopy, "the folder H/data/dahdit cannot be made, because H cannot be written.");
    row("installed, data folder read-only", noCopy, "the folder H/data/dahdit cannot be written.");
    row("installed, data a file", noCopy, "H/data is a file, not a folder.");
    row("installed, disk full: mkdir 28 /data", noCopy, "the folder H/data cannot be made: the disk is full.");
    row("installed, disk full: write 28 /data/dahdit", noCopy, "the disk is full."); // none is left
    row("installed, a full disk told at the close: close 5 /data/dahdit/#",          // the copy before it has a name
        noCopy, "input/output error.");
    row("installed, its tables unreadable, another Dahdit at work: pread 5 /dahdit_db.mdb", noCopy,
        "the database that came with Dahdit, P/dahdit_db.mdb, cannot be read. Install Dahdit again.");
    row("installed, its reads interrupted: pread 4 /dahdit_db.mdb",
        "H/config/dahdit/settings.ini|default|H/data/dahdit/dahdit_db.mdb||H|new");
    // A record another user's that cannot be opened leaves the copy without one, and is not waited for.
    row("installed, its record refused: open 13 dahdit_db.mdb.made",
        "H/config/dahdit/settings.ini|default|H/data/dahdit/dahdit_db.mdb||H|new");
    row("installed, relative XDG", "H/.config/dahdit/settings.ini|default|H/.local/share/dahdit/dahdit_db.mdb||H|new");
    row("read-only portable, settings.ini", "H/config/dahdit/settings.ini|8|H/data/dahdit/dahdit_db.mdb||H|new",
        "told once");
}

void TestStore::pathRules() {
    QFETCH(QString, setup);
    QFETCH(QString, told);
    ProgramFolder folder(true); // puts the XDG folders back, whatever the row set them to
    const QString home = folder.home();
    const QString copy = home + "/data/dahdit/dahdit_db.mdb";
    const auto readOnly = QFile::ReadOwner | QFile::ExeOwner;
    if (setup.contains("copy"))
        QVERIFY(QDir(home).mkpath("data/dahdit") && QFile::copy(QStringLiteral(DAHDIT_BUNDLED_DB), copy));
    QVERIFY(ExecSql(folder.file("dahdit_db.mdb"), "INSERT INTO International (MS, TS) VALUES ('-.-.-.-.-.', 'new')"));
    const QByteArray installed = BytesOf(folder.file("dahdit_db.mdb"));
    if (!setup.startsWith("portable") && !setup.startsWith("read-only portable"))
        QVERIFY(QFile::remove(folder.file("portable")));
    setup.contains("settings.ini") ? folder.writeFile("settings.ini", "[main]\r\ndt=8\r\n") : void();
    QVERIFY(!setup.contains("data a file") || QFile(home + "/data").open(QIODevice::WriteOnly)); // made empty
    if (setup.startsWith("installed") || setup.startsWith("read-only"))
        QVERIFY(QFile(folder.path()).setPermissions(readOnly));
    if (setup.contains("data folder read-only"))
        QVERIFY(QDir(home).mkpath("data/dahdit") && QFile(home + "/data/dahdit").setPermissions(readOnly));
    QVERIFY(!setup.contains("home read-only") || QFile(home).setPermissions(readOnly));
    QVERIFY(!setup.contains("Documents") || QDir(home).mkdir("Documents"));
    QFile record(copy + ".made"); // its lock held all along by another Dahdit, which makes no copy either
    QVERIFY(
        !setup.contains("another Dahdit") ||
        (QDir(home).mkpath("data/dahdit") && record.open(QIODevice::WriteOnly) && !flock(record.handle(), LOCK_EX)));
    if (setup.contains("relative"))
        qputenv("XDG_CONFIG_HOME", "config"), qputenv("XDG_DATA_HOME", "data");
    SetAppPathForTesting(folder.path()); // a start from there, as it is now
    const ScopedEnv fault("DAHDIT_FAIL", setup.section(": ", 1).toUtf8());
    QString error;
    const QString note = Module1::TakeSettingsKeptElsewhereNote() ? "told once" : "";
    Module1::WriteSetting("main", "sdt", "3", &error); // the per-user folder is made at the first write
    DatabaseChoice database = ChooseDatabase();
    const auto* sleeps = static_cast<std::atomic<long long>*>(dlsym(RTLD_DEFAULT, "DahditSleeps"));
    const long long slept = *sleeps;
    database.useCopy(DatabaseChoice::Refresh::IfUnchanged);
    QCOMPARE(*sleeps > slept, setup.contains("another Dahdit")); // only another Dahdit's lock is waited for
    CodeTableStore store;
    QVERIFY(store.open(database.path, nullptr, true));
    QString where = Module1::SettingsPath() + '|' + Module1::ReadSetting("main", "dt") + '|' + database.path +
                    (database.readOnly ? "|read-only|" : "||") + AppFolders().save + '|' +
                    Decoded(store, "-.-.-.-.-. "); // "new" from the installed database, none from an older copy
    QString heard = note + error + database.whyNoCopy;
    for (QString* text : {&where, &heard})
        text->replace(home, "H").replace(folder.path(), "P");
    QTEST(where, "where");
    QVERIFY2(told.isEmpty() ? heard.isEmpty() : heard.contains(told), qPrintable(heard));
    // Nothing is written into the program folder but settings.ini, and no half copy is left.
    QCOMPARE(BytesOf(folder.file("dahdit_db.mdb")), installed);
    QStringList made = QDir(home + "/data/dahdit").entryList({"*dahdit_db.mdb*"}, QDir::Files | QDir::Hidden);
    made.removeOne("dahdit_db.mdb.made"); // its fingerprint, or the lock of a copy not made
    QCOMPARE(made, database.path == copy ? QStringList("dahdit_db.mdb") : QStringList());
}

void TestStore::copyRefresh_data() {
    QTest::addColumn<bool>("replaced"); // by the newer installed database at the next start, or kept
    for (const char* kept : {"changed, then rebuilt by VACUUM INTO", "read-only copy", "a link to the user's own file",
                             "older installed (a downgrade)", "same version installed", "another Dahdit has it open",
                             "made without a fingerprint", "data folder left alone", "another program writing it"})
        QTest::newRow(kept) << false;
    QTest::newRow("untouched") << true;
    QTest::newRow("two newer Dahdits started at once") << true; // by the tables of one of them, whole
}

void TestStore::copyRefresh() {
    QFETCH(bool, replaced);
    const QString setup = QTest::currentDataTag();
    ProgramFolder folder(true);
    QVERIFY(QFile::remove(folder.file("portable")));
    const QString installed = folder.file("dahdit_db.mdb");
    // The tables carry the program's version, in a form older Dahdits compare with theirs: it never changes.
    QCOMPARE(std::pair(qFromBigEndian<qint32>(BytesOf(installed).constData() + 60), UserCopy::VersionStamp("2.10.3")),
             std::pair(UserCopy::VersionStamp(DAHDIT_VERSION), 2010003));
    const QString copy = folder.home() + "/data/dahdit/dahdit_db.mdb";
    const QString elsewhere = folder.home() + "/elsewhere.mdb";
    SetAppPathForTesting(folder.path());
    DatabaseChoice made = ChooseDatabase();
    QCOMPARE(made.path, installed); // choosing makes nothing: the step does
    made.useCopy(DatabaseChoice::Refresh::No);
    QCOMPARE(made.path, copy); // made, with the fingerprint of what was put there
    made.inUse.reset();
    std::shared_ptr<UserCopy::InUse> other;
    CodeTableStore writer;          // a change under way, which a replaced file would lose
    if (setup.contains("VACUUM")) { // the copy changed and then rebuilt outside it, as one new file
        QVERIFY(ExecSql(copy, "INSERT INTO International (MS, TS) VALUES ('.-.-.-.-', 'mine'); VACUUM INTO '" +
                                  elsewhere + "'"));
        QVERIFY(QFile::remove(copy) && QFile::copy(elsewhere, copy));
    } else if (setup == "read-only copy") {
        QVERIFY(QFile(copy).setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    } else if (setup.contains("link")) {
        QVERIFY(QFile::rename(copy, elsewhere) && QFile::link(elsewhere, copy));
    } else if (setup.contains("open")) { // by one that waited while another had it, and holds it once that one ended
        QVERIFY(UserCopy::Prepare(copy, installed, false, &made.inUse, &made.whyNoCopy) &&
                UserCopy::Prepare(copy, installed, false, &other, &made.whyNoCopy));
        made.inUse.reset();
    } else if (setup.contains("writing")) {
        QVERIFY(writer.open(copy) && writer.beginWrite());
    } else if (setup.contains("fingerprint")) {
        QVERIFY(QFile::remove(copy + ".made"));
    } else if (setup.contains("left alone")) {
        QVERIFY(QFile(QFileInfo(copy).path()).setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    }
    // The next Dahdit's tables: newer, but for the rows that say otherwise.
    const char* next = setup.contains("older") ? "0.9.999" : setup.contains("same") ? DAHDIT_VERSION : "99.0";
    QVERIFY(ExecSql(installed, QStringLiteral("INSERT INTO International (MS, TS) VALUES ('-.-.-.-.-.', 'new'); "
                                              "PRAGMA user_version = %1")
                                   .arg(UserCopy::VersionStamp(next))));
    QTemporaryDir second; // the program folder of another newer Dahdit, whose tables have a row of their own
    const QString twin = second.filePath("dahdit_db.mdb");
    QVERIFY(QFile::copy(installed, twin) && ExecSql(twin, "UPDATE International SET TS = 'other' WHERE TS = 'new'"));
    const QByteArray before = BytesOf(copy);
    // Every file opened is closed again (SQLite keeps one while the writer in this process holds a lock on it).
    const uint files = QDir("/proc/self/fd").count() + setup.contains("writing");
    if (setup.contains("at once"))
        QCOMPARE(RunTwins({"start|" + folder.path(), "start|" + second.path()}), QStringList({"", ""}));
    else
        ChooseDatabase().useCopy(DatabaseChoice::Refresh::IfUnchanged);
    const QByteArray now = BytesOf(copy);
    QCOMPARE(std::tuple(now, QDir("/proc/self/fd").count()),
             std::tuple(replaced ? BytesOf(now == BytesOf(twin) ? twin : installed) : before, files));
    QVERIFY(!replaced || UserCopy::MadeByDahdit(copy)); // and so the next newer Dahdit refreshes it again
}

void TestStore::unusableDatabases_data() {
    QTest::addColumn<QByteArray>("bytes"); // of the file: "missing", "pipe", or null for the bundled one
    QTest::addColumn<QString>("sql");      // run on the bundled database
    QTest::addColumn<QString>("table");    // listed, looked up, and added to
    QTest::addColumn<QString>("beside");   // a named pipe, made before the file is opened or ("late") after
    QTest::addColumn<QString>("told");     // how what the user is told begins; <db> is the file's path
    const QByteArray whole = BytesOf(QStringLiteral(DAHDIT_BUNDLED_DB));
    // The first page of an old Access (Jet) file, as far as any reader looks at it.
    const QByteArray access = QByteArray("\x00\x01\x00\x00Standard Jet DB", 19) + QByteArray(4077, '\0');
    auto file = [](const char* fault, const QByteArray& bytes, const QString& told, const char* beside = "") {
        QTest::newRow(fault) << bytes << QString() << "International" << beside << told;
    };
    const QString open = "CannotOpen: ";
    file("missing database file", "missing", open + "the file does not exist.");
    file("empty database file", "", open + "the file is empty.");
    file("truncated database file", whole.left(whole.size() / 3), open + "the file is damaged");
    file("old Access database file", access, open + "the file is not an SQLite database");
    file("named pipe", "pipe", open + "it is a named pipe (FIFO), not a file.");
    // SQLite's own files beside it: refused before they are opened, or where one appears later, by SQLite.
    const QString pipe = "the file <db>%1 beside it, in which SQLite keeps %2, cannot be used: it is a named pipe";
    file("-journal", QByteArray(), open + pipe.arg("-journal", "its journal"), "-journal");
    file("-journal late", QByteArray(), "Failed: " + pipe.arg("-journal", "its journal"), "-journal late");
    auto table = [](const char* fault, const char* name, const QString& sql, const char* told) {
        QTest::newRow(fault) << QByteArray() << sql << name << "" << QString(told);
    };
    table("table without MS", "NoMS", "CREATE TABLE NoMS (ID INTEGER PRIMARY KEY, TS TEXT)", "NoField: MS");
    // Unquoted, this name would read International and make a comment of the rest of each statement.
    table("a name that is SQL unquoted", "International --", "", "NoTable: ");
    // In WAL mode, with its side files refused as in a folder the user may not write: told what to do.
    table("WAL mode, side files refused", "International", "PRAGMA journal_mode=WAL", "CannotOpen: it is in WAL mode");
    // Only tables are code tables: a view may never end, whatever the case of its name.
    table("endless view named as the code table", "LOOP", kLoop, "IsView: ");
    table("a text past the memory limit", "H",
          "CREATE TABLE H (ID, MS); INSERT INTO H VALUES (1, '-'); ALTER TABLE H ADD TS AS (zeroblob(3e8))",
          "Failed: reading it needs more memory than Dahdit gives a database (256 MiB)");
    // Each code takes some hundred steps, a slow disk on the test's clock: listed row by row in time,
    // while a lookup past the deadline is stopped and the file given up.
    table("code table too slow to read", "Slow",
          kLoop + QStringLiteral("CREATE TABLE Slow (ID INTEGER PRIMARY KEY, TS, MS AS (max(%1))); "
                                 "INSERT INTO Slow (TS) SELECT TS FROM Loop LIMIT 500")
                      .arg(QStringList(120, "ID").join(',')),
          "TooSlow: 0.1");
}

void TestStore::unusableDatabases() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, sql);
    QFETCH(QString, table);
    QFETCH(QString, beside);
    QFETCH(QString, told);
    ProgramFolder folder(bytes.isNull());
    const QString db = folder.file("dahdit_db.mdb");
    if (bytes == "pipe")
        QCOMPARE(mkfifo(QFile::encodeName(db).constData(), 0600), 0);
    else if (!bytes.isNull() && bytes != "missing")
        folder.writeFile("dahdit_db.mdb", bytes);
    QVERIFY(sql.isEmpty() || ExecSql(db, sql));
    const QByteArray before = bytes == "pipe" ? bytes : BytesOf(db);
    const QByteArray fifo = QFile::encodeName(db + beside.section(u' ', 0, 0));
    auto plant = [&](bool late) { return beside.endsWith("late") != late || mkfifo(fifo.constData(), 0600) == 0; };
    QVERIFY(beside.isEmpty() || plant(false));
    QVERIFY(GuardSqlite()); // else SQLite itself would open, and wait on, a pipe planted late
    const ScopedEnv refused("DAHDIT_FAIL", sql.contains("WAL") ? "open 13 -shm" : "");
    CodeTableStore store;
    store.setDeadline(std::chrono::milliseconds(100));
    // Each look at the clock (every thousand of SQLite's steps) is 10 ms later, whatever the machine.
    store.setClock([] {
        static std::chrono::steady_clock::time_point now;
        return now += std::chrono::milliseconds(10);
    });
    QVector<CodeTableEntry> rows;
    DecodeResult decoded;
    StoreError error; // the first step that fails says why
    QVERIFY(!(store.open(db, &error) && (beside.isEmpty() || plant(true)) && ListEntries(store, table, &rows, &error) &&
              DecodeBuffer("- ", store, table, &decoded, &error) && store.InsertEntry(table, "-", "T", &error)));
    QVERIFY2(Said(error, db).startsWith(told), qPrintable(Said(error, db)));
    QCOMPARE(std::tuple(error.file, rows.size()), std::tuple(db, table == "Slow" ? 500 : 0));
    StoreError again; // tried again, it fails at once in the same words; nothing is stored, no missing file made
    QVERIFY(!ListEntries(store, table, &rows, &again));
    QCOMPARE(Said(again, db), Said(error, db));
    SqliteConnection raw; // a pipe, which would wait for a writer, SQLite's own open refuses at once
    QVERIFY(bytes == "pipe" ? OpenSqlite(QFile::encodeName(db), SQLITE_OPEN_READONLY, &raw) == SQLITE_CANTOPEN
                            : BytesOf(db) == before);
}

void TestStore::unwritableDatabase() {
    ProgramFolder folder;
    const QString db = folder.copyBundledDatabase();
    const QByteArray before = BytesOf(db);
    StoreError error;
    CodeTableStore store; // read-only: reading works, a change is refused in words
    QFile(db).setPermissions(QFile::ReadOwner | QFile::ReadGroup);
    auto refusal = [&] { // how a change is refused, which is never stored
        return store.InsertEntry("International", "-.-.-.-.", "Zz", &error) ? StoreError::Kind(-1) : error.kind;
    };
    QVERIFY(store.open(db));
    QCOMPARE(std::pair(Decoded(store), refusal()), std::pair(QString("S"), StoreError::Kind::ReadOnly));
    QVERIFY(!store.UpdateEntry("International", "1", "-", "T") && !store.DeleteEntry("International", "1"));
    QFile(db).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(store.open(db)); // writable again
    // A disk that fails a read or a write, for real: told, nothing half saved, and reading goes on.
    QStringList failed, tables;
    for (const char* fault : {"pread64 5", "pwrite64 28", "fdatasync 5"}) {
        const ScopedEnv failing("DAHDIT_FAIL", fault + QByteArray(" dahdit_db.mdb"));
        failed << Decoded(store) + " / " + (store.ListTables(&tables, nullptr, &error) ? "" : Said(error, db)) + " / " +
                      (store.InsertEntry("International", "-.-.", "Zz", &error) ? "" : Said(error, db));
    }
    const QString damaged = "the file is damaged (truncated or overwritten).";
    QCOMPARE(failed, QStringList({"Failed: " + damaged + " / CannotOpen: " + damaged + " / Failed: " + damaged,
                                  "S /  / Failed: database or disk is full.", "S /  / Failed: disk I/O error."}));
    QCOMPARE(std::tuple(Decoded(store), BytesOf(db)), std::tuple(QString("S"), before));
    // Deleted while open: reading goes on from the open file; a change says what happened, and makes no file.
    QVERIFY(QFile::remove(db));
    QCOMPARE((std::pair{refusal(), Decoded(store)}), (std::pair{StoreError::Kind::Moved, QString("S")}));
    QVERIFY(!QFile::exists(db));
    // Another file in its place says so; one with Dahdit's fingerprint was put there by another Dahdit.
    QVERIFY(QFile::copy(QStringLiteral(DAHDIT_BUNDLED_DB), db));
    QCOMPARE(refusal(), StoreError::Kind::Replaced);
    folder.writeFile("dahdit_db.mdb.made",
                     "sha256 " + QCryptographicHash::hash(BytesOf(db), QCryptographicHash::Sha256).toHex() + '\n');
    QCOMPARE(refusal(), StoreError::Kind::ReplacedByDahdit);
}

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
