#pragma once

#include "core/reports/complexsummary.h"

#include "core/model/recordtable.h"

#include <QDate>
#include <QWidget>

class AreaCheckRunner;
class ProjectSession;
class QCheckBox;
class QDateEdit;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

// "Сводка": the complex by plan, by tenant and its problems, kept up to date while the
// records change. Rows that stand for one room carry its table row; double-clicking them asks
// the main window to show that record.
class SummaryWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int RowRole = Qt::UserRole + 1;

    SummaryWindow(ProjectSession &session, AreaCheckRunner &areaChecks, QWidget *parent = nullptr);

    const ComplexSummary &summary() const { return m_summary; }
    // Rebuilds the tables now; changes of the records call it through a zero timer, so a burst
    // of changes costs one rebuild.
    void refresh();
    void scheduleRefresh();

    QTreeWidget *PlanTable = nullptr;
    QTreeWidget *TenantTable = nullptr;
    QTreeWidget *ProblemTable = nullptr;
    QTreeWidget *AreaTable = nullptr;
    QPushButton *CopyButton = nullptr;
    // The area check: its tolerance, the scale of the plan selected in PlanTable, and the
    // progress of plans being measured.
    QDoubleSpinBox *Tolerance = nullptr;
    QPushButton *MeasureScaleButton = nullptr;
    QPushButton *EditScaleButton = nullptr;
    QPushButton *RemoveScaleButton = nullptr;
    QLabel *MeasureStatus = nullptr;
    QProgressBar *MeasureProgress = nullptr;
    // Common areas: flag or clear the rooms selected in TenantTable (a tenant's line stands for
    // all its rooms), share them over the whole complex, and the suggestion offered to a
    // project that never said which rooms are common.
    QPushButton *MarkCommonButton = nullptr;
    QPushButton *UnmarkCommonButton = nullptr;
    QCheckBox *WholeComplex = nullptr;
    QLabel *CommonNotice = nullptr;
    QPushButton *AcceptSuggestionButton = nullptr;
    QPushButton *DeclineSuggestionButton = nullptr;
    // "На дату": every figure as of that day, tenants from the leases in force then (today by
    // default); the leases ending in the 12 months after it.
    QDateEdit *AsOfDate = nullptr;
    QPushButton *TodayButton = nullptr;
    QTreeWidget *EndingTable = nullptr;
    QDate asOfDay() const;

    // Shows the window and brings it forward. The first showing places it beside anchor (the
    // main window), on anchor's screen; later ones leave it where the user put it.
    void showBeside(const QWidget &anchor);
    // The frame for a window of frame size `wanted` beside the frame `anchor`, inside `available`:
    // right of it, else left of it, else narrowed (not below minimumWidth) into the wider gap,
    // else over the anchor's edge at the side with more room.
    static QRect placeBeside(const QRect &anchor, QSize wanted, int minimumWidth, const QRect &available);

    // The plan of the selected row of PlanTable; empty for the total row or none.
    QString selectedPlan() const;
    // The record rows of the items selected in TenantTable, ascending.
    std::vector<int> selectedRooms() const;
    // The rows the suggestion offers; empty when none is offered.
    const std::vector<int> &suggestedRows() const { return m_suggested; }

Q_SIGNALS:
    void roomActivated(int row);
    // The window changed a scale or the tolerance in the session.
    void scalesEdited();
    // The user wants to measure the plan's scale with two points on it.
    void measureRequested(const QString &plan);
    // The window flagged rooms as common areas or cleared flags in the session.
    void roomFlagsEdited();
    // The day of "На дату" changed.
    void asOfChanged(QDate day);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void copyTables();
    void itemActivated(QTreeWidgetItem *item);
    void fillAreaTable();
    void updateScaleButtons();
    void editScale();
    void removeScale();
    void toleranceEdited(double value);
    void showProgress(int done, int total, const QString &plan);
    void setCommon(const std::vector<int> &rows, bool common);
    void declineSuggestion();
    void updateCommonControls();

    ProjectSession &m_session;
    AreaCheckRunner &m_areaChecks;
    ComplexSummary m_summary;
    std::vector<int> m_suggested;
    // The records as of the chosen day, when the project has leases.
    RecordTable m_asOfTable;
    QTimer *m_refreshTimer = nullptr;
    bool m_placed = false;
};
