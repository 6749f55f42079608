#include "core/leases/leasedrooms.h"

#include "core/base/numbertext.h"
#include "core/model/recordtable.h"

#include <algorithm>
#include <cmath>

LeasedRooms::LeasedRooms(const Lease &lease, const RecordTable &table)
{
    rooms.reserve(size_t(lease.rooms.size()));
    for (const LeaseRoom &leased : lease.rooms) {
        Room room;
        room.key = leased.key;
        room.row = std::max(table.rowOfColour(leased.key), 0);
        room.plan = room.row > 0 ? table.cellText(RecordTable::PlanId, room.row) : leased.plan;
        if (room.row > 0) {
            room.name = table.cellText(RecordTable::Name, room.row);
            room.area = NumberText::area(table.cellText(RecordTable::Area, room.row));
        }
        area += room.area.value_or(0);
        rooms.push_back(std::move(room));
    }
}

QStringList LeasedRooms::plans() const
{
    QStringList plans;
    for (const Room &room : rooms) {
        if (!plans.contains(room.plan))
            plans << room.plan;
    }
    return plans;
}

std::optional<double> LeasedRooms::monthlyRent(const Lease &lease, double area)
{
    if (!lease.rate)
        return std::nullopt;
    return std::round(*lease.rate * area * 100) / 100;
}
