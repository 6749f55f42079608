#include "projectsession.h"

#include "descriptionfile.h"
#include "plan/floodfill.h"
#include "plan/planimage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

ProjectSession::ProjectSession(QString programDir)
    : m_programDir(std::move(programDir))
{
    const auto touched = [this] { m_modified = true; };
    QObject::connect(&m_table, &QAbstractItemModel::dataChanged, &m_table, touched);
    QObject::connect(&m_table, &QAbstractItemModel::rowsInserted, &m_table, touched);
    QObject::connect(&m_table, &QAbstractItemModel::rowsRemoved, &m_table, touched);
}

void ProjectSession::showPlanFile(const QString &path, const QString &planId)
{
    QImage image = PlanImage::loadBmp(path);
    m_planImage = std::move(image);
    m_currentPlan = planId;
}

void ProjectSession::setShownPlan(QImage image, const QString &planId)
{
    m_planImage = image.convertToFormat(QImage::Format_RGB32);
    m_currentPlan = planId;
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
    for (int r = 1; r <= m_table.recordCount(); ++r) {
        if (m_table.cellText(RecordTable::PlanId, r) != m_currentPlan)
            continue;
        const auto key = static_cast<quint32>(m_table.cellNumber(RecordTable::ColourKey, r));
        const QPoint point(m_table.cellNumber(RecordTable::LabelX, r),
                           m_table.cellNumber(RecordTable::LabelY, r));
        rooms.push_back({point, key});
    }
    if (m_planImage.isNull())
        return {};
    FloodFill fill;
    return fill.repaintRooms(m_planImage, rooms);
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
    const auto removeBare = [&](const QString &name) {
        // Only bare names inside the working folder, and nothing the user brought in.
        if (name.isEmpty() || !DescriptionFile::isSafePlanId(name))
            return;
        const QString path = m_programDir + name;
        const QFileInfo info(path);
        if (!info.isFile() || info.canonicalFilePath() == running)
            return;
        for (int slot = 1; slot <= PlanPathTable::Capacity; ++slot) {
            const QString added = m_planPaths.path(slot);
            if (!added.isEmpty() && QFileInfo(added).canonicalFilePath() == info.canonicalFilePath())
                return;
        }
        QFile::remove(path);
    };
    for (const QString &name : extractedFiles)
        removeBare(name);
    removeBare(DescriptionFile::fileName());
    removeBare(QStringLiteral("metrola.bmp"));
    for (const char *old : {"metrola.exe", "metrola1.3.exe", "metrola1.4.exe", "metrola1.5.exe",
                            "metrola1.6.exe", "metrola1.7.exe"})
        removeBare(QString::fromLatin1(old));
}
