#include "form5.h"

#include "appearance.h"
#include "codetablestore.h"
#include "databasechoice.h"
#include "layout.h"
#include "messagebox.h"
#include "module1.h"
#include "storewords.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

Form5::Form5(QWidget* parent) : QDialog(parent) {
    SetUpWindow(this, "Form5", QStringLiteral("Language Options"), 5055, 4095);
    buildControls();
    Form_Load();
}

void Form5::buildControls() {
    TwipsLayout* layout = TwipsLayout::of(this);
    QGroupBox* Frame1 = layout->Place(new QGroupBox(QStringLiteral("Database"), this), "Frame1", 120, 120, 4815, 1335);
    Text1 = layout->Place(new QLineEdit(Frame1), "Text1", 240, 360, 4335, 285);
    QPushButton* Command3 =
        layout->Place(new QPushButton(QStringLiteral("Use Default"), Frame1), "Command3", 240, 720, 1695, 375);

    QGroupBox* Frame2 = layout->Place(new QGroupBox(QStringLiteral("Table"), this), "Frame2", 120, 1560, 4815, 1815);
    Label1 = layout->Place(new QLabel(QStringLiteral("Current:"), Frame2), "Label1", 240, 360, 4335, 255);
    List1 = layout->Place(new QListWidget(Frame2), "List1", 240, 720, 4335, 840);
    Text1->setAccessibleName(QStringLiteral("Database file"));
    List1->setAccessibleName(QStringLiteral("Code table"));
    // Shown in the list's place when the database cannot be read, so the reason sits where the
    // tables would be.
    Label2 = layout->Place(new QLabel(Frame2), "Label2", 240, 720, 4335, 840);
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label2->setMargin(4);
    Label2->hide();

    QPushButton* Command1 =
        layout->Place(new QPushButton(QStringLiteral("OK"), this), "Command1", 2400, 3600, 1215, 375);
    Command1->setDefault(true);
    UseDahditStyle(Command1); // its focus shows beside its default frame
    QPushButton* Command2 =
        layout->Place(new QPushButton(QStringLiteral("Cancel"), this), "Command2", 3720, 3600, 1215, 375);

    connect(Command1, &QPushButton::clicked, this, &Form5::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form5::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form5::Command3_Click);

    SetTabOrder({Text1, Command3, List1, Command1, Command2});
    Text1->setFocus();
}

void Form5::Form_Load() {
    const QString current = Settings::Read(Settings::TableName);
    Label1->setText(QStringLiteral("Current: ") + current);
    Text1->setText(Settings::Read(Settings::DatabasePath));

    // The list always shows the tables of the stored database, not of what the box holds later.
    QStringList names;
    QStringList views;
    StoreError error;
    CodeTableStore store;
    // Read-only: looking writes nothing.
    if (!store.open(ChooseDatabase().path, &error, true) || !store.ListTables(&names, &views, &error)) {
        const QString reason = StoreMessage(error);
        // The path may be longer than the label; the whole message is in its tooltip.
        Label2->setText(reason);
        Label2->setToolTip(reason);
        Label2->show();
        List1->hide(); // an empty list under the reason, which Tab would reach unseen
        return;
    }
    // Only a stored name is chosen in the list: with none stored, no entry is, not even
    // International.
    const QString stored = Module1::ReadSetting(Settings::Section, Settings::TableName.name);
    for (const QString& name : names) {
        auto* item = new QListWidgetItem(name, List1);
        item->setData(Qt::UserRole, name); // the table's name, whatever the row comes to show
        if (name == stored)
            List1->setCurrentItem(item);
    }
    // Views are not listed, for they are no code tables; a stored one is named as such.
    if (views.contains(current, Qt::CaseInsensitive))
        Label1->setText(QStringLiteral("Current: ") + current + QStringLiteral(" (a view, not a code table)"));
}

void Form5::Command1_Click() {
    // With no table chosen the stored one stays: an empty name would name no table at all.
    SettingsFile::Values values{{Settings::DatabasePath.name, Text1->text()}};
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    if (!selected.isEmpty())
        values.append({Settings::TableName.name, selected.first()->data(Qt::UserRole).toString()});
    // The window stays open with the choice in it, so the user can put the cause right and retry.
    auto refuse = [this](const QString& text) {
        MessageBox::show(this, QStringLiteral("The settings were not saved.\n\n") + text,
                         QStringLiteral("Settings Not Saved"), MessageBox::Warning);
    };
    // What the settings file cannot hold is told in words about the choice.
    if (const SettingsFile::Refusal refusal = SettingsFile::refusalOf(values);
        refusal.kind != SettingsFile::Refusal::Kind::None) {
        const bool path = refusal.key == Settings::DatabasePath.name;
        const QString what = path ? QStringLiteral("The database path") : QStringLiteral("The table name");
        const QString fault =
            refusal.kind == SettingsFile::Refusal::Kind::LineBreak
                ? QStringLiteral(" holds a line break, which the settings file cannot hold. ")
                : QStringLiteral(" is %1 characters long, more than the settings file holds. ").arg(refusal.characters);
        const QString fix = path ? QStringLiteral("Type a path on one line of at most %1 characters.")
                                 : QStringLiteral("Choose another table, or rename this one in the database to a "
                                                  "name on one line of at most %1 characters.");
        refuse(what + fault + fix.arg(SettingsFile::MaxValueLength));
        return;
    }
    QString cause;
    if (!Module1::WriteSettings(Settings::Section, values, &cause)) {
        refuse(SettingsNotSaved(cause) +
               QStringLiteral("\n\nDahdit will start with the database and table chosen before."));
        return;
    }
    close();
    // Closed now, the window is deleted as soon as the event loop turns, which it does while the
    // message is up: so the message has no parent, and nothing after it touches the window.
    MessageBox::show(nullptr, QStringLiteral("The new settings will take effect next time you start Dahdit"),
                     QStringLiteral("Settings Changed"), MessageBox::Information);
}

void Form5::Command2_Click() {
    close();
}

void Form5::Command3_Click() {
    Text1->setText(DefaultDatabasePath());
}
