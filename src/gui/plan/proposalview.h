#pragma once

#include <QObject>
#include <QPointer>

#include <optional>

class PlanCanvas;
class QImage;
class RoomProposals;

// Shows proposed rooms and closing lines over the plan widget and reports clicks on them. An
// open room is hatched where its floor is still unmarked (a room marked meanwhile by hand or
// accepted loses its hatching at once), with its area when the plan has a scale; an open line
// is dashed. A left click on a line or a room asks to accept it, with Ctrl to reject it; the
// pointer over one highlights it. Escape in the plan's window asks to close. Every other event
// (the right-click that marks a room, the hover hint) goes on to the plan as usual.
class ProposalView : public QObject
{
    Q_OBJECT

public:
    // The proposals and the plan stay owned by the caller and must outlive the view, or the
    // view is stopped first.
    ProposalView(PlanCanvas *canvas, const RoomProposals &proposals, const QImage &plan);
    ~ProposalView() override;

    // Metres per pixel for the areas shown; none shows no areas.
    void setScale(std::optional<double> metresPerPixel);
    // After the proposals or the plan changed.
    void refresh();
    // Whether the room's point is still unmarked floor: the room can still be accepted.
    bool roomUnmarked(int room) const;

Q_SIGNALS:
    void roomClicked(int room, bool reject);
    void lineClicked(int line, bool reject);
    void closeRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class Overlay;
    struct Hit
    {
        int room = -1;
        int line = -1;
        friend bool operator==(const Hit &, const Hit &) = default;
    };
    Hit hitAt(QPointF widgetPoint) const;

    PlanCanvas *m_canvas;
    const RoomProposals &m_proposals;
    const QImage &m_plan;
    QPointer<Overlay> m_overlay;
    Hit m_hover;
    bool m_pressedOnHit = false;
};
