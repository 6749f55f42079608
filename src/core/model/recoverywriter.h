#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <thread>

class ProjectSession;

// Keeps the working folder's recovery copy in step with the session. Every change of records
// or captions calls changed(); the copy is then written at most once per interval, the last
// change always included. The session is copied on the calling thread (a few milliseconds at
// 100,000 records) and the bytes are built and written on a worker thread, so the window never
// waits for the disk. When the session holds no unsaved changes (just opened or saved) the
// copy is removed instead.
class RecoveryWriter : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultInterval = 1000;

    explicit RecoveryWriter(ProjectSession &session, int intervalMs = DefaultInterval,
                            QObject *parent = nullptr);
    // Waits for a write in progress; a pending change is not written (flush() first).
    ~RecoveryWriter() override;

    // The records or captions changed; the table's own signals call this too.
    void changed();
    // Writes a pending change now and waits until the copy is on disk: before anything that
    // could end the process.
    void flush();
    // A clean end: forgets a pending change and removes the copy.
    void discard();
    bool isPending() const { return m_dirty; }
    // While inactive the writer neither writes nor removes anything: a copy left by an earlier
    // run stays untouched until start-up has asked about it.
    void setActive(bool active);

Q_SIGNALS:
    // A write reached the disk.
    void written();
    void writeFailed(const QString &message);

private:
    void onTimer();
    void startWrite();
    // Joins a finished or running worker and reports its outcome.
    void joinWorker();

    ProjectSession &m_session;
    const int m_interval;
    QTimer m_timer;
    QElapsedTimer m_sinceWrite;
    bool m_dirty = false;
    bool m_active = true;
    std::thread m_worker;
    std::atomic<bool> m_workerDone{true};
    QString m_workerError; // written by the worker, read after the join
};
