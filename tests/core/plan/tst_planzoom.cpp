#include "core/plan/displaycolours.h"
#include "core/plan/planzoom.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A plan of distinct pixels, so that any pixel drawn from the wrong plan pixel shows.
QImage numberedPlan(int width, int height)
{
    QImage plan(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            plan.setPixel(x, y, qRgb(x, y, (x * 7 + y) & 0xff));
    return plan;
}

} // namespace

class TestPlanZoom : public QObject
{
    Q_OBJECT

    static void factors()
    {
        QTest::addColumn<double>("factor");
        for (const double f : {1.0 / 8, 0.25, 1.0 / 3, 0.5, 2.0 / 3, 1.0, 1.5, 2.0, 3.0, 8.0, 0.37})
            QTest::newRow(qPrintable(QString::number(f))) << f;
    }

private Q_SLOTS: // Every view pixel lies in exactly the plan pixel toPlan() names, and a plan rect's view
    // rect holds every view pixel that shows part of it: an update never misses a pixel.
    void mappingAgrees_data() { factors(); }
    void mappingAgrees()
    {
        QFETCH(double, factor);
        const PlanZoom zoom(factor);
        const QRect planRect(3, 5, 4, 2);
        const QRect viewRect = zoom.toView(planRect);
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 100; ++x) {
                const QPoint plan = zoom.toPlan(QPointF(x, y));
                if (planRect.contains(plan))
                    QVERIFY2(viewRect.contains(x, y), qPrintable(u"%1,%2"_s.arg(x).arg(y)));
            }
        }
        // A plan pixel's own top-left view pixel, and the centre, map back to it.
        for (const QPoint p : {QPoint(0, 0), QPoint(7, 3), QPoint(40, 41)}) {
            if (factor >= 1) {
                QCOMPARE(zoom.toPlan(QPointF(zoom.toView(p))), p);
            }
            QCOMPARE(zoom.toPlan(zoom.centreInView(p)), p);
        }
        // Just left of and above the plan is outside it, never rounded into its first pixel.
        QVERIFY(zoom.toPlan(QPointF(-0.5, -0.5)).x() < 0);
        QVERIFY(zoom.toPlan(QPointF(-0.5, -0.5)).y() < 0);
    }

    // Drawing a part of the view gives exactly what drawing the whole view gives, at any
    // factor and offset; enlarged, every view pixel is its plan pixel's display colour.
    void renderMatchesPixelByPixel_data() { factors(); }
    void renderMatchesPixelByPixel()
    {
        QFETCH(double, factor);
        const QImage plan = numberedPlan(37, 23);
        DisplayColours colours;
        colours.assign({{plan.pixel(4, 4), qRgb(1, 2, 3)}, {plan.pixel(36, 22), qRgb(4, 5, 6)}});
        const PlanZoom zoom(factor);
        const QSize view = zoom.viewSize(plan.size());
        QImage whole(view, QImage::Format_RGB32);
        zoom.render(plan, colours, whole.rect(), whole);
        const QRect part(QPoint(view.width() / 3, view.height() / 4),
                         QPoint(view.width() + 5, view.height() + 5));
        QImage target(part.size(), QImage::Format_RGB32);
        target.fill(qRgb(200, 0, 200));
        zoom.render(plan, colours, part, target);
        for (int y = 0; y < part.height(); ++y) {
            for (int x = 0; x < part.width(); ++x) {
                const QPoint v = part.topLeft() + QPoint(x, y);
                QRgb expected = whole.rect().contains(v) ? whole.pixel(v) : qRgb(200, 0, 200);
                if (factor >= 1 && whole.rect().contains(v))
                    expected = colours.displayOf(plan.pixel(zoom.toPlan(QPointF(v))));
                QVERIFY2(target.pixel(x, y) == expected, qPrintable(u"view %1,%2"_s.arg(v.x()).arg(v.y())));
            }
        }
    }

    // Reduced, a wall one pixel thin shows in every view row and column it crosses, wherever it
    // lies within the block of plan pixels a view pixel covers.
    void thinWallsStayWhenReduced_data()
    {
        QTest::addColumn<double>("factor");
        for (const double f : {1.0 / 8, 1.0 / 3, 0.37, 2.0 / 3})
            QTest::newRow(qPrintable(QString::number(f))) << f;
    }
    void thinWallsStayWhenReduced()
    {
        QFETCH(double, factor);
        const PlanZoom zoom(factor);
        for (int wall = 0; wall < 9; ++wall) {
            QImage plan(64, 48, QImage::Format_RGB32);
            plan.fill(qRgb(250, 250, 200));
            for (int y = 0; y < plan.height(); ++y)
                plan.setPixel(wall + 20, y, qRgb(0, 0, 0));
            for (int x = 0; x < plan.width(); ++x)
                plan.setPixel(x, wall + 10, qRgb(0, 0, 0));
            QImage view(zoom.viewSize(plan.size()), QImage::Format_RGB32);
            zoom.render(plan, DisplayColours(), view.rect(), view);
            const int column = zoom.toView(QRect(wall + 20, 0, 1, 1)).left();
            const int row = zoom.toView(QRect(0, wall + 10, 1, 1)).top();
            for (int y = 0; y < view.height(); ++y)
                QCOMPARE(view.pixel(column, y), qRgb(0, 0, 0));
            for (int x = 0; x < view.width(); ++x)
                QVERIFY2(view.pixel(x, row) == qRgb(0, 0, 0),
                         qPrintable(u"wall %1 x %2 row %3"_s.arg(wall).arg(x).arg(row)));
        }
    }

    void fitting()
    {
        QCOMPARE(PlanZoom::fitting({2000, 1000}, {1000, 800}), 0.5);
        QCOMPARE(PlanZoom::fitting({100, 100}, {1000, 900}), PlanZoom::kMaximum);
        QCOMPARE(PlanZoom::fitting({}, {1000, 900}), 1.0);
    }
};

QTEST_GUILESS_MAIN(TestPlanZoom)
#include "tst_planzoom.moc"
