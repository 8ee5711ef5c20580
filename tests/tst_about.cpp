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
    // One About window, however often asked for; closed, it is gone.
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

    QString error; // the folder holds no readme: the user is told where it was looked for
    QVERIFY(!Readme::open(&error));
    QVERIFY(error.contains(QDir::toNativeSeparators(folder.file("readme.txt"))) && error.contains("missing"));
    // Installed, the program folder holds the program alone; the readme is in the data folder,
    // which minimal systems keep (they leave out the documentation).
    QVERIFY(QDir(folder.path()).mkpath("lib/dahdit"));
    SetAppPathForTesting(folder.file("lib/dahdit"));
    QCOMPARE(Readme::path(), folder.file("share/dahdit/readme.txt"));
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
