#include "core/model/captions.h"
#include "core/model/recordtable.h"
#include "core/reports/planpdf.h"
#include "core/reports/stackingplan.h"
#include "testrecord.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Two floors. Floor 1: Альфа 60 + 20 (two rooms), Бета 30, vacant 10, the corridor 40
// (common, with a tenant typed by mistake: it still counts as common), an area that is no
// number (a room, no area). Floor 2: Альфа 100. Floor 3 is in the tab order with no record.
void fillFloors(RecordTable &table)
{
    const auto add = [&table](const QString &plan, const QString &tenant, const QString &area, const QString &type) {
        table.appendRecord(roomRecord({.plan = plan, .type = type, .area = area, .tenant = tenant, .key = u"1"_s}), u"d"_s);
    };
    add(u"f1.bmp"_s, u"Альфа"_s, u"60"_s, u"офис"_s);
    add(u"f1.bmp"_s, u"Бета"_s, u"30"_s, u"торг"_s);
    add(u"f1.bmp"_s, QString(), u"10"_s, u"офис"_s);
    add(u"f1.bmp"_s, u"Альфа"_s, u"20"_s, u"склд"_s);
    add(u"f1.bmp"_s, u"Бета"_s, u"40"_s, u"проч"_s);  // row 5: the corridor
    add(u"f1.bmp"_s, u"Бета"_s, u"много"_s, u"торг"_s);
    add(u"f2.bmp"_s, u"Альфа"_s, u"100"_s, u"офис"_s);
}

QStringList summary(const StackingPlan::Bar &bar)
{
    QStringList cells;
    for (const StackingPlan::Block &b : bar.blocks)
        cells << u"%1 %2 %3"_s.arg(b.caption).arg(b.area).arg(b.rows.size());
    return cells;
}

} // namespace

class TestStackingPlan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void blocksPerTenantThenVacantThenCommon()
    {
        RecordTable table;
        fillFloors(table);
        const StackingPlan plan = StackingPlan::build(table, Captions::defaults(), {u"f2.bmp"_s, u"f3.bmp"_s},
                                                      StackingPlan::Colouring::Tenants,
                                                      [](int row) { return row == 5; });
        // The tab order first, then plans met in the table.
        QCOMPARE(plan.bars.size(), size_t(3));
        QCOMPARE(plan.bars[0].plan, u"f2.bmp"_s);
        QCOMPARE(plan.bars[1].plan, u"f3.bmp"_s);
        QCOMPARE(plan.bars[2].plan, u"f1.bmp"_s);
        // 60 + 20 + 30 + 10 + 40 = 160; the tenant of the corridor adds nothing to Бета.
        QCOMPARE(plan.bars[2].area, 160.0);
        QCOMPARE(summary(plan.bars[2]), (QStringList{u"Альфа 80 2"_s, u"Бета 30 2"_s, u"свободно 10 1"_s, u"МОП 40 1"_s}));
        QCOMPARE(plan.bars[2].blocks[3].kind, StackingPlan::Kind::Common);
        // A tenant has one colour on every floor.
        QCOMPARE(plan.bars[0].blocks[0].colour, plan.bars[2].blocks[0].colour);
        QCOMPARE(plan.maxArea(), 160.0);

        const auto legend = plan.legend();
        QCOMPARE(legend.size(), size_t(4));
        QCOMPARE(legend[0].caption, u"Альфа"_s);
        QCOMPARE(legend[0].area, 180.0);
    }

    void blocksByType()
    {
        RecordTable table;
        fillFloors(table);
        const StackingPlan plan = StackingPlan::build(table, Captions::defaults(), {}, StackingPlan::Colouring::Types);
        // офис 60 + 10, торг 30 (+ a room with no area), склд 20, проч 40; nothing is common.
        QCOMPARE(summary(plan.bars[0]).size(), 4);
        QCOMPARE(plan.bars[0].blocks[0].area, 70.0);
        QCOMPARE(plan.bars[0].blocks[0].rows, (std::vector<int>{1, 3}));
    }

    // Bars in proportion to the largest, blocks in proportion within their bar; a bar with no
    // area is drawn as nothing, and a click finds the block drawn there.
    void geometry_data()
    {
        QTest::addColumn<bool>("equalLength");
        QTest::addColumn<double>("floor2Width");
        QTest::newRow("by area") << false << 100.0;
        QTest::newRow("100 %") << true << 160.0;
    }
    void geometry()
    {
        QFETCH(bool, equalLength);
        QFETCH(double, floor2Width);
        RecordTable table;
        fillFloors(table);
        const StackingPlan plan = StackingPlan::build(table, Captions::defaults(), {u"f1.bmp"_s, u"f2.bmp"_s, u"f3.bmp"_s},
                                                      StackingPlan::Colouring::Tenants);
        const QRectF row(0, 0, 160, 10);
        const auto floor1 = plan.blockRects(plan.bars[0], row, equalLength);
        QCOMPARE(floor1[0].width(), 80.0);
        QCOMPARE(floor1[1].left(), 80.0);
        QCOMPARE(floor1.back().right(), 160.0);
        QCOMPARE(plan.blockRects(plan.bars[1], row, equalLength)[0].width(), floor2Width);
        QVERIFY(plan.blockRects(plan.bars[2], row, equalLength).empty());

        const QRectF page(0, 0, 600, 400);
        const QRectF bar = plan.barRow(page, 1);
        QCOMPARE(plan.blockAt(page, equalLength, bar.topLeft() + QPointF(1, 1)), std::make_pair(1, 0));
        QCOMPARE(plan.blockAt(page, equalLength, QPointF(1, 1)), std::make_pair(-1, -1));
    }

    void scaleBarLengths_data()
    {
        QTest::addColumn<double>("metres");
        QTest::addColumn<double>("bar");
        QTest::newRow("a room") << 3.7 << 2.0;
        QTest::newRow("a floor") << 12.5 << 10.0;
        QTest::newRow("five") << 5.0 << 5.0;
        QTest::newRow("a site") << 740.0 << 500.0;
        QTest::newRow("a fraction") << 0.3 << 0.2;
        QTest::newRow("nothing") << 0.0 << 0.0;
    }
    void scaleBarLengths()
    {
        QFETCH(double, metres);
        QFETCH(double, bar);
        QCOMPARE(PlanPdf::scaleBarMetres(metres), bar);
    }
};

QTEST_MAIN(TestStackingPlan)
#include "tst_stackingplan.moc"
