#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class FolderLock;

// The working folder of a running window program: where an opened archive is unpacked and the
// description file and placement picture are written. It is chosen here and nowhere else, and
// it is held by a lock file inside it for as long as this object lives, so two running
// instances never unpack into, or clean up, the same folder.
class WorkFolder
{
public:
    // Where the folder may be. Empty strings are skipped.
    struct Places
    {
        // Taken when set (METROLA_WORKDIR); created when missing.
        QString override;
        // Taken when it is a writable folder (the build tree, a portable copy) and not the
        // bin folder of an installed program (one with ../share/metrola).
        QString executableDir;
        // Otherwise perUserRoot + "work/", created with mode 0700.
        QString perUserRoot;
    };

    // METROLA_WORKDIR, the running executable's folder and AppLocalDataLocation. Needs the
    // application object and its name.
    static Places defaultPlaces();

    // Takes the first folder of the family of the chosen place whose lock is free: the place
    // itself, then "work-2/", "work-3/" ... beside "work/" for the per-user folder, inside the
    // place otherwise. A folder the program makes for itself ("work/", "work-N/") must be a
    // real folder of this user, private to it (mode 0700); a link or anyone else's folder at
    // that name is skipped. The lock is one the kernel drops when its process ends, however
    // it ends, so a lock file left behind (even empty, or written on another host) never
    // keeps a folder. Throws MetrolaError with a Russian message when no folder can be made
    // or locked.
    explicit WorkFolder(const Places &places = defaultPlaces());
    ~WorkFolder();
    WorkFolder(const WorkFolder &) = delete;
    WorkFolder &operator=(const WorkFolder &) = delete;

    // The folder held, ending with "/".
    const QString &path() const { return m_path; }
    // The folders of the same family that exist now, this one included, first one first.
    QStringList family() const;

    // Whether a running program (this one included) holds the lock of the folder; also true
    // when the lock cannot be tried.
    static bool isHeldByRunningInstance(const QString &folder);
    static QString lockFileName() { return QStringLiteral(".metrola.lock"); }

private:
    QString m_path;
    QString m_first;
    // Where "work-N/" folders are made.
    QString m_alternateParent;
    std::unique_ptr<FolderLock> m_lock;
};
