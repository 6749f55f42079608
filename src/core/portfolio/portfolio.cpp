#include "core/portfolio/portfolio.h"

#include "core/archive/zipformat.h"
#include "core/archive/zipreader.h"
#include "core/base/metrolaerror.h"
#include "core/base/numbertext.h"
#include "core/base/safefile.h"
#include "core/leases/leasebook.h"
#include "core/leases/leasecalendar.h"
#include "core/model/descriptionfile.h"
#include "core/model/planlist.h"
#include "core/model/recordtable.h"
#include "core/model/roomflags.h"
#include "core/reports/complexsummary.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QThread>

#include <cmath>
#include <mutex>
#include <new>
#include <thread>

using namespace Qt::StringLiterals;

namespace Portfolio {

namespace {

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / (1 << 20), 'f', 1).replace(u'.', u',') + u" МБ"_s;
}

QByteArray member(ZipReader &reader, const QString &name, qint64 limit, const QString &what)
{
    const qint64 size = reader.memberSize(name);
    // Judged by the member's own word before anything is inflated; inflating stops at that size.
    if (size > limit)
        throw MetrolaError(
            u"%1 занимает %2, больше %3: это не файл Metrola"_s.arg(what, megabytes(size), megabytes(limit)));
    return reader.readMember(name);
}

// The reader holds an archive's whole directory in memory; a hostile one may declare gigabytes of
// it. Judged from the end record before the reader sees it (the reader checks the rest).
void refuseHugeDirectory(const QString &path)
{
    QFile file(path);
    QString reason;
    if (!SafeFile::openForReading(file, path, &reason))
        throw MetrolaError(reason);
    const qint64 size = file.size();
    const qint64 tail = std::min<qint64>(size, ZipFormat::EndOfCentralSize + ZipFormat::MaxCommentSize);
    if (!file.seek(size - tail))
        return;
    const QByteArray bytes = file.read(tail);
    for (qsizetype i = bytes.size() - ZipFormat::EndOfCentralSize; i >= 0; --i) {
        const char *p = bytes.constData() + i;
        if (ZipFormat::get32(p) != ZipFormat::EndOfCentralSignature)
            continue;
        if (const qint64 directory = ZipFormat::get32(p + 12); directory > kDirectoryLimit)
            throw MetrolaError(u"оглавление архива занимает %1, больше %2: это не архив Metrola"_s.arg(
                megabytes(directory), megabytes(kDirectoryLimit)));
        return;
    }
}

void read(Complex &row, QDate day)
{
    const SafeFile::Kind kind = SafeFile::kindOf(row.path, true);
    if (kind != SafeFile::Kind::Regular)
        throw MetrolaError(u"это %1, а не файл"_s.arg(SafeFile::kindText(kind)));
    refuseHugeDirectory(row.path);
    ZipReader reader(row.path);
    if (!reader.hostileMemberNames().isEmpty())
        throw MetrolaError(
            u"в архиве есть файлы с недопустимыми именами (ведущими за пределы папки); такой архив Metrola не открывает"_s);
    const QStringList names = reader.memberNames();
    if (!names.contains(DescriptionFile::fileName()))
        throw MetrolaError(
            u"это не архив Metrola: в нём нет файла описания %1"_s.arg(DescriptionFile::fileName()));
    const QByteArray description =
        member(reader, DescriptionFile::fileName(), kDescriptionLimit, u"Файл описания"_s);
    if (DescriptionFile::lineCount(description) > DescriptionFile::kMaxLines)
        throw MetrolaError(u"в файле описания больше %1 строк"_s.arg(DescriptionFile::kMaxLines));
    RoomFlags flags;
    if (names.contains(RoomFlags::fileName()))
        flags =
            RoomFlags::parse(member(reader, RoomFlags::fileName(), kFlagsLimit, u"Файл отметок помещений"_s));

    RecordTable table;
    table.replaceRows(DescriptionFile::parse(description).rows);
    // A leases member that cannot be read is no reason to leave the complex out: its records'
    // own tenants stand, as when the window opens it.
    if (names.contains(LeaseBook::fileName())) {
        const LeaseBook book = LeaseBook::fromMember(
            member(reader, LeaseBook::fileName(), LeaseBook::kFileSizeLimit, u"Файл договоров"_s));
        if (!book.isRefused() && !book.isEmpty()) {
            for (const LeaseExpiry::Ending &ending : LeaseExpiry::endingWithin(book, table, day, 12)) {
                ++row.leasesEnding;
                row.leasesEndingArea += ending.area;
            }
            table.replaceRows(LeaseCalendar(book).rowsAsOf(table, day));
        }
    }
    PlanList plans;
    plans.rebuild(table);
    const ComplexSummary summary = ComplexSummary::of(table, plans.names(), flags);
    row.plans = int(plans.names().size());
    row.rooms = summary.records;
    row.area = summary.total.area;
    row.common = summary.total.commonArea;
    row.vacant = summary.total.vacantArea;
    row.let = summary.total.usableArea() - summary.total.vacantArea;
    row.letShare = summary.total.letShare();
    row.loadFactor = summary.total.loadFactor();
    for (const ComplexSummary::Tenant &t : summary.tenants) {
        if (t.common || t.tenant.isEmpty())
            continue;
        row.tenantAreas.push_back({t.tenant, t.area});
    }
    row.tenants = int(row.tenantAreas.size());
}

void addUp(Result &result)
{
    Complex &total = result.total;
    total.name = u"Итого"_s;
    QHash<QString, size_t> tenantIndex;
    for (size_t i = 0; i < result.complexes.size(); ++i) {
        const Complex &c = result.complexes[i];
        if (!c.ok()) {
            ++result.unreadable;
            continue;
        }
        total.plans += c.plans;
        total.rooms += c.rooms;
        total.area += c.area;
        total.let += c.let;
        total.vacant += c.vacant;
        total.common += c.common;
        total.leasesEnding += c.leasesEnding;
        total.leasesEndingArea += c.leasesEndingArea;
        for (const TenantArea &t : c.tenantAreas) {
            // "ООО Ромашка" and "ООО  ромашка " are one tenant in two complexes.
            const QString key = t.tenant.simplified().toCaseFolded();
            auto found = tenantIndex.constFind(key);
            if (found == tenantIndex.cend()) {
                found = tenantIndex.insert(key, result.tenants.size());
                result.tenants.push_back({t.tenant.simplified(), 0, {}});
            }
            Tenant &tenant = result.tenants[*found];
            tenant.area += t.area;
            if (!tenant.areas.empty() && tenant.areas.back().first == int(i))
                tenant.areas.back().second += t.area;
            else
                tenant.areas.push_back({int(i), t.area});
        }
    }
    total.tenants = int(result.tenants.size());
    const double usable = total.area - total.common;
    if (usable > 0) {
        total.letShare = total.let / usable * 100;
        total.loadFactor = (usable + total.common) / usable;
    }
    std::sort(result.tenants.begin(), result.tenants.end(), [](const Tenant &a, const Tenant &b) {
        return QString::localeAwareCompare(a.tenant, b.tenant) < 0;
    });
}

QString area(double value)
{
    return NumberText::format(std::round(value * 100) / 100);
}

QString percent(const std::optional<double> &value)
{
    return value ? NumberText::formatShare(*value) + u" %"_s : u"—"_s;
}

QString factor(const std::optional<double> &value)
{
    return value ? QString::number(*value, 'f', 3).replace(u'.', u',') : u"—"_s;
}

QJsonValue optional(const std::optional<double> &value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonObject figures(const Complex &c)
{
    return {{u"plans"_s, c.plans},
            {u"rooms"_s, c.rooms},
            {u"area"_s, c.area},
            {u"let"_s, c.let},
            {u"vacant"_s, c.vacant},
            {u"common"_s, c.common},
            {u"letShare"_s, optional(c.letShare)},
            {u"loadFactor"_s, optional(c.loadFactor)},
            {u"tenants"_s, c.tenants},
            {u"leasesEnding"_s, c.leasesEnding},
            {u"leasesEndingArea"_s, c.leasesEndingArea}};
}

} // namespace

Complex complex(const QString &archivePath, QDate day)
{
    Complex row;
    row.path = archivePath;
    row.name = QFileInfo(archivePath).completeBaseName();
    QString error;
    try {
        read(row, day);
        return row;
    } catch (const MetrolaError &e) {
        error = e.message();
    } catch (const std::bad_alloc &) {
        error = u"не хватило памяти, чтобы прочитать архив"_s;
    } catch (const std::exception &e) {
        error = QString::fromLocal8Bit(e.what());
    }
    // No figure of a half-read archive stays; the reader's words on what it kept do not apply.
    Complex failed;
    failed.path = row.path;
    failed.name = row.name;
    failed.error = error.simplified().remove(u" Ничего не извлечено."_s);
    return failed;
}

QStringList findArchives(const QString &folder, bool recursive)
{
    const QFileInfo info(folder);
    if (!info.isDir())
        throw MetrolaError(u"Папка «%1» не найдена."_s.arg(QDir::toNativeSeparators(folder)));
    if (!info.isReadable())
        throw MetrolaError(u"Папка «%1» не читается: нет прав."_s.arg(QDir::toNativeSeparators(folder)));
    QStringList found;
    QDirIterator it(folder, {u"*.zip"_s}, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    recursive ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    while (it.hasNext()) {
        const QString path = it.next();
        // Office programs' locks and half-written files never end in ".zip"; a link to an
        // archive is read as the archive.
        found << path;
    }
    // In the order of the complexes' names, as people look them up; the path settles ties.
    std::sort(found.begin(), found.end(), [](const QString &a, const QString &b) {
        const int byName =
            QString::localeAwareCompare(QFileInfo(a).completeBaseName(), QFileInfo(b).completeBaseName());
        return byName != 0 ? byName < 0 : a < b;
    });
    return found;
}

Result collect(const QString &folder, const QStringList &archives, QDate day, const Progress &progress,
               const std::atomic<bool> *cancel)
{
    Result result;
    result.folder = folder;
    result.day = day;
    std::vector<Complex> rows(size_t(archives.size()));
    std::vector<char> done(size_t(archives.size()), 0);
    std::atomic<int> next{0};
    std::mutex tell;
    int finished = 0;
    // Few readers: each holds at most one archive's description at a time, so memory stays
    // bounded whatever the folder holds; the disk or the share is the limit beyond that.
    const int workers = std::clamp(QThread::idealThreadCount(), 1, 4);
    const auto work = [&] {
        for (int i = next++; i < archives.size(); i = next++) {
            if (cancel && cancel->load())
                return;
            rows[size_t(i)] = complex(archives[i], day);
            done[size_t(i)] = 1;
            std::lock_guard lock(tell);
            ++finished;
            if (progress)
                progress(finished, int(archives.size()));
        }
    };
    std::vector<std::thread> threads;
    for (int w = 1; w < std::min<int>(workers, int(archives.size())); ++w)
        threads.emplace_back(work);
    work();
    for (std::thread &t : threads)
        t.join();
    for (size_t i = 0; i < rows.size(); ++i)
        if (done[i])
            result.complexes.push_back(std::move(rows[i]));
    addUp(result);
    return result;
}

QString text(const Result &result)
{
    QString out;
    out += u"Портфель: %1, на %2\n"_s.arg(QDir::toNativeSeparators(result.folder),
                                          result.day.toString(u"dd.MM.yyyy"_s));
    out += u"Комплекс\tПланов\tПомещений\tПлощадь\tСдано\tСвободно\tМОП\tСдано, %\tК МОП\tАрендаторов"
           u"\tДоговоров до 12 мес.\tИх площадь\n"_s;
    const auto line = [&](const Complex &c) {
        out += u"%1\t%2\t%3\t%4\t%5\t%6\t%7\t%8\t%9\t%10"_s.arg(c.name)
                   .arg(c.plans)
                   .arg(c.rooms)
                   .arg(area(c.area), area(c.let), area(c.vacant), area(c.common), percent(c.letShare),
                        factor(c.loadFactor))
                   .arg(c.tenants);
        out += u"\t%1\t%2\n"_s.arg(c.leasesEnding).arg(area(c.leasesEndingArea));
    };
    for (const Complex &c : result.complexes)
        if (c.ok())
            line(c);
    line(result.total);
    if (result.unreadable > 0) {
        out += u"\nНе прочитаны (%1):\n"_s.arg(result.unreadable);
        for (const Complex &c : result.complexes)
            if (!c.ok())
                out += u"%1: %2\n"_s.arg(QDir::toNativeSeparators(c.path), c.error);
    }
    if (!result.tenants.empty()) {
        out += u"\nАрендаторы\tПлощадь\tКомплексы\n"_s;
        for (const Tenant &t : result.tenants) {
            QStringList where;
            for (const auto &[index, a] : t.areas)
                where << result.complexes[size_t(index)].name + u": "_s + area(a);
            out += u"%1\t%2\t%3\n"_s.arg(t.tenant, area(t.area), where.join(u"; "_s));
        }
    }
    return out;
}

QJsonObject json(const Result &result)
{
    QJsonArray complexes;
    QJsonArray unreadable;
    for (const Complex &c : result.complexes) {
        if (!c.ok()) {
            unreadable.append(QJsonObject{{u"archive"_s, c.path}, {u"reason"_s, c.error}});
            continue;
        }
        QJsonObject row = figures(c);
        row.insert(u"archive"_s, c.path);
        row.insert(u"name"_s, c.name);
        complexes.append(row);
    }
    QJsonArray tenants;
    for (const Tenant &t : result.tenants) {
        QJsonArray areas;
        for (const auto &[index, a] : t.areas)
            areas.append(QJsonObject{{u"archive"_s, result.complexes[size_t(index)].path},
                                     {u"name"_s, result.complexes[size_t(index)].name},
                                     {u"area"_s, a}});
        tenants.append(QJsonObject{{u"tenant"_s, t.tenant}, {u"area"_s, t.area}, {u"complexes"_s, areas}});
    }
    return {{u"folder"_s, result.folder},  {u"asOf"_s, result.day.toString(u"dd.MM.yyyy"_s)},
            {u"complexes"_s, complexes},   {u"total"_s, figures(result.total)},
            {u"unreadable"_s, unreadable}, {u"tenants"_s, tenants}};
}

} // namespace Portfolio
