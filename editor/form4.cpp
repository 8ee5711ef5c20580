#include "form4.h"

#include "appearance.h"
#include "codetablestore.h"
#include "databasechoice.h"
#include "entrylist.h"
#include "layout.h"
#include "messagebox.h"
#include "storewords.h"
#include "textbox.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <limits>

const QString kTitle = QStringLiteral("Dahdit Database Editor");

Form4::Form4(QWidget* parent) : QDialog(parent), m_store(std::make_unique<CodeTableStore>()) {
    SetUpWindow(this, "Form4", kTitle, 7575, 3975, WindowFrame::OwnTaskBar);
    buildControls();
    Form_Load();
    ListView1->setFocus();
}

Form4::~Form4() {
    Form_Unload();
}

void Form4::buildControls() {
    TwipsLayout* layout = TwipsLayout::of(this);
    Frame1 = layout->Place(new QGroupBox(QStringLiteral("Current entries"), this), "Frame1", 120, 120, 4095, 3015);
    layout->alsoShows(Frame1, {QStringLiteral("Current entries (99999)")});

    ListView1 = layout->Place(new QTreeView(Frame1), "ListView1", 120, 360, 3855, 2535);
    m_list = new EntryList(*m_store, this);
    ListView1->setModel(m_list);
    layout->setColumnWidths(ListView1, {1900, 1620}); // they grow with the rest, as far as their headers need
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The header shows the sort, but the window decides it (ListView1_ColumnClick).
    QHeaderView* header = ListView1->header();
    header->setSectionsMovable(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(m_sortColumn, m_sortOrder);
    ListView1->installEventFilter(this);
    ListView1->setAccessibleName(QStringLiteral("Current entries"));

    m_unavailable = layout->Place(new QLabel(Frame1), "Unavailable", 120, 360, 3855, 2535);
    m_unavailable->setWordWrap(true);
    m_unavailable->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_unavailable->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_unavailable->hide();

    Frame2 = layout->Place(new QGroupBox(QStringLiteral("New entry"), this), "Frame2", 4335, 120, 3120, 3015);
    layout->alsoShows(Frame2, {QStringLiteral("Edit entry")});

    auto label = [this, layout](const char* name, const QString& caption, int top) {
        return layout->Place(new QLabel(caption, Frame2), name, 240, top, 795, 315);
    };
    label("Label1", QStringLiteral("ID:"), 435);
    QLabel* Label2 = label("Label2", QStringLiteral("Signal:"), 915);
    QLabel* Label3 = label("Label3", QStringLiteral("Code:"), 1395);
    Label4 = layout->Place(new QLabel(QStringLiteral("Automatic"), Frame2), "Label4", 1080, 435, 1815, 315);

    Text1 = layout->Place(new QLineEdit(Frame2), "Text1", 1080, 915, 1815, 315);
    Text2 = layout->Place(new QLineEdit(Frame2), "Text2", 1080, 1395, 1815, 315);
    // A line edit keeps only its first 32767 characters unless told otherwise, which would
    // store a longer signal or code cut short without a word.
    for (QLineEdit* box : {Text1, Text2})
        box->setMaxLength(std::numeric_limits<int>::max());
    Label2->setBuddy(Text1);
    Label3->setBuddy(Text2);

    Command1 = layout->Place(new QPushButton(QStringLiteral("Add"), Frame2), "Command1", 240, 2400, 855, 375);
    layout->alsoShows(Command1, {QStringLiteral("Edit")});
    Command2 = layout->Place(new QPushButton(QStringLiteral("Remove"), Frame2), "Command2", 1140, 2400, 855, 375);
    Command3 = layout->Place(new QPushButton(QStringLiteral("Cancel"), Frame2), "Command3", 2040, 2400, 855, 375);
    Command1->setDefault(true);
    UseDahditStyle(Command1); // its focus shows beside its default frame
    Command2->hide();
    Command3->hide();

    m_note = QStringLiteral("Warning: changes made to the database are irreversible. We recommend that you make a "
                            "copy of the database before modifying or changing it in any way.");
    Label6 = layout->Place(new QLabel(m_note, this), "Label6", 120, 3240, 7335, 615);
    Label6->setWordWrap(true);
    QPalette quiet = Label6->palette();
    quiet.setColor(QPalette::WindowText, QuietTextColor(quiet));
    Label6->setPalette(quiet);
    // The controls above are made in their tab order: Tab goes through them in the order they were made.

    connect(header, &QHeaderView::sectionClicked, this, &Form4::ListView1_ColumnClick);
    connect(ListView1, &QTreeView::clicked, this, &Form4::ListView1_ItemClick);
    connect(m_list, &EntryList::counted, this,
            [this](qint64 entries) { Frame1->setTitle(QStringLiteral("Current entries (%1)").arg(entries)); });
    // Told once the event loop turns: the view may be reading its next page.
    connect(
        m_list, &EntryList::failed, this,
        [this](const StoreError& error) {
            tellStoreFailure(QStringLiteral("Not every entry could be listed."), error);
        },
        Qt::QueuedConnection);
    connect(Text2, &QLineEdit::textChanged, this, &Form4::Text2_Change);
    connect(Command1, &QPushButton::clicked, this, &Form4::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form4::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form4::Command3_Click);
}

// ---- loading and unloading -------------------------------------------------------------------

void Form4::Form_Load() {
    // Where the main window could make no copy of the tables, the editor tries again.
    DatabaseChoice database = ChooseDatabase();
    if (database.readOnly)
        database.useCopy(DatabaseChoice::Refresh::No);
    m_copyInUse = database.inUse; // held while the window's store has the user's copy open
    TableName = database.table;
    StoreError error;
    if (!m_store->open(database.path, &error, database.readOnly)) {
        showUnavailable(error);
        return;
    }
    // The tables that came with Dahdit can be read but not changed: the window says why where it
    // otherwise warns about changes, and offers none.
    if (database.readOnly) {
        m_note = CopyNotMade(database.copy, database.whyNoCopy);
        Label6->setText(m_note);
        Label6->setToolTip(m_note);
        Frame2->setEnabled(false);
    }
    if (!FillEntryList(&error)) {
        showUnavailable(error);
        m_store->close();
    }
}

void Form4::Form_Unload() {
    // The window hides as it goes, and a view laid out again reads its next page: the store,
    // which closes itself as it is destroyed, is gone by then.
    ListView1->setModel(nullptr);
}

// The window says in the list's place why there is nothing to edit, and offers nothing that
// would only fail.
void Form4::showUnavailable(const StoreError& error) {
    m_unavailable->setText(EditorUnavailable(error));
    m_unavailable->show();
    ListView1->hide();
    Frame1->setTitle(QStringLiteral("Current entries"));
    for (QWidget* control : std::initializer_list<QWidget*>{Text1, Text2, Command1, Command2, Command3})
        control->setEnabled(false);
}

// ---- the list --------------------------------------------------------------------------------

bool Form4::FillEntryList(StoreError* error) {
    if (!m_list->reload(TableName, error))
        return false;
    showEntry(std::nullopt);
    return true;
}

// New-entry mode without a row, edit mode with the row chosen from the list.
void Form4::showEntry(const std::optional<CodeTableEntry>& row) {
    EntryId = row ? row->id : QString();
    Command2->setVisible(row.has_value());
    Command3->setVisible(row.has_value());
    Frame2->setTitle(row ? QStringLiteral("Edit entry") : QStringLiteral("New entry"));
    Command1->setText(row ? QStringLiteral("Edit") : QStringLiteral("Add"));
    Label4->setText(row ? row->id : QStringLiteral("Automatic"));
    if (row) {
        Text1->setText(row->ts);
        Text2->setText(row->ms);
    } else {
        Text1->clear();
        Text2->clear();
    }
}

void Form4::ListView1_ColumnClick(int column) {
    if (column == m_sortColumn)
        m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    else
        m_sortColumn = column;
    // Also puts back the header's indicator, which the header flips by its own rule on a click.
    ListView1->header()->setSortIndicator(m_sortColumn, m_sortOrder);
    m_list->sort(m_sortColumn, m_sortOrder);
}

void Form4::ListView1_ItemClick(const QModelIndex& index) {
    if (!index.isValid())
        return;
    // Look the entry up before changing anything, so that a failed lookup leaves the window as it was.
    const QString signal = m_list->entry(index.row()).ts;
    std::optional<CodeTableEntry> row;
    StoreError error;
    if (!m_store->FindById(TableName, m_list->entry(index.row()).id, &row, &error)) {
        tellStoreFailure(QStringLiteral("The entry \"%1\" could not be loaded.").arg(signal), error);
        return;
    }
    if (!row) {
        MessageBox::show(this,
                         QStringLiteral("The entry \"%1\" is no longer in the code table \"%2\"; it was changed or "
                                        "removed by other means while the editor was open.\n\nClose the editor and "
                                        "open it again to see the table as it is now.")
                             .arg(signal, TableName),
                         kTitle, MessageBox::Critical);
        return;
    }
    showEntry(row);
}

// A code with a space inside is stored as it is, but what is keyed splits into symbols at every
// space, so it can never be keyed: the note line says so while such a code stands in the box.
void Form4::Text2_Change() {
    if (!Frame2->isEnabled())
        return;
    Label6->setText(TrimSpaces(Text2->text()).contains(u' ')
                        ? QStringLiteral("This code holds a space, so it can never be keyed: what is keyed is split "
                                         "into symbols at spaces. It can be stored all the same.")
                        : m_note);
}

// ---- the buttons -----------------------------------------------------------------------------

void Form4::Command1_Click() {
    const bool adding = EntryId.isEmpty();
    // Stored codes and signals lose the spaces around them, and the tests look for the very
    // texts that will be stored, so " E" counts as a duplicate of E.
    const QString signal = TrimSpaces(Text1->text());
    const QString code = TrimSpaces(Text2->text());
    if (signal.isEmpty() || code.isEmpty()) {
        MessageBox::show(this, QStringLiteral("Some data is missing"), QStringLiteral("Error"), MessageBox::Warning);
        return;
    }

    // The checks and the change run in one write transaction, so that no other editor can take
    // the code or the signal between them. No message is shown while the file is held.
    const QString notDone =
        adding ? QStringLiteral("The entry was not added.") : QStringLiteral("The entry was not saved.");
    StoreError error;
    if (!m_store->beginWrite(&error)) {
        tellStoreFailure(notDone, error);
        return;
    }
    bool taken = false;
    if (!m_store->CodeOrSignalTaken(TableName, code, signal, EntryId, &taken, &error) || taken) {
        m_store->rollbackWrite();
        if (!taken)
            tellStoreFailure(QStringLiteral("The entry could not be checked against the table, so nothing was saved."),
                             error);
        else
            MessageBox::show(this, QStringLiteral("Code is in use for other signal, or the signal already exists"),
                             QStringLiteral("Error"), MessageBox::Warning);
        return;
    }
    const bool written = adding ? m_store->InsertEntry(TableName, code, signal, &error)
                                : m_store->UpdateEntry(TableName, EntryId, code, signal, &error);
    if (!written || !m_store->commitWrite(&error)) {
        m_store->rollbackWrite(); // a failed commit has rolled back already
        tellStoreFailure(notDone, error);
        return;
    }
    reloadAfterChange(adding ? QStringLiteral("The entry was added") : QStringLiteral("The entry was saved"));
}

void Form4::Command2_Click() {
    // Remove belongs to edit mode, where the button is shown.
    if (EntryId.isEmpty())
        return;
    if (MessageBox::show(this, QStringLiteral("Are you sure you want to remove this entry?"),
                         QStringLiteral("Confirm Removal"), MessageBox::Question) != MessageBox::Ok)
        return;
    StoreError error;
    if (!m_store->DeleteEntry(TableName, EntryId, &error)) {
        tellStoreFailure(QStringLiteral("The entry was not removed."), error);
        return;
    }
    reloadAfterChange(QStringLiteral("The entry was removed"));
}

void Form4::Command3_Click() {
    if (StoreError error; !FillEntryList(&error))
        tellStoreFailure(QStringLiteral("The list could not be reloaded."), error);
}

// The change is stored; if the list cannot show it, the window still leaves the entry (its texts
// are safe in the table) and says that the list is out of date.
void Form4::reloadAfterChange(const QString& done) {
    if (StoreError error; !FillEntryList(&error)) {
        showEntry(std::nullopt);
        MessageBox::show(this,
                         done + QStringLiteral(", but the list could not be reloaded.\n\n") + StoreMessage(error) +
                             QStringLiteral("\n\nClose the editor and open it again to see the current entries."),
                         kTitle, MessageBox::Warning);
    }
}

void Form4::tellStoreFailure(const QString& what, const StoreError& error) {
    MessageBox::show(this, what + QStringLiteral("\n\n") + StoreMessage(error), kTitle, MessageBox::Critical);
    // A store that gave the file up (it was too slow to read) takes no more presses.
    if (!m_store->isOpen())
        showUnavailable(error);
}

// ---- keyboard --------------------------------------------------------------------------------

// Esc presses Cancel while it is shown. Without it there is nothing to cancel, and Esc does not
// close the window either: that would drop a new entry being typed without a word.
void Form4::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        if (!EntryId.isEmpty()) // a disabled button takes no click
            Command3->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// Enter on the list chooses the highlighted entry, as a click does, instead of pressing the
// default button. Moving through the list with the arrow keys only highlights: browsing never
// replaces what is typed in the boxes.
bool Form4::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) { // it watches the list alone
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
            ListView1->currentIndex().isValid()) {
            ListView1_ItemClick(ListView1->currentIndex());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
