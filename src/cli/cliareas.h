#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

class CliProject;
struct ProjectCheck;

// The scales of the plans and the typed areas checked against them, added to what `info` and
// `check` report about the table alone.
namespace CliAreas {

// Adds "scale" and "scaleDate" to each entry of "plans", and "tolerance" and "measuredAreas"
// (row, plan, measured or null, reason) for the records on plans with a scale.
void addToInfo(QJsonObject &info, CliProject &project);
QString infoText(CliProject &project);

// Adds an `area-mismatch` problem (with typed, measured and percent) for every room whose
// typed area differs from its measured one by more than the tolerance: the archive's own,
// or the one given.
void addProblems(ProjectCheck &check, CliProject &project, std::optional<double> tolerance);

} // namespace CliAreas
