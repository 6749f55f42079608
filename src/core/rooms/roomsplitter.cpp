#include "core/rooms/roomsplitter.h"

#include <opencv2/imgproc.hpp>

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace {

// Distances are counted in half pixels, so that the flooding order is a counting sort.
constexpr int kLevelsPerPixel = 2;

// The flooded parts of the floor as a union-find forest over the pixels. OpenCV has
// connected regions and a marker watershed, but no flooding that decides while it floods
// which parts stay apart (a component tree with its saddle levels); this is that, in time
// near linear in the plan's size.
struct Flood
{
    std::vector<int> parent; // -1: not flooded yet
    std::vector<int> peak;   // at a root: the highest level of its part
    std::vector<int> area;   // at a root: its pixels
    std::vector<uchar> edge; // at a root: its part reaches the sheet's edge (the outside)

    int root(int p)
    {
        while (parent[size_t(p)] != p) {
            parent[size_t(p)] = parent[size_t(parent[size_t(p)])];
            p = parent[size_t(p)];
        }
        return p;
    }
};

struct Point
{
    int x, y;
};

// Covers `points` (a boundary in the small mask) by straight pieces, each as wide as the
// points stray from it, in the large plan's pixels; no piece strays more than `widest`.
void cover(std::vector<Point> points, int factor, double widest, std::vector<ClosingLine> &lines,
           int depth = 0)
{
    if (points.empty())
        return;
    const auto farthest = [&](Point from) {
        Point best = from;
        qint64 bestDistance = -1;
        for (const Point &p : points) {
            const qint64 d = qint64(p.x - from.x) * (p.x - from.x) + qint64(p.y - from.y) * (p.y - from.y);
            if (d > bestDistance) {
                bestDistance = d;
                best = p;
            }
        }
        return best;
    };
    const Point a = farthest(points.front());
    const Point b = farthest(a);
    const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
    double worst = 0, worstAlong = 0;
    if (length > 0) {
        for (const Point &p : points) {
            const double off = std::abs((p.x - a.x) * dy - (p.y - a.y) * dx) / length;
            if (off > worst) {
                worst = off;
                worstAlong = ((p.x - a.x) * dx + (p.y - a.y) * dy) / length;
            }
        }
    }
    // A doorway's boundary is short and near straight: one line across it, as wide as the
    // boundary strays. A long or bent boundary is cut into pieces, and so is any that
    // strays more than `widest`: so wide a line would black out floor.
    if (worst > std::max(1.5, std::min(length / 4, widest)) && depth < 12) {
        // At the farthest point; at the middle when that leaves next to nothing on one side
        // (a blob-like boundary whose farthest point lies near the chord's end), so that the
        // pieces shrink at every cut.
        std::vector<Point> before, after;
        for (const Point &p : points) {
            const double along = ((p.x - a.x) * dx + (p.y - a.y) * dy) / length;
            (along <= worstAlong ? before : after).push_back(p);
        }
        if (8 * std::min(before.size(), after.size()) < points.size()) {
            before.clear();
            after.clear();
            for (const Point &p : points) {
                const double along = ((p.x - a.x) * dx + (p.y - a.y) * dy) / length;
                (along <= length / 2 ? before : after).push_back(p);
            }
        }
        if (!before.empty() && !after.empty()) {
            cover(std::move(before), factor, widest, lines, depth + 1);
            cover(std::move(after), factor, widest, lines, depth + 1);
            return;
        }
    }
    // A small pixel's centre in the large plan, the ends reaching over the whole small pixel
    // beyond the boundary's end: that one is wall in the small mask when any of its points is,
    // and the line must meet that point wherever it lies (reaching only half a small pixel, the
    // lines of the large sheets stopped short of the walls and rooms ran together through the
    // slits). The pieces of a bent boundary overlap where they meet.
    const double ux = length > 0 ? dx / length : 1, uy = length > 0 ? dy / length : 0;
    const double reach = 1.5 * factor + 1;
    const auto big = [&](double x, double y) {
        return QPoint(int(std::lround(x * factor + (factor - 1) / 2.0)),
                      int(std::lround(y * factor + (factor - 1) / 2.0)));
    };
    ClosingLine line;
    line.from = big(a.x - ux * reach / factor, a.y - uy * reach / factor);
    line.to = big(b.x + ux * reach / factor, b.y + uy * reach / factor);
    line.width = int(std::ceil((2 * worst + 1) * factor)) + 2;
    lines.push_back(line);
}

} // namespace

std::vector<ClosingLine> RoomSplitter::split(const cv::Mat &free, const Options &options)
{
    return split(free, options, 1);
}

std::vector<ClosingLine> RoomSplitter::split(const cv::Mat &free, const Options &options, int factor)
{
    CV_Assert(free.type() == CV_8U);
    const int w = free.cols, h = free.rows;
    const size_t n = size_t(w) * size_t(h);
    std::vector<ClosingLine> lines;
    if (n == 0)
        return lines;
    cv::Mat distance;
    cv::distanceTransform(free, distance, cv::DIST_L2, 3, CV_32F);

    // Pixels by level, highest first (a counting sort).
    std::vector<int> level(n, -1);
    int top = 0;
    for (int y = 0; y < h; ++y) {
        const float *d = distance.ptr<float>(y);
        const uchar *f = free.ptr<uchar>(y);
        for (int x = 0; x < w; ++x)
            if (f[x]) {
                const int l = int(d[x] * kLevelsPerPixel);
                level[size_t(y) * w + x] = l;
                top = std::max(top, l);
            }
    }
    std::vector<int> start(size_t(top) + 2, 0);
    for (int l : level)
        if (l >= 0)
            ++start[size_t(top - l) + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<int> order(size_t(start.back()));
    {
        std::vector<int> next(start.begin(), start.end() - 1);
        for (size_t p = 0; p < n; ++p)
            if (level[p] >= 0)
                order[size_t(next[size_t(top - level[p])]++)] = int(p);
    }

    const double ratio = options.widerThanPassage;
    const int minPeak = int(options.minHalfWidth * kLevelsPerPixel);
    const qint64 minArea = std::max<qint64>(1, options.minPixels / 4);
    const bool marked = !options.outside.empty();
    CV_Assert(!marked || (options.outside.type() == CV_8U && options.outside.size() == free.size()));
    Flood flood;
    flood.parent.assign(n, -1);
    flood.peak.assign(n, 0);
    flood.area.assign(n, 0);
    flood.edge.assign(n, 0);
    // A part stands apart from another when it is wider than the passage between them by the
    // ratio; from the outside (what reaches the sheet's edge) when it is wider at all: a
    // plan cut close to the building leaves only a narrow margin, windows may be wider than
    // doors, and no corridor lies outside to be cut.
    const auto standsApart = [&](int r, int at, bool fromOutside) {
        const double passage = double(at) * 2 / kLevelsPerPixel;
        const double widest =
            fromOutside || flood.edge[size_t(r)] ? options.maxOutsidePassage : options.maxPassage;
        if (widest > 0 && passage > widest)
            return false;
        if (flood.edge[size_t(r)])
            return true;
        const int peak = flood.peak[size_t(r)];
        if (peak < minPeak || flood.area[size_t(r)] < minArea)
            return false;
        return fromOutside ? peak >= at + minPeak / 2 : peak >= ratio * at + kLevelsPerPixel;
    };
    for (int p : order) {
        const int at = level[size_t(p)];
        flood.parent[size_t(p)] = p;
        flood.peak[size_t(p)] = at;
        flood.area[size_t(p)] = 1;
        const int x = p % w, y = p / w;
        flood.edge[size_t(p)] =
            x == 0 || y == 0 || x == w - 1 || y == h - 1 || (marked && options.outside.at<uchar>(y, x));
        int neighbours[4] = {x > 0 ? p - 1 : -1, x + 1 < w ? p + 1 : -1, y > 0 ? p - w : -1,
                             y + 1 < h ? p + w : -1};
        // A point joins the part of its highest neighbour first, the way water runs down: in
        // the order of the scan, a row along a wall would join the part it reaches first
        // sideways, however far that part's own floor lies.
        const auto height = [&level](int q) { return q < 0 ? -2 : level[size_t(q)]; };
        for (int i = 1; i < 4; ++i)
            for (int j = i; j > 0 && height(neighbours[j]) > height(neighbours[j - 1]); --j)
                std::swap(neighbours[j], neighbours[j - 1]);
        for (int q : neighbours) {
            if (q < 0 || flood.parent[size_t(q)] < 0)
                continue;
            int a = flood.root(p), b = flood.root(q);
            if (a == b)
                continue;
            if (standsApart(a, at, flood.edge[size_t(b)]) && standsApart(b, at, flood.edge[size_t(a)]))
                continue;
            if (flood.peak[size_t(a)] < flood.peak[size_t(b)])
                std::swap(a, b);
            flood.parent[size_t(b)] = a;
            flood.area[size_t(a)] += flood.area[size_t(b)];
            flood.edge[size_t(a)] |= flood.edge[size_t(b)];
        }
    }

    // Every flooded pixel to its part; the parts that reach the sheet's edge are outside.
    std::vector<int> &part = flood.parent;
    for (size_t p = 0; p < n; ++p)
        if (part[p] >= 0)
            part[p] = flood.root(int(p));
    std::vector<uchar> outside(n, 0);
    const auto edge = [&](int x, int y) {
        const int r = part[size_t(y) * w + x];
        if (r >= 0)
            outside[size_t(r)] = 1;
    };
    for (int x = 0; x < w; ++x) {
        edge(x, 0);
        edge(x, h - 1);
    }
    for (int y = 0; y < h; ++y) {
        edge(0, y);
        edge(w - 1, y);
        for (int x = 0; marked && x < w; ++x)
            if (options.outside.at<uchar>(y, x))
                edge(x, y);
    }
    const auto room = [&](int r) {
        return !outside[size_t(r)] && flood.area[size_t(r)] >= options.minPixels;
    };

    // The boundary: one pixel of each pair of neighbours in different parts, where one of the
    // two parts is a room.
    cv::Mat boundary = cv::Mat::zeros(h, w, CV_8U);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t p = size_t(y) * w + x;
            const int a = part[p];
            if (a < 0)
                continue;
            for (const size_t q : {x + 1 < w ? p + 1 : p, y + 1 < h ? p + w : p}) {
                const int b = part[q];
                if (q != p && b >= 0 && b != a && (room(a) || room(b)))
                    boundary.at<uchar>(y, x) = 255;
            }
        }
    cv::Mat labels;
    const int count = cv::connectedComponents(boundary, labels, 8, CV_32S);
    std::vector<std::vector<Point>> pieces(size_t(std::max(0, count - 1)));
    for (int y = 0; y < h; ++y) {
        const int *l = labels.ptr<int>(y);
        for (int x = 0; x < w; ++x)
            if (l[x] > 0)
                pieces[size_t(l[x] - 1)].push_back({x, y});
    }
    for (std::vector<Point> &piece : pieces)
        // No line strays more than two walls: a wider one would black out floor.
        cover(std::move(piece), factor, std::max(3.0, 2 * options.minHalfWidth), lines);
    return lines;
}
