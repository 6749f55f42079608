#include "core/rooms/cvplan.h"

#include "core/base/metrolaerror.h"
#include "core/plan/planimage.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
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

void CvPlan::whiteMask(const QImage &plan, cv::Mat &white, const QRect &area)
{
    const QRect r = area & plan.rect();
    if (r.isEmpty())
        return;
    const cv::Rect part(r.x(), r.y(), r.width(), r.height());
    cv::Mat target = white(part);
    cv::inRange(view(plan)(part), cv::Scalar(255, 255, 255, 0), cv::Scalar(255, 255, 255, 255), target);
}

void CvPlan::closeFloor(cv::Mat &white, std::span<const ClosingLine> lines)
{
    CV_Assert(white.type() == CV_8U);
    // The painter covers the same pixels whatever the image's format, so the mask is painted
    // as a grey image over its own memory.
    QImage mask(white.data, white.cols, white.rows, qsizetype(white.step), QImage::Format_Grayscale8);
    ClosingLine::draw(mask, lines);
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
    // Runs longer than any stroke is wide lie along strokes; counted, they would pile up as one
    // false width.
    const auto count = [&runs](int length) {
        if (length < kLongest)
            ++runs[size_t(length)];
    };
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
                count(across);
            across = 0;
            if (down[size_t(x)] && x % 2 == 0)
                count(down[size_t(x)]);
            down[size_t(x)] = 0;
        }
        if (across && sampleRow)
            count(across);
    }
    for (int x = 0; x < ink.cols; x += 2)
        if (down[size_t(x)])
            count(down[size_t(x)]);

    // Anti-aliasing and compression spread one stroke width over neighbouring lengths.
    std::array<qint64, kLongest + 1> near{};
    qint64 total = 0, highest = 0;
    for (int l = 1; l < kLongest; ++l) {
        total += runs[size_t(l)];
        near[size_t(l)] = runs[size_t(l - 1)] + runs[size_t(l)] + runs[size_t(l + 1)];
        highest = std::max(highest, near[size_t(l)]);
    }
    StrokeWidths widths;
    if (total == 0)
        return widths;
    // The stroke widths of the plan: lengths more common than their neighbours and than a
    // twenty-fifth of the commonest (thin drawing can outnumber walls by that much). Runs
    // along strokes are of every length and make no such peak.
    std::vector<int> peaks;
    for (int l = 1; l < kLongest; ++l) {
        const qint64 n = near[size_t(l)];
        if (n * 25 >= highest && n > near[size_t(l - 1)] && n >= near[size_t(l + 1)])
            peaks.push_back(l);
    }
    if (peaks.empty())
        return widths;
    // The walls are the commonest width that has thin drawing beside it: a width of 2/5 or
    // less that is common too (an eighth of the commonest run at least, as the walls are; the
    // ragged edges of a prepared scan count, which only makes the walls' own width certain).
    // Without such a pair the thinnest common width is the walls. A plan of walls alone whose
    // outer walls are over two and a half times its inner ones and without a speck of thin
    // drawing is taken for thin drawing beside outer walls; preparation never makes one.
    const auto strong = [&](int l) { return near[size_t(l)] * 8 >= highest; };
    for (int wall : peaks) {
        if (!strong(wall) || (widths.thinBesideThick && near[size_t(wall)] <= near[size_t(widths.wall)]))
            continue;
        int line = 0;
        for (int l : peaks)
            if (std::max((5 * l + 1) / 2, l + 3) <= wall && strong(l) &&
                (line == 0 || near[size_t(l)] > near[size_t(line)]))
                line = l;
        if (line > 0)
            widths = {line, wall, true};
    }
    if (widths.thinBesideThick)
        return widths;
    for (int wall : peaks) {
        if (strong(wall)) {
            widths.line = widths.wall = wall;
            break;
        }
    }
    return widths;
}

int CvPlan::wallKernel(int lineWidth, int wallThickness)
{
    return std::max(lineWidth + 2, (lineWidth + wallThickness + 1) / 2);
}

void CvPlan::drawLines(cv::Mat &mask, std::span<const ClosingLine> lines)
{
    for (const ClosingLine &line : lines) {
        const double dx = line.to.x() - line.from.x(), dy = line.to.y() - line.from.y();
        const double length = std::max(1e-9, std::hypot(dx, dy));
        const double ax = dx / length, ay = dy / length;
        const double half = std::max(1, line.width) / 2.0;
        const double nx = -ay * half, ny = ax * half;
        const cv::Point2d a(line.from.x() - ax * 0.5, line.from.y() - ay * 0.5);
        const cv::Point2d b(line.to.x() + ax * 0.5, line.to.y() + ay * 0.5);
        const cv::Point corners[4] = {
            cv::Point(cvRound(a.x + nx), cvRound(a.y + ny)), cv::Point(cvRound(b.x + nx), cvRound(b.y + ny)),
            cv::Point(cvRound(b.x - nx), cvRound(b.y - ny)), cv::Point(cvRound(a.x - nx), cvRound(a.y - ny))};
        cv::fillConvexPoly(mask, corners, 4, cv::Scalar(255));
    }
}
