#include "core/model/areacheckrunner.h"

#include "core/model/projectsession.h"

#include <QMetaObject>

AreaCheckRunner::AreaCheckRunner(ProjectSession &session, QObject *parent)
    : QObject(parent), m_session(session)
{
}

AreaCheckRunner::~AreaCheckRunner()
{
    m_stop = true;
    if (m_worker.joinable())
        m_worker.join();
}

bool AreaCheckRunner::request()
{
    if (isBusy())
        return false;
    std::vector<RoomAreas::Job> jobs = m_session.roomAreas().stale(m_session.roomAreasProject(), m_session.scales());
    if (jobs.empty()) {
        m_checks = m_session.checkAreas();
        return true;
    }
    m_epoch = m_session.roomAreas().epoch();
    m_stop = false;
    m_results.clear();
    m_worker = std::thread([this, jobs = std::move(jobs)]() mutable {
        const int total = int(jobs.size());
        // Nothing may leave this thread: out of memory here leaves the plans not yet measured
        // for the next request, as if they had been stopped.
        try {
            for (int i = 0; i < total && !m_stop; ++i) {
                QMetaObject::invokeMethod(this, [this, i, total, plan = jobs[size_t(i)].planId] {
                    Q_EMIT progress(i, total, plan);
                }, Qt::QueuedConnection);
                QString planId = jobs[size_t(i)].planId;
                m_results.push_back({std::move(planId), RoomAreas::measure(std::move(jobs[size_t(i)]))});
            }
        } catch (...) {
        }
        QMetaObject::invokeMethod(this, &AreaCheckRunner::takeResults, Qt::QueuedConnection);
    });
    return false;
}

void AreaCheckRunner::wait()
{
    if (m_worker.joinable())
        takeResults();
}

void AreaCheckRunner::takeResults()
{
    if (!m_worker.joinable())
        return; // wait() took them already
    m_worker.join();
    // Measurements of a project closed meanwhile are dropped; the cache checks the rest
    // against the rooms and files of the moment.
    if (m_session.roomAreas().epoch() == m_epoch) {
        for (Result &result : m_results)
            m_session.roomAreas().adopt(result.planId, std::move(result.plan));
    }
    m_results.clear();
    Q_EMIT finished();
}
