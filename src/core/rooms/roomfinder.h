#pragma once

#include "core/base/workcancel.h"
#include "core/rooms/closingline.h"
#include "core/rooms/stages.h"

#include <QImage>
#include <QPoint>
#include <QRect>

#include <vector>

// A room proposed on a plan: the exact-colour fill from `seed`, on the plan with the proposed
// closing lines drawn, paints exactly these pixels.
struct RoomProposal
{
    QPoint seed;
    qint64 pixels = 0;
    QRect box;
};

// Proposes the rooms of a prepared plan: every region of white floor, after the closing lines
// across openings are drawn, that does not reach the sheet's edge (the outside) and is larger
// than a minimum and than a twentieth of the floor's large rooms. Floor already painted in a
// room's colour is no longer white, so marked rooms are not proposed again.
class RoomFinder
{
public:
    struct Options
    {
        bool closeOpenings = true;
        // Plan pixels per metre, 0 when the plan has no scale: then openings and the smallest
        // room are measured in wall thicknesses.
        double pixelsPerMetre = 0;
        qint64 minPixels = 0; // 0: 1 m² with a scale, else a square four walls wide
        // The plan's widths and its widest door between two rooms.
        struct Openings
        {
            int wallThickness = 0; // 0: measured on the plan
            int lineWidth = 0;     // 0: measured on the plan
            int maxGap = 0;        // 0: from the scale, else from the thick walls
        } openings;
        // When given, becomes the rooms' region map (Grayscale16): room i's pixels hold i + 1,
        // every other pixel 0.
        QImage *regionMap = nullptr;
        // When given, receives the free space the flooding sees, the closing lines and the
        // regions.
        StageSink stages;
        // The user's "Отмена": looked at between the stages (WorkCancelled is thrown).
        const WorkCancel *cancel = nullptr;
    };

    struct Result
    {
        std::vector<ClosingLine> lines;
        std::vector<RoomProposal> rooms; // top to bottom, then left to right
        qint64 minPixels = 0;            // the smallest room, as chosen from the options
    };

    static Result find(const QImage &plan, const Options &options);
    // The regions of a plan as it is, lines already drawn; the map as in Options.
    static std::vector<RoomProposal> regions(const QImage &plan, qint64 minPixels,
                                             QImage *regionMap = nullptr);

    // The widest door opening and the smallest room with a scale.
    static constexpr double kMaxDoorMetres = 1.2;
    static constexpr double kMinRoomSquareMetres = 1.0;
};
