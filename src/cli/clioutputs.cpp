#include "cli/clioutputs.h"

#include "cli/cliargs.h"
#include "cli/cliproject.h"
#include "core/plan/planimage.h"
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
    const std::vector<AreaSchedule> sheets = AreaSchedule::workbook(project.session(), args.wholeComplex);
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

} // namespace CliOutputs
