// The project's one history of changes: every kind of change taken back and made again
// exactly, the table's EntryRow dates included, and a history that a change made behind its
// back would corrupt is forgotten instead.
#include "core/base/metrolaerror.h"
#include "core/model/planimport.h"
#include "core/model/projecthistory.h"
#include "core/model/projectsession.h"
#include "core/plan/planimage.h"
#include "core/rooms/closingline.h"
#include "testrecord.h"
#include "wallplan.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

RecordTable::Row record(const QString &name, int key)
{
    return roomRecord({.plan = u"p.bmp"_s, .name = name, .key = QString::number(key)});
}

// Three records, the EntryRow carrying a date of the last new record and of the last edit.
void fill(ProjectSession &session)
{
    RecordTable &table = session.table();
    table.appendRecord(record(u"A"_s, 11), u"01.12.2026"_s);
    table.appendRecord(record(u"B"_s, 12), u"02.12.2026"_s);
    table.appendRecord(record(u"C"_s, 13), u"03.12.2026"_s);
    table.setCell(RecordTable::LabelY, table.entryRow(), u"04.12.2026"_s);
}

std::vector<RecordTable::Row> rowsOf(const RecordTable &table)
{
    return table.rows();
}

} // namespace

class TestProjectHistory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stepsGoBackAndForthExactly_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("record added") << 0;
        QTest::newRow("record edited") << 1;
        QTest::newRow("last record removed") << 2;
        QTest::newRow("records moved") << 3;
        QTest::newRow("all records removed, one added") << 4;
        QTest::newRow("common-area flag") << 5;
        QTest::newRow("scale and tolerance") << 6;
    }
    void stepsGoBackAndForthExactly()
    {
        QFETCH(int, change);
        QTemporaryDir work;
        ProjectSession session(work.path() + u'/');
        fill(session);
        RecordTable &table = session.table();
        const auto rowsBefore = rowsOf(table);
        const RoomFlags flagsBefore = session.roomFlags();
        const PlanScales scalesBefore = session.scales();
        {
            const ProjectHistory::Scope step(session.history(), u"правка"_s);
            switch (change) {
            case 0:
                table.appendRecord(record(u"D"_s, 14), u"09.12.2026"_s);
                break;
            case 1:
                table.updateRecord(2, record(u"B2"_s, 22), u"09.12.2026"_s);
                break;
            case 2:
                table.removeLastRecord();
                break;
            case 3:
                table.swapRows(1, 3);
                table.swapRows(2, 3);
                break;
            case 4:
                while (table.removeLastRecord()) {
                }
                table.appendRecord(record(u"E"_s, 15), u"09.12.2026"_s);
                break;
            case 5:
                session.roomFlags().setCommon(12, true);
                break;
            case 6:
                session.scales().setScale(u"p.bmp"_s, {0.05, QDate(2026, 12, 9)});
                session.scales().setTolerance(5);
                break;
            }
        }
        const auto rowsAfter = rowsOf(table);
        const RoomFlags flagsAfter = session.roomFlags();
        const PlanScales scalesAfter = session.scales();
        QVERIFY(session.history().canUndo());
        QCOMPARE(session.history().undoLabel(), u"правка"_s);

        session.setModified(false);
        session.history().undo();
        QVERIFY(rowsOf(table) == rowsBefore);
        QVERIFY(session.roomFlags() == flagsBefore);
        QVERIFY(session.scales() == scalesBefore);
        QVERIFY(session.modified());
        QVERIFY(!session.history().canUndo());
        // The key lookups follow the rows put back.
        QCOMPARE(table.rowOfColour(13), 3);

        session.history().redo();
        QVERIFY(rowsOf(table) == rowsAfter);
        QVERIFY(session.roomFlags() == flagsAfter);
        QVERIFY(session.scales() == scalesAfter);
        QVERIFY(!session.history().canRedo());
    }

    // One history for the project: steps of different kinds go back in the order they were
    // made, and a new change after an undo ends what could be made again.
    void stepsGoBackLatestFirst()
    {
        QTemporaryDir work;
        ProjectSession session(work.path() + u'/');
        fill(session);
        RecordTable &table = session.table();
        ProjectHistory &history = session.history();
        const auto start = rowsOf(table);
        {
            const ProjectHistory::Scope step(history, u"новая запись"_s);
            table.appendRecord(record(u"D"_s, 14), u"09.12.2026"_s);
        }
        {
            const ProjectHistory::Scope step(history, u"отметка МОП"_s);
            session.roomFlags().setCommon(11, true);
        }
        {
            // Nested scopes make one step.
            const ProjectHistory::Scope outer(history, u"перемещение"_s);
            const ProjectHistory::Scope inner(history, u"внутри"_s);
            table.swapRows(1, 2);
        }
        {
            // A change that changed nothing is no step.
            const ProjectHistory::Scope step(history, u"ничего"_s);
            table.setCell(RecordTable::Name, 1, table.cellText(RecordTable::Name, 1));
        }
        QCOMPARE(history.undoLabel(), u"перемещение"_s);
        history.undo();
        QCOMPARE(history.undoLabel(), u"отметка МОП"_s);
        history.undo();
        QVERIFY(!session.roomFlags().isCommon(11));
        QCOMPARE(table.recordCount(), 4);
        QCOMPARE(history.redoLabel(), u"отметка МОП"_s);
        {
            const ProjectHistory::Scope step(history, u"правка"_s);
            table.setCell(RecordTable::Area, 1, u"10"_s);
        }
        QVERIFY(!history.canRedo());
        history.undo();
        history.undo();
        QVERIFY(rowsOf(table) == start);
        QVERIFY(!history.canUndo());
    }

    // A change of the table that no step recorded moves rows under the steps: the history is
    // forgotten rather than putting back the wrong rows.
    void unrecordedChangeForgetsTheHistory()
    {
        QTemporaryDir work;
        ProjectSession session(work.path() + u'/');
        fill(session);
        {
            const ProjectHistory::Scope step(session.history(), u"новая запись"_s);
            session.table().appendRecord(record(u"D"_s, 14), u"09.12.2026"_s);
        }
        session.table().removeLastRecord();
        const auto rows = rowsOf(session.table());
        session.history().undo();
        QVERIFY(rowsOf(session.table()) == rows);
        QVERIFY(!session.history().canUndo());
    }

    // Pixels written into a plan file go back and forth; a plan the user added from another
    // folder is never written, only its working copy.
    void planPixelsGoBackAndForth()
    {
        QTemporaryDir work, user;
        ProjectSession session(work.path() + u'/');
        const QImage plan = WallPlan::draw({100, 80}, {QRect(10, 10, 80, 4), QRect(10, 66, 80, 4)});
        const QString userFile = user.filePath(u"p.bmp"_s);
        PlanImage::saveBmp(plan, userFile);
        session.planPaths().addPlanFile(userFile);
        session.plans().add(u"p.bmp"_s);
        session.showPlanFile(userFile, u"p.bmp"_s);

        const ClosingLine line{{50, 14}, {50, 65}, 3};
        QImage drawn = plan;
        ClosingLine::draw(drawn, std::vector<ClosingLine>{line});
        const QRect box = line.bounds().intersected(plan.rect());
        {
            const ProjectHistory::Scope step(session.history(), u"стена"_s);
            session.showPlanFile(PlanImport::store(session, drawn, u"p.bmp"_s), u"p.bmp"_s);
            session.history().addPlanChange({u"p.bmp"_s, {{box, plan.copy(box), drawn.copy(box)}}});
        }
        QVERIFY(session.history().undoChangesPlan());
        const ProjectHistory::Effect back = session.history().undo();
        QCOMPARE(back.plans, QStringList{u"p.bmp"_s});
        QCOMPARE(PlanImage::loadBmp(work.filePath(u"p.bmp"_s)), plan);
        QCOMPARE(session.planImage(), plan);
        QCOMPARE(PlanImage::loadBmp(userFile), plan);

        session.history().redo();
        QCOMPARE(session.planPaths().planFilePath(session.programDir(), u"p.bmp"_s),
                 work.filePath(u"p.bmp"_s));
        QCOMPARE(PlanImage::loadBmp(work.filePath(u"p.bmp"_s)), drawn);
        QCOMPARE(session.planImage(), drawn);
        QCOMPARE(PlanImage::loadBmp(userFile), plan);
    }

    // A plan file gone before the undo: the step fails with its message and stays to be taken
    // back, the table as it was.
    void unreadablePlanLeavesEverythingAsItWas()
    {
        QTemporaryDir work;
        ProjectSession session(work.path() + u'/');
        fill(session);
        const QImage plan(20, 20, QImage::Format_RGB32);
        {
            const ProjectHistory::Scope step(session.history(), u"помещение"_s);
            PlanImport::store(session, plan, u"p.bmp"_s);
            session.history().addPlanChange(
                {u"p.bmp"_s, {{QRect(0, 0, 2, 2), plan.copy(0, 0, 2, 2), plan.copy(0, 0, 2, 2)}}});
            session.table().appendRecord(record(u"D"_s, 14), u"09.12.2026"_s);
        }
        QVERIFY(QFile::remove(work.filePath(u"p.bmp"_s)));
        QVERIFY_THROWS_EXCEPTION(MetrolaError, session.history().undo());
        QCOMPARE(session.table().recordCount(), 4);
        QVERIFY(session.history().canUndo());
    }
};

QTEST_MAIN(TestProjectHistory)
#include "tst_projecthistory.moc"
