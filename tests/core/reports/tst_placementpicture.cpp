#include "reportstest.h"

#include "core/base/metrolaerror.h"
#include "core/model/recordtable.h"
#include "core/reports/placementpicture.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QRgb White = qRgb(0xFF, 0xFF, 0xFF);
const QRgb Room = qRgb(0xC0, 0xC0, 0xC0);
const QPoint LabelPoint(60, 50);

// A white plan with one grey room around the label point of plan "p1".
QImage makePlan()
{
    QImage plan(200, 120, QImage::Format_RGB32);
    plan.fill(White);
    QPainter painter(&plan);
    painter.fillRect(QRect(20, 20, 160, 80), QColor::fromRgb(Room));
    return plan;
}

void makeTable(RecordTable &table, const QString &x = u"60"_s, const QString &y = u"50"_s)
{
    RecordTable::Row p1;
    p1[RecordTable::PlanId] = u"p1"_s;
    p1[RecordTable::Name] = u"Зал"_s;
    p1[RecordTable::Type] = u"офис"_s;
    p1[RecordTable::Tenant] = u"АБВ"_s;
    p1[RecordTable::LabelX] = x;
    p1[RecordTable::LabelY] = y;
    RecordTable::Row p2 = p1;
    p2[RecordTable::PlanId] = u"p2"_s;
    p2[RecordTable::LabelX] = u"150"_s;
    p2[RecordTable::LabelY] = u"90"_s;
    table.appendRecord(p1, std::nullopt);
    table.appendRecord(p2, std::nullopt);
}

int countColour(const QImage &image, const QRect &box, QRgb colour)
{
    int count = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x)
            count += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    }
    return count;
}

// Every pixel that differs from the plan lies inside `box` and is white or `colour`:
// nothing blended, nothing stray.
bool onlyLabelChanges(const QImage &before, const QImage &after, const QRect &box, QRgb colour)
{
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            const QRgb pixel = after.pixel(x, y);
            if (pixel == before.pixel(x, y))
                continue;
            if (!box.contains(x, y) || (pixel != White && pixel != (colour | 0xFF000000)))
                return false;
        }
    }
    return true;
}

} // namespace

class TestPlacementPicture : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tenantOfThisPlanOnly()
    {
        const QImage plan = makePlan();
        const QImage original = plan.copy();
        RecordTable table;
        makeTable(table);
        const QImage picture = PlacementPicture::render(plan, table, u"p1"_s, {});

        QCOMPARE(plan, original);
        const QRgb red = qRgb(0xFF, 0, 0);
        // The text's top-left corner is (X-10, Y); its halo reaches 2 pixels further.
        const QRect text = QRect(-10, 0, 50, 16).translated(LabelPoint);
        const QRect halo = QRect(-12, -2, 60, 22).translated(LabelPoint);
        QVERIFY(countColour(picture, text, red) > 20);
        QVERIFY(countColour(picture, halo, White) > 0);
        QVERIFY(onlyLabelChanges(plan, picture, halo, red));
    }

    void options_data()
    {
        QTest::addColumn<bool>("tenant");
        QTest::addColumn<bool>("area");
        QTest::addColumn<bool>("name");
        QTest::addColumn<bool>("type");
        QTest::addColumn<QRgb>("colour");
        QTest::addColumn<QRect>("box"); // relative to the label point

        // The area is empty: the unit alone is drawn.
        QTest::newRow("area") << false << true << false << false << qRgb(0x80, 0, 0x80)
                              << QRect(-5, -14, 40, 18);
        QTest::newRow("name") << false << false << true << false << qRgb(0, 0, 0x80)
                              << QRect(-20, 8, 40, 16);
        QTest::newRow("type") << false << false << false << true << qRgb(0, 0, 0)
                              << QRect(-21, -9, 40, 12);
    }

    void options()
    {
        QFETCH(bool, tenant);
        QFETCH(bool, area);
        QFETCH(bool, name);
        QFETCH(bool, type);
        QFETCH(QRgb, colour);
        QFETCH(QRect, box);
        const QImage plan = makePlan();
        RecordTable table;
        makeTable(table);
        const QImage picture = PlacementPicture::render(plan, table, u"p1"_s,
                                                        {tenant, area, name, type, u"м."_s});
        const QRect placed = box.translated(LabelPoint);
        QVERIFY(countColour(picture, placed, colour) > 0);
        QVERIFY(onlyLabelChanges(plan, picture, placed, colour));
    }

    void nothingTicked()
    {
        const QImage plan = makePlan();
        RecordTable table;
        makeTable(table);
        QCOMPARE(PlacementPicture::render(plan, table, u"p1"_s, {false, false, false, false, {}}),
                 plan);
    }

    void palettePlan()
    {
        const QImage plan = makePlan().convertToFormat(QImage::Format_Indexed8);
        RecordTable table;
        makeTable(table);
        const QImage picture = PlacementPicture::render(plan, table, u"p1"_s, {});
        QCOMPARE(plan.format(), QImage::Format_Indexed8);
        QVERIFY(countColour(picture, picture.rect(), qRgb(0xFF, 0, 0)) > 0);
    }

    void brokenLabelPoint_data()
    {
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("y");
        QTest::addColumn<QString>("planId");
        QTest::addColumn<bool>("throws");
        QTest::newRow("x not an integer") << u"12a"_s << u"50"_s << u"p1"_s << true;
        QTest::newRow("y empty") << u"60"_s << QString() << u"p1"_s << true;
        QTest::newRow("decimal") << u"60.0"_s << u"50"_s << u"p1"_s << true;
        QTest::newRow("other plan's record") << u"12a"_s << u"50"_s << u"p2"_s << false;
    }

    void brokenLabelPoint()
    {
        QFETCH(QString, x);
        QFETCH(QString, y);
        QFETCH(QString, planId);
        QFETCH(bool, throws);
        const QImage plan = makePlan();
        const QImage original = plan.copy();
        RecordTable table;
        makeTable(table, x, y);
        bool thrown = false;
        try {
            PlacementPicture::render(plan, table, planId, {});
        } catch (const MetrolaError &) {
            thrown = true;
        }
        QCOMPARE(thrown, throws);
        QCOMPARE(plan, original);
    }

    void saveAs24BitBmp()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QImage picture = makePlan().convertToFormat(QImage::Format_ARGB32);
        picture.setPixel(3, 4, qRgb(0x12, 0x34, 0x56));
        const QString path = PlacementPicture::save(picture, dir.path() + u'/');
        QCOMPARE(path, QDir(dir.path()).filePath(u"metrola.bmp"_s));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray header = file.read(30);
        QCOMPARE(header.left(2), "BM");
        QCOMPARE(quint8(header[28]) | quint8(header[29]) << 8, 24);
        QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32),
                 picture.convertToFormat(QImage::Format_RGB32));
    }

    void saveFailureLeavesNothing()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY_THROWS_EXCEPTION(MetrolaError,
                                 PlacementPicture::save(makePlan(), dir.filePath(u"missing"_s)));
        QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }
};

int runPlacementPictureTests(int argc, char **argv)
{
    TestPlacementPicture test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_placementpicture.moc"
