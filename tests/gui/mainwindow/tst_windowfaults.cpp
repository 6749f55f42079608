// Faults of the main window found by marking up real floors: a right-click whose fill leaks,
// the scale command's button and menu item, a new project without a restart, tool windows
// that outlive the main window, a grid and tool panel that do not widen, dialogs that do not
// grow, the record dialog's first captions and the proposal accepted with an old record's
// texts.
#include "core/plan/colourkey.h"
#include "core/plan/planimage.h"
#include "gui/help/helpwindow.h"
#include "gui/mainwindow/form1.h"
#include "gui/plan/plancanvas.h"
#include "gui/records/form2.h"
#include "gui/reports/stackingwindow.h"
#include "gui/reports/summarywindow.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/planpreparationdialog.h"
#include "wallplan.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// A sheet with a margin; two rooms inside an outer wall, the right one small. `gap` opens the
// outer wall of the left room to the margin.
QImage plan(bool gap)
{
    QImage image =
        WallPlan::draw({400, 300}, {QRect(20, 20, 360, 6), QRect(20, 274, 360, 6), QRect(20, 20, 6, 260),
                                    QRect(374, 20, 6, 260), QRect(300, 26, 6, 248)});
    if (gap) {
        for (int y = 100; y < 130; ++y)
            for (int x = 20; x < 26; ++x)
                image.setPixel(x, y, qRgb(255, 255, 255));
    }
    return image;
}

} // namespace

class TestWindowFaults : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;
    QStringList m_messages;
    std::unique_ptr<Form1> m_form;

    QString workFile(const QString &name) const { return m_work.filePath(name); }
    void answerWith(const QString &file)
    {
        Dialogs::Responder r;
        r.message = [this](Dialogs::Kind, const QString &, const QString &text) {
            m_messages.append(text);
            return QMessageBox::Ok;
        };
        r.file = [file](QFileDialog *) { return file; };
        Dialogs::setResponder(r);
    }
    void addPlan(const QString &name, const QImage &image)
    {
        PlanImage::saveBmp(image, workFile(name));
        answerWith(workFile(name));
        m_form->SpeedButton1Click();
        QCOMPARE(m_form->session().currentPlan(), name);
    }

private Q_SLOTS:
    void init()
    {
        m_messages.clear();
        answerWith(QString());
        m_form = std::make_unique<Form1>(m_work.path() + u'/');
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }
    void cleanup()
    {
        m_form.reset();
        Dialogs::setResponder({});
        for (const QString &name : QDir(m_work.path()).entryList(QDir::Files))
            QFile::remove(workFile(name));
    }

    // Item 5: a fill that ran out of its room says so and offers to take it back.
    void leakingFillIsReported_data()
    {
        QTest::addColumn<bool>("gap");
        QTest::addColumn<QPoint>("click");
        QTest::addColumn<QString>("notice");
        QTest::newRow("closed room") << false << QPoint(340, 100) << QString();
        QTest::newRow("gap to the sheet's edge") << true << QPoint(100, 100) << u"дошла до края листа"_s;
        QTest::newRow("most of the plan") << false << QPoint(100, 100) << u"заняла"_s;
    }
    void leakingFillIsReported()
    {
        QFETCH(bool, gap);
        QFETCH(QPoint, click);
        QFETCH(QString, notice);
        addPlan(u"a.bmp"_s, plan(gap));
        m_form->Image1MouseUp(Qt::RightButton, click.x(), click.y());
        // The fill itself is the specified one, and the dialog opens as always.
        QVERIFY(m_form->form2()->isVisible());
        QVERIFY(m_form->session().planImage().pixel(click) != qRgb(255, 255, 255));
        const bool shown = m_form->LeakBar && m_form->LeakBar->isVisible();
        QCOMPARE(shown, !notice.isEmpty());
        if (!shown)
            return;
        QVERIFY2(m_form->LeakText->text().contains(notice), qPrintable(m_form->LeakText->text()));
        QVERIFY(m_form->LeakText->text().contains(u"«Стена»"_s));
        m_form->LeakUndoButton->click();
        QVERIFY(!m_form->form2()->isVisible());
        QVERIFY(!m_form->LeakBar->isVisible());
        QCOMPARE(m_form->session().planImage().pixel(click), qRgb(255, 255, 255));
        QCOMPARE(m_form->session().table().recordCount(), 0);
        QVERIFY(m_messages.isEmpty());
    }
    // Items 11 and 12: a room accepted among the proposals opens the dialog with the project's
    // captions, a free name, the measured area and no tenant, not the last record's texts.
    void acceptedProposalOffersItsOwnTexts()
    {
        const QImage three =
            WallPlan::draw({300, 200}, {QRect(20, 20, 260, 6), QRect(20, 174, 260, 6), QRect(20, 20, 6, 160),
                                        QRect(274, 20, 6, 160), QRect(147, 26, 6, 54), QRect(147, 120, 6, 54),
                                        QRect(210, 26, 6, 34), QRect(210, 100, 6, 74)});
        m_form->session().captions()[Captions::Tenant] = u"Арендатор"_s;
        m_form->session().captions()[Captions::Unit] = u"м²"_s;
        // The last record typed by hand, on another plan.
        addPlan(u"b.bmp"_s, plan(false));
        m_form->Image1MouseUp(Qt::RightButton, 340, 100);
        Form2 *dialog = m_form->form2();
        dialog->Edit1->setText(u"ООО Прежний"_s);
        dialog->Edit2->setText(u"99"_s);
        dialog->Edit4->setText(u"Склад"_s);
        dialog->Button2Click();
        addPlan(u"a.bmp"_s, three);
        m_form->session().scales().setScale(u"a.bmp"_s, {0.02, QDate(2026, 12, 9)});
        m_form->FindRoomsButton->click();
        QTest::mouseClick(m_form->Image1, Qt::LeftButton, {}, m_form->Image1->toWidget({60, 60}));
        QVERIFY2(dialog->isVisible(), qPrintable(m_messages.join(u'|') + m_form->ProposalText->text()));
        QCOMPARE(dialog->Label3->text(), u"Арендатор"_s);
        QCOMPARE(dialog->Label10->text(), u"м²"_s);
        QCOMPARE(dialog->Edit1->text(), QString());
        QCOMPARE(dialog->Edit4->text(), u"Помещение 1"_s);
        // 121 × 148 floor points of 2 cm, and half the doorway's 6 × 40 up to the closing line.
        QCOMPARE(dialog->Edit2->text(), u"7,21"_s);
    }

    // Item 14: the scale command has a ruler, not the toolbar's chevron, and a menu item.
    void scaleHasItsIconAndMenuItem()
    {
        const QImage chevron =
            m_form->style()->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton).pixmap(24).toImage();
        QVERIFY(m_form->ScaleButton->icon().pixmap(24).toImage() != chevron);
        QVERIFY(!m_form->ScaleButton->icon().isNull());
        QVERIFY(m_form->ScaleAction);
        QCOMPARE(m_form->ScaleAction->text(), u"Масштаб…"_s);
        QMenu *planMenu = nullptr;
        for (QAction *a : m_form->menuBar()->actions())
            if (a->menu() && a->menu()->actions().contains(m_form->ScaleAction))
                planMenu = a->menu();
        QVERIFY(planMenu);
        QCOMPARE(planMenu->title(), u"П&лан"_s);
        // Without a plan it says so, as the button does.
        m_form->ScaleAction->trigger();
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.first().contains(u"Нет плана"_s));
    }

    // Item 15: Файл → Создать (Ctrl+N) asks about unsaved work, then starts an empty project.
    void newProjectWithoutRestart_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("save refused: the project goes") << int(QMessageBox::No);
        QTest::newRow("cancelled: the project stays") << int(QMessageBox::Cancel);
    }
    void newProjectWithoutRestart()
    {
        QFETCH(int, answer);
        addPlan(u"a.bmp"_s, plan(false));
        m_form->Image1MouseUp(Qt::RightButton, 340, 100);
        m_form->form2()->Edit1->setText(u"ООО Альфа"_s);
        m_form->form2()->Button2Click();
        m_form->session().captions()[Captions::Tenant] = u"Арендатор"_s;
        QVERIFY(m_form->session().modified());
        QStringList questions;
        Dialogs::Responder r;
        r.message = [&questions, answer](Dialogs::Kind, const QString &, const QString &text) {
            questions.append(text);
            return QMessageBox::StandardButton(answer);
        };
        Dialogs::setResponder(r);
        QCOMPARE(m_form->NewProjectAction->shortcut(), QKeySequence(QKeySequence::New));
        QTest::keySequence(m_form.get(), QKeySequence::New);
        QCOMPARE(questions.size(), 1);
        QVERIFY(questions.first().contains(u"Сохранить изменения"_s));
        const RecordTable &table = m_form->session().table();
        if (answer == QMessageBox::Cancel) {
            QCOMPARE(table.recordCount(), 1);
            QCOMPARE(m_form->session().currentPlan(), u"a.bmp"_s);
            return;
        }
        QCOMPARE(table.recordCount(), 0);
        QVERIFY(!m_form->session().hasPlan());
        QCOMPARE(m_form->TabSet1->count(), 0);
        QCOMPARE(m_form->session().captions(), Captions::defaults());
        QVERIFY(!m_form->session().modified());
        QVERIFY(!m_form->HistoryUndoAction->isEnabled());
        QVERIFY(!m_form->isWindowModified());
    }

    // Item 16: tool windows belong to the main window: above it, and closed with it.
    void toolWindowsCloseWithTheMainWindow()
    {
        m_form->showStackingPlan();
        m_form->SummaryButtonClick();
        m_form->HelpClick();
        QVERIFY(m_form->Stacking->isVisible());
        QCOMPARE(m_form->Stacking->parentWidget(), m_form.get());
        QCOMPARE(m_form->Summary->parentWidget(), m_form.get());
        // Only tool windows and dialogs reach the window manager as owned by another window.
        QCOMPARE(m_form->Stacking->windowType(), Qt::Tool);
        QCOMPARE(m_form->Summary->windowType(), Qt::Tool);
        QVERIFY(m_form->close());
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    }

    // Item 17: a wide window widens the grid and its columns; the controls right of it follow.
    void wideWindowWidensTheGrid()
    {
        m_form->showNormal();
        m_form->resize(1150, 700);
        QTest::qWait(50);
        const int grid = m_form->StringGrid1->width();
        const int planColumn = m_form->StringGrid1->columnWidth(RecordTable::PlanId);
        const int moveButton = m_form->BitBtn1->x();
        m_form->resize(1900, 700);
        QTRY_VERIFY(m_form->StringGrid1->width() >= grid + 700);
        QVERIFY(m_form->StringGrid1->columnWidth(RecordTable::PlanId) > planColumn * 3 / 2);
        QCOMPARE(m_form->BitBtn1->x() - moveButton, m_form->StringGrid1->width() - grid);
        // Nothing overlaps the grid.
        QVERIFY(m_form->BitBtn1->x() >= m_form->StringGrid1->geometry().right());
        m_form->resize(1150, 700);
        QTRY_COMPARE(m_form->StringGrid1->width(), grid);
        QCOMPARE(m_form->BitBtn1->x(), moveButton);
    }

    // Item 18: the help page scrolls with the page keys, wherever the keyboard is.
    void helpScrollsWithTheKeys()
    {
        HelpWindow help;
        help.resize(400, 300);
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QScrollBar *bar = help.browser()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QTest::keyClick(&help, Qt::Key_PageDown);
        QVERIFY(bar->value() > 0);
        QTest::keyClick(&help, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(bar->value(), bar->maximum());
    }

    // Item 18: the preparation previews grow with the dialog.
    void preparationPreviewsGrow()
    {
        PlanPreparationDialog dialog(plan(true), QString());
        dialog.resize(700, 500);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto *after = dialog.findChild<QLabel *>(u"after"_s);
        QTRY_VERIFY(!after->pixmap().isNull());
        const int small = after->pixmap().width();
        dialog.resize(1600, 1000);
        QTRY_VERIFY(after->pixmap().width() > small * 3 / 2);
        // "Было" grows alike: the source scaled once serves both views.
        QCOMPARE(dialog.findChild<QLabel *>(u"before"_s)->pixmap().size(), after->pixmap().size());
    }
};

QTEST_MAIN(TestWindowFaults)
#include "tst_windowfaults.moc"
