#include "gui/plan/plancanvas.h"

#include "core/plan/displaycolours.h"

#include <QMouseEvent>
#include <QPainter>

PlanCanvas::PlanCanvas(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PlanCanvas::setImage(const QImage *image)
{
    m_image = image;
    imageReplaced();
}

void PlanCanvas::imageReplaced()
{
    resize(m_image && !m_image->isNull() ? m_image->size() : QSize(0, 0));
    update();
}

void PlanCanvas::setColours(const DisplayColours *colours)
{
    m_colours = colours;
    update();
}

void PlanCanvas::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect area = event->rect();
    if (!m_image || m_image->isNull()) {
        painter.fillRect(area, palette().window());
        return;
    }
    if (!m_colours || m_colours->isEmpty()) {
        painter.drawImage(area.topLeft(), *m_image, area);
        return;
    }
    // Only what is exposed is mapped: a fill or a blink costs the room's box, not the plan.
    for (const QRect &rect : event->region()) {
        const QRect part = rect.intersected(m_image->rect());
        if (part.isEmpty())
            continue;
        if (m_mapped.width() < part.width() || m_mapped.height() < part.height())
            m_mapped = QImage(std::max(m_mapped.width(), part.width()), std::max(m_mapped.height(), part.height()),
                              QImage::Format_RGB32);
        m_colours->map(*m_image, part, m_mapped, QPoint(0, 0));
        painter.drawImage(part.topLeft(), m_mapped, QRect(QPoint(0, 0), part.size()));
    }
}

void PlanCanvas::mousePressEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    Q_EMIT mouseDown(event->button(), p.x(), p.y());
}

void PlanCanvas::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    Q_EMIT mouseMove(p.x(), p.y());
}

void PlanCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    Q_EMIT mouseUp(event->button(), p.x(), p.y());
}

void PlanCanvas::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        Q_EMIT doubleClicked();
    else
        mousePressEvent(event);
}
