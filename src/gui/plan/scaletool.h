#pragma once

#include <QLine>
#include <QObject>
#include <QPoint>
#include <QPointer>

class PlanCanvas;

// The two clicks of the scale command on the plan widget. While it runs it takes the
// widget's mouse events for itself, so neither marking nor hover sees them: the first left
// click fixes one end, a line follows the pointer from there, the second left click fixes
// the other end. Escape anywhere in the window, or a plan switched in between, cancels. Points are
// plan pixels, taken and drawn through the canvas's zoom.
class ScaleTool : public QObject
{
    Q_OBJECT

public:
    explicit ScaleTool(PlanCanvas *canvas);
    ~ScaleTool() override;

    void start();
    void cancel();
    bool isActive() const { return m_active; }
    // The line shown from the first point to the pointer, in plan pixels; null before the
    // first click.
    QLine rubberBand() const;

Q_SIGNALS:
    void measured(QPoint from, QPoint to);
    void cancelled();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class Overlay;
    void stop();
    void moveEnd(QPoint to);

    PlanCanvas *m_canvas;
    QPointer<Overlay> m_overlay;
    bool m_active = false;
    bool m_hasFirst = false;
    QPoint m_first;
    QPoint m_end;
};
