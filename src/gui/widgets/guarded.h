#pragma once

#include "core/base/metrolaerror.h"

#include <exception>

// Runs an event handler's body. No exception may cross Qt's event loop, so one escaping the
// body is handed to `report` as its message, and the program goes on with the next event.
template<typename Body, typename Report>
void runGuarded(Body &&body, Report &&report)
{
    try {
        body();
    } catch (const std::exception &error) {
        report(errorMessage(error));
    }
}
