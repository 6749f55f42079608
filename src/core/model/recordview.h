#pragma once

#include "core/model/captions.h"
#include "core/model/recordtable.h"

#include <QSortFilterProxyModel>

// What the grid shows of the record table: all rows in table order, or the records that match
// a search, sorted by a column for viewing. The table itself is never reordered or changed;
// every handler that works on row numbers asks tableRow() for the row under the view's own.
//
// A search matches a record when any of its cells holds the text, ignoring case, and for the
// type column also the type's caption. The EntryRow is not a record: a search never lists it,
// and a sort keeps it last.
class RecordView : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    // The captions stay owned by the caller; call captionsChanged() after changing them.
    RecordView(RecordTable &table, const Captions &captions, QObject *parent = nullptr);

    void setSearch(const QString &text);
    const QString &search() const { return m_search; }
    void captionsChanged();
    // Records that match the search (all records when there is none).
    int matchCount() const;
    // Rows shown in another order or some left out: row moves would surprise the user then.
    bool isRearranged() const { return !m_search.isEmpty() || sortColumn() >= 0; }

    // Table row (1 ..) of a view row (0 ..), and back; 0 and -1 when there is none.
    int tableRow(int viewRow) const;
    int viewRow(int tableRow) const;

    // Whether a record matches a search text; the rule the grid filters by.
    static bool matches(const RecordTable::Row &row, const Captions &captions, const QString &text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    RecordTable &m_table;
    const Captions &m_captions;
    QString m_search;
};
