#include "cli/cliinfo.h"

#include "cli/cliproject.h"
#include "cli/clitext.h"
#include "core/base/numbertext.h"
#include "core/model/recordtable.h"
#include "core/reports/complexsummary.h"

#include <QJsonArray>

#include <cmath>

using namespace Qt::StringLiterals;

ProjectSummary ProjectSummary::of(const CliProject &project, bool wholeComplex)
{
    const ProjectSession &session = project.session();
    const RecordTable &table = session.table();
    const ComplexSummary facts =
        ComplexSummary::of(table, session.plans().names(), session.roomFlags(),
                           wholeComplex ? ComplexSummary::Allocation::WholeComplex : ComplexSummary::Allocation::PerPlan);
    ProjectSummary s;
    for (int i = 0; i < Captions::Count; ++i)
        s.captions << session.captions()[i];
    for (const ComplexSummary::Figures &plan : facts.plans)
        s.plans.push_back({plan.plan, plan.rooms, plan.area});
    s.records = facts.records;
    s.areaByType = facts.total.areaByType;
    s.areaUnknownType = facts.total.areaUnknownType;
    s.areaTotal = facts.total.area;
    s.areaNotNumberRows = facts.areaNotNumberRows;
    s.areaMissingRows = facts.areaMissingRows;
    for (int r : facts.vacantRows) {
        const RecordTable::Row &row = table.row(r);
        s.vacant.push_back({r, row[RecordTable::PlanId], row[RecordTable::Name], row[RecordTable::Area]});
    }
    s.vacantArea = facts.total.vacantArea;
    s.finished = facts.finished;
    s.lastNewRecord = facts.lastNewRecord;
    s.lastEdit = facts.lastEdit;
    s.openError = project.openError();
    s.hasCommon = facts.hasCommon;
    s.wholeComplex = wholeComplex;
    if (facts.hasCommon) {
        const auto commonPlan = [](const ComplexSummary::Figures &f) {
            return CommonPlan{f.plan, f.usableArea(), f.commonArea, f.usableArea() - f.vacantArea, f.letShare(),
                              f.loadFactor()};
        };
        for (const ComplexSummary::Figures &plan : facts.plans)
            s.commonPlans.push_back(commonPlan(plan));
        s.commonPlans.push_back(commonPlan(facts.total));
        for (const ComplexSummary::Tenant &tenant : facts.tenants) {
            if (!tenant.common)
                s.rentable.push_back({tenant.tenant, tenant.area, tenant.commonShare, tenant.rentable(),
                                      facts.complexShare(tenant)});
        }
        s.commonRows = facts.commonRows;
    }
    return s;
}

QString ProjectSummary::text() const
{
    using NumberText::format;
    QString t;
    t += u"Подписи: "_s + captions.join(u" | "_s) + u'\n';
    t += u"Записей: %1\n"_s.arg(records);
    t += u"Общая площадь: %1\n"_s.arg(format(areaTotal));
    t += u"Планы (%1):\n"_s.arg(plans.size());
    for (const Plan &p : plans)
        t += u"  %1: записей %2, площадь %3\n"_s.arg(p.name, QString::number(p.records),
                                                        format(p.area));
    t += u"Площадь по типам:\n"_s;
    for (size_t i = 0; i < areaByType.size(); ++i)
        t += u"  %1: %2\n"_s.arg(RecordTable::typeCodes()[i], format(areaByType[i]));
    t += u"  без типа: %1\n"_s.arg(format(areaUnknownType));
    const auto rowList = [](const std::vector<int> &rows) {
        QStringList numbers;
        for (int r : rows)
            numbers << QString::number(r);
        return numbers.join(u", "_s);
    };
    if (!areaMissingRows.empty())
        t += u"Площадь не указана, строки: "_s + rowList(areaMissingRows) + u'\n';
    if (!areaNotNumberRows.empty())
        t += u"Площадь не число (не учтена), строки: "_s + rowList(areaNotNumberRows) + u'\n';
    t += u"Свободные помещения: %1, площадь %2\n"_s.arg(vacant.size()).arg(format(vacantArea));
    for (const Vacancy &v : vacant)
        t += u"  строка %1: %2, %3, площадь %4\n"_s.arg(QString::number(v.row), v.plan, v.name, v.area);
    if (hasCommon) {
        // Shares come from a division: to the 0,01 m² areas are typed in.
        const auto rounded = [](double v) { return format(std::round(v * 100) / 100); };
        const auto optional = [](const std::optional<double> &v, int decimals) {
            return v ? QString::number(*v, 'f', decimals).replace(u'.', u',') : u"—"_s;
        };
        t += u"Места общего пользования: %1, строки: %2\n"_s.arg(commonRows.size()).arg(rowList(commonRows));
        for (const CommonPlan &p : commonPlans) {
            t += u"  %1: полезная %2, МОП %3, сдано %4 (%5 %), коэффициент МОП %6\n"_s.arg(
                p.name.isEmpty() ? u"Итого"_s : p.name, format(p.usable), format(p.common), format(p.let),
                optional(p.letShare, 1), optional(p.loadFactor, 3));
        }
        t += u"Арендуемая площадь (%1):\n"_s.arg(
            ComplexSummary::allocationText(wholeComplex ? ComplexSummary::Allocation::WholeComplex
                                                        : ComplexSummary::Allocation::PerPlan));
        for (const Rentable &r : rentable) {
            t += u"  %1: сдано %2, доля МОП %3, арендуемая %4 (%5 % комплекса)\n"_s.arg(
                r.tenant.isEmpty() ? ComplexSummary::vacantCaption() : r.tenant, format(r.let),
                rounded(r.commonShare), rounded(r.rentable), optional(r.complexShare, 1));
        }
    }
    t += u"Работа завершена: %1\n"_s.arg(finished ? u"да"_s : u"нет"_s);
    t += u"Последняя новая запись: %1\n"_s.arg(lastNewRecord);
    t += u"Последнее изменение: %1\n"_s.arg(lastEdit);
    if (!openError.isEmpty())
        t += u"Предупреждение при открытии: %1\n"_s.arg(openError);
    return t;
}

QJsonObject ProjectSummary::json() const
{
    QJsonArray planArray;
    for (const Plan &p : plans)
        planArray.append(QJsonObject{{u"name"_s, p.name}, {u"records"_s, p.records},
                                     {u"area"_s, p.area}});
    QJsonObject byType;
    for (size_t i = 0; i < areaByType.size(); ++i)
        byType.insert(RecordTable::typeCodes()[i], areaByType[i]);
    const auto rowArray = [](const std::vector<int> &rows) {
        QJsonArray array;
        for (int r : rows)
            array.append(r);
        return array;
    };
    QJsonArray vacantRooms;
    for (const Vacancy &v : vacant)
        vacantRooms.append(QJsonObject{{u"row"_s, v.row}, {u"plan"_s, v.plan},
                                       {u"name"_s, v.name}, {u"area"_s, v.area}});
    QJsonObject object{
        {u"captions"_s, QJsonArray::fromStringList(captions)},
        {u"records"_s, records},
        {u"areaTotal"_s, areaTotal},
        {u"plans"_s, planArray},
        {u"areaByType"_s, byType},
        {u"areaUnknownType"_s, areaUnknownType},
        {u"areaNotNumberRows"_s, rowArray(areaNotNumberRows)},
        {u"areaMissingRows"_s, rowArray(areaMissingRows)},
        {u"vacant"_s, QJsonObject{{u"count"_s, static_cast<int>(vacant.size())},
                                  {u"area"_s, vacantArea},
                                  {u"rooms"_s, vacantRooms}}},
        {u"finished"_s, finished},
        {u"lastNewRecord"_s, lastNewRecord},
        {u"lastEdit"_s, lastEdit},
        {u"openError"_s, openError},
    };
    if (!hasCommon)
        return object;
    const auto number = [](const std::optional<double> &v) { return v ? QJsonValue(*v) : QJsonValue(); };
    QJsonArray planFigures;
    for (const CommonPlan &p : commonPlans) {
        if (p.name.isEmpty())
            continue;
        planFigures.append(QJsonObject{{u"name"_s, p.name}, {u"usable"_s, p.usable}, {u"common"_s, p.common},
                                       {u"let"_s, p.let}, {u"letShare"_s, number(p.letShare)},
                                       {u"loadFactor"_s, number(p.loadFactor)}});
    }
    const CommonPlan &total = commonPlans.back();
    QJsonArray tenants;
    for (const Rentable &r : rentable) {
        tenants.append(QJsonObject{{u"tenant"_s, r.tenant.isEmpty() ? QJsonValue() : QJsonValue(r.tenant)},
                                   {u"let"_s, r.let}, {u"commonShare"_s, r.commonShare},
                                   {u"rentable"_s, r.rentable}, {u"complexShare"_s, number(r.complexShare)}});
    }
    object.insert(u"common"_s, QJsonObject{{u"allocation"_s, wholeComplex ? u"complex"_s : u"plan"_s},
                                          {u"rows"_s, rowArray(commonRows)},
                                          {u"usable"_s, total.usable},
                                          {u"common"_s, total.common},
                                          {u"let"_s, total.let},
                                          {u"letShare"_s, number(total.letShare)},
                                          {u"loadFactor"_s, number(total.loadFactor)},
                                          {u"plans"_s, planFigures},
                                          {u"tenants"_s, tenants}});
    return object;
}
