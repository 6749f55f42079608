// The figures of plans like the real ones: on each synthetic plan (tests/plans), the share of
// rooms marked cleanly by one right-click before and after preparation with the proposed
// closing lines, and the recall and precision of the room proposals. The figures are printed;
// the goals (90 % each) are asserted over all plans together.
#include "core/plan/floodfill.h"
#include "core/rooms/closingline.h"
#include "core/rooms/planpreparation.h"
#include "core/rooms/roomfinder.h"
#include "plans/syntheticplan.h"

#include <QTest>

class TestRealPlans : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void figures();
    void scannedPlan();
};

void TestRealPlans::figures()
{
    // METROLA_PLANS_SIZE=7000x5000 measures the same plans at another size.
    QSize size(1190, 910);
    if (const QStringList wh = qEnvironmentVariable("METROLA_PLANS_SIZE").split(u'x'); wh.size() == 2)
        size = QSize(wh[0].toInt(), wh[1].toInt());
    int rooms = 0, cleanRaw = 0, cleanPrepared = 0, found = 0, proposals = 0, rightProposals = 0;
    for (const SyntheticTraits &traits : syntheticTraitSets()) {
        const SyntheticPlan plan = makeSyntheticPlan(traits, size);
        PlanPreparation preparation(plan.image);
        const QImage prepared = preparation.prepare(preparation.defaults());
        const RoomFinder::Result search = RoomFinder::find(prepared, {});
        QImage closed = prepared;
        ClosingLine::draw(closed, search.lines);
        // METROLA_PLANS_OUT names a folder to look at the plans in.
        if (const QString out = qEnvironmentVariable("METROLA_PLANS_OUT"); !out.isEmpty()) {
            const QString stem = out + u'/' + QString::number(rooms / plan.rooms);
            plan.image.save(stem + QStringLiteral("-source.png"));
            prepared.save(stem + QStringLiteral("-prepared.png"));
            closed.save(stem + QStringLiteral("-closed.png"));
        }

        int planRaw = 0, planClean = 0, planFound = 0, planRight = 0;
        std::vector<bool> roomFound(size_t(plan.rooms), false);
        for (int i = 0; i < plan.rooms; ++i) {
            planRaw += matchFill(plan.image, plan.clicks[size_t(i)], plan.truth, i).clean();
            planClean += matchFill(closed, plan.clicks[size_t(i)], plan.truth, i).clean();
        }
        for (const RoomProposal &proposal : search.rooms) {
            bool right = false;
            for (int i = 0; i < plan.rooms; ++i) {
                if (matchFill(closed, proposal.seed, plan.truth, i).clean()) {
                    right = true;
                    roomFound[size_t(i)] = true;
                }
            }
            planRight += right;
        }
        planFound = int(std::count(roomFound.begin(), roomFound.end(), true));
        qInfo().noquote()
            << traits.name
            << QStringLiteral(": порог %1%7, линии %4, стены %5%6, только стены %2, линий %3;")
                   .arg(preparation.defaults().threshold)
                   .arg(preparation.defaults().wallsOnly)
                   .arg(search.lines.size())
                   .arg(preparation.traits().lineWidth)
                   .arg(preparation.traits().wallThickness)
                   .arg(preparation.traits().hasColour ? QStringLiteral(", цвет") : QString())
                   .arg(preparation.traits().localThreshold ? QStringLiteral(" местный") : QString())
            << QStringLiteral(
                   "чисто до подготовки %1/%2, после %3/%2; найдено %4/%2, предложений верных %5/%6")
                   .arg(planRaw)
                   .arg(plan.rooms)
                   .arg(planClean)
                   .arg(planFound)
                   .arg(planRight)
                   .arg(search.rooms.size());
        rooms += plan.rooms;
        cleanRaw += planRaw;
        cleanPrepared += planClean;
        found += planFound;
        proposals += int(search.rooms.size());
        rightProposals += planRight;
    }
    const double share = double(cleanPrepared) / rooms;
    const double recall = double(found) / rooms;
    const double precision = proposals ? double(rightProposals) / proposals : 0;
    qInfo().noquote()
        << QStringLiteral(
               "Итого: чисто одним щелчком до подготовки %1 %, после %2 %; полнота %3 %, точность %4 %")
               .arg(100.0 * cleanRaw / rooms, 0, 'f', 1)
               .arg(100 * share, 0, 'f', 1)
               .arg(100 * recall, 0, 'f', 1)
               .arg(100 * precision, 0, 'f', 1);
    QVERIFY2(share >= 0.9, "fewer than 90 % of the rooms are marked cleanly");
    QVERIFY2(recall >= 0.9, "the proposals find fewer than 90 % of the rooms");
    QVERIFY2(precision >= 0.9, "fewer than 90 % of the proposals are rooms");
}

// A plan from outside the repository (METROLA_REALPLAN), which has no drawn truth: its
// proposals are printed and, with METROLA_PLANS_OUT, painted for judging by eye.
void TestRealPlans::scannedPlan()
{
    const QString path = qEnvironmentVariable("METROLA_REALPLAN");
    if (path.isEmpty())
        QSKIP("METROLA_REALPLAN names no plan");
    const QImage source(path);
    QVERIFY2(!source.isNull(), qPrintable(path));
    PlanPreparation preparation(source);
    const QImage prepared = preparation.prepare(preparation.defaults());
    const RoomFinder::Result search = RoomFinder::find(prepared, {});
    QImage painted = prepared.convertToFormat(QImage::Format_RGB32);
    ClosingLine::draw(painted, search.lines);
    FloodFill fill;
    for (size_t i = 0; i < search.rooms.size(); ++i)
        fill.fill(painted, search.rooms[i].seed, QColor::fromHsv(int(i * 67 % 360), 90, 255).rgb());
    // The lines in red over the rooms, so that they can be told from walls.
    for (int y = 0; y < painted.height(); ++y)
        for (int x = 0; x < painted.width(); ++x)
            if (painted.pixel(x, y) == 0xff000000u && prepared.pixel(x, y) != 0xff000000u)
                painted.setPixel(x, y, qRgb(230, 0, 0));
    qInfo().noquote() << QStringLiteral("%1: линии %2, стены %3, только стены %4; линий %5, предложений %6")
                             .arg(path)
                             .arg(preparation.traits().lineWidth)
                             .arg(preparation.traits().wallThickness)
                             .arg(preparation.defaults().wallsOnly)
                             .arg(search.lines.size())
                             .arg(search.rooms.size());
    if (const QString out = qEnvironmentVariable("METROLA_PLANS_OUT"); !out.isEmpty()) {
        // Twice the size: the plan is small and its windows a point wide.
        const auto twice = [](const QImage &image) { return image.scaled(image.size() * 2); };
        twice(source).save(out + QStringLiteral("/real-source.png"));
        twice(prepared).save(out + QStringLiteral("/real-prepared.png"));
        twice(painted).save(out + QStringLiteral("/real-rooms.png"));
    }
}

QTEST_MAIN(TestRealPlans)
#include "tst_realplans.moc"
