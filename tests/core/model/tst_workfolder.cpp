#include "core/base/metrolaerror.h"
#include "core/model/descriptionfile.h"
#include "core/model/projectsession.h"
#include "core/model/workfolder.h"
#include "testfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <unistd.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace {



// Another running program holding a working folder: this test executable started again with
// "--hold PLACE"; it prints the folder it holds and waits until it is killed.
class Holder
{
public:
    explicit Holder(const QString &place)
    {
        m_process.start(QCoreApplication::applicationFilePath(), {u"--hold"_s, place});
        if (m_process.waitForReadyRead(10000))
            folder = QString::fromUtf8(m_process.readLine()).trimmed();
    }
    ~Holder() { kill(); }
    void kill()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    QString folder;

private:
    QProcess m_process;
};

} // namespace

class TestWorkFolder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void choosesOnePlace_data()
    {
        QTest::addColumn<bool>("override");
        QTest::addColumn<QString>("executableDir");
        QTest::addColumn<QString>("expected");
        QTest::newRow("override wins over a writable executable folder") << true << u"exe"_s << u"over/"_s;
        QTest::newRow("writable executable folder") << false << u"exe"_s << u"exe/"_s;
        QTest::newRow("executable folder missing: per user") << false << u"gone"_s << u"user/work/"_s;
        QTest::newRow("no executable folder: per user") << false << QString() << u"user/work/"_s;
        QTest::newRow("installed program's bin folder: per user") << false << u"usr/bin"_s << u"user/work/"_s;
    }
    void choosesOnePlace()
    {
        QFETCH(bool, override);
        QFETCH(QString, executableDir);
        QFETCH(QString, expected);
        QTemporaryDir root;
        const QString base = root.path() + u'/';
        QVERIFY(QDir().mkpath(base + u"exe"_s));
        QVERIFY(QDir().mkpath(base + u"usr/bin"_s));
        QVERIFY(QDir().mkpath(base + u"usr/share/metrola"_s));
        WorkFolder::Places places;
        places.override = override ? base + u"over"_s : QString();
        places.executableDir = executableDir.isEmpty() ? QString() : base + executableDir;
        places.perUserRoot = base + u"user"_s;
        const WorkFolder folder(places);
        QCOMPARE(folder.path(), base + expected);
        QVERIFY(QFileInfo::exists(folder.path() + WorkFolder::lockFileName()));
        // A folder made here is the user's alone; the executable's folder is left as it is.
        const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                            | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
        if (expected != u"exe/"_s)
            QCOMPARE(QFileInfo(folder.path()).permissions() & others, QFileDevice::Permissions());
    }

    void unusableFolderIsAnError()
    {
        QTemporaryDir root;
        QVERIFY(writeFile(root.filePath(u"file"_s), "x"));
        WorkFolder::Places places;
        places.override = root.filePath(u"file/sub"_s);
        QVERIFY_THROWS_EXCEPTION(MetrolaError, WorkFolder{places});
    }

    // A second instance gets its own folder; its files and its clean-up never touch the
    // first one's, and the first folder is free again once its owner ends.
    void secondInstanceKeepsApart_data()
    {
        QTest::addColumn<bool>("perUser");
        QTest::addColumn<QString>("second");
        QTest::newRow("per-user folder") << true << u"work-2/"_s;
        QTest::newRow("executable folder") << false << u"exe/work-2/"_s;
    }
    void secondInstanceKeepsApart()
    {
        QFETCH(bool, perUser);
        QFETCH(QString, second);
        QTemporaryDir root;
        const QString base = root.path() + u'/';
        WorkFolder::Places places;
        places.perUserRoot = base;
        places.executableDir = perUser ? QString() : base + u"exe"_s;
        QVERIFY(QDir().mkpath(base + u"exe"_s));

        auto first = std::make_unique<WorkFolder>(places);
        auto other = std::make_unique<WorkFolder>(places);
        QCOMPARE(other->path(), base + second);
        QVERIFY(WorkFolder::isHeldByRunningInstance(first->path()));
        QVERIFY(WorkFolder::isHeldByRunningInstance(other->path()));

        for (const QString &dir : {first->path(), other->path()}) {
            QVERIFY(writeFile(dir + u"etazh1.bmp"_s, dir.toUtf8()));
            QVERIFY(writeFile(dir + DescriptionFile::fileName(), dir.toUtf8()));
        }
        ProjectSession session(other->path());
        session.extractedFiles.insert(u"etazh1.bmp"_s);
        DescriptionFile::write(session.programDir(), session.captions(), session.table());
        session.removeWorkingFiles(QString());
        QVERIFY(!QFileInfo::exists(other->path() + u"etazh1.bmp"_s));
        QCOMPARE(readFile(first->path() + u"etazh1.bmp"_s), first->path().toUtf8());
        QCOMPARE(readFile(first->path() + DescriptionFile::fileName()), first->path().toUtf8());

        const QStringList family = first->family();
        QCOMPARE(family, (QStringList{first->path(), other->path()}));
        const QString firstPath = first->path();
        first.reset();
        QVERIFY(!WorkFolder::isHeldByRunningInstance(firstPath));
        QCOMPARE(WorkFolder(places).path(), firstPath);
    }

    // What a power cut or another host leaves is no lock: the folder is taken, not skipped.
    void leftLockFilesAreNoLocks_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty, as a power cut leaves it") << QByteArray();
        QTest::newRow("written on another host") << "1\nmetrola\nother-host\n"_ba;
        QTest::newRow("a process id that runs here") << QByteArray::number(QCoreApplication::applicationPid()) + "\nx\nh\n";
    }
    void leftLockFilesAreNoLocks()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir root;
        const QString work = root.path() + u"/work/"_s;
        QVERIFY(QDir().mkpath(work));
        QVERIFY(writeFile(work + WorkFolder::lockFileName(), content));
        QVERIFY(!WorkFolder::isHeldByRunningInstance(work));
        WorkFolder::Places places;
        places.perUserRoot = root.path();
        QCOMPARE(WorkFolder(places).path(), work);
    }

    // A member of the family planted as a link to another folder, or a folder others may
    // enter, is never unpacked into: the link is skipped, the folder made private.
    void familyFoldersAreOwnAndPrivate()
    {
        QTemporaryDir root;
        QTemporaryDir documents;
        const QString base = root.path() + u'/';
        QVERIFY(QDir().mkpath(base + u"work"_s));
        QVERIFY(QFile::setPermissions(base + u"work"_s, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                            | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                            | QFileDevice::ExeOther));
        QVERIFY(QFile::link(documents.path(), base + u"work-2"_s));
        WorkFolder::Places places;
        places.perUserRoot = base;
        const WorkFolder first(places);
        QCOMPARE(first.path(), base + u"work/"_s);
        // No bit for the group or others (Qt's 0x0070 and 0x0007).
        QCOMPARE(int(QFileInfo(base + u"work"_s).permissions()) & 0x0077, 0);
        // Another user's folder under the name: only root can make one.
        const bool asRoot = ::geteuid() == 0;
        if (asRoot) {
            QVERIFY(QDir().mkdir(base + u"work-3"_s));
            QCOMPARE(::chown(QFile::encodeName(base + u"work-3"_s).constData(), 65534, 65534), 0);
        }
        const WorkFolder second(places);
        QCOMPARE(second.path(), base + (asRoot ? u"work-4/"_s : u"work-3/"_s));
        QVERIFY(QDir(documents.path()).isEmpty());
    }

    // Another process holds the folder however long it has been open; once that process is
    // gone its lock is stale and the folder is taken over.
    void lockOfAnotherProcess()
    {
        QTemporaryDir root;
        Holder holder(root.path());
        QCOMPARE(holder.folder, root.path() + u'/');
        const QString lockPath = holder.folder + WorkFolder::lockFileName();
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addDays(-2), QFileDevice::FileModificationTime));
        lock.close();

        QVERIFY(WorkFolder::isHeldByRunningInstance(holder.folder));
        WorkFolder::Places places;
        places.override = root.path();
        QCOMPARE(WorkFolder(places).path(), holder.folder + u"work-2/"_s);

        holder.kill();
        QVERIFY(QFileInfo::exists(lockPath));
        QVERIFY(!WorkFolder::isHeldByRunningInstance(holder.folder));
        Holder again(root.path());
        QCOMPARE(again.folder, holder.folder);
        again.kill();
        QCOMPARE(WorkFolder(places).path(), holder.folder);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 3 && arguments.at(1) == u"--hold"_s) {
        WorkFolder::Places places;
        places.override = arguments.at(2);
        const WorkFolder folder(places);
        std::printf("%s\n", qPrintable(folder.path()));
        std::fflush(stdout);
        QThread::sleep(600);
        return 0;
    }
    TestWorkFolder test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_workfolder.moc"
