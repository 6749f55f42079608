#include "core/rooms/closingline.h"

#include <QLineF>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace {

// The line as a filled quadrilateral around pixel centres, reaching half a pixel beyond each
// end so that both end pixels are covered whatever the direction.
QPolygonF outline(const ClosingLine &line)
{
    const QPointF a = QPointF(line.from) + QPointF(0.5, 0.5);
    const QPointF b = QPointF(line.to) + QPointF(0.5, 0.5);
    QPointF along = b - a;
    const double length = std::hypot(along.x(), along.y());
    along = length > 0 ? along / length : QPointF(1, 0);
    const QPointF across(-along.y(), along.x());
    const double half = std::max(1, line.width) / 2.0;
    const QPointF start = a - along * 0.5, end = b + along * 0.5;
    return QPolygonF(
        {start + across * half, end + across * half, end - across * half, start - across * half});
}

} // namespace

void ClosingLine::draw(QImage &plan, std::span<const ClosingLine> lines)
{
    if (lines.empty())
        return;
    QPainter painter(&plan);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0));
    for (const ClosingLine &line : lines)
        painter.drawPolygon(outline(line));
}

QRect ClosingLine::bounds() const
{
    return outline(*this).boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1);
}
