// Plans in other forms and their preparation: "Новый План" for PNG, JPEG, TIFF and PDF files,
// the offer to prepare a plan that is not black and white, and "Подготовить план".
#include "gui/mainwindow/form1.h"

#include "core/model/descriptionfile.h"
#include "core/model/planimport.h"
#include "core/model/recoverywriter.h"
#include "core/plan/planimage.h"
#include "core/plan/plansource.h"
#include "core/rooms/planpreparation.h"
#include "gui/widgets/busycursor.h"
#include "gui/widgets/dialogs.h"

#include <QApplication>
#include <QFileInfo>
#include <QFrame>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

std::optional<int> askNumber(QWidget *parent, const QString &label, int initial, int low, int high)
{
    const std::optional<QString> text =
        Dialogs::askText(parent, u"Добавление нового поэтажного плана"_s, label, QString::number(initial));
    if (!text)
        return std::nullopt;
    bool ok = false;
    const int value = text->trimmed().toInt(&ok);
    if (!ok || value < low || value > high) {
        Dialogs::message(
            parent, Dialogs::Kind::Warning, u"Ошибка"_s,
            u"«%1» — не целое число от %2 до %3. План не добавлен."_s.arg(*text).arg(low).arg(high));
        return std::nullopt;
    }
    return value;
}

std::optional<QChar> unholdable(const QString &name)
{
    return DescriptionFile::firstUnholdable(name);
}

} // namespace

void Form1::buildPrepareButton()
{
    // Free space of the tool panel, right of the grid's move buttons.
    PrepareButton = new QPushButton(u"Подготовить"_s, Panel1);
    PrepareButton->setObjectName(u"PrepareButton"_s);
    PrepareButton->setToolTip(u"Сделать пол плана белым, а стены чёрными, чтобы заливка помещений "
                              u"не останавливалась на шуме и полутонах"_s);
    PrepareButton->setGeometry(px(772), px(44), px(88), px(28));
    connect(PrepareButton, &QPushButton::clicked, this, &Form1::PrepareButtonClick);
}

bool Form1::askOtherPlanName(QString &name)
{
    const std::optional<QString> other = Dialogs::askText(this, u"Новый План"_s, u"Имя плана (файл BMP):"_s,
                                                          PlanImport::freeName(m_session, name));
    if (!other || other->trimmed().isEmpty())
        return false;
    name = other->trimmed();
    if (!name.endsWith(u".bmp"_s, Qt::CaseInsensitive))
        name += u".bmp"_s;
    if (QFileInfo(name).fileName() != name) {
        Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s,
                         u"Имя плана «%1» не должно содержать папок. План не добавлен."_s.arg(name));
        return false;
    }
    return true;
}

void Form1::addConvertedPlan(const QString &path)
{
    int page = 1;
    int dpi = PlanSource::kDefaultDpi;
    if (PlanSource::kindOf(path) == PlanSource::Kind::Pdf) {
        const int pages = PlanSource::pdfPageCount(path);
        if (pages > 1) {
            const auto chosen =
                askNumber(this, u"Страница документа (от 1 до %1):"_s.arg(pages), 1, 1, pages);
            if (!chosen)
                return;
            page = *chosen;
        }
        const auto chosen = askNumber(
            this,
            u"Разрешение, точек на дюйм (от %1 до %2):"_s.arg(PlanSource::kMinDpi).arg(PlanSource::kMaxDpi),
            PlanSource::kDefaultDpi, PlanSource::kMinDpi, PlanSource::kMaxDpi);
        if (!chosen)
            return;
        dpi = *chosen;
    }
    QImage image;
    {
        const BusyCursor busy;
        image = PlanSource::load(path, page, dpi);
    }

    QString name = PlanSource::bmpNameFor(path);
    while (true) {
        if (const auto c = unholdable(name)) {
            Dialogs::message(
                this, Dialogs::Kind::Warning, u"Ошибка"_s,
                u"Имя плана «%1» содержит символ «%2», который нельзя сохранить в описании проекта. "
                u"План не добавлен: переименуйте файл и добавьте его снова."_s.arg(name, *c));
            return;
        }
        if (!PlanImport::nameTaken(m_session, name))
            break;
        // The program's own working file would overwrite the plan or be packed in its place.
        if (PlanImport::isWorkingFileName(name)) {
            const auto rename =
                Dialogs::message(this, Dialogs::Kind::Question, u"Новый План"_s,
                                 u"Имя «%1» занято рабочим файлом программы, план под ним не сохранить. "
                                 u"Дать плану другое имя?"_s.arg(name));
            if (rename != QMessageBox::Yes)
                return;
            if (!askOtherPlanName(name))
                return;
            continue;
        }
        const auto answer = Dialogs::message(
            this, Dialogs::Kind::QuestionWithCancel, u"Новый План"_s,
            u"План «%1» уже есть в проекте или в рабочей папке. Заменить его новым?\n"
            u"Да — заменить, Нет — сохранить под другим именем, Отмена — не добавлять."_s.arg(name));
        if (answer == QMessageBox::Yes)
            break;
        if (answer != QMessageBox::No)
            return;
        if (!askOtherPlanName(name))
            return;
    }

    const QString stored = PlanImport::store(m_session, image, name);
    m_session.showPlanFile(stored, name);
    if (m_session.plans().indexOf(name) == 0) {
        m_session.plans().add(name);
        fillTabs();
    }
    refreshPlanView();
    repaintRooms();
    PlaceMainWindow(true);
    offerPreparation();
}

void Form1::offerPreparation()
{
    if (!m_session.hasPlan() || PlanPreparation::isClean(m_session.planImage()))
        return;
    preparePlanShown(
        u"На плане больше двух цветов: полутона, шум сжатия, цветные пометки. Заливка помещения "
        u"остановится на них. Подготовленный план — белый пол и чёрные стены — размечается одним "
        u"щелчком."_s);
}

bool Form1::preparePlanShown(const QString &reason)
{
    const QString plan = m_session.currentPlan();
    const QString file = m_session.planPaths().planFilePath(m_session.programDir(), plan);
    // The plan as stored: the one shown wears the rooms' colours, which would become walls.
    const QImage source = PlanImage::loadBmp(file);
    const std::optional<QImage> prepared = Dialogs::preparePlan(this, source, reason);
    if (!prepared)
        return false;
    const int slot = m_session.planPaths().planFileIndex(plan);
    PreparedUndo undo{plan, source, slot > 0 ? m_session.planPaths().path(slot) : QString()};
    const BusyCursor busy;
    const QString stored = PlanImport::store(m_session, *prepared, plan);
    m_preparedUndo = std::move(undo);
    // The lines drawn before are part of the plan prepared now; their pixels are gone.
    closeProposals();
    m_planEdits.clear();
    refreshPlanUndo();
    m_session.showPlanFile(stored, plan);
    m_session.setModified(true);
    recovery().changed();
    refreshPlanView();
    repaintRooms();
    return true;
}

void Form1::PrepareButtonClick()
{
    guard([&] {
        if (!m_session.hasPlan())
            return;
        // A save (or an opening) ends what can be undone.
        if (m_preparedUndo && !m_session.modified())
            m_preparedUndo.reset();
        if (m_preparedUndo && m_preparedUndo->plan == m_session.currentPlan()) {
            const auto answer =
                Dialogs::message(this, Dialogs::Kind::QuestionWithCancel, u"Подготовить план"_s,
                                 u"План «%1» уже подготовлен. Вернуть его к виду до подготовки?\n"
                                 u"Да — вернуть, Нет — подготовить заново, Отмена — оставить как есть."_s.arg(
                                     m_preparedUndo->plan));
            if (answer == QMessageBox::Cancel)
                return;
            if (answer == QMessageBox::Yes) {
                const PreparedUndo undo = std::move(*m_preparedUndo);
                m_preparedUndo.reset();
                closeProposals();
                m_planEdits.clear();
                refreshPlanUndo();
                if (undo.addedFrom.isEmpty()) {
                    m_session.showPlanFile(PlanImport::store(m_session, undo.before, undo.plan), undo.plan);
                } else {
                    m_session.planPaths().addPlanFile(undo.addedFrom);
                    m_session.showPlanFile(undo.addedFrom, undo.plan);
                }
                m_session.setModified(true);
                recovery().changed();
                refreshPlanView();
                repaintRooms();
                return;
            }
        }
        preparePlanShown(
            PlanPreparation::isClean(m_session.planImage())
                ? u"План уже чёрно-белый; подготовка может убрать мебель и надписи внутри помещений."_s
                : QString());
    });
}
