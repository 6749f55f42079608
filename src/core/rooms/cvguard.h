#pragma once

#include <QSize>
#include <QString>

#include <functional>

// Finding rooms takes several masks of the plan's size from OpenCV. When memory runs out,
// OpenCV throws its own exception (its code StsNoMem), which reached the user as an internal
// error in English; here it and std::bad_alloc become one Russian line that names the plan's
// size, and any other OpenCV failure a Russian line with OpenCV's words after it.
namespace CvGuard {

QString noMemoryMessage(QSize plan);
// Runs the step; throws MetrolaError instead of OpenCV's exception, std::bad_alloc or a thread
// that could not be started.
void run(QSize plan, const std::function<void()> &step);

} // namespace CvGuard
