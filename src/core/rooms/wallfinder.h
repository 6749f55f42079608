#pragma once

#include <opencv2/core.hpp>

#include <utility>
#include <vector>

// Tells a plan's walls from the rest of its drawing (texts, dimension and construction lines,
// furniture, door leaves and arcs). A wall is a part of the drawing that is thick or densely
// drawn: solid or filled walls of any thickness, and walls drawn as two lines with hatching or
// nothing between them, once the gaps inside them are closed. Such parts are kept when they
// belong to the plan's wall network (long, or joined to long walls); loose thick blobs (bold
// letters, symbols) go. Every size follows from the drawing's own line width.
class WallFinder
{
public:
    struct Result
    {
        cv::Mat walls;         // 255 on the walls
        int lineWidth = 1;     // the commonest stroke width of the whole drawing
        int wallThickness = 1; // the commonest thickness of the walls found
        bool found = false;    // a wall network stands out from the drawing
    };

    // `ink` is 255 where the plan is drawn. `faint`, when given, is the drawing down to its
    // faintest lines (a superset of `ink`): straight thin strokes from wall to wall are looked
    // for there too, since plans draw windows and closet fronts in light grey. `faintest`, when
    // given, holds lighter lines still (a superset of `faint`): door swings are looked for there,
    // as architects draw them in the lightest grey; so light a stroke from wall to wall is more
    // often a rug or a piece of furniture than a closet's front.
    static Result find(const cv::Mat &ink, const cv::Mat &faint = {}, const cv::Mat &faintest = {});
    // What the stroke widths alone tell: the thin drawing's width, as find() reports it in
    // Result::lineWidth, and whether the drawing is of thick strokes alone (a plan already of
    // walls), where find() reports no wall network whatever the walls.
    struct Strokes
    {
        int lineWidth = 1;
        bool thickOnly = false;
    };
    static Strokes strokes(const cv::Mat &ink);
    // The drawing off the walls: `drawing` less the walls and the points touching them.
    static cv::Mat offWalls(const cv::Mat &drawing, const cv::Mat &walls);
    // Pieces kept of that drawing, with the points beside the walls they were cut from given
    // back, so that they meet the walls.
    static cv::Mat rejoined(const cv::Mat &kept, const cv::Mat &drawing);
    // The longer side of piece `i`'s box, in the statistics of OpenCV's connected regions.
    static int side(const cv::Mat &stats, int i);
    // The pieces of the wall network (255, the others 0): those at least a quarter as long as
    // the longest piece, whose length is given back in `longest`.
    static std::vector<uchar> network(const cv::Mat &stats, int count, int &longest);
    // The commonest width of the strokes of a mask (255), measured across them at their middle
    // line so that the length of a wall piece never passes for its thickness, and the width
    // that only a tenth of that middle line exceeds (the outer walls of a plan whose commonest
    // walls are partitions).
    static std::pair<int, int> widths(const cv::Mat &mask);
};
