#include "core/plan/roomfinder.h"

#include "core/base/metrolaerror.h"
#include "core/plan/cvplan.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// A point of region `label` near its centroid: the middle of the run through the centroid's
// row (or the nearest row that has one) closest to it, so the label sits inside the room even
// when the room is L-shaped and its centroid lies outside it.
QPoint seedOf(const cv::Mat &labels, int label, const QRect &box, double cx, double cy)
{
    const int centreRow = std::clamp(int(std::lround(cy)), box.top(), box.bottom());
    for (int step = 0; step <= box.height() * 2; ++step) {
        const int y = centreRow + ((step % 2) ? (step + 1) / 2 : -(step / 2));
        if (y < box.top() || y > box.bottom())
            continue;
        const int *row = labels.ptr<int>(y);
        int best = -1;
        double bestDistance = 0;
        for (int x = box.left(); x <= box.right();) {
            if (row[x] != label) {
                ++x;
                continue;
            }
            const int start = x;
            while (x <= box.right() && row[x] == label)
                ++x;
            const int middle = (start + x - 1) / 2;
            const double distance = std::abs(middle - cx);
            if (best < 0 || distance < bestDistance) {
                best = middle;
                bestDistance = distance;
            }
        }
        if (best >= 0)
            return QPoint(best, y);
    }
    return box.topLeft(); // not reached: every region has a pixel in its box
}

} // namespace

std::vector<RoomProposal> RoomFinder::regions(const QImage &plan, qint64 minPixels)
{
    const cv::Mat floor = CvPlan::whiteMask(plan);
    cv::Mat labels, stats, centroids;
    // 4-connected, as the fill is: a region is exactly what one fill paints.
    const int count = cv::connectedComponentsWithStats(floor, labels, stats, centroids, 4, CV_32S);
    std::vector<RoomProposal> rooms;
    for (int i = 1; i < count; ++i) {
        const QRect box(stats.at<int>(i, cv::CC_STAT_LEFT), stats.at<int>(i, cv::CC_STAT_TOP),
                        stats.at<int>(i, cv::CC_STAT_WIDTH), stats.at<int>(i, cv::CC_STAT_HEIGHT));
        const qint64 area = stats.at<int>(i, cv::CC_STAT_AREA);
        if (area < minPixels || box.left() == 0 || box.top() == 0 || box.right() == plan.width() - 1
            || box.bottom() == plan.height() - 1)
            continue;
        const QPoint seed = seedOf(labels, i, box, centroids.at<double>(i, 0), centroids.at<double>(i, 1));
        rooms.push_back({seed, area, box});
    }
    std::sort(rooms.begin(), rooms.end(), [](const RoomProposal &a, const RoomProposal &b) {
        return std::pair(a.box.top(), a.box.left()) < std::pair(b.box.top(), b.box.left());
    });
    return rooms;
}

RoomFinder::Result RoomFinder::find(const QImage &plan, const Options &options)
{
    if (plan.format() != QImage::Format_RGB32 && plan.format() != QImage::Format_ARGB32)
        throw MetrolaError(QStringLiteral("План должен быть 32-битным рисунком."));
    Result result;
    OpeningFinder::Options openings = options.openings;
    if (openings.wallThickness <= 0 || openings.lineWidth <= 0) {
        const CvPlan::StrokeWidths widths = CvPlan::strokeWidths(CvPlan::blackMask(plan));
        openings.wallThickness = widths.wall;
        openings.lineWidth = widths.line;
    }
    if (openings.maxGap <= 0 && options.pixelsPerMetre > 0)
        openings.maxGap = int(std::lround(kMaxDoorMetres * options.pixelsPerMetre));
    qint64 minPixels = options.minPixels;
    if (minPixels <= 0) {
        minPixels = options.pixelsPerMetre > 0
                        ? qint64(std::llround(kMinRoomSquareMetres * options.pixelsPerMetre * options.pixelsPerMetre))
                        : std::max<qint64>(64, 40 * qint64(openings.wallThickness) * openings.wallThickness);
    }
    if (!options.closeOpenings) {
        result.rooms = regions(plan, minPixels);
        return result;
    }
    result.lines = OpeningFinder::find(plan, openings);
    QImage closed = plan.copy();
    ClosingLine::draw(closed, result.lines);
    result.rooms = regions(closed, minPixels);
    return result;
}
