#include "core/plan/colourkey.h"
#include "core/plan/floodfill.h"
#include "core/plan/roomrepaint.h"
#include "textplan.h"

#include <QRandomGenerator>
#include <QTest>

#include <vector>

namespace {

using namespace TextPlan;

struct Outcome
{
    QImage image;
    QRect box;
    std::vector<qint64> pixels;
};

// The rooms flooded one after another, each over the whole region its label point finds.
Outcome floodedOneByOne(QImage image, const std::vector<RoomSeed> &rooms)
{
    Outcome out;
    FloodFill fill;
    for (const RoomSeed &room : rooms) {
        qint64 n = 0;
        out.box |= fill.fillCounting(image, room.labelPoint, ColourKey::toRgb(room.key), n);
        out.pixels.push_back(n);
    }
    out.image = image;
    return out;
}

Outcome repaintedInOnePass(QImage image, const std::vector<RoomSeed> &rooms)
{
    Outcome out;
    out.pixels.assign(rooms.size(), -1);
    out.box = FloodFill().repaintRooms(image, rooms, out.pixels);
    out.image = image;
    return out;
}

bool sameBytes(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.format() != b.format())
        return false;
    for (int y = 0; y < a.height(); ++y) {
        if (memcmp(a.constScanLine(y), b.constScanLine(y), size_t(a.width()) * 4) != 0)
            return false;
    }
    return true;
}

} // namespace

class TestRoomRepaint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sameAsFloodingOneByOne_data();
    void sameAsFloodingOneByOne();
    void sameOnRandomPlans();
    void oneFillPerRoom_data();
    void oneFillPerRoom();
};

void TestRoomRepaint::sameAsFloodingOneByOne_data()
{
    QTest::addColumn<QStringList>("plan");
    QTest::addColumn<std::vector<RoomSeed>>("rooms");

    const QStringList twoRooms = {QStringLiteral("#########"), QStringLiteral("#...#...#"),
                                  QStringLiteral("#...#...#"), QStringLiteral("#########")};
    QTest::newRow("records sharing a room, the last wins")
        << twoRooms << std::vector<RoomSeed>{{{1, 1}, kKeyA}, {{6, 2}, kKeyB}, {{3, 2}, kKeyC},
                                             {{2, 1}, kKeyD}, {{5, 1}, kKeyC}, {{1, 2}, kKeyA}};
    QTest::newRow("a later record with the room's present key paints nothing")
        << twoRooms
        << std::vector<RoomSeed>{{{1, 1}, kKeyA}, {{2, 2}, kKeyA}, {{3, 1}, kKeyB}, {{1, 2}, kKeyB}};
    // A record on the wall floods the whole wall network; a room keyed the same joins it, so
    // the next record in that room floods the walls too.
    QTest::newRow("records on walls")
        << twoRooms
        << std::vector<RoomSeed>{{{1, 1}, kKeyA}, {{0, 0}, kKeyA}, {{2, 2}, kKeyB}, {{6, 1}, kKeyC},
                                 {{4, 3}, kKeyD}, {{5, 2}, kKeyD}, {{7, 2}, kKeyC}};
    // The plan file already wears the keys: the first room's key sits in the other room.
    QTest::newRow("keys equal to a room's present colour")
        << QStringList{QStringLiteral("#########"), QStringLiteral("#aaa#...#"), QStringLiteral("#aaa#...#"),
                       QStringLiteral("#########")}
        << std::vector<RoomSeed>{{{1, 1}, kKeyA}, {{6, 1}, kKeyA}, {{2, 2}, kKeyB},
                                 {{5, 2}, kKeyC}, {{3, 1}, kKeyC}, {{7, 1}, kKeyD}};
    // Rooms of two floor colours that touch, and a patch of a key drawn beside the first.
    QTest::newRow("rooms that touch")
        << QStringList{QStringLiteral("##########"), QStringLiteral("#...~~~bb#"),
                       QStringLiteral("#...~~~bb#"), QStringLiteral("##########")}
        << std::vector<RoomSeed>{{{1, 1}, kKeyA}, {{5, 1}, kKeyC}, {{2, 2}, kKeyC}, {{3, 1}, kKeyB},
                                 {{6, 2}, kKeyD}, {{1, 2}, kKeyA}, {{8, 1}, kKeyD}, {{4, 2}, kKeyB}};
    QTest::newRow("label points off the plan")
        << twoRooms << std::vector<RoomSeed>{{{1, 1}, kKeyA}, {{-1, 1}, kKeyB}, {{9, 1}, kKeyB},
                                             {{2, 2}, kKeyB}, {{3, 4}, kKeyC},  {{3, 2}, kKeyC}};
}

void TestRoomRepaint::sameAsFloodingOneByOne()
{
    QFETCH(QStringList, plan);
    QFETCH(std::vector<RoomSeed>, rooms);
    const QImage image = draw(plan);
    const Outcome want = floodedOneByOne(image, rooms);
    const Outcome got = repaintedInOnePass(image, rooms);
    QVERIFY(sameBytes(got.image, want.image));
    QCOMPARE(got.box, want.box);
    QCOMPARE(got.pixels, want.pixels);
}

// Blocks of a few colours, among them the keys, and records whose keys repeat, so that rooms
// merge, keys meet their own colour on the plan and label points land on every kind of pixel.
// ARGB32 with stray alpha bytes shows that untouched pixels keep every byte.
void TestRoomRepaint::sameOnRandomPlans()
{
    QRandomGenerator random(20260811);
    const std::uint32_t keys[] = {kKeyA, kKeyB, kKeyC, kKeyD};
    const QRgb plainColours[] = {0xff000000, 0xffffffff, 0xfffffffe, ColourKey::toRgb(kKeyA),
                                 ColourKey::toRgb(kKeyB)};
    for (int round = 0; round < 400; ++round) {
        const int width = 4 + int(random.bounded(28));
        const int height = 4 + int(random.bounded(20));
        QImage image(width, height, round % 3 == 0 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        image.fill(0xffffffff);
        for (int block = int(random.bounded(12)); block >= 0; --block) {
            const QRgb c = plainColours[random.bounded(5)];
            const int x = int(random.bounded(width));
            const int y = int(random.bounded(height));
            const int w = 1 + int(random.bounded(width - x));
            const int h = 1 + int(random.bounded(height - y));
            for (int yy = y; yy < y + h; ++yy) {
                auto *line = reinterpret_cast<QRgb *>(image.scanLine(yy));
                for (int xx = x; xx < x + w; ++xx)
                    line[xx] = image.format() == QImage::Format_ARGB32
                                   ? (c & 0xffffff) | (random.generate() << 24)
                                   : c;
            }
        }
        std::vector<RoomSeed> rooms;
        for (int r = int(random.bounded(40)); r >= 0; --r) {
            const QPoint at(int(random.bounded(width + 2)) - 1, int(random.bounded(height + 2)) - 1);
            rooms.push_back({at, random.bounded(6) == 0 ? 0x00fffffe : keys[random.bounded(4)]});
        }
        const Outcome want = floodedOneByOne(image, rooms);
        const Outcome got = repaintedInOnePass(image, rooms);
        QVERIFY2(sameBytes(got.image, want.image), qPrintable(QString::number(round)));
        QCOMPARE(got.box, want.box);
        QCOMPARE(got.pixels, want.pixels);
    }
}

void TestRoomRepaint::oneFillPerRoom_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("rooms");
    QTest::newRow("thousand records in one room") << 1000 << 1;
    QTest::newRow("records alternating between two rooms") << 1000 << 2;
    QTest::newRow("ten rooms, each ten times over") << 100 << 10;
}

// What keeps many records in one room cheap: each room is flooded once, however many records
// name it, and the rest only recolour it.
void TestRoomRepaint::oneFillPerRoom()
{
    QFETCH(int, records);
    QFETCH(int, rooms);
    QImage image(rooms * 11 + 1, 12, QImage::Format_RGB32);
    image.fill(0xff000000);
    for (int r = 0; r < rooms; ++r) {
        for (int y = 1; y < 11; ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            std::fill(line + r * 11 + 1, line + r * 11 + 11, 0xffffffff);
        }
    }
    std::vector<RoomSeed> seeds;
    for (int i = 0; i < records; ++i)
        seeds.push_back({QPoint((i % rooms) * 11 + 1 + i % 10, 1 + i / rooms % 10), quint32(i + 1)});

    const Outcome want = floodedOneByOne(image, seeds);
    QImage painted = image;
    std::vector<qint64> pixels(seeds.size());
    FloodFill fill;
    RoomRepaint repaint;
    QCOMPARE(repaint.run(fill, painted, seeds, pixels), want.box);
    QVERIFY(sameBytes(painted, want.image));
    QCOMPARE(pixels, want.pixels);
    QCOMPARE(repaint.floodFills(), rooms);
}

QTEST_APPLESS_MAIN(TestRoomRepaint)
#include "tst_roomrepaint.moc"
