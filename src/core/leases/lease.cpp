#include "core/leases/lease.h"

using namespace Qt::StringLiterals;

QString Lease::describe() const
{
    const QString number = contract.isEmpty() ? u"без номера"_s : u"«%1»"_s.arg(contract);
    const QString from = start.isValid() ? LeaseDate::format(start) : u"…"_s;
    const QString span =
        end.isValid() ? u"%1–%2"_s.arg(from, LeaseDate::format(end)) : u"с %1, бессрочно"_s.arg(from);
    return u"%1 %2, %3"_s.arg(number, tenant.isEmpty() ? u"(без арендатора)"_s : tenant, span);
}

namespace LeaseDate {

std::optional<QDate> parse(QStringView text)
{
    if (text.size() != 10 || text[2] != u'.' || text[5] != u'.')
        return std::nullopt;
    int parts[3] = {0, 0, 0};
    const int from[3] = {0, 3, 6};
    const int length[3] = {2, 2, 4};
    for (int p = 0; p < 3; ++p) {
        for (int i = from[p]; i < from[p] + length[p]; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9')
                return std::nullopt;
            parts[p] = parts[p] * 10 + (c - u'0');
        }
    }
    const QDate date(parts[2], parts[1], parts[0]);
    if (!date.isValid() || parts[2] < 1)
        return std::nullopt;
    return date;
}

QString format(QDate date)
{
    if (!date.isValid())
        return {};
    const int year = date.year();
    if (year < 1 || year > 9999)
        return {};
    QString text(10, u'.');
    const auto put = [&](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i) {
            text[at + i] = QChar(u'0' + value % 10);
            value /= 10;
        }
    };
    put(0, date.day(), 2);
    put(3, date.month(), 2);
    put(6, year, 4);
    return text;
}

int monthsBetween(QDate from, QDate to)
{
    if (!from.isValid() || !to.isValid() || to <= from)
        return 0;
    int months = (to.year() - from.year()) * 12 + to.month() - from.month();
    if (to.day() < from.day())
        --months;
    return std::max(months, 0);
}

} // namespace LeaseDate
