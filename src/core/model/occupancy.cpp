#include "core/model/occupancy.h"

#include "core/model/roomflags.h"

namespace Occupancy {

State of(const RecordTable::Row &row, const RoomFlags &flags)
{
    return of(row, flags.isCommonKey(row[RecordTable::ColourKey]));
}

State of(const RecordTable::Row &row, bool common)
{
    if (common)
        return State::Common;
    return row[RecordTable::Tenant].isEmpty() ? State::Vacant : State::Let;
}

} // namespace Occupancy
