#pragma once

#include <QDate>

class CliProject;
struct CliArgs;
struct ProjectCheck;

// The leases in the batch tool: the `leases` listing, the figures of the other commands as of
// a day, and the lease rules of `check`.
namespace CliLeases {

// Puts each room's tenant on the day in place of its record's (the private copy is never
// saved), so info, schedule and pdf report as of that day. Throws MetrolaError when the
// archive's leases were refused.
void applyAsOf(CliProject &project, QDate day);
// Prints the leases (as text or JSON); returns the exit code.
int list(const CliProject &project, const CliArgs &args);
void addProblems(ProjectCheck &check, const CliProject &project, QDate today);

} // namespace CliLeases
