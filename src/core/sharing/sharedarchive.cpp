#include "core/sharing/sharedarchive.h"

#include "core/archive/zipreader.h"
#include "core/base/metrolaerror.h"
#include "core/base/safefile.h"
#include "core/model/descriptionfile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

using namespace Qt::StringLiterals;

namespace {

// A description file of a million lines stays far below; a member declaring more is no project.
constexpr qint64 kDescriptionLimit = qint64(256) << 20;

QString identity(const RecordTable::Row &row)
{
    return row[0] + u'\n' + row[6];
}

QString named(const RecordTable::Row &row)
{
    const QString name = row[1].isEmpty() ? u"без названия"_s : u"«%1»"_s.arg(row[1]);
    return u"%1 (план %2, ключ %3)"_s.arg(name, row[0], row[6]);
}

QHash<QString, const RecordTable::Row *> byIdentity(const std::vector<RecordTable::Row> &rows)
{
    QHash<QString, const RecordTable::Row *> out;
    // The last row is the EntryRow, never a record.
    for (size_t i = 0; i + 1 < rows.size(); ++i)
        out.insert(identity(rows[i]), &rows[i]);
    return out;
}

RecordDiff::Side sideOf(const QHash<QString, const RecordTable::Row *> &base,
                        const std::vector<RecordTable::Row> &now)
{
    RecordDiff::Side side;
    const auto nowIndex = byIdentity(now);
    for (size_t i = 0; i + 1 < now.size(); ++i) {
        const auto found = base.constFind(identity(now[i]));
        if (found == base.cend())
            side.added << named(now[i]);
        else if (**found != now[i])
            side.changed << named(now[i]);
    }
    for (auto it = base.cbegin(); it != base.cend(); ++it)
        if (!nowIndex.contains(it.key()))
            side.removed << named(**it);
    side.removed.sort();
    return side;
}

QString listed(const QString &what, const QStringList &rows)
{
    if (rows.isEmpty())
        return {};
    constexpr int kShown = 5;
    QString text = u"    %1: %2"_s.arg(what).arg(rows.size());
    text += u" — "_s + rows.mid(0, kShown).join(u"; "_s);
    if (rows.size() > kShown)
        text += u" и ещё %1"_s.arg(rows.size() - kShown);
    return text + u'\n';
}

QString sideText(const RecordDiff::Side &side)
{
    if (side.isEmpty())
        return u"    записи не менялись\n"_s;
    return listed(u"добавлено записей"_s, side.added) + listed(u"удалено записей"_s, side.removed) +
           listed(u"изменено записей"_s, side.changed);
}

} // namespace

ArchiveStamp ArchiveStamp::of(const QString &path)
{
    ArchiveStamp stamp;
    QFile file;
    QString reason;
    if (!SafeFile::openForReading(file, path, &reason))
        return stamp;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return stamp;
    stamp.size = file.size();
    stamp.modified = QFileInfo(path).lastModified();
    stamp.digest = hash.result();
    return stamp;
}

RecordDiff RecordDiff::between(const std::vector<RecordTable::Row> &base,
                               const std::vector<RecordTable::Row> &theirs,
                               const std::vector<RecordTable::Row> &ours)
{
    const auto baseIndex = byIdentity(base);
    return {sideOf(baseIndex, theirs), sideOf(baseIndex, ours)};
}

QString RecordDiff::text() const
{
    return u"В архиве на диске (изменения другого пользователя):\n"_s + sideText(theirs) + u"У вас:\n"_s +
           sideText(ours);
}

std::vector<RecordTable::Row> SharedArchive::readRows(const QString &archivePath)
{
    ZipReader reader(archivePath, kDescriptionLimit);
    if (!reader.memberNames().contains(DescriptionFile::fileName()))
        throw MetrolaError(u"В архиве нет файла описания %1."_s.arg(DescriptionFile::fileName()));
    return DescriptionFile::parse(reader.readMember(DescriptionFile::fileName())).rows;
}

void SharedArchive::opened(const QString &path, const std::vector<RecordTable::Row> &rows,
                           std::unique_ptr<ArchiveLock> lock, bool readOnly)
{
    m_lock = std::move(lock);
    m_path = path;
    m_readOnly = readOnly;
    m_rows = rows;
    m_stamp = ArchiveStamp::of(path);
}

std::unique_ptr<ArchiveLock> SharedArchive::takeLock()
{
    m_readOnly = true;
    return std::move(m_lock);
}

bool SharedArchive::saved(const QString &path, const std::vector<RecordTable::Row> &rows)
{
    bool locked = true;
    if (!isOpenArchive(path) || !m_lock) {
        auto lock = std::make_unique<ArchiveLock>();
        ArchiveLock::Found found;
        locked = lock->take(path, &found);
        m_lock = locked ? std::move(lock) : nullptr;
    }
    m_path = path;
    m_readOnly = false;
    m_rows = rows;
    m_stamp = ArchiveStamp::of(path);
    return locked;
}

void SharedArchive::close()
{
    m_lock.reset();
    m_path.clear();
    m_readOnly = false;
    m_rows.clear();
    m_stamp = {};
}

bool SharedArchive::isOpenArchive(const QString &path) const
{
    if (m_path.isEmpty() || path.isEmpty())
        return false;
    const QFileInfo a(path), b(m_path);
    if (a.exists() && b.exists())
        return a.canonicalFilePath() == b.canonicalFilePath();
    return a.absoluteFilePath() == b.absoluteFilePath();
}

std::optional<RecordDiff> SharedArchive::outsideChange(const std::vector<RecordTable::Row> &ours) const
{
    if (m_path.isEmpty())
        return std::nullopt;
    const ArchiveStamp now = ArchiveStamp::of(m_path);
    if (now.sameContent(m_stamp))
        return std::nullopt;
    std::vector<RecordTable::Row> theirs;
    try {
        if (now.isValid())
            theirs = readRows(m_path);
    } catch (const MetrolaError &) {
        // Not readable as a project any more: what is there is still kept aside before a replace.
    }
    if (theirs.empty())
        theirs.push_back(RecordTable::Row{}); // the EntryRow a real table always has
    return RecordDiff::between(m_rows, theirs, ours);
}

void SharedArchive::planAdded(const QString &path)
{
    m_planStamps.insert(path, ArchiveStamp::of(path));
}

QStringList SharedArchive::changedPlans(const QStringList &paths) const
{
    QStringList changed;
    for (const QString &path : paths) {
        const auto known = m_planStamps.constFind(path);
        if (known != m_planStamps.cend() && !ArchiveStamp::of(path).sameContent(*known))
            changed << path;
    }
    return changed;
}

void SharedArchive::plansSaved(const QStringList &paths)
{
    for (const QString &path : paths)
        if (m_planStamps.contains(path))
            m_planStamps.insert(path, ArchiveStamp::of(path));
}

QString SharedArchive::keepAside(const QString &archivePath)
{
    const QFileInfo info(archivePath);
    const QString stem = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    const QString when = QDateTime::currentDateTime().toString(u"dd.MM.yyyy HH-mm"_s);
    QString copy;
    for (int n = 1;; ++n) {
        const QString numbered = n == 1 ? QString() : u" %1"_s.arg(n);
        copy = info.absolutePath() + u'/' + u"%1 (версия от %2%3)%4"_s.arg(stem, when, numbered, suffix);
        if (!QFileInfo::exists(copy) && SafeFile::kindOf(copy, false) == SafeFile::Kind::Missing)
            break;
    }
    copyFile(archivePath, copy);
    return copy;
}

void SharedArchive::copyFile(const QString &from, const QString &to)
{
    QFile source;
    QString reason;
    if (!SafeFile::openForReading(source, from, &reason))
        throw MetrolaError(u"Файл «%1» не скопирован: %2"_s.arg(QDir::toNativeSeparators(from), reason));
    SafeFile::ReplacingFile target(to);
    bool ok = target.open();
    while (ok && !source.atEnd()) {
        const QByteArray chunk = source.read(1 << 20);
        ok = !chunk.isEmpty() && target.device().write(chunk) == chunk.size();
    }
    if (!ok || !target.commit())
        throw MetrolaError(u"Файл «%1» не скопирован в «%2»: %3"_s.arg(
            QDir::toNativeSeparators(from), QDir::toNativeSeparators(to), target.errorString()));
}
