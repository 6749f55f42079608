// Building the summary (by plan, tenant and problem) of 100,000 records, beside a baseline
// that only reads every area cell as a number. Goal: the summary under 50 ms.

#include "core/base/numbertext.h"
#include "core/model/recordtable.h"
#include "core/reports/complexsummary.h"

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kRecords = 100000;

// 24 plans, 977 tenants, every tenth room vacant, a few texts the sums cannot use.
const RecordTable &bigTable()
{
    static RecordTable *table = [] {
        auto *t = new RecordTable;
        std::vector<RecordTable::Row> rows;
        rows.reserve(kRecords + 1);
        const QStringList types = {u"торг"_s, u"офис"_s, u"прво"_s, u"склд"_s, u"проч"_s, u"?"_s};
        for (int i = 0; i < kRecords; ++i) {
            rows.push_back({u"etazh%1.bmp"_s.arg(i % 24), u"Комната %1"_s.arg(i), types[i % types.size()],
                            i % 1000 == 7 ? u"н/д"_s : u"%1,5"_s.arg(i % 300),
                            i % 10 == 0 ? QString() : u"Арендатор %1"_s.arg(i % 977), u"примечание"_s,
                            QString::number(9502718 - i), QString::number(i % 2000), QString::number(i % 1400)});
        }
        rows.push_back({});
        t->replaceRows(std::move(rows));
        return t;
    }();
    return *table;
}

void BM_ReadAreas100k(benchmark::State &state)
{
    const RecordTable &table = bigTable();
    for (auto _ : state) {
        double sum = 0;
        for (int r = 1; r <= table.recordCount(); ++r)
            sum += NumberText::area(table.row(r)[RecordTable::Area]).value_or(0);
        benchmark::DoNotOptimize(sum);
    }
}

void BM_Summary100k(benchmark::State &state)
{
    const RecordTable &table = bigTable();
    QStringList plans;
    for (int i = 0; i < 24; ++i)
        plans << u"etazh%1.bmp"_s.arg(i);
    for (auto _ : state) {
        const ComplexSummary summary = ComplexSummary::of(table, plans);
        benchmark::DoNotOptimize(summary.total.area);
    }
}

} // namespace

BENCHMARK(BM_ReadAreas100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Summary100k)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
