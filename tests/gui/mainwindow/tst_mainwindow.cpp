// The main window as a place to work in: the plain save, recent archives, the title, Escape,
// dropped files, the grid's search, sort and height, and marking, hover and scale under zoom.
#include "core/archive/zipreader.h"
#include "core/archive/zipwriter.h"
#include "core/base/cp1251.h"
#include "core/model/planscales.h"
#include "core/model/recordview.h"
#include "core/plan/colourkey.h"
#include "core/plan/planimage.h"
#include "gui/mainwindow/form1.h"
#include "gui/plan/plancanvas.h"
#include "gui/records/form2.h"
#include "gui/reports/summarywindow.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/dragbar.h"

#include <QAction>
#include <QFileDialog>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace {

// A plan of 400 x 300 with a wall at x = 200: room "left" (keyed 100, tenant ООО Бета) and an
// unmarked room right of it. The second plan q.bmp holds a room of ИП Альфа.
QImage wallPlan()
{
    QImage plan(400, 300, QImage::Format_RGB32);
    plan.fill(Qt::white);
    for (int y = 0; y < plan.height(); ++y)
        plan.setPixel(200, y, qRgb(0, 0, 0));
    return plan;
}

QString writeArchive(const QString &path, const QString &firstTenant = u"ООО Бета"_s,
                     const QString &entryX = {})
{
    const QString csv = u"Т;К;Н;Г;1;2;3;4;5;ед;;\r\nh;\r\n"
                        u"p.bmp;Зал;торг;10;"_s +
                        firstTenant +
                        u";;100;50;50;\r\n"
                        u"q.bmp;Склад;склд;20;ИП Альфа;;99;5;5;\r\n"
                        u";;;;;;07.12.2026;"_s +
                        entryX + u";;\r\n"_s;
    QImage small(30, 20, QImage::Format_RGB32);
    small.fill(Qt::white);
    ZipWriter writer(path);
    writer.addMember(u"p.bmp"_s, PlanImage::bmpBytes(wallPlan()));
    writer.addMember(u"q.bmp"_s, PlanImage::bmpBytes(small));
    writer.addMember(u"metrola.csv"_s, Cp1251::fromUnicode(csv));
    writer.write();
    return path;
}

QStringList recentMenuPaths(const Form1 &form)
{
    QStringList paths;
    for (const QAction *a : form.RecentMenu->actions())
        paths.append(a->data().toString());
    return paths;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_program;
    std::unique_ptr<QTemporaryDir> m_files;
    QStringList m_texts;
    QStringList m_fileDialogs;
    QString m_chosenFile;
    QMessageBox::StandardButton m_answer = QMessageBox::No;

    QString programDir() const { return m_program->path() + u'/'; }
    QString file(const QString &name) const { return m_files->path() + u'/' + name; }

    // The window with p.zip opened through the open button, shown.
    std::unique_ptr<Form1> openedWindow()
    {
        auto form = std::make_unique<Form1>(programDir());
        m_chosenFile = writeArchive(file(u"p.zip"_s));
        form->SpeedButton3Click();
        form->show();
        [&] { QVERIFY(QTest::qWaitForWindowExposed(form.get())); }();
        m_fileDialogs.clear();
        m_chosenFile.clear();
        return form;
    }

private Q_SLOTS:
    void init()
    {
        QSettings(QSettings::UserScope, u"metrola"_s, u"metrola"_s).clear();
        m_program = std::make_unique<QTemporaryDir>();
        m_files = std::make_unique<QTemporaryDir>();
        m_texts.clear();
        m_fileDialogs.clear();
        m_answer = QMessageBox::No;
        Dialogs::setResponder(
            {[this](Dialogs::Kind, const QString &title, const QString &text) {
                 m_texts.append(title + u'|' + text);
                 return m_answer;
             },
             [this](QFileDialog *dialog) {
                 m_fileDialogs.append(dialog->objectName());
                 return m_chosenFile;
             },
             {},
             [](const QString &) { return true; },
             [](const QString &, const QString &) { return std::optional<QString>(u"5"_s); }});
    }
    void cleanup() { Dialogs::setResponder({}); }

    void plainSaveWritesTheArchiveInHand()
    {
        auto form = openedWindow();
        QVERIFY(form->windowTitle().endsWith(u" — p.zip[*]"_s));
        QVERIFY(!form->isWindowModified());
        form->session().table().setCell(RecordTable::Tenant, 1, u"ЗАО Новый"_s);
        form->session().setModified(true);
        QVERIFY(form->isWindowModified());

        form->SaveAction->trigger();
        QCOMPARE(m_fileDialogs, QStringList());
        QVERIFY(ZipReader(file(u"p.zip"_s))
                    .readMember(u"metrola.csv"_s)
                    .contains(Cp1251::fromUnicode(u"ЗАО Новый"_s)));
        QVERIFY(!form->isWindowModified());

        // Save as asks, then the new archive is the one in hand.
        m_chosenFile = file(u"copy.zip"_s);
        form->SaveAsAction->trigger();
        QCOMPARE(m_fileDialogs, QStringList{u"SaveDialog1"_s});
        QVERIFY(form->windowTitle().endsWith(u" — copy.zip[*]"_s));
        form->SaveAction->trigger();
        QCOMPARE(m_fileDialogs.size(), 1);
        QCOMPARE(recentMenuPaths(*form), (QStringList{file(u"copy.zip"_s), file(u"p.zip"_s)}));
    }

    void plainSaveOfANewProjectAsksForAName()
    {
        Form1 form(programDir());
        QVERIFY(wallPlan().save(file(u"new.bmp"_s), "BMP"));
        m_chosenFile = file(u"new.bmp"_s);
        form.SpeedButton1Click();
        m_fileDialogs.clear();
        m_chosenFile.clear();
        form.SaveAction->trigger(); // cancelled
        QCOMPARE(m_fileDialogs, QStringList{u"SaveDialog1"_s});
        QVERIFY(form.session().archiveFile.isEmpty());
    }

    // An opening that replaced the table but failed must not leave the plain save pointed at
    // the archive of the project left.
    void failedOpeningForgetsTheArchiveInHand()
    {
        auto form = openedWindow();
        ZipWriter broken(file(u"broken.zip"_s));
        broken.addMember(
            u"metrola.csv"_s,
            Cp1251::fromUnicode(u"Т;К;Н;Г;1;2;3;4;5;ед;;\r\nh;\r\nx.bmp;;;;;;5;1;1;\r\n;;;;;;;;;\r\n"_s));
        broken.write();
        m_chosenFile = file(u"broken.zip"_s);
        form->SpeedButton3Click();
        QVERIFY(form->session().archiveFile.isEmpty());
        m_chosenFile.clear();
        form->SaveAction->trigger();
        QCOMPARE(m_fileDialogs, (QStringList{u"OpenDialog1"_s, u"SaveDialog1"_s}));
    }

    void recentArchivesOpenAndOutliveTheWindow()
    {
        {
            auto form = openedWindow();
            m_chosenFile = writeArchive(file(u"second.zip"_s), u"ЗАО Второй"_s);
            form->SpeedButton3Click();
            QCOMPARE(recentMenuPaths(*form), (QStringList{file(u"second.zip"_s), file(u"p.zip"_s)}));
        }
        Form1 form(programDir());
        QCOMPARE(recentMenuPaths(form), (QStringList{file(u"second.zip"_s), file(u"p.zip"_s)}));
        form.RecentMenu->actions().at(1)->trigger();
        QCOMPARE(form.session().table().cellText(RecordTable::Tenant, 1), u"ООО Бета"_s);
        QCOMPARE(recentMenuPaths(form).first(), file(u"p.zip"_s));
        // A vanished archive is said so and leaves the list.
        QVERIFY(QFile::remove(file(u"second.zip"_s)));
        form.RecentMenu->actions().at(1)->trigger();
        QCOMPARE(m_texts.filter(u"не найден"_s).size(), 1);
        QCOMPARE(recentMenuPaths(form), QStringList{file(u"p.zip"_s)});
    }

    void changesMarkTheTitle_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("undo") << 0;
        QTest::newRow("row move") << 1;
        QTest::newRow("caption") << 2;
    }
    void changesMarkTheTitle()
    {
        QFETCH(int, change);
        auto form = openedWindow();
        QVERIFY(!form->isWindowModified());
        if (change == 0) {
            form->UndoAction->trigger();
        } else if (change == 1) {
            form->selectRow(2);
            form->BitBtn1->click();
        } else {
            form->edt[0]->setFocus();
            QTest::keyClicks(form->edt[0], u"x"_s);
        }
        QVERIFY(form->isWindowModified());
    }

    // The undo and new-plan commands a finished project hides stay shut in the menu and for
    // dropped images.
    void finishedProjectLocksTheMenuToo()
    {
        Form1 form(programDir());
        m_chosenFile = writeArchive(file(u"done.zip"_s), u"ООО Бета"_s, u"НЕРЕДАКТ"_s);
        form.SpeedButton3Click();
        QVERIFY(form.session().table().isFinished());
        form.UndoAction->trigger();
        QCOMPARE(form.session().table().recordCount(), 2);
        QVERIFY(!form.NewPlanAction->isEnabled());
        QVERIFY(wallPlan().save(file(u"extra.bmp"_s), "BMP"));
        form.openDroppedFiles({file(u"extra.bmp"_s)});
        QCOMPARE(form.session().currentPlan(), u"p.bmp"_s);
    }

    void toolTipsShowTheShortcutBesideTheHint()
    {
        Form1 form(programDir());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), form.SpeedButton3->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(form.SpeedButton3, &help);
        QCOMPARE(QToolTip::text(), u"Открыть архив Zip (Ctrl+O)"_s);
        QCOMPARE(form.SpeedButton3->toolTip(), u"Открыть архив Zip"_s);
    }

    void escapeCancelsTheNewRecordAndClosesTheSummary()
    {
        auto form = openedWindow();
        const QPoint room(300, 100);
        QTest::mouseClick(form->Image1, Qt::RightButton, {}, room);
        Form2 *dialog = form->form2();
        QVERIFY(dialog->isVisible());
        QVERIFY(form->session().planImage().pixel(room) != qRgb(255, 255, 255));
        QTest::keyClick(dialog->Edit1, Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(form->session().planImage().pixel(room), qRgb(255, 255, 255));
        QCOMPARE(form->session().table().recordCount(), 2);

        form->SummaryAction->trigger();
        QVERIFY(form->Summary->isVisible());
        QTest::keyClick(form->Summary, Qt::Key_Escape);
        QVERIFY(!form->Summary->isVisible());
    }

    void droppedFiles_data()
    {
        QTest::addColumn<bool>("unsaved");
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<bool>("opens");
        QTest::newRow("saved project") << false << QMessageBox::No << true;
        QTest::newRow("unsaved, not saving") << true << QMessageBox::No << true;
        QTest::newRow("unsaved, cancelled") << true << QMessageBox::Cancel << false;
    }
    void droppedFiles()
    {
        QFETCH(bool, unsaved);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, opens);
        auto form = openedWindow();
        form->session().setModified(unsaved);
        m_answer = answer;
        writeArchive(file(u"dropped.zip"_s), u"ЗАО Брошенный"_s);
        QVERIFY(wallPlan().save(file(u"extra.bmp"_s), "BMP"));
        QMimeData data;
        data.setUrls(
            {QUrl::fromLocalFile(file(u"extra.bmp"_s)), QUrl::fromLocalFile(file(u"dropped.zip"_s))});
        const QPoint at = form->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(form.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(form.get(), &drop);
        QCoreApplication::processEvents(); // the files are opened once the drop is over

        QCOMPARE(m_texts.filter(u"Сохранить изменения"_s).size(), unsaved ? 1 : 0);
        QCOMPARE(form->session().table().cellText(RecordTable::Tenant, 1),
                 opens ? u"ЗАО Брошенный"_s : u"ООО Бета"_s);
        // The image joins the project that was opened, after it.
        QCOMPARE(form->session().currentPlan(), opens ? u"extra.bmp"_s : u"p.bmp"_s);
    }

    void searchFindsAndShowsTheRoom()
    {
        auto form = openedWindow();
        const std::vector<RecordTable::Row> before = form->session().table().rows();
        form->FindAction->trigger();
        QCOMPARE(QApplication::focusWidget(), form->SearchField);
        form->SearchField->insert(u"альфа"_s); // as typed: QTest types ASCII only
        QCOMPARE(form->StringGrid1->model()->rowCount(), 1);
        QCOMPARE(form->SearchCount->text(), u"Найдено: 1"_s);
        QVERIFY(!form->BitBtn1->isEnabled());
        QTest::keyClick(form->SearchField, Qt::Key_Return);
        QCOMPARE(form->session().currentPlan(), u"q.bmp"_s);
        QCOMPARE(form->BlinkRow, 2);
        QVERIFY(form->Timer1->isActive());
        form->SearchField->clear();
        QCOMPARE(form->StringGrid1->model()->rowCount(), 3);
        QVERIFY(form->BitBtn1->isEnabled());
        QVERIFY(form->session().table().rows() == before);
    }

    void sortedGridWorksOnTheTableRows()
    {
        auto form = openedWindow();
        form->StringGrid1->sortByColumn(RecordTable::Area, Qt::DescendingOrder);
        QVERIFY(!form->BitBtn2->isEnabled());
        // Row 0 of the view is the larger area, record 2 of the table.
        form->StringGrid1->setCurrentIndex(form->StringGrid1->model()->index(0, 0));
        QCOMPARE(form->selectedRow(), 2);
        form->StringGrid1DblClick();
        QCOMPARE(form->BlinkRow, 2);
        QCOMPARE(form->session().currentPlan(), u"q.bmp"_s);
        form->selectRow(1);
        QCOMPARE(form->StringGrid1->currentIndex().row(), 1);
    }

    void gridGrowsWithinTheWindowAndIsRemembered()
    {
        const int height = [&] {
            auto form = openedWindow();
            form->resize(1000, 700);
            const int grid = form->StringGrid1->height();
            form->setGridExtra(150);
            [&] {
                QCOMPARE(form->StringGrid1->height(), grid + 150);
                QCOMPARE(form->PlanArea->y(), form->Panel1->height());
            }();
            form->setGridExtra(100000);
            // The plan keeps a strip of its own.
            [&] { QVERIFY(form->PlanArea->height() >= 40); }();
            form->setGridExtra(120);
            QTest::mouseClick(form->GridSplitter, Qt::LeftButton); // a press and release stores it
            return form->gridExtra();
        }();
        Form1 again(programDir());
        QCOMPARE(again.gridExtra(), height);
    }

    // The maximised state is kept, and a plan opened later leaves the window maximised.
    void maximisedStateIsKept()
    {
        QSettings(QSettings::UserScope, u"metrola"_s, u"metrola"_s).setValue(u"maximized"_s, true);
        Form1 form(programDir());
        m_chosenFile = writeArchive(file(u"p.zip"_s));
        form.FormCreate({file(u"p.zip"_s)}, m_files->path());
        QVERIFY(form.windowState() & Qt::WindowMaximized);
        form.PlaceMainWindow();
        QVERIFY(form.windowState() & Qt::WindowMaximized);
    }

    void zoomedClicksHitThePlanPixel_data()
    {
        QTest::addColumn<double>("factor");
        QTest::newRow("150 %") << 1.5;
        QTest::newRow("200 %") << 2.0;
        QTest::newRow("800 %") << 8.0;
    }
    void zoomedClicksHitThePlanPixel()
    {
        QFETCH(double, factor);
        auto form = openedWindow();
        form->resize(1200, 800);
        const QPoint room(205, 40); // just right of the wall
        form->setZoom(factor, QPoint(0, 0));
        const QPoint at = form->Image1->toWidget(room) + QPoint(int(factor) - 1, int(factor) - 1) / 2;
        QCOMPARE(form->Image1->toPlan(at), room);

        QTest::mouseMove(form->Image1, form->Image1->toWidget({50, 50}));
        QVERIFY(form->Hinter->text().contains(u"ООО Бета"_s));
        QTest::mouseClick(form->Image1, Qt::RightButton, {}, at);
        QVERIFY(form->form2()->isVisible());
        QCOMPARE(form->form2()->labelPoint(), room);
        QVERIFY(form->session().planImage().pixel(room) != qRgb(255, 255, 255));
        // The wall held: the room left of it keeps its key.
        QCOMPARE(form->session().planImage().pixel(199, 40), ColourKey::toRgb(100));
    }

    void ctrlWheelZoomsAboutThePointer()
    {
        auto form = openedWindow();
        // Smaller than the plan at 200 %, so the view can scroll to keep the point.
        form->resize(650, 400);
        form->zoomActual();
        const QPoint pointer(100, 80); // in the plan area
        const QPoint before = form->Image1->toPlan(QPointF(form->Image1->mapFrom(form->PlanArea, pointer)));
        const QPoint global = form->PlanArea->mapToGlobal(pointer);
        // Two notches, one event each, as a wheel sends them.
        for (int notch = 0; notch < 2; ++notch) {
            QWheelEvent wheel(QPointF(form->Image1->mapFrom(form->PlanArea, pointer)), QPointF(global), {},
                              {0, 120}, Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(form->Image1, &wheel);
        }
        QVERIFY(form->zoomFactor() > 1.0);
        const QPoint after = form->Image1->toPlan(QPointF(form->Image1->mapFrom(form->PlanArea, pointer)));
        QVERIFY2((after - before).manhattanLength() <= 1,
                 qPrintable(u"%1,%2"_s.arg(after.x()).arg(after.y())));
        // Out as far as the plan fits, never further.
        for (int i = 0; i < 20; ++i)
            form->zoomOut();
        QCOMPARE(form->zoomFactor(), form->minimumZoom());
    }

    void scaleIsMeasuredInPlanPixelsAtAnyZoom()
    {
        auto form = openedWindow();
        form->setZoom(2.0, QPoint(0, 0));
        form->ScaleButtonClick();
        QTest::mouseClick(form->Image1, Qt::LeftButton, {}, form->Image1->toWidget({10, 10}));
        QTest::mouseClick(form->Image1, Qt::LeftButton, {}, form->Image1->toWidget({110, 10}));
        const auto scale = form->session().scales().scale(u"p.bmp"_s);
        QVERIFY(scale);
        QCOMPARE(scale->metresPerPixel, 0.05); // 5 m over 100 plan pixels
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
