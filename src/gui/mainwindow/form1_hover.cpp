#include "gui/mainwindow/form1.h"

#include "core/plan/colourkey.h"
#include "core/plan/floodfill.h"
#include "gui/plan/plancanvas.h"
#include "gui/records/form2.h"
#include "gui/widgets/colourswatch.h"
#include "gui/widgets/dialogs.h"

#include <QColorDialog>
#include <QLabel>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Ticks 1 .. 18 alternate the room between the restore colour and its key; the 19th ends.
constexpr int kBlinkEnd = 19;

// The colour key under a plan point; nullopt outside the image, which hovers over no room.
std::optional<quint32> keyAt(const QImage &image, QPoint p)
{
    if (!image.valid(p))
        return std::nullopt;
    return ColourKey::fromRgb(image.pixel(p)) & ColourKey::kRgbMask;
}

QPoint labelPoint(const RecordTable &table, int row)
{
    return {table.cellNumber(RecordTable::LabelX, row), table.cellNumber(RecordTable::LabelY, row)};
}

// Hinter and opter are children of the central widget so they can float over the plan; plan
// pixels therefore have to be carried through the zoom, the scroll offset and the plan area.
QPoint planToClient(const Form1 &form, QPoint planPoint)
{
    return form.PlanArea->pos() + form.Image1->pos() + form.Image1->toWidget(planPoint);
}

} // namespace

void Form1::Image1MouseDown(Qt::MouseButton button, int x, int y)
{
    guard([&] {
        if (button != Qt::LeftButton)
            return;
        Hinter->raise();
        Hinter->show();
        const auto key = keyAt(session().planImage(), {x, y});
        const int r = key ? session().table().rowOfColour(*key) : 0;
        if (r > 0) {
            opter->move(planToClient(*this, labelPoint(session().table(), r)) - QPoint(4, 9));
            opter->raise();
            opter->show();
        }
    });
}

// Runs on every mouse move over the plan, so it stays at one indexed colour lookup: no table
// scan, no repaint of the plan.
void Form1::Image1MouseMove(int x, int y)
{
    guard([&] {
        const RecordTable &table = session().table();
        const auto key = keyAt(session().planImage(), {x, y});
        int r = 0;
        try {
            r = key ? table.rowOfColour(*key) : 0;
        } catch (const MetrolaError &) {
            // A key that is not a number was reported when the plan was opened or painted and
            // is reported again on a click; raising a message box on every move would lock
            // the user out of the window.
            r = 0;
        }
        if (r >= 1) {
            Hinter->setText(u' ' + table.cellText(RecordTable::Tenant, r) + u' '
                            + table.cellText(RecordTable::Name, r) + u' '
                            + table.cellText(RecordTable::Area, r) + u"кв.м. "_s);
        } else {
            Hinter->setText(u" пусто "_s);
        }
        Hinter->adjustSize();
        Hinter->move(planToClient(*this, {x, y}) - QPoint(1, 12));
        Hinter->raise();
        if (r > 0) {
            opter->move(planToClient(*this, labelPoint(table, r)) - QPoint(4, 9));
            opter->raise();
        }
    });
}

void Form1::Image1DblClick()
{
    guard([&] { repaintRooms(); });
}

void Form1::Timer1Timer()
{
    guard([&] {
        const RecordTable &table = session().table();
        const auto finish = [&] {
            Timer1->stop();
            BlinkCount = 1;
            repaintRooms();
        };
        // The record may have been undone or moved to another plan's view since the blink
        // began; its label point would then land in an unrelated room.
        if (BlinkRow < 1 || BlinkRow > table.recordCount()
            || table.cellText(RecordTable::PlanId, BlinkRow) != session().currentPlan()) {
            finish();
            return;
        }
        if (BlinkCount < kBlinkEnd) {
            QPoint p;
            quint32 k = 0;
            try {
                p = labelPoint(table, BlinkRow);
                k = static_cast<quint32>(table.cellNumber(RecordTable::ColourKey, BlinkRow));
            } catch (const MetrolaError &) {
                // Every further tick would fail alike, each error box letting the next tick
                // raise another: the blink ends first, and its closing repaint reports the
                // record once.
                Timer1->stop();
                BlinkCount = 1;
                repaintRooms();
                throw;
            }
            QImage &image = session().planImage();
            if (const auto here = keyAt(image, p)) {
                const quint32 colour = *here == k ? session().restoreColour : k;
                refreshPlanRect(FloodFill().fill(image, p, ColourKey::toRgb(colour)));
            }
            blinkAlsoStep();
            ++BlinkCount;
        }
        if (BlinkCount >= kBlinkEnd)
            finish();
    });
}

void Form1::Button2Click()
{
    guard([&] {
        RecordTable &table = session().table();
        const int last = table.recordCount();
        QPoint label;
        // Read before anything changes: a label point that is not a number fails the undo with
        // the conversion error, and the record stays.
        if (last >= 1 && !table.cellText(RecordTable::ColourKey, last).isEmpty())
            label = labelPoint(table, last);
        const ProjectHistory::Scope step(m_session.history(), u"удаление последней записи"_s);
        const std::optional<RecordTable::Row> removed = table.removeLastRecord();
        if (!removed || (*removed)[RecordTable::PlanId] != session().currentPlan())
            return;
        refreshPlanRect(FloodFill().fill(session().planImage(), label, ColourKey::toRgb(session().restoreColour)));
    });
}

void Form1::Button1Click()
{
    guard([&] {
        ColorDialog1->setOption(QColorDialog::ShowAlphaChannel, false);
        ColorDialog1->setCurrentColor(QColor::fromRgb(ColourKey::toRgb(session().colourDialogColour)));
        if (!Dialogs::chooseColour(ColorDialog1))
            return;
        const quint32 chosen = ColourKey::fromRgb(ColorDialog1->currentColor().rgb()) & ColourKey::kRgbMask;
        session().colourDialogColour = chosen;
        // One below the choice, stepping further down past keys already taken, so a new room
        // never shares a key with an existing one, and past black and white.
        const quint32 c = ColourKey::freeKeyFrom(ColourKey::below(chosen),
                                                 [this](quint32 k) { return session().table().colourInUse(k); });
        session().markingColour = c;
        Shape1->setColour(c);
        if (Form2 *dialog = form2(); dialog && dialog->Shape1)
            dialog->Shape1->setColour(c);
    });
}

void Form1::blinkAlsoStep()
{
    const RecordTable &table = session().table();
    QImage &image = session().planImage();
    for (const int row : std::as_const(BlinkAlso)) {
        if (row < 1 || row > table.recordCount() || table.cellText(RecordTable::PlanId, row) != session().currentPlan())
            continue;
        const auto key = parseCellNumber(table.cellText(RecordTable::ColourKey, row));
        const auto x = parseCellNumber(table.cellText(RecordTable::LabelX, row));
        const auto y = parseCellNumber(table.cellText(RecordTable::LabelY, row));
        if (!key || !x || !y || ColourKey::isReserved(*key))
            continue;
        const QPoint p(*x, *y);
        if (const auto here = keyAt(image, p)) {
            const quint32 k = static_cast<quint32>(*key);
            const quint32 colour = *here == k ? session().restoreColour : k;
            refreshPlanRect(FloodFill().fill(image, p, ColourKey::toRgb(colour)));
        }
    }
}
