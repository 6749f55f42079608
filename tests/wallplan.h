// Prepared plans for the tests of proposals and lines: exact black walls on a white sheet, as
// preparation leaves a plan.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>

#include <initializer_list>

namespace WallPlan {

inline QImage draw(QSize sheet, std::initializer_list<QRect> walls)
{
    QImage image(sheet, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    for (const QRect &r : walls)
        p.fillRect(r, Qt::black);
    return image;
}

} // namespace WallPlan
