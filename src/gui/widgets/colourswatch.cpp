#include "gui/widgets/colourswatch.h"

#include "core/plan/colourkey.h"

#include <QMouseEvent>

ColourSwatch::ColourSwatch(QWidget *parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    setColour(0xffffff);
}

void ColourSwatch::setColour(quint32 key)
{
    m_colour = key;
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor::fromRgb(ColourKey::toRgb(key)));
    setPalette(p);
}

void ColourSwatch::mouseReleaseEvent(QMouseEvent *event)
{
    QFrame::mouseReleaseEvent(event);
    Q_EMIT released();
}
