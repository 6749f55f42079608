#pragma once

#include "core/model/planscales.h"
#include "core/model/recordtable.h"
#include "core/model/roomflags.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>
#include <vector>

class ProjectSession;

// The project's one history of changes, taken back and made again step by step: records added,
// edited, removed or moved, room flags and floor order, scales and tolerance, pixels changed in
// plan files. A step keeps only what it changed: the table rows it touched (before and after),
// the flags and scales when they differ, the plan pixels inside the changed boxes. The marking
// on the plan shown is not part of it; the window paints the rooms again after a step.
//
// Every change goes between begin() and end() (or inside a Scope); nested ones make one step.
// A change of the table made outside them would move rows under the steps, so the history is
// then forgotten rather than trusted.
class ProjectHistory
{
public:
    struct PlanPatch
    {
        // A null rect stands for the whole plan, which may change its size.
        QRect rect;
        QImage before;
        QImage after;
    };
    struct PlanChange
    {
        QString plan;
        // In order of drawing; taken back in reverse.
        std::vector<PlanPatch> patches;
    };
    struct Step
    {
        QString label;
        int rowsBefore = 0;
        int rowsAfter = 0;
        std::map<int, RecordTable::Row> before;
        std::map<int, RecordTable::Row> after;
        std::optional<RoomFlags> flagsBefore;
        std::optional<RoomFlags> flagsAfter;
        std::optional<PlanScales> scalesBefore;
        std::optional<PlanScales> scalesAfter;
        std::vector<PlanChange> plans;
        bool empty() const
        {
            return before.empty() && after.empty() && !flagsBefore && !scalesBefore && plans.empty();
        }
    };
    // What an undo or redo changed, for the windows to show it anew.
    struct Effect
    {
        bool records = false;
        bool flags = false;
        bool scales = false;
        QStringList plans;
        QString label;
    };

    explicit ProjectHistory(ProjectSession &session);
    ~ProjectHistory();
    ProjectHistory(const ProjectHistory &) = delete;
    ProjectHistory &operator=(const ProjectHistory &) = delete;

    // The label names the change in the menu ("Отменить: новая запись").
    void begin(const QString &label);
    void end();
    bool recording() const { return m_depth > 0; }
    // Pixels a change wrote into a plan file; only while a change is recorded.
    void addPlanChange(PlanChange change);

    class Scope
    {
    public:
        Scope(ProjectHistory &history, const QString &label)
            : m_history(history)
        {
            m_history.begin(label);
        }
        ~Scope() { m_history.end(); }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        ProjectHistory &m_history;
    };

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    QString undoLabel() const { return m_undo.empty() ? QString() : m_undo.back().label; }
    QString redoLabel() const { return m_redo.empty() ? QString() : m_redo.back().label; }
    // Whether the step undo() takes back drew into a plan.
    bool undoChangesPlan() const { return !m_undo.empty() && !m_undo.back().plans.empty(); }
    // Take the latest step back, or make the last step taken back again. A plan file that cannot
    // be read or written throws MetrolaError; the step then stays where it was and the table,
    // flags and scales are as before the call.
    Effect undo();
    Effect redo();
    // Another project: nothing of the previous one can be taken back.
    void clear();
    // Told after every step recorded, taken back, made again, and after clear(), so menus can
    // follow.
    void setListener(std::function<void()> listener) { m_listener = std::move(listener); }
    // How many steps are kept; the oldest go first.
    static constexpr size_t kMaxSteps = 200;

private:
    Effect apply(const Step &step, bool forward);
    void writePlans(const Step &step, bool forward);
    bool inStep() const;
    void tell() const
    {
        if (m_listener)
            m_listener();
    }

    ProjectSession &m_session;
    int m_depth = 0;
    Step m_open;
    RecordTable::Journal m_journal;
    std::vector<Step> m_undo;
    std::vector<Step> m_redo;
    // The table's revision after the last step recorded, taken back or made again.
    quint64 m_revision = 0;
    std::function<void()> m_listener;
};
