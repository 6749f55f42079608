#pragma once

#include "core/base/folderlock.h"
#include "core/model/projectsession.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// An archive opened the way the GUI opens it, but into a private temporary folder that goes
// away with the object, so the tool never writes into anybody's working folder. The folder is
// locked while the tool runs; the folders of tools that were killed (their lock free) are
// removed when the next one starts.
class CliProject
{
public:
    // Throws MetrolaError for an archive that cannot be read, is hostile, or has no description
    // file. Problems found only after the table was read (a broken plan, a key that is not a
    // number) do not throw: the table stays usable and openError() tells what went wrong.
    explicit CliProject(const QString &archivePath);
    ~CliProject();
    CliProject(const CliProject &) = delete;
    CliProject &operator=(const CliProject &) = delete;

    ProjectSession &session() { return *m_session; }
    const ProjectSession &session() const { return *m_session; }
    // The names the archive holds, in its order.
    const QStringList &members() const { return m_members; }
    bool hasPlanFiles() const { return m_plansExtracted; }
    const QString &openError() const { return m_openError; }
    // Removes the private folders in `parent` that this user's tools left when they were
    // killed: real folders of this user, named as the tool names them, whose lock no running
    // process holds. Returns how many were removed.
    static int removeStaleFolders(const QString &parent);
    // The private folder; scratch files of the commands belong there too.
    QString folder() const { return m_dir.path(); }

    // Makes the plan shown and paints its rooms in their keys, decoding it only when it is not
    // shown so already. Throws MetrolaError when the plan is not in the archive or cannot be
    // painted.
    void showPaintedPlan(const QString &planId);
    // Whether the plan is shown with all its rooms painted, so nothing needs decoding.
    bool isPaintedPlan(const QString &planId) const;
    // The plan of the first record.
    QString firstPlan() const;

private:
    QTemporaryDir m_dir;
    // "<folder>.lock" beside it; declared after the folder, so released (and removed) before
    // the folder goes.
    FolderLock m_lock;
    std::unique_ptr<ProjectSession> m_session;
    QStringList m_members;
    bool m_plansExtracted = false;
    QString m_openError;
};
