#pragma once

#include <QImage>
#include <QString>

class ProjectSession;

// Plans that the program itself writes into the working folder as BMP files: a PNG, JPEG,
// TIFF or PDF plan converted on adding, and a prepared plan. Plan ids stay BMP file names,
// so everything that reads plans (and older copies of the program) works unchanged.
namespace PlanImport {

// A name the program keeps for a working file of its own: the description file, the scale,
// flag and lease files, the placement picture "metrola.bmp", the recovery copies and the lock.
// A plan of such a name would be overwritten by that file (the placement picture paints over
// it) or packed in its place, so no plan may take one; letter case aside, so an archive moved
// to a system that ignores it stays whole.
bool isWorkingFileName(const QString &name);
// A file of that name lies in the working folder, the project has a plan of that name, or the
// program keeps the name for a working file.
bool nameTaken(const ProjectSession &session, const QString &name);
// The first of "name (2).bmp", "name (3).bmp" … that is not taken.
QString freeName(const ProjectSession &session, const QString &name);
// Writes the image as the working folder's `name`, counts it among the files this run wrote
// (removed at close, packed by a save) and makes the plan id `name` resolve to it rather than
// to a file the user added from disk. Returns
// the file's path. A failed write throws and leaves an earlier file as it was.
QString store(ProjectSession &session, const QImage &image, const QString &name);

} // namespace PlanImport
