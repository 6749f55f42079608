#pragma once

#include <QString>
#include <QStringList>

#include <array>

class RecordTable;

// The distinct plan ids of the records in order of first appearance (and, in the window, the
// plans added since that no record names yet), in 24 slots numbered 1..24; an empty slot is
// free. The tab strip, the archive and the clean-up at close all walk
// these slots, so no plan id is ever kept outside them.
class PlanList
{
public:
    static constexpr int Capacity = 24;

    void clear();
    // The last slot equal to the name, 0 when none; an empty name finds a free slot.
    int indexOf(const QString &name) const;
    // Stores the name in the lowest free slot; ignored when none is free.
    void add(const QString &name);
    int count() const;
    // Slot 1..24.
    const QString &name(int slot) const { return m_slots[static_cast<size_t>(slot - 1)]; }
    // Slots 1 .. count() in order.
    QStringList names() const;

    // Rebuilds the list from the records. More than 24 distinct plans throw MetrolaError and
    // leave the list as it was.
    void rebuild(const RecordTable &table);
    // As rebuild(), then the plans of the old list that no record names yet follow in their
    // old order, as far as slots are free: a plan just added stays in the window's list until
    // its first room is marked, though no archive holds it before then.
    void rebuildKeepingUnrecorded(const RecordTable &table);

private:
    std::array<QString, Capacity> m_slots;
};

// Plan files the user added from disk during this run: full path and file name in 24 slots.
// It tells where a plan's bitmap lies while it is not in the working folder.
class PlanPathTable
{
public:
    static constexpr int Capacity = 24;

    // Takes the lowest slot without a path, or slot 1 when all are taken.
    void addPlanFile(const QString &fullPath);
    // Empties every slot of that file name: a plan the program rewrote into the working
    // folder is then read (and at close removed) from there, not from the file the user chose.
    void forget(const QString &fileName);
    // The last slot whose file name equals the name, 0 when none (or for an empty name).
    int planFileIndex(const QString &fileName) const;
    const QString &path(int slot) const { return m_paths[static_cast<size_t>(slot - 1)]; }
    const QString &fileName(int slot) const { return m_names[static_cast<size_t>(slot - 1)]; }

    // Where the bitmap of a plan id is: the recorded path of a plan added from disk, otherwise
    // the id in the working folder.
    QString planFilePath(const QString &programDir, const QString &planId) const;

private:
    std::array<QString, Capacity> m_paths;
    std::array<QString, Capacity> m_names;
};
