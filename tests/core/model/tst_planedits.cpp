// Lines drawn into a plan and proposed rooms accepted with them, as steps taken back whole.
#include "core/base/metrolaerror.h"
#include "core/base/numbertext.h"
#include "core/model/planedits.h"
#include "core/model/projectsession.h"
#include "core/model/roomacceptance.h"
#include "core/model/roomareas.h"
#include "core/plan/planimage.h"
#include "core/rooms/roomproposals.h"
#include "wallplan.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A prepared plan of two rooms, walls 6 points thick, with a door 40 points wide between them.
QImage twoRooms()
{
    return WallPlan::draw({300, 200}, {QRect(20, 20, 260, 6), QRect(20, 174, 260, 6), QRect(20, 20, 6, 160),
                                       QRect(274, 20, 6, 160), QRect(147, 26, 6, 54), QRect(147, 120, 6, 54)});
}

RecordTable::Row record(const QString &plan, const QString &name, quint32 key)
{
    RecordTable::Row row;
    row[RecordTable::PlanId] = plan;
    row[RecordTable::Name] = name;
    row[RecordTable::ColourKey] = QString::number(key);
    row[RecordTable::LabelX] = u"1"_s;
    row[RecordTable::LabelY] = u"1"_s;
    return row;
}

// A project whose plan the user added from another folder, with one record on another plan.
struct Project
{
    QTemporaryDir work, user;
    ProjectSession session{work.path() + u'/'};
    QString userFile = user.filePath(u"этаж.bmp"_s);
    QByteArray userBytes;

    Project()
    {
        PlanImage::saveBmp(twoRooms(), userFile);
        userBytes = readAll(userFile);
        session.table().appendRecord(record(u"другой.bmp"_s, u"Помещение 1"_s, 100), std::nullopt);
        session.planPaths().addPlanFile(userFile);
        session.plans().add(u"этаж.bmp"_s);
        session.showPlanFile(userFile, u"этаж.bmp"_s);
    }
    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QImage stored() const { return PlanImage::loadBmp(work.filePath(u"этаж.bmp"_s)); }
};

} // namespace

class TestPlanEdits : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Accepted rooms are numbered on after the highest number in use, never into the gaps
    // that removed records left.
    void acceptedRoomsNumberOnAfterTheHighest_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("none yet") << QStringList{u"Зал"_s} << QStringList{u"Помещение 1"_s, u"Помещение 2"_s};
        QTest::newRow("gaps left by removed records")
            << QStringList{u"Помещение 1"_s, u"Помещение 10"_s, u"Помещение 4"_s}
            << QStringList{u"Помещение 11"_s, u"Помещение 12"_s};
        QTest::newRow("other names and blanks")
            << QStringList{u" Помещение 3 "_s, u"Помещение 7а"_s, u"Помещение -9"_s, u"Помещение"_s}
            << QStringList{u"Помещение 4"_s, u"Помещение 5"_s};
    }
    void acceptedRoomsNumberOnAfterTheHighest()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, expected);
        QTemporaryDir work;
        ProjectSession session(work.path() + u'/');
        quint32 key = 100;
        for (const QString &name : names)
            session.table().appendRecord(record(u"p.bmp"_s, name, key++), std::nullopt);
        const std::vector<QString> got = RoomAcceptance::freeNames(session, 2);
        QCOMPARE(QStringList(got.begin(), got.end()), expected);
    }

    void acceptedRoomsAreOneStep_data();
    void acceptedRoomsAreOneStep();
    void undoWaitsForLaterRecords();
};

void TestPlanEdits::acceptedRoomsAreOneStep_data()
{
    QTest::addColumn<double>("metresPerPixel");
    QTest::newRow("no scale") << 0.0;
    QTest::newRow("5 cm a point") << 0.05;
}

void TestPlanEdits::acceptedRoomsAreOneStep()
{
    QFETCH(double, metresPerPixel);
    Project p;
    if (metresPerPixel > 0)
        p.session.scales().setScale(u"этаж.bmp"_s, {metresPerPixel, QDate(2026, 12, 9)});
    const RoomProposals proposals(p.session.planImage(), {});
    QCOMPARE(int(proposals.rooms().size()), 2);

    PlanEdits edits;
    edits.drawLines(p.session, proposals.lines(), u"2 помещения"_s);
    const std::vector<quint32> keys = RoomAcceptance::acceptAll(p.session, proposals.rooms());
    edits.addKeys(keys);
    QCOMPARE(int(keys.size()), 2);
    const RecordTable &table = p.session.table();
    QCOMPARE(table.recordCount(), 3);
    for (int i = 0; i < 2; ++i) {
        const int row = 2 + i;
        // "Помещение 1" is taken by the other plan's record.
        QCOMPARE(table.cellText(RecordTable::Name, row), u"Помещение %1"_s.arg(i + 2));
        QCOMPARE(table.cellText(RecordTable::Tenant, row), QString());
        const QString area = metresPerPixel > 0 ? NumberText::format(RoomAreas::measuredArea(
                                                      proposals.rooms()[size_t(i)].pixels, metresPerPixel))
                                                : QString();
        QCOMPARE(table.cellText(RecordTable::Area, row), area);
    }
    // The line is in the plan's working copy; the user's own file is untouched.
    QCOMPARE(p.stored().pixel(150, 100), qRgb(0, 0, 0));
    QCOMPARE(Project::readAll(p.userFile), p.userBytes);
    QVERIFY(RoomProposals(p.session.planImage(), {}).isEmpty());

    edits.undo(p.session);
    QCOMPARE(table.recordCount(), 1);
    QCOMPARE(p.stored(), twoRooms());
    QCOMPARE(p.session.planImage(), twoRooms());
    QVERIFY(!edits.canUndo());
}

void TestPlanEdits::undoWaitsForLaterRecords()
{
    Project p;
    const RoomProposals proposals(p.session.planImage(), {});
    PlanEdits edits;
    edits.drawLines(p.session, proposals.lines(), u"помещения"_s);
    edits.addKeys(RoomAcceptance::acceptAll(p.session, proposals.rooms()));
    p.session.table().appendRecord(record(u"этаж.bmp"_s, u"позже"_s, 200), std::nullopt);
    QVERIFY_THROWS_EXCEPTION(MetrolaError, edits.undo(p.session));
    QCOMPARE(p.session.table().recordCount(), 4);
    QCOMPARE(p.stored().pixel(150, 100), qRgb(0, 0, 0));
    // A record of the step removed by hand is no obstacle.
    p.session.table().removeLastRecord();
    p.session.table().removeLastRecord();
    edits.undo(p.session);
    QCOMPARE(p.session.table().recordCount(), 1);
    QCOMPARE(p.stored(), twoRooms());
}

QTEST_MAIN(TestPlanEdits)
#include "tst_planedits.moc"
