#include "summarywindow.h"

#include "model/projectsession.h"
#include "reports/areatext.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QTreeWidget *table(QWidget *parent, const QString &name)
{
    auto *tree = new QTreeWidget(parent);
    tree->setObjectName(name);
    tree->setRootIsDecorated(false);
    tree->setAlternatingRowColors(true);
    tree->setUniformRowHeights(true);
    tree->header()->setStretchLastSection(false);
    return tree;
}

// Columns firstNumber .. lastNumber hold numbers and are right-aligned.
QTreeWidgetItem *item(const QStringList &cells, int firstNumber, int lastNumber)
{
    auto *it = new QTreeWidgetItem(cells);
    for (int c = firstNumber; c <= lastNumber && c < cells.size(); ++c)
        it->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    return it;
}

QTreeWidgetItem *roomItem(const RecordTable &records, int row)
{
    const RecordTable::Row &r = records.row(row);
    auto *it = new QTreeWidgetItem({u"строка %1: %2"_s.arg(row).arg(r[RecordTable::Name]), u"1"_s,
                                    r[RecordTable::Area], r[RecordTable::PlanId]});
    it->setData(0, SummaryWindow::RowRole, row);
    it->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    it->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    return it;
}

} // namespace

SummaryWindow::SummaryWindow(ProjectSession &session, QWidget *parent)
    : QWidget(parent, Qt::Window), m_session(session)
{
    setObjectName(u"SummaryWindow"_s);
    setWindowTitle(u"Сводка"_s);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(u"По планам"_s, this));
    PlanTable = table(this, u"PlanTable"_s);
    layout->addWidget(PlanTable, 3);
    layout->addWidget(new QLabel(u"По арендаторам (двойной щелчок по помещению открывает запись)"_s, this));
    TenantTable = table(this, u"TenantTable"_s);
    TenantTable->setRootIsDecorated(true);
    layout->addWidget(TenantTable, 4);
    layout->addWidget(new QLabel(u"Проблемы"_s, this));
    ProblemTable = table(this, u"ProblemTable"_s);
    layout->addWidget(ProblemTable, 2);
    auto *buttons = new QHBoxLayout;
    CopyButton = new QPushButton(u"Копировать"_s, this);
    CopyButton->setObjectName(u"CopyButton"_s);
    CopyButton->setToolTip(u"Скопировать таблицы в буфер обмена (для вставки в электронную таблицу)"_s);
    auto *close = new QPushButton(u"Закрыть"_s, this);
    buttons->addStretch();
    buttons->addWidget(CopyButton);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    resize(900, 600);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(0);
    connect(m_refreshTimer, &QTimer::timeout, this, &SummaryWindow::refresh);
    connect(CopyButton, &QPushButton::clicked, this, &SummaryWindow::copyTables);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    for (QTreeWidget *tree : {TenantTable, ProblemTable})
        connect(tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *it) { itemActivated(it); });
    connect(TenantTable, &QTreeWidget::itemExpanded, this, [this] { TenantTable->resizeColumnToContents(0); });
    RecordTable *records = &m_session.table();
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(records, signal, this, &SummaryWindow::scheduleRefresh);
    connect(records, &QAbstractItemModel::dataChanged, this, &SummaryWindow::scheduleRefresh);
    connect(records, &QAbstractItemModel::modelReset, this, &SummaryWindow::scheduleRefresh);
}

void SummaryWindow::scheduleRefresh()
{
    // A hidden window catches up when it is shown.
    if (isVisible())
        m_refreshTimer->start();
}

void SummaryWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
}

void SummaryWindow::refresh()
{
    m_refreshTimer->stop();
    const RecordTable &records = m_session.table();
    const Captions &captions = m_session.captions();
    m_summary = ComplexSummary::of(records, m_session.plans().names());

    PlanTable->clear();
    PlanTable->setHeaderLabels(ComplexSummary::planHeader(captions));
    for (const ComplexSummary::Figures &plan : m_summary.plans)
        PlanTable->addTopLevelItem(item(ComplexSummary::planCells(plan), 1, 99));
    QTreeWidgetItem *total = item(ComplexSummary::planCells(m_summary.total), 1, 99);
    QFont bold = total->font(0);
    bold.setBold(true);
    for (int c = 0; c < total->columnCount(); ++c)
        total->setFont(c, bold);
    PlanTable->addTopLevelItem(total);

    // Keep open what the user opened.
    QSet<QString> expanded;
    for (int i = 0; i < TenantTable->topLevelItemCount(); ++i) {
        if (TenantTable->topLevelItem(i)->isExpanded())
            expanded.insert(TenantTable->topLevelItem(i)->text(0));
    }
    TenantTable->clear();
    TenantTable->setHeaderLabels(ComplexSummary::tenantHeader());
    for (const ComplexSummary::Tenant &tenant : m_summary.tenants) {
        QTreeWidgetItem *top = item(ComplexSummary::tenantCells(tenant), 1, 2);
        for (int row : tenant.rows)
            top->addChild(roomItem(records, row));
        TenantTable->addTopLevelItem(top);
        top->setExpanded(expanded.contains(top->text(0)));
    }

    ProblemTable->clear();
    ProblemTable->setHeaderLabels(ComplexSummary::problemHeader());
    for (const ComplexSummary::Problem &problem : m_summary.problems) {
        auto *it = new QTreeWidgetItem({QString::number(problem.row), problem.kind, problem.message});
        it->setData(0, RowRole, problem.row);
        ProblemTable->addTopLevelItem(it);
    }
    for (QTreeWidget *tree : {PlanTable, TenantTable, ProblemTable}) {
        for (int c = 0; c < tree->columnCount(); ++c)
            tree->resizeColumnToContents(c);
        tree->header()->setStretchLastSection(tree == ProblemTable);
    }
}

void SummaryWindow::copyTables()
{
    QApplication::clipboard()->setText(m_summary.tabSeparated(m_session.captions()));
}

void SummaryWindow::itemActivated(QTreeWidgetItem *it)
{
    const QVariant row = it ? it->data(0, RowRole) : QVariant();
    if (row.isValid() && row.toInt() > 0)
        Q_EMIT roomActivated(row.toInt());
}
