// The Save window and the transcript file: the bytes written, how the path is joined, and
// that a failed save loses neither the transcript nor an earlier file.
#include "testsupport.h"

#include <QDateTime>
#include <QLocale>
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>

namespace {

struct Window : Owned<Form3> {
    Window() : Owned([] { return QStringLiteral(".- -... "); }, [] { return QStringLiteral("AB"); }) { form->show(); }
    QLineEdit* box(const char* name) const { return child<QLineEdit>(*form, name); }
};

QByteArray Stamp(const QDateTime& when) {
    const QLocale locale = QLocale::system();
    return (locale.toString(when.date(), QLocale::ShortFormat) + u' ' +
            locale.toString(when.time(), QLocale::LongFormat))
        .toUtf8();
}

// The files in a folder, other than the marker that keeps a program folder portable.
QStringList Files(const QString& folder) {
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
    Window cancelled; // Cancel writes nothing
    cancelled.box("Text2")->setText(QStringLiteral("other"));
    QTest::mouseClick(child<QPushButton>(*cancelled.form, "Command2"), Qt::LeftButton);
    QVERIFY(cancelled.closed() && Files(folder.path()) == QStringList{"log.txt"});

    // Written over an earlier file: replaced, with the texts unchanged, as UTF-8 without a
    // byte-order mark.
    Window w;
    const QDateTime when(QDate(2026, 3, 14), QTime(9, 5, 7));
    const QString path = folder.file("log.txt");
    const QString text = QString::fromUtf8("ΑΒ Ä\nx");
    QVERIFY(w->TextFileSave(path, TranscriptText(when, QStringLiteral(" .-\n"), text)));
    const QByteArray written = Stamp(when) + "\r\n\r\n .-\n\r\n\r\n" + text.toUtf8() + "\r\n";
    QCOMPARE(folder.readFile("log.txt"), written);
    // A write that runs out of room, as on a full disk, leaves the earlier file whole and no
    // temporary file behind.
    std::signal(SIGXFSZ, SIG_IGN); // a failed write, not a killed program
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit lower = old;
    lower.rlim_cur = 1024;
    setrlimit(RLIMIT_FSIZE, &lower);
    QString error;
    const bool saved = w->TextFileSave(path, QString(64 * 1024, u'.'), &error);
    setrlimit(RLIMIT_FSIZE, &old);
    QVERIFY2(!saved && error.contains(QDir::toNativeSeparators(path)) && error.contains("larger than"),
             qPrintable(error));
    QVERIFY(folder.readFile("log.txt") == written && Files(folder.path()) == QStringList{"log.txt"});
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
    row("empty extension", "/", "log", "", "log");
    row("missing folder", "/missing/", "log", ".txt", "!the folder <folder>/missing does not exist");
    row("no name, no extension: the folder itself", "/", "", "", "!folder, not a file");
    row("a file as the folder", "/keep.txt/", "log", ".txt", "!not a folder");
    row("line break in the name", "/", "lo\ng", ".txt", "!control character");
}

void TestTranscript::savesWhereTyped() {
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, extension);
    QFETCH(QString, written);
    ProgramFolder program;
    program.writeFile("keep.txt", "the earlier transcript\r\n");
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
}

// A real full disk: a small tmpfs filled to the brim as the program folder. A moved slider,
// Language Options and Save each fail there without emptying the file they would replace.
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
    {
        Form1 form;
        child<QSlider>(form, "Slider1")->setValue(9); // holds for the session, without a word
    }
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
    QCOMPARE(folder.readFile("settings.ini"), settings);
    QCOMPARE(folder.readFile("keep.txt"), QByteArray("the earlier transcript\r\n"));
}

QTEST_MAIN(TestTranscript)
#include "tst_transcript.moc"
