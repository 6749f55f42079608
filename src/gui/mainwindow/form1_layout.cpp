// The main window's controls: built once, in the geometry of the window layout, and laid out
// again around the plan area whenever the window's size changes.
#include "gui/mainwindow/form1.h"

#include "core/model/recordview.h"
#include "core/model/recoverywriter.h"
#include "core/plan/colourkey.h"
#include "core/plan/plansource.h"
#include "gui/plan/plancanvas.h"
#include "gui/widgets/colourswatch.h"
#include "gui/widgets/dragbar.h"
#include "gui/widgets/fieldvalidator.h"
#include "gui/widgets/piegauge.h"
#include "gui/widgets/windowfont.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

constexpr int kPanelHeight = 137;
// The tool panel's controls as laid out end here; a wider window gives the room to the grid.
constexpr int kPanelWidth = 1144;
constexpr int kGridWidth = 739;
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
    buildPrepareButton();

    StringGrid1 = named(new QTableView(Panel1), u"StringGrid1"_s);
    StringGrid1->setToolTip(u"Системное окно - отображает все записи"_s);
    m_recordView = new RecordView(m_session.table(), m_session.captions(), this);
    StringGrid1->setModel(m_recordView);
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
    // The selected tab is not always the plan shown (one shown without a tab of its own): a
    // click on it changes no selection, so it is told here.
    connect(TabSet1, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index == TabSet1->currentIndex())
            TabSet1Change(index);
    });
    buildScaleButton();
    buildRoomTools();
    connect(HorzScrollBar, &QScrollBar::valueChanged, this, &Form1::HorzScrollBarChange);
    connect(VertScrollBar, &QScrollBar::valueChanged, this, &Form1::VertScrollBarChange);

    Timer1 = named(new QTimer(this), u"Timer1"_s);
    Timer1->setInterval(150);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1Timer);

    OpenPictureDialog1 = named(new QFileDialog(this, u"Добавление нового поэтажного плана"_s), u"OpenPictureDialog1"_s);
    OpenPictureDialog1->setNameFilters(PlanSource::dialogFilter().split(u";;"_s));
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

    buildGridSplitter();
    buildMenus();
    buildSearch();
}

int Form1::gridExtraRoom() const
{
    // The plan keeps a strip of its own however tall the grid is made.
    return std::max(0, centralWidget()->height() - px(kPanelHeight) - px(kBottomStrip) - px(40));
}

void Form1::widenPanel(int extra)
{
    // Only once every control of the panel is made (the menus come last).
    if (!HistoryUndoAction)
        return;
    if (m_panelPlaces.empty()) {
        // Everything right of the grid keeps its place from the panel's right end.
        for (QWidget *w : Panel1->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (w->x() >= px(kGridWidth))
                m_panelPlaces.emplace_back(w, w->x());
        m_gridColumns.clear();
        for (int c = 0; c < RecordTable::ColumnCount; ++c)
            m_gridColumns.push_back(StringGrid1->columnWidth(c));
    }
    if (extra == m_panelExtra)
        return;
    m_panelExtra = extra;
    for (const auto &[w, x] : m_panelPlaces)
        if (w)
            w->move(x + extra, w->y());
    StringGrid1->resize(px(kGridWidth) + extra, StringGrid1->height());
    // The columns share the new width as they shared the old one, so long plan ids and names
    // are no longer cut.
    const double factor = double(px(kGridWidth) + extra) / px(kGridWidth);
    for (int c = 0; c < RecordTable::ColumnCount; ++c)
        StringGrid1->setColumnWidth(c, int(m_gridColumns[size_t(c)] * factor));
}

void Form1::layoutPlanArea()
{
    QWidget *client = centralWidget();
    const int w = client->width();
    const int h = client->height();
    const int extra = std::min(m_gridExtra, gridExtraRoom());
    const int panel = px(kPanelHeight) + extra;
    const int strip = px(kBottomStrip);
    const int bar = px(kScrollBarWidth);
    Panel1->setGeometry(0, 0, w, panel);
    widenPanel(std::max(0, w - px(kPanelWidth)));
    StringGrid1->resize(StringGrid1->width(), px(89) + extra);
    // Over the panel's bottom edge, below the grid.
    GridSplitter->setGeometry(0, panel - px(4), w, px(4));
    GridSplitter->raise();
    Panel2->setGeometry(0, h - strip, w, strip);
    Splitter1->setGeometry(0, 0, layoutViewSelector(w, strip), strip);
    VertScrollBar->setGeometry(w - bar, panel, bar, std::max(0, h - panel - strip));
    PlanArea->setGeometry(0, panel, std::max(0, w - bar), std::max(0, h - panel - strip));
    // The scroll bars reach every edge of the plan exactly, whatever the window's size.
    HorzScrollBar->setMaximum(std::max(0, Image1->width() - PlanArea->width()));
    VertScrollBar->setMaximum(std::max(0, Image1->height() - PlanArea->height()));
    Image1->move(-HorzScrollBar->value(), -VertScrollBar->value());
}

void Form1::showPlanPoint(QPoint planPoint)
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    // A point already in view stays where the user's eye is; one outside, or at the very edge,
    // is brought to the middle of the plan area.
    const auto scrollTo = [](QScrollBar *bar, int point, int viewLength) {
        const int margin = std::min(40, viewLength / 4);
        const int shown = point - bar->value();
        if (shown >= margin && shown < viewLength - margin)
            return;
        bar->setValue(std::clamp(point - viewLength / 2, bar->minimum(), bar->maximum()));
    };
    const QPoint shown = Image1->toWidget(planPoint);
    scrollTo(HorzScrollBar, shown.x(), PlanArea->width());
    scrollTo(VertScrollBar, shown.y(), PlanArea->height());
}
