#pragma once

#include "core/rooms/closingline.h"
#include "core/rooms/openingfinder.h"

#include <opencv2/core.hpp>

#include <cstdint>
#include <span>
#include <vector>

// The ends of thick strokes (walls) in any direction, and the openings between ends that face
// each other: window gaps and doors in slanting walls, which the row and column search of
// OpeningFinder does not see. Only the plan folder's .cpp files include this.
namespace WallEnds {

struct End
{
    cv::Point2f tip;       // the outermost point of the end, on the wall
    cv::Point2f direction; // unit vector out of the wall, along its axis
    float width = 0;       // the wall's thickness just behind the end
};

// The ends of the strokes of `walls` (255) that are `wallThickness` thick, give or take a half.
std::vector<End> find(const cv::Mat &walls, int wallThickness);

// Closing lines between ends of `walls` that face each other across at most `maxGap` pixels of
// floor: `black` (255 on everything drawn) is clear between them; and from an end that faces
// no other to the wall straight ahead of it, as far. Openings already closed by one of
// `known` are left out.
std::vector<ClosingLine> facingEnds(const cv::Mat &walls, const cv::Mat &black, int wallThickness, int maxGap,
                                    std::span<const ClosingLine> known = {});

// The strokes of `black` (255) as thick as walls, thin drawing taken out whichever way it runs;
// all of it when the walls are hardly thicker than the lines.
cv::Mat thickStrokes(const cv::Mat &black, int lineWidth, int wallThickness);

// facingEnds on the walls of `black`, with OpeningFinder's widths and widest opening (measured
// or the default when they are 0).
std::vector<ClosingLine> openings(const cv::Mat &black, const OpeningFinder::Options &options,
                                  std::span<const ClosingLine> known = {});

// The thin strokes of `grey` (a plan's brightness) at least `contrast` darker than the paper
// around them that run along most of one of `gaps` (found by facingEnds on `walls`): the
// window lines of slanting walls as much as of straight ones.
cv::Mat inWallLines(const cv::Mat &walls, const cv::Mat &grey, std::span<const ClosingLine> gaps,
                    int contrast, int lineWidth);

// Drops the lines that end on a piece of drawing smaller than a short stretch of wall: the
// letters and figures of a room's name and area, which a bold font leaves as thick as walls.
void dropLoose(std::vector<ClosingLine> &lines, const cv::Mat &black, int wallThickness);

// How many pairs of ends facingEnds has looked at since the program started: each end looks
// only at the ends near it, so a plan full of ends costs about as much per end as a clean one.
std::uint64_t pairsExamined();

} // namespace WallEnds
