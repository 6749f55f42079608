// The portfolio of a folder of 200 archives the size of the demo project (two plans, 28
// rooms, 61 KB each): read by the core, and by `metrola-cli portfolio` as a whole process,
// beside Info-ZIP's `unzip -l` listing the same archives in one process (it reads each
// archive's directory and nothing more). Goal: the tool under 5 s.

#include "core/portfolio/portfolio.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

constexpr int kArchives = 200;

struct Folder
{
    QTemporaryDir dir;
    Folder()
    {
        for (int i = 0; i < kArchives; ++i)
            QFile::copy(QStringLiteral(METROLA_DEMO_ARCHIVE),
                        dir.filePath(QStringLiteral("комплекс %1.zip").arg(i, 3, 10, QLatin1Char('0'))));
    }
};

Folder &folder()
{
    static Folder f;
    return f;
}

void runProcess(benchmark::State &state, const QString &program, const QStringList &arguments)
{
    for (auto _ : state) {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(program, arguments);
        if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            state.SkipWithError("the process failed");
            return;
        }
    }
}

void BM_PortfolioCore(benchmark::State &state)
{
    const QString path = folder().dir.path();
    for (auto _ : state) {
        const Portfolio::Result result =
            Portfolio::collect(path, Portfolio::findArchives(path, false), QDate(2026, 12, 9));
        if (result.unreadable != 0 || result.complexes.size() != size_t(kArchives)) {
            state.SkipWithError("not every archive was read");
            return;
        }
        benchmark::DoNotOptimize(result.total.area);
    }
}

void BM_PortfolioCli(benchmark::State &state)
{
    runProcess(state, QStringLiteral(METROLA_CLI_PATH),
               {QStringLiteral("portfolio"), folder().dir.path(), QStringLiteral("--json")});
}

// The baseline: unzip expands the quoted wildcard itself and lists every archive.
void BM_UnzipList(benchmark::State &state)
{
    runProcess(state, QStringLiteral("unzip"),
               {QStringLiteral("-l"), folder().dir.filePath(QStringLiteral("*.zip"))});
}

} // namespace

BENCHMARK(BM_PortfolioCore)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_PortfolioCli)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_UnzipList)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    folder();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    std::printf("\nPeak memory: this process (the core's reading) %ld MB, the largest child process "
                "(metrola-cli or unzip) %ld MB\n",
                self.ru_maxrss / 1024, children.ru_maxrss / 1024);
    return 0;
}
