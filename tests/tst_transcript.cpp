// The Save window and the transcript file: the bytes written, how the path is joined, and
// that a failed save loses neither the transcript nor an earlier file.
#include "form3.h"
#include "messagebox.h"
#include "testsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

namespace {

// The window deletes itself when it closes, so it lives on the heap; the guard removes what is
// left of it when a test ends.
struct Window {
    QString morse = QStringLiteral(".- -... ");
    QString output = QStringLiteral("AB");
    QPointer<Form3> form = new Form3([this] { return morse; }, [this] { return output; });
    Window() { form->show(); }
    ~Window() { delete form; }
    QLineEdit* box(const char* name) const { return form->findChild<QLineEdit*>(QLatin1String(name)); }
    QLineEdit* name() const { return box("Text2"); }
    // Types the three parts of the path and presses Save; true when the window closed.
    bool save(const QString& folderText, const QString& nameText, const QString& extensionText) {
        box("Text1")->setText(folderText);
        name()->setText(nameText);
        form->findChild<QComboBox*>(QStringLiteral("Combo1"))->setEditText(extensionText);
        form->Command1_Click();
        RunDeferredDeletes();
        return !form;
    }
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

// Lowers the largest file this process may write, as a full disk would, until it goes.
struct FileSizeLimit {
    rlimit old{};
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN); // a failed write, not a killed program
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit lower = old;
        lower.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old); }
};

} // namespace

class TestTranscript : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MessageBox::setTestMode(true); }
    void cleanup() {
        RunDeferredDeletes();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }
    void writesTheTranscriptWhole();
    void saveFromTheWindow();
    void savesWhereTyped_data();
    void savesWhereTyped();
};

void TestTranscript::writesTheTranscriptWhole() {
    ProgramFolder folder;
    Window w;
    const QDateTime when(QDate(2026, 3, 14), QTime(9, 5, 7));
    const QString path = folder.file("t.txt");
    QVERIFY(w.form->TextFileSave(path, TranscriptText(when, QStringLiteral("-- --- "), QStringLiteral("MO"))));
    QCOMPARE(folder.readFile("t.txt"), Stamp(when) + "\r\n\r\n-- --- \r\n\r\nMO\r\n");
    // Written again: replaced, with the texts unchanged, as UTF-8 without a byte-order mark.
    const QString text = QString::fromUtf8("ΑΒ Ä\nx");
    QVERIFY(w.form->TextFileSave(path, TranscriptText(when, QStringLiteral(" .-\n"), text)));
    const QByteArray written = Stamp(when) + "\r\n\r\n .-\n\r\n\r\n" + text.toUtf8() + "\r\n";
    QCOMPARE(folder.readFile("t.txt"), written);
    // A write that runs out of room, as on a full disk, leaves the earlier file whole and no
    // temporary file behind.
    QString error;
    {
        FileSizeLimit limit(1024);
        QVERIFY(!w.form->TextFileSave(path, QString(64 * 1024, u'.'), &error));
    }
    QVERIFY2(error.contains(QDir::toNativeSeparators(path)) && error.contains("larger than"), qPrintable(error));
    QCOMPARE(folder.readFile("t.txt"), written);
    QCOMPARE(Files(folder.path()), QStringList{"t.txt"});
}

void TestTranscript::saveFromTheWindow() {
    ProgramFolder folder;
    Window w;
    QCOMPARE(w.box("Text1")->text(), QDir::toNativeSeparators(folder.path()) + QDir::separator());
    // The texts are read when Save is pressed, not when the window opened; Enter presses Save,
    // which writes to the folder shown with the extension .txt and closes without a word.
    w.morse = QStringLiteral("... --- ... ");
    w.output = QStringLiteral("SOS");
    w.name()->setText(QStringLiteral("log"));
    const QDateTime before = QDateTime::currentDateTime();
    QTest::keyClick(w.name(), Qt::Key_Return);
    const QDateTime after = QDateTime::currentDateTime();
    RunDeferredDeletes();
    QVERIFY(!w.form);
    const QByteArray bytes = folder.readFile("log.txt");
    bool stamped = false; // with the time Save was pressed
    for (QDateTime t = before.addMSecs(-before.time().msec()); t <= after; t = t.addSecs(1))
        stamped = stamped || bytes == Stamp(t) + "\r\n\r\n... --- ... \r\n\r\nSOS\r\n";
    QVERIFY2(stamped, bytes.constData());
    // Cancel writes nothing.
    Window cancelled;
    cancelled.name()->setText(QStringLiteral("other"));
    QTest::mouseClick(cancelled.form->findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    RunDeferredDeletes();
    QVERIFY(!cancelled.form);
    QCOMPARE(Files(folder.path()), QStringList{"log.txt"});
}

void TestTranscript::savesWhereTyped_data() {
    QTest::addColumn<QString>("folder"); // after the program folder's path
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("written"); // the file's name, or after "!" why nothing was written
    auto row = [](const char* tag, const char* folder, const char* name, const char* extension, const char* written) {
        QTest::newRow(tag) << QString::fromUtf8(folder) << QString::fromUtf8(name) << QString::fromUtf8(extension)
                           << QString::fromUtf8(written);
    };
    row("folder ending in a separator", "/", "log", ".mrs", "log.mrs");
    row("no separator joins directly", "/work", "log", ".txt", "worklog.txt");
    row("blanks around go, inside stay", "/  ", "  my log ", " .txt  ", "my log.txt");
    row("empty name", "/", "", ".txt", ".txt");
    row("empty extension", "/", "log", "", "log");
    row("missing folder", "/missing/", "log", ".txt", "!does not exist");
    row("no name, no extension", "/", "", "", "!folder, not a file");
    row("a folder's name", "/", "sub", ".txt", "!folder, not a file");
    row("a file as the folder", "/keep.txt/", "log", ".txt", "!not a folder");
    row("line break in the name", "/", "lo\ng", ".txt", "!control character");
    row("tab in the extension", "/", "log", ".t\txt", "!control character");
}

void TestTranscript::savesWhereTyped() {
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, extension);
    QFETCH(QString, written);
    ProgramFolder program;
    QVERIFY(QDir(program.path()).mkdir(QStringLiteral("sub.txt")));
    program.writeFile("keep.txt", "the earlier transcript\r\n");
    Window w;
    const bool closed = w.save(u' ' + program.path() + folder, name, extension);
    const QStringList files = Files(program.path());
    const auto shown = MessageBox::takeShown();
    if (!written.startsWith(u'!')) {
        QVERIFY(closed && shown.isEmpty());
        QVERIFY(files.size() == 2 && files.contains(written));
    } else {
        // Told why, with the window still open with what was typed.
        QVERIFY(!closed && w.form->isVisible());
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(written.mid(1)), qPrintable(shown[0].text));
        QCOMPARE(w.name()->text(), name);
        QCOMPARE(files, QStringList{"keep.txt"});
    }
    QCOMPARE(program.readFile("keep.txt"), QByteArray("the earlier transcript\r\n"));
}

QTEST_MAIN(TestTranscript)
#include "tst_transcript.moc"
