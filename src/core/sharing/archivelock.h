#pragma once

#include <QDateTime>
#include <QString>

#include <sys/types.h>

// The lock beside an archive in use: ".~lock.<archive name>#" in the archive's folder, in the
// form office programs write and users recognise ("name,login,host,date,…;"). The file itself
// is the lock: it is created exclusively (O_CREAT | O_EXCL, never through a link), because
// flock() does not hold across hosts on CIFS and NFS shares, where colleagues meet. It names
// who has the archive open and since when; the holder touches it now and then, so a lock of
// ours from another host that nobody touches any more is known as left by a crash (an office
// program's lock is never touched, so it is taken as held however old).
class ArchiveLock
{
public:
    struct Owner
    {
        QString name; // the user's full name, or the login when there is none
        QString login;
        QString host;
        qint64 pid = 0; // 0 when the lock does not say (another program's lock)
        QDateTime since;
    };

    enum class State {
        Free,      // no lock: the archive may be taken
        Held,      // someone has it open
        Stale,     // left by a run that ended: its process is gone, or nobody touched it for long
        NotAFile,  // a link, a folder or another non-file stands under the lock's name
        Unreadable // a lock file that cannot be read (another user's, no permission)
    };

    struct Found
    {
        State state = State::Free;
        Owner owner;
        QString lockPath;
        QString reason; // for Stale, NotAFile and Unreadable: why, in Russian
        // Identifies the lock file inspected, so that only that file is removed as stale.
        // An inode number is soon reused, so the content must match as well.
        dev_t device = 0;
        ino_t inode = 0;
        QByteArray content;
    };

    // A lock older than this that its holder has not touched belongs to no running program:
    // the holder touches it every kTouchSeconds.
    static constexpr qint64 kTouchSeconds = 10 * 60;
    static constexpr qint64 kStaleSeconds = 60 * 60;

    ArchiveLock() = default;
    ~ArchiveLock();
    ArchiveLock(const ArchiveLock &) = delete;
    ArchiveLock &operator=(const ArchiveLock &) = delete;

    static QString lockPathOf(const QString &archivePath);
    // What stands beside the archive now. A lock this very object holds counts as Held too.
    static Found inspect(const QString &archivePath);
    // The owner written into a new lock: this user, host and process, now.
    static Owner thisRun();

    // Takes the lock of the archive; on failure returns false and *found tells what is in the
    // way (Held, Stale, NotAFile, Unreadable; or Free with a reason when the folder refuses a
    // new file, a read-only share). Releases a lock held before.
    bool take(const QString &archivePath, Found *found);
    // Removes the stale lock inspected (only that very file: a lock taken meanwhile by someone
    // else stays) and takes the archive's lock.
    bool takeOverStale(const QString &archivePath, const Found &stale, Found *found);
    // Removes the lock file when it is still ours; nothing when none is held.
    void release();
    // Keeps the lock known as alive (its time is renewed); called every kTouchSeconds.
    void touch();

    bool held() const { return m_fd >= 0; }
    const QString &archivePath() const { return m_archivePath; }

    // Text form of a lock; parse() reads office programs' locks as well as ours.
    static QByteArray format(const Owner &owner);
    static Owner parse(const QByteArray &content);
    // "Иван Петров (ivan@buh-2) с 09.12.2026 17:05" for messages.
    static QString describe(const Owner &owner);

private:
    int m_fd = -1;
    QString m_archivePath;
    QByteArray m_lockPath;
};
