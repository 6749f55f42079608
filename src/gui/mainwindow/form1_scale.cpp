#include "gui/mainwindow/form1.h"

#include "core/base/numbertext.h"
#include "core/model/planscales.h"
#include "gui/plan/plancanvas.h"
#include "gui/plan/scaletool.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/scalequestion.h"

#include <QFrame>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>

#include <cmath>

using namespace Qt::StringLiterals;

// The button takes the place the packing gauge shows in only while an archive is written or
// read; the gauge stays above it.
void Form1::buildScaleButton()
{
    ScaleButton = new QToolButton(Panel1);
    ScaleButton->setObjectName(u"ScaleButton"_s);
    ScaleButton->setText(u"Масштаб"_s);
    ScaleButton->setIcon(style()->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton));
    ScaleButton->setAutoRaise(true);
    ScaleButton->setGeometry(px(736), px(4), px(34), px(34));
    ScaleButton->lower();
    refreshScaleHint();
    connect(ScaleButton, &QToolButton::clicked, this, &Form1::ScaleButtonClick);

    Scaler = new ScaleTool(Image1);
    connect(Scaler, &ScaleTool::measured, this, &Form1::scaleMeasured);
    // The two points belong to the plan they were clicked on.
    connect(TabSet1, &QTabBar::currentChanged, Scaler, &ScaleTool::cancel);
}

void Form1::refreshScaleHint()
{
    QString hint = u"Масштаб: укажите на плане две точки и расстояние между ними в метрах"_s;
    if (const auto scale = m_session.scales().scale(m_session.currentPlan())) {
        hint += u"\nСейчас: 1 пиксель = %1 м (%2)"_s.arg(NumberText::formatScale(scale->metresPerPixel),
                                                        scale->date.toString(u"dd.MM.yyyy"_s));
    }
    ScaleButton->setToolTip(hint);
}

void Form1::ScaleButtonClick()
{
    guard([&] {
        if (!m_session.hasPlan() || m_session.planImage().isNull()) {
            Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s,
                             u"Нет плана на экране: сначала откройте план, затем задайте его масштаб."_s);
            return;
        }
        m_scalePlan = m_session.currentPlan();
        Scaler->start();
    });
}

void Form1::scaleMeasured(QPoint from, QPoint to)
{
    guard([&] {
        if (m_session.currentPlan() != m_scalePlan)
            return;
        const double pixels = std::hypot(double(to.x() - from.x()), double(to.y() - from.y()));
        if (pixels < 1) {
            Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s,
                             u"Точки совпадают: укажите два разных места плана. Масштаб не изменён."_s);
            return;
        }
        const auto metres = ScaleQuestion::askMetres(
            this,
            u"Расстояние между точками (%1 пикс.) в метрах:"_s.arg(NumberText::formatScale(std::round(pixels * 10) / 10)),
            QString());
        if (!metres)
            return;
        {
            const ProjectHistory::Scope step(m_session.history(), u"масштаб"_s);
            if (!ScaleQuestion::setScale(this, m_session.scales(), m_scalePlan, *metres / pixels))
                return;
        }
        m_session.setModified(true);
        refreshScaleHint();
        Q_EMIT scalesChanged();
    });
}
