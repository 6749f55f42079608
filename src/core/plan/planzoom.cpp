#include "core/plan/planzoom.h"

#include "core/plan/displaycolours.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

PlanZoom::PlanZoom(double factor)
    : m_factor(std::clamp(factor, 1.0 / 64, kMaximum))
{
}

QPoint PlanZoom::toPlan(QPointF viewPoint) const
{
    return {int(std::floor(viewPoint.x() / m_factor)), int(std::floor(viewPoint.y() / m_factor))};
}

QPoint PlanZoom::toView(QPoint planPoint) const
{
    return {int(std::ceil(planPoint.x() * m_factor)), int(std::ceil(planPoint.y() * m_factor))};
}

QPointF PlanZoom::centreInView(QPoint planPoint) const
{
    return {(planPoint.x() + 0.5) * m_factor, (planPoint.y() + 0.5) * m_factor};
}

QRect PlanZoom::toView(const QRect &planRect) const
{
    if (planRect.isEmpty())
        return {};
    // Every view pixel that overlaps the rect, so an update never misses an edge pixel; reduced,
    // that is at least the one pixel the rect falls in.
    const auto first = [this](int p) { return int(std::floor(p * m_factor)); };
    const auto last = [this](int p) { return int(std::ceil((p + 1) * m_factor)) - 1; };
    return QRect(QPoint(first(planRect.left()), first(planRect.top())),
                 QPoint(last(planRect.right()), last(planRect.bottom())));
}

QRect PlanZoom::toPlan(const QRect &viewRect) const
{
    if (viewRect.isEmpty())
        return {};
    return QRect(toPlan(QPointF(viewRect.topLeft())), toPlan(QPointF(viewRect.bottomRight())));
}

QSize PlanZoom::viewSize(QSize planSize) const
{
    if (planSize.isEmpty())
        return {0, 0};
    return {int(std::ceil(planSize.width() * m_factor)), int(std::ceil(planSize.height() * m_factor))};
}

double PlanZoom::fitting(QSize planSize, QSize area)
{
    if (planSize.isEmpty() || area.isEmpty())
        return 1.0;
    const double fit = std::min(double(area.width()) / planSize.width(), double(area.height()) / planSize.height());
    return std::min(fit, kMaximum);
}

void PlanZoom::render(const QImage &plan, const DisplayColours &colours, const QRect &viewRect, QImage &target) const
{
    const QRect shown = viewRect.intersected(QRect(QPoint(0, 0), viewSize(plan.size())));
    if (shown.isEmpty())
        return;
    const QPoint offset = shown.topLeft() - viewRect.topLeft();
    // Which plan column each view column shows; the same for every row.
    std::vector<int> columns(static_cast<size_t>(shown.width()));
    for (int x = 0; x < shown.width(); ++x)
        columns[static_cast<size_t>(x)] = std::min(plan.width() - 1, toPlan(QPointF(shown.left() + x, 0)).x());
    const bool identity = m_factor == 1.0;
    int lastPlanRow = -1;
    QRgb *lastLine = nullptr;
    for (int y = 0; y < shown.height(); ++y) {
        const int planRow = std::min(plan.height() - 1, toPlan(QPointF(0, shown.top() + y)).y());
        auto *line = reinterpret_cast<QRgb *>(target.scanLine(offset.y() + y)) + offset.x();
        // Enlarged, consecutive view rows show one plan row: it is mapped once and copied.
        if (planRow == lastPlanRow) {
            std::memcpy(line, lastLine, sizeof(QRgb) * size_t(shown.width()));
            continue;
        }
        const auto *source = reinterpret_cast<const QRgb *>(plan.constScanLine(planRow));
        if (identity) {
            std::memcpy(line, source + shown.left(), sizeof(QRgb) * size_t(shown.width()));
        } else {
            for (int x = 0; x < shown.width(); ++x)
                line[x] = source[columns[static_cast<size_t>(x)]];
        }
        // Mapped in place: the colour table reads each run before it writes it.
        if (!colours.isEmpty())
            colours.mapLine(line, line, shown.width());
        lastPlanRow = planRow;
        lastLine = line;
    }
}
