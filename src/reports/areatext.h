#pragma once

#include <QString>

#include <optional>

// Area cells are typed with a decimal comma. Every sum the program shows (the schedule's
// columns, the batch tool's totals, the summary window, the plan legend) reads them here.
namespace AreaText {

// The value of an area cell as the schedule reads it, nullopt when it is not a number.
std::optional<double> value(const QString &cell);
// An area for people: a comma as decimal separator, no trailing zeros.
QString format(double value);

} // namespace AreaText
