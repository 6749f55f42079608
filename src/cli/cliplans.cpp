#include "cli/cliplans.h"

#include "cli/cliargs.h"
#include "cli/clitext.h"
#include "core/base/metrolaerror.h"
#include "core/plan/planimage.h"
#include "core/plan/plansource.h"
#include "core/rooms/closingline.h"
#include "core/rooms/cvguard.h"
#include "core/rooms/planpreparation.h"
#include "core/rooms/roomfinder.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <optional>

using namespace Qt::StringLiterals;

namespace CliPlans {

namespace {

// Writes each stage as DIR/<plan>-<stage>.png; the folder is made when missing.
StageSink stageWriter(const CliArgs &args)
{
    if (args.stages.isEmpty())
        return {};
    if (!QDir().mkpath(args.stages))
        throw MetrolaError(u"Не удалось создать папку «%1» для этапов."_s.arg(args.stages));
    const QString stem = QFileInfo(args.archive).completeBaseName();
    const QString folder = args.stages;
    return [stem, folder](const QString &name, const QImage &picture) {
        const QString path = QDir(folder).filePath(stem + u'-' + name + u".png"_s);
        if (!picture.save(path, "PNG"))
            throw MetrolaError(u"Не удалось записать этап «%1»."_s.arg(path));
    };
}

} // namespace

void prepare(const CliArgs &args)
{
    const QImage source = PlanSource::load(args.archive, args.page, args.dpi);
    std::optional<PlanPreparation> preparation;
    PreparationOptions options;
    QImage prepared;
    const StageSink stages = stageWriter(args);
    CvGuard::run(source.size(), [&] {
        preparation.emplace(source);
        options = preparation->defaults();
        if (args.threshold > 0)
            options.threshold = args.threshold;
        prepared = preparation->prepare(options, stages);
    });
    PlanImage::saveBmp(prepared, args.output);
    const PlanTraits &traits = preparation->traits();
    CliText::out(u"Порог %1%2; линии %3 точ., стены %4 точ.; %5%6\n"_s.arg(options.threshold)
                     .arg(args.threshold > 0      ? u" (задан)"_s
                          : traits.localThreshold ? u" (автоматический, по участкам)"_s
                                                  : u" (автоматический)"_s)
                     .arg(traits.lineWidth)
                     .arg(traits.wallThickness)
                     .arg(options.wallsOnly ? u"оставлены только стены"_s : u"оставлен весь рисунок"_s)
                     .arg(options.colourAsFloor ? u", цветные пометки и полы — пол"_s : QString()));
}

void rooms(const CliArgs &args)
{
    const QImage plan = PlanSource::load(args.archive);
    RoomFinder::Options finding;
    finding.stages = stageWriter(args);
    RoomFinder::Result found;
    CvGuard::run(plan.size(), [&] { found = RoomFinder::find(plan, finding); });
    if (args.close) {
        QImage closed = plan;
        ClosingLine::draw(closed, found.lines);
        PlanImage::saveBmp(closed, args.output);
    }
    if (args.json) {
        QJsonArray rooms;
        for (const RoomProposal &room : found.rooms)
            rooms.append(QJsonObject{
                {u"x"_s, room.seed.x()},
                {u"y"_s, room.seed.y()},
                {u"pixels"_s, room.pixels},
                {u"box"_s, QJsonObject{{u"x"_s, room.box.x()},
                                       {u"y"_s, room.box.y()},
                                       {u"width"_s, room.box.width()},
                                       {u"height"_s, room.box.height()}}},
            });
        QJsonArray lines;
        for (const ClosingLine &line : found.lines)
            lines.append(QJsonObject{{u"x1"_s, line.from.x()},
                                     {u"y1"_s, line.from.y()},
                                     {u"x2"_s, line.to.x()},
                                     {u"y2"_s, line.to.y()},
                                     {u"width"_s, line.width}});
        CliText::printJson(QJsonObject{{u"plan"_s, QFileInfo(args.archive).fileName()},
                                       {u"width"_s, plan.width()},
                                       {u"height"_s, plan.height()},
                                       {u"rooms"_s, rooms},
                                       {u"lines"_s, lines}});
        return;
    }
    QString text = u"План %1: %2 × %3 точек; помещений %4, линий замыкания %5.\n"_s
                       .arg(QFileInfo(args.archive).fileName())
                       .arg(plan.width())
                       .arg(plan.height())
                       .arg(found.rooms.size())
                       .arg(found.lines.size());
    int n = 0;
    for (const RoomProposal &room : found.rooms)
        text += u"Помещение %1: точка %2, %3; %4 точек; рамка %5, %6, %7 × %8\n"_s.arg(++n)
                    .arg(room.seed.x())
                    .arg(room.seed.y())
                    .arg(room.pixels)
                    .arg(room.box.x())
                    .arg(room.box.y())
                    .arg(room.box.width())
                    .arg(room.box.height());
    n = 0;
    for (const ClosingLine &line : found.lines)
        text += u"Линия %1: %2, %3 — %4, %5; ширина %6\n"_s.arg(++n)
                    .arg(line.from.x())
                    .arg(line.from.y())
                    .arg(line.to.x())
                    .arg(line.to.y())
                    .arg(line.width);
    CliText::out(text);
}

} // namespace CliPlans
