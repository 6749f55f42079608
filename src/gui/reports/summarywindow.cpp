#include "gui/reports/summarywindow.h"

#include "core/base/numbertext.h"
#include "core/leases/leasebook.h"
#include "core/leases/leasecalendar.h"
#include "core/leases/leaserules.h"
#include "core/model/areacheckrunner.h"
#include "core/model/projectsession.h"
#include "core/plan/colourkey.h"
#include "core/reports/commonareasuggestion.h"
#include "gui/widgets/besidewindow.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/scalequestion.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSplitter>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

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

// Sorts by the number kept under SortRole where there is one, else by text.
class SortedItem : public QTreeWidgetItem
{
public:
    static constexpr int SortRole = Qt::UserRole + 2;
    using QTreeWidgetItem::QTreeWidgetItem;

    bool operator<(const QTreeWidgetItem &other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        const QVariant a = data(column, SortRole);
        const QVariant b = other.data(column, SortRole);
        if (a.isValid() != b.isValid())
            return a.isValid(); // numbers before empty cells
        if (a.isValid())
            return a.toDouble() < b.toDouble();
        return QString::localeAwareCompare(text(column), other.text(column)) < 0;
    }
};

// A titled part of the window's splitter.
QVBoxLayout *section(QSplitter *splitter, const QString &title, QWidget *content)
{
    auto *box = new QWidget(splitter);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(new QLabel(title, box));
    content->setParent(box);
    layout->addWidget(content);
    splitter->addWidget(box);
    return layout;
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

SummaryWindow::SummaryWindow(ProjectSession &session, AreaCheckRunner &areaChecks, QWidget *parent)
    : QWidget(parent, Qt::Window), m_session(session), m_areaChecks(areaChecks)
{
    setObjectName(u"SummaryWindow"_s);
    setWindowTitle(u"Сводка"_s);
    auto *layout = new QVBoxLayout(this);
    auto *dayRow = new QHBoxLayout;
    auto *dayLabel = new QLabel(u"На дату:"_s, this);
    AsOfDate = new QDateEdit(QDate::currentDate(), this);
    AsOfDate->setObjectName(u"AsOfDate"_s);
    AsOfDate->setDisplayFormat(u"dd.MM.yyyy"_s);
    AsOfDate->setCalendarPopup(true);
    AsOfDate->setToolTip(
        u"Занятые и свободные площади, арендаторы и этажи по договорам, действующим на эту дату"_s);
    dayLabel->setBuddy(AsOfDate);
    TodayButton = new QPushButton(u"Сегодня"_s, this);
    TodayButton->setObjectName(u"TodayButton"_s);
    dayRow->addWidget(dayLabel);
    dayRow->addWidget(AsOfDate);
    dayRow->addWidget(TodayButton);
    dayRow->addStretch();
    layout->addLayout(dayRow);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->setChildrenCollapsible(false);
    layout->addWidget(splitter, 1);

    PlanTable = table(this, u"PlanTable"_s);
    QVBoxLayout *planSection = section(splitter, u"По планам"_s, PlanTable);
    auto *scaleRow = new QHBoxLayout;
    auto *toleranceLabel = new QLabel(u"Допуск расхождения площадей:"_s, this);
    Tolerance = new QDoubleSpinBox(this);
    Tolerance->setObjectName(u"Tolerance"_s);
    Tolerance->setRange(0, PlanScales::kMaxTolerance);
    Tolerance->setDecimals(1);
    Tolerance->setSuffix(u" %"_s);
    Tolerance->setLocale(QLocale(QLocale::Russian, QLocale::Russia)); // a decimal comma, as every area
    // Set when the user is done typing, not at every digit.
    Tolerance->setKeyboardTracking(false);
    toleranceLabel->setBuddy(Tolerance);
    MeasureScaleButton = new QPushButton(u"Измерить на плане…"_s, this);
    MeasureScaleButton->setObjectName(u"MeasureScaleButton"_s);
    MeasureScaleButton->setToolTip(u"Показать выбранный план и указать на нём две точки и расстояние между ними"_s);
    EditScaleButton = new QPushButton(u"Ввести масштаб…"_s, this);
    EditScaleButton->setObjectName(u"EditScaleButton"_s);
    EditScaleButton->setToolTip(u"Ввести, сколько метров в одном пикселе выбранного плана"_s);
    RemoveScaleButton = new QPushButton(u"Удалить масштаб"_s, this);
    RemoveScaleButton->setObjectName(u"RemoveScaleButton"_s);
    RemoveScaleButton->setToolTip(u"Удалить масштаб выбранного плана: его площади больше не проверяются"_s);
    scaleRow->addWidget(toleranceLabel);
    scaleRow->addWidget(Tolerance);
    scaleRow->addStretch();
    scaleRow->addWidget(new QLabel(u"Масштаб выбранного плана:"_s, this));
    scaleRow->addWidget(MeasureScaleButton);
    scaleRow->addWidget(EditScaleButton);
    scaleRow->addWidget(RemoveScaleButton);
    planSection->addLayout(scaleRow);

    TenantTable = table(this, u"TenantTable"_s);
    TenantTable->setRootIsDecorated(true);
    TenantTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    QVBoxLayout *tenantSection =
        section(splitter, u"По арендаторам (двойной щелчок по помещению открывает запись)"_s, TenantTable);
    auto *commonRow = new QHBoxLayout;
    MarkCommonButton = new QPushButton(u"Отметить как МОП"_s, this);
    MarkCommonButton->setObjectName(u"MarkCommonButton"_s);
    MarkCommonButton->setToolTip(u"Отметить выбранные помещения (строка арендатора — все его помещения) как места "
                                 u"общего пользования"_s);
    UnmarkCommonButton = new QPushButton(u"Снять отметку МОП"_s, this);
    UnmarkCommonButton->setObjectName(u"UnmarkCommonButton"_s);
    WholeComplex = new QCheckBox(u"Распределять МОП по всему комплексу"_s, this);
    WholeComplex->setObjectName(u"WholeComplex"_s);
    WholeComplex->setToolTip(u"Включено: доля МОП арендатора пропорциональна его площади в комплексе. Выключено: "
                             u"МОП каждого плана делятся между арендаторами этого плана"_s);
    WholeComplex->setChecked(m_session.commonOverWholeComplex);
    commonRow->addWidget(MarkCommonButton);
    commonRow->addWidget(UnmarkCommonButton);
    commonRow->addStretch();
    commonRow->addWidget(WholeComplex);
    tenantSection->addLayout(commonRow);
    auto *suggestionRow = new QHBoxLayout;
    CommonNotice = new QLabel(this);
    CommonNotice->setObjectName(u"CommonNotice"_s);
    CommonNotice->setWordWrap(true);
    AcceptSuggestionButton = new QPushButton(u"Отметить их как МОП"_s, this);
    AcceptSuggestionButton->setObjectName(u"AcceptSuggestionButton"_s);
    DeclineSuggestionButton = new QPushButton(u"Не отмечать"_s, this);
    DeclineSuggestionButton->setObjectName(u"DeclineSuggestionButton"_s);
    suggestionRow->addWidget(CommonNotice, 1);
    suggestionRow->addWidget(AcceptSuggestionButton);
    suggestionRow->addWidget(DeclineSuggestionButton);
    tenantSection->insertLayout(1, suggestionRow);
    AreaTable = table(this, u"AreaTable"_s);
    AreaTable->setSortingEnabled(true);
    AreaTable->sortByColumn(0, Qt::AscendingOrder);
    section(splitter, u"Измеренные площади на планах с масштабом (двойной щелчок открывает запись)"_s, AreaTable);
    EndingTable = table(this, u"EndingTable"_s);
    EndingTable->setHeaderLabels({u"Окончание"_s, u"Арендатор"_s, u"Договор"_s, u"Планы"_s, u"Площадь"_s});
    section(splitter, u"Договоры, истекающие в ближайшие 12 месяцев"_s, EndingTable);
    ProblemTable = table(this, u"ProblemTable"_s);
    section(splitter, u"Проблемы"_s, ProblemTable);
    for (int i = 0; i < splitter->count(); ++i)
        splitter->setStretchFactor(i, i == 0 ? 2 : i == 3 ? 2 : i == 4 ? 1 : 3);

    auto *buttons = new QHBoxLayout;
    MeasureStatus = new QLabel(this);
    MeasureStatus->setObjectName(u"MeasureStatus"_s);
    MeasureProgress = new QProgressBar(this);
    MeasureProgress->setObjectName(u"MeasureProgress"_s);
    MeasureProgress->setRange(0, 0);
    MeasureProgress->setMaximumWidth(160);
    MeasureProgress->hide();
    CopyButton = new QPushButton(u"Копировать"_s, this);
    CopyButton->setObjectName(u"CopyButton"_s);
    CopyButton->setToolTip(u"Скопировать таблицы в буфер обмена (для вставки в электронную таблицу)"_s);
    auto *close = new QPushButton(u"Закрыть"_s, this);
    buttons->addWidget(MeasureStatus);
    buttons->addWidget(MeasureProgress);
    buttons->addStretch();
    buttons->addWidget(CopyButton);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(0);
    connect(m_refreshTimer, &QTimer::timeout, this, &SummaryWindow::refresh);
    connect(CopyButton, &QPushButton::clicked, this, &SummaryWindow::copyTables);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    for (QTreeWidget *tree : {TenantTable, ProblemTable, AreaTable})
        connect(tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *it) { itemActivated(it); });
    connect(TenantTable, &QTreeWidget::itemExpanded, this, [this] { TenantTable->resizeColumnToContents(0); });
    connect(PlanTable, &QTreeWidget::itemSelectionChanged, this, &SummaryWindow::updateScaleButtons);
    connect(Tolerance, &QDoubleSpinBox::valueChanged, this, &SummaryWindow::toleranceEdited);
    connect(MeasureScaleButton, &QPushButton::clicked, this, [this] {
        if (!selectedPlan().isEmpty())
            Q_EMIT measureRequested(selectedPlan());
    });
    connect(EditScaleButton, &QPushButton::clicked, this, &SummaryWindow::editScale);
    connect(RemoveScaleButton, &QPushButton::clicked, this, &SummaryWindow::removeScale);
    connect(MarkCommonButton, &QPushButton::clicked, this, [this] { setCommon(selectedRooms(), true); });
    connect(UnmarkCommonButton, &QPushButton::clicked, this, [this] { setCommon(selectedRooms(), false); });
    connect(AcceptSuggestionButton, &QPushButton::clicked, this, [this] { setCommon(m_suggested, true); });
    connect(DeclineSuggestionButton, &QPushButton::clicked, this, &SummaryWindow::declineSuggestion);
    connect(TenantTable, &QTreeWidget::itemSelectionChanged, this, &SummaryWindow::updateCommonControls);
    connect(WholeComplex, &QCheckBox::toggled, this, [this](bool checked) {
        m_session.commonOverWholeComplex = checked;
        refresh();
    });
    connect(AsOfDate, &QDateEdit::dateChanged, this, [this](QDate day) {
        refresh();
        Q_EMIT asOfChanged(day);
    });
    connect(TodayButton, &QPushButton::clicked, this, [this] { AsOfDate->setDate(QDate::currentDate()); });
    connect(&m_areaChecks, &AreaCheckRunner::progress, this, &SummaryWindow::showProgress);
    connect(&m_areaChecks, &AreaCheckRunner::finished, this, &SummaryWindow::scheduleRefresh);
    RecordTable *records = &m_session.table();
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(records, signal, this, &SummaryWindow::scheduleRefresh);
    connect(records, &QAbstractItemModel::dataChanged, this, &SummaryWindow::scheduleRefresh);
    connect(records, &QAbstractItemModel::modelReset, this, &SummaryWindow::scheduleRefresh);
}

QDate SummaryWindow::asOfDay() const
{
    return AsOfDate->date();
}

void SummaryWindow::showBeside(const QWidget &anchor)
{
    // Wide enough for the plan table's columns where the screen allows.
    BesideWindow::show(*this, anchor, QSize(1320, 800), 560, m_placed);
}

QRect SummaryWindow::placeBeside(const QRect &anchor, QSize wanted, int minimumWidth, const QRect &available)
{
    return BesideWindow::place(anchor, wanted, minimumWidth, available);
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
    // With leases, tenants are those of the leases in force on the day; without, the records'.
    const LeaseBook *leases = LeaseBook::in(m_session);
    const bool dated = leases && !leases->isRefused() && !leases->isEmpty();
    if (dated)
        m_asOfTable.replaceRows(LeaseCalendar(*leases).rowsAsOf(records, asOfDay()));
    m_summary =
        ComplexSummary::of(dated ? m_asOfTable : records, m_session.plans().names(), m_session.roomFlags(),
                           m_session.commonOverWholeComplex ? ComplexSummary::Allocation::WholeComplex
                                                            : ComplexSummary::Allocation::PerPlan);
    // Plans that must be loaded to be measured are measured in the background; until then
    // their scales show without measured areas.
    const bool measured = m_areaChecks.request();
    m_summary.addAreaChecks(measured ? m_areaChecks.checks() : std::vector<RoomAreaCheck>(), m_session.scales(),
                            records);
    MeasureProgress->setVisible(!measured);
    if (measured)
        MeasureStatus->clear();
    else if (MeasureStatus->text().isEmpty())
        MeasureStatus->setText(u"Измеряются площади комнат по планам…"_s);

    const QString selected = selectedPlan();
    PlanTable->clear();
    const bool scaled = m_summary.hasScales;
    const bool common = m_summary.hasCommon;
    const QStringList planHeader = ComplexSummary::planHeader(captions, scaled, common);
    PlanTable->setColumnCount(int(planHeader.size())); // drops the measured columns with the last scale
    PlanTable->setHeaderLabels(planHeader);
    for (const ComplexSummary::Figures &plan : m_summary.plans) {
        QTreeWidgetItem *row = item(ComplexSummary::planCells(plan, scaled, common), 1, 99);
        PlanTable->addTopLevelItem(row);
        if (plan.measured && plan.measured->rooms > plan.measured->measuredRooms) {
            row->setToolTip(row->columnCount() - 2, u"Измерено помещений: %1 из %2"_s.arg(plan.measured->measuredRooms)
                                                       .arg(plan.measured->rooms));
        }
        // The first plan is offered when none was chosen, so the scale buttons work at once.
        if (plan.plan == selected || (selected.isEmpty() && PlanTable->topLevelItemCount() == 1))
            row->setSelected(true);
    }
    QTreeWidgetItem *total = item(ComplexSummary::planCells(m_summary.total, scaled, common), 1, 99);
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
    const QStringList tenantHeader = ComplexSummary::tenantHeader(common);
    TenantTable->setColumnCount(int(tenantHeader.size())); // drops the rentable columns with the last flag
    TenantTable->setHeaderLabels(tenantHeader);
    for (const ComplexSummary::Tenant &tenant : m_summary.tenants) {
        QTreeWidgetItem *top = item(m_summary.tenantRow(tenant), 1, 2);
        for (int c = 4; c < top->columnCount(); ++c)
            top->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        for (int row : tenant.rows)
            top->addChild(roomItem(records, row));
        TenantTable->addTopLevelItem(top);
        top->setExpanded(expanded.contains(top->text(0)));
    }

    EndingTable->clear();
    if (dated) {
        for (const LeaseExpiry::Ending &e : LeaseExpiry::endingWithin(*leases, records, asOfDay(), 12)) {
            EndingTable->addTopLevelItem(item({LeaseDate::format(e.end), e.tenant, e.contract,
                                               e.plans.join(u", "_s), NumberText::format(e.area)},
                                              4, 4));
        }
    }
    for (int c = 0; c < EndingTable->columnCount(); ++c)
        EndingTable->resizeColumnToContents(c);

    ProblemTable->clear();
    ProblemTable->setHeaderLabels(ComplexSummary::problemHeader());
    for (const ComplexSummary::Problem &problem : m_summary.problems) {
        auto *it = new QTreeWidgetItem(
            {QString::number(problem.row), ComplexSummary::kindText(problem.kind), problem.message});
        it->setData(0, RowRole, problem.row);
        ProblemTable->addTopLevelItem(it);
    }
    // The leases' problems as `check` tells them, on today's leases whatever the day shown.
    if (leases) {
        for (const LeaseRules::Problem &problem : LeaseRules::check(*leases, records, QDate::currentDate())) {
            auto *it = new QTreeWidgetItem({QString::number(problem.row), u"договоры"_s, problem.message});
            it->setData(0, RowRole, problem.row);
            ProblemTable->addTopLevelItem(it);
        }
    }
    fillAreaTable();
    updateCommonControls();
    {
        const QSignalBlocker blocker(Tolerance);
        Tolerance->setValue(m_session.scales().tolerance());
    }
    updateScaleButtons();

    for (QTreeWidget *tree : {PlanTable, TenantTable, AreaTable, ProblemTable}) {
        for (int c = 0; c < tree->columnCount(); ++c)
            tree->resizeColumnToContents(c);
        tree->header()->setStretchLastSection(tree == ProblemTable);
    }
}

void SummaryWindow::fillAreaTable()
{
    AreaTable->setSortingEnabled(false);
    AreaTable->clear();
    AreaTable->setHeaderLabels(ComplexSummary::areaHeader());
    QList<QTreeWidgetItem *> items;
    items.reserve(qsizetype(m_summary.areaRooms.size()));
    for (const ComplexSummary::AreaRoom &room : m_summary.areaRooms) {
        const RoomAreaCheck &check = room.check;
        auto *it = new SortedItem(ComplexSummary::areaCells(room));
        it->setData(0, RowRole, check.row);
        it->setData(0, SortedItem::SortRole, check.row);
        if (check.typed)
            it->setData(3, SortedItem::SortRole, *check.typed);
        if (check.measured)
            it->setData(4, SortedItem::SortRole, *check.measured);
        if (check.percent)
            it->setData(5, SortedItem::SortRole, *check.percent);
        for (int c = 3; c <= 5; ++c)
            it->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        if (check.mismatch()) {
            const QColor colour = check.status == RoomAreaCheck::Status::TypedLarger ? QColor(0xb2, 0x18, 0x2b)
                                                                                      : QColor(0x21, 0x66, 0xac);
            for (int c = 5; c <= 6; ++c)
                it->setForeground(c, colour);
        }
        items.append(it);
    }
    AreaTable->addTopLevelItems(items);
    AreaTable->setSortingEnabled(true);
}

QString SummaryWindow::selectedPlan() const
{
    const QList<QTreeWidgetItem *> items = PlanTable->selectedItems();
    if (items.isEmpty())
        return {};
    const int index = PlanTable->indexOfTopLevelItem(items.constFirst());
    return index >= 0 && size_t(index) < m_summary.plans.size() ? m_summary.plans[size_t(index)].plan : QString();
}

void SummaryWindow::updateScaleButtons()
{
    const QString plan = selectedPlan();
    const bool hasScale = !plan.isEmpty() && m_session.scales().scale(plan).has_value();
    MeasureScaleButton->setEnabled(!plan.isEmpty() && m_session.plans().names().contains(plan));
    EditScaleButton->setEnabled(!plan.isEmpty());
    RemoveScaleButton->setEnabled(hasScale);
    // The tolerance is kept with the scales, so it means something only once a plan has one.
    Tolerance->setEnabled(!m_session.scales().isEmpty());
    Tolerance->setToolTip(m_session.scales().isEmpty()
                              ? u"Допуск хранится вместе с масштабами планов: сначала задайте масштаб"_s
                              : u"Площади, введённые с большим расхождением с измеренными, попадают в проблемы"_s);
}

void SummaryWindow::editScale()
{
    const QString plan = selectedPlan();
    if (plan.isEmpty())
        return;
    const auto scale = m_session.scales().scale(plan);
    const auto metres = ScaleQuestion::askMetres(this, u"Сколько метров в одном пикселе плана «%1»?"_s.arg(plan),
                                             scale ? NumberText::formatScale(scale->metresPerPixel) : QString());
    if (!metres)
        return;
    if (!ScaleQuestion::setScale(this, m_session.scales(), plan, *metres))
        return;
    Q_EMIT scalesEdited();
    refresh();
}

void SummaryWindow::removeScale()
{
    const QString plan = selectedPlan();
    if (plan.isEmpty() || !m_session.scales().scale(plan))
        return;
    const auto answer = Dialogs::message(
        this, Dialogs::Kind::Question, u"Масштаб"_s,
        u"Удалить масштаб плана «%1»? Площади его комнат больше не будут измеряться и проверяться."_s.arg(plan));
    if (answer != QMessageBox::Yes)
        return;
    m_session.scales().removeScale(plan);
    Q_EMIT scalesEdited();
    refresh();
}

void SummaryWindow::toleranceEdited(double value)
{
    if (value == m_session.scales().tolerance())
        return;
    m_session.scales().setTolerance(value);
    Q_EMIT scalesEdited();
    scheduleRefresh();
}

void SummaryWindow::showProgress(int done, int total, const QString &plan)
{
    MeasureStatus->setText(u"Измеряется план «%1» (%2 из %3)…"_s.arg(plan).arg(done + 1).arg(total));
    MeasureProgress->show();
}

std::vector<int> SummaryWindow::selectedRooms() const
{
    std::vector<int> rows;
    for (const QTreeWidgetItem *it : TenantTable->selectedItems()) {
        const QVariant row = it->data(0, RowRole);
        if (row.isValid()) {
            rows.push_back(row.toInt());
            continue;
        }
        for (int i = 0; i < it->childCount(); ++i)
            rows.push_back(it->child(i)->data(0, RowRole).toInt());
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void SummaryWindow::setCommon(const std::vector<int> &rows, bool common)
{
    RoomFlags &flags = m_session.roomFlags();
    const RecordTable &records = m_session.table();
    QStringList unkeyed;
    bool changed = false;
    for (int row : rows) {
        if (row < 1 || row > records.recordCount())
            continue;
        const auto key = parseCellNumber(records.cellText(RecordTable::ColourKey, row));
        if (!key || !ColourKey::namesRoom(*key)) {
            unkeyed << QString::number(row);
            continue;
        }
        if (flags.isCommon(quint32(*key)) != common) {
            flags.setCommon(quint32(*key), common);
            changed = true;
        }
    }
    // Accepting a suggestion whose rooms are flagged already still answers it.
    if (!flags.isDecided() && !rows.empty()) {
        flags.setDecided(true);
        changed = true;
    }
    if (changed)
        Q_EMIT roomFlagsEdited();
    refresh();
    if (!unkeyed.isEmpty()) {
        Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s,
                         u"Цветовой ключ записей в строках %1 не число: отметку МОП для них не изменить. "
                         u"Исправьте ключи."_s.arg(unkeyed.join(u", "_s)));
    }
}

void SummaryWindow::declineSuggestion()
{
    // Answered once: the project now says that none of these rooms is common.
    m_session.roomFlags().setDecided(true);
    Q_EMIT roomFlagsEdited();
    refresh();
}

void SummaryWindow::updateCommonControls()
{
    const RoomFlags &flags = m_session.roomFlags();
    m_suggested = flags.isDecided() ? std::vector<int>() : CommonAreaSuggestion::rows(m_session.table());
    const std::vector<int> selected = selectedRooms();
    MarkCommonButton->setEnabled(!selected.empty());
    UnmarkCommonButton->setEnabled(!selected.empty() && flags.hasCommon());
    WholeComplex->setEnabled(m_summary.hasCommon);
    QStringList notice;
    if (!m_suggested.empty()) {
        constexpr size_t kNamed = 6;
        QStringList names;
        for (size_t i = 0; i < std::min(m_suggested.size(), kNamed); ++i) {
            const int row = m_suggested[i];
            names << u"«%1» (строка %2)"_s.arg(m_session.table().cellText(RecordTable::Name, row)).arg(row);
        }
        if (m_suggested.size() > kNamed)
            names << u"ещё %1"_s.arg(m_suggested.size() - kNamed);
        notice << u"Похоже на места общего пользования (МОП): %1. Их площадь сейчас считается свободной."_s.arg(
            names.join(u", "_s));
    }
    if (!m_summary.orphanFlags.isEmpty()) {
        notice << u"Отметки МОП %1 помещений без записей (удалённых или отменённых) будут сняты при сохранении."_s.arg(
            m_summary.orphanFlags.size());
    }
    CommonNotice->setText(notice.join(u' '));
    CommonNotice->setVisible(!notice.isEmpty());
    AcceptSuggestionButton->setVisible(!m_suggested.empty());
    DeclineSuggestionButton->setVisible(!m_suggested.empty());
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

void SummaryWindow::keyPressEvent(QKeyEvent *event)
{
    // A window to glance at and put away: Escape closes it, as it does a dialog.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
