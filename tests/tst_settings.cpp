// The settings file: what reads back, writes that change only their lines, and refused writes.
#include "settingsfile.h"
#include "storesupport.h"

#include <unistd.h>

class TestSettings : public GuardedTest {
    Q_OBJECT
private slots:
    void readsAndWrites_data();
    void readsAndWrites();
    void readsThroughTheTable();
    void refusedWrites_data();
    void refusedWrites();
    void writesAtTheSameMoment();
};

// As where /proc is not mounted, no file is made without a name: every write goes by a named temporary file.
[[maybe_unused]] const bool g_named = qputenv("DAHDIT_FAIL", "access 2 /proc/self/fd");

void TestSettings::readsAndWrites_data() {
    QTest::addColumn<QByteArray>("before");           // null: no file
    QTest::addColumn<SettingsFile::Values>("values"); // read back, after a write of them all if any "after"
    QTest::addColumn<QByteArray>("after");            // null: only read, which changes nothing
    auto row = [](const char* tag, const QByteArray& before, const SettingsFile::Values& values,
                  const QByteArray& after = {}) { QTest::newRow(tag) << before << values << after; };
    const QString mixed = (u'x' + QString::fromUtf8("\xF0\x9F\x98\x80")).repeated(300); // a letter, an emoji: 3 units
    row("empty value (in quotes), and the marker in capitals, are values",
        "[other]\r\n[main]\r\ntable_name=\"\"\r\ndb_path=Default\r\n", {{"table_name", ""}, {"db_path", "Default"}});
    row("254 characters, never half of one", "[main]\nv=" + mixed.toUtf8(), {{"v", mixed.left(381)}});
    // Names in any case; the first key and section count, and no key before one; outer blanks and quotes go.
    row("an edited file",
        "dt=7\n[ MAIN ]\n;dt=1\n#sdt=1\nDT=3\ndt=4\n Table_Name = \"Greek\" \ndb_path = /a b/c.mdb \n[main]\nsdt=9",
        {{"dt", "3"}, {"table_name", "Greek"}, {"db_path", "/a b/c.mdb"}, {"sdt", "default"}});
    row("one byte under 1 MiB", "[main]\ndt=3\n" + QByteArray(SettingsFile::MaxFileSize - 12, ';'), {{"dt", "3"}});
    row("keys in the order of their first write", QByteArray(), {{"sdt", "\xC3\xA5"}, {"dt", "11"}, {"table_name", ""}},
        "[main]\r\nsdt=\xC3\xA5\r\ndt=11\r\ntable_name=\r\n");
    row("values the reader would trim or unquote", QByteArray(),
        {{"table_name", "\"Greek\""}, {"db_path", " /x"}, {"v", "\""}},
        "[main]\r\ntable_name=\"\"Greek\"\"\r\ndb_path=\" /x\"\r\nv=\"\r\n");
    // A key is added after the section's last key, before a comment that follows it.
    const QByteArray lf =
        "; my notes\n\n[view]\ncolour = blue\n[Main]\n  DT = 4  \nextra=1\n; keep dt = 4\n\n[tail]\nz=9";
    row("LF file: one line changes, one is added", lf, {{"dt", "7"}, {"sdt", "2"}},
        "; my notes\n\n[view]\ncolour = blue\n[Main]\ndt=7\nextra=1\nsdt=2\n; keep dt = 4\n\n[tail]\nz=9");
    row("CR LF file without the section", "[view]\r\nx=1", {{"dt", "5"}}, "[view]\r\nx=1\r\n[main]\r\ndt=5\r\n");
    row("its only line end CR LF, at its end", "[main]\r\n", {{"dt", "5"}}, "[main]\r\ndt=5\r\n");
    row("a byte-order mark first", "\xEF\xBB\xBF[main]\r\ndt=4\r\n", {{"dt", "5"}}, "\xEF\xBB\xBF[main]\r\ndt=5\r\n");
    row("254 characters, the last outside the BMP", QByteArray(), {{"v", QString(253, u'x') + mixed.mid(1, 2)}},
        "[main]\r\nv=" + QByteArray(253, 'x') + mixed.mid(1, 2).toUtf8() + "\r\n");
    row("CR file keeps its line ends", "[main]\rdt=1\r", {{"dt", "2"}, {"sdt", "3"}}, "[main]\rdt=2\rsdt=3\r");
    row("a CR line before an empty LF line", "[main]\rdt=1\n\nz", {{"sdt", "3"}}, "[main]\rdt=1\nsdt=3\r\n\nz");
    const QByteArray binary("\xff\xfe\x00\x01garbage\n[main]\ndt=1\n\x80\x81\n", 26);
    row("bytes that are not UTF-8 elsewhere", binary, {{"dt", "2"}}, QByteArray(binary).replace("dt=1", "dt=2"));
}

void TestSettings::readsAndWrites() {
    QFETCH(QByteArray, before);
    QFETCH(SettingsFile::Values, values);
    QFETCH(QByteArray, after);
    ProgramFolder folder;
    const QString path = folder.file("settings.ini");
    // A write as root keeps a user's file the user's. Files named like a temporary file of Dahdit's,
    // however old, are the user's own: a write removes none, and leaves none of its own.
    const QStringList left = {"settings.ini.dahdit-backup", "settings.ini.dahdit-v1.txt", "settings.ini.dahdit-Xy12Z9"};
    for (const QString& name : left) {
        QFile old(folder.file(name));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("[main]\r\n") == 8 && old.flush() &&
                old.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    }
    if (!before.isNull())
        folder.writeFile("settings.ini", before);
    QVERIFY(before.isNull() || ::geteuid() != 0 || ::chown(qPrintable(path), 65534, 65534) == 0);
    QString error;
    if (!after.isNull())
        QVERIFY2(Module1::WriteSettings("main", values, &error), qPrintable(error));
    QCOMPARE(folder.readFile("settings.ini"), after.isNull() ? before : after);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"portable", "settings.ini"}) + left);
    QCOMPARE(QFileInfo(path).groupId(), before.isNull() || ::geteuid() != 0 ? ::getegid() : 65534);
    for (const auto& [key, value] : std::as_const(values))
        QCOMPARE(Module1::ReadSetting("main", key), value); // every call sees the file as the last write left it
}

// What a reader gets: the stored value where the key takes it, else the key's built-in value.
void TestSettings::readsThroughTheTable() {
    ProgramFolder folder;
    folder.writeFile("settings.ini", "[main]\nsidetone= 0 \ndt=20\nsdt=0\ntable_name=default\n");
    using namespace Settings;
    QCOMPARE(QList<int>({Read(Sidetone), Read(SidetoneHz), Read(DelayTime), Read(SpaceDelayTime)}),
             QList<int>({0, 600, 20, 6}));
    QCOMPARE(Read(TableName) + '|' + Read(DatabasePath), "International|" + folder.file("dahdit_db.mdb"));
    // A call a signal interrupts is made again (a close has closed all the same); a temporary name taken, another.
    for (const char* call : {"write 4", "fsync 4", "fsyncdir 4", "close 4", "read 4", "open 17", "linkat 17"}) {
        const ScopedEnv interrupted(
            "DAHDIT_FAIL", call + (' ' + QFile::encodeName(folder.file(*call == 'o' ? "settings.ini.dahdit-" : ""))));
        QString error;
        QVERIFY2(Module1::WriteSetting("main", "v", call, &error), qPrintable(error));
        QCOMPARE(Module1::ReadSetting("main", "v"), call);
    }
}

void TestSettings::refusedWrites_data() {
    QTest::addColumn<QString>("kind");  // what stands at settings.ini
    QTest::addColumn<QString>("value"); // written to sdt together with dt=5
    QTest::addColumn<QString>("cause"); // how the cause, after the file's path, begins
    auto row = [](const char* name, const char* kind, const QString& value, const char* cause) {
        QTest::newRow(name) << QString(kind) << value << QString(cause);
    };
    row("line break would plant a key", "file", "x\ndb_path=/evil", "a setting cannot hold a line break.");
    row("longer than a read returns", "file", QString(255, u'x'), "a setting holds at most 254 characters");
    row("read-only file", "read-only", "3", "the file is read-only.");
    row("named pipe (would hang)", "fifo", "3", "it is a named pipe (FIFO), not a file.");
    row("link to /dev/zero (endless)", "zero", "3", "it is a device, not a file.");
    row("one byte over 1 MiB", "large", "3", "it is larger than 1 MiB");
    row("a write past 1 MiB", "full", "3", "with this change it would be larger than 1 MiB");
    row("another program writing it (its lock held)", "locked", "3", "another program is saving it");
    // A call that the disk fails for real ("<call> <error number>"; "new": no file before).
    const char* io = "the disk reported an input/output error.";
    row("the file's sync: EIO", "fsync 5", "3", io);
    row("the file's sync: ENOSPC", "fsync 28", "3", "the disk is full.");
    row("close: EIO", "close 5", "3", io);
    row("rename: EXDEV", "rename 18", "3", "it is a mount point of its own, so it cannot be replaced.");
    row("rename: EACCES", "rename 13", "3", "permission denied.");
    row("rename: EBUSY, in the system's words", "rename 16", "3", "device or resource busy.");
    row("the folder's sync: EIO", "fsyncdir 5", "3", io);
    row("the folder's sync of a new file: EIO", "fsyncdir 5 new", "3", io);
}

void TestSettings::refusedWrites() {
    QFETCH(QString, kind);
    QFETCH(QString, value);
    QFETCH(QString, cause);
    ProgramFolder folder;
    const QString path = folder.file("settings.ini");
    QByteArray old = "[main]\ndt=4\n";
    const int over = QStringList({"full", "large"}).indexOf(kind); // a file of 1 MiB, or one byte over
    if (kind == "fifo")
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == "zero")
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    else if (!kind.endsWith("new"))
        folder.writeFile("settings.ini", old += QByteArray(over < 0 ? 0 : SettingsFile::MaxFileSize - 12 + over, ';'));
    QLockFile lock(path + ".lock");
    QVERIFY(kind != "locked" || lock.lock());
    if (kind == "read-only")
        QFile(path).setPermissions(QFile::ReadOwner | QFile::ReadGroup);
    const bool usable = kind != "fifo" && kind != "zero" && kind != "large";
    QString error; // neither value is written, though dt=5 alone could be
    {
        const ScopedEnv failing("DAHDIT_FAIL",
                                kind.section(' ', 0, 1).toUtf8() + ' ' + QFile::encodeName(folder.path()));
        QVERIFY(!Module1::WriteSettings("main", {{"dt", "5"}, {"sdt", value}}, &error));
    }
    QVERIFY2(error.startsWith(cause), qPrintable(error));
    QString file, told; // an unusable file is told at start-up, and its settings are the built-in ones
    QCOMPARE(Module1::SettingsCanBeKept(&file, &told), usable);
    QCOMPARE(file, usable ? QString() : path);
    QVERIFY2(usable ? told.isEmpty() : told.startsWith(cause), qPrintable(told));
    QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(Module1::ReadSetting("main", "dt"), usable && !kind.endsWith("new") ? "4" : "default");
    QCOMPARE(QFileInfo(path).isSymLink(), kind == "zero");
    QVERIFY(!QFileInfo(path).isFile() || folder.readFile("settings.ini") == old);
    QCOMPARE(QDir(folder.path()).entryList({"*.dahdit-*"}, QDir::Files | QDir::Hidden), QStringList()); // none left
}

// Two programs writing at the same moment, round after round, each its own keys: each waits, and neither loses a key.
void TestSettings::writesAtTheSameMoment() {
    const QString shm = "/dev/shm"; // a disk in memory, where the syncs take no time
    QTemporaryDir memory((QFileInfo(shm).isWritable() ? shm : QDir::tempPath()) + "/dahdit-XXXXXX");
    const QString path = memory.filePath("settings.ini");
    QCOMPARE(RunTwins({"write|" + path + "|one", "write|" + path + "|other"}), QStringList({"", ""})); // none refused
    QCOMPARE(BytesOf(path).count("\r\n"), 1 + 2 * TwinRounds); // the section, and every key
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
