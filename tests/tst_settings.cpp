// The settings file: what reads back, that a write changes its lines and nothing else, and
// that whatever stands in the file's place is never overwritten, hung on or read whole.
#include "module1.h"
#include "settingsfile.h"
#include "testsupport.h"
#include "wholefile.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <sys/stat.h>

namespace {
const QString kMain = QStringLiteral("main");
QString Setting(const QString& key) {
    return Module1::ReadSetting(kMain, key);
}
} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void reads_data();
    void reads();
    void writes_data();
    void writes();
    void refusedWrites_data();
    void refusedWrites();
    void unusableFiles_data();
    void unusableFiles();
    void failingDevice();
};

void TestSettings::reads_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QString emoji;
    for (int i = 0; i < 200; ++i)
        emoji += QString::fromUtf8("\xF0\x9F\x98\x80");
    const QByteArray sections = "[other]\r\ndt=3\r\n[main]\r\ntable_name=\r\ndb_path=Default\r\n";
    const QByteArray edited = "[ MAIN ]\n;dt=1\n# sdt=1\nDT=3\ndt=4\n Table_Name =  \"Greek\"  \n"
                              "db_path = /a b/c.mdb \n[main]\nsdt=9\n";
    QTest::newRow("no file") << QByteArray() << "dt"
                             << "default";
    QTest::newRow("key in another section only") << sections << "dt"
                                                 << "default";
    QTest::newRow("empty value is not the marker") << sections << "table_name"
                                                   << "";
    QTest::newRow("the marker in capitals is a value") << sections << "db_path"
                                                       << "Default";
    QTest::newRow("300 characters read as 254") << "[main]\nv=" + QByteArray(300, 'x') << "v" << QString(254, u'x');
    QTest::newRow("cut at characters, not bytes")
        << "[main]\nv=" + QString(300, QChar(0xe9)).toUtf8() << "v" << QString(254, QChar(0xe9));
    QTest::newRow("never half a character") << "[main]\nv=" + emoji.toUtf8() << "v" << emoji.left(254);
    QTest::newRow("names in any case, first key counts") << edited << "dt"
                                                         << "3";
    QTest::newRow("blanks and quotes around a value go") << edited << "table_name"
                                                         << "Greek";
    QTest::newRow("blanks inside a value stay") << edited << "db_path"
                                                << "/a b/c.mdb";
    QTest::newRow("only the first section counts") << edited << "sdt"
                                                   << "default";
    QTest::newRow("CR line ends") << QByteArray("[other]\rdt=1\r[main]\rsdt=2\rdt=7\r") << "dt"
                                  << "7";
    QTest::newRow("mixed line ends") << QByteArray("[main]\r\nsdt=2\rx=1\ndt=8") << "dt"
                                     << "8";
}

void TestSettings::reads() {
    QFETCH(QByteArray, file);
    QFETCH(QString, key);
    QFETCH(QString, value);
    ProgramFolder folder;
    if (!file.isNull())
        folder.writeFile("settings.ini", file);
    QCOMPARE(Setting(key), value);
    QCOMPARE(Setting(key).isNull(), false);
    QVERIFY(Module1::SettingsCanBeKept(nullptr));
    QCOMPARE(folder.readFile("settings.ini"), file); // a read changes nothing
}

void TestSettings::writes_data() {
    QTest::addColumn<QByteArray>("before");  // null: no file
    QTest::addColumn<QStringList>("values"); // key, value, key, value, ... in one write
    QTest::addColumn<QByteArray>("after");
    auto row = [](const char* tag, const QByteArray& before, const QStringList& values, const QByteArray& after) {
        QTest::newRow(tag) << before << values << after;
    };
    row("first write makes the file", QByteArray(), {"dt", "10"}, "[main]\r\ndt=10\r\n");
    row("keys in the order of their first write", "[main]\r\ndt=10\r\n", {"sdt", "8", "dt", "11", "table_name", ""},
        "[main]\r\ndt=11\r\nsdt=8\r\ntable_name=\r\n");
    row("UTF-8 values", QByteArray(), {"db_path", "/home/\xC3\xA5sa/\xD0\xB4\xD0\xB0/db.mdb"},
        "[main]\r\ndb_path=/home/\xC3\xA5sa/\xD0\xB4\xD0\xB0/db.mdb\r\n");
    // A value the reader would trim or unquote is quoted, so that it comes back as chosen.
    row("blanks around a value", QByteArray(), {"table_name", "Greek ", "db_path", " /x"},
        "[main]\r\ntable_name=\"Greek \"\r\ndb_path=\" /x\"\r\n");
    row("quotes around a value", QByteArray(), {"table_name", "\"Greek\"", "v", "\"", "w", "a \"b\""},
        "[main]\r\ntable_name=\"\"Greek\"\"\r\nv=\"\r\nw=a \"b\"\r\n");
    const QByteArray lf = "; my notes\n\n[view]\ncolour = blue\n[Main]\n  DT = 4  \n# keep me\nextra=1\n\n[tail]\nz=9";
    row("LF file: one line changes, one is added", lf, {"dt", "7", "sdt", "2"},
        "; my notes\n\n[view]\ncolour = blue\n[Main]\ndt=7\n# keep me\nextra=1\nsdt=2\n\n[tail]\nz=9");
    row("CR LF file without the section", "[view]\r\nx=1", {"dt", "5"}, "[view]\r\nx=1\r\n[main]\r\ndt=5\r\n");
    row("CR file keeps its line ends", "[main]\rdt=1\r", {"dt", "2", "sdt", "3"}, "[main]\rdt=2\rsdt=3\r");
    row("CR file without the section", "x=1", {"dt", "2"}, "x=1\r\n[main]\r\ndt=2\r\n");
    row("a CR line before an empty LF line", "[main]\rdt=1\n\nz", {"sdt", "3"}, "[main]\rdt=1\nsdt=3\r\n\nz");
    const QByteArray binary("\xff\xfe\x00\x01garbage\n[main]\ndt=1\n\x80\x81\n", 26);
    row("bytes that are not UTF-8 elsewhere", binary, {"dt", "2"}, QByteArray(binary).replace("dt=1", "dt=2"));
}

void TestSettings::writes() {
    QFETCH(QByteArray, before);
    QFETCH(QStringList, values);
    QFETCH(QByteArray, after);
    ProgramFolder folder;
    if (!before.isNull())
        folder.writeFile("settings.ini", before);
    SettingsFile::Values pairs;
    for (int i = 0; i + 1 < values.size(); i += 2)
        pairs.append({values[i], values[i + 1]});
    QString error;
    QVERIFY2(Module1::WriteSettings(kMain, pairs, &error), qPrintable(error));
    QCOMPARE(folder.readFile("settings.ini"), after);
    for (const auto& [key, value] : std::as_const(pairs))
        QCOMPARE(Setting(key), value); // every call sees the file as the last write left it
}

void TestSettings::refusedWrites_data() {
    QTest::addColumn<int>("permissions"); // of the file "[main]\ndt=4\n"
    QTest::addColumn<QString>("value");   // written to sdt together with dt=5
    QTest::addColumn<QString>("cause");
    const int rw = QFile::ReadOwner | QFile::WriteOwner;
    const int ro = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    QTest::newRow("line break would plant a key") << rw << "x\ndb_path=/evil"
                                                  << "cannot hold a line break";
    QTest::newRow("CR would plant a key") << rw << "x\rdb_path=/evil"
                                          << "cannot hold a line break";
    QTest::newRow("longer than a read returns") << rw << QString(255, u'x') << "at most 254 characters";
    // Permissions cleared are respected, even where the system would let this user write.
    QTest::newRow("read-only file") << ro << "3"
                                    << "the file is read-only";
    QTest::newRow("no permissions at all") << 0 << "3"
                                           << "may not read it";
}

void TestSettings::refusedWrites() {
    QFETCH(int, permissions);
    QFETCH(QString, value);
    QFETCH(QString, cause);
    ProgramFolder folder;
    const QByteArray old = "[main]\ndt=4\n";
    folder.writeFile("settings.ini", old);
    QFile(folder.file("settings.ini")).setPermissions(QFile::Permissions(permissions));
    QString error;
    // Neither value is written, though dt=5 alone could be.
    QVERIFY(!Module1::WriteSettings(kMain, {{"dt", "5"}, {"sdt", value}}, &error));
    QVERIFY2(error.contains(cause) && error.contains(QDir::toNativeSeparators(folder.file("settings.ini"))),
             qPrintable(error));
    QFile(folder.file("settings.ini")).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(folder.readFile("settings.ini"), old);
    QCOMPARE(Setting("dt"), QStringLiteral("4"));
}

void TestSettings::unusableFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("cause");
    QTest::newRow("named pipe (would hang)") << "fifo"
                                             << "named pipe";
    QTest::newRow("link to /dev/zero (endless)") << "zero"
                                                 << "a device";
    QTest::newRow("folder") << "folder"
                            << "a folder";
    QTest::newRow("one byte over 1 MiB") << "large"
                                         << "larger than 1 MiB";
    QTest::newRow("10 MB of blank lines") << "blank"
                                          << "larger than 1 MiB";
}

void TestSettings::unusableFiles() {
    QFETCH(QString, kind);
    QFETCH(QString, cause);
    ProgramFolder folder;
    const QString path = folder.file("settings.ini");
    QByteArray bytes;
    if (kind == "fifo")
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == "zero")
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    else if (kind == "folder")
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("settings.ini")));
    else
        bytes = kind == "blank" ? QByteArray(10'000'000, '\n')
                                : "[main]\ndt=3\n" + QByteArray(SettingsFile::MaxFileSize - 11, ';');
    if (!bytes.isEmpty())
        folder.writeFile("settings.ini", bytes);

    QCOMPARE(Setting("dt"), QStringLiteral("default"));
    QString told;
    QVERIFY(!Module1::SettingsCanBeKept(&told));
    QVERIFY2(told.contains(cause) && told.contains(QDir::toNativeSeparators(path)), qPrintable(told));
    QString error;
    QVERIFY(!Module1::WriteSetting(kMain, QStringLiteral("dt"), QStringLiteral("5"), &error));
    QVERIFY2(error.contains(cause), qPrintable(error));
    QCOMPARE(QFileInfo(path).isSymLink(), kind == "zero");
    QCOMPARE(QFileInfo(path).isDir(), kind == "folder");
    if (!bytes.isEmpty()) {
        QCOMPARE(folder.readFile("settings.ini"), bytes);
        // One byte less is a settings file like any other.
        bytes.chop(kind == "blank" ? 10'000'000 - SettingsFile::MaxFileSize : 1);
        folder.writeFile("settings.ini", bytes);
        QCOMPARE(Setting("dt"), kind == "blank" ? QStringLiteral("default") : QStringLiteral("3"));
        QVERIFY(Module1::SettingsCanBeKept(nullptr));
    }
}

void TestSettings::failingDevice() {
    // A device that takes no byte, as a full disk: the writer says so instead of reporting success.
    QFile full(QStringLiteral("/dev/full"));
    QVERIFY(full.open(QIODevice::WriteOnly));
    QString cause;
    QVERIFY(!WholeFile::writeAll(full, QByteArray(10, 'x'), &cause));
    QCOMPARE(cause, QStringLiteral("the disk is full."));
    // Bytes the device had buffered before are pushed out first, and fail the same way.
    QCOMPARE(full.write("buffered"), 8);
    QVERIFY(!WholeFile::writeAll(full, QByteArray(), &cause));
    QCOMPARE(cause, QStringLiteral("the disk is full."));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
