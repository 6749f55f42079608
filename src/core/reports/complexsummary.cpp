#include "core/reports/complexsummary.h"

#include "core/base/numbertext.h"
#include "core/model/planscales.h"
#include "core/model/recordtable.h"

#include <QHash>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

void addRoom(ComplexSummary::Figures &figures, int type, double area, bool vacant)
{
    ++figures.rooms;
    if (type >= 0)
        figures.areaByType[static_cast<size_t>(type)] += area;
    else
        figures.areaUnknownType += area;
    figures.area += area;
    if (vacant) {
        ++figures.vacantRooms;
        figures.vacantArea += area;
    }
}

QString percent(const std::optional<double> &share)
{
    return share ? NumberText::formatShare(*share) : QString();
}

} // namespace

std::optional<double> ComplexSummary::Figures::letShare() const
{
    if (area <= 0)
        return std::nullopt;
    return (area - vacantArea) * 100.0 / area;
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

ComplexSummary ComplexSummary::of(const RecordTable &table, const QStringList &planOrder)
{
    ComplexSummary s;
    s.records = table.recordCount();
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
    RecordRules rules(s.records);
    // Which plans each tenant has rooms on, by plan slot.
    std::vector<std::vector<bool>> tenantPlans;
    std::vector<bool> vacantPlans;

    for (int r = 1; r <= s.records; ++r) {
        const RecordTable::Row &row = table.row(r);
        const QString &plan = row[RecordTable::PlanId];
        const QString &areaText = row[RecordTable::Area];
        const QString &tenantName = row[RecordTable::Tenant];
        const auto value = NumberText::area(areaText);
        const double area = value.value_or(0);
        const int type = RecordTable::typeIndex(row[RecordTable::Type]);
        const bool isVacant = tenantName.isEmpty();

        addRoom(s.total, type, area, isVacant);
        int planIndex = -1;
        if (!plan.isEmpty()) {
            auto slot = planSlot.constFind(plan);
            if (slot == planSlot.cend()) {
                slot = planSlot.insert(plan, s.plans.size());
                s.plans.push_back({});
                s.plans.back().plan = plan;
            }
            planIndex = static_cast<int>(*slot);
            addRoom(s.plans[*slot], type, area, isVacant);
        }

        Tenant *tenant = &vacant;
        std::vector<bool> *seenPlans = &vacantPlans;
        if (!isVacant) {
            auto slot = tenantSlot.constFind(tenantName);
            if (slot == tenantSlot.cend()) {
                slot = tenantSlot.insert(tenantName, s.tenants.size());
                s.tenants.push_back({});
                s.tenants.back().tenant = tenantName;
                tenantPlans.emplace_back();
            }
            tenant = &s.tenants[*slot];
            seenPlans = &tenantPlans[*slot];
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

    std::sort(s.tenants.begin(), s.tenants.end(), [](const Tenant &a, const Tenant &b) {
        const int order = QString::localeAwareCompare(a.tenant, b.tenant);
        return order != 0 ? order < 0 : a.tenant < b.tenant;
    });
    if (vacant.rooms > 0) {
        vacant.tenant.clear();
        s.tenants.push_back(std::move(vacant));
    }
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

QStringList ComplexSummary::planHeader(const Captions &captions, bool measured)
{
    QStringList header{u"План"_s, u"Помещений"_s};
    for (int i = 0; i < TypeCount; ++i)
        header << captions[Captions::FirstType + i];
    header << u"Без типа"_s << u"Всего"_s << u"Свободных"_s << u"Свободно площади"_s << u"Сдано, %"_s;
    if (measured)
        header << u"Масштаб, м/пикс."_s << u"Измерено"_s << u"Разница, %"_s;
    return header;
}

QStringList ComplexSummary::tenantHeader()
{
    return {u"Арендатор"_s, u"Помещений"_s, u"Площадь"_s, u"Планы"_s};
}

QStringList ComplexSummary::problemHeader()
{
    return {u"Строка"_s, u"Вид"_s, u"Описание"_s};
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
    return {QString::number(c.row), room.name, c.plan, room.typedText,
            c.measured ? NumberText::format(*c.measured) : QString(),
            c.percent ? RoomAreaCheck::percentText(*c.percent) : QString(), statusText(c)};
}

QStringList ComplexSummary::planCells(const Figures &figures, bool measured)
{
    QStringList cells{figures.plan.isEmpty() ? u"Итого"_s : figures.plan, QString::number(figures.rooms)};
    for (double area : figures.areaByType)
        cells << NumberText::format(area);
    cells << NumberText::format(figures.areaUnknownType) << NumberText::format(figures.area)
          << QString::number(figures.vacantRooms) << NumberText::format(figures.vacantArea)
          << percent(figures.letShare());
    if (!measured)
        return cells;
    if (const auto &m = figures.measured) {
        const auto difference = m->difference();
        cells << (m->metresPerPixel > 0 ? NumberText::formatScale(m->metresPerPixel) : QString())
              << (m->measuredRooms > 0 ? NumberText::format(m->measuredArea) : QString())
              << (difference ? RoomAreaCheck::percentText(*difference) : QString());
    } else {
        cells << QString() << QString() << QString();
    }
    return cells;
}

QStringList ComplexSummary::tenantCells(const Tenant &tenant)
{
    return {tenant.tenant.isEmpty() ? vacantCaption() : tenant.tenant, QString::number(tenant.rooms),
            NumberText::format(tenant.area), tenant.plans.join(u", "_s)};
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
    line(planHeader(captions, hasScales));
    for (const Figures &plan : plans)
        line(planCells(plan, hasScales));
    line(planCells(total, hasScales));
    text += u'\n';
    line({u"По арендаторам"_s});
    line(tenantHeader());
    for (const Tenant &tenant : tenants)
        line(tenantCells(tenant));
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
        line({QString::number(problem.row), problem.kind, problem.message});
    return text;
}
