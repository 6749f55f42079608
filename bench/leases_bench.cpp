// A complex of 5,000 rooms on 20 plans with 50,000 leases over twenty years (each room let ten
// times for two years), beside the same project without the leases member, in the same run.
// Goal: opening, the colouring "Сроки аренды" and any figure as of a day each within 100 ms
// beyond the same work without leases.

#include "core/archive/projectarchive.h"
#include "core/archive/zipwriter.h"
#include "core/base/cp1251.h"
#include "core/leases/leasebook.h"
#include "core/leases/leasecalendar.h"
#include "core/model/descriptionfile.h"
#include "core/model/projectsession.h"
#include "core/plan/planimage.h"
#include "core/reports/complexsummary.h"
#include "core/reports/plancolouring.h"
#include "qtbenchmain.h"

#include <QImage>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

constexpr int kPlans = 20;
constexpr int kRoomsPerPlan = 250;

struct Fixture
{
    QTemporaryDir dir;
    QString plain;
    QString withLeases;
    RecordTable table;
    LeaseBook book;
    QStringList plans;

    Fixture()
    {
        // Small white plans: the fills of opening cost the same in both archives.
        QImage plan(64, 64, QImage::Format_RGB32);
        plan.fill(Qt::white);
        const QByteArray bmp = PlanImage::bmpBytes(plan);
        quint32 key = 9502718;
        for (int p = 0; p < kPlans; ++p) {
            plans << u"etazh%1.bmp"_s.arg(p + 1);
            for (int r = 0; r < kRoomsPerPlan; ++r) {
                table.appendRecord({plans.last(), u"Помещение %1"_s.arg(r), u"офис"_s,
                                    u"%1,5"_s.arg(20 + r % 80),
                                    u"Арендатор %1"_s.arg((p * kRoomsPerPlan + r) % 700), QString(),
                                    QString::number(key--), u"10"_s, u"10"_s},
                                   u"01.01.2026"_s);
            }
        }
        // Ten leases of two years per room from 2007 on; the last runs into 2027. Written as
        // the member's lines: adding them one by one would check each against all before it.
        QString lines;
        int number = 0;
        for (int row = 1; row <= table.recordCount(); ++row) {
            for (int n = 0; n < 10; ++n) {
                const QDate start(2007 + 2 * n, 1 + row % 12, 1);
                lines += u"%1;%2;%3;Арендатор %4;Д-%5-%6;%7;%8;%9;;\r\n"_s.arg(++number)
                             .arg(table.cellText(RecordTable::ColourKey, row),
                                  table.cellText(RecordTable::PlanId, row))
                             .arg((row * 7 + n) % 700)
                             .arg(row)
                             .arg(n)
                             .arg(LeaseDate::format(start), LeaseDate::format(start.addYears(2).addDays(-1)))
                             .arg(1000 + row % 500);
            }
        }
        book = LeaseBook::parse(Cp1251::fromUnicode(lines));
        const QByteArray description = DescriptionFile::build(Captions::defaults(), table);
        for (const bool leases : {false, true}) {
            const QString path = dir.filePath(leases ? u"leases.zip"_s : u"plain.zip"_s);
            ZipWriter writer(path);
            for (const QString &id : std::as_const(plans))
                writer.addMember(id, bmp);
            if (leases)
                writer.addMember(LeaseBook::fileName(), book.build());
            writer.addMember(DescriptionFile::fileName(), description);
            writer.write();
            (leases ? withLeases : plain) = path;
        }
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void open(benchmark::State &state, const QString &archive)
{
    QTemporaryDir work;
    ProjectSession session(work.path() + u'/');
    ProjectArchive::OpenOptions options;
    options.askReplace = [](const QString &) { return true; };
    for (auto _ : state)
        ProjectArchive::open(session, archive, options);
}

void BM_OpenWithoutLeases(benchmark::State &state)
{
    open(state, fixture().plain);
}

void BM_OpenWithLeases(benchmark::State &state)
{
    open(state, fixture().withLeases);
}

// The window's colouring of one plan: the vacancy view, and the lease terms with the
// calendar built afresh as the window builds it at each refresh.
void BM_VacancyColouring(benchmark::State &state)
{
    const Fixture &f = fixture();
    for (auto _ : state) {
        benchmark::DoNotOptimize(PlanColouring::pairs(f.table, f.plans[7], PlanView::Vacancy, RoomFlags()));
        benchmark::DoNotOptimize(
            PlanColouring::legend(f.table, Captions::defaults(), f.plans[7], PlanView::Vacancy));
    }
}

void BM_LeaseTermColouring(benchmark::State &state)
{
    const Fixture &f = fixture();
    const QDate day(2026, 12, 9);
    for (auto _ : state) {
        const LeaseCalendar calendar(f.book);
        benchmark::DoNotOptimize(
            PlanColouring::leaseTermPairs(f.table, calendar, f.plans[7], day, RoomFlags()));
        benchmark::DoNotOptimize(
            PlanColouring::leaseTermLegend(f.table, calendar, f.plans[7], day, RoomFlags()));
    }
}

// The summary's figures on the records, and as of a past day (tenants from the leases).
void BM_Summary(benchmark::State &state)
{
    const Fixture &f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(ComplexSummary::of(f.table, f.plans));
}

void BM_SummaryAsOf(benchmark::State &state)
{
    const Fixture &f = fixture();
    RecordTable asOf;
    for (auto _ : state) {
        asOf.replaceRows(LeaseCalendar(f.book).rowsAsOf(f.table, QDate(2015, 6, 15)));
        benchmark::DoNotOptimize(ComplexSummary::of(asOf, f.plans));
    }
}

// Where opening's time goes: reading the member's bytes, with and without the check that no
// line is UTF-8.
void BM_ParseMember(benchmark::State &state)
{
    const QByteArray member = fixture().book.build();
    for (auto _ : state)
        benchmark::DoNotOptimize(LeaseBook::parse(member));
}

void BM_ReadMember(benchmark::State &state)
{
    const QByteArray member = fixture().book.build();
    for (auto _ : state)
        benchmark::DoNotOptimize(LeaseBook::fromMember(member));
}

void BM_EndingWithin12Months(benchmark::State &state)
{
    const Fixture &f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(LeaseExpiry::endingWithin(f.book, f.table, QDate(2026, 12, 9), 12));
}

} // namespace

BENCHMARK(BM_OpenWithoutLeases)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenWithLeases)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VacancyColouring)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LeaseTermColouring)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Summary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SummaryAsOf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseMember)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadMember)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EndingWithin12Months)->Unit(benchmark::kMillisecond);

METROLA_QT_BENCHMARK_MAIN();
