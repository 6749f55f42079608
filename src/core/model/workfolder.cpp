#include "core/model/workfolder.h"

#include "core/base/metrolaerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
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

// The lock of a working folder: flock() on ".metrola.lock", which the kernel releases when the
// process ends, so a lock file left behind by a crash or a power cut is no lock. The file
// holds the owner's process id, program name and host, as Qt's lock files do, so that older
// copies of the program, which read those, keep out too.
class FolderLock
{
public:
    enum class Result { Taken, Held, Failed };

    Result take(const QString &path)
    {
        const QByteArray name = QFile::encodeName(path);
        // A file removed by its owner between our open and our flock is no lock any more: try
        // again on whatever file has the name now.
        for (int attempt = 0; attempt < 10; ++attempt) {
            const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd < 0)
                return Result::Failed;
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const bool held = errno == EWOULDBLOCK;
                ::close(fd);
                return held ? Result::Held : Result::Failed;
            }
            struct stat opened {}, named {};
            if (::fstat(fd, &opened) == 0 && ::lstat(name.constData(), &named) == 0
                && opened.st_ino == named.st_ino && opened.st_dev == named.st_dev) {
                m_fd = fd;
                m_path = name;
                writeOwner();
                return Result::Taken;
            }
            ::close(fd);
        }
        return Result::Failed;
    }

    ~FolderLock()
    {
        if (m_fd < 0)
            return;
        // Removed while still held, so no one takes the lock of a file about to go.
        ::unlink(m_path.constData());
        ::close(m_fd);
    }

private:
    void writeOwner()
    {
        const QByteArray info = QByteArray::number(qint64(::getpid())) + '\n'
                                + QCoreApplication::applicationName().toUtf8() + '\n'
                                + QSysInfo::machineHostName().toUtf8() + '\n';
        if (::ftruncate(m_fd, 0) == 0 && ::pwrite(m_fd, info.constData(), size_t(info.size()), 0) >= 0)
            ::fsync(m_fd);
    }

    int m_fd = -1;
    QByteArray m_path;
};

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
    const QByteArray name = QFile::encodeName(withSlash(folder) + lockFileName());
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno != ENOENT;
    // A lock that cannot even be tried is counted as held: nothing may clean up a folder
    // whose owner is unknown. Our own lock is on another open file, so it counts too.
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}
