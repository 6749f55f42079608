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

// Run lengths across the strokes, in both directions: a run is counted only where most runs
// crossing it are at least half as long, so that it goes across its stroke, not along it. Runs
// along strokes would otherwise count as widths: on a floor of equal rooms with a door in every
// wall, the equal pieces of wall between doors pile up as one false width, as common as the
// walls' own. Counting runs is no image-processing primitive OpenCV has.
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
    // The length of the run through each point, in each direction, up to the longest counted.
    const auto capped = [](int length) { return ushort(std::min(length, 65535)); };
    cv::Mat across(ink.size(), CV_16U), down(ink.size(), CV_16U);
    for (int y = 0; y < ink.rows; ++y) {
        const uchar *p = ink.ptr<uchar>(y);
        ushort *a = across.ptr<ushort>(y);
        for (int x = 0; x < ink.cols;) {
            if (!p[x]) {
                a[x++] = 0;
                continue;
            }
            const int start = x;
            while (x < ink.cols && p[x])
                ++x;
            std::fill(a + start, a + x, capped(x - start));
        }
    }
    // Down the columns a row at a time: the run so far from the top, then its whole length
    // handed up from its last point.
    for (int y = 0; y < ink.rows; ++y) {
        const uchar *p = ink.ptr<uchar>(y);
        const ushort *above = y > 0 ? down.ptr<ushort>(y - 1) : nullptr;
        ushort *d = down.ptr<ushort>(y);
        for (int x = 0; x < ink.cols; ++x)
            d[x] = p[x] ? capped((above ? above[x] : 0) + 1) : 0;
    }
    for (int y = ink.rows - 2; y >= 0; --y) {
        const ushort *below = down.ptr<ushort>(y + 1);
        ushort *d = down.ptr<ushort>(y);
        for (int x = 0; x < ink.cols; ++x)
            if (d[x] && below[x])
                d[x] = below[x];
    }
    // A run along a wall's piece crosses the wall's short runs, one across the wall crosses runs
    // along it; a run along a wall passing a junction crosses the other wall's long runs there,
    // and one across a ragged edge a few short ones, so most of the crossing runs tell, not one.
    std::vector<int> longer(size_t(ink.cols), 0);
    for (int y = 0; y < ink.rows; ++y) {
        const ushort *a = across.ptr<ushort>(y);
        const ushort *d = down.ptr<ushort>(y);
        const uchar *below = y + 1 < ink.rows ? ink.ptr<uchar>(y + 1) : nullptr;
        if (y % 2 == 0) {
            for (int x = 0; x < ink.cols;) {
                const int length = a[x];
                if (length == 0) {
                    ++x;
                    continue;
                }
                const int end = std::min(ink.cols, x + length);
                if (length < kLongest &&
                    2 * std::count_if(d + x, d + end, [&](ushort c) { return 2 * c >= length; }) >= length)
                    count(length);
                x = end;
            }
        }
        for (int x = 0; x < ink.cols; x += 2) {
            if (!d[x])
                continue;
            const bool first = y == 0 || !down.at<ushort>(y - 1, x);
            longer[size_t(x)] = (first ? 0 : longer[size_t(x)]) + (2 * a[x] >= d[x] ? 1 : 0);
            if ((!below || !below[x]) && 2 * longer[size_t(x)] >= d[x])
                count(d[x]);
        }
    }

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
