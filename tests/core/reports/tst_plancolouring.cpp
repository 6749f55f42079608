#include "core/model/captions.h"
#include "core/model/recordtable.h"
#include "core/model/roomflags.h"
#include "core/plan/colourkey.h"
#include "core/plan/displaycolours.h"
#include "core/reports/complexsummary.h"
#include "core/reports/plancolouring.h"
#include "core/reports/stackingplan.h"
#include "testrecord.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr QRgb kA = 0xff102030;
constexpr QRgb kB = 0xff405060;
constexpr QRgb kShowA = 0xffaa0000;
constexpr QRgb kShowB = 0xff00bb00;

// One scanline written out as pixels: 'a' and 'b' are keys, 'w' white, 'k' black, and 'x' a
// colour that shares its low 16 bits with key a but is no key.
QImage line(const QString &pattern)
{
    QImage image(int(pattern.size()), 1, QImage::Format_RGB32);
    auto *px = reinterpret_cast<QRgb *>(image.scanLine(0));
    for (int i = 0; i < pattern.size(); ++i) {
        switch (pattern[i].unicode()) {
        case 'a': px[i] = kA; break;
        case 'b': px[i] = kB; break;
        case 'w': px[i] = 0xffffffff; break;
        case 'x': px[i] = (kA & 0xffff) | 0xff770000; break;
        default: px[i] = 0xff000000; break;
        }
    }
    return image;
}

QString unline(const QImage &image)
{
    QString text;
    const auto *px = reinterpret_cast<const QRgb *>(image.constScanLine(0));
    for (int i = 0; i < image.width(); ++i)
        text += px[i] == kShowA ? u'A' : px[i] == kShowB ? u'B' : px[i] == 0xffffffff ? u'w' : px[i] == 0xff000000 ? u'k' : u'?';
    return text;
}

RecordTable::Row record(const QString &plan, const QString &type, const QString &tenant, const QString &area,
                        const QString &key)
{
    return roomRecord({.plan = plan, .type = type, .area = area, .tenant = tenant, .key = key});
}

} // namespace

class TestPlanColouring : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void mapsRunsAndKeepsOthers_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("shown");
        QTest::newRow("runs") << u"kaaawbbbk"_s << u"kAAAwBBBk"_s;
        QTest::newRow("keys at both ends") << u"abbbba"_s << u"ABBBBA"_s;
        QTest::newRow("single pixels") << u"abababk"_s << u"ABABABk"_s;
        QTest::newRow("look-alike of a key") << u"axaxx"_s << u"A?A??"_s;
        QTest::newRow("no key") << u"wwkkw"_s << u"wwkkw"_s;
    }
    void mapsRunsAndKeepsOthers()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, shown);
        DisplayColours colours;
        colours.assign({{kB, 0xff123456}, {kA, kShowA}, {kB, kShowB}}); // the later pair wins
        const QImage source = line(pattern);
        QImage target(source.size(), QImage::Format_RGB32);
        colours.map(source, source.rect(), target, {0, 0});
        QCOMPARE(unline(target), shown);
        QCOMPARE(colours.displayOf(source.pixel(0, 0)), target.pixel(0, 0));
    }

    void mapsOnlyTheBoxIntoItsPlace()
    {
        DisplayColours colours;
        colours.assign({{kA, kShowA}});
        const QImage source = line(u"aaaaaaaa"_s);
        QImage target = line(u"kkkkk"_s);
        // Box 2..5 of the source lands at 1..4 of the target; what falls outside is dropped.
        colours.map(source, QRect(2, 0, 6, 1), target, {1, 0});
        QCOMPARE(unline(target), u"kAAAA"_s);
        // A box off the source changes nothing; an empty table copies.
        colours.map(source, QRect(20, 0, 3, 1), target, {0, 0});
        QCOMPARE(unline(target), u"kAAAA"_s);
        colours.clear();
        QImage plain = line(u"kk"_s);
        colours.map(line(u"wa"_s), QRect(0, 0, 2, 1), plain, {0, 0});
        QCOMPARE(plain.pixel(0, 0), 0xffffffffu);
        QCOMPARE(plain.pixel(1, 0), kA);
    }

    void colourRoomsOfThePlanShown_data()
    {
        QTest::addColumn<int>("view");
        QTest::addColumn<QList<quint32>>("expected"); // display colours of rows 1..7, 0 = not mapped
        const quint32 none = PlanColouring::kNoKind;
        QTest::newRow("keys") << int(PlanView::Keys) << QList<quint32>{0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("type") << int(PlanView::ByType)
                              << QList<quint32>{PlanColouring::typeColour(1), none, PlanColouring::typeColour(3), 0, 0, 0, 0};
        QTest::newRow("vacancy") << int(PlanView::Vacancy)
                                 << QList<quint32>{PlanColouring::kLet, PlanColouring::kVacant, PlanColouring::kLet, 0, 0, 0, 0};
        // Tenants in sorted order over the whole table: "Альфа" 0, "Бета" 1 (on the other plan), "Гамма" 2.
        QTest::newRow("tenant") << int(PlanView::ByTenant)
                                << QList<quint32>{PlanColouring::tenantColour(2), none, PlanColouring::tenantColour(2), 0, 0, 0, 0};
    }
    void colourRoomsOfThePlanShown()
    {
        QFETCH(int, view);
        QFETCH(QList<quint32>, expected);
        RecordTable table;
        table.replaceRows({record(u"p1"_s, u"офис"_s, u"Гамма"_s, u"10,5"_s, u"100"_s),
                           record(u"p1"_s, u"ОФИС"_s, {}, u"3"_s, u"200"_s),
                           record(u"p1"_s, u"склд"_s, u"Гамма"_s, u"x"_s, u"300"_s),
                           record(u"p2"_s, u"офис"_s, u"Бета"_s, u"1"_s, u"400"_s),
                           record(u"p1"_s, u"офис"_s, u"Альфа"_s, u"1"_s, u"5x"_s),
                           record(u"p1"_s, u"офис"_s, u"Альфа"_s, u"1"_s, u"16777215"_s),
                           record(u"p1"_s, u"офис"_s, u"Альфа"_s, u"1"_s, u"0"_s),
                           RecordTable::Row{}});
        DisplayColours colours;
        colours.assign(PlanColouring::pairs(table, u"p1"_s, PlanView(view)));
        for (int r = 1; r <= 7; ++r) {
            const QRgb key = ColourKey::toRgb(quint32(table.cellText(RecordTable::ColourKey, r).toUInt()));
            const QRgb shown = colours.displayOf(key);
            QCOMPARE(shown, expected[r - 1] ? QRgb(expected[r - 1]) : key);
        }
    }

    void legendSumsAreasOfThePlanShown()
    {
        RecordTable table;
        table.replaceRows({record(u"p1"_s, u"офис"_s, u"Т"_s, u"10,5"_s, u"100"_s),
                           record(u"p1"_s, u"офис"_s, {}, u"0,25"_s, u"200"_s),
                           record(u"p1"_s, u"?"_s, {}, u"не число"_s, u"300"_s),
                           record(u"p2"_s, u"офис"_s, {}, u"1000"_s, u"400"_s),
                           RecordTable::Row{}});
        Captions captions = Captions::defaults();
        captions[Captions::FirstType + 1] = u"Конторы"_s;
        const auto byType = PlanColouring::legend(table, captions, u"p1"_s, PlanView::ByType);
        QCOMPARE(byType.size(), size_t(6));
        QCOMPARE(byType[1].caption, u"Конторы"_s);
        QCOMPARE(byType[1].rooms, 2);
        QCOMPARE(byType[1].area, 10.75);
        QCOMPARE(byType[5].rooms, 1);
        QCOMPARE(byType[5].area, 0.0);
        const auto vacancy = PlanColouring::legend(table, captions, u"p1"_s, PlanView::Vacancy);
        QCOMPARE(vacancy.size(), size_t(2));
        QCOMPARE(vacancy[0].rooms, 2);
        QCOMPARE(vacancy[0].area, 0.25);
        QCOMPARE(vacancy[1].area, 10.5);
        // Without rooms of no known type, that line is left out.
        QCOMPARE(PlanColouring::legend(table, captions, u"p2"_s, PlanView::ByType).size(), size_t(5));
        QVERIFY(PlanColouring::legend(table, captions, u"p1"_s, PlanView::ByTenant).empty());
    }

    // A corridor is neither free nor let, even with a tenant typed in by mistake.
    void commonAreasAreGreyInTheVacancyView()
    {
        RecordTable table;
        table.replaceRows({record(u"p1"_s, u"офис"_s, u"Т"_s, u"10"_s, u"100"_s),
                           record(u"p1"_s, u"проч"_s, {}, u"30"_s, u"200"_s),
                           record(u"p1"_s, u"проч"_s, u"Т"_s, u"5"_s, u"300"_s),
                           record(u"p1"_s, u"офис"_s, {}, u"2"_s, u"400"_s), RecordTable::Row{}});
        RoomFlags flags;
        flags.setCommon(200, true);
        flags.setCommon(300, true);
        DisplayColours colours;
        colours.assign(PlanColouring::pairs(table, u"p1"_s, PlanView::Vacancy, flags));
        QCOMPARE(colours.displayOf(ColourKey::toRgb(200)), PlanColouring::kCommon);
        QCOMPARE(colours.displayOf(ColourKey::toRgb(300)), PlanColouring::kCommon);
        QCOMPARE(colours.displayOf(ColourKey::toRgb(400)), PlanColouring::kVacant);
        const auto legend = PlanColouring::legend(table, Captions::defaults(), u"p1"_s, PlanView::Vacancy, flags);
        QCOMPARE(legend.size(), size_t(3));
        QCOMPARE(legend[0].area, 2.0);
        QCOMPARE(legend[1].area, 10.0);
        QCOMPARE(legend[2].colour, PlanColouring::kCommon);
        QCOMPARE(legend[2].area, 35.0);
    }

    // The PDF's tenant legend, the vacancy legend, the summary and the stacking plan count the
    // same rooms as vacant: a common area is none of them, with or without a tenant typed.
    void everyReportCountsVacancyAlike()
    {
        RecordTable table;
        table.replaceRows({record(u"p1"_s, u"офис"_s, u"Т"_s, u"10"_s, u"100"_s),
                           record(u"p1"_s, u"проч"_s, {}, u"30"_s, u"200"_s),
                           record(u"p1"_s, u"проч"_s, u"Т"_s, u"5"_s, u"300"_s),
                           record(u"p1"_s, u"офис"_s, {}, u"2"_s, u"400"_s),
                           record(u"p1"_s, u"торг"_s, {}, u"1,5"_s, u"500"_s), RecordTable::Row{}});
        RoomFlags flags;
        flags.setCommon(200, true);
        flags.setCommon(300, true);
        const auto find = [](const std::vector<PlanColouring::LegendItem> &items, const QString &caption) {
            for (const auto &item : items) {
                if (item.caption == caption)
                    return std::pair{item.rooms, item.area};
            }
            return std::pair{0, 0.0};
        };
        const std::pair expected{2, 3.5};
        const auto tenants = PlanColouring::tenantLegend(table, u"p1"_s, flags);
        QCOMPARE(find(tenants, u"свободно"_s), expected);
        QCOMPARE(find(tenants, u"МОП"_s), (std::pair{2, 35.0}));
        QCOMPARE(find(PlanColouring::legend(table, Captions::defaults(), u"p1"_s, PlanView::Vacancy, flags),
                      u"свободно"_s),
                 expected);
        const ComplexSummary summary = ComplexSummary::of(table, {u"p1"_s}, flags);
        QCOMPARE((std::pair{summary.plans.at(0).vacantRooms, summary.plans.at(0).vacantArea}), expected);
        const StackingPlan stacking = StackingPlan::build(
            table, Captions::defaults(), {u"p1"_s}, StackingPlan::Colouring::Tenants,
            [&](int row) { return flags.isCommonKey(table.cellText(RecordTable::ColourKey, row)); });
        QCOMPARE(find(stacking.legend(u"p1"_s), StackingPlan::vacantCaption()), expected);
        // On the printed tenant plan the common rooms wear the stacking plan's grey.
        DisplayColours colours;
        colours.assign(PlanColouring::pairs(table, u"p1"_s, PlanView::ByTenant, flags));
        QCOMPARE(colours.displayOf(ColourKey::toRgb(300)), PlanColouring::kCommon);
    }

    void tenantColoursStayApart()
    {
        QSet<QRgb> seen;
        for (int n = 0; n < 60; ++n)
            seen.insert(PlanColouring::tenantColour(n));
        QVERIFY(seen.size() >= 55);
        QVERIFY(!seen.contains(PlanColouring::kNoKind));
    }
};

QTEST_GUILESS_MAIN(TestPlanColouring)
#include "tst_plancolouring.moc"
