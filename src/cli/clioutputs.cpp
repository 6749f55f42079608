#include "clioutputs.h"

#include "cliargs.h"
#include "cliproject.h"
#include "plan/planimage.h"
#include "reports/areaschedule.h"
#include "reports/placementpicture.h"
#include "reports/xlsxworkbook.h"

namespace CliOutputs {

namespace {

void showPlan(CliProject &project, const CliArgs &args)
{
    project.showPaintedPlan(args.plan.isEmpty() ? project.firstPlan() : args.plan);
}

} // namespace

void schedule(const CliProject &project, const CliArgs &args)
{
    const ProjectSession &session = project.session();
    const AreaSchedule sheet =
        AreaSchedule::build(session.table(), session.captions(), session.lastArchive);
    XlsxWorkbook::write(sheet, args.output, project.folder());
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
