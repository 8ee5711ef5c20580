// The About window, the secondary windows closing with the program, and the readme command.
#include "readme.h"
#include "testsupport.h"

using namespace Qt::Literals::StringLiterals;

class TestAbout : public WindowTest {
    Q_OBJECT
private slots:
    void opensAndClosesTheOtherWindows();
};

void TestAbout::opensAndClosesTheOtherWindows() {
    ProgramFolder folder(true);
    Form1 form;
    form.show();
    QPointer<Form2> about;
    auto others = [&form, &about] { // the top-level windows other than the main window and its menus
        QStringList windows;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window != &form && window->windowType() != Qt::Popup)
                windows << window->metaObject()->className() + QString(window->isVisible() ? "" : " hidden");
            if (auto* found = qobject_cast<Form2*>(window))
                about = found;
        }
        windows.sort();
        return windows.join(' ');
    };
    // One About window, however often asked for, with the version the build gives; closed, it is gone.
    QCoreApplication::setApplicationVersion(QStringLiteral(DAHDIT_VERSION)); // as main() does
    form.About_Click();
    form.About_Click();
    QCOMPARE(others(), u"Form2"_s);
    QCOMPARE(child<QLabel>(*about, "Label2")->text(), u"Version " DAHDIT_VERSION ""_s);
    about->close();
    RunDeferredDeletes();
    QCOMPARE(others(), QString());
    // Every other window closes with the program, by the Exit menu item. Save is offered once there is output text.
    Decode(form, QStringLiteral(".- -... "));
    form.Save_Click();
    form.DBEditor_Click();
    form.Language_Click();
    form.About_Click();
    QCOMPARE(others(), u"Form2 Form3 Form4 Form5"_s);
    child<QAction>(form, "Exit")->trigger();
    RunDeferredDeletes();
    QCOMPARE(others(), QString());
    QVERIFY(!form.isVisible());

    // The readme missing, no opener to start, or one that finds no program for it: the user is told
    // in a box, with where the readme is.
    const QString readme = QDir::toNativeSeparators(folder.file("readme.txt"));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(folder.path()));
    Readme::open(nullptr);
    QVERIFY(Shown().value(0).contains(readme + " is missing"));
    folder.writeFile("readme.txt", "Dahdit");
    Readme::open(nullptr);
    QVERIFY(Shown().value(0).contains("xdg-open, which opens files with the desktop's programs, is not installed"));
    folder.writeFile("xdg-open", "#!/bin/sh\necho \"$@\" > \"$0.args\"\nexit 3\n");
    QFile(folder.file("xdg-open")).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    Readme::open(nullptr);
    QStringList shown;
    QTRY_COMPARE((shown += Shown()).size(), 1);
    qputenv("PATH", path);
    QVERIFY(shown[0].contains("(xdg-open ended with status 3)"));
    QVERIFY(shown[0].endsWith(readme));
    QCOMPARE(folder.readFile("xdg-open.args"), QFile::encodeName(folder.file("readme.txt")) + '\n');
    // Installed, the program folder holds the program alone; the readme is in the data folder,
    // which minimal systems keep (they leave out the documentation).
    QVERIFY(QDir(folder.path()).mkpath("lib/dahdit"));
    SetAppPathForTesting(folder.file("lib/dahdit"));
    QCOMPARE(Readme::path(), folder.file("share/dahdit/readme.txt"));
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
