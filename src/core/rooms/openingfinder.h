#pragma once

#include "core/rooms/closingline.h"

#include <QImage>

#include <vector>

// Finds the openings of a prepared plan (black walls on white) that a closing line should cross:
// doors, passages and window gaps, seen as a stretch of floor between two wall ends that face
// each other across at most `maxGap` pixels, as deep as a wall is thick. Thin drawing (door
// leaves and arcs, furniture) is looked through: only strokes as thick as walls count as walls.
class OpeningFinder
{
public:
    struct Options
    {
        int wallThickness = 0; // 0: measured on the plan
        int lineWidth = 0;     // 0: measured on the plan
        int maxGap = 0;        // 0: ten wall thicknesses (about 1,2 m for 12 cm walls)
    };

    static std::vector<ClosingLine> find(const QImage &plan, const Options &options);
};
