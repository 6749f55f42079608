#include "core/plan/cvplan.h"

#include "core/base/metrolaerror.h"
#include "core/plan/planimage.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <vector>

namespace {

// The 24 colour bits of each pixel compared with one colour; the alpha byte is padding.
cv::Mat exactColour(const QImage &plan, uchar level)
{
    if (plan.format() != QImage::Format_RGB32 && plan.format() != QImage::Format_ARGB32)
        throw MetrolaError(QStringLiteral("План должен быть 32-битным рисунком."));
    cv::Mat mask;
    cv::inRange(CvPlan::view(plan), cv::Scalar(level, level, level, 0), cv::Scalar(level, level, level, 255),
                mask);
    return mask;
}

} // namespace

cv::Mat CvPlan::blackMask(const QImage &plan)
{
    return exactColour(plan, 0);
}

cv::Mat CvPlan::whiteMask(const QImage &plan)
{
    return exactColour(plan, 255);
}

QImage CvPlan::fromInk(const cv::Mat &ink)
{
    QImage plan = PlanImage::allocate(ink.cols, ink.rows);
    if (plan.isNull())
        throw MetrolaError(QStringLiteral("Не хватает памяти для подготовленного плана."));
    cv::Mat paper;
    cv::bitwise_not(ink, paper);
    cv::Mat out = view(plan);
    // Grey to BGRA writes alpha 255: the pixels come out exactly 0xff000000 and 0xffffffff.
    cv::cvtColor(paper, out, cv::COLOR_GRAY2BGRA);
    return plan;
}

// Run lengths across the strokes, in both directions: most runs across a stroke are as long
// as it is wide, while runs along it are long and of every length, so the commonest short
// lengths are the stroke widths. Counting runs is no image-processing primitive OpenCV has.
CvPlan::StrokeWidths CvPlan::strokeWidths(const cv::Mat &ink)
{
    constexpr int kLongest = 128;
    std::array<qint64, kLongest + 1> runs{};
    std::vector<int> down(size_t(ink.cols), 0);
    for (int y = 0; y < ink.rows; ++y) {
        const uchar *p = ink.ptr<uchar>(y);
        const bool sampleRow = y % 2 == 0;
        int across = 0;
        for (int x = 0; x < ink.cols; ++x) {
            if (p[x]) {
                ++across;
                ++down[size_t(x)];
                continue;
            }
            if (across && sampleRow)
                ++runs[size_t(std::min(across, kLongest))];
            across = 0;
            if (down[size_t(x)] && x % 2 == 0)
                ++runs[size_t(std::min(down[size_t(x)], kLongest))];
            down[size_t(x)] = 0;
        }
        if (across && sampleRow)
            ++runs[size_t(std::min(across, kLongest))];
    }
    for (int x = 0; x < ink.cols; x += 2)
        if (down[size_t(x)])
            ++runs[size_t(std::min(down[size_t(x)], kLongest))];

    qint64 total = 0;
    int commonest = 1;
    for (int l = 1; l < kLongest; ++l) {
        total += runs[size_t(l)];
        if (runs[size_t(l)] > runs[size_t(commonest)])
            commonest = l;
    }
    StrokeWidths widths{commonest, commonest, false};
    if (total == 0)
        return widths;
    const auto peak = [&](int from, int to) {
        int best = 0;
        for (int l = std::max(1, from); l <= std::min(to, kLongest - 1); ++l)
            if (best == 0 || runs[size_t(l)] > runs[size_t(best)])
                best = l;
        return best;
    };
    // Thin drawing is a third of a wall's thickness at most; a plan of walls alone has inner
    // and outer walls closer than that, and both are walls.
    const auto apart = [](int line) { return std::max(3 * line, line + 3); };
    // Thin lines and walls are both real when each holds a noticeable share of the runs: a
    // few thick blobs (a filled column, a logo) are no walls, the runs along a wall (on a small
    // plan all equally long) are no walls either, and a few specks are no drawing.
    const auto both = [&](int line, int wall) {
        return line > 0 && wall > 0 && runs[size_t(line)] * 50 >= total && runs[size_t(wall)] * 50 >= total
               && runs[size_t(wall)] * 10 >= runs[size_t(line)] && runs[size_t(line)] * 10 >= runs[size_t(wall)];
    };
    // Usually the thin lines are the commonest runs; on a plan with little furniture the walls are.
    if (const int wall = peak(apart(commonest), kLongest - 1); both(commonest, wall))
        widths = {commonest, wall, true};
    else if (const int line = peak(1, commonest / 3); line > 0 && apart(line) <= commonest && both(line, commonest))
        widths = {line, commonest, true};
    return widths;
}

int CvPlan::wallKernel(int lineWidth, int wallThickness)
{
    return std::max(lineWidth + 2, (lineWidth + wallThickness + 1) / 2);
}
