#pragma once

#include "core/model/captions.h"
#include "core/model/roomareas.h"
#include "core/reports/recordrules.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

class PlanScales;
class RecordTable;

// The facts a property manager asks first, computed from the record table alone: areas by
// plan and type, vacancy, who rents what, and the records whose texts the sums cannot use.
// The summary window and `metrola-cli info` both show this. Areas are read as the schedule
// reads them (NumberText::area); an area that is not a number counts as a room but adds nothing.
class ComplexSummary
{
public:
    static constexpr int TypeCount = 5;

    // The typed areas of a plan with a scale against what its rooms measure.
    struct Measured
    {
        double metresPerPixel = 0; // 0 in the total row
        int rooms = 0;             // records checked
        int measuredRooms = 0;
        int mismatches = 0;
        double measuredArea = 0; // every measured room
        // The rooms measured and typed as a number, on both sides.
        double comparedTyped = 0;
        double comparedMeasured = 0;
        // (typed - measured) / measured over the compared rooms, in percent.
        std::optional<double> difference() const;
    };

    struct Figures
    {
        QString plan; // empty in the total row
        int rooms = 0;
        std::array<double, TypeCount> areaByType{}; // in RecordTable::typeCodes() order
        double areaUnknownType = 0;
        double area = 0;
        int vacantRooms = 0;
        double vacantArea = 0;
        std::optional<Measured> measured; // plans with a scale, and the total when any
        // Let area in percent of the area; nullopt without area.
        std::optional<double> letShare() const;
    };

    struct Tenant
    {
        QString tenant; // empty for the vacant rooms
        int rooms = 0;
        double area = 0;
        QStringList plans; // in order of first appearance
        std::vector<int> rows;
    };

    // Kinds "key", "duplicate-key", "type", "area" and "area-mismatch", as `metrola-cli check`.
    using Problem = RecordRules::Problem;

    // planOrder: the plans in the order of their tabs. Plans of records that are not in it
    // follow in order of first appearance; records without a plan id count only in the total.
    static ComplexSummary of(const RecordTable &table, const QStringList &planOrder);
    // Adds the area check: each plan's scale and measured figures, the rooms checked, and the
    // mismatches among the problems (kind "area-mismatch", as `metrola-cli check` words them).
    void addAreaChecks(std::vector<RoomAreaCheck> checks, const PlanScales &scales, const RecordTable &table);

    int records = 0;
    std::vector<Figures> plans;
    Figures total;
    // Tenants in alphabetical order; the vacant rooms last, when there are any.
    std::vector<Tenant> tenants;
    std::vector<Problem> problems; // by row
    std::vector<int> areaNotNumberRows;
    std::vector<int> areaMissingRows; // unfinished records, not wrong ones
    std::vector<int> vacantRows;
    bool finished = false;
    QString lastNewRecord;
    QString lastEdit;
    // The records of the plans with a scale, in table order, and their texts as shown.
    struct AreaRoom
    {
        RoomAreaCheck check;
        QString name;
        QString typedText;
    };
    std::vector<AreaRoom> areaRooms;
    // Some plan has a scale: the plan table shows the measured columns.
    bool hasScales = false;

    // The caption of the vacant rooms in the tenant table.
    static QString vacantCaption();
    // The three tables as tab-separated text with a title line each, areas with a decimal
    // comma, for pasting into a spreadsheet.
    QString tabSeparated(const Captions &captions) const;
    // Header texts of the plan and tenant tables.
    // With `measured`, the scale and measured columns follow.
    static QStringList planHeader(const Captions &captions, bool measured = false);
    static QStringList tenantHeader();
    static QStringList problemHeader();
    static QStringList areaHeader();
    static QStringList areaCells(const AreaRoom &room);
    static QString statusText(const RoomAreaCheck &check);
    // The cells of one row of the plan table, as shown.
    static QStringList planCells(const Figures &figures, bool measured = false);
    static QStringList tenantCells(const Tenant &tenant);
};
