#include "core/plan/floodfill.h"
#include "core/rooms/doorfinder.h"
#include "core/rooms/planpreparation.h"
#include "core/rooms/roomfinder.h"

#include <opencv2/imgproc.hpp>

#include <QBuffer>
#include <QPainter>
#include <QTest>

#include <random>

using namespace Qt::StringLiterals;

namespace {

struct Scene
{
    bool jpeg = false;      // compressed, as estate agents' plans are
    bool greyWalls = false; // a rendered plan
    bool tint = false;      // a pastel floor in the right room
    bool penMark = false;   // a blue ballpoint stroke across the left room
    bool furniture = false; // a thin-lined table in the left room
    bool specks = false;    // dust of a scan: single dark points on the floor
    int faintLineEnd = 0;   // a light grey line down room B from the top wall to this y
    // A doorway in the partition, its door drawn as a swing into room B: with the leaf, the
    // arc alone, or no door but a quarter circle standing off the walls in room B.
    // LeafAgainstAWall: a wall stub in room B runs along the open leaf, as a door opened
    // against a side wall.
    enum Swing { NoDoorway, SwingAndLeaf, ArcOnly, ArcOffTheWalls, LeafAgainstAWall } swing = NoDoorway;
    bool thinPartition = false; // the partition a single line, as plan services draw it
    int swingGrey = 0;          // the swing's grey (0: black)
    // A strip 24 points deep along room B's bottom wall, its front a thin line from wall to
    // wall: a closet, empty, or a bath with its tub drawn inside.
    enum Strip { NoStrip, Closet, Bath } strip = NoStrip;
    bool hip = false; // a roof's hip drawn over room A: a thin line from its corner to the partition
    // A closet 28 points wide in room B's bottom left corner, walled off by a stub up to y 82,
    // its bi-fold front a thin zig-zag between the partition and the stub.
    bool closet = false;
};

// Two rooms side by side, 200 x 120 points on a sheet with a margin of 10, walls 8 points thick:
//   ##########################
//   #  room A   #   room B   #
//   ##########################
// A window in the top wall of room B, drawn as two thin lines in a gap of the wall; the
// furniture of room A is a table, a bed, a chair, a wardrobe and the room's name.
QImage draw(const Scene &scene)
{
    QImage image(220, 140, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(10, 10); // the sheet's margin
    if (scene.tint)
        p.fillRect(104, 8, 88, 104, QColor(238, 222, 200));
    const QColor wall = scene.greyWalls ? QColor(120, 120, 120) : Qt::black;
    p.fillRect(0, 0, 200, 8, wall);
    p.fillRect(0, 112, 200, 8, wall);
    p.fillRect(0, 0, 8, 120, wall);
    p.fillRect(192, 0, 8, 120, wall);
    if (scene.thinPartition)
        p.fillRect(100, 0, 1, 120, wall);
    else
        p.fillRect(96, 0, 8, 120, wall);
    p.fillRect(130, 0, 40, 8, Qt::white);
    p.setPen(QPen(wall, 1));
    p.drawLine(130, 1, 170, 1);
    p.drawLine(130, 6, 170, 6);
    if (scene.furniture) {
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(30, 30, 30, 20);
        p.drawRect(14, 14, 20, 10);
        p.drawRect(66, 60, 24, 44);
        p.drawEllipse(QPointF(45, 80), 10, 10);
        p.drawText(QRectF(20, 52, 60, 14), Qt::AlignCenter, u"Спальня 15,2"_s);
    }
    if (scene.swing != Scene::NoDoorway) {
        p.fillRect(96, 50, 8, 30, Qt::white);
        p.setPen(scene.swingGrey ? QPen(QColor(scene.swingGrey, scene.swingGrey, scene.swingGrey), 2)
                                 : QPen(Qt::black, 1));
        const QPointF hinge = scene.swing == Scene::ArcOffTheWalls ? QPointF(130, 95)
                              : scene.thinPartition                ? QPointF(101, 80)
                                                                   : QPointF(104, 80);
        p.drawArc(QRectF(hinge - QPointF(30, 30), QSizeF(60, 60)), 0, 90 * 16);
        if (scene.swing == Scene::SwingAndLeaf || scene.swing == Scene::LeafAgainstAWall)
            p.drawLine(hinge, hinge + QPointF(30, 0));
        if (scene.swing == Scene::LeafAgainstAWall)
            p.fillRect(104, 81, 50, 8, wall);
    }
    if (scene.hip) {
        p.setPen(QPen(Qt::black, 1));
        p.drawLine(8, 8, 96, 58);
    }
    if (scene.strip != Scene::NoStrip) {
        p.setPen(QPen(Qt::black, 1));
        p.drawLine(104, 88, 192, 88);
        if (scene.strip == Scene::Bath)
            p.drawRoundedRect(QRectF(112, 94, 72, 12), 5, 5);
    }
    if (scene.closet) {
        p.fillRect(132, 82, 8, 30, wall);
        p.setPen(QPen(Qt::black, 1));
        const QPointF front[] = {{104, 84}, {111, 78}, {118, 84}, {125, 78}, {132, 84}};
        p.drawPolyline(front, 5);
    }
    if (scene.faintLineEnd > 0) {
        p.setPen(QPen(QColor(200, 200, 200), 1));
        p.drawLine(QPointF(120.5, 8), QPointF(120.5, scene.faintLineEnd));
    }
    if (scene.penMark) {
        p.setPen(QPen(QColor(30, 60, 200), 2));
        p.drawLine(20, 60, 80, 64);
    }
    p.end();
    if (scene.specks) {
        std::mt19937 random(7);
        for (int i = 0; i < 60; ++i)
            image.setPixel(22 + int(random() % 80), 22 + int(random() % 96), qRgb(40, 40, 40));
    }
    if (scene.jpeg) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPG", 50);
        image.loadFromData(bytes, "JPG");
        image.convertTo(QImage::Format_RGB32);
    }
    return image;
}

// One room, 200 x 140 points with walls 8 thick, whose top right corner is cut off by a
// slanting wall with a window gap 34 points across; the window, if any, is two faint grey lines
// on the wall's faces. A table in thin lines stands in the room.
QImage drawCorner(bool windowLines)
{
    QImage image(220, 160, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(10, 10);
    p.fillRect(0, 0, 140, 8, Qt::black);
    p.fillRect(0, 0, 8, 140, Qt::black);
    p.fillRect(0, 132, 200, 8, Qt::black);
    p.fillRect(192, 60, 8, 80, Qt::black);
    p.setPen(QPen(Qt::black, 8, Qt::SolidLine, Qt::SquareCap));
    p.drawLine(QPointF(136, 4), QPointF(154, 22));
    p.drawLine(QPointF(178, 46), QPointF(196, 64));
    if (windowLines) {
        p.setPen(QPen(QColor(200, 200, 200), 1));
        for (const double side : {-3.0, 3.0})
            p.drawLine(QPointF(154 + side, 22 - side), QPointF(178 + side, 46 - side));
    }
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(30, 30, 40, 24);
    p.drawRect(40, 80, 60, 30);
    return image;
}

// A hatched drawing: outer walls 24 points thick and a partition 12 thick, each two lines with
// diagonal hatching between them, on a sheet of 500 x 300. The partition stands loose of the
// outer walls, a doorway 61 points wide at each end, and is shorter than a quarter of the
// building, so that it joins no wall network; a room's name is written beside it.
QImage drawHatched()
{
    QImage image(500, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    const auto hatch = [&p](const QRect &box) {
        p.save();
        p.setClipRect(box.adjusted(0, 0, 1, 1));
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(box);
        for (int x = box.left() - box.height(); x < box.right(); x += 6)
            p.drawLine(x, box.bottom(), x + box.height(), box.top());
        p.restore();
    };
    hatch(QRect(10, 10, 480, 24));
    hatch(QRect(10, 266, 480, 24));
    hatch(QRect(10, 34, 24, 232));
    hatch(QRect(466, 34, 24, 232));
    hatch(QRect(240, 95, 12, 110));
    QFont font;
    font.setPixelSize(16);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QPoint(60, 150), u"КУХНЯ 16,65"_s);
    return image;
}

bool isBlack(const QImage &image, int x, int y)
{
    return image.pixel(x, y) == qRgb(0, 0, 0);
}

// Points of the floor that are not exactly white inside the box.
int dirt(const QImage &image, QRect box)
{
    int count = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            count += image.pixel(x, y) != qRgb(255, 255, 255);
    return count;
}

} // namespace

class TestPlanPreparation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void clean_data();
    void clean();
    void resultIsBlackAndWhite_data();
    void resultIsBlackAndWhite();
    void colourAsFloorOnlyWhenAsked();
    void wallsOnlyDropsThinDrawingKeepsWindows();
    void thresholdDecidesGreyWalls();
    void faintWindowsOfASlantingWall_data();
    void faintWindowsOfASlantingWall();
    void faintLinesFromWallToWall_data();
    void faintLinesFromWallToWall();
    void closetFrontKept();
    void hatchedPartitionStandingLoose();
    void cornerBetweenWindowsKept();
    void doorSwingClosesItsDoorway_data();
    void doorSwingClosesItsDoorway();
    void doorwayCrossedByTheWallsFaces();
    void fixtureFrontIsNoWall_data();
    void slantingStrokeIsNoWall();
    void fixtureFrontIsNoWall();
    void keptWallsServeOnlyTheirOptions();
    void droppedDrawingShownInColour();
    void officeFloorKeepsItsWalls_data();
    void officeFloorKeepsItsWalls();
    void noiseEndsWithoutRooms();
};

void TestPlanPreparation::clean_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<bool>("clean");
    QImage twoColours(4, 4, QImage::Format_RGB32);
    twoColours.fill(qRgb(10, 20, 30));
    twoColours.setPixel(1, 1, qRgb(200, 0, 0));
    QTest::newRow("two colours, neither black nor white") << twoColours << true;
    QImage three = twoColours;
    three.setPixel(3, 3, qRgb(200, 0, 1));
    QTest::newRow("a third colour one step off") << three << false;
    // The alpha byte of RGB32 is padding: two pixels that differ only there are one colour.
    QImage alpha(2, 1, QImage::Format_ARGB32);
    alpha.setPixel(0, 0, qRgba(1, 2, 3, 255));
    alpha.setPixel(1, 0, qRgba(1, 2, 3, 0));
    QTest::newRow("alpha differs only") << alpha << true;
    QTest::newRow("jpeg plan") << draw({.jpeg = true}) << false;
}

void TestPlanPreparation::clean()
{
    QFETCH(QImage, image);
    QFETCH(bool, clean);
    QCOMPARE(PlanPreparation::isClean(image), clean);
}

void TestPlanPreparation::resultIsBlackAndWhite_data()
{
    QTest::addColumn<Scene>("scene");
    QTest::newRow("jpeg") << Scene{.jpeg = true};
    QTest::newRow("grey walls, tinted floor") << Scene{.greyWalls = true, .tint = true};
    QTest::newRow("scan dust") << Scene{.specks = true};
    QTest::newRow("everything") << Scene{true, true, true, false, true, true};
}

void TestPlanPreparation::resultIsBlackAndWhite()
{
    QFETCH(Scene, scene);
    const QImage source = draw(scene);
    PlanPreparation preparation(source);
    QVERIFY(!preparation.traits().clean);
    const QImage plan = preparation.prepare(preparation.defaults());
    QCOMPARE(plan.size(), source.size());
    QCOMPARE(plan.format(), QImage::Format_RGB32);
    QVERIFY(PlanPreparation::isClean(plan));
    // Walls stay whole, both floors are spotless (furniture aside).
    QVERIFY(isBlack(plan, 110, 70) && isBlack(plan, 13, 70) && isBlack(plan, 70, 125));
    QCOMPARE(dirt(plan, QRect(120, 24, 76, 92)), 0);
    if (!scene.furniture)
        QCOMPARE(dirt(plan, QRect(22, 22, 80, 96)), 0);
}

void TestPlanPreparation::colourAsFloorOnlyWhenAsked()
{
    PlanPreparation preparation(draw({.penMark = true}));
    QVERIFY(preparation.traits().hasColour);
    PreparationOptions options = preparation.defaults();
    options.wallsOnly = false;
    options.colourAsFloor = false;
    QVERIFY(isBlack(preparation.prepare(options), 60, 72));
    options.colourAsFloor = true;
    const QImage plan = preparation.prepare(options);
    QCOMPARE(dirt(plan, QRect(22, 22, 80, 96)), 0);
    QVERIFY(isBlack(plan, 110, 70));
}

void TestPlanPreparation::wallsOnlyDropsThinDrawingKeepsWindows()
{
    PlanPreparation preparation(draw({.jpeg = true, .furniture = true}));
    // Compression thins the 8-point walls by a point or so.
    QVERIFY(qAbs(preparation.traits().wallThickness - 8) <= 1);
    QVERIFY(preparation.traits().hasThinDrawing);
    PreparationOptions options = preparation.defaults();
    QVERIFY(options.wallsOnly);
    const QImage plan = preparation.prepare(options);
    QCOMPARE(dirt(plan, QRect(22, 22, 80, 96)), 0);
    // The window's thin lines are the outer wall there: room B stays closed.
    int windowInk = 0;
    for (int y = 10; y < 18; ++y)
        windowInk += isBlack(plan, 160, y);
    QVERIFY(windowInk > 0);
    options.wallsOnly = false;
    QVERIFY(dirt(preparation.prepare(options), QRect(22, 22, 80, 96)) > 0);
}

void TestPlanPreparation::thresholdDecidesGreyWalls()
{
    PlanPreparation preparation(draw({.greyWalls = true}));
    PreparationOptions options = preparation.defaults();
    QVERIFY(options.threshold > 120);
    options.threshold = 100;
    QVERIFY(!isBlack(preparation.prepare(options), 110, 70));
    options.threshold = 0; // automatic
    QVERIFY(isBlack(preparation.prepare(options), 110, 70));
}

void TestPlanPreparation::faintWindowsOfASlantingWall_data()
{
    QTest::addColumn<bool>("windowLines");
    // Too faint for the walls' threshold.
    QTest::newRow("faint window lines") << true;
    // Nothing drawn across the gap.
    QTest::newRow("bare gap") << false;
}

void TestPlanPreparation::faintWindowsOfASlantingWall()
{
    // Either way the room is closed once the proposed lines are drawn: the room's fill from a
    // click stays inside the sheet instead of running out into the street.
    QFETCH(bool, windowLines);
    PlanPreparation preparation(drawCorner(windowLines));
    QVERIFY(preparation.defaults().wallsOnly);
    QImage plan = preparation.prepare(preparation.defaults());
    const RoomFinder::Result found = RoomFinder::find(plan, {});
    QCOMPARE(int(found.rooms.size()), 1);
    ClosingLine::draw(plan, found.lines);
    const QRect filled = FloodFill().fill(plan, QPoint(120, 80), qRgb(200, 0, 0));
    QVERIFY(plan.rect().adjusted(1, 1, -1, -1).contains(filled));
}

void TestPlanPreparation::faintLinesFromWallToWall_data()
{
    QTest::addColumn<int>("end");
    QTest::addColumn<bool>("kept");
    // A closet's front drawn light grey across the room: the closet is a room of its own.
    QTest::newRow("closet front") << 112 << true;
    // A shelf hanging from one wall parts nothing.
    QTest::newRow("shelf") << 60 << false;
}

void TestPlanPreparation::faintLinesFromWallToWall()
{
    QFETCH(int, end);
    QFETCH(bool, kept);
    PlanPreparation preparation(draw({.furniture = true, .faintLineEnd = end}));
    const QImage plan = preparation.prepare(preparation.defaults());
    QVERIFY(preparation.defaults().threshold < 190);
    QCOMPARE(isBlack(plan, 130, 100), kept);
    QCOMPARE(isBlack(plan, 130, 40), kept);
    QCOMPARE(dirt(plan, QRect(22, 22, 80, 96)), 0);
}

// A front as wide as three and a half walls is a wall: the closet behind it is a room.
void TestPlanPreparation::closetFrontKept()
{
    PlanPreparation preparation(draw({.closet = true}));
    QImage plan = preparation.prepare(preparation.defaults());
    const QRect closet(114, 86, 28, 36);
    QVERIFY(closet.contains(FloodFill().fill(plan, QPoint(128, 110), qRgb(200, 0, 0))));
}

void TestPlanPreparation::hatchedPartitionStandingLoose()
{
    PlanPreparation preparation(drawHatched());
    QVERIFY(preparation.defaults().wallsOnly);
    const QImage plan = preparation.prepare(preparation.defaults());
    QVERIFY(isBlack(plan, 20, 150));
    QVERIFY(isBlack(plan, 246, 150));
    QVERIFY(isBlack(plan, 246, 100));
    QCOMPARE(dirt(plan, QRect(50, 130, 170, 30)), 0);
}

// A building 960 points wide, walls 8 thick, whose bottom right corner stands loose between two
// openings 40 points wide (glazing too faint to keep): an L of two arms 60 long, shorter than
// a tenth of the building and no straight bar.
void TestPlanPreparation::cornerBetweenWindowsKept()
{
    QImage image(1000, 600, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    for (const QRect &wall : {QRect(20, 20, 960, 8), QRect(20, 572, 860, 8), QRect(920, 572, 60, 8),
                              QRect(20, 20, 8, 560), QRect(972, 20, 8, 460), QRect(972, 520, 8, 60),
                              QRect(500, 28, 8, 300)})
        p.fillRect(wall, Qt::black);
    p.setPen(QPen(Qt::black, 1));
    // A table and the room's name: thin lines, and gaps of every length between strokes.
    p.drawRect(100, 100, 200, 120);
    QFont font;
    font.setPixelSize(16);
    p.setFont(font);
    p.drawText(QRect(100, 260, 300, 40), Qt::AlignCenter, u"Кабинет 24,5 м²"_s);
    p.end();
    PlanPreparation preparation(image);
    QVERIFY(preparation.defaults().wallsOnly);
    const QImage plan = preparation.prepare(preparation.defaults());
    QVERIFY(isBlack(plan, 950, 576));
    QVERIFY(isBlack(plan, 976, 550));
}

void TestPlanPreparation::doorSwingClosesItsDoorway_data()
{
    QTest::addColumn<int>("swing");
    QTest::addColumn<bool>("thinPartition");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<int>("grey");
    QTest::newRow("swing and leaf") << int(Scene::SwingAndLeaf) << false << true << 0;
    QTest::newRow("arc alone") << int(Scene::ArcOnly) << false << true << 0;
    // The partition's two thin pieces each touch one wall only: the door tells they are walls.
    QTest::newRow("in a thin partition") << int(Scene::SwingAndLeaf) << true << true << 0;
    // The wall along the leaf is no doorway: the line goes across the opening, not along it.
    QTest::newRow("leaf against a wall") << int(Scene::LeafAgainstAWall) << false << true << 0;
    // A bowl or a chair's back: no hinge at a wall, no jamb; the doorway stays open.
    QTest::newRow("quarter circle off the walls") << int(Scene::ArcOffTheWalls) << false << false << 0;
    // Drawn in the lightest grey, as architects draw swings.
    QTest::newRow("light grey swing") << int(Scene::SwingAndLeaf) << false << true << 222;
}

void TestPlanPreparation::doorSwingClosesItsDoorway()
{
    QFETCH(int, swing);
    QFETCH(bool, thinPartition);
    QFETCH(bool, closed);
    QFETCH(int, grey);
    PlanPreparation preparation(draw({.furniture = true,
                                      .swing = Scene::Swing(swing),
                                      .thinPartition = thinPartition,
                                      .swingGrey = grey}));
    QImage plan = preparation.prepare(preparation.defaults());
    // The swing itself is gone from room B's floor.
    QCOMPARE(dirt(plan, QRect(118, 58, 60, 30)), 0);
    // Room A's fill stops at the partition when the door closes the doorway.
    const QRect filled = FloodFill().fill(plan, QPoint(40, 40), qRgb(200, 0, 0));
    QCOMPARE(filled.right() < 150, closed);
}

// Architects draw a wall's faces on across its doorway as thin lines: the swing still tells the
// doorway, across which the door closes; the side its leaf lies along stays open.
void TestPlanPreparation::doorwayCrossedByTheWallsFaces()
{
    cv::Mat walls = cv::Mat::zeros(120, 200, CV_8U);
    walls(cv::Rect(96, 0, 8, 50)).setTo(255);
    walls(cv::Rect(96, 81, 8, 39)).setTo(255);
    cv::Mat drawing = walls.clone();
    cv::ellipse(drawing, {104, 80}, {30, 30}, 0, 270, 360, cv::Scalar(255));
    cv::line(drawing, {104, 80}, {134, 80}, cv::Scalar(255));
    cv::line(drawing, {96, 53}, {96, 77}, cv::Scalar(255));
    cv::line(drawing, {103, 53}, {103, 77}, cv::Scalar(255));
    const DoorFinder::Found found = DoorFinder::find(drawing, walls, 1, 16, 100);
    QCOMPARE(int(found.doors.size()), 1);
    const DoorFinder::Door door = found.doors.front();
    QVERIFY(std::abs(door.hinge.x - door.jamb.x) < 4);
    QVERIFY(std::abs(std::abs(door.hinge.y - door.jamb.y) - 30) < 4);
}

void TestPlanPreparation::fixtureFrontIsNoWall_data()
{
    QTest::addColumn<int>("strip");
    QTest::addColumn<bool>("kept");
    QTest::newRow("closet front") << int(Scene::Closet) << true;
    // The bath is part of the room; it is narrower than the door, its tub nearly as wide.
    QTest::newRow("bath front") << int(Scene::Bath) << false;
}

void TestPlanPreparation::fixtureFrontIsNoWall()
{
    QFETCH(int, strip);
    QFETCH(bool, kept);
    PlanPreparation preparation(
        draw({.furniture = true, .swing = Scene::SwingAndLeaf, .strip = Scene::Strip(strip)}));
    const QImage plan = preparation.prepare(preparation.defaults());
    QCOMPARE(isBlack(plan, 150, 98), kept);
}

// A stroke from wall to wall at a slant no wall has parts nothing; the plan's walls all run
// level or upright.
void TestPlanPreparation::slantingStrokeIsNoWall()
{
    PlanPreparation preparation(draw({.hip = true}));
    QVERIFY(preparation.defaults().wallsOnly);
    const QImage plan = preparation.prepare(preparation.defaults());
    for (const int x : {30, 52, 74})
        QCOMPARE(dirt(plan, QRect(10 + x - 2, 10 + 8 + (x - 8) * 50 / 88 - 3, 5, 7)), 0);
}

void TestPlanPreparation::keptWallsServeOnlyTheirOptions()
{
    PlanPreparation preparation(draw({.greyWalls = true, .furniture = true}));
    PreparationOptions options = preparation.defaults();
    QVERIFY(options.wallsOnly);
    const QImage plan = preparation.prepare(options);
    QVERIFY(isBlack(plan, 110, 70));
    QCOMPARE(dirt(plan, QRect(22, 22, 80, 96)), 0);
    QCOMPARE(preparation.prepare(options, [](const QString &, const QImage &) {}), plan);
    options.threshold = 100;
    QVERIFY(!isBlack(preparation.prepare(options), 110, 70));
}

void TestPlanPreparation::droppedDrawingShownInColour()
{
    const QImage source = draw({.furniture = true});
    PlanPreparation preparation(source);
    const PreparationOptions options = preparation.defaults();
    const auto view =
        PlanPreparation::droppedView(source, preparation.prepare(options), options.threshold, source.size());
    QCOMPARE(view.picture.pixel(110, 70), qRgb(0, 0, 0));                  // a wall
    QCOMPARE(view.picture.pixel(40, 50), PlanPreparation::kDroppedColour); // the table's side
    QCOMPARE(view.picture.pixel(150, 60), qRgb(255, 255, 255));            // floor
    QVERIFY(view.droppedShare > 0.02 && view.droppedShare < 0.5);
}

void TestPlanPreparation::officeFloorKeepsItsWalls_data()
{
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::newRow("3 x 2 offices") << 3 << 2;
    // The equal pieces of wall between the doors outnumber everything else.
    QTest::newRow("20 x 14 offices") << 20 << 14;
}

void TestPlanPreparation::officeFloorKeepsItsWalls()
{
    // Offices of 80 x 60 points behind 8-point walls, a door 16 points wide in every inner
    // wall: already black on white, as preparation makes plans. Preparing it again keeps every
    // wall, and every office is proposed.
    QFETCH(int, columns);
    QFETCH(int, rows);
    constexpr int cell = 88, cellHeight = 68, wall = 8, door = 16;
    QImage plan(columns * cell + wall + 20, rows * cellHeight + wall + 20, QImage::Format_RGB32);
    plan.fill(Qt::white);
    // Not clean, so that it is prepared: one grey point in a corner of the sheet.
    plan.setPixel(0, 0, qRgb(128, 128, 128));
    {
        QPainter p(&plan);
        p.translate(10, 10);
        for (int c = 0; c <= columns; ++c)
            p.fillRect(c * cell, 0, wall, rows * cellHeight + wall, Qt::black);
        for (int r = 0; r <= rows; ++r)
            p.fillRect(0, r * cellHeight, columns * cell + wall, wall, Qt::black);
        for (int c = 1; c < columns; ++c)
            for (int r = 0; r < rows; ++r)
                p.fillRect(c * cell, r * cellHeight + wall + 20, wall, door, Qt::white);
        for (int r = 1; r < rows; ++r)
            for (int c = 0; c < columns; ++c)
                p.fillRect(c * cell + wall + 30, r * cellHeight, door, wall, Qt::white);
    }
    PlanPreparation preparation(plan);
    QVERIFY(!preparation.traits().clean);
    const QImage prepared = preparation.prepare(preparation.defaults());
    int lost = 0;
    for (int y = 1; y < plan.height(); ++y)
        for (int x = 1; x < plan.width(); ++x)
            lost += plan.pixel(x, y) == qRgb(0, 0, 0) && prepared.pixel(x, y) != qRgb(0, 0, 0);
    QCOMPARE(lost, 0);
    QCOMPARE(int(RoomFinder::find(prepared, {}).rooms.size()), columns * rows);
}

void TestPlanPreparation::noiseEndsWithoutRooms()
{
    // A photograph nobody prepared: grey noise. Preparation and proposals end (every step is
    // near linear in the plan's size, whatever it holds) and propose no specks as rooms.
    QImage noise(600, 400, QImage::Format_RGB32);
    std::mt19937 random(11);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) {
            const int grey = int(random() % 256);
            noise.setPixel(x, y, qRgb(grey, grey, grey));
        }
    PlanPreparation preparation(noise);
    const QImage prepared = preparation.prepare(preparation.defaults());
    const RoomFinder::Result found = RoomFinder::find(prepared, {});
    for (const RoomProposal &room : found.rooms)
        QVERIFY(room.pixels >= found.minPixels);
    QVERIFY(found.rooms.size() < 20);
}

QTEST_MAIN(TestPlanPreparation)
#include "tst_planpreparation.moc"
