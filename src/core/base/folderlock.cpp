#include "core/base/folderlock.h"

#include <QCoreApplication>
#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

FolderLock::~FolderLock()
{
    if (m_fd < 0)
        return;
    // Removed while still held, so no one takes the lock of a file about to go.
    ::unlink(m_path.constData());
    ::close(m_fd);
}

FolderLock::Result FolderLock::take(const QString &lockFile)
{
    const QByteArray name = QFile::encodeName(lockFile);
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
        struct stat opened {};
        struct stat named {};
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

bool FolderLock::isHeld(const QString &lockFile)
{
    const int fd = ::open(QFile::encodeName(lockFile).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno != ENOENT;
    // Our own lock is on another open file, so it counts too.
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

void FolderLock::writeOwner()
{
    const QByteArray info = QByteArray::number(qint64(::getpid())) + '\n'
                            + QCoreApplication::applicationName().toUtf8() + '\n'
                            + QSysInfo::machineHostName().toUtf8() + '\n';
    if (::ftruncate(m_fd, 0) == 0 && ::pwrite(m_fd, info.constData(), size_t(info.size()), 0) >= 0)
        ::fsync(m_fd);
}
