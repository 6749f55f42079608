#pragma once

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>

class DisplayColours;

// The one mapping between plan pixels and the pixels of a view that shows the plan enlarged or
// reduced. Plan pixel p covers the view's [p * factor, (p + 1) * factor) in each direction, so
// every view point falls in exactly one plan pixel and a plan pixel's box is whole view pixels
// at any factor. Everything drawn over the plan or read from the pointer goes through here.
class PlanZoom
{
public:
    static constexpr double kMaximum = 8.0;

    PlanZoom() = default;
    explicit PlanZoom(double factor);

    double factor() const { return m_factor; }
    // The plan pixel under a view point (outside the plan too).
    QPoint toPlan(QPointF viewPoint) const;
    // The top-left view pixel of a plan pixel.
    QPoint toView(QPoint planPoint) const;
    // The centre of a plan pixel in the view, where a marker for it is drawn.
    QPointF centreInView(QPoint planPoint) const;
    // The view pixels that overlap the plan rect.
    QRect toView(const QRect &planRect) const;
    // The plan pixels that any view pixel of the rect shows.
    QRect toPlan(const QRect &viewRect) const;
    QSize viewSize(QSize planSize) const;

    // The factor that shows all of the plan in the area, never above the maximum.
    static double fitting(QSize planSize, QSize area);
    // Draws the view pixels of viewRect into target (at its top left; it must be at least
    // viewRect's size) in display colours, without smoothing: enlarged, each view pixel takes
    // its plan pixel, so pixels stay sharp; reduced, it takes the darkest plan pixel of the
    // block it covers, so thin walls stay in view. View pixels beyond the plan are left as
    // they are.
    void render(const QImage &plan, const DisplayColours &colours, const QRect &viewRect,
                QImage &target) const;

private:
    double m_factor = 1.0;
};
