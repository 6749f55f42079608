// Peak memory of opening a project archive, by the number of lines of its description file.
// Every measurement runs in a child process of its own (fork), because a process's peak
// resident set only ever grows; "peak_MB" is the child's peak over the resident set it
// started with, "x_file" that peak over the description file's size ("file_MB"), "records"
// what was opened (-1: refused). The baseline, measured in the same run on the same archive,
// is a child that only extracts the description file and reads its bytes into memory.

#include "core/archive/projectarchive.h"
#include "core/archive/zipreader.h"
#include "core/archive/zipwriter.h"
#include "core/base/cp1251.h"
#include "core/base/metrolaerror.h"
#include "core/model/descriptionfile.h"
#include "core/model/projectsession.h"
#include "core/plan/planimage.h"
#include "qtbenchmain.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>

using namespace Qt::StringLiterals;

namespace {

constexpr int kPlans = 20;

enum class Lines { Records, Empty };

QByteArray descriptionFile(int lines, Lines kind)
{
    QByteArray csv = Cp1251::fromUnicode(
        u"Арендаторы;Кв.метры;назв.комнат;Тип помещений;Торговые;Офисные;Производство;"
        "Складские;Прочие;м.;;\r\nID плана;Название;Тип;Инфо1;Инфо2;Доп.Инф.;SYS-Цвет;SYS-X;SYS-Y;\r\n"_s);
    const int records = lines - 3;
    if (kind == Lines::Empty) {
        csv += QByteArray("\r\n").repeated(records);
    } else {
        static const char16_t *const types[] = {u"торг", u"офис", u"прво", u"склд", u"проч"};
        csv.reserve(csv.size() + qsizetype(records) * 80);
        for (int i = 0; i < records; ++i) {
            csv += Cp1251::fromUnicode(u"etazh%1.bmp;Помещение %2;%3;%4,%5;ООО Арендатор %6;доп. %7;%8;5;5;\r\n"_s
                                           .arg(i % kPlans + 1)
                                           .arg(i)
                                           .arg(QStringView(types[i % 5]))
                                           .arg(10 + i % 90)
                                           .arg(i % 10)
                                           .arg(i % 977)
                                           .arg(i % 5000)
                                           .arg(9502718 - i));
        }
    }
    csv += ";;;;;;07.12.2026;;;\r\n";
    return csv;
}

struct Archive
{
    QString path;
    qint64 fileBytes = 0;
};

// One archive per case, built once and kept for the run.
const Archive &archive(int lines, Lines kind)
{
    static QTemporaryDir dir;
    static std::map<std::pair<int, Lines>, Archive> built;
    auto [it, inserted] = built.try_emplace({lines, kind});
    if (inserted) {
        it->second.path = dir.filePath(u"case%1-%2.zip"_s.arg(lines).arg(int(kind)));
        QImage plan(64, 48, QImage::Format_RGB32);
        plan.fill(Qt::white);
        const QByteArray bmp = PlanImage::bmpBytes(plan);
        const QByteArray csv = descriptionFile(lines, kind);
        it->second.fileBytes = csv.size();
        ZipWriter writer(it->second.path);
        for (int p = 1; p <= kPlans; ++p)
            writer.addMember(u"etazh%1.bmp"_s.arg(p), bmp);
        writer.addMember(DescriptionFile::fileName(), csv);
        writer.write();
    }
    return it->second;
}

long statusKiB(const char *field)
{
    long value = -1;
    if (FILE *f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        const size_t n = std::strlen(field);
        while (value < 0 && std::fgets(line, sizeof line, f)) {
            if (std::strncmp(line, field, n) == 0)
                value = std::atol(line + n);
        }
        std::fclose(f);
    }
    return value;
}

struct Peak
{
    long kib = -1;   // the child's peak resident set over the one it started with
    long result = 0; // what work() answered
};

// Runs work() in a child process and returns its peak.
Peak inChild(const std::function<long()> &work)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        Peak peak;
        const long start = statusKiB("VmRSS:");
        try {
            peak.result = work();
        } catch (const std::exception &) {
            peak.result = -1;
        }
        peak.kib = statusKiB("VmHWM:") - start;
        _exit(write(fds[1], &peak, sizeof peak) == sizeof peak ? 0 : 1);
    }
    close(fds[1]);
    Peak peak;
    if (child < 0 || read(fds[0], &peak, sizeof peak) != sizeof peak)
        peak = {};
    close(fds[0]);
    int status = 0;
    if (child > 0)
        waitpid(child, &status, 0);
    return peak;
}

// "records" is what the work answered: the records opened, -1 for a refusal.
void measure(benchmark::State &state, const Archive &a, const std::function<long(const QString &)> &work)
{
    Peak peak;
    for (auto _ : state) {
        QTemporaryDir workDir;
        peak = inChild([&] { return work(workDir.path() + u'/'); });
    }
    if (peak.kib < 0)
        state.SkipWithError("the child process failed");
    state.counters["file_MB"] = double(a.fileBytes) / (1 << 20);
    state.counters["peak_MB"] = double(peak.kib) / 1024;
    state.counters["x_file"] = double(peak.kib) * 1024 / double(a.fileBytes);
    state.counters["records"] = double(peak.result);
}

Lines kindOf(const benchmark::State &state)
{
    return state.range(1) != 0 ? Lines::Empty : Lines::Records;
}

// Baseline: the description file extracted and its bytes in memory, nothing else.
void BM_ReadBytesOnly(benchmark::State &state)
{
    const Archive &a = archive(int(state.range(0)), kindOf(state));
    measure(state, a, [&](const QString &dir) {
        ZipReader(a.path).extract({DescriptionFile::fileName()}, dir);
        QFile file(dir + DescriptionFile::fileName());
        if (!file.open(QIODevice::ReadOnly))
            return -1L;
        const QByteArray bytes = file.readAll();
        benchmark::DoNotOptimize(bytes.constData());
        return long(DescriptionFile::lineCount(bytes)) - 3;
    });
}

// Opening as the window and the batch tool do: description file, plans, first plan painted.
void BM_OpenArchive(benchmark::State &state)
{
    const Archive &a = archive(int(state.range(0)), kindOf(state));
    measure(state, a, [&](const QString &dir) {
        ProjectSession session(dir);
        ProjectArchive::OpenOptions options;
        options.askReplace = [](const QString &) { return true; };
        if (ProjectArchive::open(session, a.path, options) == ProjectArchive::OpenResult::NoDescription)
            return -1L;
        return long(session.table().recordCount());
    });
}

// Lines of the description file; 1 when they are empty lines.
void cases(benchmark::internal::Benchmark *b)
{
    b->Args({100000, 0})->Args({1000000, 0})->Args({1000000, 1})->Args({10000000, 1});
    b->ArgNames({"lines", "empty"})->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
}

} // namespace

BENCHMARK(BM_ReadBytesOnly)->Apply(cases);
BENCHMARK(BM_OpenArchive)->Apply(cases);

METROLA_QT_BENCHMARK_MAIN()
