#include "core/base/numbertext.h"
#include "core/model/captions.h"
#include "core/model/planscales.h"
#include "core/model/recordtable.h"
#include "core/reports/areaschedule.h"
#include "core/reports/commonareasuggestion.h"
#include "core/reports/complexsummary.h"
#include "testrecord.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// plan; type; area; tenant; key
void fill(RecordTable &t, const QStringList &lines)
{
    std::vector<RecordTable::Row> rows;
    for (const QString &line : lines) {
        const QStringList f = line.split(u';');
        rows.push_back(roomRecord({.plan = f[0], .name = u"к"_s, .type = f[1], .area = f[2], .tenant = f[3], .key = f[4]}));
    }
    rows.push_back({});
    t.replaceRows(std::move(rows));
}

} // namespace

class TestComplexSummary : public QObject
{
    Q_OBJECT

    // Two plans with common areas on each and a tenant on both:
    //   plan a: 1 Альфа 100, 2 Бета 50, 3 vacant 50, 4 corridor 40 (common)
    //   plan b: 5 Альфа 80, 6 vacant 20, 7 stairs 15 (common), 8 hall 15 (common, let to Гамма)
    static ComplexSummary twoPlans(ComplexSummary::Allocation allocation)
    {
        RecordTable t;
        fill(t, {u"a;офис;100;Альфа;1"_s, u"a;офис;50;Бета;2"_s, u"a;офис;50;;3"_s, u"a;проч;40;;4"_s,
                 u"b;склд;80;Альфа;5"_s, u"b;склд;20;;6"_s, u"b;проч;15;;7"_s, u"b;проч;15;Гамма;8"_s});
        RoomFlags flags;
        for (quint32 key : {4u, 7u, 8u, 99u})
            flags.setCommon(key, true);
        return ComplexSummary::of(t, {u"a"_s, u"b"_s}, flags, allocation);
    }

private Q_SLOTS:
    void suggestsCommonAreasByNameOrType_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("suggested");
        QTest::newRow("corridor") << u"Коридор"_s << u"проч"_s << true;
        QTest::newRow("stairwell, lower case") << u"лестничная клетка"_s << u"проч"_s << true;
        QTest::newRow("lift lobby") << u"Холл у лифтов 2"_s << QString() << true;
        QTest::newRow("shared washroom") << u"Общий санузел"_s << QString() << true;
        QTest::newRow("a tenant's washroom") << u"Санузел"_s << u"офис"_s << false;
        QTest::newRow("inside a word") << u"Технолифт"_s << u"торг"_s << false;
        QTest::newRow("a word that starts like МОП") << u"Мопед-сервис"_s << u"торг"_s << false;
        QTest::newRow("type typed as МОП") << u"Помещение 5"_s << u"МОП"_s << true;
        QTest::newRow("a shop") << u"Магазин 101"_s << u"торг"_s << false;
    }
    void suggestsCommonAreasByNameOrType()
    {
        QFETCH(QString, name);
        QFETCH(QString, type);
        QFETCH(bool, suggested);
        QCOMPARE(CommonAreaSuggestion::suggests(name, type), suggested);
    }

    void commonAreasPerPlan()
    {
        const ComplexSummary s = twoPlans(ComplexSummary::Allocation::PerPlan);
        // a: usable 200, common 40, K = 240 / 200 = 1,2; let 150, vacant 50, 75 % let.
        // b: usable 100, common 30, K = 130 / 100 = 1,3; let 80, vacant 20, 80 % let.
        // complex: usable 300, common 70, K = 370 / 300; let 230, vacant 70.
        QCOMPARE(s.plans[0].usableArea(), 200.0);
        QCOMPARE(s.plans[0].commonArea, 40.0);
        QCOMPARE(*s.plans[0].loadFactor(), 1.2);
        QCOMPARE(*s.plans[0].letShare(), 75.0);
        QCOMPARE(s.plans[1].commonRooms, 2);
        QCOMPARE(*s.plans[1].loadFactor(), 1.3);
        QCOMPARE(s.plans[1].vacantRooms, 1); // the stairs are not free
        QCOMPARE(s.total.vacantArea, 70.0);
        QCOMPARE(*s.total.letShare(), 230.0 * 100 / 300);
        QCOMPARE(ComplexSummary::planCells(s.total, false, true).mid(12),
                 (QStringList{u"300"_s, u"70"_s, u"1,233"_s}));
        // Альфа: 100 * 40 / 200 + 80 * 30 / 100 = 20 + 24 = 44, rentable 224 = 60,5 % of 370.
        // Бета: 50 * 40 / 200 = 10, rentable 60. Vacant (the landlord): 50 * 0,2 + 20 * 0,3 = 16.
        // Гамма has only a common room: no tenant line, two problems on its row.
        QCOMPARE(s.tenants.size(), size_t(4));
        QCOMPARE(s.tenants[0].tenant, u"Альфа"_s);
        QCOMPARE(s.tenants[0].area, 180.0);
        QCOMPARE(s.tenants[0].commonShare, 44.0);
        QCOMPARE(s.tenantRow(s.tenants[0]).mid(4), (QStringList{u"44"_s, u"224"_s, u"60,5"_s}));
        QCOMPARE(s.tenants[1].rentable(), 60.0);
        QCOMPARE(s.tenants[2].commonShare, 16.0);
        QVERIFY(s.tenants[3].common);
        QCOMPARE(s.tenants[3].rows, (std::vector<int>{4, 7, 8}));
        QCOMPARE(s.tenantRow(s.tenants[3]).first(), ComplexSummary::commonCaption());
        QCOMPARE(s.rentableTotal(), 370.0);
        QStringList found;
        for (const auto &p : s.problems)
            found << u"%1 %2"_s.arg(p.row).arg(p.kind);
        QCOMPARE(found, (QStringList{u"8 common-let"_s, u"8 tenant-all-common"_s}));
        QCOMPARE(s.orphanFlags, QList<quint32>{99});
    }

    void commonAreasOverTheWholeComplex()
    {
        const ComplexSummary s = twoPlans(ComplexSummary::Allocation::WholeComplex);
        // K = 370 / 300: Альфа 180 * 70 / 300 = 42, Бета 50 * 70 / 300 = 11,67, vacant 70 * 70 / 300 = 16,33.
        QCOMPARE(s.tenants[0].commonShare, 42.0);
        QCOMPARE(s.tenantRow(s.tenants[1]).mid(4), (QStringList{u"11,67"_s, u"61,67"_s, u"16,7"_s}));
        QCOMPARE(s.rentableTotal(), 370.0);
    }

    // A plan of stairs alone has no load factor; per plan its stairs are charged to nobody.
    void planWithoutUsableArea()
    {
        RecordTable t;
        fill(t, {u"a;офис;100;Альфа;1"_s, u"s;проч;20;;2"_s});
        RoomFlags flags;
        flags.setCommon(2, true);
        const ComplexSummary perPlan = ComplexSummary::of(t, {}, flags);
        QVERIFY(!perPlan.plans[1].loadFactor());
        QVERIFY(!perPlan.plans[1].letShare());
        QCOMPARE(ComplexSummary::planCells(perPlan.plans[1], false, true).last(), QString());
        QCOMPARE(perPlan.tenants[0].rentable(), 100.0);
        QCOMPARE(perPlan.rentableTotal(), 100.0);
        const ComplexSummary whole = ComplexSummary::of(t, {}, flags, ComplexSummary::Allocation::WholeComplex);
        QCOMPARE(whole.tenants[0].rentable(), 120.0);
    }

    void sumsEqualTheSchedules_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("tenths that do not add exactly in binary")
            << QStringList{u"a;торг;0,1;Т;1"_s, u"a;торг;0,2;Т;2"_s, u"b;офис;12,35;;3"_s};
        QTest::newRow("texts that are no numbers")
            << QStringList{u"a;склд;abc;Т;1"_s, u"a;склд;;Т;2"_s, u"a;склд;1,5,5;;3"_s, u"a;проч;7;;4"_s};
        QTest::newRow("unknown and empty types")
            << QStringList{u"a;Торг;3;;1"_s, u"a;;4,25;Т;2"_s, u"a;прво;-1;Т;3"_s};
    }
    void sumsEqualTheSchedules()
    {
        QFETCH(QStringList, lines);
        RecordTable t;
        fill(t, lines);
        const ComplexSummary s = ComplexSummary::of(t, {});
        const AreaSchedule sheet = AreaSchedule::build(t, Captions::defaults(), {});
        const int sumRow = 2 + t.recordCount();
        for (int i = 0; i < ComplexSummary::TypeCount; ++i)
            QCOMPARE(s.total.areaByType[size_t(i)], sheet.cell(sumRow, 2 + i).number);
        QCOMPARE(s.total.area, sheet.cell(sumRow, 7).number);
        double plans = 0;
        for (const auto &plan : s.plans)
            plans += plan.area;
        QCOMPARE(plans, s.total.area);
    }

    // The quick reading of plain decimals must give the very double the general reading gives.
    void plainAreasReadAsTheScheduleReadsThem()
    {
        QStringList texts = {u"0,1"_s, u"12,35"_s, u"999999999999,999"_s, u"1000000000000"_s, u"0,000000000000001"_s,
                             u"123456789012345"_s, u"9007199254740993"_s, u"12,"_s, u",5"_s, u"1.5"_s, u"1,2,3"_s,
                             u" 7"_s, u"-3,5"_s, u"1e3"_s, u""_s, u","_s, u"٣"_s};
        QRandomGenerator random(15);
        for (int i = 0; i < 20000; ++i) {
            const QString whole = QString::number(random.bounded(1000000));
            const int places = random.bounded(1, 10);
            QString fraction = QString::number(random.bounded(1000000000)).rightJustified(9, u'0').left(places);
            texts << whole + u',' + fraction;
        }
        for (const QString &text : texts) {
            QString dotted = text;
            dotted.replace(u',', u'.');
            const auto expected = NumberText::areaByGeneralReading(dotted);
            const auto got = NumberText::area(text);
            QVERIFY2(got.has_value() == expected.has_value(), qPrintable(text));
            if (got)
                QVERIFY2(*got == *expected, qPrintable(text));
        }
    }

    void groupsByPlanAndTenant()
    {
        RecordTable t;
        fill(t, {u"b;офис;10;Яков;1"_s, u"a;офис;5;Анна;2"_s, u"c;склд;2,5;;3"_s,
                                     u";офис;1;Анна;4"_s, u"a;торг;20;Яков;5"_s, u"a;торг;x;;6"_s});
        const ComplexSummary s = ComplexSummary::of(t, {u"a"_s, u"b"_s});
        // Listed plans first in their order, then the others as they appear; no empty plan.
        QCOMPARE(s.plans.size(), size_t(3));
        QCOMPARE(s.plans[0].plan, u"a"_s);
        QCOMPARE(s.plans[2].plan, u"c"_s);
        QCOMPARE(s.plans[0].rooms, 3);
        QCOMPARE(s.plans[0].area, 25.0);
        QCOMPARE(s.plans[0].vacantRooms, 1);
        QCOMPARE(s.plans[0].vacantArea, 0.0);
        QCOMPARE(*s.plans[0].letShare(), 100.0);
        QCOMPARE(*s.plans[2].letShare(), 0.0);
        QCOMPARE(s.total.rooms, 6);
        QCOMPARE(s.total.area, 38.5);
        QCOMPARE(*s.total.letShare(), 36.0 * 100 / 38.5);
        QCOMPARE(ComplexSummary::planCells(s.total).last(), u"93,5"_s);
        QVERIFY(!ComplexSummary::Figures{}.letShare());

        QCOMPARE(s.tenants.size(), size_t(3));
        QCOMPARE(s.tenants[0].tenant, u"Анна"_s);
        QCOMPARE(s.tenants[0].rows, (std::vector<int>{2, 4}));
        QCOMPARE(s.tenants[0].plans, QStringList{u"a"_s});
        QCOMPARE(s.tenants[1].plans, (QStringList{u"b"_s, u"a"_s}));
        QCOMPARE(s.tenants[2].tenant, QString());
        QCOMPARE(ComplexSummary::tenantCells(s.tenants[2]).first(), ComplexSummary::vacantCaption());
        QCOMPARE(s.tenants[2].rows, (std::vector<int>{3, 6}));
        QCOMPARE(s.vacantRows, (std::vector<int>{3, 6}));
    }

    void listsProblemsByRow()
    {
        RecordTable t;
        fill(t, {u"a;офис;1;Т;100"_s, u"a;офис;x;Т;100"_s, u"a;ОФИС;1;Т;abc"_s,
                                     u"a;офис;1;Т;16777216"_s});
        const ComplexSummary s = ComplexSummary::of(t, {});
        QStringList found;
        for (const auto &p : s.problems)
            found << u"%1 %2"_s.arg(p.row).arg(p.kind);
        QCOMPARE(found, (QStringList{u"2 duplicate-key"_s, u"2 area"_s, u"3 key"_s, u"3 type"_s, u"4 key"_s}));
        QCOMPARE(s.problems[0].message, u"Строка 2: цветовой ключ 100 уже занят строкой 1."_s);
        QCOMPARE(s.areaNotNumberRows, std::vector<int>{2});
    }

    // A negative area from a file edited elsewhere is a problem and no part of any sum, as a
    // text that is no number: with one "-99,99" beside 10 m² the load factor was 16 001.
    void negativeAreasAreProblemsOutsideTheSums_data()
    {
        QTest::addColumn<QString>("area");
        QTest::addColumn<bool>("problem");
        QTest::newRow("minus") << u"-99,99"_s << true;
        QTest::newRow("minus, point") << u"-0.5"_s << true;
        QTest::newRow("minus nought") << u"-0"_s << false;
        QTest::newRow("plus") << u"+3"_s << false;
    }
    void negativeAreasAreProblemsOutsideTheSums()
    {
        QFETCH(QString, area);
        QFETCH(bool, problem);
        RecordTable t;
        fill(t, {u"a;офис;10;Т;1"_s, u"a;офис;"_s + area + u";;2"_s, u"a;проч;8;;3"_s});
        RoomFlags flags;
        flags.setCommon(3, true);
        const ComplexSummary s = ComplexSummary::of(t, {u"a"_s}, flags);
        const double counted = problem ? 0 : std::abs(NumberText::area(area).value_or(-1));
        QCOMPARE(s.total.area, 18 + counted);
        QCOMPARE(*s.total.loadFactor(), (18 + counted) / (10 + counted));
        QCOMPARE(s.areaNotNumberRows, problem ? std::vector<int>{2} : std::vector<int>{});
        QStringList kinds;
        for (const auto &p : s.problems)
            kinds << u"%1 %2"_s.arg(p.row).arg(p.kind);
        QCOMPARE(kinds, problem ? QStringList{u"2 area"_s} : QStringList{});
        if (problem)
            QCOMPARE(s.problems[0].message, u"Строка 2: площадь «%1» меньше нуля."_s.arg(area));
    }

    // As `metrola-cli check` says: black and white are no room's key, so they are reported
    // and never count as taken; a key text is quoted as typed.
    void reservedKeysAreProblemsNotDuplicates()
    {
        RecordTable t;
        fill(t, {u"a;офис;1;Т;0"_s, u"a;офис;1;Т;16777215"_s, u"a;офис;1;Т;16777215"_s, u"a;офис;1;Т;5"_s,
                 u"a;офис;1;Т;5"_s, u"a;офис;1;Т;%1"_s});
        const ComplexSummary s = ComplexSummary::of(t, {});
        QStringList found;
        for (const auto &p : s.problems)
            found << u"%1 %2"_s.arg(p.row).arg(p.kind);
        QCOMPARE(found, (QStringList{u"1 key"_s, u"2 key"_s, u"3 key"_s, u"5 duplicate-key"_s, u"6 key"_s}));
        QVERIFY(s.problems[0].message.contains(u"цвет стен"_s));
        QVERIFY(s.problems[2].message.contains(u"цвет пустого пола"_s));
        QCOMPARE(s.problems[4].message, u"Строка 6: цветовой ключ «%1» не число."_s);
    }

    void unfinishedRecordsAreNoProblem()
    {
        RecordTable t;
        fill(t, {u"a;;;Т;100"_s, u"a;офис;;Т;101"_s, u"a;;2;Т;102"_s});
        const ComplexSummary s = ComplexSummary::of(t, {});
        QVERIFY(s.problems.empty());
        QCOMPARE(s.areaMissingRows, (std::vector<int>{1, 2}));
        QVERIFY(s.areaNotNumberRows.empty());
    }

    // Per plan the measured area is that of every measured room, the difference only that of
    // rooms both measured and typed as a number; mismatches follow the record's own problems.
    void addsTheAreaCheck()
    {
        using Status = RoomAreaCheck::Status;
        RecordTable t;
        fill(t, {u"a;офис;10;Т;1"_s, u"a;ОФИС;13;Т;2"_s, u"a;офис;x;Т;3"_s, u"a;офис;5;Т;4"_s,
                 u"b;офис;7;Т;5"_s, u"c;офис;1;Т;6"_s});
        PlanScales scales;
        scales.setScale(u"a"_s, {0.025, QDate(2026, 12, 8)});
        scales.setScale(u"b"_s, {0.5, QDate(2026, 12, 8)});
        scales.setTolerance(15);
        const auto check = [](int row, const QString &plan, std::optional<double> typed,
                              std::optional<double> measured, Status status) {
            RoomAreaCheck c;
            c.row = row;
            c.plan = plan;
            c.typed = typed;
            c.measured = measured;
            if (typed && measured)
                c.percent = (*typed - *measured) / *measured * 100;
            c.status = status;
            return c;
        };
        ComplexSummary s = ComplexSummary::of(t, {u"a"_s, u"b"_s, u"c"_s});
        s.addAreaChecks({check(1, u"a"_s, 10, 10.5, Status::Agrees), check(2, u"a"_s, 13, 10, Status::TypedLarger),
                         check(3, u"a"_s, {}, 4, Status::TypedNotNumber), check(4, u"a"_s, 5, {}, Status::NotMeasured),
                         check(5, u"b"_s, 7, {}, Status::NotMeasured)},
                        scales, t);
        const ComplexSummary::Measured &a = *s.plans[0].measured;
        QCOMPARE(a.metresPerPixel, 0.025);
        QCOMPARE(a.rooms, 4);
        QCOMPARE(a.measuredRooms, 3);
        QCOMPARE(a.mismatches, 1);
        QCOMPARE(a.measuredArea, 24.5);
        QCOMPARE(*a.difference(), (23 - 20.5) / 20.5 * 100);
        QVERIFY(!s.plans[1].measured->difference()); // a scale, nothing measured
        QVERIFY(!s.plans[2].measured);               // no scale
        QCOMPARE(s.total.measured->rooms, 5);
        QCOMPARE(s.total.measured->measuredArea, 24.5);

        const Captions captions = Captions::defaults();
        QCOMPARE(ComplexSummary::planHeader(captions, true).size(), ComplexSummary::planCells(s.plans[0], true).size());
        QCOMPARE(ComplexSummary::planCells(s.plans[0], true).mid(12),
                 (QStringList{u"0,025"_s, u"24,5"_s, u"+12,2"_s}));
        QCOMPARE(ComplexSummary::planCells(s.plans[1], true).mid(12), (QStringList{u"0,5"_s, QString(), QString()}));
        QCOMPARE(ComplexSummary::planCells(s.plans[2], true).mid(12), (QStringList{QString(), QString(), QString()}));

        QStringList found;
        for (const auto &p : s.problems)
            found << u"%1 %2"_s.arg(p.row).arg(p.kind);
        QCOMPARE(found, (QStringList{u"2 type"_s, u"2 area-mismatch"_s, u"3 area"_s}));
        QCOMPARE(s.problems[1].message,
                 u"Строка 2: введена площадь 13, а по плану «a» комната занимает 10 (+30 %, допуск 15 %)."_s);
        QCOMPARE(s.areaRooms.size(), size_t(5));
        QCOMPARE(ComplexSummary::areaCells(s.areaRooms[1]),
                 (QStringList{u"2"_s, u"к"_s, u"a"_s, u"13"_s, u"10"_s, u"+30"_s, u"введено больше измеренного"_s}));
        for (const auto &[percent, text] : {std::pair{0.04, u"0"_s}, {-0.04, u"0"_s}, {0.05, u"+0,1"_s}, {-12.35, u"-12,4"_s}})
            QCOMPARE(RoomAreaCheck::percentText(percent), text);
        QVERIFY(s.tabSeparated(captions).contains(u"\n4\tк\ta\t5\t\t\tне измерено: "_s));
    }

    void copiesAsTabSeparatedText()
    {
        RecordTable t;
        fill(t, {u"a;офис;1,5;Т\tX;1"_s});
        const QStringList lines = ComplexSummary::of(t, {u"a"_s}).tabSeparated(Captions::defaults()).split(u'\n');
        QCOMPARE(lines[0], u"По планам"_s);
        QCOMPARE(lines[2], u"a\t1\t0\t1,5\t0\t0\t0\t0\t1,5\t0\t0\t100,0"_s);
        QVERIFY(lines.contains(u"Т X\t1\t1,5\ta"_s));
    }
};

QTEST_GUILESS_MAIN(TestComplexSummary)
#include "tst_complexsummary.moc"
