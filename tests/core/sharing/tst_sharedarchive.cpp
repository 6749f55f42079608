#include "core/archive/projectarchive.h"
#include "core/model/projectsession.h"
#include "core/sharing/sharedarchive.h"
#include "testrecord.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

RecordTable::Row room(const QString &name, int key)
{
    return roomRecord({.plan = u"p.bmp"_s,
                       .name = name,
                       .type = u"офис"_s,
                       .area = u"10"_s,
                       .key = QString::number(key),
                       .label = {2, 2}});
}

QByteArray contentOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSharedArchive : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // A session of its own working folder, with a one-room plan and the given records.
    std::unique_ptr<ProjectSession> session(const QString &name, const std::vector<RecordTable::Row> &rows)
    {
        const QString work = m_dir.path() + u'/' + name + u'/';
        QDir().mkpath(work);
        QImage plan(5, 5, QImage::Format_RGB32);
        plan.fill(Qt::white);
        plan.save(work + u"p.bmp"_s, "BMP");
        auto s = std::make_unique<ProjectSession>(work);
        for (const auto &row : rows)
            s->table().appendRecord(row, u"09.12.2026"_s);
        return s;
    }

private Q_SLOTS:
    void outsideChangeNamesBothSides()
    {
        const QString archive = m_dir.path() + u"/complex.zip"_s;
        auto start = session(u"start"_s, {room(u"Холл"_s, 100), room(u"Склад"_s, 101)});
        QVERIFY(ProjectArchive::save(*start, archive) > 0);

        SharedArchive mine;
        mine.opened(archive, start->table().rows(), std::make_unique<ArchiveLock>(), false);
        QVERIFY(!mine.outsideChange(start->table().rows()));

        // A colleague adds a room and removes "Склад"; this side adds another.
        auto theirs = session(u"theirs"_s, {room(u"Холл"_s, 100), room(u"Офис 7"_s, 102)});
        QVERIFY(ProjectArchive::save(*theirs, archive) > 0);
        auto ours = session(u"ours"_s, {room(u"Холл"_s, 100), room(u"Склад"_s, 101), room(u"Офис 9"_s, 99)});

        const auto diff = mine.outsideChange(ours->table().rows());
        QVERIFY(diff);
        QCOMPARE(diff->theirs.added.size(), 1);
        QVERIFY(diff->theirs.added[0].contains(u"Офис 7"_s));
        QCOMPARE(diff->theirs.removed.size(), 1);
        QVERIFY(diff->theirs.removed[0].contains(u"Склад"_s));
        QCOMPARE(diff->ours.added.size(), 1);
        QVERIFY(diff->ours.added[0].contains(u"Офис 9"_s));
        QVERIFY(diff->ours.removed.isEmpty());
        QVERIFY(diff->text().contains(u"Офис 7"_s));

        // Kept aside before a replace: byte for byte, beside it, never over another copy.
        const QString copy1 = SharedArchive::keepAside(archive);
        const QString copy2 = SharedArchive::keepAside(archive);
        QVERIFY(copy1 != copy2);
        QCOMPARE(contentOf(copy1), contentOf(archive));
        QCOMPARE(contentOf(copy2), contentOf(archive));

        // Once saved here, the file on disk is the new start.
        QVERIFY(ProjectArchive::save(*ours, archive) > 0);
        QVERIFY(mine.saved(archive, ours->table().rows()));
        QVERIFY(!mine.outsideChange(ours->table().rows()));
    }

    void changedTextIsAChangeAndATouchIsNone()
    {
        const QString archive = m_dir.path() + u"/touch.zip"_s;
        auto start = session(u"t1"_s, {room(u"Холл"_s, 100)});
        QVERIFY(ProjectArchive::save(*start, archive) > 0);
        SharedArchive mine;
        mine.opened(archive, start->table().rows(), nullptr, true);
        // Same content, new time: no question.
        QFile f(archive);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(3600), QFileDevice::FileModificationTime));
        f.close();
        QVERIFY(!mine.outsideChange(start->table().rows()));

        auto renamed = session(u"t2"_s, {room(u"Холл большой"_s, 100)});
        QVERIFY(ProjectArchive::save(*renamed, archive) > 0);
        const auto diff = mine.outsideChange(start->table().rows());
        QVERIFY(diff);
        QCOMPARE(diff->theirs.changed.size(), 1);
        QVERIFY(diff->theirs.added.isEmpty());
        QVERIFY(diff->ours.isEmpty());

        // Gone from disk: still a change, with nothing to read.
        QVERIFY(QFile::remove(archive));
        QVERIFY(mine.outsideChange(start->table().rows()));
    }

    void planChangedInItsFolder()
    {
        const QString plan = m_dir.path() + u"/этаж.bmp"_s;
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::white);
        QVERIFY(image.save(plan, "BMP"));
        SharedArchive shared;
        shared.planAdded(plan);
        const QString other = m_dir.path() + u"/не добавлен.bmp"_s;
        QVERIFY(shared.changedPlans({plan, other}).isEmpty());
        image.setPixel(1, 1, qRgb(0, 0, 0)); // a colleague draws a wall
        QVERIFY(image.save(plan, "BMP"));
        QCOMPARE(shared.changedPlans({plan}), QStringList{plan});
        shared.plansSaved({plan});
        QVERIFY(shared.changedPlans({plan}).isEmpty());
        QVERIFY(QFile::remove(plan));
        QCOMPARE(shared.changedPlans({plan}), QStringList{plan});
    }
};

QTEST_GUILESS_MAIN(TestSharedArchive)
#include "tst_sharedarchive.moc"
