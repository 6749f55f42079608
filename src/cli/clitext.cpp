#include "clitext.h"

#include "reports/areaschedule.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>

namespace CliText {

void out(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

void err(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

void printJson(const QJsonObject &object)
{
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

std::optional<double> areaOf(const QString &cell)
{
    QString text = cell;
    text.replace(u',', u'.');
    return AreaSchedule::areaValue(text);
}

QString formatArea(double value)
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

} // namespace CliText
