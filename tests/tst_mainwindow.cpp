// The main window's start-up, layout and shutdown.
#include "codetablestore.h"
#include "form1.h"
#include "messagebox.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

namespace {
QString panel(const Form1& form, int i) {
    return form.findChild<QLabel*>(QStringLiteral("Panel%1").arg(i))->text();
}
QTimer* timer(const Form1& form, const char* name) {
    return form.findChild<QTimer*>(QLatin1String(name));
}
QSlider* slider(const Form1& form, const char* name) {
    return form.findChild<QSlider*>(QLatin1String(name));
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { MessageBox::setTestMode(true); }
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }
    void startsWithDefaults();
    void restoresSliders();
    void ignoresUnusableSliderSettings();
    void startsWithoutItsDatabase();
    void tellsOnceAboutAMissingTable();
    void laysOutTheWindow();
};

void TestMainWindow::startsWithDefaults() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    Form1 form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Dahdit"));
    QCOMPARE(panel(form, 1), QStringLiteral("Ready"));
    QCOMPARE(panel(form, 2), QStringLiteral("DT: 150 ms"));
    QCOMPARE(panel(form, 3), QStringLiteral("SDT: 250 ms"));
    QCOMPARE(panel(form, 4), QStringLiteral("Errors: 0"));
    QCOMPARE(panel(form, 5), QStringLiteral("International"));
    QCOMPARE(timer(form, "Timer1")->interval(), 150);
    QVERIFY(!timer(form, "Timer1")->isActive());
    QCOMPARE(timer(form, "Timer2")->interval(), 250);
    QVERIFY(timer(form, "Timer2")->isActive());
    QVERIFY(!form.findChild<QPushButton*>("BS")->isEnabled());
    QVERIFY(!form.findChild<QAction*>("Save")->isEnabled());
    QVERIFY(!QFile::exists(folder.file("settings.ini"))); // nothing written until a slider moves
    QVERIFY(MessageBox::takeShown().isEmpty());

    // "default" set explicitly is the same as no key.
    folder.writeFile("settings.ini", "[main]\ntable_name=default\ndb_path=default\n");
    Form1 again;
    QCOMPARE(panel(again, 5), QStringLiteral("International"));
    QCOMPARE(again.TableName, QStringLiteral("International"));
}

void TestMainWindow::restoresSliders() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    folder.writeFile("settings.ini", "[main]\ndt=10\nsdt=1\n");
    Form1 form;
    QCOMPARE(slider(form, "Slider1")->value(), 10);
    QCOMPARE(timer(form, "Timer1")->interval(), 250);
    QCOMPARE(panel(form, 2), QStringLiteral("DT: 250 ms"));
    QCOMPARE(slider(form, "Slider2")->value(), 1);
    QCOMPARE(timer(form, "Timer2")->interval(), 125);
    QCOMPARE(panel(form, 3), QStringLiteral("SDT: 125 ms"));
    QCOMPARE(panel(form, 1), QStringLiteral("Ready"));
    QCOMPARE(folder.readFile("settings.ini"), QByteArray("[main]\ndt=10\nsdt=1\n"));
}

void TestMainWindow::ignoresUnusableSliderSettings() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    const QByteArray settings = "[main]\ndt=abc\nsdt=99\n";
    folder.writeFile("settings.ini", settings);
    Form1 form;
    QCOMPARE(slider(form, "Slider1")->value(), 6);
    QCOMPARE(slider(form, "Slider2")->value(), 6);
    QCOMPARE(timer(form, "Timer2")->interval(), 250);
    QCOMPARE(folder.readFile("settings.ini"), settings); // kept until the slider moves
    slider(form, "Slider2")->setValue(7);
    QCOMPARE(folder.readFile("settings.ini"), QByteArray("[main]\ndt=abc\nsdt=7\n"));
}

void TestMainWindow::startsWithoutItsDatabase() {
    ProgramFolder folder;
    folder.writeFile("settings.ini", "[main]\ndt=10\ntable_name=Greek\n");
    Form1 form;
    // The rest of the start-up ran.
    QCOMPARE(slider(form, "Slider1")->value(), 10);
    QCOMPARE(panel(form, 5), QStringLiteral("Greek"));
    QCoreApplication::processEvents();
    auto shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].text.contains(folder.file("dahdit_db.mdb")));
    QVERIFY(shown[0].text.contains("does not exist"));
    QVERIFY(shown[0].text.contains("Tools, Language"));
    QCOMPARE(shown[0].style, int(MessageBox::Warning));
    QVERIFY(!QFile::exists(folder.file("dahdit_db.mdb")));

    // Keying still fills the buffer; the user is not told again.
    auto* text1 = form.findChild<QPlainTextEdit*>("Text1");
    for (int i = 0; i < 3; ++i) {
        form.MK_MouseDown(1);
        form.MK_MouseUp(1);
        form.Timer2_Timer();
    }
    QCOMPARE(text1->toPlainText(), QStringLiteral(". . . "));
    QVERIFY(form.findChild<QPlainTextEdit*>("Text2")->toPlainText().isEmpty());
    QVERIFY(panel(form, 1).contains("does not exist"));
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestMainWindow::tellsOnceAboutAMissingTable() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    folder.writeFile("settings.ini", "[main]\ntable_name=x; drop table International\n");
    Form1 form;
    QCOMPARE(panel(form, 5), QStringLiteral("x; drop table International"));
    QCoreApplication::processEvents();
    QVERIFY(MessageBox::takeShown().isEmpty()); // start-up succeeds
    auto* text1 = form.findChild<QPlainTextEdit*>("Text1");
    text1->setPlainText(QStringLiteral("... --- "));
    text1->setPlainText(QStringLiteral("... --- ... "));
    const auto shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].text.contains("\"x; drop table International\" does not exist"));
    QVERIFY(panel(form, 1).contains("does not exist"));
    QVERIFY(form.findChild<QPlainTextEdit*>("Text2")->toPlainText().isEmpty());
    QVERIFY(!form.findChild<QAction*>("Save")->isEnabled());
    QVERIFY(form.findChild<QPushButton*>("BS")->isEnabled());
    // The table is still there: the name went in as a name, not as a statement.
    QStringList names;
    QVERIFY(ListCodeTables(folder.file("dahdit_db.mdb"), &names));
    QVERIFY(names.contains("International"));
}

void TestMainWindow::laysOutTheWindow() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    Form1 form;
    struct Place {
        const char* name;
        QRect twips;
    };
    const Place places[] = {{"Text1", {120, 120, 4575, 1605}},   {"Text2", {4800, 120, 4575, 2805}},
                            {"Slider1", {120, 1800, 2175, 555}}, {"Slider2", {2400, 1800, 2295, 555}},
                            {"MK", {120, 2400, 3855, 495}},      {"BS", {4080, 2400, 615, 495}}};
    for (const Place& place : places) {
        auto* widget = form.findChild<QWidget*>(QLatin1String(place.name));
        QVERIFY2(widget, place.name);
        const QRect& t = place.twips;
        QCOMPARE(widget->geometry(),
                 QRect((t.x() + 7) / 15, (t.y() + 7) / 15, (t.width() + 7) / 15, (t.height() + 7) / 15));
    }
    QCOMPARE(form.width(), 633);
    QCOMPARE(form.height(), form.menuBar()->sizeHint().height() + 225);
    QCOMPARE(form.minimumSize(), form.maximumSize()); // fixed size
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(form.findChild<QPushButton*>("MK")->text(), QStringLiteral("Morse"));
    QCOMPARE(form.findChild<QPushButton*>("BS")->text(), QStringLiteral("<<"));
    QVERIFY(form.findChild<QPushButton*>("MK")->font().bold());
    QCOMPARE(form.findChild<QPlainTextEdit*>("Text1")->font().styleHint(), QFont::Monospace);

    // Tab and Shift+Tab move along the tab order, round from either end, and type nothing.
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    auto* text1 = form.findChild<QPlainTextEdit*>("Text1");
    text1->setPlainText(QStringLiteral(".-"));
    QCOMPARE(form.focusWidget(), text1);
    auto walk = [&form](int presses, Qt::KeyboardModifiers modifiers) {
        QStringList names;
        for (int i = 0; i < presses; ++i) {
            QTest::keyClick(form.focusWidget(), Qt::Key_Tab, modifiers);
            names << form.focusWidget()->objectName();
        }
        return names;
    };
    QCOMPARE(walk(6, Qt::NoModifier), QStringList({"Slider1", "Slider2", "MK", "BS", "Text2", "Text1"}));
    QCOMPARE(walk(2, Qt::ShiftModifier), QStringList({"Text2", "BS"}));
    QCOMPARE(text1->toPlainText(), QStringLiteral(".-"));
    QVERIFY(form.findChild<QPlainTextEdit*>("Text2")->toPlainText().isEmpty());

    // The menu tree, in order, with its shortcuts.
    QStringList menu;
    for (QAction* top : form.menuBar()->actions()) {
        menu << top->text();
        for (QAction* item : top->menu()->actions())
            menu << QStringLiteral("  %1 [%2]").arg(item->text(), item->shortcut().toString());
    }
    QCOMPARE(menu, QStringList({"File", "  Save [Ctrl+S]", "  Exit []", "Edit", "  Copy [Ctrl+C]", "  Copy Output []",
                                "  Paste [Ctrl+V]", "  Clear [Del]", "Tools", "  DB Editor [Ctrl+D]",
                                "  Language [Ctrl+L]", "Help", "  Dahdit Readme []", "  About... []"}));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
