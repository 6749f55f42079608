#include "gui/plan/proposalview.h"

#include "core/base/numbertext.h"
#include "core/model/roomareas.h"
#include "core/rooms/roomproposals.h"
#include "gui/plan/plancanvas.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// Hatching: a light tint over the whole region and diagonal stripes, denser colour for the
// room under the pointer; blue reads on white floor, black walls and every room colour.
constexpr QRgb kTint = qPremultiply(qRgba(40, 110, 230, 40));
constexpr QRgb kStripe = qPremultiply(qRgba(40, 110, 230, 150));
constexpr QRgb kHoverTint = qPremultiply(qRgba(230, 120, 20, 70));
constexpr QRgb kHoverStripe = qPremultiply(qRgba(230, 120, 20, 200));

// How near the pointer must come to a line to hit it, in view pixels.
constexpr double kLineReach = 5.0;

} // namespace

class ProposalView::Overlay : public QWidget
{
public:
    Overlay(ProposalView &view, QWidget *parent)
        : QWidget(parent), m_view(view)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

    std::optional<double> metresPerPixel;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        const QRect area = event->rect().intersected(rect());
        if (area.isEmpty())
            return;
        QPainter painter(this);
        painter.drawImage(area.topLeft(), hatching(area));
        painter.setRenderHint(QPainter::Antialiasing);
        drawLines(painter);
        drawAreas(painter, area);
    }

private:
    // The hatching of the view pixels of `area`, each taking the plan pixel it shows.
    QImage hatching(const QRect &area) const
    {
        const RoomProposals &proposals = m_view.m_proposals;
        const QImage &plan = m_view.m_plan;
        const QImage &map = proposals.regionMap();
        const PlanZoom &zoom = m_view.m_canvas->zoom();
        QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
        layer.fill(Qt::transparent);
        if (map.size() != plan.size())
            return layer;
        std::vector<int> column(size_t(area.width()));
        for (int x = 0; x < area.width(); ++x)
            column[size_t(x)] = zoom.toPlan(QPointF(area.left() + x + 0.5, 0)).x();
        const int hover = m_view.m_hover.room;
        for (int y = 0; y < area.height(); ++y) {
            const int planY = zoom.toPlan(QPointF(0, area.top() + y + 0.5)).y();
            if (planY < 0 || planY >= plan.height())
                continue;
            const auto *rooms = reinterpret_cast<const quint16 *>(map.constScanLine(planY));
            const auto *floor = reinterpret_cast<const QRgb *>(plan.constScanLine(planY));
            auto *out = reinterpret_cast<QRgb *>(layer.scanLine(y));
            for (int x = 0; x < area.width(); ++x) {
                const int planX = column[size_t(x)];
                if (planX < 0 || planX >= plan.width())
                    continue;
                const int room = rooms[planX] - 1;
                if (room < 0 || !proposals.roomOpen(room) || (floor[planX] & 0xffffff) != 0xffffff)
                    continue;
                const bool stripe = (area.left() + x + area.top() + y) % 9 < 2;
                out[x] = room == hover ? (stripe ? kHoverStripe : kHoverTint) : (stripe ? kStripe : kTint);
            }
        }
        return layer;
    }

    void drawLines(QPainter &painter) const
    {
        const RoomProposals &proposals = m_view.m_proposals;
        const PlanZoom &zoom = m_view.m_canvas->zoom();
        for (size_t l = 0; l < proposals.lines().size(); ++l) {
            if (!proposals.lineOpen(int(l)))
                continue;
            const ClosingLine &line = proposals.lines()[l];
            const QLineF shown(zoom.centreInView(line.from), zoom.centreInView(line.to));
            const double width = std::max(2.0, line.width * zoom.factor());
            const bool hover = int(l) == m_view.m_hover.line;
            painter.setPen(QPen(Qt::white, width + 2, Qt::SolidLine, Qt::FlatCap));
            painter.drawLine(shown);
            painter.setPen(QPen(hover ? QColor(230, 120, 20) : QColor(200, 30, 30), width, Qt::DashLine, Qt::FlatCap));
            painter.drawLine(shown);
        }
    }

    void drawAreas(QPainter &painter, const QRect &area) const
    {
        if (!metresPerPixel)
            return;
        const RoomProposals &proposals = m_view.m_proposals;
        const PlanZoom &zoom = m_view.m_canvas->zoom();
        const QFontMetrics metrics(font());
        for (size_t r = 0; r < proposals.rooms().size(); ++r) {
            if (!proposals.roomOpen(int(r)) || !m_view.roomUnmarked(int(r)))
                continue;
            const RoomProposal &room = proposals.rooms()[r];
            const QString text =
                NumberText::format(RoomAreas::measuredArea(room.pixels, *metresPerPixel)) + u" м²"_s;
            QRect box = metrics.boundingRect(text).adjusted(-3, -1, 3, 1);
            box.moveCenter(zoom.centreInView(room.seed).toPoint());
            if (!box.intersects(area))
                continue;
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(255, 255, 255, 220));
            painter.drawRoundedRect(box, 3, 3);
            painter.setPen(Qt::black);
            painter.drawText(box, Qt::AlignCenter, text);
        }
    }

    ProposalView &m_view;
};

ProposalView::ProposalView(PlanCanvas *canvas, const RoomProposals &proposals, const QImage &plan)
    : QObject(canvas), m_canvas(canvas), m_proposals(proposals), m_plan(plan)
{
    m_overlay = new Overlay(*this, canvas);
    m_overlay->setGeometry(canvas->rect());
    m_overlay->show();
    m_overlay->raise();
    // One filter on the application sees the plan's mouse events and Escape in any widget.
    qApp->installEventFilter(this);
}

ProposalView::~ProposalView()
{
    qApp->removeEventFilter(this);
    delete m_overlay;
}

void ProposalView::setScale(std::optional<double> metresPerPixel)
{
    m_overlay->metresPerPixel = metresPerPixel;
    m_overlay->update();
}

void ProposalView::refresh()
{
    m_overlay->setGeometry(m_canvas->rect());
    m_overlay->update();
}

bool ProposalView::roomUnmarked(int room) const
{
    const QPoint seed = m_proposals.rooms()[size_t(room)].seed;
    return m_plan.valid(seed) && (m_plan.pixel(seed) & 0xffffff) == 0xffffff;
}

ProposalView::Hit ProposalView::hitAt(QPointF widgetPoint) const
{
    const double factor = m_canvas->zoom().factor();
    const QPointF planPoint = widgetPoint / factor;
    Hit hit;
    hit.line = m_proposals.lineAt(planPoint, kLineReach / factor);
    if (hit.line < 0) {
        const QPoint pixel = m_canvas->toPlan(widgetPoint);
        const int room = m_proposals.roomAt(pixel);
        // A room's floor marked meanwhile is no proposal any more.
        if (room >= 0 && m_plan.valid(pixel) && (m_plan.pixel(pixel) & 0xffffff) == 0xffffff)
            hit.room = room;
    }
    return hit;
}

bool ProposalView::eventFilter(QObject *watched, QEvent *event)
{
    if (m_canvas->isEscapeInItsWindow(watched, event)) {
        Q_EMIT closeRequested();
        return true;
    }
    if (watched != m_canvas)
        return false;
    switch (event->type()) {
    case QEvent::Resize:
        refresh();
        return false;
    case QEvent::MouseMove: {
        const Hit hit = hitAt(static_cast<QMouseEvent *>(event)->position());
        if (hit != m_hover) {
            m_hover = hit;
            m_canvas->setCursor(hit.room >= 0 || hit.line >= 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
            m_overlay->update();
        }
        return false;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        const Hit hit = hitAt(mouse->position());
        m_pressedOnHit = hit.room >= 0 || hit.line >= 0;
        return m_pressedOnHit;
    }
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || !m_pressedOnHit)
            return false;
        m_pressedOnHit = false;
        const Hit hit = hitAt(mouse->position());
        const bool reject = mouse->modifiers() & Qt::ControlModifier;
        m_hover = {};
        if (hit.line >= 0)
            Q_EMIT lineClicked(hit.line, reject);
        else if (hit.room >= 0)
            Q_EMIT roomClicked(hit.room, reject);
        return true;
    }
    default:
        return false;
    }
}
