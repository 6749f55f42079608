#include "cli/clileases.h"

#include "cli/cliargs.h"
#include "cli/clicheck.h"
#include "cli/cliproject.h"
#include "cli/clitext.h"
#include "core/base/metrolaerror.h"
#include "core/base/numbertext.h"
#include "core/leases/leasedrooms.h"
#include "core/leases/leasebook.h"
#include "core/leases/leasecalendar.h"
#include "core/leases/leaserules.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>

using namespace Qt::StringLiterals;

namespace CliLeases {

namespace {

const LeaseBook &bookOf(const CliProject &project)
{
    static const LeaseBook none;
    const LeaseBook *book = LeaseBook::in(project.session());
    if (book && book->isRefused())
        throw MetrolaError(book->refusal());
    return book ? *book : none;
}

QJsonValue orNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

} // namespace

void applyAsOf(CliProject &project, QDate day)
{
    const LeaseCalendar calendar(bookOf(project));
    RecordTable &table = project.session().table();
    table.replaceRows(calendar.rowsAsOf(table, day));
}

int list(const CliProject &project, const CliArgs &args)
{
    const LeaseBook &book = bookOf(project);
    const RecordTable &table = project.session().table();
    const QDate day = args.asOf.value_or(QDate::currentDate());
    std::vector<int> shown;
    if (args.endingWithin) {
        for (const LeaseExpiry::Ending &e : LeaseExpiry::endingWithin(book, table, day, *args.endingWithin))
            shown.push_back(e.lease);
    } else {
        for (int i = 0; i < book.count(); ++i)
            shown.push_back(i);
    }
    QJsonArray leases;
    QString text;
    double letArea = 0;
    double rentTotal = 0;
    for (const int i : shown) {
        const Lease &lease = book.lease(i);
        const LeasedRooms leased(lease, table);
        const double area = leased.area;
        QJsonArray rooms;
        QStringList roomTexts;
        for (const LeasedRooms::Room &room : leased.rooms) {
            rooms.append(QJsonObject{{u"key"_s, qint64(room.key)},
                                     {u"row"_s, room.row},
                                     {u"plan"_s, room.plan},
                                     {u"name"_s, room.name},
                                     {u"area"_s, room.area ? QJsonValue(*room.area) : QJsonValue()}});
            roomTexts << (room.row > 0 ? u"%1 (%2)"_s.arg(room.name, room.plan)
                                       : u"ключ %1 — записи нет"_s.arg(room.key));
        }
        const bool inForce = lease.inForce(day);
        // Plain values beside flags: g++ 12 takes optionals read under their own test for
        // uninitialised.
        const bool hasRent = lease.rate.has_value();
        const double rent = LeasedRooms::monthlyRent(lease, area).value_or(0);
        const bool hasEnd = lease.end.isValid();
        const int monthsLeft = hasEnd ? LeaseDate::monthsBetween(day, lease.end) : 0;
        if (inForce) {
            letArea += area;
            rentTotal += rent;
        }
        leases.append(QJsonObject{
            {u"number"_s, i + 1},
            {u"tenant"_s, lease.tenant},
            {u"contract"_s, lease.contract},
            {u"rooms"_s, rooms},
            {u"area"_s, area},
            {u"start"_s, orNull(LeaseDate::format(lease.start))},
            {u"end"_s, orNull(LeaseDate::format(lease.end))},
            {u"inForce"_s, inForce},
            {u"monthsLeft"_s, hasEnd ? QJsonValue(monthsLeft) : QJsonValue()},
            {u"rate"_s, lease.rate ? QJsonValue(*lease.rate) : QJsonValue()},
            {u"monthlyRent"_s, hasRent ? QJsonValue(rent) : QJsonValue()},
            {u"note"_s, lease.note},
        });
        text += u"%1\t%2\t%3\t%4\t%5 м²\t%6\t%7\t%8\t%9\n"_s.arg(i + 1).arg(
            lease.tenant, lease.contract.isEmpty() ? u"-"_s : lease.contract, roomTexts.join(u", "_s),
            NumberText::format(area),
            lease.start.isValid() ? LeaseDate::format(lease.start) : u"не указано"_s,
            lease.end.isValid() ? LeaseDate::format(lease.end) : u"бессрочно"_s,
            !inForce ? (lease.end.isValid() && lease.end < day ? u"истёк"_s : u"не начался"_s)
            : hasEnd ? u"осталось %1 мес."_s.arg(monthsLeft)
                     : u"действует"_s,
            hasRent ? u"%1 ₽/мес."_s.arg(NumberText::format(rent)) : u"ставка не указана"_s);
    }
    if (args.json) {
        CliText::printJson(QJsonObject{
            {u"asOf"_s, LeaseDate::format(day)},
            {u"endingWithinMonths"_s, args.endingWithin ? QJsonValue(*args.endingWithin) : QJsonValue()},
            {u"leases"_s, leases},
            {u"letArea"_s, letArea},
            {u"monthlyRent"_s, std::round(rentTotal * 100) / 100}});
        return 0;
    }
    QString head = args.endingWithin
                       ? u"Договоры, истекающие в %1 мес. после %2: %3\n"_s.arg(*args.endingWithin)
                             .arg(LeaseDate::format(day))
                             .arg(shown.size())
                       : u"Договоры на %1: %2\n"_s.arg(LeaseDate::format(day)).arg(shown.size());
    CliText::out(head + text +
                 u"Действуют на %1: площадь %2 м², в месяц %3 ₽\n"_s.arg(
                     LeaseDate::format(day), NumberText::format(letArea),
                     NumberText::format(std::round(rentTotal * 100) / 100)));
    return 0;
}

void addProblems(ProjectCheck &check, const CliProject &project, QDate today)
{
    const LeaseBook *book = LeaseBook::in(project.session());
    if (!book)
        return;
    for (const LeaseRules::Problem &p : LeaseRules::check(*book, project.session().table(), today))
        check.problems.push_back({p.row, p.kind, p.message, {}});
}

} // namespace CliLeases
