// Real plans after preparation: "Найти комнаты" proposes the unmarked rooms and the closing
// lines across their openings, to accept one by one or all at once; "Стена" draws a closing
// line by hand. Lines become part of the plan's bitmap; each step can be taken back.
#include "gui/mainwindow/form1.h"

#include "core/base/numbertext.h"
#include "core/model/recoverywriter.h"
#include "core/model/roomareas.h"
#include "core/model/roomacceptance.h"
#include "core/rooms/cvguard.h"
#include "core/rooms/planpreparation.h"
#include "core/rooms/roomproposals.h"
#include "gui/plan/plancanvas.h"
#include "gui/plan/proposalview.h"
#include "gui/records/form2.h"
#include "gui/plan/scaletool.h"
#include "gui/widgets/backgroundwork.h"
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
        // A large plan takes a while: off the window's thread, with "Отмена". The work reads
        // its own copy of the plan; the blink may paint the one shown meanwhile.
        const QImage plan = m_session.planImage().copy();
        auto found = BackgroundWork::compute<std::shared_ptr<RoomProposals>>(
            this, u"Найти комнаты"_s, u"Поиск помещений на плане «%1»…"_s.arg(m_session.currentPlan()),
            [plan, options](const WorkCancel &cancel) {
                RoomFinder::Options own = options;
                own.cancel = &cancel;
                std::shared_ptr<RoomProposals> proposals;
                CvGuard::run(plan.size(), [&] { proposals = std::make_shared<RoomProposals>(plan, own); });
                return proposals;
            });
        if (!found)
            return;
        m_proposals = std::make_unique<RoomProposals>(std::move(**found));
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
    m_rejections = {};
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
    UndoPlanButton->setEnabled(m_session.history().undoChangesPlan());
    ProposalBar->adjustSize();
    ProposalBar->move(px(4), px(4));
    ProposalBar->show();
    ProposalBar->raise();
    m_proposalView->refresh();
}

void Form1::drawPlanLines(const std::vector<ClosingLine> &lines, const QString &label)
{
    const BusyCursor busy;
    const ProjectHistory::Scope step(m_session.history(), label);
    const QString plan = m_session.currentPlan();
    m_planEdits.drawLines(m_session, lines, label);
    if (!lines.empty()) {
        // The plan was shown again from its file, not yet painted: its pixels are the file's.
        ProjectHistory::PlanChange change{plan, {}};
        for (const auto &[rect, before] : m_planEdits.latest().before)
            change.patches.push_back({rect, before, m_session.planImage().copy(rect)});
        m_session.history().addPlanChange(std::move(change));
    }
    // The history keeps the step; PlanEdits only draws.
    m_planEdits.clear();
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
            m_rejections.rooms.push_back(m_proposals->rooms()[size_t(room)].seed);
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
        qint64 pixels = 0;
        markNewRoom(seed, &pixels);
        // What "Принять все" would write: a free name, the measured area, no tenant.
        const std::optional<PlanScale> scale = m_session.scales().scale(m_session.currentPlan());
        m_form2->offerTexts(RoomAcceptance::freeNames(m_session, 1).front(),
                            scale ? NumberText::format(RoomAreas::measuredArea(pixels, scale->metresPerPixel)) : QString());
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
            m_rejections.lines.push_back(m_proposals->lines()[size_t(line)]);
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
        // Lines and records are one step: taken back together.
        const QString label = roomsText(int(rooms.size()));
        std::vector<quint32> keys;
        {
            const ProjectHistory::Scope step(m_session.history(), label);
            drawPlanLines(lines, label);
            keys = RoomAcceptance::acceptAll(m_session, rooms);
        }
        Shape1->setColour(m_session.markingColour);
        recovery().changed();
        refreshPlanView();
        closeProposals();
        refreshPlanUndo();
        if (!keys.empty())
            selectRow(m_session.table().recordCount());
    });
}

// The plan's own undo is the project's undo when its latest step drew into a plan; the lines
// taken back part rooms again, so shown proposals are counted anew.
void Form1::undoPlanEdit()
{
    if (m_session.history().undoChangesPlan())
        historyStep(false);
}

void Form1::refreshPlanUndo()
{
    const bool can = m_session.history().undoChangesPlan();
    UndoPlanAction->setEnabled(can && !m_session.table().isFinished() && !readOnly());
    UndoPlanAction->setText(can ? u"Отменить на плане: %1"_s.arg(m_session.history().undoLabel())
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
        if (m_proposalView) {
            const ProposalRejections rejections = proposalRejections();
            FindRoomsClick();
            restoreProposalRejections(rejections);
        }
    });
}

void Form1::endPlanTools()
{
    closeProposals();
    if (Waller)
        Waller->cancel();
    if (UndoPlanAction)
        refreshPlanUndo();
}

void Form1::restoreProposalRejections(const ProposalRejections &rejections)
{
    if (!m_proposals || !m_proposalView)
        return;
    // Lines first: turning one down counts the regions anew, and the rooms are found by their
    // points in the regions as they are then.
    for (const ClosingLine &line : rejections.lines) {
        const auto &lines = m_proposals->lines();
        const auto found = std::find(lines.begin(), lines.end(), line);
        if (found != lines.end() && m_proposals->lineOpen(int(found - lines.begin())))
            m_proposals->rejectLine(int(found - lines.begin()), m_session.planImage());
    }
    for (const QPoint seed : rejections.rooms)
        if (const int room = m_proposals->roomAt(seed); room >= 0)
            m_proposals->closeRoom(room);
    m_rejections = rejections;
    refreshProposalBar();
}
