#pragma once

#include "core/rooms/closingline.h"
#include "core/rooms/roomfinder.h"

#include <QImage>
#include <QPointF>

#include <vector>

// The rooms and closing lines proposed for the plan shown while the user looks them over:
// which are still open, which region each floor pixel belongs to (for hatching and for
// clicks), and which lines bound each room. A room is accepted with the lines around it, so
// the fill from its point paints exactly the proposed region; a rejected line joins the
// regions on both sides again, and the proposals are counted anew without it.
class RoomProposals
{
public:
    RoomProposals() = default;
    // `plan` is the plan shown, marked rooms in their colours (they are no floor and are not
    // proposed).
    RoomProposals(const QImage &plan, const RoomFinder::Options &options);

    bool isEmpty() const { return openRooms() == 0 && openLines() == 0; }
    const std::vector<RoomProposal> &rooms() const { return m_rooms; }
    const std::vector<ClosingLine> &lines() const { return m_lines; }
    bool roomOpen(int room) const { return m_roomOpen[size_t(room)]; }
    bool lineOpen(int line) const { return m_lineOpen[size_t(line)]; }
    int openRooms() const;
    int openLines() const;
    std::vector<int> openRoomIndices() const;

    // The open room whose region holds the plan point, or -1.
    int roomAt(QPoint planPoint) const;
    // The open line within `reach` plan pixels of the point (or within its own width), the
    // nearest first; -1 when none.
    int lineAt(QPointF planPoint, double reach) const;
    // The open lines that touch the room's region: the ones to draw before filling it.
    std::vector<int> linesAround(int room) const;
    // The region index of a plan pixel: room + 1, 0 for no proposed room. Grayscale16.
    const QImage &regionMap() const { return m_map; }

    // The room was accepted (or marked by hand) or rejected: it is no longer offered.
    void closeRoom(int room) { m_roomOpen[size_t(room)] = false; }
    // The line was drawn into the plan.
    void lineDrawn(int line) { m_lineOpen[size_t(line)] = false; }
    // The line is not wanted: the regions are counted again on `plan` (the plan shown now)
    // with the open lines only. Rooms closed before stay closed where their point still lies
    // in a region.
    void rejectLine(int line, const QImage &plan);

private:
    void rebuild(const QImage &plan, std::vector<ClosingLine> lines);
    // Takes the rooms (their regions in m_map) and lines as the proposals.
    void adopt(const QImage &plan, std::vector<RoomProposal> rooms, std::vector<ClosingLine> lines);

    std::vector<RoomProposal> m_rooms;
    std::vector<ClosingLine> m_lines;
    std::vector<bool> m_roomOpen;
    std::vector<bool> m_lineOpen;
    // For each line, the rooms whose regions it touches.
    std::vector<std::vector<int>> m_lineRooms;
    QImage m_map;
    qint64 m_minPixels = 0;
    // Rooms closed before a recount, so that the same region is not offered again.
    std::vector<RoomProposal> m_rejected;
};
