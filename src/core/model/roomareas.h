#pragma once

#include "core/plan/floodfill.h"
#include "core/plan/roommeasure.h"

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QString>

#include <optional>
#include <vector>

class PlanPathTable;
class PlanScales;
class RecordTable;

// A record of a plan with a scale, its typed area beside the area its room measures on the
// plan.
struct RoomAreaCheck
{
    enum class Status {
        Agrees,      // within the tolerance
        TypedLarger, // the typed area exceeds the measured one by more than the tolerance
        TypedSmaller,
        TypedNotNumber,
        NotMeasured, // see `reason`
    };
    int row = 0;
    QString plan;
    std::optional<double> typed;
    // Square metres, rounded to 0,01.
    std::optional<double> measured;
    // (typed - measured) / measured, in percent.
    std::optional<double> percent;
    Status status = Status::NotMeasured;
    QString reason;

    bool mismatch() const { return status == Status::TypedLarger || status == Status::TypedSmaller; }
    // The problem text of a mismatch, as every report words it; typedText as typed.
    QString mismatchMessage(const QString &typedText, double tolerance) const;
    // "+12,3" / "-4" / "0": the difference rounded to 0,1 with its sign.
    static QString percentText(double percent);
    // The difference as percentText shows it: rounded to 0,1.
    static double shownPercent(double percent);
};

// The floor pixels of every plan's rooms, found by repainting the plan as loaded, and the
// comparison of typed and measured areas. A plan is measured once for a given set of rooms and
// plan file, and again only when either changes.
class RoomAreas
{
public:
    // pixels x metresPerPixel², rounded to 0,01 m².
    static double measuredArea(qint64 pixels, double metresPerPixel);
    static QString reasonText(RoomPixels::Kind kind);

    // The rooms of a plan in table order, as repainting sees them; records whose key or label
    // point is not a number are left out (their rows in `skipped` when given).
    static std::vector<RoomSeed> seedsOf(const RecordTable &table, const QString &planId,
                                         std::vector<int> *rows = nullptr,
                                         std::vector<int> *skipped = nullptr);

    // Called after the plan shown was repainted straight after loading, so the counts of
    // that repaint serve as the plan's measurement at no further cost. `generation` tells the
    // loaded image apart from later ones.
    void store(const QString &planId, std::vector<RoomSeed> seeds, std::vector<RoomPixels> rooms,
               const QString &source, quint64 generation);

    // What measuring reads of the project: the records, where each plan's file is, and which
    // image is shown now (a plan shown from memory counts as measured while it stays shown).
    // The session that owns these rooms hands it over; a view, valid for one call.
    struct Project
    {
        const RecordTable &table;
        const PlanPathTable &planPaths;
        const QString &programDir;
        const QString &currentPlan;
        const QString &planSource; // empty while the plan shown came from memory
        quint64 planGeneration = 0;
    };

    // Every record on a plan with a scale, in table order. Plans not measured for their
    // present rooms are loaded from their files and measured now; a plan that cannot be
    // loaded leaves its rooms not measured, with the reason.
    std::vector<RoomAreaCheck> check(const Project &project, const PlanScales &scales);

    // What measuring one plan from its file needs; a copy, so another thread may do it.
    struct Job
    {
        QString planId;
        std::vector<RoomSeed> seeds;
        QString source;
    };
    struct Plan;
    // The plans with a scale that check() would load and measure now, in table order.
    std::vector<Job> stale(const Project &project, const PlanScales &scales) const;
    // Loads and measures; touches nothing shared, so any thread may run it.
    static Plan measure(Job job);
    // Keeps a measurement made by measure().
    void adopt(const QString &planId, Plan plan);

    void clear()
    {
        m_plans.clear();
        ++m_epoch;
    }
    // Changes with every clear(): a measurement begun before belongs to another project.
    quint64 epoch() const { return m_epoch; }
    // How many times a plan was loaded from its file to be measured.
    int fileMeasurements() const { return m_fileMeasurements; }

    struct Plan
    {
        std::vector<RoomSeed> seeds;
        std::vector<RoomPixels> rooms;
        QString source;
        QDateTime modified;
        qint64 size = -1;
        quint64 generation = 0;
        QString error;
    };

private:
    // The stored measurement of the plan when it still holds for these rooms and this file.
    const Plan *valid(const Project &project, const QString &planId,
                      const std::vector<RoomSeed> &seeds, const QString &source) const;
    void ensureMeasured(const Project &project, const QString &planId);

    QHash<QString, Plan> m_plans;
    int m_fileMeasurements = 0;
    quint64 m_epoch = 0;
};
