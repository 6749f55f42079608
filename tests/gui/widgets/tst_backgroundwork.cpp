// Long work off the window's thread: the window keeps handling events while it runs, "Отмена"
// gives control back at once, and the core's long steps (a PDF page, finding rooms) stop when
// told to.
#include "core/base/workcancel.h"
#include "core/plan/plansource.h"
#include "core/rooms/roomfinder.h"
#include "gui/widgets/backgroundwork.h"
#include "gui/widgets/dialogs.h"
#include "wallplan.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QPainter>
#include <QPdfWriter>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {

QProgressDialog *progressWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *p = qobject_cast<QProgressDialog *>(w); p && w->objectName() == u"WorkProgress"_s)
            return p;
    return nullptr;
}

// A page of many short strokes: cheap to write, slow to render.
void writeBusyPdf(const QString &path, int strokes)
{
    QPdfWriter writer(path);
    writer.setResolution(72);
    QPainter painter(&writer);
    for (int i = 0; i < strokes; ++i)
        painter.drawLine(QPointF(i % 500, (i / 500) % 700), QPointF(i % 500 + 3.5, (i / 500) % 700 + 2.5));
}

} // namespace

class TestBackgroundWork : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Dialogs::setResponder({}); }

    // The window's thread keeps turning while the work runs, and the result arrives.
    void workRunsOffTheWindowsThread()
    {
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
        timer.start(10);
        Qt::HANDLE workThread = nullptr;
        const std::optional<int> result =
            BackgroundWork::compute<int>(nullptr, u"t"_s, u"t"_s, [&](const WorkCancel &) {
                workThread = QThread::currentThreadId();
                QThread::msleep(300);
                return 42;
            });
        QCOMPARE(result, std::optional<int>(42));
        QVERIFY(workThread != QThread::currentThreadId());
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    }

    // "Отмена" in the progress window ends the wait at once; the work is told to stop.
    void cancelEndsTheWait()
    {
        auto stopped = std::make_shared<std::atomic<bool>>(false);
        bool shown = false;
        QTimer::singleShot(700, this, [&shown] {
            QProgressDialog *progress = progressWindow();
            shown = progress && progress->isVisible();
            const auto buttons = progress ? progress->findChildren<QPushButton *>() : QList<QPushButton *>();
            for (QPushButton *b : buttons)
                if (b->text() == u"Отмена"_s)
                    b->click();
        });
        QElapsedTimer clock;
        clock.start();
        const bool done =
            BackgroundWork::run(nullptr, u"Найти комнаты"_s, u"Поиск"_s, [stopped](const WorkCancel &cancel) {
                QElapsedTimer limit;
                limit.start();
                while (!cancel.cancelled() && limit.elapsed() < 10000)
                    QThread::msleep(5);
                *stopped = true;
            });
        QVERIFY(shown);
        QVERIFY(!done);
        QVERIFY(clock.elapsed() < 5000);
        QTRY_VERIFY(stopped->load());
    }

    // An error of the work reaches the window's thread as it was.
    void errorsComeBack()
    {
        QVERIFY_THROWS_EXCEPTION(
            MetrolaError, BackgroundWork::run(nullptr, u"t"_s, u"t"_s,
                                              [](const WorkCancel &) { throw MetrolaError(u"нет"_s); }));
    }

    // The core's long steps stop when told: a PDF page mid-render, rooms between stages.
    void coreStepsStopWhenTold()
    {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(u"busy.pdf"_s);
        writeBusyPdf(pdf, 20000);
        WorkCancel cancel;
        cancel.cancel();
        QVERIFY_THROWS_EXCEPTION(WorkCancelled, PlanSource::load(pdf, 1, 200, &cancel));
        // Not told: the page renders.
        QVERIFY(!PlanSource::load(pdf, 1, 72).isNull());

        RoomFinder::Options options;
        options.cancel = &cancel;
        const QImage plan = WallPlan::draw({200, 200}, {QRect(10, 10, 180, 4), QRect(10, 186, 180, 4),
                                                        QRect(10, 10, 4, 180), QRect(186, 10, 4, 180)});
        QVERIFY_THROWS_EXCEPTION(WorkCancelled, RoomFinder::find(plan, options));
    }

    // Item 18: a dialog's title is not cut by a narrow frame.
    void titleFits()
    {
        QInputDialog dialog;
        dialog.setWindowTitle(u"Добавление нового поэтажного плана"_s);
        Dialogs::fitTitle(&dialog);
        QVERIFY(dialog.minimumWidth() > dialog.fontMetrics().horizontalAdvance(dialog.windowTitle()));
    }
};

QTEST_MAIN(TestBackgroundWork)
#include "tst_backgroundwork.moc"
