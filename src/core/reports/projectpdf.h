#pragma once

#include "core/reports/placementpicture.h"
#include "core/reports/plancolouring.h"
#include "core/reports/planpdf.h"

#include <QStringList>

#include <QDate>

#include <functional>

class ProjectSession;
class RecordTable;

// A project's plans as a PDF, the same from the window and the batch tool: each plan is
// painted in its keys from its file (or taken as shown when it is the plan on screen), then
// coloured as the view chosen; the stacking plan and the plan table follow.
namespace ProjectPdf {

struct Options
{
    PlanView view = PlanView::Keys;
    QStringList plans; // in this order; empty: every plan in tab order
    PlanPdf::Paper paper = PlanPdf::Paper::A4;
    PlacementPicture::Options texts;
    // Tells the records of common areas (the stacking plan's grey); without it, the rooms the
    // session's flags mark common.
    std::function<bool(int row)> isCommon;
    // The day the colouring by lease terms is read on; today when not given.
    QDate leaseDay;
    // The records as of that day (tenants from the leases then in force), in the session's
    // order; the session's own when not given. Keys and label points are the session's.
    const RecordTable *asOfTable = nullptr;
};

// Throws MetrolaError for a plan not in the project, or one whose file cannot be read, naming it.
void write(const ProjectSession &session, const Options &options, const QString &path);

} // namespace ProjectPdf
