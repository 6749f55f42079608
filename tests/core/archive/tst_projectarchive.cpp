#include "core/archive/projectarchive.h"
#include "core/archive/zipreader.h"
#include "core/archive/zipwriter.h"
#include "core/base/metrolaerror.h"
#include "core/model/descriptionfile.h"
#include "core/model/planscales.h"
#include "core/model/projectsession.h"
#include "core/model/roomflags.h"
#include "core/plan/colourkey.h"
#include "core/reports/areaschedule.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A plan of two rooms side by side:
//   +-----+-----+
//   |  A  |  B  |
//   +-----+-----+
QImage twoRooms()
{
    QImage plan(41, 21, QImage::Format_RGB32);
    plan.fill(Qt::white);
    for (int x = 0; x < 41; ++x) {
        plan.setPixel(x, 0, qRgb(0, 0, 0));
        plan.setPixel(x, 20, qRgb(0, 0, 0));
    }
    for (int y = 0; y < 21; ++y) {
        for (int x : {0, 20, 40})
            plan.setPixel(x, y, qRgb(0, 0, 0));
    }
    return plan;
}

void savePlan(const QString &path)
{
    QVERIFY(twoRooms().save(path, "BMP"));
}

RecordTable::Row record(const QString &plan, quint32 key, int x)
{
    return {plan, u"Зал"_s, u"торг"_s, u"12,5"_s, u"А-01"_s, QString(), QString::number(key), QString::number(x), u"10"_s};
}


} // namespace

class TestProjectArchive : public QObject
{
    Q_OBJECT

    ProjectArchive::OpenOptions options(bool replace = true)
    {
        ProjectArchive::OpenOptions o;
        o.askReplace = [replace](const QString &) { return replace; };
        return o;
    }

private Q_SLOTS:
    void saveAndOpenGiveTheSameProject()
    {
        QTemporaryDir work;
        QTemporaryDir elsewhere;
        const QString dir = work.path() + u'/';
        savePlan(dir + u"b.bmp"_s);
        savePlan(elsewhere.path() + u"/a.bmp"_s); // added from another folder
        ProjectSession session(dir);
        session.planPaths().addPlanFile(elsewhere.path() + u"/a.bmp"_s);
        session.table().appendRecord(record(u"b.bmp"_s, 9502718, 10), u"07.12.2026"_s);
        session.table().appendRecord(record(u"a.bmp"_s, 9502717, 10), u"07.12.2026"_s);
        session.table().appendRecord(record(u"b.bmp"_s, 9502716, 30), u"08.12.2026"_s);
        session.captions()[Captions::Unit] = u"кв.м"_s;
        const QString archive = elsewhere.path() + u"/проект.zip"_s;
        QCOMPARE(ProjectArchive::save(session, archive), 3);
        QVERIFY(!session.modified());
        const QByteArray csv = readFile(dir + DescriptionFile::fileName());

        ZipReader reader(archive);
        QCOMPARE(reader.memberNames(), (QStringList{u"b.bmp"_s, u"a.bmp"_s, u"metrola.csv"_s}));

        QTemporaryDir other;
        ProjectSession opened(other.path() + u'/');
        QCOMPARE(ProjectArchive::open(opened, archive, options()), ProjectArchive::OpenResult::Opened);
        QCOMPARE(readFile(other.path() + u"/metrola.csv"_s), csv);
        QCOMPARE(opened.table().tableRows(), session.table().tableRows());
        for (int r = 1; r < session.table().tableRows(); ++r)
            QCOMPARE(opened.table().row(r), session.table().row(r));
        QCOMPARE(opened.captions(), session.captions());
        QCOMPARE(opened.plans().names(), (QStringList{u"b.bmp"_s, u"a.bmp"_s}));
        QCOMPARE(opened.currentPlan(), u"b.bmp"_s);
        QCOMPARE(opened.lastArchive, archive);
        QCOMPARE(opened.extractedFiles, (QSet<QString>{u"a.bmp"_s, u"b.bmp"_s}));
        // The rooms of the first plan are painted in their keys.
        QCOMPARE(opened.planImage().pixel(10, 10), ColourKey::toRgb(9502718));
        QCOMPARE(opened.planImage().pixel(30, 10), ColourKey::toRgb(9502716));
    }

    // After the first save of a new project its reports bear the archive's name, not "Новый
    // проект" (the PDF) or none at all (the workbook) until the archive is opened again.
    void reportsAreNamedAfterTheFirstSave()
    {
        QTemporaryDir work;
        const QString dir = work.path() + u'/';
        savePlan(dir + u"b.bmp"_s);
        ProjectSession session(dir);
        session.showPlanFile(dir + u"b.bmp"_s, u"b.bmp"_s);
        session.plans().add(u"b.bmp"_s);
        session.table().appendRecord(record(u"b.bmp"_s, 9502718, 10), u"07.12.2026"_s);
        const QString archive = dir + u"корпус А.zip"_s;
        QCOMPARE(ProjectArchive::save(session, archive), 2);
        QCOMPARE(session.reportArchive(), archive);
        // The PDF's title block takes the same name.
        QCOMPARE(AreaSchedule::workbook(session, false).front().title(), u"Размеркация корпус А.zip"_s);
    }

    void scalesTravelWithTheArchive()
    {
        QTemporaryDir work;
        const QString dir = work.path() + u'/';
        savePlan(dir + u"a.bmp"_s);
        savePlan(dir + u"b.bmp"_s);
        ProjectSession session(dir);
        session.table().appendRecord(record(u"b.bmp"_s, 9502718, 10), u"d"_s);
        session.table().appendRecord(record(u"a.bmp"_s, 9502717, 10), u"d"_s);
        session.scales().setScale(u"b.bmp"_s, {0.1, QDate(2026, 12, 8)});
        session.scales().setScale(u"gone.bmp"_s, {1, QDate(2026, 12, 8)}); // no record left
        session.scales().setTolerance(7.5);
        const QString archive = work.path() + u"/s.zip"_s;
        QCOMPARE(ProjectArchive::save(session, archive), 4);
        QCOMPARE(ZipReader(archive).memberNames(),
                 (QStringList{u"b.bmp"_s, u"a.bmp"_s, u"metrola-scale.csv"_s, u"metrola.csv"_s}));

        // Another project's scale file waits in the folder; it must not be read as this one's.
        QTemporaryDir other;
        const QString otherDir = other.path() + u'/';
        QFile stale(otherDir + PlanScales::fileName());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("a.bmp;9;01.01.2020;50\r\n");
        stale.close();
        ProjectSession opened(otherDir);
        QCOMPARE(ProjectArchive::open(opened, archive, options(false)), ProjectArchive::OpenResult::Opened);
        QCOMPARE(opened.scales().planIds(), QStringList{u"b.bmp"_s});
        QCOMPARE(opened.scales().scale(u"b.bmp"_s)->metresPerPixel, 0.1);
        QCOMPARE(opened.scales().scale(u"b.bmp"_s)->date, QDate(2026, 12, 8));
        QCOMPARE(opened.scales().tolerance(), 7.5);
        QVERIFY(!opened.modified());
        // The room inside the walls is 19 x 19 pixels of 0,1 m.
        const auto checks = opened.checkAreas();
        QCOMPARE(checks.size(), size_t(1));
        QCOMPARE(checks[0].measured, 3.61);
        QVERIFY(checks[0].mismatch());

        // Without scales the archive is what it always was, and opening it drops old scales.
        opened.scales().removeScale(u"b.bmp"_s);
        const QString plain = other.path() + u"/plain.zip"_s;
        QCOMPARE(ProjectArchive::save(opened, plain), 3);
        QCOMPARE(ZipReader(plain).memberNames(), (QStringList{u"b.bmp"_s, u"a.bmp"_s, u"metrola.csv"_s}));
        QVERIFY(!QFile::exists(otherDir + PlanScales::fileName()));
        QCOMPARE(ProjectArchive::open(session, plain, options()), ProjectArchive::OpenResult::Opened);
        QVERIFY(session.scales().isEmpty());
        QCOMPARE(session.scales().tolerance(), PlanScales::kDefaultTolerance);

        ProjectArchive::open(opened, archive, options());
        QVERIFY(QFile::exists(otherDir + PlanScales::fileName()));
        opened.removeWorkingFiles(QString());
        QVERIFY(!QFile::exists(otherDir + PlanScales::fileName()));
    }

    void roomFlagsTravelWithTheArchive()
    {
        QTemporaryDir work;
        const QString dir = work.path() + u'/';
        savePlan(dir + u"a.bmp"_s);
        ProjectSession session(dir);
        session.table().appendRecord(record(u"a.bmp"_s, 9502718, 10), u"d"_s);
        session.table().appendRecord(record(u"a.bmp"_s, 9502717, 30), u"d"_s);
        session.roomFlags().setCommon(9502717, true);
        session.roomFlags().setCommon(9502716, true); // a room undone since: no record
        const QString archive = work.path() + u"/f.zip"_s;
        QCOMPARE(ProjectArchive::save(session, archive), 3);
        QCOMPARE(ZipReader(archive).memberNames(), (QStringList{u"a.bmp"_s, u"metrola-rooms.csv"_s, u"metrola.csv"_s}));
        QCOMPARE(readFile(dir + RoomFlags::fileName()), QByteArray("9502717;\xcc\xce\xcf;\r\n"));
        QCOMPARE(session.roomFlags().keys(), QList<quint32>{9502717});

        // Another project's flags wait in the folder; an archive without the member must not
        // take them, nor write any.
        QTemporaryDir other;
        const QString otherDir = other.path() + u'/';
        ProjectSession plain(otherDir);
        savePlan(otherDir + u"a.bmp"_s);
        plain.table().appendRecord(record(u"a.bmp"_s, 9502718, 10), u"d"_s);
        const QString plainArchive = otherDir + u"plain.zip"_s;
        ProjectArchive::save(plain, plainArchive);
        QCOMPARE(ZipReader(plainArchive).memberNames(), (QStringList{u"a.bmp"_s, u"metrola.csv"_s}));
        ProjectSession opened(dir);
        QCOMPARE(ProjectArchive::open(opened, plainArchive, options()), ProjectArchive::OpenResult::Opened);
        QVERIFY(!opened.roomFlags().isDecided());

        QCOMPARE(ProjectArchive::open(opened, archive, options()), ProjectArchive::OpenResult::Opened);
        QVERIFY(opened.roomFlags().isDecided());
        QVERIFY(opened.roomFlags().isCommon(9502717));
        QVERIFY(!opened.roomFlags().isCommon(9502718));
        // Clearing the last flag still writes the (empty) member: the project has decided.
        opened.roomFlags().setCommon(9502717, false);
        QCOMPARE(ProjectArchive::save(opened, archive), 3);
        QCOMPARE(ZipReader(archive).memberSize(RoomFlags::fileName()), 0);
        opened.removeWorkingFiles(QString());
        QVERIFY(!QFile::exists(dir + RoomFlags::fileName()));
    }

    void savingOverTheSourceArchive()
    {
        QTemporaryDir work;
        const QString dir = work.path() + u'/';
        savePlan(dir + u"p.bmp"_s);
        ProjectSession session(dir);
        session.table().appendRecord(record(u"p.bmp"_s, 100, 10), u"d"_s);
        const QString archive = work.path() + u"/x.zip"_s;
        ProjectArchive::save(session, archive);
        QCOMPARE(ProjectArchive::open(session, archive, options()), ProjectArchive::OpenResult::Opened);
        session.table().appendRecord(record(u"p.bmp"_s, 99, 30), u"d"_s);
        QCOMPARE(ProjectArchive::save(session, archive), 2);
        ProjectSession again(dir);
        QCOMPARE(ProjectArchive::open(again, archive, options()), ProjectArchive::OpenResult::Opened);
        QCOMPARE(again.table().recordCount(), 2);
        QCOMPARE(QDir(dir).entryList({u"*.zip*"_s}, QDir::Files), QStringList{u"x.zip"_s});
    }

    void openingResults_data()
    {
        QTest::addColumn<QString>("csv");
        QTest::addColumn<bool>("withPlan");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<bool>("planInFolder");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("asked");
        const QString oneRecord = u"c;\r\nh;\r\np.bmp;n;торг;1;t;;5;10;10;\r\n;;;;;;;;;\r\n"_s;
        const QStringList none;
        const QStringList plan{u"p.bmp"_s};
        const int opened = int(ProjectArchive::OpenResult::Opened);
        const int noDescription = int(ProjectArchive::OpenResult::NoDescription);
        const int noPlans = int(ProjectArchive::OpenResult::NoPlans);
        QTest::newRow("opened") << oneRecord << true << true << false << opened << none;
        QTest::newRow("no description") << QString() << true << true << false << noDescription << none;
        // The description in the folder is the program's own copy: replaced unasked even when
        // every question would be answered No.
        QTest::newRow("description replaced unasked") << oneRecord << true << false << false << opened << none;
        QTest::newRow("plan replaced") << oneRecord << true << true << true << opened << plan;
        QTest::newRow("plan kept") << oneRecord << true << false << true << opened << plan;
        QTest::newRow("no records") << u"c;\r\nh;\r\n;;;;;;;;;\r\n"_s << true << true << false << noPlans << none;
        QTest::newRow("plan missing") << oneRecord << false << true << false << noPlans << none;
        // A file of the plan's name that the archive does not hold is no copy of its plan.
        QTest::newRow("plan missing, stale file") << oneRecord << false << false << true << noPlans << none;
    }
    void openingResults()
    {
        QFETCH(QString, csv);
        QFETCH(bool, withPlan);
        QFETCH(bool, replace);
        QFETCH(bool, planInFolder);
        QFETCH(int, result);
        QFETCH(QStringList, asked);
        QTemporaryDir work;
        const QString archive = work.path() + u"/a.zip"_s;
        ZipWriter writer(archive);
        if (withPlan) {
            QByteArray bmp;
            {
                QTemporaryDir t;
                savePlan(t.path() + u"/p.bmp"_s);
                bmp = readFile(t.path() + u"/p.bmp"_s);
            }
            writer.addMember(u"p.bmp"_s, bmp);
        }
        if (!csv.isEmpty())
            writer.addMember(u"metrola.csv"_s, csv.toUtf8());
        writer.addMember(u"readme.txt"_s, "x");
        writer.write();
        QTemporaryDir program;
        const QString dir = program.path() + u'/';
        // An earlier project's description waits in the folder, and perhaps a plan of the same
        // name: a 1 x 1 bitmap, told apart from the archive's by its size.
        QFile old(dir + u"metrola.csv"_s);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old;\r\nh;\r\nkeep.bmp;n;торг;1;t;;7;1;1;\r\n;;;;;;;;;\r\n");
        old.close();
        if (planInFolder) {
            QImage edited(1, 1, QImage::Format_RGB32);
            edited.fill(Qt::white);
            QVERIFY(edited.save(dir + u"p.bmp"_s, "BMP"));
        }
        ProjectSession session(dir);
        session.table().appendRecord(record(u"keep.bmp"_s, 7, 1), u"d"_s);
        QStringList questions;
        ProjectArchive::OpenOptions o;
        o.askReplace = [&](const QString &name) {
            questions.append(name);
            return replace;
        };
        QCOMPARE(int(ProjectArchive::open(session, archive, o)), result);
        QCOMPARE(questions, asked);
        QCOMPARE(session.lastArchive, archive);
        if (planInFolder && withPlan)
            QCOMPARE(QImage(dir + u"p.bmp"_s).width(), replace ? twoRooms().width() : 1);
        if (result == int(ProjectArchive::OpenResult::NoDescription))
            QCOMPARE(session.table().cellText(RecordTable::PlanId, 1), u"keep.bmp"_s);
        if (result == int(ProjectArchive::OpenResult::Opened))
            QCOMPARE(session.currentPlan(), u"p.bmp"_s);
    }

    void refusedDescriptionChangesNothing()
    {
        QTemporaryDir work;
        const QString archive = work.path() + u"/a.zip"_s;
        ZipWriter writer(archive);
        writer.addMember(u"metrola.csv"_s, "c;\r\nh;\r\n../../etc/passwd;n;t;;;;5;1;1;\r\n;;;;;;;;;\r\n");
        writer.write();
        QTemporaryDir program;
        ProjectSession session(program.path() + u'/');
        session.table().appendRecord(record(u"keep.bmp"_s, 7, 1), u"d"_s);
        QVERIFY_THROWS_EXCEPTION(MetrolaError, ProjectArchive::open(session, archive, options()));
        QCOMPARE(session.table().recordCount(), 1);
        QCOMPARE(session.table().cellText(RecordTable::PlanId, 1), u"keep.bmp"_s);
    }

    void unreadableArchiveFails()
    {
        QTemporaryDir work;
        ProjectSession session(work.path() + u'/');
        QVERIFY_THROWS_EXCEPTION(MetrolaError, ProjectArchive::open(session, work.path() + u"/none.zip"_s, options()));
        QCOMPARE(session.lastArchive, work.path() + u"/none.zip"_s);
        QCOMPARE(session.table().tableRows(), 2);
    }

    void failedSaveKeepsTheOldArchive()
    {
        QTemporaryDir work;
        const QString dir = work.path() + u'/';
        ProjectSession session(dir);
        session.table().appendRecord(record(u"gone.bmp"_s, 5, 1), u"d"_s); // its bitmap is missing
        const QString archive = work.path() + u"/keep.zip"_s;
        QFile old(archive);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("previous archive");
        old.close();
        QVERIFY_THROWS_EXCEPTION(MetrolaError, ProjectArchive::save(session, archive));
        QCOMPARE(readFile(archive), QByteArray("previous archive"));
        QStringList left = QDir(dir).entryList(QDir::Files);
        left.sort();
        QCOMPARE(left, (QStringList{u"keep.zip"_s, u"metrola.csv"_s}));
    }
};

QTEST_GUILESS_MAIN(TestProjectArchive)
#include "tst_projectarchive.moc"
