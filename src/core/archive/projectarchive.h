#pragma once

#include "core/model/recoveryfile.h"

#include <QString>
#include <QStringList>

#include <functional>

class ProjectSession;
class RecordTable;
class ZipReader;

// Saving a project into one ZIP archive and opening such an archive into the working folder.
// The members are the plan bitmaps in PlanList order, then "metrola-scale.csv" when a plan
// has a scale, "metrola-rooms.csv" when the project says which rooms are common, "metrola-leases.csv" when
// it has leases (or a leases member it refused, saved back unchanged), then
// "metrola.csv"; names carry no folder. Both directions work without a
// window: the GUI and the batch tool share them.
namespace ProjectArchive {

using Progress = std::function<void(int percent)>;
// Asked when a plan's file already exists in the working folder; true replaces it, false keeps
// the file there as the plan. The description and the scale file are replaced unasked.
using ReplaceQuestion = std::function<bool(const QString &memberName)>;

// Rebuilds the PlanList (keeping the plans no record names yet), rewrites the description file
// and packs the project; only plans with records become members. The archive is built aside and
// replaces the old file only when complete. Returns the number of members packed; failures
// throw MetrolaError and leave any previous archive untouched.
int save(ProjectSession &session, const QString &archivePath, const Progress &progress = {});

enum class OpenResult {
    Opened,
    NoDescription, // "metrola.csv" was not extracted: nothing has changed
    NoPlans,       // the table was replaced, but no plan bitmap was extracted or kept
};

struct OpenOptions
{
    bool applyCaptions = true;
    ReplaceQuestion askReplace;
    Progress progress;
    // Called once the description file is read, before the plans are unpacked.
    std::function<void()> beforePlans;
    // When set, a record of the first plan that cannot be painted is told here instead of
    // ending the opening, so the caller can finish it and then report the record.
    std::function<void(const QString &message)> unpaintedRecord;
    // A reader of the same archive to use instead of opening it again; what it extracts is
    // known to be sound, so verifying it afterwards inflates only the rest.
    ZipReader *reader = nullptr;
};

// The opening sequence up to the first record's plan being shown. An unreadable or hostile
// archive throws before anything but the last-archive name has changed; a description file
// that cannot be used (unsafe plan ids, more than 24 plans) throws with the table unchanged.
OpenResult open(ProjectSession &session, const QString &archivePath, const OpenOptions &options);

// Puts recovered work in place of the session's: the plans it needs that are neither in the
// working folder (left there by the run that ended) nor at a recorded path are extracted from
// the archive it names, if that can still be read; then the table, the captions and the plan
// paths take the recovered ones, the first plan that can be loaded is shown (the caller
// repaints its rooms, which may fail on a broken key), and the session is marked modified.
// A recorded plan path is taken only when it is a regular file that reads as a plan: the copy
// is no more trusted than any file in the folder. More than 24 plans throw MetrolaError with
// the session unchanged.
struct Restored
{
    QStringList missingPlans;  // plans that could not be found
    QStringList droppedPaths;  // recorded plan paths not taken
};
Restored restore(ProjectSession &session, RecoveryFile::Recovered recovered,
                    const Progress &progress = {});

QString descriptionMissingMessage();
QString plansMissingMessage();
QString notPackedMessage();
// What the window tells once after opening when records are keyed white or black; empty when
// none are.
QString reservedKeysMessage(const RecordTable &table);

} // namespace ProjectArchive
