#include "core/plan/colourkey.h"
#include "gui/mainwindow/form1.h"

#include <QTableView>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// A running blink keeps following its record when the record changes places.
void followSwap(int &blinkRow, int a, int b)
{
    if (blinkRow == a)
        blinkRow = b;
    else if (blinkRow == b)
        blinkRow = a;
}

} // namespace

void Form1::StringGrid1DblClick()
{
    guard([&] {
        const RecordTable &table = session().table();
        const int r = selectedRow();
        if (r < 1 || r >= table.entryRow())
            return;
        // A blink cut short would leave its room in the restore colour.
        if (Timer1->isActive()) {
            Timer1->stop();
            repaintRooms();
        }
        BlinkRow = r;
        BlinkCount = 1;
        BlinkAlso.clear();
        if (session().showRowPlan(r)) {
            refreshPlanView();
            // A plan fresh from disk does not wear the colours of its rooms yet.
            repaintRooms();
        }
        // A record keyed white or black has no room of its own: blinking it would swap the
        // floor or the walls of the whole plan.
        const auto key = parseCellNumber(table.cellText(RecordTable::ColourKey, r));
        if (session().currentPlan() == table.cellText(RecordTable::PlanId, r)
            && !(key && ColourKey::isReserved(*key))) {
            const auto x = parseCellNumber(table.cellText(RecordTable::LabelX, r));
            const auto y = parseCellNumber(table.cellText(RecordTable::LabelY, r));
            // An unreadable label point is reported by the blink itself.
            if (x && y)
                showPlanPoint(QPoint(int(*x), int(*y)));
            Timer1->start();
        }
    });
}

void Form1::BitBtn1Click()
{
    guard([&] {
        RecordTable &table = session().table();
        const int r = selectedRow();
        if (r > 1 && r < table.tableRows() - 1) {
            const ProjectHistory::Scope step(m_session.history(), u"перемещение записи"_s);
            table.swapRows(r, r - 1);
            followSwap(BlinkRow, r, r - 1);
        }
        if (r >= 1)
            selectRow(std::max(1, r - 1));
        StringGrid1->setFocus();
    });
}

void Form1::BitBtn2Click()
{
    guard([&] {
        RecordTable &table = session().table();
        const int r = selectedRow();
        if (r > 0 && r < table.tableRows() - 2) {
            const ProjectHistory::Scope step(m_session.history(), u"перемещение записи"_s);
            table.swapRows(r, r + 1);
            followSwap(BlinkRow, r, r + 1);
        }
        if (r >= 1)
            selectRow(std::min(table.entryRow(), r + 1));
        StringGrid1->setFocus();
    });
}
