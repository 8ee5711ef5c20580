// The Language Options window: what it shows of the stored choice, and what it stores.
#include "codetablestore.h"
#include "form5.h"
#include "messagebox.h"
#include "module1.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {

const QString kMain = QStringLiteral("main");
QString Setting(const char* key) {
    return Module1::ReadSetting(kMain, QLatin1String(key));
}
void Store(const char* key, const QString& value) {
    QVERIFY(Module1::WriteSetting(kMain, QLatin1String(key), value));
}
// The window deletes itself when it closes, so it lives on the heap; the guard removes what is
// left of it when a test ends.
struct Window {
    QPointer<Form5> form = new Form5;
    Window() { form->show(); }
    ~Window() { delete form; }
    template <typename T> T* child(const char* name) const { return form->findChild<T*>(QLatin1String(name)); }
    QLineEdit* path() const { return child<QLineEdit>("Text1"); }
    QListWidget* list() const { return child<QListWidget>("List1"); }
    QString label() const { return child<QLabel>("Label1")->text(); }
    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < list()->count(); ++i)
            names.append(list()->item(i)->text());
        return names;
    }
    QString selected() const {
        const auto items = list()->selectedItems();
        return items.isEmpty() ? QString() : items.first()->text();
    }
    void select(const QString& name) const {
        list()->setCurrentItem(list()->findItems(name, Qt::MatchExactly).value(0));
    }
    void click(const char* button) const { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
};

} // namespace

class TestOptions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MessageBox::setTestMode(true); }
    void cleanup() {
        RunDeferredDeletes();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }
    void showsTheStoredChoice();
    void okStoresPathAndTable();
    void cancelAndUseDefaultStoreNothing();
    void failedWriteKeepsTheWindowOpen();
    void unreadableDatabaseStillOpens();
};

void TestOptions::showsTheStoredChoice() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    {
        Window w; // no settings file
        QCOMPARE(w.label(), QStringLiteral("Current: International"));
        QCOMPARE(w.path()->text(), DefaultDatabasePath());
        QCOMPARE(w.listed().size(), 10);
        QCOMPARE(w.listed().first(), QStringLiteral("International"));
        QCOMPARE(w.selected(), QString());
    }
    // The stored database is listed in the order its tables were made; only the exact name is
    // selected (SQLite refuses two tables whose names differ only in case).
    const QString other = folder.file("other codes.mdb");
    MakeCodeTable(other, QStringLiteral("Zulu"), {});
    MakeCodeTable(other, QStringLiteral("Alpha"), {});
    Store("db_path", other);
    for (const char* stored : {"Alpha", "alpha", "Klingon"}) {
        Store("table_name", QString::fromUtf8(stored));
        Window w;
        QCOMPARE(w.label(), QStringLiteral("Current: ") + QString::fromUtf8(stored));
        QCOMPARE(w.path()->text(), other);
        QCOMPARE(w.listed(), QStringList({"Zulu", "Alpha"}));
        QCOMPARE(w.selected(), qstrcmp(stored, "Alpha") == 0 ? QStringLiteral("Alpha") : QString());
    }
}

void TestOptions::okStoresPathAndTable() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    {
        // Another path typed, a table chosen from the list of the stored database.
        Window w;
        w.path()->setText(QStringLiteral("/somewhere/else/codes.mdb"));
        w.select(QStringLiteral("German"));
        w.click("Command1");
        QCOMPARE(Setting("db_path"), QStringLiteral("/somewhere/else/codes.mdb"));
        QCOMPARE(Setting("table_name"), QStringLiteral("German"));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("The new settings will take effect next time you start Dahdit"));
        QCOMPARE(shown[0].title, QStringLiteral("Settings Changed"));
        QCOMPARE(shown[0].style, 64);
        QVERIFY(!w.form->isVisible());
        RunDeferredDeletes();
        QVERIFY(!w.form);
    }
    {
        // Nothing listed (that database does not exist), so nothing selected: Enter presses
        // OK, which keeps the stored table rather than storing an empty name.
        Window w;
        QCOMPARE(w.label(), QStringLiteral("Current: German"));
        QTest::keyClick(w.path(), Qt::Key_Return);
        QCOMPARE(Setting("table_name"), QStringLiteral("German"));
        QCOMPARE(MessageBox::takeShown().size(), 1);
    }
}

void TestOptions::cancelAndUseDefaultStoreNothing() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    Store("db_path", folder.file("dahdit_db.mdb"));
    const QByteArray before = folder.readFile("settings.ini");
    Window w;
    w.path()->setText(QStringLiteral("/typed/elsewhere.mdb"));
    w.select(QStringLiteral("Greek"));
    w.click("Command3");
    QCOMPARE(w.path()->text(), DefaultDatabasePath());
    QCOMPARE(w.listed().size(), 10); // not refilled
    w.click("Command2");
    RunDeferredDeletes();
    QVERIFY(!w.form);
    Window escaped;
    QTest::keyClick(escaped.path(), Qt::Key_Escape);
    RunDeferredDeletes();
    QVERIFY(!escaped.form);
    QCOMPARE(folder.readFile("settings.ini"), before);
}

void TestOptions::failedWriteKeepsTheWindowOpen() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    // A folder where settings.ini should be: no write can replace it, not even as root.
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("settings.ini")));
    Window w;
    w.path()->setText(QStringLiteral("/typed/codes.mdb"));
    w.select(QStringLiteral("Russian"));
    w.form->Command1_Click();
    const auto shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].style, 48);
    QVERIFY(shown[0].text.contains(QStringLiteral("not saved")));
    QVERIFY(shown[0].text.contains(QDir::toNativeSeparators(folder.file("settings.ini"))));
    RunDeferredDeletes();
    QVERIFY(w.form && w.form->isVisible()); // still open with the choice in it
    QCOMPARE(w.path()->text(), QStringLiteral("/typed/codes.mdb"));
    QCOMPARE(w.selected(), QStringLiteral("Russian"));
}

void TestOptions::unreadableDatabaseStillOpens() {
    ProgramFolder folder;
    folder.writeFile("damaged.mdb", QByteArray(4096, 'x'));
    for (const QString& path : {folder.file("gone.mdb"), folder.file("damaged.mdb")}) {
        Store("db_path", path);
        Window w;
        QCOMPARE(w.path()->text(), path);
        QVERIFY(w.listed().isEmpty());
        QVERIFY(w.child<QLabel>("Label2")->isVisible());
        QVERIFY(w.child<QLabel>("Label2")->text().contains(QDir::toNativeSeparators(path)));
    }
    // The user can still point Dahdit back at its own database.
    Window w;
    w.click("Command3");
    w.form->Command1_Click();
    QCOMPARE(Setting("db_path"), DefaultDatabasePath());
    QCOMPARE(MessageBox::takeShown().size(), 1);
}

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
