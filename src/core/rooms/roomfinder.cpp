#include "core/rooms/roomfinder.h"

#include "core/base/metrolaerror.h"
#include "core/rooms/cvplan.h"
#include "core/rooms/wallends.h"

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

namespace {

// The 4-connected regions of white floor, as the fill sees them.
struct FloorRegions
{
    cv::Mat labels, stats, centroids;
    int count = 0;

    explicit FloorRegions(const cv::Mat &white) { recount(white); }

    // Into the same label image: a second one of a large plan costs more to fault in than to fill.
    void recount(const cv::Mat &white)
    {
        count = cv::connectedComponentsWithStats(white, labels, stats, centroids, 4, CV_32S);
    }

    QRect box(int i) const
    {
        return QRect(stats.at<int>(i, cv::CC_STAT_LEFT), stats.at<int>(i, cv::CC_STAT_TOP),
                     stats.at<int>(i, cv::CC_STAT_WIDTH), stats.at<int>(i, cv::CC_STAT_HEIGHT));
    }

    bool outside(int i) const
    {
        const QRect b = box(i);
        return b.left() == 0 || b.top() == 0 || b.right() == labels.cols - 1 || b.bottom() == labels.rows - 1;
    }

    int at(QPointF p) const
    {
        const int x = int(std::floor(p.x())), y = int(std::floor(p.y()));
        return x >= 0 && y >= 0 && x < labels.cols && y < labels.rows ? labels.at<int>(y, x) : 0;
    }

    std::vector<RoomProposal> rooms(qint64 minPixels, QImage *regionMap) const
    {
        std::vector<std::pair<RoomProposal, int>> found;
        for (int i = 1; i < count; ++i) {
            const qint64 area = stats.at<int>(i, cv::CC_STAT_AREA);
            if (area < minPixels || outside(i))
                continue;
            const QRect b = box(i);
            found.push_back(
                {{seedOf(labels, i, b, centroids.at<double>(i, 0), centroids.at<double>(i, 1)), area, b}, i});
        }
        std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) {
            return std::pair(a.first.box.top(), a.first.box.left()) < std::pair(b.first.box.top(), b.first.box.left());
        });
        // More rooms than the map can tell apart are not offered.
        if (regionMap && found.size() > 65535)
            found.resize(65535);
        std::vector<RoomProposal> result;
        std::vector<quint16> roomOfLabel(size_t(count), 0);
        for (const auto &[room, label] : found) {
            roomOfLabel[size_t(label)] = quint16(result.size() + 1);
            result.push_back(room);
        }
        if (regionMap) {
            *regionMap = QImage(labels.cols, labels.rows, QImage::Format_Grayscale16);
            for (int y = 0; y < labels.rows; ++y) {
                const int *from = labels.ptr<int>(y);
                auto *to = reinterpret_cast<quint16 *>(regionMap->scanLine(y));
                for (int x = 0; x < labels.cols; ++x)
                    to[x] = roomOfLabel[size_t(from[x])];
            }
        }
        return result;
    }
};

// The region on each side of a drawn line, 0 where the side is drawing: a line is worth
// keeping when it parts a room from another region (a room or the outside).
bool separates(const FloorRegions &regions, const ClosingLine &line, qint64 minPixels)
{
    const QPointF a(line.from), b(line.to);
    QPointF along = b - a;
    const double length = std::hypot(along.x(), along.y());
    if (length == 0)
        return false;
    along /= length;
    const QPointF normal(-along.y(), along.x());
    const double reach = line.width / 2.0 + 1.5;
    int sides[2] = {0, 0};
    for (int side = 0; side < 2; ++side) {
        for (double t : {0.5, 0.25, 0.75, 0.1, 0.9}) {
            const QPointF p = a + (b - a) * t + normal * (side ? reach : -reach) + QPointF(0.5, 0.5);
            if (const int label = regions.at(p)) {
                sides[side] = label;
                break;
            }
        }
    }
    if (sides[0] == 0 || sides[1] == 0 || sides[0] == sides[1])
        return false;
    const auto room = [&](int label) {
        return !regions.outside(label) && regions.stats.at<int>(label, cv::CC_STAT_AREA) >= minPixels;
    };
    return room(sides[0]) || room(sides[1]);
}

} // namespace

std::vector<RoomProposal> RoomFinder::regions(const QImage &plan, qint64 minPixels, QImage *regionMap)
{
    return FloorRegions(CvPlan::whiteMask(plan)).rooms(minPixels, regionMap);
}

RoomFinder::Result RoomFinder::find(const QImage &plan, const Options &options)
{
    if (plan.format() != QImage::Format_RGB32 && plan.format() != QImage::Format_ARGB32)
        throw MetrolaError(QStringLiteral("План должен быть 32-битным рисунком."));
    Result result;
    OpeningFinder::Options openings = options.openings;
    const cv::Mat black = CvPlan::blackMask(plan);
    if (openings.wallThickness <= 0 || openings.lineWidth <= 0) {
        const CvPlan::StrokeWidths widths = CvPlan::strokeWidths(black);
        openings.wallThickness = widths.wall;
        openings.lineWidth = widths.line;
    }
    if (openings.maxGap <= 0 && options.pixelsPerMetre > 0)
        openings.maxGap = int(std::lround(kMaxDoorMetres * options.pixelsPerMetre));
    qint64 minPixels = options.minPixels;
    if (minPixels <= 0) {
        minPixels =
            options.pixelsPerMetre > 0
                ? qint64(std::llround(kMinRoomSquareMetres * options.pixelsPerMetre * options.pixelsPerMetre))
                : std::max<qint64>(64, 40 * qint64(openings.wallThickness) * openings.wallThickness);
    }
    result.minPixels = minPixels;
    if (!options.closeOpenings) {
        result.rooms = FloorRegions(CvPlan::whiteMask(plan)).rooms(minPixels, options.regionMap);
        return result;
    }
    const auto stop = [&options] {
        if (options.cancel)
            options.cancel->check();
    };
    stop();
    std::vector<ClosingLine> candidates = CvPlan::openings(black, openings);
    stop();
    // Window gaps and doors in slanting walls, which the row and column search does not see.
    const std::vector<ClosingLine> slanted = WallEnds::openings(black, openings, candidates);
    candidates.insert(candidates.end(), slanted.begin(), slanted.end());
    WallEnds::dropLoose(candidates, black, openings.wallThickness);
    stop();
    // The floor is closed in its mask, not in a copy of the plan four times its size.
    cv::Mat white = CvPlan::whiteMask(plan);
    CvPlan::closeFloor(white, candidates);
    FloorRegions regions(white);
    for (const ClosingLine &line : candidates)
        if (separates(regions, line, minPixels))
            result.lines.push_back(line);
    // Lines that part nothing (between furniture and a wall, around a text) only clutter the
    // plan; without them the regions gain the lines' pixels and are counted again.
    if (result.lines.size() != candidates.size()) {
        for (const ClosingLine &line : candidates)
            CvPlan::whiteMask(plan, white, line.bounds());
        CvPlan::closeFloor(white, result.lines);
        regions.recount(white);
    }
    result.rooms = regions.rooms(minPixels, options.regionMap);
    return result;
}
