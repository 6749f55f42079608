#include "core/rooms/cvplan.h"
#include "core/rooms/wallends.h"
#include "wallplan.h"

#include <QPainter>
#include <QTest>

namespace {

// Rows of short wall pieces, 6 points thick and 40 long, 20 points of floor between two pieces
// of a row and 30 between rows: every piece has two ends, each facing the next piece's across
// a gap, as a plan of many doors or a noisy photograph has thousands.
constexpr int kThick = 6, kLong = 40, kGap = 20, kRowPitch = 30, kMargin = 30;

QImage dashes(int side, int &perRow, int &rows)
{
    QImage image = WallPlan::draw(QSize(side, side), {});
    QPainter p(&image);
    rows = 0;
    for (int y = kMargin; y + kThick < side - kMargin; y += kRowPitch, ++rows) {
        perRow = 0;
        for (int x = kMargin; x + kLong < side - kMargin; x += kLong + kGap, ++perRow)
            p.fillRect(x, y, kLong, kThick, Qt::black);
    }
    return image;
}

} // namespace

class TestWallEnds : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void eachEndLooksOnlyNearIt_data();
    void eachEndLooksOnlyNearIt();
};

void TestWallEnds::eachEndLooksOnlyNearIt_data()
{
    QTest::addColumn<int>("side");
    QTest::newRow("400") << 400;
    QTest::newRow("1600") << 1600;
}

void TestWallEnds::eachEndLooksOnlyNearIt()
{
    QFETCH(int, side);
    int perRow = 0, rows = 0;
    const cv::Mat black = CvPlan::blackMask(dashes(side, perRow, rows));
    const int maxGap = 10 * kThick;
    const std::size_t ends = WallEnds::find(black, kThick).size();
    QCOMPARE(int(ends), 2 * perRow * rows);

    const std::uint64_t before = WallEnds::pairsExamined();
    const std::vector<ClosingLine> lines = WallEnds::facingEnds(black, black, kThick, maxGap);
    const std::uint64_t pairs = WallEnds::pairsExamined() - before;
    // Every gap in a row closed: no partner lost by looking only near each end.
    int across = 0;
    for (const ClosingLine &line : lines)
        across += std::abs(line.to.y() - line.from.y()) <= kThick / 2 &&
                  std::abs(std::abs(line.to.x() - line.from.x()) - kGap) <= kThick;
    QCOMPARE(across, (perRow - 1) * rows);
    QCOMPARE(int(lines.size()), across);
    // The ends within three cells of a gap's width: a bound per end whatever the plan's size,
    // where comparing each with each grows with the number of ends (2 000 on the small sheet,
    // 34 000 on the large one).
    const std::uint64_t nearby = 2 * (3 * maxGap / (kLong + kGap) + 2) * (3 * maxGap / kRowPitch + 2);
    QVERIFY2(pairs <= ends * nearby, qPrintable(QStringLiteral("%1 pairs for %2 ends").arg(pairs).arg(ends)));
}

QTEST_GUILESS_MAIN(TestWallEnds)
#include "tst_wallends.moc"
