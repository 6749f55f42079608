#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// The one number rule: every number the program reads from a cell, a file, a field or a
// command line and every number it shows goes through here, so that two readings of the same
// text can never disagree. None of it depends on the user's locale.
namespace NumberText {

// Areas are square metres: from a trillion on a cell is a typing accident, and staying far
// below the double's range keeps every sum of a table's areas finite.
inline constexpr double kAreaLimit = 1e12;

// An area as typed into a cell. Accepted: an optional sign, digits, at most one decimal comma or
// point, anywhere ("12,5", "3.25", "+4", "7,", ",5"), from 0 to below kAreaLimit; leading
// zeros and digits past the twentieth decimal do not count. Anything else ("-4", "1e3", "inf",
// " 5", "1,2,3", "0x10", "", "-", ",", non-ASCII digits) is no area: nullopt.
std::optional<double> area(QStringView text);
// The same rule read the general way, without the quick path area() takes for plain decimals;
// the two give the very same double.
std::optional<double> areaByGeneralReading(QStringView text);
// The characters an area field lets through: ASCII digits, the comma and the point.
bool isAreaCharacter(QChar c);

// An area, a sum or a percent for people: a decimal comma, at most six decimals, no trailing
// zeros, "0" for a negative zero ("12,5", "3081,45").
QString format(double value);
// A share in percent with one decimal and a decimal comma ("12,0", "7,5").
QString formatShare(double value);

// A scale (metres per pixel) or a tolerance (percent). Accepted: what a decimal number can be
// written as, with a comma or a point, an exponent ("1e-3"), a sign and blanks around; nullopt
// for anything that is not a finite number.
std::optional<double> scale(QStringView text);
// A scale or a tolerance: a decimal comma, twelve decimals at most, no exponent, no trailing
// zeros ("0,0125").
QString formatScale(double value);

} // namespace NumberText
