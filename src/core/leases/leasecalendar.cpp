#include "core/leases/leasecalendar.h"

#include "core/base/numbertext.h"
#include "core/leases/leasebook.h"
#include "core/plan/colourkey.h"

#include <algorithm>

LeaseCalendar::LeaseCalendar(const LeaseBook &book)
    : m_book(book)
{
    m_byKey.reserve(book.count());
    for (int i = 0; i < book.count(); ++i) {
        for (const LeaseRoom &room : book.lease(i).rooms)
            m_byKey[room.key].push_back(i);
    }
    for (std::vector<int> &list : m_byKey) {
        std::sort(list.begin(), list.end(), [&](int a, int b) {
            const QDate sa = book.lease(a).start, sb = book.lease(b).start;
            if (sa.isValid() != sb.isValid())
                return !sa.isValid();
            return sa < sb || (sa == sb && a < b);
        });
    }
}

const Lease &LeaseCalendar::lease(int index) const
{
    return m_book.lease(index);
}

int LeaseCalendar::inForce(quint32 key, QDate day) const
{
    const auto it = m_byKey.constFind(key);
    if (it == m_byKey.cend())
        return -1;
    // The latest start on or before the day holds the room when any does (edits keep a
    // room's leases apart); a file with overlaps still gives its latest.
    for (auto lease = it->rbegin(); lease != it->rend(); ++lease) {
        const Lease &candidate = m_book.lease(*lease);
        if (candidate.start.isValid() && candidate.start > day)
            continue;
        if (candidate.inForce(day))
            return *lease;
    }
    return -1;
}

LeaseCalendar::Term LeaseCalendar::termOf(const Lease &lease, QDate day)
{
    if (!lease.end.isValid())
        return Term::OpenEnded;
    if (lease.end <= day.addMonths(3))
        return Term::Within3;
    if (lease.end <= day.addMonths(12))
        return Term::Within12;
    return Term::Later;
}

LeaseCalendar::Term LeaseCalendar::term(quint32 key, QDate day) const
{
    const int lease = inForce(key, day);
    if (lease >= 0)
        return termOf(m_book.lease(lease), day);
    const auto it = m_byKey.constFind(key);
    if (it == m_byKey.cend())
        return Term::NoLease;
    for (const int index : *it) {
        const QDate end = m_book.lease(index).end;
        if (end.isValid() && end < day)
            return Term::Ended;
    }
    return Term::NoLease;
}

std::vector<RecordTable::Row> LeaseCalendar::rowsAsOf(const RecordTable &table, QDate day) const
{
    std::vector<RecordTable::Row> rows = table.rows();
    if (m_byKey.isEmpty())
        return rows;
    // The EntryRow is no record and keeps its dates.
    for (size_t r = 0; r + 1 < rows.size(); ++r) {
        RecordTable::Row &row = rows[r];
        const auto key = parseCellNumber(row[RecordTable::ColourKey]);
        if (!key || !ColourKey::namesRoom(*key) || !hasLeases(quint32(*key)))
            continue;
        const int lease = inForce(quint32(*key), day);
        row[RecordTable::Tenant] = lease >= 0 ? m_book.lease(lease).tenant : QString();
    }
    return rows;
}

std::vector<LeaseCalendar::Mismatch> LeaseCalendar::tenantMismatches(const RecordTable &table,
                                                                     QDate day) const
{
    std::vector<Mismatch> found;
    if (m_byKey.isEmpty())
        return found;
    for (int r = 1; r <= table.recordCount(); ++r) {
        const RecordTable::Row &row = table.row(r);
        const auto key = parseCellNumber(row[RecordTable::ColourKey]);
        if (!key || !ColourKey::namesRoom(*key) || !hasLeases(quint32(*key)))
            continue;
        const int lease = inForce(quint32(*key), day);
        const QString leaseTenant = lease >= 0 ? m_book.lease(lease).tenant : QString();
        if (leaseTenant.trimmed() != row[RecordTable::Tenant].trimmed())
            found.push_back({r, lease, row[RecordTable::Tenant], leaseTenant});
    }
    return found;
}

namespace LeaseExpiry {

std::vector<Ending> endingWithin(const LeaseBook &book, const RecordTable &table, QDate from, int months)
{
    std::vector<Ending> found;
    const QDate last = from.addMonths(months);
    for (int i = 0; i < book.count(); ++i) {
        const Lease &lease = book.lease(i);
        if (!lease.end.isValid() || lease.end <= from || lease.end > last)
            continue;
        Ending ending{i, lease.tenant, lease.contract, lease.end, 0, {}};
        for (const LeaseRoom &room : lease.rooms) {
            const int row = table.rowOfColour(room.key);
            const QString plan = row > 0 ? table.cellText(RecordTable::PlanId, row) : room.plan;
            if (!ending.plans.contains(plan))
                ending.plans.append(plan);
            if (row > 0)
                ending.area += NumberText::area(table.cellText(RecordTable::Area, row)).value_or(0);
        }
        found.push_back(std::move(ending));
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Ending &a, const Ending &b) { return a.end < b.end; });
    return found;
}

} // namespace LeaseExpiry
