#include "core/model/roomareas.h"

#include "core/base/metrolaerror.h"
#include "core/base/numbertext.h"
#include "core/model/planlist.h"
#include "core/model/planscales.h"
#include "core/model/recordtable.h"
#include "core/plan/colourkey.h"
#include "core/plan/planimage.h"

#include <QFileInfo>
#include <QSet>

#include <cmath>


double RoomAreas::measuredArea(qint64 pixels, double metresPerPixel)
{
    return std::round(double(pixels) * metresPerPixel * metresPerPixel * 100.0) / 100.0;
}

QString RoomAreas::reasonText(RoomPixels::Kind kind)
{
    switch (kind) {
    case RoomPixels::Kind::Counted:
        break;
    case RoomPixels::Kind::LabelOutside:
        return QStringLiteral("точка подписи вне плана");
    case RoomPixels::Kind::LabelCovered:
        return QStringLiteral("точку подписи закрывает цвет другой комнаты");
    case RoomPixels::Kind::NotPainted:
        return QStringLiteral("комната уже была закрашена своим ключом до заливки");
    }
    return {};
}

std::vector<RoomSeed> RoomAreas::seedsOf(const RecordTable &table, const QString &planId,
                                         std::vector<int> *rows, std::vector<int> *skipped)
{
    std::vector<RoomSeed> seeds;
    for (int r = 1; r <= table.recordCount(); ++r) {
        if (table.cellText(RecordTable::PlanId, r) != planId)
            continue;
        const auto key = parseCellNumber(table.cellText(RecordTable::ColourKey, r));
        const auto x = parseCellNumber(table.cellText(RecordTable::LabelX, r));
        const auto y = parseCellNumber(table.cellText(RecordTable::LabelY, r));
        // As the repaint does: a record keyed white or black has no room.
        if (!key || !x || !y || ColourKey::isReserved(*key)) {
            if (skipped)
                skipped->push_back(r);
            continue;
        }
        seeds.push_back({QPoint(*x, *y), static_cast<quint32>(*key)});
        if (rows)
            rows->push_back(r);
    }
    return seeds;
}

void RoomAreas::store(const QString &planId, std::vector<RoomSeed> seeds,
                      std::vector<RoomPixels> rooms, const QString &source, quint64 generation)
{
    Plan &plan = m_plans[planId];
    plan = {};
    plan.seeds = std::move(seeds);
    plan.rooms = std::move(rooms);
    plan.source = source;
    plan.generation = generation;
    if (!source.isEmpty()) {
        const QFileInfo info(source);
        plan.modified = info.lastModified();
        plan.size = info.size();
    }
}

const RoomAreas::Plan *RoomAreas::valid(const Project &project, const QString &planId,
                                        const std::vector<RoomSeed> &seeds, const QString &source) const
{
    const auto it = m_plans.constFind(planId);
    if (it == m_plans.cend() || it->seeds != seeds)
        return nullptr;
    // An image given in memory stays valid while it is the plan shown; a file while it is
    // unchanged.
    const bool sameImage = it->source.isEmpty() && project.currentPlan == planId
                           && project.planSource.isEmpty() && it->generation == project.planGeneration;
    if (sameImage)
        return &*it;
    const QFileInfo info(source);
    const bool sameFile = !it->source.isEmpty() && it->source == source
                          && it->modified == info.lastModified() && it->size == info.size();
    return sameFile ? &*it : nullptr;
}

RoomAreas::Plan RoomAreas::measure(Job job)
{
    Plan plan;
    plan.source = job.source;
    // Taken before reading: a file changed meanwhile is then measured again.
    const QFileInfo info(job.source);
    plan.modified = info.lastModified();
    plan.size = info.size();
    try {
        QImage image = PlanImage::loadBmp(job.source);
        RoomMeasure::repaintCounting(image, job.seeds, plan.rooms);
    } catch (const std::exception &error) {
        // Also a plan too large for the memory left: measure() may run on a worker thread,
        // where an exception let through would end the program.
        plan.error = errorMessage(error);
        plan.rooms.assign(job.seeds.size(), {});
    }
    plan.seeds = std::move(job.seeds);
    return plan;
}

void RoomAreas::adopt(const QString &planId, Plan plan)
{
    ++m_fileMeasurements;
    m_plans.insert(planId, std::move(plan));
}

std::vector<RoomAreas::Job> RoomAreas::stale(const Project &project, const PlanScales &scales) const
{
    std::vector<Job> jobs;
    QSet<QString> seen;
    const RecordTable &table = project.table;
    for (int r = 1; r <= table.recordCount(); ++r) {
        const QString &planId = table.cellText(RecordTable::PlanId, r);
        if (seen.contains(planId) || !scales.scale(planId))
            continue;
        seen.insert(planId);
        Job job{planId, seedsOf(table, planId), project.planPaths.planFilePath(project.programDir, planId)};
        if (!valid(project, planId, job.seeds, job.source))
            jobs.push_back(std::move(job));
    }
    return jobs;
}

void RoomAreas::ensureMeasured(const Project &project, const QString &planId)
{
    Job job{planId, seedsOf(project.table, planId),
            project.planPaths.planFilePath(project.programDir, planId)};
    if (!valid(project, planId, job.seeds, job.source))
        adopt(planId, measure(std::move(job)));
}

std::vector<RoomAreaCheck> RoomAreas::check(const Project &project, const PlanScales &scales)
{
    std::vector<RoomAreaCheck> result;
    const RecordTable &table = project.table;
    const double tolerance = scales.tolerance();
    // Each plan once, before any is looked at: looking up the rooms of a plan reads the whole
    // table, which must not happen per record.
    QSet<QString> plans;
    for (int r = 1; r <= table.recordCount(); ++r) {
        const QString &planId = table.cellText(RecordTable::PlanId, r);
        if (!plans.contains(planId) && scales.scale(planId)) {
            plans.insert(planId);
            ensureMeasured(project, planId);
        }
    }
    QHash<QString, size_t> nextRoom;
    for (int r = 1; r <= table.recordCount(); ++r) {
        const QString &planId = table.cellText(RecordTable::PlanId, r);
        const auto scale = scales.scale(planId);
        if (!scale)
            continue;
        RoomAreaCheck room;
        room.row = r;
        room.plan = planId;
        // Read as every sum reads it, so the check and the sums agree on what is a number.
        room.typed = NumberText::area(table.cellText(RecordTable::Area, r));

        const Plan &plan = *m_plans.constFind(planId);
        const auto key = parseCellNumber(table.cellText(RecordTable::ColourKey, r));
        const bool readable = key && parseCellNumber(table.cellText(RecordTable::LabelX, r))
                              && parseCellNumber(table.cellText(RecordTable::LabelY, r));
        if (!readable) {
            room.reason = QStringLiteral("ключ или точка подписи записи — не число");
        } else if (ColourKey::isReserved(*key)) {
            room.reason = QStringLiteral("ключ записи — белый или чёрный цвет, у неё нет комнаты");
        } else {
            const RoomPixels &pixels = plan.rooms[nextRoom[planId]++];
            if (!plan.error.isEmpty()) {
                room.reason = QStringLiteral("план не читается: ") + plan.error;
            } else if (pixels.kind != RoomPixels::Kind::Counted) {
                room.reason = reasonText(pixels.kind);
            } else {
                const double area = measuredArea(pixels.pixels, scale->metresPerPixel);
                // Compared as shown: a room that rounds to nothing has no share to speak of.
                if (area > 0)
                    room.measured = area;
                else
                    room.reason = QStringLiteral("комната на плане меньше 0,01 м²");
            }
        }

        if (!room.measured) {
            room.status = RoomAreaCheck::Status::NotMeasured;
        } else if (!room.typed) {
            room.status = RoomAreaCheck::Status::TypedNotNumber;
        } else {
            // From the areas the user sees, so that an area typed as shown agrees exactly.
            // The tolerance is held against the difference as shown, so that no mismatch reads
            // "0 %" and no agreement shows more than the tolerance.
            room.percent = (*room.typed - *room.measured) / *room.measured * 100.0;
            if (std::abs(RoomAreaCheck::shownPercent(*room.percent)) <= tolerance)
                room.status = RoomAreaCheck::Status::Agrees;
            else
                room.status = *room.percent > 0 ? RoomAreaCheck::Status::TypedLarger
                                                : RoomAreaCheck::Status::TypedSmaller;
        }
        result.push_back(std::move(room));
    }
    return result;
}

double RoomAreaCheck::shownPercent(double percent)
{
    return std::round(percent * 10) / 10;
}

QString RoomAreaCheck::percentText(double percent)
{
    // The sign of what is shown: a difference that rounds to nothing is "0", never "+0" or "-0".
    const double shown = shownPercent(percent);
    if (shown == 0)
        return QStringLiteral("0");
    return (shown > 0 ? QStringLiteral("+") : QString()) + NumberText::format(shown);
}

QString RoomAreaCheck::mismatchMessage(const QString &typedText, double tolerance) const
{
    return QStringLiteral("Строка %1: введена площадь %2, а по плану «%3» комната занимает %4 (%5 %, допуск %6 %).")
        .arg(row)
        .arg(typedText, plan, NumberText::format(measured.value_or(0)), percentText(percent.value_or(0)),
             NumberText::formatScale(tolerance));
}
