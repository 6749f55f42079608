#pragma once

#include "core/model/captions.h"
#include "core/model/roomareas.h"
#include "core/model/roomflags.h"
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
//
// Rooms flagged as places of common use (RoomFlags) are no one's to let: they are left out of
// the usable area, the vacancy and the let share, and each tenant is charged a share of them by
// the load factor K = (usable + common) / usable of the plan it rents on, so that its rentable
// area is its let usable area times K; vacant usable space carries the landlord's share. With
// no room flagged every figure is the plain one.
class ComplexSummary
{
public:
    static constexpr int TypeCount = 5;

    // Whose common areas a tenant shares in: those of each plan it rents on, in proportion to
    // its let usable area there, or those of the whole complex in proportion to its let usable
    // area in the complex.
    enum class Allocation { PerPlan, WholeComplex };

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
        // Vacancy counts usable rooms only: a corridor is never "free".
        int vacantRooms = 0;
        double vacantArea = 0;
        int commonRooms = 0;
        double commonArea = 0;
        std::optional<Measured> measured; // plans with a scale, and the total when any
        double usableArea() const { return area - commonArea; }
        // Let usable area in percent of the usable area; nullopt without usable area.
        std::optional<double> letShare() const;
        // (usable + common) / usable; nullopt without usable area.
        std::optional<double> loadFactor() const;
    };

    struct Tenant
    {
        QString tenant; // empty for the vacant rooms and the common areas
        bool common = false; // the group of the places of common use
        int rooms = 0;
        double area = 0; // let usable area; the common group: the common area
        // The part of the common areas charged to it (for the vacant rooms: the landlord's).
        double commonShare = 0;
        QStringList plans; // in order of first appearance
        std::vector<int> rows;
        double rentable() const { return common ? 0 : area + commonShare; }
    };

    // Kinds "key", "duplicate-key", "type", "area" and "area-mismatch", as `metrola-cli check`.
    using Problem = RecordRules::Problem;

    // planOrder: the plans in the order of their tabs. Plans of records that are not in it
    // follow in order of first appearance; records without a plan id count only in the total.
    // A room whose key `flags` marks common counts as common area, whatever its tenant.
    static ComplexSummary of(const RecordTable &table, const QStringList &planOrder, const RoomFlags &flags = {},
                             Allocation allocation = Allocation::PerPlan);
    // Adds the area check: each plan's scale and measured figures, the rooms checked, and the
    // mismatches among the problems (kind "area-mismatch", as `metrola-cli check` words them).
    void addAreaChecks(std::vector<RoomAreaCheck> checks, const PlanScales &scales, const RecordTable &table);

    int records = 0;
    std::vector<Figures> plans;
    Figures total;
    // Tenants in alphabetical order; the vacant rooms, then the common areas last, when there
    // are any.
    std::vector<Tenant> tenants;
    // Some room is flagged common: the tables show the rentable columns.
    bool hasCommon = false;
    Allocation allocation = Allocation::PerPlan;
    std::vector<int> commonRows;
    // Flags whose key no record has; saving drops them.
    QList<quint32> orphanFlags;
    // The tenant's rentable area in percent of the complex's area; nullopt without area.
    std::optional<double> complexShare(const Tenant &tenant) const;
    // Rentable area of everyone: equal to the complex's area unless some common area lies on a
    // plan without usable area or on no plan (per plan, nobody is charged for it).
    double rentableTotal() const;
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
    static QString commonCaption();
    // "по планам" / "по всему комплексу", as the tables and reports word the allocation.
    static QString allocationText(Allocation allocation);
    // The three tables as tab-separated text with a title line each, areas with a decimal
    // comma, for pasting into a spreadsheet.
    QString tabSeparated(const Captions &captions) const;
    // Header texts of the plan and tenant tables.
    // With `measured`, the scale and measured columns follow.
    // With `common`, the usable area, common area and load factor columns follow the let share.
    static QStringList planHeader(const Captions &captions, bool measured = false, bool common = false);
    static QStringList tenantHeader(bool common = false);
    static QStringList problemHeader();
    // A problem's kind as the window and its copy show it: "area-mismatch" and the like are the
    // batch tool's words for scripts, which stay as they are there.
    static QString kindText(const QString &kind);
    static QStringList areaHeader();
    static QStringList areaCells(const AreaRoom &room);
    static QString statusText(const RoomAreaCheck &check);
    // The cells of one row of the plan table, as shown.
    static QStringList planCells(const Figures &figures, bool measured = false, bool common = false);
    static QStringList tenantCells(const Tenant &tenant);
    // tenantCells, followed by the rentable columns when some room is common.
    QStringList tenantRow(const Tenant &tenant) const;
    // The load factor as shown: three decimals with a comma, empty without one.
    static QString loadFactorText(const std::optional<double> &factor);
};
