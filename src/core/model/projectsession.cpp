#include "core/model/projectsession.h"

#include "core/base/metrolaerror.h"
#include "core/base/namerule.h"
#include "core/base/safefile.h"
#include "core/model/descriptionfile.h"
#include "core/plan/colourkey.h"
#include "core/plan/floodfill.h"
#include "core/plan/planimage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

ProjectSession::ProjectSession(QString programDir)
    : m_programDir(std::move(programDir))
{
    const auto touched = [this] { setModified(true); };
    QObject::connect(&m_table, &QAbstractItemModel::dataChanged, &m_table, touched);
    QObject::connect(&m_table, &QAbstractItemModel::rowsInserted, &m_table, touched);
    QObject::connect(&m_table, &QAbstractItemModel::rowsRemoved, &m_table, touched);
}

void ProjectSession::showPlanFile(const QString &path, const QString &planId)
{
    QImage image = PlanImage::loadBmp(path);
    m_planImage = std::move(image);
    m_currentPlan = planId;
    m_planSource = path;
    ++m_planGeneration;
}

quint32 ProjectSession::nextRoomKey()
{
    markingColour = ColourKey::below(markingColour);
    return ColourKey::freeKeyFrom(markingColour, [this](quint32 k) { return m_table.colourInUse(k); });
}

void ProjectSession::setShownPlan(QImage image, const QString &planId)
{
    m_planImage = image.convertToFormat(QImage::Format_RGB32);
    m_currentPlan = planId;
    m_planSource.clear();
    ++m_planGeneration;
}

bool ProjectSession::showRowPlan(int row)
{
    const QString id = m_table.cellText(RecordTable::PlanId, row);
    const int slot = m_planPaths.planFileIndex(id);
    if (slot > 0) {
        showPlanFile(m_planPaths.path(slot), m_planPaths.fileName(slot));
        return true;
    }
    if (id == m_currentPlan)
        return false;
    showPlanFile(m_programDir + id, id);
    return true;
}

QRect ProjectSession::repaintPlanRooms()
{
    std::vector<RoomSeed> rooms;
    QString firstUnreadable;
    for (int r = 1; r <= m_table.recordCount(); ++r) {
        if (m_table.cellText(RecordTable::PlanId, r) != m_currentPlan)
            continue;
        // One hand-edited cell must not leave every room of the plan white: such rooms would
        // read as unmarked and be marked again as new records.
        std::optional<int> values[3];
        const int columns[3] = {RecordTable::ColourKey, RecordTable::LabelX, RecordTable::LabelY};
        bool readable = true;
        for (int i = 0; i < 3 && readable; ++i) {
            values[i] = parseCellNumber(m_table.cellText(columns[i], r));
            if (!values[i]) {
                readable = false;
                if (firstUnreadable.isEmpty())
                    firstUnreadable = unreadableCellMessage(r, columns[i]);
            }
        }
        // White is every unmarked floor and black the walls: a record keyed so has no room.
        if (readable && !ColourKey::isReserved(*values[0]))
            rooms.push_back({QPoint(*values[1], *values[2]), static_cast<quint32>(*values[0])});
    }
    QRect changed;
    if (!m_planImage.isNull()) {
        changed = m_measuredGeneration == m_planGeneration
                      ? FloodFill().repaintRooms(m_planImage, rooms)
                      : repaintMeasuring(std::move(rooms));
    }
    if (!firstUnreadable.isEmpty())
        throw MetrolaError(firstUnreadable);
    return changed;
}

QRect ProjectSession::repaintMeasuring(std::vector<RoomSeed> rooms)
{
    m_measuredGeneration = m_planGeneration;
    std::vector<RoomPixels> pixels;
    const QRect changed = RoomMeasure::repaintCounting(m_planImage, rooms, pixels);
    // A room already in its key was painted since loading (marked before this first repaint),
    // so the counts are not those of the plan as loaded.
    if (std::none_of(pixels.begin(), pixels.end(),
                     [](const RoomPixels &p) { return p.kind == RoomPixels::Kind::NotPainted; })) {
        m_roomAreas.store(m_currentPlan, std::move(rooms), std::move(pixels), m_planSource,
                          m_planGeneration);
    }
    return changed;
}

QString ProjectSession::unreadableCellMessage(int row, int column) const
{
    return QStringLiteral("Запись в строке %1, столбец «%2»: %3; остальные комнаты плана закрашены")
        .arg(row)
        .arg(RecordTable::headerTexts()[static_cast<size_t>(column)], notANumberMessage(m_table.cellText(column, row)));
}

QString ProjectSession::commandLineArchive(const QStringList &arguments, const QString &programDir,
                                           const QString &currentDir)
{
    const QString joined = arguments.join(QString());
    if (joined.size() < 2)
        return {};
    if (joined.startsWith(u'/'))
        return joined;
    const QString inProgramDir = programDir + joined;
    if (QFileInfo::exists(inProgramDir))
        return inProgramDir;
    const QString inCurrentDir = QDir(currentDir).absoluteFilePath(joined);
    return QFileInfo::exists(inCurrentDir) ? inCurrentDir : inProgramDir;
}

void ProjectSession::removeWorkingFiles(const QString &runningExecutable) const
{
    const QString running = QFileInfo(runningExecutable).canonicalFilePath();
    const auto removeOwn = [&](const QString &name) {
        // Only bare names inside the working folder, and nothing the user brought in.
        if (name.isEmpty() || !NameRule::isBareFileName(name))
            return;
        const QString path = m_programDir + name;
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (canonical == running)
            return;
        for (int slot = 1; slot <= PlanPathTable::Capacity; ++slot) {
            const QString added = m_planPaths.path(slot);
            if (!added.isEmpty() && QFileInfo(added).canonicalFilePath() == canonical)
                return;
        }
        SafeFile::removeRegular(path);
    };
    for (const QString &name : extractedFiles)
        removeOwn(name);
    for (const QString &name : writtenFiles)
        removeOwn(name);
}
