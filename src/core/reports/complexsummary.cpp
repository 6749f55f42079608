#include "core/reports/complexsummary.h"

#include "core/base/numbertext.h"
#include "core/model/occupancy.h"
#include "core/model/planscales.h"
#include "core/model/recordtable.h"

#include <QHash>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

void addRoom(ComplexSummary::Figures &figures, int type, double area, bool vacant, bool common)
{
    ++figures.rooms;
    if (type >= 0)
        figures.areaByType[static_cast<size_t>(type)] += area;
    else
        figures.areaUnknownType += area;
    figures.area += area;
    if (common) {
        ++figures.commonRooms;
        figures.commonArea += area;
    } else if (vacant) {
        ++figures.vacantRooms;
        figures.vacantArea += area;
    }
}

// The common area charged to `usable` square metres let on a plan (or the complex) of these
// figures; nothing where there is no usable area to carry it.
double commonShareOf(const ComplexSummary::Figures &figures, double usable)
{
    const double planUsable = figures.usableArea();
    return planUsable > 0 ? figures.commonArea * usable / planUsable : 0.0;
}

// A share worked out by division, to the 0,01 m² that areas are typed in.
QString computedArea(double area)
{
    return NumberText::format(std::round(area * 100) / 100);
}

QString percent(const std::optional<double> &share)
{
    return share ? NumberText::formatShare(*share) : QString();
}

} // namespace

std::optional<double> ComplexSummary::Figures::letShare() const
{
    const double usable = usableArea();
    if (usable <= 0)
        return std::nullopt;
    return (usable - vacantArea) * 100.0 / usable;
}

std::optional<double> ComplexSummary::Figures::loadFactor() const
{
    const double usable = usableArea();
    if (usable <= 0)
        return std::nullopt;
    return area / usable;
}

std::optional<double> ComplexSummary::complexShare(const Tenant &tenant) const
{
    if (tenant.common || total.area <= 0)
        return std::nullopt;
    return tenant.rentable() * 100.0 / total.area;
}

double ComplexSummary::rentableTotal() const
{
    double sum = 0;
    for (const Tenant &tenant : tenants)
        sum += tenant.rentable();
    return sum;
}

std::optional<double> ComplexSummary::Measured::difference() const
{
    if (comparedMeasured <= 0)
        return std::nullopt;
    return (comparedTyped - comparedMeasured) * 100.0 / comparedMeasured;
}

QString ComplexSummary::vacantCaption()
{
    return u"— свободно —"_s;
}

QString ComplexSummary::commonCaption()
{
    return u"— места общего пользования —"_s;
}

QString ComplexSummary::allocationText(Allocation allocation)
{
    return allocation == Allocation::PerPlan ? u"МОП распределены по планам пропорционально сданной площади"_s
                                             : u"МОП распределены по всему комплексу пропорционально сданной площади"_s;
}

QString ComplexSummary::loadFactorText(const std::optional<double> &factor)
{
    return factor ? QString::number(*factor, 'f', 3).replace(u'.', u',') : QString();
}

ComplexSummary ComplexSummary::of(const RecordTable &table, const QStringList &planOrder, const RoomFlags &flags,
                                  Allocation allocation)
{
    ComplexSummary s;
    s.records = table.recordCount();
    s.allocation = allocation;
    QHash<QString, size_t> planSlot;
    for (const QString &plan : planOrder) {
        if (plan.isEmpty() || planSlot.contains(plan))
            continue;
        planSlot.insert(plan, s.plans.size());
        s.plans.push_back({});
        s.plans.back().plan = plan;
    }
    QHash<QString, size_t> tenantSlot;
    Tenant vacant;
    Tenant common;
    common.common = true;
    RecordRules rules(s.records);
    // Which plans each tenant has rooms on, by plan slot, and its usable area there.
    std::vector<std::vector<bool>> tenantPlans;
    std::vector<bool> vacantPlans;
    std::vector<bool> commonPlans;
    std::vector<std::vector<double>> tenantPlanArea;
    std::vector<double> vacantPlanArea;

    for (int r = 1; r <= s.records; ++r) {
        const RecordTable::Row &row = table.row(r);
        const QString &plan = row[RecordTable::PlanId];
        const QString &areaText = row[RecordTable::Area];
        const QString &tenantName = row[RecordTable::Tenant];
        const auto value = NumberText::area(areaText);
        const double area = value.value_or(0);
        const int type = RecordTable::typeIndex(row[RecordTable::Type]);
        const Occupancy::State state = Occupancy::of(row, flags);
        const bool isVacant = state == Occupancy::State::Vacant;
        const bool isCommon = state == Occupancy::State::Common;

        addRoom(s.total, type, area, isVacant, isCommon);
        int planIndex = -1;
        if (!plan.isEmpty()) {
            auto slot = planSlot.constFind(plan);
            if (slot == planSlot.cend()) {
                slot = planSlot.insert(plan, s.plans.size());
                s.plans.push_back({});
                s.plans.back().plan = plan;
            }
            planIndex = static_cast<int>(*slot);
            addRoom(s.plans[*slot], type, area, isVacant, isCommon);
        }

        Tenant *tenant = &vacant;
        std::vector<bool> *seenPlans = &vacantPlans;
        std::vector<double> *planArea = &vacantPlanArea;
        if (isCommon) {
            tenant = &common;
            seenPlans = &commonPlans;
            planArea = nullptr;
            s.commonRows.push_back(r);
        } else if (!isVacant) {
            auto slot = tenantSlot.constFind(tenantName);
            if (slot == tenantSlot.cend()) {
                slot = tenantSlot.insert(tenantName, s.tenants.size());
                s.tenants.push_back({});
                s.tenants.back().tenant = tenantName;
                tenantPlans.emplace_back();
                tenantPlanArea.emplace_back();
            }
            tenant = &s.tenants[*slot];
            seenPlans = &tenantPlans[*slot];
            planArea = &tenantPlanArea[*slot];
        } else {
            s.vacantRows.push_back(r);
        }
        ++tenant->rooms;
        tenant->area += area;
        tenant->rows.push_back(r);
        if (planIndex >= 0) {
            if (seenPlans->size() <= size_t(planIndex))
                seenPlans->resize(s.plans.size());
            if (!(*seenPlans)[size_t(planIndex)]) {
                (*seenPlans)[size_t(planIndex)] = true;
                tenant->plans.append(plan);
            }
            if (planArea) {
                if (planArea->size() <= size_t(planIndex))
                    planArea->resize(s.plans.size());
                (*planArea)[size_t(planIndex)] += area;
            }
        }

        if (auto problem = rules.key(r, row[RecordTable::ColourKey]))
            s.problems.push_back(std::move(*problem));
        if (auto problem = RecordRules::type(r, row[RecordTable::Type]))
            s.problems.push_back(std::move(*problem));
        if (areaText.isEmpty()) {
            s.areaMissingRows.push_back(r);
        } else if (auto problem = RecordRules::area(r, areaText, value.has_value())) {
            s.areaNotNumberRows.push_back(r);
            s.problems.push_back(std::move(*problem));
        }
    }

    s.hasCommon = common.rooms > 0;
    if (s.hasCommon) {
        // Per plan each share is common_p * let_p / usable_p; summed over a plan's tenants and
        // its vacant space that gives back common_p, so the rentable areas add up to the
        // complex's area wherever a plan has usable area to carry its corridors.
        const auto share = [&](const Tenant &t, const std::vector<double> &byPlan) {
            if (allocation == Allocation::WholeComplex)
                return commonShareOf(s.total, t.area);
            double sum = 0;
            for (size_t p = 0; p < byPlan.size(); ++p)
                sum += commonShareOf(s.plans[p], byPlan[p]);
            return sum;
        };
        for (size_t i = 0; i < s.tenants.size(); ++i)
            s.tenants[i].commonShare = share(s.tenants[i], tenantPlanArea[i]);
        vacant.commonShare = share(vacant, vacantPlanArea);
        for (auto &problem : RecordRules::commonAreas(table, flags))
            s.problems.push_back(std::move(problem));
        std::stable_sort(s.problems.begin(), s.problems.end(),
                         [](const Problem &a, const Problem &b) { return a.row < b.row; });
    }
    s.orphanFlags = flags.orphanKeys(table);

    std::sort(s.tenants.begin(), s.tenants.end(), [](const Tenant &a, const Tenant &b) {
        const int order = QString::localeAwareCompare(a.tenant, b.tenant);
        return order != 0 ? order < 0 : a.tenant < b.tenant;
    });
    if (vacant.rooms > 0) {
        vacant.tenant.clear();
        s.tenants.push_back(std::move(vacant));
    }
    if (common.rooms > 0)
        s.tenants.push_back(std::move(common));
    s.finished = table.isFinished();
    s.lastNewRecord = table.cellText(RecordTable::ColourKey, table.entryRow());
    s.lastEdit = table.cellText(RecordTable::LabelY, table.entryRow());
    return s;
}

void ComplexSummary::addAreaChecks(std::vector<RoomAreaCheck> checks, const PlanScales &scales,
                                   const RecordTable &table)
{
    QHash<QString, size_t> planSlot;
    for (size_t i = 0; i < plans.size(); ++i)
        planSlot.insert(plans[i].plan, i);
    for (Figures &plan : plans) {
        if (const auto scale = scales.scale(plan.plan)) {
            plan.measured = Measured{};
            plan.measured->metresPerPixel = scale->metresPerPixel;
        }
    }
    hasScales = !scales.isEmpty();
    const double tolerance = scales.tolerance();
    areaRooms.clear();
    areaRooms.reserve(checks.size());
    for (RoomAreaCheck &check : checks) {
        const auto slot = planSlot.constFind(check.plan);
        for (Figures *figures : {slot == planSlot.cend() ? nullptr : &plans[*slot], &total}) {
            if (!figures)
                continue;
            if (!figures->measured)
                figures->measured = Measured{};
            Measured &m = *figures->measured;
            ++m.rooms;
            if (check.measured) {
                ++m.measuredRooms;
                m.measuredArea += *check.measured;
                if (check.typed) {
                    m.comparedTyped += *check.typed;
                    m.comparedMeasured += *check.measured;
                }
            }
            m.mismatches += check.mismatch() ? 1 : 0;
        }
        const QString &typedText = table.cellText(RecordTable::Area, check.row);
        if (check.mismatch())
            problems.push_back({check.row, u"area-mismatch"_s, check.mismatchMessage(typedText, tolerance)});
        const QString &name = table.cellText(RecordTable::Name, check.row);
        areaRooms.push_back({std::move(check), name, typedText});
    }
    // After the record's own problems, as the batch check lists them.
    std::stable_sort(problems.begin(), problems.end(), [](const Problem &a, const Problem &b) { return a.row < b.row; });
}

QStringList ComplexSummary::planHeader(const Captions &captions, bool measured, bool common)
{
    QStringList header{u"План"_s, u"Помещений"_s};
    for (int i = 0; i < TypeCount; ++i)
        header << captions[Captions::FirstType + i];
    header << u"Без типа"_s << u"Всего"_s << u"Свободных"_s << u"Свободно площади"_s << u"Сдано, %"_s;
    if (common)
        header << u"Полезная"_s << u"МОП"_s << u"Коэффициент МОП"_s;
    if (measured)
        header << u"Масштаб, м/пикс."_s << u"Измерено"_s << u"Разница, %"_s;
    return header;
}

QStringList ComplexSummary::tenantHeader(bool common)
{
    QStringList header{u"Арендатор"_s, u"Помещений"_s, u"Площадь"_s, u"Планы"_s};
    if (common)
        header << u"Доля МОП"_s << u"Арендуемая"_s << u"Доля комплекса, %"_s;
    return header;
}

QStringList ComplexSummary::problemHeader()
{
    return {u"Строка"_s, u"Вид"_s, u"Описание"_s};
}

QString ComplexSummary::kindText(const QString &kind)
{
    static const QHash<QString, QString> texts = {
        {u"duplicate-key"_s, u"повтор ключа"_s},
        {u"key"_s, u"ключ"_s},
        {u"label"_s, u"точка подписи"_s},
        {u"label-outside"_s, u"точка вне плана"_s},
        {u"label-on-wall"_s, u"точка на стене"_s},
        {u"label-covered"_s, u"точка закрыта"_s},
        {u"plan-missing"_s, u"нет плана"_s},
        {u"plan-unused"_s, u"лишний план"_s},
        {u"plan-unreadable"_s, u"план не читается"_s},
        {u"type"_s, u"тип"_s},
        {u"area"_s, u"площадь"_s},
        {u"area-mismatch"_s, u"расхождение площади"_s},
        {u"chars"_s, u"символы"_s},
        {u"open"_s, u"открытие"_s},
        {u"common-let"_s, u"МОП сдан"_s},
        {u"tenant-all-common"_s, u"только МОП"_s},
    };
    return texts.value(kind, kind);
}

QStringList ComplexSummary::areaHeader()
{
    return {u"Строка"_s, u"Название"_s, u"План"_s, u"Введено"_s, u"Измерено"_s, u"Разница, %"_s, u"Состояние"_s};
}

QString ComplexSummary::statusText(const RoomAreaCheck &check)
{
    switch (check.status) {
    case RoomAreaCheck::Status::Agrees:
        return u"в допуске"_s;
    case RoomAreaCheck::Status::TypedLarger:
        return u"введено больше измеренного"_s;
    case RoomAreaCheck::Status::TypedSmaller:
        return u"введено меньше измеренного"_s;
    case RoomAreaCheck::Status::TypedNotNumber:
        return u"введённая площадь не число"_s;
    case RoomAreaCheck::Status::NotMeasured:
        break;
    }
    return u"не измерено: "_s + check.reason;
}

QStringList ComplexSummary::areaCells(const AreaRoom &room)
{
    const RoomAreaCheck &c = room.check;
    // A number below nought is no area either, but "не число" would mislead.
    const bool negative = c.status == RoomAreaCheck::Status::TypedNotNumber && room.typedText.startsWith(u'-') &&
                          NumberText::area(QStringView(room.typedText).mid(1));
    return {QString::number(c.row), room.name, c.plan, room.typedText,
            c.measured ? NumberText::format(*c.measured) : QString(),
            c.percent ? RoomAreaCheck::percentText(*c.percent) : QString(),
            negative ? u"введённая площадь меньше нуля"_s : statusText(c)};
}

QStringList ComplexSummary::planCells(const Figures &figures, bool measured, bool common)
{
    QStringList cells{figures.plan.isEmpty() ? u"Итого"_s : figures.plan, QString::number(figures.rooms)};
    for (double area : figures.areaByType)
        cells << NumberText::format(area);
    cells << NumberText::format(figures.areaUnknownType) << NumberText::format(figures.area)
          << QString::number(figures.vacantRooms) << NumberText::format(figures.vacantArea)
          << percent(figures.letShare());
    if (common) {
        cells << NumberText::format(figures.usableArea()) << NumberText::format(figures.commonArea)
              << loadFactorText(figures.loadFactor());
    }
    if (measured) {
        if (const auto &m = figures.measured) {
            const auto difference = m->difference();
            cells << (m->metresPerPixel > 0 ? NumberText::formatScale(m->metresPerPixel) : QString())
                  << (m->measuredRooms > 0 ? NumberText::format(m->measuredArea) : QString())
                  << (difference ? RoomAreaCheck::percentText(*difference) : QString());
        } else {
            cells << QString() << QString() << QString();
        }
    }
    return cells;
}

QStringList ComplexSummary::tenantCells(const Tenant &tenant)
{
    return {tenant.tenant.isEmpty() ? vacantCaption() : tenant.tenant, QString::number(tenant.rooms),
            NumberText::format(tenant.area), tenant.plans.join(u", "_s)};
}

QStringList ComplexSummary::tenantRow(const Tenant &tenant) const
{
    QStringList cells = tenantCells(tenant);
    if (tenant.common)
        cells.first() = commonCaption();
    if (!hasCommon)
        return cells;
    if (tenant.common)
        return cells << QString() << QString() << QString();
    return cells << computedArea(tenant.commonShare) << computedArea(tenant.rentable())
                 << percent(complexShare(tenant));
}

QString ComplexSummary::tabSeparated(const Captions &captions) const
{
    QString text;
    // A tab typed into a field would shift the cells after it.
    const auto line = [&text](QStringList cells) {
        for (QString &cell : cells)
            cell.replace(u'\t', u' ');
        text += cells.join(u'\t') + u'\n';
    };
    line({u"По планам"_s});
    line(planHeader(captions, hasScales, hasCommon));
    for (const Figures &plan : plans)
        line(planCells(plan, hasScales, hasCommon));
    line(planCells(total, hasScales, hasCommon));
    text += u'\n';
    line(hasCommon ? QStringList{u"По арендаторам"_s, allocationText(allocation)} : QStringList{u"По арендаторам"_s});
    line(tenantHeader(hasCommon));
    for (const Tenant &tenant : tenants)
        line(tenantRow(tenant));
    text += u'\n';
    if (!areaRooms.empty()) {
        line({u"Измеренные площади"_s});
        line(areaHeader());
        for (const AreaRoom &room : areaRooms)
            line(areaCells(room));
        text += u'\n';
    }
    line({u"Проблемы"_s});
    line(problemHeader());
    for (const Problem &problem : problems)
        line({QString::number(problem.row), kindText(problem.kind), problem.message});
    return text;
}
