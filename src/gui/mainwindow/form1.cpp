#include "gui/mainwindow/form1.h"

#include "gui/widgets/colourswatch.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/fieldvalidator.h"
#include "gui/widgets/piegauge.h"
#include "gui/widgets/windowfont.h"
#include "core/model/areacheckrunner.h"
#include "core/model/recoverywriter.h"
#include "core/plan/colourkey.h"
#include "gui/plan/plancanvas.h"
#include "gui/records/form2.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QWheelEvent>
#include <QColorDialog>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// Design sizes are given for a screen of 120 pixels per inch.
constexpr double kDesignDpi = 120.0;
constexpr int kPanelHeight = 137;
constexpr int kBottomStrip = 19;
constexpr int kScrollBarWidth = 21;

// The custom colours of the colour dialog, as colour keys (blue, green, red from the top).
constexpr std::array<quint32, 16> kCustomColours = {
    0xE6EEFE, 0xB7DBFE, 0xDFFFDE, 0xCAFFC9, 0xFFE6FE, 0xFFD2FE, 0xFFECD8, 0xFFE1C3,
    0xA5FEE9, 0x9CFEE7, 0xFFFFE7, 0xFFFFBE, 0xA9D6D5, 0xDCEFEE, 0xEFEBDB, 0xE8DBE6,
};

template<typename W>
W *named(W *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

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
}

Form1::~Form1() = default;

int Form1::px(int designPixels) const
{
    return qRound(designPixels * m_scale);
}

void Form1::buildWindow()
{
    auto *client = new QWidget(this);
    client->setObjectName(u"client"_s);
    setCentralWidget(client);
    QStyle *st = style();

    Panel1 = named(new QFrame(client), u"Panel1"_s);
    Panel1->setFrameShape(QFrame::StyledPanel);
    const auto at = [this](QWidget *w, int x, int y, int width, int height) {
        w->setGeometry(px(x), px(y), px(width), px(height));
    };
    const auto toolButton = [&](const QString &name, const QString &hint, QStyle::StandardPixmap icon) {
        auto *b = named(new QToolButton(Panel1), name);
        b->setToolTip(hint);
        b->setIcon(st->standardIcon(icon));
        b->setAutoRaise(true);
        return b;
    };
    for (size_t i = 0; i < Bevels.size(); ++i) {
        Bevels[i] = named(new QFrame(Panel1), u"Bevel%1"_s.arg(i + 1));
        Bevels[i]->setFrameShape(QFrame::VLine);
        Bevels[i]->setFrameShadow(QFrame::Sunken);
    }
    SpeedButton3 = toolButton(u"SpeedButton3"_s, u"Открыть архив Zip"_s, QStyle::SP_DialogOpenButton);
    at(SpeedButton3, 4, 4, 34, 34);
    SpeedButton2 = toolButton(u"SpeedButton2"_s, u"Сохранить работу в Zip"_s, QStyle::SP_DialogSaveButton);
    at(SpeedButton2, 40, 4, 34, 34);
    at(Bevels[0], 78, 4, 4, 34);
    Shape1 = named(new ColourSwatch(Panel1), u"Shape1"_s);
    Shape1->setColour(m_session.markingColour);
    at(Shape1, 86, 10, 30, 22);
    Button1 = named(new QPushButton(u"сменить цвет"_s, Panel1), u"Button1"_s);
    Button1->setToolTip(u"Сменить цвет"_s);
    at(Button1, 120, 6, 96, 30);
    Button2 = named(new QPushButton(u"Undo"_s, Panel1), u"Button2"_s);
    Button2->setToolTip(u"Удалить ПОСЛЕДНЮЮ строку в списке"_s);
    at(Button2, 220, 6, 60, 30);
    Shape2 = named(new ColourSwatch(Panel1), u"Shape2"_s);
    Shape2->setColour(m_session.restoreColour);
    at(Shape2, 284, 10, 30, 22);
    at(Bevels[1], 318, 4, 4, 34);
    at(Bevels[3], 324, 2, 250, 38);
    Bevels[3]->setFrameShape(QFrame::Box);
    SpeedButton1 = toolButton(u"SpeedButton1"_s, u"Добавить новый план этажа"_s, QStyle::SP_FileIcon);
    SpeedButton1->setText(u"Новый План"_s);
    SpeedButton1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    at(SpeedButton1, 328, 6, 116, 30);
    Button4 = named(new QPushButton(u"Редактировать"_s, Panel1), u"Button4"_s);
    Button4->setToolTip(u"Передать отображаемый в данный момент план для редактирования в Paint"_s);
    at(Button4, 448, 6, 122, 30);
    Label1 = named(new QLabel(ProjectSession::noPlan(), Panel1), u"Label1"_s);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    at(Label1, 580, 12, 150, 20);
    Gauge1 = named(new PieGauge(Panel1), u"Gauge1"_s);
    at(Gauge1, 734, 3, 36, 36);
    Gauge1->hide();
    at(Bevels[2], 774, 4, 4, 34);
    SpeedButton4 = toolButton(u"SpeedButton4"_s, u"Экспортировать в Excel - создать размеркацию"_s,
                              QStyle::SP_FileDialogDetailedView);
    at(SpeedButton4, 782, 4, 34, 34);
    SpeedButton5 = toolButton(u"SpeedButton5"_s, u"Показать текущее размещение арендаторов"_s,
                              QStyle::SP_FileDialogContentsView);
    at(SpeedButton5, 818, 4, 34, 34);
    buildSummaryButton();

    StringGrid1 = named(new QTableView(Panel1), u"StringGrid1"_s);
    StringGrid1->setToolTip(u"Системное окно - отображает все записи"_s);
    StringGrid1->setModel(&m_session.table());
    StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->verticalHeader()->setDefaultSectionSize(
        std::max(px(12), StringGrid1->fontMetrics().height() + 2));
    StringGrid1->horizontalHeader()->setHighlightSections(false);
    const int widths[RecordTable::ColumnCount] = {64, 64, 64, 64, 59, 64, 64, 64, 55};
    for (int c = 0; c < RecordTable::ColumnCount; ++c)
        StringGrid1->setColumnWidth(c, px(widths[c]));
    at(StringGrid1, 0, 44, 739, 89);
    BitBtn1 = toolButton(u"BitBtn1"_s, u"переместить запись вверх"_s, QStyle::SP_ArrowUp);
    at(BitBtn1, 742, 44, 26, 43);
    BitBtn2 = toolButton(u"BitBtn2"_s, u"переместить запись вниз"_s, QStyle::SP_ArrowDown);
    at(BitBtn2, 742, 90, 26, 43);

    // Bare boxes: the caption field beside each (edt1 .. edt4) is its only label, so a caption
    // the user edits names the box.
    const QStringList boxNames = {u"Arend"_s, u"kvm"_s, u"nazv"_s, u"Typ"_s};
    std::array<QCheckBox *, 4> boxes{};
    for (int i = 0; i < 4; ++i) {
        boxes[static_cast<size_t>(i)] = named(new QCheckBox(Panel1), boxNames[i]);
        at(boxes[static_cast<size_t>(i)], 866, 44 + i * 23, 20, 21);
    }
    Arend = boxes[0];
    kvm = boxes[1];
    nazv = boxes[2];
    Typ = boxes[3];
    Arend->setChecked(true);

    rg1 = named(new QGroupBox(Panel1), u"rg1"_s);
    at(rg1, 1000, 0, 140, 134);
    const Captions defaults = Captions::defaults();
    for (int i = 0; i < Captions::Count; ++i) {
        QWidget *owner = i >= Captions::FirstType && i < Captions::Unit ? static_cast<QWidget *>(rg1) : Panel1;
        edt[static_cast<size_t>(i)] = named(new QLineEdit(defaults[i], owner), u"edt%1"_s.arg(i + 1));
        // The captions are stored in the description file's first line, like the records.
        edt[static_cast<size_t>(i)]->setValidator(new FieldValidator(FieldValidator::Kind::Text, edt[static_cast<size_t>(i)]));
        connect(edt[static_cast<size_t>(i)], &QLineEdit::textEdited, this, [this, i](const QString &text) {
            m_session.captions()[i] = text;
            m_session.setModified(true);
            m_recovery->changed();
            refreshColouring();
        });
    }
    for (int i = 0; i < 4; ++i) {
        QCheckBox *box = boxes[static_cast<size_t>(i)];
        QLineEdit *caption = edt[static_cast<size_t>(i)];
        at(caption, 888, 44 + i * 23, 108, 21);
        box->setAccessibleName(caption->text());
        connect(caption, &QLineEdit::textChanged, box, &QCheckBox::setAccessibleName);
        setTabOrder(box, caption);
    }
    for (int i = 0; i < 5; ++i)
        at(edt[static_cast<size_t>(Captions::FirstType + i)], 6, 10 + i * 24, 128, 21);
    lbl1 = named(new QLabel(u"Единица"_s, Panel1), u"lbl1"_s);
    at(lbl1, 888, 4, 60, 18);
    at(edt[Captions::Unit], 888, 20, 60, 21);
    Label2 = named(new QLabel(Panel1), u"Label2"_s);
    at(Label2, 952, 20, 40, 18);
    at(Bevels[4], 856, 4, 4, 34);
    Label3 = named(new QLabel(u"1"_s, Panel1), u"Label3"_s);
    Label3->hide();
    Label4 = named(new QLabel(Panel1), u"Label4"_s);
    Label4->hide();
    Image2 = named(new QLabel(client), u"Image2"_s);
    Image2->hide();

    PlanArea = named(new QWidget(client), u"PlanArea"_s);
    Image1 = named(new PlanCanvas(PlanArea), u"Image1"_s);
    Image1->setImage(&m_session.planImage());
    PlanArea->installEventFilter(this);
    Image1->installEventFilter(this);
    connect(Image1, &PlanCanvas::mouseDown, this, &Form1::Image1MouseDown);
    connect(Image1, &PlanCanvas::mouseMove, this, &Form1::Image1MouseMove);
    connect(Image1, &PlanCanvas::mouseUp, this, &Form1::Image1MouseUp);
    connect(Image1, &PlanCanvas::doubleClicked, this, &Form1::Image1DblClick);

    QFont hintFont = windowFont(15);
    hintFont.setBold(true);
    Hinter = named(new QLabel(client), u"Hinter"_s);
    Hinter->setFont(hintFont);
    Hinter->setAutoFillBackground(true);
    QPalette hinterPalette = Hinter->palette();
    hinterPalette.setColor(QPalette::WindowText, Qt::red);
    hinterPalette.setColor(QPalette::Window, hinterPalette.color(QPalette::Light));
    Hinter->setPalette(hinterPalette);
    Hinter->hide();
    opter = named(new QLabel(u"о"_s, client), u"opter"_s);
    opter->setFont(hintFont);
    opter->setAttribute(Qt::WA_TranslucentBackground);
    opter->setAttribute(Qt::WA_TransparentForMouseEvents);
    Hinter->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette opterPalette = opter->palette();
    opterPalette.setColor(QPalette::WindowText, Qt::red);
    opter->setPalette(opterPalette);
    opter->adjustSize();
    opter->hide();

    Panel2 = named(new QFrame(client), u"Panel2"_s);
    Splitter1 = named(new QSplitter(Qt::Horizontal, Panel2), u"Splitter1"_s);
    TabSet1 = named(new QTabBar(Splitter1), u"TabSet1"_s);
    TabSet1->setShape(QTabBar::RoundedSouth);
    TabSet1->setDrawBase(false);
    TabSet1->setExpanding(false);
    TabSet1->setAutoFillBackground(true);
    TabSet1->setStyleSheet(
        u"QTabBar { background: palette(tool-tip-base); }"
        u"QTabBar::tab { background: rgb(208,255,208); padding: 0px 8px; border: 1px solid gray; }"
        u"QTabBar::tab:selected { background: rgb(255,200,0); }"_s);
    HorzScrollBar = named(new QScrollBar(Qt::Horizontal, Splitter1), u"HorzScrollBar"_s);
    VertScrollBar = named(new QScrollBar(Qt::Vertical, client), u"VertScrollBar"_s);
    for (QScrollBar *bar : {HorzScrollBar, VertScrollBar}) {
        bar->setRange(0, 100);
        bar->setSingleStep(1);
        bar->setPageStep(80);
    }
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({px(300), px(800)});
    buildViewSelector(Panel2);
    connect(TabSet1, &QTabBar::currentChanged, this, &Form1::TabSet1Change);
    buildScaleButton();
    connect(HorzScrollBar, &QScrollBar::valueChanged, this, &Form1::HorzScrollBarChange);
    connect(VertScrollBar, &QScrollBar::valueChanged, this, &Form1::VertScrollBarChange);

    Timer1 = named(new QTimer(this), u"Timer1"_s);
    Timer1->setInterval(150);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1Timer);

    OpenPictureDialog1 = named(new QFileDialog(this, u"Добавление нового поэтажного плана"_s), u"OpenPictureDialog1"_s);
    OpenPictureDialog1->setNameFilter(u"Bitmaps (*.bmp)"_s);
    OpenPictureDialog1->setDefaultSuffix(u"bmp"_s);
    OpenPictureDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenDialog1 = named(new QFileDialog(this, u"открытие архива Metrola"_s), u"OpenDialog1"_s);
    OpenDialog1->setNameFilter(u"архивы ZIP (*.zip)"_s);
    OpenDialog1->setDefaultSuffix(u"zip"_s);
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    SaveDialog1 = named(new QFileDialog(this, u"Сохранение комплекса"_s), u"SaveDialog1"_s);
    SaveDialog1->setNameFilter(u"архивы ZIP (*.zip)"_s);
    SaveDialog1->setDefaultSuffix(u"zip"_s);
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setFileMode(QFileDialog::AnyFile);
    ColorDialog1 = named(new QColorDialog(this), u"ColorDialog1"_s);
    for (size_t i = 0; i < kCustomColours.size(); ++i)
        QColorDialog::setCustomColor(static_cast<int>(i), QColor::fromRgb(ColourKey::toRgb(kCustomColours[i])));
    ColorDialog1->setCurrentColor(QColor::fromRgb(ColourKey::toRgb(m_session.colourDialogColour)));

    connect(SpeedButton3, &QToolButton::clicked, this, &Form1::SpeedButton3Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &Form1::SpeedButton2Click);
    connect(Button1, &QPushButton::clicked, this, &Form1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Form1::Button2Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &Form1::SpeedButton1Click);
    connect(Button4, &QPushButton::clicked, this, &Form1::Button4Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &Form1::Button7Click);
    connect(SpeedButton5, &QToolButton::clicked, this, &Form1::SpeedButton5Click);
    connect(StringGrid1, &QTableView::doubleClicked, this, &Form1::StringGrid1DblClick);
    connect(BitBtn1, &QToolButton::clicked, this, &Form1::BitBtn1Click);
    connect(BitBtn2, &QToolButton::clicked, this, &Form1::BitBtn2Click);
    connect(&m_session.table(), &QAbstractItemModel::rowsInserted, this,
            [this] { Label3->setText(QString::number(m_session.table().recordCounter())); });
    connect(&m_session.table(), &QAbstractItemModel::rowsRemoved, this,
            [this] { Label3->setText(QString::number(m_session.table().recordCounter())); });
    connect(&m_session.table(), &QAbstractItemModel::modelReset, this,
            [this] { Label3->setText(QString::number(m_session.table().recordCounter())); });
}

void Form1::layoutPlanArea()
{
    QWidget *client = centralWidget();
    const int w = client->width();
    const int h = client->height();
    const int panel = px(kPanelHeight);
    const int strip = px(kBottomStrip);
    const int bar = px(kScrollBarWidth);
    Panel1->setGeometry(0, 0, w, panel);
    Panel2->setGeometry(0, h - strip, w, strip);
    Splitter1->setGeometry(0, 0, layoutViewSelector(w, strip), strip);
    VertScrollBar->setGeometry(w - bar, panel, bar, std::max(0, h - panel - strip));
    PlanArea->setGeometry(0, panel, std::max(0, w - bar), std::max(0, h - panel - strip));
    // The scroll bars reach every edge of the plan exactly, whatever the window's size.
    HorzScrollBar->setMaximum(std::max(0, Image1->width() - PlanArea->width()));
    VertScrollBar->setMaximum(std::max(0, Image1->height() - PlanArea->height()));
    Image1->move(-HorzScrollBar->value(), -VertScrollBar->value());
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel && (watched == PlanArea || watched == Image1))
        return scrollPlanByWheel(*static_cast<QWheelEvent *>(event));
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
    Image1->imageReplaced();
    Label1->setText(m_session.currentPlan());
    refreshColouring();
    refreshScaleHint();
    layoutPlanArea();
}

void Form1::refreshPlanRect(const QRect &planRect)
{
    if (!planRect.isEmpty())
        Image1->update(planRect);
}

void Form1::repaintRooms()
{
    try {
        refreshPlanRect(m_session.repaintPlanRooms());
    } catch (...) {
        Image1->update();
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
}

int Form1::selectedRow() const
{
    const QModelIndexList rows = StringGrid1->selectionModel()->selectedIndexes();
    int top = -1;
    for (const QModelIndex &index : rows)
        top = top < 0 ? index.row() : std::min(top, index.row());
    if (top < 0)
        top = StringGrid1->currentIndex().row();
    return top < 0 ? 0 : top + 1;
}

void Form1::selectRow(int row)
{
    if (row < 1 || row >= m_session.table().tableRows())
        return;
    const int column = std::max(0, StringGrid1->currentIndex().column());
    StringGrid1->setCurrentIndex(m_session.table().index(row - 1, column));
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
    if (!screen)
        return;
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
    event->accept();
}

void Form1::FormClose()
{
    endRecovery();
    m_session.removeWorkingFiles(QCoreApplication::applicationFilePath());
}
