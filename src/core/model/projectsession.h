#pragma once

#include "core/model/captions.h"
#include "core/model/planlist.h"
#include "core/model/planscales.h"
#include "core/model/recordtable.h"
#include "core/model/roomareas.h"
#include "core/model/roomflags.h"
#include "core/model/sidemember.h"

#include <QImage>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <utility>

// The state of one running program that the window layout would otherwise keep in hidden
// labels and swatches: the working folder, the record table and plan lists, the captions,
// the plan shown with its image, the marking and restore colours and the last archive opened.
// The windows read and change it; everything here works without a widget.
class ProjectSession
{
public:
    static constexpr quint32 kInitialMarkingColour = 9502719;
    static constexpr quint32 kWhite = 16777215;
    static QString noPlan() { return QStringLiteral("-"); }

    // programDir ends with "/".
    explicit ProjectSession(QString programDir);

    const QString &programDir() const { return m_programDir; }
    RecordTable &table() { return m_table; }
    const RecordTable &table() const { return m_table; }
    PlanList &plans() { return m_plans; }
    const PlanList &plans() const { return m_plans; }
    PlanPathTable &planPaths() { return m_planPaths; }
    const PlanPathTable &planPaths() const { return m_planPaths; }
    Captions &captions() { return m_captions; }
    const Captions &captions() const { return m_captions; }

    // The plan shown: its id ("-" while none) and its image in Format_RGB32.
    const QString &currentPlan() const { return m_currentPlan; }
    bool hasPlan() const { return m_currentPlan != noPlan(); }
    QImage &planImage() { return m_planImage; }
    const QImage &planImage() const { return m_planImage; }
    // Loads the bitmap and only then makes it the plan shown, so a failed load keeps the
    // previous plan and caption.
    void showPlanFile(const QString &path, const QString &planId);
    // Makes an image already in memory the plan shown (converted to Format_RGB32).
    void setShownPlan(QImage image, const QString &planId);
    // The plan of the top selected grid row: from its recorded path when it was added from
    // disk, otherwise from the working folder unless it is shown already. Returns whether a
    // plan was loaded.
    bool showRowPlan(int row);
    // Refills every room of the plan shown at its label point with its key; returns the
    // bounding box of what changed. A record whose key or label point is not a number is
    // skipped; after the others are painted, the first such record is reported by throwing.
    // The first repaint of a plan fresh from its file counts the rooms' pixels while filling
    // and keeps them as the plan's measurement.
    QRect repaintPlanRooms();
    // The file the plan shown was loaded from; empty for an image given in memory.
    const QString &planSource() const { return m_planSource; }
    // Changes with every image made the plan shown.
    quint64 planGeneration() const { return m_planGeneration; }

    // The scales of the plans and the tolerance of the area check; saved beside the
    // description file.
    PlanScales &scales() { return m_scales; }
    const PlanScales &scales() const { return m_scales; }
    // Which rooms are places of common use; saved beside the description file.
    RoomFlags &roomFlags() { return m_roomFlags; }
    const RoomFlags &roomFlags() const { return m_roomFlags; }
    // The leases, kept in their own archive member; null while the project has none loaded.
    SideMember *leases() const { return m_leases.get(); }
    void setLeases(std::shared_ptr<SideMember> leases) { m_leases = std::move(leases); }
    // The summary's choice of sharing the common areas over the whole complex rather than plan
    // by plan; the workbook follows it. Not kept with the project.
    bool commonOverWholeComplex = false;
    RoomAreas &roomAreas() { return m_roomAreas; }
    // Typed against measured areas of every record on a plan with a scale.
    std::vector<RoomAreaCheck> checkAreas() { return m_roomAreas.check(roomAreasProject(), m_scales); }
    // What the room areas read of this session.
    RoomAreas::Project roomAreasProject() const
    {
        return {m_table, m_planPaths, m_programDir, m_currentPlan, m_planSource, m_planGeneration};
    }

    quint32 markingColour = kInitialMarkingColour;
    // The key of a room about to be marked: the marking colour steps one below, and the key is
    // the first from there that no record uses and that is neither floor nor wall.
    quint32 nextRoomKey();
    quint32 restoreColour = kWhite;
    // The colour dialog opens with the colour chosen last.
    quint32 colourDialogColour = kInitialMarkingColour;

    // The archive name given to the last opening, successful or not; empty before any.
    QString lastArchive;
    // Plans the program itself extracted into the working folder during this run.
    QSet<QString> extractedFiles;
    // The other working files this run wrote or extracted there: the description file, the
    // scale file, the placement picture. Together with extractedFiles, all that the clean-up
    // at close may delete.
    QSet<QString> writtenFiles;

    // The archive a plain save writes to: the one opened or saved last, empty for a project
    // never saved. Unlike lastArchive, a failed opening leaves it as it was.
    QString archiveFile;
    // The archive the reports name (the PDF's title block, the workbook's title and file name):
    // the one opened or saved last, so a new project is named from its first save on, not
    // "Новый проект" until it is reopened; lastArchive while there is none.
    QString reportArchive() const { return archiveFile.isEmpty() ? lastArchive : archiveFile; }

    // Records or captions changed since the last save or open.
    bool modified() const { return m_modified; }
    void setModified(bool modified)
    {
        if (std::exchange(m_modified, modified) != modified && m_modifiedListener)
            m_modifiedListener(modified);
    }
    // Told of every change of modified(), so a window title can follow it.
    void setModifiedListener(std::function<void(bool)> listener) { m_modifiedListener = std::move(listener); }

    // The archive path of the command line: the arguments joined; a path starting with "/" is
    // taken as it stands, another is taken from the working folder, or from currentDir when no
    // file of that name is there. Empty when the joined text is shorter than 2 characters.
    static QString commandLineArchive(const QStringList &arguments, const QString &programDir,
                                      const QString &currentDir);

    // Deletes the working files at close: what this run extracted or wrote there (never a plan
    // the user added from disk, never the running executable), and of those only regular
    // files, never a link or what it points to. Failures are ignored.
    void removeWorkingFiles(const QString &runningExecutable) const;

private:
    QRect repaintMeasuring(std::vector<RoomSeed> rooms);
    QString unreadableCellMessage(int row, int column) const;

    QString m_programDir;
    RecordTable m_table;
    PlanList m_plans;
    PlanPathTable m_planPaths;
    Captions m_captions = Captions::defaults();
    QString m_currentPlan = noPlan();
    QImage m_planImage;
    QString m_planSource;
    // Tells each loaded image apart, so that only the first repaint of one is taken as its
    // measurement: later repaints find most rooms painted already.
    quint64 m_planGeneration = 0;
    quint64 m_measuredGeneration = 0;
    PlanScales m_scales;
    RoomFlags m_roomFlags;
    std::shared_ptr<SideMember> m_leases;
    RoomAreas m_roomAreas;
    bool m_modified = false;
    std::function<void(bool)> m_modifiedListener;
};
