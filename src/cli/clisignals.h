#pragma once

#include <QString>

// Ctrl-C, a closed terminal or a kill must not leave extracted plans behind. The signals are
// taken by a thread of their own, which removes the registered folder and then lets the signal
// end the process as it would have.
namespace CliSignals {

// Call first in main(), before any other thread starts, so that every thread inherits the
// blocked signals and only the watching thread receives them.
void install();
// The folder removed when a signal ends the tool; an empty path removes nothing.
void removeOnSignal(const QString &folder);
// The file about to be written: a signal while it is written removes the unfinished copy its
// writer keeps beside it ("name.XXXXXX") until it takes the name. The file itself, and any
// such copy there before, stay.
void removePartialOutputOnSignal(const QString &output);

} // namespace CliSignals
