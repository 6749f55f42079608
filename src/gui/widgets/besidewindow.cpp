#include "gui/widgets/besidewindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace BesideWindow {

QRect place(const QRect &anchor, QSize wanted, int minimumWidth, const QRect &available)
{
    const QSize size = wanted.boundedTo(available.size());
    const int roomRight = available.right() - anchor.right();
    const int roomLeft = anchor.left() - available.left();
    const bool rightIsWider = roomRight >= roomLeft;
    int width = size.width();
    int left = 0;
    if (roomRight >= width) {
        left = anchor.right() + 1;
    } else if (roomLeft >= width) {
        left = anchor.left() - width;
    } else if (std::max(roomLeft, roomRight) >= minimumWidth) {
        width = std::max(roomLeft, roomRight);
        left = rightIsWider ? anchor.right() + 1 : available.left();
    } else {
        // No gap is wide enough: the window covers as little of the anchor as it can.
        left = rightIsWider ? available.right() + 1 - width : available.left();
    }
    const int top = std::clamp(anchor.top(), available.top(), available.bottom() + 1 - size.height());
    return QRect(left, top, width, size.height());
}

void show(QWidget &window, const QWidget &anchor, QSize wanted, int minimumWidth, bool &placed)
{
    if (!placed) {
        placed = true;
        const QScreen *screen = anchor.screen() ? anchor.screen() : QGuiApplication::primaryScreen();
        const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1300, 800);
        // The window has no frame before its first showing; the main window's is the best guess.
        const QSize decoration = anchor.frameGeometry().size() - anchor.size();
        const int narrowest = std::max(window.minimumSizeHint().width() + decoration.width(), minimumWidth);
        const QRect frame = place(anchor.frameGeometry(), wanted.boundedTo(available.size()), narrowest, available);
        window.resize(frame.size() - decoration);
        window.move(frame.topLeft());
    }
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace BesideWindow
