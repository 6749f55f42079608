#include "core/base/cp1251.h"
#include "core/base/metrolaerror.h"
#include "core/model/areacheckrunner.h"
#include "core/model/planscales.h"
#include "core/model/projectsession.h"
#include "core/model/roomareas.h"
#include "core/plan/colourkey.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

using Status = RoomAreaCheck::Status;

// '#' wall, '.' floor. Rooms and their floor pixels:
//   A 5 x 4 = 20   B 6 x 2 = 12   C 2 x 1 = 2   D 3 x 1 = 3   F 4 x 1 = 4   G 7 x 1 = 7
QImage plan()
{
    const QStringList rows = {
        u"##############"_s,
        u"#.....#......#"_s, // A, B
        u"#.....#......#"_s,
        u"#.....########"_s,
        u"#.....#..#...#"_s, // A, C, D
        u"##############"_s,
        u"#....#.......#"_s, // F, G
        u"##############"_s,
    };
    QImage image(int(rows[0].size()), int(rows.size()), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, rows[y][x] == u'#' ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    return image;
}

constexpr double kScale = 0.5; // a pixel is 0,25 m²

RecordTable::Row record(const QString &planId, const QString &area, const QString &key, int x, int y)
{
    return {planId, u"к"_s, u"офис"_s, area, u"Т"_s, QString(), key, QString::number(x), QString::number(y)};
}

void fill(ProjectSession &session)
{
    RecordTable &t = session.table();
    t.appendRecord(record(u"p.bmp"_s, u"5"_s, u"101"_s, 2, 2), u"d"_s);     // A agrees
    t.appendRecord(record(u"p.bmp"_s, u"2,5"_s, u"102"_s, 8, 1), u"d"_s);   // B 16,7 % small
    t.appendRecord(record(u"p.bmp"_s, u"3"_s, u"ключ"_s, 3, 1), u"d"_s);   // not painted at all
    t.appendRecord(record(u"p.bmp"_s, u"5"_s, u"103"_s, 7, 4), u"d"_s);     // C: typed in for A
    t.appendRecord(record(u"p.bmp"_s, u"0,75"_s, u"104"_s, 11, 4), u"d"_s); // D, covered by ...
    t.appendRecord(record(u"p.bmp"_s, u"0,8"_s, u"105"_s, 10, 4), u"d"_s);  // ... this one
    t.appendRecord(record(u"p.bmp"_s, u"один"_s, u"106"_s, 2, 6), u"d"_s);  // F
    t.appendRecord(record(u"p.bmp"_s, u"1"_s, u"107"_s, 30, 3), u"d"_s);    // outside
    t.appendRecord(record(u"q.bmp"_s, u"1"_s, u"108"_s, 8, 6), u"d"_s);     // no scale
}

} // namespace

class TestRoomAreas : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void measuredAreaIsRounded_data()
    {
        QTest::addColumn<qint64>("pixels");
        QTest::addColumn<double>("metresPerPixel");
        QTest::addColumn<double>("area");
        QTest::newRow("whole") << qint64(20) << 0.5 << 5.0;
        QTest::newRow("half a hundredth rounds up") << qint64(3) << 0.05 << 0.01;
        QTest::newRow("a quarter of a hundredth is nothing") << qint64(1) << 0.05 << 0.0;
        QTest::newRow("a large plan") << qint64(35'000'000) << 0.01 << 3500.0;
    }
    void measuredAreaIsRounded()
    {
        QFETCH(qint64, pixels);
        QFETCH(double, metresPerPixel);
        QFETCH(double, area);
        QCOMPARE(RoomAreas::measuredArea(pixels, metresPerPixel), area);
    }

    void scaleLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<double>("scale"); // 0: the line is skipped
        QTest::addColumn<QDate>("date");
        QTest::addColumn<double>("tolerance");
        const QDate d(2026, 12, 8);
        QTest::newRow("as written") << "p.bmp;0,0125;08.12.2026;7,5;\r\n"_ba << 0.0125 << d << 7.5;
        QTest::newRow("point, bare LF") << "p.bmp;0.02;08.12.2026;5\n"_ba << 0.02 << d << 5.0;
        QTest::newRow("no date, no tolerance") << "p.bmp;1"_ba << 1.0 << QDate() << 10.0;
        QTest::newRow("tolerance out of range") << "p.bmp;1;;-1"_ba << 1.0 << QDate() << 10.0;
        QTest::newRow("zero scale") << "p.bmp;0;08.12.2026;5"_ba << 0.0 << QDate() << 10.0;
        QTest::newRow("negative scale") << "p.bmp;-0,5;08.12.2026;5"_ba << 0.0 << QDate() << 10.0;
        QTest::newRow("not a number") << "p.bmp;1e999;;"_ba << 0.0 << QDate() << 10.0;
        QTest::newRow("a path, not a plan id") << "../p.bmp;1;;"_ba << 0.0 << QDate() << 10.0;
        QTest::newRow("too large for its areas") << "p.bmp;1e200;;"_ba << 0.0 << QDate() << 10.0;
        QTest::newRow("too small to be written") << "p.bmp;1e-13;;"_ba << 0.0 << QDate() << 10.0;
        QTest::newRow("the smallest kept") << "p.bmp;0,000001;;"_ba << 1e-6 << QDate() << 10.0;
    }
    void scaleLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(double, scale);
        QFETCH(QDate, date);
        QFETCH(double, tolerance);
        const PlanScales scales = PlanScales::parse(line);
        const auto found = scales.scale(u"p.bmp"_s);
        QCOMPARE(found.has_value(), scale > 0);
        if (found) {
            QCOMPARE(found->metresPerPixel, scale);
            QCOMPARE(found->date, date);
        }
        QCOMPARE(scales.planIds().size(), scale > 0 ? 1 : 0);
        QCOMPARE(scales.tolerance(), tolerance);
    }

    void scaleFileRoundTrips()
    {
        PlanScales scales;
        // A small scale must not be written in exponent form, which older readers misread.
        scales.setScale(u"этаж 1.bmp"_s, {0.000123456789, QDate(2026, 1, 2)});
        scales.setScale(u"b.bmp"_s, {0.05, QDate(2026, 12, 8)});
        scales.setScale(u"unused.bmp"_s, {1, QDate(2026, 12, 8)});
        scales.setTolerance(12.5);
        const QByteArray bytes = scales.build({u"этаж 1.bmp"_s, u"b.bmp"_s, u"none.bmp"_s});
        QCOMPARE(bytes, Cp1251::fromUnicode(u"этаж 1.bmp;0,000123456789;02.01.2026;12,5;\r\n"
                                            u"b.bmp;0,05;08.12.2026;12,5;\r\n"));
        PlanScales expected = scales;
        expected.removeScale(u"unused.bmp"_s);
        QCOMPARE(PlanScales::parse(bytes), expected);
        for (const double refused : {0.0, 5e-13, 1e200, qQNaN(), qInf()})
            QVERIFY_THROWS_EXCEPTION(MetrolaError, scales.setScale(u"b.bmp"_s, {refused, {}}));
        try {
            scales.setScale(u"b.bmp"_s, {1e200, {}});
        } catch (const MetrolaError &error) {
            QCOMPARE(error.message(), u"Масштаб должен быть от 0,000001 до 50 м на пиксель: 1e+200."_s);
        }
        QVERIFY_THROWS_EXCEPTION(MetrolaError, scales.setTolerance(qQNaN()));
    }

    void typedAreasAgainstThePlan_data()
    {
        QTest::addColumn<double>("tolerance");
        QTest::addColumn<QList<int>>("statuses");
        QTest::newRow("10 %") << 10.0
            << QList<int>{int(Status::Agrees), int(Status::TypedSmaller), int(Status::NotMeasured),
                          int(Status::TypedLarger), int(Status::NotMeasured), int(Status::Agrees),
                          int(Status::TypedNotNumber), int(Status::NotMeasured)};
        QTest::newRow("20 %") << 20.0
            << QList<int>{int(Status::Agrees), int(Status::Agrees), int(Status::NotMeasured),
                          int(Status::TypedLarger), int(Status::NotMeasured), int(Status::Agrees),
                          int(Status::TypedNotNumber), int(Status::NotMeasured)};
        QTest::newRow("0 %") << 0.0
            << QList<int>{int(Status::Agrees), int(Status::TypedSmaller), int(Status::NotMeasured),
                          int(Status::TypedLarger), int(Status::NotMeasured), int(Status::TypedLarger),
                          int(Status::TypedNotNumber), int(Status::NotMeasured)};
    }
    void typedAreasAgainstThePlan()
    {
        QFETCH(double, tolerance);
        QFETCH(QList<int>, statuses);
        QTemporaryDir dir;
        const QString work = dir.path() + u'/';
        QVERIFY(plan().save(work + u"p.bmp"_s, "BMP"));
        ProjectSession session(work);
        fill(session);
        session.scales().setScale(u"p.bmp"_s, {kScale, QDate(2026, 12, 8)});
        session.scales().setTolerance(tolerance);

        const std::vector<RoomAreaCheck> checks = session.checkAreas();
        QCOMPARE(int(checks.size()), 8);
        QList<int> found;
        for (const RoomAreaCheck &c : checks)
            found << int(c.status);
        QCOMPARE(found, statuses);
        const std::vector<std::optional<double>> measured = {5.0, 3.0, {}, 0.5, {}, 0.75, 1.0, {}};
        for (size_t i = 0; i < checks.size(); ++i) {
            QCOMPARE(checks[i].row, int(i) + 1);
            QCOMPARE(checks[i].measured, measured[i]);
            QCOMPARE(checks[i].reason.isEmpty(), checks[i].measured.has_value());
        }
        QCOMPARE(*checks[1].percent, (2.5 - 3.0) / 3.0 * 100);
        QCOMPARE(*checks[3].percent, 900.0);
        QVERIFY(checks[4].reason.contains(u"другой комнаты"_s));
        QVERIFY(checks[7].reason.contains(u"вне плана"_s));
    }

    // The typed area is held against the measured area as shown, and the tolerance against the
    // difference as shown: no mismatch reads "0 %".
    void comparesTheAreasAsShown_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("tolerance");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("percent");
        // Room A has 20 pixels, which at this scale measure 97,02 m² up to the last bits.
        const double s = std::sqrt(97.02 / 20);
        QTest::newRow("typed as shown, no tolerance") << s << u"97,02"_s << 0.0 << int(Status::Agrees) << u"0"_s;
        QTest::newRow("a hundredth off") << s << u"97,03"_s << 0.0 << int(Status::Agrees) << u"0"_s;
        QTest::newRow("a tenth of a percent off") << s << u"97,12"_s << 0.0 << int(Status::TypedLarger) << u"+0,1"_s;
        QTest::newRow("within the tolerance") << s << u"97,12"_s << 0.1 << int(Status::Agrees) << u"+0,1"_s;
        QTest::newRow("a room that rounds to nothing") << 0.001 << u"0"_s << 0.0 << int(Status::NotMeasured) << QString();
    }
    void comparesTheAreasAsShown()
    {
        QFETCH(double, scale);
        QFETCH(QString, typed);
        QFETCH(double, tolerance);
        QFETCH(int, status);
        QFETCH(QString, percent);
        QTemporaryDir dir;
        const QString work = dir.path() + u'/';
        QVERIFY(plan().save(work + u"p.bmp"_s, "BMP"));
        ProjectSession session(work);
        session.table().appendRecord(record(u"p.bmp"_s, typed, u"101"_s, 2, 2), u"d"_s);
        session.scales().setScale(u"p.bmp"_s, {scale, QDate(2026, 12, 8)});
        session.scales().setTolerance(tolerance);
        const std::vector<RoomAreaCheck> checks = session.checkAreas();
        QCOMPARE(int(checks[0].status), status);
        QCOMPARE(checks[0].percent ? RoomAreaCheck::percentText(*checks[0].percent) : QString(), percent);
        if (status == int(Status::NotMeasured))
            QCOMPARE(checks[0].reason, u"комната на плане меньше 0,01 м²"_s);
        else
            QCOMPARE(checks[0].measured, 97.02);
    }

    void thePlanShownIsMeasuredByItsFirstRepaint()
    {
        QTemporaryDir dir;
        const QString work = dir.path() + u'/';
        QVERIFY(plan().save(work + u"p.bmp"_s, "BMP"));
        ProjectSession session(work);
        session.table().appendRecord(record(u"p.bmp"_s, u"5"_s, u"101"_s, 2, 2), u"d"_s);
        session.table().appendRecord(record(u"p.bmp"_s, u"3"_s, u"102"_s, 8, 1), u"d"_s);
        // Keyed white, the colour of every unmarked floor: no room, and no part of the repaint.
        session.table().appendRecord(record(u"p.bmp"_s, u"1"_s, u"16777215"_s, 2, 6), u"d"_s);
        session.scales().setScale(u"p.bmp"_s, {kScale, QDate(2026, 12, 8)});
        session.showPlanFile(work + u"p.bmp"_s, u"p.bmp"_s);
        session.repaintPlanRooms();
        session.repaintPlanRooms(); // finds every room painted, and must not count that
        auto checks = session.checkAreas();
        QCOMPARE(session.roomAreas().fileMeasurements(), 0);
        QCOMPARE(checks.size(), size_t(3));
        QCOMPARE(checks[0].measured, 5.0);
        QCOMPARE(checks[1].measured, 3.0);
        QCOMPARE(checks[2].status, Status::NotMeasured);

        // A new room is not in that measurement, so the plan is measured again from its file.
        session.table().appendRecord(record(u"p.bmp"_s, u"1"_s, u"103"_s, 2, 6), u"d"_s);
        checks = session.checkAreas();
        QCOMPARE(session.roomAreas().fileMeasurements(), 1);
        QCOMPARE(checks.size(), size_t(4));
        QCOMPARE(checks[3].measured, 1.0);
        session.checkAreas();
        QCOMPARE(session.roomAreas().fileMeasurements(), 1);

        // A room painted before the first repaint makes that repaint no measurement; a plan
        // that cannot be read leaves every room unmeasured, with the reason.
        session.showPlanFile(work + u"p.bmp"_s, u"p.bmp"_s);
        session.planImage().setPixel(2, 6, ColourKey::toRgb(103));
        session.roomAreas().clear();
        session.repaintPlanRooms();
        QVERIFY(QFile::remove(work + u"p.bmp"_s));
        checks = session.checkAreas();
        for (const RoomAreaCheck &c : checks) {
            QCOMPARE(c.status, Status::NotMeasured);
            QCOMPARE(c.reason.startsWith(u"план не читается"_s), c.row != 3);
        }
    }

    // Plans loaded from their files are measured off the caller's thread; the check the runner
    // then gives equals the one made at once, and a measurement begun for a project closed
    // meanwhile is not kept.
    void measuresInTheBackground()
    {
        QTemporaryDir dir;
        const QString work = dir.path() + u'/';
        QVERIFY(plan().save(work + u"p.bmp"_s, "BMP"));
        ProjectSession session(work);
        fill(session);
        session.scales().setScale(u"p.bmp"_s, {kScale, QDate(2026, 12, 8)});
        AreaCheckRunner runner(session);
        QSignalSpy finished(&runner, &AreaCheckRunner::finished);
        QSignalSpy progress(&runner, &AreaCheckRunner::progress);

        QVERIFY(!runner.request());
        QVERIFY(runner.isBusy());
        QVERIFY(!runner.request()); // one run at a time
        session.roomAreas().clear();
        QVERIFY(finished.wait(10000));
        QCOMPARE(session.roomAreas().fileMeasurements(), 0);
        QCOMPARE(progress.size(), 1);
        QCOMPARE(progress[0][2].toString(), u"p.bmp"_s);

        QVERIFY(!runner.request());
        QVERIFY(finished.wait(10000));
        QVERIFY(runner.request());
        QCOMPARE(session.roomAreas().fileMeasurements(), 1);
        const std::vector<RoomAreaCheck> background = runner.checks();
        session.roomAreas().clear();
        const std::vector<RoomAreaCheck> direct = session.checkAreas();
        QCOMPARE(background.size(), direct.size());
        for (size_t i = 0; i < direct.size(); ++i) {
            QCOMPARE(background[i].measured, direct[i].measured);
            QCOMPARE(background[i].status, direct[i].status);
        }

        // A new room makes the plan stale again; the area of an old one does not.
        session.table().setCell(RecordTable::Area, 1, u"6"_s);
        QVERIFY(runner.request());
        session.table().appendRecord(record(u"p.bmp"_s, u"1"_s, u"109"_s, 12, 6), u"d"_s);
        QVERIFY(!runner.request());
        runner.wait();
        QVERIFY(runner.request());
        QCOMPARE(runner.checks().back().measured, 1.75);
    }
};

QTEST_GUILESS_MAIN(TestRoomAreas)
#include "tst_roomareas.moc"
