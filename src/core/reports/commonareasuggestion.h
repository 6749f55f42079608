#pragma once

#include <QString>

#include <vector>

class RecordTable;

// Rooms whose name or type reads like a place of common use (a corridor, a hall, stairs, a
// lift, a shared washroom). Only offered to the user, on a project that has never said which
// of its rooms are common; nothing is flagged until the user accepts.
class CommonAreaSuggestion
{
public:
    static bool suggests(const QString &name, const QString &type);
    // The record rows that suggest a common area, in table order.
    static std::vector<int> rows(const RecordTable &table);
};
