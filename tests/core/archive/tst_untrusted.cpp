// Names in the working folder and paths from recovered files are untrusted: a link, a pipe or
// a crafted list planted there must never make the program write, read or delete beyond them.
#include "core/archive/projectarchive.h"
#include "core/archive/zipreader.h"
#include "core/archive/zipwriter.h"
#include "core/base/metrolaerror.h"
#include "core/base/safefile.h"
#include "core/model/descriptionfile.h"
#include "core/model/planscales.h"
#include "core/model/projectsession.h"
#include "core/model/recoveryfile.h"
#include "core/plan/planimage.h"
#include "core/reports/placementpicture.h"
#include "testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QImage smallPlan()
{
    QImage plan(20, 10, QImage::Format_RGB32);
    plan.fill(Qt::white);
    return plan;
}

bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

} // namespace

class TestUntrusted : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QTemporaryDir> m_outside;
    QString m_work;
    QString m_victim;

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_outside = std::make_unique<QTemporaryDir>();
        m_work = m_dir->path() + u'/';
        m_victim = m_outside->path() + u"/notes.txt"_s;
        QVERIFY(writeFile(m_victim, "the user's own notes"));
    }

    // Every writer of a working file, with a link and a pipe planted at its name: the link's
    // target keeps its bytes, the name becomes a regular file, nothing blocks.
    void writersReplaceWhatIsPlanted_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<std::function<void(const QString &)>>("write");
        QTest::newRow("description") << DescriptionFile::fileName() << std::function([](const QString &dir) {
            RecordTable table;
            DescriptionFile::write(dir, Captions::defaults(), table);
        });
        QTest::newRow("scales") << PlanScales::fileName() << std::function([](const QString &dir) {
            PlanScales scales;
            scales.setScale(u"p.bmp"_s, {0.01, {}});
            scales.write(dir, {u"p.bmp"_s});
        });
        QTest::newRow("recovery side file") << RecoveryFile::sideFileName() << std::function([](const QString &dir) {
            RecoveryFile::write(dir, RecoveryFile::take(ProjectSession(dir)));
        });
        QTest::newRow("recovery table") << RecoveryFile::fileName() << std::function([](const QString &dir) {
            RecoveryFile::write(dir, RecoveryFile::take(ProjectSession(dir)));
        });
        QTest::newRow("placement picture") << u"metrola.bmp"_s << std::function([](const QString &dir) {
            PlacementPicture::save(smallPlan(), dir);
        });
        QTest::newRow("plan") << u"p.bmp"_s << std::function([](const QString &dir) {
            PlanImage::saveBmp(smallPlan(), dir + u"p.bmp"_s);
        });
    }
    void writersReplaceWhatIsPlanted()
    {
        QFETCH(QString, name);
        QFETCH(std::function<void(const QString &)>, write);
        const QString path = m_work + name;
        for (const bool fifo : {false, true}) {
            QFile::remove(path);
            QVERIFY(fifo ? makeFifo(path) : QFile::link(m_victim, path));
            write(m_work);
            QCOMPARE(SafeFile::kindOf(path, false), SafeFile::Kind::Regular);
            QCOMPARE(readFile(m_victim), QByteArray("the user's own notes"));
        }
        // No unfinished copy is left beside it.
        QCOMPARE(QDir(m_work).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
                 name.startsWith(u"metrola.recovery"_s) ? 2 : 1);
    }

    void aFolderAtTheNameIsRefused()
    {
        QVERIFY(QDir(m_work).mkdir(DescriptionFile::fileName()));
        RecordTable table;
        QVERIFY_THROWS_EXCEPTION(MetrolaError, DescriptionFile::write(m_work, Captions::defaults(), table));
    }

    // Reading a pipe nobody writes to must neither block nor be taken for a missing file.
    void readersRefuseWhatIsNoFile_data()
    {
        QTest::addColumn<std::function<void(const QString &)>>("read");
        QTest::addColumn<QString>("name");
        QTest::newRow("archive") << std::function([](const QString &p) { ZipReader reader(p); }) << u"a.zip"_s;
        QTest::newRow("plan") << std::function([](const QString &p) { PlanImage::loadBmp(p); }) << u"p.bmp"_s;
        QTest::newRow("description") << std::function([](const QString &p) {
            Captions c;
            RecordTable t;
            DescriptionFile::load(QFileInfo(p).path() + u'/', false, c, t);
        }) << DescriptionFile::fileName();
        QTest::newRow("recovery copy") << std::function([](const QString &p) {
            RecoveryFile::read(QFileInfo(p).path() + u'/');
        }) << RecoveryFile::fileName();
    }
    void readersRefuseWhatIsNoFile()
    {
        QFETCH(std::function<void(const QString &)>, read);
        QFETCH(QString, name);
        QVERIFY(makeFifo(m_work + name));
        QElapsedTimer timer;
        timer.start();
        try {
            read(m_work + name);
            QFAIL("a pipe was read as a file");
        } catch (const MetrolaError &error) {
            QVERIFY2(error.message().contains(u"канал (FIFO)"_s), qPrintable(error.message()));
        }
        QVERIFY(!PlanImage::isPlanFile(m_work + name));
        // A character device says what it is too.
        QString reason;
        QFile device;
        QVERIFY(!SafeFile::openForReading(device, u"/dev/null"_s, &reason));
        QCOMPARE(reason, u"это устройство, а не файл"_s);
    }

    // A crafted side file names a user's files as extracted and a text file as a plan: nothing
    // of it is deleted at close, and the text file is not taken as a plan.
    void aCraftedSideFileIsNotBelieved()
    {
        const QString archive = m_outside->path() + u"/p.zip"_s;
        {
            ZipWriter writer(archive);
            writer.addMember(u"a.bmp"_s, PlanImage::bmpBytes(smallPlan()));
            writer.addMember(DescriptionFile::fileName(), "x");
            writer.write();
        }
        for (const QString &name : {u"a.bmp"_s, u"notes.txt"_s, u"metrola.recovery-1.csv"_s, u"metrola.csv"_s})
            QVERIFY(writeFile(m_work + name, "kept"));
        RecoveryFile::Recovered recovered;
        recovered.contents.rows = {
            {u"a.bmp"_s, u"к"_s, u"офис"_s, u"1"_s, u"Т"_s, QString(), u"5"_s, u"1"_s, u"1"_s},
            {u"notes.txt"_s, u"к"_s, u"офис"_s, u"1"_s, u"Т"_s, QString(), u"6"_s, u"1"_s, u"1"_s},
            {QString(), QString(), QString(), QString(), QString(), QString(), u"07.12.2026"_s}};
        recovered.archive = archive;
        recovered.extractedFiles = {u"a.bmp"_s, u"notes.txt"_s, u"metrola.recovery-1.csv"_s, u"p.zip"_s};
        recovered.planPaths = {m_victim, m_outside->path() + u"/missing.bmp"_s};
        ProjectSession session(m_work);
        const ProjectArchive::Restored restored = ProjectArchive::restore(session, recovered);
        QCOMPARE(restored.droppedPaths, recovered.planPaths);
        QCOMPARE(session.extractedFiles, QSet<QString>{u"a.bmp"_s});
        session.removeWorkingFiles(QString());
        QStringList left = QDir(m_work).entryList(QDir::Files);
        left.sort();
        QCOMPARE(left, (QStringList{u"metrola.csv"_s, u"metrola.recovery-1.csv"_s, u"notes.txt"_s}));
    }

    // The scale member's declared size is checked before it is inflated; a mark of UTF-8 is
    // skipped; a line written in UTF-8 is refused by number, not lost without a word.
    void scaleFilesOfOtherMakers_data()
    {
        QTest::addColumn<QByteArray>("member");
        QTest::addColumn<QString>("refusal"); // empty: opens
        QTest::newRow("a mark of UTF-8") << "\xEF\xBB\xBFp.bmp;0,5;;;\r\n"_ba << QString();
        QTest::newRow("UTF-8 on line 2") << "p.bmp;0,5;;;\r\n"_ba + u"этаж.bmp;0,5;;;\r\n"_s.toUtf8()
                                         << u"строка 2: текст не в кодировке Windows-1251"_s;
        QTest::newRow("too large") << QByteArray(2 << 20, ' ') << u"слишком велик"_s;
    }
    void scaleFilesOfOtherMakers()
    {
        QFETCH(QByteArray, member);
        QFETCH(QString, refusal);
        const QString archive = m_outside->path() + u"/p.zip"_s;
        {
            ZipWriter writer(archive);
            writer.addMember(u"p.bmp"_s, PlanImage::bmpBytes(smallPlan()));
            writer.addMember(PlanScales::fileName(), member);
            RecordTable table;
            table.appendRecord({u"p.bmp"_s, u"к"_s, u"офис"_s, u"1"_s, u"Т"_s, QString(), u"5"_s, u"1"_s, u"1"_s}, u"d"_s);
            writer.addMember(DescriptionFile::fileName(), DescriptionFile::build(Captions::defaults(), table));
            writer.write();
        }
        ProjectSession session(m_work);
        try {
            ProjectArchive::open(session, archive, {});
            QVERIFY(refusal.isEmpty());
            QCOMPARE(session.scales().scale(u"p.bmp"_s)->metresPerPixel, 0.5);
        } catch (const MetrolaError &error) {
            QVERIFY2(!refusal.isEmpty() && error.message().contains(refusal), qPrintable(error.message()));
        }
        if (member.size() > PlanScales::kFileSizeLimit)
            QVERIFY(!QFileInfo::exists(m_work + PlanScales::fileName()));
    }
};

QTEST_MAIN(TestUntrusted)
#include "tst_untrusted.moc"
