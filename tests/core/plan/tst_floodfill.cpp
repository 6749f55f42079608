#include "core/plan/colourkey.h"
#include "core/plan/floodfill.h"
#include "textplan.h"

#include <QTest>

#include <vector>

namespace {

using namespace TextPlan;

QStringList picture(const QImage &image)
{
    static const QString kChars = QStringLiteral("#.x~^-abcd");
    QStringList rows;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        QString row;
        for (int x = 0; x < image.width(); ++x) {
            QChar found = u'?';
            for (QChar c : kChars) {
                if (colourOf(c) == line[x])
                    found = c;
            }
            row += found;
        }
        rows << row;
    }
    return rows;
}

qint64 countPixels(const QImage &image, QRgb colour)
{
    qint64 n = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        n += std::count(line, line + image.width(), colour);
    }
    return n;
}

} // namespace

class TestFloodFill : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void colourKey_data();
    void colourKey();
    void fill_data();
    void fill();
    void alphaByteIsIgnored();
    void sharedImageIsCopiedOnlyWhenWritten();
    void repaintRoomsInOrder();
    void largeRegions_data();
    void largeRegions();
};

void TestFloodFill::colourKey_data()
{
    QTest::addColumn<quint32>("key");
    QTest::addColumn<QRgb>("rgb");
    QTest::newRow("black") << 0x00000000u << 0xff000000u;
    QTest::newRow("red is the low byte") << 0x000000ffu << 0xffff0000u;
    QTest::newRow("blue is the high byte") << 0x00ff0000u << 0xff0000ffu;
    QTest::newRow("mixed") << 0x00332211u << 0xff112233u;
}

void TestFloodFill::colourKey()
{
    QFETCH(quint32, key);
    QFETCH(QRgb, rgb);
    QCOMPARE(ColourKey::toRgb(key), rgb);
    QCOMPARE(ColourKey::fromRgb(rgb), key);
    QCOMPARE(ColourKey::fromRgb(rgb & 0x00ffffffu), key);
}

void TestFloodFill::fill_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QPoint>("seed");
    QTest::addColumn<QChar>("colour");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QRect>("filled");

    QTest::newRow("diagonal wall holds")
        << QStringList{QStringLiteral("..#."),
                       QStringLiteral(".#.."),
                       QStringLiteral("#...")}
        << QPoint(0, 0) << QChar(u'x')
        << QStringList{QStringLiteral("xx#."),
                       QStringLiteral("x#.."),
                       QStringLiteral("#...")}
        << QRect(0, 0, 2, 2);

    QTest::newRow("region along every border")
        << QStringList{QStringLiteral("......"),
                       QStringLiteral("..##.."),
                       QStringLiteral("......")}
        << QPoint(5, 2) << QChar(u'x')
        << QStringList{QStringLiteral("xxxxxx"),
                       QStringLiteral("xx##xx"),
                       QStringLiteral("xxxxxx")}
        << QRect(0, 0, 6, 3);

    // The wall pixel at (3,2) touches the seeded wall only at a corner.
    QTest::newRow("seed on a wall fills the wall")
        << QStringList{QStringLiteral("..#..."),
                       QStringLiteral("..#..."),
                       QStringLiteral("...#.."),
                       QStringLiteral("..###.")}
        << QPoint(2, 0) << QChar(u'x')
        << QStringList{QStringLiteral("..x..."),
                       QStringLiteral("..x..."),
                       QStringLiteral("...#.."),
                       QStringLiteral("..###.")}
        << QRect(2, 0, 1, 2);

    QTest::newRow("one step off in any channel is a boundary")
        << QStringList{QStringLiteral("..~.."),
                       QStringLiteral("..^.."),
                       QStringLiteral("..-..")}
        << QPoint(1, 1) << QChar(u'x')
        << QStringList{QStringLiteral("xx~.."),
                       QStringLiteral("xx^.."),
                       QStringLiteral("xx-..")}
        << QRect(0, 0, 2, 3);

    // The teeth are reached only by turning back against the direction of travel.
    QTest::newRow("comb, teeth beyond the seed run")
        << QStringList{QStringLiteral("#.#.#.#.#.#.#."),
                       QStringLiteral("#.#.#.#.#.#.#."),
                       QStringLiteral("#............."),
                       QStringLiteral("#.#.#.#.#.#.#.")}
        << QPoint(13, 0) << QChar(u'x')
        << QStringList{QStringLiteral("#x#x#x#x#x#x#x"),
                       QStringLiteral("#x#x#x#x#x#x#x"),
                       QStringLiteral("#xxxxxxxxxxxxx"),
                       QStringLiteral("#x#x#x#x#x#x#x")}
        << QRect(1, 0, 13, 4);
    QTest::newRow("serpentine both ways")
        << QStringList{QStringLiteral("........#"),
                       QStringLiteral("#######.#"),
                       QStringLiteral("........."),
                       QStringLiteral(".########"),
                       QStringLiteral("........."),
                       QStringLiteral("########.")}
        << QPoint(4, 4) << QChar(u'x')
        << QStringList{QStringLiteral("xxxxxxxx#"),
                       QStringLiteral("#######x#"),
                       QStringLiteral("xxxxxxxxx"),
                       QStringLiteral("x########"),
                       QStringLiteral("xxxxxxxxx"),
                       QStringLiteral("########x")}
        << QRect(0, 0, 9, 6);
    // Long runs cross the vectorised scans' block boundaries at every offset.
    QTest::newRow("long runs with ragged ends")
        << QStringList{QStringLiteral("...................#..."),
                       QStringLiteral("#..................#..."),
                       QStringLiteral("##.................#..."),
                       QStringLiteral("###...............##..."),
                       QStringLiteral("####.............###...")}
        << QPoint(10, 2) << QChar(u'x')
        << QStringList{QStringLiteral("xxxxxxxxxxxxxxxxxxx#..."),
                       QStringLiteral("#xxxxxxxxxxxxxxxxxx#..."),
                       QStringLiteral("##xxxxxxxxxxxxxxxxx#..."),
                       QStringLiteral("###xxxxxxxxxxxxxxx##..."),
                       QStringLiteral("####xxxxxxxxxxxxx###...")}
        << QRect(0, 0, 19, 5);

    const QStringList small = {QStringLiteral("..#"), QStringLiteral("...")};
    QTest::newRow("same colour changes nothing")
        << small << QPoint(0, 0) << QChar(u'.') << small << QRect();
    QTest::newRow("seed left of the image") << small << QPoint(-1, 0) << QChar(u'x') << small << QRect();
    QTest::newRow("seed right of the image") << small << QPoint(3, 0) << QChar(u'x') << small << QRect();
    QTest::newRow("seed above the image") << small << QPoint(0, -1) << QChar(u'x') << small << QRect();
    QTest::newRow("seed below the image") << small << QPoint(0, 2) << QChar(u'x') << small << QRect();
}

void TestFloodFill::fill()
{
    QFETCH(QStringList, before);
    QFETCH(QPoint, seed);
    QFETCH(QChar, colour);
    QFETCH(QStringList, after);
    QFETCH(QRect, filled);

    QImage image = draw(before);
    std::vector<FloodFill::Span> spans;
    FloodFill fill;
    QCOMPARE(fill.fill(image, seed, colourOf(colour), &spans), filled);
    QCOMPARE(picture(image), after);

    // The spans name exactly the changed pixels, each once.
    const QImage original = draw(before);
    qint64 changed = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            changed += image.pixel(x, y) != original.pixel(x, y);
    qint64 spanned = 0;
    for (const FloodFill::Span &s : spans) {
        QVERIFY(s.left <= s.right);
        for (int x = s.left; x <= s.right; ++x)
            QVERIFY(image.pixel(x, s.y) != original.pixel(x, s.y));
        spanned += s.right - s.left + 1;
    }
    QCOMPARE(spanned, changed);

    // Counting while filling paints the same and counts exactly the changed pixels.
    QImage counted = draw(before);
    qint64 pixels = -1;
    QCOMPARE(fill.fillCounting(counted, seed, colourOf(colour), pixels), filled);
    QCOMPARE(counted, image);
    QCOMPARE(pixels, changed);
}

void TestFloodFill::alphaByteIsIgnored()
{
    // Other code may leave anything in the padding byte of an RGB32 pixel.
    QImage image = draw({QStringLiteral("...."), QStringLiteral(".#..")});
    reinterpret_cast<QRgb *>(image.scanLine(0))[2] = 0x00ffffff;
    reinterpret_cast<QRgb *>(image.scanLine(1))[3] = 0x7fffffff;
    QCOMPARE(FloodFill().fill(image, QPoint(0, 0), colourOf(u'x')), QRect(0, 0, 4, 2));
    QCOMPARE(picture(image), (QStringList{QStringLiteral("xxxx"), QStringLiteral("x#xx")}));
}

void TestFloodFill::sharedImageIsCopiedOnlyWhenWritten()
{
    QImage image = draw({QStringLiteral("..#"), QStringLiteral("..#")});
    const QImage undo = image;
    FloodFill fill;

    QVERIFY(fill.fill(image, QPoint(2, 0), colourOf(u'#')).isEmpty());
    QCOMPARE(image.constBits(), undo.constBits());

    QCOMPARE(fill.fill(image, QPoint(0, 0), colourOf(u'x')), QRect(0, 0, 2, 2));
    QCOMPARE(picture(undo), (QStringList{QStringLiteral("..#"), QStringLiteral("..#")}));
    QCOMPARE(picture(image), (QStringList{QStringLiteral("xx#"), QStringLiteral("xx#")}));
}

void TestFloodFill::repaintRoomsInOrder()
{
    QImage image = draw({QStringLiteral("...#...#.."),
                         QStringLiteral("...#...#.."),
                         QStringLiteral("...#...#..")});
    const std::vector<RoomSeed> rooms = {
        {QPoint(0, 0), kKeyA},
        {QPoint(5, 1), kKeyB},
        {QPoint(9, 2), kKeyC},
        // A later room on the same floor repaints it, whatever colour it wears by now.
        {QPoint(1, 2), kKeyD},
    };
    const QImage plain = image;
    QCOMPARE(FloodFill().repaintRooms(image, rooms), QRect(0, 0, 10, 3));
    QCOMPARE(picture(image), (QStringList{QStringLiteral("ddd#bbb#cc"),
                                          QStringLiteral("ddd#bbb#cc"),
                                          QStringLiteral("ddd#bbb#cc")}));

    // Each room's count is what its own fill painted; a room outside the plan or one already
    // in its key paints nothing and counts nothing.
    std::vector<RoomSeed> counted = rooms;
    counted.push_back({QPoint(10, 0), kKeyA});
    counted.push_back({QPoint(4, 0), kKeyB});
    std::vector<qint64> pixels(counted.size(), -1);
    QImage again = plain;
    QCOMPARE(FloodFill().repaintRooms(again, counted, pixels), QRect(0, 0, 10, 3));
    QCOMPARE(again, image);
    QCOMPARE(pixels, (std::vector<qint64>{9, 9, 6, 9, 0, 0}));
}

void TestFloodFill::largeRegions_data()
{
    QTest::addColumn<bool>("serpentine");
    QTest::newRow("open 4000x4000") << false;
    // One-pixel corridors joined alternately at the top and the bottom: the deepest path a
    // fill can meet, 8 million pixels long.
    QTest::newRow("4000x4000 serpentine") << true;
}

void TestFloodFill::largeRegions()
{
    QFETCH(bool, serpentine);
    const int side = 4000;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(colourOf(u'.'));
    if (serpentine) {
        for (int y = 0; y < side; ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 1; x < side; x += 2) {
                const bool openAtTop = (x / 2) % 2 == 1;
                if (!(openAtTop ? y == 0 : y == side - 1))
                    line[x] = colourOf(u'#');
            }
        }
    }
    const qint64 floor = countPixels(image, colourOf(u'.'));

    QCOMPARE(FloodFill().fill(image, QPoint(0, 0), colourOf(u'x')), image.rect());
    QCOMPARE(countPixels(image, colourOf(u'x')), floor);
}

QTEST_APPLESS_MAIN(TestFloodFill)
#include "tst_floodfill.moc"
