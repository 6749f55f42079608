#pragma once

#include "core/model/recordtable.h"
#include "core/sharing/archivelock.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

// What an archive was like when this run opened (or last saved) it: its size, time and content
// digest. The time alone is not trusted (a copy keeps it, a share may round it); the digest
// tells whether the content is still the one opened.
struct ArchiveStamp
{
    qint64 size = -1; // -1: there was no readable file
    QDateTime modified;
    QByteArray digest; // SHA-256 of the content

    static ArchiveStamp of(const QString &path);
    bool isValid() const { return size >= 0; }
    bool sameContent(const ArchiveStamp &other) const { return size == other.size && digest == other.digest; }
};

// The records two sides added and removed since a common start, told by plan and colour key
// (a room's identity); a record on both sides with other texts is changed.
struct RecordDiff
{
    struct Side
    {
        QStringList added, removed, changed; // "«Офис 12» (план этаж1.bmp, ключ 9502718)"
        bool isEmpty() const { return added.isEmpty() && removed.isEmpty() && changed.isEmpty(); }
    };
    Side theirs, ours;

    // Rows as RecordTable::rows() gives them: records, then the EntryRow (ignored).
    static RecordDiff between(const std::vector<RecordTable::Row> &base,
                              const std::vector<RecordTable::Row> &theirs,
                              const std::vector<RecordTable::Row> &ours);
    // Russian lines for the save question: what each side added, removed and changed.
    QString text() const;
};

// One archive as this run has it open: the lock beside it (none when opened read-only), the
// stamp and the records at opening or at the last save here. A save into the archive asks
// first when the file on disk is no longer that one, so nobody's records are thrown away.
class SharedArchive
{
public:
    // The archive's records now, read from its description member with bounded memory;
    // throws MetrolaError when it cannot be read.
    static std::vector<RecordTable::Row> readRows(const QString &archivePath);

    // Begins with an archive just opened, with its lock taken already, or without one: read-only,
    // or not when its folder takes no lock file at all (nobody can save there: the installed
    // demo, a read-only share).
    void opened(const QString &path, const std::vector<RecordTable::Row> &rows,
                std::unique_ptr<ArchiveLock> lock, bool readOnly);
    // Hands the lock over (to an opening of the same archive again); the archive becomes read-only.
    std::unique_ptr<ArchiveLock> takeLock();
    // After a save into path: its stamp and records are the new start. The lock follows the
    // archive when it was another one (false when it could not be taken there).
    bool saved(const QString &path, const std::vector<RecordTable::Row> &rows);
    // The project left: the lock goes.
    void close();

    const QString &path() const { return m_path; }
    bool readOnly() const { return m_readOnly; }
    ArchiveLock *lock() { return m_lock.get(); }
    // Renews the lock's time, so that colleagues do not take it for a crashed run's.
    void touch()
    {
        if (m_lock)
            m_lock->touch();
    }
    const ArchiveStamp &stamp() const { return m_stamp; }

    // Whether a save to `path` goes into the archive this run opened.
    bool isOpenArchive(const QString &path) const;
    // nullopt while the file at path() is still the one opened or saved here; else what the
    // other side and this one changed since (the other side's records read from the file).
    // An archive gone or unreadable counts as changed with an empty diff.
    std::optional<RecordDiff> outsideChange(const std::vector<RecordTable::Row> &ours) const;

    // Plans added from disk (a shared folder, often) are read from there again at every save:
    // their content when added or last saved is kept, so that a save can tell which of them
    // someone changed meanwhile. Kept across projects, as the plan paths are.
    void planAdded(const QString &path);
    // The paths among these whose file is no longer what was added or saved (a file gone too).
    QStringList changedPlans(const QStringList &paths) const;
    void plansSaved(const QStringList &paths);

    // Copies the archive at path aside, beside it, under a new name that tells it is the
    // version kept ("план (версия от 09.12.2026 17-05).zip", numbered when taken), so that
    // replacing it loses nothing. Returns the copy's path; throws MetrolaError on failure.
    static QString keepAside(const QString &archivePath);
    // Copies a regular file through a new file renamed into place; throws MetrolaError.
    static void copyFile(const QString &from, const QString &to);

private:
    QString m_path;
    bool m_readOnly = false;
    ArchiveStamp m_stamp;
    std::vector<RecordTable::Row> m_rows;
    std::unique_ptr<ArchiveLock> m_lock;
    QHash<QString, ArchiveStamp> m_planStamps;
};
