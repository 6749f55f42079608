#include "core/base/metrolaerror.h"
#include "core/plan/plansource.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A plan of 40 x 30 points: white paper, a black wall 4 points thick along the top.
QImage smallPlan(QImage::Format format = QImage::Format_RGB32)
{
    QImage image(40, 30, format);
    image.fill(Qt::white);
    QPainter(&image).fillRect(0, 0, 40, 4, Qt::black);
    return image;
}

// A PDF drawing the way architects' software writes one: vector lines on an A5 page (one
// page per entry of `walls`, a wall of that thickness in millimetres across each).
void writePdf(const QString &path, const QList<double> &walls)
{
    QPdfWriter pdf(path);
    pdf.setPageSize(QPageSize(QPageSize::A5));
    pdf.setResolution(72);
    QPainter p(&pdf);
    for (qsizetype i = 0; i < walls.size(); ++i) {
        if (i > 0)
            pdf.newPage();
        p.fillRect(QRectF(0, 0, 400, walls[i] * 72 / 25.4), Qt::black);
    }
}

} // namespace

class TestPlanSource : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void picturesBecomeRgb32Plans_data();
    void picturesBecomeRgb32Plans();
    void transparentPictureLiesOnWhite();
    void pdfPageAndResolution();
    void refusals_data();
    void refusals();
    void bmpName_data();
    void bmpName();
    void cutPicturesAreRefusedQuietly_data();
    void cutPicturesAreRefusedQuietly();

private:
    QTemporaryDir m_dir;
};

void TestPlanSource::picturesBecomeRgb32Plans_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("png") << QByteArray("png") << u"plan.png"_s;
    QTest::newRow("tiff") << QByteArray("tiff") << u"plan.tif"_s;
    QTest::newRow("jpeg") << QByteArray("jpeg") << u"plan.jpg"_s;
    // Read for what it is, not by its name.
    QTest::newRow("png named .bmp") << QByteArray("png") << u"misnamed.bmp"_s;
}

void TestPlanSource::picturesBecomeRgb32Plans()
{
    QFETCH(QByteArray, format);
    QFETCH(QString, fileName);
    const QString path = m_dir.filePath(fileName);
    QImageWriter writer(path, format);
    QVERIFY2(writer.write(smallPlan(QImage::Format_Grayscale8)), qPrintable(writer.errorString()));
    const QImage plan = PlanSource::load(path);
    QCOMPARE(plan.format(), QImage::Format_RGB32);
    QCOMPARE(plan.size(), QSize(40, 30));
    QVERIFY(qGray(plan.pixel(20, 1)) < 40);
    QVERIFY(qGray(plan.pixel(20, 20)) > 215);
}

void TestPlanSource::transparentPictureLiesOnWhite()
{
    QImage image(20, 20, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(0, 0, 20, 3, Qt::black);
    const QString path = m_dir.filePath(u"transparent.png"_s);
    QVERIFY(image.save(path));
    const QImage plan = PlanSource::load(path);
    QCOMPARE(plan.pixel(10, 10), qRgb(255, 255, 255));
    QCOMPARE(plan.pixel(10, 1), qRgb(0, 0, 0));
}

void TestPlanSource::pdfPageAndResolution()
{
    const QString path = m_dir.filePath(u"plans.pdf"_s);
    writePdf(path, {5, 20});
    QCOMPARE(PlanSource::kindOf(path), PlanSource::Kind::Pdf);
    QCOMPARE(PlanSource::pdfPageCount(path), 2);
    // A5 is 148 x 210 mm.
    const QImage first = PlanSource::load(path, 1, 100);
    QVERIFY(qAbs(first.width() - 583) <= 1);
    QVERIFY(qAbs(first.height() - 827) <= 1);
    QCOMPARE(first.format(), QImage::Format_RGB32);
    const QImage second = PlanSource::load(path, 2, 50);
    QVERIFY(qAbs(second.width() - 291) <= 1);
    // The second page's wall is 20 mm: 39 points at 50 dpi; the first page's 5 mm is not.
    QCOMPARE(second.pixel(100, 30), qRgb(0, 0, 0));
    QCOMPARE(PlanSource::load(path, 1, 50).pixel(100, 30), qRgb(255, 255, 255));
}

void TestPlanSource::refusals_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<QString>("message");
    QTest::newRow("text file") << QByteArray("not a picture at all") << 1 << 200 << u"не является рисунком"_s;
    QTest::newRow("cut pdf") << QByteArray("%PDF-1.4\n1 0 obj") << 1 << 200 << u"PDF"_s;
    QTest::newRow("page past the end") << QByteArray() << 3 << 200 << u"нет страницы 3"_s;
    QTest::newRow("dpi too high") << QByteArray() << 1 << 5000 << u"Разрешение 5000"_s;
    // 148 mm at 1200 dpi fits, but not A5 at the plan limit of 32767 points a side.
    QTest::newRow("page too large") << QByteArray("huge") << 1 << 1200 << u"слишком велик"_s;
}

void TestPlanSource::refusals()
{
    QFETCH(QByteArray, content);
    QFETCH(int, page);
    QFETCH(int, dpi);
    QFETCH(QString, message);
    const QString path = m_dir.filePath(u"refused-%1"_s.arg(QString::fromLatin1(QTest::currentDataTag())));
    if (content.isEmpty()) {
        writePdf(path, {5});
    } else if (content == "huge") {
        QPdfWriter pdf(path);
        pdf.setPageSize(QPageSize(QSizeF(1000, 1000), QPageSize::Millimeter));
        QPainter(&pdf).drawLine(0, 0, 10, 10);
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    try {
        PlanSource::load(path, page, dpi);
        QFAIL("the file was read");
    } catch (const MetrolaError &error) {
        QVERIFY2(error.message().contains(message), qPrintable(error.message()));
    }
}

void TestPlanSource::bmpName_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("name");
    QTest::newRow("jpeg") << u"/home/u/этаж 2.jpg"_s << u"этаж 2.bmp"_s;
    QTest::newRow("two dots") << u"plan.v2.pdf"_s << u"plan.v2.bmp"_s;
    QTest::newRow("no suffix") << u"/tmp/plan"_s << u"plan.bmp"_s;
    QTest::newRow("dot file") << u"/tmp/.png"_s << u".png.bmp"_s;
}

void TestPlanSource::bmpName()
{
    QFETCH(QString, source);
    QFETCH(QString, name);
    QCOMPARE(PlanSource::bmpNameFor(source), name);
}

QTEST_MAIN(TestPlanSource)
#include "tst_plansource.moc"

namespace {

QStringList g_heard;
void hear(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_heard.append(message);
}

} // namespace

void TestPlanSource::cutPicturesAreRefusedQuietly_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<int>("keptPercent"); // of the file's bytes; more than 100 adds bytes past its end
    QTest::newRow("jpeg cut in half") << QByteArray("JPG") << 50;
    QTest::newRow("jpeg without its last bytes") << QByteArray("JPG") << 98;
    QTest::newRow("png cut in half") << QByteArray("PNG") << 50;
    QTest::newRow("tiff cut in half") << QByteArray("TIFF") << 50;
    QTest::newRow("bmp cut in half") << QByteArray("BMP") << 50;
    QTest::newRow("whole jpeg, bytes after its end") << QByteArray("JPG") << 110;
}

// A cut JPEG was taken as a whole plan, the lost half grey (walls, once prepared); and the
// image libraries' English went to the terminal beside the Russian line.
void TestPlanSource::cutPicturesAreRefusedQuietly()
{
    QFETCH(QByteArray, format);
    QFETCH(int, keptPercent);
    QImage image(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7) % 256, (y * 13) % 256, ((x ^ y) * 3) % 256));
    }
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(image.save(&buffer, format.constData()));
    }
    const qsizetype kept = bytes.size() * keptPercent / 100;
    if (kept > bytes.size())
        bytes.append(QByteArray(kept - bytes.size(), '\x55'));
    else
        bytes.truncate(kept);
    const QString path = m_dir.filePath(u"cut-%1"_s.arg(QString::fromLatin1(QTest::currentDataTag())));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    g_heard.clear();
    const QtMessageHandler previous = qInstallMessageHandler(hear);
    QTemporaryFile terminal;
    QVERIFY(terminal.open());
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(terminal.handle(), STDERR_FILENO);
    QString refusal;
    QSize size;
    try {
        size = PlanSource::load(path).size();
    } catch (const MetrolaError &error) {
        refusal = error.message();
    }
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    qInstallMessageHandler(previous);
    QFile written(terminal.fileName());
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray said = written.readAll();
    QVERIFY2(said.isEmpty(), said.constData());
    if (refusal.isEmpty())
        QCOMPARE(size, image.size());
    QCOMPARE(refusal.isEmpty(), keptPercent > 100);
    if (format == "JPG" && keptPercent < 100)
        QVERIFY2(refusal.contains(u"обрезан"_s), qPrintable(refusal));
    QVERIFY2(g_heard.isEmpty(), qPrintable(g_heard.join(u" | "_s)));
}
