#include "core/rooms/wallends.h"

#include "core/rooms/cvplan.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>

namespace {

// Walking the outline of a stroke a distance k both ways from a point of its end leads around
// the end and back along its two sides: the two points reached lie across the stroke from each
// other, as far apart as it is thick and far behind the end. Along a side or round a corner
// they lie nearly 2k or k·√2 apart. Outer walls are two or three times as thick as inner ones,
// so the walk is tried at lengths growing by half, each end kept at the shortest one that
// shows it (the one that measures its own thickness, not that of the wall it stands on); a
// short piece of outer wall between a window and a corner shows at no longer one.
constexpr float kChordShare = 0.8f; // an end: the two points at most 0.8 k apart
constexpr float kDepthShare = 0.4f; // and its point at least 0.4 k out beyond their middle

// Ends facing each other: each one's direction within about 35° of the line to the other.
constexpr float kFacing = 0.82f;

std::atomic<std::uint64_t> g_pairsExamined{0};

// The ends in square cells as wide as the farthest two may lie apart, so that each end looks
// at the ends of its own cell and the eight around it, not at every end of the plan: a
// photograph nobody prepared has hundreds of thousands of them. OpenCV has no neighbour
// search over a few points of an image that would be cheaper than this.
class NearIndex
{
public:
    NearIndex(cv::Size sheet, float reach)
        : m_cell(std::max(1.0f, reach))
        , m_columns(std::max(1, int(float(sheet.width) / m_cell) + 1))
        , m_rows(std::max(1, int(float(sheet.height) / m_cell) + 1))
        , m_cells(size_t(m_columns) * size_t(m_rows))
    {}

    void add(cv::Point2f p, size_t index) { m_cells[cellOf(column(p.x), row(p.y))].push_back(index); }

    template <typename Visit> void visit(cv::Point2f p, Visit &&visitor) const
    {
        const int cx = column(p.x), cy = row(p.y);
        for (int y = std::max(0, cy - 1); y <= std::min(m_rows - 1, cy + 1); ++y)
            for (int x = std::max(0, cx - 1); x <= std::min(m_columns - 1, cx + 1); ++x)
                for (const size_t index : m_cells[cellOf(x, y)])
                    visitor(index);
    }

private:
    int column(float x) const { return std::clamp(int(std::floor(x / m_cell)), 0, m_columns - 1); }
    int row(float y) const { return std::clamp(int(std::floor(y / m_cell)), 0, m_rows - 1); }
    size_t cellOf(int x, int y) const { return size_t(y) * size_t(m_columns) + size_t(x); }

    float m_cell;
    int m_columns, m_rows;
    std::vector<std::vector<size_t>> m_cells;
};

float length(cv::Point2f v)
{
    return std::hypot(v.x, v.y);
}

// Whether the straight way from `a` to `b` leaves a's drawing, crosses only floor and then
// stays in b's drawing.
bool clearBetween(const cv::Mat &black, cv::Point a, cv::Point b)
{
    cv::LineIterator it(black, a, b, 8);
    int state = 0; // 0: in a's drawing, 1: on the floor, 2: in b's drawing
    for (int i = 0; i < it.count; ++i, ++it) {
        const bool drawn = **it != 0;
        if (state == 0 && !drawn)
            state = 1;
        else if (state == 1 && drawn)
            state = 2;
        else if (state == 2 && !drawn)
            return false;
    }
    return state == 2;
}

// Whether a strip `width` wide from `a` to `b` holds no drawing with floor on both sides of it
// along the way: a gap bridged by window lines on the wall's faces is closed already.
bool openStrip(const cv::Mat &black, cv::Point2f a, cv::Point2f b, float width)
{
    cv::Point2f across(a.y - b.y, b.x - a.x);
    across /= std::max(1e-3f, length(across));
    const cv::Rect sheet(0, 0, black.cols, black.rows);
    for (float off = -width / 2 - 1; off <= width / 2 + 1; off += 1) {
        const cv::Point2f p = a + across * off, q = b + across * off;
        cv::LineIterator it(black, cv::Point(cvRound(p.x), cvRound(p.y)),
                            cv::Point(cvRound(q.x), cvRound(q.y)), 8);
        bool floorBefore = false, drawnAfterFloor = false;
        for (int i = 0; i < it.count; ++i, ++it) {
            if (!sheet.contains(it.pos()))
                continue;
            const bool drawn = **it != 0;
            if (!drawn && drawnAfterFloor)
                return false;
            floorBefore = floorBefore || !drawn;
            drawnAfterFloor = drawnAfterFloor || (drawn && floorBefore);
        }
    }
    return true;
}

// The first drawn point of `black` the way from `tip` along `direction` meets once it has left
// the drawing it starts in, within `reach`; (-1, -1) when there is none.
cv::Point firstHit(const cv::Mat &black, cv::Point2f tip, cv::Point2f direction, int reach)
{
    const cv::Point2f far = tip + direction * float(reach);
    cv::LineIterator it(black, cv::Point(cvRound(tip.x), cvRound(tip.y)),
                        cv::Point(cvRound(far.x), cvRound(far.y)), 8);
    bool onFloor = false;
    for (int i = 0; i < it.count; ++i, ++it) {
        const bool drawn = **it != 0;
        if (onFloor && drawn)
            return it.pos();
        onFloor = onFloor || !drawn;
    }
    return {-1, -1};
}

// Whether the wall runs on straight behind an end, as thick as at the end, for three of its
// thicknesses: a wall standing across the way ahead of it is looked for only from such ends,
// not from the corner of a short piece of wall, whose direction tells little.
bool straightBehind(const cv::Mat &walls, const WallEnds::End &end, int wallThickness)
{
    const cv::Rect sheet(0, 0, walls.cols, walls.rows);
    const cv::Point2f across(-end.direction.y, end.direction.x);
    const float side = end.width / 2 + std::max(2.0f, float(wallThickness) / 2);
    const auto wall = [&](cv::Point2f p) {
        const cv::Point q(cvRound(p.x), cvRound(p.y));
        return sheet.contains(q) && walls.at<uchar>(q) != 0;
    };
    for (const float back : {1.5f, 3.0f}) {
        const cv::Point2f p = end.tip - end.direction * (back * float(wallThickness) + end.width / 2);
        if (!wall(p) || wall(p + across * side) || wall(p - across * side))
            return false;
    }
    return true;
}

} // namespace

std::vector<WallEnds::End> WallEnds::find(const cv::Mat &walls, int wallThickness)
{
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(walls, contours, cv::RETR_LIST, cv::CHAIN_APPROX_NONE);
    const float thickness = float(std::max(1, wallThickness));
    std::vector<End> ends;
    // An end is known when an earlier walk found one within its width or the new chord; both
    // are at most the chord share of the longest walk.
    NearIndex earlier(walls.size(), kChordShare * float(std::max(3, int(std::lround(5.1f * thickness)))) + 1);
    int shorter = 0;
    for (const float scale : {1.5f, 2.25f, 3.4f, 5.1f}) {
        const int k = std::max(3, int(std::lround(scale * thickness)));
        // What is thin enough to show at the shorter walk and did not is no end but the
        // corner of a short piece of wall, walked round whole.
        const float thinnest = std::max(0.5f * thickness, kChordShare * float(shorter));
        shorter = k;
        const size_t found = ends.size();
        for (const std::vector<cv::Point> &contour : contours) {
            const int n = int(contour.size());
            if (n < 4 * k)
                continue;
            const auto at = [&](int i) { return cv::Point2f(contour[size_t(((i % n) + n) % n)]); };
            std::vector<float> chord(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i)
                chord[size_t(i)] = length(at(i - k) - at(i + k));
            for (int i = 0; i < n; ++i) {
                const float c = chord[size_t(i)];
                if (c > kChordShare * float(k) || c < thinnest)
                    continue;
                // The middle of the end: the narrowest chord near it, the first of equals.
                bool least = true;
                for (int j = -k / 2; j <= k / 2 && least; ++j) {
                    const float other = chord[size_t((((i + j) % n) + n) % n)];
                    least = j < 0 ? other > c : j == 0 || other >= c;
                }
                if (!least)
                    continue;
                const cv::Point2f tip = at(i), behind = (at(i - k) + at(i + k)) * 0.5f;
                const float depth = length(tip - behind);
                if (depth < kDepthShare * float(k))
                    continue;
                // The bottom of a slot of floor between two walls looks the same from inside
                // the walls; an end has floor ahead of it.
                const cv::Point2f direction = (tip - behind) / depth;
                const cv::Point ahead(cvRound(tip.x + 2 * direction.x), cvRound(tip.y + 2 * direction.y));
                if (!cv::Rect(0, 0, walls.cols, walls.rows).contains(ahead) || walls.at<uchar>(ahead))
                    continue;
                bool known = false;
                earlier.visit(tip, [&](size_t e) {
                    known = known || length(ends[e].tip - tip) <= std::max(ends[e].width, c);
                });
                if (!known)
                    ends.push_back({tip, direction, c});
            }
        }
        for (size_t e = found; e < ends.size(); ++e)
            earlier.add(ends[e].tip, e);
    }
    return ends;
}

std::vector<ClosingLine> WallEnds::facingEnds(const cv::Mat &walls, const cv::Mat &black, int wallThickness,
                                              int maxGap, std::span<const ClosingLine> known)
{
    const std::vector<End> ends = find(walls, wallThickness);
    // Each end's nearest partner; a pair is a line when each is the other's.
    std::vector<int> partner(ends.size(), -1);
    std::vector<float> distance(ends.size(), 0);
    NearIndex near(walls.size(), float(std::max(1, maxGap)));
    for (size_t e = 0; e < ends.size(); ++e)
        near.add(ends[e].tip, e);
    std::vector<size_t> candidates;
    for (size_t a = 0; a < ends.size(); ++a) {
        // The nearest partner wins, the first of equals in the ends' order, as if every end
        // were looked at.
        candidates.clear();
        near.visit(ends[a].tip, [&](size_t b) { candidates.push_back(b); });
        std::sort(candidates.begin(), candidates.end());
        g_pairsExamined += candidates.size();
        for (const size_t b : candidates) {
            const cv::Point2f gap = ends[b].tip - ends[a].tip;
            const float d = length(gap);
            if (b == a || d < 2 || d > float(maxGap))
                continue;
            const cv::Point2f u = gap / d;
            if (ends[a].direction.dot(u) < kFacing || -ends[b].direction.dot(u) < kFacing)
                continue;
            if (partner[a] >= 0 && d >= distance[a])
                continue;
            if (!clearBetween(black, ends[a].tip, ends[b].tip) ||
                !openStrip(black, ends[a].tip, ends[b].tip, std::min(ends[a].width, ends[b].width)))
                continue;
            partner[a] = int(b);
            distance[a] = d;
        }
    }
    cv::Mat closed;
    if (!known.empty()) {
        closed = cv::Mat::zeros(black.size(), CV_8U);
        for (const ClosingLine &line : known) {
            cv::line(closed, cv::Point(line.from.x(), line.from.y()), cv::Point(line.to.x(), line.to.y()),
                     cv::Scalar(255), std::max(1, line.width) + 2);
        }
    }
    std::vector<ClosingLine> lines;
    for (size_t a = 0; a < ends.size(); ++a) {
        const int b = partner[a];
        if (b <= int(a) || partner[size_t(b)] != int(a))
            continue;
        const End &ea = ends[a], &eb = ends[size_t(b)];
        const cv::Point2f middle = (ea.tip + eb.tip) * 0.5f;
        if (!closed.empty() && closed.at<uchar>(cvRound(middle.y), cvRound(middle.x)))
            continue;
        // Reaching a little into both walls, so that an end cut square to the rows rather than
        // to the wall leaves no crack beside the line.
        const float reach = std::max(1.0f, std::min(ea.width, eb.width) / 4);
        const cv::Point2f from = ea.tip - ea.direction * reach, to = eb.tip - eb.direction * reach;
        lines.push_back({QPoint(cvRound(from.x), cvRound(from.y)), QPoint(cvRound(to.x), cvRound(to.y)),
                         std::max(1, int(std::lround(std::min(ea.width, eb.width))))});
    }
    // An end with no end facing it may stop short of a wall running across its way: a door
    // by a corner, or a wall that does not quite reach a slanting one. Only walls count as
    // the far side; the way to a line or a letter is no opening.
    for (size_t a = 0; a < ends.size(); ++a) {
        const int b = partner[a];
        if (b >= 0 && partner[size_t(b)] == int(a))
            continue;
        const End &e = ends[a];
        if (!straightBehind(walls, e, wallThickness))
            continue;
        const cv::Point hit = firstHit(black, e.tip, e.direction, maxGap);
        if (hit.x < 0 || !walls.at<uchar>(hit) || length(cv::Point2f(hit) - e.tip) < 2 ||
            !openStrip(black, e.tip, cv::Point2f(hit), e.width))
            continue;
        const cv::Point2f middle = (e.tip + cv::Point2f(hit)) * 0.5f;
        if (!closed.empty() && closed.at<uchar>(cvRound(middle.y), cvRound(middle.x)))
            continue;
        const float reach = std::max(1.0f, e.width / 4);
        const cv::Point2f from = e.tip - e.direction * reach, to = cv::Point2f(hit) + e.direction * reach;
        lines.push_back({QPoint(cvRound(from.x), cvRound(from.y)), QPoint(cvRound(to.x), cvRound(to.y)),
                         std::max(1, int(std::lround(e.width)))});
    }
    return lines;
}

void WallEnds::dropLoose(std::vector<ClosingLine> &lines, const cv::Mat &black, int wallThickness)
{
    // Looked at in a box a few wall thicknesses round each end, not over the whole plan (the
    // label image of a large plan is 140 MB): what leaves the box is wall, and so is a piece
    // within it as large as twelve squares of a wall's thickness.
    const int around = 4 * wallThickness + 2;
    const int smallest = 12 * wallThickness * wallThickness;
    const cv::Rect sheet(0, 0, black.cols, black.rows);
    cv::Mat labels, stats, centroids;
    const auto onWall = [&](QPoint p) {
        const cv::Rect box = cv::Rect(p.x() - around, p.y() - around, 2 * around + 1, 2 * around + 1) & sheet;
        const cv::Rect near = cv::Rect(p.x() - 2, p.y() - 2, 5, 5) & box;
        if (near.empty())
            return false;
        cv::connectedComponentsWithStats(black(box), labels, stats, centroids, 8, CV_32S);
        for (int y = near.y; y < near.y + near.height; ++y) {
            for (int x = near.x; x < near.x + near.width; ++x) {
                const int label = labels.at<int>(y - box.y, x - box.x);
                if (label == 0)
                    continue;
                const int left = stats.at<int>(label, cv::CC_STAT_LEFT),
                          top = stats.at<int>(label, cv::CC_STAT_TOP);
                if (left == 0 || top == 0 || left + stats.at<int>(label, cv::CC_STAT_WIDTH) == box.width ||
                    top + stats.at<int>(label, cv::CC_STAT_HEIGHT) == box.height ||
                    stats.at<int>(label, cv::CC_STAT_AREA) >= smallest)
                    return true;
            }
        }
        return false;
    };
    std::erase_if(lines, [&](const ClosingLine &line) { return !onWall(line.from) || !onWall(line.to); });
}

cv::Mat WallEnds::thickStrokes(const cv::Mat &black, int lineWidth, int wallThickness)
{
    if (wallThickness < lineWidth + 3)
        return black;
    // A disc, not the square preparation opens with: a square as wide as a wall does not fit
    // into a wall running at 45°.
    const int k = CvPlan::wallKernel(lineWidth, wallThickness);
    cv::Mat walls;
    cv::morphologyEx(black, walls, cv::MORPH_OPEN,
                     cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(k, k)));
    return walls;
}

std::vector<ClosingLine> WallEnds::openings(const cv::Mat &black, const OpeningFinder::Options &options,
                                            std::span<const ClosingLine> known)
{
    int line = options.lineWidth, wall = options.wallThickness;
    if (line <= 0 || wall <= 0) {
        const CvPlan::StrokeWidths widths = CvPlan::strokeWidths(black);
        line = widths.line;
        wall = widths.wall;
    }
    const int maxGap = options.maxGap > 0 ? options.maxGap : 10 * wall;
    return facingEnds(thickStrokes(black, line, wall), black, wall, maxGap, known);
}

cv::Mat WallEnds::inWallLines(const cv::Mat &walls, const cv::Mat &grey, std::span<const ClosingLine> gaps,
                              int contrast, int lineWidth)
{
    cv::Mat kept = cv::Mat::zeros(walls.size(), CV_8U);
    const cv::Rect sheet(0, 0, walls.cols, walls.rows);
    // Strokes darker than the paper around them, whatever its level: a tinted floor reaching
    // into the gap is no line, a grey window line on white is.
    const int reach = 2 * lineWidth + 3;
    const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(reach, reach));
    const cv::Mat rim =
        cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2 * lineWidth + 1, 2 * lineWidth + 1));
    cv::Mat strip, strokes, dark, paper, chosen, labels, stats, centroids;
    for (ClosingLine gap : gaps) {
        // Window lines are drawn on the faces of the wall, as far out as the gap's sides reach.
        gap.width += 2 * lineWidth + 2;
        const QRect box = gap.bounds().adjusted(-reach, -reach, reach, reach);
        const cv::Rect r = cv::Rect(box.x(), box.y(), box.width(), box.height()) & sheet;
        cv::morphologyEx(grey(r), strokes, cv::MORPH_BLACKHAT, kernel);
        cv::threshold(strokes, strokes, contrast - 1, 255, cv::THRESH_BINARY);
        // The closing fills the paper between two lines too, which is no darker for it.
        cv::threshold(grey(r), dark, 255 - contrast, 255, cv::THRESH_BINARY_INV);
        cv::bitwise_and(strokes, dark, strokes);
        strip = cv::Mat::zeros(r.size(), CV_8U);
        const ClosingLine local{gap.from - QPoint(r.x, r.y), gap.to - QPoint(r.x, r.y), gap.width};
        CvPlan::drawLines(strip, std::span(&local, 1));
        cv::bitwise_and(strip, dark, dark);
        cv::bitwise_and(strip, strokes, strip);
        // The wall ends would join the lines on both faces into one, and so would their rims,
        // which the opening that found the walls may have taken off them.
        cv::dilate(walls(r), paper, rim);
        strip.setTo(0, paper);
        // Only strokes along the gap, most of its length: a door's leaf and arc cross it.
        const int count = cv::connectedComponentsWithStats(strip, labels, stats, centroids, 8, CV_32S);
        const double span = std::hypot(gap.to.x() - gap.from.x(), gap.to.y() - gap.from.y());
        for (int i = 1; i < count; ++i) {
            if (std::max(stats.at<int>(i, cv::CC_STAT_WIDTH), stats.at<int>(i, cv::CC_STAT_HEIGHT)) <
                0.4 * span)
                continue;
            std::vector<cv::Point> points;
            cv::findNonZero(labels == i, points);
            const cv::RotatedRect shape = cv::minAreaRect(points);
            const float along = std::max(shape.size.width, shape.size.height);
            const float across = std::min(shape.size.width, shape.size.height);
            if (along >= 0.75 * span && across <= 2 * lineWidth + 3)
                kept(r).setTo(255, labels == i);
        }
        // The lines again as far as the walls, through the rims taken off above.
        cv::dilate(kept(r), chosen, rim);
        cv::bitwise_and(chosen, dark, chosen);
        cv::bitwise_or(kept(r), chosen, kept(r));
    }
    return kept;
}

std::uint64_t WallEnds::pairsExamined()
{
    return g_pairsExamined.load();
}
