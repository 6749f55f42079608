#include "core/archive/projectarchive.h"

#include "core/archive/zipreader.h"
#include "core/archive/zipwriter.h"
#include "core/base/metrolaerror.h"
#include "core/leases/leasebook.h"
#include "core/model/descriptionfile.h"
#include "core/model/planscales.h"
#include "core/model/projectsession.h"
#include "core/model/roomflags.h"
#include "core/plan/planimage.h"

static_assert(ZipReader::DefaultMemberSizeLimit >= PlanImage::kMaxPixels * 4 + 4096,
              "every plan the loader accepts must also be accepted as an archive member");

#include <QFileInfo>

#include <algorithm>
#include <optional>

namespace ProjectArchive {

QString descriptionMissingMessage()
{
    return QStringLiteral("Архив не может быть загружен в Metrola. Отсутствует файл описания.");
}

QString plansMissingMessage()
{
    return QStringLiteral("Файлы поэтажных планов не могут быть загружены. Архив повреждён.");
}

QString notPackedMessage()
{
    return QStringLiteral("Ошибка создания архива..");
}

QString reservedKeysMessage(const RecordTable &table)
{
    const std::vector<int> rows = table.reservedKeyRows();
    if (rows.empty())
        return {};
    // A hand-made file may key thousands of rows so; the box stays readable.
    constexpr size_t kListed = 20;
    QStringList listed;
    for (size_t i = 0; i < std::min(rows.size(), kListed); ++i)
        listed << QString::number(rows[i]);
    QString list = listed.join(QStringLiteral(", "));
    if (rows.size() > kListed)
        list += QStringLiteral(" и ещё %1").arg(rows.size() - kListed);
    return QStringLiteral("Цветовой ключ записей в строках %1 — белый (16777215) или чёрный (0) "
                          "цвет. Белым залит пол неразмеченных помещений, чёрным — стены, поэтому "
                          "такие записи не обозначают ни одного помещения: на плане они не "
                          "закрашиваются и щелчком не открываются. Исправьте их ключи.")
        .arg(list);
}

int save(ProjectSession &session, const QString &archivePath, const Progress &progress)
{
    // Only plans with records are packed: opening finds its plans through the records.
    PlanList recorded;
    recorded.rebuild(session.table());
    session.plans().rebuildKeepingUnrecorded(session.table());
    DescriptionFile::write(session.programDir(), session.captions(), session.table());
    session.writtenFiles.insert(DescriptionFile::fileName());
    ZipWriter writer(archivePath);
    for (const QString &plan : recorded.names())
        writer.addFile(session.planPaths().planFilePath(session.programDir(), plan));
    if (session.scales().write(session.programDir(), recorded.names())) {
        session.writtenFiles.insert(PlanScales::fileName());
        writer.addFile(session.programDir() + PlanScales::fileName());
    }
    // A flag left by a room since undone would otherwise pass to the next room given its key.
    session.roomFlags().dropOrphans(session.table());
    if (session.roomFlags().write(session.programDir())) {
        session.writtenFiles.insert(RoomFlags::fileName());
        writer.addFile(session.programDir() + RoomFlags::fileName());
    }
    // Leases whose rooms are gone stay: the contract happened, and `check` names them.
    if (const LeaseBook *leases = LeaseBook::in(session); leases && leases->write(session.programDir())) {
        session.writtenFiles.insert(LeaseBook::fileName());
        writer.addFile(session.programDir() + LeaseBook::fileName());
    } else if (!leases) {
        LeaseBook().write(session.programDir()); // a file left by the project before
    }
    writer.addFile(session.programDir() + DescriptionFile::fileName());
    writer.setProgress(progress);
    const int packed = writer.write();
    if (packed >= 1) {
        session.setModified(false);
        // The project is that archive now: a plain save writes there, and reports bear its name.
        session.archiveFile = archivePath;
    }
    return packed;
}

OpenResult open(ProjectSession &session, const QString &archivePath, const OpenOptions &options)
{
    session.lastArchive = archivePath;
    std::optional<ZipReader> ownReader;
    ZipReader &reader = options.reader ? *options.reader : ownReader.emplace(archivePath);
    const QString dir = session.programDir();
    // The description and the scales in the folder are this program's own copies of the
    // project being left (rewritten at every save), never something the user edits there:
    // the archive's replace them without a question.
    const auto replace = [](const QString &) { return true; };
    if (reader.extract({DescriptionFile::fileName()}, dir, replace, options.progress) < 1)
        return OpenResult::NoDescription;
    session.writtenFiles.insert(DescriptionFile::fileName());

    // Read and check everything before the session changes, so a refused file leaves the
    // table, the captions and the PlanList as they were.
    RecordTable loaded;
    Captions captions = session.captions();
    DescriptionFile::load(dir, options.applyCaptions, captions, loaded);
    PlanList plans;
    plans.rebuild(loaded);
    // One left in the folder by another project must never be taken for this one's.
    PlanScales scales;
    if (reader.memberNames().contains(PlanScales::fileName())) {
        // Checked before anything is inflated: the member's own word on its size.
        if (reader.memberSize(PlanScales::fileName()) > PlanScales::kFileSizeLimit) {
            throw MetrolaError(
                QStringLiteral("Файл масштабов «%1» в архиве слишком велик: это не файл Metrola.")
                    .arg(PlanScales::fileName()));
        }
        if (reader.extract({PlanScales::fileName()}, dir, replace) == 1) {
            session.writtenFiles.insert(PlanScales::fileName());
            scales = PlanScales::load(dir);
        }
    }
    RoomFlags flags;
    if (reader.memberNames().contains(RoomFlags::fileName())) {
        if (reader.memberSize(RoomFlags::fileName()) > RoomFlags::kFileSizeLimit) {
            throw MetrolaError(
                QStringLiteral("Файл отметок помещений «%1» в архиве слишком велик: это не файл Metrola.")
                    .arg(RoomFlags::fileName()));
        }
        if (reader.extract({RoomFlags::fileName()}, dir, replace) == 1) {
            session.writtenFiles.insert(RoomFlags::fileName());
            flags = RoomFlags::load(dir);
        }
    }
    std::shared_ptr<LeaseBook> leases;
    if (reader.memberNames().contains(LeaseBook::fileName())) {
        if (reader.memberSize(LeaseBook::fileName()) > LeaseBook::kFileSizeLimit) {
            throw MetrolaError(
                QStringLiteral("Файл договоров «%1» в архиве больше %2 МБ: это не файл Metrola. "
                               "Архив не открыт.")
                    .arg(LeaseBook::fileName())
                    .arg(LeaseBook::kFileSizeLimit >> 20));
        }
        if (reader.extract({LeaseBook::fileName()}, dir, replace) == 1) {
            session.writtenFiles.insert(LeaseBook::fileName());
            leases = std::make_shared<LeaseBook>(LeaseBook::load(dir));
        }
    }
    session.table().exchangeRows(loaded);
    loaded.replaceRows({}); // the project left behind
    session.captions() = captions;
    session.plans() = plans;
    session.scales() = scales;
    session.roomFlags() = flags;
    session.setLeases(std::move(leases));
    session.roomAreas().clear();
    session.setModified(false);
    if (options.beforePlans)
        options.beforePlans();

    const QStringList names = plans.names();
    // A plan file the user chose to keep (a paint program may have changed it) is there all
    // the same, so it counts like an extracted one; only plans missing from the archive don't.
    int available = 0;
    for (int i = 0; i < names.size(); ++i) {
        const auto part = [&](int percent) {
            if (options.progress)
                options.progress((i * 100 + percent) / static_cast<int>(names.size()));
        };
        bool kept = false;
        const auto ask = [&](const QString &member) {
            kept = !(options.askReplace && options.askReplace(member));
            return !kept;
        };
        if (reader.extract({names[i]}, dir, ask, part) == 1) {
            session.extractedFiles.insert(names[i]);
            ++available;
        } else if (kept) {
            ++available;
        }
    }
    if (options.progress)
        options.progress(100);
    if (available < 1)
        return OpenResult::NoPlans;

    const QString first = session.table().cellText(RecordTable::PlanId, 1);
    session.showPlanFile(dir + first, first);
    try {
        session.repaintPlanRooms();
    } catch (const MetrolaError &error) {
        if (!options.unpaintedRecord)
            throw;
        options.unpaintedRecord(error.message());
    }
    return OpenResult::Opened;
}

Restored restore(ProjectSession &session, RecoveryFile::Recovered recovered, const Progress &progress)
{
    Restored result;
    RecordTable checked;
    checked.replaceRows(std::move(recovered.contents.rows));
    PlanList plans;
    plans.rebuild(checked);

    const QString dir = session.programDir();
    session.lastArchive = recovered.archive;
    for (const QString &path : std::as_const(recovered.planPaths)) {
        if (PlanImage::isPlanFile(path))
            session.planPaths().addPlanFile(path);
        else
            result.droppedPaths.append(path);
    }
    // The side file's word alone never makes a file this program's to delete: only plans of
    // the recovered table that the recorded archive holds were extracted by the ended run.
    std::optional<ZipReader> reader;
    try {
        if (!recovered.archive.isEmpty())
            reader.emplace(recovered.archive);
    } catch (const MetrolaError &) {
        // The archive is gone or unreadable: the table is recovered all the same.
    }
    const QStringList archived = reader ? reader->memberNames() : QStringList();
    for (const QString &name : std::as_const(recovered.extractedFiles)) {
        if (plans.names().contains(name) && archived.contains(name))
            session.extractedFiles.insert(name);
    }
    const auto planPath = [&](const QString &plan) { return session.planPaths().planFilePath(dir, plan); };

    // A plan left in the folder is the one the ended run worked with, perhaps changed by the
    // paint program since the archive was written, so only absent plans come from the archive.
    QStringList absent;
    for (const QString &plan : plans.names()) {
        if (!QFileInfo::exists(planPath(plan)))
            absent.append(plan);
    }
    for (qsizetype i = 0; reader && i < absent.size(); ++i) {
        const auto part = [&](int percent) {
            if (progress)
                progress(static_cast<int>((i * 100 + percent) / absent.size()));
        };
        // One member at a time, so one damaged plan does not keep the others back.
        try {
            if (reader->extract({absent[i]}, dir, {}, part) == 1)
                session.extractedFiles.insert(absent[i]);
        } catch (const MetrolaError &) {
        }
    }
    if (progress)
        progress(100);

    session.table().exchangeRows(checked);
    if (recovered.contents.captions)
        session.captions() = *recovered.contents.captions;
    session.plans() = plans;
    session.scales() = recovered.scales;
    session.roomFlags() = recovered.roomFlags;
    session.setLeases(recovered.leases ? std::make_shared<LeaseBook>(LeaseBook::fromMember(*recovered.leases))
                                       : nullptr);
    session.setModified(true);

    bool shown = false;
    for (const QString &plan : plans.names()) {
        if (!QFileInfo::exists(planPath(plan))) {
            result.missingPlans.append(plan);
            continue;
        }
        if (shown)
            continue;
        try {
            session.showPlanFile(planPath(plan), plan);
            shown = true;
        } catch (const MetrolaError &) {
            result.missingPlans.append(plan);
        }
    }
    return result;
}

} // namespace ProjectArchive
