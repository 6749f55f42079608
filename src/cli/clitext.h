#pragma once

#include <QString>

#include <optional>

class QJsonObject;

namespace CliText {

void out(const QString &text);
void err(const QString &text);
void printJson(const QJsonObject &object);

// The value of an area cell as the schedule reads it: a comma is a decimal separator.
std::optional<double> areaOf(const QString &cell);
// An area for people: a comma as decimal separator, no trailing zeros.
QString formatArea(double value);

} // namespace CliText
