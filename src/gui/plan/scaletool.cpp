#include "gui/plan/scaletool.h"

#include "gui/plan/plancanvas.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

// Draws the rubber band over the plan without touching the plan image, and lets every mouse
// event through to the widget below. It is given the line in widget pixels.
class ScaleTool::Overlay : public QWidget
{
public:
    explicit Overlay(QWidget *parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

    void setLine(const QLineF &line)
    {
        update(area(m_line));
        m_line = line;
        update(area(m_line));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (m_line.isNull())
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        // A light line under a dark dashed one shows on any plan colour.
        painter.setPen(QPen(Qt::white, 3));
        painter.drawLine(m_line);
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.drawLine(m_line);
        painter.setPen(QPen(Qt::red, 2));
        for (const QPointF p : {m_line.p1(), m_line.p2()})
            painter.drawEllipse(p, 3.0, 3.0);
    }

private:
    static QRect area(const QLineF &line)
    {
        return QRectF(line.p1(), line.p2()).normalized().toAlignedRect().adjusted(-6, -6, 6, 6);
    }

    QLineF m_line;
};

ScaleTool::ScaleTool(PlanCanvas *canvas)
    : QObject(canvas), m_canvas(canvas)
{
}

ScaleTool::~ScaleTool()
{
    if (m_active)
        qApp->removeEventFilter(this);
}

void ScaleTool::start()
{
    if (m_active)
        stop();
    m_active = true;
    m_hasFirst = false;
    // One filter on the application sees the plan's mouse events and Escape in any widget.
    qApp->installEventFilter(this);
    m_canvas->setCursor(Qt::CrossCursor);
    m_overlay = new Overlay(m_canvas);
    m_overlay->setGeometry(m_canvas->rect());
    m_overlay->show();
    m_overlay->raise();
}

void ScaleTool::cancel()
{
    if (!m_active)
        return;
    stop();
    Q_EMIT cancelled();
}

QLine ScaleTool::rubberBand() const
{
    return m_active && m_hasFirst ? QLine(m_first, m_end) : QLine();
}

void ScaleTool::stop()
{
    m_active = false;
    m_hasFirst = false;
    qApp->removeEventFilter(this);
    m_canvas->unsetCursor();
    delete m_overlay;
}

void ScaleTool::moveEnd(QPoint to)
{
    m_end = to;
    if (m_overlay) {
        // The plan may have grown or shrunk since the command began.
        m_overlay->setGeometry(m_canvas->rect());
        const PlanZoom &zoom = m_canvas->zoom();
        m_overlay->setLine(QLineF(zoom.centreInView(m_first), zoom.centreInView(m_end)));
    }
}

bool ScaleTool::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_active)
        return false;
    if (m_canvas->isEscapeInItsWindow(watched, event)) {
        cancel();
        return true;
    }
    if (watched != m_canvas)
        return false;
    switch (event->type()) {
    case QEvent::Resize:
        // Zoomed meanwhile: the line follows its plan points.
        if (m_hasFirst)
            moveEnd(m_end);
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        return true;
    case QEvent::MouseMove:
        if (m_hasFirst)
            moveEnd(m_canvas->toPlan(static_cast<QMouseEvent *>(event)->position()));
        return true;
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return true;
        const QPoint p = m_canvas->toPlan(mouse->position());
        if (!m_hasFirst) {
            m_first = p;
            m_hasFirst = true;
            moveEnd(p);
            return true;
        }
        const QPoint first = m_first;
        stop();
        Q_EMIT measured(first, p);
        return true;
    }
    default:
        return false;
    }
}
