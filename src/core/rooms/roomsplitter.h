#pragma once

#include "core/rooms/closingline.h"

#include <opencv2/core.hpp>

#include <vector>

// Splits a plan's free space into rooms at its narrow passages, as the distance-transform room
// segmentations of indoor maps do: the floor is flooded from the points farthest from any wall
// downwards; where two flooded parts meet at a passage clearly narrower than both parts (a
// doorway, a window gap towards the outside) they stay apart, otherwise they join (a bay, a
// corridor's bend, the two ends of an open-plan room). The boundaries between parts that stay
// apart become closing lines, so that the exact-colour fill from a point in a room stops there.
class RoomSplitter
{
public:
    struct Options
    {
        // Parts stay apart when each is this many times as wide as the passage between them.
        double widerThanPassage = 1.6;
        // The narrowest room, in pixels of half its width (from its middle to the nearest wall).
        double minHalfWidth = 3;
        // The smallest room, in pixels.
        qint64 minPixels = 64;
        // The widest passage closed between two rooms, and between a room and the outside
        // (an entrance, a window), in pixels; 0: no limit.
        double maxPassage = 0;
        double maxOutsidePassage = 0;
        // When given (CV_8U, the mask's size): points that count as the sheet's edge besides
        // the edge itself, such as the floor along the building's outline.
        cv::Mat outside;
    };

    // `free` is 255 on the floor (white), 0 on walls and lines. The lines are in the mask's
    // own pixels.
    static std::vector<ClosingLine> split(const cv::Mat &free, const Options &options);
    // The same on a plan `factor` times larger than `free`: the lines are given in the large
    // plan's pixels, wide enough to cover the boundary of the small one.
    static std::vector<ClosingLine> split(const cv::Mat &free, const Options &options, int factor);
};
