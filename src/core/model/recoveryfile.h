#pragma once

#include "core/model/captions.h"
#include "core/model/descriptionfile.h"
#include "core/model/planscales.h"
#include "core/model/recordtable.h"
#include "core/model/roomflags.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

#include <vector>

class ProjectSession;

// The copy of unsaved work kept in the working folder while the program runs, so a crash, a
// killed session or a power cut loses nothing. Two files:
//   "metrola.recovery.csv"  the records and captions, byte for byte as the description file
//                           would hold them; its presence is what start-up looks for;
//   "metrola.recovery.json" the archive last opened, the plans added from disk (PlanPathTable
//                           slots in order), the plans the run extracted into the folder and
//                           the plans' scales (the lines of the archive's scale file) and the
//                           room flags (the lines of its flag file; absent while undecided).
// Both are written through QSaveFile, the side file first: a crash between the two leaves a
// side file that is at most newer than the table, which only adds paths the table does not
// use yet. A copy the user declined is renamed aside with its time, and the last three such
// copies are kept.
namespace RecoveryFile {

QString fileName();
QString sideFileName();

// Everything a write needs, copied from the session on the GUI thread so that the bytes can
// be built and written on another one.
struct Snapshot
{
    Captions captions;
    RecordTable::Row header;
    std::vector<RecordTable::Row> rows;
    QString archive;
    QStringList planPaths;
    QStringList extractedFiles;
    QByteArray scales;
    std::optional<QByteArray> roomFlags; // nullopt while the project has not decided
    std::optional<QByteArray> leases;    // the leases member; nullopt when there is none
};
Snapshot take(const ProjectSession &session);

QByteArray sideFileBytes(const Snapshot &snapshot);
// Writes both files into programDir; throws MetrolaError naming the file that failed.
void write(const QString &programDir, const Snapshot &snapshot);

bool exists(const QString &programDir);
// When the copy was last written.
QDateTime writtenAt(const QString &programDir);

struct Recovered
{
    DescriptionFile::Contents contents;
    QString archive;
    QStringList planPaths;
    QStringList extractedFiles;
    PlanScales scales;
    RoomFlags roomFlags;
    // The leases member's bytes, read by the folder that knows them; nullopt when none.
    std::optional<QByteArray> leases;
};
// Reads the copy; a missing or damaged side file only leaves the paths empty. Throws
// MetrolaError when the table cannot be read or used.
Recovered read(const QString &programDir);

// Removes both files (the table first, so a crash in between leaves nothing to offer).
void remove(const QString &programDir);

// When programDir holds no copy, brings in the copy of a run that ended in another folder of
// the working folder's family, one that no running program holds: a second instance that
// crashed works in "work-2/", but the next start takes the first free folder.
void adopt(const QString &programDir, const QStringList &family);

// Renames the copy to "metrola.recovery-<yyyyMMdd-HHmmss>.csv" (and its side file alike),
// then removes all but the three newest copies set aside. Returns the new name of the table,
// empty when there was nothing to rename; throws MetrolaError when the rename fails.
QString setAside(const QString &programDir);

} // namespace RecoveryFile
