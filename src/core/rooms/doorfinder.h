#pragma once

#include <opencv2/core.hpp>

#include <vector>

// Finds the doors drawn as their swing: a quarter circle about the hinge, from the open leaf's
// end to the opposite jamb, with the leaf drawn or not. Architects, estate agents and plan
// services all draw doors so, and the swing tells what no width rule can: where the doorway is
// and across which line it closes, even when the corridor behind it is no wider than the door.
class DoorFinder
{
public:
    // The closed door: from the hinge, along the wall, to the opposite jamb.
    struct Door
    {
        cv::Point2d hinge;
        cv::Point2d jamb;
    };

    struct Found
    {
        std::vector<Door> doors;
        cv::Mat swings;     // 255 on the swings' strokes (empty when no door is found)
        cv::Mat partitions; // 255 on the thin partitions the doorways continue
    };

    // `drawing` is 255 where the plan is drawn (its thin drawing included), `walls` 255 on the
    // walls found. A swing is looked for in the thin drawing off the walls, with its radius
    // between the two limits, its hinge at a wall and its jamb end against a wall, or one of
    // them against a partition drawn as a single thin line, which is then a wall too.
    static Found find(const cv::Mat &drawing, const cv::Mat &walls, int lineWidth, int minRadius,
                      int maxRadius);
    // Draws each door's line into `walls`, `thickness` points wide, reaching into the walls at
    // both ends.
    static void close(cv::Mat &walls, const std::vector<Door> &doors, int thickness);
};
