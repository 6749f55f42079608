#include "core/base/numbertext.h"

#include <QByteArray>

#include <cmath>
#include <cstdint>

namespace NumberText {

namespace {

// The common case, a plain decimal such as "12,5": up to 12 digits before the separator and 15
// in all. The digits then form an exact integer and a power of ten below 10^22 is exact too, so
// one division gives the correctly rounded value, the same double the general reading gives.
std::optional<double> plainDecimal(QStringView text)
{
    constexpr double kPowers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::int64_t digits = 0;
    int count = 0;
    int integerDigits = -1;
    for (const QChar c : text) {
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

// Drops trailing zeros and a trailing point of a fixed-point text and turns its point into
// the decimal comma.
QString withDecimalComma(QString text)
{
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text.replace(u'.', u',');
}

} // namespace

std::optional<double> area(QStringView text)
{
    if (const auto plain = plainDecimal(text))
        return plain;
    // A sign, a separator first or last, or more than 15 digits.
    return areaByGeneralReading(text);
}

std::optional<double> areaByGeneralReading(QStringView text)
{
    // Digits past the twentieth decimal cannot change a double of an area worth reading, and
    // dropping them keeps a long tail of zeros from underflowing to "not a number".
    constexpr int kDecimals = 20;
    // Whole digits, leading zeros aside, that stay below kAreaLimit.
    constexpr int kWholeDigits = 12;

    qsizetype i = 0;
    const qsizetype n = text.size();
    QByteArray plain;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        plain += static_cast<char>(text[i++].unicode());
    bool separator = false;
    int digits = 0;
    int wholeDigits = 0;
    int decimals = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9') {
            ++digits;
            if (separator) {
                if (++decimals > kDecimals)
                    continue;
            } else if (wholeDigits > 0 || c != u'0') {
                if (++wholeDigits > kWholeDigits)
                    return std::nullopt;
            }
            plain += static_cast<char>(c);
        } else if ((c == u',' || c == u'.') && !separator) {
            separator = true;
            plain += '.';
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    // Only digits, one point and a sign are left, so the conversion never meets an exponent,
    // a hexadecimal form, an infinity or blanks.
    bool ok = false;
    const double value = plain.toDouble(&ok);
    // A room smaller than nothing is a slip of a hand-edited file; summed, it would eat the
    // areas of other rooms (a load factor of 16 001 from one "-99,99"). "-0" is still nought.
    if (!ok || value >= kAreaLimit || value < 0)
        return std::nullopt;
    return value;
}

bool isAreaCharacter(QChar c)
{
    return (c >= u'0' && c <= u'9') || c == u',' || c == u'.';
}

QString format(double value)
{
    // Sums of two-decimal areas pick up binary noise; twelve significant digits hide it.
    const double rounded = std::round(value * 1e6) / 1e6;
    QString text = withDecimalComma(QString::number(rounded, 'f', 6));
    if (text == QStringLiteral("-0"))
        text = QStringLiteral("0");
    return text;
}

QString formatShare(double value)
{
    return QString::number(value, 'f', 1).replace(u'.', u',');
}

std::optional<double> scale(QStringView text)
{
    QString copy = text.toString();
    copy.replace(u',', u'.');
    bool ok = false;
    const double value = copy.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString formatScale(double value)
{
    // Twelve decimals keep a scale of a thousandth of a millimetre per pixel to six digits.
    return withDecimalComma(QString::number(value, 'f', 12));
}

} // namespace NumberText
