#include "core/archive/projectarchive.h"
#include "core/archive/zipreader.h"
#include "core/archive/zipwriter.h"
#include "core/base/metrolaerror.h"
#include "core/model/descriptionfile.h"
#include "core/model/projectsession.h"
#include "core/model/recordtable.h"
#include "core/plan/floodfill.h"
#include "core/plan/planimage.h"
#include "testfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

// The save child's exit codes; anything else (0 included) is a failure of the test.
constexpr int kChildRefused = 3;
constexpr int kChildOtherException = 4;
constexpr int kChildSaved = 5;
const char kSaveChildArgument[] = "--save-under-file-size-limit";



QStringList entries(const QString &dir)
{
    QStringList out = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    out.sort();
    return out;
}

QByteArray noise(qsizetype size, quint32 seed)
{
    QByteArray b(size, '\0');
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(b.data()), size / 4);
    return b;
}

void fillProject(ProjectSession &session, const QString &planId)
{
    RecordTable::Row record{planId, u"Офис 12"_s, RecordTable::typeCodes()[0], u"25,5"_s, u"ООО «Ромашка»"_s,
                            QString(), u"255"_s, u"10"_s, u"10"_s};
    session.table().replaceRows({record, RecordTable::Row{}});
}

// Runs in the child: saves the project in programDir over archivePath with the file size
// capped, so the archive write fails part way, as on a full disk.
int saveUnderFileSizeLimit(const QString &programDir, const QString &archivePath, rlim_t limit)
{
    std::signal(SIGXFSZ, SIG_IGN); // the write then fails with EFBIG instead of killing us
    rlimit small{limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &small) != 0)
        return 10;
    try {
        ProjectSession session(programDir);
        fillProject(session, u"plan.bmp"_s);
        ProjectArchive::save(session, archivePath);
    } catch (const MetrolaError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return e.message().isEmpty() ? kChildOtherException : kChildRefused;
    } catch (...) {
        return kChildOtherException;
    }
    return kChildSaved;
}

// ---- BMP bytes, so that every header field can be made to lie ------------------------------

void putLe16(QByteArray &b, int at, quint16 v)
{
    b[at] = char(v & 0xff);
    b[at + 1] = char(v >> 8);
}

void putLe32(QByteArray &b, int at, quint32 v)
{
    putLe16(b, at, quint16(v & 0xffff));
    putLe16(b, at + 2, quint16(v >> 16));
}

// A BITMAPINFOHEADER file; `paletteSize` colours precede `pixels`.
QByteArray bmp(int width, int height, int bits, quint32 compression, int paletteSize, const QByteArray &pixels)
{
    QByteArray b(54 + paletteSize * 4, '\0');
    b[0] = 'B';
    b[1] = 'M';
    putLe32(b, 2, quint32(b.size() + pixels.size()));
    putLe32(b, 10, quint32(b.size()));
    putLe32(b, 14, 40);
    putLe32(b, 18, quint32(width));
    putLe32(b, 22, quint32(height));
    putLe16(b, 26, 1);
    putLe16(b, 28, quint16(bits));
    putLe32(b, 30, compression);
    putLe32(b, 34, quint32(pixels.size()));
    putLe32(b, 46, quint32(paletteSize));
    for (int i = 0; i < paletteSize; ++i)
        putLe32(b, 54 + 4 * i, quint32(i * 0x010101));
    return b + pixels;
}

// An OS/2 1.x file: 12-byte info header with 16-bit sides.
QByteArray coreBmp(int width, int height, const QByteArray &pixels)
{
    QByteArray b(26, '\0');
    b[0] = 'B';
    b[1] = 'M';
    putLe32(b, 2, quint32(b.size() + pixels.size()));
    putLe32(b, 10, 26);
    putLe32(b, 14, 12);
    putLe16(b, 18, quint16(width));
    putLe16(b, 20, quint16(height));
    putLe16(b, 22, 1);
    putLe16(b, 24, 24);
    return b + pixels;
}

} // namespace

class TstReliability : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fuzzRegressions_data();
    void fuzzRegressions();
    void failedSaveKeepsPreviousArchive_data();
    void failedSaveKeepsPreviousArchive();
    void bigPlanSurvivesFillAndSave();
    void brokenPlansRefused_data();
    void brokenPlansRefused();
};

void TstReliability::fuzzRegressions_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("path");
    QDirIterator it(QStringLiteral(METROLA_FUZZ_REGRESSIONS), QDir::Files, QDirIterator::Subdirectories);
    int rows = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = QFileInfo(path).dir().dirName();
        QTest::newRow(qPrintable(target + u'/' + QFileInfo(path).fileName())) << target << path;
        ++rows;
    }
    if (rows == 0)
        QTest::newRow("no regression inputs") << QString() << QString();
}

// Inputs kept from the fuzz corpora (tests/data/fuzz/TARGET/), and any a fuzz target ever failed
// on: fed to the same code as in the target, each must end in data or in a MetrolaError with a
// message. Under the asan preset a memory fault here fails the run.
void TstReliability::fuzzRegressions()
{
    QFETCH(QString, target);
    QFETCH(QString, path);
    if (path.isEmpty())
        QSKIP("tests/data/fuzz holds no inputs");
    const QByteArray bytes = readFile(path);
    try {
        if (target == u"zipreader") {
            ZipReader reader(bytes, u"fuzz.zip"_s, qint64(1) << 20);
            for (const QString &name : reader.memberNames()) {
                try {
                    QVERIFY(reader.readMember(name).size() <= qint64(1) << 20);
                } catch (const MetrolaError &e) {
                    QVERIFY(!e.message().isEmpty());
                }
            }
            reader.verify();
        } else if (target == u"descriptionfile" || target == u"roundtrip") {
            DescriptionFile::Contents contents = DescriptionFile::parse(bytes);
            RecordTable table;
            table.replaceRows(contents.rows);
            table.colourInUse(0);
            table.rowOfColour(0);
        } else {
            QFAIL(qPrintable(u"no code for fuzz target folder "_s + target));
        }
    } catch (const MetrolaError &e) {
        QVERIFY(!e.message().isEmpty());
    }
}

void TstReliability::failedSaveKeepsPreviousArchive_data()
{
    // The cap falls at different points of the write: in the first compressed megabyte, deep
    // inside the plan, and in the last part of a 4 MiB incompressible plan.
    QTest::addColumn<qint64>("limit");
    QTest::newRow("64 KiB") << (qint64(64) << 10);
    QTest::newRow("1 MiB") << (qint64(1) << 20);
    QTest::newRow("4 MiB minus 1 KiB") << (qint64(4) << 20) - 1024;
}

void TstReliability::failedSaveKeepsPreviousArchive()
{
    QFETCH(qint64, limit);
    QTemporaryDir temp;
    const QString work = temp.filePath(u"work/"_s);
    const QString out = temp.filePath(u"out"_s);
    QVERIFY(QDir().mkpath(work) && QDir().mkpath(out));
    const QString archive = out + u"/project.zip"_s;

    // The previous archive: a real project saved without any limit.
    QVERIFY(writeFile(work + u"plan.bmp"_s, QByteArray(5000, '\xff')));
    {
        ProjectSession session(work);
        fillProject(session, u"plan.bmp"_s);
        QCOMPARE(ProjectArchive::save(session, archive), 2);
    }
    const QByteArray before = readFile(archive);
    QVERIFY(before.startsWith("PK"));

    QVERIFY(writeFile(work + u"plan.bmp"_s, noise(4 << 20, 7)));
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(kSaveChildArgument), work, archive, QString::number(limit)});
    QVERIFY(child.waitForFinished(120000));
    const QString error = QString::fromUtf8(child.readAllStandardError()).trimmed();
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QVERIFY2(child.exitCode() == kChildRefused, qPrintable(u"exit %1: %2"_s.arg(child.exitCode()).arg(error)));
    QVERIFY2(error.contains(u"project.zip"_s), qPrintable(error));

    QCOMPARE(readFile(archive), before);
    QCOMPARE(entries(out), QStringList{u"project.zip"_s});
    ZipReader(archive).verify();
}

void TstReliability::bigPlanSurvivesFillAndSave()
{
    // A 10000 x 7000 plan goes through load, fill, save and load again without losing a pixel.
    // Peak memory: two images of 267 MiB.
    QTemporaryDir temp;
    const QString first = temp.filePath(u"big.bmp"_s);
    const QString second = temp.filePath(u"big-filled.bmp"_s);
    {
        QImage drawn(10000, 7000, QImage::Format_RGB32);
        drawn.fill(Qt::white);
        QPainter p(&drawn);
        p.fillRect(4000, 0, 3, 7000, Qt::black); // a wall splitting the floor
        p.fillRect(0, 3500, 4000, 2, Qt::black); // and the left part in two rooms
        p.end();
        drawn.setPixel(9999, 6999, 0xff00ff00); // a corner pixel of another colour
        PlanImage::saveBmp(drawn, first);
    }

    QImage plan = PlanImage::loadBmp(first);
    QCOMPARE(plan.size(), QSize(10000, 7000));
    FloodFill fill;
    QCOMPARE(fill.fill(plan, QPoint(0, 0), 0xff010203), QRect(0, 0, 4000, 3500));
    QCOMPARE(fill.fill(plan, QPoint(9999, 0), 0xff0a0b0c), QRect(4003, 0, 5997, 7000));
    QCOMPARE(plan.pixel(9999, 6999), 0xff00ff00);
    PlanImage::saveBmp(plan, second);

    const QImage back = PlanImage::loadBmp(second);
    QCOMPARE(back.size(), plan.size());
    for (int y = 0; y < plan.height(); ++y) {
        if (std::memcmp(back.constScanLine(y), plan.constScanLine(y), size_t(plan.bytesPerLine())) != 0)
            QFAIL(qPrintable(u"row %1 differs after the round trip"_s.arg(y)));
    }
    QCOMPARE(back.pixel(0, 3502), 0xffffffff); // the room below the short wall stayed white
}

void TstReliability::brokenPlansRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    const QString truncated = u"данные рисунка обрываются"_s;
    const QString notBmp = u"не является рисунком BMP"_s;
    const QByteArray rows24(2 * 12, '\x80'); // 3 x 2 at 24 bits, rows padded to 12 bytes

    QTest::newRow("well formed") << bmp(3, 2, 24, 0, 0, rows24) << QString();
    QTest::newRow("OS/2 header, pixels cut") << coreBmp(3, 2, rows24.left(13)) << truncated;
    QTest::newRow("OS/2 header, 65535 x 65535") << coreBmp(65535, 65535, rows24) << u"слишком велик"_s;
    QTest::newRow("8 bits, palette but no pixels") << bmp(4, 4, 8, 0, 256, {}) << truncated;
    {
        QByteArray b = bmp(4, 4, 8, 0, 256, QByteArray(16, '\1'));
        putLe32(b, 46, 0xFFFFFFFF); // colours used: absurd
        QTest::newRow("palette of 4 billion colours") << b << u"«plan.bmp»"_s;
    }
    {
        // RLE8 that claims more data than the file holds.
        QByteArray b = bmp(4, 4, 8, 1, 256, QByteArray("\x04\x01\x00\x00", 4));
        putLe32(b, 34, 5000);
        QTest::newRow("RLE8 size past the end") << b << truncated;
    }
    QTest::newRow("RLE8 with no data at all") << bmp(4, 4, 8, 1, 256, {}) << truncated;
    {
        QByteArray b = bmp(3, 2, 24, 0, 0, rows24);
        putLe32(b, 10, 0xFFFFFFFF);
        QTest::newRow("data offset 4 GiB") << b << truncated;
        putLe32(b, 14, 41);
        QTest::newRow("info header of 41 bytes") << b << notBmp;
    }
    QTest::newRow("width 32767, height 1, no pixels") << bmp(32767, 1, 24, 0, 0, {}) << truncated;
    QTest::newRow("width x height just over the pixel limit")
        << bmp(32767, 8193, 32, 0, 0, {}) << u"слишком велик"_s;
    QTest::newRow("just BM") << QByteArray("BM") << notBmp;
    QTest::newRow("ZIP archive") << QByteArray("PK\x03\x04").append(QByteArray(100, '\0')) << notBmp;
}

void TstReliability::brokenPlansRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QTemporaryDir temp;
    const QString path = temp.filePath(u"plan.bmp"_s);
    QVERIFY(writeFile(path, bytes));
    QString error;
    try {
        const QImage image = PlanImage::loadBmp(path);
        QVERIFY(!image.isNull());
    } catch (const MetrolaError &e) {
        error = e.message();
    }
    if (message.isEmpty()) {
        QVERIFY2(error.isEmpty(), qPrintable(error));
        return;
    }
    QVERIFY2(error.contains(u"plan.bmp"_s) && error.contains(message), qPrintable(u"got: "_s + error));
}

int main(int argc, char **argv)
{
    if (argc == 5 && std::strcmp(argv[1], kSaveChildArgument) == 0) {
        QCoreApplication app(argc, argv);
        return saveUnderFileSizeLimit(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                                      rlim_t(std::strtoll(argv[4], nullptr, 10)));
    }
    QCoreApplication app(argc, argv);
    TstReliability test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_reliability.moc"
