#pragma once

#include "codetablestore.h"
#include "usercopy.h"

#include <QDialog>
#include <memory>

class EntryList;
class QGroupBox;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QTreeView;

// The code table editor: lists the entries of the current code table and adds, edits and removes
// them through a connection of its own, so the main window sees every change at its next decode.
//
// The window is in one of two modes: new entry, where Command1 reads "Add", and edit, where it
// reads "Edit" while the entry chosen from the list (EntryId, shown in Label4) is being changed.
// The mode is held in the window, never read back from a caption, which the desktop may have
// given a mnemonic. Every successful change, and Cancel, reloads the list and returns to
// new-entry mode. Refused input and failed changes leave the window as it was, typed texts
// included, unless the store has given the file up: then the window says so in the list's place
// and takes no more changes.
//
// The list is a model over the store (EntryList), which reads the rows as the view shows them:
// a table of any size, on any disk, opens at once.
class Form4 : public QDialog {
    Q_OBJECT
public:
    explicit Form4(QWidget* parent = nullptr);
    ~Form4() override;

    void ListView1_ColumnClick(int column);
    void ListView1_ItemClick(const QModelIndex& index);
    void Text2_Change();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    void Form_Unload();
    // Reloads the list and returns to new-entry mode; false, with why, when the table cannot be
    // read, and the list and the boxes stay as they are.
    bool FillEntryList(StoreError* error);
    void showEntry(const std::optional<CodeTableEntry>& row);
    void showUnavailable(const StoreError& error);
    void tellStoreFailure(const QString& what, const StoreError& error);
    void reloadAfterChange(const QString& done);

    QGroupBox* Frame1 = nullptr;
    QTreeView* ListView1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* m_unavailable = nullptr; // takes the list's place when the table cannot be read
    QString m_note;                  // what the note line (Label6) says but about a code being typed

    QString TableName;
    QString EntryId; // the entry being edited; empty in new-entry mode
    std::unique_ptr<CodeTableStore> m_store;
    std::shared_ptr<UserCopy::InUse> m_copyInUse;
    EntryList* m_list = nullptr;
    // The sort belongs to the list, not to its rows: it survives every refill. Until the first
    // click on a column header the list shows the entries as stored, in ID order.
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
