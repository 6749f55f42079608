#include "gui/mainwindow/form1.h"

#include "core/model/descriptionfile.h"
#include "core/model/planimport.h"
#include "core/model/recoverywriter.h"
#include "core/plan/colourkey.h"
#include "core/plan/floodfill.h"
#include "core/plan/plansource.h"
#include "gui/plan/plancanvas.h"
#include "gui/records/form2.h"
#include "gui/widgets/colourswatch.h"
#include "gui/widgets/dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTabBar>

using namespace Qt::StringLiterals;

void Form1::TabSet1Change(int index)
{
    guard([&] {
        if (index < 0 || index >= PlanList::Capacity)
            return;
        const QString name = m_session.plans().name(index + 1);
        if (name.isEmpty() || name == m_session.currentPlan())
            return;
        try {
            // A plan added from disk has its tab before it is in the working folder.
            m_session.showPlanFile(m_session.planPaths().planFilePath(m_session.programDir(), name), name);
        } catch (...) {
            // The old plan stays on screen, so its tab stays selected.
            selectShownPlanTab();
            throw;
        }
        // Shown first, so a room whose key cannot be read still leaves the new plan on screen.
        refreshPlanView();
        repaintRooms();
    });
}

// Image1 lies in the plan area below the tool panel; the scroll bars' maxima are kept by
// layoutPlanArea() so that every edge of the plan can be reached.
// The bars count widget pixels of the plan at its zoom.
void Form1::HorzScrollBarChange(int position)
{
    Image1->move(-position, Image1->y());
    if (!m_zooming)
        m_zoomAnchor.reset();
}

void Form1::VertScrollBarChange(int position)
{
    Image1->move(Image1->x(), -position);
    if (!m_zooming)
        m_zoomAnchor.reset();
}

void Form1::SpeedButton1Click()
{
    guard([&] {
        const QString path = Dialogs::chooseFile(OpenPictureDialog1);
        if (!path.isEmpty())
            addPlanFile(path);
    });
}

void Form1::addPlanFile(const QString &path)
{
    // Pictures and PDF pages become BMP plans in the working folder first; so does a BMP that
    // bears the name of one of the program's working files, under a name the user gives it.
    if (PlanSource::kindOf(path) != PlanSource::Kind::Bmp ||
        PlanImport::isWorkingFileName(QFileInfo(path).fileName())) {
        addConvertedPlan(path);
        return;
    }
    // The file name becomes the plan id of every record on the plan; the description file
    // could not store it, so the plan is refused before anything changes.
    const QString name = QFileInfo(path).fileName();
    if (const auto c = DescriptionFile::firstUnholdable(name)) {
        const QString shown = c->isPrint() && !c->isSpace() ? u"«"_s + *c + u"»"_s
                                                           : u"U+%1"_s.arg(int(c->unicode()), 4, 16, QChar(u'0')).toUpper();
        Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s,
                         u"Имя файла «%1» содержит символ %2, который нельзя сохранить в описании проекта. "
                         u"План не добавлен: переименуйте файл и добавьте его снова."_s.arg(name, shown));
        return;
    }
    // The path is recorded first: a bitmap that fails to load now may be mended and chosen
    // through its tab later.
    m_session.planPaths().addPlanFile(path);
    recovery().changed();
    m_session.showPlanFile(path, name);
    // Its tab is the way back to it once another plan is shown.
    if (m_session.plans().indexOf(name) == 0) {
        m_session.plans().add(name);
        fillTabs();
    }
    refreshPlanView();
    PlaceMainWindow(true);
    offerPreparation();
}

void Form1::Button4Click()
{
    guard([&] {
        if (!m_session.hasPlan())
            return;
        const QString path = m_session.planPaths().planFilePath(m_session.programDir(), m_session.currentPlan());
        const QString named = qEnvironmentVariable("METROLA_PAINT");
        const QStringList candidates = {u"kolourpaint"_s, u"pinta"_s, u"gimp"_s, u"mtpaint"_s};
        QString program = named;
        for (const QString &candidate : candidates) {
            if (!program.isEmpty())
                break;
            program = QStandardPaths::findExecutable(candidate);
        }
        // The paint program runs on its own; the user comes back to the plan through its tab.
        if ((!program.isEmpty() && QProcess::startDetached(program, {path})) || Dialogs::openDocument(path))
            return;
        const QString plan = QDir::toNativeSeparators(path);
        if (named.isEmpty()) {
            Dialogs::message(
                this, Dialogs::Kind::Warning, u"Ошибка"_s,
                u"Не найдена программа для редактирования плана: искались %1 и программа, назначенная "
                u"на рабочем столе для файлов BMP. Установите одну из них или укажите свою в переменной "
                u"окружения METROLA_PAINT. План «%2» не открыт."_s.arg(candidates.join(u", "_s), plan));
        } else {
            Dialogs::message(
                this, Dialogs::Kind::Warning, u"Ошибка"_s,
                u"Не удалось запустить программу «%1», указанную в переменной окружения METROLA_PAINT, "
                u"и на рабочем столе не назначена программа для файлов BMP. Укажите в METROLA_PAINT "
                u"программу, которая есть в системе. План «%2» не открыт."_s.arg(named, plan));
        }
    });
}

void Form1::Image1MouseUp(Qt::MouseButton button, int x, int y)
{
    guard([&] {
        refreshDialogCaptions();
        if (button == Qt::LeftButton) {
            Hinter->hide();
            opter->hide();
            return;
        }
        if (button != Qt::MiddleButton && button != Qt::RightButton)
            return;
        if (!m_session.hasPlan())
            return;
        QImage &image = m_session.planImage();
        const QPoint point(x, y);
        if (!image.rect().contains(point))
            return;
        RecordTable &table = m_session.table();
        if (button == Qt::RightButton && table.isFinished()) {
            Dialogs::message(this, Dialogs::Kind::Notice, u"НЕРЕДАКТ"_s,
                             u"В данный файл нельзя вносить новые записи. Файл завершён."_s);
            return;
        }
        const quint32 found = ColourKey::fromRgb(image.pixel(point));
        const int row = table.rowOfColour(found);
        if (row > 0) {
            m_form2->openEdit(row, point);
            return;
        }
        if (button != Qt::RightButton)
            return;
        markNewRoom(point);
    });
}

quint32 Form1::markNewRoom(QPoint point)
{
    QImage &image = m_session.planImage();
    RecordTable &table = m_session.table();
    const quint32 found = ColourKey::fromRgb(image.pixel(point));
    const quint32 key = m_session.nextRoomKey();
    Shape1->setColour(m_session.markingColour);
    m_session.restoreColour = found;
    Shape2->setColour(found);
    refreshPlanRect(FloodFill().fill(image, point, ColourKey::toRgb(key)));
    m_form2->openNew(key, point, table.entryRow(), m_session.currentPlan());
    return key;
}
