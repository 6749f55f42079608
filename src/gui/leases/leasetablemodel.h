#pragma once

#include <QAbstractTableModel>
#include <QDate>
#include <QList>

#include <vector>

class LeaseBook;
class RecordTable;

// The rows of the "Договоры" window: the leases of a book that touch the rooms in scope (all of
// them when none are given), as a rent roll on a day. Sorting goes by the UserRole, which gives
// dates and numbers rather than their texts.
class LeaseTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Tenant, Contract, Rooms, Area, Start, End, MonthsLeft, Rate, Rent, Note, ColumnCount };

    LeaseTableModel(const RecordTable &table, QObject *parent = nullptr);

    // Rebuilds the rows; keys empty for the whole complex, tenant empty for every tenant.
    void reset(const LeaseBook *book, const QList<quint32> &keys, const QString &tenant, QDate day);
    // The lease index in the book of a model row.
    int leaseAt(int row) const { return m_rows[size_t(row)].lease; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        int lease = 0;
        QString rooms;
        double area = 0;
        bool inForce = false;
    };
    const RecordTable &m_table;
    const LeaseBook *m_book = nullptr;
    QDate m_day;
    std::vector<Row> m_rows;
};
