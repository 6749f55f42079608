#pragma once

class CliProject;
struct CliArgs;

// The commands that write a file. Each writes through a temporary file next to the target,
// so a failure leaves nothing, or the earlier file, at the target.
namespace CliOutputs {

void schedule(const CliProject &project, const CliArgs &args);
void picture(CliProject &project, const CliArgs &args);
void repaint(CliProject &project, const CliArgs &args);
// The plans, the stacking plan and the plan table as a PDF.
void pdf(CliProject &project, const CliArgs &args);

} // namespace CliOutputs
