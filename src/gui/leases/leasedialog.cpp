#include "gui/leases/leasedialog.h"

#include "core/base/metrolaerror.h"
#include "core/leases/leasebook.h"
#include "core/model/recordtable.h"
#include "core/plan/colourkey.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/fieldvalidator.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int KeyRole = Qt::UserRole + 1;

} // namespace

LeaseDialog::LeaseDialog(const RecordTable &table, const LeaseBook &book, const Lease &initial, int replacing,
                         QWidget *parent)
    : QDialog(parent)
    , m_table(table)
    , m_book(book)
    , m_replacing(replacing)
    , m_lease(initial)
{
    setObjectName(u"LeaseDialog"_s);
    setWindowTitle(replacing < 0 ? u"Новый договор"_s : u"Договор"_s);
    const auto field = [this](const QString &name, const QString &text) {
        auto *edit = new QLineEdit(text, this);
        edit->setObjectName(name);
        edit->setValidator(new FieldValidator(FieldValidator::Kind::Text, edit));
        return edit;
    };
    TenantEdit = field(u"TenantEdit"_s, initial.tenant);
    ContractEdit = field(u"ContractEdit"_s, initial.contract);
    StartEdit = field(u"StartEdit"_s, LeaseDate::format(initial.start));
    StartEdit->setPlaceholderText(u"ДД.ММ.ГГГГ"_s);
    EndEdit = field(u"EndEdit"_s, LeaseDate::format(initial.end));
    EndEdit->setPlaceholderText(u"пусто — бессрочный"_s);
    RateEdit = field(u"RateEdit"_s, LeaseBook::rateText(initial.rate));
    RateEdit->setPlaceholderText(u"₽ за м² в месяц, можно не указывать"_s);
    NoteEdit = field(u"NoteEdit"_s, initial.note);
    RoomFilter = new QLineEdit(this);
    RoomFilter->setObjectName(u"RoomFilter"_s);
    RoomFilter->setPlaceholderText(u"Найти помещение: название, план, арендатор"_s);
    RoomFilter->setClearButtonEnabled(true);
    RoomList = new QListWidget(this);
    RoomList->setObjectName(u"RoomList"_s);
    for (int r = 1; r <= table.recordCount(); ++r) {
        const auto key = parseCellNumber(table.cellText(RecordTable::ColourKey, r));
        if (!key || !ColourKey::namesRoom(*key))
            continue;
        const QString tenant = table.cellText(RecordTable::Tenant, r);
        auto *item = new QListWidgetItem(
            u"%1 — %2, %3 м²%4"_s.arg(
                table.cellText(RecordTable::Name, r), table.cellText(RecordTable::PlanId, r),
                table.cellText(RecordTable::Area, r), tenant.isEmpty() ? QString() : u" (%1)"_s.arg(tenant)),
            RoomList);
        item->setData(KeyRole, quint32(*key));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(initial.covers(quint32(*key)) ? Qt::Checked : Qt::Unchecked);
    }
    connect(RoomFilter, &QLineEdit::textChanged, this, [this](const QString &text) {
        for (int i = 0; i < RoomList->count(); ++i) {
            QListWidgetItem *item = RoomList->item(i);
            item->setHidden(!text.isEmpty() && !item->text().contains(text, Qt::CaseInsensitive) &&
                            item->checkState() != Qt::Checked);
        }
    });

    auto *form = new QFormLayout;
    form->addRow(u"Арендатор:"_s, TenantEdit);
    form->addRow(u"Номер договора:"_s, ContractEdit);
    form->addRow(u"Начало:"_s, StartEdit);
    form->addRow(u"Конец:"_s, EndEdit);
    form->addRow(u"Ставка:"_s, RateEdit);
    form->addRow(u"Примечание:"_s, NoteEdit);
    form->addRow(u"Помещения:"_s, RoomFilter);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(u"Отмена"_s);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (take())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(RoomList, 1);
    layout->addWidget(buttons);
    resize(560, 620);
}

bool LeaseDialog::take()
{
    QList<LeaseRoom> rooms;
    for (int i = 0; i < RoomList->count(); ++i) {
        const QListWidgetItem *item = RoomList->item(i);
        if (item->checkState() != Qt::Checked)
            continue;
        const quint32 key = item->data(KeyRole).toUInt();
        rooms.append(LeaseRoom{key, m_table.cellText(RecordTable::PlanId, m_table.rowOfColour(key))});
    }
    try {
        Lease lease = LeaseBook::fromTexts(rooms, TenantEdit->text(), ContractEdit->text(), StartEdit->text(),
                                           EndEdit->text(), RateEdit->text(), NoteEdit->text());
        m_book.check(lease, m_table, m_replacing);
        m_lease = std::move(lease);
        return true;
    } catch (const MetrolaError &error) {
        Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s, error.message());
        return false;
    }
}
