#include "cli/cliareas.h"

#include "cli/clicheck.h"
#include "cli/cliproject.h"
#include "cli/clitext.h"
#include "core/base/numbertext.h"
#include "core/model/planscales.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace CliAreas {

void addToInfo(QJsonObject &info, CliProject &project)
{
    ProjectSession &session = project.session();
    const PlanScales &scales = session.scales();
    QJsonArray plans = info.value(u"plans"_s).toArray();
    for (qsizetype i = 0; i < plans.size(); ++i) {
        QJsonObject plan = plans[i].toObject();
        const auto scale = scales.scale(plan.value(u"name"_s).toString());
        plan.insert(u"scale"_s, scale ? QJsonValue(scale->metresPerPixel) : QJsonValue());
        plan.insert(u"scaleDate"_s, scale ? scale->date.toString(u"dd.MM.yyyy"_s) : QString());
        plans[i] = plan;
    }
    info.insert(u"plans"_s, plans);
    info.insert(u"tolerance"_s, scales.tolerance());
    QJsonArray rooms;
    for (const RoomAreaCheck &room : session.checkAreas()) {
        rooms.append(QJsonObject{{u"row"_s, room.row},
                                 {u"plan"_s, room.plan},
                                 {u"measured"_s, room.measured ? QJsonValue(*room.measured) : QJsonValue()},
                                 {u"reason"_s, room.reason}});
    }
    info.insert(u"measuredAreas"_s, rooms);
}

QString infoText(CliProject &project)
{
    ProjectSession &session = project.session();
    const PlanScales &scales = session.scales();
    if (scales.isEmpty())
        return {};
    QString t = u"Масштабы планов (допуск %1 %):\n"_s.arg(NumberText::formatScale(scales.tolerance()));
    for (const QString &plan : scales.planIds()) {
        const PlanScale scale = *scales.scale(plan);
        t += u"  %1: 1 пиксель = %2 м (%3)\n"_s.arg(plan, NumberText::formatScale(scale.metresPerPixel),
                                                  scale.date.toString(u"dd.MM.yyyy"_s));
    }
    t += u"Измеренные площади:\n"_s;
    const RecordTable &table = session.table();
    for (const RoomAreaCheck &room : session.checkAreas()) {
        const QString typed = table.cellText(RecordTable::Area, room.row);
        if (room.measured)
            t += u"  строка %1: введено %2, измерено %3\n"_s.arg(room.row).arg(typed, NumberText::format(*room.measured));
        else
            t += u"  строка %1: введено %2, не измерено: %3\n"_s.arg(room.row).arg(typed, room.reason);
    }
    return t;
}

void addProblems(ProjectCheck &check, CliProject &project, std::optional<double> tolerance)
{
    ProjectSession &session = project.session();
    if (tolerance)
        session.scales().setTolerance(*tolerance);
    const RecordTable &table = session.table();
    for (const RoomAreaCheck &room : session.checkAreas()) {
        if (!room.mismatch())
            continue;
        const QString typed = table.cellText(RecordTable::Area, room.row);
        ProjectCheck::Problem problem;
        problem.row = room.row;
        problem.kind = u"area-mismatch"_s;
        problem.message = room.mismatchMessage(typed, session.scales().tolerance());
        problem.details = QJsonObject{{u"typed"_s, *room.typed},
                                      {u"measured"_s, *room.measured},
                                      {u"percent"_s, std::round(*room.percent * 10) / 10}};
        check.problems.push_back(problem);
    }
    std::stable_sort(check.problems.begin(), check.problems.end(),
                     [](const ProjectCheck::Problem &a, const ProjectCheck::Problem &b) { return a.row < b.row; });
}

} // namespace CliAreas
