#pragma once

#include "core/leases/lease.h"

#include <QStringList>

#include <optional>
#include <vector>

class RecordTable;

// A lease's rooms as the records stand now: what the lists, the rent roll and the batch tool
// show of a lease, worked out in one place.
struct LeasedRooms
{
    struct Room
    {
        quint32 key = 0;
        int row = 0;  // the record's row, 0 when the record is gone
        QString plan; // the record's plan, or the one the lease was written on
        QString name;
        std::optional<double> area; // none when the record is gone or its area no number
    };

    std::vector<Room> rooms;
    double area = 0; // of the rooms whose area is a number

    LeasedRooms(const Lease &lease, const RecordTable &table);

    // The plans the rooms are on, each once, in the lease's order.
    QStringList plans() const;
    // Rate times area, to the kopeck; none without a rate.
    static std::optional<double> monthlyRent(const Lease &lease, double area);
};
