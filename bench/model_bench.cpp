// The description file of a 100,000-record project written and read, the recovery copy of
// unsaved work, and the colour lookup the plan view makes on every mouse move, each beside a
// baseline of the same size: copying the file's bytes, and a linear scan of the keys that the
// lookup's index replaces.

#include "core/model/descriptionfile.h"
#include "core/model/projectsession.h"
#include "core/model/recordtable.h"
#include "core/model/recoveryfile.h"
#include "qtbenchmain.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

constexpr int kRecords = 100000;

RecordTable &bigTable()
{
    static RecordTable *table = [] {
        auto *t = new RecordTable;
        std::vector<RecordTable::Row> rows;
        rows.reserve(kRecords + 1);
        for (int i = 0; i < kRecords; ++i) {
            rows.push_back({u"etazh%1.bmp"_s.arg(i % 24), u"Комната %1"_s.arg(i), u"офис"_s,
                            u"%1,5"_s.arg(i % 300), u"Арендатор %1"_s.arg(i % 977), u"примечание"_s,
                            QString::number(9502718 - i), QString::number(i % 2000), QString::number(i % 1400)});
        }
        RecordTable::Row entry;
        entry[RecordTable::ColourKey] = u"07.12.2026"_s;
        entry[RecordTable::LabelY] = u"08.12.2026"_s;
        rows.push_back(entry);
        t->replaceRows(std::move(rows));
        return t;
    }();
    return *table;
}

void BM_WriteDescriptionFile(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString programDir = dir.path() + u'/';
    RecordTable &table = bigTable();
    for (auto _ : state)
        DescriptionFile::write(programDir, Captions::defaults(), table);
    state.SetBytesProcessed(state.iterations() * QFile(programDir + DescriptionFile::fileName()).size());
}

void BM_ReadDescriptionFile(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString programDir = dir.path() + u'/';
    DescriptionFile::write(programDir, Captions::defaults(), bigTable());
    RecordTable table;
    Captions captions;
    for (auto _ : state)
        DescriptionFile::load(programDir, true, captions, table);
    state.SetBytesProcessed(state.iterations() * QFile(programDir + DescriptionFile::fileName()).size());
}

// Baseline: copying as many bytes as the file holds.
void BM_CopyFileBytes(benchmark::State &state)
{
    const QByteArray bytes = DescriptionFile::build(Captions::defaults(), bigTable());
    QByteArray copy(bytes.size(), Qt::Uninitialized);
    for (auto _ : state) {
        std::memcpy(copy.data(), bytes.constData(), static_cast<size_t>(bytes.size()));
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

ProjectSession &bigSession()
{
    static ProjectSession *session = [] {
        auto *s = new ProjectSession(QString());
        s->table().replaceRows(bigTable().rows());
        s->planPaths().addPlanFile(u"/home/user/plans/etazh1.bmp"_s);
        s->lastArchive = u"/home/user/project.zip"_s;
        return s;
    }();
    return *session;
}

// The part of a recovery write the window waits for: copying the session for the writer
// thread. The copy is dropped on that thread, so dropping it is not timed here.
void BM_RecoverySnapshot(benchmark::State &state)
{
    for (auto _ : state) {
        RecoveryFile::Snapshot snapshot = RecoveryFile::take(bigSession());
        benchmark::DoNotOptimize(snapshot.rows.data());
        state.PauseTiming();
        snapshot = {};
        state.ResumeTiming();
    }
}

// The writer thread's part: both files built and written through QSaveFile.
void BM_RecoveryWrite(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString programDir = dir.path() + u'/';
    const RecoveryFile::Snapshot snapshot = RecoveryFile::take(bigSession());
    for (auto _ : state)
        RecoveryFile::write(programDir, snapshot);
    state.SetBytesProcessed(state.iterations() * QFile(programDir + RecoveryFile::fileName()).size());
}

void BM_RowOfColour(benchmark::State &state)
{
    const RecordTable &table = bigTable();
    quint32 key = 9502718;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.rowOfColour(key));
        key = key == 9502718 - kRecords ? 9502718 : key - 7919 % kRecords;
    }
}

// Baseline: the scan over all rows that a lookup without the index would make.
void BM_ScanForColour(benchmark::State &state)
{
    const RecordTable &table = bigTable();
    const QString wanted = QString::number(9502718 - kRecords / 2);
    for (auto _ : state) {
        int found = 0;
        for (int r = 1; r <= table.recordCount(); ++r) {
            if (table.cellText(RecordTable::ColourKey, r) == wanted)
                found = r;
        }
        benchmark::DoNotOptimize(found);
    }
}

void BM_ColourInUse(benchmark::State &state)
{
    const RecordTable &table = bigTable();
    quint32 key = 9502718;
    for (auto _ : state)
        benchmark::DoNotOptimize(table.colourInUse(key--));
}

} // namespace

BENCHMARK(BM_WriteDescriptionFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDescriptionFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyFileBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecoverySnapshot)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecoveryWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RowOfColour);
BENCHMARK(BM_ColourInUse);
BENCHMARK(BM_ScanForColour)->Unit(benchmark::kMicrosecond);

METROLA_QT_BENCHMARK_MAIN()
