#include "gui/mainwindow/form1.h"

#include "core/model/areacheckrunner.h"
#include "gui/reports/summarywindow.h"

#include <QFrame>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>

using namespace Qt::StringLiterals;

// The button sits in the free space between the report buttons and the caption fields.
void Form1::buildSummaryButton()
{
    SummaryButton = new QToolButton(Panel1);
    SummaryButton->setObjectName(u"SummaryButton"_s);
    SummaryButton->setToolTip(u"Сводка: площади по планам и типам, арендаторы, свободные помещения"_s);
    SummaryButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogInfoView));
    SummaryButton->setAutoRaise(true);
    SummaryButton->setGeometry(px(861), px(4), px(26), px(34));
    connect(SummaryButton, &QToolButton::clicked, this, &Form1::SummaryButtonClick);
}

void Form1::SummaryButtonClick()
{
    guard([&] {
        if (!Summary) {
            // A tool window of the main window (Qt gives the window manager the owner link for
            // tool windows only): kept above a maximised main window and closed with it.
            Summary = new SummaryWindow(m_session, *m_areaChecks);
            Summary->setReadOnly(readOnly());
            Summary->setParent(this, Summary->windowFlags() | Qt::Tool);
            connect(Summary, &SummaryWindow::scalesEdited, this, &Form1::scalesEditedElsewhere);
            connect(Summary, &SummaryWindow::measureRequested, this, &Form1::measureScaleOf);
            connect(Summary, &SummaryWindow::roomFlagsEdited, this, &Form1::roomFlagsEdited);
            connect(Summary, &SummaryWindow::asOfChanged, this, [this](QDate day) {
                m_asOf = day == QDate::currentDate() ? QDate() : day;
                Q_EMIT leasesChanged();
            });
            connect(this, &Form1::leasesChanged, Summary, &SummaryWindow::scheduleRefresh);
            connect(Summary, &SummaryWindow::roomActivated, this, [this](int row) {
                selectRow(row);
                StringGrid1DblClick();
            });
        }
        Summary->showBeside(*this);
    });
}

void Form1::scalesEditedElsewhere()
{
    m_session.setModified(true);
    refreshScaleHint();
    Q_EMIT scalesChanged();
}

void Form1::roomFlagsEdited()
{
    m_session.setModified(true);
    Q_EMIT roomFlagsChanged();
}

// Shows the plan and starts the Масштаб command on it.
void Form1::measureScaleOf(const QString &plan)
{
    guard([&] {
        const int tab = m_session.plans().names().indexOf(plan);
        if (tab < 0)
            return;
        if (TabSet1->currentIndex() != tab)
            TabSet1->setCurrentIndex(tab);
        else
            TabSet1Change(tab);
        if (m_session.currentPlan() != plan)
            return; // the plan could not be shown; its error was reported
        activateWindow();
        raise();
        ScaleButtonClick();
    });
}
