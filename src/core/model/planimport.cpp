#include "core/model/planimport.h"

#include "core/model/descriptionfile.h"
#include "core/model/planscales.h"
#include "core/model/projectsession.h"
#include "core/model/recoveryfile.h"
#include "core/model/roomflags.h"
#include "core/model/workfolder.h"
#include "core/plan/planimage.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace PlanImport {

bool isWorkingFileName(const QString &name)
{
    // The placement picture and the lease file belong to other rooms of the core, which this
    // one may not include.
    const QString names[] = {DescriptionFile::fileName(),
                             PlanScales::fileName(),
                             RoomFlags::fileName(),
                             RecoveryFile::fileName(),
                             RecoveryFile::sideFileName(),
                             WorkFolder::lockFileName(),
                             u"metrola.bmp"_s,
                             u"metrola-leases.csv"_s};
    for (const QString &reserved : names) {
        if (name.compare(reserved, Qt::CaseInsensitive) == 0)
            return true;
    }
    // The copies of declined recovery files: "metrola.recovery-<date>.csv" and its side file.
    return name.startsWith(u"metrola.recovery"_s, Qt::CaseInsensitive);
}

bool nameTaken(const ProjectSession &session, const QString &name)
{
    return isWorkingFileName(name) || QFileInfo::exists(session.programDir() + name) ||
           session.plans().indexOf(name) > 0 || session.planPaths().planFileIndex(name) > 0;
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
