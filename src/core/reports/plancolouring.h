#pragma once

#include "core/plan/displaycolours.h"

#include <QDate>
#include <QRgb>
#include <QString>

#include <vector>

class LeaseCalendar;
class RecordTable;
class RoomFlags;
struct RoomAreaCheck;
struct Captions;

// How the plan view colours the marked rooms. Keys shows the plan's own pixels; the other
// views draw each room of the plan shown in a colour told by its record.
enum class PlanView { Keys, ByType, Vacancy, ByTenant, Mismatch, LeaseTerms };

// The display colours of a view and its legend, built from the record table.
namespace PlanColouring {

// Rooms whose type is none of the five codes, and vacant rooms in the tenant view.
inline constexpr QRgb kNoKind = 0xffbdbdbd;
inline constexpr QRgb kVacant = 0xffd7301f;
inline constexpr QRgb kLet = 0xffc6dbef;
// Places of common use in the vacancy view: neither free nor let, so a grey lighter than that of
// rooms of no kind, which stays for those.
inline constexpr QRgb kCommon = 0xffd4d4d4;
// The area check: within the tolerance pale, outside strong, red where more was typed than
// measured, blue where less.
inline constexpr QRgb kAgrees = 0xffc7e9c0;
inline constexpr QRgb kTypedLarger = 0xffd7301f;
inline constexpr QRgb kTypedSmaller = 0xff2166ac;

QRgb typeColour(int typeIndex); // -1 for no known type
// The n-th tenant's colour (tenants counted in sorted order over the whole table, so a tenant
// keeps its colour on every plan).
QRgb tenantColour(int n);

// The tenants of the whole table in the order their colours are counted in: tenant n of this
// list has tenantColour(n) in every view that colours by tenant.
std::vector<QString> tenantOrder(const RecordTable &table);
// The colour of a tenant of that list (kNoKind for one not in it, or no tenant).
QRgb tenantColourIn(const std::vector<QString> &order, const QString &tenant);

// The key -> display colour pairs of the records on the given plan. Records whose key is no
// number are left out (their rooms keep their pixels). Keys gives an empty table.
// In the vacancy view a room that `flags` marks common shows kCommon.
std::vector<std::pair<QRgb, QRgb>> pairs(const RecordTable &table, const QString &plan, PlanView view);
std::vector<std::pair<QRgb, QRgb>> pairs(const RecordTable &table, const QString &plan, PlanView view,
                                         const RoomFlags &flags);

struct LegendItem
{
    QRgb colour = 0;
    QString caption;
    int rooms = 0;
    double area = 0; // of the areas that are numbers
};
// The legend of ByType (the five types by their captions, then rooms of no known type when
// there are any) and of Vacancy (vacant, then let, then the common areas when the plan has
// any) for the rooms on the given plan. The other views have none.
std::vector<LegendItem> legend(const RecordTable &table, const Captions &captions, const QString &plan,
                               PlanView view);
std::vector<LegendItem> legend(const RecordTable &table, const Captions &captions, const QString &plan,
                               PlanView view, const RoomFlags &flags);

// The legend of ByTenant for the rooms on the given plan, which the window does without (the
// hover names the tenant) but a printed plan needs: each tenant in its colour, largest area
// first, then the vacant rooms, then the common areas that `flags` marks (whoever is typed there).
std::vector<LegendItem> tenantLegend(const RecordTable &table, const QString &plan);
std::vector<LegendItem> tenantLegend(const RecordTable &table, const QString &plan, const RoomFlags &flags);

// The Mismatch view from the area check of the records (rooms on plans without a scale keep
// their pixels), and its legend for the given plan.
std::vector<std::pair<QRgb, QRgb>>
mismatchPairs(const RecordTable &table, const std::vector<RoomAreaCheck> &checks, const QString &plan);
std::vector<LegendItem> mismatchLegend(const RecordTable &table, const std::vector<RoomAreaCheck> &checks,
                                       const QString &plan);

// "Сроки аренды": how soon the lease in force on the day ends. No lease grey, ended red,
// within 3 months orange, within 12 months yellow, later green, open-ended blue; common areas
// as in the vacancy view.
inline constexpr QRgb kLeaseEnded = 0xffd7301f;
inline constexpr QRgb kLeaseWithin3 = 0xfffd8d3c;
inline constexpr QRgb kLeaseWithin12 = 0xfffee08b;
inline constexpr QRgb kLeaseLater = 0xff91cf60;
inline constexpr QRgb kLeaseOpenEnded = 0xff6baed6;
std::vector<std::pair<QRgb, QRgb>> leaseTermPairs(const RecordTable &table, const LeaseCalendar &calendar,
                                                  const QString &plan, QDate day, const RoomFlags &flags);
// Its legend for the rooms on the plan, every kind listed with its rooms and area (common
// areas only where the plan has some).
std::vector<LegendItem> leaseTermLegend(const RecordTable &table, const LeaseCalendar &calendar,
                                        const QString &plan, QDate day, const RoomFlags &flags);

} // namespace PlanColouring
