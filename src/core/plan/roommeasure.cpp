#include "core/plan/roommeasure.h"

#include "core/plan/colourkey.h"

namespace RoomMeasure {

QRect repaintCounting(QImage &image, std::span<const RoomSeed> rooms, std::vector<RoomPixels> &result)
{
    std::vector<qint64> pixels(rooms.size());
    const QRect filled = FloodFill().repaintRooms(image, rooms, pixels);
    result.assign(rooms.size(), {});
    for (size_t i = 0; i < rooms.size(); ++i) {
        const QPoint p = rooms[i].labelPoint;
        RoomPixels &room = result[i];
        if (!image.rect().contains(p)) {
            room.kind = RoomPixels::Kind::LabelOutside;
            continue;
        }
        const auto found = reinterpret_cast<const QRgb *>(image.constScanLine(p.y()))[p.x()];
        if (ColourKey::fromRgb(found) != (rooms[i].key & ColourKey::kRgbMask))
            room.kind = RoomPixels::Kind::LabelCovered;
        else if (pixels[i] == 0)
            room.kind = RoomPixels::Kind::NotPainted;
        else
            room.pixels = pixels[i];
    }
    return filled;
}

} // namespace RoomMeasure
