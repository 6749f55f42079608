#include "core/reports/areatext.h"

#include "core/reports/areaschedule.h"

#include <cstdint>
#include <cmath>

namespace AreaText {

namespace {

// The common case, a plain decimal such as "12,5": up to 12 digits before the separator and 15
// in all. The digits then form an exact integer and a power of ten below 10^22 is exact too, so
// one division gives the correctly rounded value, the same double the general reading gives.
std::optional<double> plainDecimal(const QString &cell)
{
    constexpr double kPowers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::int64_t digits = 0;
    int count = 0;
    int integerDigits = -1;
    for (const QChar c : cell) {
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9') {
            if (++count > 15)
                return std::nullopt;
            digits = digits * 10 + (u - u'0');
        } else if ((u == u',' || u == u'.') && integerDigits < 0) {
            integerDigits = count;
        } else {
            return std::nullopt;
        }
    }
    // A separator first or last, or none at all with no digits, is left to the general reading.
    if (integerDigits < 0)
        integerDigits = count;
    else if (integerDigits == 0 || integerDigits == count)
        return std::nullopt;
    if (count == 0 || integerDigits > 12)
        return std::nullopt;
    return double(digits) / kPowers[count - integerDigits];
}

} // namespace

std::optional<double> value(const QString &cell)
{
    if (const auto plain = plainDecimal(cell))
        return plain;
    // A sign, a separator first or last, or more than 15 digits.
    return AreaSchedule::areaValue(cell);
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
