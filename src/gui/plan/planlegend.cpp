#include "gui/plan/planlegend.h"

#include "core/base/numbertext.h"

#include <QEvent>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {
constexpr int kMargin = 6;
constexpr int kSwatch = 14;
constexpr int kGap = 6;
} // namespace

PlanLegend::PlanLegend(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    if (parent)
        parent->installEventFilter(this);
    hide();
}

bool PlanLegend::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        place();
    return QWidget::eventFilter(watched, event);
}

void PlanLegend::place()
{
    if (const QWidget *area = parentWidget())
        move(std::max(0, area->width() - width() - kMargin), kMargin);
    raise();
}

void PlanLegend::setItems(std::vector<PlanColouring::LegendItem> items, const QString &unit)
{
    m_items = std::move(items);
    m_unit = unit;
    setVisible(!m_items.empty());
    resize(sizeHint());
    place();
    update();
}

QString PlanLegend::lineText(size_t i) const
{
    const PlanColouring::LegendItem &item = m_items[i];
    return u"%1 — %2 %3"_s.arg(item.caption, NumberText::format(item.area), m_unit).trimmed();
}

QSize PlanLegend::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    int width = 0;
    for (size_t i = 0; i < m_items.size(); ++i)
        width = std::max(width, metrics.horizontalAdvance(lineText(i)));
    const int line = std::max(kSwatch, metrics.height()) + 2;
    return {2 * kMargin + kSwatch + kGap + width, 2 * kMargin + line * static_cast<int>(m_items.size())};
}

void PlanLegend::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0, 0, 0, 90));
    painter.setBrush(QColor(255, 255, 255, 205));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    const QFontMetrics metrics = fontMetrics();
    const int line = std::max(kSwatch, metrics.height()) + 2;
    for (size_t i = 0; i < m_items.size(); ++i) {
        const int top = kMargin + line * static_cast<int>(i);
        const QRect swatch(kMargin, top + (line - kSwatch) / 2, kSwatch, kSwatch);
        painter.setPen(QColor(60, 60, 60));
        painter.setBrush(QColor::fromRgb(m_items[i].colour));
        painter.drawRect(swatch);
        painter.setPen(QColor(20, 20, 20));
        painter.drawText(QRect(swatch.right() + kGap, top, width(), line), Qt::AlignVCenter | Qt::AlignLeft,
                         lineText(i));
    }
}
