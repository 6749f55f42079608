#include "core/plan/openingfinder.h"

#include "core/plan/cvplan.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdlib>

namespace {

// Rows of a scan whose floor runs between two wall ends stay one opening while their ends move
// by at most this much from row to row: ragged scanned edges and a sheet turned by a degree or two.
constexpr int kEndDrift = 2;

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
};

bool isFloor(const cv::Mat &walls, int x, int y)
{
    return y >= 0 && y < walls.rows && walls.at<uchar>(y, x) == 0;
}

// An opening is floor on both of its sides: a band closed at one side is a niche.
void finish(const Band &band, const cv::Mat &walls, const Limits &limits, std::vector<ClosingLine> &lines)
{
    const int depth = band.lastRow - band.firstRow + 1;
    if (depth < limits.minDepth || depth > limits.maxDepth)
        return;
    const int middle = (band.minLeft + band.maxRight) / 2;
    if (!isFloor(walls, middle, band.firstRow - 1) || !isFloor(walls, middle, band.lastRow + 1))
        return;
    const int row = (band.firstRow + band.lastRow) / 2;
    lines.push_back({QPoint(band.minLeft - 1, row), QPoint(band.maxRight + 1, row), depth});
}

// Openings whose closing line runs along the rows of `walls` (255 on walls).
std::vector<ClosingLine> alongRows(const cv::Mat &walls, const Limits &limits)
{
    std::vector<ClosingLine> lines;
    std::vector<Band> open, next;
    for (int y = 0; y < walls.rows; ++y) {
        const uchar *p = walls.ptr<uchar>(y);
        next.clear();
        int x = 0;
        while (x < walls.cols && !p[x])
            ++x;
        while (x < walls.cols) {
            while (x < walls.cols && p[x])
                ++x;
            const int left = x;
            while (x < walls.cols && !p[x])
                ++x;
            if (x >= walls.cols)
                break;
            const int right = x - 1;
            if (right - left + 1 > limits.maxGap)
                continue;
            Band band{left, right, left, right, y, y};
            for (Band &o : open) {
                if (o.lastRow == y - 1 && std::abs(o.left - left) <= kEndDrift
                    && std::abs(o.right - right) <= kEndDrift) {
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

std::vector<ClosingLine> OpeningFinder::find(const QImage &plan, const Options &options)
{
    const cv::Mat black = CvPlan::blackMask(plan);
    CvPlan::StrokeWidths widths;
    if (options.wallThickness <= 0 || options.lineWidth <= 0)
        widths = CvPlan::strokeWidths(black);
    const int line = options.lineWidth > 0 ? options.lineWidth : widths.line;
    const int wall = options.wallThickness > 0 ? options.wallThickness : widths.wall;

    // Door leaves, arcs and furniture would cut an opening's floor run; opening the mask
    // leaves the walls alone.
    cv::Mat walls = black;
    if (wall >= line + 3) {
        const int k = CvPlan::wallKernel(line, wall);
        cv::morphologyEx(black, walls, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(k, k)));
    }
    // Outer walls are commonly two or three times the inner ones.
    const Limits limits{options.maxGap > 0 ? options.maxGap : 10 * wall, std::max(2, (2 * wall) / 5), 4 * wall + 2};

    std::vector<ClosingLine> lines = alongRows(walls, limits);
    cv::Mat turned;
    cv::transpose(walls, turned);
    for (const ClosingLine &l : alongRows(turned, limits))
        lines.push_back({QPoint(l.from.y(), l.from.x()), QPoint(l.to.y(), l.to.x()), l.width});
    return lines;
}
