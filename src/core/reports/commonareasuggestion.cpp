#include "core/reports/commonareasuggestion.h"

#include "core/model/recordtable.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

// At word beginnings, so "Лестница 2", "лестничная клетка" and "Холл у лифтов" count but a
// tenant's "Технолифт" or "Мопед-сервис" does not. "санузел" alone is often a tenant's own;
// only a shared one counts.
const QRegularExpression &pattern()
{
    static const QRegularExpression re(
        u"(?:^|[^\\p{L}])(?:коридор|холл|лестни|тамбур|лифт|вестибюл|фойе|лобби|мусоропровод|"
        u"санузел\\s+общ|общ\\S*\\s+санузел|с/у\\s+общ|мест\\S*\\s+общего\\s+пользования|моп(?:[^\\p{L}]|$))"_s,
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return re;
}

} // namespace

bool CommonAreaSuggestion::suggests(const QString &name, const QString &type)
{
    return pattern().match(name).hasMatch() || pattern().match(type).hasMatch();
}

std::vector<int> CommonAreaSuggestion::rows(const RecordTable &table)
{
    std::vector<int> found;
    for (int r = 1; r <= table.recordCount(); ++r) {
        const RecordTable::Row &row = table.row(r);
        if (suggests(row[RecordTable::Name], row[RecordTable::Type]))
            found.push_back(r);
    }
    return found;
}
