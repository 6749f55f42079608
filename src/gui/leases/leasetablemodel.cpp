#include "gui/leases/leasetablemodel.h"

#include "core/base/numbertext.h"
#include "core/leases/leasebook.h"
#include "core/leases/leasedrooms.h"
#include "core/model/recordtable.h"

#include <QBrush>
#include <QFont>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

LeaseTableModel::LeaseTableModel(const RecordTable &table, QObject *parent)
    : QAbstractTableModel(parent)
    , m_table(table)
{}

void LeaseTableModel::reset(const LeaseBook *book, const QList<quint32> &keys, const QString &tenant,
                            QDate day)
{
    beginResetModel();
    m_book = book;
    m_day = day;
    m_rows.clear();
    for (int i = 0; book && !book->isRefused() && i < book->count(); ++i) {
        const Lease &lease = book->lease(i);
        if (!tenant.isEmpty() && lease.tenant != tenant)
            continue;
        if (!keys.isEmpty() &&
            std::none_of(keys.begin(), keys.end(), [&](quint32 key) { return lease.covers(key); }))
            continue;
        Row row{i, {}, 0, lease.inForce(day)};
        const LeasedRooms leased(lease, m_table);
        QStringList rooms;
        for (const LeasedRooms::Room &room : leased.rooms) {
            rooms << (room.row > 0 ? u"%1 (%2)"_s.arg(room.name.isEmpty() ? u"без названия"_s : room.name, room.plan)
                                   : u"ключ %1 — записи нет"_s.arg(room.key));
        }
        row.area = leased.area;
        row.rooms = rooms.join(u", "_s);
        m_rows.push_back(std::move(row));
    }
    endResetModel();
}

int LeaseTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int LeaseTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LeaseTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_book || index.row() >= rowCount())
        return {};
    const Row &row = m_rows[size_t(index.row())];
    const Lease &lease = m_book->lease(row.lease);
    const bool sorting = role == Qt::UserRole;
    if (role == Qt::ForegroundRole && !row.inForce)
        return QBrush(Qt::gray);
    if (role == Qt::TextAlignmentRole) {
        const int column = index.column();
        if (column == Area || column == MonthsLeft || column == Rate || column == Rent)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    if (role != Qt::DisplayRole && !sorting && role != Qt::ToolTipRole)
        return {};
    const std::optional<double> rent = LeasedRooms::monthlyRent(lease, row.area);
    switch (index.column()) {
    case Tenant:
        return lease.tenant;
    case Contract:
        return lease.contract;
    case Rooms:
        return row.rooms;
    case Area:
        return sorting ? QVariant(row.area) : QVariant(NumberText::format(row.area));
    case Start:
        if (sorting)
            return lease.start.isValid() ? lease.start : QDate(1, 1, 1);
        return lease.start.isValid() ? LeaseDate::format(lease.start) : u"не указано"_s;
    case End:
        if (sorting)
            return lease.end.isValid() ? lease.end : QDate(9999, 12, 31);
        return lease.end.isValid() ? LeaseDate::format(lease.end) : u"бессрочно"_s;
    case MonthsLeft:
        if (!lease.end.isValid())
            return sorting ? QVariant(1e9) : QVariant();
        if (lease.end < m_day)
            return sorting ? QVariant(-1) : QVariant(u"истёк"_s);
        return LeaseDate::monthsBetween(m_day, lease.end);
    case Rate:
        return sorting ? QVariant(lease.rate.value_or(-1)) : QVariant(LeaseBook::rateText(lease.rate));
    case Rent:
        return sorting ? QVariant(rent.value_or(-1))
                       : QVariant(rent ? NumberText::format(*rent) : QString());
    case Note:
        return lease.note;
    default:
        return {};
    }
}

QVariant LeaseTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const QStringList names{u"Арендатор"_s,
                                   u"Договор"_s,
                                   u"Помещения"_s,
                                   u"Площадь, м²"_s,
                                   u"Начало"_s,
                                   u"Конец"_s,
                                   u"Осталось, мес."_s,
                                   u"Ставка, ₽/м²"_s,
                                   u"В месяц, ₽"_s,
                                   u"Примечание"_s};
    return names.value(section);
}
