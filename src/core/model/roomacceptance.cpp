#include "core/model/roomacceptance.h"

#include "core/base/numbertext.h"
#include "core/model/projectsession.h"
#include "core/model/roomareas.h"
#include "core/plan/colourkey.h"
#include "core/plan/floodfill.h"


using namespace Qt::StringLiterals;

namespace RoomAcceptance {

std::vector<QString> freeNames(const ProjectSession &session, int count)
{
    // Numbers go on after the highest in use: one freed by a removed record would name a new
    // room after an old one ("Помещение 5, 7, 11, 12" between 10 and 13).
    const RecordTable &table = session.table();
    const QString prefix = u"Помещение "_s;
    qint64 highest = 0;
    for (int r = 1; r <= table.recordCount(); ++r) {
        const QString name = table.cellText(RecordTable::Name, r).trimmed();
        if (!name.startsWith(prefix))
            continue;
        bool number = false;
        const qint64 n = QStringView(name).mid(prefix.size()).toLongLong(&number);
        if (number && n > highest && name.mid(prefix.size()).front().isDigit())
            highest = n;
    }
    std::vector<QString> names;
    for (qint64 n = highest + 1; int(names.size()) < count; ++n)
        names.push_back(prefix + QString::number(n));
    return names;
}

std::vector<quint32> acceptAll(ProjectSession &session, std::span<const RoomProposal> rooms)
{
    QImage &image = session.planImage();
    RecordTable &table = session.table();
    const std::optional<PlanScale> scale = session.scales().scale(session.currentPlan());
    const std::vector<QString> names = freeNames(session, int(rooms.size()));
    const QString date = RecordTable::today();
    std::vector<quint32> keys;
    FloodFill fill;
    for (const RoomProposal &room : rooms) {
        if (!image.valid(room.seed) || (image.pixel(room.seed) & ColourKey::kRgbMask) != ColourKey::kRgbMask)
            continue;
        const quint32 key = session.nextRoomKey();
        qint64 pixels = 0;
        fill.fillCounting(image, room.seed, ColourKey::toRgb(key), pixels);
        RecordTable::Row texts;
        texts[RecordTable::PlanId] = session.currentPlan();
        texts[RecordTable::Name] = names[keys.size()];
        texts[RecordTable::Type] = table.cellText(RecordTable::Type, table.entryRow());
        if (scale)
            texts[RecordTable::Area] = NumberText::format(RoomAreas::measuredArea(pixels, scale->metresPerPixel));
        texts[RecordTable::ColourKey] = QString::number(key);
        texts[RecordTable::LabelX] = QString::number(room.seed.x());
        texts[RecordTable::LabelY] = QString::number(room.seed.y());
        table.appendRecord(texts, date);
        keys.push_back(key);
    }
    if (!keys.empty()) {
        session.restoreColour = ProjectSession::kWhite;
        session.setModified(true);
    }
    return keys;
}

} // namespace RoomAcceptance
