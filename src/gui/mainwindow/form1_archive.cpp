#include "gui/mainwindow/form1.h"

#include "core/leases/leasebook.h"

#include "core/archive/projectarchive.h"
#include "core/model/recoverywriter.h"
#include "gui/records/form2.h"
#include "gui/widgets/colourswatch.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/piegauge.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// Lets the window repaint the gauge and stay responsive while a large archive is packed or
// unpacked; user input waits, so nothing can change the project meanwhile.
void keepResponsive()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

void Form1::ZipperTotalPercentDone(int percent)
{
    Gauge1->setProgress(percent);
    if (Gauge1->progress() >= 100)
        Gauge1->hide();
    keepResponsive();
}

void Form1::UnzipperTotalPercentDone(int percent)
{
    // Packing and unpacking show their progress alike.
    ZipperTotalPercentDone(percent);
}

void Form1::SpeedButton2Click()
{
    // The save dialog every time; the menu's plain save skips it for the archive in hand.
    guard([&] { saveProject(QString()); });
}

void Form1::SpeedButton3Click()
{
    guard([&] {
        const QString path = Dialogs::chooseFile(OpenDialog1);
        if (path.isEmpty() || !confirmDiscardChanges())
            return;
        openProjectArchive(path, OpenForm::Dialog);
    });
}

bool Form1::openProjectArchive(const QString &path, OpenForm form)
{
    const bool dialog = form == OpenForm::Dialog;
    ProjectArchive::OpenOptions options;
    options.applyCaptions = dialog;
    // Only plans are asked about; the full path tells which folder's copy would be lost.
    options.askReplace = [this](const QString &name) {
        const QString path = QDir::toNativeSeparators(m_session.programDir() + name);
        return Dialogs::message(this, Dialogs::Kind::Question, u"Файл уже существует"_s,
                                u"Заменить существующий файл «%1»?"_s.arg(path)) == QMessageBox::Yes;
    };
    options.progress = [this](int p) { UnzipperTotalPercentDone(p); };
    QString unpainted;
    options.unpaintedRecord = [&unpainted](const QString &message) { unpainted = message; };
    options.beforePlans = [this, dialog] {
        // The table is replaced now (not before: an archive that fails to open leaves the
        // project as it was). A new room waiting in the dialog and a running blink belong to
        // the project being left; both act on the old plan, still shown.
        m_form2->abandon();
        endPlanTools();
        Timer1->stop();
        BlinkCount = 1;
        for (int i = 0; i < Captions::Count; ++i)
            edt[static_cast<size_t>(i)]->setText(m_session.captions()[i]);
        if (dialog) {
            Gauge1->setProgress(0);
            Gauge1->show();
        }
    };
    ProjectArchive::OpenResult result;
    try {
        result = ProjectArchive::open(m_session, path, options);
    } catch (...) {
        Gauge1->hide();
        // The table may be the new project's already; a plain save must not put it into the
        // archive of the project left.
        m_session.archiveFile.clear();
        refreshTitle();
        // The PlanList may be the new project's already.
        fillTabs();
        refreshPlanView();
        throw;
    }
    Gauge1->hide();
    if (result != ProjectArchive::OpenResult::Opened) {
        if (result != ProjectArchive::OpenResult::NoDescription)
            m_session.archiveFile.clear();
        refreshTitle();
        fillTabs();
        const QString text = result == ProjectArchive::OpenResult::NoDescription
                                 ? ProjectArchive::descriptionMissingMessage()
                                 : ProjectArchive::plansMissingMessage();
        Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s, text);
        return false;
    }
    m_session.archiveFile = path;
    rememberArchive(path);
    refreshTitle();
    refreshPlanView();
    PlaceMainWindow();
    if (dialog) {
        applyFinishedLock();
        fillTabs();
        if (TabSet1->count() > 0) {
            TabSet1->setCurrentIndex(0);
            TabSet1Change(0);
        }
    }
    if (const QString reserved = ProjectArchive::reservedKeysMessage(m_session.table()); !reserved.isEmpty())
        Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s, reserved);
    Q_EMIT leasesChanged();
    if (const LeaseBook *leases = LeaseBook::in(m_session); leases && leases->isRefused()) {
        Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s,
                         u"Договоры проекта не загружены: %1 Остальной проект открыт; файл договоров "
                         "сохранится в архиве без изменений."_s.arg(leases->refusal()));
    }
    // Reported once the project is fully open, with every other room painted.
    if (!unpainted.isEmpty())
        showGeneralError(unpainted);
    return true;
}

bool Form1::confirmDiscardChanges()
{
    // What stands in the record dialog is no part of the project yet, so neither a save nor
    // the recovery copy would keep it: it is entered first, if the user wants it.
    if (m_form2->holdsUncommittedText()) {
        const auto answer = Dialogs::message(this, Dialogs::Kind::QuestionWithCancel, applicationTitle(),
                                             u"Запись в окне ввода не внесена в список. Внести её?"_s);
        if (answer == QMessageBox::Cancel)
            return false;
        if (answer == QMessageBox::Yes) {
            m_form2->Button2Click();
            // A commit that failed leaves the dialog open with the text in it.
            if (m_form2->holdsUncommittedText())
                return false;
        }
    }
    // The question comes before a close or another opening; the work is on disk before it.
    m_recovery->flush();
    // Without a plan shown there is nothing a save could write.
    if (!m_session.modified() || !m_session.hasPlan())
        return true;
    const auto answer = Dialogs::message(this, Dialogs::Kind::QuestionWithCancel, applicationTitle(),
                                         u"Сохранить изменения в архиве?"_s);
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::No)
        return true;
    SaveClick();
    // Only a completed save lets the user go on; a cancelled or failed one keeps the project.
    return !m_session.modified();
}

void Form1::applyFinishedLock()
{
    const bool finished = m_session.table().isFinished();
    m_form2->setFinishedLock(finished);
    for (QWidget *w :
         std::initializer_list<QWidget *>{Button2, Button1, Shape1, Shape2, SpeedButton1, Button4, Bevels[3]})
        w->setVisible(!finished);
    // The menu's ways to the hidden commands are locked with them.
    UndoAction->setEnabled(!finished);
    NewPlanAction->setEnabled(!finished);
    // Lines and accepted rooms would change the areas of a finished project.
    for (QWidget *w : std::initializer_list<QWidget *>{PrepareButton, FindRoomsButton, WallButton})
        w->setVisible(!finished);
    for (QAction *a : {PrepareAction, FindRoomsAction, WallAction})
        a->setEnabled(!finished);
    if (finished)
        endPlanTools();
    refreshPlanUndo();
}
