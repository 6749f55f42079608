#pragma once

#include <QRect>
#include <QSize>

class QWidget;

// Where a tool window (the summary, the stacking plan) opens: beside the main window on the
// main window's screen, never over the rooms it asks the main window to show if there is room.
namespace BesideWindow {

// The frame for a window of frame size `wanted` beside the frame `anchor`, inside `available`:
// right of it, else left of it, else narrowed (not below minimumWidth) into the wider gap,
// else over the anchor's edge at the side with more room.
QRect place(const QRect &anchor, QSize wanted, int minimumWidth, const QRect &available);

// Shows the window and brings it forward. The first showing (placed still false) places it
// beside anchor at the size wanted, bounded by the screen; later ones leave it where the user
// put it.
void show(QWidget &window, const QWidget &anchor, QSize wanted, int minimumWidth, bool &placed);

} // namespace BesideWindow
