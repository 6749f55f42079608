#include "cli/cliinfo.h"

#include "cli/cliproject.h"
#include "cli/clitext.h"
#include "core/base/numbertext.h"
#include "core/model/recordtable.h"
#include "core/reports/complexsummary.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

ProjectSummary ProjectSummary::of(const CliProject &project)
{
    const ProjectSession &session = project.session();
    const RecordTable &table = session.table();
    const ComplexSummary facts = ComplexSummary::of(table, session.plans().names());
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
    return QJsonObject{
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
}
