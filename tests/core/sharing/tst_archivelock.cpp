#include "core/sharing/archivelock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using namespace Qt::StringLiterals;

namespace {

void writeLock(const QString &path, const QByteArray &content, qint64 ageSeconds = 0)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    if (ageSeconds > 0) {
        const time_t when = time(nullptr) - ageSeconds;
        utimbuf times{when, when};
        QCOMPARE(utime(QFile::encodeName(path).constData(), &times), 0);
    }
}

// A process id that ran on this host and has ended.
qint64 endedProcess()
{
    QProcess p;
    p.start(u"true"_s, {});
    p.waitForFinished();
    return p.processId() ? p.processId() : 999999;
}

} // namespace

class TestArchiveLock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void secondTakerIsToldWhoHoldsIt()
    {
        QTemporaryDir dir;
        const QString archive = dir.path() + u"/комплекс.zip"_s;
        ArchiveLock first;
        ArchiveLock::Found found;
        QVERIFY(first.take(archive, &found));
        QVERIFY(QFileInfo(dir.path() + u"/.~lock.комплекс.zip#"_s).isFile());

        ArchiveLock second;
        QVERIFY(!second.take(archive, &found));
        QCOMPARE(found.state, ArchiveLock::State::Held);
        QCOMPARE(found.owner.login, ArchiveLock::thisRun().login);
        QCOMPARE(found.owner.host, ArchiveLock::thisRun().host);
        QCOMPARE(found.owner.pid, qint64(getpid()));
        QVERIFY(qAbs(found.owner.since.secsTo(QDateTime::currentDateTime())) < 60);

        first.release();
        QVERIFY(!QFileInfo::exists(found.lockPath));
        QVERIFY(second.take(archive, &found));
    }

    void staleLocks_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qint64>("age");
        QTest::addColumn<ArchiveLock::State>("state");
        const QByteArray host = ArchiveLock::thisRun().host.toUtf8();
        const QByteArray now = QByteArray::number(QDateTime::currentSecsSinceEpoch());
        QTest::newRow("process gone on this host")
            << "Иван,ivan," + host + ",09.12.2026 10:00,metrola:" + QByteArray::number(endedProcess()) + ':' +
                   now + ';'
            << qint64(0) << ArchiveLock::State::Stale;
        QTest::newRow("process running on this host")
            << "Иван,ivan," + host + ",09.12.2026 10:00,metrola:" + QByteArray::number(getpid()) + ':' + now +
                   ';'
            << qint64(0) << ArchiveLock::State::Held;
        QTest::newRow("another host, touched lately")
            << QByteArray("Пётр,petr,buh-2,09.12.2026 10:00,metrola:4242:0;") << qint64(120)
            << ArchiveLock::State::Held;
        QTest::newRow("another host, untouched for hours")
            << QByteArray("Пётр,petr,buh-2,09.12.2026 10:00,metrola:4242:0;") << qint64(3 * 3600)
            << ArchiveLock::State::Stale;
        QTest::newRow("an office program's lock")
            << QByteArray("Пётр Петров,petr,buh-2,09.12.2026 10:00,file:///home/petr/.config/libreoffice/4;")
            << qint64(60) << ArchiveLock::State::Held;
        QTest::newRow("an office program's lock, days old")
            << QByteArray("Пётр Петров,petr,buh-2,01.12.2026 10:00,file:///home/petr/.config/libreoffice/4;")
            << qint64(5 * 86400) << ArchiveLock::State::Held;
        QTest::newRow("empty lock file, old")
            << QByteArray() << qint64(2 * 3600) << ArchiveLock::State::Stale;
    }

    void staleLocks()
    {
        QFETCH(QByteArray, content);
        QFETCH(qint64, age);
        QFETCH(ArchiveLock::State, state);
        QTemporaryDir dir;
        const QString archive = dir.path() + u"/a.zip"_s;
        writeLock(ArchiveLock::lockPathOf(archive), content, age);
        const ArchiveLock::Found found = ArchiveLock::inspect(archive);
        QCOMPARE(found.state, state);
        ArchiveLock lock;
        ArchiveLock::Found after;
        QVERIFY(!lock.take(archive, &after));
        // Only a stale lock is taken over; a live one stays.
        QCOMPARE(lock.takeOverStale(archive, found, &after), state == ArchiveLock::State::Stale);
        if (state == ArchiveLock::State::Stale)
            QCOMPARE(ArchiveLock::inspect(archive).owner.pid, qint64(getpid()));
    }

    void staleLockReplacedMeanwhileStays()
    {
        QTemporaryDir dir;
        const QString archive = dir.path() + u"/a.zip"_s;
        const QString lockPath = ArchiveLock::lockPathOf(archive);
        writeLock(lockPath, "x,x,elsewhere,01.01.2026 10:00,metrola:4242:0;", 5 * 3600);
        const ArchiveLock::Found stale = ArchiveLock::inspect(archive);
        QCOMPARE(stale.state, ArchiveLock::State::Stale);
        // A colleague took it over first: theirs is a new file.
        QVERIFY(QFile::remove(lockPath));
        ArchiveLock colleague;
        QVERIFY(colleague.take(archive, nullptr));
        ArchiveLock mine;
        ArchiveLock::Found found;
        QVERIFY(!mine.takeOverStale(archive, stale, &found));
        QCOMPARE(found.state, ArchiveLock::State::Held);
        QVERIFY(colleague.held());
    }

    void lockThatIsNoFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link to a file") << u"link"_s;
        QTest::newRow("dangling link") << u"dangling"_s;
        QTest::newRow("folder") << u"folder"_s;
    }

    void lockThatIsNoFile()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString archive = dir.path() + u"/a.zip"_s;
        const QString lockPath = ArchiveLock::lockPathOf(archive);
        const QString target = dir.path() + u"/target.txt"_s;
        if (kind == u"link"_s) {
            writeLock(target, "precious");
            QVERIFY(QFile::link(target, lockPath));
        } else if (kind == u"dangling"_s) {
            QVERIFY(QFile::link(target, lockPath));
        } else {
            QVERIFY(QDir().mkdir(lockPath));
        }
        ArchiveLock::Found found = ArchiveLock::inspect(archive);
        QCOMPARE(found.state, ArchiveLock::State::NotAFile);
        QVERIFY(!found.reason.isEmpty());
        ArchiveLock lock;
        QVERIFY(!lock.take(archive, &found));
        QCOMPARE(found.state, ArchiveLock::State::NotAFile);
        // Nothing is written through the link nor created where it points, and nothing removed.
        QVERIFY(!lock.takeOverStale(archive, found, &found));
        if (kind == u"link"_s) {
            QFile f(target);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("precious"));
        } else {
            QCOMPARE(QFileInfo::exists(target), false);
        }
        QVERIFY(QFileInfo(lockPath).isSymLink() || QFileInfo(lockPath).isDir());
    }

    void releaseLeavesSomeoneElsesLock()
    {
        QTemporaryDir dir;
        const QString archive = dir.path() + u"/a.zip"_s;
        ArchiveLock mine;
        QVERIFY(mine.take(archive, nullptr));
        // Taken for stale by a colleague while this run still held it.
        QVERIFY(QFile::remove(ArchiveLock::lockPathOf(archive)));
        writeLock(ArchiveLock::lockPathOf(archive), "Пётр,petr,buh-2,09.12.2026 10:00,;");
        mine.release();
        QVERIFY(QFileInfo::exists(ArchiveLock::lockPathOf(archive)));
    }

    void separatorsInNamesSurvive()
    {
        ArchiveLock::Owner owner{u"Иванов, Иван; \\гл."_s, u"ivan"_s, u"host"_s, 77,
                                 QDateTime::fromSecsSinceEpoch(1796800000)};
        const ArchiveLock::Owner back = ArchiveLock::parse(ArchiveLock::format(owner));
        QCOMPARE(back.name, owner.name);
        QCOMPARE(back.host, owner.host);
        QCOMPARE(back.pid, owner.pid);
        QCOMPARE(back.since, owner.since);
    }
};

QTEST_GUILESS_MAIN(TestArchiveLock)
#include "tst_archivelock.moc"
