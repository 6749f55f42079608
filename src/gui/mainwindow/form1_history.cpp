// Правка → Отменить / Повторить: the project's one history of changes (core/model's
// ProjectHistory). The window only records its handlers' changes as steps and shows the
// project anew after a step is taken back or made again.
#include "gui/mainwindow/form1.h"

#include "core/model/recoverywriter.h"
#include "gui/plan/scaletool.h"
#include "gui/records/form2.h"
#include "gui/widgets/busycursor.h"

#include <QAction>
#include <QPushButton>

using namespace Qt::StringLiterals;

void Form1::undoClick()
{
    historyStep(false);
}

void Form1::redoClick()
{
    historyStep(true);
}

void Form1::historyStep(bool forward)
{
    guard([&] {
        ProjectHistory &history = m_session.history();
        if (forward ? !history.canRedo() : !history.canUndo())
            return;
        // A room marked for a record not yet entered would stay painted under a table that no
        // longer expects it: the dialog goes as with "Отмена".
        if (m_form2 && m_form2->isVisible())
            m_form2->Button1Click();
        if (Scaler)
            Scaler->cancel();
        if (Waller)
            Waller->cancel();
        const bool proposing = m_proposalView != nullptr;
        const QString shown = m_session.currentPlan();
        const ProposalRejections rejections = proposalRejections();
        closeProposals();
        ProjectHistory::Effect effect;
        {
            const BusyCursor busy;
            effect = forward ? history.redo() : history.undo();
        }
        recovery().changed();
        if (effect.records) {
            m_session.plans().rebuildKeepingUnrecorded(m_session.table());
            fillTabs();
        }
        if (effect.records || effect.plans.contains(shown)) {
            // The marking lives only on the plan shown: the removed rooms go back to the
            // file's pixels, the others are painted again.
            if (m_session.hasPlan() && !m_session.planSource().isEmpty() && !effect.plans.contains(shown))
                m_session.showPlanFile(m_session.planSource(), shown);
            refreshPlanView();
            repaintRooms();
        }
        if (effect.flags)
            roomFlagsEdited();
        if (effect.scales)
            scalesEditedElsewhere();
        refreshColouring();
        refreshHistoryActions();
        if (proposing && m_session.currentPlan() == shown) {
            FindRoomsClick();
            restoreProposalRejections(rejections);
        }
    });
}

void Form1::refreshHistoryActions()
{
    if (!HistoryUndoAction)
        return;
    const ProjectHistory &history = m_session.history();
    HistoryUndoAction->setEnabled(history.canUndo());
    HistoryUndoAction->setText(history.canUndo() ? u"Отменить: %1"_s.arg(history.undoLabel())
                                                 : u"Отменить"_s);
    HistoryRedoAction->setEnabled(history.canRedo());
    HistoryRedoAction->setText(history.canRedo() ? u"Повторить: %1"_s.arg(history.redoLabel())
                                                 : u"Повторить"_s);
    refreshPlanUndo();
}
