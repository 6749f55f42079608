#include "core/leases/leasebook.h"
#include "gui/mainwindow/form1.h"
#include "testrecord.h"
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include "core/archive/zipreader.h"
#include "core/plan/colourkey.h"
#include "gui/plan/plancanvas.h"
#include "gui/plan/planlegend.h"
#include "gui/records/form2.h"
#include "gui/reports/summarywindow.h"
#include "messagelog.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QToolButton>
#include <QTreeWidget>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// A plan 60 x 40, white, with black walls at x = 20 and x = 40: rooms L, M and R from the
// left. L and M are marked and let to one tenant; R is unmarked.
constexpr quint32 kKeyL = 0x3366CC;
constexpr quint32 kKeyM = 0x00AA11;
const QPoint kL(5, 10);
const QPoint kM(30, 10);
const QPoint kR(50, 10);
const QPoint kWall(20, 30);
const QString kPlan = u"p.bmp"_s;

QImage threeRooms()
{
    QImage image(60, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < image.height(); ++y) {
        image.setPixel(20, y, qRgb(0, 0, 0));
        image.setPixel(40, y, qRgb(0, 0, 0));
    }
    return image;
}

RecordTable::Row record(QPoint label, quint32 key, const QString &type, const QString &tenant)
{
    return roomRecord({.plan = kPlan, .name = u"к"_s, .type = type, .area = u"12,5"_s, .tenant = tenant,
                       .key = QString::number(key), .label = label});
}

QRgb shownAt(Form1 &form, QPoint p)
{
    return form.Image1->grab(QRect(p, QSize(1, 1))).toImage().pixel(0, 0) | 0xff000000u;
}

} // namespace

class TestPlanView : public QObject
{
    Q_OBJECT

    MessageLog m_log;

    void showPlan(Form1 &form, PlanView view)
    {
        RecordTable &table = form.session().table();
        table.appendRecord(record(kL, kKeyL, u"торг"_s, u"Т1"_s), u"01.02.2024"_s);
        table.appendRecord(record(kM, kKeyM, u"склд"_s, u"Т1"_s), u"01.02.2024"_s);
        form.session().setShownPlan(threeRooms(), kPlan);
        form.session().repaintPlanRooms();
        form.refreshPlanView();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.ViewMode->setCurrentIndex(int(view));
        QCOMPARE(form.planView(), view);
    }

private Q_SLOTS:
    void init() { m_log.install(); }
    void cleanup() { MessageLog::remove(); }

    // Plans added with "Новый План" have their tabs at once, and whichever way a plan comes on
    // screen its tab is the one selected, so a click on another tab always shows that plan.
    void tabsFollowThePlanShown_data()
    {
        QTest::addColumn<bool>("byGrid");
        QTest::newRow("back by its tab") << false;
        QTest::newRow("back by a grid double click") << true;
    }
    void tabsFollowThePlanShown()
    {
        QFETCH(bool, byGrid);
        QTemporaryDir files;
        QTemporaryDir work;
        const QString a = files.path() + u"/a.bmp"_s;
        const QString b = files.path() + u"/b.bmp"_s;
        QVERIFY(threeRooms().save(a, "BMP"));
        QVERIFY(threeRooms().save(b, "BMP"));
        QString chosen;
        Dialogs::setResponder({[this](Dialogs::Kind, const QString &, const QString &text) {
                                   m_log.texts.append(text);
                                   return QMessageBox::Ok;
                               },
                               [&chosen](QFileDialog *) { return chosen; }, {}});
        Form1 form(work.path() + u'/');
        const auto tabs = [&form] {
            QStringList texts;
            for (int i = 0; i < form.TabSet1->count(); ++i)
                texts.append(form.TabSet1->tabText(i));
            return texts;
        };

        chosen = a;
        form.SpeedButton1Click();
        QCOMPARE(tabs(), QStringList{u"a.bmp"_s});
        form.Image1MouseUp(Qt::RightButton, kL.x(), kL.y());
        form.form2()->Button2Click();
        chosen = b;
        form.SpeedButton1Click();
        QCOMPARE(tabs(), (QStringList{u"a.bmp"_s, u"b.bmp"_s}));
        QCOMPARE(form.TabSet1->currentIndex(), 1);

        if (byGrid) {
            form.selectRow(1);
            form.StringGrid1DblClick();
        } else {
            form.TabSet1->setCurrentIndex(0);
        }
        QCOMPARE(form.Label1->text(), u"a.bmp"_s);
        QCOMPARE(form.TabSet1->currentIndex(), 0);
        const auto key = static_cast<quint32>(form.session().table().cellNumber(RecordTable::ColourKey, 1));
        QCOMPARE(form.session().planImage().pixel(kL), ColourKey::toRgb(key)); // its rooms painted again
        form.TabSet1->setCurrentIndex(1);
        QCOMPARE(form.Label1->text(), u"b.bmp"_s);

        // A save packs the plan with a record; the new plan keeps its tab all the same.
        chosen = files.path() + u"/p.zip"_s;
        form.SpeedButton2Click();
        QCOMPARE(ZipReader(chosen).memberNames(), (QStringList{u"a.bmp"_s, u"metrola.csv"_s}));
        QCOMPARE(tabs(), (QStringList{u"a.bmp"_s, u"b.bmp"_s}));
        QCOMPARE(form.TabSet1->currentIndex(), 1);
        QVERIFY2(m_log.texts.isEmpty(), qPrintable(m_log.texts.join(u'\n')));
    }

    void eachViewMapsOnlyRooms_data()
    {
        QTest::addColumn<int>("view");
        QTest::addColumn<quint32>("l");
        QTest::addColumn<quint32>("m");
        QTest::addColumn<int>("legendLines");
        QTest::newRow("keys") << int(PlanView::Keys) << ColourKey::toRgb(kKeyL) << ColourKey::toRgb(kKeyM) << 0;
        QTest::newRow("type") << int(PlanView::ByType) << PlanColouring::typeColour(0) << PlanColouring::typeColour(3)
                              << 5;
        QTest::newRow("vacancy") << int(PlanView::Vacancy) << PlanColouring::kLet << PlanColouring::kLet << 2;
        QTest::newRow("tenant") << int(PlanView::ByTenant) << PlanColouring::tenantColour(0)
                                << PlanColouring::tenantColour(0) << 0;
    }
    void eachViewMapsOnlyRooms()
    {
        QFETCH(int, view);
        QFETCH(quint32, l);
        QFETCH(quint32, m);
        QFETCH(int, legendLines);
        Form1 form(QDir::tempPath() + u'/');
        showPlan(form, PlanView(view));
        const QImage keys = form.session().planImage().copy();
        QCOMPARE(shownAt(form, kL), QRgb(l));
        QCOMPARE(shownAt(form, kM), QRgb(m));
        QCOMPARE(shownAt(form, kR), qRgb(255, 255, 255));
        QCOMPARE(shownAt(form, kWall), qRgb(0, 0, 0));
        QCOMPARE(form.session().planImage(), keys);
        QCOMPARE(int(form.Legend->items().size()), legendLines);
        QCOMPARE(form.Legend->isVisibleTo(&form), legendLines > 0);
        if (view == int(PlanView::ByType))
            QCOMPARE(form.Legend->lineText(0), u"Торговые — 12,5 "_s + form.edt[9]->text());

        // The tenant of M moves out: the view follows the record at once.
        RecordTable &table = form.session().table();
        RecordTable::Row row = table.row(2);
        row[RecordTable::Tenant].clear();
        table.updateRecord(2, row, std::nullopt);
        if (view == int(PlanView::Vacancy) || view == int(PlanView::ByTenant))
            QVERIFY(shownAt(form, kM) != QRgb(m));
        else
            QCOMPARE(shownAt(form, kM), QRgb(m));
        // Undo removes the record: its room is shown by its pixels again.
        form.Button2->click();
        QCOMPARE(shownAt(form, kM), qRgb(255, 255, 255));
        QCOMPARE(shownAt(form, kL), QRgb(l));
        QVERIFY(m_log.texts.isEmpty());
    }

    // "Сроки аренды": rooms without leases grey; a lease ending within three months turns its
    // room orange as soon as it is added, and the legend counts it.
    void leaseTermsFollowTheLeases()
    {
        Form1 form(QDir::tempPath() + u'/');
        showPlan(form, PlanView::LeaseTerms);
        QCOMPARE(shownAt(form, kL), PlanColouring::kNoKind);
        QCOMPARE(form.Legend->items().front().rooms, 2);
        Lease lease;
        lease.rooms = {LeaseRoom{kKeyL, kPlan}};
        lease.tenant = u"Т1"_s;
        lease.start = QDate::currentDate().addYears(-1);
        lease.end = QDate::currentDate().addMonths(2);
        LeaseBook::of(form.session()).add(lease, form.session().table());
        form.leasesEdited();
        QCOMPARE(shownAt(form, kL), PlanColouring::kLeaseWithin3);
        QCOMPARE(shownAt(form, kM), PlanColouring::kNoKind);
        QCOMPARE(form.Legend->items()[0].rooms, 1);
        QCOMPARE(form.Legend->items()[2].rooms, 1);
        QVERIFY(form.session().modified());

        // Two years back the lease had not begun: L was free then, M (no lease) let to its
        // record's tenant, in this view and in the vacancy view alike.
        form.SummaryButtonClick();
        form.Summary->AsOfDate->setDate(QDate::currentDate().addYears(-2));
        QCOMPARE(shownAt(form, kL), PlanColouring::kNoKind);
        form.ViewMode->setCurrentIndex(int(PlanView::Vacancy));
        QCOMPARE(shownAt(form, kL), PlanColouring::kVacant);
        QCOMPARE(shownAt(form, kM), PlanColouring::kLet);
        form.Summary->TodayButton->click();
        QCOMPARE(shownAt(form, kL), PlanColouring::kLet);
    }

    void typeViewActsOnTheKeyImage()
    {
        Form1 form(QDir::tempPath() + u'/');
        showPlan(form, PlanView::ByType);
        QTest::mouseMove(form.Image1, kM + QPoint(2, 5));
        QCOMPARE(form.Hinter->text(), u" Т1 к 12,5кв.м. "_s);

        QTest::mouseClick(form.Image1, Qt::RightButton, {}, kM);
        QVERIFY(form.form2()->isVisible());
        QCOMPARE(form.form2()->row(), 2);
        form.form2()->hide();

        // Marking the unmarked room fills the key image; the new key, not yet a record, shows
        // as it is.
        QTest::mouseClick(form.Image1, Qt::RightButton, {}, kR);
        const QRgb newKey = form.session().planImage().pixel(kR);
        QCOMPARE(newKey, ColourKey::toRgb(form.session().markingColour));
        QCOMPARE(shownAt(form, kR), newKey);
        form.form2()->hide();

        // Blink: the room shows the restore colour, then its type colour again.
        form.BlinkRow = 1;
        form.Timer1Timer();
        QCOMPARE(form.session().planImage().pixel(kL), ColourKey::toRgb(form.session().restoreColour));
        QCOMPARE(shownAt(form, kL), ColourKey::toRgb(form.session().restoreColour));
        form.Timer1Timer();
        QCOMPARE(form.session().planImage().pixel(kL), ColourKey::toRgb(kKeyL));
        QCOMPARE(shownAt(form, kL), PlanColouring::typeColour(0));
        QVERIFY(m_log.texts.isEmpty());
    }

    void summaryFollowsCommitAndUndo()
    {
        Form1 form(QDir::tempPath() + u'/');
        showPlan(form, PlanView::Keys);
        form.SummaryButton->click();
        SummaryWindow *summary = form.Summary;
        QVERIFY(summary && summary->isVisible());
        const auto totalCell = [summary](int column) {
            QTreeWidget *plans = summary->PlanTable;
            return plans->topLevelItem(plans->topLevelItemCount() - 1)->text(column);
        };
        QCOMPARE(totalCell(1), u"2"_s);
        QCOMPARE(totalCell(8), u"25"_s);

        // A new room let to a second tenant, committed through the record dialog.
        QTest::mouseClick(form.Image1, Qt::RightButton, {}, kR);
        form.form2()->Edit1->setText(u"Т2"_s);
        form.form2()->Edit2->setText(u"7,25"_s);
        form.form2()->Button2->click();
        QTRY_COMPARE(totalCell(1), u"3"_s);
        QCOMPARE(totalCell(8), u"32,25"_s);
        QCOMPARE(summary->TenantTable->topLevelItemCount(), 2);

        form.Button2->click();
        QTRY_COMPARE(totalCell(1), u"2"_s);
        QCOMPARE(totalCell(8), u"25"_s);
        QCOMPARE(summary->TenantTable->topLevelItemCount(), 1);

        summary->CopyButton->click();
        QVERIFY(QApplication::clipboard()->text().contains(u"Т1\t2\t25\tp.bmp"_s));
        QVERIFY(m_log.texts.isEmpty());
    }

    void doubleClickOnARoomShowsItsRecord()
    {
        Form1 form(QDir::tempPath() + u'/');
        showPlan(form, PlanView::ByType);
        form.session().table().setCell(RecordTable::Area, 2, u"abc"_s);
        form.SummaryButton->click();
        SummaryWindow *summary = form.Summary;
        QTRY_COMPARE(summary->ProblemTable->topLevelItemCount(), 1);
        QTreeWidgetItem *problem = summary->ProblemTable->topLevelItem(0);
        // The batch tool's word for scripts ("area") is no word of the window's.
        QCOMPARE(problem->text(1), u"площадь"_s);
        Q_EMIT summary->ProblemTable->itemDoubleClicked(problem, 0);
        QCOMPARE(form.selectedRow(), 2);
        QVERIFY(form.Timer1->isActive());
        QCOMPARE(form.BlinkRow, 2);

        QTreeWidgetItem *tenant = summary->TenantTable->topLevelItem(0);
        QCOMPARE(tenant->childCount(), 2);
        Q_EMIT summary->TenantTable->itemDoubleClicked(tenant, 0); // a tenant row is no room
        QCOMPARE(form.BlinkRow, 2);
        Q_EMIT summary->TenantTable->itemDoubleClicked(tenant->child(0), 0);
        QCOMPARE(form.selectedRow(), 1);
        QCOMPARE(form.BlinkRow, 1);
    }

    // The blink must not run behind the window that asked for it.
    void summaryDoubleClickBringsTheMainWindowForward()
    {
        Form1 form(QDir::tempPath() + u'/');
        showPlan(form, PlanView::Keys);
        form.SummaryButton->click();
        SummaryWindow *summary = form.Summary;
        QTRY_COMPARE(QApplication::activeWindow(), summary);
        QTreeWidgetItem *tenant = summary->TenantTable->topLevelItem(0);
        Q_EMIT summary->TenantTable->itemDoubleClicked(tenant->child(1), 0);
        QVERIFY(form.Timer1->isActive());
        QTRY_COMPARE(QApplication::activeWindow(), &form);
        QVERIFY(summary->isVisible());
    }
};

QTEST_MAIN(TestPlanView)
#include "tst_planview.moc"
