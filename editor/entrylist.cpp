#include "entrylist.h"

#include <QScopedValueRollback>
#include <utility>

namespace {

// A page: many more rows than the view shows, few enough to read at once from a slow disk.
constexpr int kPage = 256;
// A part of the count, which a disk that takes 2 ms a page reads in well under 100 ms; the event
// loop turns between parts.
constexpr qint64 kCountPart = 4096;

} // namespace

EntryList::EntryList(CodeTableStore& store, QObject* parent) : QAbstractTableModel(parent), m_store(store) {
    m_countMore.setSingleShot(true);
    connect(&m_countMore, &QTimer::timeout, this, &EntryList::countMore);
}

bool EntryList::reload(const QString& table, StoreError* error) {
    m_countMore.stop();
    m_table = table;
    if (!read(0, error))
        return false;
    m_counted = 0;
    countMore();
    return true;
}

bool EntryList::read(qint64 skip, StoreError* error) {
    const QScopedValueRollback<bool> reading(m_reading, true);
    QVector<CodeTableEntry> rows;
    if (!m_store.ListEntries(m_table, m_order, skip, kPage, &rows, error)) {
        m_more = false;
        return false;
    }
    m_more = rows.size() == kPage;
    if (skip == 0) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    } else if (!rows.isEmpty()) {
        beginInsertRows(QModelIndex(), int(m_rows.size()), int(m_rows.size() + rows.size() - 1));
        m_rows += rows;
        endInsertRows();
    }
    return true;
}

// The store counts a part of the table at a time, so that a large table on a slow disk holds the
// window up for a moment only; a count under way goes on when the event loop turns.
void EntryList::countMore() {
    qint64 part = 0;
    StoreError error;
    if (!m_store.CountEntries(m_table, m_counted, kCountPart, &part, &error)) {
        emit failed(error);
        return;
    }
    m_counted += part;
    if (part == kCountPart) {
        m_countMore.start();
        return;
    }
    emit counted(m_counted);
    if (std::exchange(m_sortWaits, false) && !read(0, &error))
        emit failed(error);
}

QVariant EntryList::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid())
        return QVariant();
    const CodeTableEntry& row = m_rows.at(index.row());
    return index.column() == 0 ? row.ts : row.ms;
}

QVariant EntryList::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    return section == 0 ? QStringLiteral("Signal") : QStringLiteral("Morse Code");
}

void EntryList::fetchMore(const QModelIndex& parent) {
    StoreError error;
    if (canFetchMore(parent) && !read(m_rows.size(), &error))
        emit failed(error);
}

void EntryList::sort(int column, Qt::SortOrder order) {
    using Order = CodeTableStore::ListOrder;
    const bool down = order == Qt::DescendingOrder;
    m_order = column == 0   ? (down ? Order::BySignalDescending : Order::BySignal)
              : column == 1 ? (down ? Order::ByCodeDescending : Order::ByCode)
                            : Order::ById;
    // A sorted page reads the whole table. Once it has been counted, its pages are in memory; until
    // then (a slow disk) the sort waits, for the count reads them a part at a time.
    StoreError error;
    if (m_countMore.isActive())
        m_sortWaits = true;
    else if (!read(0, &error))
        emit failed(error);
}
