// The plan's zoom: Ctrl+wheel about the pointer, the Вид menu's steps about the view's centre.
// Only the canvas knows how plan pixels map to the screen; here the scroll bars follow it.
#include "gui/mainwindow/form1.h"

#include "gui/plan/plancanvas.h"

#include <QLabel>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// Steps a user can tell apart, with 100 % among them; below the smallest only fit-to-window.
constexpr std::array<double, 13> kSteps = {1.0 / 8, 1.0 / 6, 1.0 / 4, 1.0 / 3, 1.0 / 2, 2.0 / 3, 1.0,
                                           1.5,     2.0,     3.0,     4.0,     6.0,     8.0};

} // namespace

double Form1::zoomFactor() const
{
    return Image1->zoom().factor();
}

double Form1::minimumZoom() const
{
    return std::min(1.0, PlanZoom::fitting(m_session.planImage().size(), PlanArea->size()));
}

QPoint Form1::planAreaCentre() const
{
    return QPoint(PlanArea->width() / 2, PlanArea->height() / 2);
}

void Form1::setZoom(double factor)
{
    setZoom(factor, planAreaCentre());
}

void Form1::setZoom(double factor, QPoint anchor)
{
    const double old = zoomFactor();
    factor = std::clamp(factor, minimumZoom(), PlanZoom::kMaximum);
    // The plan point under the anchor, in plan pixels with their fractions.
    if (!m_zoomAnchor || m_zoomAnchor->view != anchor)
        m_zoomAnchor = ZoomAnchor{
            anchor, QPointF(anchor + QPoint(HorzScrollBar->value(), VertScrollBar->value())) / old};
    const QPointF plan = m_zoomAnchor->plan;
    m_zooming = true;
    applyZoom(factor);
    const QPointF scroll = plan * zoomFactor() - QPointF(anchor);
    HorzScrollBar->setValue(int(std::lround(scroll.x())));
    VertScrollBar->setValue(int(std::lround(scroll.y())));
    m_zooming = false;
}

void Form1::applyZoom(double factor)
{
    Image1->setZoom(factor);
    ZoomLabel->setText(u"%1 %"_s.arg(std::lround(zoomFactor() * 100)));
    layoutPlanArea();
}

void Form1::stepZoom(int steps, QPoint anchor)
{
    double factor = zoomFactor();
    for (; steps > 0; --steps) {
        const auto next = std::upper_bound(kSteps.begin(), kSteps.end(), factor + 1e-9);
        factor = next == kSteps.end() ? kSteps.back() : *next;
    }
    for (; steps < 0; ++steps) {
        const auto next = std::lower_bound(kSteps.begin(), kSteps.end(), factor - 1e-9);
        factor = next == kSteps.begin() ? minimumZoom() : *(next - 1);
    }
    setZoom(std::max(factor, minimumZoom()), anchor);
}

void Form1::zoomIn()
{
    stepZoom(1, planAreaCentre());
}

void Form1::zoomOut()
{
    stepZoom(-1, planAreaCentre());
}

void Form1::zoomActual()
{
    setZoom(1.0);
}

void Form1::zoomFit()
{
    // Here "fit" may enlarge a small plan too, up to the maximum.
    const double fit = PlanZoom::fitting(m_session.planImage().size(), PlanArea->size());
    applyZoom(fit);
    HorzScrollBar->setValue(0);
    VertScrollBar->setValue(0);
    m_zoomAnchor.reset();
}

bool Form1::zoomByWheel(QWheelEvent &wheel)
{
    // A notch is 120 eighths of a degree; fine wheels send a few at a time, which add up.
    m_zoomRest += wheel.angleDelta().y();
    const int steps = m_zoomRest / 120;
    m_zoomRest %= 120;
    if (steps != 0)
        stepZoom(steps, PlanArea->mapFromGlobal(wheel.globalPosition().toPoint()));
    wheel.accept();
    return true;
}
