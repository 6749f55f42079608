// The grid as the user looks at it: taller on demand, filtered by a search, sorted by a header
// click. The record table underneath keeps its order; the view maps rows back to it.
#include "gui/mainwindow/form1.h"

#include "core/model/recordview.h"
#include "gui/widgets/dragbar.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSettings>
#include <QShortcut>
#include <QTableView>
#include <QToolButton>

#include <memory>

using namespace Qt::StringLiterals;

namespace {
const QString kGridKey = u"gridExtra"_s;
} // namespace

void Form1::buildSearch()
{
    auto *box = new QWidget(menuBar());
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(4, 1, 4, 1);
    SearchField = new QLineEdit(box);
    SearchField->setObjectName(u"SearchField"_s);
    SearchField->setPlaceholderText(u"Поиск записей"_s);
    SearchField->setToolTip(u"Показать в списке только записи с этим текстом в любом столбце (Ctrl+F); "
                            u"Enter показывает помещение найденной записи"_s);
    SearchField->setClearButtonEnabled(true);
    SearchField->setMinimumWidth(px(220));
    SearchCount = new QLabel(box);
    SearchCount->setObjectName(u"SearchCount"_s);
    layout->addWidget(SearchCount);
    layout->addWidget(SearchField);
    menuBar()->setCornerWidget(box, Qt::TopRightCorner);
    connect(SearchField, &QLineEdit::textChanged, this, &Form1::SearchFieldChange);
    connect(SearchField, &QLineEdit::returnPressed, this, &Form1::SearchFieldEnter);
    // Down walks from the field into the matches, where Enter or a double click shows one.
    auto *intoGrid =
        new QShortcut(QKeySequence(Qt::Key_Down), SearchField, nullptr, nullptr, Qt::WidgetShortcut);
    connect(intoGrid, &QShortcut::activated, this, [this] {
        if (!StringGrid1->currentIndex().isValid() && m_recordView->rowCount() > 0)
            StringGrid1->setCurrentIndex(m_recordView->index(0, 0));
        StringGrid1->setFocus(Qt::ShortcutFocusReason);
    });
    // Enter on a row of the grid shows it, as a double click does.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto *show = new QShortcut(QKeySequence(key), StringGrid1, nullptr, nullptr, Qt::WidgetShortcut);
        connect(show, &QShortcut::activated, this, &Form1::StringGrid1DblClick);
    }

    // Sorting is for viewing: a third click on a header gives the table's own order back.
    QHeaderView *header = StringGrid1->horizontalHeader();
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setSortIndicatorClearable(true);
    StringGrid1->setSortingEnabled(true);
    connect(header, &QHeaderView::sortIndicatorChanged, this, &Form1::refreshRowMoves);
    // The type column matches by caption too.
    for (QLineEdit *caption : edt)
        connect(caption, &QLineEdit::textEdited, m_recordView, &RecordView::captionsChanged);
    const auto count = [this] { SearchFieldChange(SearchField->text()); };
    connect(m_recordView, &QAbstractItemModel::rowsInserted, this, count);
    connect(m_recordView, &QAbstractItemModel::rowsRemoved, this, count);
    connect(m_recordView, &QAbstractItemModel::modelReset, this, count);
}

void Form1::SearchFieldChange(const QString &text)
{
    m_recordView->setSearch(text);
    SearchCount->setText(m_recordView->search().isEmpty() ? QString()
                                                          : u"Найдено: %1"_s.arg(m_recordView->matchCount()));
    refreshRowMoves();
}

void Form1::SearchFieldEnter()
{
    if (m_recordView->search().isEmpty() || m_recordView->rowCount() == 0)
        return;
    // The match the user moved to, else the first one.
    if (!StringGrid1->currentIndex().isValid() || !StringGrid1->selectionModel()->hasSelection())
        StringGrid1->setCurrentIndex(m_recordView->index(0, 0));
    StringGrid1DblClick();
}

void Form1::refreshRowMoves()
{
    // The moves work on the table's order, which a sorted or filtered grid does not show.
    const bool own = !m_recordView->isRearranged();
    BitBtn1->setEnabled(own);
    BitBtn2->setEnabled(own);
}

void Form1::buildGridSplitter()
{
    GridSplitter = new DragBar(centralWidget());
    GridSplitter->setObjectName(u"GridSplitter"_s);
    GridSplitter->setToolTip(u"Потяните, чтобы изменить высоту списка записей"_s);
    auto atPress = std::make_shared<int>(0);
    connect(GridSplitter, &DragBar::pressed, this, [this, atPress] { *atPress = m_gridExtra; });
    connect(GridSplitter, &DragBar::dragged, this, [this, atPress](int dy) { setGridExtra(*atPress + dy); });
    connect(GridSplitter, &DragBar::released, this, [this] { settings().setValue(kGridKey, m_gridExtra); });
    m_gridExtra = std::max(0, settings().value(kGridKey, 0).toInt());
}

void Form1::setGridExtra(int pixels)
{
    m_gridExtra = std::clamp(pixels, 0, gridExtraRoom());
    layoutPlanArea();
}
