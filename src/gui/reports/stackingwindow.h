#pragma once

#include "core/model/recordtable.h"

#include <QDate>

#include "core/reports/stackingplan.h"

#include <QList>
#include <QWidget>

#include <functional>

class ProjectSession;
class QCheckBox;
class QComboBox;
class QPushButton;

// The bars of the stacking plan, drawn as the PDF page draws them; a block under the pointer
// names itself in a tooltip, a click on it is passed on.
class StackingView : public QWidget
{
    Q_OBJECT

public:
    explicit StackingView(QWidget *parent = nullptr);
    void setPlan(StackingPlan plan, bool equalLength);
    const StackingPlan &plan() const { return m_plan; }
    // The area paint() draws into: the widget less a margin.
    QRectF drawingArea() const;
    QSize sizeHint() const override;

    // The bar whose row (its name, bars and the gap around them) holds the point, or -1.
    int rowAt(QPointF point) const;

Q_SIGNALS:
    void blockClicked(int bar, int block);
    // A floor's name was dragged onto another floor's row.
    void floorMoved(int from, int to);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;

private:
    StackingPlan m_plan;
    bool m_equalLength = false;
    int m_dragged = -1;
};

// "Этажи": one bar per plan split by tenant (or by type), kept up to date with the records.
// Clicking a block asks the main window to show that plan with the block's rooms; dragging a
// floor's name moves the floor; the picture can be copied or exported as a PDF page.
class QTimer;

class StackingWindow : public QWidget
{
    Q_OBJECT

public:
    // isCommon tells the records of common areas; none without it.
    explicit StackingWindow(ProjectSession &session, std::function<bool(int row)> isCommon = {},
                            QWidget *parent = nullptr);

    void refresh();
    // A refresh once the events now waiting are done: a run of table changes (a whole floor
    // accepted at once, a project opened) draws the bars once. A hidden window catches up
    // when it is shown.
    void scheduleRefresh();
    // Shows the window beside the main window the first time, where the user left it later.
    void showBeside(const QWidget &anchor);
    // The bars as a picture of the view's size.
    QImage picture() const;

    QComboBox *ColouringBox = nullptr;
    // The day the bars are read on when the project has leases; today when not set.
    void setDay(QDate day);
    QCheckBox *EqualLengthBox = nullptr;
    QPushButton *CopyButton = nullptr;
    QPushButton *PdfButton = nullptr;
    StackingView *View = nullptr;

Q_SIGNALS:
    void roomsActivated(const QString &plan, const QList<int> &rows);
    // The user moved a floor: the order is in the session's room flags, saved with them.
    void floorsReordered();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void exportPdf();

    QTimer *m_refreshTimer = nullptr;

    ProjectSession &m_session;
    std::function<bool(int row)> m_isCommon;
    QDate m_day;
    RecordTable m_asOfTable;
    bool m_placed = false;
};
