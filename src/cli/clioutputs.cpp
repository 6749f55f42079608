#include "cli/clioutputs.h"

#include "cli/cliargs.h"
#include "cli/cliproject.h"
#include "core/base/metrolaerror.h"
#include "core/archive/projectarchive.h"
#include "core/plan/planimage.h"
#include "core/reports/projectpdf.h"
#include "core/reports/areaschedule.h"
#include "core/reports/placementpicture.h"
#include "core/reports/xlsxworkbook.h"


namespace CliOutputs {

namespace {

void showPlan(CliProject &project, const CliArgs &args)
{
    project.showPaintedPlan(args.plan.isEmpty() ? project.firstPlan() : args.plan);
}

} // namespace

void schedule(const CliProject &project, const CliArgs &args)
{
    const std::vector<AreaSchedule> sheets =
        AreaSchedule::workbook(project.session(), args.wholeComplex, args.asOf.value_or(QDate()));
    XlsxWorkbook::write(XlsxWorkbook::sheetsOf(sheets), args.output, project.folder());
}

void picture(CliProject &project, const CliArgs &args)
{
    showPlan(project, args);
    const ProjectSession &session = project.session();
    PlacementPicture::Options options;
    options.tenant = args.tenant;
    options.area = args.area;
    options.name = args.name;
    options.type = args.type;
    options.unit = args.unitGiven ? args.unit : session.captions()[Captions::Unit];
    const QImage image = PlacementPicture::render(session.planImage(), session.table(),
                                                  session.currentPlan(), options);
    PlanImage::saveBmp(image, args.output);
}

void repaint(CliProject &project, const CliArgs &args)
{
    showPlan(project, args);
    PlanImage::saveBmp(project.session().planImage(), args.output);
}

void pdf(CliProject &project, const CliArgs &args)
{
    ProjectPdf::Options options;
    options.view = args.mode == QStringLiteral("types")     ? PlanView::ByType
                   : args.mode == QStringLiteral("vacancy") ? PlanView::Vacancy
                   : args.mode == QStringLiteral("tenants") ? PlanView::ByTenant
                   : args.mode == QStringLiteral("leases")  ? PlanView::LeaseTerms
                                                            : PlanView::Keys;
    if (args.asOf)
        options.leaseDay = *args.asOf;
    options.plans = args.plans;
    options.paper = args.paper == QStringLiteral("A3") ? PlanPdf::Paper::A3 : PlanPdf::Paper::A4;
    options.texts.tenant = args.tenant;
    options.texts.area = args.area;
    options.texts.name = args.name;
    options.texts.type = args.type;
    options.texts.unit = args.unitGiven ? args.unit : project.session().captions()[Captions::Unit];
    if (!project.hasPlanFiles())
        throw MetrolaError(ProjectArchive::plansMissingMessage());
    ProjectPdf::write(project.session(), options, args.output);
}

} // namespace CliOutputs
