#pragma once

#include "core/base/metrolaerror.h"

#include <atomic>

// The user's wish to stop long work (rendering a PDF page, finding rooms), shared between the
// window that shows the progress with "Отмена" and the core function working on another thread.
// The function looks at it where it can stop cleanly and then throws WorkCancelled; it never
// leaves half a result behind.
class WorkCancel
{
public:
    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }
    // Throws WorkCancelled when the work is to stop.
    void check() const;

private:
    std::atomic<bool> m_cancelled{false};
};

// Thrown by work that was told to stop; the window that asked for it already knows.
class WorkCancelled : public MetrolaError
{
public:
    WorkCancelled()
        : MetrolaError(QStringLiteral("Работа прервана"))
    {}
};

inline void WorkCancel::check() const
{
    if (cancelled())
        throw WorkCancelled();
}
