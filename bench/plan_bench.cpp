// Fill and repaint times on plans of real size. Each case runs beside a memcpy of the same
// image's bytes, measured in the same run, so the figures read as "so many copies of the plan".
// Goals: one ordinary room under 0.1 ms; a 35-megapixel region within twice its memcpy;
// repainting 500 rooms of a 7000 x 5000 plan under 25 ms, and within 5 % of that when each
// room's pixels are counted too. Many records whose label points lie in one room (60,000 in
// the open 35-megapixel region) repaint within twice the time of repainting that room for one
// record. Measuring a plan of that size from its file (what the area
// check does for a plan not shown, on a worker thread) is shown beside reading the file's bytes.

#include "core/model/roomareas.h"
#include "core/plan/colourkey.h"
#include "core/plan/floodfill.h"
#include "imagecopy.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cstring>
#include <vector>

namespace {

constexpr QRgb kWall = 0xff000000;
constexpr QRgb kFloor = 0xffffffff;
constexpr int kWallThickness = 4;

struct GridPlan
{
    QImage image;
    std::vector<QPoint> centres;
};

// A plan of cols x rows rooms separated by walls, with a wall all round.
GridPlan gridPlan(int width, int height, int cols, int rows)
{
    GridPlan plan;
    plan.image = QImage(width, height, QImage::Format_RGB32);
    gridOfRooms(plan.image, cols, rows, kWall, kWallThickness, [&plan](QRect room, int, int) {
        fillRect(plan.image, room, kFloor);
        plan.centres.push_back(room.center());
    });
    return plan;
}

// Alternating the colour makes every iteration refill the whole region. The benchmark library
// calls a case several times, so the colour to use next is read from the plan.
void fillRoom(benchmark::State &state, QImage &image, QPoint seed)
{
    FloodFill fill;
    const QRgb colours[2] = {0xff3366cc, 0xffcc6633};
    qint64 pixels = 0;
    for (auto _ : state) {
        const QRgb next = image.pixel(seed) == colours[0] ? colours[1] : colours[0];
        const QRect r = fill.fill(image, seed, next);
        benchmark::DoNotOptimize(r);
        pixels += qint64(r.width()) * r.height();
    }
    state.counters["px"] = benchmark::Counter(double(pixels) / double(state.iterations()));
}

// 1400 x 1050, 8 x 6 rooms of about 170 x 170 points.
GridPlan &roomPlan()
{
    static GridPlan plan = gridPlan(1400, 1050, 8, 6);
    return plan;
}

// 7000 x 5000 with only the outer wall: one region of 35 million points.
GridPlan &openPlan()
{
    static GridPlan plan = gridPlan(7000, 5000, 1, 1);
    return plan;
}

// 7000 x 5000, 25 x 20 rooms.
GridPlan &roomsPlan()
{
    static GridPlan plan = gridPlan(7000, 5000, 25, 20);
    return plan;
}

void BM_MemcpyRoomPlan(benchmark::State &state)
{
    copyImage(state, roomPlan().image);
}

void BM_FillOneRoom(benchmark::State &state)
{
    GridPlan &plan = roomPlan();
    fillRoom(state, plan.image, plan.centres[10]);
}

void BM_MemcpyLargePlan(benchmark::State &state)
{
    copyImage(state, openPlan().image);
}

void BM_Fill35MegapixelRegion(benchmark::State &state)
{
    GridPlan &plan = openPlan();
    fillRoom(state, plan.image, plan.centres.front());
}

// Repaints the 500 rooms, with or without counting each room's pixels; the case without is
// the baseline for the count, which must stay within 5 % of it.
void repaint500Rooms(benchmark::State &state, bool counting)
{
    GridPlan &plan = roomsPlan();
    // Two key sets, apart in the top blue bit, so each pass changes every room.
    std::vector<RoomSeed> seeds[2];
    for (size_t i = 0; i < plan.centres.size(); ++i) {
        for (quint32 set = 0; set < 2; ++set)
            seeds[set].push_back({plan.centres[i], quint32(i + 1) | (set << 23)});
    }
    FloodFill fill;
    std::vector<qint64> pixels(plan.centres.size());
    const QPoint first = plan.centres.front();
    for (auto _ : state) {
        const bool second = plan.image.pixel(first) == ColourKey::toRgb(seeds[0].front().key);
        const auto &rooms = seeds[second ? 1 : 0];
        const QRect r =
            counting ? fill.repaintRooms(plan.image, rooms, pixels) : fill.repaintRooms(plan.image, rooms);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.counters["rooms"] = double(plan.centres.size());
}

void BM_Repaint500Rooms(benchmark::State &state)
{
    repaint500Rooms(state, false);
}

void BM_Repaint500RoomsCounting(benchmark::State &state)
{
    repaint500Rooms(state, true);
}

// Repaints the open plan's one region for `records` records whose label points all lie in it,
// counting each record's pixels as the area check does.
void repaintOneRoom(benchmark::State &state, int records)
{
    GridPlan &plan = openPlan();
    const QRect room =
        plan.image.rect().adjusted(kWallThickness, kWallThickness, -kWallThickness, -kWallThickness);
    std::vector<RoomSeed> seeds[2];
    for (int i = 0; i < records; ++i) {
        // Spread over the room the way labels of one room's records would be.
        const QPoint at(room.left() + int((qint64(i) * 7919) % room.width()),
                        room.top() + int((qint64(i) * 104729) % room.height()));
        for (quint32 set = 0; set < 2; ++set)
            seeds[set].push_back({at, quint32(i + 1) | (set << 23)});
    }
    FloodFill fill;
    std::vector<qint64> pixels(size_t(records), 0);
    for (auto _ : state) {
        const bool second = plan.image.pixel(room.center()) == ColourKey::toRgb(seeds[0].back().key);
        const QRect r = fill.repaintRooms(plan.image, seeds[second ? 1 : 0], pixels);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.counters["records"] = double(records);
}

void BM_RepaintOneRoomOneRecord(benchmark::State &state)
{
    repaintOneRoom(state, 1);
}

void BM_RepaintOneRoom60000Records(benchmark::State &state)
{
    repaintOneRoom(state, 60000);
}

// The 25 x 20 rooms plan as a BMP file, and its rooms' label points.
struct PlanFile
{
    QTemporaryDir dir;
    QString path;
    std::vector<RoomSeed> seeds;
};

PlanFile &roomsPlanFile()
{
    static PlanFile file = [] {
        PlanFile f;
        f.path = f.dir.path() + QStringLiteral("/plan.bmp");
        const GridPlan plan = gridPlan(7000, 5000, 25, 20);
        plan.image.save(f.path, "BMP");
        for (size_t i = 0; i < plan.centres.size(); ++i)
            f.seeds.push_back({plan.centres[i], quint32(i + 1)});
        return f;
    }();
    return file;
}

void BM_ReadLargePlanFile(benchmark::State &state)
{
    const QString &path = roomsPlanFile().path;
    for (auto _ : state) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        benchmark::DoNotOptimize(bytes.constData());
    }
}

void BM_MeasureLargePlanFromFile(benchmark::State &state)
{
    PlanFile &file = roomsPlanFile();
    for (auto _ : state) {
        const RoomAreas::Plan plan = RoomAreas::measure({QStringLiteral("plan.bmp"), file.seeds, file.path});
        benchmark::DoNotOptimize(plan.rooms.data());
    }
}

} // namespace

BENCHMARK(BM_MemcpyRoomPlan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillOneRoom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyLargePlan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fill35MegapixelRegion)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Repaint500Rooms)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Repaint500RoomsCounting)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintOneRoomOneRecord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintOneRoom60000Records)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_ReadLargePlanFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MeasureLargePlanFromFile)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
