#include "gui/mainwindow/form1.h"

#include "core/archive/projectarchive.h"
#include "core/model/recoveryfile.h"
#include "core/model/recoverywriter.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/piegauge.h"

#include <QFileInfo>
#include <QLineEdit>

using namespace Qt::StringLiterals;

void Form1::setupRecovery()
{
    m_recovery = std::make_unique<RecoveryWriter>(m_session);
    // Start-up asks about an earlier run's copy first.
    m_recovery->setActive(false);
    connect(m_recovery.get(), &RecoveryWriter::writeFailed, this, [this](const QString &message) {
        // Once until a write succeeds again: a full disk should not raise a box per keystroke.
        if (std::exchange(m_recoveryFailureShown, true))
            return;
        Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s,
                         message + u". Работа продолжается, но её копия на случай сбоя не обновлена; "
                                   u"сохраните работу в архив."_s);
    });
    connect(m_recovery.get(), &RecoveryWriter::written, this, [this] { m_recoveryFailureShown = false; });
    // Scales and the tolerance are unsaved work as much as the records are.
    connect(this, &Form1::scalesChanged, m_recovery.get(), &RecoveryWriter::changed);
    connect(this, &Form1::roomFlagsChanged, m_recovery.get(), &RecoveryWriter::changed);
}

bool Form1::offerRecovery()
{
    const QString dir = m_session.programDir();
    bool recovered = false;
    guard([&] {
        if (!RecoveryFile::exists(dir))
            return;
        const QString when = RecoveryFile::writtenAt(dir).toString(u"dd.MM.yyyy HH:mm"_s);
        const auto answer = Dialogs::message(this, Dialogs::Kind::Question, applicationTitle(),
                                             u"Найдена несохранённая работа от %1. Восстановить?"_s.arg(when));
        if (answer != QMessageBox::Yes) {
            RecoveryFile::setAside(dir);
            return;
        }
        ProjectArchive::Restored restored;
        Gauge1->setProgress(0);
        Gauge1->show();
        try {
            restored = ProjectArchive::restore(m_session, RecoveryFile::read(dir),
                                              [this](int p) { UnzipperTotalPercentDone(p); });
        } catch (...) {
            Gauge1->hide();
            // A copy that cannot be used is kept for the user, and not offered again.
            try {
                RecoveryFile::setAside(dir);
            } catch (const MetrolaError &) {
            }
            throw;
        }
        Gauge1->hide();
        recovered = true;
        // The recovered work belongs to the archive it was opened from; a plain save goes there.
        if (!m_session.lastArchive.isEmpty() && QFileInfo(m_session.lastArchive).isFile())
            m_session.archiveFile = m_session.lastArchive;
        refreshTitle();
        for (int i = 0; i < Captions::Count; ++i)
            edt[static_cast<size_t>(i)]->setText(m_session.captions()[i]);
        refreshDialogCaptions();
        refreshPlanView();
        if (m_session.hasPlan())
            PlaceMainWindow();
        applyFinishedLock();
        fillTabs();
        if (!restored.droppedPaths.isEmpty()) {
            Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s,
                             u"Копия несохранённой работы называет планы, которые не являются рисунками BMP; "
                             u"они не взяты: "_s + restored.droppedPaths.join(u", "_s) + u'.');
        }
        if (!restored.missingPlans.isEmpty()) {
            Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s,
                             ProjectArchive::plansMissingMessage() + u" Не найдены: "_s
                                 + restored.missingPlans.join(u", "_s) + u'.');
        }
        refreshPlanRect(m_session.repaintPlanRooms());
    });
    m_recovery->setActive(true);
    // The copy now also names the plans this run extracted.
    if (recovered)
        m_recovery->changed();
    return recovered;
}

void Form1::endRecovery()
{
    // With no plan shown no save could take the records, so no question was asked: they are
    // kept aside rather than lost.
    if (m_session.modified() && !m_session.hasPlan() && m_session.table().recordCount() > 0) {
        m_recovery->changed();
        m_recovery->flush();
        guard([&] { RecoveryFile::setAside(m_session.programDir()); });
        return;
    }
    m_recovery->discard();
}
