// The Save window and the transcript file: the bytes written, where, and nothing lost on a failure.
#include "testsupport.h"
#include "wholefile.h"

#include <sys/mount.h>
#include <sys/sysmacros.h>

namespace {

struct Window : Owned<Form3> {
    Window() : Owned([] { return QStringLiteral(".- -... "); }, [] { return QStringLiteral("AB"); }) { form->show(); }
    QLineEdit* box(const char* name) const { return child<QLineEdit>(*form, name); }
};

QStringList Files(const QString& folder) { // but the marker that keeps a program folder portable
    QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    files.removeOne(QStringLiteral("portable"));
    return files;
}

} // namespace

class TestTranscript : public WindowTest {
    Q_OBJECT
private slots:
    void writesTheTranscriptWhole();
    void savesWhereTyped_data();
    void savesWhereTyped();
    void keepsFilesOnAFullDisk();
};

void TestTranscript::writesTheTranscriptWhole() {
    ProgramFolder folder;
    folder.writeFile("log.txt", "the earlier transcript");
    // Written over an earlier file: replaced, texts unchanged, as UTF-8 without a byte-order mark.
    Window w;
    const QDateTime when(QDate(2026, 3, 14), QTime(9, 5, 7));
    const QString text = QString::fromUtf8("ΑΒ Ä\nx");
    QVERIFY(w->TextFileSave(folder.file("log.txt"), TranscriptText(when, QStringLiteral(" .-\n"), text)));
    const QString stamp = QLocale::system().toString(when.date(), QLocale::ShortFormat) + u' ' +
                          QLocale::system().toString(when.time(), QLocale::LongFormat);
    QCOMPARE(folder.readFile("log.txt"), (stamp + "\r\n\r\n .-\n\r\n\r\n" + text + "\r\n").toUtf8());
}

void TestTranscript::savesWhereTyped_data() {
    QTest::addColumn<QString>("folder"); // after the program folder's path
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("written"); // the file's name, or after "!" why nothing was written
    auto row = [](const char* tag, const char* folder, const char* name, const char* extension, const char* written) {
        QTest::newRow(tag) << QString(folder) << QString(name) << QString(extension) << QString(written);
    };
    row("folder ending in a separator", "/", "log", ".mrs", "log.mrs");
    row("no separator joins directly", "/work", "log", ".txt", "worklog.txt");
    row("blanks around go, inside stay", "/  ", "  my log ", " .txt  ", "my log.txt");
    row("missing folder", "/missing/", "log", ".txt", "!the folder <folder>/missing does not exist");
    row("no name, no extension: the folder itself", "/", "", "", "!folder, not a file");
    row("a file as the folder", "/keep.txt/", "log", ".txt", "!not a folder");
    row("line break in the name", "/", "lo\ng", ".txt", "!control character");
    // Written over, they would no longer be what they were (a system's device, as root in /dev).
    row("a named pipe of that name", "/", "pipe", ".txt", "!it is a named pipe (FIFO), not a file.");
    row("a device", "/", "null", "", "!it is a device, not a file.");
}

void TestTranscript::savesWhereTyped() {
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, extension);
    QFETCH(QString, written);
    ProgramFolder program;
    program.writeFile("keep.txt", "the earlier transcript\r\n");
    const QString special = program.file(name + extension);
    QVERIFY(name != "pipe" || mkfifo(qPrintable(special), 0600) == 0);
    if (name == "null" && mknod(qPrintable(special), S_IFCHR | 0600, makedev(1, 3)) != 0)
        QSKIP("making a device node needs root"); // never a system's own: this test may not fail on one
    Window w;
    w.box("Text1")->setText(u' ' + program.path() + folder);
    w.box("Text2")->setText(name);
    child<QComboBox>(*w.form, "Combo1")->setEditText(extension);
    w.form->Command1_Click();
    const QStringList files = Files(program.path());
    const QStringList shown = Shown();
    if (!written.startsWith(u'!')) {
        QVERIFY(w.closed() && shown.isEmpty() && files.size() == 2 && files.contains(written));
    } else {
        // Told why, with the window still open with what was typed, and nothing written.
        written = written.mid(1).replace("<folder>", QDir::toNativeSeparators(program.path()));
        QVERIFY(!w.closed() && w.form->isVisible() && w.box("Text2")->text() == name &&
                files == QStringList{"keep.txt"});
        QVERIFY2(shown.size() == 1 && shown[0].startsWith("Save File|48|Cannot save the transcript to ") &&
                     shown[0].contains(written) && shown[0].contains("an earlier file of that name is as it was"),
                 qPrintable(shown.join('\n')));
    }
    QCOMPARE(program.readFile("keep.txt"), QByteArray("the earlier transcript\r\n"));
    QVERIFY((name != "pipe" && name != "null") || !WholeFile::notAFile(special).isEmpty());
}

// A small tmpfs filled to the brim: a moved slider, Language Options and Save empty no file.
void TestTranscript::keepsFilesOnAFullDisk() {
    ProgramFolder elsewhere(true);
    ProgramFolder folder;
    const QByteArray at = QFile::encodeName(folder.path());
    if (::mount("tmpfs", at.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k,mode=0700") != 0)
        QSKIP("mounting a small tmpfs needs root (or CAP_SYS_ADMIN) on a system that allows it");
    const auto unmount = qScopeGuard([&] { umount2(at.constData(), MNT_DETACH); });
    const QByteArray settings = "[main]\r\ndb_path=" + elsewhere.file("dahdit_db.mdb").toUtf8() + "\r\ndt=4\r\n";
    folder.writeFile("portable", QByteArray());
    folder.writeFile("settings.ini", settings);
    folder.writeFile("keep.txt", "the earlier transcript\r\n");
    QFile filler(folder.file("filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    while (filler.write(QByteArray(4096, 'f')) > 0) {
    }
    const QStringList files = Files(folder.path());
    child<QSlider>(Form1(), "Slider1")->setValue(9); // holds for the session, without a word
    Owned<Form5> options;
    options->show();
    child<QListWidget>(*options.form, "List1")->setCurrentRow(1);
    options->Command1_Click();
    Window w;
    w.box("Text1")->setText(folder.path() + u'/');
    w.box("Text2")->setText(QStringLiteral("keep"));
    child<QComboBox>(*w.form, "Combo1")->setEditText(QStringLiteral(".txt"));
    w.form->Command1_Click();
    const QStringList shown = Shown();
    QVERIFY2(shown.size() == 2 && shown[0].contains("the disk is full.") && shown[1].contains("the disk is full."),
             qPrintable(shown.join(u'\n')));
    QVERIFY(options->isVisible() && w.form->isVisible() && Files(folder.path()) == files);
    QVERIFY(folder.readFile("settings.ini") == settings && folder.readFile("keep.txt") == "the earlier transcript\r\n");
}

QTEST_MAIN(TestTranscript)
#include "tst_transcript.moc"
