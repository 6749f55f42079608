#include "core/model/planimport.h"

#include "core/model/projectsession.h"
#include "core/plan/planimage.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace PlanImport {

bool nameTaken(const ProjectSession &session, const QString &name)
{
    return QFileInfo::exists(session.programDir() + name) || session.plans().indexOf(name) > 0 ||
           session.planPaths().planFileIndex(name) > 0;
}

QString freeName(const ProjectSession &session, const QString &name)
{
    const QFileInfo info(name);
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? u"bmp"_s : info.suffix();
    for (int n = 2;; ++n) {
        const QString candidate = u"%1 (%2).%3"_s.arg(base).arg(n).arg(suffix);
        if (!nameTaken(session, candidate))
            return candidate;
    }
}

QString store(ProjectSession &session, const QImage &image, const QString &name)
{
    const QString path = session.programDir() + name;
    PlanImage::saveBmp(image, path);
    session.extractedFiles.insert(name);
    session.planPaths().forget(name);
    return path;
}

} // namespace PlanImport
