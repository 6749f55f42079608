// Saving to the archive in hand, the recent archives, the window title, dropped files and the
// few settings kept per user (the recent list, the maximised state, the grid's height).
#include "gui/mainwindow/form1.h"

#include "core/archive/projectarchive.h"
#include "core/model/recoverywriter.h"
#include "core/plan/plansource.h"
#include "gui/records/form2.h"
#include "gui/reports/summarywindow.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/piegauge.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QString kRecentKey = u"recent"_s;

bool isArchive(const QString &path)
{
    return QFileInfo(path).suffix().compare(u"zip"_s, Qt::CaseInsensitive) == 0;
}

// The plans "Новый План" takes: bitmaps, pictures and PDF pages.
QStringList localFiles(const QMimeData *data)
{
    QStringList paths;
    if (!data)
        return paths;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile() && (isArchive(url.toLocalFile()) || PlanSource::hasPlanSuffix(url.toLocalFile())))
            paths.append(url.toLocalFile());
    return paths;
}

} // namespace

QSettings Form1::settings()
{
    return QSettings(QSettings::UserScope, u"metrola"_s, u"metrola"_s);
}

void Form1::SaveClick()
{
    guard([&] { saveProject(m_session.archiveFile); });
}

void Form1::SaveAsClick()
{
    SpeedButton2Click();
}

void Form1::saveProject(QString path)
{
    if (!m_session.hasPlan())
        return;
    m_session.plans().rebuildKeepingUnrecorded(m_session.table());
    fillTabs();
    if (path.isEmpty()) {
        // The dialog offers the archive in hand, so saving it again is one Enter away.
        if (!m_session.archiveFile.isEmpty())
            SaveDialog1->selectFile(m_session.archiveFile);
        path = Dialogs::chooseFile(SaveDialog1);
        if (path.isEmpty())
            return;
    }
    QString keptAside;
    if (!checkSaveTarget(path, &keptAside))
        return;
    Gauge1->setProgress(0);
    Gauge1->show();
    int packed = 0;
    try {
        packed = ProjectArchive::save(m_session, path, [this](int p) { ZipperTotalPercentDone(p); });
    } catch (...) {
        Gauge1->hide();
        throw;
    }
    Gauge1->hide();
    // Saving drops the flags of rooms gone since; the summary stops announcing it.
    if (Summary)
        Summary->scheduleRefresh();
    if (packed < 1) {
        Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s, ProjectArchive::notPackedMessage());
        return;
    }
    m_recovery->discard();
    m_session.archiveFile = path;
    m_shared.saved(path, m_session.table().rows());
    m_shared.plansSaved(addedPlanPaths());
    rememberArchive(path);
    applyReadOnly();
    if (!keptAside.isEmpty())
        Dialogs::message(
            this, Dialogs::Kind::Information, u"Архив сохранён"_s,
            u"Архив «%1» заменён вашей версией. Версия, которую сохранил другой пользователь, "
            u"сохранена рядом: «%2»."_s.arg(QFileInfo(path).fileName(), QDir::toNativeSeparators(keptAside)));
}

void Form1::openRecent(const QString &path)
{
    guard([&] {
        if (!QFileInfo(path).isFile()) {
            forgetArchive(path);
            Dialogs::message(
                this, Dialogs::Kind::Warning, u"Ошибка"_s,
                u"Архив «%1» не найден; он убран из списка недавних."_s.arg(QDir::toNativeSeparators(path)));
            return;
        }
        if (!confirmDiscardChanges())
            return;
        openProjectArchive(path, OpenForm::Dialog);
    });
}

void Form1::rememberArchive(const QString &path)
{
    m_recent.add(path);
    settings().setValue(kRecentKey, m_recent.paths());
    refreshRecentMenu();
}

void Form1::forgetArchive(const QString &path)
{
    m_recent.remove(path);
    settings().setValue(kRecentKey, m_recent.paths());
    refreshRecentMenu();
}

void Form1::refreshRecentMenu()
{
    RecentMenu->clear();
    for (int i = 0; i < m_recent.paths().size(); ++i) {
        const QString path = m_recent.paths()[i];
        QAction *a = RecentMenu->addAction(u"&%1 %2"_s.arg(i + 1).arg(QFileInfo(path).fileName()));
        a->setToolTip(QDir::toNativeSeparators(path));
        a->setData(path);
        connect(a, &QAction::triggered, this, [this, path] { openRecent(path); });
    }
    RecentMenu->setToolTipsVisible(true);
    RecentMenu->setEnabled(!m_recent.paths().isEmpty());
}

void Form1::refreshTitle()
{
    QString title = windowCaption();
    if (!m_session.archiveFile.isEmpty())
        title += u" — "_s + QFileInfo(m_session.archiveFile).fileName();
    if (readOnly())
        title += u" (только чтение)"_s;
    setWindowTitle(title + u"[*]"_s);
    setWindowModified(m_session.modified());
}

void Form1::dragEnterEvent(QDragEnterEvent *event)
{
    m_draggedFiles = localFiles(event->mimeData());
    if (!m_draggedFiles.isEmpty())
        event->acceptProposedAction();
}

void Form1::dragMoveEvent(QDragMoveEvent *event)
{
    // Told at every move, or the dragging program may take the drop as refused.
    if (!m_draggedFiles.isEmpty())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent *event)
{
    // Some dragging programs hand the data over only once, when the drag enters.
    QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty())
        paths = m_draggedFiles;
    m_draggedFiles.clear();
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    // After the drop is over: the opening may ask questions, and the program the files came
    // from waits for the drop to end.
    QTimer::singleShot(0, this, [this, paths] { openDroppedFiles(paths); });
}

void Form1::openDroppedFiles(const QStringList &paths)
{
    // One project at a time: the first archive is opened, then the images join it as plans.
    const auto archive = std::find_if(paths.begin(), paths.end(), isArchive);
    if (archive != paths.end()) {
        bool opened = false;
        guard([&] {
            if (confirmDiscardChanges())
                opened = openProjectArchive(*archive, OpenForm::Dialog);
        });
        if (!opened)
            return;
    }
    // A finished project takes no new plans: its "Новый План" is hidden; nor does a read-only one.
    if (m_session.table().isFinished() || readOnly())
        return;
    for (const QString &path : paths)
        if (!isArchive(path))
            guard([&] { addPlanFile(path); });
}

void Form1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isVisible())
        settings().setValue(u"maximized"_s, isMaximized());
}

void Form1::newProjectClick()
{
    guard([&] {
        if (!confirmDiscardChanges())
            return;
        // What belongs to the project left: a room waiting in the dialog, the blink, the
        // proposals, what could be taken back.
        m_form2->abandon();
        endPlanTools();
        Timer1->stop();
        BlinkCount = 1;
        m_preparedUndo.reset();
        m_session.table().replaceRows({});
        m_session.plans().clear();
        m_session.planPaths() = PlanPathTable();
        m_session.captions() = Captions::defaults();
        m_session.scales() = PlanScales();
        m_session.roomFlags() = RoomFlags();
        m_session.setShownPlan(QImage(), ProjectSession::noPlan());
        m_session.archiveFile.clear();
        m_session.lastArchive.clear();
        m_session.history().clear();
        for (int i = 0; i < Captions::Count; ++i)
            edt[static_cast<size_t>(i)]->setText(m_session.captions()[i]);
        refreshDialogCaptions();
        applyFinishedLock();
        fillTabs();
        refreshPlanView();
        Q_EMIT scalesChanged();
        Q_EMIT roomFlagsChanged();
        m_session.setModified(false);
        // The recovery copy of the project left goes; the new one has nothing to keep yet.
        recovery().discard();
        refreshTitle();
    });
}
