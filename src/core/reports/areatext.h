#pragma once

#include <QString>

#include <optional>

// Area cells are typed with a decimal comma. Every sum the program shows (the schedule's
// columns, the batch tool's totals, the summary window, the plan legend) reads them here.
namespace AreaText {

// The value of an area cell, nullopt when it is not an area: digits with at most one decimal
// comma or point and an optional sign, below 10^12 (AreaSchedule::areaValue tells the rule).
std::optional<double> value(const QString &cell);
// An area for people: a comma as decimal separator, no trailing zeros.
QString format(double value);

} // namespace AreaText
