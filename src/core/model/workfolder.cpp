#include "core/model/workfolder.h"

#include "core/base/metrolaerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

constexpr int kMaxInstances = 64;
constexpr auto kPrivate = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

QString withSlash(QString path)
{
    path = QDir::cleanPath(path);
    return path.endsWith(u'/') ? path : path + u'/';
}

// A copy that runs where it was built or unpacked works beside its executable; an installed
// one (its data in ../share/metrola) never does, even where it may write there: root, or an
// install into the user's ~/.local.
bool isPortableFolder(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() && info.isWritable() && !QFileInfo(path + u"/../share/metrola"_s).isDir();
}

// Creates the folder when missing; a folder made here is private to the user.
void makeFolder(const QString &path)
{
    if (QFileInfo(path).isDir())
        return;
    if (!QDir().mkpath(path) || !QFile::setPermissions(path, kPrivate))
        throw MetrolaError(u"Не удалось создать рабочую папку «%1»."_s.arg(QDir::toNativeSeparators(path)));
}

std::unique_ptr<QLockFile> makeLock(const QString &folder)
{
    auto lock = std::make_unique<QLockFile>(folder + WorkFolder::lockFileName());
    // A lock is stale only when its process is gone, never because it is old: a program
    // left open for hours still owns its folder.
    lock->setStaleLockTime(0);
    return lock;
}

} // namespace

WorkFolder::Places WorkFolder::defaultPlaces()
{
    Places places;
    places.override = qEnvironmentVariable("METROLA_WORKDIR");
    places.executableDir = QCoreApplication::applicationDirPath();
    places.perUserRoot = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return places;
}

WorkFolder::WorkFolder(const Places &places)
{
    if (!places.override.isEmpty()) {
        m_first = withSlash(places.override);
        m_alternateParent = m_first;
    } else if (!places.executableDir.isEmpty() && isPortableFolder(places.executableDir)) {
        m_first = withSlash(places.executableDir);
        m_alternateParent = m_first;
    } else if (!places.perUserRoot.isEmpty()) {
        m_alternateParent = withSlash(places.perUserRoot);
        m_first = m_alternateParent + u"work/"_s;
    } else {
        throw MetrolaError(u"Не найдена папка для рабочих файлов программы."_s);
    }

    for (int n = 1; n <= kMaxInstances; ++n) {
        const QString folder = n == 1 ? m_first : m_alternateParent + u"work-%1/"_s.arg(n);
        makeFolder(folder);
        auto lock = makeLock(folder);
        if (lock->tryLock(0)) {
            m_path = folder;
            m_lock = std::move(lock);
            return;
        }
        if (lock->error() != QLockFile::LockFailedError)
            throw MetrolaError(u"Рабочая папка «%1» недоступна для записи."_s.arg(QDir::toNativeSeparators(folder)));
    }
    throw MetrolaError(u"Запущено слишком много копий программы: все рабочие папки в «%1» заняты."_s.arg(
        QDir::toNativeSeparators(m_alternateParent)));
}

WorkFolder::~WorkFolder() = default;

QStringList WorkFolder::family() const
{
    QStringList folders{m_first};
    for (int n = 2; n <= kMaxInstances; ++n) {
        const QString folder = m_alternateParent + u"work-%1/"_s.arg(n);
        if (QFileInfo(folder).isDir())
            folders.append(folder);
    }
    return folders;
}

bool WorkFolder::isHeldByRunningInstance(const QString &folder)
{
    const QString dir = withSlash(folder);
    if (!QFileInfo::exists(dir + lockFileName()))
        return false;
    auto lock = makeLock(dir);
    if (lock->tryLock(0)) {
        lock->unlock();
        return false;
    }
    // A lock that cannot even be tried (no permission) is counted as held: nothing may
    // clean up a folder whose owner is unknown.
    return true;
}
