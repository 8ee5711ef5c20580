// The Save window and the transcript file: the bytes written, where, and nothing lost on a failure.
#include "testsupport.h"

namespace {

// A German user's date and time, wherever the test runs: set before Qt first reads them.
[[maybe_unused]] const bool kGermanUser = qputenv("LC_ALL", "de_DE.UTF-8") && qputenv("TZ", "CET-1");

struct Window : Owned<Form3> {
    Window() : Owned([] { return QStringLiteral(".- -... "); }, [] { return QStringLiteral("AB"); }) { form->show(); }
    QLineEdit* box(const char* name) const { return child<QLineEdit>(*form, name); }
};

} // namespace

class TestTranscript : public WindowTest {
    Q_OBJECT
private slots:
    void writesTheTranscriptWhole();
    void savesWhereTyped();
};

void TestTranscript::writesTheTranscriptWhole() {
    ProgramFolder folder;
    Window w;
    // Through a link, the file it names is written (made, if not there yet), keeping its permissions; the link stays.
    QVERIFY(QDir(folder.path()).mkpath("sub/deep") && QFile::link(folder.file("sub/deep"), folder.file("in")));
    QVERIFY(QFile::link("../log.txt", folder.file("in/link.txt"))); // ".." climbs from sub/deep, as the system reads it
    QVERIFY(w->TextFileSave(folder.file("in/link.txt"), "the earlier transcript"));
    QVERIFY(QFile(folder.file("sub/log.txt")).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    QVERIFY(w->TextFileSave(folder.file("in/link.txt"), "again"));
    QCOMPARE(folder.readFile("sub/log.txt"), "again\r\n");
    QVERIFY(QFileInfo(folder.file("in/link.txt")).isSymLink());
    QCOMPARE(QFile(folder.file("sub/log.txt")).permissions(),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::ReadUser | QFile::WriteUser);
    // Over an earlier file: replaced, texts unchanged, in UTF-8 without a byte-order mark, stamped the user's way.
    const QDateTime when(QDate(2026, 3, 14), QTime(9, 5, 7));
    QVERIFY(w->TextFileSave(folder.file("log.txt"), TranscriptText(when, " .-\n", QString::fromUtf8("ΑΒ Ä\nx"))));
    QCOMPARE(folder.readFile("log.txt"), "14.03.26 09:05:07 CET\r\n\r\n .-\n\r\n\r\nΑΒ Ä\nx\r\n");
    for (int i = 0; i <= 40; ++i) // more links in a row than the system follows are refused, as a loop is; all stay
        QVERIFY(QFile::link(folder.file(QString::number(i + 1)), folder.file(QString::number(i))));
    QVERIFY(!w->TextFileSave(folder.file("0"), "lost"));
    QVERIFY(QFileInfo(folder.file("40")).isSymLink());
    QVERIFY(w->TextFileSave(folder.file("1"), "as many as it follows")); // one fewer
    QCOMPARE(folder.readFile("41"), "as many as it follows\r\n");
}

void TestTranscript::savesWhereTyped() {
    // Typed: a folder after the program folder's, a name, an extension; the file written, or after "!" why none was.
    const QList<std::array<QString, 4>> rows = {
        {"/work", "log", ".mrs", "worklog.mrs"},       // no separator joins directly
        {"/  ", "  my log ", " .txt  ", "my log.txt"}, // blanks around go, inside stay
        {"/missing/", "log", ".txt", "!the folder <folder>/missing does not exist."},
        {"/", "", "", "!it is a folder, not a file. Type a file name."}, // no name, no extension: the folder itself
        {"/keep.txt/", "log", ".txt", "!<folder>/keep.txt is a file, not a folder."},
        {"/", "lo\ng", ".txt",
         "!the path holds a line break, a tab or another control character. Type it without such characters."},
        // keep.txt may grow no more, as on a full disk: the earlier file is kept, and the window says why.
        {"/", "keep", ".txt", "!the file would be larger than this disk or this user may write."}};
    for (const auto& [folder, name, extension, written] : rows) {
        ProgramFolder dir;
        dir.writeFile("keep.txt", "the earlier transcript\r\n");
        Window w;
        w.box("Text1")->setText(u' ' + dir.path() + folder), w.box("Text2")->setText(name);
        child<QComboBox>(*w.form, "Combo1")->setEditText(extension);
        const ScopedEnv full("DAHDIT_FAIL", name == "keep" ? "write 27 " + dir.path().toUtf8() : "");
        QTest::keyClick(w.box("Text2"), Qt::Key_Return); // Save, the default button
        const QStringList shown = Shown();
        // The files (the portable marker has no dot), and the window: closed, or open with what was typed.
        const QString state = QDir(dir.path()).entryList({"*.*"}, QDir::Files | QDir::Hidden).join(' ') +
                              (w.closed() ? "|closed" : "|open " + w.box("Text2")->text());
        QCOMPARE(dir.readFile("keep.txt"), QByteArray("the earlier transcript\r\n"));
        QCOMPARE(state, written.startsWith(u'!') ? "keep.txt|open " + name : "keep.txt " + written + "|closed");
        QVERIFY(written.startsWith(u'!') || dir.readFile(written).endsWith("\r\n\r\n.- -... \r\n\r\nAB\r\n"));
        if (shown.isEmpty() && !written.startsWith(u'!'))
            continue; // else told, once, why and that nothing was lost (the path as P)
        QCOMPARE(shown.join("\n--\n").replace(QRegularExpression("(?s) to .*?: "), " to P: "),
                 "Save File|48|Cannot save the transcript to P: " + written.mid(1).replace("<folder>", dir.path()) +
                     "\n\nNothing was written, and an earlier file of that name is as it was. Put this right, or "
                     "choose another folder or name, then press Save again.");
        QVERIFY((QTest::mouseClick(child<QPushButton>(*w.form, "Command2"), Qt::LeftButton), w.closed())); // Cancel
    }
}

QTEST_MAIN(TestTranscript)
#include "tst_transcript.moc"
