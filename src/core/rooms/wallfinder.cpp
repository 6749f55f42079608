#include "core/rooms/wallfinder.h"

#include "core/rooms/doorfinder.h"

#include <opencv2/imgproc.hpp>

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <vector>

namespace {

cv::Mat square(int side)
{
    return cv::getStructuringElement(cv::MORPH_RECT, cv::Size(side, side));
}

constexpr int kWidest = 512;

// How many points of the strokes' middle lines (points no nearer the paper than any
// neighbour) lie in strokes of each width: measured across a stroke at its middle, so that a
// wall piece between two doors never passes for its thickness. From the strokes' distance
// transform and its 3 x 3 maximum, counting the points where `counted(x, y)` holds.
template <typename Counted>
std::vector<qint64> histogram(const cv::Mat &distance, const cv::Mat &ridge, Counted counted)
{
    std::vector<qint64> count(kWidest, 0);
    for (int y = 0; y < distance.rows; ++y) {
        const float *d = distance.ptr<float>(y);
        const float *r = ridge.ptr<float>(y);
        for (int x = 0; x < distance.cols; ++x)
            if (d[x] > 0 && d[x] >= r[x] && counted(x, y))
                ++count[size_t(std::clamp(int(std::lround(2 * d[x] - 1)), 1, kWidest - 1))];
    }
    return count;
}

// The commonest width of such a count.
int commonestOf(const std::vector<qint64> &widthCount)
{
    return int(std::max_element(widthCount.begin(), widthCount.end()) - widthCount.begin());
}

// The same for all the strokes of a mask.
std::vector<qint64> histogram(const cv::Mat &mask)
{
    if (cv::countNonZero(mask) == 0)
        return std::vector<qint64>(kWidest, 0);
    cv::Mat distance, ridge;
    cv::distanceTransform(mask, distance, cv::DIST_L2, 3, CV_32F);
    cv::dilate(distance, ridge, square(3));
    return histogram(distance, ridge, [](int, int) { return true; });
}

// The spacing of the drawing's hatching, or 0 when it has none. Hatched walls (and hatched
// cuts through walls of any kind) repeat one short gap between strokes over and over, so
// that most short gaps of the whole drawing are that long: text, furniture and dimension
// lines leave gaps of every length. Measured along rows and columns between two ink points.
int hatchSpacing(const cv::Mat &ink)
{
    constexpr int kShort = 64;
    std::vector<qint64> count(kShort, 0);
    const auto run = [&](const uchar *p, int n, size_t step) {
        int last = -1;
        for (int i = 0; i < n; ++i)
            if (p[size_t(i) * step]) {
                const int gap = i - last - 1;
                if (last >= 0 && gap > 0 && gap < kShort)
                    ++count[size_t(gap)];
                last = i;
            }
    };
    for (int y = 0; y < ink.rows; ++y)
        run(ink.ptr<uchar>(y), ink.cols, 1);
    cv::Mat columns = ink.t();
    for (int x = 0; x < columns.rows; ++x)
        run(columns.ptr<uchar>(x), columns.cols, 1);
    // Gaps of one or two points are the inside of letters and of anti-aliased strokes.
    const qint64 total = std::accumulate(count.begin() + 3, count.end(), qint64(0));
    int best = 0;
    qint64 bestPair = 0;
    for (int gap = 3; gap + 1 < kShort; ++gap) {
        const qint64 pair = count[size_t(gap)] + count[size_t(gap + 1)];
        if (pair > bestPair) {
            bestPair = pair;
            best = gap;
        }
    }
    return total > 0 && bestPair * 2 >= total ? best + 1 : 0;
}

// For each of `count` parts labelled in `parts`, the label `labels` gives its points, where
// every part lies within one labelled piece (a contact within its stroke, a part of the floor
// within its region).
std::vector<int> labelsOf(const cv::Mat &parts, int count, const cv::Mat &labels)
{
    std::vector<int> owner(static_cast<size_t>(std::max(count, 1)), 0);
    for (int y = 0; y < parts.rows; ++y) {
        const int *p = parts.ptr<int>(y);
        const int *l = labels.ptr<int>(y);
        for (int x = 0; x < parts.cols; ++x)
            if (p[x] > 0)
                owner[size_t(p[x])] = l[x];
    }
    return owner;
}

// The directions the walls run in, from the length of their outlines in each direction.
// Windows, partitions and closets' fronts run with the walls or across them; the hips of a roof
// drawn over the plan run from its corners at a slant no wall takes.
class WallDirections
{
public:
    explicit WallDirections(const cv::Mat &walls)
    {
        // Measured on a copy of a few million points at most: a direction needs no detail.
        const int factor = std::max(1, int(std::ceil(std::sqrt(double(walls.total()) / 2e6))));
        cv::Mat small = walls, dx, dy;
        if (factor > 1)
            cv::resize(walls, small, cv::Size(walls.cols / factor, walls.rows / factor), 0, 0,
                       cv::INTER_AREA);
        cv::Sobel(small, dx, CV_32F, 1, 0);
        cv::Sobel(small, dy, CV_32F, 0, 1);
        for (int y = 0; y < small.rows; ++y) {
            const float *gx = dx.ptr<float>(y), *gy = dy.ptr<float>(y);
            for (int x = 0; x < small.cols; ++x)
                if (gx[x] != 0 || gy[x] != 0) {
                    const double length = std::hypot(gx[x], gy[x]);
                    m_length[bin(std::atan2(gx[x], -gy[x]))] += length; // along the outline
                    m_total += length;
                }
        }
    }

    // Whether `angle` lies within fifteen degrees of directions that a twentieth of the walls'
    // outline takes.
    bool taken(double angle) const
    {
        if (m_total <= 0)
            return true;
        const size_t at = bin(angle);
        double near = 0;
        for (size_t k = kBins - 3; k <= kBins + 3; ++k)
            near += m_length[(at + k) % kBins];
        return near >= 0.05 * m_total;
    }

private:
    static constexpr size_t kBins = 36; // five degrees each, over half a turn

    static size_t bin(double angle)
    {
        return size_t(std::floor((angle < 0 ? angle + M_PI : angle) / M_PI * kBins)) % kBins;
    }

    std::array<double, kBins> m_length{};
    double m_total = 0;
};

// Strokes of the thin drawing that run straight from wall to wall, touching the walls at two
// places at least `span` apart: windows drawn as thin lines across a gap in a wall, and thin
// partitions. Door leaves and arcs hang on one wall, texts and furniture touch none or bend;
// hatching is a net, not one straight stroke.
cv::Mat bridges(const cv::Mat &ink, const cv::Mat &walls, int line, int thick, double span)
{
    const WallDirections directions(walls);
    const cv::Mat thin = WallFinder::offWalls(ink, walls);
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(thin, labels, stats, centroids, 8, CV_32S);
    // The contacts: thin pixels close to the walls, grouped into touching places.
    cv::Mat reach, contact;
    cv::dilate(walls, reach, square(2 * thick + 1));
    cv::bitwise_and(thin, reach, contact);
    cv::Mat contactLabels, contactStats, contactCentroids;
    const int contacts =
        cv::connectedComponentsWithStats(contact, contactLabels, contactStats, contactCentroids, 8, CV_32S);
    const std::vector<int> owner = labelsOf(contactLabels, contacts, labels);
    std::vector<std::vector<cv::Point2d>> places(static_cast<size_t>(count));
    for (int i = 1; i < contacts; ++i)
        places[size_t(owner[size_t(i)])].push_back(
            {contactCentroids.at<double>(i, 0), contactCentroids.at<double>(i, 1)});
    std::vector<uchar> keep(static_cast<size_t>(count), 0);
    for (int i = 1; i < count; ++i) {
        const auto &p = places[size_t(i)];
        // A handful of contacts at most, so that comparing each with each stays bounded.
        if (p.size() < 2 || p.size() > 16)
            continue;
        const int length = WallFinder::side(stats, i);
        if (stats.at<int>(i, cv::CC_STAT_AREA) > 2.5 * line * length)
            continue;
        double widest = 0;
        cv::Point2d across;
        for (size_t a = 0; a < p.size(); ++a)
            for (size_t b = a + 1; b < p.size(); ++b)
                if (const double d = std::hypot(p[a].x - p[b].x, p[a].y - p[b].y); d > widest) {
                    widest = d;
                    across = p[b] - p[a];
                }
        keep[size_t(i)] = widest >= span && directions.taken(std::atan2(across.y, across.x)) ? 255 : 0;
    }
    cv::Mat kept(ink.size(), CV_8U);
    for (int y = 0; y < ink.rows; ++y) {
        const int *l = labels.ptr<int>(y);
        uchar *k = kept.ptr<uchar>(y);
        for (int x = 0; x < ink.cols; ++x)
            k[x] = keep[size_t(l[x])];
    }
    return WallFinder::rejoined(kept, ink);
}

// Fronts of fixtures among the bridges. A bath, a shower tray or a counter drawn against the
// walls leaves its front running from wall to wall, and the strip behind the front holds the
// fixture's own outline (the tub, the tray, the basin), which parts off floor nearly as wide as
// the strip itself. A closet behind its front is empty, or holds a rail or a letter. A fixture
// is part of its room, so its front is no wall. Such a strip is wider than a wall and no wider
// than the plan's doors (`door`, 0 when none was found: then no front is dropped).
void dropFixtureFronts(cv::Mat &fronts, const cv::Mat &walls, const cv::Mat &drawing, int wall, double door)
{
    if (door <= 0 || cv::countNonZero(fronts) == 0)
        return;
    // Looked at in points an eighth of a wall across, any drawing in one making it drawn: a strip
    // is wider than a wall, and the outline of a fixture stays closed.
    const int factor = std::max(1, wall / 8);
    const auto shrunk = [factor](const cv::Mat &mask) -> cv::Mat {
        if (factor == 1)
            return mask;
        cv::Mat small;
        cv::resize(mask, small, cv::Size(mask.cols / factor, mask.rows / factor), 0, 0, cv::INTER_AREA);
        return small > 0;
    };
    const cv::Mat front = shrunk(fronts);
    const cv::Mat closed = shrunk(walls) | front;
    cv::Mat regions, stats, centroids;
    const cv::Mat floor = ~closed;
    const int count = cv::connectedComponentsWithStats(floor, regions, stats, centroids, 4, CV_32S);
    // A region's width: twice the farthest any of its points lies from the drawing.
    cv::Mat distance;
    cv::distanceTransform(floor, distance, cv::DIST_L2, 3, CV_32F);
    std::vector<float> deepest(size_t(count), 0);
    for (int y = 0; y < regions.rows; ++y) {
        const int *l = regions.ptr<int>(y);
        const float *d = distance.ptr<float>(y);
        for (int x = 0; x < regions.cols; ++x)
            deepest[size_t(l[x])] = std::max(deepest[size_t(l[x])], d[x]);
    }
    // The floor the whole drawing leaves: within each region, its largest part is the region's
    // own floor, the others are parted off by what is drawn there.
    cv::Mat parts, partStats, partCentroids;
    const int partCount = cv::connectedComponentsWithStats(~(closed | shrunk(drawing)), parts, partStats,
                                                           partCentroids, 4, CV_32S);
    const std::vector<int> regionOf = labelsOf(parts, partCount, regions);
    std::vector<int> largest(size_t(count), 0), partedOff(size_t(count), 0);
    for (int i = 1; i < partCount; ++i) {
        const int r = regionOf[size_t(i)];
        int &own = largest[size_t(r)];
        int smaller = i;
        if (!own || partStats.at<int>(i, cv::CC_STAT_AREA) > partStats.at<int>(own, cv::CC_STAT_AREA))
            std::swap(own, smaller);
        if (smaller)
            partedOff[size_t(r)] = std::max(partedOff[size_t(r)], WallFinder::side(partStats, smaller));
    }
    std::vector<uchar> fixture(size_t(count), 0);
    bool any = false;
    for (int i = 1; i < count; ++i) {
        const int left = stats.at<int>(i, cv::CC_STAT_LEFT), top = stats.at<int>(i, cv::CC_STAT_TOP);
        const bool inside = left > 0 && top > 0 && left + stats.at<int>(i, cv::CC_STAT_WIDTH) < regions.cols &&
                            top + stats.at<int>(i, cv::CC_STAT_HEIGHT) < regions.rows;
        const double width = 2.0 * deepest[size_t(i)] * factor;
        fixture[size_t(i)] =
            inside && width > wall && width <= door && 2 * partedOff[size_t(i)] * factor >= width;
        any = any || fixture[size_t(i)];
    }
    if (!any)
        return;
    // The fronts that touch a fixture's strip go.
    cv::Mat frontLabels;
    const int frontCount = cv::connectedComponents(front, frontLabels, 8, CV_32S);
    std::vector<uchar> drop(size_t(frontCount), 0);
    for (int y = 1; y + 1 < regions.rows; ++y) {
        const int *f = frontLabels.ptr<int>(y);
        for (int x = 1; x + 1 < regions.cols; ++x)
            if (f[x])
                for (const cv::Point q : {cv::Point(x - 1, y), cv::Point(x + 1, y), cv::Point(x, y - 1),
                                          cv::Point(x, y + 1)})
                    drop[size_t(f[x])] |= fixture[size_t(regions.at<int>(q))];
    }
    for (int y = 0; y < fronts.rows && y / factor < frontLabels.rows; ++y) {
        const int *f = frontLabels.ptr<int>(y / factor);
        uchar *k = fronts.ptr<uchar>(y);
        for (int x = 0; x < fronts.cols && x / factor < frontLabels.cols; ++x)
            if (drop[size_t(f[x / factor])])
                k[x] = 0;
    }
}

// Pieces away from the network that are walls all the same: straight solid bars drawn in ink
// from end to end (not closed out of letters or hatching), as thick as the network's walls and
// many times as long as thick (a bold letter is a few times), such as the pieces of an outer
// wall between windows drawn too faint to keep.
//
// On a hatched drawing, partitions are hatched too, and their systems stand loose of the outer
// walls across doorways: not solid in ink, but closed into bars with straight sides. Letters
// closed into a bar have ragged sides and holes, so a piece counts as straight when its
// outline (holes included) is no longer than a bar's of its area and thickness would be.
void keepLooseWalls(const cv::Mat &ink, const cv::Mat &walls, const cv::Mat &labels, const cv::Mat &stats,
                    const cv::Mat &distance, const cv::Mat &ridge, bool hatched, std::vector<uchar> &keep)
{
    const size_t count = keep.size();
    std::vector<qint64> inked(count, 0);
    for (int y = 0; y < walls.rows; ++y) {
        const int *l = labels.ptr<int>(y);
        const uchar *i = ink.ptr<uchar>(y);
        for (int x = 0; x < walls.cols; ++x)
            if (l[x] > 0 && i[x])
                ++inked[size_t(l[x])];
    }
    // Loose, solid and long for their area: only then are the distances worth measuring (a
    // photograph of noise closes into one loose blob, and measuring would cost seconds).
    bool anyCandidate = false;
    for (size_t i = 1; i < count && !anyCandidate; ++i) {
        const qint64 area = stats.at<int>(int(i), cv::CC_STAT_AREA);
        const qint64 side = WallFinder::side(stats, int(i));
        anyCandidate = !keep[i] && (hatched || inked[i] * 10 >= area * 9) && side * side >= 2 * area;
    }
    if (!anyCandidate)
        return;
    cv::Mat network(walls.size(), CV_8U);
    std::vector<float> deepest(count, 0);
    for (int y = 0; y < walls.rows; ++y) {
        const int *l = labels.ptr<int>(y);
        const float *d = distance.ptr<float>(y);
        uchar *n = network.ptr<uchar>(y);
        for (int x = 0; x < walls.cols; ++x) {
            n[x] = keep[size_t(l[x])];
            if (l[x] > 0)
                deepest[size_t(l[x])] = std::max(deepest[size_t(l[x])], d[x]);
        }
    }
    if (cv::countNonZero(network) == 0)
        return;
    // The network's widths from the distances to the paper of all the pieces: pieces lie
    // apart, so a point's nearest paper is the same whichever others are there.
    const std::vector<qint64> networkWidths =
        histogram(distance, ridge, [&](int x, int y) { return network.at<uchar>(y, x) != 0; });
    const int wall = std::max(1, commonestOf(networkWidths));
    std::vector<double> outline(count, 0);
    // The width a hatched piece mostly has: the median of the widths across it at its middle
    // line (a door post at its end makes it thickest there).
    std::vector<float> typical(count, 0);
    if (hatched) {
        std::vector<std::vector<float>> across(count);
        for (int y = 0; y < walls.rows; ++y) {
            const int *l = labels.ptr<int>(y);
            const float *d = distance.ptr<float>(y);
            const float *r = ridge.ptr<float>(y);
            for (int x = 0; x < walls.cols; ++x)
                if (l[x] > 0 && !keep[size_t(l[x])] && d[x] > 0 && d[x] >= r[x])
                    across[size_t(l[x])].push_back(2 * d[x]);
        }
        for (size_t i = 1; i < count; ++i)
            if (!across[i].empty()) {
                auto middle = across[i].begin() + across[i].size() / 2;
                std::nth_element(across[i].begin(), middle, across[i].end());
                typical[i] = *middle;
            }
        std::vector<std::vector<cv::Point>> contours;
        cv::findContours(walls, contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
        for (const auto &contour : contours)
            outline[size_t(labels.at<int>(contour.front()))] += cv::arcLength(contour, true);
    }
    // The pieces shaped as walls; then those of them that lie near the network.
    std::vector<std::pair<size_t, int>> shaped; // a piece and how far it may lie from the network
    for (size_t i = 1; i < count; ++i) {
        if (keep[i])
            continue;
        const int area = stats.at<int>(int(i), cv::CC_STAT_AREA);
        const int side = WallFinder::side(stats, int(i));
        const double thickness = 2 * deepest[i];
        const bool solid = inked[i] * 10 >= qint64(area) * 9;
        // A straight bar: as many points as its length times its thickness, even slanting.
        const bool straight = area <= 1.6 * side * thickness;
        const bool bar =
            solid && straight && thickness >= 0.6 * wall && thickness <= 2.0 * wall && side >= 8 * thickness;
        // A bar's outline is twice its area over its thickness (a quarter more is allowed for
        // its ends and joints); a hatched partition may be far thinner than the outer walls.
        const bool smooth = outline[i] > 0 && outline[i] * typical[i] <= 2.5 * area;
        const bool hatchedBar = hatched && smooth && typical[i] <= 2.0 * wall && side >= 8 * typical[i];
        // A short solid piece as thick as the walls (a corner between two windows, a jamb and
        // the wall to the next window) is a wall too when it stands no farther from the network
        // than a window is wide; farther off, solid furniture and symbols are as thick.
        const bool stub = solid && thickness >= 0.6 * wall && thickness <= 2.0 * wall && side >= 3 * thickness;
        if (bar || hatchedBar)
            shaped.push_back({i, 12 * wall});
        else if (stub)
            shaped.push_back({i, 6 * wall});
    }
    // A loose wall lies within a room's width of the network (a window or two away); dimension
    // ticks and furniture on the margins do not count. Measured as the distance along rows and
    // columns: the network's points that near a piece lie in its box grown by that distance, so
    // a few pieces are measured each in its box, many at once over the whole sheet.
    const cv::Rect sheet(0, 0, walls.cols, walls.rows);
    const auto boxOf = [&](size_t i) {
        return cv::Rect(stats.at<int>(int(i), cv::CC_STAT_LEFT), stats.at<int>(int(i), cv::CC_STAT_TOP),
                        stats.at<int>(int(i), cv::CC_STAT_WIDTH), stats.at<int>(int(i), cv::CC_STAT_HEIGHT));
    };
    std::vector<cv::Rect> around;
    double measured = 0;
    for (const auto &[i, reach] : shaped) {
        const cv::Rect own = boxOf(i);
        around.push_back(
            cv::Rect(own.x - reach, own.y - reach, own.width + 2 * reach, own.height + 2 * reach) & sheet);
        measured += around.back().area();
    }
    if (measured >= sheet.area())
        around.assign(shaped.size(), sheet);
    cv::Mat fromNetwork;
    cv::Rect measuredBox;
    for (size_t k = 0; k < shaped.size(); ++k) {
        const cv::Rect box = around[k];
        if (box != measuredBox) {
            cv::Mat away;
            cv::bitwise_not(network(box), away);
            cv::distanceTransform(away, fromNetwork, cv::DIST_L1, 3, CV_32F);
            measuredBox = box;
        }
        const auto [piece, reach] = shaped[k];
        const cv::Rect own = boxOf(piece);
        float nearest = std::numeric_limits<float>::max();
        for (int y = own.y; y < own.y + own.height; ++y) {
            const int *l = labels.ptr<int>(y);
            const float *d = fromNetwork.ptr<float>(y - box.y) - box.x;
            for (int x = own.x; x < own.x + own.width; ++x)
                if (size_t(l[x]) == piece)
                    nearest = std::min(nearest, d[x]);
        }
        if (nearest <= reach)
            keep[piece] = 255;
    }
}

} // namespace

cv::Mat WallFinder::offWalls(const cv::Mat &drawing, const cv::Mat &walls)
{
    cv::Mat near, off;
    cv::dilate(walls, near, square(3));
    cv::bitwise_and(drawing, ~near, off);
    return off;
}

cv::Mat WallFinder::rejoined(const cv::Mat &kept, const cv::Mat &drawing)
{
    cv::Mat joined;
    cv::dilate(kept, joined, square(5));
    cv::bitwise_and(joined, drawing, joined);
    return joined;
}

int WallFinder::side(const cv::Mat &stats, int i)
{
    return std::max(stats.at<int>(i, cv::CC_STAT_WIDTH), stats.at<int>(i, cv::CC_STAT_HEIGHT));
}

std::vector<uchar> WallFinder::network(const cv::Mat &stats, int count, int &longest)
{
    longest = 0;
    for (int i = 1; i < count; ++i)
        longest = std::max(longest, side(stats, i));
    std::vector<uchar> pieces(size_t(std::max(count, 1)), 0);
    for (int i = 1; i < count; ++i)
        pieces[size_t(i)] = 4 * side(stats, i) >= longest ? 255 : 0;
    return pieces;
}

std::pair<int, int> WallFinder::widths(const cv::Mat &mask)
{
    const std::vector<qint64> count = histogram(mask);
    const int commonest = commonestOf(count);
    const qint64 total = std::accumulate(count.begin(), count.end(), qint64(0));
    if (total == 0)
        return {1, 1};
    qint64 below = 0;
    int thick = 1;
    while (thick < kWidest - 1 && (below += count[size_t(thick)]) * 10 < total * 9)
        ++thick;
    return {commonest, thick};
}

namespace {

// The thin drawing's width: the commonest width up to half the commonest one, when such strokes
// are a noticeable share; a plan of walls alone has none, and then nothing is thin enough to
// leave out.
int thinWidth(const std::vector<qint64> &widthCount, int commonest)
{
    if (commonest < 2)
        return commonest;
    const auto thin = std::max_element(widthCount.begin() + 1, widthCount.begin() + commonest / 2 + 1);
    return *thin * 10 >= widthCount[size_t(commonest)] ? int(thin - widthCount.begin()) : commonest;
}

// A drawing of thick strokes alone has nothing thin to leave out: it is kept whole.
bool thickOnly(int line, int commonest)
{
    return line == commonest && commonest >= 4;
}

} // namespace

WallFinder::Strokes WallFinder::strokes(const cv::Mat &ink)
{
    const std::vector<qint64> widthCount = histogram(ink);
    const int commonest = commonestOf(widthCount);
    const int line = thinWidth(widthCount, commonest);
    return {line, thickOnly(line, commonest)};
}

WallFinder::Result WallFinder::find(const cv::Mat &ink, const cv::Mat &faint, const cv::Mat &faintest)
{
    Result result;
    const std::vector<qint64> widthCount = histogram(ink);
    const int commonest = commonestOf(widthCount);
    const int line = thinWidth(widthCount, commonest);
    result.lineWidth = line;
    // Walls drawn as two lines with hatching between them become solid once gaps a few line
    // widths across are closed; a lone line stays as thin however much is closed. Then what
    // is thicker than twice the thin drawing's width stays: walls of every thickness at once,
    // down to thin partitions.
    const int hatching = hatchSpacing(ink);
    const int gap = std::max({3, int(3 * line) | 1, (hatching + 2) | 1});
    const int thick = std::max(3, 2 * line + 1);
    cv::Mat walls;
    cv::morphologyEx(ink, walls, cv::MORPH_CLOSE, square(gap));
    cv::morphologyEx(walls, walls, cv::MORPH_OPEN, square(thick));

    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(walls, labels, stats, centroids, 8, CV_32S);
    // The network: pieces a quarter as long as the longest; shorter pieces (down to a tenth:
    // a wall between two doors) when they come within a few walls of the network, so that a
    // word whose letters closed into a bar, loose in a room, is no wall.
    int longest = 0;
    std::vector<uchar> keep = network(stats, count, longest);
    const int kept = std::max(double(8 * thick), 0.1 * longest);
    const auto side = [&](int i) { return WallFinder::side(stats, i); };
    cv::Mat reach(walls.size(), CV_8U);
    for (int y = 0; y < walls.rows; ++y) {
        const int *l = labels.ptr<int>(y);
        uchar *r = reach.ptr<uchar>(y);
        for (int x = 0; x < walls.cols; ++x)
            r[x] = keep[size_t(l[x])];
    }
    cv::dilate(reach, reach, square(std::max(2 * gap + 1, (6 * thick) | 1)));
    for (int y = 0; y < walls.rows; ++y) {
        const int *l = labels.ptr<int>(y);
        const uchar *r = reach.ptr<uchar>(y);
        for (int x = 0; x < walls.cols; ++x)
            if (l[x] > 0 && r[x] && !keep[size_t(l[x])] && side(l[x]) >= kept)
                keep[size_t(l[x])] = 255;
    }
    // The pieces' widths, measured once for all of them: pieces lie apart, so a point's
    // nearest paper is the same whichever of the others are kept.
    cv::Mat distance, ridge;
    cv::distanceTransform(walls, distance, cv::DIST_L2, 3, CV_32F);
    cv::dilate(distance, ridge, square(3));
    keepLooseWalls(ink, walls, labels, stats, distance, ridge, hatching > 0, keep);
    for (int y = 0; y < walls.rows; ++y) {
        const int *l = labels.ptr<int>(y);
        uchar *w = walls.ptr<uchar>(y);
        for (int x = 0; x < walls.cols; ++x)
            w[x] = keep[size_t(l[x])];
    }
    result.found = longest >= std::min(ink.cols, ink.rows) / 4 && !thickOnly(line, commonest);
    result.wallThickness = line;
    if (longest > 0) {
        const cv::Mat &drawing = faint.empty() ? ink : faint;
        const int wall = std::max(1, commonestOf(histogram(distance, ridge, [&](int x, int y) {
                                      return keep[size_t(labels.at<int>(y, x))] != 0;
                                  })));
        if (result.found)
            result.wallThickness = wall;
        // Doors first, so that a swing hanging from wall to wall is not taken for a bridge. A
        // door is twice as wide as the commonest walls at least, and far narrower than the
        // building; a smaller swing is a symbol (a radiator, a tap).
        const int minDoor = std::max({2 * wall, 2 * thick, longest / 60});
        const DoorFinder::Found doors =
            DoorFinder::find(faintest.empty() ? drawing : faintest, walls, line, minDoor, longest / 4);
        const cv::Mat rest = doors.swings.empty() ? drawing : (drawing & ~doors.swings);
        // A bridge spans eight thick strokes, or a twentieth of the building, from wall to wall;
        // its contacts' centres lie about a stroke in from either wall, so six between them (a
        // closet's bi-fold front, drawn light and parted from its jambs, is no longer).
        cv::Mat fronts = bridges(rest, walls, line, thick, std::max(double(6 * thick), 0.05 * longest));
        // The doors' median width measures the fixtures.
        std::vector<double> doorWidths;
        for (const DoorFinder::Door &d : doors.doors)
            doorWidths.push_back(std::hypot(d.jamb.x - d.hinge.x, d.jamb.y - d.hinge.y));
        double door = 0;
        if (!doorWidths.empty()) {
            const auto middle = doorWidths.begin() + doorWidths.size() / 2;
            std::nth_element(doorWidths.begin(), middle, doorWidths.end());
            door = *middle;
        }
        dropFixtureFronts(fronts, walls, rest, wall, door);
        walls |= fronts;
        if (!doors.partitions.empty())
            walls |= doors.partitions;
        DoorFinder::close(walls, doors.doors, thick);
    }
    result.walls = walls;
    return result;
}
