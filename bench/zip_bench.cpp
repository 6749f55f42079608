// Packing and unpacking a project's two largest plans: two 7000 x 5000 24-bit BMPs of about
// 105 MB each. Our ZIP layer runs beside Info-ZIP's zip -9 and unzip on the same files in the
// same run, each as a process, and the summary prints the ratios.
// Goals: packing at most 0.6 of zip -9's time; unpacking no slower than unzip.

#include "core/archive/zipreader.h"
#include "core/archive/zipwriter.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 7000;
constexpr int kHeight = 5000;

void put32(std::vector<unsigned char> &b, size_t at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = static_cast<unsigned char>(v >> (8 * i));
}

// A floor plan as the program keeps it: white paper, black walls of a few pixels splitting
// the floor into rooms, some rooms filled with a flat colour, door gaps and short strokes of
// label text. It compresses roughly as a scanned-and-cleaned plan does.
void writePlan(const QString &path, unsigned seed)
{
    const size_t stride = size_t(kWidth) * 3;
    std::vector<unsigned char> bmp(54 + stride * kHeight, 0xFF);
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(bmp, 2, quint32(bmp.size()));
    put32(bmp, 6, 0);
    put32(bmp, 10, 54);
    put32(bmp, 14, 40);
    put32(bmp, 18, kWidth);
    put32(bmp, 22, kHeight);
    bmp[26] = 1;
    bmp[27] = 0;
    bmp[28] = 24;
    bmp[29] = 0;
    put32(bmp, 30, 0);
    put32(bmp, 34, quint32(stride * kHeight));
    unsigned char *pixels = bmp.data() + 54;

    std::mt19937 rng(seed);
    const auto rect = [&](int x0, int y0, int x1, int y1, unsigned char r, unsigned char g, unsigned char b) {
        x0 = std::clamp(x0, 0, kWidth);
        x1 = std::clamp(x1, 0, kWidth);
        y0 = std::clamp(y0, 0, kHeight);
        y1 = std::clamp(y1, 0, kHeight);
        for (int y = y0; y < y1; ++y) {
            unsigned char *p = pixels + size_t(y) * stride + size_t(x0) * 3;
            for (int x = x0; x < x1; ++x, p += 3) {
                p[0] = b;
                p[1] = g;
                p[2] = r;
            }
        }
    };
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };

    struct Room
    {
        int x0, y0, x1, y1;
    };
    std::vector<Room> rooms{{200, 200, kWidth - 200, kHeight - 200}};
    // Split the floor until the rooms are office-sized.
    for (size_t i = 0; i < rooms.size();) {
        Room r = rooms[i];
        const int w = r.x1 - r.x0;
        const int h = r.y1 - r.y0;
        if (w < 700 && h < 700) {
            ++i;
            continue;
        }
        rooms.erase(rooms.begin() + std::ptrdiff_t(i));
        if (w >= h) {
            const int cut = r.x0 + pick(w / 3, 2 * w / 3);
            rooms.push_back({r.x0, r.y0, cut, r.y1});
            rooms.push_back({cut, r.y0, r.x1, r.y1});
        } else {
            const int cut = r.y0 + pick(h / 3, 2 * h / 3);
            rooms.push_back({r.x0, r.y0, r.x1, cut});
            rooms.push_back({r.x0, cut, r.x1, r.y1});
        }
    }
    for (const Room &r : rooms) {
        if (pick(0, 9) < 4) {
            rect(r.x0, r.y0, r.x1, r.y1, static_cast<unsigned char>(pick(120, 255)),
                 static_cast<unsigned char>(pick(120, 255)), static_cast<unsigned char>(pick(120, 255)));
        }
        const int t = pick(3, 8);
        rect(r.x0 - t, r.y0 - t, r.x1 + t, r.y0 + t, 0, 0, 0);
        rect(r.x0 - t, r.y1 - t, r.x1 + t, r.y1 + t, 0, 0, 0);
        rect(r.x0 - t, r.y0 - t, r.x0 + t, r.y1 + t, 0, 0, 0);
        rect(r.x1 - t, r.y0 - t, r.x1 + t, r.y1 + t, 0, 0, 0);
        const int door = r.x0 + pick(40, std::max(41, r.x1 - r.x0 - 120));
        rect(door, r.y1 - t, door + 90, r.y1 + t, 255, 255, 255);
        // Furniture and fittings as thin outlines.
        for (int n = pick(0, 4); n > 0; --n) {
            const int fx = pick(r.x0 + 20, std::max(r.x0 + 21, r.x1 - 140));
            const int fy = pick(r.y0 + 20, std::max(r.y0 + 21, r.y1 - 100));
            const int fw = pick(40, 120);
            const int fh = pick(30, 80);
            rect(fx, fy, fx + fw, fy + 2, 0, 0, 0);
            rect(fx, fy + fh, fx + fw, fy + fh + 2, 0, 0, 0);
            rect(fx, fy, fx + 2, fy + fh, 0, 0, 0);
            rect(fx + fw, fy, fx + fw + 2, fy + fh + 2, 0, 0, 0);
        }
        // A label: a few lines of short strokes, like text at 1:100.
        const int lx = (r.x0 + r.x1) / 2 - 150;
        const int ly = (r.y0 + r.y1) / 2 - 60;
        for (int line = 0; line < 5; ++line) {
            for (int x = lx; x < lx + 300; x += pick(3, 9)) {
                if (pick(0, 2) != 0)
                    rect(x, ly + line * 30, x + pick(1, 3), ly + line * 30 + pick(8, 18), 0, 0, 0);
            }
        }
    }

    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(reinterpret_cast<const char *>(bmp.data()), qint64(bmp.size())) != qint64(bmp.size()))
        qFatal("cannot write %s", qPrintable(path));
}

struct Data
{
    QTemporaryDir dir;
    QStringList plans;
    QString ours;    // archive written by ZipWriter
    QString infoZip; // archive written by zip -9
    qint64 inputBytes = 0;
};

Data &data()
{
    static Data d = [] {
        Data d;
        for (int i = 0; i < 2; ++i) {
            const QString path = d.dir.filePath(QStringLiteral("plan%1.bmp").arg(i + 1));
            writePlan(path, unsigned(17 + i));
            d.plans.append(path);
            d.inputBytes += QFileInfo(path).size();
        }
        d.ours = d.dir.filePath(QStringLiteral("ours.zip"));
        d.infoZip = d.dir.filePath(QStringLiteral("infozip.zip"));
        ZipWriter::packFiles(d.plans, d.ours);
        QStringList args{QStringLiteral("-q"), QStringLiteral("-9"), QStringLiteral("-j"), d.infoZip};
        QProcess::execute(QStringLiteral("zip"), args + d.plans);
        return d;
    }();
    return d;
}

std::map<std::string, double> g_seconds;
std::map<std::string, double> g_cpuSeconds;

// Processor time of this process (all its threads) or of the children it has waited for.
double cpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// On a shared machine wall time depends on the other load; processor time does not, so both
// are kept.
struct Measure
{
    Measure(benchmark::State &s, int w) : state(s), who(w) {}

    benchmark::State &state;
    int who;
    double wall = 0;
    double cpu = 0;
    QElapsedTimer timer;
    double cpuStart = 0;

    void start()
    {
        cpuStart = cpuSeconds(who);
        timer.start();
    }
    void stop()
    {
        const double s = double(timer.nsecsElapsed()) / 1e9;
        cpu += cpuSeconds(who) - cpuStart;
        wall += s;
        state.SetIterationTime(s);
    }
    void record(const std::string &name)
    {
        g_seconds[name] = wall / double(state.iterations());
        g_cpuSeconds[name] = cpu / double(state.iterations());
        state.counters["cpu_s"] = g_cpuSeconds[name];
        state.SetBytesProcessed(state.iterations() * data().inputBytes);
    }
};

void run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        qFatal("%s failed", qPrintable(program));
}

void BM_PackMetrola(benchmark::State &state)
{
    const QString out = data().dir.filePath(QStringLiteral("bench-ours.zip"));
    Measure m(state, RUSAGE_SELF);
    for (auto _ : state) {
        QFile::remove(out);
        m.start();
        ZipWriter::packFiles(data().plans, out);
        m.stop();
    }
    state.counters["archive_MB"] = double(QFileInfo(out).size()) / 1e6;
    m.record("pack_ours");
}

void BM_PackZip9(benchmark::State &state)
{
    const QString out = data().dir.filePath(QStringLiteral("bench-zip.zip"));
    Measure m(state, RUSAGE_CHILDREN);
    for (auto _ : state) {
        QFile::remove(out);
        m.start();
        run(QStringLiteral("zip"), QStringList{QStringLiteral("-q"), QStringLiteral("-9"), QStringLiteral("-j"), out} + data().plans);
        m.stop();
    }
    state.counters["archive_MB"] = double(QFileInfo(out).size()) / 1e6;
    m.record("pack_zip9");
}

// range(0): 0 unpacks our archive, 1 the one zip -9 wrote.
QString archiveFor(const benchmark::State &state)
{
    return state.range(0) == 0 ? data().ours : data().infoZip;
}

void clearDir(const QString &path)
{
    QDir(path).removeRecursively();
    QDir().mkpath(path);
}

void BM_UnpackMetrola(benchmark::State &state)
{
    const QString dest = data().dir.filePath(QStringLiteral("out-ours"));
    Measure m(state, RUSAGE_SELF);
    for (auto _ : state) {
        clearDir(dest);
        m.start();
        ZipReader reader(archiveFor(state));
        const int n = reader.extract(reader.memberNames(), dest);
        m.stop();
        if (n != 2)
            state.SkipWithError("not every member extracted");
    }
    m.record(state.range(0) == 0 ? "unpack_ours_ours" : "unpack_ours_infozip");
}

void BM_UnpackUnzip(benchmark::State &state)
{
    const QString dest = data().dir.filePath(QStringLiteral("out-unzip"));
    Measure m(state, RUSAGE_CHILDREN);
    for (auto _ : state) {
        clearDir(dest);
        m.start();
        run(QStringLiteral("unzip"), {QStringLiteral("-q"), QStringLiteral("-o"), archiveFor(state), QStringLiteral("-d"), dest});
        m.stop();
    }
    m.record(state.range(0) == 0 ? "unpack_unzip_ours" : "unpack_unzip_infozip");
}

BENCHMARK(BM_PackMetrola)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PackZip9)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_UnpackMetrola)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_UnpackUnzip)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void printRatio(const char *what, const std::string &ours, const std::string &theirs)
{
    if (g_seconds.count(ours) && g_seconds.count(theirs) && g_seconds[theirs] > 0 && g_cpuSeconds[theirs] > 0) {
        std::printf("%-44s wall %.2f   cpu %.2f\n", what, g_seconds[ours] / g_seconds[theirs],
                    g_cpuSeconds[ours] / g_cpuSeconds[theirs]);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nTime ratios, ours / Info-ZIP (goal: pack <= 0.60, unpack <= 1.00):\n");
    printRatio("pack, ZipWriter / zip -9", "pack_ours", "pack_zip9");
    printRatio("unpack our archive, ZipReader / unzip", "unpack_ours_ours", "unpack_unzip_ours");
    printRatio("unpack zip -9 archive, ZipReader / unzip", "unpack_ours_infozip", "unpack_unzip_infozip");
    return 0;
}
