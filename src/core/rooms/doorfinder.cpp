#include "core/rooms/doorfinder.h"

#include "core/rooms/wallfinder.h"

#include <opencv2/imgproc.hpp>

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

constexpr double kQuarter = M_PI / 2;

// Whether `walls` has a point within `half` of `p` (a square, clipped to the plan).
bool wallNear(const cv::Mat &walls, cv::Point2d p, double half)
{
    const int x0 = std::max(0, int(std::floor(p.x - half))),
              x1 = std::min(walls.cols - 1, int(std::ceil(p.x + half)));
    const int y0 = std::max(0, int(std::floor(p.y - half))),
              y1 = std::min(walls.rows - 1, int(std::ceil(p.y + half)));
    for (int y = y0; y <= y1; ++y) {
        const uchar *w = walls.ptr<uchar>(y);
        for (int x = x0; x <= x1; ++x)
            if (w[x])
                return true;
    }
    return false;
}

// One reading of a stroke as a swing: the hinge at a corner of its box, the arc about it.
struct Swing
{
    cv::Point2d hinge;
    cv::Point2d along[2]; // the box's two sides from the hinge, as unit vectors
    double radius = 0;
    double tolerance = 0;
    int leaf[2] = {0, 0}; // the points along each side that are the leaf's
};

// Reads the stroke as a swing about `s.hinge`: the radius most of its points lie at, between
// the box's shorter and longer side (a leaf may be drawn longer than the door is wide). It is
// one when its points lie on that arc or on a leaf along one of the two sides from the hinge,
// with the arc covering the whole quarter: a bowl, a round table or a letter leaves parts of
// it empty or has points elsewhere.
bool fitSwing(const std::vector<cv::Point> &points, Swing &s, int shorter, int longer, int line)
{
    std::vector<int> atDistance(size_t(2 * longer + 2), 0);
    for (const cv::Point &p : points) {
        const cv::Point2d v = cv::Point2d(p) - s.hinge;
        const int d = int(std::lround(std::hypot(v.x, v.y)));
        if (d < int(atDistance.size()))
            ++atDistance[size_t(d)];
    }
    const auto toleranceAt = [line](double r) { return std::max({2.0, 0.08 * r, double(line)}); };
    int best = 0, bestCount = -1;
    for (int r = std::max(1, shorter); r <= longer; ++r) {
        const int t = int(toleranceAt(r));
        int n = 0;
        for (int d = std::max(0, r - t); d <= r + t && d < int(atDistance.size()); ++d)
            n += atDistance[size_t(d)];
        if (n > bestCount) {
            bestCount = n;
            best = r;
        }
    }
    s.radius = best;
    s.tolerance = toleranceAt(best);
    const double leafLength = 1.3 * s.radius + s.tolerance;
    // A leaf is often drawn as a slim rectangle, up to an eighth of the door wide.
    const double leafWidth = std::max(s.tolerance, s.radius / 8);

    constexpr int kBins = 9;
    std::array<bool, kBins> covered{};
    size_t onArc = 0, elsewhere = 0;
    for (const cv::Point &p : points) {
        const cv::Point2d v = cv::Point2d(p) - s.hinge;
        const double a = v.dot(s.along[0]), b = v.dot(s.along[1]);
        const double distance = std::hypot(a, b);
        const bool alongFirst = std::abs(b) <= leafWidth && a >= -s.tolerance && a <= leafLength;
        const bool alongSecond = std::abs(a) <= leafWidth && b >= -s.tolerance && b <= leafLength;
        const bool leaf = alongFirst || alongSecond;
        if (std::abs(distance - s.radius) <= s.tolerance) {
            ++onArc;
            const double angle = std::atan2(std::max(b, 0.0), std::max(a, 0.0));
            covered[size_t(std::clamp(int(angle / kQuarter * kBins), 0, kBins - 1))] = true;
        } else if (!leaf) {
            ++elsewhere;
        } else {
            ++s.leaf[alongFirst ? 0 : 1];
        }
    }
    const auto bins = std::count(covered.begin(), covered.end(), true);
    return onArc * 5 >= points.size() * 2 && elsewhere * 10 <= points.size() && bins >= kBins - 1;
}

// What a doorway's jamb may be: a wall found, or a thin partition running on from the doorway
// in its direction, at least as long as the door is wide (a letter's strokes beside a round
// letter are shorter).
struct Jambs
{
    const cv::Mat &walls;
    // The thin drawing's straight runs, level ones and upright ones apart (a leaf resting
    // against a partition does not make it an L).
    const cv::Mat &level, &upright;

    // A point of each run within `half` of `p` that lies along the doorway and is `length`
    // long. The runs are told apart in a window around `p` that reaches `length` beyond that
    // square, so that a run leaving the window is long enough: labelling the whole sheet's runs
    // for a few doors would cost as much as finding the doors.
    std::vector<cv::Point> partitions(cv::Point2d p, double half, bool isLevel, double length) const
    {
        std::vector<cv::Point> found;
        const cv::Mat &runs = isLevel ? level : upright;
        const int reach = int(std::ceil(half + length)) + 2;
        const cv::Rect window = cv::Rect(int(p.x) - reach, int(p.y) - reach, 2 * reach + 1, 2 * reach + 1) &
                                cv::Rect(0, 0, runs.cols, runs.rows);
        if (window.empty())
            return found;
        cv::Mat labels, stats, centroids;
        const int count = cv::connectedComponentsWithStats(runs(window), labels, stats, centroids, 8, CV_32S);
        std::vector<bool> seen(size_t(count), false);
        const int x0 = std::max(0, int(p.x - half)), x1 = std::min(runs.cols - 1, int(p.x + half));
        const int y0 = std::max(0, int(p.y - half)), y1 = std::min(runs.rows - 1, int(p.y + half));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const int r = labels.at<int>(y - window.y, x - window.x);
                if (r > 0 && !seen[size_t(r)] &&
                    stats.at<int>(r, isLevel ? cv::CC_STAT_WIDTH : cv::CC_STAT_HEIGHT) >= length) {
                    seen[size_t(r)] = true;
                    found.emplace_back(x, y);
                }
            }
        return found;
    }
    bool at(cv::Point2d p, double half, bool level, double length) const
    {
        return wallNear(walls, p, half) || !partitions(p, half, level, length).empty();
    }
};

// The doorway of a swing: the side from the hinge that is an opening between two jambs. Just
// behind it, on the side away from the swing, a jamb stands beyond both its ends and the
// drawing (`drawn`: walls and straight thin runs) is missing along its middle. The leaf's side
// fails this: a wall the open leaf rests against runs along the whole side. When neither side
// is that clear, a side whose middle is only crossed by thin runs (the wall's faces drawn on
// across the doorway, a threshold) and along which no leaf is drawn is the doorway, if the
// other side is not as well.
int doorway(const Jambs &jambs, const cv::Mat &drawn, const Swing &s)
{
    int clear = -1, crossed = -1;
    bool clearTwice = false, crossedTwice = false;
    for (int d = 0; d < 2; ++d) {
        const cv::Point2d door = s.along[d], leaf = s.along[1 - d];
        const cv::Point2d behind = s.hinge - leaf * s.tolerance;
        const double reach = s.tolerance;
        const bool level = door.y == 0;
        const bool both = jambs.at(behind - door * reach, reach, level, s.radius) &&
                          jambs.at(behind + door * (s.radius + reach), reach, level, s.radius);
        if (!both)
            continue;
        bool open = true, noWall = true;
        for (const double t : {0.3, 0.5, 0.7}) {
            const cv::Point2d middle = s.hinge + door * (t * s.radius) - leaf * (reach / 2);
            open = open && !wallNear(drawn, middle, reach / 2);
            noWall = noWall && !wallNear(jambs.walls, middle, reach / 2);
        }
        if (open) {
            clearTwice = clear >= 0;
            clear = d;
        }
        if (noWall && s.leaf[d] * 2 < s.radius) {
            crossedTwice = crossed >= 0;
            crossed = d;
        }
    }
    if (clear >= 0)
        return clearTwice ? -1 : clear; // both read as doorways: no telling
    return crossedTwice ? -1 : crossed;
}

} // namespace

DoorFinder::Found DoorFinder::find(const cv::Mat &drawing, const cv::Mat &walls, int lineWidth, int minRadius,
                                   int maxRadius)
{
    Found found;
    std::vector<Door> &doors = found.doors;
    if (drawing.empty() || minRadius > maxRadius)
        return found;
    const cv::Mat thin = WallFinder::offWalls(drawing, walls);
    // Partitions drawn as a single thin line are not among the walls; a door's jambs may be
    // such lines: straight level or upright runs of the thin drawing at least a door long.
    cv::Mat level, upright;
    cv::morphologyEx(thin, level, cv::MORPH_OPEN,
                     cv::getStructuringElement(cv::MORPH_RECT, cv::Size(minRadius, 1)));
    cv::morphologyEx(thin, upright, cv::MORPH_OPEN,
                     cv::getStructuringElement(cv::MORPH_RECT, cv::Size(1, minRadius)));
    const cv::Mat drawn = walls | level | upright;
    const Jambs jambs{walls, level, upright};
    // A point of each thin partition kept as a door's jamb, level runs first.
    std::vector<cv::Point> keepRun[2];
    cv::Mat labels, stats, centroids;
    // The swings are looked for apart from lines twice the smallest door long (the leaf is no
    // longer than its door): a swing often touches a partition or the outline of a wall.
    cv::Mat swingsOnly = thin.clone();
    {
        cv::Mat longLevel, longUpright;
        const int k = 2 * minRadius;
        cv::morphologyEx(thin, longLevel, cv::MORPH_OPEN,
                         cv::getStructuringElement(cv::MORPH_RECT, cv::Size(k, 1)));
        cv::morphologyEx(thin, longUpright, cv::MORPH_OPEN,
                         cv::getStructuringElement(cv::MORPH_RECT, cv::Size(1, k)));
        swingsOnly &= ~(longLevel | longUpright);
    }
    const int count = cv::connectedComponentsWithStats(swingsOnly, labels, stats, centroids, 8, CV_32S);
    const int line = std::max(1, lineWidth);
    // A swing's box is about as wide as high, and its stroke (arc and leaf, 2,6 radii long)
    // covers little of it: a blob or a piece of hatching does not pass.
    std::vector<int> candidate(size_t(count), -1);
    int candidates = 0;
    for (int i = 1; i < count; ++i) {
        const int w = stats.at<int>(i, cv::CC_STAT_WIDTH), h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        const qint64 area = stats.at<int>(i, cv::CC_STAT_AREA);
        const int side = std::max(w, h);
        if (side - line < minRadius || side - line > maxRadius || 10 * std::min(w, h) < 7 * side)
            continue;
        if (area > qint64(2) * (w + h) * (line + 1) || area < side)
            continue;
        candidate[size_t(i)] = candidates++;
    }
    std::vector<uchar> swing(size_t(count), 0);
    std::vector<std::vector<cv::Point>> points(static_cast<size_t>(candidates));
    for (int y = 0; y < labels.rows; ++y) {
        const int *l = labels.ptr<int>(y);
        for (int x = 0; x < labels.cols; ++x)
            if (candidate[size_t(l[x])] >= 0)
                points[size_t(candidate[size_t(l[x])])].emplace_back(x, y);
    }
    for (int i = 1; i < count; ++i) {
        if (candidate[size_t(i)] < 0)
            continue;
        const int x0 = stats.at<int>(i, cv::CC_STAT_LEFT), y0 = stats.at<int>(i, cv::CC_STAT_TOP);
        const int w = stats.at<int>(i, cv::CC_STAT_WIDTH), h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        const double inset = (line - 1) / 2.0;
        for (const auto &[sx, sy] :
             {std::pair(1, 1), std::pair(-1, 1), std::pair(1, -1), std::pair(-1, -1)}) {
            Swing s;
            s.hinge = cv::Point2d(sx > 0 ? x0 + inset : x0 + w - 1 - inset,
                                  sy > 0 ? y0 + inset : y0 + h - 1 - inset);
            s.along[0] = cv::Point2d(sx, 0);
            s.along[1] = cv::Point2d(0, sy);
            if (!fitSwing(points[size_t(candidate[size_t(i)])], s, std::min(w, h) - line,
                          std::max(w, h) - line, line))
                continue;
            const int d = doorway(jambs, drawn, s);
            if (d >= 0) {
                // In the doorway itself, where the jambs were found, not on the room's floor.
                const cv::Point2d hinge = s.hinge - s.along[1 - d] * s.tolerance;
                doors.push_back({hinge, hinge + s.along[d] * s.radius});
                swing[size_t(i)] = 255;
                // The thin partitions that were its jambs are walls.
                for (const cv::Point2d end :
                     {hinge - s.along[d] * s.tolerance, hinge + s.along[d] * (s.radius + s.tolerance)})
                    for (const cv::Point r : jambs.partitions(end, s.tolerance, s.along[d].y == 0, s.radius))
                        keepRun[s.along[d].y == 0 ? 0 : 1].push_back(r);
                break;
            }
        }
    }
    if (doors.empty())
        return found;
    // Each kept run whole, filled from its point (the fill marks it 128 in a copy of its runs).
    found.partitions = cv::Mat::zeros(drawing.size(), CV_8U);
    for (int axis = 0; axis < 2; ++axis) {
        if (keepRun[axis].empty())
            continue;
        cv::Mat runs = (axis == 0 ? level : upright).clone();
        for (const cv::Point p : keepRun[axis])
            if (runs.at<uchar>(p) == 255)
                cv::floodFill(runs, p, cv::Scalar(128), nullptr, cv::Scalar(), cv::Scalar(), 8);
        found.partitions.setTo(255, runs == 128);
    }
    found.partitions = WallFinder::rejoined(found.partitions, drawing);
    found.swings = cv::Mat(drawing.size(), CV_8U);
    for (int y = 0; y < labels.rows; ++y) {
        const int *l = labels.ptr<int>(y);
        uchar *k = found.swings.ptr<uchar>(y);
        for (int x = 0; x < labels.cols; ++x)
            k[x] = swing[size_t(l[x])];
    }
    return found;
}

void DoorFinder::close(cv::Mat &walls, const std::vector<Door> &doors, int thickness)
{
    for (const Door &door : doors) {
        const cv::Point2d along = door.jamb - door.hinge;
        const double length = std::hypot(along.x, along.y);
        if (length <= 0)
            continue;
        // Past both ends by a tenth, so that the line meets the jambs' walls.
        const cv::Point2d reach = along * (0.1 + double(thickness) / length);
        cv::line(walls, door.hinge - reach, door.jamb + reach, cv::Scalar(255), std::max(1, thickness),
                 cv::LINE_8);
    }
}
