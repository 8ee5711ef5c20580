// The About window, the readme command, and the secondary windows closing with the program.
#include "form1.h"
#include "form2.h"
#include "messagebox.h"
#include "readme.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>

namespace {

// Top-level windows other than the main window and its menus.
QList<QWidget*> OtherWindows(const QWidget* main) {
    QList<QWidget*> windows;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != main && window->windowType() != Qt::Popup)
            windows.append(window);
    return windows;
}

QList<Form2*> AboutWindows() {
    QList<Form2*> windows;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* about = qobject_cast<Form2*>(window))
            windows.append(about);
    return windows;
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MessageBox::setTestMode(true); }
    void cleanup() {
        RunDeferredDeletes();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }
    void showsNameVersionAndIcon();
    void oneInstanceFromTheMenu();
    void missingReadmeIsTold();
    void windowsCloseWithTheProgram();
};

void TestAbout::showsNameVersionAndIcon() {
    QPointer<Form2> about = new Form2;
    // Set at creation, before the window is first shown.
    QCOMPARE(about->findChild<QLabel*>(QStringLiteral("Label2"))->text(), QStringLiteral("Version 2.5.39"));
    QVERIFY(!about->findChild<QLabel*>(QStringLiteral("Image1"))->pixmap().isNull());
    about->show();
    about->close();
    RunDeferredDeletes();
    QVERIFY(!about);
}

void TestAbout::oneInstanceFromTheMenu() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    Form1 form;
    form.About_Click();
    form.About_Click();
    QCOMPARE(AboutWindows().size(), 1);
    QPointer<Form2> first = AboutWindows().first();
    QVERIFY(first->isVisible());
    // Closed, it is gone; the command then makes a fresh one.
    first->close();
    RunDeferredDeletes();
    QVERIFY(!first);
    form.About_Click();
    QCOMPARE(AboutWindows().size(), 1);
}

void TestAbout::missingReadmeIsTold() {
    ProgramFolder folder; // holds no readme
    QString error;
    QVERIFY(!Readme::open(&error));
    QVERIFY(error.contains(QDir::toNativeSeparators(folder.file("readme.txt"))));
    QVERIFY(error.contains(QStringLiteral("missing")));
}

void TestAbout::windowsCloseWithTheProgram() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    Form1 form;
    form.show();
    // Save is offered only once there is output text.
    form.findChild<QPlainTextEdit*>(QStringLiteral("Text1"))->setPlainText(QStringLiteral(".- -... "));
    form.Save_Click();
    form.DBEditor_Click();
    form.Language_Click();
    form.About_Click();
    const QList<QWidget*> opened = OtherWindows(&form);
    QCOMPARE(opened.size(), 4);
    for (QWidget* window : opened)
        QVERIFY(window->isVisible());
    form.Exit_Click();
    RunDeferredDeletes();
    QVERIFY(!form.isVisible());
    QVERIFY(OtherWindows(&form).isEmpty());
    MessageBox::takeShown();
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
