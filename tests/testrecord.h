// A record built by naming only the cells a test cares about:
//   roomRecord({.plan = u"p.bmp"_s, .tenant = u"А"_s, .key = u"101"_s, .label = {2, 2}})
#pragma once

#include "core/model/recordtable.h"

#include <QPoint>
#include <QString>

// Every member has an initialiser, so naming only some of them is not a missing-initialiser warning.
struct RecordCells
{
    QString plan{};
    QString name{};
    QString type{};
    QString area{};
    QString tenant{};
    QString info{};
    QString key{};
    QPoint label{1, 1};
};

inline RecordTable::Row roomRecord(const RecordCells &c)
{
    return {c.plan,   c.name, c.type, c.area, c.tenant, c.info, c.key, QString::number(c.label.x()),
            QString::number(c.label.y())};
}
