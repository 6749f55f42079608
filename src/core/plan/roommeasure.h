#pragma once

#include "core/plan/floodfill.h"

#include <QImage>

#include <span>
#include <vector>

// What repainting a plan tells about each of its rooms: how many floor pixels the room's own
// fill painted, or why that count says nothing about the room.
struct RoomPixels
{
    enum class Kind {
        Counted,
        LabelOutside, // the label point is not on the plan
        LabelCovered, // after painting, another room's colour covers the label point
        NotPainted,   // the label point already wore the key: the plan file itself holds it,
                      // or an earlier room has the same key
    };
    Kind kind = Kind::Counted;
    qint64 pixels = 0;

    friend bool operator==(const RoomPixels &, const RoomPixels &) = default;
};

namespace RoomMeasure {

// Repaints the rooms in order at their label points, counting while filling, and then looks
// at each label point. The image should come as loaded, without room colours. A room counts
// only when its own fill painted it and its label point still wears its key at the end: an
// area is never guessed from a fill that another room overran.
// Returns the union of the filled boxes.
QRect repaintCounting(QImage &image, std::span<const RoomSeed> rooms, std::vector<RoomPixels> &result);

} // namespace RoomMeasure
