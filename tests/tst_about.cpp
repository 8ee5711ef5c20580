// The About window, the readme command, and the secondary windows closing with the program.
#include "readme.h"
#include "testsupport.h"

class TestAbout : public WindowTest {
    Q_OBJECT
private slots:
    void opensAndClosesTheOtherWindows();
    void missingReadmeIsTold();
};

void TestAbout::opensAndClosesTheOtherWindows() {
    ProgramFolder folder(true);
    Form1 form;
    form.show();
    auto others = [&form] { // top-level windows other than the main window and its menus
        QList<QWidget*> windows;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window != &form && window->windowType() != Qt::Popup)
                windows.append(window);
        return windows;
    };
    // One About window, however often asked for; closed, it is gone.
    form.About_Click();
    form.About_Click();
    QCOMPARE(others().size(), 1);
    QPointer<Form2> about = qobject_cast<Form2*>(others().first());
    QVERIFY(about && about->isVisible() && child<QLabel>(*about, "Label2")->text() == "Version 2.5.39");
    QVERIFY(!child<QLabel>(*about, "Image1")->pixmap().isNull());
    about->close();
    RunDeferredDeletes();
    QVERIFY(!about && others().isEmpty());
    // Every other window closes with the program. Save is offered once there is output text.
    Decode(form, QStringLiteral(".- -... "));
    form.Save_Click();
    form.DBEditor_Click();
    form.Language_Click();
    form.About_Click();
    QCOMPARE(others().size(), 4);
    for (QWidget* window : others())
        QVERIFY(window->isVisible());
    form.Exit_Click();
    RunDeferredDeletes();
    QVERIFY(!form.isVisible() && others().isEmpty());
}

void TestAbout::missingReadmeIsTold() {
    ProgramFolder folder; // holds no readme
    QString error;
    QVERIFY(!Readme::open(&error));
    QVERIFY(error.contains(QDir::toNativeSeparators(folder.file("readme.txt"))) && error.contains("missing"));
    // Installed, the program folder holds the program alone; the readme is with the documentation.
    QVERIFY(QDir(folder.path()).mkpath("lib/dahdit") && QDir(folder.path()).mkpath("share/doc/dahdit"));
    SetAppPathForTesting(folder.file("lib/dahdit"));
    QCOMPARE(Readme::path(), folder.file("share/doc/dahdit/readme.txt"));
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
