#pragma once

struct CliArgs;

// The commands on a single plan file rather than an archive: its preparation, and the rooms
// and closing lines proposed on it.
namespace CliPlans {

void prepare(const CliArgs &args);
void rooms(const CliArgs &args);

} // namespace CliPlans
