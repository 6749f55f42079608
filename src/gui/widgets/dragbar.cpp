#include "gui/widgets/dragbar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

DragBar::DragBar(QWidget *parent)
    : QWidget(parent)
{
    setCursor(Qt::SplitVCursor);
    setAttribute(Qt::WA_Hover);
}

void DragBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    // Without State_Horizontal: the handle of a vertical splitter, laid across the window.
    style()->drawControl(QStyle::CE_Splitter, &option, &painter, this);
}

void DragBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_pressY = int(event->globalPosition().y());
    Q_EMIT pressed();
}

void DragBar::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressed)
        Q_EMIT dragged(int(event->globalPosition().y()) - m_pressY);
}

void DragBar::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_pressed || event->button() != Qt::LeftButton)
        return;
    m_pressed = false;
    Q_EMIT released();
}
