#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// One room a lease covers: its colour key, and the plan it was on when the lease was written
// (kept so that a lease whose room is gone can still say where it was).
struct LeaseRoom
{
    quint32 key = 0;
    QString plan;
    friend bool operator==(const LeaseRoom &, const LeaseRoom &) = default;
};

// A lease: one tenant, one contract, one or several rooms, over a span of days. Both ends are
// days the lease is in force. No start means the start is not known (in force since ever),
// no end an open-ended lease.
struct Lease
{
    QList<LeaseRoom> rooms;
    QString tenant;
    QString contract;
    QDate start;
    QDate end;
    std::optional<double> rate; // roubles per m² per month
    QString note;

    bool inForce(QDate day) const
    {
        return (!start.isValid() || start <= day) && (!end.isValid() || day <= end);
    }
    // Whether the two spans share a day, whatever their rooms.
    bool overlapsInTime(const Lease &other) const
    {
        const bool startsBeforeOtherEnds = !start.isValid() || !other.end.isValid() || start <= other.end;
        const bool otherStartsBeforeEnd = !other.start.isValid() || !end.isValid() || other.start <= end;
        return startsBeforeOtherEnds && otherStartsBeforeEnd;
    }
    bool covers(quint32 key) const
    {
        for (const LeaseRoom &room : rooms) {
            if (room.key == key)
                return true;
        }
        return false;
    }
    // "«А-17» ООО Ромашка, 01.01.2025–31.12.2025": how messages name a lease.
    QString describe() const;

    friend bool operator==(const Lease &, const Lease &) = default;
};

// Dates as the files and the fields write them, "dd.MM.yyyy", read without the locale and far
// faster than QDate::fromString (a project of 50 000 leases reads 100 000 of them).
namespace LeaseDate {
// nullopt for anything that is not a real day written so; an empty text is no date either.
std::optional<QDate> parse(QStringView text);
QString format(QDate date); // empty for an invalid date
// Whole months from `from` until `to` (0 when `to` is not later): 15.01 to 14.03 is one month,
// to 15.03 two.
int monthsBetween(QDate from, QDate to);
} // namespace LeaseDate
