// Mapping a key image to the display colours of a view, beside a memcpy of the same image in
// the same run. Goals: a whole 7000 x 5000 plan with 800 rooms within twice its memcpy; a
// room-sized box under 0.1 ms. The summary of 100,000 records is timed in bench_summary.

#include "core/plan/colourkey.h"
#include "core/plan/displaycolours.h"
#include "imagecopy.h"

#include <benchmark/benchmark.h>

#include <QImage>

#include <vector>

namespace {

constexpr QRgb kWall = 0xff000000;
constexpr int kWallThickness = 4;

struct KeyedPlan
{
    QImage image;
    DisplayColours colours;
    QRect room;
};

// cols x rows rooms, each painted in a key of its own, behind walls; every third room is left
// white (unmarked), and a few anti-aliased grey pixels sit along each wall as scans have them.
KeyedPlan keyedPlan(int width, int height, int cols, int rows)
{
    KeyedPlan plan;
    plan.image = QImage(width, height, QImage::Format_RGB32);
    std::vector<std::pair<QRgb, QRgb>> pairs;
    quint32 key = 9502718;
    gridOfRooms(plan.image, cols, rows, kWall, kWallThickness, [&](QRect room, int r, int c) {
        const bool marked = (r * cols + c) % 3 != 2;
        const QRgb floor = marked ? ColourKey::toRgb(key) : 0xffffffff;
        if (marked)
            pairs.emplace_back(floor, 0xff000000u | (key * 2654435761u >> 8));
        key = ColourKey::below(key);
        fillRect(plan.image, room, floor);
        fillRect(plan.image, QRect(room.left(), room.top(), 1, room.height()), 0xff808080);
        fillRect(plan.image, QRect(room.right(), room.top(), 1, room.height()), 0xff404040);
        if (r == rows / 2 && c == cols / 2)
            plan.room = room;
    });
    plan.colours.assign(std::move(pairs));
    return plan;
}

// 7000 x 5000 with 40 x 30 rooms, 800 of them marked.
KeyedPlan &largePlan()
{
    static KeyedPlan plan = keyedPlan(7000, 5000, 40, 30);
    return plan;
}

void BM_MemcpyLargePlan(benchmark::State &state)
{
    copyImage(state, largePlan().image);
}

void BM_MapLargePlan(benchmark::State &state)
{
    const KeyedPlan &plan = largePlan();
    QImage target(plan.image.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        plan.colours.map(plan.image, plan.image.rect(), target, {0, 0});
        benchmark::DoNotOptimize(target.bits());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * plan.image.sizeInBytes());
    state.counters["keys"] = plan.colours.size();
}

void BM_MapOneRoom(benchmark::State &state)
{
    const KeyedPlan &plan = largePlan();
    QImage target(plan.room.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        plan.colours.map(plan.image, plan.room, target, {0, 0});
        benchmark::DoNotOptimize(target.bits());
        benchmark::ClobberMemory();
    }
    state.counters["px"] = double(plan.room.width()) * plan.room.height();
}

} // namespace

BENCHMARK(BM_MemcpyLargePlan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapLargePlan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapOneRoom)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
