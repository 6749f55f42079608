#pragma once

#include "core/rooms/roomfinder.h"

#include <QString>

#include <span>
#include <vector>

class ProjectSession;

// Proposed rooms taken into the project at once: each filled on the plan shown from its point
// with a new key, exactly as a right-click there fills it, and given a record.
namespace RoomAcceptance {

// "Помещение N+1", "Помещение N+2" …: `count` names numbered on from the highest N that a
// record's name "Помещение N" uses (from 1 when none does).
std::vector<QString> freeNames(const ProjectSession &session, int count);

// Marks the rooms (their closing lines already drawn) and appends their records: the name from
// freeNames, no tenant, the measured area typed when the plan has a scale, the type of the
// entry row. A room whose point is no longer unmarked floor is skipped. Returns the keys of
// the records added, in table order.
std::vector<quint32> acceptAll(ProjectSession &session, std::span<const RoomProposal> rooms);

} // namespace RoomAcceptance
