// The About window, the secondary windows closing with the program, and the readme command.
#include "readme.h"
#include "testsupport.h"

class TestAbout : public WindowTest {
    Q_OBJECT
private slots:
    void opensAndClosesTheOtherWindows();
};

void TestAbout::opensAndClosesTheOtherWindows() {
    ProgramFolder folder(true);
    Form1 form;
    form.show();
    auto others = [&form] { // top-level windows other than the main window and its menus
        QList<QWidget*> windows = QApplication::topLevelWidgets();
        windows.removeIf([&form](QWidget* window) { return window == &form || window->windowType() == Qt::Popup; });
        return windows;
    };
    // One About window, however often asked for, with the version main() gives; closed, it is gone.
    QCoreApplication::setApplicationVersion(QStringLiteral("2.5.39"));
    form.About_Click();
    form.About_Click();
    QCOMPARE(others().size(), 1);
    QPointer<Form2> about = qobject_cast<Form2*>(others().first());
    QVERIFY(about && about->isVisible() && child<QLabel>(*about, "Label2")->text() == "Version 2.5.39");
    about->close();
    RunDeferredDeletes();
    QVERIFY(!about && others().isEmpty());
    // Every other window closes with the program. Save is offered once there is output text.
    Decode(form, QStringLiteral(".- -... "));
    form.Save_Click();
    form.DBEditor_Click();
    form.Language_Click();
    form.About_Click();
    const QList<QWidget*> windows = others();
    QVERIFY(windows.size() == 4 && std::all_of(windows.begin(), windows.end(), std::mem_fn(&QWidget::isVisible)));
    form.Exit_Click();
    RunDeferredDeletes();
    QVERIFY(!form.isVisible() && others().isEmpty());

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
    QVERIFY2(shown[0].contains("(xdg-open ended with status 3)") && shown[0].endsWith(readme), qPrintable(shown[0]));
    QCOMPARE(folder.readFile("xdg-open.args"), QFile::encodeName(folder.file("readme.txt")) + '\n');
    // Installed, the program folder holds the program alone; the readme is in the data folder,
    // which minimal systems keep (they leave out the documentation).
    QVERIFY(QDir(folder.path()).mkpath("lib/dahdit"));
    SetAppPathForTesting(folder.file("lib/dahdit"));
    QCOMPARE(Readme::path(), folder.file("share/dahdit/readme.txt"));
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
