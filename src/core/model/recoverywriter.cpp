#include "core/model/recoverywriter.h"

#include "core/base/metrolaerror.h"
#include "core/model/projectsession.h"
#include "core/model/recoveryfile.h"

#include <algorithm>

namespace {

// How soon to look again when a write is still on its way to a slow disk.
constexpr int kBusyRetryMs = 20;

} // namespace

RecoveryWriter::RecoveryWriter(ProjectSession &session, int intervalMs, QObject *parent)
    : QObject(parent), m_session(session), m_interval(intervalMs)
{
    m_timer.setSingleShot(true);
    // A coarse timer may fire early, which would allow two writes within one interval.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RecoveryWriter::onTimer);
    RecordTable *table = &session.table();
    connect(table, &QAbstractItemModel::dataChanged, this, &RecoveryWriter::changed);
    connect(table, &QAbstractItemModel::rowsInserted, this, &RecoveryWriter::changed);
    connect(table, &QAbstractItemModel::rowsRemoved, this, &RecoveryWriter::changed);
    connect(table, &QAbstractItemModel::modelReset, this, &RecoveryWriter::changed);
}

RecoveryWriter::~RecoveryWriter()
{
    if (m_worker.joinable())
        m_worker.join();
}

void RecoveryWriter::setActive(bool active)
{
    m_active = active;
    if (!active) {
        m_timer.stop();
        m_dirty = false;
    }
}

void RecoveryWriter::changed()
{
    if (!m_active)
        return;
    m_dirty = true;
    if (m_timer.isActive())
        return;
    // The first change after a quiet second is written at the next turn of the event loop, so
    // the several signals of one edit make one write.
    const qint64 since = m_sinceWrite.isValid() ? m_sinceWrite.elapsed() : m_interval;
    m_timer.start(static_cast<int>(std::max<qint64>(0, m_interval - since)));
}

void RecoveryWriter::onTimer()
{
    if (!m_workerDone.load()) {
        m_timer.start(kBusyRetryMs);
        return;
    }
    joinWorker();
    if (m_dirty)
        startWrite();
}

void RecoveryWriter::startWrite()
{
    m_dirty = false;
    const QString dir = m_session.programDir();
    if (!m_session.modified()) {
        RecoveryFile::remove(dir);
        return;
    }
    m_sinceWrite.start();
    m_workerDone.store(false);
    m_worker = std::thread([this, dir, snapshot = RecoveryFile::take(m_session)] {
        try {
            RecoveryFile::write(dir, snapshot);
        } catch (const std::exception &error) {
            // Out of memory, mostly: told like any failed write, never ending the program.
            m_workerError = errorMessage(error);
        }
        m_workerDone.store(true);
        // Posted to this object's thread; the destructor joins before the object goes, so
        // the call is either delivered or discarded with the object.
        QMetaObject::invokeMethod(this, &RecoveryWriter::joinWorker, Qt::QueuedConnection);
    });
}

void RecoveryWriter::joinWorker()
{
    if (!m_worker.joinable())
        return;
    m_worker.join();
    const QString error = std::exchange(m_workerError, QString());
    if (error.isEmpty())
        Q_EMIT written();
    else
        Q_EMIT writeFailed(error);
}

void RecoveryWriter::flush()
{
    m_timer.stop();
    joinWorker();
    if (!m_dirty)
        return;
    startWrite();
    joinWorker();
}

void RecoveryWriter::discard()
{
    m_timer.stop();
    m_dirty = false;
    joinWorker();
    if (m_active)
        RecoveryFile::remove(m_session.programDir());
}
