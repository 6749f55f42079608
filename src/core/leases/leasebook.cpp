#include "core/leases/leasebook.h"

#include "core/base/cp1251.h"
#include "core/base/metrolaerror.h"
#include "core/base/numbertext.h"
#include "core/base/safefile.h"
#include "core/model/descriptionfile.h"
#include "core/model/projectsession.h"
#include "core/model/recordtable.h"
#include "core/model/sidefile.h"
#include "core/plan/colourkey.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

using namespace Qt::StringLiterals;

namespace {

constexpr char kSeparator = ';';
constexpr int kFields = 9;
enum Field { Number, Key, Plan, Tenant, Contract, Start, End, Rate, Note };

QString headerLine()
{
    return u"№;ключ;план;арендатор;договор;начало;конец;ставка;примечание;"_s;
}

// What the description file cannot hold cannot be in a lease either: the fields share its
// separator and its code page.
bool storable(const QString &text)
{
    return !text.contains(u';') && !text.contains(u'\r') && !text.contains(u'\n') && Cp1251::canEncode(text);
}

std::optional<double> parseRate(const QString &text)
{
    const auto rate = NumberText::area(text.trimmed());
    if (!rate || *rate < 0)
        return std::nullopt;
    return rate;
}

} // namespace

QString LeaseBook::fileName()
{
    return u"metrola-leases.csv"_s;
}

LeaseBook LeaseBook::refused(QByteArray member, QString reason)
{
    LeaseBook book;
    book.m_refusedBytes = std::move(member);
    book.m_refusal = std::move(reason);
    return book;
}

QString LeaseBook::rateText(const std::optional<double> &rate)
{
    return rate ? NumberText::format(*rate) : QString();
}

QByteArray LeaseBook::build() const
{
    if (isRefused())
        return m_refusedBytes;
    QByteArray out;
    out.reserve(qsizetype(m_leases.size()) * 96);
    Cp1251::appendEncoded(out, headerLine());
    out += "\r\n";
    for (size_t i = 0; i < m_leases.size(); ++i) {
        const Lease &lease = m_leases[i];
        const QByteArray number = QByteArray::number(qulonglong(i + 1));
        const QString rate = rateText(lease.rate);
        for (const LeaseRoom &room : lease.rooms) {
            out += number;
            out += kSeparator;
            out += QByteArray::number(room.key);
            out += kSeparator;
            for (const QString *text : {&room.plan, &lease.tenant, &lease.contract}) {
                Cp1251::appendEncoded(out, *text);
                out += kSeparator;
            }
            out += LeaseDate::format(lease.start).toLatin1();
            out += kSeparator;
            out += LeaseDate::format(lease.end).toLatin1();
            out += kSeparator;
            out += rate.toLatin1();
            out += kSeparator;
            Cp1251::appendEncoded(out, lease.note);
            out += kSeparator;
            out += "\r\n";
        }
    }
    return out;
}

LeaseBook LeaseBook::parse(QByteArrayView data)
{
    const auto fail = [](int line, const QString &what) {
        return MetrolaError(u"Файл договоров «%1», строка %2: %3"_s.arg(fileName()).arg(line).arg(what));
    };
    const std::vector<QByteArrayView> lines = DescriptionFile::splitLines(data);
    if (lines.size() > size_t(kLineLimit)) {
        throw MetrolaError(
            u"Файл договоров «%1» содержит %2 строк, больше %3: это не файл Metrola."_s.arg(fileName())
                .arg(lines.size())
                .arg(kLineLimit));
    }
    LeaseBook book;
    book.m_leases.reserve(lines.size());
    QHash<qulonglong, size_t> byNumber;
    byNumber.reserve(qsizetype(lines.size()));
    // Plans and tenants repeat on many lines: one string each, shared.
    QHash<QByteArrayView, QString> texts;
    const auto text = [&texts](QByteArrayView bytes) -> QString {
        if (bytes.isEmpty())
            return {};
        auto it = texts.constFind(bytes);
        if (it == texts.cend())
            it = texts.insert(bytes, Cp1251::toUnicode(bytes));
        return *it;
    };
    // Fields are ASCII where they are numbers or dates; only the texts are decoded.
    const auto ascii = [](QByteArrayView bytes) { return QString::fromLatin1(bytes.trimmed()); };
    int lineNumber = 0;
    std::array<QByteArrayView, kFields> fields;
    for (const QByteArrayView bytes : lines) {
        ++lineNumber;
        if (bytes.trimmed().isEmpty())
            continue;
        qsizetype count = 0;
        qsizetype from = 0;
        while (count < kFields) {
            const qsizetype at = bytes.indexOf(kSeparator, from);
            fields[size_t(count++)] = bytes.sliced(from, (at < 0 ? bytes.size() : at) - from);
            if (at < 0)
                break;
            from = at + 1;
        }
        // The line of field names, and any other whose first field is no number, is a comment
        // a person may have added in a spreadsheet.
        bool numbered = false;
        const qulonglong number = fields[Number].trimmed().toULongLong(&numbered);
        if (!numbered)
            continue;
        if (number == 0)
            throw fail(lineNumber, u"номер договора 0."_s);
        if (count < kFields) {
            throw fail(lineNumber,
                       u"полей %1, нужно %2 (номер, ключ, план, арендатор, договор, начало, конец, "
                       "ставка, примечание)."_s.arg(count)
                           .arg(kFields));
        }
        const QString keyText = ascii(fields[Key]);
        const auto key = parseCellNumber(keyText);
        if (!key || !ColourKey::namesRoom(*key))
            throw fail(lineNumber, u"ключ помещения «%1» — не цвет помещения."_s.arg(
                                       Cp1251::toUnicode(fields[Key]).left(40)));
        Lease lease;
        for (const Field f : {Start, End}) {
            const QByteArrayView date = fields[f].trimmed();
            if (date.isEmpty())
                continue;
            const auto parsed = LeaseDate::parse(QString::fromLatin1(date));
            if (!parsed)
                throw fail(lineNumber,
                           u"«%1» — не дата (нужна ДД.ММ.ГГГГ)."_s.arg(Cp1251::toUnicode(date).left(40)));
            (f == Start ? lease.start : lease.end) = *parsed;
        }
        if (lease.start.isValid() && lease.end.isValid() && lease.end < lease.start) {
            throw fail(lineNumber, u"конец договора %1 раньше его начала %2."_s.arg(
                                       LeaseDate::format(lease.end), LeaseDate::format(lease.start)));
        }
        if (!fields[Rate].trimmed().isEmpty()) {
            lease.rate = parseRate(ascii(fields[Rate]));
            if (!lease.rate)
                throw fail(lineNumber,
                           u"ставка «%1» — не число."_s.arg(Cp1251::toUnicode(fields[Rate]).left(40)));
        }
        lease.tenant = text(fields[Tenant]);
        lease.contract = text(fields[Contract]);
        lease.note = text(fields[Note]);
        const LeaseRoom room{quint32(*key), text(fields[Plan])};
        const auto it = byNumber.constFind(number);
        if (it == byNumber.cend()) {
            lease.rooms.append(room);
            byNumber.insert(number, book.m_leases.size());
            book.m_leases.push_back(std::move(lease));
            continue;
        }
        Lease &known = book.m_leases[*it];
        if (known.tenant != lease.tenant || known.contract != lease.contract || known.start != lease.start ||
            known.end != lease.end || known.rate != lease.rate || known.note != lease.note) {
            throw fail(lineNumber, u"договор № %1 описан иначе, чем в строке выше."_s.arg(number));
        }
        if (!known.covers(room.key))
            known.rooms.append(room);
    }
    return book;
}

bool LeaseBook::write(const QString &programDir) const
{
    const QString path = programDir + fileName();
    if (!hasContent()) {
        if (SafeFile::kindOf(path, false) != SafeFile::Kind::Missing && !SafeFile::removeRegular(path))
            throw MetrolaError(u"Не удалось удалить прежний файл договоров «%1»."_s.arg(path));
        return false;
    }
    QString reason;
    if (!SafeFile::writeReplacing(path, build(), &reason))
        throw MetrolaError(u"Не удалось записать файл договоров «%1»: %2"_s.arg(path, reason));
    return true;
}

LeaseBook LeaseBook::load(const QString &programDir)
{
    const QString path = programDir + fileName();
    QByteArray data;
    QString reason;
    if (!SafeFile::readWhole(path, kFileSizeLimit, &data, &reason))
        throw MetrolaError(u"Не удалось прочитать файл договоров «%1»: %2"_s.arg(path, reason));
    return fromMember(std::move(data));
}

LeaseBook LeaseBook::fromMember(QByteArray data)
{
    try {
        if (data.startsWith("\xEF\xBB\xBF"))
            throw MetrolaError(
                u"Файл договоров «%1» записан в UTF-8, а не в Windows-1251."_s.arg(fileName()));
        if (const auto line = SideFile::foreignTextLine(data)) {
            throw MetrolaError(
                u"Файл договоров «%1», строка %2: текст не в кодировке Windows-1251."_s.arg(fileName())
                    .arg(*line));
        }
        return parse(data);
    } catch (const MetrolaError &error) {
        return refused(std::move(data), error.message());
    }
}

void LeaseBook::check(const Lease &lease, const RecordTable &table, int replacing) const
{
    if (isRefused())
        throw MetrolaError(u"Договоры проекта не загружены, менять их нельзя: %1"_s.arg(m_refusal));
    if (lease.tenant.trimmed().isEmpty())
        throw MetrolaError(u"Не указан арендатор. Договор не сохранён."_s);
    if (lease.rooms.isEmpty())
        throw MetrolaError(u"В договоре нет ни одного помещения. Договор не сохранён."_s);
    for (const QString *text : {&lease.tenant, &lease.contract, &lease.note}) {
        if (!storable(*text)) {
            throw MetrolaError(
                u"Текст «%1» содержит «;», перевод строки или знаки вне кодировки Windows-1251. "
                "Договор не сохранён."_s.arg(text->left(40)));
        }
    }
    if (lease.start.isValid() && lease.end.isValid() && lease.end < lease.start) {
        throw MetrolaError(u"Конец договора %1 раньше его начала %2. Договор не сохранён."_s.arg(
            LeaseDate::format(lease.end), LeaseDate::format(lease.start)));
    }
    if (lease.rate && (!std::isfinite(*lease.rate) || *lease.rate < 0))
        throw MetrolaError(u"Ставка должна быть неотрицательным числом. Договор не сохранён."_s);
    for (const LeaseRoom &room : lease.rooms) {
        if (table.rowOfColour(room.key) <= 0) {
            throw MetrolaError(
                u"Помещения с ключом %1 нет среди записей. Договор не сохранён."_s.arg(room.key));
        }
    }
    for (int i = 0; i < count(); ++i) {
        if (i == replacing)
            continue;
        const Lease &other = m_leases[size_t(i)];
        if (!other.overlapsInTime(lease))
            continue;
        for (const LeaseRoom &room : lease.rooms) {
            if (!other.covers(room.key))
                continue;
            const int row = table.rowOfColour(room.key);
            const QString name = table.cellText(RecordTable::Name, row);
            throw MetrolaError(
                u"Договор %1 и договор %2 сдают помещение «%3» (ключ %4) в одни и те же дни. "
                "Договор не сохранён."_s
                    .arg(lease.describe(), other.describe(), name.isEmpty() ? u"без названия"_s : name)
                    .arg(room.key));
        }
    }
}

int LeaseBook::add(Lease lease, const RecordTable &table)
{
    check(lease, table);
    m_leases.push_back(std::move(lease));
    ++m_generation;
    return count() - 1;
}

void LeaseBook::replace(int index, Lease lease, const RecordTable &table)
{
    if (index < 0 || index >= count())
        throw MetrolaError(u"Договора № %1 нет."_s.arg(index + 1));
    check(lease, table, index);
    m_leases[size_t(index)] = std::move(lease);
    ++m_generation;
}

void LeaseBook::remove(int index)
{
    if (isRefused())
        throw MetrolaError(u"Договоры проекта не загружены, менять их нельзя: %1"_s.arg(m_refusal));
    if (index < 0 || index >= count())
        return;
    m_leases.erase(m_leases.begin() + index);
    ++m_generation;
}

Lease LeaseBook::fromTexts(const QList<LeaseRoom> &rooms, const QString &tenant, const QString &contract,
                           const QString &start, const QString &end, const QString &rate, const QString &note)
{
    Lease lease;
    lease.rooms = rooms;
    lease.tenant = tenant.trimmed();
    lease.contract = contract.trimmed();
    lease.note = note.trimmed();
    const auto date = [](const QString &text, const QString &what) -> QDate {
        if (text.trimmed().isEmpty())
            return {};
        const auto parsed = LeaseDate::parse(text.trimmed());
        if (!parsed) {
            throw MetrolaError(u"%1 «%2» — не дата. Введите её как ДД.ММ.ГГГГ, например 01.03.2026. "
                               "Договор не сохранён."_s.arg(what, text.trimmed()));
        }
        return *parsed;
    };
    lease.start = date(start, u"Начало договора"_s);
    lease.end = date(end, u"Конец договора"_s);
    if (!rate.trimmed().isEmpty()) {
        lease.rate = parseRate(rate);
        if (!lease.rate) {
            throw MetrolaError(u"Ставка «%1» — не число (рубли за м² в месяц, например 1250,50). "
                               "Договор не сохранён."_s.arg(rate.trimmed()));
        }
    }
    return lease;
}

std::vector<LeaseBook::Overlap> LeaseBook::overlaps() const
{
    // Per room, its leases by start: a lease overlaps an earlier one exactly when it starts
    // before the latest end seen so far, so sorting once finds every pair a file can hold
    // without comparing each lease with each.
    QHash<quint32, std::vector<int>> byKey;
    for (int i = 0; i < count(); ++i) {
        for (const LeaseRoom &room : m_leases[size_t(i)].rooms)
            byKey[room.key].push_back(i);
    }
    std::vector<Overlap> found;
    for (auto it = byKey.begin(); it != byKey.end(); ++it) {
        std::vector<int> &list = *it;
        if (list.size() < 2)
            continue;
        std::sort(list.begin(), list.end(), [&](int a, int b) {
            const QDate sa = m_leases[size_t(a)].start, sb = m_leases[size_t(b)].start;
            if (sa.isValid() != sb.isValid())
                return !sa.isValid();
            return sa < sb || (sa == sb && a < b);
        });
        // The leases still in force when the next one starts; without overlaps at most one.
        std::vector<int> open;
        for (const int next : list) {
            const Lease &lease = m_leases[size_t(next)];
            std::erase_if(open,
                          [&](int earlier) { return !m_leases[size_t(earlier)].overlapsInTime(lease); });
            for (const int earlier : open)
                found.push_back({std::min(earlier, next), std::max(earlier, next), it.key()});
            open.push_back(next);
        }
    }
    std::sort(found.begin(), found.end(), [](const Overlap &a, const Overlap &b) {
        return std::tie(a.first, a.second, a.key) < std::tie(b.first, b.second, b.key);
    });
    return found;
}

LeaseBook &LeaseBook::of(ProjectSession &session)
{
    if (!session.leases())
        session.setLeases(std::make_shared<LeaseBook>());
    return static_cast<LeaseBook &>(*session.leases());
}

const LeaseBook *LeaseBook::in(const ProjectSession &session)
{
    return static_cast<const LeaseBook *>(session.leases());
}
