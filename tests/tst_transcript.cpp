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
    QLineEdit* folder() const { return form->findChild<QLineEdit*>(QStringLiteral("Text1")); }
    QLineEdit* name() const { return form->findChild<QLineEdit*>(QStringLiteral("Text2")); }
    QComboBox* extension() const { return form->findChild<QComboBox*>(QStringLiteral("Combo1")); }
    void type(const QString& folderText, const QString& nameText, const QString& extensionText) const {
        folder()->setText(folderText);
        name()->setText(nameText);
        extension()->setEditText(extensionText);
    }
};

QString Stamp(const QDateTime& when) {
    const QLocale locale = QLocale::system();
    return locale.toString(when.date(), QLocale::ShortFormat) + u' ' +
           locale.toString(when.time(), QLocale::LongFormat);
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
    void transcriptBytes();
    void saveFromTheWindow();
    void joinsThePath_data();
    void joinsThePath();
    void failedSaveKeepsWindowAndOldFile();
};

void TestTranscript::transcriptBytes() {
    ProgramFolder folder;
    const QDateTime when(QDate(2026, 3, 14), QTime(9, 5, 7));
    const QByteArray stamp = Stamp(when).toUtf8();
    QVERIFY(stamp.contains("07")); // the long time format, seconds included
    Window w;
    const QString path = folder.file("t.txt");
    QVERIFY(w.form->TextFileSave(path, TranscriptText(when, QStringLiteral("-- --- "), QStringLiteral("MO"))));
    QCOMPARE(folder.readFile("t.txt"), stamp + "\r\n\r\n-- --- \r\n\r\nMO\r\n");
    QVERIFY(w.form->TextFileSave(path, TranscriptText(when, QString(), QString())));
    QCOMPARE(folder.readFile("t.txt"), stamp + "\r\n\r\n\r\n\r\n\r\n");
    // The texts go in unchanged, as UTF-8 without a byte-order mark.
    const QString text = QString::fromUtf8("ΑΒ Ä\nx");
    QVERIFY(w.form->TextFileSave(path, TranscriptText(when, QStringLiteral(" .-\n"), text)));
    QCOMPARE(folder.readFile("t.txt"), stamp + "\r\n\r\n .-\n\r\n\r\n" + text.toUtf8() + "\r\n");
}

void TestTranscript::saveFromTheWindow() {
    ProgramFolder folder;
    Window w;
    QCOMPARE(w.folder()->text(), QDir::toNativeSeparators(folder.path()) + QDir::separator());
    QCOMPARE(w.extension()->currentText(), QStringLiteral(".txt"));
    // The texts are read when Save is pressed, not when the window opened.
    w.morse = QStringLiteral("... --- ... ");
    w.output = QStringLiteral("SOS");
    w.name()->setText(QStringLiteral("log"));
    const QDateTime before = QDateTime::currentDateTime();
    QTest::keyClick(w.name(), Qt::Key_Return); // Enter presses Save
    const QDateTime after = QDateTime::currentDateTime();
    RunDeferredDeletes();
    QVERIFY(!w.form); // closed without a word

    const QByteArray bytes = folder.readFile("log.txt");
    const qsizetype firstLineEnd = bytes.indexOf("\r\n");
    const QString stamp = QString::fromUtf8(bytes.left(firstLineEnd));
    bool knownTime = false;
    for (QDateTime t = before.addMSecs(-before.time().msec()); t <= after; t = t.addSecs(1))
        knownTime = knownTime || stamp == Stamp(t);
    QVERIFY2(knownTime, qPrintable(stamp));
    QCOMPARE(bytes.mid(firstLineEnd), QByteArray("\r\n\r\n... --- ... \r\n\r\nSOS\r\n"));

    // Saving again to the same path leaves only the second transcript; Enter in the extension
    // box saves too.
    Window again;
    again.output = QStringLiteral("X");
    again.name()->setText(QStringLiteral("log"));
    QTest::keyClick(again.extension(), Qt::Key_Return);
    QVERIFY(folder.readFile("log.txt").endsWith("\r\n\r\n.- -... \r\n\r\nX\r\n"));

    // Cancel writes nothing.
    Window cancelled;
    cancelled.name()->setText(QStringLiteral("other"));
    QTest::mouseClick(cancelled.form->findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    RunDeferredDeletes();
    QVERIFY(!cancelled.form);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"log.txt"});
}

void TestTranscript::joinsThePath_data() {
    QTest::addColumn<QString>("folder"); // after the program folder's path
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("written");
    QTest::newRow("folder ending in a separator") << "/"
                                      << "log"
                                      << ".mrs"
                                      << "log.mrs";
    QTest::newRow("no separator joins directly") << "/work"
                                                 << "log"
                                                 << ".txt"
                                                 << "worklog.txt";
    QTest::newRow("blanks around go, inside stay") << "/  "
                                                   << "  my log "
                                                   << " .txt  "
                                                   << "my log.txt";
    QTest::newRow("empty name") << "/"
                                << ""
                                << ".txt"
                                << ".txt";
    QTest::newRow("empty extension") << "/"
                                            << "log"
                                            << ""
                                            << "log";
}

void TestTranscript::joinsThePath() {
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, extension);
    QFETCH(QString, written);
    ProgramFolder program;
    Window w;
    w.type(u' ' + program.path() + folder, name, extension);
    w.form->Command1_Click();
    RunDeferredDeletes();
    QVERIFY(!w.form);
    QCOMPARE(QDir(program.path()).entryList(QDir::Files | QDir::Hidden), QStringList{written});
}

void TestTranscript::failedSaveKeepsWindowAndOldFile() {
    ProgramFolder folder;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("sub.txt")));
    folder.writeFile("keep.txt", "the earlier transcript\r\n");
    const struct {
        const char *folder, *name, *extension, *cause;
    } cases[] = {
        {"/missing/", "log", ".txt", "does not exist"},
        {"/", "", "", "folder, not a file"},
        {"/", "sub", ".txt", "folder, not a file"},
        {"/keep.txt/", "log", ".txt", "not a folder"},
    };
    for (const auto& c : cases) {
        Window w;
        w.type(folder.path() + QString::fromUtf8(c.folder), QString::fromUtf8(c.name), QString::fromUtf8(c.extension));
        w.form->Command1_Click();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].style, 48);
        QVERIFY2(shown[0].text.contains(QString::fromUtf8(c.cause)), qPrintable(shown[0].text));
        RunDeferredDeletes();
        QVERIFY(w.form && w.form->isVisible()); // still open with what was typed
        QCOMPARE(w.name()->text(), QString::fromUtf8(c.name));
    }
    // A write that runs out of room leaves the earlier file whole and no temporary file behind.
    Window w;
    QString error;
    {
        FileSizeLimit limit(1024);
        QVERIFY(!w.form->TextFileSave(folder.file("keep.txt"), QString(64 * 1024, u'.'), &error));
    }
    QVERIFY(error.contains(QDir::toNativeSeparators(folder.file("keep.txt"))));
    QCOMPARE(folder.readFile("keep.txt"), QByteArray("the earlier transcript\r\n"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.txt"});
}

QTEST_MAIN(TestTranscript)
#include "tst_transcript.moc"
