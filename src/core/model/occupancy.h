#pragma once

#include "core/model/recordtable.h"

class RoomFlags;

// Whether a room is let, vacant or a place of common use: the one rule of the plan colouring,
// its legends (on screen and in the PDF), the summary, the stacking plan and the workbook, so
// that no two of them can count a room differently. A common area is common whoever is
// typed as its tenant (check reports that as "common-let"); of the other rooms those without a
// tenant are vacant.
namespace Occupancy {

enum class State { Let, Vacant, Common };

State of(const RecordTable::Row &row, const RoomFlags &flags);
// For a caller that already knows whether the room is flagged common.
State of(const RecordTable::Row &row, bool common);

} // namespace Occupancy
