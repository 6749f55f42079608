#pragma once

#include "core/reports/plancolouring.h"

#include <QWidget>

// The legend of the plan colouring: a small semi-transparent box over a corner of the plan
// area, listing colour, caption and area. It lets the mouse through to the plan below and keeps
// to its parent's top right corner when the parent is resized.
class PlanLegend : public QWidget
{
    Q_OBJECT

public:
    explicit PlanLegend(QWidget *parent = nullptr);

    // Hidden when the list is empty. unit follows each area ("кв.м").
    void setItems(std::vector<PlanColouring::LegendItem> items, const QString &unit);
    const std::vector<PlanColouring::LegendItem> &items() const { return m_items; }
    // The text of one line as it is drawn.
    QString lineText(size_t i) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();

    std::vector<PlanColouring::LegendItem> m_items;
    QString m_unit;
};
