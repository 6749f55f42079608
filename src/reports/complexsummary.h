#pragma once

#include "model/captions.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

class RecordTable;

// The facts a property manager asks first, computed from the record table alone: areas by
// plan and type, vacancy, who rents what, and the records whose texts the sums cannot use.
// The summary window and `metrola-cli info` both show this. Areas are read as the schedule
// reads them (AreaText); an area that is not a number counts as a room but adds nothing.
class ComplexSummary
{
public:
    static constexpr int TypeCount = 5;

    struct Figures
    {
        QString plan; // empty in the total row
        int rooms = 0;
        std::array<double, TypeCount> areaByType{}; // in RecordTable::typeCodes() order
        double areaUnknownType = 0;
        double area = 0;
        int vacantRooms = 0;
        double vacantArea = 0;
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

    struct Problem
    {
        int row = 0;
        QString kind; // as `metrola-cli check` names it: "area", "type", "key", "duplicate-key"
        QString message;
    };

    // planOrder: the plans in the order of their tabs. Plans of records that are not in it
    // follow in order of first appearance; records without a plan id count only in the total.
    static ComplexSummary of(const RecordTable &table, const QStringList &planOrder);

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

    // The caption of the vacant rooms in the tenant table.
    static QString vacantCaption();
    // The three tables as tab-separated text with a title line each, areas with a decimal
    // comma, for pasting into a spreadsheet.
    QString tabSeparated(const Captions &captions) const;
    // Header texts of the plan and tenant tables.
    static QStringList planHeader(const Captions &captions);
    static QStringList tenantHeader();
    static QStringList problemHeader();
    // The cells of one row of the plan table, as shown.
    static QStringList planCells(const Figures &figures);
    static QStringList tenantCells(const Tenant &tenant);
};
