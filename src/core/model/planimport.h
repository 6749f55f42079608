#pragma once

#include <QImage>
#include <QString>

class ProjectSession;

// Plans that the program itself writes into the working folder as BMP files: a PNG, JPEG,
// TIFF or PDF plan converted on adding, and a prepared plan. Plan ids stay BMP file names,
// so everything that reads plans (and older copies of the program) works unchanged.
namespace PlanImport {

// A file of that name lies in the working folder, or the project has a plan of that name.
bool nameTaken(const ProjectSession &session, const QString &name);
// The first of "name (2).bmp", "name (3).bmp" … that is not taken.
QString freeName(const ProjectSession &session, const QString &name);
// Writes the image as the working folder's `name`, counts it among the files this run wrote
// (removed at close, packed by a save) and makes the plan id `name` resolve to it rather than
// to a file the user added from disk. Returns
// the file's path. A failed write throws and leaves an earlier file as it was.
QString store(ProjectSession &session, const QImage &image, const QString &name);

} // namespace PlanImport
