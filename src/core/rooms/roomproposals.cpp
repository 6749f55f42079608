#include "core/rooms/roomproposals.h"

#include <algorithm>
#include <cmath>

namespace {

double distanceToSegment(QPointF p, QPointF a, QPointF b)
{
    const QPointF ab = b - a;
    const double length2 = QPointF::dotProduct(ab, ab);
    const double t = length2 > 0 ? std::clamp(QPointF::dotProduct(p - a, ab) / length2, 0.0, 1.0) : 0.0;
    const QPointF d = p - (a + ab * t);
    return std::hypot(d.x(), d.y());
}

} // namespace

RoomProposals::RoomProposals(const QImage &plan, const RoomFinder::Options &options)
{
    RoomFinder::Options withMap = options;
    withMap.regionMap = &m_map;
    RoomFinder::Result found = RoomFinder::find(plan, withMap);
    m_minPixels = found.minPixels;
    adopt(plan, std::move(found.rooms), std::move(found.lines));
}

void RoomProposals::rebuild(const QImage &plan, std::vector<ClosingLine> lines)
{
    QImage closed = plan.convertToFormat(QImage::Format_RGB32);
    ClosingLine::draw(closed, lines);
    std::vector<RoomProposal> rooms = RoomFinder::regions(closed, m_minPixels, &m_map);
    adopt(plan, std::move(rooms), std::move(lines));
}

void RoomProposals::adopt(const QImage &plan, std::vector<RoomProposal> rooms, std::vector<ClosingLine> lines)
{
    rooms.resize(std::min<size_t>(rooms.size(), 65535));
    std::vector<bool> open(rooms.size(), true);
    for (size_t i = 0; i < rooms.size(); ++i) {
        for (const RoomProposal &rejected : m_rejected)
            if (rejected.pixels == rooms[i].pixels && rejected.box == rooms[i].box)
                open[i] = false;
    }

    // The rooms a line touches: a floor pixel of the region beside one of the line's pixels.
    std::vector<std::vector<int>> lineRooms(lines.size());
    const QRect sheet = plan.rect();
    for (size_t l = 0; l < lines.size(); ++l) {
        const QRect box = lines[l].bounds().intersected(sheet);
        if (box.isEmpty())
            continue;
        QImage stroke(box.size(), QImage::Format_RGB32);
        stroke.fill(Qt::white);
        ClosingLine moved = lines[l];
        moved.from -= box.topLeft();
        moved.to -= box.topLeft();
        ClosingLine::draw(stroke, {&moved, 1});
        std::vector<int> &touched = lineRooms[l];
        for (int y = 0; y < stroke.height(); ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(stroke.constScanLine(y));
            for (int x = 0; x < stroke.width(); ++x) {
                if (qRed(row[x]) != 0)
                    continue;
                const QPoint p = box.topLeft() + QPoint(x, y);
                for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                    const QPoint q = p + d;
                    if (!sheet.contains(q))
                        continue;
                    const int room = reinterpret_cast<const quint16 *>(m_map.constScanLine(q.y()))[q.x()];
                    if (room > 0 && std::find(touched.begin(), touched.end(), room - 1) == touched.end())
                        touched.push_back(room - 1);
                }
            }
        }
    }

    m_rooms = std::move(rooms);
    m_roomOpen = std::move(open);
    m_lines = std::move(lines);
    m_lineOpen.assign(m_lines.size(), true);
    m_lineRooms = std::move(lineRooms);
}

int RoomProposals::openRooms() const
{
    return int(std::count(m_roomOpen.begin(), m_roomOpen.end(), true));
}

int RoomProposals::openLines() const
{
    return int(std::count(m_lineOpen.begin(), m_lineOpen.end(), true));
}

std::vector<int> RoomProposals::openRoomIndices() const
{
    std::vector<int> open;
    for (size_t i = 0; i < m_rooms.size(); ++i)
        if (m_roomOpen[i])
            open.push_back(int(i));
    return open;
}

int RoomProposals::roomAt(QPoint p) const
{
    if (!m_map.valid(p))
        return -1;
    const int room = reinterpret_cast<const quint16 *>(m_map.constScanLine(p.y()))[p.x()] - 1;
    return room >= 0 && m_roomOpen[size_t(room)] ? room : -1;
}

int RoomProposals::lineAt(QPointF p, double reach) const
{
    int best = -1;
    double bestDistance = 0;
    for (size_t l = 0; l < m_lines.size(); ++l) {
        if (!m_lineOpen[l])
            continue;
        const ClosingLine &line = m_lines[l];
        const double d = distanceToSegment(p, QPointF(line.from) + QPointF(0.5, 0.5),
                                           QPointF(line.to) + QPointF(0.5, 0.5));
        if (d <= std::max(reach, line.width / 2.0) && (best < 0 || d < bestDistance)) {
            best = int(l);
            bestDistance = d;
        }
    }
    return best;
}

std::vector<int> RoomProposals::linesAround(int room) const
{
    std::vector<int> around;
    for (size_t l = 0; l < m_lines.size(); ++l) {
        const std::vector<int> &touched = m_lineRooms[l];
        if (m_lineOpen[l] && std::find(touched.begin(), touched.end(), room) != touched.end())
            around.push_back(int(l));
    }
    return around;
}

void RoomProposals::rejectLine(int line, const QImage &plan)
{
    for (size_t i = 0; i < m_rooms.size(); ++i)
        if (!m_roomOpen[i])
            m_rejected.push_back(m_rooms[i]);
    std::vector<ClosingLine> kept;
    for (size_t l = 0; l < m_lines.size(); ++l)
        if (m_lineOpen[l] && int(l) != line)
            kept.push_back(m_lines[l]);
    rebuild(plan, std::move(kept));
}
