#include "gui/mainwindow/form1.h"

#include "core/leases/leasebook.h"
#include "core/leases/leasecalendar.h"
#include "core/model/areacheckrunner.h"
#include "gui/plan/plancanvas.h"
#include "gui/plan/planlegend.h"
#include "gui/reports/summarywindow.h"

#include <QComboBox>
#include <QLabel>

using namespace Qt::StringLiterals;

// The view selector lives at the right end of the bottom strip, the legend over the top right
// corner of the plan area. Both only change what is drawn: the plan image keeps its keys.
void Form1::buildViewSelector(QWidget *bottomStrip)
{
    ViewMode = new QComboBox(bottomStrip);
    ViewMode->setObjectName(u"ViewMode"_s);
    ViewMode->setToolTip(u"Раскраска плана"_s);
    ViewMode->addItems(
        {u"Ключи"_s, u"По типу"_s, u"Свободные"_s, u"По арендаторам"_s, u"Расхождения"_s, u"Сроки аренды"_s});
    ViewMode->setFocusPolicy(Qt::NoFocus);
    ZoomLabel = new QLabel(u"100 %"_s, bottomStrip);
    ZoomLabel->setObjectName(u"ZoomLabel"_s);
    ZoomLabel->setToolTip(u"Масштаб плана: Ctrl и колесо мыши, Ctrl++, Ctrl+−, Ctrl+0, Ctrl+9"_s);
    ZoomLabel->setAlignment(Qt::AlignCenter);
    Legend = new PlanLegend(PlanArea);
    Legend->setObjectName(u"Legend"_s);
    Image1->setColours(&m_displayColours);
    connect(ViewMode, &QComboBox::currentIndexChanged, this, &Form1::ViewModeChange);
    RecordTable *table = &m_session.table();
    const auto changed = [this] { refreshColouring(); };
    connect(table, &QAbstractItemModel::dataChanged, this, changed);
    connect(table, &QAbstractItemModel::rowsInserted, this, changed);
    connect(table, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(table, &QAbstractItemModel::modelReset, this, changed);
    connect(this, &Form1::scalesChanged, this, changed);
    connect(this, &Form1::roomFlagsChanged, this, changed);
    connect(this, &Form1::leasesChanged, this, changed);
    // Plans measured in the background: the Расхождения colours follow.
    connect(m_areaChecks.get(), &AreaCheckRunner::finished, this, [this] {
        if (m_view == PlanView::Mismatch)
            refreshColouring();
    });
}

int Form1::layoutViewSelector(int stripWidth, int stripHeight)
{
    const int width = std::min(ViewMode->sizeHint().width(), stripWidth / 3);
    ViewMode->setGeometry(stripWidth - width, 0, width, stripHeight);
    const int zoom = ZoomLabel->fontMetrics().horizontalAdvance(u"8888 %"_s) + 8;
    ZoomLabel->setGeometry(stripWidth - width - zoom, 0, zoom, stripHeight);
    return stripWidth - width - zoom;
}

void Form1::ViewModeChange(int index)
{
    guard([&] {
        m_view = static_cast<PlanView>(std::clamp(index, 0, 5));
        refreshColouring();
    });
}

const RecordTable &Form1::tableAsOf()
{
    const LeaseBook *leases = LeaseBook::in(m_session);
    if (!m_asOf.isValid() || !leases || leases->isRefused() || leases->isEmpty())
        return m_session.table();
    m_asOfTable.replaceRows(LeaseCalendar(*leases).rowsAsOf(m_session.table(), m_asOf));
    return m_asOfTable;
}

void Form1::refreshColouring()
{
    const QString plan = m_session.hasPlan() ? m_session.currentPlan() : QString();
    if (m_view == PlanView::Mismatch) {
        // Until plans loaded from their files are measured, the colours stay as they were.
        if (!m_areaChecks->request()) {
            if (Summary)
                Summary->scheduleRefresh();
            return;
        }
        const std::vector<RoomAreaCheck> &checks = m_areaChecks->checks();
        m_displayColours.assign(PlanColouring::mismatchPairs(m_session.table(), checks, plan));
        Legend->setItems(PlanColouring::mismatchLegend(m_session.table(), checks, plan),
                         m_session.captions()[Captions::Unit]);
    } else if (m_view == PlanView::LeaseTerms) {
        static const LeaseBook none;
        const LeaseBook *book = LeaseBook::in(m_session);
        const LeaseCalendar calendar(book ? *book : none);
        const QDate day = asOfDay();
        m_displayColours.assign(
            PlanColouring::leaseTermPairs(m_session.table(), calendar, plan, day, m_session.roomFlags()));
        Legend->setItems(
            PlanColouring::leaseTermLegend(m_session.table(), calendar, plan, day, m_session.roomFlags()),
            m_session.captions()[Captions::Unit]);
    } else {
        const RecordTable &table = tableAsOf();
        m_displayColours.assign(PlanColouring::pairs(table, plan, m_view, m_session.roomFlags()));
        Legend->setItems(PlanColouring::legend(table, m_session.captions(), plan, m_view, m_session.roomFlags()),
                         m_session.captions()[Captions::Unit]);
    }
    Image1->coloursChanged();
    if (Summary)
        Summary->scheduleRefresh(); // captions may have changed
}
