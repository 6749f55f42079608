#pragma once

#include "core/leases/lease.h"
#include "core/model/recordtable.h"

#include <QDate>
#include <QHash>

#include <vector>

class LeaseBook;

// The leases read by day: which lease holds a room on a date, how soon it ends, and the record
// table as it stood (or will stand) on that date. Built once per state of the book, so that a
// colouring or a figure of 5 000 rooms with 50 000 leases costs a look-up per room.
//
// A room with leases is let on a day exactly when one of them is in force; its record's
// tenant (Инфо2) then says nothing for that day. A room without any lease keeps its record's
// tenant on every day: a lease whose dates are not known.
class LeaseCalendar
{
public:
    explicit LeaseCalendar(const LeaseBook &book);

    // How the colouring "Сроки аренды" tells rooms apart on a day.
    enum class Term {
        NoLease,   // no lease in force and none ended: never let, or let with dates not known
        Ended,     // its last lease ended before the day and no other holds it
        Within3,   // in force, ending within 3 months
        Within12,  // in force, ending within 12 months
        Later,     // in force, ending later
        OpenEnded, // in force without an end
    };

    bool hasLeases(quint32 key) const { return m_byKey.contains(key); }
    const Lease &lease(int index) const;
    // The index of the lease holding the room on the day; -1 when none does.
    int inForce(quint32 key, QDate day) const;
    Term term(quint32 key, QDate day) const;
    static Term termOf(const Lease &lease, QDate day);

    // The table's records with each tenant as of the day (the record's own where the room has
    // no lease): every figure built on tenants (let and vacant area, the tenants' rentable
    // areas, the stacking plan, the workbook) is then a figure as of that day.
    std::vector<RecordTable::Row> rowsAsOf(const RecordTable &table, QDate day) const;

    // Records whose tenant (Инфо2) is not that of the lease in force on the day: the rooms to
    // offer a new tenant for, and what `check` reports.
    struct Mismatch
    {
        int row = 0;
        int lease = -1; // -1: the room has leases, but none in force
        QString recordTenant;
        QString leaseTenant;
    };
    std::vector<Mismatch> tenantMismatches(const RecordTable &table, QDate day) const;

private:
    const LeaseBook &m_book;
    // Per room, its leases by start.
    QHash<quint32, std::vector<int>> m_byKey;
};

namespace LeaseExpiry {

// A lease ending after `from` and no later than `months` months after it, with what the
// summary's and the portfolio's tables show of it.
struct Ending
{
    int lease = 0;
    QString tenant;
    QString contract;
    QDate end;
    double area = 0;   // of its rooms' records whose area is a number
    QStringList plans; // in the order of its rooms
};
// The leases of the book ending within the months after `from`, soonest first. The one plain
// function a report over many archives needs: no window, no session, only the table and the book.
std::vector<Ending> endingWithin(const LeaseBook &book, const RecordTable &table, QDate from,
                                 int months = 12);

} // namespace LeaseExpiry
