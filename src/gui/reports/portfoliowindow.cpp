#include "gui/reports/portfoliowindow.h"

#include "core/base/metrolaerror.h"
#include "core/base/numbertext.h"
#include "gui/widgets/besidewindow.h"
#include "gui/widgets/dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

QString area(double value)
{
    return NumberText::format(std::round(value * 100) / 100);
}

QTableWidgetItem *item(const QString &text, bool number = false)
{
    auto *i = new QTableWidgetItem(text);
    i->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    if (number)
        i->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return i;
}

const QStringList kComplexColumns = {u"Комплекс"_s,
                                     u"Планов"_s,
                                     u"Помещений"_s,
                                     u"Площадь"_s,
                                     u"Сдано"_s,
                                     u"Свободно"_s,
                                     u"МОП"_s,
                                     u"Сдано, %"_s,
                                     u"К МОП"_s,
                                     u"Арендаторов"_s,
                                     u"Договоров до 12 мес."_s,
                                     u"Архив"_s};

} // namespace

PortfolioWindow::PortfolioWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(u"PortfolioWindow"_s);
    setWindowTitle(u"Портфель"_s);
    auto *layout = new QVBoxLayout(this);
    StatusLabel = new QLabel(this);
    StatusLabel->setObjectName(u"StatusLabel"_s);
    StatusLabel->setWordWrap(true);
    Progress = new QProgressBar(this);
    Progress->setObjectName(u"Progress"_s);
    Progress->hide();
    Tabs = new QTabWidget(this);
    ComplexTable = new QTableWidget(0, int(kComplexColumns.size()), this);
    ComplexTable->setObjectName(u"ComplexTable"_s);
    ComplexTable->setHorizontalHeaderLabels(kComplexColumns);
    ComplexTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    ComplexTable->verticalHeader()->hide();
    ComplexTable->setToolTip(u"Двойной щелчок открывает архив комплекса"_s);
    TenantTable = new QTableWidget(0, 3, this);
    TenantTable->setObjectName(u"TenantTable"_s);
    TenantTable->setHorizontalHeaderLabels({u"Арендатор"_s, u"Площадь всего"_s, u"Комплексы"_s});
    TenantTable->verticalHeader()->hide();
    TenantTable->horizontalHeader()->setStretchLastSection(true);
    Tabs->addTab(ComplexTable, u"Комплексы"_s);
    Tabs->addTab(TenantTable, u"Арендаторы"_s);
    SaveButton = new QPushButton(u"Сохранить в Excel…"_s, this);
    SaveButton->setObjectName(u"SaveButton"_s);
    SaveButton->setEnabled(false);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Progress, 1);
    bottom->addStretch();
    bottom->addWidget(SaveButton);
    layout->addWidget(StatusLabel);
    layout->addWidget(Tabs, 1);
    layout->addLayout(bottom);
    resize(1000, 500);

    connect(ComplexTable, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        const QTableWidgetItem *first = ComplexTable->item(row, 0);
        const QString path = first ? first->data(Qt::UserRole).toString() : QString();
        if (!path.isEmpty())
            Q_EMIT archiveActivated(path);
    });
    connect(SaveButton, &QPushButton::clicked, this, &PortfolioWindow::saveWorkbook);
}

PortfolioWindow::~PortfolioWindow()
{
    stop();
}

void PortfolioWindow::showBeside(const QWidget &anchor)
{
    BesideWindow::show(*this, anchor, QSize(1000, 500), 600, m_placed);
}

void PortfolioWindow::stop()
{
    if (m_cancel)
        m_cancel->store(true);
    if (m_reader && m_reader->joinable())
        m_reader->join();
    m_reader.reset();
}

void PortfolioWindow::waitForLoad()
{
    if (m_reader && m_reader->joinable())
        m_reader->join();
    m_reader.reset();
    // The rows were posted to this thread's event loop.
    QCoreApplication::sendPostedEvents(this);
}

void PortfolioWindow::load(const QString &folder, bool recursive)
{
    stop();
    const quint64 generation = ++m_generation;
    setWindowTitle(u"Портфель — "_s + QDir::toNativeSeparators(folder));
    SaveButton->setEnabled(false);
    ComplexTable->setRowCount(0);
    TenantTable->setRowCount(0);
    QStringList archives;
    try {
        archives = Portfolio::findArchives(folder, recursive);
    } catch (const MetrolaError &error) {
        StatusLabel->setText(error.message());
        return;
    }
    StatusLabel->setText(u"Читаются архивы: %1…"_s.arg(archives.size()));
    Progress->setRange(0, std::max<int>(1, int(archives.size())));
    Progress->setValue(0);
    Progress->setVisible(!archives.isEmpty());
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    QPointer<PortfolioWindow> self(this);
    auto cancel = m_cancel;
    m_reader = std::make_unique<std::thread>([self, cancel, folder, archives, generation] {
        Portfolio::Result result = Portfolio::collect(
            folder, archives, QDate::currentDate(),
            [self, generation](int done, int) {
                QMetaObject::invokeMethod(self, [self, done, generation] {
                    if (self && self->m_generation == generation)
                        self->Progress->setValue(done);
                });
            },
            cancel.get());
        if (cancel->load())
            return;
        QMetaObject::invokeMethod(self, [self, generation, result = std::move(result)]() mutable {
            if (self && self->m_generation == generation)
                self->showResult(std::move(result));
        });
    });
}

void PortfolioWindow::showResult(Portfolio::Result result)
{
    m_result = std::move(result);
    Progress->hide();
    const auto &complexes = m_result.complexes;
    ComplexTable->setRowCount(0);
    int row = 0;
    const auto line = [&](const Portfolio::Complex &c, bool total) {
        ComplexTable->insertRow(row);
        QTableWidgetItem *name = item(c.name);
        name->setData(Qt::UserRole, total ? QString() : c.path);
        ComplexTable->setItem(row, 0, name);
        if (!c.ok()) {
            ComplexTable->setItem(row, 1, item(u"Не прочитан: "_s + c.error));
            ComplexTable->setSpan(row, 1, 1, int(kComplexColumns.size()) - 2);
            ComplexTable->item(row, 1)->setForeground(Qt::darkRed);
            ComplexTable->item(row, 1)->setToolTip(c.error);
        } else {
            const QStringList cells = {
                QString::number(c.plans),
                QString::number(c.rooms),
                area(c.area),
                area(c.let),
                area(c.vacant),
                area(c.common),
                c.letShare ? NumberText::formatShare(*c.letShare) : u"—"_s,
                c.loadFactor ? QString::number(*c.loadFactor, 'f', 3).replace(u'.', u',') : u"—"_s,
                QString::number(c.tenants),
                c.leasesEnding ? u"%1 (%2)"_s.arg(c.leasesEnding).arg(area(c.leasesEndingArea)) : u"0"_s};
            for (int i = 0; i < cells.size(); ++i)
                ComplexTable->setItem(row, i + 1, item(cells[i], true));
        }
        if (!total)
            ComplexTable->setItem(row, int(kComplexColumns.size()) - 1,
                                  item(QDir::toNativeSeparators(c.path)));
        if (total) {
            for (int i = 0; i < ComplexTable->columnCount(); ++i) {
                if (QTableWidgetItem *it = ComplexTable->item(row, i)) {
                    QFont font = it->font();
                    font.setBold(true);
                    it->setFont(font);
                }
            }
        }
        ++row;
    };
    for (const auto &c : complexes)
        if (c.ok())
            line(c, false);
    line(m_result.total, true);
    for (const auto &c : complexes)
        if (!c.ok())
            line(c, false);
    ComplexTable->resizeColumnsToContents();

    TenantTable->setRowCount(int(m_result.tenants.size()));
    for (int i = 0; i < int(m_result.tenants.size()); ++i) {
        const Portfolio::Tenant &t = m_result.tenants[size_t(i)];
        QStringList where;
        for (const auto &[index, a] : t.areas)
            where << complexes[size_t(index)].name + u": "_s + area(a);
        TenantTable->setItem(i, 0, item(t.tenant));
        TenantTable->setItem(i, 1, item(area(t.area), true));
        TenantTable->setItem(i, 2, item(where.join(u"; "_s)));
    }
    TenantTable->resizeColumnsToContents();

    const int read = int(complexes.size()) - m_result.unreadable;
    QString status = u"Комплексов: %1."_s.arg(read);
    if (m_result.unreadable > 0)
        status += u" Не прочитаны архивы: %1 — причины в конце таблицы."_s.arg(m_result.unreadable);
    if (complexes.empty())
        status = u"В папке нет архивов ZIP."_s;
    StatusLabel->setText(status);
    SaveButton->setEnabled(!complexes.empty());
}

void PortfolioWindow::saveWorkbook()
{
    QFileDialog dialog(this, u"Сохранение портфеля"_s);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(u"книги Excel (*.xlsx)"_s);
    dialog.setDefaultSuffix(u"xlsx"_s);
    dialog.selectFile(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                      u"/Портфель.xlsx"_s);
    const QString path = Dialogs::chooseFile(&dialog);
    if (path.isEmpty())
        return;
    try {
        Portfolio::writeWorkbook(m_result, path);
    } catch (const MetrolaError &error) {
        Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s, error.message());
        return;
    }
    Dialogs::message(this, Dialogs::Kind::Information, u"Портфель"_s,
                     u"Таблица сохранена: «%1»."_s.arg(QDir::toNativeSeparators(path)));
}
