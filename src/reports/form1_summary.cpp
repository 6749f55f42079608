#include "app/form1.h"

#include "reports/summarywindow.h"

#include <QFrame>
#include <QStyle>
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
            Summary = new SummaryWindow(m_session, this);
            connect(Summary, &SummaryWindow::roomActivated, this, [this](int row) {
                selectRow(row);
                StringGrid1DblClick();
            });
        }
        Summary->show();
        Summary->raise();
        Summary->activateWindow();
    });
}
