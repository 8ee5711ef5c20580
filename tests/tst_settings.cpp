// The settings file: what reads back, and that a write changes one line and nothing else.
#include "module1.h"
#include "settingsfile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void readsDefaultsAndValues();
    void writesInOrderOfFirstWrite();
    void keepsForeignLinesByteForByte();
    void readsHandEditedFiles();
    void failedWriteKeepsTheOldFile();
    void refusesLineBreaks();
};

void TestSettings::readsDefaultsAndValues() {
    ProgramFolder folder;
    const QString main = QStringLiteral("main");
    // No file at all: every key is "default".
    QCOMPARE(Module1::ReadSetting(main, QStringLiteral("dt")), QStringLiteral("default"));
    QVERIFY(!QFile::exists(folder.file("settings.ini")));

    folder.writeFile("settings.ini", "[other]\r\ndt=3\r\n[main]\r\ntable_name=\r\ndb_path=Default\r\n"
                                     "long=" + QByteArray(300, 'x') + "\r\n");
    QCOMPARE(Module1::ReadSetting(main, QStringLiteral("dt")), QStringLiteral("default")); // other section
    QCOMPARE(Module1::ReadSetting(QStringLiteral("nosection"), QStringLiteral("dt")), QStringLiteral("default"));
    QCOMPARE(Module1::ReadSetting(main, QStringLiteral("table_name")), QString(""));        // empty, not "default"
    QVERIFY(!Module1::ReadSetting(main, QStringLiteral("table_name")).isNull());
    QCOMPARE(Module1::ReadSetting(main, QStringLiteral("db_path")), QStringLiteral("Default")); // not the marker
    QCOMPARE(Module1::ReadSetting(main, QStringLiteral("long")), QString(254, u'x'));

    // Cut at 254 characters, not bytes, and never in the middle of a character.
    folder.writeFile("settings.ini", "[main]\nv=" + QString(300, QChar(0x00e9)).toUtf8() + "\n");
    QCOMPARE(Module1::ReadSetting(main, QStringLiteral("v")), QString(254, QChar(0x00e9)));
    QString emoji;
    for (int i = 0; i < 200; ++i)
        emoji += QString::fromUtf8("\xF0\x9F\x98\x80");
    folder.writeFile("settings.ini", "[main]\nv=" + emoji.toUtf8() + "\n");
    const QString cut = Module1::ReadSetting(main, QStringLiteral("v"));
    QCOMPARE(cut.size(), 254);
    QVERIFY(cut.back().isLowSurrogate());
}

void TestSettings::writesInOrderOfFirstWrite() {
    ProgramFolder folder;
    const QString main = QStringLiteral("main");
    QVERIFY(Module1::WriteSetting(main, QStringLiteral("dt"), QStringLiteral("10")));
    QCOMPARE(folder.readFile("settings.ini"), QByteArray("[main]\r\ndt=10\r\n"));
    QVERIFY(Module1::WriteSetting(main, QStringLiteral("sdt"), QStringLiteral("8")));
    QVERIFY(Module1::WriteSetting(main, QStringLiteral("dt"), QStringLiteral("11")));
    QVERIFY(Module1::WriteSetting(main, QStringLiteral("table_name"), QString()));
    QCOMPARE(folder.readFile("settings.ini"), QByteArray("[main]\r\ndt=11\r\nsdt=8\r\ntable_name=\r\n"));
    // Every call sees the file as the last write left it.
    QCOMPARE(Module1::ReadSetting(main, QStringLiteral("dt")), QStringLiteral("11"));
    QCOMPARE(Module1::ReadSetting(main, QStringLiteral("table_name")), QString(""));
    // Values are stored as UTF-8 and read back unchanged.
    const QString path = QString::fromUtf8("/home/\xC3\xA5sa/\xD0\xB4\xD0\xB0/db.mdb");
    QVERIFY(Module1::WriteSetting(main, QStringLiteral("db_path"), path));
    QCOMPARE(Module1::ReadSetting(main, QStringLiteral("db_path")), path);
}

void TestSettings::keepsForeignLinesByteForByte() {
    ProgramFolder folder;
    const QString main = QStringLiteral("main");
    // LF file with comments, other sections, unknown keys and no final line end.
    const QByteArray lf = "; my notes\n\n[view]\ncolour = blue\n[Main]\n  DT = 4  \n# keep me\nextra=1\n\n[tail]\nz=9";
    folder.writeFile("settings.ini", lf);
    QVERIFY(Module1::WriteSetting(main, QStringLiteral("dt"), QStringLiteral("7")));
    QCOMPARE(folder.readFile("settings.ini"),
             QByteArray("; my notes\n\n[view]\ncolour = blue\n[Main]\ndt=7\n# keep me\nextra=1\n\n[tail]\nz=9"));
    QVERIFY(Module1::WriteSetting(main, QStringLiteral("sdt"), QStringLiteral("2")));
    QCOMPARE(folder.readFile("settings.ini"),
             QByteArray("; my notes\n\n[view]\ncolour = blue\n[Main]\ndt=7\n# keep me\nextra=1\nsdt=2\n\n[tail]\nz=9"));

    // CR LF file without the section: the section is added at the end, in CR LF.
    folder.writeFile("settings.ini", "[view]\r\nx=1");
    QVERIFY(Module1::WriteSetting(main, QStringLiteral("dt"), QStringLiteral("5")));
    QCOMPARE(folder.readFile("settings.ini"), QByteArray("[view]\r\nx=1\r\n[main]\r\ndt=5\r\n"));

    // Bytes that are not UTF-8 elsewhere in the file survive a write untouched.
    const QByteArray binary("\xff\xfe\x00\x01garbage\n[main]\ndt=1\n\x80\x81\n", 26);
    folder.writeFile("settings.ini", binary);
    QVERIFY(Module1::WriteSetting(main, QStringLiteral("dt"), QStringLiteral("2")));
    QByteArray expected = binary;
    expected.replace("dt=1", "dt=2");
    QCOMPARE(folder.readFile("settings.ini"), expected);
}

void TestSettings::readsHandEditedFiles() {
    ProgramFolder folder;
    folder.writeFile("settings.ini", "[ MAIN ]\n;dt=1\n# sdt=1\nDT=3\ndt=4\n Table_Name =  \"Greek\"  \n"
                                     "db_path = /a b/c.mdb \n[main]\nsdt=9\n");
    const QString main = QStringLiteral("main");
    QCOMPARE(Module1::ReadSetting(main, QStringLiteral("dt")), QStringLiteral("3")); // first one counts
    QCOMPARE(Module1::ReadSetting(main, QStringLiteral("table_name")), QStringLiteral("Greek"));
    QCOMPARE(Module1::ReadSetting(main, QStringLiteral("db_path")), QStringLiteral("/a b/c.mdb"));
    QCOMPARE(Module1::ReadSetting(main, QStringLiteral("sdt")), QStringLiteral("default")); // second section ignored
}

void TestSettings::failedWriteKeepsTheOldFile() {
    ProgramFolder folder;
    const QByteArray old = "[main]\r\ndt=4\r\n";
    // A settings file that is a folder cannot be replaced, whoever runs the test.
    QDir(folder.path()).mkdir("settings.ini");
    QString error;
    QVERIFY(!Module1::WriteSetting(QStringLiteral("main"), QStringLiteral("dt"), QStringLiteral("5"), &error));
    QVERIFY2(error.contains("settings.ini"), qPrintable(error));
    QDir(folder.path()).rmdir("settings.ini");

    // A read-only file is respected, even where the folder would let it be replaced.
    folder.writeFile("settings.ini", old);
    QFile(folder.file("settings.ini")).setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    QVERIFY(!Module1::WriteSetting(QStringLiteral("main"), QStringLiteral("dt"), QStringLiteral("5"), &error));
    QVERIFY2(error.contains("read-only"), qPrintable(error));
    QCOMPARE(folder.readFile("settings.ini"), old);
}

void TestSettings::refusesLineBreaks() {
    ProgramFolder folder;
    const QByteArray old = "[main]\ntable_name=Greek\n";
    folder.writeFile("settings.ini", old);
    // A value with a line break would plant a second key; it is refused and nothing changes.
    QVERIFY(!Module1::WriteSetting(QStringLiteral("main"), QStringLiteral("table_name"),
                                   QStringLiteral("x\ndb_path=/evil")));
    QCOMPARE(folder.readFile("settings.ini"), old);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
