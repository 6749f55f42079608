#pragma once

#include "displaycolours.h"

#include <QRgb>
#include <QString>

#include <vector>

class RecordTable;
struct Captions;

// How the plan view colours the marked rooms. Keys shows the plan's own pixels; the other
// views draw each room of the plan shown in a colour told by its record.
enum class PlanView { Keys, ByType, Vacancy, ByTenant };

// The display colours of a view and its legend, built from the record table.
namespace PlanColouring {

// Rooms whose type is none of the five codes, and vacant rooms in the tenant view.
inline constexpr QRgb kNoKind = 0xffbdbdbd;
inline constexpr QRgb kVacant = 0xffd7301f;
inline constexpr QRgb kLet = 0xffc6dbef;

QRgb typeColour(int typeIndex); // -1 for no known type
// The n-th tenant's colour (tenants counted in sorted order over the whole table, so a tenant
// keeps its colour on every plan).
QRgb tenantColour(int n);

// The key -> display colour pairs of the records on the given plan. Records whose key is no
// number are left out (their rooms keep their pixels). Keys gives an empty table.
std::vector<std::pair<QRgb, QRgb>> pairs(const RecordTable &table, const QString &plan, PlanView view);

struct LegendItem
{
    QRgb colour = 0;
    QString caption;
    int rooms = 0;
    double area = 0; // of the areas that are numbers
};
// The legend of ByType (the five types by their captions, then rooms of no known type when
// there are any) and of Vacancy (vacant, then let) for the rooms on the given plan. The other
// views have none.
std::vector<LegendItem> legend(const RecordTable &table, const Captions &captions, const QString &plan,
                               PlanView view);

} // namespace PlanColouring
