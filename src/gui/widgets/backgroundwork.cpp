#include "gui/widgets/backgroundwork.h"

#include "gui/widgets/dialogs.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>

#include <exception>

using namespace Qt::StringLiterals;

namespace BackgroundWork {

namespace {

// Shared by the window's side and the thread, which may outlive the call after "Отмена".
struct State
{
    WorkCancel cancel;
    std::exception_ptr error;
};

} // namespace

bool run(QWidget *parent, const QString &title, const QString &text,
         std::function<void(const WorkCancel &)> work)
{
    auto state = std::make_shared<State>();
    QThread *thread = QThread::create([state, work = std::move(work)] {
        try {
            work(state->cancel);
        } catch (...) {
            state->error = std::current_exception();
        }
    });
    QProgressDialog progress(text, u"Отмена"_s, 0, 0, parent);
    progress.setObjectName(u"WorkProgress"_s);
    progress.setWindowTitle(title);
    Dialogs::fitTitle(&progress);
    // Nothing else may change the project meanwhile; the windows still paint.
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(400);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    QEventLoop loop;
    bool cancelled = false;
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] {
        cancelled = true;
        state->cancel.cancel();
        loop.quit();
    });
    thread->start();
    progress.setValue(0);
    if (!thread->isFinished())
        loop.exec(QEventLoop::AllEvents);
    if (cancelled && !thread->isFinished()) {
        // Left to end by itself: it deletes its thread object when done.
        QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        return false;
    }
    thread->wait();
    delete thread;
    if (cancelled)
        return false;
    if (state->error) {
        try {
            std::rethrow_exception(state->error);
        } catch (const WorkCancelled &) {
            return false;
        }
    }
    return true;
}

} // namespace BackgroundWork
