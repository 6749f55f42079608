#pragma once

#include <QDate>
#include <QString>

#include <vector>

class LeaseBook;
class RecordTable;

// What `check` and the summary say is wrong with the leases of a project, in one place so the
// two never disagree.
namespace LeaseRules {

struct Problem
{
    int row = 0;  // the record's row, 0 for a lease as a whole
    QString kind; // "lease-overlap", "lease-rooms-gone", "lease-tenant", "leases-refused"
    QString message;
};

// Leases of one room in force on a common day; leases naming keys no record has; rooms whose
// record names another tenant than the lease in force today.
std::vector<Problem> check(const LeaseBook &book, const RecordTable &table, QDate today);

} // namespace LeaseRules
