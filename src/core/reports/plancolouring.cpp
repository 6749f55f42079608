#include "core/reports/plancolouring.h"

#include "core/base/numbertext.h"
#include "core/leases/leasecalendar.h"
#include "core/model/captions.h"
#include "core/model/occupancy.h"
#include "core/model/recordtable.h"
#include "core/model/roomareas.h"
#include "core/model/roomflags.h"
#include "core/plan/colourkey.h"

#include <QColor>
#include <QHash>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace {

// ColorBrewer's qualitative sets: Set2 for the five types; Set3 then Paired for tenants
// (Set3's grey left out, it is the colour of rooms of no kind).
constexpr std::array<QRgb, 5> kTypeColours = {0xff66c2a5, 0xfffc8d62, 0xff8da0cb, 0xffe78ac3, 0xffa6d854};
constexpr std::array<QRgb, 23> kTenantColours = {
    0xff8dd3c7, 0xffffffb3, 0xffbebada, 0xfffb8072, 0xff80b1d3, 0xfffdb462, 0xffb3de69, 0xfffccde5,
    0xffbc80bd, 0xffccebc5, 0xffffed6f, 0xffa6cee3, 0xff1f78b4, 0xffb2df8a, 0xff33a02c, 0xfffb9a99,
    0xffe31a1c, 0xfffdbf6f, 0xffff7f00, 0xffcab2d6, 0xff6a3d9a, 0xffffff99, 0xffb15928,
};

std::optional<QRgb> keyPixel(const QString &cell)
{
    // White is the floor of every unmarked room and black the walls: a record claiming either
    // must not recolour them.
    const auto key = parseCellNumber(cell);
    if (!key || !ColourKey::namesRoom(*key))
        return std::nullopt;
    return ColourKey::toRgb(static_cast<quint32>(*key));
}

QRgb vacancyColour(Occupancy::State state)
{
    switch (state) {
    case Occupancy::State::Common:
        return PlanColouring::kCommon;
    case Occupancy::State::Vacant:
        return PlanColouring::kVacant;
    case Occupancy::State::Let:
        break;
    }
    return PlanColouring::kLet;
}

// The vacancy legend's lines: vacant, let, common.
size_t vacancySlot(Occupancy::State state)
{
    return state == Occupancy::State::Vacant ? 0 : state == Occupancy::State::Let ? 1 : 2;
}

// Calls `visit` with each record of the plan, in the table's order.
template <typename Visit>
void forEachOnPlan(const RecordTable &table, const QString &plan, Visit visit)
{
    for (int r = 1; r <= table.recordCount(); ++r) {
        const RecordTable::Row &row = table.row(r);
        if (row[RecordTable::PlanId] == plan)
            visit(row);
    }
}

// Counts a record's room and its area (when a number) into a legend's line.
void addRoom(PlanColouring::LegendItem &item, const RecordTable::Row &row)
{
    ++item.rooms;
    item.area += NumberText::area(row[RecordTable::Area]).value_or(0);
}

} // namespace

namespace PlanColouring {

std::vector<QString> tenantOrder(const RecordTable &table)
{
    std::vector<QString> tenants;
    tenants.reserve(static_cast<size_t>(table.recordCount()));
    for (int r = 1; r <= table.recordCount(); ++r) {
        const QString &tenant = table.row(r)[RecordTable::Tenant];
        if (!tenant.isEmpty())
            tenants.push_back(tenant);
    }
    std::sort(tenants.begin(), tenants.end());
    tenants.erase(std::unique(tenants.begin(), tenants.end()), tenants.end());
    return tenants;
}

QRgb tenantColourIn(const std::vector<QString> &order, const QString &tenant)
{
    const auto it = std::lower_bound(order.begin(), order.end(), tenant);
    if (tenant.isEmpty() || it == order.end() || *it != tenant)
        return kNoKind;
    return tenantColour(static_cast<int>(it - order.begin()));
}

QRgb typeColour(int typeIndex)
{
    if (typeIndex < 0 || typeIndex >= static_cast<int>(kTypeColours.size()))
        return kNoKind;
    return kTypeColours[static_cast<size_t>(typeIndex)];
}

QRgb tenantColour(int n)
{
    if (n < static_cast<int>(kTenantColours.size()))
        return kTenantColours[static_cast<size_t>(n)];
    // Beyond the sets: hues a golden angle apart, light enough for the labels to stay legible.
    const int hue = static_cast<int>((n * 137.508)) % 360;
    return QColor::fromHsv(hue, 90 + (n % 3) * 40, 230 - (n % 2) * 30).rgb();
}

std::vector<std::pair<QRgb, QRgb>> pairs(const RecordTable &table, const QString &plan, PlanView view)
{
    return pairs(table, plan, view, RoomFlags());
}

std::vector<std::pair<QRgb, QRgb>> pairs(const RecordTable &table, const QString &plan, PlanView view,
                                         const RoomFlags &flags)
{
    std::vector<std::pair<QRgb, QRgb>> result;
    if (view == PlanView::Keys || view == PlanView::Mismatch || view == PlanView::LeaseTerms)
        return result;
    const std::vector<QString> tenants =
        view == PlanView::ByTenant ? tenantOrder(table) : std::vector<QString>{};
    forEachOnPlan(table, plan, [&](const RecordTable::Row &row) {
        const auto key = keyPixel(row[RecordTable::ColourKey]);
        if (!key)
            return;
        const QString &tenant = row[RecordTable::Tenant];
        QRgb colour = kNoKind;
        switch (view) {
        case PlanView::ByType:
            colour = typeColour(RecordTable::typeIndex(row[RecordTable::Type]));
            break;
        case PlanView::Vacancy:
            colour = vacancyColour(Occupancy::of(row, flags));
            break;
        case PlanView::ByTenant:
            // Common areas wear the grey they have on the stacking plan, whoever is typed.
            colour = Occupancy::of(row, flags) == Occupancy::State::Common ? kCommon
                                                                           : tenantColourIn(tenants, tenant);
            break;
        case PlanView::Keys:
        case PlanView::Mismatch:
        case PlanView::LeaseTerms:
            break;
        }
        result.emplace_back(*key, colour);
    });
    return result;
}

std::vector<LegendItem> legend(const RecordTable &table, const Captions &captions, const QString &plan,
                               PlanView view)
{
    return legend(table, captions, plan, view, RoomFlags());
}

std::vector<LegendItem> legend(const RecordTable &table, const Captions &captions, const QString &plan,
                               PlanView view, const RoomFlags &flags)
{
    std::vector<LegendItem> items;
    if (view == PlanView::ByType) {
        for (int i = 0; i < 5; ++i)
            items.push_back({typeColour(i), captions[Captions::FirstType + i], 0, 0});
        items.push_back({kNoKind, u"без типа"_s, 0, 0});
    } else if (view == PlanView::Vacancy) {
        items.push_back({kVacant, u"свободно"_s, 0, 0});
        items.push_back({kLet, u"сдано"_s, 0, 0});
        items.push_back({kCommon, u"МОП"_s, 0, 0});
    } else {
        return items;
    }
    forEachOnPlan(table, plan, [&](const RecordTable::Row &row) {
        size_t slot = 0;
        if (view == PlanView::ByType) {
            const int type = RecordTable::typeIndex(row[RecordTable::Type]);
            slot = type < 0 ? 5 : static_cast<size_t>(type);
        } else {
            slot = vacancySlot(Occupancy::of(row, flags));
        }
        addRoom(items[slot], row);
    });
    // Rooms of no known type and common areas are listed only where the plan has some.
    if (items.back().rooms == 0)
        items.pop_back();
    return items;
}

std::vector<LegendItem> tenantLegend(const RecordTable &table, const QString &plan)
{
    return tenantLegend(table, plan, RoomFlags());
}

std::vector<LegendItem> tenantLegend(const RecordTable &table, const QString &plan, const RoomFlags &flags)
{
    const std::vector<QString> tenants = tenantOrder(table);
    std::vector<LegendItem> items;
    LegendItem vacant{kNoKind, u"свободно"_s, 0, 0};
    LegendItem common{kCommon, u"МОП"_s, 0, 0};
    QHash<QString, size_t> slot;
    forEachOnPlan(table, plan, [&](const RecordTable::Row &row) {
        const QString &tenant = row[RecordTable::Tenant];
        const Occupancy::State state = Occupancy::of(row, flags);
        LegendItem *item = state == Occupancy::State::Common ? &common : &vacant;
        if (state == Occupancy::State::Let) {
            auto it = slot.constFind(tenant);
            if (it == slot.cend()) {
                it = slot.insert(tenant, items.size());
                items.push_back({tenantColourIn(tenants, tenant), tenant, 0, 0});
            }
            item = &items[*it];
        }
        addRoom(*item, row);
    });
    std::stable_sort(items.begin(), items.end(),
                     [](const LegendItem &a, const LegendItem &b) { return a.area > b.area; });
    if (vacant.rooms > 0)
        items.push_back(vacant);
    if (common.rooms > 0)
        items.push_back(common);
    return items;
}

namespace {

size_t mismatchSlot(const RoomAreaCheck &check)
{
    switch (check.status) {
    case RoomAreaCheck::Status::Agrees:
        return 0;
    case RoomAreaCheck::Status::TypedLarger:
        return 1;
    case RoomAreaCheck::Status::TypedSmaller:
        return 2;
    case RoomAreaCheck::Status::TypedNotNumber:
    case RoomAreaCheck::Status::NotMeasured:
        break;
    }
    return 3;
}

constexpr QRgb kMismatchColours[] = {kAgrees, kTypedLarger, kTypedSmaller, kNoKind};

} // namespace

std::vector<std::pair<QRgb, QRgb>>
mismatchPairs(const RecordTable &table, const std::vector<RoomAreaCheck> &checks, const QString &plan)
{
    std::vector<std::pair<QRgb, QRgb>> result;
    for (const RoomAreaCheck &check : checks) {
        if (check.plan != plan)
            continue;
        if (const auto key = keyPixel(table.cellText(RecordTable::ColourKey, check.row)))
            result.emplace_back(*key, kMismatchColours[mismatchSlot(check)]);
    }
    return result;
}

std::vector<LegendItem> mismatchLegend(const RecordTable &table, const std::vector<RoomAreaCheck> &checks,
                                       const QString &plan)
{
    std::vector<LegendItem> items = {{kAgrees, u"в допуске"_s, 0, 0},
                                     {kTypedLarger, u"введено больше"_s, 0, 0},
                                     {kTypedSmaller, u"введено меньше"_s, 0, 0},
                                     {kNoKind, u"не измерено"_s, 0, 0}};
    bool any = false;
    for (const RoomAreaCheck &check : checks) {
        if (check.plan != plan)
            continue;
        any = true;
        LegendItem &item = items[mismatchSlot(check)];
        ++item.rooms;
        item.area += NumberText::area(table.cellText(RecordTable::Area, check.row)).value_or(0);
    }
    if (!any)
        return {};
    if (items.back().rooms == 0)
        items.pop_back();
    return items;
}

} // namespace PlanColouring

namespace PlanColouring {

namespace {

// Slots of the legend, in the order it lists them.
constexpr int kCommonSlot = 6;

int leaseSlot(const LeaseCalendar &calendar, const RoomFlags &flags, const RecordTable::Row &row, quint32 key,
              QDate day)
{
    // Common areas by the one rule of occupancy, whatever their leases say.
    if (Occupancy::of(row, flags) == Occupancy::State::Common)
        return kCommonSlot;
    return int(calendar.term(key, day));
}

QRgb leaseSlotColour(int slot)
{
    static constexpr std::array<QRgb, 7> colours = {
        kNoKind, kLeaseEnded, kLeaseWithin3, kLeaseWithin12, kLeaseLater, kLeaseOpenEnded, kCommon};
    return colours[size_t(slot)];
}

} // namespace

std::vector<std::pair<QRgb, QRgb>> leaseTermPairs(const RecordTable &table, const LeaseCalendar &calendar,
                                                  const QString &plan, QDate day, const RoomFlags &flags)
{
    std::vector<std::pair<QRgb, QRgb>> result;
    forEachOnPlan(table, plan, [&](const RecordTable::Row &row) {
        const auto key = keyPixel(row[RecordTable::ColourKey]);
        if (!key)
            return;
        const quint32 colourKey = quint32(*parseCellNumber(row[RecordTable::ColourKey]));
        result.emplace_back(*key, leaseSlotColour(leaseSlot(calendar, flags, row, colourKey, day)));
    });
    return result;
}

std::vector<LegendItem> leaseTermLegend(const RecordTable &table, const LeaseCalendar &calendar,
                                        const QString &plan, QDate day, const RoomFlags &flags)
{
    const std::array<QString, 7> captions = {u"нет договора"_s,
                                             u"договор истёк"_s,
                                             u"истекает в 3 мес."_s,
                                             u"истекает в 12 мес."_s,
                                             u"истекает позже"_s,
                                             u"бессрочный"_s,
                                             u"МОП"_s};
    std::vector<LegendItem> items;
    for (int slot = 0; slot < 7; ++slot)
        items.push_back({leaseSlotColour(slot), captions[size_t(slot)], 0, 0});
    forEachOnPlan(table, plan, [&](const RecordTable::Row &row) {
        const auto key = parseCellNumber(row[RecordTable::ColourKey]);
        if (!key || !ColourKey::namesRoom(*key))
            return;
        LegendItem &item = items[size_t(leaseSlot(calendar, flags, row, quint32(*key), day))];
        addRoom(item, row);
    });
    if (items.back().rooms == 0)
        items.pop_back();
    return items;
}

} // namespace PlanColouring
