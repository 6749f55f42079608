#include "gui/mainwindow/form1.h"

#include "gui/leases/leaseswindow.h"

#include "core/model/areacheckrunner.h"
#include "core/model/recordview.h"
#include "core/model/recoverywriter.h"
#include "gui/plan/plancanvas.h"
#include "gui/records/form2.h"
#include "gui/reports/stackingwindow.h"
#include "gui/reports/summarywindow.h"
#include "gui/widgets/dialogs.h"

#include <QCloseEvent>
#include <QWheelEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSettings>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// Design sizes are given for a screen of 120 pixels per inch.
constexpr double kDesignDpi = 120.0;

} // namespace

QString Form1::applicationTitle()
{
    return u"Metrola 1.8 - Программа ведения учёта площадей в имущественных комплексах"_s;
}

QString Form1::windowCaption()
{
    return u"Metrola - программа для ведения учёта площадей в комплексах"_s;
}

Form1::Form1(const QString &programDir, QWidget *parent)
    : QMainWindow(parent), m_session(programDir), m_areaChecks(std::make_unique<AreaCheckRunner>(m_session))
{
    setObjectName(u"Form1"_s);
    setWindowTitle(windowCaption());
    const QScreen *screen = QGuiApplication::primaryScreen();
    // Never below the design size: Qt keeps the system font's size, so a shrunk layout would
    // cut the captions.
    m_scale = screen ? std::max(1.0, screen->logicalDotsPerInch() / kDesignDpi) : 1.0;
    buildWindow();
    setupRecovery();
    m_form2 = new Form2(this, *this);
    m_form2->hide();
    setMinimumSize(647, 157);
    resize(px(1156), px(356));
    setAcceptDrops(true);
    m_recent = RecentArchives(settings().value(u"recent"_s).toStringList());
    refreshRecentMenu();
    m_session.setModifiedListener([this](bool) { refreshTitle(); });
    refreshTitle();
}

Form1::~Form1()
{
    m_session.setModifiedListener({});
    // It reads the session, which goes with this window.
    delete Summary;
    delete Stacking;
    delete Leases;
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel && (watched == PlanArea || watched == Image1)) {
        auto &wheel = *static_cast<QWheelEvent *>(event);
        if (wheel.modifiers() & Qt::ControlModifier)
            return zoomByWheel(wheel);
        return scrollPlanByWheel(wheel);
    }
    return QMainWindow::eventFilter(watched, event);
}

bool Form1::scrollPlanByWheel(QWheelEvent &wheel)
{
    QPoint delta = wheel.angleDelta();
    // Shift turns a plain wheel sideways.
    if (wheel.modifiers() & Qt::ShiftModifier && delta.x() == 0)
        delta = QPoint(delta.y(), 0);
    bool scrolled = false;
    const auto scroll = [&](QScrollBar *bar, int angle, int &rest) {
        if (angle == 0)
            return;
        const int total = rest + angle;
        const bool canMove = total > 0 ? bar->value() > bar->minimum() : bar->value() < bar->maximum();
        if (!canMove) {
            rest = 0;
            return;
        }
        // One notch (120 eighths of a degree) scrolls the large step of 80 pixels; touchpads and
        // fine wheels send a few eighths at a time, which add up until they make a pixel.
        const int pixels = total / 3 * 2;
        rest = total % 3;
        bar->setValue(bar->value() - pixels);
        scrolled = true;
    };
    scroll(HorzScrollBar, delta.x(), m_wheelRest.rx());
    scroll(VertScrollBar, delta.y(), m_wheelRest.ry());
    // At the plan's edge the event goes on to whatever holds the plan.
    wheel.setAccepted(scrolled);
    return scrolled;
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
    layoutPlanArea();
}

void Form1::FormResize()
{
    if (width() < 647 || height() < 157)
        resize(std::max(width(), 647), std::max(height(), 157));
}

void Form1::refreshPlanView()
{
    m_zoomAnchor.reset();
    Image1->imageReplaced();
    Label1->setText(m_session.currentPlan());
    selectShownPlanTab();
    refreshColouring();
    refreshScaleHint();
    layoutPlanArea();
}

void Form1::refreshPlanRect(const QRect &planRect)
{
    Image1->updatePlanRect(planRect);
}

void Form1::repaintRooms()
{
    try {
        refreshPlanRect(m_session.repaintPlanRooms());
    } catch (...) {
        Image1->planChanged();
        throw;
    }
}

void Form1::fillTabs()
{
    const QSignalBlocker blocker(TabSet1);
    while (TabSet1->count() > 0)
        TabSet1->removeTab(0);
    for (const QString &name : m_session.plans().names())
        TabSet1->addTab(name);
    selectShownPlanTab();
}

void Form1::selectShownPlanTab()
{
    // Without a signal: the plan is shown already. A plan without a tab (24 taken) leaves the
    // selection where it is; a click on that tab still shows its plan.
    const int tab = m_session.plans().names().indexOf(m_session.currentPlan());
    const QSignalBlocker blocker(TabSet1);
    if (tab >= 0)
        TabSet1->setCurrentIndex(tab);
}

int Form1::selectedRow() const
{
    const QModelIndexList rows = StringGrid1->selectionModel()->selectedIndexes();
    int top = -1;
    for (const QModelIndex &index : rows)
        top = top < 0 ? index.row() : std::min(top, index.row());
    if (top < 0)
        top = StringGrid1->currentIndex().row();
    return top < 0 ? 0 : m_recordView->tableRow(top);
}

void Form1::selectRow(int row)
{
    if (row < 1 || row >= m_session.table().tableRows())
        return;
    // A record the search hides is shown again with all the others, so the selection is on it.
    if (m_recordView->viewRow(row) < 0)
        SearchField->clear();
    const int viewRow = m_recordView->viewRow(row);
    if (viewRow < 0)
        return;
    const int column = std::max(0, StringGrid1->currentIndex().column());
    StringGrid1->setCurrentIndex(m_recordView->index(viewRow, column));
}

QRect Form1::placeWindow(QSize screen, QSize image, QRect window, bool verticallyOnly)
{
    const int H = screen.height();
    const int W = screen.width();
    int top = H - image.height() - 220;
    int height = image.height() + 140;
    int left = window.left();
    int width = window.width();
    if (!verticallyOnly)
        left = (W - image.width()) / 2;
    if (top < 10) {
        top = 10;
        height = H - 100;
    }
    if (!verticallyOnly && W - 10 < width) {
        left = 10;
        width = W - 10;
    }
    // Centred on a small plan, the window (much wider than the plan) would reach past the
    // right edge, and the caption fields with it.
    if (!verticallyOnly)
        left = std::min(left, W - width);
    // A plan wider than the screen would push the window's left part, with the tool
    // buttons, off the screen.
    if (!verticallyOnly && left < 10)
        left = 10;
    return QRect(left, top, width, height);
}

void Form1::PlaceMainWindow(bool verticallyOnly)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    // A window the user maximised stays so: the placement is for a window of its own size.
    if (!screen || isMaximized()) {
        m_placeWhenFramed.reset();
        return;
    }
    const QRect frame = frameGeometry();
    const QRect placed = placeWindow(screen->geometry().size(), m_session.planImage().size(), frame,
                                     verticallyOnly);
    // The placement counts the outer frame; the client keeps the rest.
    const QSize decoration = frame.size() - size();
    move(placed.topLeft());
    resize(placed.width() - decoration.width(), placed.height() - decoration.height());
    // Before its first showing the window has no frame yet, so the frame's borders were not
    // counted, or were guessed from another window (a message box shown first); it is placed
    // again once the window manager has framed it.
    if (!isVisible())
        m_placeWhenFramed = verticallyOnly;
    else
        m_placeWhenFramed.reset();
}

// The frame is known when the window is shown on some platforms, and only once the window
// manager has framed (and so moved) it on others.
void Form1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    placeAgainWhenFramed();
    // A window manager that frames the window where it stands sends no move, so the frame is
    // looked for a while after the showing too.
    for (int ms = 25; ms <= 1600 && m_placeWhenFramed; ms *= 2)
        QTimer::singleShot(ms, this, &Form1::placeAgainWhenFramed);
}

void Form1::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    placeAgainWhenFramed();
}

void Form1::placeAgainWhenFramed()
{
    if (m_placeWhenFramed && isVisible() && frameGeometry().size() != size()) {
        const bool verticallyOnly = *m_placeWhenFramed;
        m_placeWhenFramed.reset();
        PlaceMainWindow(verticallyOnly);
    }
}

QString Form1::generalErrorText(const QString &text)
{
    if (!text.isEmpty() && text.back().unicode() > u'.')
        return text + u'.';
    return text;
}

void Form1::showGeneralError(const QString &text)
{
    Dialogs::message(this, Dialogs::Kind::Critical, applicationTitle(), generalErrorText(text));
}

void Form1::refreshDialogCaptions()
{
    m_form2->setCaptions(m_session.captions());
}

void Form1::FormCreate(const QStringList &arguments, const QString &currentDir)
{
    // The one state of the window kept between runs; the placement applies otherwise.
    if (settings().value(u"maximized"_s).toBool())
        setWindowState(windowState() | Qt::WindowMaximized);
    BlinkCount = 1;
    Label4->setText(ProjectSession::commandLineArchive(arguments, m_session.programDir(), currentDir));
    if (offerRecovery())
        return;
    if (Label4->text().size() > 4) {
        bool opened = false;
        guard([&] { opened = openProjectArchive(Label4->text(), OpenForm::StartUp); });
        if (!opened)
            return;
    }
    fillTabs();
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (!m_closing && !confirmDiscardChanges()) {
        event->ignore();
        return;
    }
    m_closing = true;
    FormClose();
    m_form2->close();
    if (Summary)
        Summary->close();
    if (Leases)
        Leases->close();
    event->accept();
}

void Form1::FormClose()
{
    endRecovery();
    m_session.removeWorkingFiles(QCoreApplication::applicationFilePath());
}
