// Preparing a real-sized plan and proposing its rooms, beside the baseline of the same run:
// OpenCV's own Otsu threshold and connected regions of the same plan, the least any
// preparation built on them can cost. Goals: preparation plus proposals of a 7000 x 5000 plan
// under 1 s; a whole floor accepted (closing lines drawn, every room filled with its own key
// from its proposed point) under 2 s.
// The plan is the synthetic estate agent's JPEG plan of tests/plans at full size.
// The CPU column is the whole process's: both the preparation and OpenCV's baseline spread
// their passes over the cores, and the calling thread's own time would leave that out.

#include "core/base/largebuffers.h"
#include "core/model/planedits.h"
#include "core/model/projectsession.h"
#include "core/model/roomacceptance.h"
#include "core/plan/colourkey.h"
#include "core/plan/floodfill.h"
#include "core/plan/planimage.h"
#include "core/rooms/closingline.h"
#include "core/rooms/planpreparation.h"
#include "core/rooms/roomfinder.h"
#include "core/rooms/roomproposals.h"
#include "plans/syntheticplan.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QTemporaryDir>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <random>

namespace {

const QImage &source()
{
    static const QImage plan = [] {
        SyntheticTraits traits;
        traits.jpegQuality = 60;
        return makeSyntheticPlan(traits, QSize(7000, 5000)).image;
    }();
    return plan;
}

const QImage &prepared()
{
    static const QImage plan = [] {
        PlanPreparation preparation(source());
        return preparation.prepare(preparation.defaults());
    }();
    return plan;
}

void BM_BaselineOtsuAndRegions(benchmark::State &state)
{
    const QImage &plan = source();
    const cv::Mat bgra(plan.height(), plan.width(), CV_8UC4, const_cast<uchar *>(plan.constBits()),
                       size_t(plan.bytesPerLine()));
    for (auto _ : state) {
        cv::Mat grey, ink, labels, stats, centroids;
        cv::cvtColor(bgra, grey, cv::COLOR_BGRA2GRAY);
        cv::threshold(grey, ink, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
        benchmark::DoNotOptimize(cv::connectedComponentsWithStats(ink, labels, stats, centroids, 4, CV_32S));
    }
}
BENCHMARK(BM_BaselineOtsuAndRegions)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_Preparation(benchmark::State &state)
{
    for (auto _ : state) {
        PlanPreparation preparation(source());
        benchmark::DoNotOptimize(preparation.prepare(preparation.defaults()));
    }
}
BENCHMARK(BM_Preparation)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_Proposals(benchmark::State &state)
{
    std::size_t rooms = 0;
    for (auto _ : state)
        rooms = RoomFinder::find(prepared(), {}).rooms.size();
    state.counters["rooms"] = double(rooms);
}
BENCHMARK(BM_Proposals)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_PreparationAndProposals(benchmark::State &state)
{
    for (auto _ : state) {
        PlanPreparation preparation(source());
        const QImage plan = preparation.prepare(preparation.defaults());
        benchmark::DoNotOptimize(RoomFinder::find(plan, {}));
    }
}
BENCHMARK(BM_PreparationAndProposals)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// "Найти комнаты" in the window: the proposals plus the region map the hatching and the clicks
// read, and the lines around each room.
void BM_WindowProposals(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(RoomProposals(prepared(), {}).openRooms());
}
BENCHMARK(BM_WindowProposals)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// What "accept all" does to the plan: draw the lines, then fill every proposed room.
void BM_AcceptWholeFloor(benchmark::State &state)
{
    const RoomFinder::Result found = RoomFinder::find(prepared(), {});
    for (auto _ : state) {
        QImage plan = prepared().copy();
        ClosingLine::draw(plan, found.lines);
        FloodFill fill;
        std::uint32_t key = 9502718;
        for (const RoomProposal &room : found.rooms)
            fill.fill(plan, room.seed, ColourKey::toRgb(key--));
        benchmark::DoNotOptimize(plan.constBits());
    }
    state.counters["rooms"] = double(found.rooms.size());
}
BENCHMARK(BM_AcceptWholeFloor)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// "Принять все" in a project, as the window does it: the lines drawn into the plan's working
// copy (read, drawn, written, shown again), the marked rooms painted, then every proposed room
// filled and given its record. Taken back between runs, outside the clock.
void BM_AcceptWholeFloorInProject(benchmark::State &state)
{
    QTemporaryDir work;
    ProjectSession session(work.path() + u'/');
    const QString name = QStringLiteral("floor.bmp");
    PlanImage::saveBmp(prepared(), work.filePath(name));
    session.plans().add(name);
    session.showPlanFile(work.filePath(name), name);
    const RoomFinder::Result found = RoomFinder::find(session.planImage(), {});
    PlanEdits edits;
    for (auto _ : state) {
        edits.drawLines(session, found.lines, QStringLiteral("all"));
        session.repaintPlanRooms();
        edits.addKeys(RoomAcceptance::acceptAll(session, found.rooms));
        state.PauseTiming();
        edits.undo(session);
        state.ResumeTiming();
    }
    state.counters["rooms"] = double(found.rooms.size());
}
BENCHMARK(BM_AcceptWholeFloorInProject)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// A photograph nobody prepared, at full size: a dark gradient across the sheet with grain and
// salt-and-pepper dots, edges everywhere and no room. Preparation plus proposals must stay
// about as costly per point as on a plan, beside the same baseline of this run.
const QImage &noise()
{
    static const QImage plan = [] {
        QImage image(7000, 5000, QImage::Format_RGB32);
        std::mt19937 random(7);
        std::uniform_int_distribution<int> grain(-40, 40), dot(0, 99);
        for (int y = 0; y < image.height(); ++y) {
            auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int d = dot(random);
                const int level = d < 8    ? 0
                                  : d > 95 ? 255
                                           : std::clamp(60 + 150 * (x + y) / 12000 + grain(random), 0, 255);
                row[x] = qRgb(level, level, level);
            }
        }
        return image;
    }();
    return plan;
}

void BM_NoisePreparationAndProposals(benchmark::State &state)
{
    noise();
    for (auto _ : state) {
        PlanPreparation preparation(noise());
        const QImage plan = preparation.prepare(preparation.defaults());
        benchmark::DoNotOptimize(RoomFinder::find(plan, {}));
    }
}
BENCHMARK(BM_NoisePreparationAndProposals)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace

int main(int argc, char **argv)
{
    // As the program and the tool run: large buffers reused rather than faulted in afresh.
    LargeBuffers::keepForReuse();
    // Room names are drawn into the test plan: text needs a GUI application, not a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // The plans are made before any clock runs, whichever rows a filter picks.
    prepared();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
