#include "plancanvas.h"

#include <QImage>
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

void PlanCanvas::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect area = event->rect();
    if (m_image && !m_image->isNull())
        painter.drawImage(area.topLeft(), *m_image, area);
    else
        painter.fillRect(area, palette().window());
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
