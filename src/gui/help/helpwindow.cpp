#include "gui/help/helpwindow.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QScrollBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

HelpWindow::HelpWindow(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"HelpWindow"_s);
    setWindowTitle(u"Справка — Metrola"_s);
    auto *layout = new QVBoxLayout(this);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(u"HelpText"_s);
    m_browser->setOpenExternalLinks(false);
    m_browser->setHtml(pageHtml());
    layout->addWidget(m_browser);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(u"Закрыть"_s);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
    // The page, not the button, takes the keys: PageDown and Ctrl+End move through it.
    buttons->button(QDialogButtonBox::Close)->setAutoDefault(false);
    m_browser->setFocusPolicy(Qt::StrongFocus);
    m_browser->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusProxy(m_browser);
    m_browser->installEventFilter(this);
    m_browser->setFocus();
    resize(640, 720);
}

bool HelpWindow::scrollByKey(const QKeyEvent &key)
{
    QScrollBar *bar = m_browser->verticalScrollBar();
    switch (key.key()) {
    case Qt::Key_PageUp: bar->triggerAction(QAbstractSlider::SliderPageStepSub); return true;
    case Qt::Key_PageDown:
    case Qt::Key_Space: bar->triggerAction(QAbstractSlider::SliderPageStepAdd); return true;
    case Qt::Key_Up: bar->triggerAction(QAbstractSlider::SliderSingleStepSub); return true;
    case Qt::Key_Down: bar->triggerAction(QAbstractSlider::SliderSingleStepAdd); return true;
    case Qt::Key_Home: bar->triggerAction(QAbstractSlider::SliderToMinimum); return true;
    case Qt::Key_End: bar->triggerAction(QAbstractSlider::SliderToMaximum); return true;
    default: return false;
    }
}

void HelpWindow::keyPressEvent(QKeyEvent *event)
{
    if (!scrollByKey(*event))
        QDialog::keyPressEvent(event);
}

bool HelpWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The read-only page lets these keys through to nobody; they move it here.
    if (watched == m_browser && event->type() == QEvent::KeyPress && scrollByKey(*static_cast<QKeyEvent *>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

QString HelpWindow::pageHtml()
{
    return u"<h2>Metrola: учёт площадей</h2>"
           u"<p>Проект — это поэтажные планы и список помещений. Каждое помещение отмечено на плане "
           u"своим цветом, и этот цвет связывает его с записью в списке.</p>"

           u"<h3>Планы</h3>"
           u"<p><b>Новый План</b> (меню <i>Файл → Новый план…</i>) добавляет план из файла BMP, PNG, JPEG, "
           u"TIFF или PDF (план не в BMP сохраняется в рабочей папке как BMP); файлы можно и перетащить на "
           u"окно. Планы переключаются вкладками внизу окна. "
           u"<b>Редактировать</b> открывает план в графическом редакторе.</p>"
           u"<h3>Сканы, фотографии и PDF</h3>"
           u"<p><b>Подготовить</b> (<i>План → Подготовить план…</i>) делает пол плана белым, а стены — "
           u"чёрными, чтобы заливка не останавливалась на шуме и полутонах; до сохранения подготовку можно "
           u"отменить той же кнопкой.</p>"
           u"<p><b>Найти комнаты</b> (Ctrl+R) штрихует неразмеченные помещения плана (с площадью, если у "
           u"плана есть масштаб) и показывает пунктиром линии, которые закроют дверные проёмы. Щелчок по "
           u"помещению принимает его: проводятся линии вокруг него, помещение заливается, и открывается "
           u"окно записи. Щелчок по линии проводит её. Ctrl+щелчок отклоняет помещение или линию. "
           u"<b>Принять все</b> записывает все предложенные помещения сразу как «Помещение 1», "
           u"«Помещение 2»… без арендатора, с измеренной площадью при масштабе. Esc или <b>Закрыть</b> "
           u"убирают предложения.</p>"
           u"<p><b>Стена</b> (Ctrl+L): два щелчка по плану проводят чёрную линию толщиной в стену, "
           u"например через открытый проход; Esc отменяет. Линии становятся частью плана.</p>"
           u"<p><i>Правка → Отменить на плане</i> (Ctrl+Alt+Z) отменяет последнюю стену, линию или "
           u"принятые помещения вместе с их записями.</p>"
           u"<p>Масштаб изображения: Ctrl и колесо мыши (относительно указателя), Ctrl++ и Ctrl+− — "
           u"крупнее и мельче, Ctrl+0 — 100 %, Ctrl+9 — весь план в окне. Колесо без Ctrl прокручивает "
           u"план, с Shift — по горизонтали.</p>"

           u"<h3>Разметка помещений</h3>"
           u"<p>Щёлкните правой кнопкой внутри помещения: оно заливается новым цветом, и открывается окно "
           u"записи. Введите арендатора, площадь, название, тип и доп. информацию и нажмите кнопку ввода. "
           u"<b>Отмена</b> или Esc возвращает помещению прежний цвет.</p>"
           u"<p>Левая кнопка, удержанная над помещением, показывает его данные. Правая или средняя кнопка "
           u"на уже отмеченном помещении открывает его запись для правки; там же можно перенести точку "
           u"подписи в место последнего щелчка. Двойной щелчок по плану перекрашивает помещения заново.</p>"
           u"<p><b>Правка → Отменить</b> (Ctrl+Z) отменяет последнее изменение проекта любого рода: "
           u"добавленную, исправленную, удалённую или перемещённую запись, линии и подготовку плана, "
           u"отметку МОП, масштаб. <b>Правка → Повторить</b> (Ctrl+Shift+Z) возвращает отменённое.</p>"
           u"<p><b>Undo</b> (<i>Правка → Удалить последнюю запись</i>) удаляет последнюю запись "
           u"списка и возвращает её помещению прежний цвет; это тоже изменение, которое можно отменить. "
           u"<b>сменить цвет</b> выбирает цвет, с которого начинаются цвета новых помещений.</p>"

           u"<h3>Список записей</h3>"
           u"<p>Двойной щелчок по записи показывает её план и мигает помещением. Стрелки справа от списка "
           u"переставляют запись выше или ниже. Нижний край панели можно потянуть мышью, чтобы список стал "
           u"выше.</p>"
           u"<p>Поле поиска (Ctrl+F) оставляет в списке только записи, где встречается набранный текст — "
           u"в любом столбце, без учёта регистра; Enter показывает помещение найденной записи. Щелчок по "
           u"заголовку столбца упорядочивает список для просмотра, повторные щелчки меняют направление и "
           u"возвращают исходный порядок. Порядок записей в проекте при этом не меняется, а стрелки "
           u"перестановки недоступны, пока действует поиск или сортировка.</p>"

           u"<h3>Сохранение</h3>"
           u"<p><i>Файл → Сохранить</i> (Ctrl+S) записывает проект в открытый или последний сохранённый "
           u"архив ZIP; у нового проекта спрашивается имя. <i>Сохранить как…</i> (Ctrl+Shift+S) и кнопка "
           u"<b>Сохранить работу в Zip</b> всегда спрашивают имя. Звёздочка в заголовке окна означает "
           u"несохранённые изменения. Открыть архив можно кнопкой, через Ctrl+O, из списка "
           u"<i>Недавние</i> или перетащив его на окно.</p>"
           u"<p>Несохранённая работа каждую секунду копируется в рабочую папку; после сбоя программа "
           u"предложит её восстановить.</p>"

           u"<h3>Отчёты</h3>"
           u"<p><b>Размеркация</b> (меню <i>Отчёты</i>) — таблица помещений с площадями по типам, "
           u"сохраняется в папке документов и открывается в табличной программе. <b>Размещение "
           u"арендаторов</b> — картинка плана с подписями; что подписывать, выбирают флажки справа от "
           u"списка. <b>Сводка</b> — площади по планам и типам, арендаторы, свободные помещения и "
           u"замеченные ошибки; двойной щелчок по помещению показывает его на плане.</p>"

           u"<h3>Договоры аренды</h3>"
           u"<p><b>Договоры</b> (меню <i>Отчёты</i>, или кнопка в окне записи для одного помещения) — "
           u"договоры комплекса со сроками: добавить, изменить, завершить сегодня, продлить, удалить; "
           u"один договор может охватывать несколько помещений на разных планах. Договоры одного "
           u"помещения не могут пересекаться по срокам. Раскраска <b>Сроки аренды</b> (меню <i>Вид</i>) "
           u"показывает, когда истекают договоры; поле <b>На дату</b> в сводке пересчитывает занятые и "
           u"свободные площади, арендаторов и этажи на любую дату.</p>"_s;
}
