#include "roomareas.h"

#include "metrolaerror.h"
#include "planscales.h"
#include "projectsession.h"
#include "recordtable.h"
#include "plan/planimage.h"
#include "reports/areatext.h"

#include <QFileInfo>

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
        if (!key || !x || !y || RecordTable::isReservedKey(*key)) {
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

const RoomAreas::Plan &RoomAreas::measured(const ProjectSession &session, const QString &planId)
{
    std::vector<RoomSeed> seeds = seedsOf(session.table(), planId);
    const QString source = session.planPaths().planFilePath(session.programDir(), planId);
    const QFileInfo info(source);
    const auto it = m_plans.constFind(planId);
    if (it != m_plans.cend() && it->seeds == seeds) {
        // An image given in memory stays valid while it is the plan shown; a file while it
        // is unchanged.
        const bool sameImage = it->source.isEmpty() && session.currentPlan() == planId
                               && session.planSource().isEmpty()
                               && it->generation == session.planGeneration();
        const bool sameFile = !it->source.isEmpty() && it->source == source
                              && it->modified == info.lastModified() && it->size == info.size();
        if (sameImage || sameFile)
            return *it;
    }

    Plan plan;
    plan.source = source;
    plan.modified = info.lastModified();
    plan.size = info.size();
    ++m_fileMeasurements;
    try {
        QImage image = PlanImage::loadBmp(source);
        RoomMeasure::repaintCounting(image, seeds, plan.rooms);
    } catch (const MetrolaError &error) {
        plan.error = error.message();
        plan.rooms.assign(seeds.size(), {});
    }
    plan.seeds = std::move(seeds);
    return *m_plans.insert(planId, std::move(plan));
}

std::vector<RoomAreaCheck> RoomAreas::check(const ProjectSession &session, const PlanScales &scales)
{
    std::vector<RoomAreaCheck> result;
    const RecordTable &table = session.table();
    const double tolerance = scales.tolerance();
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
        room.typed = AreaText::value(table.cellText(RecordTable::Area, r));

        const Plan &plan = measured(session, planId);
        const auto key = parseCellNumber(table.cellText(RecordTable::ColourKey, r));
        const bool readable = key && parseCellNumber(table.cellText(RecordTable::LabelX, r))
                              && parseCellNumber(table.cellText(RecordTable::LabelY, r));
        // The percentage comes from the unrounded area, so a room of a few pixels still has one.
        double exact = 0;
        if (!readable) {
            room.reason = QStringLiteral("ключ или точка подписи записи — не число");
        } else if (RecordTable::isReservedKey(*key)) {
            room.reason = QStringLiteral("ключ записи — белый или чёрный цвет, у неё нет комнаты");
        } else {
            const RoomPixels &pixels = plan.rooms[nextRoom[planId]++];
            if (!plan.error.isEmpty()) {
                room.reason = QStringLiteral("план не читается: ") + plan.error;
            } else if (pixels.kind != RoomPixels::Kind::Counted) {
                room.reason = reasonText(pixels.kind);
            } else {
                room.measured = measuredArea(pixels.pixels, scale->metresPerPixel);
                exact = double(pixels.pixels) * scale->metresPerPixel * scale->metresPerPixel;
            }
        }

        if (!room.measured) {
            room.status = RoomAreaCheck::Status::NotMeasured;
        } else if (!room.typed) {
            room.status = RoomAreaCheck::Status::TypedNotNumber;
        } else {
            room.percent = (*room.typed - exact) / exact * 100.0;
            if (std::abs(*room.percent) <= tolerance)
                room.status = RoomAreaCheck::Status::Agrees;
            else
                room.status = *room.percent > 0 ? RoomAreaCheck::Status::TypedLarger
                                                : RoomAreaCheck::Status::TypedSmaller;
        }
        result.push_back(std::move(room));
    }
    return result;
}
