#include "gui/leases/leaseswindow.h"

#include "core/base/metrolaerror.h"
#include "core/base/numbertext.h"
#include "core/leases/leasebook.h"
#include "core/leases/leasecalendar.h"
#include "core/model/projectsession.h"
#include "gui/leases/leasedialog.h"
#include "gui/leases/leasetablemodel.h"
#include "gui/widgets/besidewindow.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/guarded.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

LeasesWindow::LeasesWindow(ProjectSession &session, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_session(session)
{
    setObjectName(u"LeasesWindow"_s);
    setWindowTitle(u"Договоры"_s);
    ScopeLabel = new QLabel(this);
    ScopeLabel->setObjectName(u"ScopeLabel"_s);
    AllButton = new QPushButton(u"Все договоры"_s, this);
    AllButton->setObjectName(u"AllButton"_s);
    Filter = new QLineEdit(this);
    Filter->setObjectName(u"Filter"_s);
    Filter->setPlaceholderText(u"Отбор: арендатор, договор, помещение"_s);
    Filter->setClearButtonEnabled(true);
    RefusalLabel = new QLabel(this);
    RefusalLabel->setObjectName(u"RefusalLabel"_s);
    RefusalLabel->setWordWrap(true);
    RefusalLabel->setStyleSheet(u"color: #b00000"_s);
    RefusalLabel->hide();

    m_model = new LeaseTableModel(session.table(), this);
    m_proxy = new QSortFilterProxyModel(this);
    m_proxy->setSourceModel(m_model);
    m_proxy->setSortRole(Qt::UserRole);
    m_proxy->setFilterKeyColumn(-1);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    Table = new QTableView(this);
    Table->setObjectName(u"LeaseTable"_s);
    Table->setModel(m_proxy);
    Table->setSortingEnabled(true);
    Table->sortByColumn(LeaseTableModel::End, Qt::AscendingOrder);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->verticalHeader()->hide();
    Table->horizontalHeader()->setStretchLastSection(true);
    TotalLabel = new QLabel(this);
    TotalLabel->setObjectName(u"TotalLabel"_s);

    const auto button = [this](const QString &name, const QString &text, void (LeasesWindow::*slot)()) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, [this, slot] {
            runGuarded([&] { (this->*slot)(); },
                       [this](const QString &message) {
                           Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s, message);
                       });
        });
        return b;
    };
    AddButton = button(u"AddButton"_s, u"Добавить…"_s, &LeasesWindow::addLease);
    EditButton = button(u"EditButton"_s, u"Изменить…"_s, &LeasesWindow::editLease);
    EndButton = button(u"EndButton"_s, u"Завершить сегодня"_s, &LeasesWindow::endLeaseToday);
    RenewButton = button(u"RenewButton"_s, u"Продлить…"_s, &LeasesWindow::renewLease);
    RemoveButton = button(u"RemoveButton"_s, u"Удалить"_s, &LeasesWindow::removeLease);
    connect(AllButton, &QPushButton::clicked, this, &LeasesWindow::showAll);
    connect(Filter, &QLineEdit::textChanged, m_proxy, &QSortFilterProxyModel::setFilterFixedString);
    connect(Table, &QTableView::doubleClicked, EditButton, &QPushButton::click);
    connect(Table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LeasesWindow::updateButtons);

    auto *top = new QHBoxLayout;
    top->addWidget(ScopeLabel, 1);
    top->addWidget(Filter, 1);
    top->addWidget(AllButton);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {AddButton, EditButton, EndButton, RenewButton, RemoveButton})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(TotalLabel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(RefusalLabel);
    layout->addWidget(Table, 1);
    layout->addLayout(buttons);

    m_editor = [this](const Lease &initial, int replacing) -> std::optional<Lease> {
        LeaseDialog dialog(m_session.table(), book(), initial, replacing, this);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.lease();
    };
    showAll();
}

LeaseBook &LeasesWindow::book()
{
    return LeaseBook::of(m_session);
}

QDate LeasesWindow::today() const
{
    return QDate::currentDate();
}

void LeasesWindow::showRooms(const QList<quint32> &keys, const QString &title)
{
    m_keys = keys;
    m_tenant.clear();
    ScopeLabel->setText(title);
    refresh();
}

void LeasesWindow::showTenant(const QString &tenant)
{
    m_keys.clear();
    m_tenant = tenant;
    ScopeLabel->setText(u"Арендатор «%1»"_s.arg(tenant));
    refresh();
}

void LeasesWindow::showAll()
{
    m_keys.clear();
    m_tenant.clear();
    ScopeLabel->setText(u"Весь комплекс"_s);
    refresh();
}

void LeasesWindow::refresh()
{
    const LeaseBook *current = LeaseBook::in(m_session);
    m_model->reset(current, m_keys, m_tenant, today());
    const bool refused = current && current->isRefused();
    RefusalLabel->setVisible(refused);
    if (refused) {
        RefusalLabel->setText(u"Договоры проекта не загружены: %1 Файл сохранится в архиве без изменений; "
                              "исправьте его и откройте архив снова."_s.arg(current->refusal()));
    }
    double area = 0;
    double rent = 0;
    int inForce = 0;
    for (int r = 0; r < m_model->rowCount(); ++r) {
        const Lease &lease = current->lease(m_model->leaseAt(r));
        if (!lease.inForce(today()))
            continue;
        ++inForce;
        const double a = m_model->data(m_model->index(r, LeaseTableModel::Area), Qt::UserRole).toDouble();
        area += a;
        rent += lease.rate.value_or(0) * a;
    }
    TotalLabel->setText(
        u"Договоров: %1, действуют сегодня: %2, площадь %3 м², в месяц %4 ₽"_s
            .arg(m_model->rowCount())
            .arg(inForce)
            .arg(NumberText::format(area), NumberText::format(std::round(rent * 100) / 100)));
    Table->resizeColumnsToContents();
    // A tenant of many rooms would push the dates out of sight; the tooltip has them all.
    const int roomsWidth = Table->fontMetrics().horizontalAdvance(QString(40, u'м'));
    if (Table->columnWidth(LeaseTableModel::Rooms) > roomsWidth)
        Table->setColumnWidth(LeaseTableModel::Rooms, roomsWidth);
    updateButtons();
}

void LeasesWindow::updateButtons()
{
    const LeaseBook *current = LeaseBook::in(m_session);
    const bool editable = !(current && current->isRefused()) && !m_session.table().isFinished();
    const bool selected = selectedLease() >= 0;
    AddButton->setEnabled(editable);
    for (QPushButton *b : {EditButton, EndButton, RenewButton, RemoveButton})
        b->setEnabled(editable && selected);
}

void LeasesWindow::showBeside(const QWidget &anchor)
{
    BesideWindow::show(*this, anchor, QSize(1100, 560), 520, m_placed);
}

int LeasesWindow::selectedLease() const
{
    const QModelIndexList rows = Table->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return -1;
    return m_model->leaseAt(m_proxy->mapToSource(rows.first()).row());
}

void LeasesWindow::addLease()
{
    Lease initial;
    for (quint32 key : std::as_const(m_keys))
        initial.rooms.append(LeaseRoom{key, {}});
    initial.tenant = m_tenant;
    initial.start = today();
    const auto lease = m_editor(initial, -1);
    if (!lease)
        return;
    QList<quint32> keys;
    for (const LeaseRoom &room : lease->rooms)
        keys << room.key;
    book().add(*lease, m_session.table());
    changed(keys);
}

void LeasesWindow::editLease()
{
    const int index = selectedLease();
    if (index < 0)
        return;
    const Lease old = book().lease(index);
    const auto lease = m_editor(old, index);
    if (!lease)
        return;
    book().replace(index, *lease, m_session.table());
    QList<quint32> keys;
    for (const LeaseRoom &room : old.rooms + lease->rooms)
        keys << room.key;
    changed(keys);
}

void LeasesWindow::endLeaseToday()
{
    const int index = selectedLease();
    if (index < 0)
        return;
    Lease lease = book().lease(index);
    if (lease.start.isValid() && lease.start > today()) {
        throw MetrolaError(
            u"Договор %1 ещё не начался: завершить его сегодня нельзя. Измените его сроки или удалите его."_s
                .arg(lease.describe()));
    }
    if (lease.end.isValid() && lease.end <= today())
        throw MetrolaError(u"Договор %1 уже завершён."_s.arg(lease.describe()));
    lease.end = today();
    book().replace(index, lease, m_session.table());
    QList<quint32> keys;
    for (const LeaseRoom &room : lease.rooms)
        keys << room.key;
    changed(keys);
}

void LeasesWindow::renewLease()
{
    const int index = selectedLease();
    if (index < 0)
        return;
    const Lease old = book().lease(index);
    if (!old.end.isValid())
        throw MetrolaError(u"Договор %1 бессрочный: продлевать его не нужно."_s.arg(old.describe()));
    // The new lease runs from the day after the old end for as long as the old one ran.
    Lease initial = old;
    initial.start = old.end.addDays(1);
    initial.end = old.start.isValid() ? initial.start.addDays(old.start.daysTo(old.end)) : QDate();
    const auto lease = m_editor(initial, -1);
    if (!lease)
        return;
    book().add(*lease, m_session.table());
    QList<quint32> keys;
    for (const LeaseRoom &room : lease->rooms)
        keys << room.key;
    changed(keys);
}

void LeasesWindow::removeLease()
{
    const int index = selectedLease();
    if (index < 0)
        return;
    const Lease old = book().lease(index);
    if (Dialogs::message(this, Dialogs::Kind::Question, u"Договоры"_s,
                         u"Удалить договор %1? Его не будет ни в отчётах на прошлые даты, ни в архиве."_s.arg(
                             old.describe())) != QMessageBox::Yes)
        return;
    book().remove(index);
    QList<quint32> keys;
    for (const LeaseRoom &room : old.rooms)
        keys << room.key;
    changed(keys);
}

void LeasesWindow::changed(const QList<quint32> &keys)
{
    m_session.setModified(true);
    offerTenants(keys);
    refresh();
    Q_EMIT leasesEdited();
}

void LeasesWindow::offerTenants(const QList<quint32> &keys)
{
    RecordTable &table = m_session.table();
    if (table.isFinished())
        return;
    const LeaseCalendar calendar(book());
    QList<LeaseCalendar::Mismatch> offered;
    for (const LeaseCalendar::Mismatch &m : calendar.tenantMismatches(table, today())) {
        const auto key = parseCellNumber(table.cellText(RecordTable::ColourKey, m.row));
        if (key && keys.contains(quint32(*key)))
            offered.append(m);
    }
    if (offered.isEmpty())
        return;
    QStringList lines;
    for (const LeaseCalendar::Mismatch &m :
         std::as_const(offered).first(std::min<qsizetype>(offered.size(), 12))) {
        lines << u"• %1 (%2): «%3» вместо «%4»"_s.arg(
            table.cellText(RecordTable::Name, m.row), table.cellText(RecordTable::PlanId, m.row),
            m.leaseTenant.isEmpty() ? u"свободно"_s : m.leaseTenant,
            m.recordTenant.isEmpty() ? u"свободно"_s : m.recordTenant);
    }
    if (offered.size() > 12)
        lines << u"… и ещё %1"_s.arg(offered.size() - 12);
    const QString text =
        u"По договорам, действующим сегодня, в записях помещений другой арендатор (Инфо2):\n%1\n\n"
        "Записать арендаторов из договоров в записи?"_s.arg(lines.join(u'\n'));
    if (Dialogs::message(this, Dialogs::Kind::Question, u"Договоры"_s, text) != QMessageBox::Yes)
        return;
    for (const LeaseCalendar::Mismatch &m : std::as_const(offered)) {
        RecordTable::Row row = table.row(m.row);
        row[RecordTable::Tenant] = m.leaseTenant;
        table.updateRecord(m.row, row, RecordTable::today());
    }
}
