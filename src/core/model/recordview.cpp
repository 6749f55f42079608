#include "core/model/recordview.h"

#include "core/base/numbertext.h"

RecordView::RecordView(RecordTable &table, const Captions &captions, QObject *parent)
    : QSortFilterProxyModel(parent)
    , m_table(table)
    , m_captions(captions)
{
    setSourceModel(&table);
    // Rows are filtered in filterAcceptsRow, sorted in lessThan; a changed cell is placed again.
    setDynamicSortFilter(true);
}

void RecordView::setSearch(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed == m_search)
        return;
    m_search = trimmed;
    invalidateRowsFilter();
}

void RecordView::captionsChanged()
{
    if (!m_search.isEmpty())
        invalidateRowsFilter();
}

int RecordView::matchCount() const
{
    // The EntryRow is shown only when there is no search.
    return m_search.isEmpty() ? m_table.recordCount() : rowCount();
}

int RecordView::tableRow(int viewRow) const
{
    const QModelIndex source = mapToSource(index(viewRow, 0));
    return source.isValid() ? source.row() + 1 : 0;
}

int RecordView::viewRow(int tableRow) const
{
    const QModelIndex view = mapFromSource(m_table.index(tableRow - 1, 0));
    return view.isValid() ? view.row() : -1;
}

bool RecordView::matches(const RecordTable::Row &row, const Captions &captions, const QString &text)
{
    if (text.isEmpty())
        return true;
    for (const QString &cell : row)
        if (cell.contains(text, Qt::CaseInsensitive))
            return true;
    const int type = RecordTable::typeIndex(row[RecordTable::Type]);
    return type >= 0 && captions[Captions::FirstType + type].contains(text, Qt::CaseInsensitive);
}

bool RecordView::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const int r = sourceRow + 1;
    if (m_search.isEmpty())
        return true;
    return r < m_table.entryRow() && matches(m_table.row(r), m_captions, m_search);
}

bool RecordView::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const int a = left.row() + 1;
    const int b = right.row() + 1;
    if (a == b)
        return false;
    // The view reverses the comparison for a descending sort; the EntryRow stays last either way.
    const bool ascending = sortOrder() == Qt::AscendingOrder;
    if (a == m_table.entryRow() || b == m_table.entryRow())
        return (b == m_table.entryRow()) == ascending;
    const int column = left.column();
    const QString &x = m_table.cellText(column, a);
    const QString &y = m_table.cellText(column, b);
    // Areas, keys and label points compare as numbers; a cell that is none sorts after them.
    if (column == RecordTable::Area || column >= RecordTable::ColourKey) {
        const auto number = [column](const QString &text) -> std::optional<double> {
            if (column == RecordTable::Area)
                return NumberText::area(text);
            if (const auto n = parseCellNumber(text))
                return double(*n);
            return std::nullopt;
        };
        const auto nx = number(x);
        const auto ny = number(y);
        if (nx && ny && *nx != *ny)
            return *nx < *ny;
        if (nx.has_value() != ny.has_value())
            return nx.has_value();
    }
    const int byText = x.compare(y, Qt::CaseInsensitive);
    if (byText != 0)
        return byText < 0;
    // Equal cells keep the table's order in both directions, so a sort never shuffles them.
    return (a < b) == ascending;
}
