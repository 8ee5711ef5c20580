#pragma once

#include "codetablestore.h"

#include <QAbstractTableModel>
#include <QTimer>

// The code table editor's list: the entries of one code table, read from the store a page at a
// time as the view scrolls to them, in the order of the sort, which the store's ORDER BY gives.
// The window never waits on a whole table, and only the rows shown so far are kept. The entries
// are counted apart, a part at a time between events, and counted() gives the total.
class EntryList : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit EntryList(CodeTableStore& store, QObject* parent = nullptr);

    // Lists table afresh: its first page, then the count. False, with why, when the table cannot
    // be read; the list is then as it was.
    bool reload(const QString& table, StoreError* error);
    const CodeTableEntry& entry(int row) const { return m_rows.at(row); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : 2; }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Not while a page is being added: one asked for by a view as it hears of the rows coming
    // would read the same page again. Nor while a sort waits: a page of the new order would follow
    // rows of the old.
    bool canFetchMore(const QModelIndex& parent) const override {
        return !parent.isValid() && m_more && !m_reading && !m_sortWaits;
    }
    void fetchMore(const QModelIndex& parent) override;
    // By the signal (column 0) or the code (1); any other column keeps the order as stored.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
    void counted(qint64 entries);
    // A later page, a sort or a part of the count could not be read: the list ends where it is.
    void failed(const StoreError& error);

private:
    // Reads the page after the first skip rows: the first page starts the list again.
    bool read(qint64 skip, StoreError* error);
    void countMore();

    CodeTableStore& m_store;
    QString m_table;
    CodeTableStore::ListOrder m_order = CodeTableStore::ListOrder::ById;
    QVector<CodeTableEntry> m_rows;
    bool m_more = false;      // the last page read was full
    bool m_reading = false;   // a page is being read and added
    qint64 m_counted = 0;     // so far
    bool m_sortWaits = false; // a sort asked for while counting
    QTimer m_countMore;       // goes on counting when the event loop turns
};
