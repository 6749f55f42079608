#include "core/rooms/openingfinder.h"

#include "core/rooms/cvplan.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <cstdlib>

namespace {

// Rows of a scan whose floor runs between two wall ends stay one opening while their ends move
// by at most a quarter of a wall's thickness (two points at least) from row to row: ragged
// scanned and compressed edges, and a sheet turned by a degree or two.
int endDrift(int wall)
{
    return std::max(2, wall / 4);
}

// One run of floor across an opening, gathered over consecutive rows.
struct Band
{
    int left = 0;  // the run's first floor pixel in the last row
    int right = 0; // its last floor pixel
    int minLeft = 0;
    int maxRight = 0;
    int firstRow = 0;
    int lastRow = 0;
};

struct Limits
{
    int maxGap;
    int minDepth;
    int maxDepth;
    int thinStroke; // black runs up to this long are drawing across the floor, not wall
    int wallEnd;    // a side of an opening is wall this deep at least: not a letter, not a line
    int drift;      // how far an opening's ends may move from row to row
    int probe;      // how far from an opening its sides are looked at
};

// How far the wall runs from (x, y) in steps of dx, up to `enough`.
int wallDepth(const cv::Mat &walls, int x, int y, int dx, int enough)
{
    int depth = 0;
    while (depth < enough && x >= 0 && x < walls.cols && walls.at<uchar>(y, x)) {
        ++depth;
        x += dx;
    }
    return depth;
}

// The floor run of row y through x, thin strokes across it looked through: its first and
// last pixel, or -1 and -1 when x is wall.
std::pair<int, int> floorRunAt(const cv::Mat &walls, int x, int y, int thinStroke)
{
    if (y < 0 || y >= walls.rows || walls.at<uchar>(y, x))
        return {-1, -1};
    const uchar *p = walls.ptr<uchar>(y);
    const auto reach = [&](int from, int step) {
        int at = from;
        for (;;) {
            int next = at + step;
            if (next < 0 || next >= walls.cols)
                return at;
            if (!p[next]) {
                at = next;
                continue;
            }
            int end = next, black = 0;
            while (end >= 0 && end < walls.cols && p[end] && black <= thinStroke) {
                ++black;
                end += step;
            }
            if (black > thinStroke || end < 0 || end >= walls.cols)
                return at;
            at = end;
        }
    };
    return {reach(x, -1), reach(x, 1)};
}

// An opening leads from floor into floor that is wider than the opening on both of its sides,
// and wider past the same end (past both, for a door in the middle of a wall): a band closed
// at one side is a niche, a band whose floor goes on as narrow is a stretch of a corridor, and
// one widening past opposite ends is the corridor between two doors across it. Door leaves
// and arcs may lie across one point of that floor, so three are looked at.
void finish(const Band &band, const cv::Mat &walls, const Limits &limits, std::vector<ClosingLine> &lines)
{
    const int depth = band.lastRow - band.firstRow + 1;
    if (depth < limits.minDepth || depth > limits.maxDepth)
        return;
    const auto widens = [&](int y) {
        int ends = 0;
        for (int part = 1; part <= 3; ++part) {
            const auto [left, right] = floorRunAt(
                walls, band.minLeft + (band.maxRight - band.minLeft) * part / 4, y, limits.thinStroke);
            if (left < 0)
                continue;
            if (left <= band.minLeft - limits.wallEnd)
                ends |= 1;
            if (right >= band.maxRight + limits.wallEnd)
                ends |= 2;
        }
        return ends;
    };
    // Looked at half a wall away, past the slant of a sheet turned a degree or two.
    if ((widens(band.firstRow - 1 - limits.probe) & widens(band.lastRow + 1 + limits.probe)) == 0)
        return;
    const int row = (band.firstRow + band.lastRow) / 2;
    if (wallDepth(walls, band.minLeft - 1, row, -1, limits.wallEnd) < limits.wallEnd ||
        wallDepth(walls, band.maxRight + 1, row, 1, limits.wallEnd) < limits.wallEnd)
        return;
    lines.push_back({QPoint(band.minLeft - 1, row), QPoint(band.maxRight + 1, row), depth});
}

// The floor runs of one row that lie between two walls: runs of wall pixels, thin drawing
// across the floor taken as floor.
void floorBetweenWalls(const uchar *p, int width, int thinStroke, std::vector<std::pair<int, int>> &runs)
{
    runs.clear();
    int x = 0;
    while (x < width && !p[x])
        ++x;
    // x is on a wall (or past the row); gather floor up to the next wall run longer than thin.
    while (x < width) {
        while (x < width && p[x])
            ++x;
        const int left = x;
        int right = -1;
        while (x < width) {
            while (x < width && !p[x])
                ++x;
            right = x - 1;
            int end = x;
            while (end < width && p[end])
                ++end;
            if (end - x > thinStroke || end >= width)
                break;
            x = end;
        }
        if (x >= width)
            return;
        runs.emplace_back(left, right);
    }
}

// Openings whose closing line runs along the rows of `walls` (255 on walls and lines).
std::vector<ClosingLine> alongRows(const cv::Mat &walls, const Limits &limits)
{
    std::vector<ClosingLine> lines;
    std::vector<Band> open, next;
    std::vector<std::pair<int, int>> runs;
    for (int y = 0; y < walls.rows; ++y) {
        floorBetweenWalls(walls.ptr<uchar>(y), walls.cols, limits.thinStroke, runs);
        next.clear();
        for (const auto &[left, right] : runs) {
            if (right - left + 1 > limits.maxGap)
                continue;
            Band band{left, right, left, right, y, y};
            for (Band &o : open) {
                if (o.lastRow == y - 1 && std::abs(o.left - left) <= limits.drift &&
                    std::abs(o.right - right) <= limits.drift) {
                    band = o;
                    band.left = left;
                    band.right = right;
                    band.minLeft = std::min(band.minLeft, left);
                    band.maxRight = std::max(band.maxRight, right);
                    band.lastRow = y;
                    o.lastRow = -2; // taken over
                    break;
                }
            }
            next.push_back(band);
        }
        for (const Band &o : open)
            if (o.lastRow == y - 1)
                finish(o, walls, limits, lines);
        std::swap(open, next);
    }
    // Bands still open at the sheet's last row have no floor below them.
    return lines;
}

} // namespace

std::vector<ClosingLine> CvPlan::openings(const cv::Mat &black, const OpeningFinder::Options &options)
{
    StrokeWidths widths;
    if (options.wallThickness <= 0 || options.lineWidth <= 0)
        widths = strokeWidths(black);
    const int line = options.lineWidth > 0 ? options.lineWidth : widths.line;
    const int wall = options.wallThickness > 0 ? options.wallThickness : widths.wall;

    // Door leaves and arcs cross an opening's floor; strokes as thin as the drawing's lines
    // are looked through where the walls are distinctly thicker. Outer walls are commonly two
    // or three times the inner ones.
    const Limits limits{options.maxGap > 0 ? options.maxGap : 10 * wall,
                        std::max(2, (2 * wall) / 5),
                        4 * wall + 2,
                        wall >= line + 3 ? line + 1 : 0,
                        std::max(2, (3 * wall) / 5),
                        endDrift(wall),
                        wall / 2};
    std::vector<ClosingLine> lines = alongRows(black, limits);
    cv::Mat turned;
    cv::transpose(black, turned);
    for (const ClosingLine &l : alongRows(turned, limits))
        lines.push_back({QPoint(l.from.y(), l.from.x()), QPoint(l.to.y(), l.to.x()), l.width});
    return lines;
}

std::vector<ClosingLine> OpeningFinder::find(const QImage &plan, const Options &options)
{
    return CvPlan::openings(CvPlan::blackMask(plan), options);
}
