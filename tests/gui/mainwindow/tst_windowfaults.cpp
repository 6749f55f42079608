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
#include "gui/widgets/dialogs.h"
#include "wallplan.h"

#include <QAction>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
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
};

QTEST_MAIN(TestWindowFaults)
#include "tst_windowfaults.moc"
