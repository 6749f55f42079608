#pragma once

#include <QString>

#include <optional>

class QWidget;

// The one question for a scale, asked by the plan's scale command and the summary alike.
namespace ScaleQuestion {

// Asks for a positive number of metres (a comma or a point); shows the refusal of anything
// else. nullopt when the user cancelled or typed no such number.
std::optional<double> askMetres(QWidget *parent, const QString &question, const QString &initial);

} // namespace ScaleQuestion
