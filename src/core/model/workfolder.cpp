#include "core/model/workfolder.h"

#include "core/base/folderlock.h"
#include "core/base/metrolaerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

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

// A folder of the program's own family: made private when missing; one that exists must be a
// real folder of this user (never a link to somewhere else), and is made private again.
bool isOwnPrivateFolder(const QString &path)
{
    const QByteArray name = QFile::encodeName(QDir::cleanPath(path));
    if (::mkdir(name.constData(), 0700) == 0)
        return true;
    struct stat st {};
    if (errno != EEXIST || ::lstat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    return (st.st_mode & 07777) == 0700 || ::chmod(name.constData(), 0700) == 0;
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

    // The place the user named (or the portable folder) is taken as it is; the folders the
    // program makes for itself must be its own.
    const bool chosenByUser = m_first == m_alternateParent;
    if (!chosenByUser && !QFileInfo(m_alternateParent).isDir() && !QDir().mkpath(m_alternateParent))
        throw MetrolaError(u"Не удалось создать рабочую папку «%1»."_s.arg(QDir::toNativeSeparators(m_first)));
    for (int n = 1; n <= kMaxInstances; ++n) {
        const QString folder = n == 1 ? m_first : m_alternateParent + u"work-%1/"_s.arg(n);
        if (n == 1 && chosenByUser)
            makeFolder(folder);
        else if (!isOwnPrivateFolder(folder))
            continue;
        auto lock = std::make_unique<FolderLock>();
        switch (lock->take(folder + lockFileName())) {
        case FolderLock::Result::Taken:
            m_path = folder;
            m_lock = std::move(lock);
            return;
        case FolderLock::Result::Held:
            continue;
        case FolderLock::Result::Failed:
            throw MetrolaError(u"Рабочая папка «%1» недоступна для записи."_s.arg(QDir::toNativeSeparators(folder)));
        }
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
    return FolderLock::isHeld(withSlash(folder) + lockFileName());
}
