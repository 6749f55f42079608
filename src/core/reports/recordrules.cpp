#include "core/reports/recordrules.h"

#include "core/base/numbertext.h"
#include "core/model/recordtable.h"
#include "core/model/roomflags.h"
#include "core/plan/colourkey.h"

#include <algorithm>

using namespace Qt::StringLiterals;

std::optional<RecordRules::Problem> RecordRules::key(int row, const QString &keyText)
{
    const auto key = parseCellNumber(keyText);
    if (!key)
        return Problem{row, u"key"_s, u"Строка %1: цветовой ключ «%2» не число."_s.arg(QString::number(row), keyText)};
    if (!ColourKey::inRange(*key))
        return Problem{row, u"key"_s, u"Строка %1: цветовой ключ %2 вне диапазона цветов."_s.arg(row).arg(*key)};
    if (ColourKey::isReserved(*key)) {
        return Problem{row, u"key"_s,
                       u"Строка %1: цветовой ключ %2 — цвет %3, он не может обозначать помещение."_s.arg(row).arg(*key).arg(
                           *key == 0 ? u"стен"_s : u"пустого пола"_s)};
    }
    if (const auto it = m_firstRowOfKey.constFind(*key); it != m_firstRowOfKey.cend()) {
        return Problem{row, u"duplicate-key"_s,
                       u"Строка %1: цветовой ключ %2 уже занят строкой %3."_s.arg(row).arg(*key).arg(*it)};
    }
    m_firstRowOfKey.insert(*key, row);
    return std::nullopt;
}

std::optional<RecordRules::Problem> RecordRules::type(int row, const QString &type)
{
    if (type.isEmpty() || RecordTable::typeIndex(type) >= 0)
        return std::nullopt;
    static const QString list =
        QStringList(RecordTable::typeCodes().begin(), RecordTable::typeCodes().end()).join(u", "_s);
    return Problem{row, u"type"_s, u"Строка %1: тип «%2» не из списка (%3)."_s.arg(QString::number(row), type, list)};
}

std::optional<RecordRules::Problem> RecordRules::area(int row, const QString &area, bool isNumber)
{
    if (area.isEmpty() || isNumber)
        return std::nullopt;
    // A minus before a number: no room is smaller than nothing, so it counts as no area at all.
    if (area.startsWith(u'-') && NumberText::area(QStringView(area).mid(1)))
        return Problem{row, u"area"_s,
                       u"Строка %1: площадь «%2» меньше нуля."_s.arg(QString::number(row), area)};
    return Problem{row, u"area"_s, u"Строка %1: площадь «%2» не число."_s.arg(QString::number(row), area)};
}

std::vector<RecordRules::Problem> RecordRules::commonAreas(const RecordTable &table, const RoomFlags &flags)
{
    std::vector<Problem> problems;
    if (!flags.hasCommon())
        return problems;
    // Per tenant: the first common row, and whether it has a usable room at all.
    struct Seen
    {
        int firstCommonRow = 0;
        bool usable = false;
    };
    QHash<QString, Seen> tenants;
    for (int r = 1; r <= table.recordCount(); ++r) {
        const RecordTable::Row &row = table.row(r);
        const QString &tenant = row[RecordTable::Tenant];
        if (tenant.isEmpty())
            continue;
        Seen &seen = tenants[tenant];
        if (!flags.isCommonKey(row[RecordTable::ColourKey])) {
            seen.usable = true;
            continue;
        }
        if (seen.firstCommonRow == 0)
            seen.firstCommonRow = r;
        problems.push_back({r, u"common-let"_s,
                            u"Строка %1: место общего пользования сдано арендатору «%2»; его площадь "
                            u"распределяется между всеми арендаторами."_s.arg(QString::number(r), tenant)});
    }
    for (auto it = tenants.cbegin(); it != tenants.cend(); ++it) {
        if (it->usable || it->firstCommonRow == 0)
            continue;
        problems.push_back({it->firstCommonRow, u"tenant-all-common"_s,
                            u"Строка %1: все помещения арендатора «%2» отмечены как места общего "
                            u"пользования, арендуемой площади у него нет."_s.arg(QString::number(it->firstCommonRow), it.key())});
    }
    std::stable_sort(problems.begin(), problems.end(), [](const Problem &a, const Problem &b) {
        return a.row != b.row ? a.row < b.row : a.kind < b.kind;
    });
    return problems;
}
