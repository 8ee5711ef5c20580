// The Language Options window: what it shows of the stored choice, and what OK, Cancel and
// Use Default store.
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

// The window deletes itself when it closes, so it lives on the heap; whatever is left of it
// when a test ends goes with the guard.
struct Window {
    QPointer<Form5> form = new Form5;
    Window() { form->show(); }
    ~Window() { delete form; }
    template <typename T> T* child(const char* name) const { return form->findChild<T*>(QLatin1String(name)); }
    QStringList listed() const {
        QStringList names;
        auto* list = child<QListWidget>("List1");
        for (int i = 0; i < list->count(); ++i)
            names.append(list->item(i)->text());
        return names;
    }
    QString selected() const {
        const auto items = child<QListWidget>("List1")->selectedItems();
        return items.isEmpty() ? QString() : items.first()->text();
    }
    void select(const QString& name) const {
        auto* list = child<QListWidget>("List1");
        list->setCurrentItem(list->findItems(name, Qt::MatchExactly).value(0));
    }
};

void RunDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestOptions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MessageBox::setTestMode(true); }
    void cleanup();
    void showsTheStoredChoice();
    void selectsOnlyTheExactName();
    void okStoresPathAndTable();
    void okWithoutSelectionKeepsTheStoredTable();
    void cancelAndUseDefaultStoreNothing();
    void failedWriteKeepsTheWindowOpen();
    void unreadableDatabaseStillOpens();
};

void TestOptions::cleanup() {
    RunDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestOptions::showsTheStoredChoice() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    {
        // No settings file: International, the default database, its tables in their order.
        Window w;
        QCOMPARE(w.child<QLabel>("Label1")->text(), QStringLiteral("Current: International"));
        QCOMPARE(w.child<QLineEdit>("Text1")->text(), DefaultDatabasePath());
        const QStringList tables = w.listed();
        QCOMPARE(tables.size(), 10);
        QCOMPARE(tables.first(), QStringLiteral("International"));
        QVERIFY(tables.contains(QStringLiteral("Japanese")));
        QCOMPARE(w.selected(), QString());
        QVERIFY(!w.child<QLabel>("Label2")->isVisible());
        QCOMPARE(w.form->windowTitle(), QStringLiteral("Language Options"));
        QCOMPARE(w.form->minimumSize(), w.form->maximumSize());
        QVERIFY(w.form->windowFlags().testFlag(Qt::Tool)); // kept out of the task bar
        QVERIFY(!(w.form->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    }
    {
        // The stored database is listed, not the default one; its path is shown as stored.
        const QString other = folder.file("other dir.mdb");
        MakeCodeTable(other, QStringLiteral("Zulu"), {{".-", "A"}});
        MakeCodeTable(other, QStringLiteral("Alpha"), {{".-", "A"}});
        QVERIFY(Module1::WriteSetting(kMain, QStringLiteral("db_path"), other));
        QVERIFY(Module1::WriteSetting(kMain, QStringLiteral("table_name"), QStringLiteral("Alpha")));
        Window w;
        QCOMPARE(w.child<QLabel>("Label1")->text(), QStringLiteral("Current: Alpha"));
        QCOMPARE(w.child<QLineEdit>("Text1")->text(), other);
        QCOMPARE(w.listed(), QStringList({"Zulu", "Alpha"})); // the order they were made in
        QCOMPARE(w.selected(), QStringLiteral("Alpha"));
    }
}

void TestOptions::selectsOnlyTheExactName() {
    ProgramFolder folder;
    const QString db = folder.file("dahdit_db.mdb");
    // SQLite keeps table names unique without regard to case, so case-different names meet
    // only between the stored setting and the list.
    MakeCodeTable(db, QStringLiteral("Morse"), {});
    MakeCodeTable(db, QStringLiteral("Greek"), {});
    const struct {
        const char* stored;
        const char* selected;
    } cases[] = {{"Morse", "Morse"}, {"Greek", "Greek"}, {"morse", ""}, {"GREEK", ""}, {"Klingon", ""}};
    for (const auto& c : cases) {
        QVERIFY(Module1::WriteSetting(kMain, QStringLiteral("table_name"), QString::fromUtf8(c.stored)));
        Window w;
        QCOMPARE(w.selected(), QString::fromUtf8(c.selected));
        QCOMPARE(w.child<QLabel>("Label1")->text(), QStringLiteral("Current: ") + Setting("table_name"));
    }
}

void TestOptions::okStoresPathAndTable() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    Window w;
    // Another path typed, a table chosen from the list of the stored database.
    const QString typed = QStringLiteral("/somewhere/else/codes.mdb");
    w.child<QLineEdit>("Text1")->setText(typed);
    w.select(QStringLiteral("German"));
    QTest::mouseClick(w.child<QPushButton>("Command1"), Qt::LeftButton);
    QVERIFY(!w.form || !w.form->isVisible());
    QCOMPARE(Setting("db_path"), typed);
    QCOMPARE(Setting("table_name"), QStringLiteral("German"));
    const auto shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("The new settings will take effect next time you start Dahdit"));
    QCOMPARE(shown[0].title, QStringLiteral("Settings Changed"));
    QCOMPARE(shown[0].style, 64);
    RunDeferredDeletes();
    QVERIFY(!w.form);

    // OK with nothing changed confirms all the same; Enter presses OK. The stored database
    // does not exist, so nothing is listed and the stored table stays.
    Window again;
    QCOMPARE(again.child<QLabel>("Label1")->text(), QStringLiteral("Current: German"));
    QVERIFY(again.listed().isEmpty());
    QTest::keyClick(again.child<QLineEdit>("Text1"), Qt::Key_Return);
    QCOMPARE(Setting("db_path"), typed);
    QCOMPARE(Setting("table_name"), QStringLiteral("German"));
    QCOMPARE(MessageBox::takeShown().size(), 1);
}

void TestOptions::okWithoutSelectionKeepsTheStoredTable() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    {
        Window w; // nothing stored, nothing selected
        w.form->Command1_Click();
        QCOMPARE(Setting("table_name"), QStringLiteral("default"));
        QCOMPARE(Setting("db_path"), DefaultDatabasePath());
        QCOMPARE(MessageBox::takeShown().size(), 1);
    }
    QVERIFY(Module1::WriteSetting(kMain, QStringLiteral("table_name"), QStringLiteral("Klingon")));
    {
        Window w; // a stored name the database does not list
        QCOMPARE(w.selected(), QString());
        w.form->Command1_Click();
        QCOMPARE(Setting("table_name"), QStringLiteral("Klingon"));
        QCOMPARE(MessageBox::takeShown().size(), 1);
    }
}

void TestOptions::cancelAndUseDefaultStoreNothing() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    QVERIFY(Module1::WriteSetting(kMain, QStringLiteral("db_path"), folder.file("dahdit_db.mdb")));
    const QByteArray before = folder.readFile("settings.ini");
    {
        Window w;
        auto* path = w.child<QLineEdit>("Text1");
        path->setText(QStringLiteral("/typed/elsewhere.mdb"));
        w.select(QStringLiteral("Greek"));
        QTest::mouseClick(w.child<QPushButton>("Command3"), Qt::LeftButton);
        QCOMPARE(path->text(), DefaultDatabasePath());
        QCOMPARE(w.listed().size(), 10); // the list is not refilled
        QTest::mouseClick(w.child<QPushButton>("Command2"), Qt::LeftButton);
        RunDeferredDeletes();
        QVERIFY(!w.form);
    }
    {
        Window w; // Esc and the close box cancel too
        QTest::keyClick(w.child<QLineEdit>("Text1"), Qt::Key_Escape);
        RunDeferredDeletes();
        QVERIFY(!w.form);
        Window closed;
        closed.form->close();
        RunDeferredDeletes();
        QVERIFY(!closed.form);
    }
    QCOMPARE(folder.readFile("settings.ini"), before);
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestOptions::failedWriteKeepsTheWindowOpen() {
    ProgramFolder folder;
    folder.copyBundledDatabase();
    // A folder where settings.ini should be: no write can replace it, not even as root.
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("settings.ini")));
    Window w;
    w.child<QLineEdit>("Text1")->setText(QStringLiteral("/typed/codes.mdb"));
    w.select(QStringLiteral("Russian"));
    w.form->Command1_Click();
    const auto shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].style, 48);
    QVERIFY(shown[0].text.contains(QStringLiteral("not saved")));
    QVERIFY(shown[0].text.contains(QDir::toNativeSeparators(folder.file("settings.ini"))));
    QVERIFY(!shown[0].text.contains(QStringLiteral("will take effect")));
    // Still open with the choice in it.
    RunDeferredDeletes();
    QVERIFY(w.form && w.form->isVisible());
    QCOMPARE(w.child<QLineEdit>("Text1")->text(), QStringLiteral("/typed/codes.mdb"));
    QCOMPARE(w.selected(), QStringLiteral("Russian"));
}

void TestOptions::unreadableDatabaseStillOpens() {
    ProgramFolder folder;
    const QString missing = folder.file("gone.mdb");
    QVERIFY(Module1::WriteSetting(kMain, QStringLiteral("db_path"), missing));
    folder.writeFile("damaged.mdb", QByteArray(4096, 'x'));
    for (const QString& path : {missing, folder.file("damaged.mdb")}) {
        QVERIFY(Module1::WriteSetting(kMain, QStringLiteral("db_path"), path));
        Window w;
        QCOMPARE(w.child<QLineEdit>("Text1")->text(), path);
        QVERIFY(w.listed().isEmpty());
        auto* why = w.child<QLabel>("Label2");
        QVERIFY(why->isVisible());
        QVERIFY(why->text().contains(QDir::toNativeSeparators(path)));
    }
    // The user can still point Dahdit back at its own database.
    Window w;
    QTest::mouseClick(w.child<QPushButton>("Command3"), Qt::LeftButton);
    w.form->Command1_Click();
    QCOMPARE(Setting("db_path"), DefaultDatabasePath());
    QCOMPARE(MessageBox::takeShown().size(), 1);
}

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
