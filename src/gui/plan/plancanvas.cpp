#include "gui/plan/plancanvas.h"

#include "core/plan/displaycolours.h"

#include <QApplication>
#include <QKeyEvent>
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
    resize(m_image && !m_image->isNull() ? m_zoom.viewSize(m_image->size()) : QSize(0, 0));
    planChanged();
}

void PlanCanvas::setColours(const DisplayColours *colours)
{
    m_colours = colours;
    update();
}

void PlanCanvas::planChanged()
{
    m_stale = QRegion(rect());
    update();
}

void PlanCanvas::setZoom(double factor)
{
    m_zoom = PlanZoom(factor);
    imageReplaced();
}

void PlanCanvas::updatePlanRect(const QRect &planRect)
{
    if (planRect.isEmpty())
        return;
    const QRect view = m_zoom.toView(planRect);
    m_stale += view;
    update(view);
}

void PlanCanvas::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect area = event->rect();
    if (!m_image || m_image->isNull()) {
        painter.fillRect(area, palette().window());
        return;
    }
    const bool plain = !m_colours || m_colours->isEmpty();
    if (plain && m_zoom.factor() == 1.0) {
        painter.drawImage(area.topLeft(), *m_image, area);
        return;
    }
    static const DisplayColours none;
    const DisplayColours &colours = plain ? none : *m_colours;
    if (m_zoom.factor() < 1.0) {
        if (m_reduced.size() != size()) {
            m_reduced = QImage(size(), QImage::Format_RGB32);
            m_stale = QRegion(rect());
        }
        const QRegion due = event->region().intersected(m_stale);
        for (const QRect &part : due) {
            // A view onto the part of the kept image, drawn in place.
            QImage into(m_reduced.bits() + part.top() * m_reduced.bytesPerLine() + part.left() * 4, part.width(),
                        part.height(), m_reduced.bytesPerLine(), QImage::Format_RGB32);
            m_zoom.render(*m_image, none, part, into);
        }
        m_stale -= due;
        for (const QRect &part : event->region()) {
            if (plain) {
                painter.drawImage(part.topLeft(), m_reduced, part);
                continue;
            }
            if (m_mapped.width() < part.width() || m_mapped.height() < part.height())
                m_mapped = QImage(std::max(m_mapped.width(), part.width()), std::max(m_mapped.height(), part.height()),
                                  QImage::Format_RGB32);
            colours.map(m_reduced, part, m_mapped, QPoint(0, 0));
            painter.drawImage(part.topLeft(), m_mapped, QRect(QPoint(0, 0), part.size()));
        }
        return;
    }
    // Only what is exposed is drawn: a fill or a blink costs the room's box, not the plan.
    for (const QRect &rect : event->region()) {
        const QRect part = rect.intersected(this->rect());
        if (part.isEmpty())
            continue;
        if (m_mapped.width() < part.width() || m_mapped.height() < part.height())
            m_mapped = QImage(std::max(m_mapped.width(), part.width()), std::max(m_mapped.height(), part.height()),
                              QImage::Format_RGB32);
        m_zoom.render(*m_image, colours, part, m_mapped);
        painter.drawImage(part.topLeft(), m_mapped, QRect(QPoint(0, 0), part.size()));
    }
}

void PlanCanvas::mousePressEvent(QMouseEvent *event)
{
    const QPoint p = toPlan(event->position());
    Q_EMIT mouseDown(event->button(), p.x(), p.y());
}

void PlanCanvas::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = toPlan(event->position());
    Q_EMIT mouseMove(p.x(), p.y());
}

void PlanCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint p = toPlan(event->position());
    Q_EMIT mouseUp(event->button(), p.x(), p.y());
}

void PlanCanvas::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        Q_EMIT doubleClicked();
    else
        mousePressEvent(event);
}

bool PlanCanvas::isEscapeInItsWindow(QObject *watched, const QEvent *event) const
{
    if (event->type() != QEvent::KeyPress || static_cast<const QKeyEvent *>(event)->key() != Qt::Key_Escape)
        return false;
    const auto *widget = qobject_cast<const QWidget *>(watched);
    return widget && widget->window() == window() && !QApplication::activePopupWidget();
}
