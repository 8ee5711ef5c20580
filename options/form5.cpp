#include "form5.h"

#include "codetablestore.h"
#include "messagebox.h"
#include "module1.h"
#include "widgets.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {
const QString kMain = QStringLiteral("main");
const QString kDefault = QStringLiteral("default");
} // namespace

Form5::Form5(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Language Options"));
    // A tool window stays out of the task bar and keeps its title bar and close box.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(Twips(5055), Twips(4095));
    buildControls();
    Form_Load();
}

void Form5::buildControls() {
    Frame1 = Place(new QGroupBox(QStringLiteral("Database"), this), "Frame1", 120, 120, 4815, 1335);
    Text1 = Place(new QLineEdit(Frame1), "Text1", 240, 360, 4335, 285);
    Command3 = Place(new QPushButton(QStringLiteral("Use Default"), Frame1), "Command3", 240, 720, 1695, 375);

    Frame2 = Place(new QGroupBox(QStringLiteral("Table"), this), "Frame2", 120, 1560, 4815, 1815);
    Label1 = Place(new QLabel(QStringLiteral("Current:"), Frame2), "Label1", 240, 360, 4335, 255);
    List1 = new QListWidget(Frame2);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    PlaceTwips(List1, 240, 720, 4335, 840);
    Text1->setAccessibleName(QStringLiteral("Database file"));
    List1->setAccessibleName(QStringLiteral("Code table"));
    // Drawn over the empty list when the database cannot be read, so the reason sits where
    // the tables would be.
    Label2 = new QLabel(Frame2);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label2->setMargin(4);
    PlaceTwips(Label2, 240, 720, 4335, 840);
    Label2->hide();

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    PlaceTwips(Command1, 2400, 3600, 1215, 375);
    Command2 = Place(new QPushButton(QStringLiteral("Cancel"), this), "Command2", 3720, 3600, 1215, 375);

    connect(Command1, &QPushButton::clicked, this, &Form5::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form5::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form5::Command3_Click);

    setTabOrder(Text1, Command3);
    setTabOrder(Command3, List1);
    setTabOrder(List1, Command1);
    setTabOrder(Command1, Command2);
    Text1->setFocus();
}

void Form5::Form_Load() {
    const QString tableName = Module1::ReadSetting(kMain, QStringLiteral("table_name"));
    Label1->setText(QStringLiteral("Current: ") +
                    (tableName == kDefault ? QStringLiteral("International") : tableName));

    const QString dbPath = Module1::ReadSetting(kMain, QStringLiteral("db_path"));
    Text1->setText(dbPath == kDefault ? DefaultDatabasePath() : dbPath);

    // The list always shows the tables of the stored database, not of what the box holds later.
    QStringList names;
    QString error;
    if (!ListCodeTables(DatabasePath(), &names, &error)) {
        // The path may be longer than the label; the whole message is in its tooltip.
        Label2->setText(error);
        Label2->setToolTip(error);
        Label2->show();
        return;
    }
    for (const QString& name : names) {
        auto* item = new QListWidgetItem(name, List1);
        if (name == tableName)
            List1->setCurrentItem(item);
    }
}

void Form5::Command1_Click() {
    QString error;
    bool stored = Module1::WriteSetting(kMain, QStringLiteral("db_path"), Text1->text(), &error);
    // With no table chosen the stored one stays: an empty name would name no table at all.
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    if (stored && !selected.isEmpty())
        stored = Module1::WriteSetting(kMain, QStringLiteral("table_name"), selected.first()->text(), &error);
    if (!stored) {
        // The window stays open with the choice in it, so the user can fix the cause and retry.
        MessageBox::show(this,
                         QStringLiteral("The settings were not saved.\n\n") + error +
                             QStringLiteral("\n\nDahdit will start with the database and table chosen before."),
                         QStringLiteral("Settings Not Saved"), MessageBox::Warning);
        return;
    }
    close();
    // The window is gone by now (deleted at the next turn of the event loop); nothing below
    // touches it.
    MessageBox::show(nullptr, QStringLiteral("The new settings will take effect next time you start Dahdit"),
                     QStringLiteral("Settings Changed"), MessageBox::Information);
}

void Form5::Command2_Click() {
    close();
}

void Form5::Command3_Click() {
    Text1->setText(DefaultDatabasePath());
}
