#pragma once

#include <QString>

#include <optional>

class PlanScales;
class QWidget;

// The one question for a scale, asked by the plan's scale command and the summary alike.
namespace ScaleQuestion {

// Asks for a positive number of metres (a comma or a point); shows the refusal of anything
// else. nullopt when the user cancelled or typed no such number.
std::optional<double> askMetres(QWidget *parent, const QString &question, const QString &initial);

// Sets the plan's scale, dated today; a scale the project cannot keep is refused with the
// reason and "Масштаб не изменён.". Returns whether the scale was set.
bool setScale(QWidget *parent, PlanScales &scales, const QString &planId, double metresPerPixel);

} // namespace ScaleQuestion
