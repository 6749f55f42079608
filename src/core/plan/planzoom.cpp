#include "core/plan/planzoom.h"

#include "core/plan/displaycolours.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {
// Factors such as 1/3 are not exact in binary: 3 * (1/3) must still reach pixel 1.
constexpr double kEpsilon = 1e-9;
} // namespace

PlanZoom::PlanZoom(double factor)
    : m_factor(std::clamp(factor, 1.0 / 64, kMaximum))
{}

QPoint PlanZoom::toPlan(QPointF viewPoint) const
{
    return {int(std::floor(viewPoint.x() / m_factor + kEpsilon)),
            int(std::floor(viewPoint.y() / m_factor + kEpsilon))};
}

QPoint PlanZoom::toView(QPoint planPoint) const
{
    return {int(std::ceil(planPoint.x() * m_factor - kEpsilon)),
            int(std::ceil(planPoint.y() * m_factor - kEpsilon))};
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
    const auto first = [this](int p) { return int(std::floor(p * m_factor + kEpsilon)); };
    const auto last = [this](int p) { return int(std::ceil((p + 1) * m_factor - kEpsilon)) - 1; };
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
    return {int(std::ceil(planSize.width() * m_factor - kEpsilon)),
            int(std::ceil(planSize.height() * m_factor - kEpsilon))};
}

double PlanZoom::fitting(QSize planSize, QSize area)
{
    if (planSize.isEmpty() || area.isEmpty())
        return 1.0;
    const double fit =
        std::min(double(area.width()) / planSize.width(), double(area.height()) / planSize.height());
    return std::min(fit, kMaximum);
}

namespace {

// How dark a pixel looks, for choosing what a reduced view pixel shows.
inline int darkness(QRgb p)
{
    return -(2 * qRed(p) + 5 * qGreen(p) + qBlue(p));
}

} // namespace

void PlanZoom::render(const QImage &plan, const DisplayColours &colours, const QRect &viewRect,
                      QImage &target) const
{
    const QRect shown = viewRect.intersected(QRect(QPoint(0, 0), viewSize(plan.size())));
    if (shown.isEmpty())
        return;
    const QPoint offset = shown.topLeft() - viewRect.topLeft();
    // The plan columns each view column covers, [first, end); the same for every row.
    // Enlarged, the plan pixel under the view pixel; reduced, the plan pixels whose left (or
    // top) edge falls in it, the same partition toView() covers.
    const bool reduced = m_factor < 1.0;
    const auto span = [this, reduced](int view, int limit) {
        const auto start = [this, reduced](int v) {
            return reduced ? int(std::ceil(v / m_factor - kEpsilon))
                           : int(std::floor(v / m_factor + kEpsilon));
        };
        const int first = std::min(limit - 1, start(view));
        const int end = reduced ? std::clamp(start(view + 1), first + 1, limit) : first + 1;
        return std::pair(first, end);
    };
    std::vector<std::pair<int, int>> columns(static_cast<size_t>(shown.width()));
    for (int x = 0; x < shown.width(); ++x)
        columns[static_cast<size_t>(x)] = span(shown.left() + x, plan.width());
    const bool identity = m_factor == 1.0;
    int lastPlanRow = -1;
    QRgb *lastLine = nullptr;
    for (int y = 0; y < shown.height(); ++y) {
        const auto [firstRow, endRow] = span(shown.top() + y, plan.height());
        auto *line = reinterpret_cast<QRgb *>(target.scanLine(offset.y() + y)) + offset.x();
        // Enlarged, consecutive view rows show one plan row: it is mapped once and copied.
        if (firstRow == lastPlanRow) {
            std::memcpy(line, lastLine, sizeof(QRgb) * size_t(shown.width()));
            continue;
        }
        const auto *source = reinterpret_cast<const QRgb *>(plan.constScanLine(firstRow));
        if (identity) {
            std::memcpy(line, source + shown.left(), sizeof(QRgb) * size_t(shown.width()));
        } else if (!reduced) {
            for (int x = 0; x < shown.width(); ++x)
                line[x] = source[columns[static_cast<size_t>(x)].first];
        } else {
            // Reduced, a view pixel covers a block of plan pixels and shows the darkest of them,
            // so a wall one pixel thin never drops out of the view. The block's rows are read one
            // after the other, each along its length; runs of one colour are judged once.
            for (int x = 0; x < shown.width(); ++x)
                line[x] = source[columns[static_cast<size_t>(x)].first];
            for (int r = firstRow; r < endRow; ++r) {
                const auto *row = reinterpret_cast<const QRgb *>(plan.constScanLine(r));
                for (int x = 0; x < shown.width(); ++x) {
                    const auto [first, end] = columns[static_cast<size_t>(x)];
                    QRgb best = line[x];
                    int bestDark = darkness(best);
                    for (int c = first; c < end; ++c) {
                        if (row[c] == best)
                            continue;
                        const int dark = darkness(row[c]);
                        if (dark > bestDark) {
                            bestDark = dark;
                            best = row[c];
                        }
                    }
                    line[x] = best;
                }
            }
        }
        // Mapped in place: the colour table reads each run before it writes it.
        if (!colours.isEmpty())
            colours.mapLine(line, line, shown.width());
        lastPlanRow = firstRow;
        lastLine = line;
    }
}
