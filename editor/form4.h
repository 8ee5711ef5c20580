#pragma once

#include "codetablestore.h"
#include "usercopy.h"

#include <QDialog>
#include <QElapsedTimer>
#include <functional>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

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
// A table large enough, or on a disk slow enough, that its list takes more than a moment to read
// is read a part at a time from the event loop, while a progress window over the editor says how
// many entries have been read and offers to stop. Stopped, the list shows the entries read so far.
class Form4 : public QDialog {
    Q_OBJECT
public:
    explicit Form4(QWidget* parent = nullptr);
    ~Form4() override;

    void ListView1_ColumnClick(int column);
    void ListView1_ItemClick(QTreeWidgetItem* item);
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
    using Failed = std::function<void(const StoreError&)>;
    // Reloads the list and returns to new-entry mode once it is read; when the table cannot be
    // read, failed says why and the list and the boxes stay as they are. The listing may end
    // after this returns (see above).
    void FillEntryList(Failed failed);
    void listMore(std::chrono::milliseconds slice);
    void stopListing();
    void endListing();
    void showRows(bool stopped);
    // Whether the buttons and the list may act: a store given up, or a listing under way, says no.
    bool busy() const;
    void enterNewEntryMode();
    void showUnavailable(const StoreError& error);
    void tellStoreFailure(const QString& what, const StoreError& error);
    void reloadAfterChange(const QString& done);

    QGroupBox* Frame1 = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* m_unavailable = nullptr; // takes the list's place when the table cannot be read
    QString m_note;                  // what the note line (Label6) says but about a code being typed

    QString TableName;
    QString EntryId;        // the entry being edited; empty in new-entry mode
    bool m_editing = false; // edit mode, else new-entry mode
    std::unique_ptr<CodeTableStore> m_store;
    std::shared_ptr<UserCopy::InUse> m_copyInUse;
    QVector<CodeTableEntry> m_rows; // read so far by the listing under way
    Failed m_listingFailed;         // set while a listing is under way
    QTimer* m_nextPart = nullptr;   // reads the next part of a listing when the event loop turns
    QProgressDialog* m_progress = nullptr;
    // The sort belongs to the list, not to its rows: it survives every refill.
    int m_sortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
