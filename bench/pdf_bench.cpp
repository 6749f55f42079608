// A project of 24 plans of 4000 x 3000 written as one PDF (each plan embedded without loss,
// with its legend and scale bar), beside writing the same 24 plans as PNG files with Qt in the
// same run. Goal: the PDF under 5 s.

#include "core/reports/planpdf.h"
#include "imagecopy.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QTemporaryDir>

#include <vector>

namespace {

constexpr int kPlans = 24;

// Rooms in a few colours behind black walls, as a coloured plan is.
QImage colouredPlan()
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    int n = 0;
    const QRgb colours[] = {0xff8dd3c7, 0xffffffb3, 0xffbebada, 0xfffb8072, 0xffffffff};
    gridOfRooms(image, 12, 6, 0xff000000, 6, [&](QRect room, int, int) { fillRect(image, room, colours[n++ % 5]); });
    return image;
}

void BM_Png(benchmark::State &state)
{
    const QImage plan = colouredPlan();
    QTemporaryDir dir;
    for (auto _ : state) {
        for (int i = 0; i < kPlans; ++i)
            plan.save(dir.filePath(QStringLiteral("p%1.png").arg(i)), "PNG");
    }
}
BENCHMARK(BM_Png)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Pdf(benchmark::State &state)
{
    const QImage plan = colouredPlan();
    QTemporaryDir dir;
    PlanPdf::Document document;
    document.archive = QStringLiteral("bench.zip");
    for (int i = 0; i < kPlans; ++i)
        document.planIds << QStringLiteral("p%1.bmp").arg(i);
    // A plan of its own for each page, as in a real project (the writer embeds an image it has
    // seen once only once), made before the clock runs.
    std::vector<QImage> plans;
    for (int i = 0; i < kPlans; ++i) {
        plans.push_back(plan.copy());
        plans.back().setPixel(0, 0, qRgb(i, 0, 0));
    }
    int n = 0;
    document.planOf = [&](const QString &id) {
        return PlanPdf::Plan{id, plans[size_t(n++ % kPlans)], {{0xff8dd3c7, QStringLiteral("А"), 3, 120}}, 0.01};
    };
    for (auto _ : state)
        PlanPdf::write(document, dir.filePath(QStringLiteral("plans.pdf")));
}
BENCHMARK(BM_Pdf)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
