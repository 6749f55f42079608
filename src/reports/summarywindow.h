#pragma once

#include "reports/complexsummary.h"

#include <QWidget>

class ProjectSession;
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

    explicit SummaryWindow(ProjectSession &session, QWidget *parent = nullptr);

    const ComplexSummary &summary() const { return m_summary; }
    // Rebuilds the tables now; changes of the records call it through a zero timer, so a burst
    // of changes costs one rebuild.
    void refresh();
    void scheduleRefresh();

    QTreeWidget *PlanTable = nullptr;
    QTreeWidget *TenantTable = nullptr;
    QTreeWidget *ProblemTable = nullptr;
    QPushButton *CopyButton = nullptr;

Q_SIGNALS:
    void roomActivated(int row);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void copyTables();
    void itemActivated(QTreeWidgetItem *item);

    ProjectSession &m_session;
    ComplexSummary m_summary;
    QTimer *m_refreshTimer = nullptr;
};
