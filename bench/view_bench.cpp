#include "core/plan/displaycolours.h"
#include "core/plan/planzoom.h"
#include "gui/plan/plancanvas.h"
#include "imagecopy.h"

#include <QApplication>
#include <QPainter>

namespace {

constexpr QSize kView(1920, 1080);

// 7000 x 5000 pixels, 40 x 25 rooms, every room a key with a display colour (a colouring view).
struct Plan
{
    QImage image{7000, 5000, QImage::Format_RGB32};
    DisplayColours colours;

    Plan()
    {
        std::vector<std::pair<QRgb, QRgb>> pairs;
        gridOfRooms(image, 40, 25, qRgb(0, 0, 0), 4, [&](const QRect &room, int r, int c) {
            const QRgb key = qRgb(10 + r, 20 + c, 200);
            fillRect(image, room, key);
            pairs.emplace_back(key, qRgb(255 - r, 128, c));
        });
        colours.assign(std::move(pairs));
    }
};

const Plan &plan()
{
    static const Plan instance;
    return instance;
}

// The view looks at the middle of the plan, so every row and column of it shows plan pixels.
QRect middleView(double factor)
{
    const QSize shown = PlanZoom(factor).viewSize(plan().image.size());
    const QPoint at((shown.width() - kView.width()) / 2, (shown.height() - kView.height()) / 2);
    return QRect(QPoint(std::max(0, at.x()), std::max(0, at.y())), kView);
}

void BM_CopyView(benchmark::State &state)
{
    copyImage(state, QImage(kView, QImage::Format_RGB32));
}

void BM_ZoomRender(benchmark::State &state)
{
    const double factor = double(state.range(0)) / 100;
    const PlanZoom zoom(factor);
    const QRect view = middleView(factor);
    QImage target(kView, QImage::Format_RGB32);
    for (auto _ : state) {
        zoom.render(plan().image, plan().colours, view, target);
        benchmark::DoNotOptimize(target.bits());
    }
}

// The widget's paint of the whole view: the zoom's drawing plus QPainter's copy to the surface.
void BM_CanvasRepaint(benchmark::State &state)
{
    const double factor = double(state.range(0)) / 100;
    PlanCanvas canvas;
    canvas.setImage(&plan().image);
    canvas.setColours(&plan().colours);
    canvas.setZoom(factor);
    const QRect view = middleView(factor);
    QImage surface(kView, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&surface);
        canvas.render(&painter, QPoint(), QRegion(view), QWidget::DrawChildren);
        benchmark::DoNotOptimize(surface.bits());
    }
}

} // namespace

BENCHMARK(BM_CopyView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZoomRender)->Arg(25)->Arg(100)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CanvasRepaint)->Arg(25)->Arg(100)->Arg(400)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    // The canvas is a widget; it needs no screen, only the offscreen platform.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
