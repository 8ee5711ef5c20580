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

void RunDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Top-level windows other than the main window and its menus.
QList<QWidget*> OtherWindows(const QWidget* main) {
    QList<QWidget*> windows;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != main && window->windowType() != Qt::Popup)
            windows.append(window);
    return windows;
}

int CountForm2() {
    int count = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        count += qobject_cast<Form2*>(window) != nullptr;
    return count;
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MessageBox::setTestMode(true); }
    void cleanup();
    void showsNameVersionAndIcon();
    void oneInstanceFromTheMenu();
    void missingReadmeIsTold();
    void windowsCloseWithTheProgram();
};

void TestAbout::cleanup() {
    RunDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestAbout::showsNameVersionAndIcon() {
    QPointer<Form2> about = new Form2;
    auto label = [&](const char* name) { return about->findChild<QLabel*>(QLatin1String(name)); };
    // Set at creation, before the window is first shown.
    QCOMPARE(label("Label2")->text(), QStringLiteral("Version 2.5.39"));
    QCOMPARE(Form2::VersionLine(), QStringLiteral("Version 2.5.39"));
    QCOMPARE(label("Label1")->text(), QStringLiteral("Dahdit"));
    QVERIFY(label("Label1")->font().bold());
    QCOMPARE(label("Label1")->font().pointSizeF(), 13.5);
    QVERIFY(!label("Image1")->pixmap().isNull());
    QVERIFY(!label("Label3")->text().isEmpty());
    QVERIFY(label("Label4")->text().startsWith(QStringLiteral("Copyright")));
    QCOMPARE(about->windowTitle(), QStringLiteral("About"));
    QCOMPARE(about->minimumSize(), about->maximumSize());
    const Qt::WindowFlags flags = about->windowFlags();
    QVERIFY(flags.testFlag(Qt::Tool)); // kept out of the task bar
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
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
    QCOMPARE(CountForm2(), 1);
    QPointer<Form2> first = form.findChild<Form2*>(); // not a child: it has no owner
    QVERIFY(!first);
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* about = qobject_cast<Form2*>(window))
            first = about;
    QVERIFY(first && first->isVisible());

    // Closed, it is gone; the command then makes a fresh one.
    first->close();
    RunDeferredDeletes();
    QVERIFY(!first);
    QCOMPARE(CountForm2(), 0);
    form.About_Click();
    QCOMPARE(CountForm2(), 1);
    form.Exit_Click();
    RunDeferredDeletes();
    QCOMPARE(CountForm2(), 0);
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
    QList<QPointer<QWidget>> windows;
    for (QWidget* window : opened) {
        QVERIFY(window->isVisible());
        windows.append(window);
    }
    form.Exit_Click();
    RunDeferredDeletes();
    QVERIFY(!form.isVisible());
    for (const auto& window : windows)
        QVERIFY(!window);
    QVERIFY(OtherWindows(&form).isEmpty());
    MessageBox::takeShown();
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
