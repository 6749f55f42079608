// Colleagues on one archive in a shared folder: the lock beside it, read-only opening, a copy,
// and saves that never throw away what someone else saved meanwhile.

#include "gui/mainwindow/form1.h"

#include "core/base/metrolaerror.h"
#include "gui/records/form2.h"
#include "gui/reports/portfoliowindow.h"
#include "gui/reports/summarywindow.h"
#include "gui/widgets/colourswatch.h"
#include "gui/widgets/dialogs.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString nameOf(const QString &path)
{
    return QFileInfo(path).fileName();
}

// "план (копия).zip" beside the given folder's other files.
QString variantName(const QString &folder, const QString &archive, const QString &word)
{
    const QFileInfo info(archive);
    return folder + u'/' + info.completeBaseName() + u" ("_s + word + u")."_s +
           (info.suffix().isEmpty() ? u"zip"_s : info.suffix());
}

} // namespace

bool Form1::claimArchive(QString &path, std::unique_ptr<ArchiveLock> &lock, bool &readOnly)
{
    readOnly = false;
    // Opening the archive this window holds again keeps its lock.
    if (m_shared.isOpenArchive(path) && m_shared.lock()) {
        lock = m_shared.takeLock();
        return true;
    }
    for (;;) {
        auto taken = std::make_unique<ArchiveLock>();
        ArchiveLock::Found found;
        if (taken->take(path, &found)) {
            lock = std::move(taken);
            return true;
        }
        // A folder nobody may write in (the installed demo, a read-only share) needs no lock:
        // no one can save over the archive there, so it opens as always, unasked.
        if (found.state == ArchiveLock::State::Free && !QFileInfo(QFileInfo(path).absolutePath()).isWritable())
            return true;
        const QString archive = nameOf(path);
        const QString who = ArchiveLock::describe(found.owner);
        QString text;
        QStringList buttons;
        enum class Answer { ReadOnly, Copy, TakeOver, Cancel };
        std::vector<Answer> answers;
        switch (found.state) {
        case ArchiveLock::State::Held:
            text = u"Архив «%1» уже открыт: %2.\n\nЕсли оба сохранят свои изменения, одни перезапишут "
                   u"другие. Откройте архив только для чтения (отчёты доступны, изменить ничего "
                   u"нельзя) или откройте его копию и работайте в ней."_s.arg(archive, who);
            buttons = {u"Только для чтения"_s, u"Открыть копию…"_s, u"Отмена"_s};
            answers = {Answer::ReadOnly, Answer::Copy, Answer::Cancel};
            break;
        case ArchiveLock::State::Stale:
            text = u"Архив «%1» помечен как открытый: %2. Похоже, та работа завершилась, не закрыв "
                   u"архив: %3.\n\nЕсли вы уверены, что сейчас архив никто не правит, снимите "
                   u"блокировку."_s.arg(archive, who, found.reason);
            buttons = {u"Снять блокировку и открыть"_s, u"Только для чтения"_s, u"Отмена"_s};
            answers = {Answer::TakeOver, Answer::ReadOnly, Answer::Cancel};
            break;
        case ArchiveLock::State::NotAFile:
            text = u"Рядом с архивом «%1» под именем файла блокировки «%2» лежит %3. Программа не "
                   u"трогает его и не может отметить, что архив открыт у вас.\n\nОткройте архив "
                   u"только для чтения или откройте его копию."_s.arg(archive, nameOf(found.lockPath),
                                                                      found.reason);
            buttons = {u"Только для чтения"_s, u"Открыть копию…"_s, u"Отмена"_s};
            answers = {Answer::ReadOnly, Answer::Copy, Answer::Cancel};
            break;
        default:
            text = u"Не удалось отметить, что архив «%1» открыт у вас: файл блокировки «%2» не "
                   u"создан (%3).\n\nОткройте архив только для чтения или откройте его копию."_s.arg(
                       archive, shown(found.lockPath), found.reason);
            buttons = {u"Только для чтения"_s, u"Открыть копию…"_s, u"Отмена"_s};
            answers = {Answer::ReadOnly, Answer::Copy, Answer::Cancel};
            break;
        }
        const int pressed = Dialogs::choose(this, u"Архив уже открыт"_s, text, buttons, buttons.size() - 1);
        const Answer answer = pressed < 0 ? Answer::Cancel : answers[static_cast<size_t>(pressed)];
        switch (answer) {
        case Answer::Cancel:
            return false;
        case Answer::ReadOnly:
            lock.reset();
            readOnly = true;
            return true;
        case Answer::TakeOver:
            if (taken->takeOverStale(path, found, &found)) {
                lock = std::move(taken);
                return true;
            }
            continue; // someone took it meanwhile: asked again, with their name
        case Answer::Copy: {
            QFileDialog dialog(this, u"Куда сохранить копию архива"_s);
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setNameFilter(u"архивы ZIP (*.zip)"_s);
            dialog.setDefaultSuffix(u"zip"_s);
            dialog.selectFile(variantName(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                                          path, u"копия"_s));
            const QString copy = Dialogs::chooseFile(&dialog);
            if (copy.isEmpty())
                continue;
            if (QFileInfo(copy).absoluteFilePath() == QFileInfo(path).absoluteFilePath()) {
                Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s,
                                 u"Копия должна называться иначе, чем сам архив."_s);
                continue;
            }
            SharedArchive::copyFile(path, copy);
            path = copy;
            continue; // the copy's lock is taken like any archive's
        }
        }
    }
}

QStringList Form1::addedPlanPaths() const
{
    PlanList recorded;
    recorded.rebuild(m_session.table());
    QStringList paths;
    for (const QString &plan : recorded.names())
        if (m_session.planPaths().planFileIndex(plan) > 0)
            paths << m_session.planPaths().planFilePath(m_session.programDir(), plan);
    return paths;
}

bool Form1::checkSaveTarget(QString &path, QString *keptAside)
{
    const auto rows = m_session.table().rows();
    // Plans added from a shared folder are packed from there: one a colleague redrew meanwhile
    // goes into the archive as it is now, which the user should know before it does.
    if (const QStringList changed = m_shared.changedPlans(addedPlanPaths()); !changed.isEmpty()) {
        QStringList named;
        for (const QString &plan : changed)
            named << u"«%1»"_s.arg(shown(plan));
        const QString text =
            u"После того как вы добавили планы, их изменили на диске (или удалили): %1.\n\nВ архив войдут "
            u"планы в нынешнем виде; помещения, отмеченные на прежних, могут лечь на них иначе — "
            u"проверьте их после сохранения."_s.arg(named.join(u", "_s));
        if (Dialogs::choose(this, u"План изменён другим пользователем"_s, text,
                            {u"Сохранить с нынешними планами"_s, u"Отмена"_s}, 1)
            != 0)
            return false;
    }
    for (;;) {
        if (m_shared.isOpenArchive(path)) {
            if (m_shared.readOnly()) {
                Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s,
                                 u"Архив «%1» открыт только для чтения: его правит другой пользователь. "
                                 u"Сохраните свои изменения под другим именем."_s.arg(nameOf(path)));
            } else {
                const auto diff = m_shared.outsideChange(rows);
                if (!diff)
                    return true;
                const QString text =
                    u"Архив «%1» изменён на диске после того, как вы его открыли: его сохранил кто-то "
                    u"другой.\n\n%2\nСохраните свои изменения под другим именем или замените архив "
                    u"своей версией. При замене версия с диска не пропадёт: она сохраняется рядом, "
                    u"в файл «%3 (версия от …)»."_s.arg(nameOf(path), diff->text(),
                                                        QFileInfo(path).completeBaseName());
                const int pressed = Dialogs::choose(
                    this, u"Архив изменён другим пользователем"_s, text,
                    {u"Сохранить под другим именем…"_s, u"Заменить их версию"_s, u"Отмена"_s}, 2);
                if (pressed == 1) {
                    *keptAside = SharedArchive::keepAside(path);
                    return true;
                }
                if (pressed != 0)
                    return false;
            }
            SaveDialog1->selectFile(variantName(QFileInfo(path).absolutePath(), path, u"мои изменения"_s));
            path = Dialogs::chooseFile(SaveDialog1);
            if (path.isEmpty())
                return false;
            continue;
        }
        // Another archive in use by someone is not overwritten either.
        if (QFileInfo::exists(path)) {
            const ArchiveLock::Found found = ArchiveLock::inspect(path);
            if (found.state == ArchiveLock::State::Held || found.state == ArchiveLock::State::NotAFile) {
                const QString why = found.state == ArchiveLock::State::Held
                                        ? u"его открыл %1"_s.arg(ArchiveLock::describe(found.owner))
                                        : u"рядом с ним вместо файла блокировки лежит %1"_s.arg(found.reason);
                Dialogs::message(
                    this, Dialogs::Kind::Warning, u"Ошибка"_s,
                    u"Архив «%1» не перезаписан: %2. Выберите другое имя."_s.arg(nameOf(path), why));
                path = Dialogs::chooseFile(SaveDialog1);
                if (path.isEmpty())
                    return false;
                continue;
            }
        }
        return true;
    }
}

void Form1::applyReadOnly()
{
    const bool locked = readOnly();
    m_form2->setReadOnly(locked);
    for (QWidget *w : std::initializer_list<QWidget *>{Button2, Button1, Shape1, Shape2, SpeedButton1,
                                                       Button4, PrepareButton, FindRoomsButton, WallButton,
                                                       BitBtn1, BitBtn2, ScaleButton})
        w->setEnabled(!locked);
    for (QLineEdit *e : edt)
        e->setReadOnly(locked);
    if (Summary)
        Summary->setReadOnly(locked);
    if (locked) {
        endPlanTools();
        for (QAction *a :
             {UndoAction, NewPlanAction, PrepareAction, FindRoomsAction, WallAction, UndoPlanAction})
            a->setEnabled(false);
    } else if (m_readOnlyApplied) {
        // The finished lock decides about these, as before the project was read-only.
        const bool finished = m_session.table().isFinished();
        for (QAction *a : {UndoAction, NewPlanAction, PrepareAction, FindRoomsAction, WallAction})
            a->setEnabled(!finished);
        refreshPlanUndo();
    }
    m_readOnlyApplied = locked;
    if (!m_lockToucher) {
        m_lockToucher = new QTimer(this);
        m_lockToucher->setInterval(static_cast<int>(ArchiveLock::kTouchSeconds * 1000));
        connect(m_lockToucher, &QTimer::timeout, this, [this] { m_shared.touch(); });
    }
    if (m_shared.lock())
        m_lockToucher->start();
    else
        m_lockToucher->stop();
    refreshTitle();
}

void Form1::showPortfolio()
{
    guard([&] {
        QFileDialog dialog(this, u"Папка с архивами комплексов"_s);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        const QString current = m_session.archiveFile.isEmpty()
                                    ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                                    : QFileInfo(m_session.archiveFile).absolutePath();
        dialog.setDirectory(current);
        const QString folder = Dialogs::chooseFile(&dialog);
        if (folder.isEmpty())
            return;
        if (!PortfolioView) {
            // A window of its own, like the summary; ~Form1 deletes it.
            PortfolioView = new PortfolioWindow();
            connect(PortfolioView, &PortfolioWindow::archiveActivated, this, [this](const QString &path) {
                guard([&] {
                    raise();
                    activateWindow();
                    if (confirmDiscardChanges())
                        openProjectArchive(path, OpenForm::Dialog);
                });
            });
        }
        // Complexes are often kept a folder each: the subfolders are read too.
        PortfolioView->load(folder, true);
        PortfolioView->showBeside(*this);
    });
}
