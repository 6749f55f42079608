#include "gui/reports/stackingwindow.h"

#include "core/leases/leasebook.h"
#include "core/leases/leasecalendar.h"

#include "core/base/metrolaerror.h"
#include "core/base/numbertext.h"
#include "core/model/projectsession.h"
#include "core/reports/planpdf.h"
#include "gui/widgets/besidewindow.h"
#include "gui/widgets/dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDate>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QScrollArea>
#include <QToolTip>
#include <QVBoxLayout>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

constexpr int kMargin = 12;

} // namespace

StackingView::StackingView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(u"StackingView"_s);
    setMouseTracking(true);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void StackingView::setPlan(StackingPlan plan, bool equalLength)
{
    m_plan = std::move(plan);
    m_equalLength = equalLength;
    updateGeometry();
    update();
}

QRectF StackingView::drawingArea() const
{
    return QRectF(rect()).adjusted(kMargin, kMargin, -kMargin, -kMargin);
}

QSize StackingView::sizeHint() const
{
    // A row per plan and a few legend lines.
    const int rows = int(m_plan.bars.size());
    const int legendLines = int(m_plan.legend().size()) / 3 + 1;
    return {760, 2 * kMargin + rows * 36 + 8 + legendLines * 16};
}

void StackingView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);
    m_plan.paint(painter, drawingArea(), m_equalLength);
}

int StackingView::rowAt(QPointF point) const
{
    for (int b = 0; b < int(m_plan.bars.size()); ++b) {
        const QRectF row = m_plan.barRow(drawingArea(), b);
        const double pitch = m_plan.rowPitch(drawingArea());
        if (point.y() >= row.top() - (pitch - row.height()) / 2 && point.y() < row.top() + pitch - (pitch - row.height()) / 2)
            return b;
    }
    return -1;
}

void StackingView::mousePressEvent(QMouseEvent *event)
{
    // A press on a floor's name starts moving that floor; anywhere else it is a click.
    m_dragged = -1;
    if (event->button() == Qt::LeftButton && event->position().x() < m_plan.barRow(drawingArea(), 0).left()) {
        m_dragged = rowAt(event->position());
        if (m_dragged >= 0)
            setCursor(Qt::ClosedHandCursor);
    }
}

void StackingView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_dragged >= 0) {
        unsetCursor();
        const int from = std::exchange(m_dragged, -1);
        const int to = rowAt(event->position());
        if (to >= 0 && to != from)
            Q_EMIT floorMoved(from, to);
        return;
    }
    const auto [bar, block] = m_plan.blockAt(drawingArea(), m_equalLength, event->position());
    if (bar >= 0)
        Q_EMIT blockClicked(bar, block);
}

bool StackingView::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const auto [bar, block] = m_plan.blockAt(drawingArea(), m_equalLength, help->pos());
        if (bar < 0) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        const StackingPlan::Bar &b = m_plan.bars[size_t(bar)];
        const StackingPlan::Block &k = b.blocks[size_t(block)];
        const double share = b.area > 0 ? k.area * 100.0 / b.area : 0;
        QToolTip::showText(help->globalPos(),
                           u"%1\n%2: %3 пом., %4 (%5 % плана)"_s.arg(k.caption, b.plan)
                               .arg(k.rows.size())
                               .arg(NumberText::format(k.area), NumberText::formatShare(share)),
                           this);
        return true;
    }
    return QWidget::event(event);
}

StackingWindow::StackingWindow(ProjectSession &session, std::function<bool(int row)> isCommon, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_session(session)
    , m_isCommon(std::move(isCommon))
{
    setObjectName(u"StackingWindow"_s);
    setWindowTitle(u"Этажи"_s);
    auto *layout = new QVBoxLayout(this);
    auto *controls = new QHBoxLayout;
    ColouringBox = new QComboBox(this);
    ColouringBox->setObjectName(u"ColouringBox"_s);
    ColouringBox->addItems({u"По арендаторам"_s, u"По типу"_s, u"По году окончания аренды"_s});
    EqualLengthBox = new QCheckBox(u"100 %"_s, this);
    EqualLengthBox->setObjectName(u"EqualLengthBox"_s);
    EqualLengthBox->setToolTip(u"Все полосы одной длины: доли внутри этажа"_s);
    setToolTip(u"Порядок этажей меняется перетаскиванием имени плана"_s);
    CopyButton = new QPushButton(u"Копировать картинку"_s, this);
    CopyButton->setObjectName(u"CopyButton"_s);
    PdfButton = new QPushButton(u"Экспорт в PDF…"_s, this);
    PdfButton->setObjectName(u"PdfButton"_s);
    controls->addWidget(ColouringBox);
    controls->addWidget(EqualLengthBox);
    controls->addStretch();
    controls->addWidget(CopyButton);
    controls->addWidget(PdfButton);
    layout->addLayout(controls);
    auto *scroll = new QScrollArea(this);
    View = new StackingView;
    scroll->setWidget(View);
    scroll->setWidgetResizable(true);
    layout->addWidget(scroll, 1);
    resize(820, 420);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(0);
    connect(m_refreshTimer, &QTimer::timeout, this, &StackingWindow::refresh);
    connect(ColouringBox, &QComboBox::currentIndexChanged, this, &StackingWindow::refresh);
    connect(EqualLengthBox, &QCheckBox::toggled, this, &StackingWindow::refresh);
    connect(CopyButton, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setImage(picture()); });
    connect(PdfButton, &QPushButton::clicked, this, &StackingWindow::exportPdf);
    connect(View, &StackingView::floorMoved, this, [this](int from, int to) {
        QStringList floors;
        for (const StackingPlan::Bar &bar : View->plan().bars)
            floors << bar.plan;
        floors.move(from, to);
        m_session.roomFlags().setFloorOrder(floors);
        refresh();
        Q_EMIT floorsReordered();
    });
    connect(View, &StackingView::blockClicked, this, [this](int bar, int block) {
        const StackingPlan::Bar &b = View->plan().bars[size_t(bar)];
        const std::vector<int> &rows = b.blocks[size_t(block)].rows;
        Q_EMIT roomsActivated(b.plan, QList<int>(rows.begin(), rows.end()));
    });
    refresh();
}

void StackingWindow::scheduleRefresh()
{
    if (isVisible())
        m_refreshTimer->start();
}

void StackingWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
}

void StackingWindow::refresh()
{
    m_refreshTimer->stop();
    const int choice = ColouringBox->currentIndex();
    const auto colouring = choice == 1   ? StackingPlan::Colouring::Types
                           : choice == 2 ? StackingPlan::Colouring::Groups
                                         : StackingPlan::Colouring::Tenants;
    // With leases the bars show the complex as of the day: its tenants are those of the leases
    // in force then.
    static const LeaseBook none;
    const LeaseBook *leases = LeaseBook::in(m_session);
    const bool dated = leases && !leases->isRefused() && !leases->isEmpty();
    const LeaseCalendar calendar(dated ? *leases : none);
    const QDate day = m_day.isValid() ? m_day : QDate::currentDate();
    if (dated)
        m_asOfTable.replaceRows(calendar.rowsAsOf(m_session.table(), day));
    const RecordTable &table = dated ? m_asOfTable : m_session.table();
    View->setPlan(StackingPlan::build(table, m_session.captions(),
                                      m_session.roomFlags().orderedFloors(m_session.plans().names()),
                                      colouring, m_isCommon, StackingPlan::leaseYears(table, calendar, day)),
                  EqualLengthBox->isChecked());
}

void StackingWindow::setDay(QDate day)
{
    m_day = day;
    scheduleRefresh();
}

void StackingWindow::showBeside(const QWidget &anchor)
{
    BesideWindow::show(*this, anchor, QSize(900, std::min(700, View->sizeHint().height() + 90)), 520, m_placed);
}

QImage StackingWindow::picture() const
{
    QImage image(View->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    View->plan().paint(painter, View->drawingArea(), EqualLengthBox->isChecked());
    return image;
}

void StackingWindow::exportPdf()
{
    const QString path = Dialogs::choosePdfFile(this, u"Экспорт этажей в PDF"_s);
    if (path.isEmpty())
        return;
    PlanPdf::Document document;
    document.archive = m_session.reportArchive().isEmpty() ? u"Новый проект"_s : QFileInfo(m_session.reportArchive()).fileName();
    document.date = QDate::currentDate();
    document.stacking = View->plan();
    try {
        PlanPdf::write(document, path);
    } catch (const MetrolaError &error) {
        Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s, error.message());
        return;
    }
    Dialogs::message(this, Dialogs::Kind::Information, u"Этажи"_s, u"Этажи сохранены в «%1»."_s.arg(path));
}
