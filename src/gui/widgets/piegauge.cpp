#include "gui/widgets/piegauge.h"

#include <QPainter>

PieGauge::PieGauge(QWidget *parent)
    : QWidget(parent)
{
}

void PieGauge::setProgress(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == m_progress)
        return;
    m_progress = percent;
    update();
}

void PieGauge::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height()) - 2;
    const QRect box((width() - side) / 2, (height() - side) / 2, side, side);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().base());
    painter.drawEllipse(box);
    painter.setBrush(Qt::red);
    // Qt measures angles in 1/16 degree, counter-clockwise from three o'clock.
    painter.drawPie(box, 90 * 16, -m_progress * 360 * 16 / 100);
}
