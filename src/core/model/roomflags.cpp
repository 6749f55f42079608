#include "core/model/roomflags.h"

#include "core/base/cp1251.h"
#include "core/base/metrolaerror.h"
#include "core/base/namerule.h"
#include "core/base/safefile.h"
#include "core/model/descriptionfile.h"
#include "core/model/sidefile.h"
#include "core/model/recordtable.h"
#include "core/plan/colourkey.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr char kSeparator = ';';

} // namespace

QString RoomFlags::fileName()
{
    return u"metrola-rooms.csv"_s;
}

QString RoomFlags::commonWord()
{
    return u"МОП"_s;
}

QString RoomFlags::floorOrderWord()
{
    return u"этажи"_s;
}

void RoomFlags::setFloorOrder(QStringList planIds)
{
    planIds.removeDuplicates();
    planIds.removeIf([](const QString &id) { return id.isEmpty() || !NameRule::isBareFileName(id); });
    m_floorOrder = std::move(planIds);
}

QStringList RoomFlags::orderedFloors(const QStringList &tabOrder) const
{
    QStringList ordered;
    for (const QString &plan : m_floorOrder) {
        if (tabOrder.contains(plan))
            ordered.append(plan);
    }
    for (const QString &plan : tabOrder) {
        if (!ordered.contains(plan))
            ordered.append(plan);
    }
    return ordered;
}

bool RoomFlags::isCommon(quint32 key) const
{
    const auto it = m_flags.constFind(key);
    return it != m_flags.cend() && it->contains(commonWord());
}

bool RoomFlags::isCommonKey(const QString &keyCell) const
{
    if (m_flags.isEmpty())
        return false;
    const auto key = parseCellNumber(keyCell);
    return key && ColourKey::inRange(*key) && isCommon(static_cast<quint32>(*key));
}

void RoomFlags::setCommon(quint32 key, bool common)
{
    m_decided = true;
    auto it = m_flags.find(key);
    if (common) {
        if (it == m_flags.end())
            it = m_flags.insert(key, {});
        if (!it->contains(commonWord()))
            it->append(commonWord());
        return;
    }
    if (it == m_flags.end())
        return;
    it->removeAll(commonWord());
    if (it->isEmpty())
        m_flags.erase(it);
}

bool RoomFlags::hasCommon() const
{
    for (const QStringList &words : m_flags) {
        if (words.contains(commonWord()))
            return true;
    }
    return false;
}

QList<quint32> RoomFlags::orphanKeys(const RecordTable &table) const
{
    QList<quint32> orphans;
    for (auto it = m_flags.cbegin(); it != m_flags.cend(); ++it) {
        if (table.rowOfColour(it.key()) <= 0)
            orphans.append(it.key());
    }
    for (auto it = m_tails.cbegin(); it != m_tails.cend(); ++it) {
        if (!m_flags.contains(it.key()) && table.rowOfColour(it.key()) <= 0)
            orphans.append(it.key());
    }
    for (const auto &[key, line] : m_keptLines) {
        if (key && !orphans.contains(*key) && table.rowOfColour(*key) <= 0)
            orphans.append(*key);
    }
    std::sort(orphans.begin(), orphans.end());
    return orphans;
}

int RoomFlags::dropOrphans(const RecordTable &table)
{
    const QList<quint32> orphans = orphanKeys(table);
    for (quint32 key : orphans) {
        m_flags.remove(key);
        m_tails.remove(key);
    }
    std::erase_if(m_keptLines, [&](const auto &kept) { return kept.first && orphans.contains(*kept.first); });
    return int(orphans.size());
}

QByteArray RoomFlags::build() const
{
    QByteArray out;
    QList<quint32> keys = m_flags.keys();
    for (auto it = m_tails.cbegin(); it != m_tails.cend(); ++it) {
        if (!m_flags.contains(it.key()))
            keys.append(it.key());
    }
    std::sort(keys.begin(), keys.end());
    for (const quint32 key : keys) {
        out += QByteArray::number(key);
        out += kSeparator;
        Cp1251::appendEncoded(out, m_flags.value(key).join(u','));
        out += kSeparator;
        for (const QString &field : m_tails.value(key)) {
            Cp1251::appendEncoded(out, field);
            out += kSeparator;
        }
        out += "\r\n";
    }
    for (const auto &[key, line] : m_keptLines) {
        out += line;
        out += "\r\n";
    }
    if (!m_floorOrder.isEmpty()) {
        Cp1251::appendEncoded(out, floorOrderWord());
        out += kSeparator;
        for (const QString &plan : m_floorOrder) {
            Cp1251::appendEncoded(out, plan);
            out += kSeparator;
        }
        out += "\r\n";
    }
    return out;
}

RoomFlags RoomFlags::parse(QByteArrayView data)
{
    RoomFlags flags;
    bool onlyOrder = false;
    for (const QByteArrayView line : DescriptionFile::splitLines(data)) {
        const QStringList fields = Cp1251::toUnicode(line).split(QLatin1Char(kSeparator));
        if (fields.value(0) == floorOrderWord() && flags.m_floorOrder.isEmpty()) {
            flags.setFloorOrder(fields.mid(1));
            onlyOrder = true;
            continue;
        }
        const auto key = parseCellNumber(fields.value(0));
        const bool roomKey = key && ColourKey::namesRoom(*key);
        QStringList words = fields.value(1).split(u',', Qt::SkipEmptyParts);
        for (QString &word : words)
            word = word.trimmed();
        words.removeAll(QString());
        words.removeDuplicates();
        if (!roomKey || words.isEmpty() || flags.m_flags.contains(quint32(*key))) {
            // A room's second line, or one without flags but with more to say, is a newer
            // copy's to keep; a line of no room (walls, floor, no number) is dropped.
            const bool saysMore = std::any_of(fields.cbegin() + 1, fields.cend(),
                                              [](const QString &field) { return !field.trimmed().isEmpty(); });
            if (roomKey && saysMore)
                flags.m_keptLines.emplace_back(quint32(*key), line.toByteArray());
            continue;
        }
        flags.m_flags.insert(quint32(*key), words);
        // The fields after the flags; the text after the last ";" belongs to no field.
        QStringList tail = fields.mid(2);
        if (!tail.isEmpty())
            tail.removeLast();
        if (!tail.isEmpty())
            flags.m_tails.insert(quint32(*key), tail);
    }
    // A file says which rooms are common (none, when it is empty), unless all it holds is
    // an order of floors.
    flags.m_decided = !onlyOrder || !flags.m_flags.isEmpty();
    return flags;
}

bool RoomFlags::write(const QString &programDir) const
{
    const QString path = programDir + fileName();
    if (!hasContent()) {
        if (SafeFile::kindOf(path, false) != SafeFile::Kind::Missing && !SafeFile::removeRegular(path))
            throw MetrolaError(u"Не удалось удалить прежний файл отметок помещений «%1»."_s.arg(path));
        return false;
    }
    QString reason;
    if (!SafeFile::writeReplacing(path, build(), &reason))
        throw MetrolaError(u"Не удалось записать файл отметок помещений «%1»: %2"_s.arg(path, reason));
    return true;
}

RoomFlags RoomFlags::load(const QString &programDir)
{
    // The same judgement as for the scale file: a UTF-8 "МОП" would silently flag nothing.
    return parse(SideFile::readCp1251(programDir + fileName(), kFileSizeLimit, u"файл отметок помещений"_s));
}
