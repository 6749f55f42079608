#pragma once

#include <QByteArray>
#include <QString>

// A lock on a folder held by one running process: flock() on a lock file in it, which the
// kernel releases when the process ends, however it ends, so a lock file left behind by a
// crash or a power cut (even an empty one, or one written on another host) is no lock. The
// file names its owner (process id, program name and host, as Qt's lock files do), so that
// older copies of the program, which read those, keep out too. Released and removed when the
// object goes.
class FolderLock
{
public:
    enum class Result { Taken, Held, Failed };

    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    // Takes the lock of the file at the path (created when missing; a link there is refused).
    Result take(const QString &lockFile);
    // Whether a running process, this one included, holds the lock of that file; also true
    // when it cannot be tried. False when there is no such file.
    static bool isHeld(const QString &lockFile);

private:
    void writeOwner();

    int m_fd = -1;
    QByteArray m_path;
};
