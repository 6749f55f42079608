#include "core/plan/colourkey.h"
#include "gui/mainwindow/form1.h"
#include "gui/reports/stackingwindow.h"
#include "gui/widgets/dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Two plans of three rooms side by side (walls at x = 100 and 200); tenant А has two rooms on
// the second plan and one on the first, Б one, the rest is vacant.
void project(Form1 &form, const QString &work)
{
    QImage image(300, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < 100; ++y) {
        image.setPixel(100, y, qRgb(0, 0, 0));
        image.setPixel(200, y, qRgb(0, 0, 0));
    }
    for (const QString &plan : {u"a.bmp"_s, u"b.bmp"_s})
        QVERIFY(image.save(work + plan, "BMP"));
    RecordTable &table = form.session().table();
    quint32 key = 0x102030;
    const auto add = [&](const QString &plan, const QString &tenant, const QString &area, int x) {
        RecordTable::Row row;
        row[RecordTable::PlanId] = plan;
        row[RecordTable::Tenant] = tenant;
        row[RecordTable::Area] = area;
        row[RecordTable::Type] = u"офис"_s;
        row[RecordTable::ColourKey] = QString::number(key++);
        row[RecordTable::LabelX] = QString::number(x);
        row[RecordTable::LabelY] = u"50"_s;
        table.appendRecord(row, u"09.12.2026"_s);
    };
    add(u"a.bmp"_s, u"А"_s, u"30"_s, 50);
    add(u"a.bmp"_s, u"Б"_s, u"20"_s, 150);
    add(u"a.bmp"_s, QString(), u"10"_s, 250);
    add(u"b.bmp"_s, u"А"_s, u"40"_s, 50);
    add(u"b.bmp"_s, u"А"_s, u"40"_s, 250);
    form.session().plans().rebuild(table);
    form.fillTabs();
    form.session().showPlanFile(work + u"a.bmp"_s, u"a.bmp"_s);
    form.refreshPlanView();
    form.session().repaintPlanRooms();
}

} // namespace

class TestStacking : public QObject
{
    Q_OBJECT

    QString m_pdfPath;
    QStringList m_messages;

private Q_SLOTS:
    void init()
    {
        m_messages.clear();
        Dialogs::setResponder({[this](Dialogs::Kind, const QString &, const QString &text) {
                                   m_messages << text;
                                   return QMessageBox::Ok;
                               },
                               [this](QFileDialog *) { return m_pdfPath; }, {}, [](const QString &) { return true; }});
    }
    void cleanup() { Dialogs::setResponder({}); }

    // A click on a block shows its plan with all the block's rooms blinking; the window follows
    // the records as they change.
    void clickShowsTheBlocksRooms()
    {
        QTemporaryDir dir;
        Form1 form(dir.path() + u'/');
        project(form, dir.path() + u'/');
        form.showStackingPlan();
        StackingWindow *window = form.Stacking;
        QVERIFY(window && window->isVisible());
        const StackingPlan &plan = window->View->plan();
        QCOMPARE(plan.bars.size(), size_t(2));
        QCOMPARE(plan.bars[1].blocks[0].caption, u"А"_s);
        QCOMPARE(plan.bars[1].blocks[0].area, 80.0);

        window->View->resize(800, 200);
        const QRectF row = plan.barRow(window->View->drawingArea(), 1);
        QTest::mouseClick(window->View, Qt::LeftButton, {}, (row.topLeft() + QPointF(3, 3)).toPoint());
        QCOMPARE(form.session().currentPlan(), u"b.bmp"_s);
        QVERIFY(form.Timer1->isActive());
        QCOMPARE(form.BlinkRow, 4);
        QCOMPARE(form.BlinkAlso, QList<int>{5});
        // Both rooms change colour on the first tick.
        const QRgb before = form.session().planImage().pixel(250, 50);
        form.Timer1Timer();
        QVERIFY(form.session().planImage().pixel(50, 50) != ColourKey::toRgb(0x102033));
        QVERIFY(form.session().planImage().pixel(250, 50) != before);

        form.session().table().setCell(RecordTable::Tenant, 3, u"Б"_s);
        QTRY_COMPARE(window->View->plan().legend().size(), size_t(2));
        window->ColouringBox->setCurrentIndex(1);
        QCOMPARE(window->View->plan().bars[0].blocks.size(), size_t(1));
    }

    // A floor's name dragged onto another row moves the floor; the order is unsaved work.
    void dragMovesAFloor()
    {
        QTemporaryDir dir;
        Form1 form(dir.path() + u'/');
        project(form, dir.path() + u'/');
        form.session().setModified(false);
        form.showStackingPlan();
        StackingView *view = form.Stacking->View;
        view->resize(800, 200);
        const StackingPlan &plan = view->plan();
        const QPointF name0 = plan.barRow(view->drawingArea(), 0).topLeft() + QPointF(-20, 4);
        const QPointF name1 = plan.barRow(view->drawingArea(), 1).topLeft() + QPointF(-20, 4);
        QTest::mousePress(view, Qt::LeftButton, {}, name0.toPoint());
        QTest::mouseRelease(view, Qt::LeftButton, {}, name1.toPoint());
        QCOMPARE(view->plan().bars[0].plan, u"b.bmp"_s);
        QCOMPARE(form.session().roomFlags().floorOrder(), (QStringList{u"b.bmp"_s, u"a.bmp"_s}));
        QVERIFY(form.session().modified());
        // A press and release on the same name is no move, and no block was clicked.
        QTest::mousePress(view, Qt::LeftButton, {}, name0.toPoint());
        QTest::mouseRelease(view, Qt::LeftButton, {}, name0.toPoint());
        QCOMPARE(view->plan().bars[0].plan, u"b.bmp"_s);
        QVERIFY(!form.Timer1->isActive());
    }

    void printsEveryPlanToPdf()
    {
        QTemporaryDir dir;
        Form1 form(dir.path() + u'/');
        project(form, dir.path() + u'/');
        m_pdfPath = dir.path() + u"/plans.pdf"_s;
        form.printPlansPdf();
        QVERIFY(QFileInfo(m_pdfPath).size() > 0);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].contains(m_pdfPath));
        // The plan shown stays shown, in its keys.
        QCOMPARE(form.session().currentPlan(), u"a.bmp"_s);
    }
};

QTEST_MAIN(TestStacking)
#include "tst_stacking.moc"
