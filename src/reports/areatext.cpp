#include "areatext.h"

#include "areaschedule.h"

#include <cmath>

namespace AreaText {

std::optional<double> value(const QString &cell)
{
    QString text = cell;
    text.replace(u',', u'.');
    return AreaSchedule::areaValue(text);
}

QString format(double value)
{
    // Sums of two-decimal areas pick up binary noise; twelve significant digits hide it.
    const double rounded = std::round(value * 1e6) / 1e6;
    QString text = QString::number(rounded, 'f', 6);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    if (text == QStringLiteral("-0"))
        text = QStringLiteral("0");
    return text.replace(u'.', u',');
}

} // namespace AreaText
