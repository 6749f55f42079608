#include "core/model/planlist.h"

#include "core/base/metrolaerror.h"
#include "core/model/recordtable.h"

#include <QFileInfo>

void PlanList::clear()
{
    m_slots.fill(QString());
}

int PlanList::indexOf(const QString &name) const
{
    for (int slot = Capacity; slot >= 1; --slot) {
        if (m_slots[static_cast<size_t>(slot - 1)] == name)
            return slot;
    }
    return 0;
}

void PlanList::add(const QString &name)
{
    for (QString &slot : m_slots) {
        if (slot.isEmpty()) {
            slot = name;
            return;
        }
    }
}

int PlanList::count() const
{
    return static_cast<int>(
        std::count_if(m_slots.begin(), m_slots.end(), [](const QString &s) { return !s.isEmpty(); }));
}

QStringList PlanList::names() const
{
    QStringList list;
    for (int slot = 1; slot <= count(); ++slot)
        list.append(name(slot));
    return list;
}

void PlanList::rebuild(const RecordTable &table)
{
    PlanList rebuilt;
    for (int r = 1; r <= table.recordCount(); ++r) {
        const QString &id = table.cellText(RecordTable::PlanId, r);
        // An empty plan id names no plan; with a free slot it would be found there anyway.
        if (id.isEmpty() || rebuilt.indexOf(id) != 0)
            continue;
        if (rebuilt.count() == Capacity) {
            throw MetrolaError(QStringLiteral(
                "Записи ссылаются больше чем на %1 поэтажных плана (план «%2» в строке %3): "
                "проект может содержать не более %1 планов. Таблица не изменена.")
                                   .arg(QString::number(Capacity), id, QString::number(r)));
        }
        rebuilt.add(id);
    }
    *this = rebuilt;
}

void PlanList::rebuildKeepingUnrecorded(const RecordTable &table)
{
    const QStringList old = names();
    rebuild(table);
    for (const QString &name : old) {
        if (indexOf(name) == 0)
            add(name);
    }
}

void PlanPathTable::addPlanFile(const QString &fullPath)
{
    size_t slot = 0;
    for (size_t i = 0; i < m_paths.size(); ++i) {
        if (m_paths[i].isEmpty()) {
            slot = i;
            break;
        }
    }
    m_paths[slot] = fullPath;
    m_names[slot] = QFileInfo(fullPath).fileName();
}

void PlanPathTable::forget(const QString &fileName)
{
    for (size_t i = 0; i < m_paths.size(); ++i) {
        if (m_names[i] == fileName) {
            m_paths[i].clear();
            m_names[i].clear();
        }
    }
}

int PlanPathTable::planFileIndex(const QString &fileName) const
{
    if (fileName.isEmpty())
        return 0;
    for (int slot = Capacity; slot >= 1; --slot) {
        if (m_names[static_cast<size_t>(slot - 1)] == fileName)
            return slot;
    }
    return 0;
}

QString PlanPathTable::planFilePath(const QString &programDir, const QString &planId) const
{
    const int slot = planFileIndex(planId);
    return slot > 0 ? path(slot) : programDir + planId;
}
