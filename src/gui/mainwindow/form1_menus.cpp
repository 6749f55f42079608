// The menu bar and the keys: every command here calls the handler of the control it stands
// for, so a menu, a key and a tool-panel click can never do different things.
#include "gui/mainwindow/form1.h"

#include "gui/help/helpwindow.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/shortcuthint.h"

#include <QActionGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>

using namespace Qt::StringLiterals;

void Form1::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(u"MenuBar"_s);
    const auto action = [this](QMenu *menu, const QString &name, const QString &text,
                               const QKeySequence &keys, auto handler) {
        QAction *a = menu->addAction(text);
        a->setObjectName(name);
        if (!keys.isEmpty())
            a->setShortcut(keys);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };

    QMenu *file = bar->addMenu(u"&Файл"_s);
    OpenAction = action(file, u"OpenAction"_s, u"Открыть…"_s, QKeySequence::Open, &Form1::SpeedButton3Click);
    RecentMenu = file->addMenu(u"Недавние"_s);
    RecentMenu->setObjectName(u"RecentMenu"_s);
    SaveAction = action(file, u"SaveAction"_s, u"Сохранить"_s, QKeySequence::Save, &Form1::SaveClick);
    SaveAsAction = action(file, u"SaveAsAction"_s, u"Сохранить как…"_s, QKeySequence(u"Ctrl+Shift+S"_s),
                          &Form1::SaveAsClick);
    file->addSeparator();
    NewPlanAction = action(file, u"NewPlanAction"_s, u"Новый план…"_s, {}, &Form1::SpeedButton1Click);
    file->addSeparator();
    QuitAction = action(file, u"QuitAction"_s, u"Выход"_s, QKeySequence(u"Ctrl+Q"_s), &Form1::close);

    QMenu *edit = bar->addMenu(u"&Правка"_s);
    UndoAction = action(edit, u"UndoAction"_s, u"Удалить последнюю запись"_s, QKeySequence::Undo,
                        &Form1::Button2Click);
    UndoPlanAction = action(edit, u"UndoPlanAction"_s, u"Отменить на плане"_s, QKeySequence(u"Ctrl+Alt+Z"_s),
                            &Form1::undoPlanEdit);
    FindAction = action(edit, u"FindAction"_s, u"Найти"_s, QKeySequence::Find, [this] {
        SearchField->setFocus(Qt::ShortcutFocusReason);
        SearchField->selectAll();
    });

    QMenu *view = bar->addMenu(u"&Вид"_s);
    ViewActions = new QActionGroup(this);
    for (int i = 0; i < ViewMode->count(); ++i) {
        QAction *a = view->addAction(ViewMode->itemText(i));
        a->setObjectName(u"ViewAction%1"_s.arg(i));
        a->setCheckable(true);
        ViewActions->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { ViewMode->setCurrentIndex(i); });
    }
    connect(ViewMode, &QComboBox::currentIndexChanged, this, &Form1::refreshViewActions);
    refreshViewActions();
    view->addSeparator();
    // Ctrl+= too: on most keyboards "+" is Shift+"=", and Ctrl++ is meant without Shift.
    ZoomInAction = action(view, u"ZoomInAction"_s, u"Крупнее"_s, QKeySequence::ZoomIn, &Form1::zoomIn);
    ZoomInAction->setShortcuts({QKeySequence::ZoomIn, QKeySequence(u"Ctrl+="_s)});
    ZoomOutAction = action(view, u"ZoomOutAction"_s, u"Мельче"_s, QKeySequence::ZoomOut, &Form1::zoomOut);
    ZoomActualAction = action(view, u"ZoomActualAction"_s, u"Масштаб 100 %"_s, QKeySequence(u"Ctrl+0"_s),
                              &Form1::zoomActual);
    ZoomFitAction =
        action(view, u"ZoomFitAction"_s, u"План целиком"_s, QKeySequence(u"Ctrl+9"_s), &Form1::zoomFit);
    view->addSeparator();
    SummaryAction = action(view, u"SummaryAction"_s, u"Сводка"_s, {}, &Form1::SummaryButtonClick);
    StackingAction = action(view, u"StackingAction"_s, u"Этажи"_s, {}, &Form1::showStackingPlan);

    QMenu *plan = bar->addMenu(u"П&лан"_s);
    PrepareAction = action(plan, u"PrepareAction"_s, u"Подготовить план…"_s, {}, &Form1::PrepareButtonClick);
    FindRoomsAction =
        action(plan, u"FindRoomsAction"_s, u"Найти комнаты"_s, QKeySequence(u"Ctrl+R"_s), &Form1::FindRoomsClick);
    WallAction = action(plan, u"WallAction"_s, u"Стена"_s, QKeySequence(u"Ctrl+L"_s), &Form1::WallButtonClick);

    QMenu *reports = bar->addMenu(u"&Отчёты"_s);
    ScheduleAction =
        action(reports, u"ScheduleAction"_s, u"Размеркация (таблица площадей)"_s, {}, &Form1::Button7Click);
    PictureAction = action(reports, u"PictureAction"_s, u"Размещение арендаторов (картинка)"_s, {},
                           &Form1::SpeedButton5Click);
    LeasesAction = action(reports, u"LeasesAction"_s, u"Договоры…"_s, {}, &Form1::showLeases);
    reports->addSeparator();
    PdfAction = action(reports, u"PdfAction"_s, u"Печать в PDF…"_s, QKeySequence::Print, &Form1::printPlansPdf);

    QMenu *help = bar->addMenu(u"&Справка"_s);
    HelpAction = action(help, u"HelpAction"_s, u"Справка"_s, QKeySequence::HelpContents, &Form1::HelpClick);
    AboutAction = action(help, u"AboutAction"_s, u"О программе"_s, {}, &Form1::AboutClick);

    ShortcutHint::attach(SpeedButton3, OpenAction->shortcut());
    ShortcutHint::attach(SpeedButton2, SaveAsAction->shortcut());
    ShortcutHint::attach(Button2, UndoAction->shortcut());
    ShortcutHint::attach(FindRoomsButton, FindRoomsAction->shortcut());
    ShortcutHint::attach(WallButton, WallAction->shortcut());
    refreshPlanUndo();
}

void Form1::refreshViewActions()
{
    const QList<QAction *> actions = ViewActions->actions();
    const int index = ViewMode->currentIndex();
    if (index >= 0 && index < actions.size())
        actions[index]->setChecked(true);
}

void Form1::HelpClick()
{
    if (!m_help) {
        m_help = new HelpWindow(this);
        m_help->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void Form1::AboutClick()
{
    Dialogs::message(this, Dialogs::Kind::Information, u"О программе"_s,
                     applicationTitle() + u"\n\nВерсия 1.8.\n\n"_s +
                         u"Программа построена на Qt 6 (LGPL 3), zlib (лицензия zlib) и libxlsxwriter "
                         u"(BSD 2-Clause). Лицензия самой программы в её поставке не указана."_s);
}
