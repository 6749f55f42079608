#include "core/rooms/planpreparation.h"

#include "core/base/metrolaerror.h"
#include "core/rooms/cvplan.h"
#include "core/rooms/wallfinder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <future>
#include <vector>

namespace {

// A pixel whose strongest and weakest colour channels differ by more than this is coloured:
// JPEG chroma noise on grey lines stays well below it, pen ink and tints lie above.
constexpr int kColourSpread = 48;
// The paper's brightness (white after the drawing is taken out) may vary by this much across
// the sheet before the threshold follows it locally.
constexpr int kUnevenPaper = 40;
// The background is estimated on a picture at most kBackgroundSide points long (at least
// kBackgroundScale times smaller), and its maximum filter reaches over kBackgroundReach small
// points: walls narrower than that vanish from it, rooms are larger.
constexpr int kBackgroundSide = 512;
constexpr int kBackgroundScale = 8;
constexpr int kBackgroundReach = 15;
// Anti-aliased one-pixel lines come out a mid grey; a threshold a third of the way from the
// ink/paper split towards the paper keeps them whole without thickening lines much.
constexpr double kTowardsPaper = 0.35;
// Noise specks of up to this many points are removed before the strokes are measured.
constexpr int kSpeck = 4;

QImage asRgb32(const QImage &source)
{
    if (source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32)
        return source;
    return source.convertToFormat(QImage::Format_RGB32);
}

// Removes the connected regions of `mask` (255) up to `maxPixels` by giving them `value`.
// `labels` is scratch space handed from call to call: a label image of a large plan is
// 140 MB, and fresh memory of that size costs more to fault in than the labelling itself.
void dropSmall(cv::Mat &mask, int maxPixels, int connectivity, uchar value, cv::Mat &labels)
{
    cv::Mat stats, centroids;
    const int count = cv::connectedComponentsWithStats(mask, labels, stats, centroids, connectivity, CV_32S);
    std::vector<uchar> small(size_t(count), 0);
    bool anySmall = false;
    for (int i = 1; i < count; ++i) {
        small[size_t(i)] = stats.at<int>(i, cv::CC_STAT_AREA) <= maxPixels;
        anySmall = anySmall || small[size_t(i)];
    }
    if (!anySmall)
        return;
    for (int y = 0; y < mask.rows; ++y) {
        const int *label = labels.ptr<int>(y);
        uchar *m = mask.ptr<uchar>(y);
        for (int x = 0; x < mask.cols; ++x)
            if (small[size_t(label[x])])
                m[x] = value;
    }
}

// 255 where the strongest and weakest colour channels of a BGRA picture differ by more than
// kColourSpread.
cv::Mat colourMask(const cv::Mat &bgra)
{
    std::vector<cv::Mat> channels;
    cv::split(bgra, channels);
    cv::Mat high, low, mask;
    cv::max(channels[0], channels[1], high);
    cv::max(high, channels[2], high);
    cv::min(channels[0], channels[1], low);
    cv::min(low, channels[2], low);
    cv::subtract(high, low, high);
    cv::threshold(high, mask, kColourSpread, 255, cv::THRESH_BINARY);
    return mask;
}

// The drawing at a threshold, drawing and floor specks up to `speck` points removed; with the
// faint lines (halfway between the threshold and the paper, specks removed, the drawing
// included) and the faintest (two thirds of the way to the paper, for door swings) when asked.
struct Drawing
{
    cv::Mat ink, faint, faintest;

    // `thresholded`, when given, is the drawing at `threshold` with its specks of up to four
    // points already removed: removing a region leaves the others as they are, so the larger
    // specks can be removed from it as from the threshold itself.
    Drawing(const cv::Mat &grey, int threshold, int speck, int paper, bool withFaint, cv::Mat thresholded = {})
    {
        // The faint lines on a core of their own, with a label image of their own.
        std::future<void> faintLines;
        if (withFaint)
            faintLines = std::async(std::launch::async, [&] {
                cv::Mat labels;
                cv::threshold(grey, faint, (threshold + paper) / 2 - 1, 255, cv::THRESH_BINARY_INV);
                dropSmall(faint, speck, 8, 0, labels);
                cv::threshold(grey, faintest, (threshold + 2 * paper) / 3 - 1, 255, cv::THRESH_BINARY_INV);
                dropSmall(faintest, speck, 8, 0, labels);
            });
        cv::Mat labels;
        if (thresholded.empty() || speck < kSpeck) {
            cv::threshold(grey, ink, threshold - 1, 255, cv::THRESH_BINARY_INV);
            dropSmall(ink, speck, 8, 0, labels);
        } else {
            ink = thresholded;
            if (speck > kSpeck)
                dropSmall(ink, speck, 8, 0, labels);
        }
        cv::Mat floor;
        cv::bitwise_not(ink, floor);
        dropSmall(floor, speck, 4, 0, labels);
        cv::bitwise_not(floor, ink);
        if (withFaint) {
            faintLines.get();
            faint |= ink;
            faintest |= faint;
        }
    }
};

} // namespace

struct PlanPreparation::Data
{
    cv::Mat grey;  // the brightness the threshold applies to (evened out when local)
    int paper = 255; // the commonest brightness of the paper
    QImage source; // shared with the caller's image, not a copy
    QSize size;
    // The walls found while looking at the plan, and the options they were found for.
    cv::Mat walls;
    PreparationOptions wallsFor;
};

PlanPreparation::PlanPreparation(const QImage &source)
    : m_data(std::make_unique<Data>())
{
    if (source.isNull())
        throw MetrolaError(QStringLiteral("План пуст: подготавливать нечего."));
    const QImage plan = asRgb32(source);
    m_data->size = plan.size();
    m_traits.clean = isClean(plan);
    const cv::Mat bgra = CvPlan::view(plan);
    cv::cvtColor(bgra, m_data->grey, cv::COLOR_BGRA2GRAY);

    m_data->source = plan;
    // Whether colour is worth offering is told by every other point; the full mask is made
    // only when colour is to become floor.
    cv::Mat sample;
    cv::resize(bgra, sample, cv::Size(std::max(1, plan.width() / 2), std::max(1, plan.height() / 2)), 0, 0,
               cv::INTER_NEAREST);
    m_traits.hasColour =
        qint64(cv::countNonZero(colourMask(sample))) * 500 >= qint64(sample.cols) * sample.rows;

    // The paper's brightness: the drawing taken out by a maximum filter on a small copy.
    cv::Mat small, paper;
    const int factor = std::max(
        kBackgroundScale, (std::max(plan.width(), plan.height()) + kBackgroundSide - 1) / kBackgroundSide);
    cv::resize(m_data->grey, small,
               cv::Size(std::max(1, plan.width() / factor), std::max(1, plan.height() / factor)), 0, 0,
               cv::INTER_AREA);
    cv::dilate(small, paper,
               cv::getStructuringElement(cv::MORPH_RECT, cv::Size(kBackgroundReach, kBackgroundReach)));
    double darkest = 0, brightest = 0;
    cv::minMaxLoc(paper, &darkest, &brightest);
    m_traits.localThreshold = brightest - darkest > kUnevenPaper;
    if (m_traits.localThreshold) {
        cv::Mat paperFull;
        cv::resize(paper, paperFull, m_data->grey.size(), 0, 0, cv::INTER_LINEAR);
        cv::max(paperFull, 1, paperFull);
        cv::divide(m_data->grey, paperFull, m_data->grey, 255.0);
    }

    cv::Mat ink;
    const double split = cv::threshold(m_data->grey, ink, 0, 255, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
    // The paper level: the commonest brightness above the split.
    const int channelsUsed[] = {0};
    const int bins[] = {256};
    const float range[] = {0, 256};
    const float *ranges[] = {range};
    cv::Mat histogram;
    cv::calcHist(&m_data->grey, 1, channelsUsed, cv::Mat(), histogram, 1, bins, ranges);
    int paperLevel = 255;
    for (int level = int(split) + 1; level < 256; ++level)
        if (histogram.at<float>(level) > histogram.at<float>(paperLevel))
            paperLevel = level;
    m_data->paper = paperLevel;
    const int level = int(split + kTowardsPaper * (paperLevel - split) + 0.5);
    m_traits.autoThreshold = std::clamp(level, 32, 240);

    cv::threshold(m_data->grey, ink, m_traits.autoThreshold - 1, 255, cv::THRESH_BINARY_INV);
    // Noise specks would pass for thin drawing.
    cv::Mat labels;
    dropSmall(ink, kSpeck, 8, 0, labels);
    // The walls are looked for in the drawing as the defaults prepare it, and kept: finding
    // them is most of the preparation's time, and the defaults are what is prepared most.
    // Coloured marks are floor by default whenever walls alone are kept, and without walls
    // found nothing is kept of them; so they are floor while the walls are looked for.
    const WallFinder::Strokes strokes = WallFinder::strokes(ink);
    const int speck = speckFor(strokes.lineWidth);
    if (strokes.thickOnly) {
        m_traits.lineWidth = m_traits.wallThickness = strokes.lineWidth;
        return;
    }
    cv::Mat grey = m_data->grey;
    if (m_traits.hasColour) {
        grey = m_data->grey.clone();
        grey.setTo(255, colourMask(bgra));
    }
    // The drawing of the strokes' measure is the walls' too, but where colour is floor.
    const Drawing drawing(grey, m_traits.autoThreshold, speck, m_data->paper, true,
                          m_traits.hasColour ? cv::Mat() : ink);
    ink.release();
    WallFinder::Result walls = WallFinder::find(drawing.ink, drawing.faint, drawing.faintest);
    m_traits.lineWidth = walls.lineWidth;
    m_traits.wallThickness = walls.wallThickness;
    m_traits.hasThinDrawing = walls.found;
    m_data->wallsFor = {.threshold = m_traits.autoThreshold,
                        .colourAsFloor = m_traits.hasColour,
                        .wallsOnly = true,
                        .speckPixels = speck};
    m_data->walls = std::move(walls.walls);
}

int PlanPreparation::speckFor(int lineWidth)
{
    return std::max(4, 2 * lineWidth * lineWidth);
}

PlanPreparation::~PlanPreparation() = default;

bool PlanPreparation::isClean(const QImage &plan)
{
    const QImage image = asRgb32(plan);
    QRgb first = 0, second = 0;
    int found = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = row[x] & 0xffffffu;
            if (found > 0 && c == first)
                continue;
            if (found > 1 && c == second)
                continue;
            if (found == 2)
                return false;
            (found == 0 ? first : second) = c;
            ++found;
        }
    }
    return true;
}

PreparationOptions PlanPreparation::defaults() const
{
    PreparationOptions options;
    options.threshold = m_traits.autoThreshold;
    options.wallsOnly = m_traits.hasThinDrawing;
    // Pen marks and tints across a room are not walls; walls are drawn dark.
    options.colourAsFloor = options.wallsOnly && m_traits.hasColour;
    options.speckPixels = speckFor(m_traits.lineWidth);
    return options;
}

QImage PlanPreparation::prepare(const PreparationOptions &options) const
{
    return prepare(options, {});
}

QImage PlanPreparation::prepare(const PreparationOptions &options, const StageSink &stages) const
{
    const int threshold = options.threshold > 0 ? std::min(options.threshold, 255) : m_traits.autoThreshold;
    const int speck = options.speckPixels > 0 ? options.speckPixels : speckFor(m_traits.lineWidth);
    const PreparationOptions resolved{.threshold = threshold,
                                      .colourAsFloor = options.colourAsFloor,
                                      .wallsOnly = options.wallsOnly,
                                      .speckPixels = speck};
    const bool found = options.wallsOnly && resolved == m_data->wallsFor;
    if (found && !stages)
        return CvPlan::fromInk(m_data->walls);
    cv::Mat grey = m_data->grey;
    if (options.colourAsFloor) {
        grey = m_data->grey.clone();
        grey.setTo(255, colourMask(CvPlan::view(m_data->source)));
    }
    const Drawing drawing(grey, threshold, speck, m_data->paper, options.wallsOnly && !found);
    if (stages)
        stages(QStringLiteral("1-ink"), CvPlan::fromInk(drawing.ink));
    if (options.wallsOnly) {
        QImage plan = CvPlan::fromInk(
            found ? m_data->walls : WallFinder::find(drawing.ink, drawing.faint, drawing.faintest).walls);
        if (stages)
            stages(QStringLiteral("2-walls"), plan);
        return plan;
    }
    return CvPlan::fromInk(drawing.ink);
}

PlanPreparation::DroppedView PlanPreparation::droppedView(const QImage &source, const QImage &prepared,
                                                          int threshold, QSize size)
{
    DroppedView view;
    if (source.isNull() || prepared.isNull() || size.isEmpty())
        return view;
    // Scaled smoothly, a thin line left out stays a grey trace rather than vanishing between
    // the picture's points.
    const QImage before =
        source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_Grayscale8);
    const QImage after =
        prepared.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_Grayscale8);
    view.picture = QImage(size, QImage::Format_RGB32);
    qint64 drawn = 0, dropped = 0;
    for (int y = 0; y < size.height(); ++y) {
        const uchar *b = before.constScanLine(y);
        const uchar *a = after.constScanLine(y);
        auto *out = reinterpret_cast<QRgb *>(view.picture.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const bool wasDrawn = b[x] < threshold;
            drawn += wasDrawn;
            if (a[x] < 128) {
                out[x] = qRgb(0, 0, 0);
            } else if (wasDrawn) {
                out[x] = kDroppedColour;
                ++dropped;
            } else {
                out[x] = a[x] < 250 ? qRgb(a[x], a[x], a[x]) : qRgb(255, 255, 255);
            }
        }
    }
    view.droppedShare = drawn > 0 ? double(dropped) / double(drawn) : 0;
    return view;
}

void PlanPreparation::measureStrokes(const QImage &preparedPlan, int &lineWidth, int &wallThickness)
{
    const CvPlan::StrokeWidths widths = CvPlan::strokeWidths(CvPlan::blackMask(asRgb32(preparedPlan)));
    lineWidth = widths.line;
    wallThickness = widths.wall;
}
