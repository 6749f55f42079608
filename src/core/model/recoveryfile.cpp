#include "core/model/recoveryfile.h"

#include "core/base/cp1251.h"

#include "core/base/metrolaerror.h"
#include "core/base/namerule.h"
#include "core/base/safefile.h"
#include "core/model/projectsession.h"
#include "core/model/workfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <limits>

namespace RecoveryFile {

namespace {

constexpr int kKeptAside = 3;
// The side file is a few paths and the leases (a few megabytes for 50 000 of them, twice that
// once escaped in JSON); anything larger is not ours.
constexpr qint64 kSideFileLimit = qint64(64) << 20;

void saveBytes(const QString &path, const QByteArray &bytes)
{
    QString reason;
    if (!SafeFile::writeReplacing(path, bytes, &reason))
        throw MetrolaError(
            QStringLiteral("Не удалось записать копию несохранённой работы «%1»: %2").arg(path, reason));
}

QStringList stringList(const QJsonValue &value)
{
    QStringList list;
    for (const QJsonValue &item : value.toArray())
        list.append(item.toString());
    return list;
}

QString asideName(const QString &stamp, int attempt, const QString &suffix)
{
    return QStringLiteral("metrola.recovery-") + stamp +
           (attempt > 0 ? QStringLiteral("-%1").arg(attempt) : QString()) + suffix;
}

} // namespace

QString fileName()
{
    return QStringLiteral("metrola.recovery.csv");
}

QString sideFileName()
{
    return QStringLiteral("metrola.recovery.json");
}

Snapshot take(const ProjectSession &session)
{
    Snapshot s;
    s.captions = session.captions();
    s.header = session.table().row(0);
    s.rows = session.table().rows();
    s.archive = session.lastArchive;
    for (int slot = 1; slot <= PlanPathTable::Capacity; ++slot) {
        if (!session.planPaths().path(slot).isEmpty())
            s.planPaths.append(session.planPaths().path(slot));
    }
    s.extractedFiles = session.extractedFiles.values();
    s.extractedFiles.sort();
    s.scales = session.scales().build(session.scales().planIds());
    if (session.roomFlags().hasContent())
        s.roomFlags = session.roomFlags().build();
    if (session.leases() && session.leases()->hasContent())
        s.leases = session.leases()->build();
    return s;
}

QByteArray sideFileBytes(const Snapshot &snapshot)
{
    QJsonObject side;
    side.insert(QStringLiteral("archive"), snapshot.archive);
    side.insert(QStringLiteral("planPaths"), QJsonArray::fromStringList(snapshot.planPaths));
    side.insert(QStringLiteral("extracted"), QJsonArray::fromStringList(snapshot.extractedFiles));
    side.insert(QStringLiteral("scales"), Cp1251::toUnicode(snapshot.scales));
    if (snapshot.roomFlags)
        side.insert(QStringLiteral("roomFlags"), Cp1251::toUnicode(*snapshot.roomFlags));
    if (snapshot.leases)
        side.insert(QStringLiteral("leases"), Cp1251::toUnicode(*snapshot.leases));
    return QJsonDocument(side).toJson();
}

void write(const QString &programDir, const Snapshot &snapshot)
{
    saveBytes(programDir + sideFileName(), sideFileBytes(snapshot));
    saveBytes(programDir + fileName(),
              DescriptionFile::build(snapshot.captions, snapshot.header, snapshot.rows));
}

bool exists(const QString &programDir)
{
    return QFileInfo(programDir + fileName()).isFile();
}

QDateTime writtenAt(const QString &programDir)
{
    return QFileInfo(programDir + fileName()).lastModified();
}

Recovered read(const QString &programDir)
{
    const QString path = programDir + fileName();
    QByteArray data;
    QString reason;
    if (!SafeFile::readWhole(path, std::numeric_limits<qint64>::max(), &data, &reason))
        throw MetrolaError(
            QStringLiteral("Не удалось прочитать копию несохранённой работы «%1»: %2").arg(path, reason));
    Recovered recovered;
    recovered.contents = DescriptionFile::parse(data);

    QByteArray sideBytes;
    if (SafeFile::readWhole(programDir + sideFileName(), kSideFileLimit, &sideBytes, &reason)) {
        const QJsonObject object = QJsonDocument::fromJson(sideBytes).object();
        recovered.archive = object.value(QStringLiteral("archive")).toString();
        recovered.planPaths = stringList(object.value(QStringLiteral("planPaths")));
        recovered.extractedFiles = stringList(object.value(QStringLiteral("extracted")));
        recovered.scales =
            PlanScales::parse(Cp1251::fromUnicode(object.value(QStringLiteral("scales")).toString()));
        if (const QJsonValue flags = object.value(QStringLiteral("roomFlags")); flags.isString())
            recovered.roomFlags = RoomFlags::parse(Cp1251::fromUnicode(flags.toString()));
        if (const QJsonValue leases = object.value(QStringLiteral("leases")); leases.isString())
            recovered.leases = Cp1251::fromUnicode(leases.toString());
    }
    // Only bare names: the clean-up at close deletes these from the working folder.
    recovered.extractedFiles.removeIf(
        [](const QString &name) { return name.isEmpty() || !NameRule::isBareFileName(name); });
    while (recovered.planPaths.size() > PlanPathTable::Capacity)
        recovered.planPaths.removeLast();
    return recovered;
}

void remove(const QString &programDir)
{
    QFile::remove(programDir + fileName());
    QFile::remove(programDir + sideFileName());
}

void adopt(const QString &programDir, const QStringList &family)
{
    if (exists(programDir))
        return;
    for (QString dir : family) {
        if (!dir.endsWith(u'/'))
            dir += u'/';
        if (QFileInfo(dir).canonicalFilePath() == QFileInfo(programDir).canonicalFilePath() || !exists(dir) ||
            WorkFolder::isHeldByRunningInstance(dir))
            continue;
        QFile::remove(programDir + sideFileName());
        QFile::rename(dir + sideFileName(), programDir + sideFileName());
        if (QFile::rename(dir + fileName(), programDir + fileName()))
            return;
        QFile::rename(programDir + sideFileName(), dir + sideFileName());
    }
}

QString setAside(const QString &programDir)
{
    if (!exists(programDir))
        return {};
    const QString stamp = writtenAt(programDir).toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QDir dir(programDir);
    int attempt = 0;
    while (dir.exists(asideName(stamp, attempt, QStringLiteral(".csv"))) ||
           dir.exists(asideName(stamp, attempt, QStringLiteral(".json"))))
        ++attempt;
    const QString csv = asideName(stamp, attempt, QStringLiteral(".csv"));
    if (!QFile::rename(programDir + fileName(), programDir + csv)) {
        throw MetrolaError(QStringLiteral("Не удалось переименовать копию несохранённой работы «%1» в «%2».")
                               .arg(programDir + fileName(), csv));
    }
    QFile::rename(programDir + sideFileName(),
                  programDir + asideName(stamp, attempt, QStringLiteral(".json")));

    // Newest first by the time of the work they hold (a rename keeps it), then by name.
    QFileInfoList aside = dir.entryInfoList({QStringLiteral("metrola.recovery-*.csv")}, QDir::Files);
    std::sort(aside.begin(), aside.end(), [](const QFileInfo &a, const QFileInfo &b) {
        if (a.lastModified() != b.lastModified())
            return a.lastModified() > b.lastModified();
        return a.fileName() > b.fileName();
    });
    for (qsizetype i = kKeptAside; i < aside.size(); ++i) {
        QFile::remove(aside[i].filePath());
        QFile::remove(aside[i].path() + u'/' + aside[i].completeBaseName() + QStringLiteral(".json"));
    }
    return csv;
}

} // namespace RecoveryFile
