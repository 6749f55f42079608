#include "gui/mainwindow/form1.h"

#include "core/base/numbertext.h"
#include "core/model/planscales.h"
#include "gui/plan/plancanvas.h"
#include "gui/plan/scaletool.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/scalequestion.h"

#include <QFrame>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>

#include <cmath>

using namespace Qt::StringLiterals;

QIcon Form1::rulerIcon()
{
    QIcon icon;
    for (const int side : {16, 24, 32, 48}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(side / 2.0, side / 2.0);
        p.rotate(-45);
        const double length = side * 1.2, width = side * 0.34;
        p.setPen(QPen(QColor(0x5a, 0x4a, 0x1e), std::max(1.0, side / 24.0)));
        p.setBrush(QColor(0xf2, 0xc9, 0x4c));
        p.drawRect(QRectF(-length / 2, -width / 2, length, width));
        for (int i = 1; i < 8; ++i) {
            const double x = -length / 2 + i * length / 8;
            p.drawLine(QPointF(x, -width / 2), QPointF(x, -width / 2 + width * (i % 2 ? 0.35 : 0.6)));
        }
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// The button takes the place the packing gauge shows in only while an archive is written or
// read; the gauge stays above it.
void Form1::buildScaleButton()
{
    ScaleButton = new QToolButton(Panel1);
    ScaleButton->setObjectName(u"ScaleButton"_s);
    ScaleButton->setText(u"Масштаб"_s);
    // A ruler: the style has none, and its "more" chevron read as a hidden toolbar's.
    ScaleButton->setIcon(rulerIcon());
    ScaleButton->setIconSize(QSize(px(24), px(24)));
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
