// Правка → Отменить / Повторить (Ctrl+Z, Ctrl+Shift+Z) in the window: the user's last change of
// any kind goes back, whatever plan is shown, and the plan shown follows; the tool panel's
// "Undo" keeps its own meaning and is one more change.
#include "core/plan/colourkey.h"
#include "core/plan/planimage.h"
#include "gui/mainwindow/form1.h"
#include "gui/plan/plancanvas.h"
#include "gui/plan/proposalview.h"
#include "gui/records/form2.h"
#include "gui/widgets/dialogs.h"
#include "testrecord.h"
#include "wallplan.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// Two rooms side by side, walls 6 points, no door: 20..146 and 153..273 inside.
QImage twoRooms()
{
    return WallPlan::draw({300, 200}, {QRect(20, 20, 260, 6), QRect(20, 174, 260, 6), QRect(20, 20, 6, 160),
                                       QRect(274, 20, 6, 160), QRect(147, 26, 6, 148)});
}

// Three rooms in a row with a door of 24 points in each inner wall.
QImage threeRooms()
{
    return WallPlan::draw({300, 200}, {QRect(20, 20, 260, 6), QRect(20, 174, 260, 6), QRect(20, 20, 6, 160),
                                       QRect(274, 20, 6, 160), QRect(147, 26, 6, 62), QRect(147, 112, 6, 62),
                                       QRect(210, 26, 6, 40), QRect(210, 90, 6, 84)});
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;
    QStringList m_messages;
    std::unique_ptr<Form1> m_form;

    QString workFile(const QString &name) const { return m_work.filePath(name); }
    // Shows the plan as "Новый план" adds it from the working folder.
    void addPlan(const QString &name, const QImage &image)
    {
        PlanImage::saveBmp(image, workFile(name));
        Dialogs::Responder r;
        r.message = [this](Dialogs::Kind, const QString &, const QString &text) {
            m_messages.append(text);
            return QMessageBox::Ok;
        };
        r.file = [this, name](QFileDialog *) { return workFile(name); };
        Dialogs::setResponder(r);
        m_form->SpeedButton1Click();
        QCOMPARE(m_form->session().currentPlan(), name);
    }
    void markRoom(QPoint point, const QString &tenant)
    {
        m_form->Image1MouseUp(Qt::RightButton, point.x(), point.y());
        Form2 *dialog = m_form->form2();
        QVERIFY(dialog->isVisible());
        dialog->Edit1->setText(tenant);
        dialog->Button2Click();
        QVERIFY(!dialog->isVisible());
    }
    void keys(const QKeySequence &sequence) { QTest::keySequence(m_form.get(), sequence); }
    const RecordTable &table() const { return m_form->session().table(); }

private Q_SLOTS:
    void init()
    {
        m_messages.clear();
        m_form = std::make_unique<Form1>(m_work.path() + u'/');
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        m_form->activateWindow();
    }
    void cleanup()
    {
        m_form.reset();
        Dialogs::setResponder({});
        for (const QString &name : QDir(m_work.path()).entryList(QDir::Files))
            QFile::remove(workFile(name));
    }

    // The fault: Ctrl+Z deleted the table's last record, silently, though it lay on another
    // floor and the user's last change was an edit of another record.
    void ctrlZTakesBackTheLastChangeNotTheLastRecord()
    {
        addPlan(u"a.bmp"_s, twoRooms());
        markRoom({60, 60}, u"ООО Альфа"_s);
        addPlan(u"b.bmp"_s, twoRooms());
        markRoom({60, 60}, u"ООО Бета"_s);
        m_form->TabSet1->setCurrentIndex(0);
        QCOMPARE(m_form->session().currentPlan(), u"a.bmp"_s);
        // The user edits the first record of the plan shown.
        m_form->Image1MouseUp(Qt::RightButton, 60, 60);
        m_form->form2()->Edit1->setText(u"ООО Гамма"_s);
        m_form->form2()->Button2Click();
        QCOMPARE(table().cellText(RecordTable::Tenant, 1), u"ООО Гамма"_s);
        QCOMPARE(m_form->HistoryUndoAction->text(), u"Отменить: правка записи"_s);

        keys(QKeySequence(u"Ctrl+Z"_s));
        QCOMPARE(table().recordCount(), 2);
        QCOMPARE(table().cellText(RecordTable::Tenant, 1), u"ООО Альфа"_s);
        QCOMPARE(table().cellText(RecordTable::Tenant, 2), u"ООО Бета"_s);

        keys(QKeySequence(u"Ctrl+Shift+Z"_s));
        QCOMPARE(table().cellText(RecordTable::Tenant, 1), u"ООО Гамма"_s);
        QVERIFY(m_messages.isEmpty());
    }

    // A room marked and entered goes back with its record, and the plan shown shows the floor
    // again; redone, the room is marked in its colour again.
    void markingGoesBackAndForthOnThePlan()
    {
        addPlan(u"a.bmp"_s, twoRooms());
        markRoom({200, 60}, u"ООО Альфа"_s);
        const quint32 key = table().cellText(RecordTable::ColourKey, 1).toUInt();
        QCOMPARE(m_form->session().planImage().pixel(200, 100), ColourKey::toRgb(key) | 0xff000000);
        const QString entryDate = table().cellText(RecordTable::ColourKey, table().entryRow());

        m_form->HistoryUndoAction->trigger();
        QCOMPARE(table().recordCount(), 0);
        QCOMPARE(m_form->session().planImage().pixel(200, 100), qRgb(255, 255, 255));
        QVERIFY(!m_form->HistoryUndoAction->isEnabled());
        QCOMPARE(m_form->HistoryRedoAction->text(), u"Повторить: новая запись"_s);

        m_form->HistoryRedoAction->trigger();
        QCOMPARE(table().recordCount(), 1);
        QCOMPARE(table().cellText(RecordTable::ColourKey, table().entryRow()), entryDate);
        QCOMPARE(m_form->session().planImage().pixel(200, 100), ColourKey::toRgb(key) | 0xff000000);
    }

    // The tool panel's "Undo" removes the table's last row as it always did; Ctrl+Z then puts
    // the record back.
    void undoButtonIsOneMoreChange()
    {
        addPlan(u"a.bmp"_s, twoRooms());
        markRoom({60, 60}, u"ООО Альфа"_s);
        markRoom({200, 60}, u"ООО Бета"_s);
        m_form->Button2->click();
        QCOMPARE(table().recordCount(), 1);
        QCOMPARE(m_form->session().planImage().pixel(200, 100), qRgb(255, 255, 255));
        QCOMPARE(m_form->HistoryUndoAction->text(), u"Отменить: удаление последней записи"_s);
        keys(QKeySequence(u"Ctrl+Z"_s));
        QCOMPARE(table().recordCount(), 2);
        QCOMPARE(table().cellText(RecordTable::Tenant, 2), u"ООО Бета"_s);
        const quint32 key = table().cellText(RecordTable::ColourKey, 2).toUInt();
        QCOMPARE(m_form->session().planImage().pixel(200, 100), ColourKey::toRgb(key) | 0xff000000);
    }

    // Moves, scales and lines drawn with "Стена" are steps of the same history.
    void movesScalesAndWallsAreSteps()
    {
        addPlan(u"a.bmp"_s, twoRooms());
        markRoom({60, 60}, u"А"_s);
        markRoom({200, 60}, u"Б"_s);
        m_form->selectRow(2);
        m_form->BitBtn1->click();
        QCOMPARE(table().cellText(RecordTable::Tenant, 1), u"Б"_s);
        QCOMPARE(m_form->HistoryUndoAction->text(), u"Отменить: перемещение записи"_s);
        // Масштаб: two clicks 100 points apart, typed as 5 metres.
        Dialogs::Responder r;
        r.message = [this](Dialogs::Kind, const QString &, const QString &text) {
            m_messages.append(text);
            return QMessageBox::Ok;
        };
        r.text = [](const QString &, const QString &) { return std::optional<QString>(u"5"_s); };
        Dialogs::setResponder(r);
        m_form->ScaleButton->click();
        QTest::mouseClick(m_form->Image1, Qt::LeftButton, {}, m_form->Image1->toWidget({40, 100}));
        QTest::mouseClick(m_form->Image1, Qt::LeftButton, {}, m_form->Image1->toWidget({140, 100}));
        QVERIFY(m_form->session().scales().scale(u"a.bmp"_s));
        QCOMPARE(m_form->HistoryUndoAction->text(), u"Отменить: масштаб"_s);
        m_form->WallButton->click();
        QTest::mouseClick(m_form->Image1, Qt::LeftButton, {}, m_form->Image1->toWidget({250, 26}));
        QTest::mouseClick(m_form->Image1, Qt::LeftButton, {}, m_form->Image1->toWidget({250, 173}));
        QCOMPARE(PlanImage::loadBmp(workFile(u"a.bmp"_s)).pixel(250, 100), qRgb(0, 0, 0));
        QCOMPARE(m_form->HistoryUndoAction->text(), u"Отменить: стена"_s);

        keys(QKeySequence(u"Ctrl+Z"_s));
        QCOMPARE(PlanImage::loadBmp(workFile(u"a.bmp"_s)), twoRooms());
        // The room is whole again, all of it "Б".
        QCOMPARE(m_form->session().planImage().pixel(250, 100), m_form->session().planImage().pixel(200, 60));
        keys(QKeySequence(u"Ctrl+Z"_s));
        QVERIFY(!m_form->session().scales().scale(u"a.bmp"_s));
        keys(QKeySequence(u"Ctrl+Z"_s));
        QCOMPARE(table().cellText(RecordTable::Tenant, 1), u"А"_s);
        QCOMPARE(table().recordCount(), 2);
        QVERIFY(m_messages.isEmpty());
    }

    // Item 7: a wall drawn while proposals are shown keeps the rooms and lines turned down.
    void wallKeepsTheRejections()
    {
        addPlan(u"a.bmp"_s, threeRooms());
        m_form->FindRoomsButton->click();
        QVERIFY2(m_form->ProposalText->text().contains(u"3 помещения, линий 2"_s),
                 qPrintable(m_form->ProposalText->text()));
        // Ctrl+click turns the left room down.
        QTest::mouseClick(m_form->Image1, Qt::LeftButton, Qt::ControlModifier,
                          m_form->Image1->toWidget({60, 60}));
        QVERIFY(m_form->ProposalText->text().contains(u"2 помещения"_s));
        // A wall across the right room.
        m_form->WallButton->click();
        QTest::mouseClick(m_form->Image1, Qt::LeftButton, {}, m_form->Image1->toWidget({250, 26}));
        QTest::mouseClick(m_form->Image1, Qt::LeftButton, {}, m_form->Image1->toWidget({250, 173}));
        QVERIFY(!m_form->ProposalBar->isHidden());
        // Four rooms now, the left one still turned down.
        QVERIFY2(m_form->ProposalText->text().contains(u"3 помещения"_s),
                 qPrintable(m_form->ProposalText->text()));
    }
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
