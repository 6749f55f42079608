#include "cli/cliproject.h"

#include "cli/clisignals.h"
#include "core/archive/projectarchive.h"
#include "core/archive/zipreader.h"
#include "core/base/metrolaerror.h"
#include "core/base/safefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kFolderPrefix = u"metrola-cli-"_s;

// Beside the folder, not in it: a member extracted into the folder could take its name.
QString lockOf(const QString &folder)
{
    return folder + u".lock"_s;
}

// A tool that has just made its lock file may not hold the lock yet: a lock file younger than
// this is never taken for a dead tool's.
bool isFresh(const QString &lock)
{
    constexpr int kSeconds = 10;
    return QFileInfo(lock).lastModified().secsTo(QDateTime::currentDateTime()) < kSeconds;
}

QString temporaryParent()
{
    const QString base = qEnvironmentVariable("METROLA_TMPDIR");
    return base.isEmpty() ? QDir::tempPath() : base;
}

QString temporaryTemplate()
{
    const QString parent = temporaryParent();
    CliProject::removeStaleFolders(parent);
    return QDir(parent).filePath(kFolderPrefix + u"XXXXXX"_s);
}

} // namespace

int CliProject::removeStaleFolders(const QString &parent)
{
    int removed = 0;
    const QStringList names = QDir(parent).entryList({kFolderPrefix + u"??????"_s},
                                                     QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QString folder = QDir(parent).filePath(name);
        struct stat st {};
        if (::lstat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode)
            || st.st_uid != ::getuid())
            continue;
        // Only a folder with a lock file, free now: an older tool's folder, without one, may
        // still be in use.
        const QString lock = lockOf(folder);
        if (SafeFile::kindOf(lock, false) != SafeFile::Kind::Regular || isFresh(lock))
            continue;
        // Taken while the folder goes, so that two tools starting at once do not remove it
        // together (each failing on the files the other removed, and both leaving it); the
        // lock file goes with the lock.
        FolderLock sweeping;
        if (sweeping.take(lock) != FolderLock::Result::Taken)
            continue;
        if (QDir(folder).removeRecursively())
            ++removed;
    }
    // Locks whose folder a signal removed.
    const QStringList locks = QDir(parent).entryList({kFolderPrefix + u"??????.lock"_s}, QDir::Files | QDir::Hidden);
    for (const QString &name : locks) {
        const QString lock = QDir(parent).filePath(name);
        struct stat st {};
        if (::lstat(QFile::encodeName(lock).constData(), &st) == 0 && st.st_uid == ::getuid()
            && SafeFile::kindOf(lock.chopped(5), false) == SafeFile::Kind::Missing && !isFresh(lock)
            && !FolderLock::isHeld(lock))
            SafeFile::removeRegular(lock);
    }
    return removed;
}

CliProject::CliProject(const QString &archivePath)
    : m_dir(temporaryTemplate())
{
    if (!m_dir.isValid())
        throw MetrolaError(u"Не удалось создать временную папку: %1."_s.arg(SafeFile::reasonOf(m_dir.errorString())));
    if (m_lock.take(lockOf(m_dir.path())) != FolderLock::Result::Taken)
        throw MetrolaError(u"Не удалось закрепить временную папку «%1»."_s.arg(m_dir.path()));
    CliSignals::removeOnSignal(m_dir.path());
    m_session = std::make_unique<ProjectSession>(m_dir.path() + u'/');

    const QString name = QFileInfo(archivePath).fileName();
    if (const auto kind = SafeFile::kindOf(archivePath, true); kind != SafeFile::Kind::Regular) {
        if (kind == SafeFile::Kind::Missing)
            throw MetrolaError(u"Архив «%1» не найден."_s.arg(archivePath));
        throw MetrolaError(u"Архив «%1» — это %2, а не файл."_s.arg(archivePath, SafeFile::kindText(kind)));
    }

    // The GUI learns of a damaged member only when it extracts it; the tool checks every
    // member, so a damaged archive is refused as a whole instead of half-reported. Opening
    // checks what it extracts, and verify() inflates only the members opening left alone.
    ZipReader reader(archivePath);
    // Folders and members inside them are skipped as the window skips them; a name that
    // could point elsewhere marks a hostile archive, refused whole.
    if (!reader.hostileMemberNames().isEmpty())
        throw MetrolaError(
            u"Архив «%1» содержит файлы с недопустимыми именами и не будет открыт."_s.arg(name));
    m_members = reader.memberNames();

    bool tableRead = false;
    ProjectArchive::OpenOptions options;
    options.applyCaptions = true;
    options.askReplace = [](const QString &) { return true; };
    options.beforePlans = [&tableRead] { tableRead = true; };
    options.reader = &reader;
    try {
        const auto result = ProjectArchive::open(*m_session, archivePath, options);
        if (result == ProjectArchive::OpenResult::NoDescription)
            throw MetrolaError(ProjectArchive::descriptionMissingMessage());
        m_plansExtracted = result == ProjectArchive::OpenResult::Opened;
    } catch (const MetrolaError &error) {
        if (!tableRead)
            throw;
        // A damaged plan member refuses the archive; any other failure is the window's.
        reader.verify();
        m_openError = error.message();
        m_plansExtracted = !m_session->extractedFiles.isEmpty();
    }
    reader.verify();
}

CliProject::~CliProject()
{
    CliSignals::removeOnSignal({});
}

QString CliProject::firstPlan() const
{
    const RecordTable &table = m_session->table();
    return table.recordCount() > 0 ? table.cellText(RecordTable::PlanId, 1) : QString();
}

bool CliProject::isPaintedPlan(const QString &planId) const
{
    // Opening shows the first record's plan and paints it; when nothing failed, that is done.
    return m_plansExtracted && m_openError.isEmpty() && m_session->currentPlan() == planId;
}

void CliProject::showPaintedPlan(const QString &planId)
{
    if (planId.isEmpty() || !m_plansExtracted)
        throw MetrolaError(ProjectArchive::plansMissingMessage());
    if (!m_session->extractedFiles.contains(planId))
        throw MetrolaError(u"План «%1» отсутствует в архиве."_s.arg(planId));
    if (isPaintedPlan(planId))
        return;
    m_session->showPlanFile(m_session->programDir() + planId, planId);
    m_session->repaintPlanRooms();
}
