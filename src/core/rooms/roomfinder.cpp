#include "core/rooms/roomfinder.h"

#include "core/base/metrolaerror.h"
#include "core/rooms/cvplan.h"
#include "core/rooms/roomsplitter.h"
#include "core/rooms/wallfinder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <future>

namespace {

// Two parts of the floor are two rooms when each is this many times as wide as the passage
// between them (a door into a room; a corridor's bend or a bay is not that much narrower).
constexpr double kWiderThanPassage = 1.3;
// The widest door between two rooms, in thicknesses of the plan's thick walls.
constexpr double kDoorInWalls = 25;
// The narrowest room proposed, in thicknesses of the plan's walls (a closet is about 0,6 m
// wide, walls 0,1 to 0,25 m thick): the regions narrower than that left between the lines
// are strips inside walls drawn as outlines, between hatching lines or dimension lines.
// Without a scale the smallest room is a square as wide.
constexpr double kNarrowestRoomInWalls = 4;
// The smallest room proposed, as a share of the floor's large rooms (the area a quarter of the
// regions reach): a cupboard of 1 m² beside rooms of 20 m². Smaller regions are slivers cut
// off by fixtures, stair flights and the corners of outline walls.
constexpr qint64 kLargeRoomsPerSmallest = 20;

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

// The building's outline: the convex hull of the wall network, as the wall finder picks its
// pieces, in the small mask's pixels.
std::vector<cv::Point> outline(const cv::Mat &free)
{
    cv::Mat walls;
    cv::bitwise_not(free, walls);
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(walls, labels, stats, centroids, 8, CV_32S);
    int longest = 0;
    const std::vector<uchar> network = WallFinder::network(stats, count, longest);
    std::vector<cv::Point> points;
    if (longest == 0)
        return points;
    // The hull needs only the outermost points of each row of the network.
    for (int y = 0; y < labels.rows; ++y) {
        const int *l = labels.ptr<int>(y);
        int first = -1, last = -1;
        for (int x = 0; x < labels.cols; ++x)
            if (network[size_t(l[x])]) {
                if (first < 0)
                    first = x;
                last = x;
            }
        if (first >= 0) {
            points.emplace_back(first, y);
            points.emplace_back(last, y);
        }
    }
    std::vector<cv::Point> hull;
    cv::convexHull(points, hull);
    return hull;
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

    // The distance of every point of the floor from the drawing at the flooding's resolution
    // (`factor` times smaller), where a region narrower than a small point, far too narrow for
    // a room, is not seen. Needs no regions: made while they are counted.
    static cv::Mat distances(const cv::Mat &white, int factor)
    {
        cv::Mat small = white;
        if (factor > 1) {
            cv::resize(white, small, cv::Size(white.cols / factor, white.rows / factor), 0, 0, cv::INTER_AREA);
            cv::threshold(small, small, 254, 255, cv::THRESH_BINARY);
        }
        cv::Mat distance;
        cv::distanceTransform(small, distance, cv::DIST_L2, 3, CV_32F);
        return distance;
    }

    // Each region's half width: the farthest any of its points lies from the drawing, from
    // distances() at that resolution.
    std::vector<float> halfWidths(const cv::Mat &distance, int factor) const
    {
        std::vector<float> widest(size_t(count), 0);
        for (int y = 0; y < distance.rows; ++y) {
            const int *label = labels.ptr<int>(y * factor + factor / 2);
            const float *d = distance.ptr<float>(y);
            for (int x = 0; x < distance.cols; ++x) {
                float &w = widest[size_t(label[x * factor + factor / 2])];
                w = std::max(w, d[x] * float(factor));
            }
        }
        return widest;
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

    // The regions no smaller than `minPixels` that do not reach the sheet's edge; when
    // `halfWidths` is given, only those whose half width is at least `minHalfWidth`. Of four or
    // more, those smaller than the large ones over kLargeRoomsPerSmallest are left out as slivers.
    std::vector<RoomProposal> rooms(qint64 minPixels, QImage *regionMap, const std::vector<float> *halfWidths = nullptr,
                                    double minHalfWidth = 0) const
    {
        std::vector<std::pair<RoomProposal, int>> found;
        for (int i = 1; i < count; ++i) {
            const qint64 area = stats.at<int>(i, cv::CC_STAT_AREA);
            if (area < minPixels || outside(i) || (halfWidths && (*halfWidths)[size_t(i)] < minHalfWidth))
                continue;
            const QRect b = box(i);
            found.push_back(
                {{seedOf(labels, i, b, centroids.at<double>(i, 0), centroids.at<double>(i, 1)), area, b}, i});
        }
        if (found.size() >= 4) {
            std::vector<qint64> areas;
            for (const auto &[room, label] : found)
                areas.push_back(room.pixels);
            const auto large = areas.begin() + areas.size() * 3 / 4;
            std::nth_element(areas.begin(), large, areas.end());
            std::erase_if(found,
                          [&](const auto &f) { return f.first.pixels * kLargeRoomsPerSmallest < *large; });
        }
        std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) {
            return std::pair(a.first.box.top(), a.first.box.left()) <
                   std::pair(b.first.box.top(), b.first.box.left());
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

// Whether the line from `from` to `end` ends against the side of a wall that runs on past the
// end both ways, `along` points each way: a wall's face lies just ahead of the points beside
// the end as it does ahead of the end. A doorway's line ends at a jamb instead, where beside
// the end lies open floor.
bool endsOnWallSide(const cv::Mat &black, QPointF from, QPointF end, int wall, double along)
{
    const QPointF d = end - from;
    const double length = std::hypot(d.x(), d.y());
    if (length <= 0)
        return false;
    const QPointF u = d / length, n(-u.y(), u.x());
    const auto wallAt = [&](QPointF p) {
        const int x = int(std::lround(p.x())), y = int(std::lround(p.y()));
        return x >= 0 && y >= 0 && x < black.cols && y < black.rows && black.at<uchar>(y, x) != 0;
    };
    // Searched from a little short of the end (the line was drawn at the flooding's coarser
    // points) to a wall beyond it: a wall drawn as an outline has a solid face.
    const auto faceAhead = [&](QPointF p) {
        for (double t = -2; t <= wall + 3; ++t)
            if (wallAt(p + u * t))
                return true;
        return false;
    };
    return faceAhead(end + n * along) && faceAhead(end - n * along);
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
    Options::Openings openings = options.openings;
    const cv::Mat black = CvPlan::blackMask(plan);
    // The strokes' run lengths are measured on a core of their own while the walls' widths and
    // the free space are made ready: nothing needs them before the smallest room is set.
    std::future<CvPlan::StrokeWidths> strokes;
    if (openings.wallThickness <= 0 || openings.lineWidth <= 0)
        strokes = std::async(std::launch::async, [&black] { return CvPlan::strokeWidths(black); });
    // The walls' widths measured across them at their middle lines: the commonest (inner
    // walls) and the outer walls'.
    const auto [wall, outerWall] = WallFinder::widths(black);
    if (openings.maxGap <= 0 && options.pixelsPerMetre > 0)
        openings.maxGap = int(std::lround(kMaxDoorMetres * options.pixelsPerMetre));
    // The smallest room, once the strokes are measured.
    const auto smallestRoom = [&]() -> qint64 {
        if (strokes.valid()) {
            const CvPlan::StrokeWidths widths = strokes.get();
            openings.wallThickness = widths.wall;
            openings.lineWidth = widths.line;
        }
        if (options.minPixels > 0)
            return options.minPixels;
        return options.pixelsPerMetre > 0
                   ? qint64(std::llround(kMinRoomSquareMetres * options.pixelsPerMetre * options.pixelsPerMetre))
                   : std::max<qint64>(64, qint64(std::lround(kNarrowestRoomInWalls * kNarrowestRoomInWalls *
                                                             openings.wallThickness * openings.wallThickness)));
    };
    if (!options.closeOpenings) {
        result.minPixels = smallestRoom();
        result.rooms = FloorRegions(CvPlan::whiteMask(plan)).rooms(result.minPixels, options.regionMap);
        return result;
    }
    // The user's "Отмена" is looked at between the stages.
    const auto stop = [&options] {
        if (options.cancel)
            options.cancel->check();
    };
    stop();
    {
        // The flooding at the resolution the walls need: a wall a few points thick, and a
        // plan of a few million points at most (a thin partition stays, as any point of wall
        // in a small point makes it wall).
        const double points = double(plan.width()) * plan.height();
        const int factor = std::clamp(wall / 3, 1, std::max(1, int(std::sqrt(points / 2e6))));
        cv::Mat white = CvPlan::whiteMask(plan);
        // What the flooding looks through: thin strokes (door leaves and arcs, furniture kept
        // with the whole drawing) and loose blobs smaller than twelve squares of a wall (bold
        // letters, figures), which part no rooms.
        cv::Mat walls = black.clone();
        if (wall >= 4)
            cv::morphologyEx(walls, walls, cv::MORPH_OPEN,
                             cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
        {
            cv::Mat labels, stats, centroids;
            const int count = cv::connectedComponentsWithStats(walls, labels, stats, centroids, 8, CV_32S);
            std::vector<uchar> keep(size_t(count), 0);
            for (int i = 1; i < count; ++i)
                keep[size_t(i)] = stats.at<int>(i, cv::CC_STAT_AREA) >= 12 * wall * wall ? 255 : 0;
            for (int y = 0; y < walls.rows; ++y) {
                const int *l = labels.ptr<int>(y);
                uchar *w = walls.ptr<uchar>(y);
                for (int x = 0; x < walls.cols; ++x)
                    w[x] = keep[size_t(l[x])];
            }
        }
        cv::Mat open;
        cv::bitwise_not(walls, open);
        cv::Mat small;
        if (factor > 1) {
            cv::resize(open, small, cv::Size(open.cols / factor, open.rows / factor), 0, 0, cv::INTER_AREA);
            cv::threshold(small, small, 254, 255, cv::THRESH_BINARY);
        } else {
            small = open;
        }
        const qint64 minPixels = result.minPixels = smallestRoom();
        RoomSplitter::Options split;
        split.widerThanPassage = kWiderThanPassage;
        split.minHalfWidth = std::max(2.0, double(wall) / factor);
        split.minPixels = minPixels / (qint64(factor) * factor);
        // A door is a few outer walls wide, a passage between two rooms wider than
        // kDoorInWalls of them is an open plan: without a scale the thickest common walls tell.
        const double door = openings.maxGap > 0 ? openings.maxGap : kDoorInWalls * std::max(wall, outerWall);
        split.maxPassage = door / factor;
        split.maxOutsidePassage = 3 * door / factor;
        stop();
        // A side of the building open wider than the widest opening to the outside (a bay
        // glazed from corner to corner, a loggia) leaves its room part of the outside: such a
        // side is closed along the building's outline, and the floor along that line counts
        // as the outside, so that the room stands apart from it there as at the sheet's edge.
        const std::vector<cv::Point> hull = outline(small);
        for (size_t i = 0; hull.size() >= 3 && i < hull.size(); ++i) {
            const cv::Point a = hull[i], b = hull[(i + 1) % hull.size()];
            if (cv::norm(a - b) <= split.maxOutsidePassage)
                continue;
            if (small.data == open.data)
                small = open.clone();
            if (split.outside.empty())
                split.outside = cv::Mat::zeros(small.size(), CV_8U);
            cv::line(small, a, b, cv::Scalar(0), 1, cv::LINE_4);
            cv::line(split.outside, a, b, cv::Scalar(255), 3, cv::LINE_8);
        }
        if (!split.outside.empty())
            split.outside &= small;
        result.lines = RoomSplitter::split(small, split, factor);
        // A line from the side of one wall to the side of another, both walls running on past
        // its ends, crosses a corridor where it narrows, or an open plan: a doorway has a jamb
        // at one end at least (a door beside a corner). Looked at beside the ends farther off
        // than the thick walls are thick, so a doorway through one is not taken for a
        // corridor; lines shorter than the narrowest room close gaps in the walls and stay.
        {
            const int w = openings.wallThickness;
            const double along = std::max(kNarrowestRoomInWalls * w, double(outerWall));
            std::erase_if(result.lines, [&](const ClosingLine &l) {
                return std::hypot(l.to.x() - l.from.x(), l.to.y() - l.from.y()) >= kNarrowestRoomInWalls * w &&
                       endsOnWallSide(black, l.from, l.to, w, along) && endsOnWallSide(black, l.to, l.from, w, along);
            });
        }
        stop();
        if (options.stages) {
            cv::Mat seen;
            cv::bitwise_not(small, seen);
            options.stages(QStringLiteral("3-free"), CvPlan::fromInk(seen));
            QImage lines = plan.copy();
            lines.fill(Qt::white);
            ClosingLine::draw(lines, result.lines);
            QImage both = plan.copy();
            for (int y = 0; y < both.height(); ++y) {
                auto *row = reinterpret_cast<QRgb *>(both.scanLine(y));
                const auto *line = reinterpret_cast<const QRgb *>(lines.constScanLine(y));
                for (int x = 0; x < both.width(); ++x)
                    if ((line[x] & 0xffffff) == 0)
                        row[x] = qRgb(220, 0, 0);
            }
            options.stages(QStringLiteral("4-lines"), both);
        }
        CvPlan::closeFloor(white, result.lines);
        std::future<cv::Mat> distance =
            std::async(std::launch::async, [&white, factor] { return FloorRegions::distances(white, factor); });
        const FloorRegions regions(white);
        const std::vector<float> halfWidths = regions.halfWidths(distance.get(), factor);
        // A region no wider than the plan's thick walls lies inside one: the niche between the
        // two lines of a window drawn across an outer wall.
        const double narrowest =
            std::max(kNarrowestRoomInWalls * openings.wallThickness, double(outerWall)) / 2;
        result.rooms = regions.rooms(minPixels, options.regionMap, &halfWidths, narrowest);
        if (options.stages) {
            QImage map = plan.copy();
            std::vector<QRgb> colour(size_t(regions.count), 0);
            for (int i = 1; i < regions.count; ++i) {
                const bool room =
                    !regions.outside(i) && regions.stats.at<int>(i, cv::CC_STAT_AREA) >= minPixels;
                const uint h = uint(i) * 2654435761u;
                colour[size_t(i)] = room ? qRgb(64 + int(h >> 24) % 192, 64 + int(h >> 16 & 0xff) % 192,
                                                64 + int(h >> 8 & 0xff) % 192)
                                         : qRgb(235, 235, 235);
            }
            for (int y = 0; y < map.height(); ++y) {
                auto *row = reinterpret_cast<QRgb *>(map.scanLine(y));
                const int *label = regions.labels.ptr<int>(y);
                for (int x = 0; x < map.width(); ++x)
                    if (label[x] > 0)
                        row[x] = colour[size_t(label[x])];
            }
            options.stages(QStringLiteral("5-regions"), map);
        }
        return result;
    }
}
