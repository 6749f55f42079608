#include "gui/records/form2.h"

#include "gui/widgets/windowfont.h"

#include "core/model/projectsession.h"
#include "core/plan/colourkey.h"
#include "core/plan/floodfill.h"
#include "gui/widgets/colourswatch.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/fieldvalidator.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr double kDesignDpi = 120.0;

bool isEnter(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

QString noticeRecordGone()
{
    return u"Запись, открытая для редактирования, больше не существует (её удалили или открыли "
           u"другой проект). Изменения не записаны."_s;
}

} // namespace

Form2::Form2(QWidget *parent, RecordDialogHost &host)
    // A dialog window of the main window: the window manager keeps it above the main window
    // (not above other programs) and gives it the keyboard when it is activated. A tool window
    // would not be focused when mapped, and typing would go to the main window.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_host(host)
{
    setObjectName(u"Form2"_s);
    setWindowTitle(u"Ввод и редактирование записи"_s);
    setModal(false);
    const QScreen *screen = QGuiApplication::primaryScreen();
    // Like the main window: never below the design size, since Qt keeps the font size.
    m_scale = screen ? std::max(1.0, screen->logicalDotsPerInch() / kDesignDpi) : 1.0;
    build();
    setMode(Mode::New);
}

int Form2::px(int designPixels) const
{
    return qRound(designPixels * m_scale);
}

void Form2::build()
{
    setFixedSize(px(459), px(241));
    QFont base = windowFont(px(14));
    setFont(base);
    QFont heading = base;
    heading.setPixelSize(px(15));
    heading.setBold(true);

    const auto at = [this](QWidget *w, int x, int y, int width, int height) {
        w->setGeometry(px(x), px(y), px(width), px(height));
    };
    const auto label = [this](const QString &name, const QString &text) {
        auto *l = new QLabel(text, this);
        l->setObjectName(name);
        return l;
    };
    const auto edit = [this](const QString &name, FieldValidator::Kind kind) {
        auto *e = new QLineEdit(this);
        e->setObjectName(name);
        e->setValidator(new FieldValidator(kind, e));
        e->installEventFilter(this);
        return e;
    };

    Label9 = label(u"Label9"_s, QString());
    Label9->setFont(heading);
    Label9->setAlignment(Qt::AlignCenter);
    at(Label9, 0, 0, 459, 16);
    Shape1 = new ColourSwatch(this);
    Shape1->setObjectName(u"Shape1"_s);
    at(Shape1, 30, 20, 99, 21);
    Label1 = label(u"Label1"_s, u"Номер записи"_s);
    at(Label1, 138, 20, 93, 16);
    Label8 = label(u"Label8"_s, QString());
    at(Label8, 236, 20, 60, 16);
    Label2 = label(u"Label2"_s, u"Системный цвет"_s);
    at(Label2, 300, 20, 150, 16);
    Label2->hide();
    newX = label(u"newX"_s, QString());
    newX->hide();
    NewY = label(u"NewY"_s, QString());
    NewY->hide();
    Led = label(u"Led"_s, u"Ввод записи"_s);
    Led->setFont(heading);
    Led->setAlignment(Qt::AlignCenter);
    QPalette red = Led->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Led->setPalette(red);
    at(Led, 10, 49, 444, 16);
    Label6 = label(u"Label6"_s, QString());
    Label6->hide();
    Label7 = label(u"Label7"_s, QString());
    Label7->hide();

    Label3 = label(u"Label3"_s, u"Идентификатор арендатора"_s);
    at(Label3, 20, 69, 188, 16);
    Edit1 = edit(u"Edit1"_s, FieldValidator::Kind::Text);
    at(Edit1, 207, 69, 99, 24);
    Label4 = label(u"Label4"_s, u"Площадь комнаты"_s);
    at(Label4, 79, 98, 117, 16);
    Edit2 = edit(u"Edit2"_s, FieldValidator::Kind::Area);
    at(Edit2, 207, 98, 60, 24);
    Label10 = label(u"Label10"_s, u"кв.м."_s);
    at(Label10, 276, 108, 30, 16);
    Label11 = label(u"Label11"_s, u"Название помещения"_s);
    at(Label11, 59, 128, 142, 16);
    Edit4 = edit(u"Edit4"_s, FieldValidator::Kind::Text);
    at(Edit4, 207, 128, 99, 24);
    Label5 = label(u"Label5"_s, u"Дополнительная информация"_s);
    at(Label5, 10, 167, 196, 16);
    Edit3 = edit(u"Edit3"_s, FieldValidator::Kind::Text);
    at(Edit3, 207, 167, 99, 24);

    RadioGroup1 = new QGroupBox(u"Тип помещения"_s, this);
    RadioGroup1->setObjectName(u"RadioGroup1"_s);
    at(RadioGroup1, 315, 69, 139, 129);
    RadioButtons = new QButtonGroup(RadioGroup1);
    RadioButtons->setExclusive(true);
    const std::array<QString, 5> items = {u"Торговые"_s, u"Офисные"_s, u"Производство"_s, u"Складские"_s,
                                          u"Прочие"_s};
    for (int i = 0; i < 5; ++i) {
        auto *b = new QRadioButton(items[static_cast<size_t>(i)], RadioGroup1);
        b->setObjectName(u"RadioItem%1"_s.arg(i));
        b->setGeometry(px(8), px(18 + i * 21), px(125), px(20));
        RadioButtons->addButton(b, i);
        RadioItems[static_cast<size_t>(i)] = b;
    }

    // Enter belongs to the entry fields' chain; a button must never take it as a default.
    Button1 = new QPushButton(u"Отмена"_s, this);
    Button1->setObjectName(u"Button1"_s);
    Button1->setAutoDefault(false);
    at(Button1, 20, 207, 92, 31);
    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(u"SpeedButton1"_s);
    SpeedButton1->setText(u"сместить метку"_s);
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    SpeedButton1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    at(SpeedButton1, 20, 207, 149, 31);
    // Out of the keyboard chain: Space on it would move the label and commit unasked.
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    // Between the label move and the commit, where the edit mode leaves room.
    LeasesButton = new QToolButton(this);
    LeasesButton->setObjectName(u"LeasesButton"_s);
    LeasesButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    LeasesButton->setToolTip(u"Договоры аренды помещения"_s);
    LeasesButton->setAccessibleName(u"Договоры"_s);
    LeasesButton->setFocusPolicy(Qt::NoFocus);
    at(LeasesButton, 174, 207, 38, 31);
    Button2 = new QPushButton(u"Ввод (Enter)"_s, this);
    Button2->setObjectName(u"Button2"_s);
    Button2->setAutoDefault(false);
    at(Button2, 217, 207, 92, 31);

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Edit3);
    setTabOrder(Edit3, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Edit4);
    // Two lines of a slightly smaller font, to fit the free space the type group leaves below
    // it, beside the buttons.
    // Out of the Tab chain, which keeps the order of the layout; Alt+М toggles it from the fields.
    CommonArea = new QCheckBox(u"Место общего\nпользования (&МОП)"_s, this);
    CommonArea->setFocusPolicy(Qt::NoFocus);
    CommonArea->setFont(windowFont(px(12)));
    CommonArea->setObjectName(u"CommonArea"_s);
    CommonArea->setAccessibleName(u"Место общего пользования (МОП)"_s);
    CommonArea->setToolTip(u"Коридор, холл, лестница и т. п.: помещение никому не сдаётся, его площадь "
                           u"распределяется между арендаторами"_s);
    at(CommonArea, 315, 200, 144, 40);

    setTabOrder(Edit4, RadioItems[0]);

    connect(Button1, &QPushButton::clicked, this, &Form2::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Form2::Button2Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &Form2::SpeedButton1Click);
    connect(LeasesButton, &QToolButton::clicked, this, [this] { m_host.showLeasesOfRow(m_row); });
    connect(Shape1, &ColourSwatch::released, this, &Form2::Shape1MouseUp);
    connect(RadioButtons, &QButtonGroup::idToggled, this, [this] { updateTypeTabStop(); });
}

void Form2::setCaptions(const Captions &captions)
{
    Label3->setText(captions[Captions::Tenant]);
    Label4->setText(captions[Captions::Area]);
    Label10->setText(captions[Captions::Unit]);
    Label11->setText(captions[Captions::RoomName]);
    RadioGroup1->setTitle(captions[Captions::TypeGroup]);
    for (int i = 0; i < 5; ++i)
        RadioItems[static_cast<size_t>(i)]->setText(captions[Captions::FirstType + i]);
    setSelectedType(-1);
}

void Form2::setMode(Mode mode)
{
    m_mode = mode;
    Led->setText(mode == Mode::New ? u"Ввод записи"_s : u"Редактирование записи"_s);
    Button1->setVisible(mode == Mode::New);
    SpeedButton1->setVisible(mode == Mode::Edit);
    LeasesButton->setVisible(mode == Mode::Edit);
}

void Form2::setLabelPoint(QPoint point)
{
    m_labelPoint = point;
    Label6->setText(QString::number(point.x()));
    Label7->setText(QString::number(point.y()));
}

void Form2::setCandidatePoint(QPoint point)
{
    m_candidatePoint = point;
    newX->setText(QString::number(point.x()));
    NewY->setText(QString::number(point.y()));
}

void Form2::setSelectedType(int index)
{
    // An exclusive group cannot be emptied while exclusive.
    RadioButtons->setExclusive(false);
    for (int i = 0; i < 5; ++i)
        RadioItems[static_cast<size_t>(i)]->setChecked(i == index);
    RadioButtons->setExclusive(true);
    updateTypeTabStop();
}

void Form2::updateTypeTabStop()
{
    // The type group is one stop of the Tab chain, at its selected item (the first while none
    // is); the arrow keys move within it.
    const int stop = std::max(0, selectedType());
    for (int i = 0; i < 5; ++i)
        RadioItems[static_cast<size_t>(i)]->setFocusPolicy(i == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

int Form2::selectedType() const
{
    return RadioButtons->checkedId();
}

void Form2::openNew(quint32 colour, QPoint labelPoint, int row, const QString &planId)
{
    m_openedColour = colour;
    Shape1->setColour(colour);
    Label2->setText(u"Sys color="_s + QString::number(colour));
    m_row = row;
    Label8->setText(QString::number(row));
    m_planId = planId;
    Label9->setText(planId);
    setLabelPoint(labelPoint);
    setCandidatePoint(labelPoint);
    setSelectedType(-1);
    // A new room is never common by itself, even when an undone room with its key was.
    CommonArea->setChecked(false);
    setMode(Mode::New);
    present(Edit1);
}

void Form2::openEdit(int row, QPoint candidatePoint)
{
    const RecordTable &table = m_host.session().table();
    // Everything that can fail is read before the dialog changes.
    const QPoint label(table.cellNumber(RecordTable::LabelX, row),
                       table.cellNumber(RecordTable::LabelY, row));
    const auto colour = static_cast<quint32>(table.cellNumber(RecordTable::ColourKey, row));
    const RecordTable::Row &texts = table.row(row);

    Edit4->setText(texts[RecordTable::Name]);
    Edit2->setText(texts[RecordTable::Area]);
    Edit3->setText(texts[RecordTable::Info]);
    Edit1->setText(texts[RecordTable::Tenant]);
    m_openedColour = colour;
    Shape1->setColour(colour);
    Label2->setText(u"Sys color="_s + QString::number(colour));
    m_row = row;
    Label8->setText(QString::number(row));
    m_planId = texts[RecordTable::PlanId];
    Label9->setText(m_planId);
    setLabelPoint(label);
    setCandidatePoint(candidatePoint);
    setSelectedType(RecordTable::typeIndex(texts[RecordTable::Type]));
    CommonArea->setChecked(m_host.session().roomFlags().isCommon(colour));
    setMode(Mode::Edit);
    // The area on the dialog's very first showing, else the tenant, where every closing
    // leaves the focus; a dialog already open keeps its own.
    present(isVisible() ? nullptr : m_shownBefore ? Edit1 : Edit2);
}

void Form2::present(QWidget *focus)
{
    m_shownBefore = true;
    if (focus)
        focus->setFocus();
    show();
    raise();
    activateWindow();
}

RecordTable::Row Form2::recordTexts(const QString &currentType) const
{
    RecordTable::Row texts;
    texts[RecordTable::PlanId] = m_planId;
    texts[RecordTable::Name] = Edit4->text();
    const int type = selectedType();
    texts[RecordTable::Type] = type >= 0 ? RecordTable::typeCodes()[static_cast<size_t>(type)] : currentType;
    texts[RecordTable::Area] = Edit2->text();
    texts[RecordTable::Tenant] = Edit1->text();
    texts[RecordTable::Info] = Edit3->text();
    texts[RecordTable::ColourKey] = QString::number(Shape1->colour());
    texts[RecordTable::LabelX] = QString::number(m_labelPoint.x());
    texts[RecordTable::LabelY] = QString::number(m_labelPoint.y());
    return texts;
}

bool Form2::holdsUncommittedText() const
{
    if (!isVisible())
        return false;
    if (m_mode == Mode::New) {
        const std::initializer_list<const QLineEdit *> edits{Edit1, Edit2, Edit3, Edit4};
        const auto typed = [](const QLineEdit *e) { return !e->text().isEmpty(); };
        return selectedType() >= 0 || CommonArea->isChecked() ||
               std::any_of(edits.begin(), edits.end(), typed);
    }
    const RecordTable &table = m_host.session().table();
    const int r = table.rowOfColour(m_openedColour);
    // A record gone from the table takes nothing along that a commit could still write.
    if (r <= 0)
        return false;
    const RecordTable::Row &record = table.row(r);
    const RecordTable::Row typed = recordTexts(record[RecordTable::Type]);
    // The label point is not compared: only the move, which commits at once, changes it.
    for (const int column :
         {RecordTable::Name, RecordTable::Type, RecordTable::Area, RecordTable::Tenant, RecordTable::Info}) {
        if (typed[static_cast<size_t>(column)] != record[static_cast<size_t>(column)])
            return true;
    }
    return Shape1->colour() != m_openedColour ||
           CommonArea->isChecked() != m_host.session().roomFlags().isCommon(m_openedColour);
}

void Form2::commitCommonFlag(quint32 previousKey, quint32 key)
{
    RoomFlags &flags = m_host.session().roomFlags();
    const bool wanted = CommonArea->isChecked();
    // Only a change counts: opening and committing a record must not make a project that never
    // said which rooms are common look as if it had (it would lose the suggestion).
    bool changed = false;
    if (previousKey != key && flags.isCommon(previousKey)) {
        flags.setCommon(previousKey, false);
        changed = true;
    }
    if (flags.isCommon(key) != wanted) {
        flags.setCommon(key, wanted);
        changed = true;
    }
    if (changed)
        m_host.roomFlagsEdited();
}

void Form2::commit(const std::optional<QString> &date)
{
    ProjectSession &session = m_host.session();
    RecordTable &table = session.table();
    if (m_mode == Mode::Edit) {
        // Rows move and disappear under an open dialog (undo, row moves, another project);
        // the key it was opened with is what still names its record.
        const int r = table.rowOfColour(m_openedColour);
        if (r <= 0) {
            Dialogs::message(this, Dialogs::Kind::Warning, u"Ошибка"_s, noticeRecordGone());
            closeDialog();
            return;
        }
        table.updateRecord(r, recordTexts(table.cellText(RecordTable::Type, r)), date);
        m_row = r;
        commitCommonFlag(m_openedColour, Shape1->colour());
        m_openedColour = Shape1->colour();
    } else {
        const int r = table.entryRow();
        table.appendRecord(recordTexts(table.cellText(RecordTable::Type, r)), date);
        m_row = r;
        commitCommonFlag(Shape1->colour(), Shape1->colour());
    }
    Label8->setText(QString::number(m_row));
    session.setModified(true);
    closeDialog();
}

void Form2::paintBack()
{
    ProjectSession &session = m_host.session();
    // The room was filled on the plan of the dialog; another plan shown now must stay as it is.
    if (session.currentPlan() != m_planId || session.planImage().isNull())
        return;
    const QRect changed =
        FloodFill().fill(session.planImage(), m_labelPoint, ColourKey::toRgb(session.restoreColour));
    m_host.refreshPlanRect(changed);
}

void Form2::closeDialog()
{
    Edit1->setFocus();
    hide();
}

void Form2::Button2Click()
{
    guard([this] { commit(RecordTable::today()); });
}

void Form2::Button1Click()
{
    guard([this] {
        if (m_mode == Mode::New)
            paintBack();
        closeDialog();
    });
}

void Form2::SpeedButton1Click()
{
    guard([this] {
        setLabelPoint(m_candidatePoint);
        if (m_mode == Mode::Edit)
            commit(RecordTable::today());
    });
}

void Form2::Shape1MouseUp()
{
    guard([this] {
        ProjectSession &session = m_host.session();
        QColorDialog *dialog = m_host.colourDialog();
        dialog->setCurrentColor(QColor::fromRgb(ColourKey::toRgb(session.colourDialogColour)));
        if (!Dialogs::chooseColour(dialog))
            return;
        const quint32 chosen = ColourKey::fromRgb(dialog->currentColor().rgb()) & ColourKey::kRgbMask;
        session.colourDialogColour = chosen;
        // The swatch shows the key the commit will write.
        Shape1->setColour(
            ColourKey::freeKeyFrom(chosen, [&session](quint32 k) { return session.table().colourInUse(k); }));
    });
}

void Form2::abandon()
{
    guard([this] {
        if (isVisible() && m_mode == Mode::New)
            paintBack();
        closeDialog();
    });
}

void Form2::setFinishedLock(bool locked)
{
    Edit2->setReadOnly(locked);
    Edit4->setReadOnly(locked);
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return QDialog::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (!isEnter(key))
        return QDialog::eventFilter(watched, event);
    // The chain runs on release, so the release of the Enter that moved the focus into Edit3
    // cannot commit.
    if (event->type() == QEvent::KeyRelease && !key->isAutoRepeat()) {
        if (watched == Edit1)
            Edit2->setFocus();
        else if (watched == Edit2)
            Edit4->setFocus();
        else if (watched == Edit4)
            Edit3->setFocus();
        else if (watched == Edit3)
            guard([this] { commit(std::nullopt); });
    }
    return true;
}

void Form2::keyPressEvent(QKeyEvent *event)
{
    // Enter presses the focused button, as on the desktop the dialog was drawn for; the
    // buttons are not auto-default, so that Enter in the fields keeps to their chain.
    if (isEnter(event)) {
        event->accept();
        if (auto *button = qobject_cast<QAbstractButton *>(focusWidget());
            button && (button == Button1 || button == Button2) && button->isVisible())
            button->click();
        return;
    }
    // Escape is "Отмена": a room filled for a new record gets its colour back.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        Button1Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form2::closeEvent(QCloseEvent *event)
{
    // Closed by the window manager (title bar, Alt+F4): as "Отмена", so a room filled for a
    // new record never stays without one.
    if (isVisible())
        Button1Click();
    event->accept();
}
