#pragma once

#include <QImage>
#include <QPoint>

#include <span>

// A straight black line drawn into the plan bitmap to close an opening (a door, a passage, a
// window gap): proposed by RoomFinder, drawn by the user with the wall tool. Its ends are
// pixel positions; `width` pixels across it are covered.
struct ClosingLine
{
    QPoint from;
    QPoint to;
    int width = 1;

    friend bool operator==(const ClosingLine &, const ClosingLine &) = default;

    // Exactly black (0xff000000), never anti-aliased: it must read as wall to the exact-colour
    // fill. Every caller that draws lines draws them through here, so a room proposed after
    // drawing is the room the user gets after accepting.
    static void draw(QImage &plan, std::span<const ClosingLine> lines);
    // The box the line's pixels lie in (for undo and repaint).
    QRect bounds() const;
};
