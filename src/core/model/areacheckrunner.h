#pragma once

#include "core/model/roomareas.h"

#include <QObject>

#include <atomic>
#include <thread>
#include <vector>

class ProjectSession;

// The area check for windows: plans that must be loaded from their files to be measured are
// measured on a worker thread, one after another, so a large plan never stops the window.
// Everything else (the table, the cache of measurements) is touched on the owner's thread
// only; the worker gets copies of what it measures.
class AreaCheckRunner : public QObject
{
    Q_OBJECT

public:
    explicit AreaCheckRunner(ProjectSession &session, QObject *parent = nullptr);
    // Stops after the plan being measured and waits for it.
    ~AreaCheckRunner() override;

    // Brings checks() up to date when every plan with a scale is measured for its present
    // rooms, and returns true. Otherwise starts measuring the missing plans (or lets the run
    // in progress finish) and returns false; finished() follows, and a new request() then
    // finds them measured.
    bool request();
    bool isBusy() const { return m_worker.joinable(); }
    const std::vector<RoomAreaCheck> &checks() const { return m_checks; }
    // Waits for a run in progress and takes its results (tests, and before closing).
    void wait();

Q_SIGNALS:
    // Before each plan of a run: `done` of `total` plans are measured, `plan` comes next.
    void progress(int done, int total, const QString &plan);
    void finished();

private:
    struct Result
    {
        QString planId;
        RoomAreas::Plan plan;
    };
    void takeResults();

    ProjectSession &m_session;
    std::vector<RoomAreaCheck> m_checks;
    std::thread m_worker;
    std::atomic<bool> m_stop{false};
    quint64 m_epoch = 0;
    std::vector<Result> m_results; // written by the worker, read after the join
};
