#include "core/leases/leaserules.h"

#include "core/leases/leasebook.h"
#include "core/leases/leasecalendar.h"
#include "core/model/recordtable.h"

using namespace Qt::StringLiterals;

namespace LeaseRules {

std::vector<Problem> check(const LeaseBook &book, const RecordTable &table, QDate today)
{
    std::vector<Problem> problems;
    if (book.isRefused()) {
        problems.push_back({0, u"leases-refused"_s, book.refusal()});
        return problems;
    }
    for (const LeaseBook::Overlap &overlap : book.overlaps()) {
        const int row = table.rowOfColour(overlap.key);
        problems.push_back(
            {std::max(row, 0), u"lease-overlap"_s,
             u"Договоры %1 и %2 сдают помещение с ключом %3 в одни и те же дни."_s
                 .arg(book.lease(overlap.first).describe(), book.lease(overlap.second).describe())
                 .arg(overlap.key)});
    }
    for (int i = 0; i < book.count(); ++i) {
        const Lease &lease = book.lease(i);
        QStringList gone;
        for (const LeaseRoom &room : lease.rooms) {
            if (table.rowOfColour(room.key) <= 0)
                gone << u"%1 (%2)"_s.arg(room.key).arg(room.plan.isEmpty() ? u"план не указан"_s : room.plan);
        }
        if (!gone.isEmpty()) {
            problems.push_back({0, u"lease-rooms-gone"_s,
                                u"Договор %1: нет записей помещений с ключами %2."_s.arg(
                                    lease.describe(), gone.join(u", "_s))});
        }
    }
    const LeaseCalendar calendar(book);
    for (const LeaseCalendar::Mismatch &m : calendar.tenantMismatches(table, today)) {
        const QString record =
            m.recordTenant.isEmpty() ? u"арендатора нет"_s : u"арендатор «%1»"_s.arg(m.recordTenant);
        const QString message =
            m.lease >= 0
                ? u"В записи %1, а по договору %2 помещение сдано «%3»."_s.arg(
                      record, book.lease(m.lease).describe(), m.leaseTenant)
                : u"В записи %1, но ни один договор этого помещения сегодня не действует."_s.arg(record);
        problems.push_back({m.row, u"lease-tenant"_s, message});
    }
    return problems;
}

} // namespace LeaseRules
