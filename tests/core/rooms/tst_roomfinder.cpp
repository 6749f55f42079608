#include "core/plan/floodfill.h"
#include "core/rooms/closingline.h"
#include "core/rooms/cvplan.h"
#include "core/rooms/roomfinder.h"
#include "core/rooms/roomproposals.h"

#include <QPainter>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Prepared plans (exact black on white) built from wall rectangles on a sheet of 300 x 200
// with a margin; walls are 6 points thick, thin lines 1.
struct Sheet
{
    QImage image{300, 200, QImage::Format_RGB32};
    Sheet() { image.fill(Qt::white); }
    Sheet &wall(int x, int y, int w, int h)
    {
        QPainter(&image).fillRect(x, y, w, h, Qt::black);
        return *this;
    }
    Sheet &gap(int x, int y, int w, int h)
    {
        QPainter(&image).fillRect(x, y, w, h, Qt::white);
        return *this;
    }
    Sheet &slant(QPoint a, QPoint b)
    {
        QPainter p(&image);
        p.setPen(QPen(Qt::black, 6, Qt::SolidLine, Qt::SquareCap));
        p.drawLine(a, b);
        return *this;
    }
    Sheet &line(QPoint a, QPoint b)
    {
        QPainter p(&image);
        p.setPen(QPen(Qt::black, 1));
        p.drawLine(a, b);
        return *this;
    }
};

// The outer walls of a flat from (20, 20) to (280, 180), inside 26..274 x 26..174.
Sheet flat()
{
    Sheet s;
    s.wall(20, 20, 260, 6).wall(20, 174, 260, 6).wall(20, 20, 6, 160).wall(274, 20, 6, 160);
    return s;
}

// Two rooms parted by a wall at x 147..152 with a door 40 points wide at y 80..119.
Sheet twoRoomsWithDoor()
{
    return flat().wall(147, 26, 6, 148).gap(147, 80, 6, 40);
}

qint64 fillCount(const QImage &plan, QPoint seed)
{
    QImage copy = plan.copy();
    qint64 pixels = 0;
    FloodFill().fillCounting(copy, seed, qRgb(1, 2, 3), pixels);
    return pixels;
}

} // namespace

class TestRoomFinder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rooms_data();
    void rooms();
    void doorByACornerClosedInItsOpening();
    void glazedSideClosedAlongTheOutline();
    void windowNicheIsNoRoom();
    void seedsFillExactlyTheirRooms();
    void markedRoomIsNotProposed();
    void scaleLimitsTheOpening();
    void closingLineCoversItsEnds();
    void proposalsAcceptedOneAtATime();
    void rejectedLineJoinsTheRooms();
    void closingTheMaskIsDrawingThePlan();
};

void TestRoomFinder::rooms_data()
{
    QTest::addColumn<QImage>("plan");
    QTest::addColumn<int>("rooms");
    QTest::addColumn<int>("lines");
    QTest::newRow("one room, nothing to close") << flat().image << 1 << 0;
    QTest::newRow("door between two rooms") << twoRoomsWithDoor().image << 2 << 1;
    // The leaf and its arc cross the opening; thin strokes are looked through.
    QTest::newRow("door with leaf and arc")
        << twoRoomsWithDoor().line({153, 80}, {193, 80}).line({193, 80}, {153, 120}).image << 2 << 1;
    // An entrance in the outer wall: the room would be the outside without its line.
    QTest::newRow("entrance") << flat().gap(20, 90, 6, 30).image << 1 << 1;
    // An opening nearly as wide as the rooms beside it joins them: an open plan, not a door.
    QTest::newRow("opening too wide") << flat().wall(147, 26, 6, 148).gap(147, 36, 6, 128).image << 1 << 0;
    // A wall ending in the room, farther from the next wall than a door is wide.
    QTest::newRow("free wall end") << flat().wall(26, 100, 100, 6).image << 1 << 0;
    // A wall end beside a corner: the room behind it is entered through that opening.
    QTest::newRow("door by a corner") << flat().wall(26, 100, 100, 6).wall(120, 60, 6, 40).image << 2 << 1;
    // A corridor as narrow as a door runs along; it is not cut into pieces.
    QTest::newRow("narrow corridor") << flat().wall(26, 100, 248, 6).wall(26, 140, 248, 6).image << 3 << 0;
    // Two closets 60 points deep, one on either side, narrow the floor to a passage; a
    // pilaster halfway along narrows it most. The passage's sides run on past that point both
    // ways, so no door is there: a line across it would cut a corridor in two.
    QTest::newRow("passage narrowed halfway along")
        << flat()
               .wall(120, 26, 6, 60).wall(174, 26, 6, 60).wall(120, 80, 60, 6)
               .wall(120, 114, 6, 60).wall(174, 114, 6, 60).wall(120, 114, 60, 6)
               .wall(147, 86, 6, 3)
               .image
        << 3 << 0;
    // The top right corner cut off by a slanting wall with a window gap 47 points across it.
    Sheet slanting = flat().gap(200, 20, 80, 6).gap(274, 20, 6, 80);
    slanting.slant({200, 23}, {222, 45}).slant({255, 78}, {277, 100});
    QTest::newRow("window in a slanting wall") << slanting.image << 1 << 1;
    // The strip inside a wall drawn as two outlines is closed off, but narrower than a room.
    QTest::newRow("strip inside a wall")
        << flat().wall(26, 100, 248, 6).wall(26, 116, 248, 6).image << 2 << 0;
    // Letters of a bold font, as thick as walls, halfway across a corridor: no room ends there.
    QTest::newRow("letters in a corridor")
        << flat().wall(26, 100, 248, 6).wall(26, 140, 248, 6).wall(146, 119, 8, 8).wall(160, 119, 8, 8).image
        << 3 << 0;
    // Three rooms and a walled square in the largest: a twentieth of the large rooms' size is
    // a sliver left by fixtures, not a room; a cupboard half again as wide is proposed.
    const auto square = [](int side) {
        return flat()
            .wall(147, 26, 6, 148)
            .wall(26, 100, 121, 6)
            .wall(194, 54, side + 12, 6)
            .wall(194, 60 + side, side + 12, 6)
            .wall(194, 54, 6, side + 12)
            .wall(200 + side, 54, 6, side + 12)
            .image;
    };
    QTest::newRow("sliver beside large rooms") << square(26) << 3 << 0;
    QTest::newRow("cupboard beside large rooms") << square(40) << 4 << 0;
    // Closed off from the flat but smaller than forty wall squares: a shaft, not a room.
    QTest::newRow("small shaft")
        << flat().wall(200, 26, 6, 30).wall(200, 50, 30, 6).wall(224, 26, 6, 30).image << 1 << 0;
}

void TestRoomFinder::rooms()
{
    QFETCH(QImage, plan);
    QFETCH(int, rooms);
    QFETCH(int, lines);
    const RoomFinder::Result found = RoomFinder::find(plan, {});
    QCOMPARE(int(found.rooms.size()), rooms);
    QCOMPARE(int(found.lines.size()), lines);
}

// The room behind a wall end by a corner is closed in its opening, by a line no wider than a
// wall or two: not along the wall the flooding reached first in the order of the scan.
void TestRoomFinder::doorByACornerClosedInItsOpening()
{
    const RoomFinder::Result found =
        RoomFinder::find(flat().wall(26, 100, 100, 6).wall(120, 60, 6, 40).image, {});
    QCOMPARE(int(found.lines.size()), 1);
    const ClosingLine &line = found.lines.front();
    const QRect opening(116, 20, 14, 44);
    QVERIFY(opening.contains(line.from) && opening.contains(line.to));
    QVERIFY(line.width <= 12);
}

// A room whose whole bottom side is glazed, wider than any opening to the outside: it is
// closed along the line from corner to corner, not given up as part of the outside.
void TestRoomFinder::glazedSideClosedAlongTheOutline()
{
    Sheet bay;
    bay.image = QImage(900, 500, QImage::Format_RGB32);
    bay.image.fill(Qt::white);
    bay.wall(50, 50, 800, 6).wall(50, 50, 6, 400).wall(844, 50, 6, 400);
    bay.wall(50, 444, 60, 6).wall(790, 444, 60, 6);
    const RoomFinder::Result found = RoomFinder::find(bay.image, {});
    QCOMPARE(int(found.rooms.size()), 1);
    QVERIFY(found.rooms.front().box.bottom() <= 452);
    QVERIFY(found.rooms.front().pixels > 780 * 380);
}

// A window drawn as two thin lines across a gap in walls 15 points thick, on a plan whose
// commonest strokes are thin lines: the niche between the lines lies inside the wall.
void TestRoomFinder::windowNicheIsNoRoom()
{
    Sheet sheet;
    sheet.wall(20, 20, 260, 15).wall(20, 165, 260, 15).wall(20, 20, 15, 160).wall(265, 20, 15, 160);
    sheet.gap(120, 20, 50, 15).line({120, 22}, {169, 22}).line({120, 32}, {169, 32});
    RoomFinder::Options options;
    options.openings.wallThickness = 1;
    options.openings.lineWidth = 1;
    const RoomFinder::Result found = RoomFinder::find(sheet.image, options);
    QCOMPARE(int(found.rooms.size()), 1);
    QVERIFY(found.rooms.front().pixels > 200 * 100);
}

void TestRoomFinder::seedsFillExactlyTheirRooms()
{
    // The left room is L-shaped, so its centroid lies in the right room's corner of it.
    Sheet sheet = twoRoomsWithDoor();
    sheet.wall(90, 26, 6, 60).wall(26, 80, 70, 6);
    const RoomFinder::Result found = RoomFinder::find(sheet.image, {});
    QImage closed = sheet.image;
    ClosingLine::draw(closed, found.lines);
    QCOMPARE(int(found.rooms.size()), 3);
    for (const RoomProposal &room : found.rooms) {
        QCOMPARE(fillCount(closed, room.seed), room.pixels);
        QVERIFY(room.box.contains(room.seed));
    }
    // Top to bottom, then left to right.
    QVERIFY(found.rooms[0].box.top() <= found.rooms[1].box.top());
}

void TestRoomFinder::markedRoomIsNotProposed()
{
    QImage plan = twoRoomsWithDoor().image;
    const RoomFinder::Result before = RoomFinder::find(plan, {});
    ClosingLine::draw(plan, before.lines);
    FloodFill().fill(plan, before.rooms.front().seed, qRgb(255, 255, 200));
    const RoomFinder::Result after = RoomFinder::find(plan, {});
    QCOMPARE(int(after.rooms.size()), 1);
    QCOMPARE(after.rooms.front().pixels, before.rooms.back().pixels);
}

void TestRoomFinder::scaleLimitsTheOpening()
{
    // 40 points of door: 1 m at 40 points a metre is a door, at 30 a metre it is 1,33 m.
    const QImage plan = twoRoomsWithDoor().image;
    RoomFinder::Options options;
    options.pixelsPerMetre = 40;
    QCOMPARE(int(RoomFinder::find(plan, options).lines.size()), 1);
    options.pixelsPerMetre = 30;
    QCOMPARE(int(RoomFinder::find(plan, options).lines.size()), 0);
}

void TestRoomFinder::closingLineCoversItsEnds()
{
    QImage plan(20, 20, QImage::Format_RGB32);
    plan.fill(Qt::white);
    const ClosingLine lines[] = {{QPoint(3, 5), QPoint(12, 5), 3}, {QPoint(15, 2), QPoint(15, 2), 1}};
    ClosingLine::draw(plan, lines);
    for (int x = 3; x <= 12; ++x)
        for (int y = 4; y <= 6; ++y)
            QCOMPARE(plan.pixel(x, y), qRgb(0, 0, 0));
    QCOMPARE(plan.pixel(2, 5), qRgb(255, 255, 255));
    QCOMPARE(plan.pixel(13, 5), qRgb(255, 255, 255));
    QCOMPARE(plan.pixel(5, 3), qRgb(255, 255, 255));
    QCOMPARE(plan.pixel(15, 2), qRgb(0, 0, 0));
    QVERIFY(lines[0].bounds().contains(QRect(3, 4, 10, 3)));
}

void TestRoomFinder::proposalsAcceptedOneAtATime()
{
    // Three rooms in a row with a door each between them: a room accepted with only the lines
    // around it drawn fills exactly its proposed region, in any order.
    Sheet sheet = twoRoomsWithDoor();
    sheet.wall(210, 26, 6, 148).gap(210, 60, 6, 40);
    QImage plan = sheet.image;
    RoomProposals proposals(plan, {});
    QCOMPARE(int(proposals.rooms().size()), 3);
    QCOMPARE(int(proposals.lines().size()), 2);
    QCOMPARE(int(proposals.linesAround(1).size()), 2);
    for (const int room : {1, 0, 2}) {
        const RoomProposal &proposal = proposals.rooms()[size_t(room)];
        QCOMPARE(proposals.roomAt(proposal.seed), room);
        qint64 mapped = 0;
        for (int y = 0; y < plan.height(); ++y)
            for (int x = 0; x < plan.width(); ++x)
                mapped +=
                    reinterpret_cast<const quint16 *>(proposals.regionMap().constScanLine(y))[x] == room + 1;
        QCOMPARE(mapped, proposal.pixels);
        std::vector<ClosingLine> lines;
        for (const int l : proposals.linesAround(room)) {
            lines.push_back(proposals.lines()[size_t(l)]);
            proposals.lineDrawn(l);
        }
        ClosingLine::draw(plan, lines);
        qint64 filled = 0;
        FloodFill().fillCounting(plan, proposal.seed, qRgb(10, 20, 30 + room), filled);
        QCOMPARE(filled, proposal.pixels);
        proposals.closeRoom(room);
        QCOMPARE(proposals.roomAt(proposal.seed), -1);
    }
    QCOMPARE(proposals.openLines(), 0);
}

void TestRoomFinder::rejectedLineJoinsTheRooms()
{
    const QImage plan = twoRoomsWithDoor().image;
    RoomProposals proposals(plan, {});
    QCOMPARE(int(proposals.rooms().size()), 2);
    const qint64 both = proposals.rooms()[0].pixels + proposals.rooms()[1].pixels;
    const QPointF door(150, 100);
    QCOMPARE(proposals.lineAt(door, 1), 0);
    QCOMPARE(proposals.lineAt(QPointF(150, 60), 1), -1);
    // A room rejected before the recount is not the joined region: that one is offered.
    proposals.closeRoom(0);
    proposals.rejectLine(0, plan);
    QCOMPARE(int(proposals.rooms().size()), 1);
    QVERIFY(proposals.roomOpen(0));
    QCOMPARE(proposals.rooms()[0].pixels, fillCount(plan, proposals.rooms()[0].seed));
    QVERIFY(proposals.rooms()[0].pixels > both);
    QCOMPARE(proposals.lineAt(door, 1), -1);
    QVERIFY(proposals.linesAround(0).empty());
}

void TestRoomFinder::closingTheMaskIsDrawingThePlan()
{
    // The proposals count regions in the floor mask; the fill runs on the plan. Every slope,
    // width and end of a line must cover the same pixels in both, and a part undone in the
    // mask must read as the plan there again.
    QImage plan = twoRoomsWithDoor().image;
    std::vector<ClosingLine> lines;
    for (int i = 0; i < 24; ++i)
        lines.push_back(
            {QPoint(10 + 11 * i, 30 + (i * 7) % 50), QPoint(40 + 9 * i, 190 - (i * 13) % 90), 1 + i % 7});
    lines.push_back({QPoint(-3, 5), QPoint(305, 8), 4}); // beyond the sheet at both ends
    cv::Mat white = CvPlan::whiteMask(plan);
    CvPlan::closeFloor(white, lines);
    const cv::Mat before = CvPlan::whiteMask(plan);
    ClosingLine::draw(plan, lines);
    QCOMPARE(cv::countNonZero(white != CvPlan::whiteMask(plan)), 0);
    for (const ClosingLine &line : lines)
        CvPlan::whiteMask(twoRoomsWithDoor().image, white, line.bounds());
    QCOMPARE(cv::countNonZero(white != before), 0);
}

QTEST_MAIN(TestRoomFinder)
#include "tst_roomfinder.moc"
