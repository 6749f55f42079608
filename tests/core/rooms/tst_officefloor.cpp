#include "core/plan/floodfill.h"
#include "core/rooms/closingline.h"
#include "core/rooms/planpreparation.h"
#include "core/rooms/roomfinder.h"
#include "wallplan.h"

#include <QPainter>
#include <QTest>


namespace {

// An office floor of 20 x 14 rooms, 72 points square inside, walls 8 points thick and a door
// 31 points wide in the middle of every wall between two rooms. The wall pieces from door to
// door are all 49 points long and, being so many, as common as any width across the walls: a
// measure that counts lengths of drawing takes them for the walls' thickness.
constexpr int kColumns = 20, kRows = 14, kPitch = 80, kWall = 8, kDoor = 31, kMargin = 40;

QPoint roomCentre(int column, int row)
{
    return {kMargin + column * kPitch + kWall + (kPitch - kWall) / 2,
            kMargin + row * kPitch + kWall + (kPitch - kWall) / 2};
}

QImage officeFloor()
{
    const QSize sheet(kColumns * kPitch + kWall + 2 * kMargin, kRows * kPitch + kWall + 2 * kMargin);
    QImage image = WallPlan::draw(sheet, {});
    QPainter p(&image);
    // Each wall from corner to corner, the door's gap cut out of it unless it is an outer wall.
    const int before = kWall + (kPitch - kWall - kDoor) / 2; // from the corner to the door
    for (int i = 0; i <= kColumns; ++i)
        for (int j = 0; j < kRows; ++j) {
            const QPoint corner(kMargin + i * kPitch, kMargin + j * kPitch);
            p.fillRect(QRect(corner, QSize(kWall, kPitch + kWall)), Qt::black);
            if (i > 0 && i < kColumns)
                p.fillRect(QRect(corner + QPoint(0, before), QSize(kWall, kDoor)), Qt::white);
        }
    for (int j = 0; j <= kRows; ++j)
        for (int i = 0; i < kColumns; ++i) {
            const QPoint corner(kMargin + i * kPitch, kMargin + j * kPitch);
            p.fillRect(QRect(corner, QSize(kPitch + kWall, kWall)), Qt::black);
            if (j > 0 && j < kRows)
                p.fillRect(QRect(corner + QPoint(before, 0), QSize(kDoor, kWall)), Qt::white);
        }
    p.end();
    return image;
}

qint64 fillCount(const QImage &plan, QPoint seed)
{
    QImage copy = plan.copy();
    qint64 pixels = 0;
    FloodFill().fillCounting(copy, seed, qRgb(1, 2, 3), pixels);
    return pixels;
}

} // namespace

class TestOfficeFloor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wallsMeasuredAcross();
    void preparationKeepsTheWalls();
    void everyRoomFillsOnItsOwn();
};

void TestOfficeFloor::wallsMeasuredAcross()
{
    int line = 0, wall = 0;
    PlanPreparation::measureStrokes(officeFloor(), line, wall);
    QVERIFY2(wall >= kWall - 2 && wall <= kWall + 1, qPrintable(QString::number(wall)));
    PlanPreparation preparation(officeFloor());
    QVERIFY(preparation.traits().wallThickness >= kWall - 2);
    QVERIFY(preparation.traits().wallThickness <= kWall + 1);
}

void TestOfficeFloor::preparationKeepsTheWalls()
{
    const QImage plan = officeFloor();
    PlanPreparation preparation(plan);
    const QImage prepared = preparation.prepare(preparation.defaults()).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(prepared.size(), plan.size());
    // Already what preparation makes: every point stays as it was.
    qint64 changed = 0;
    for (int y = 0; y < plan.height(); ++y)
        for (int x = 0; x < plan.width(); ++x)
            changed += (plan.pixel(x, y) & 0xffffff) != (prepared.pixel(x, y) & 0xffffff);
    QCOMPARE(changed, qint64(0));
}

void TestOfficeFloor::everyRoomFillsOnItsOwn()
{
    const QImage plan = officeFloor();
    const RoomFinder::Result found = RoomFinder::find(plan, {});
    QCOMPARE(int(found.rooms.size()), kColumns * kRows);
    QImage closed = plan;
    ClosingLine::draw(closed, found.lines);
    // A room's fill stays within its own square and covers most of it; the lines across the
    // doors take a little of the floor.
    const qint64 inside = qint64(kPitch - kWall) * (kPitch - kWall);
    for (int j = 0; j < kRows; ++j)
        for (int i = 0; i < kColumns; ++i) {
            const qint64 pixels = fillCount(closed, roomCentre(i, j));
            QVERIFY2(pixels <= inside + 4 * kDoor * kWall && pixels >= inside * 9 / 10,
                     qPrintable(QStringLiteral("room %1,%2: %3").arg(i).arg(j).arg(pixels)));
        }
}

QTEST_GUILESS_MAIN(TestOfficeFloor)
#include "tst_officefloor.moc"
