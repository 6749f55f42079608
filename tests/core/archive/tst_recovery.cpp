#include "core/archive/projectarchive.h"
#include "core/archive/zipwriter.h"
#include "core/base/cp1251.h"
#include "core/model/projectsession.h"
#include "core/model/recoveryfile.h"
#include "core/model/recoverywriter.h"
#include "core/model/workfolder.h"
#include "core/plan/planimage.h"
#include "testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {



QByteArray planBytes(QRgb fill)
{
    QImage plan(30, 20, QImage::Format_RGB32);
    plan.fill(fill);
    return PlanImage::bmpBytes(plan);
}

RecordTable::Row record(const QString &plan, const QString &name, int key)
{
    return {plan, name, u"офис"_s, u"10"_s, u"А"_s, QString(), QString::number(key), u"5"_s, u"5"_s};
}

void setRows(ProjectSession &session, std::vector<RecordTable::Row> rows)
{
    rows.push_back({QString(), QString(), QString(), QString(), QString(), QString(), u"07.12.2026"_s});
    session.table().replaceRows(std::move(rows));
    session.setModified(true);
}

} // namespace

class TestRecovery : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_programDir;

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_programDir = m_dir->path() + u'/';
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QStringList>("planPaths");
        QTest::addColumn<bool>("scaled");
        QString everyByte;
        for (int b = 0; b < 256; ++b) {
            if (b != ';' && b != '\r' && b != '\n')
                everyByte += Cp1251::toUnicode(QByteArray(1, char(b)));
        }
        QStringList full;
        for (int i = 0; i < PlanPathTable::Capacity; ++i)
            full.append(u"/home/u/планы \"%1\"\n;/p%1.bmp"_s.arg(i));
        QTest::newRow("every byte value") << everyByte << QStringList{u"/x/a.bmp"_s} << true;
        QTest::newRow("odd paths in every slot") << u"Зал"_s << full << true;
        QTest::newRow("empty cells, no paths, no scales") << QString() << QStringList() << false;
    }

    void roundTrip()
    {
        QFETCH(QString, cell);
        QFETCH(QStringList, planPaths);
        QFETCH(bool, scaled);
        ProjectSession session(m_programDir);
        if (scaled) {
            session.scales().setScale(u"a.bmp"_s, {0.0125, QDate(2026, 12, 8)});
            session.scales().setScale(u"этаж б.bmp"_s, {0.026022304833, {}});
            session.scales().setTolerance(17.5);
            session.roomFlags().setCommon(100, true);
        }
        RecordTable::Row row = record(u"a.bmp"_s, cell, 100);
        for (int c = RecordTable::Type; c <= RecordTable::Info; ++c)
            row[static_cast<size_t>(c)] = cell;
        setRows(session, {row, record(u"b.bmp"_s, u"x"_s, 99)});
        for (int i = 0; i < Captions::Count; ++i)
            session.captions()[i] = cell + QString::number(i);
        for (const QString &path : planPaths)
            session.planPaths().addPlanFile(path);
        session.lastArchive = u"/data/проект 1.zip"_s;
        session.extractedFiles = {u"a.bmp"_s, u"../escape.bmp"_s};

        RecoveryFile::write(m_programDir, RecoveryFile::take(session));
        // The table is the description file's content, byte for byte.
        QCOMPARE(readFile(m_programDir + RecoveryFile::fileName()),
                 DescriptionFile::build(session.captions(), session.table()));
        const RecoveryFile::Recovered back = RecoveryFile::read(m_programDir);
        QVERIFY(back.contents.captions);
        QCOMPARE(*back.contents.captions, session.captions());
        QCOMPARE(back.contents.rows, session.table().rows());
        QCOMPARE(back.archive, session.lastArchive);
        QCOMPARE(back.planPaths, planPaths);
        // A name that could leave the folder is never handed to the clean-up.
        QCOMPARE(back.extractedFiles, QStringList{u"a.bmp"_s});
        QCOMPARE(back.scales, session.scales());
        // An undecided project stays undecided: the suggestion is still offered after a crash.
        QCOMPARE(back.roomFlags, session.roomFlags());
    }

    void damagedSideFileStillRecoversTheTable()
    {
        ProjectSession session(m_programDir);
        setRows(session, {record(u"a.bmp"_s, u"Зал"_s, 100)});
        RecoveryFile::write(m_programDir, RecoveryFile::take(session));
        QVERIFY(writeFile(m_programDir + RecoveryFile::sideFileName(), "{\"archive\": [1,"));
        const RecoveryFile::Recovered back = RecoveryFile::read(m_programDir);
        QCOMPARE(back.contents.rows, session.table().rows());
        QVERIFY(back.archive.isEmpty());
    }

    void debounceWritesAtMostOncePerIntervalAndKeepsTheLast()
    {
        constexpr int interval = 400;
        ProjectSession session(m_programDir);
        setRows(session, {record(u"a.bmp"_s, u"0"_s, 100)});
        RecoveryWriter writer(session, interval);
        QSignalSpy written(&writer, &RecoveryWriter::written);
        QElapsedTimer clock;
        clock.start();
        session.table().setCell(RecordTable::Name, 1, u"first"_s);
        QTRY_COMPARE(written.size(), 1);
        for (int i = 1; i <= 20; ++i)
            session.table().setCell(RecordTable::Name, 1, QString::number(i));
        QTRY_COMPARE(written.size(), 2);
        // The first change went out at once, the rest waited for the interval to end.
        QVERIFY(clock.elapsed() >= interval);
        QTest::qWait(interval + 100);
        QCOMPARE(written.size(), 2);
        QCOMPARE(RecoveryFile::read(m_programDir).contents.rows[0][RecordTable::Name], u"20"_s);
    }

    void flushWritesAtOnceAndDiscardRemoves()
    {
        ProjectSession session(m_programDir);
        RecoveryWriter writer(session, 60000);
        // Inactive until start-up has asked about an earlier run's copy: nothing written or removed.
        writer.setActive(false);
        QVERIFY(writeFile(m_programDir + RecoveryFile::fileName(), "earlier run"));
        setRows(session, {record(u"a.bmp"_s, u"Зал"_s, 100)});
        writer.flush();
        writer.discard();
        QCOMPARE(readFile(m_programDir + RecoveryFile::fileName()), "earlier run");
        writer.setActive(true);
        writer.changed();
        writer.flush();
        QVERIFY(RecoveryFile::exists(m_programDir));
        // Within the interval, without an event loop: only the flush can write it.
        session.table().setCell(RecordTable::Name, 1, u"Склад"_s);
        writer.flush();
        QCOMPARE(RecoveryFile::read(m_programDir).contents.rows[0][RecordTable::Name], u"Склад"_s);

        session.table().setCell(RecordTable::Name, 1, u"Офис"_s);
        writer.discard();
        QVERIFY(!QFile::exists(m_programDir + RecoveryFile::fileName()));
        QVERIFY(!QFile::exists(m_programDir + RecoveryFile::sideFileName()));
        writer.flush();
        QVERIFY(!RecoveryFile::exists(m_programDir));

        // Saved or just opened: nothing unsaved, so the copy goes.
        writer.changed();
        writer.flush();
        QVERIFY(RecoveryFile::exists(m_programDir));
        session.setModified(false);
        writer.changed();
        writer.flush();
        QVERIFY(!RecoveryFile::exists(m_programDir));
    }

    void setAsideKeepsTheLastThree()
    {
        ProjectSession session(m_programDir);
        setRows(session, {record(u"a.bmp"_s, u"Зал"_s, 100)});
        const QDateTime base(QDate(2026, 12, 8), QTime(10, 0));
        QStringList names;
        for (int i = 0; i < 5; ++i) {
            RecoveryFile::write(m_programDir, RecoveryFile::take(session));
            QFile file(m_programDir + RecoveryFile::fileName());
            QVERIFY(file.open(QIODevice::ReadWrite));
            // Two copies of the same second must not overwrite each other.
            QVERIFY(file.setFileTime(base.addSecs(i == 4 ? 3 : i), QFileDevice::FileModificationTime));
            file.close();
            names.append(RecoveryFile::setAside(m_programDir));
        }
        QVERIFY(!RecoveryFile::exists(m_programDir));
        QCOMPARE(names[0], u"metrola.recovery-20261208-100000.csv"_s);
        QCOMPARE(names[4], u"metrola.recovery-20261208-100003-1.csv"_s);
        QStringList left = QDir(m_programDir).entryList({u"metrola.recovery-*"_s}, QDir::Files, QDir::Name);
        QCOMPARE(left, QStringList({u"metrola.recovery-20261208-100002.csv"_s, u"metrola.recovery-20261208-100002.json"_s,
                                    u"metrola.recovery-20261208-100003-1.csv"_s, u"metrola.recovery-20261208-100003-1.json"_s,
                                    u"metrola.recovery-20261208-100003.csv"_s, u"metrola.recovery-20261208-100003.json"_s}));
    }

    void adoptFromAFolderNoOneHolds_data()
    {
        QTest::addColumn<bool>("held");
        QTest::newRow("ended run") << false;
        QTest::newRow("running instance") << true;
    }

    void adoptFromAFolderNoOneHolds()
    {
        QFETCH(bool, held);
        const QString second = m_programDir + u"work-2/"_s;
        QVERIFY(QDir().mkpath(second));
        QLockFile lock(second + WorkFolder::lockFileName());
        if (held)
            QVERIFY(lock.tryLock(0));
        QVERIFY(writeFile(second + RecoveryFile::fileName(), "work"));
        QVERIFY(writeFile(second + RecoveryFile::sideFileName(), "{}"));
        RecoveryFile::adopt(m_programDir, {m_programDir, second});
        QCOMPARE(RecoveryFile::exists(m_programDir), !held);
        QCOMPARE(RecoveryFile::exists(second), held);
        QCOMPARE(QFile::exists(m_programDir + RecoveryFile::sideFileName()), !held);
    }

    void restore_data()
    {
        QTest::addColumn<bool>("archiveThere");
        QTest::addColumn<bool>("planLeftInFolder");
        QTest::addColumn<QStringList>("missing");
        QTest::newRow("plans from the archive") << true << false << QStringList();
        QTest::newRow("plan left in the folder is kept") << true << true << QStringList();
        QTest::newRow("archive gone") << false << false << QStringList({u"b.bmp"_s, u"a.bmp"_s});
        QTest::newRow("archive gone, plan left") << false << true << QStringList({u"a.bmp"_s});
    }

    void restore()
    {
        QFETCH(bool, archiveThere);
        QFETCH(bool, planLeftInFolder);
        QFETCH(QStringList, missing);
        QTemporaryDir elsewhere;
        const QString archive = elsewhere.path() + u"/p.zip"_s;
        if (archiveThere) {
            ZipWriter zip(archive);
            zip.addMember(u"a.bmp"_s, planBytes(qRgb(255, 255, 255)));
            zip.addMember(u"b.bmp"_s, planBytes(qRgb(255, 255, 255)));
            zip.write();
        }
        // Painted after the archive was written: the recovery must not undo it.
        if (planLeftInFolder)
            QVERIFY(writeFile(m_programDir + u"b.bmp"_s, planBytes(qRgb(0, 0, 255))));
        // c.bmp was added from disk and lives outside the folder.
        QVERIFY(writeFile(elsewhere.path() + u"/c.bmp"_s, planBytes(qRgb(0, 255, 0))));

        RecoveryFile::Recovered recovered;
        for (const auto &row : {record(u"b.bmp"_s, u"Зал"_s, 100), record(u"a.bmp"_s, u"Склад"_s, 99),
                                record(u"c.bmp"_s, u"Офис"_s, 98), RecordTable::Row()})
            recovered.contents.rows.push_back(row);
        recovered.contents.captions = Captions::defaults();
        (*recovered.contents.captions)[Captions::Unit] = u"кв.м"_s;
        recovered.archive = archive;
        recovered.planPaths = {elsewhere.path() + u"/c.bmp"_s};
        recovered.scales.setScale(u"a.bmp"_s, {0.02, QDate(2026, 12, 1)});
        recovered.roomFlags.setCommon(7, true);

        ProjectSession session(m_programDir);
        session.scales().setScale(u"b.bmp"_s, {0.5, {}}); // the session's own, replaced
        const QStringList notFound = ProjectArchive::restore(session, recovered).missingPlans;
        QCOMPARE(notFound, missing);
        QCOMPARE(session.table().rows(), recovered.contents.rows);
        QCOMPARE(session.captions()[Captions::Unit], u"кв.м"_s);
        QVERIFY(session.modified());
        QCOMPARE(session.lastArchive, archive);
        QCOMPARE(session.plans().names(), QStringList({u"b.bmp"_s, u"a.bmp"_s, u"c.bmp"_s}));
        // The first plan that could be loaded is shown, as it was left in the folder.
        const QString shown = missing.isEmpty() || planLeftInFolder ? u"b.bmp"_s : u"c.bmp"_s;
        QCOMPARE(session.currentPlan(), shown);
        const QRgb expected = shown == u"c.bmp"_s ? qRgb(0, 255, 0)
                              : planLeftInFolder ? qRgb(0, 0, 255)
                                                 : qRgb(255, 255, 255);
        QCOMPARE(session.planImage().pixel(20, 15), expected);
        QCOMPARE(session.extractedFiles.contains(u"a.bmp"_s), archiveThere);
        QCOMPARE(session.scales(), recovered.scales);
        QCOMPARE(session.roomFlags(), recovered.roomFlags);
    }
};

QTEST_GUILESS_MAIN(TestRecovery)
#include "tst_recovery.moc"
