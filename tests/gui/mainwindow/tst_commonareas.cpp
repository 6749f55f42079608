#include "core/plan/colourkey.h"
#include "core/reports/plancolouring.h"
#include "gui/mainwindow/form1.h"
#include "gui/plan/plancanvas.h"
#include "gui/reports/stackingwindow.h"
#include "gui/reports/summarywindow.h"
#include "messagelog.h"
#include "testrecord.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

// A plan 60 x 40 with walls at x = 20 and x = 40: a corridor C (30 m², vacant), an office O
// let to Т1 (60 m²) and an office V (10 m², vacant) from the left.
constexpr quint32 kKeyC = 0x3366CC;
constexpr quint32 kKeyO = 0x00AA11;
constexpr quint32 kKeyV = 0x0011AA;
const QPoint kC(5, 10);
const QPoint kO(30, 10);
const QPoint kV(50, 10);
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

RecordTable::Row record(QPoint label, quint32 key, const QString &name, const QString &area, const QString &tenant)
{
    return roomRecord({.plan = kPlan, .name = name, .type = u"офис"_s, .area = area, .tenant = tenant,
                       .key = QString::number(key), .label = label});
}

QRgb shownAt(Form1 &form, QPoint p)
{
    return form.Image1->grab(QRect(p, QSize(1, 1))).toImage().pixel(0, 0) | 0xff000000u;
}

} // namespace

// Flagging common areas from the summary: the suggestion, the figures, the vacancy colours.
class TestCommonAreas : public QObject
{
    Q_OBJECT

    MessageLog m_log;

    SummaryWindow *openSummary(Form1 &form)
    {
        RecordTable &table = form.session().table();
        table.appendRecord(record(kC, kKeyC, u"Коридор"_s, u"30"_s, {}), u"01.02.2024"_s);
        table.appendRecord(record(kO, kKeyO, u"Офис 1"_s, u"60"_s, u"Т1"_s), u"01.02.2024"_s);
        table.appendRecord(record(kV, kKeyV, u"Офис 2"_s, u"10"_s, {}), u"01.02.2024"_s);
        form.session().plans().rebuild(table);
        form.session().setShownPlan(threeRooms(), kPlan);
        form.session().repaintPlanRooms();
        form.refreshPlanView();
        form.show();
        form.ViewMode->setCurrentIndex(int(PlanView::Vacancy));
        form.SummaryButton->click();
        return form.Summary;
    }
    static QString totalCell(SummaryWindow *summary, int column)
    {
        QTreeWidget *plans = summary->PlanTable;
        return plans->topLevelItem(plans->topLevelItemCount() - 1)->text(column);
    }

private Q_SLOTS:
    void init() { m_log.install(); }
    void cleanup() { MessageLog::remove(); }

    void acceptedSuggestionFlagsTheCorridor()
    {
        Form1 form(QDir::tempPath() + u'/');
        SummaryWindow *summary = openSummary(form);
        QVERIFY(summary->CommonNotice->isVisible());
        QVERIFY(summary->CommonNotice->text().contains(u"«Коридор» (строка 1)"_s));
        QCOMPARE(summary->suggestedRows(), std::vector<int>{1});
        QCOMPARE(totalCell(summary, 10), u"40"_s); // the corridor counted as free space
        QCOMPARE(totalCell(summary, 11), u"60,0"_s);
        QVERIFY(!form.session().roomFlags().isCommon(kKeyC)); // nothing flagged unasked
        QCOMPARE(shownAt(form, kC), PlanColouring::kVacant);

        summary->AcceptSuggestionButton->click();
        QVERIFY(form.session().roomFlags().isCommon(kKeyC));
        QVERIFY(form.session().modified());
        QVERIFY(summary->CommonNotice->isHidden());
        // usable 70, common 30, K = 100 / 70; Т1 pays 60 * 30 / 70 = 25,71 and rents 85,71.
        QCOMPARE(totalCell(summary, 10), u"10"_s);
        QCOMPARE(totalCell(summary, 11), u"85,7"_s);
        QCOMPARE(totalCell(summary, summary->PlanTable->columnCount() - 1), u"1,429"_s);
        QTreeWidgetItem *tenant = summary->TenantTable->topLevelItem(0);
        QCOMPARE(tenant->text(0), u"Т1"_s);
        QCOMPARE(tenant->text(4), u"25,71"_s);
        QCOMPARE(tenant->text(5), u"85,71"_s);
        QCOMPARE(summary->TenantTable->topLevelItem(2)->text(0), ComplexSummary::commonCaption());
        QTRY_COMPARE(shownAt(form, kC), PlanColouring::kCommon);
        // The stacking plan follows the flags too: Т1, the vacant office, then the corridor.
        form.showStackingPlan();
        const auto &blocks = form.Stacking->View->plan().bars.at(0).blocks;
        QCOMPARE(blocks.size(), size_t(3));
        QCOMPARE(blocks[2].kind, StackingPlan::Kind::Common);
        QCOMPARE(blocks[2].colour, PlanColouring::kCommon);
        QVERIFY(m_log.texts.isEmpty());
    }

    // A tenant's line stands for all its rooms; clearing the last flag drops the columns.
    void selectedRoomsAreFlaggedAndCleared()
    {
        Form1 form(QDir::tempPath() + u'/');
        SummaryWindow *summary = openSummary(form);
        summary->DeclineSuggestionButton->click();
        QVERIFY(form.session().roomFlags().isDecided());
        QVERIFY(form.session().roomFlags().isEmpty());
        QVERIFY(summary->CommonNotice->isHidden());
        QVERIFY(!summary->MarkCommonButton->isEnabled());

        summary->TenantTable->topLevelItem(1)->setSelected(true); // the vacant rooms 1 and 3
        QCOMPARE(summary->selectedRooms(), (std::vector<int>{1, 3}));
        summary->MarkCommonButton->click();
        QVERIFY(form.session().roomFlags().isCommon(kKeyC));
        QVERIFY(form.session().roomFlags().isCommon(kKeyV));
        QCOMPARE(totalCell(summary, 9), u"0"_s); // no free room left

        QTreeWidgetItem *common = summary->TenantTable->topLevelItem(1);
        QCOMPARE(common->text(0), ComplexSummary::commonCaption());
        common->child(1)->setSelected(true);
        summary->UnmarkCommonButton->click();
        QCOMPARE(form.session().roomFlags().keys(), QList<quint32>{kKeyC});
        summary->TenantTable->topLevelItem(summary->TenantTable->topLevelItemCount() - 1)->setSelected(true);
        summary->UnmarkCommonButton->click();
        QVERIFY(form.session().roomFlags().isEmpty());
        QCOMPARE(summary->TenantTable->columnCount(), 4);
        QVERIFY(m_log.texts.isEmpty());
    }
};

QTEST_MAIN(TestCommonAreas)
#include "tst_commonareas.moc"
