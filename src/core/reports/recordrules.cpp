#include "core/reports/recordrules.h"

#include "core/model/recordtable.h"
#include "core/plan/colourkey.h"

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
    return Problem{row, u"area"_s, u"Строка %1: площадь «%2» не число."_s.arg(QString::number(row), area)};
}
