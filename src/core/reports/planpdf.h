#pragma once

#include "core/reports/placementpicture.h"
#include "core/reports/plancolouring.h"
#include "core/reports/stackingplan.h"

#include <QDate>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class RecordTable;

// The plans of a project as one PDF to send or print: a page per plan, oriented and scaled to
// fit, in the colouring chosen, with a title block (archive, plan, date), the legend, a scale
// bar when the plan has a scale, and the room texts the placement picture would write; then
// the stacking plan, then the summary's table of the plans. Texts are text (searchable and
// copyable), legend and bars are vectors, and each plan is embedded at its own resolution
// without loss.
class PlanPdf
{
public:
    enum class Paper { A4, A3 };

    struct Plan
    {
        QString plan;
        QImage image; // as shown in the colouring chosen
        std::vector<PlanColouring::LegendItem> legend;
        std::optional<double> metresPerPixel;
    };

    struct Document
    {
        QString archive; // the name shown in the title blocks
        QDate date;
        Paper paper = Paper::A4;
        // The plans' pages in this order; each plan is asked for only when its page is drawn,
        // so that one plan's image at a time is in memory.
        QStringList planIds;
        std::function<Plan(const QString &planId)> planOf;
        const RecordTable *table = nullptr; // the room texts; none without it
        PlacementPicture::Options texts;
        StackingPlan stacking;
        QStringList summaryHeader;
        std::vector<QStringList> summaryRows;
    };

    // Writes the document; throws MetrolaError with the reason when the file cannot be written.
    static void write(const Document &document, const QString &path);

    // The length of a scale bar in metres: 1, 2 or 5 times a power of ten, the longest that is
    // at most `metres` (0 for no positive length).
    static double scaleBarMetres(double metres);
};
