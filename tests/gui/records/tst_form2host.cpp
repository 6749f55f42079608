#include "core/model/projectsession.h"
#include "core/plan/colourkey.h"
#include "core/plan/floodfill.h"
#include "gui/records/form2.h"
#include "gui/widgets/colourswatch.h"
#include "gui/widgets/dialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// The dialog's whole view of a window: a project, a colour dialog, and records of what the
// dialog asked to redraw and to report.
class Host : public RecordDialogHost
{
public:
    explicit Host(const QString &programDir)
        : m_session(programDir)
    {
    }
    ProjectSession &session() override { return m_session; }
    QColorDialog *colourDialog() override { return &m_colours; }
    void refreshPlanRect(const QRect &planRect) override { refreshed.append(planRect); }
    void showGeneralError(const QString &text) override { errors.append(text); }
    void roomFlagsEdited() override { ++flagEdits; }

    QList<QRect> refreshed;
    int flagEdits = 0;
    QStringList errors;

private:
    ProjectSession m_session;
    QColorDialog m_colours;
};

constexpr QPoint kRoom{5, 5};
constexpr quint32 kKey = 0x123456;
const QString kPlan = u"plan.bmp"_s;

// A 20 x 12 plan: one room inside a black frame.
QImage onePlan()
{
    QImage plan(20, 12, QImage::Format_RGB32);
    plan.fill(Qt::white);
    QPainter painter(&plan);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, 19, 11);
    return plan;
}

} // namespace

// The record dialog needs no main window: the host it is given is all it touches.
class TstForm2Host : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Host> m_host;
    std::unique_ptr<Form2> m_dialog;

    quint32 keyAt(QPoint p) { return ColourKey::fromRgb(m_host->session().planImage().pixel(p)); }

    // A room just marked with kKey, as the marking leaves it for the dialog.
    void openNewRoom()
    {
        ProjectSession &session = m_host->session();
        FloodFill().fill(session.planImage(), kRoom, ColourKey::toRgb(kKey));
        m_dialog->openNew(kKey, kRoom, session.table().entryRow(), kPlan);
    }

private Q_SLOTS:
    void init()
    {
        Dialogs::setResponder({[](Dialogs::Kind, const QString &, const QString &) { return QMessageBox::Ok; }, {}, {}});
        m_host = std::make_unique<Host>(m_dir.path() + u'/');
        m_host->session().setShownPlan(onePlan(), kPlan);
        m_dialog = std::make_unique<Form2>(nullptr, *m_host);
    }
    void cleanup()
    {
        m_dialog.reset();
        m_host.reset();
        Dialogs::setResponder({});
    }

    void commitWritesIntoTheHostsTable()
    {
        openNewRoom();
        m_dialog->Edit1->setText(u"Анна"_s);
        m_dialog->Edit2->setText(u"12,5"_s);
        m_dialog->Button2->click();
        const RecordTable &table = m_host->session().table();
        QCOMPARE(table.recordCount(), 1);
        QCOMPARE(table.cellText(RecordTable::Tenant, 1), u"Анна"_s);
        QCOMPARE(table.cellText(RecordTable::ColourKey, 1), QString::number(kKey));
        QVERIFY(m_host->session().modified());
        QVERIFY(m_host->errors.isEmpty());
    }

    void cancelPaintsTheRoomBackThroughTheHost()
    {
        openNewRoom();
        QCOMPARE(keyAt(kRoom), kKey);
        m_dialog->Button1->click();
        QCOMPARE(keyAt(kRoom), m_host->session().restoreColour);
        QCOMPARE(m_host->refreshed.size(), 1);
        QVERIFY(m_host->refreshed.first().contains(kRoom));
        QCOMPARE(m_host->session().table().recordCount(), 0);
    }

    // The check box lies in free space: inside the dialog, over no control of the layout, and
    // wide enough for its two lines.
    void commonAreaBoxFitsFreeSpace()
    {
        QCheckBox *box = m_dialog->CommonArea;
        QVERIFY(m_dialog->rect().contains(box->geometry()));
        QVERIFY2(box->sizeHint().width() <= box->width(), qPrintable(QString::number(box->sizeHint().width())));
        QVERIFY(box->sizeHint().height() <= box->height());
        for (QWidget *other : m_dialog->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (other != box && !other->isHidden() && other->inherits("QWidget") && !other->isWindow())
                QVERIFY2(!other->geometry().intersects(box->geometry()), qPrintable(other->objectName()));
        }
    }

    void commonAreaFlagFollowsTheRecord()
    {
        ProjectSession &session = m_host->session();
        const RoomFlags &flags = session.roomFlags();
        // An undone room's flag does not pass to the new room given its key.
        session.roomFlags().setCommon(kKey, true);
        openNewRoom();
        QVERIFY(!m_dialog->CommonArea->isChecked());
        m_dialog->Button2->click();
        QVERIFY(!flags.isCommon(kKey));

        m_dialog->openEdit(1, kRoom);
        QVERIFY(!m_dialog->holdsUncommittedText());
        m_dialog->CommonArea->setChecked(true);
        QVERIFY(m_dialog->holdsUncommittedText());
        m_dialog->Button2->click();
        QVERIFY(flags.isCommon(kKey));
        m_dialog->openEdit(1, kRoom);
        QVERIFY(m_dialog->CommonArea->isChecked());
        // Alt+М from the fields, the box being out of the Tab chain.
        QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
        for (const auto action : {QTest::Press, QTest::Release})
            QTest::sendKeyEvent(action, m_dialog->Edit1, Qt::Key(0x041C), u"М"_s, Qt::AltModifier);
        QTRY_VERIFY(!m_dialog->CommonArea->isChecked());
        m_dialog->CommonArea->setChecked(true);
        // A new colour takes the flag along.
        m_dialog->Shape1->setColour(kKey - 5);
        m_dialog->Button2->click();
        QCOMPARE(flags.keys(), QList<quint32>{kKey - 5});
        QCOMPARE(m_host->flagEdits, 3);
    }

    // Committing without touching the box leaves a project that never said which rooms are
    // common undecided, so it is still offered the suggestion.
    void untouchedBoxDecidesNothing()
    {
        openNewRoom();
        m_dialog->Button2->click();
        m_dialog->openEdit(1, kRoom);
        m_dialog->Edit1->setText(u"Анна"_s);
        m_dialog->Button2->click();
        QVERIFY(!m_host->session().roomFlags().isDecided());
        QCOMPARE(m_host->flagEdits, 0);
    }

    // A failing commit is reported by the host, not thrown into the event loop, and the
    // record stays as it was.
    void anErrorInAHandlerReachesTheHost()
    {
        RecordTable &table = m_host->session().table();
        const auto row = [](const QString &key) {
            return RecordTable::Row{kPlan, u"r"_s, u"офис"_s, u"5"_s, u"Яков"_s, {}, key, u"5"_s, u"5"_s};
        };
        table.replaceRows({row(QString::number(kKey)), row(u"x"_s), RecordTable::Row{}});
        m_dialog->openEdit(1, kRoom);
        m_dialog->Edit1->setText(u"Анна"_s);
        m_dialog->Button2->click();
        QCOMPARE(m_host->errors.size(), 1);
        QVERIFY2(m_host->errors.first().contains(u"«x»"_s), qPrintable(m_host->errors.first()));
        QCOMPARE(table.cellText(RecordTable::Tenant, 1), u"Яков"_s);
    }
};

QTEST_MAIN(TstForm2Host)
#include "tst_form2host.moc"
