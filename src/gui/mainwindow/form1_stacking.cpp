#include "gui/mainwindow/form1.h"

#include "core/reports/projectpdf.h"
#include "gui/reports/stackingwindow.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/piegauge.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>

using namespace Qt::StringLiterals;

void Form1::showStackingPlan()
{
    guard([&] {
        if (!Stacking) {
            // A window of its own, like the summary: kept above the main window it would hide
            // the rooms it asks the main window to show. ~Form1 deletes it.
            Stacking = new StackingWindow(m_session, [this](int row) {
                return m_session.roomFlags().isCommonKey(m_session.table().cellText(RecordTable::ColourKey, row));
            });
            // A tool window of the main window: kept above it (a maximised main window would
            // bury it) and closed with it. Qt links a window to its owner for the window manager
            // only when it is a tool window or a dialog.
            Stacking->setParent(this, Stacking->windowFlags() | Qt::Tool);
            connect(this, &Form1::roomFlagsChanged, Stacking, &StackingWindow::refresh);
            connect(this, &Form1::leasesChanged, Stacking, [this] { Stacking->setDay(m_asOf); });
            connect(Stacking, &StackingWindow::roomsActivated, this, &Form1::showRooms);
            connect(Stacking, &StackingWindow::floorsReordered, this, &Form1::roomFlagsEdited);
            connect(&m_session.table(), &QAbstractItemModel::dataChanged, Stacking, &StackingWindow::scheduleRefresh);
            connect(&m_session.table(), &QAbstractItemModel::modelReset, Stacking, &StackingWindow::scheduleRefresh);
            connect(&m_session.table(), &QAbstractItemModel::rowsInserted, Stacking, &StackingWindow::scheduleRefresh);
            connect(&m_session.table(), &QAbstractItemModel::rowsRemoved, Stacking, &StackingWindow::scheduleRefresh);
        }
        Stacking->setDay(m_asOf);
        Stacking->refresh();
        Stacking->showBeside(*this);
    });
}

void Form1::showRooms(const QString &plan, const QList<int> &rows)
{
    guard([&] {
        if (rows.isEmpty() || m_session.table().cellText(RecordTable::PlanId, rows.first()) != plan)
            return;
        selectRow(rows.first());
        StringGrid1DblClick();
        BlinkAlso = rows.mid(1);
    });
}

void Form1::printPlansPdf()
{
    guard([&] {
        if (m_session.plans().names().isEmpty()) {
            Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s, u"В проекте нет планов для печати."_s);
            return;
        }
        const QString path = Dialogs::choosePdfFile(this, u"Печать в PDF"_s);
        if (path.isEmpty())
            return;
        ProjectPdf::Options options;
        // The colouring on screen; the mismatch view has no meaning on paper without its check.
        options.view = m_view == PlanView::Mismatch ? PlanView::Keys : m_view;
        options.leaseDay = asOfDay();
        // The summary's day: tenants from the leases in force then, as the screen shows them.
        if (const RecordTable &asOf = tableAsOf(); &asOf != &m_session.table())
            options.asOfTable = &asOf;
        // The room texts the placement picture's check boxes choose.
        options.texts.tenant = Arend->isChecked();
        options.texts.area = kvm->isChecked();
        options.texts.name = nazv->isChecked();
        options.texts.type = Typ->isChecked();
        options.texts.unit = edt[Captions::Unit]->text();
        Gauge1->setProgress(0);
        Gauge1->show();
        // Painting every plan takes a moment on large projects; the gauge says so.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        try {
            ProjectPdf::write(m_session, options, path);
        } catch (...) {
            Gauge1->hide();
            throw;
        }
        Gauge1->hide();
        Dialogs::message(this, Dialogs::Kind::Information, u"Печать в PDF"_s, u"Планы сохранены в «%1»."_s.arg(path));
        Dialogs::openDocument(path);
    });
}
