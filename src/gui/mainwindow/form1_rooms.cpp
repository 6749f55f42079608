// Real plans after preparation: "Найти комнаты" proposes the unmarked rooms and the closing
// lines across their openings, to accept one by one or all at once; "Стена" draws a closing
// line by hand. Lines become part of the plan's bitmap; each step can be taken back.
#include "gui/mainwindow/form1.h"

#include "core/model/recoverywriter.h"
#include "core/model/roomacceptance.h"
#include "core/rooms/cvguard.h"
#include "core/rooms/planpreparation.h"
#include "core/rooms/roomproposals.h"
#include "gui/plan/plancanvas.h"
#include "gui/plan/proposalview.h"
#include "gui/plan/scaletool.h"
#include "gui/widgets/busycursor.h"
#include "gui/widgets/colourswatch.h"
#include "gui/widgets/dialogs.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QString roomsText(int count)
{
    const int tens = count % 100, ones = count % 10;
    const QString word = (tens >= 11 && tens <= 14) ? u"помещений"_s
                         : ones == 1                ? u"помещение"_s
                         : (ones >= 2 && ones <= 4) ? u"помещения"_s
                                                    : u"помещений"_s;
    return u"%1 %2"_s.arg(count).arg(word);
}

// The panel's free space is narrow: a caption that does not fit in the window's font is set
// smaller rather than cut.
void fitCaption(QPushButton *button)
{
    QFont font = button->font();
    const int room = button->width() - 8;
    while (font.pointSizeF() > 6 && QFontMetrics(font).horizontalAdvance(button->text()) > room)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    button->setFont(font);
}

} // namespace

void Form1::buildRoomTools()
{
    // Free space of the tool panel right of the grid's move buttons, under "Подготовить".
    const auto button = [this](const QString &name, const QString &text, const QString &tip, int y) {
        auto *b = new QPushButton(text, Panel1);
        b->setObjectName(name);
        b->setToolTip(tip);
        b->setGeometry(px(772), px(y), px(88), px(28));
        return b;
    };
    FindRoomsButton = button(u"FindRoomsButton"_s, u"Найти комнаты"_s,
                             u"Показать неразмеченные помещения плана и линии через дверные проёмы, "
                             u"чтобы принять их по одному или все сразу"_s,
                             74);
    WallButton = button(u"WallButton"_s, u"Стена"_s,
                        u"Провести стену двумя щелчками по плану, например через открытый проход; "
                        u"Esc — отмена"_s,
                        104);
    for (QPushButton *b : {PrepareButton, FindRoomsButton, WallButton})
        fitCaption(b);
    connect(FindRoomsButton, &QPushButton::clicked, this, &Form1::FindRoomsClick);
    connect(WallButton, &QPushButton::clicked, this, &Form1::WallButtonClick);

    Waller = new ScaleTool(Image1);
    connect(Waller, &ScaleTool::measured, this, &Form1::wallDrawn);
    connect(TabSet1, &QTabBar::currentChanged, Waller, &ScaleTool::cancel);

    ProposalBar = new QFrame(PlanArea);
    ProposalBar->setObjectName(u"ProposalBar"_s);
    ProposalBar->setFrameShape(QFrame::StyledPanel);
    ProposalBar->setAutoFillBackground(true);
    auto *row = new QHBoxLayout(ProposalBar);
    row->setContentsMargins(px(6), px(3), px(6), px(3));
    ProposalText = new QLabel(ProposalBar);
    ProposalText->setObjectName(u"ProposalText"_s);
    AcceptAllButton = new QPushButton(u"Принять все"_s, ProposalBar);
    AcceptAllButton->setObjectName(u"AcceptAllButton"_s);
    UndoPlanButton = new QPushButton(u"Отменить"_s, ProposalBar);
    UndoPlanButton->setObjectName(u"UndoPlanButton"_s);
    CloseProposalsButton = new QPushButton(u"Закрыть"_s, ProposalBar);
    CloseProposalsButton->setObjectName(u"CloseProposalsButton"_s);
    row->addWidget(ProposalText);
    row->addWidget(AcceptAllButton);
    row->addWidget(UndoPlanButton);
    row->addWidget(CloseProposalsButton);
    ProposalBar->hide();
    connect(AcceptAllButton, &QPushButton::clicked, this, &Form1::acceptAllProposals);
    connect(UndoPlanButton, &QPushButton::clicked, this, &Form1::undoPlanEdit);
    connect(CloseProposalsButton, &QPushButton::clicked, this, &Form1::closeProposals);
    connect(TabSet1, &QTabBar::currentChanged, this, &Form1::closeProposals);
    // A room marked by hand or taken back leaves or rejoins the proposals.
    for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&m_session.table(), signal, this, [this] {
            if (m_proposalView)
                refreshProposalBar();
        });
}

bool Form1::refusedWhenFinished()
{
    if (!m_session.table().isFinished())
        return false;
    Dialogs::message(this, Dialogs::Kind::Notice, u"НЕРЕДАКТ"_s,
                     u"В данный файл нельзя вносить новые записи. Файл завершён."_s);
    return true;
}

void Form1::FindRoomsClick()
{
    guard([&] {
        if (!m_session.hasPlan() || refusedWhenFinished())
            return;
        Scaler->cancel();
        Waller->cancel();
        closeProposals();
        RoomFinder::Options options;
        const std::optional<PlanScale> scale = m_session.scales().scale(m_session.currentPlan());
        if (scale)
            options.pixelsPerMetre = 1.0 / scale->metresPerPixel;
        {
            const BusyCursor busy;
            CvGuard::run(m_session.planImage().size(), [&] {
                m_proposals = std::make_unique<RoomProposals>(m_session.planImage(), options);
            });
        }
        if (m_proposals->isEmpty()) {
            m_proposals.reset();
            Dialogs::message(this, Dialogs::Kind::Information, u"Найти комнаты"_s,
                             u"На плане «%1» не найдено неразмеченных помещений: все замкнутые участки "
                             u"пола размечены или меньше наименьшего помещения. Если помещения сливаются "
                             u"друг с другом или с улицей, подготовьте план или закройте проёмы кнопкой "
                             u"«Стена»."_s.arg(m_session.currentPlan()));
            return;
        }
        m_proposalView = new ProposalView(Image1, *m_proposals, m_session.planImage());
        m_proposalView->setScale(scale ? std::optional(scale->metresPerPixel) : std::nullopt);
        connect(m_proposalView, &ProposalView::roomClicked, this, &Form1::proposedRoomClicked);
        connect(m_proposalView, &ProposalView::lineClicked, this, &Form1::proposedLineClicked);
        connect(m_proposalView, &ProposalView::closeRequested, this, &Form1::closeProposals);
        refreshProposalBar();
    });
}

void Form1::closeProposals()
{
    // The keyboard stays with the window, not with the next field after the bar's buttons.
    if (ProposalBar && ProposalBar->isAncestorOf(QApplication::focusWidget()))
        StringGrid1->setFocus();
    delete m_proposalView;
    m_proposalView = nullptr;
    m_proposals.reset();
    if (ProposalBar)
        ProposalBar->hide();
}

void Form1::refreshProposalBar()
{
    if (!m_proposalView) {
        ProposalBar->hide();
        return;
    }
    int rooms = 0;
    for (const int room : m_proposals->openRoomIndices())
        rooms += m_proposalView->roomUnmarked(room) ? 1 : 0;
    const int lines = m_proposals->openLines();
    ProposalText->setText(u"Предложено: %1, линий %2. Щелчок — принять, Ctrl+щелчок — отклонить."_s
                              .arg(roomsText(rooms))
                              .arg(lines));
    AcceptAllButton->setEnabled(rooms > 0);
    UndoPlanButton->setEnabled(m_planEdits.canUndo());
    ProposalBar->adjustSize();
    ProposalBar->move(px(4), px(4));
    ProposalBar->show();
    ProposalBar->raise();
    m_proposalView->refresh();
}

void Form1::drawPlanLines(const std::vector<ClosingLine> &lines, const QString &label)
{
    const BusyCursor busy;
    m_planEdits.drawLines(m_session, lines, label);
    recovery().changed();
    if (!lines.empty()) {
        refreshPlanView();
        repaintRooms();
    }
    refreshPlanUndo();
}

void Form1::proposedRoomClicked(int room, bool reject)
{
    guard([&] {
        if (!m_proposals || room < 0 || room >= int(m_proposals->rooms().size()))
            return;
        if (reject) {
            m_proposals->closeRoom(room);
            refreshProposalBar();
            return;
        }
        if (refusedWhenFinished() || !m_proposalView->roomUnmarked(room))
            return;
        const std::vector<int> around = m_proposals->linesAround(room);
        std::vector<ClosingLine> lines;
        for (const int l : around)
            lines.push_back(m_proposals->lines()[size_t(l)]);
        drawPlanLines(lines, u"помещение"_s);
        for (const int l : around)
            m_proposals->lineDrawn(l);
        m_proposals->closeRoom(room);
        // The usual marking from the proposal's point; the record dialog takes it from here.
        // A room not entered after all leaves its lines, which undo takes back.
        const QPoint seed = m_proposals->rooms()[size_t(room)].seed;
        m_planEdits.addKeys(std::vector<quint32>{markNewRoom(seed)});
        m_planEdits.dropLatestIfEmpty();
        refreshProposalBar();
    });
}

void Form1::proposedLineClicked(int line, bool reject)
{
    guard([&] {
        if (!m_proposals || line < 0 || line >= int(m_proposals->lines().size()))
            return;
        if (reject) {
            const BusyCursor busy;
            CvGuard::run(m_session.planImage().size(), [&] { m_proposals->rejectLine(line, m_session.planImage()); });
        } else {
            if (refusedWhenFinished())
                return;
            drawPlanLines({m_proposals->lines()[size_t(line)]}, u"линия"_s);
            m_proposals->lineDrawn(line);
        }
        refreshProposalBar();
    });
}

void Form1::acceptAllProposals()
{
    guard([&] {
        if (!m_proposals || refusedWhenFinished())
            return;
        std::vector<RoomProposal> rooms;
        std::vector<int> lineIndices;
        for (const int room : m_proposals->openRoomIndices()) {
            if (!m_proposalView->roomUnmarked(room))
                continue;
            rooms.push_back(m_proposals->rooms()[size_t(room)]);
            for (const int l : m_proposals->linesAround(room))
                if (std::find(lineIndices.begin(), lineIndices.end(), l) == lineIndices.end())
                    lineIndices.push_back(l);
        }
        if (rooms.empty())
            return;
        std::sort(lineIndices.begin(), lineIndices.end());
        std::vector<ClosingLine> lines;
        for (const int l : lineIndices)
            lines.push_back(m_proposals->lines()[size_t(l)]);
        const BusyCursor busy;
        drawPlanLines(lines, roomsText(int(rooms.size())));
        const std::vector<quint32> keys = RoomAcceptance::acceptAll(m_session, rooms);
        m_planEdits.addKeys(keys);
        m_planEdits.dropLatestIfEmpty();
        Shape1->setColour(m_session.markingColour);
        recovery().changed();
        refreshPlanView();
        closeProposals();
        refreshPlanUndo();
        if (!keys.empty())
            selectRow(m_session.table().recordCount());
    });
}

void Form1::undoPlanEdit()
{
    guard([&] {
        if (!m_planEdits.canUndo())
            return;
        const bool proposing = m_proposalView != nullptr;
        const QString plan = m_planEdits.latest().plan;
        closeProposals();
        {
            const BusyCursor busy;
            m_planEdits.undo(m_session);
        }
        recovery().changed();
        if (plan == m_session.currentPlan()) {
            refreshPlanView();
            repaintRooms();
        }
        refreshPlanUndo();
        // The lines taken back part rooms again: the proposals are counted anew.
        if (proposing && plan == m_session.currentPlan())
            FindRoomsClick();
    });
}

void Form1::refreshPlanUndo()
{
    const bool can = m_planEdits.canUndo();
    UndoPlanAction->setEnabled(can && !m_session.table().isFinished());
    UndoPlanAction->setText(can ? u"Отменить на плане: %1"_s.arg(m_planEdits.latest().label)
                                : u"Отменить на плане"_s);
    if (UndoPlanButton)
        UndoPlanButton->setEnabled(can);
}

void Form1::WallButtonClick()
{
    guard([&] {
        if (!m_session.hasPlan() || refusedWhenFinished())
            return;
        Scaler->cancel();
        int line = 1;
        PlanPreparation::measureStrokes(m_session.planImage(), line, m_wallWidth);
        m_wallWidth = std::max(1, m_wallWidth);
        Waller->start();
    });
}

void Form1::wallDrawn(QPoint from, QPoint to)
{
    guard([&] {
        if (!m_session.hasPlan() || from == to)
            return;
        const QRect sheet = m_session.planImage().rect();
        const auto inside = [&sheet](QPoint p) {
            return QPoint(std::clamp(p.x(), 0, sheet.right()), std::clamp(p.y(), 0, sheet.bottom()));
        };
        drawPlanLines({ClosingLine{inside(from), inside(to), m_wallWidth}}, u"стена"_s);
        if (m_proposalView)
            FindRoomsClick();
    });
}

void Form1::endPlanTools()
{
    closeProposals();
    if (Waller)
        Waller->cancel();
    m_planEdits.clear();
    if (UndoPlanAction)
        refreshPlanUndo();
}
