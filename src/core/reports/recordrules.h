#pragma once

#include <QHash>
#include <QString>

#include <optional>
#include <vector>

class RecordTable;
class RoomFlags;

// The rules a record's own texts must keep, with the kind and wording of each problem. The
// summary's problem list and `metrola-cli check` both ask here, so they never disagree on what
// is wrong with a record or how it is said.
class RecordRules
{
public:
    struct Problem
    {
        int row = 0;
        QString kind; // "key", "duplicate-key", "type", "area", and the batch tool's own kinds
        QString message;
    };

    // expectedRows sizes the memory of keys once.
    explicit RecordRules(qsizetype expectedRows = 0) { m_firstRowOfKey.reserve(expectedRows); }

    // A key that is not a number, is no colour, is the walls' black or the unmarked floor's
    // white, or is an earlier row's key. Keys are remembered, so rows must come in table order.
    std::optional<Problem> key(int row, const QString &keyText);
    // An unfinished record may lack its type or area; only a wrong one is a problem.
    static std::optional<Problem> type(int row, const QString &type);
    // isNumber: whether the area reads as a number (NumberText::area), which callers know already.
    static std::optional<Problem> area(int row, const QString &area, bool isNumber);

    // Kinds "common-let" (a place of common use with a tenant: nobody rents a corridor, so its
    // area is shared out and the tenant named there gets none of it) and "tenant-all-common"
    // (a tenant whose every room is common has no rentable area at all), by row.
    static std::vector<Problem> commonAreas(const RecordTable &table, const RoomFlags &flags);

private:
    QHash<qint64, int> m_firstRowOfKey;
};
