#include "core/rooms/wallfinder.h"

#include <opencv2/imgproc.hpp>

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <vector>

namespace {

double tuning(const char *name, double fallback)
{
    const char *v = std::getenv(name);
    return v ? std::atof(v) : fallback;
}

cv::Mat square(int side)
{
    return cv::getStructuringElement(cv::MORPH_RECT, cv::Size(side, side));
}

} // namespace

int WallFinder::commonestWidth(const cv::Mat &mask)
{
    return widths(mask).first;
}

std::pair<int, int> WallFinder::widths(const cv::Mat &mask)
{
    if (cv::countNonZero(mask) == 0)
        return {1, 1};
    cv::Mat distance, ridge;
    cv::distanceTransform(mask, distance, cv::DIST_L2, 3, CV_32F);
    // The middle line of a stroke: points no nearer the paper than any neighbour.
    cv::dilate(distance, ridge, square(3));
    std::vector<qint64> count(512, 0);
    for (int y = 0; y < mask.rows; ++y) {
        const float *d = distance.ptr<float>(y);
        const float *r = ridge.ptr<float>(y);
        for (int x = 0; x < mask.cols; ++x)
            if (d[x] > 0 && d[x] >= r[x]) {
                const int width = std::clamp(int(std::lround(2 * d[x] - 1)), 1, 511);
                ++count[size_t(width)];
            }
    }
    const int commonest = int(std::max_element(count.begin(), count.end()) - count.begin());
    const qint64 total = std::accumulate(count.begin(), count.end(), qint64(0));
    qint64 below = 0;
    int thick = 1;
    while (thick < 511 && (below += count[size_t(thick)]) * 10 < total * 9)
        ++thick;
    return {commonest, thick};
}

WallFinder::Result WallFinder::find(const cv::Mat &ink)
{
    Result result;
    result.lineWidth = commonestWidth(ink);
    const int line = result.lineWidth;
    // Walls drawn as two lines, with hatching or nothing between them, become solid once the
    // gap between the lines is closed; the gap is not known beforehand, so several are tried,
    // each kept only where the closed drawing is thicker than the gap (a lone line stays thin
    // however much is closed; two lines a gap apart become a wall).
    cv::Mat walls = cv::Mat::zeros(ink.size(), CV_8U);
    const int scales = int(tuning("ROOMS_SCALES", 1));
    for (int step = 0; step < scales; ++step) {
        const double factor = tuning("ROOMS_GAP", 3.0) * std::pow(tuning("ROOMS_GAPSTEP", 2.0), step);
        const int gap = std::max(3, int(factor * line) | 1);
        cv::Mat closed, thickPart;
        cv::morphologyEx(ink, closed, cv::MORPH_CLOSE, square(gap));
        const int thick = std::max(3, step == 0 ? int(tuning("ROOMS_OPEN", 2.0) * line) + 1 : gap);
        cv::morphologyEx(closed, thickPart, cv::MORPH_OPEN, square(thick));
        cv::bitwise_or(walls, thickPart, walls);
    }
    const int thick = std::max(3, int(tuning("ROOMS_OPEN", 2.0) * line) + 1);

    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(walls, labels, stats, centroids, 8, CV_32S);
    int longest = 0;
    for (int i = 1; i < count; ++i)
        longest =
            std::max({longest, stats.at<int>(i, cv::CC_STAT_WIDTH), stats.at<int>(i, cv::CC_STAT_HEIGHT)});
    const int kept = std::max(double(8 * thick), tuning("ROOMS_NET", 0.1) * longest);
    std::vector<uchar> keep(size_t(count), 0);
    for (int i = 1; i < count; ++i)
        keep[size_t(i)] =
            std::max(stats.at<int>(i, cv::CC_STAT_WIDTH), stats.at<int>(i, cv::CC_STAT_HEIGHT)) >= kept ? 255
                                                                                                        : 0;
    for (int y = 0; y < walls.rows; ++y) {
        const int *l = labels.ptr<int>(y);
        uchar *w = walls.ptr<uchar>(y);
        for (int x = 0; x < walls.cols; ++x)
            w[x] = keep[size_t(l[x])];
    }
    result.found = longest >= std::min(ink.cols, ink.rows) / 4;
    result.wallThickness = result.found ? commonestWidth(walls) : line;
    result.walls = walls;
    return result;
}
