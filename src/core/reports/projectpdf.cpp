#include "core/reports/projectpdf.h"

#include "core/leases/leasebook.h"
#include "core/leases/leasecalendar.h"

#include "core/base/metrolaerror.h"
#include "core/model/planscales.h"
#include "core/model/projectsession.h"
#include "core/model/roomareas.h"
#include "core/plan/displaycolours.h"
#include "core/plan/planimage.h"
#include "core/plan/roommeasure.h"
#include "core/reports/complexsummary.h"

#include <QDate>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace ProjectPdf {

namespace {

// The plan in its keys. The plan on screen is painted already; another is read from its file
// and painted as opening paints it, without disturbing what the session shows.
QImage paintedPlan(const ProjectSession &session, const QString &planId)
{
    if (session.currentPlan() == planId && !session.planImage().isNull())
        return session.planImage();
    QImage image = PlanImage::loadBmp(session.planPaths().planFilePath(session.programDir(), planId));
    const std::vector<RoomSeed> seeds = RoomAreas::seedsOf(session.table(), planId);
    std::vector<RoomPixels> counted;
    RoomMeasure::repaintCounting(image, seeds, counted);
    return image;
}

} // namespace

void write(const ProjectSession &session, const Options &options, const QString &path)
{
    const RecordTable &table = options.asOfTable ? *options.asOfTable : session.table();
    const QStringList order = session.plans().names();
    for (const QString &plan : options.plans) {
        if (!order.contains(plan))
            throw MetrolaError(u"План «%1» отсутствует в проекте."_s.arg(plan));
    }
    PlanPdf::Document document;
    document.archive = session.reportArchive().isEmpty() ? u"Новый проект"_s : QFileInfo(session.reportArchive()).fileName();
    document.date = QDate::currentDate();
    document.paper = options.paper;
    document.planIds = options.plans.isEmpty() ? order : options.plans;
    document.table = &table;
    document.texts = options.texts;
    const PlanView view = options.view;
    static const LeaseBook noLeases;
    const LeaseBook *book = LeaseBook::in(session);
    const LeaseCalendar calendar(book ? *book : noLeases);
    const QDate leaseDay = options.leaseDay.isValid() ? options.leaseDay : QDate::currentDate();
    document.planOf = [&](const QString &planId) {
        PlanPdf::Plan plan;
        plan.plan = planId;
        const QImage keys = paintedPlan(session, planId);
        DisplayColours colours;
        colours.assign(
            view == PlanView::LeaseTerms
                ? PlanColouring::leaseTermPairs(table, calendar, planId, leaseDay, session.roomFlags())
                : PlanColouring::pairs(table, planId, view, session.roomFlags()));
        if (colours.isEmpty()) {
            plan.image = keys;
        } else {
            plan.image = QImage(keys.size(), QImage::Format_RGB32);
            colours.map(keys, keys.rect(), plan.image, QPoint(0, 0));
        }
        plan.legend =
            view == PlanView::ByTenant ? PlanColouring::tenantLegend(table, planId, session.roomFlags())
            : view == PlanView::LeaseTerms
                ? PlanColouring::leaseTermLegend(table, calendar, planId, leaseDay, session.roomFlags())
                : PlanColouring::legend(table, session.captions(), planId, view, session.roomFlags());
        if (const auto scale = session.scales().scale(planId))
            plan.metresPerPixel = scale->metresPerPixel;
        return plan;
    };
    const RoomFlags &flags = session.roomFlags();
    const std::function<bool(int)> flagged = [&](int row) {
        return flags.isCommonKey(table.cellText(RecordTable::ColourKey, row));
    };
    document.stacking = StackingPlan::build(
        table, session.captions(), session.roomFlags().orderedFloors(order),
        view == PlanView::ByType       ? StackingPlan::Colouring::Types
        : view == PlanView::LeaseTerms ? StackingPlan::Colouring::Groups
                                       : StackingPlan::Colouring::Tenants,
        options.isCommon ? options.isCommon : flagged, StackingPlan::leaseYears(table, calendar, leaseDay));
    // The plan table as the summary shows it: vacancy of usable rooms, and the load factors
    // when some room is common.
    const ComplexSummary summary = ComplexSummary::of(table, order, flags);
    document.summaryHeader = ComplexSummary::planHeader(session.captions(), false, summary.hasCommon);
    for (const ComplexSummary::Figures &figures : summary.plans)
        document.summaryRows.push_back(ComplexSummary::planCells(figures, false, summary.hasCommon));
    document.summaryRows.push_back(ComplexSummary::planCells(summary.total, false, summary.hasCommon));
    PlanPdf::write(document, path);
}

} // namespace ProjectPdf
