#pragma once

#include "core/plan/planzoom.h"

#include <QImage>
#include <QWidget>

class DisplayColours;

// Image1: shows the plan at a zoom factor and reports mouse events in plan pixels. Every
// conversion between plan and widget pixels goes through zoom(), so what is drawn over the
// plan (markers, the scale line, proposals) and what the pointer hits agree at any factor.
// It paints the image it is given, through a display colour table when one is set. Whoever
// changes the image's pixels calls updatePlanRect() with the changed box (only that box is
// drawn again), or planChanged() after changing much of the image; after changing the colour
// table, coloursChanged(). A plain update() only repaints, for what is drawn over the plan.
class PlanCanvas : public QWidget
{
    Q_OBJECT

public:
    explicit PlanCanvas(QWidget *parent = nullptr);

    // The image stays owned by the caller and must outlive the canvas's use of it.
    void setImage(const QImage *image);
    // Call after the image was replaced or changed size.
    void imageReplaced();
    // The colours to draw the image's pixels in; null or empty draws the pixels as they are.
    // The table stays owned by the caller; call update() after changing it.
    void setColours(const DisplayColours *colours);

    // The widget takes the plan's size at the factor.
    void setZoom(double factor);
    const PlanZoom &zoom() const { return m_zoom; }
    QPoint toPlan(QPointF widgetPoint) const { return m_zoom.toPlan(widgetPoint); }
    QPoint toWidget(QPoint planPoint) const { return m_zoom.toView(planPoint); }
    // Repaints the widget pixels that show part of the plan rect.
    void updatePlanRect(const QRect &planRect);
    void planChanged();
    void coloursChanged() { update(); }
    // Escape pressed in any widget of the plan's window (not in another window's dialog): the
    // key that ends the tools working on the plan.
    bool isEscapeInItsWindow(QObject *watched, const QEvent *event) const;

Q_SIGNALS:
    void mouseDown(Qt::MouseButton button, int x, int y);
    void mouseMove(int x, int y);
    void mouseUp(Qt::MouseButton button, int x, int y);
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    const QImage *m_image = nullptr;
    const DisplayColours *m_colours = nullptr;
    PlanZoom m_zoom;
    QImage m_mapped; // scratch for the mapped part of a paint
    // Reduced, a view pixel stands for a block of plan pixels, which costs more than a repaint
    // may: the reduced view is kept in key colours, only its stale parts are reduced again, and
    // each paint maps it to display colours.
    QImage m_reduced;
    QRegion m_stale;
};
